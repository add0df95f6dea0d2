#include "runtime/preferences.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace qx {
namespace {

namespace fs = std::filesystem;
using Kind = PreferenceEntry::Kind;

// Cyrillic names in Windows-1251: "Часы", "часы".
const std::string kClock = "\xD7\xE0\xF1\xFB";
const std::string kClockLower = "\xF7\xE0\xF1\xFB";

std::string Slurp(const std::string& name) {
  std::ifstream in(name, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void Put(const std::string& name, const std::string& bytes) {
  std::ofstream out(name, std::ios::binary | std::ios::trunc);
  out << bytes;
}

std::vector<std::string> FolderListing() {
  std::vector<std::string> names;
  for (const auto& item : fs::directory_iterator(fs::current_path())) names.push_back(item.path().filename().string());
  return names;
}

// Each test works in a fresh folder of its own, made here and removed afterwards; the folder the
// binary was started in is never touched (someone may run it by hand anywhere).
class PreferencesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    started_in_ = fs::current_path();
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    for (int attempt = 0; folder_.empty(); ++attempt) {
      const fs::path candidate =
          fs::temp_directory_path() / ("qx-preferences-test-" + std::to_string(stamp) + "-" + std::to_string(attempt));
      if (fs::create_directory(candidate)) folder_ = candidate;
    }
    fs::current_path(folder_);
  }
  void TearDown() override {
    (void)ClosePreferenceFile();
    fs::current_path(started_in_);
    std::error_code ignored;
    fs::remove_all(folder_, ignored);
  }

 private:
  fs::path started_in_;
  fs::path folder_;
};

TEST(PreferenceParse, LinesGroupsCommentsAndKeys) {
  const PreferenceText text = ParsePreferenceText(
      "; first\r\n;tight\r\n[ " + kClock + " ] trailing words\r\n[open\r\n  \t41=7\r\n41 \t= \t7 \t\r\n"
      "a = b = c\r\nbare\r\n=v\r\n# not special ; here\r\n[]\r\nlast");
  const std::vector<PreferenceEntry> expected = {
      {Kind::kComment, "first", ""},
      {Kind::kComment, "tight", ""},
      {Kind::kGroup, " " + kClock + " ", ""},
      {Kind::kGroup, "open", ""},
      {Kind::kKey, "41", "7"},
      {Kind::kKey, "41", "7 \t"},
      {Kind::kKey, "a", "b = c"},
      {Kind::kKey, "bare", ""},
      {Kind::kKey, "", "v"},
      {Kind::kKey, "# not special ; here", ""},
      {Kind::kGroup, "", ""},
      {Kind::kKey, "last", ""},
  };
  EXPECT_FALSE(text.utf8_mode);
  EXPECT_EQ(text.entries, expected);
}

TEST(PreferenceParse, AnyLineBreakReadsTheSame) {
  const PreferenceText crlf = ParsePreferenceText("[g]\r\nk = 1\r\n; c\r\n");
  for (const char* bytes : {"[g]\nk = 1\n; c\n", "[g]\rk = 1\r; c", "\r\n\n[g]\n\n   \n\t\r\nk = 1\r\r\n; c\n\n",
                            "[g]\r\nk=1\r\n;c"}) {
    EXPECT_EQ(ParsePreferenceText(bytes), crlf) << bytes;
  }
}

TEST(PreferenceParse, ByteOrderMarkSelectsUtf8Mode) {
  EXPECT_TRUE(ParsePreferenceText("\xEF\xBB\xBF").utf8_mode);
  EXPECT_FALSE(ParsePreferenceText("\xEF\xBB").utf8_mode);
  const PreferenceText text = ParsePreferenceText("\xEF\xBB\xBF\r\n[g]\r\n");
  EXPECT_TRUE(text.utf8_mode);
  ASSERT_EQ(text.entries.size(), 1u);
  EXPECT_EQ(text.entries[0].name, "g");
}

TEST(PreferenceParse, RenderIsTheWrittenFormat) {
  PreferenceText text;
  text.entries = {{Kind::kComment, "note", ""}, {Kind::kGroup, "g", ""}, {Kind::kKey, "k", "v "}, {Kind::kKey, "", ""}};
  EXPECT_EQ(RenderPreferenceText(text), "; note\r\n[g]\r\nk = v \r\n = \r\n");
  text.utf8_mode = true;
  EXPECT_EQ(RenderPreferenceText(text), "\xEF\xBB\xBF\r\n; note\r\n[g]\r\nk = v \r\n = \r\n");
  EXPECT_EQ(RenderPreferenceText(PreferenceText{}), "");
}

TEST(PreferenceParse, Numbers) {
  const std::vector<std::pair<std::string, std::int32_t>> cases = {
      {"0", 0},           {"23", 23},          {"-5", -5},          {"+7", 7},
      {" \t\r\n\v\f-12", -12}, {"12abc", 12},  {"", 0},             {"abc", 0},
      {"-", 0},           {"- 5", 0},          {"007", 7},          {"2147483647", 2147483647},
      {"-2147483648", INT32_MIN}, {"2147483648", INT32_MAX}, {"99999999999999999999999", INT32_MAX},
      {"-2147483649", INT32_MIN}, {"-99999999999999999999", INT32_MIN},
  };
  for (const auto& [text, value] : cases) EXPECT_EQ(ParsePreferenceNumber(text), value) << '"' << text << '"';
}

TEST(PreferenceParse, NamesIgnoreAsciiCaseOnly) {
  EXPECT_TRUE(PreferenceNamesEqual("Outlet1", "oUTLET1"));
  EXPECT_TRUE(PreferenceNamesEqual(kClock, kClock));
  EXPECT_FALSE(PreferenceNamesEqual(kClock, kClockLower));
  EXPECT_FALSE(PreferenceNamesEqual("ab", "ab "));
  EXPECT_FALSE(PreferenceNamesEqual("[", "{"));  // differ by 0x20 but are not letters
  EXPECT_FALSE(PreferenceNamesEqual("@", "`"));
}

TEST(PreferenceParse, Utf8ConversionBothWays) {
  std::string back;
  EXPECT_EQ(Latin1ToUtf8("a\xE0\xFF"), "a\xC3\xA0\xC3\xBF");
  EXPECT_TRUE(Utf8ToLatin1("a\xC3\xA0\xC3\xBF\xC2\x80", back));
  EXPECT_EQ(back, "a\xE0\xFF\x80");
  for (const char* bad : {"\xD0\xA7", "\xC3", "\xC3x", "\xA0", "\xE2\x82\xAC", "\xC1\x81"})
    EXPECT_FALSE(Utf8ToLatin1(bad, back)) << bad;
}

TEST_F(PreferencesTest, WrittenFileIsExactAndReadsBack) {
  ASSERT_TRUE(CreatePreferenceFile("s.ini"));
  EXPECT_TRUE(SelectGroup("") );
  EXPECT_FALSE(SelectGroup(kClock));
  EXPECT_TRUE(WriteText("41", "  padded\t"));
  EXPECT_TRUE(WriteNumber("n", -5));
  EXPECT_FALSE(SelectGroup("Outlets"));
  EXPECT_TRUE(WriteNumber("a", 0));
  EXPECT_TRUE(WriteText("b", "x = y"));
  EXPECT_TRUE(SelectGroup(kClock));
  EXPECT_TRUE(WriteNumber("c", 23));
  (void)ClosePreferenceFile();
  const std::string written =
      "[" + kClock + "]\r\n41 =   padded\t\r\nn = -5\r\nc = 23\r\n[Outlets]\r\na = 0\r\nb = x = y\r\n";
  EXPECT_EQ(Slurp("s.ini"), written);

  ASSERT_TRUE(OpenPreferenceFile("s.ini"));
  EXPECT_TRUE(SelectGroup("outlets"));
  EXPECT_EQ(ReadNumber("A", 9), 0);
  EXPECT_EQ(ReadText("b", "?"), "x = y");
  EXPECT_TRUE(SelectGroup(kClock));
  EXPECT_EQ(ReadText("41", "?"), "padded");  // the blanks around a value do not survive
  EXPECT_EQ(ReadNumber("n", 9), -5);
  EXPECT_EQ(ReadNumber("c", 9), 23);
  EXPECT_EQ(ReadNumber("missing", 9), 9);
  EXPECT_FALSE(SelectGroup(kClockLower));
  (void)ClosePreferenceFile();
  EXPECT_EQ(Slurp("s.ini"), written);  // reading leaves the file alone
}

TEST_F(PreferencesTest, LookupRules) {
  Put("s.ini",
      "top = 1\r\n[g]\r\nk = first\r\n; k = comment\r\nk = second\r\nempty =\r\nword = abc\r\nlead = \t -3x\r\n"
      "[ g ]\r\nother = 2\r\n[G]\r\nlater = 3\r\n");
  ASSERT_TRUE(OpenPreferenceFile("s.ini"));
  EXPECT_EQ(ReadNumber("top", 9), 1);  // nothing selected: the keys before the first group
  EXPECT_EQ(ReadNumber("k", 9), 9);    // but not a group's keys
  ASSERT_TRUE(SelectGroup("g"));
  EXPECT_EQ(ReadText("k", "?"), "first");
  EXPECT_EQ(ReadNumber("empty", 9), 0);
  EXPECT_EQ(ReadNumber("word", 9), 0);
  EXPECT_EQ(ReadNumber("lead", 9), -3);
  EXPECT_EQ(ReadText("top", "?"), "?");
  EXPECT_EQ(ReadNumber("other", 9), 9);   // " g " is another group
  EXPECT_EQ(ReadNumber("later", 9), 9);   // a second group of the same name is never reached
  EXPECT_FALSE(SelectGroup("missing"));
  EXPECT_EQ(ReadText("k", "dflt"), "dflt");  // a pending group hides the last one selected
  EXPECT_EQ(ReadNumber("k", 4), 4);
  EXPECT_TRUE(SelectGroup(" g "));
  EXPECT_EQ(ReadNumber("other", 9), 2);
}

TEST_F(PreferencesTest, WritesReplaceTheFirstKeyAndAppendNewGroups) {
  Put("s.ini", "; head\r\n[g]\r\nk = 1\r\nk = 2\r\n[h]\r\nz = 0\r\n");
  ASSERT_TRUE(OpenPreferenceFile("s.ini"));
  ASSERT_TRUE(SelectGroup("G"));
  EXPECT_TRUE(WriteText("K", "one"));
  EXPECT_TRUE(WriteText("new", "n"));
  EXPECT_FALSE(SelectGroup("fresh"));
  EXPECT_TRUE(WriteNumber("b", 2));
  EXPECT_TRUE(WriteNumber("a", 1));
  EXPECT_TRUE(SelectGroup(""));
  EXPECT_TRUE(WriteText("top", "t"));
  (void)ClosePreferenceFile();
  EXPECT_EQ(Slurp("s.ini"),
            "; head\r\ntop = t\r\n[g]\r\nK = one\r\nk = 2\r\nnew = n\r\n[h]\r\nz = 0\r\n[fresh]\r\nb = 2\r\na = 1\r\n");
}

TEST_F(PreferencesTest, UnfindableKeyNames) {
  ASSERT_TRUE(CreatePreferenceFile("s.ini"));
  SelectGroup("g");
  EXPECT_TRUE(WriteText("plain", "v"));
  for (const char* key : {";semi", "a=b", " lead", "trail ", "[br"}) EXPECT_TRUE(WriteText(key, "v"));
  (void)ClosePreferenceFile();
  ASSERT_TRUE(OpenPreferenceFile("s.ini"));
  ASSERT_TRUE(SelectGroup("g"));
  for (const char* key : {";semi", "a=b", " lead", "trail ", "[br"}) EXPECT_EQ(ReadText(key, "gone"), "gone") << key;
  EXPECT_EQ(ReadText("plain", "gone"), "v");
}

TEST_F(PreferencesTest, Utf8ModeBothWays) {
  // Names stored as UTF-8 of the code page's bytes match; real UTF-8 Cyrillic does not.
  Put("u.ini", "\xEF\xBB\xBF\r\n[" + Latin1ToUtf8(kClock) + "]\r\nname = " + Latin1ToUtf8("\xCF\xE5\xF7\xEA\xE0") +
                   "\r\nbad = \xD0\xA7\r\nn = 42\r\n[\xD0\xA7\xD0\xB0\xD1\x81\xD1\x8B]\r\nx = 1\r\n");
  ASSERT_TRUE(OpenPreferenceFile("u.ini"));
  ASSERT_TRUE(SelectGroup(kClock));
  EXPECT_EQ(ReadText("name", "?"), "\xCF\xE5\xF7\xEA\xE0");
  EXPECT_EQ(ReadText("bad", "?"), "");
  EXPECT_EQ(ReadNumber("n", 0), 42);
  EXPECT_TRUE(WriteText("new", "\xE0"));
  (void)ClosePreferenceFile();
  const std::string written = Slurp("u.ini");
  EXPECT_EQ(written.substr(0, 5), "\xEF\xBB\xBF\r\n");
  EXPECT_NE(written.find("\r\nnew = \xC3\xA0\r\n"), std::string::npos);
}

TEST_F(PreferencesTest, CreateAndCloseWithoutWritesLeavesAnEmptyFile) {
  Put("s.ini", "[old]\r\nk = 1\r\n");
  ASSERT_TRUE(CreatePreferenceFile("s.ini"));
  EXPECT_EQ(Slurp("s.ini"), "[old]\r\nk = 1\r\n");  // nothing is lost before the close
  (void)ClosePreferenceFile();
  EXPECT_TRUE(fs::exists("s.ini"));
  EXPECT_EQ(fs::file_size("s.ini"), 0u);
}

TEST_F(PreferencesTest, MissingFileIsCreatedOnlyByAWrite) {
  EXPECT_FALSE(OpenPreferenceFile("none.ini"));
  EXPECT_TRUE(SelectGroup(""));
  EXPECT_FALSE(SelectGroup("g"));
  EXPECT_EQ(ReadNumber("k", 5), 5);
  (void)ClosePreferenceFile();
  EXPECT_FALSE(fs::exists("none.ini"));

  EXPECT_FALSE(OpenPreferenceFile("none.ini"));
  EXPECT_FALSE(SelectGroup("g"));
  EXPECT_TRUE(WriteNumber("k", 1));
  (void)ClosePreferenceFile();
  EXPECT_EQ(Slurp("none.ini"), "[g]\r\nk = 1\r\n");
}

TEST_F(PreferencesTest, NothingOpenDoesNothing) {
  EXPECT_FALSE(SelectGroup(""));
  EXPECT_FALSE(WriteText("k", "v"));
  EXPECT_EQ(ReadText("k", "d"), "d");
  EXPECT_EQ(ReadNumber("k", -1), -1);
  (void)ClosePreferenceFile();
  EXPECT_FALSE(CreatePreferenceFile("no such folder/s.ini"));
  EXPECT_FALSE(WriteText("k", "v"));
  (void)ClosePreferenceFile();
  EXPECT_TRUE(FolderListing().empty());
}

// The real file system, refusing write access as it does for a read-only file. (Tests run as an
// administrator often enough that real file modes would not be enforced.)
class ReadOnlyStorage : public FileStorage {
 public:
  bool Hold(const std::string& name, Access access) override {
    const bool held = FileStorage::Hold(name, Access::kReadOnly);
    return held && access == Access::kReadOnly;
  }
};

TEST_F(PreferencesTest, ReadOnlyFileIsReadButNeverWritten) {
  const std::string old = "[g]\r\nk = 7\r\n";
  Put("ro.ini", old);
  ReadOnlyStorage storage;
  PreferenceFile file(&storage);
  EXPECT_FALSE(file.Create("ro.ini"));
  EXPECT_FALSE(file.WriteText("k", "v"));
  (void)file.Close();
  EXPECT_EQ(Slurp("ro.ini"), old);

  ASSERT_TRUE(file.Open("ro.ini"));
  ASSERT_TRUE(file.SelectGroup("g"));
  EXPECT_EQ(file.ReadNumber("k", 0), 7);
  EXPECT_TRUE(file.WriteNumber("k", 8));
  EXPECT_FALSE(file.Close());
  EXPECT_EQ(Slurp("ro.ini"), old);
  EXPECT_EQ(FolderListing(), std::vector<std::string>{"ro.ini"});
}

// The real file system with one step of the save made to fail.
class FailingStorage : public FileStorage {
 public:
  enum class Step { kNone, kCreate, kWrite, kFlush, kReplace };
  explicit FailingStorage(Step step) : step_(step) {}
  bool CreateTemporary() override { return step_ != Step::kCreate && FileStorage::CreateTemporary(); }
  bool WriteTemporary(std::string_view bytes) override {
    if (step_ != Step::kWrite) return FileStorage::WriteTemporary(bytes);
    FileStorage::WriteTemporary(bytes.substr(0, bytes.size() / 2));  // the disk fills up half way
    return false;
  }
  bool FlushTemporary() override { return step_ != Step::kFlush && FileStorage::FlushTemporary(); }
  bool ReplaceWithTemporary() override { return step_ != Step::kReplace && FileStorage::ReplaceWithTemporary(); }

 private:
  Step step_;
};

TEST_F(PreferencesTest, FailedSaveLeavesTheOldFileWhole) {
  using Step = FailingStorage::Step;
  const std::string old = "[g]\r\nk = old\r\nkeep = 1\r\n";
  for (Step step : {Step::kCreate, Step::kWrite, Step::kFlush, Step::kReplace, Step::kNone}) {
    SCOPED_TRACE(static_cast<int>(step));
    Put("s.ini", old);
    FailingStorage storage(step);
    {
      PreferenceFile file(&storage);
      ASSERT_TRUE(file.Create("s.ini"));
      file.SelectGroup("g");
      file.WriteText("k", std::string(5000, 'n'));
      EXPECT_EQ(file.Close(), step == Step::kNone) << "the caller hears whether the file was written";
    }
    const std::string now = Slurp("s.ini");
    if (step == Step::kNone) {
      EXPECT_EQ(now, "[g]\r\nk = " + std::string(5000, 'n') + "\r\n");
    } else {
      EXPECT_EQ(now, old);
    }
    EXPECT_EQ(FolderListing(), std::vector<std::string>{"s.ini"});
  }
}

// A save killed half way leaves "<file>.<process id>.tmp"; the next save removes those of
// processes that have ended (no process has the id 999999999) and nothing else.
TEST_F(PreferencesTest, SaveRemovesTemporariesOfEndedProcesses) {
  const std::vector<std::string> others = {"s.ini.12ab.tmp", "s.ini.999999999.tmp.bak", "t.ini.999999999.tmp"};
  for (const std::string& name : others) Put(name, "x");
  Put("s.ini.999999999.tmp", "half");
  ASSERT_TRUE(CreatePreferenceFile("s.ini"));
  WriteNumber("k", 1);
  EXPECT_TRUE(ClosePreferenceFile());
  std::vector<std::string> left = FolderListing();
  std::sort(left.begin(), left.end());
  std::vector<std::string> expected = others;
  expected.insert(expected.begin(), "s.ini");
  EXPECT_EQ(left, expected);
}

TEST_F(PreferencesTest, SaveReachesTheFileAfterTheFolderChanges) {
  fs::create_directory("other");
  ASSERT_TRUE(CreatePreferenceFile("s.ini"));
  WriteNumber("k", 1);
  const fs::path home = fs::current_path();
  fs::current_path(home / "other");
  (void)ClosePreferenceFile();
  fs::current_path(home);
  EXPECT_EQ(Slurp("s.ini"), "k = 1\r\n");
  EXPECT_TRUE(fs::is_empty("other"));
}

}  // namespace
}  // namespace qx
