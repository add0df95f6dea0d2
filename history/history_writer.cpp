#include "history/history_writer.h"

#include <mutex>
#include <string>

#include "history/history_files.h"

namespace qx {

namespace {

// The writer HistoryWriteProblem reports on: the program has one.
Lock g_program_writer_lock;
const HistoryWriter* g_program_writer = nullptr;

std::string HeaderLine() {
  return std::string(kHistoryHeader) + std::string(kHistoryLineBreak);
}

HistoryMonth MonthOf(DateValue minute) {
  const LocalClockReading r = BreakDownDateValue(minute);
  return {r.year, r.month};
}

std::optional<HistoryMonth> NewestMonthFile(const std::string& folder) {
  std::optional<HistoryMonth> newest;
  for (const std::string& name : ListHistoryFolder(folder)) {
    const auto month = ParseMonthFileName(name);
    if (month && (!newest || *month > *newest)) newest = month;
  }
  return newest;
}

}  // namespace

std::string HistoryFolder() {
  // Beside the settings file, which is read from the working folder.
  return kHistoryFolderName;
}

std::string HistoryWriteProblem() {
  std::lock_guard lock(g_program_writer_lock);
  return g_program_writer ? g_program_writer->Problem() : std::string();
}

HistoryWriter::HistoryWriter(std::string folder, bool program_writer)
    : folder_(std::move(folder)), program_writer_(program_writer) {
  if (program_writer_) {
    std::lock_guard lock(g_program_writer_lock);
    g_program_writer = this;
  }
}

HistoryWriter::~HistoryWriter() {
  if (program_writer_) {
    std::lock_guard lock(g_program_writer_lock);
    if (g_program_writer == this) g_program_writer = nullptr;
  }
}

void HistoryWriter::Append(const EndedMinute& minute) {
  {
    std::lock_guard lock(lock_);
    queue_.push_back(minute);
  }
  changed_.NotifyAll();
}

void HistoryWriter::Run() {
  for (;;) {
    std::optional<EndedMinute> next;
    bool last_round = false;
    {
      std::lock_guard lock(lock_);
      const auto ready = [this] { return stop_ || !queue_.empty(); };
      if (waiting_.empty()) {
        changed_.Wait(lock_, ready);
      } else if (!ready()) {
        // Records wait for a file another program holds, or a folder that may come back: they are
        // tried again with the next record, and now and then meanwhile.
        changed_.WaitOnceFor(lock_, kUnwrittenRetryMs);
      }
      if (!queue_.empty()) {
        next = queue_.front();
        queue_.pop_front();
      } else {
        last_round = stop_;
      }
      busy_ = true;
    }
    if (next) Keep(*next);
    WriteWaiting();
    {
      std::lock_guard lock(lock_);
      busy_ = false;
    }
    changed_.NotifyAll();
    if (last_round) return;  // stopped, and everything tried once more
  }
}

void HistoryWriter::Stop() {
  {
    std::lock_guard lock(lock_);
    stop_ = true;
  }
  changed_.NotifyAll();
}

void HistoryWriter::WaitUntilWritten() {
  std::lock_guard lock(lock_);
  changed_.Wait(lock_, [this] { return queue_.empty() && !busy_; });
}

std::string HistoryWriter::Problem() const {
  std::lock_guard lock(lock_);
  return problem_;
}

std::uint64_t HistoryWriter::LinesWritten() const {
  std::lock_guard lock(lock_);
  return lines_written_;
}

void HistoryWriter::Keep(const EndedMinute& minute) {
  if (waiting_.size() >= kMaxUnwrittenMinutes) waiting_.pop_front();
  waiting_.push_back(minute);
}

void HistoryWriter::WriteWaiting() {
  // In order: a record waits while an older one cannot be written.
  while (!waiting_.empty() && WriteOne(waiting_.front())) waiting_.pop_front();
}

bool HistoryWriter::WriteOne(const EndedMinute& minute) {
  const HistoryMonth month = MonthOf(minute.record.start);
  if (!surveyed_) {
    // Before the run's first write makes a month file of its own.
    newest_before_ = NewestMonthFile(folder_);
    surveyed_ = true;
  }
  const std::string path = HistoryPath(folder_, MonthFileName(month.year, month.month));
  const std::string line = FormatMinuteLine(minute.record);
  std::string problem;
  bool written = AppendHistoryLine(path, HeaderLine(), line, problem);
  if (!written) {
    // The folder may be missing: never made, or removed (with its disk) while the program ran.
    std::string folder_problem;
    if (MakeHistoryFolder(folder_, folder_problem)) {
      written = AppendHistoryLine(path, HeaderLine(), line, problem);
    } else {
      problem = folder_problem;
    }
  }
  if (written) {
    if (IsRetentionDue({month, last_month_, newest_before_, minute.lived})) RemoveExpiredMonths(month);
    last_month_ = month;
  }
  std::lock_guard lock(lock_);
  if (written) {
    problem_.clear();
    ++lines_written_;
  } else {
    problem_ = problem;
  }
  return written;
}

void HistoryWriter::RemoveExpiredMonths(HistoryMonth current) {
  for (const std::string& name : ListHistoryFolder(folder_)) {
    const auto month = ParseMonthFileName(name);
    if (month && !IsMonthKept(*month, current)) (void)RemoveHistoryFile(HistoryPath(folder_, name));
  }
}

}  // namespace qx
