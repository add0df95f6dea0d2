#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "history/chart_layout.h"
#include "history/chart_paint.h"

namespace qx {
namespace {

// 2026-12-08 00:00 UTC in minutes from 1970.
constexpr std::int64_t kDec8 = 20'430LL * 1440;

ChartMinute Reading(std::int64_t minute, float mean, std::uint8_t outlets = 0) {
  return {minute, mean - 0.5f, mean, mean + 0.5f, 6, outlets};
}
ChartMinute Silent(std::int64_t minute, std::uint8_t outlets = 0) {
  return {minute, 0, 0, 0, 0, outlets};
}

// A frame whose plot is exactly `columns` pixels wide at 96 DPI.
ChartFrame FrameWithPlot(int columns) {
  ChartFrame frame;
  frame.width = columns + 60 + 12 + 6;  // the label column and the pads around the plot
  frame.height = 300;
  return frame;
}

ChartLayout Lay(const std::vector<ChartMinute>& minutes, std::int64_t end, ChartRange range, int columns,
                int offset = 0) {
  ChartInput input;
  input.minutes = minutes;
  input.end_utc_minute = end;
  input.range = range;
  input.utc_offset_minutes = offset;
  return LayOutChart(input, FrameWithPlot(columns));
}

// Which columns start a run of the line ('[' ), continue it ('-') or have no reading (' ').
std::string Runs(const ChartLayout& layout) {
  std::string runs;
  for (const ChartColumn& c : layout.columns) runs += !c.has_data ? ' ' : (c.joins_previous ? '-' : '[');
  return runs;
}

TEST(ChartLayoutTest, TheLineBreaksWhereverAMinuteHadNoReading) {
  // The day's last ten minutes on a plot of 1440 columns: one column per minute.
  const std::int64_t end = kDec8 + 1440, first = end - 10;
  struct Case {
    const char* what;
    std::vector<ChartMinute> minutes;
    std::string tail;  // the last ten columns
  };
  const Case cases[] = {
      {"unbroken", {Reading(first, 20), Reading(first + 1, 20), Reading(first + 2, 21)}, "[--       "},
      {"a silent minute", {Reading(first, 20), Silent(first + 1), Reading(first + 2, 21)}, "[ [       "},
      {"no record at all", {Reading(first, 20), Reading(first + 2, 21), Reading(first + 3, 21)}, "[ [-      "},
      {"out of order", {Reading(first + 2, 21), Reading(first, 20), Reading(first + 1, 20)}, "[--       "},
      {"the range's last minute", {Reading(end - 2, 20), Reading(end - 1, 20), Reading(end, 30)}, "        [-"},
  };
  for (const Case& c : cases) {
    const ChartLayout layout = Lay(c.minutes, end, ChartRange::kDay, 1440);
    ASSERT_EQ(layout.columns.size(), 1440u);
    EXPECT_EQ(Runs(layout).substr(1430), c.tail) << c.what;
  }
}

TEST(ChartLayoutTest, ColumnsGatherTheirMinutesWithoutHolesOrBridges) {
  const std::int64_t end = kDec8 + 1440;
  // Wider than the day has minutes: each minute fills two columns, and an unbroken hour stays one
  // run with no empty column inside it.
  std::vector<ChartMinute> hour;
  for (int m = 0; m < 60; ++m) hour.push_back(Reading(end - 60 + m, 20 + m * 0.1f));
  const ChartLayout wide = Lay(hour, end, ChartRange::kDay, 2880);
  EXPECT_EQ(Runs(wide).substr(2760), "[" + std::string(119, '-'));

  // Narrower: 30 days on 720 columns puts an hour in each. The extremes survive, the mean is
  // weighted by the readings, and a silence across a column's edge still breaks the line.
  const std::int64_t month_end = kDec8;
  const std::int64_t start = month_end - 30 * 1440;
  std::vector<ChartMinute> minutes;
  minutes.push_back({start, 10, 12, 14, 1, 0});
  minutes.push_back({start + 1, 18, 20, 22, 3, 0});
  minutes.push_back({start + 59, 19, 19, 19, 1, 0});
  minutes.push_back({start + 60, 19, 19, 19, 1, 0});  // joins: the next minute
  minutes.push_back({start + 150, 19, 19, 19, 1, 0});
  minutes.push_back({start + 181, 19, 19, 19, 1, 0});  // after a silence of 30 minutes
  const ChartLayout month = Lay(minutes, month_end, ChartRange::kMonth, 720);
  const ChartColumn& first = month.columns[0];
  EXPECT_FLOAT_EQ(first.min_c, 10);
  EXPECT_FLOAT_EQ(first.max_c, 22);
  EXPECT_FLOAT_EQ(first.mean_c, (12 + 3 * 20 + 19) / 5.0f);
  EXPECT_EQ(Runs(month).substr(0, 5), "[-[[ ");

  // Minutes outside the range are left out, the newest reading is the corner's.
  const ChartLayout week = Lay({Reading(end - 7 * 1440 - 1, 40), Reading(end - 7 * 1440, 21), Reading(end, 50),
                                Reading(end - 5, 22.5f), Silent(end - 1)},
                               end, ChartRange::kWeek, 700);
  EXPECT_FLOAT_EQ(week.high_c < 40 ? 0 : 1, 0) << "a minute before the range sets no scale";
  EXPECT_TRUE(week.columns.front().has_data);
  EXPECT_TRUE(week.has_latest);
  EXPECT_FLOAT_EQ(week.latest_c, 50) << "the newest minute with a reading, even past the range's end";
}

TEST(ChartLayoutTest, TimeTicksFallOnLocalHoursAndDays) {
  struct Case {
    ChartRange range;
    int columns;
    int offset;  // of local time, minutes
    std::int64_t end;
    std::vector<std::string> first_labels;
  };
  const Case cases[] = {
      // 24 hours ending 14:05 local (+03:00): every two hours, the day's start by its date.
      {ChartRange::kDay, 700, 180, kDec8 + 11 * 60 + 5, {"16:00", "18:00", "20:00", "22:00", "08.12", "02:00"}},
      // The same at UTC and on a narrow plot: wider steps.
      {ChartRange::kDay, 300, 0, kDec8 + 11 * 60 + 5, {"12:00", "18:00", "08.12", "06:00"}},
      // A week: local midnights, labelled by date; a negative offset moves them.
      {ChartRange::kWeek, 700, -300, kDec8 + 600, {"02.12", "03.12", "04.12"}},
      // A month: every third day.
      {ChartRange::kMonth, 700, 180, kDec8, {"11.11", "14.11", "17.11"}},
  };
  for (const Case& c : cases) {
    const ChartLayout layout = Lay({}, c.end, c.range, c.columns, c.offset);
    ASSERT_GE(layout.time_ticks.size(), c.first_labels.size());
    for (std::size_t i = 0; i < c.first_labels.size(); ++i) {
      EXPECT_EQ(layout.time_ticks[i].label, c.first_labels[i]) << c.columns << " columns, tick " << i;
    }
    float before = static_cast<float>(layout.plot.left);
    for (const ChartTick& tick : layout.time_ticks) {
      EXPECT_GE(tick.position, before);
      EXPECT_LT(tick.position, static_cast<float>(layout.plot.right));
      before = tick.position + 4.0f * 13;  // never closer than four text heights
    }
  }
  // 24 h to 14:05 local on a column a minute: hourly, the tick "15:00" 55 minutes in.
  const ChartLayout day = Lay({}, kDec8 + 11 * 60 + 5, ChartRange::kDay, 1440, 180);
  EXPECT_EQ(day.time_ticks[0].label, "15:00");
  EXPECT_EQ(day.time_ticks[1].label, "16:00");
  EXPECT_FLOAT_EQ(day.time_ticks[0].position, static_cast<float>(day.plot.left + 55));
}

TEST(ChartLayoutTest, TimesAreLocalAtTheOffsetInForceThen) {
  // Summer time (+03:00) ends at 01:00 UTC: 04:00 becomes 03:00 (+02:00), the offset of now.
  const std::int64_t change = kDec8 + 60, end = kDec8 + 12 * 60, start = end - 1440;
  struct Case {
    const char* what;
    std::int64_t gap_from, gap_to;                              // no record in [gap_from, gap_to)
    std::int64_t summer_until;                                  // records before it at +03:00, from it on at +02:00
    std::vector<std::pair<std::int64_t, std::string>> pointed;  // the pointer over a minute: its text
    std::string ticks;
  };
  const std::string before = "15:00 16:00 17:00 18:00 19:00 20:00 21:00 22:00 23:00 08.12 01:00 02:00 03:00 ";
  const std::string after = "04:00 05:00 06:00 07:00 08:00 09:00 10:00 11:00 12:00 13:00";
  const Case cases[] = {
      {"every minute before the change",
       0,
       0,
       end,
       {{start, "07.12 15:00"}, {end - 1, "08.12 14:59"}},
       before + after + " 14:00"},
      {"the change inside the range: the hour repeats",
       0,
       0,
       change,
       {{change - 30, "08.12 03:30"}, {change + 30, "08.12 03:30"}, {end - 1, "08.12 13:59"}},
       before + "03:00 " + after},
      {"no record across the change: the nearest record's offset",
       change - 121,
       change + 119,
       change,
       {{change - 60, "08.12 03:00"}, {change + 1, "08.12 03:01"}},
       before + "03:00 " + after},
  };
  for (const Case& c : cases) {
    std::vector<ChartMinute> minutes;
    for (std::int64_t m = start; m < end; ++m) {
      if (m >= c.gap_from && m < c.gap_to) continue;
      minutes.push_back(Silent(m));
      minutes.back().utc_offset_minutes = m < c.summer_until ? 180 : 120;
    }
    const ChartLayout layout = Lay(minutes, end, ChartRange::kDay, 1440, 120);
    for (const auto& [minute, shown] : c.pointed) {
      EXPECT_EQ(ChartPointText(layout, layout.plot.left + static_cast<int>(minute - start)), shown + "   \x97")
          << c.what;
    }
    std::string ticks;
    for (const ChartTick& tick : layout.time_ticks) ticks += (ticks.empty() ? "" : " ") + tick.label;
    EXPECT_EQ(ticks, c.ticks) << c.what;
  }
}

TEST(ChartLayoutTest, TheTemperatureScaleHoldsReadingsAndEnabledBands) {
  const std::int64_t end = kDec8 + 1440;
  ChartInput input;
  const std::vector<ChartMinute> minutes = {{end - 3, 21.2f, 22, 23.4f, 4, 0}, {end - 2, 22, 22.5f, 24.9f, 4, 0}};
  input.minutes = minutes;
  input.end_utc_minute = end;
  input.bands[1] = {true, 18, 20};
  input.bands[2] = {false, -5, 40};  // disabled: no line, no room
  const ChartLayout layout = LayOutChart(input, FrameWithPlot(600));
  EXPECT_LE(layout.low_c, 18);
  EXPECT_GE(layout.high_c, 24.9f);
  EXPECT_GT(layout.low_c, -5);
  EXPECT_LT(layout.high_c, 40);
  ASSERT_EQ(layout.levels.size(), 2u);
  EXPECT_EQ(layout.levels[0].outlet, 2);
  EXPECT_FLOAT_EQ(layout.levels[0].y, layout.YOf(18));
  EXPECT_GT(layout.levels[0].y, layout.levels[1].y) << "colder is lower";
  ASSERT_GE(layout.temperature_ticks.size(), 3u);
  for (const ChartTick& tick : layout.temperature_ticks) {
    EXPECT_GE(tick.position, static_cast<float>(layout.plot.top) - 0.01f);
    EXPECT_LE(tick.position, static_cast<float>(layout.plot.bottom) + 0.01f);
  }
  EXPECT_EQ(layout.temperature_ticks.front().label, "18") << "every second degree, from a step below the band";

  // No readings and no band: a room's range, still with ticks.
  const ChartLayout empty = Lay({Silent(end - 1)}, end, ChartRange::kDay, 600);
  EXPECT_FALSE(empty.has_data);
  EXPECT_FALSE(empty.has_latest);
  EXPECT_LT(empty.low_c, empty.high_c);
  EXPECT_FALSE(empty.temperature_ticks.empty());
}

TEST(ChartLayoutTest, StripsShareAndPointTexts) {
  const std::int64_t end = kDec8 + 1440;
  // Outlet 1 on for 45 of an hour's 60 recorded minutes, outlet 3 never; the next hour unrecorded.
  std::vector<ChartMinute> minutes;
  const std::int64_t start = end - 30 * 1440;
  for (int m = 0; m < 60; ++m) {
    minutes.push_back(Reading(start + m, 21, m < 45 ? 0x1 : 0x0));
    minutes.back().utc_offset_minutes = 180;
  }
  const ChartLayout layout = Lay(minutes, end, ChartRange::kMonth, 720);
  EXPECT_FLOAT_EQ(layout.columns[0].on_share[0], 0.75f);
  EXPECT_FLOAT_EQ(layout.columns[0].on_share[2], 0);
  EXPECT_FALSE(layout.columns[1].recorded[0]);
  EXPECT_EQ(layout.strips[0].left, layout.plot.left);
  EXPECT_GT(layout.strips[0].top, layout.plot.bottom);
  EXPECT_GT(layout.strips[3].top, layout.strips[2].bottom);

  // The pointer over the first column at +03:00: the middle of 09.11 03:00..04:00, then the values.
  EXPECT_EQ(ChartPointText(layout, layout.plot.left),
            "09.11 03:30   21.0 \xB0"
            "C   (20.5 \x96 21.5)");
  EXPECT_EQ(ChartPointText(layout, layout.plot.left + 1), "09.11 04:30   \x97");
  EXPECT_EQ(ChartPointText(layout, layout.plot.left - 1), "");
  EXPECT_EQ(ChartPointText(layout, layout.plot.right), "");
  EXPECT_EQ(ChartCelsiusText(-0.04f, false), "0.0");
  EXPECT_EQ(ChartCelsiusText(-12.25f, false), "-12.3");
}

TEST(ChartPaintTest, LinesAreSoftRulesSharpAndGapsEmpty) {
  PixelBuffer buffer;
  buffer.Reset(20, 20, MakeRgb(255, 255, 255));
  buffer.DrawLine(2, 2, 17, 12, 1.5f, MakeRgb(0, 0, 0));
  int full = 0, partial = 0;
  for (Rgb p : buffer.pixels) {
    if (p == 0) ++full;
    if (p != 0 && p != MakeRgb(255, 255, 255)) ++partial;
  }
  EXPECT_GT(full, 5);
  EXPECT_GT(partial, full) << "a slanted line's edges are blended, not stepped";

  buffer.Reset(20, 20, MakeRgb(255, 255, 255));
  buffer.DrawRule(0, 20, 7.6f, 1, MakeRgb(0, 0, 0), 4);
  for (int y = 0; y < 20; ++y) {
    for (int x = 0; x < 20; ++x) {
      const bool on = y == 7 && (x / 4) % 2 == 0;
      ASSERT_EQ(buffer.At(x, y), on ? 0u : MakeRgb(255, 255, 255)) << x << "," << y;
    }
  }
  buffer.FillRect(2.5f, 0, 4, 1, MakeRgb(0, 0, 0));
  EXPECT_EQ(buffer.At(2, 0), MakeRgb(127, 127, 127));
  EXPECT_EQ(buffer.At(3, 0), 0u);

  // A painted chart: no line colour in the columns of a silence, the line on both sides of it.
  const std::int64_t end = kDec8 + 1440;
  std::vector<ChartMinute> minutes;
  for (int m = 0; m < 1440; ++m) {
    if (m < 600 || m >= 700) minutes.push_back(Reading(end - 1440 + m, 20 + (m % 50) * 0.05f, m < 900 ? 1 : 2));
  }
  ChartInput input;
  input.minutes = minutes;
  input.end_utc_minute = end;
  const ChartFrame frame = FrameWithPlot(720);
  const ChartLayout layout = LayOutChart(input, frame);
  const ChartColours colours;
  PaintChart(layout, frame, colours, buffer);
  ASSERT_EQ(buffer.width, frame.width);
  auto column_has = [&](int column, Rgb colour) {
    for (int y = layout.plot.top; y < layout.plot.bottom; ++y) {
      if (buffer.At(layout.plot.left + column, y) == colour) return true;
    }
    return false;
  };
  EXPECT_TRUE(column_has(200, colours.line));
  EXPECT_TRUE(column_has(200, colours.band));
  for (int column = 302; column < 348; ++column) {
    EXPECT_FALSE(column_has(column, colours.line)) << column;
    EXPECT_FALSE(column_has(column, colours.band)) << column;
  }
  EXPECT_TRUE(column_has(400, colours.line));
  const int strip_y = layout.strips[0].top + 1;
  EXPECT_EQ(buffer.At(layout.plot.left + 100, strip_y), colours.outlets[0]);
  EXPECT_EQ(buffer.At(layout.plot.left + 500, strip_y), colours.strip_off);
  EXPECT_EQ(buffer.At(layout.plot.left + 500, layout.strips[1].top + 1), colours.outlets[1]);
}

}  // namespace
}  // namespace qx
