// The sensor thread.
//
// Each pass reads one temperature report (it waits until the device sends one), converts it,
// and when the reading is accepted shows it in the four places, keeps it rounded for the
// thermostat and widens the span of readings the alarms take at their next tick; then it pauses
// 100 ms. Without a device handle a pass only pauses.
//
// Sharing the handle with the presence monitor. The monitor learns on the user-interface thread
// that the device came or went, while this thread may be blocked in a read that no report will
// ever end. So the reader owns its handle outright and nobody else touches it:
//   - The monitor never closes the reader's handle. It posts a request into a one-slot mailbox
//     (an atomic pointer: empty, "detach", or a new handle) and sets the wake event. That is all
//     it does, so the user-interface thread never waits for this thread.
//   - The handle is opened for overlapped I/O. The reader waits for its read or for the wake
//     event; on a wake it cancels its own read (CancelIoEx), waits for the cancellation to finish,
//     and only then closes the handle and takes the new one. No read can run on a closed handle,
//     or on a handle value the system has since given to something else, and a close never waits
//     for a report.
//   - A handle posted but not yet taken is closed by whoever replaces it: the monitor by its next
//     request, or the reader's destructor.
// A reading finished just as the monitor asked for the handle is dropped rather than shown, so
// the "OFF" texts of a removal are not overwritten by a reading of the removed device. The display
// itself is carried out on the user-interface thread, and a reading handed over there just before
// the monitor's request would still land after the monitor's "OFF"; so when a request to let go
// came while the reader was displaying, it puts the monitor's texts back afterwards (Withdrawn).
//
// A failed read leaves the buffer as it was, so the pass shows the last good reading again, as
// a blocked sensor would; with no reading yet the zero bytes give 0 degrees, which the window
// rejects. Between a pull and the monitor noticing it (at most one presence period) reads fail at
// once, and the pause keeps that from spinning.

#include "device/sensor_thread.h"

#include <windows.h>

#include <algorithm>
#include <array>
#include <map>

#include "device/temperature.h"
#include "runtime/win32/shell_services.h"

namespace qx {

namespace {

constexpr DWORD kPauseMs = 100;
constexpr int kReportLength = 3;

// The mailbox's "take the handle away" request; never a handle value.
char g_detach_tag;
void* const kDetach = &g_detach_tag;

bool IsHandleRequest(void* request) {
  return request != nullptr && request != kDetach;
}

// The readers SensorThread can run, by number. A reader leaves only after its thread has ended.
Lock g_readers_lock;
std::map<int, SensorReader*> g_readers;
int g_next_reader = 0;

int AddReader(SensorReader* reader) {
  std::lock_guard lock(g_readers_lock);
  g_readers[g_next_reader] = reader;
  return g_next_reader++;
}

void RemoveReader(int number) {
  std::lock_guard lock(g_readers_lock);
  g_readers.erase(number);
}

SensorReader* ReaderNumbered(int number) {
  std::lock_guard lock(g_readers_lock);
  const auto found = g_readers.find(number);
  return found == g_readers.end() ? nullptr : found->second;
}

}  // namespace

SensorReader::SensorReader(Display display, Withdrawn withdrawn)
    : display_(std::move(display)),
      withdrawn_(std::move(withdrawn)),
      number_(AddReader(this)),
      wake_(CreateEventW(nullptr, FALSE, FALSE, nullptr)),
      io_done_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}

SensorReader::~SensorReader() {
  Stop();
  RemoveReader(number_);
  if (void* left = request_.exchange(nullptr); IsHandleRequest(left)) CloseHandle(left);
}

bool SensorReader::Start() {
  {
    std::lock_guard lock(thread_lock_);
    if (started_) return true;
    started_ = true;
  }
  const int id = StartThread(SensorThread, number_);
  std::lock_guard lock(thread_lock_);
  if (id == 0) {
    started_ = false;
    return false;
  }
  // Known before Start returns, so Stop (and the destructor) always wait for this thread.
  if (!thread_) thread_.reset(OpenThread(SYNCHRONIZE, FALSE, static_cast<DWORD>(id)));
  return true;
}

void SensorReader::Attach(DeviceHandle handle) {
  if (!handle) {
    Detach();
    return;
  }
  if (void* old = request_.exchange(handle.release()); IsHandleRequest(old)) CloseHandle(old);
  SetEvent(wake_.get());
}

void SensorReader::Detach() {
  detaches_.fetch_add(1);
  if (void* old = request_.exchange(kDetach); IsHandleRequest(old)) CloseHandle(old);
  SetEvent(wake_.get());
}

void SensorReader::SetAcceptedReadingSink(AcceptedReading sink) {
  std::lock_guard lock(sink_lock_);
  accepted_sink_ = std::move(sink);
}

bool SensorReader::TakeReadingSpan(int* lowest, int* highest) {
  std::lock_guard lock(sink_lock_);
  if (span_empty_) return false;
  *lowest = span_lowest_;
  *highest = span_highest_;
  span_empty_ = true;
  return true;
}

void* SensorReader::TakeRequest() {
  if (request_.load() == nullptr) return nullptr;
  // The nudge that came with the request is taken with it (before it, so that a request posted
  // meanwhile keeps its own), or the next read would break off for nothing.
  WaitForSingleObject(wake_.get(), 0);
  return request_.exchange(nullptr);
}

SensorReader::ReadOutcome SensorReader::ReadOnce(DeviceHandle& handle, void* buffer, int length, int* count) {
  *count = 0;
  if (!handle || !buffer || length <= 0) return ReadOutcome::kDone;
  // ReadFile resets the event itself. A report that is there already completes the read at once,
  // with no wait; only a read that has to wait for the device waits, and for the monitor too.
  OVERLAPPED overlapped{};
  overlapped.hEvent = io_done_.get();
  DWORD transferred = 0;
  if (ReadFile(handle.get(), buffer, static_cast<DWORD>(length), nullptr, &overlapped)) {
    if (GetOverlappedResult(handle.get(), &overlapped, &transferred, FALSE)) *count = static_cast<int>(transferred);
    return ReadOutcome::kDone;
  }
  if (GetLastError() != ERROR_IO_PENDING) return ReadOutcome::kDone;  // failed at once: the device has gone
  HANDLE waits[2] = {io_done_.get(), wake_.get()};
  const DWORD woke = WaitForMultipleObjects(2, waits, FALSE, INFINITE);
  if (woke != WAIT_OBJECT_0) {
    // The monitor wants the handle, or the thread is to end: the read must be over before the
    // handle may be closed.
    CancelIoEx(handle.get(), &overlapped);
    GetOverlappedResult(handle.get(), &overlapped, &transferred, TRUE);
    return ReadOutcome::kInterrupted;
  }
  if (GetOverlappedResult(handle.get(), &overlapped, &transferred, FALSE)) *count = static_cast<int>(transferred);
  return ReadOutcome::kDone;
}

void SensorReader::Run() {
  {
    std::lock_guard lock(thread_lock_);
    started_ = true;
    // Started by someone else (SensorThread on a thread of its own): remember it for Stop.
    if (!thread_) {
      HANDLE self = nullptr;
      DuplicateHandle(GetCurrentProcess(), GetCurrentThread(), GetCurrentProcess(), &self, SYNCHRONIZE, FALSE, 0);
      thread_.reset(self);
    }
  }
  // Zero-filled once; bytes 1 and 2 keep the last reading through failed and short reads.
  std::array<std::uint8_t, kReportLength> report{};
  DeviceHandle own;
  while (!stop_.load()) {
    passes_.fetch_add(1);
    if (void* request = TakeRequest()) {
      own.reset(IsHandleRequest(request) ? request : nullptr);
      holds_handle_.store(static_cast<bool>(own));
    }
    if (own) {
      report[0] = 0;
      int count = 0;
      if (ReadOnce(own, report.data(), kReportLength, &count) == ReadOutcome::kInterrupted) continue;
      // The byte count is not looked at: see the overview.
      const std::int16_t sixteenths = TemperatureCount(report[1], report[2]);
      const auto reading = AcceptTemperature(sixteenths);
      const std::int64_t detaches = detaches_.load();
      if (reading && request_.load() == nullptr && !stop_.load()) {
        if (display_) display_(reading->text);
        rounded_.store(reading->rounded);
        sixteenths_.store(sixteenths);
        if (count == kReportLength) {
          accepted_tick_.store(std::max<std::uint64_t>(GetTickCount64(), 1));
          std::lock_guard lock(sink_lock_);
          span_lowest_ = span_empty_ ? sixteenths : std::min<int>(span_lowest_, sixteenths);
          span_highest_ = span_empty_ ? sixteenths : std::max<int>(span_highest_, sixteenths);
          span_empty_ = false;
          if (accepted_sink_) accepted_sink_(sixteenths);
        }
        if (detaches_.load() != detaches && withdrawn_) withdrawn_();
      }
    }
    // A plain sleep: waiting on the wake event as well would cost the platform a wait of its own
    // on every pass, and a request is taken at the next pass anyway, at most a pause later.
    Sleep(kPauseMs);
  }
  own.reset();
  holds_handle_.store(false);
}

void SensorReader::Stop() {
  UniqueHandle thread;
  {
    std::lock_guard lock(thread_lock_);
    stop_.store(true);
    HANDLE copy = nullptr;
    if (thread_) DuplicateHandle(GetCurrentProcess(), thread_.get(), GetCurrentProcess(), &copy, SYNCHRONIZE, FALSE, 0);
    thread.reset(copy);
  }
  SetEvent(wake_.get());
  if (thread) {
    // The display may be waiting for this thread's messages; keep handling them.
    const HANDLE waited = thread.get();
    for (;;) {
      const DWORD woke = MsgWaitForMultipleObjects(1, &waited, FALSE, INFINITE, QS_ALLINPUT);
      if (woke != WAIT_OBJECT_0 + 1) break;
      MSG message;
      while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
      }
    }
  }
  std::lock_guard lock(thread_lock_);
  thread_.reset();
}

void SensorThread(int parameter) {
  if (SensorReader* reader = ReaderNumbered(parameter)) reader->Run();
}

}  // namespace qx
