// The history window in the running program: opened from the tray menu, loading the month files
// off the user-interface thread, following new minutes, and its close and minimise boxes acting
// on it alone.

#include "app/ui_texts.h"
#include "history/history_writer.h"
#include "history/minute_record.h"
#include "program_test_support.h"
#include "runtime/platform/local_clock.h"
#include "runtime/platform/text_encoding.h"

namespace qx::test {
namespace {

constexpr wchar_t kHistoryTitleWide[] =
    L"\u0418\u0441\u0442\u043e\u0440\u0438\u044f \u0442\u0435\u043c\u043f\u0435"
    L"\u0440\u0430\u0442\u0443\u0440\u044b";

class HistoryWindowTest : public ProgramTest {
 protected:
  void SetUp() override {
    ProgramTest::SetUp();
    ClearFolder();
    SetClock(14, 5);
  }
  void TearDown() override {
    ProgramTest::TearDown();
    ClearFolder();
  }

  static void ClearFolder() {
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(kHistoryFolderName, error)) {
      SetFileAttributesW(entry.path().wstring().c_str(), FILE_ATTRIBUTE_NORMAL);
    }
    SetFileAttributesW(std::filesystem::path(kHistoryFolderName).wstring().c_str(), FILE_ATTRIBUTE_NORMAL);
    std::filesystem::remove_all(kHistoryFolderName, error);
  }

  void SetClock(int hour, int minute) {
    clock_ = LocalClockReading{2026, 12, 8, hour, minute, 0};
    SetLocalClock([this] { return clock_; });
  }

  // `count` minutes ending just before the clock's minute, one degree apart from 20.
  static void WriteMinutes(int count, DateValue before) {
    std::filesystem::create_directory(kHistoryFolderName);
    std::ofstream file(std::string(kHistoryFolderName) + "/" + MonthFileName(before), std::ios::binary);
    file << kHistoryHeader << kHistoryLineBreak;
    for (int i = count; i >= 1; --i) {
      MinuteRecord record;
      record.start = before - i * 60;
      record.utc_offset_minutes = SystemUtcOffsetMinutes();
      record.readings = 10;
      record.min_tenths = 200 + 10 * (i % 5) - 3;
      record.mean_hundredths = 2000 + 100 * (i % 5);
      record.max_tenths = 200 + 10 * (i % 5) + 3;
      record.outlets = {i % 2 == 0, false, false, true};
      record.device = true;
      file << FormatMinuteLine(record);
    }
  }

  HWND OpenHistory() {
    PostMessageW(main_, WM_COMMAND, kHistoryItem, 0);
    RunPosted();
    return NativeWindowHandle(kHistoryWindow);
  }

  bool Loaded() {
    return RunUntil([this] { return !program_->history_view.Loading() && program_->history_view.ChartsPainted() > 0; },
                    10000);
  }

  LocalClockReading clock_;
};

TEST_F(HistoryWindowTest, ItemSevenOpensOrShowsTheWindowAndSendsNoReport) {
  Start();
  ASSERT_EQ(GetMenuItemLabel(kPopupMenu, kHistoryItem), ui::kHistoryItem);
  EXPECT_EQ(GetMenuItemLabel(kPopupMenu, kThermometerItem), ui::kThermometerItem) << "item 5 keeps its place";
  switch_->ClearOutputReports(0);
  HWND window = OpenHistory();
  ASSERT_NE(window, nullptr);
  EXPECT_TRUE(IsWindowVisible(window));
  EXPECT_EQ(WindowsTitled(kHistoryTitleWide), 1);
  EXPECT_TRUE(GetWindowLongW(window, GWL_STYLE) & WS_THICKFRAME) << "resizable";
  for (int button : {kHistoryDayButton, kHistoryWeekButton, kHistoryMonthButton}) {
    EXPECT_NE(ControlOf(window, button), nullptr) << button;
  }
  EXPECT_EQ(GetText(kHistoryWeekButton), ui::kWeekRange);
  EXPECT_EQ(program_->history_view.Range(), ChartRange::kDay) << "24 hours when it opens";

  // Chosen again while open (and minimised): the same window, shown again.
  ShowWindow(window, SW_MINIMIZE);
  RunPosted();
  EXPECT_FALSE(IsWindowVisible(main_)) << "the main window was hidden and stays so";
  EXPECT_EQ(OpenHistory(), window);
  EXPECT_FALSE(IsIconic(window));
  EXPECT_EQ(WindowsTitled(kHistoryTitleWide), 1);
  RunFor(300);
  EXPECT_TRUE(Reports().empty()) << "showing the chart switches nothing";
}

TEST_F(HistoryWindowTest, ItsBoxesActOnItAlone) {
  Start();
  ClickTray(WM_LBUTTONDOWN);
  RunPosted();
  ASSERT_TRUE(IsWindowVisible(main_));
  HWND window = OpenHistory();
  ASSERT_NE(window, nullptr);

  SendMessageW(window, WM_SYSCOMMAND, SC_MINIMIZE, 0);
  RunPosted();
  EXPECT_TRUE(IsIconic(window));
  EXPECT_TRUE(IsWindowVisible(main_)) << "minimising the chart leaves the main window where it is";

  // Dragged larger: the chart follows the window's size.
  ShowWindow(window, SW_RESTORE);
  RunPosted();
  RECT before{};
  GetClientRect(ControlOf(window, kHistoryChart), &before);
  SetWindowPos(window, nullptr, 0, 0, 1000, 700, SWP_NOMOVE | SWP_NOZORDER);
  RunPosted();
  RECT after{};
  GetClientRect(ControlOf(window, kHistoryChart), &after);
  EXPECT_GT(after.right, before.right);
  EXPECT_GT(after.bottom, before.bottom);

  // Its close box, as the user presses it, and a close request posted to it directly.
  PostMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0);
  PostMessageW(window, WM_CLOSE, 0, 0);
  RunPosted();
  EXPECT_FALSE(loop_ended_) << "its close box does not end the program";
  EXPECT_EQ(NativeWindowHandle(kHistoryWindow), nullptr);
  EXPECT_EQ(WindowsTitled(kHistoryTitleWide), 0);
  EXPECT_TRUE(IsWindowVisible(main_));

  // The main window's close box still ends the loop.
  PostMessageW(main_, WM_CLOSE, 0, 0);
  RunPosted();
  EXPECT_TRUE(loop_ended_);
}

TEST_F(HistoryWindowTest, LoadsTheRecordsFollowsNewMinutesAndSwitchesRanges) {
  const DateValue now = MakeDateValue(clock_);
  WriteMinutes(90, now);
  Start();
  HWND window = OpenHistory();
  ASSERT_NE(window, nullptr);
  ASSERT_TRUE(Loaded());
  EXPECT_EQ(program_->history_view.MinuteCount(), 90u);

  // The next minute, as the recording finishes it, joins the chart without a reload.
  SetClock(14, 6);
  ASSERT_TRUE(RunUntil([this] { return program_->history_view.MinuteCount() == 91u; }, 5000));
  EXPECT_FALSE(program_->history_view.Loading());

  // The button of the range shown is the pressed one, as the platform tells it (day, week, month).
  auto pressed = [window] {
    std::string shown;
    for (int button : {kHistoryDayButton, kHistoryWeekButton, kHistoryMonthButton})
      shown += SendMessageW(ControlOf(window, button), BM_GETCHECK, 0, 0) == BST_CHECKED ? '1' : '0';
    return shown;
  };
  EXPECT_EQ(pressed(), "100") << "24 hours when it opens";
  struct Click {
    int button;
    ChartRange range;
    const char* pressed;
  };
  for (const Click& click :
       {Click{kHistoryMonthButton, ChartRange::kMonth, "001"}, Click{kHistoryMonthButton, ChartRange::kMonth, "001"},
        Click{kHistoryWeekButton, ChartRange::kWeek, "010"}, Click{kHistoryDayButton, ChartRange::kDay, "100"}}) {
    const int painted = program_->history_view.ChartsPainted();
    const ChartRange before = program_->history_view.Range();
    PostMessageW(ControlOf(window, click.button), BM_CLICK, 0, 0);
    RunPosted();
    EXPECT_EQ(program_->history_view.Range(), click.range) << click.button;
    EXPECT_EQ(pressed(), click.pressed) << "after a click on " << click.button;
    if (click.range != before) {
      EXPECT_TRUE(RunUntil([&] { return program_->history_view.ChartsPainted() > painted; }, 5000)) << "repainted";
    }
  }
}

// The records are read while a modal loop runs (a box of the test's own here; a window being
// dragged is another): their chart still comes up inside that loop, which swallows the program's
// events, rather than at the next minute or mouse move.
TEST_F(HistoryWindowTest, ALoadFinishedInsideAModalLoopIsPaintedThere) {
  WriteMinutes(90, MakeDateValue(clock_));
  Start();
  const HANDLE release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  program_->history_view.SetLoadGate([release] { WaitForSingleObject(release, 30000); });
  HWND window = OpenHistory();
  ASSERT_NE(window, nullptr);
  ASSERT_TRUE(RunUntil([] { return GetText(kHistoryChart) == ui::kHistoryLoading; })) << "the loading text first";

  // The surface's name says what it shows once it is painted.
  const HWND chart = ControlOf(window, kHistoryChart);
  const std::wstring day = WidenText(ui::kDayRange) + L":";
  auto chart_shown = [chart, &day] {
    wchar_t name[64] = {};
    InternalGetWindowText(chart, name, 64);
    return std::wstring(name).rfind(day, 0) == 0;
  };
  constexpr wchar_t kBoxTitle[] = L"modal loop";
  std::atomic<bool> shown_in_loop{false};
  std::thread user([&] {
    HWND box = nullptr;
    for (int i = 0; i < 1000 && !box; ++i, Sleep(10)) box = FindWindowW(L"#32770", kBoxTitle);
    SetEvent(release);
    for (int i = 0; i < 500 && !chart_shown(); ++i) Sleep(20);
    shown_in_loop = chart_shown();
    if (box) PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
  });
  MessageBoxW(nullptr, L"The records are read meanwhile.", kBoxTitle, MB_OK);
  user.join();
  CloseHandle(release);
  EXPECT_TRUE(shown_in_loop) << "still \"" << GetText(kHistoryChart) << "\" 10 s after the load finished";
  EXPECT_TRUE(Loaded());
  EXPECT_EQ(program_->history_view.MinuteCount(), 90u);
}

TEST_F(HistoryWindowTest, AFolderThatCannotBeWrittenShowsOneLineAndTheProgramRunsOn) {
  // A file where the folder should be: nothing can be made or written inside it. (A read-only
  // attribute stops nobody here: the rig runs Wine as the machine's superuser.)
  { std::ofstream(kHistoryFolderName, std::ios::binary) << "in the way"; }
  Start();
  HWND window = OpenHistory();
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(GetText(kHistoryProblemText), "") << "nothing has failed yet";

  SetClock(14, 6);
  const std::string prefix = std::string(ui::kHistoryNotWritten) + " ";
  ASSERT_TRUE(RunUntil([&] { return GetText(kHistoryProblemText).rfind(prefix, 0) == 0; }, 8000))
      << "shows: " << GetText(kHistoryProblemText);
  EXPECT_GT(GetText(kHistoryProblemText).size(), prefix.size()) << "with the reason";
  EXPECT_EQ(GetText(kHistoryProblemText).find('\n'), std::string::npos) << "one line";
  EXPECT_EQ(boxes_->Answered(), 0) << "no box";
  EXPECT_FALSE(program_->history_view.Loading());
  EXPECT_EQ(program_->history_view.MinuteCount(), 1u) << "the minute that could not be written still shows";

  // The program runs on: the menu still switches.
  switch_->ClearOutputReports(0);
  PostMessageW(main_, WM_COMMAND, 2, 0);
  RunPosted();
  EXPECT_EQ(Reports(1), std::vector<int>{0x04});
}

}  // namespace
}  // namespace qx::test
