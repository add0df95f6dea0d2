#pragma once
// The "История температуры" window (window 2): the temperature history as a chart over the last
// 24 hours, 7 days or 30 days, with a strip per outlet under it. Opening it reads the month files
// on a thread of its own; it then follows the minutes the recording finishes while it is open.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "automation/alarm_rules.h"
#include "history/chart_layout.h"
#include "history/chart_paint.h"
#include "history/minute_record.h"
#include "runtime/text.h"

namespace qx {

// Told by the loading thread that the records are read; the event's widget is the load's number.
inline constexpr int kHistoryLoadedEvent = 0x8000 + 0x310;

class HistoryView {
 public:
  HistoryView();
  ~HistoryView();
  HistoryView(const HistoryView&) = delete;
  HistoryView& operator=(const HistoryView&) = delete;

  // Where the records are read from (the recording's folder).
  void SetFolder(std::string folder) { folder_ = std::move(folder); }
  // The alarm limits the row under the chart shows and edits, and the chart draws: the
  // program's own, which the alarm rules read whether or not the window is open.
  void SetAlarmSettings(AlarmSettings& settings) { alarms_ = &settings; }
  // Run by the loading thread before it reads: a test holds a load there.
  void SetLoadGate(std::function<void()> gate) { load_gate_ = std::move(gate); }
  // Opens the window, or shows it as it was when it is open; reading starts on opening. The
  // strips take the outlets' names from their fields.
  void Show();
  [[nodiscard]] bool IsOpen() const;
  void Close();

  // The loop's steps for the window's events. Each returns whether the event was the window's and
  // is done with; its other events (minimise, activation) take the loop's common way.
  bool OnGadgetEvent(int widget, int type);
  bool OnWindowEvent(int kind, int window);
  bool OnProgramEvent(int kind, int object);
  // A minute the recording has finished (user-interface thread).
  void AddMinute(const MinuteRecord& record);
  // Brings the one-line message about the disk writer up to date.
  void RefreshProblem();

  // What the window shows now, for the tests and the benchmark: the records it holds, and how
  // many times it has painted a chart (as opposed to a message).
  [[nodiscard]] std::size_t MinuteCount() const { return minutes_.size(); }
  [[nodiscard]] int ChartsPainted() const { return charts_painted_; }
  [[nodiscard]] bool Loading() const { return load_ != nullptr; }
  [[nodiscard]] ChartRange Range() const { return range_; }

 private:
  struct Load;
  void StartLoading();
  // Takes over what a finished load read; false while it runs (or when none does).
  bool TakeLoaded();
  void LayOutWidgets();
  void Paint(class CanvasSurface& surface);
  ChartInput Input() const;

  void ShowAlarmRow();
  void TakeAlarmRow();

  std::string folder_;
  std::function<void()> load_gate_;
  AlarmSettings* alarms_ = nullptr;
  ChartRange range_ = ChartRange::kDay;
  std::vector<ChartMinute> minutes_;
  std::vector<ChartMinute> arrived_while_loading_;
  std::shared_ptr<Load> load_;
  int load_number_ = 0;
  int utc_offset_minutes_ = 0;
  std::array<std::string, kChartOutlets> names_;
  PixelBuffer pixels_;
  int charts_painted_ = 0;
};

}  // namespace qx
