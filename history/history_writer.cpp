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

void HistoryWriter::Append(const MinuteRecord& record) {
  {
    std::lock_guard lock(lock_);
    queue_.push_back(record);
  }
  changed_.NotifyAll();
}

void HistoryWriter::Run() {
  for (;;) {
    MinuteRecord record;
    {
      std::lock_guard lock(lock_);
      changed_.Wait(lock_, [this] { return stop_ || !queue_.empty(); });
      if (queue_.empty()) return;  // stopped, and everything written
      record = queue_.front();
      queue_.pop_front();
      busy_ = true;
    }
    WriteOne(record);
    {
      std::lock_guard lock(lock_);
      busy_ = false;
    }
    changed_.NotifyAll();
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

void HistoryWriter::WriteOne(const MinuteRecord& record) {
  const HistoryMonth month = MonthOf(record.start);
  const std::string path = HistoryPath(folder_, MonthFileName(month.year, month.month));
  const std::string line = FormatMinuteLine(record);
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
  if (written && !(month == last_month_)) {
    RemoveExpiredMonths(month);
    last_month_ = month;
  }
  std::lock_guard lock(lock_);
  if (written) {
    problem_.clear();
    ++lines_written_;
  } else {
    problem_ = problem;
  }
}

void HistoryWriter::RemoveExpiredMonths(HistoryMonth current) {
  for (const std::string& name : ListHistoryFolder(folder_)) {
    const auto month = ParseMonthFileName(name);
    if (month && !IsMonthKept(*month, current)) (void)RemoveHistoryFile(HistoryPath(folder_, name));
  }
}

}  // namespace qx
