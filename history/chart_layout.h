#pragma once
// What the temperature chart shows, worked out as plain numbers: the scales, the ticks and their
// labels, the minute records gathered into pixel columns, where the line must break, and how long
// each outlet was on in each column. The window only paints what this gives it, so every rule a
// fault could hide in (a gap bridged, a tick off by an hour, a column that loses its extremes) is
// reached by the host tests without a window.
//
// All coordinates are device pixels of the chart surface, y growing downwards.

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace qx {

inline constexpr int kChartOutlets = 4;

// One minute as the chart needs it. `utc_minute` counts minutes from 1970-01-01 00:00 UTC.
struct ChartMinute {
  std::int64_t utc_minute = 0;
  float min_c = 0, mean_c = 0, max_c = 0;
  int readings = 0;          // 0: no temperature that minute
  std::uint8_t outlets = 0;  // bit n-1: outlet n was on at the minute's end
  int utc_offset_minutes = 0;  // of the local time the minute was recorded in
};

enum class ChartRange { kDay, kWeek, kMonth };
[[nodiscard]] int RangeMinutes(ChartRange range);

// An enabled outlet's thermostat band: the chart draws both values as lines in its colour.
struct ChartBand {
  bool enabled = false;
  int low_c = 0, high_c = 0;
};

// Where the chart may draw, in device pixels, and how large the texts are there.
struct ChartFrame {
  int width = 0, height = 0;  // the whole surface
  int dpi = 96;
  int text_height = 13;  // one line of the surface's font
  int label_width = 40;  // the widest °C label, and room for the strips' names
  int strip_label_width = 60;
};

struct ChartInput {
  std::span<const ChartMinute> minutes;  // in any order
  std::int64_t end_utc_minute = 0;       // the range ends here (now), exclusive
  ChartRange range = ChartRange::kDay;
  // Local time's offset now: the labels' where no minute says which offset was in force.
  int utc_offset_minutes = 0;
  std::array<ChartBand, kChartOutlets> bands{};
  // Extra horizontal lines the scale must include (alarm limits), in °C.
  std::vector<float> extra_levels;
};

struct PixelRect {
  int left = 0, top = 0, right = 0, bottom = 0;
  [[nodiscard]] int Width() const { return right - left; }
  [[nodiscard]] int Height() const { return bottom - top; }
};

// One pixel column of the plot.
struct ChartColumn {
  bool has_data = false;
  float min_c = 0, max_c = 0, mean_c = 0;  // the mean over the column's readings, weighted by count
  // The column's line joins the previous column's: both have data and no minute between their
  // readings went without one.
  bool joins_previous = false;
  std::array<float, kChartOutlets> on_share{};  // the part of the column's recorded minutes an outlet was on
  std::array<bool, kChartOutlets> recorded{};   // any recorded minute in the column at all
};

struct ChartTick {
  float position = 0;  // x for time ticks, y for temperature ticks
  std::string label;   // Windows-1251
};

struct ChartLevelLine {
  int outlet = 0;  // 1..4; 0 for an extra level
  float y = 0;
  float value_c = 0;
};

// Consecutive minutes (in time's order) recorded at one offset from UTC.
struct ChartOffsetRun {
  std::int64_t first_utc_minute = 0, last_utc_minute = 0;
  int utc_offset_minutes = 0;
};

struct ChartLayout {
  PixelRect plot;                                 // the temperature area
  std::array<PixelRect, kChartOutlets> strips{};  // one per outlet, under the plot
  std::int64_t start_utc_minute = 0, end_utc_minute = 0;
  float low_c = 0, high_c = 0;       // the temperature scale's ends
  std::vector<ChartColumn> columns;  // plot.Width() of them
  std::vector<ChartTick> time_ticks, temperature_ticks;
  std::vector<ChartLevelLine> levels;
  bool has_data = false;
  // The newest minute with a reading in the whole input, for the corner.
  bool has_latest = false;
  float latest_c = 0;
  // Which offset from UTC each stretch of the input was recorded at, and the input's offset for
  // a chart without minutes.
  std::vector<ChartOffsetRun> offsets;
  int utc_offset_minutes = 0;

  [[nodiscard]] float YOf(float celsius) const;
  [[nodiscard]] float XOfMinute(std::int64_t utc_minute) const;
  [[nodiscard]] std::int64_t MinuteAtX(int x) const;
  // The offset of local time in force at the instant: the offset of the minute recorded then, or
  // between minutes of the nearest one. A change of daylight-saving time inside the range thus
  // moves the labels after it, and a label before it keeps the offset it was recorded at.
  [[nodiscard]] int UtcOffsetAt(std::int64_t utc_minute) const;
};

[[nodiscard]] ChartLayout LayOutChart(const ChartInput& input, const ChartFrame& frame);

// A temperature as the chart writes it: one decimal, "-" for minus, and "°C" when asked.
[[nodiscard]] std::string ChartCelsiusText(float celsius, bool unit);

// What the pointer at x over the plot shows: the local time there (at the offset in force then)
// and the column's values, or the time alone where there was no reading. Empty outside the plot.
[[nodiscard]] std::string ChartPointText(const ChartLayout& layout, int x);

}  // namespace qx
