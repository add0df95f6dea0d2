// The range reader: the month files a range touches, each read as a stream of lines of bounded
// length, so a damaged or foreign file costs at most its capped size and never a line's worth of
// memory beyond the limit.
#include <string>

#include "history/history_files.h"
#include "history/minute_record.h"

namespace qx {

namespace {

// Cuts a stream of pieces into lines. A line longer than the limit is dropped as it streams past
// (no real record is near that long); the last line of the file counts even without its break,
// and the parser then judges whether it is whole.
class LineSplitter {
 public:
  template <typename Take>
  void Feed(std::string_view piece, Take&& take) {
    while (!piece.empty()) {
      const std::size_t newline = piece.find('\n');
      const std::string_view part = piece.substr(0, newline);
      if (!overlong_) {
        if (line_.size() + part.size() > kMaxHistoryLineBytes + 1) {
          overlong_ = true;
          line_.clear();
        } else {
          line_.append(part);
        }
      }
      if (newline == std::string_view::npos) return;
      if (!overlong_) take(std::string_view(line_));
      line_.clear();
      overlong_ = false;
      piece.remove_prefix(newline + 1);
    }
  }
  template <typename Take>
  void Finish(Take&& take) {
    if (!overlong_ && !line_.empty()) take(std::string_view(line_));
    line_.clear();
    overlong_ = false;
  }

 private:
  std::string line_;
  bool overlong_ = false;
};

}  // namespace

std::vector<MinuteRecord> ReadHistoryRange(const std::string& folder, DateValue from, DateValue to) {
  std::vector<MinuteRecord> records;
  if (from > to) return records;
  const LocalClockReading first = BreakDownDateValue(from);
  const LocalClockReading last = BreakDownDateValue(to);
  int year = first.year;
  int month = first.month;
  auto take = [&](std::string_view line) {
    if (const auto record = ParseMinuteLine(line); record && record->start >= from && record->start <= to) {
      records.push_back(*record);
    }
  };
  while (year < last.year || (year == last.year && month <= last.month)) {
    LineSplitter lines;
    (void)ReadHistoryFile(HistoryPath(folder, MonthFileName(year, month)), kMaxHistoryFileBytes,
                          [&](std::string_view piece) {
                            lines.Feed(piece, take);
                            return true;
                          });
    lines.Finish(take);
    if (++month > 12) {
      month = 1;
      ++year;
    }
  }
  return records;
}

}  // namespace qx
