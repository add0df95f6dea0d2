#include "app/history_window.h"

#include <algorithm>
#include <mutex>

#include "app/ui_texts.h"
#include "app/widget_ids.h"
#include "history/history_writer.h"
#include "runtime/date_text.h"
#include "runtime/platform/local_clock.h"
#include "runtime/platform/lock.h"
#include "runtime/win32/shell_services.h"
#include "runtime/win32/widgets.h"

namespace qx {
namespace {

// The window's rows, top to bottom, and what sits in each: pixels at 96 DPI. A row of height 0
// takes what the others leave. The widgets of a row follow each other from the left, each at
// least as wide as the table says and as its text needs in the window's font; one of width 0
// reaches the right edge.
enum HistoryRow { kControlsRow, kChartRow, kAlarmRow, kRowCount };
constexpr int kRowHeights[kRowCount] = {32, 0, 30};
constexpr int kMargin = 6;

struct HistoryPlace {
  int widget, row;
  int gap;  // from the widget before it in the row, or from the window's left edge
  int width;
};
constexpr HistoryPlace kPlaces[] = {
    {kHistoryDayButton, kControlsRow, kMargin, 72},
    {kHistoryWeekButton, kControlsRow, 4, 72},
    {kHistoryMonthButton, kControlsRow, 4, 72},
    {kHistoryProblemText, kControlsRow, 12, 0},
    {kHistoryChart, kChartRow, kMargin, 0},
    {kAlarmRowText, kAlarmRow, kMargin, 196},
    {kBelowAlarmBox, kAlarmRow, 4, 50},
    {kBelowAlarmField, kAlarmRow, 2, 44},
    {kBelowAlarmUnit, kAlarmRow, 4, 20},
    {kAboveAlarmBox, kAlarmRow, 10, 50},
    {kAboveAlarmField, kAlarmRow, 2, 44},
    {kAboveAlarmUnit, kAlarmRow, 4, 20},
};
constexpr int kButtonHeight = 24;
constexpr int kTextHeight = 16;
constexpr int kClientWidth = 760, kClientHeight = 480;

constexpr int kHistoryWindowOptions = kWindowCentred | kWindowCaption | kWindowSystemMenu | kWindowMinimizeBox |
                                      kWindowMaximizeBox | kWindowSizeBox | kWindowHidden;

// Enough for the 30-day range whatever the clock's offset did meanwhile.
constexpr int kDaysRead = 31;

std::int64_t UtcMinute(const MinuteRecord& record) {
  return record.start / 60 - record.utc_offset_minutes;
}

ChartMinute ToChartMinute(const MinuteRecord& record) {
  ChartMinute m;
  m.utc_minute = UtcMinute(record);
  m.utc_offset_minutes = record.utc_offset_minutes;
  m.readings = record.readings;
  m.min_c = static_cast<float>(record.MinCelsius());
  m.mean_c = static_cast<float>(record.MeanCelsius());
  m.max_c = static_cast<float>(record.MaxCelsius());
  for (int k = 0; k < kChartOutlets; ++k) {
    if (record.outlets[static_cast<std::size_t>(k)]) m.outlets |= static_cast<std::uint8_t>(1 << k);
  }
  return m;
}

std::int64_t NowUtcMinute(int utc_offset_minutes) {
  return CurrentDateValue() / 60 - utc_offset_minutes;
}

const char* RangeText(ChartRange range) {
  switch (range) {
    case ChartRange::kWeek:
      return ui::kWeekRange;
    case ChartRange::kMonth:
      return ui::kMonthRange;
    default:
      return ui::kDayRange;
  }
}

// The surface's name says what it shows once it is on the screen, for those who cannot see it
// (a screen reader reads a control's name) and for the benchmark that times the chart's opening
// from outside the program.
void Describe(const std::string& shown) {
  SetText(kHistoryChart, shown);
}

// Texts are a line high; buttons, boxes and fields a control's height.
bool IsTextLine(int widget) {
  return widget == kHistoryProblemText || widget == kAlarmRowText || widget == kBelowAlarmUnit ||
         widget == kAboveAlarmUnit;
}

constexpr int kRangeButtons[] = {kHistoryDayButton, kHistoryWeekButton, kHistoryMonthButton};

ChartRange RangeOfButton(int widget) {
  if (widget == kHistoryWeekButton) return ChartRange::kWeek;
  if (widget == kHistoryMonthButton) return ChartRange::kMonth;
  return ChartRange::kDay;
}

// The chosen range's button stays pressed, the others are up; a click on the pressed one, which
// the platform may have let up, presses it again.
void PressRangeButton(ChartRange range) {
  for (int button : kRangeButtons) SetState(button, RangeOfButton(button) == range ? 1 : 0);
}

}  // namespace

// What the loading thread hands over: it fills `minutes` and sets `done` under the lock.
struct HistoryView::Load {
  Lock lock;
  bool done = false;
  std::vector<ChartMinute> minutes;
};

HistoryView::HistoryView() = default;
HistoryView::~HistoryView() = default;

bool HistoryView::IsOpen() const {
  return NativeWindowHandle(kHistoryWindow) != nullptr;
}

void HistoryView::Show() {
  // The names as their fields hold them: the menu's copies may be padded.
  for (int outlet = 1; outlet <= kChartOutlets; ++outlet) {
    names_[static_cast<std::size_t>(outlet - 1)] = GetText(NameField(outlet));
  }
  if (IsOpen()) {
    SetWindowHidden(kHistoryWindow, 0);
    ChangeWindowState(kHistoryWindow, kWindowStateNormal);
    ActivateWindow(kHistoryWindow);
    RedrawCanvas(kHistoryChart);
    return;
  }
  // The records are read while the window is made and shown: both take a while.
  StartLoading();
  if (NewWindow(kHistoryWindow, 0, 0, kClientWidth, kClientHeight, ui::kHistoryTitle, kHistoryWindowOptions) ==
      kNoObject) {
    load_.reset();
    return;
  }
  range_ = ChartRange::kDay;
  for (int button : kRangeButtons)
    NewToggleButton(button, 0, 0, 1, 1, RangeText(RangeOfButton(button)), kRadioButtonOptions);
  PressRangeButton(range_);
  NewText(kHistoryProblemText, 0, 0, 1, 1, "");
  NewCanvas(kHistoryChart, 0, 0, 1, 1, [this](CanvasSurface& surface) { Paint(surface); });
  ShowAlarmRow();
  LayOutWidgets();
  RefreshProblem();
  SetWindowHidden(kHistoryWindow, 0);
}

void HistoryView::Close() {
  FreeWindow(kHistoryWindow);
  // A load still running finishes into nothing: its result is no longer wanted.
  load_.reset();
  minutes_.clear();
  minutes_.shrink_to_fit();
  arrived_while_loading_.clear();
  pixels_ = PixelBuffer{};
}

void HistoryView::LayOutWidgets() {
  int width = kClientWidth, height = kClientHeight;
  if (!WindowClientSize(kHistoryWindow, width, height)) return;
  int fixed = 0;
  for (int h : kRowHeights) fixed += h;
  int tops[kRowCount], heights[kRowCount], ends[kRowCount] = {};
  int y = 0;
  for (int row = 0; row < kRowCount; ++row) {
    heights[row] = kRowHeights[row] > 0 ? kRowHeights[row] : std::max(height - fixed, 40);
    tops[row] = y;
    y += heights[row];
  }
  for (const HistoryPlace& place : kPlaces) {
    const int x = ends[place.row] + place.gap;
    const int w =
        place.width > 0 ? std::max(place.width, WidgetTextWidth(place.widget)) : std::max(width - kMargin - x, 1);
    ends[place.row] = x + w;
    if (place.row == kChartRow) {
      ResizeWidget(place.widget, x, tops[place.row], w, heights[place.row]);
    } else {
      // Controls sit in the middle of their row; a text line is shorter than a button.
      const int h = IsTextLine(place.widget) ? kTextHeight : kButtonHeight;
      ResizeWidget(place.widget, x, tops[place.row] + (heights[place.row] - h) / 2, w, h);
    }
  }
}

void HistoryView::StartLoading() {
  auto load = std::make_shared<Load>();
  load_ = load;
  const int number = ++load_number_;
  utc_offset_minutes_ = SystemUtcOffsetMinutes();
  const DateValue now = CurrentDateValue();
  const DateValue from = now - kDaysRead * 86400;
  const std::string folder = folder_;
  const int started = StartThread(
      [load, folder, from, now, number, gate = load_gate_](int) {
        if (gate) gate();
        std::vector<MinuteRecord> records = ReadHistoryRange(folder, from, now);
        std::vector<ChartMinute> minutes;
        minutes.reserve(records.size());
        for (const MinuteRecord& record : records) minutes.push_back(ToChartMinute(record));
        {
          std::lock_guard guard(load->lock);
          load->minutes = std::move(minutes);
          load->done = true;
        }
        // The paint takes what was read. A redraw asked from here reaches the window inside a
        // modal loop too (a box, a window being dragged), which swallows the event below.
        RedrawCanvas(kHistoryChart);
        (void)PostProgramEvent(kHistoryLoadedEvent, number);
      },
      0);
  if (started == 0) load_.reset();  // nothing will come: show what there is
}

bool HistoryView::TakeLoaded() {
  if (!load_) return false;
  {
    std::lock_guard guard(load_->lock);
    if (!load_->done) return false;
    minutes_ = std::move(load_->minutes);
  }
  load_.reset();
  // Minutes finished while the files were read may be in them already, or not yet.
  const std::int64_t newest = minutes_.empty() ? INT64_MIN : minutes_.back().utc_minute;
  for (const ChartMinute& m : arrived_while_loading_) {
    if (m.utc_minute > newest) minutes_.push_back(m);
  }
  arrived_while_loading_.clear();
  return true;
}

void HistoryView::AddMinute(const MinuteRecord& record) {
  if (!IsOpen()) return;
  if (load_) {
    arrived_while_loading_.push_back(ToChartMinute(record));
    return;
  }
  minutes_.push_back(ToChartMinute(record));
  utc_offset_minutes_ = record.utc_offset_minutes;
  // What has left the longest range is let go, a minute at a time.
  const std::int64_t oldest = minutes_.back().utc_minute - RangeMinutes(ChartRange::kMonth);
  if (minutes_.front().utc_minute < oldest) {
    minutes_.erase(minutes_.begin(), std::find_if(minutes_.begin(), minutes_.end(),
                                                  [oldest](const ChartMinute& m) { return m.utc_minute >= oldest; }));
  }
  RefreshProblem();
  RedrawCanvas(kHistoryChart);
}

void HistoryView::RefreshProblem() {
  if (!IsOpen()) return;
  const std::string problem = HistoryWriteProblem();
  SetText(kHistoryProblemText, problem.empty() ? std::string() : Concatenate(ui::kHistoryNotWritten, " ", problem));
}

void HistoryView::ShowAlarmRow() {
  NewText(kAlarmRowText, 0, 0, 1, 1, ui::kAlarmRowText);
  NewCheckBox(kBelowAlarmBox, 0, 0, 1, 1, ui::kBelowAlarm);
  NewSpinField(kBelowAlarmField, 0, 0, 1, 1, kLowestAlarmLimit, kHighestAlarmLimit, kSpinNumeric);
  NewText(kBelowAlarmUnit, 0, 0, 1, 1, ui::kDegrees);
  NewCheckBox(kAboveAlarmBox, 0, 0, 1, 1, ui::kAboveAlarm);
  NewSpinField(kAboveAlarmField, 0, 0, 1, 1, kLowestAlarmLimit, kHighestAlarmLimit, kSpinNumeric);
  NewText(kAboveAlarmUnit, 0, 0, 1, 1, ui::kDegrees);
  if (!alarms_) return;
  SetState(kBelowAlarmBox, alarms_->below_on ? 1 : 0);
  SetState(kBelowAlarmField, alarms_->below);
  SetState(kAboveAlarmBox, alarms_->above_on ? 1 : 0);
  SetState(kAboveAlarmField, alarms_->above);
}

// The rules take the row's values at their next tick; the chart shows them at once.
void HistoryView::TakeAlarmRow() {
  if (!alarms_) return;
  const AlarmSettings shown{GetState(kBelowAlarmBox) == 1, GetState(kBelowAlarmField), GetState(kAboveAlarmBox) == 1,
                            GetState(kAboveAlarmField)};
  if (shown == *alarms_) return;
  *alarms_ = shown;
  RedrawCanvas(kHistoryChart);
}

bool HistoryView::OnGadgetEvent(int widget, int type) {
  switch (widget) {
    case kBelowAlarmBox:
    case kBelowAlarmField:
    case kAboveAlarmBox:
    case kAboveAlarmField:
      if (IsOpen()) TakeAlarmRow();
      return true;
    case kAlarmRowText:
    case kBelowAlarmUnit:
    case kAboveAlarmUnit:
      return true;
    case kHistoryDayButton:
    case kHistoryWeekButton:
    case kHistoryMonthButton:
      if (RangeOfButton(widget) != range_) {
        range_ = RangeOfButton(widget);
        RedrawCanvas(kHistoryChart);
      }
      PressRangeButton(range_);
      return true;
    case kHistoryChart:
      if (type == kCanvasMouseMoved || type == kCanvasMouseLeft) RedrawCanvas(kHistoryChart);
      return true;
    case kHistoryProblemText:
      return true;
    default:
      return false;
  }
}

bool HistoryView::OnWindowEvent(int kind, int window) {
  if (window != kHistoryWindow || (kind != CloseEvent && kind != WindowSizedEvent)) return false;
  // A close request for it ends nothing, even once it is closed: a second one may be on its way.
  if (!IsOpen()) return true;
  if (kind == CloseEvent) {
    Close();
  } else {
    LayOutWidgets();
    RedrawCanvas(kHistoryChart);
  }
  return true;
}

bool HistoryView::OnProgramEvent(int kind, int object) {
  if (kind != kHistoryLoadedEvent) return false;
  if (object == load_number_ && TakeLoaded()) RedrawCanvas(kHistoryChart);
  return true;
}

ChartInput HistoryView::Input() const {
  ChartInput input;
  input.minutes = minutes_;
  input.utc_offset_minutes = utc_offset_minutes_;
  input.end_utc_minute = NowUtcMinute(utc_offset_minutes_);
  input.range = range_;
  // The thermostat's bands as the thermostat itself reads them: from its widgets.
  for (int outlet = 1; outlet <= kChartOutlets; ++outlet) {
    ChartBand& band = input.bands[static_cast<std::size_t>(outlet - 1)];
    band.enabled = GetState(ThermostatButton(outlet)) == 1;
    const int on = GetState(SwitchOnBandField(outlet)), off = GetState(SwitchOffBandField(outlet));
    band.low_c = std::min(on, off);
    band.high_c = std::max(on, off);
  }
  // The alarm limits that are on, as dashed lines.
  if (alarms_ && alarms_->below_on) input.extra_levels.push_back(static_cast<float>(alarms_->below));
  if (alarms_ && alarms_->above_on) input.extra_levels.push_back(static_cast<float>(alarms_->above));
  return input;
}

void HistoryView::Paint(CanvasSurface& surface) {
  // A load that has finished is taken here too: its event may have been swallowed by a modal loop.
  (void)TakeLoaded();
  ChartFrame frame;
  frame.width = surface.Width();
  frame.height = surface.Height();
  frame.dpi = surface.Dpi();
  frame.text_height = surface.TextHeight();
  frame.label_width = surface.TextWidth("-00.0");
  frame.strip_label_width = 0;
  for (const std::string& name : names_)
    frame.strip_label_width = std::max(frame.strip_label_width, surface.TextWidth(name));
  const ChartColours colours;
  constexpr int kTextColour = 0x303030;
  const int centre_x = frame.width / 2, centre_y = (frame.height - frame.text_height) / 2;
  if (load_) {
    pixels_.Reset(frame.width, frame.height, colours.background);
    surface.PutPixels(pixels_.pixels.data(), pixels_.width, pixels_.height);
    surface.PutText(centre_x, centre_y, ui::kHistoryLoading, kTextColour, kTextCentred);
    Describe(ui::kHistoryLoading);
    return;
  }
  const ChartInput input = Input();
  const ChartLayout layout = LayOutChart(input, frame);
  PaintChart(layout, frame, colours, pixels_);
  int mouse_x = 0, mouse_y = 0;
  const bool pointing = CanvasMousePosition(kHistoryChart, mouse_x, mouse_y) && mouse_x >= layout.plot.left &&
                        mouse_x < layout.plot.right && mouse_y < layout.strips[kChartOutlets - 1].bottom;
  if (pointing && layout.has_data) {
    pixels_.FillRect(static_cast<float>(mouse_x), static_cast<float>(layout.plot.top), static_cast<float>(mouse_x + 1),
                     static_cast<float>(layout.strips[kChartOutlets - 1].bottom), colours.frame);
  }
  surface.PutPixels(pixels_.pixels.data(), pixels_.width, pixels_.height);

  const int gap = std::max(3, frame.dpi / 24);
  const PixelRect& plot = layout.plot;
  for (const ChartTick& tick : layout.temperature_ticks) {
    surface.PutText(plot.left - gap, static_cast<int>(tick.position) - frame.text_height / 2, tick.label, kTextColour,
                    kTextRight);
  }
  surface.PutText(plot.left - gap, 0, ui::kCelsius, kTextColour, kTextRight);
  for (const ChartTick& tick : layout.time_ticks) {
    surface.PutText(static_cast<int>(tick.position), plot.bottom + gap / 2, tick.label, kTextColour, kTextCentred);
  }
  for (std::size_t k = 0; k < kChartOutlets; ++k) {
    const PixelRect& strip = layout.strips[k];
    surface.PutText(plot.left - gap, (strip.top + strip.bottom - frame.text_height) / 2, names_[k], kTextColour,
                    kTextRight);
  }
  if (layout.has_latest) {
    surface.PutText(plot.right, 0, ChartCelsiusText(layout.latest_c, true), 0, kTextRight);
  }
  if (!layout.has_data) {
    surface.PutText(plot.left + plot.Width() / 2, centre_y, ui::kHistoryEmpty, kTextColour, kTextCentred);
    Describe(ui::kHistoryEmpty);
    return;
  }
  if (pointing) {
    // Beside the pointer's line, on whichever side has room for it.
    const std::string text = ChartPointText(layout, mouse_x);
    const bool right = mouse_x + gap + surface.TextWidth(text) <= plot.right;
    surface.PutText(right ? mouse_x + gap : mouse_x - gap, 0, text, kTextColour, right ? 0 : kTextRight);
  }
  ++charts_painted_;
  Describe(Concatenate(RangeText(range_), ": ", ChartCelsiusText(layout.latest_c, true)));
}

}  // namespace qx
