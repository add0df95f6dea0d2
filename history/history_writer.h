#pragma once
// The history's disk writer: finished minute records go into a queue, and a thread of their own
// appends each to its month file as one whole line in one write, so a slow, sleeping or removed
// disk never holds up the caller. When the folder cannot be written the records of that moment
// are dropped (the program runs on) and the writer keeps the reason until a write succeeds again.

#include <cstdint>
#include <deque>
#include <string>

#include "history/minute_record.h"
#include "runtime/platform/lock.h"

namespace qx {

// "Quellarotix-history": the folder's own name, inside the folder of the settings file.
inline constexpr char kHistoryFolderName[] = "Quellarotix-history";

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
  void Append(const MinuteRecord& record);
  // The thread's body: writes what is queued, sleeping while there is nothing, until Stop() and
  // the queue is empty. The caller starts it on a thread of its own.
  void Run();
  // Asks Run to end once everything queued is written; Run returns then.
  void Stop();
  // Waits until everything queued so far is written (or dropped).
  void WaitUntilWritten();

  // The reason of the last failed write, empty after a successful one.
  [[nodiscard]] std::string Problem() const;
  // Lines appended to the files so far.
  [[nodiscard]] std::uint64_t LinesWritten() const;

 private:
  void WriteOne(const MinuteRecord& record);
  void RemoveExpiredMonths(HistoryMonth current);

  const std::string folder_;
  const bool program_writer_;
  mutable Lock lock_;
  Condition changed_;
  std::deque<MinuteRecord> queue_;   // guarded by lock_
  bool stop_ = false;                // guarded by lock_
  bool busy_ = false;                // guarded by lock_: a record is being written
  std::string problem_;              // guarded by lock_
  std::uint64_t lines_written_ = 0;  // guarded by lock_
  // Touched by Run's thread only.
  HistoryMonth last_month_{};
};

}  // namespace qx
