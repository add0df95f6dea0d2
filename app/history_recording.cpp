#include "app/history_recording.h"

#include <windows.h>

#include "app/widget_ids.h"
#include "device/device_link.h"
#include "runtime/date_text.h"
#include "runtime/platform/local_clock.h"
#include "runtime/win32/shell_services.h"
#include "runtime/win32/widgets.h"

namespace qx {

namespace {

// How long the end of a run waits for the last record to reach the disk: a sleeping disk wakes
// within it; a dead network drive must not keep the process from ending.
constexpr DWORD kFinishWaitMs = 5000;

}  // namespace

HistoryRecording::HistoryRecording(std::string folder)
    : minutes_(std::make_shared<MinuteAccumulator>()),
      writer_(std::make_unique<HistoryWriter>(std::move(folder), true)) {}

HistoryRecording::~HistoryRecording() {
  if (!writer_) return;  // left to a writer still busy at the end of the run
  writer_->Stop();
  if (writer_thread_ && !WaitForWriter(INFINITE)) (void)writer_.release();
}

void HistoryRecording::Start(DeviceLink& device) {
  HistoryWriter* writer = writer_.get();
  const int id = StartThread([writer](int) { writer->Run(); }, 0);
  if (id != 0) writer_thread_.reset(OpenThread(SYNCHRONIZE, FALSE, static_cast<DWORD>(id)));
  device.sensor().SetAcceptedReadingSink(
      [minutes = minutes_](std::int16_t sixteenths) { minutes->AddReading(sixteenths); });
  Tick(device);
}

MinuteEndState HistoryRecording::EndState(DeviceLink& device) const {
  MinuteEndState state;
  for (int outlet = 1; outlet <= kHistoryOutletCount; ++outlet) {
    state.outlets[static_cast<std::size_t>(outlet - 1)] = GetState(OutletCheckBox(outlet)) != 0;
  }
  state.device = device.LastPresence();
  return state;
}

void HistoryRecording::Tick(DeviceLink& device) {
  if (finished_) return;
  const DateValue now = CurrentDateValue();
  if (minutes_->IsMinuteUnderWay(now)) return;
  const ClockSample sample{now, SystemUtcOffsetMinutes(), static_cast<std::int64_t>(GetTickCount64())};
  for (const EndedMinute& minute : minutes_->Advance(sample, [&] { return EndState(device); })) Hand(minute);
}

void HistoryRecording::Finish(DeviceLink& device) {
  if (finished_) return;
  finished_ = true;
  device.sensor().SetAcceptedReadingSink({});
  if (const auto last = minutes_->Finish(EndState(device))) Hand(*last);
  if (!writer_) return;
  writer_->Stop();
  if (writer_thread_) {
    if (!WaitForWriter(kFinishWaitMs)) (void)writer_.release();  // still busy: left to the process's end
  } else {
    writer_->Run();  // no thread could be made: the queue is written here, once
  }
}

void HistoryRecording::SetFinishedMinuteListener(std::function<void(const MinuteRecord&)> listener) {
  listener_ = std::move(listener);
}

void HistoryRecording::Hand(const EndedMinute& minute) {
  ++minutes_ended_;
  if (listener_) listener_(minute.record);
  if (writer_) writer_->Append(minute);
}

bool HistoryRecording::WaitForWriter(std::uint32_t timeout_ms) {
  const bool ended = WaitForSingleObject(writer_thread_.get(), timeout_ms) == WAIT_OBJECT_0;
  if (ended) writer_thread_.reset();
  return ended;
}

}  // namespace qx
