#pragma once
// The temperature history of a run: the sensor's accepted readings go into the minute under way,
// the one-second clock tick ends minutes as the clock moves on, and each finished minute goes to
// the disk writer's own thread. The user-interface thread never touches the disk.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "history/history_writer.h"
#include "history/minute_accumulator.h"
#include "runtime/win32/unique_handles.h"

namespace qx {

class DeviceLink;

class HistoryRecording {
 public:
  // Records into `folder`; the writer is the program's (HistoryWriteProblem reports on it).
  explicit HistoryRecording(std::string folder);
  // Ends the writer's thread once what is queued is written (bounded, see Finish).
  ~HistoryRecording();
  HistoryRecording(const HistoryRecording&) = delete;
  HistoryRecording& operator=(const HistoryRecording&) = delete;

  // Starts the writer's thread, takes the sensor's accepted readings from now on, and starts the
  // first minute.
  void Start(DeviceLink& device);
  // The clock tick: does nothing while the clock shows the minute under way.
  void Tick(DeviceLink& device);
  // At exit: the minute under way is written with what it has; waits a few seconds at most for
  // the writer. Nothing is recorded afterwards.
  void Finish(DeviceLink& device);

  // Called on the user-interface thread with each minute that ends, before it is written (the
  // chart follows new records with it).
  void SetFinishedMinuteListener(std::function<void(const MinuteRecord&)> listener);

  HistoryWriter& writer() { return *writer_; }
  // Minutes ended so far in this run, written or not.
  [[nodiscard]] std::uint64_t MinutesEnded() const { return minutes_ended_; }

 private:
  MinuteEndState EndState(DeviceLink& device) const;
  void Hand(const EndedMinute& minute);
  bool WaitForWriter(std::uint32_t timeout_ms);

  // Shared with the sensor's sink, which may outlive this object by a reading.
  std::shared_ptr<MinuteAccumulator> minutes_;
  std::unique_ptr<HistoryWriter> writer_;
  UniqueHandle writer_thread_;
  bool finished_ = false;
  std::uint64_t minutes_ended_ = 0;
  std::function<void(const MinuteRecord&)> listener_;
};

}  // namespace qx
