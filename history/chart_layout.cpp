#include "history/chart_layout.h"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <limits>
#include <utility>

#include "runtime/date_text.h"
#include "runtime/text.h"

namespace qx {
namespace {

constexpr char kDegreeC[] =
    "\xB0"
    "C";  // Windows-1251
constexpr char kEnDash[] = " \x96 ";
constexpr char kEmDash[] = "\x97";

int Scaled(int value, int dpi) {
  return static_cast<int>(std::lround(static_cast<double>(value) * dpi / 96.0));
}

// Minutes of local time from 1970, as the date text functions read them.
std::string LocalText(std::int64_t utc_minute, int utc_offset_minutes, const char* mask) {
  const std::int64_t seconds = (utc_minute + utc_offset_minutes) * 60;
  if (seconds < 0 || seconds > std::numeric_limits<DateValue>::max()) return {};
  return FormatDateText(mask, static_cast<DateValue>(seconds));
}

struct ColumnSums {
  double weighted_mean = 0;
  long long readings = 0;
  int recorded = 0;
  std::array<int, kChartOutlets> on{};
  std::int64_t first_data = std::numeric_limits<std::int64_t>::max();
  std::int64_t last_data = std::numeric_limits<std::int64_t>::min();
};

void GatherColumns(const ChartInput& input, ChartLayout& layout) {
  const int n = layout.plot.Width();
  layout.columns.assign(static_cast<std::size_t>(std::max(n, 0)), ChartColumn{});
  if (n <= 0) return;
  const std::int64_t span = layout.end_utc_minute - layout.start_utc_minute;
  std::vector<ColumnSums> sums(static_cast<std::size_t>(n));
  for (const ChartMinute& m : input.minutes) {
    const std::int64_t offset = m.utc_minute - layout.start_utc_minute;
    if (offset < 0 || offset >= span) continue;
    // A minute covers every column its stretch of the axis touches: on a plot wider than the
    // range has minutes, a minute fills several columns rather than leaving holes between them.
    const std::int64_t first = offset * n / span;
    const std::int64_t last = std::min<std::int64_t>(((offset + 1) * n + span - 1) / span - 1, n - 1);
    for (std::int64_t c = first; c <= std::max(first, last); ++c) {
      ColumnSums& s = sums[static_cast<std::size_t>(c)];
      ChartColumn& column = layout.columns[static_cast<std::size_t>(c)];
      ++s.recorded;
      for (int k = 0; k < kChartOutlets; ++k) s.on[static_cast<std::size_t>(k)] += (m.outlets >> k) & 1;
      if (m.readings <= 0) continue;
      if (!column.has_data) {
        column.has_data = true;
        column.min_c = m.min_c;
        column.max_c = m.max_c;
      } else {
        column.min_c = std::min(column.min_c, m.min_c);
        column.max_c = std::max(column.max_c, m.max_c);
      }
      s.weighted_mean += static_cast<double>(m.mean_c) * m.readings;
      s.readings += m.readings;
      s.first_data = std::min(s.first_data, m.utc_minute);
      s.last_data = std::max(s.last_data, m.utc_minute);
    }
  }
  for (int c = 0; c < n; ++c) {
    const ColumnSums& s = sums[static_cast<std::size_t>(c)];
    ChartColumn& column = layout.columns[static_cast<std::size_t>(c)];
    if (s.recorded > 0) {
      for (std::size_t k = 0; k < kChartOutlets; ++k) {
        column.recorded[k] = true;
        column.on_share[k] = static_cast<float>(s.on[k]) / static_cast<float>(s.recorded);
      }
    }
    if (!column.has_data) continue;
    layout.has_data = true;
    column.mean_c = static_cast<float>(s.weighted_mean / static_cast<double>(s.readings));
    if (c == 0) continue;
    const ChartColumn& before = layout.columns[static_cast<std::size_t>(c - 1)];
    const ColumnSums& b = sums[static_cast<std::size_t>(c - 1)];
    // The same minute in both columns, or the next one: nothing went unread between them.
    column.joins_previous = before.has_data && s.first_data - b.last_data <= 1;
  }
}

// A step of 1, 2 or 5 times a power of ten that gives no more ticks than fit.
float NiceStep(float span, int most_ticks) {
  static constexpr float kSteps[] = {0.1f, 0.2f, 0.5f, 1, 2, 5, 10, 20, 50, 100};
  for (float step : kSteps) {
    if (span / step <= static_cast<float>(std::max(most_ticks, 1))) return step;
  }
  return kSteps[std::size(kSteps) - 1];
}

void ScaleTemperature(const ChartInput& input, const ChartFrame& frame, ChartLayout& layout) {
  float low = std::numeric_limits<float>::max(), high = std::numeric_limits<float>::lowest();
  auto include = [&](float c) {
    low = std::min(low, c);
    high = std::max(high, c);
  };
  for (const ChartColumn& c : layout.columns) {
    if (!c.has_data) continue;
    include(c.min_c);
    include(c.max_c);
  }
  for (const ChartBand& band : input.bands) {
    if (!band.enabled) continue;
    include(static_cast<float>(band.low_c));
    include(static_cast<float>(band.high_c));
  }
  for (float level : input.extra_levels) include(level);
  if (low > high) {  // nothing to show: a room's temperatures
    low = 15;
    high = 30;
  }
  const int most_ticks = std::max(2, layout.plot.Height() / std::max(1, frame.text_height * 2));
  float step = NiceStep(std::max(high - low, 0.5f), most_ticks);
  layout.low_c = std::floor(low / step) * step;
  layout.high_c = std::ceil(high / step) * step;
  // A line exactly on the top or bottom edge would be half hidden: leave it a step of room.
  if (layout.high_c - high < step * 0.25f) layout.high_c += step;
  if (low - layout.low_c < step * 0.25f) layout.low_c -= step;
  const int count = static_cast<int>(std::lround((layout.high_c - layout.low_c) / step));
  if (count > most_ticks) step = NiceStep(layout.high_c - layout.low_c, most_ticks);
  for (float value = std::ceil(layout.low_c / step) * step; value <= layout.high_c + step * 0.01f; value += step) {
    const float rounded = std::round(value / step) * step;
    const std::string text = step >= 1 ? DecimalText(std::lround(rounded)) : ChartCelsiusText(rounded, false);
    layout.temperature_ticks.push_back({layout.YOf(rounded), text});
  }
}

// The input's minutes in time's order as runs of one offset. The range's end is a minute of the
// current offset: it stands for the minutes not yet recorded.
std::vector<ChartOffsetRun> OffsetRuns(const ChartInput& input) {
  std::vector<std::pair<std::int64_t, int>> at;
  at.reserve(input.minutes.size() + 1);
  for (const ChartMinute& m : input.minutes) at.emplace_back(m.utc_minute, m.utc_offset_minutes);
  at.emplace_back(input.end_utc_minute, input.utc_offset_minutes);
  if (!std::is_sorted(at.begin(), at.end())) std::sort(at.begin(), at.end());
  std::vector<ChartOffsetRun> runs;
  for (const auto& [minute, offset] : at) {
    if (!runs.empty() && runs.back().utc_offset_minutes == offset) {
      runs.back().last_utc_minute = minute;
    } else {
      runs.push_back({minute, minute, offset});
    }
  }
  return runs;
}

// The first minute on the step's grid at or after `minute`. (Division rounds towards zero: below
// zero that is already upwards, above it the step is added.)
std::int64_t FirstOnGrid(std::int64_t minute, int step) {
  std::int64_t on_grid = minute / step * step;
  if (on_grid < minute) on_grid += step;
  return on_grid;
}

void TickTimes(const ChartFrame& frame, ChartLayout& layout) {
  static constexpr int kSteps[] = {60, 120, 180, 360, 720, 1440, 2880, 4320, 10080};
  const int n = layout.plot.Width();
  if (n <= 0) return;
  const double span = static_cast<double>(layout.end_utc_minute - layout.start_utc_minute);
  // A label "00:00" or "08.12" is five figures wide; two of them never touch.
  const double least_gap = frame.text_height * 4.0;
  int step = kSteps[std::size(kSteps) - 1];
  for (int candidate : kSteps) {
    if (candidate * n / span >= least_gap) {
      step = candidate;
      break;
    }
  }
  // The local grid of each offset the range was recorded at, kept where that offset was in force.
  std::vector<int> offsets;
  for (const ChartOffsetRun& run : layout.offsets) {
    if (std::find(offsets.begin(), offsets.end(), run.utc_offset_minutes) == offsets.end())
      offsets.push_back(run.utc_offset_minutes);
  }
  std::vector<std::int64_t> instants;
  for (const int offset : offsets) {
    for (std::int64_t local = FirstOnGrid(layout.start_utc_minute + offset, step);
         local < layout.end_utc_minute + offset; local += step) {
      if (layout.UtcOffsetAt(local - offset) == offset) instants.push_back(local - offset);
    }
  }
  std::sort(instants.begin(), instants.end());
  std::int64_t last = std::numeric_limits<std::int64_t>::min();
  for (const std::int64_t utc : instants) {
    // Where the offset changes by less than the step, the two grids meet: the later is left out.
    if (last != std::numeric_limits<std::int64_t>::min() && utc - last < step / 2) continue;
    last = utc;
    const int offset = layout.UtcOffsetAt(utc);
    const bool midnight = (utc + offset) % 1440 == 0;
    const char* mask = (step >= 1440 || midnight) ? "%dd.%mm" : "%hh:%ii";
    layout.time_ticks.push_back({layout.XOfMinute(utc), LocalText(utc, offset, mask)});
  }
}

}  // namespace

int RangeMinutes(ChartRange range) {
  switch (range) {
    case ChartRange::kWeek:
      return 7 * 1440;
    case ChartRange::kMonth:
      return 30 * 1440;
    default:
      return 1440;
  }
}

float ChartLayout::YOf(float celsius) const {
  if (high_c <= low_c) return static_cast<float>(plot.bottom);
  return static_cast<float>(plot.top) + (high_c - celsius) / (high_c - low_c) * static_cast<float>(plot.Height());
}

float ChartLayout::XOfMinute(std::int64_t utc_minute) const {
  const std::int64_t span = end_utc_minute - start_utc_minute;
  if (span <= 0) return static_cast<float>(plot.left);
  return static_cast<float>(plot.left) + static_cast<float>(static_cast<double>(utc_minute - start_utc_minute) *
                                                            plot.Width() / static_cast<double>(span));
}

std::int64_t ChartLayout::MinuteAtX(int x) const {
  const int n = plot.Width();
  if (n <= 0) return start_utc_minute;
  const std::int64_t span = end_utc_minute - start_utc_minute;
  // The middle of the column's stretch of time.
  return start_utc_minute + ((2 * static_cast<std::int64_t>(x - plot.left) + 1) * span) / (2 * n);
}

int ChartLayout::UtcOffsetAt(std::int64_t utc_minute) const {
  if (offsets.empty()) return utc_offset_minutes;
  // The first run that ends at or after the minute, and the one before it.
  const auto after =
      std::lower_bound(offsets.begin(), offsets.end(), utc_minute,
                       [](const ChartOffsetRun& run, std::int64_t m) { return run.last_utc_minute < m; });
  if (after == offsets.end()) return offsets.back().utc_offset_minutes;
  if (after->first_utc_minute <= utc_minute || after == offsets.begin()) return after->utc_offset_minutes;
  const auto before = std::prev(after);
  return utc_minute - before->last_utc_minute <= after->first_utc_minute - utc_minute ? before->utc_offset_minutes
                                                                                      : after->utc_offset_minutes;
}

ChartLayout LayOutChart(const ChartInput& input, const ChartFrame& frame) {
  ChartLayout layout;
  const int pad = Scaled(6, frame.dpi);
  const int strip_height = Scaled(9, frame.dpi);
  const int strip_gap = Scaled(3, frame.dpi);
  const int left = std::max(frame.label_width, frame.strip_label_width) + 2 * pad;
  const int strips_height = kChartOutlets * (strip_height + strip_gap);
  layout.plot = {left, frame.text_height + pad, frame.width - pad,
                 frame.height - strips_height - frame.text_height - 2 * pad};
  if (layout.plot.right < layout.plot.left) layout.plot.right = layout.plot.left;
  if (layout.plot.bottom < layout.plot.top) layout.plot.bottom = layout.plot.top;
  int top = layout.plot.bottom + frame.text_height + pad;
  for (PixelRect& strip : layout.strips) {
    strip = {layout.plot.left, top, layout.plot.right, top + strip_height};
    top += strip_height + strip_gap;
  }
  layout.end_utc_minute = input.end_utc_minute;
  layout.start_utc_minute = input.end_utc_minute - RangeMinutes(input.range);
  layout.utc_offset_minutes = input.utc_offset_minutes;
  layout.offsets = OffsetRuns(input);

  GatherColumns(input, layout);
  ScaleTemperature(input, frame, layout);
  TickTimes(frame, layout);

  for (int outlet = 1; outlet <= kChartOutlets; ++outlet) {
    const ChartBand& band = input.bands[static_cast<std::size_t>(outlet - 1)];
    if (!band.enabled) continue;
    for (int value : {band.low_c, band.high_c}) {
      const auto c = static_cast<float>(value);
      layout.levels.push_back({outlet, layout.YOf(c), c});
    }
  }
  for (float level : input.extra_levels) layout.levels.push_back({0, layout.YOf(level), level});

  std::int64_t newest = std::numeric_limits<std::int64_t>::min();
  for (const ChartMinute& m : input.minutes) {
    if (m.readings > 0 && m.utc_minute >= newest) {
      newest = m.utc_minute;
      layout.has_latest = true;
      layout.latest_c = m.mean_c;
    }
  }
  return layout;
}

std::string ChartCelsiusText(float celsius, bool unit) {
  std::string shown = FixedDecimalText(celsius, 1);
  if (shown == "-0.0") shown = "0.0";  // a minus before nothing only puzzles
  if (unit) shown += std::string(" ") + kDegreeC;
  return shown;
}

std::string ChartPointText(const ChartLayout& layout, int x) {
  if (x < layout.plot.left || x >= layout.plot.right) return {};
  const ChartColumn& column = layout.columns[static_cast<std::size_t>(x - layout.plot.left)];
  const std::int64_t minute = layout.MinuteAtX(x);
  std::string text = LocalText(minute, layout.UtcOffsetAt(minute), "%dd.%mm %hh:%ii") + "   ";
  if (!column.has_data) return text + kEmDash;
  return text + ChartCelsiusText(column.mean_c, true) + "   (" + ChartCelsiusText(column.min_c, false) + kEnDash +
         ChartCelsiusText(column.max_c, false) + ")";
}

}  // namespace qx
