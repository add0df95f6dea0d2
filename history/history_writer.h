#pragma once
// The history's disk writer: finished minute records go into a queue, and a thread of their own
// appends each to its month file as one whole line in one write, so a slow, sleeping or removed
// disk never holds up the caller. A record that cannot be written (the folder gone, the disk full,
// the month file held open by a spreadsheet) is kept, up to two days of them, and written in its
// turn once the file takes writes again; the writer keeps the reason until then.

#include <cstdint>
#include <deque>
#include <optional>
#include <string>

#include "history/minute_record.h"
#include "runtime/platform/lock.h"

namespace qx {

// "Quellarotix-history": the folder's own name, inside the folder of the settings file.
inline constexpr char kHistoryFolderName[] = "Quellarotix-history";

// The records kept while they cannot be written: two days of minutes. Beyond it the oldest go.
inline constexpr std::size_t kMaxUnwrittenMinutes = 2 * 24 * 60;
// How often the writer tries again while records wait and no new one comes: a file let go is
// written soon, and the writer sleeps undisturbed otherwise.
inline constexpr std::uint32_t kUnwrittenRetryMs = 5000;

// The program's history folder (a Windows-1251 path).
[[nodiscard]] std::string HistoryFolder();

// Why the program's history is not being written at the moment, as Windows-1251 text, or empty
// while it is written. Safe from any thread.
[[nodiscard]] std::string HistoryWriteProblem();

class HistoryWriter {
 public:
  // Writes into `folder` (a Windows-1251 path), making it when it is missing. `program_writer`
  // makes this the writer HistoryWriteProblem reports on.
  explicit HistoryWriter(std::string folder, bool program_writer = false);
  ~HistoryWriter();
  HistoryWriter(const HistoryWriter&) = delete;
  HistoryWriter& operator=(const HistoryWriter&) = delete;

  // Queues a record; returns at once. Any thread.
  void Append(const EndedMinute& minute);
  // The thread's body: writes what is queued, sleeping while there is nothing (and waking now and
  // then while records wait to be written), until Stop(). It then tries once more what is queued
  // or waiting, and returns. The caller starts it on a thread of its own.
  void Run();
  // Asks Run to end once everything queued is written; Run returns then.
  void Stop();
  // Waits until everything queued so far is written, or kept to be written later.
  void WaitUntilWritten();

  // The reason of the last failed write, empty after a successful one.
  [[nodiscard]] std::string Problem() const;
  // Lines appended to the files so far.
  [[nodiscard]] std::uint64_t LinesWritten() const;

 private:
  void Keep(const EndedMinute& minute);
  void WriteWaiting();
  bool WriteOne(const EndedMinute& minute);
  void RemoveExpiredMonths(HistoryMonth current);

  const std::string folder_;
  const bool program_writer_;
  mutable Lock lock_;
  Condition changed_;
  std::deque<EndedMinute> queue_;    // guarded by lock_
  bool stop_ = false;                // guarded by lock_
  bool busy_ = false;                // guarded by lock_: a record is being written
  std::string problem_;              // guarded by lock_
  std::uint64_t lines_written_ = 0;  // guarded by lock_
  // Touched by Run's thread only.
  std::deque<EndedMinute> waiting_;  // taken from the queue, not yet written, oldest first
  bool surveyed_ = false;            // newest_before_ has been looked for
  std::optional<HistoryMonth> newest_before_;
  std::optional<HistoryMonth> last_month_;
};

}  // namespace qx
