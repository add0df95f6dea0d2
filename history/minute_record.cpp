#include "history/minute_record.h"

#include <cstdlib>

#include "runtime/text.h"

namespace qx {

namespace {

// The range a DateValue can hold, and a sane bound for offsets (real zones lie within -12..+14 h).
constexpr int kFirstYear = 1970;
constexpr int kLastYear = 2037;
constexpr int kMaxOffsetMinutes = 18 * 60;
// A minute holds at most 600 readings at the sensor's pace; this leaves room for any faster one.
constexpr int kMaxReadings = 999999;
// The validity window of an accepted reading, in tenths: nothing outside it can be a record.
constexpr int kLowestTenths = -580;
constexpr int kHighestTenths = 1500;

// "-1.5" for -15 with one decimal, "21.47" for 2147 with two.
std::string ScaledText(int value, int decimals) {
  const int scale = decimals == 1 ? 10 : 100;
  const int magnitude = std::abs(value);
  std::string text = value < 0 ? "-" : "";
  text += DecimalText(magnitude / scale);
  text += '.';
  const std::string fraction = DecimalText(magnitude % scale);
  text.append(static_cast<std::size_t>(decimals) - fraction.size(), '0');
  text += fraction;
  return text;
}

std::string OffsetText(int minutes) {
  const int magnitude = std::abs(minutes);
  return Concatenate(minutes < 0 ? "-" : "+", TwoDigits(magnitude / 60), ":", TwoDigits(magnitude % 60));
}

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// Exactly `count` digits at `at`.
bool ReadDigits(std::string_view text, std::size_t at, std::size_t count, int& value) {
  if (at + count > text.size()) return false;
  value = 0;
  for (std::size_t i = at; i < at + count; ++i) {
    if (!IsDigit(text[i])) return false;
    value = value * 10 + (text[i] - '0');
  }
  return true;
}

int MonthIndex(HistoryMonth month) {
  return month.year * 12 + month.month - 1;
}

int DaysInMonth(int year, int month) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return month == 2 && leap ? 29 : kDays[month - 1];
}

// "2026-12-08T14:05+03:00" (or "...Z" for UTC).
bool ParseTime(std::string_view text, DateValue& start, int& offset) {
  LocalClockReading r;
  if (text.size() < 17 || text[4] != '-' || text[7] != '-' || (text[10] != 'T' && text[10] != ' ') || text[13] != ':') {
    return false;
  }
  if (!ReadDigits(text, 0, 4, r.year) || !ReadDigits(text, 5, 2, r.month) || !ReadDigits(text, 8, 2, r.day) ||
      !ReadDigits(text, 11, 2, r.hour) || !ReadDigits(text, 14, 2, r.minute)) {
    return false;
  }
  if (r.year < kFirstYear || r.year > kLastYear || r.month < 1 || r.month > 12 || r.day < 1 ||
      r.day > DaysInMonth(r.year, r.month) || r.hour > 23 || r.minute > 59) {
    return false;
  }
  const std::string_view zone = text.substr(16);
  if (zone == "Z") {
    offset = 0;
  } else {
    int hours = 0;
    int minutes = 0;
    if (zone.size() != 6 || (zone[0] != '+' && zone[0] != '-') || zone[3] != ':' || !ReadDigits(zone, 1, 2, hours) ||
        !ReadDigits(zone, 4, 2, minutes) || minutes > 59) {
      return false;
    }
    offset = (hours * 60 + minutes) * (zone[0] == '-' ? -1 : 1);
    if (std::abs(offset) > kMaxOffsetMinutes) return false;
  }
  start = MakeDateValue(r);
  return true;
}

// A decimal with at most `decimals` digits after the point, as a whole number of 10^-decimals:
// "21.3" -> 213 with one decimal, "21" -> 2100 with two.
bool ParseScaled(std::string_view text, int decimals, int& value) {
  std::size_t i = 0;
  const bool negative = !text.empty() && text[0] == '-';
  if (negative) ++i;
  int whole = 0;
  const std::size_t whole_start = i;
  while (i < text.size() && IsDigit(text[i]) && i - whole_start < 4) whole = whole * 10 + (text[i++] - '0');
  if (i == whole_start) return false;
  int fraction = 0;
  int fraction_digits = 0;
  if (i < text.size() && text[i] == '.') {
    ++i;
    while (i < text.size() && IsDigit(text[i]) && fraction_digits < decimals) {
      fraction = fraction * 10 + (text[i++] - '0');
      ++fraction_digits;
    }
    if (fraction_digits == 0) return false;
  }
  if (i != text.size()) return false;
  for (int d = fraction_digits; d < decimals; ++d) fraction *= 10;
  int scale = 1;
  for (int d = 0; d < decimals; ++d) scale *= 10;
  value = whole * scale + fraction;
  if (negative) value = -value;
  return true;
}

bool ParseFlag(std::string_view text, bool& flag) {
  if (text != "0" && text != "1") return false;
  flag = text == "1";
  return true;
}

bool ParseCount(std::string_view text, int& count) {
  if (text.empty() || text.size() > 6) return false;
  count = 0;
  for (char c : text) {
    if (!IsDigit(c)) return false;
    count = count * 10 + (c - '0');
  }
  return count <= kMaxReadings;
}

constexpr std::size_t kFieldCount = 10;

// Splits one CSV record into exactly kFieldCount fields. A field may be quoted ("" inside quotes
// is one quote), as a spreadsheet may save it; `storage` keeps unquoted copies.
bool SplitFields(std::string_view line, std::array<std::string_view, kFieldCount>& fields,
                 std::array<std::string, kFieldCount>& storage) {
  std::size_t count = 0;
  std::size_t i = 0;
  for (;;) {
    if (count == kFieldCount) return false;
    if (i < line.size() && line[i] == '"') {
      std::string& unquoted = storage[count];
      ++i;
      for (;;) {
        if (i >= line.size()) return false;  // torn inside quotes
        if (line[i] == '"') {
          if (i + 1 < line.size() && line[i + 1] == '"') {
            unquoted += '"';
            i += 2;
            continue;
          }
          ++i;
          break;
        }
        unquoted += line[i++];
      }
      fields[count++] = unquoted;
      if (i == line.size()) break;
      if (line[i] != ',') return false;
      ++i;
    } else {
      const std::size_t comma = line.find(',', i);
      const std::size_t end = comma == std::string_view::npos ? line.size() : comma;
      const std::string_view field = line.substr(i, end - i);
      if (field.find('"') != std::string_view::npos) return false;
      fields[count++] = field;
      if (comma == std::string_view::npos) break;
      i = comma + 1;
    }
  }
  return count == kFieldCount;
}

}  // namespace

std::string FormatMinuteLine(const MinuteRecord& record) {
  const LocalClockReading r = BreakDownDateValue(record.start);
  std::string line = Concatenate(DecimalText(r.year), "-", TwoDigits(r.month), "-", TwoDigits(r.day), "T",
                                 TwoDigits(r.hour), ":", TwoDigits(r.minute), OffsetText(record.utc_offset_minutes));
  line.reserve(64);
  if (record.HasTemperature()) {
    line += Concatenate(",", ScaledText(record.min_tenths, 1), ",", ScaledText(record.mean_hundredths, 2), ",",
                        ScaledText(record.max_tenths, 1), ",");
  } else {
    line += ",,,,";
  }
  line += DecimalText(record.readings);
  for (bool on : record.outlets) line += on ? ",1" : ",0";
  line += record.device ? ",1" : ",0";
  line += kHistoryLineBreak;
  return line;
}

std::string AppendedBytes(std::uint64_t size, char last_byte, std::string_view header, std::string_view line) {
  std::string bytes;
  if (size == 0) {
    bytes = header;
  } else if (last_byte == '\r') {
    bytes = "\n";
  } else if (last_byte != '\n') {
    bytes = kHistoryLineBreak;
  }
  bytes += line;
  return bytes;
}

std::optional<MinuteRecord> ParseMinuteLine(std::string_view line) {
  if (!line.empty() && line.back() == '\n') line.remove_suffix(1);
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  if (line.size() > kMaxHistoryLineBytes) return std::nullopt;
  std::array<std::string_view, kFieldCount> fields;
  std::array<std::string, kFieldCount> storage;
  if (!SplitFields(line, fields, storage)) return std::nullopt;

  MinuteRecord record;
  if (!ParseTime(fields[0], record.start, record.utc_offset_minutes)) return std::nullopt;
  if (!ParseCount(fields[4], record.readings)) return std::nullopt;
  const bool empty_temperatures = fields[1].empty() && fields[2].empty() && fields[3].empty();
  if (record.readings == 0) {
    if (!empty_temperatures) return std::nullopt;
  } else {
    if (!ParseScaled(fields[1], 1, record.min_tenths) || !ParseScaled(fields[2], 2, record.mean_hundredths) ||
        !ParseScaled(fields[3], 1, record.max_tenths)) {
      return std::nullopt;
    }
    if (record.min_tenths > record.max_tenths || record.min_tenths < kLowestTenths ||
        record.max_tenths > kHighestTenths) {
      return std::nullopt;
    }
  }
  for (int i = 0; i < kHistoryOutletCount; ++i) {
    if (!ParseFlag(fields[5 + static_cast<std::size_t>(i)], record.outlets[static_cast<std::size_t>(i)])) {
      return std::nullopt;
    }
  }
  if (!ParseFlag(fields[9], record.device)) return std::nullopt;
  return record;
}

std::string MonthFileName(int year, int month) {
  return Concatenate(DecimalText(year), "-", TwoDigits(month), ".csv");
}

std::string MonthFileName(DateValue minute) {
  const LocalClockReading r = BreakDownDateValue(minute);
  return MonthFileName(r.year, r.month);
}

std::optional<HistoryMonth> ParseMonthFileName(std::string_view name) {
  HistoryMonth month;
  if (name.size() != 11 || name[4] != '-' || !ReadDigits(name, 0, 4, month.year) ||
      !ReadDigits(name, 5, 2, month.month) || month.month < 1 || month.month > 12) {
    return std::nullopt;
  }
  // Windows names are case-blind: "2026-12.CSV" is the same file.
  std::string suffix(name.substr(7));
  for (char& c : suffix) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  if (suffix != ".csv") return std::nullopt;
  return month;
}

bool IsMonthKept(HistoryMonth month, HistoryMonth current) {
  // A month after the current one stays: it was written before the clock was set back, and a
  // clock's mistake must not cost the user's records.
  return MonthIndex(month) > MonthIndex(current) - kHistoryMonthsKept;
}

bool IsRetentionDue(const RetentionFacts& facts) {
  const int index = MonthIndex(facts.month);
  if (!facts.previous) {
    if (!facts.newest_before) return false;
    const int newest = MonthIndex(*facts.newest_before);
    return index == newest || index == newest + 1;
  }
  return facts.lived && index > MonthIndex(*facts.previous);
}

}  // namespace qx
