// The month files: what the line parser accepts and refuses, the file names and the months kept,
// and the writer and range reader together on a real folder.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "history/history_writer.h"
#include "history/minute_record.h"

namespace qx {
namespace {

namespace fs = std::filesystem;

DateValue At(int y, int mo, int d, int h, int mi) {
  return MakeDateValue({y, mo, d, h, mi, 0});
}

MinuteRecord Record(DateValue start, int readings = 0, int min = 0, int mean = 0, int max = 0) {
  MinuteRecord r;
  r.start = start;
  r.utc_offset_minutes = 180;
  r.readings = readings;
  r.min_tenths = min;
  r.mean_hundredths = mean;
  r.max_tenths = max;
  r.outlets = {true, false, false, true};
  r.device = true;
  return r;
}

TEST(HistoryLine, ParserTable) {
  const std::string good = "2026-12-08T14:05+03:00,21.3,21.47,21.6,540,1,0,0,1,1";
  struct Row {
    std::string line;
    bool accepted;
    const char* why;
  };
  const std::vector<Row> rows = {
      {good, true, "as written"},
      {good + "\r\n", true, "with its CR LF"},
      {good + "\n", true, "with a bare LF"},
      {"2026-12-08T14:06-09:30,,,,0,0,0,0,0,0", true, "no reading, negative offset"},
      {"2026-12-08T14:06Z,,,,0,0,0,0,0,0", true, "UTC written as Z"},
      {"\"2026-12-08T14:05+03:00\",\"21.3\",21.47,21.6,540,1,0,0,1,\"1\"", true,
       "quoted fields, as a spreadsheet saves"},
      {"2026-12-08T14:05+03:00,21,21.5,22,3,1,0,0,1,1", true, "fewer decimals, as a hand edit may leave"},
      {"2028-02-29T00:00+00:00,-57.9,-0.01,149.9,1,1,1,1,1,1", true, "leap day, the window's edges"},
      {std::string(kHistoryHeader), false, "the header"},
      {"", false, "an empty line"},
      {good.substr(0, 30), false, "torn mid-line"},
      {good.substr(0, good.size() - 2), false, "torn before the last field"},
      {good + ",1", false, "a field too many"},
      {good + "\r\r\n", false, "a stray CR"},
      {"2026-12-08T14:05+03:00,21.3,21.47,21.6,540,1,0,0,2,1", false, "an outlet neither 0 nor 1"},
      {"2026-12-08T14:05+03:00,21.3,21.47,21.6,0,1,0,0,1,1", false, "temperatures with no reading"},
      {"2026-12-08T14:05+03:00,,21.47,,5,1,0,0,1,1", false, "readings with temperatures missing"},
      {"2026-12-08T14:05+03:00,21.7,21.47,21.6,540,1,0,0,1,1", false, "lowest above highest"},
      {"2026-12-08T14:05+03:00,21.35,21.47,21.6,540,1,0,0,1,1", false, "two decimals where one is kept"},
      {"2026-12-08T14:05+03:00,151.0,151.00,151.0,1,1,0,0,1,1", false, "above what the sensor accepts"},
      {"2026-12-08T14:05+03:00,21.3,21.47,21.6,-5,1,0,0,1,1", false, "a negative count"},
      {"2026-12-08T14:05+03:00,21.3,21.47,21.6,1e3,1,0,0,1,1", false, "a count that is no plain number"},
      {"2026-12-08T14:05+03:00, 21.3,21.47,21.6,540,1,0,0,1,1", false, "a blank inside a number"},
      {"2026-02-30T14:05+03:00,,,,0,0,0,0,0,0", false, "no such day"},
      {"2026-12-08T24:00+03:00,,,,0,0,0,0,0,0", false, "no such hour"},
      {"2026-12-08T14:05+3:00,,,,0,0,0,0,0,0", false, "an offset of one digit"},
      {"2026-12-08T14:05,,,,0,0,0,0,0,0", false, "no offset"},
      {"1969-12-31T23:59+00:00,,,,0,0,0,0,0,0", false, "before the clock's range"},
      {"\"2026-12-08T14:05+03:00,,,,0,0,0,0,0,0", false, "a quote left open"},
      {"2026-12-08T14:05+03:00,\"21\"3,21.47,21.6,540,1,0,0,1,1", false, "text after a closing quote"},
      {good + std::string(300, ' '), false, "a line far longer than any record"},
      {good + std::string(1, '\0'), false, "a NUL byte"},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(ParseMinuteLine(row.line).has_value(), row.accepted) << row.why << ": " << row.line;
  }
  const auto parsed = ParseMinuteLine(good);
  ASSERT_TRUE(parsed);
  EXPECT_EQ(parsed->start, At(2026, 12, 8, 14, 5));
  EXPECT_EQ(parsed->utc_offset_minutes, 180);
  EXPECT_EQ(parsed->readings, 540);
  EXPECT_EQ(parsed->min_tenths, 213);
  EXPECT_EQ(parsed->mean_hundredths, 2147);
  EXPECT_EQ(parsed->max_tenths, 216);
  EXPECT_EQ(parsed->outlets, (std::array<bool, 4>{true, false, false, true}));
  EXPECT_TRUE(parsed->device);
  EXPECT_EQ(FormatMinuteLine(*parsed), good + "\r\n");
  EXPECT_EQ(ParseMinuteLine("2026-12-08T14:06-09:30,,,,0,0,0,0,0,0")->utc_offset_minutes, -570);
  EXPECT_EQ(ParseMinuteLine("2028-02-29T00:00+00:00,-57.9,-0.01,149.9,1,1,1,1,1,1")->min_tenths, -579);
}

TEST(HistoryLine, WhenOldMonthsGo) {
  const HistoryMonth dec{2026, 12};
  struct Row {
    const char* why;
    RetentionFacts facts;
    bool due;
  };
  const std::vector<Row> rows = {
      {"a run's first record, in the newest month there", {dec, {}, dec, false}, true},
      {"a run's first record, in the month after the newest", {dec, {}, HistoryMonth{2026, 11}, false}, true},
      {"... across the year's end", {{2027, 1}, {}, dec, false}, true},
      {"a run's first record in a folder unused for months", {dec, {}, HistoryMonth{2026, 9}, false}, false},
      {"a run's first record with the clock a year ahead", {{2027, 12}, {}, dec, false}, false},
      {"a run's first record before the newest month (set back since)", {{2026, 11}, {}, dec, false}, false},
      {"a run's first record in an empty folder", {dec, {}, {}, false}, false},
      {"the month lived into", {{2027, 1}, dec, dec, true}, true},
      {"the month lived into after a start that cleared nothing", {{2027, 1}, dec, HistoryMonth{2026, 3}, true}, true},
      {"the month the clock was set to", {{2027, 1}, dec, dec, false}, false},
      {"a year ahead by a set clock", {{2027, 12}, dec, dec, false}, false},
      {"back by a set clock", {dec, HistoryMonth{2027, 12}, dec, false}, false},
      {"the same month lived on", {dec, dec, dec, true}, false},
  };
  for (const Row& row : rows) EXPECT_EQ(IsRetentionDue(row.facts), row.due) << row.why;
}

TEST(HistoryLine, MonthFilesAndTheMonthsKept) {
  EXPECT_EQ(MonthFileName(2026, 12), "2026-12.csv");
  EXPECT_EQ(MonthFileName(At(2027, 1, 31, 23, 59)), "2027-01.csv");
  EXPECT_EQ(ParseMonthFileName("2026-03.csv"), (HistoryMonth{2026, 3}));
  EXPECT_EQ(ParseMonthFileName("2026-03.CSV"), (HistoryMonth{2026, 3}));
  for (const char* other :
       {"2026-13.csv", "2026-00.csv", "2026-3.csv", "2026-03.csv.tmp", "notes.txt", "2026_03.csv"}) {
    EXPECT_FALSE(ParseMonthFileName(other)) << other;
  }
  const HistoryMonth now{2026, 12};
  struct Row {
    HistoryMonth month;
    bool kept;
  };
  for (const Row& row : {Row{{2026, 12}, true}, Row{{2025, 12}, true}, Row{{2025, 11}, false}, Row{{2024, 1}, false},
                         Row{{2027, 3}, true}}) {
    EXPECT_EQ(IsMonthKept(row.month, now), row.kept) << row.month.year << "-" << row.month.month;
  }
  EXPECT_TRUE(IsMonthKept({2026, 2}, {2027, 2}));
  EXPECT_FALSE(IsMonthKept({2026, 1}, {2027, 2}));
}

class HistoryFolderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = fs::path("history-test") / ::testing::UnitTest::GetInstance()->current_test_info()->name();
    fs::remove_all(folder_);
    fs::create_directories(folder_.parent_path());
  }
  std::string Folder() const { return folder_.string(); }
  std::string Slurp(const std::string& name) const {
    std::ifstream in(folder_ / name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  void Put(const std::string& name, const std::string& bytes) const {
    std::ofstream out(folder_ / name, std::ios::binary | std::ios::trunc);
    out << bytes;
  }
  // `lived`: each record's minute lived into from the one before, as a program running through
  // them makes it; otherwise each came by a set clock, or is a run's first.
  static void WriteAll(HistoryWriter& writer, const std::vector<MinuteRecord>& records, bool lived = false) {
    for (const MinuteRecord& r : records) writer.Append({r, lived});
    writer.Stop();
    writer.Run();  // on this thread: returns once the queue is written
  }
  fs::path folder_;
};

TEST_F(HistoryFolderTest, WriterMakesTheFolderAndAppendsWholeLinesUnderOneHeader) {
  const std::vector<MinuteRecord> records = {Record(At(2026, 11, 30, 23, 59), 2, 210, 2125, 215),
                                             Record(At(2026, 12, 1, 0, 0)), Record(At(2026, 12, 1, 0, 1), 1, 1, 12, 1)};
  HistoryWriter writer(Folder());
  WriteAll(writer, records);
  EXPECT_EQ(writer.Problem(), "");
  EXPECT_EQ(writer.LinesWritten(), 3u);
  const std::string header = std::string(kHistoryHeader) + "\r\n";
  EXPECT_EQ(Slurp("2026-11.csv"), header + FormatMinuteLine(records[0]));
  EXPECT_EQ(Slurp("2026-12.csv"), header + FormatMinuteLine(records[1]) + FormatMinuteLine(records[2]));

  // A later run appends to the same file; the header stays single.
  HistoryWriter again(Folder());
  WriteAll(again, {Record(At(2026, 12, 1, 0, 2))});
  EXPECT_EQ(Slurp("2026-12.csv"), header + FormatMinuteLine(records[1]) + FormatMinuteLine(records[2]) +
                                      FormatMinuteLine(Record(At(2026, 12, 1, 0, 2))));
}

TEST_F(HistoryFolderTest, AStartClearsOnlyInTheNewestMonthOrTheOneAfter) {
  struct Row {
    const char* newest;  // the newest month file already there
    bool clears;
  };
  for (const Row& row : {Row{"2026-11.csv", true}, Row{"2026-12.csv", true}, Row{"2026-10.csv", false},
                         Row{"2025-12.csv", false}, Row{"2027-03.csv", false}}) {
    fs::remove_all(folder_);
    fs::create_directories(folder_);
    for (const char* name : {"2025-11.csv", "2025-12.csv", "2024-06.csv", "notes.txt", "2025-11.csv.bak", row.newest}) {
      Put(name, "x");
    }
    HistoryWriter writer(Folder());
    WriteAll(writer, {Record(At(2026, 12, 8, 14, 5))});
    EXPECT_EQ(fs::exists(folder_ / "2025-11.csv"), !row.clears) << row.newest;
    EXPECT_EQ(fs::exists(folder_ / "2024-06.csv"), !row.clears) << row.newest;
    for (const char* name : {"2025-12.csv", "notes.txt", "2025-11.csv.bak", "2026-12.csv", row.newest}) {
      EXPECT_TRUE(fs::exists(folder_ / name)) << row.newest << ": " << name;
    }
  }
}

TEST_F(HistoryFolderTest, ALaterRunClearsOnceItLivesIntoANewMonth) {
  fs::create_directories(folder_);
  for (const char* name : {"2025-09.csv", "2025-12.csv"}) Put(name, "x");
  // Months unused: the start at 2026-11 clears nothing, the month lived into does.
  HistoryWriter writer(Folder());
  writer.Append({Record(At(2026, 11, 30, 23, 59))});
  writer.Append({Record(At(2026, 12, 1, 0, 0)), true});
  writer.Stop();
  writer.Run();
  EXPECT_FALSE(fs::exists(folder_ / "2025-09.csv"));
  EXPECT_TRUE(fs::exists(folder_ / "2025-12.csv"));
}

TEST_F(HistoryFolderTest, AFolderThatCannotBeWrittenGivesAReasonUntilItCanBeAgain) {
  // A file where the folder should be: nothing can be made or written inside it, for any user.
  { std::ofstream(folder_, std::ios::binary) << "in the way"; }
  HistoryWriter writer(Folder());
  WriteAll(writer, {Record(At(2026, 12, 8, 14, 5))});
  EXPECT_NE(writer.Problem(), "");
  EXPECT_EQ(writer.LinesWritten(), 0u);

  fs::remove(folder_);
  HistoryWriter later(Folder());
  later.Append({Record(At(2026, 12, 8, 14, 6))});
  later.Stop();
  later.Run();
  EXPECT_EQ(later.Problem(), "");
  EXPECT_EQ(later.LinesWritten(), 1u);
}

TEST_F(HistoryFolderTest, AClockSetAYearAheadForAMinuteRemovesNoMonth) {
  std::vector<MinuteRecord> records;
  for (int month = 1; month <= 12; ++month) records.push_back(Record(At(2026, month, 15, 12, 0)));
  records.push_back(Record(At(2027, 12, 15, 12, 1)));  // the clock set a year ahead
  records.push_back(Record(At(2026, 12, 15, 12, 2)));  // and back
  HistoryWriter writer(Folder());
  for (std::size_t i = 0; i < records.size(); ++i) writer.Append({records[i], i > 0 && i < 12});
  writer.Stop();
  writer.Run();
  for (int month = 1; month <= 12; ++month) EXPECT_TRUE(fs::exists(folder_ / MonthFileName(2026, month))) << month;
  std::vector<MinuteRecord> expected(records.begin(), records.end() - 2);
  expected.push_back(records.back());
  expected.push_back(records[12]);
  EXPECT_EQ(ReadHistoryRange(Folder(), At(2026, 1, 1, 0, 0), At(2027, 12, 31, 23, 59)), expected);
}

TEST_F(HistoryFolderTest, AnAppendAfterALastLineWithoutItsBreakKeepsBothRecords) {
  fs::create_directories(folder_);
  const std::string header = std::string(kHistoryHeader) + "\r\n";
  const MinuteRecord saved = Record(At(2026, 12, 8, 14, 5), 1, 210, 2100, 210);
  const std::string saved_line = FormatMinuteLine(saved);
  const std::string bare = saved_line.substr(0, saved_line.size() - 2);
  const MinuteRecord next = Record(At(2026, 12, 8, 14, 6));
  const std::string line = FormatMinuteLine(next);
  struct Row {
    const char* why;
    std::string before;
    std::string appended;  // what the one write adds
  };
  const std::vector<Row> rows = {
      {"saved without its line break, as an editor may", header + bare, "\r\n" + line},
      {"cut after the CR", header + bare + "\r", "\n" + line},
      {"cut mid-line by a power failure", header + saved_line + bare.substr(0, 20), "\r\n" + line},
      {"zeroed blocks at the end", header + saved_line + std::string(512, '\0'), "\r\n" + line},
      {"whole", header + saved_line, line},
  };
  for (const Row& row : rows) {
    Put("2026-12.csv", row.before);
    HistoryWriter writer(Folder());
    WriteAll(writer, {next});
    EXPECT_EQ(Slurp("2026-12.csv"), row.before + row.appended) << row.why;
    EXPECT_EQ(ReadHistoryRange(Folder(), At(2026, 12, 1, 0, 0), At(2026, 12, 31, 0, 0)),
              (std::vector<MinuteRecord>{saved, next}))
        << row.why;
  }
}

TEST_F(HistoryFolderTest, RangeReaderReadsOnlyTheMonthsTheRangeTouchesAndSkipsDamage) {
  fs::create_directories(folder_);
  const MinuteRecord nov = Record(At(2026, 11, 30, 23, 58), 1, 200, 2000, 200);
  const MinuteRecord dec1 = Record(At(2026, 12, 1, 0, 0));
  const MinuteRecord dec2 = Record(At(2026, 12, 8, 14, 5), 3, 210, 2133, 216);
  const MinuteRecord dec_repeat = Record(At(2026, 12, 8, 14, 4), 1, 205, 2050, 205);  // after a set-back
  const std::string header = std::string(kHistoryHeader) + "\r\n";
  Put("2026-11.csv", header + FormatMinuteLine(nov));
  Put("2026-12.csv", header + FormatMinuteLine(dec1) + "garbage,,,\r\n" + std::string(100000, 'x') + "\n" +
                         FormatMinuteLine(dec2) + "2026-12-08T14:0\r\n" + FormatMinuteLine(dec_repeat) +
                         FormatMinuteLine(Record(At(2026, 12, 9, 0, 0))).substr(0, 20));
  // A month outside the range is never opened, even when a line in it claims a minute inside.
  Put("2026-10.csv", header + FormatMinuteLine(Record(At(2026, 12, 5, 0, 0))));

  EXPECT_EQ(ReadHistoryRange(Folder(), At(2026, 11, 30, 0, 0), At(2026, 12, 31, 23, 59)),
            (std::vector<MinuteRecord>{nov, dec1, dec2, dec_repeat}));
  EXPECT_EQ(ReadHistoryRange(Folder(), At(2026, 12, 8, 14, 4), At(2026, 12, 8, 14, 5)),
            (std::vector<MinuteRecord>{dec2, dec_repeat}));
  EXPECT_EQ(ReadHistoryRange(Folder(), At(2027, 1, 1, 0, 0), At(2027, 1, 30, 0, 0)), std::vector<MinuteRecord>{});
  EXPECT_EQ(ReadHistoryRange(Folder(), At(2026, 12, 2, 0, 0), At(2026, 12, 1, 0, 0)), std::vector<MinuteRecord>{});

  // The last line of a file counts without its line break when it is whole.
  MinuteRecord jan = dec1;
  jan.start = At(2027, 1, 1, 0, 0);
  Put("2027-01.csv", header + FormatMinuteLine(jan).substr(0, FormatMinuteLine(jan).size() - 2));
  EXPECT_EQ(ReadHistoryRange(Folder(), At(2027, 1, 1, 0, 0), At(2027, 1, 2, 0, 0)), std::vector<MinuteRecord>{jan});
}

}  // namespace
}  // namespace qx
