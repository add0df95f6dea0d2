#pragma once
// One minute of the temperature history, as the program keeps it on disk: a CSV line per minute
// in one file per month, in a folder beside the settings file. Plain values and plain functions,
// so the tests, the fuzzer and the chart reach them without a window.
//
//   time,min_c,mean_c,max_c,readings,outlet1,outlet2,outlet3,outlet4,device
//   2026-12-08T14:05+03:00,21.3,21.47,21.6,540,1,0,0,1,1
//   2026-12-08T14:06+03:00,,,,0,1,0,0,1,0
//
// The time is the local wall clock at the minute's start with its offset from UTC, so the hour
// that repeats when the clocks go back stays unambiguous. A minute without a reading has empty
// temperature fields. The temperatures are kept as whole tenths (the mean as hundredths), exactly
// the digits the line has, so a record read back equals the record written.

#include <array>
#include <compare>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "model/widget_numbers.h"
#include "runtime/date_text.h"

namespace qx {

inline constexpr int kHistoryOutletCount = kOutletCount;

struct MinuteRecord {
  DateValue start = 0;         // local wall clock at the minute's start (seconds are 0)
  int utc_offset_minutes = 0;  // local time minus UTC at that moment (+180 for +03:00)
  int readings = 0;            // accepted readings in the minute; 0 is a valid record
  int min_tenths = 0;          // the three temperatures mean something only when readings > 0
  int mean_hundredths = 0;
  int max_tenths = 0;
  std::array<bool, kHistoryOutletCount> outlets{};  // each outlet's state at the minute's end
  bool device = false;                              // the SwitchUnit was connected at the minute's end

  [[nodiscard]] bool HasTemperature() const { return readings > 0; }
  [[nodiscard]] double MinCelsius() const { return min_tenths / 10.0; }
  [[nodiscard]] double MeanCelsius() const { return mean_hundredths / 100.0; }
  [[nodiscard]] double MaxCelsius() const { return max_tenths / 10.0; }

  friend bool operator==(const MinuteRecord&, const MinuteRecord&) = default;
};

// A minute that ended, and whether the clock came to it from the run's minute before by running on
// with time (the steady count agreeing), rather than by being set or by the run's start: only a
// month lived into may make old months go.
struct EndedMinute {
  MinuteRecord record;
  bool lived = false;
};

// The first line of every month file (without its line break).
inline constexpr std::string_view kHistoryHeader =
    "time,min_c,mean_c,max_c,readings,outlet1,outlet2,outlet3,outlet4,device";
// Lines end with CR LF, as the CSV convention has it; the reader takes a bare LF as well.
inline constexpr std::string_view kHistoryLineBreak = "\r\n";

// The record's line, line break included: what one append writes.
[[nodiscard]] std::string FormatMinuteLine(const MinuteRecord& record);

// What one append adds to a month file of `size` bytes whose last byte is `last_byte`: `header`
// first into an empty file, and a line break first after a last line that lacks one (saved so by
// an editor, cut short by a power failure, zeroed by the disk), so `line` never joins a torn line
// and the torn line costs only itself.
[[nodiscard]] std::string AppendedBytes(std::uint64_t size, char last_byte, std::string_view header,
                                        std::string_view line);

// The record of one line (with or without its line break), or nothing for a line that is not a
// record: the header, a torn or malformed line, a hand edit that does not parse. Never throws,
// and costs at most the line's length.
[[nodiscard]] std::optional<MinuteRecord> ParseMinuteLine(std::string_view line);

// "2026-12.csv": the month file that holds the records whose minute starts in that month.
[[nodiscard]] std::string MonthFileName(int year, int month);
[[nodiscard]] std::string MonthFileName(DateValue minute);
// The year and month a name like "2026-12.csv" stands for; nothing for any other name.
struct HistoryMonth {
  int year = 0;
  int month = 0;  // 1..12
  friend auto operator<=>(const HistoryMonth&, const HistoryMonth&) = default;
};
[[nodiscard]] std::optional<HistoryMonth> ParseMonthFileName(std::string_view name);

// The months kept: the current one and the 12 before it. An older month file is removed.
inline constexpr int kHistoryMonthsKept = 13;
[[nodiscard]] bool IsMonthKept(HistoryMonth month, HistoryMonth current);

// What the writer knows as it writes a record, for its one choice: whether the month files older
// than those kept go now.
struct RetentionFacts {
  HistoryMonth month;                         // the record's
  std::optional<HistoryMonth> previous;       // the record the run wrote before; nothing for the run's first
  std::optional<HistoryMonth> newest_before;  // the newest month file in the folder before the run wrote
  bool lived = false;                         // the record's minute was lived into (EndedMinute::lived)
};
// A deleted year cannot come back, and a clock set wrong for a minute must not cost one: the run's
// first record clears old months only in the month of the newest month file already there or the
// month after it (not after a clock set far ahead, nor in a folder left unused for months); later
// records only when the program has lived into a later month, never when the clock was set to it.
// Old files then go a month late at worst, which costs nothing.
[[nodiscard]] bool IsRetentionDue(const RetentionFacts& facts);

// Limits that keep a foreign or damaged file from costing more than a real one could: no real
// line is near this long, and no real month file near this big (a month of records is about
// 2.5 MB). A longer line is skipped unread; a bigger file is read only up to the limit.
inline constexpr std::size_t kMaxHistoryLineBytes = 256;
inline constexpr std::uint64_t kMaxHistoryFileBytes = 64ull << 20;

// The records whose minute start lies in [from, to] (local wall-clock values), read from the
// month files of `folder` that the range touches and no other. They come month by month, each in
// the order the file has them: the order they were written, which stays the real order when
// the clock was set back. Lines that do not parse are skipped; a missing file gives nothing.
// Blocking disk work: call it off the user-interface thread. `folder` is a Windows-1251 path
// (empty means the working folder).
[[nodiscard]] std::vector<MinuteRecord> ReadHistoryRange(const std::string& folder, DateValue from, DateValue to);

}  // namespace qx
