#pragma once
// The temperature reader: a worker thread that reads temperature reports from the device, drops
// readings outside the validity window, shows accepted ones and keeps the last one, rounded, for
// the thermostat. See sensor_thread.cpp for how it shares its handle with the presence monitor.

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>

#include "device/device_handle.h"
#include "runtime/platform/lock.h"
#include "runtime/win32/unique_handles.h"

namespace qx {

class SensorReader {
 public:
  // Shows the text of an accepted reading; called on the reader's thread.
  using Display = std::function<void(const std::string& text)>;
  // Puts back what the presence monitor shows when it takes the handle away; called on the
  // reader's thread when a reading's display overlapped such a request (see sensor_thread.cpp).
  using Withdrawn = std::function<void()>;

  // Takes each newly read, accepted reading, in sixteenths of a degree; called on the reader's
  // thread. A reading shown again after a failed or short read is not passed on.
  using AcceptedReading = std::function<void(std::int16_t sixteenths)>;

  explicit SensorReader(Display display, Withdrawn withdrawn = {});
  ~SensorReader();
  SensorReader(const SensorReader&) = delete;
  SensorReader& operator=(const SensorReader&) = delete;

  // Starts SensorThread for this reader on a thread of the window layer. Returns false if no
  // thread could be made.
  [[nodiscard]] bool Start();
  // The thread's body: one pass after another until Stop().
  void Run();
  // Ends the thread and waits for it, handling the calling thread's messages meanwhile (the
  // display may be waiting for them). The program itself never needs it: the reader lives as long
  // as the process.
  void Stop();

  // The presence monitor hands the reader a freshly opened overlapped handle, or takes its handle
  // away. Both return at once: the reader cancels its own read and closes its own handle.
  void Attach(DeviceHandle handle);
  void Detach();

  // The last accepted reading in whole degrees; 0 until the first one.
  int RoundedTemperature() const { return rounded_.load(); }
  // The same reading as it came, in sixteenths of a degree (the report's count); 0 until the first.
  int TemperatureSixteenths() const { return sixteenths_.load(); }
  // GetTickCount64 when the last full report was read and accepted; 0 before the first. The last
  // reading shown again after a failed or short read does not count: it measured nothing new.
  std::uint64_t LastAcceptedTick() const { return accepted_tick_.load(); }
  // The lowest and highest reading accepted since the last call, in sixteenths of a degree; false,
  // with nothing set, if none was. The alarms take them at each tick, so that a reading between
  // two ticks counts as much as the one a tick happens to see.
  bool TakeReadingSpan(int* lowest, int* highest);
  // Where newly accepted readings go from now on (the temperature history); empty for nowhere.
  void SetAcceptedReadingSink(AcceptedReading sink);

  // Whether the reader's thread holds a device handle now.
  bool HoldsHandle() const { return holds_handle_.load(); }
  // Passes run so far.
  std::int64_t Passes() const { return passes_.load(); }

 private:
  enum class ReadOutcome { kDone, kInterrupted };
  void* TakeRequest();
  ReadOutcome ReadOnce(DeviceHandle& handle, void* buffer, int length, int* count);

  Display display_;
  Withdrawn withdrawn_;
  // The number SensorThread knows this reader by (the program's one reader is 0).
  int number_;
  UniqueHandle wake_;     // auto-reset event: a request or a stop is waiting
  UniqueHandle io_done_;  // manual-reset event of the read in flight
  std::atomic<void*> request_{nullptr};
  std::atomic<bool> stop_{false};
  std::atomic<std::int64_t> detaches_{0};
  std::atomic<bool> holds_handle_{false};
  std::atomic<int> rounded_{0};
  std::atomic<int> sixteenths_{0};
  std::atomic<std::uint64_t> accepted_tick_{0};
  std::atomic<std::int64_t> passes_{0};
  Lock sink_lock_;
  AcceptedReading accepted_sink_;  // guarded by sink_lock_
  // The readings accepted since TakeReadingSpan; guarded by sink_lock_, which each accepted
  // reading takes anyway.
  bool span_empty_ = true;
  int span_lowest_ = 0;
  int span_highest_ = 0;
  Lock thread_lock_;
  UniqueHandle thread_;   // the running Run()'s thread, for Stop(); guarded by thread_lock_
  bool started_ = false;  // guarded by thread_lock_
};

// The sensor thread procedure, started with StartThread: runs the reader numbered `parameter`
// (readers are numbered from 0 as they are made; the program makes one, so its parameter is 0)
// until it is stopped, for the program at the end of the process.
void SensorThread(int parameter);

}  // namespace qx
