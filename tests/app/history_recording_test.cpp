// The program records its history: readings the SwitchUnit sent and the outlets the user switched
// become the month file's lines, minute by minute of a clock the test sets; a history folder that
// cannot be written changes nothing else the program does.
#include <windows.h>

#include <atomic>
#include <filesystem>

#include "history/history_writer.h"
#include "program_test_support.h"
#include "runtime/platform/local_clock.h"

namespace qx::test {
namespace {

namespace fs = std::filesystem;

class HistoryRecordingTest : public ProgramTest {
 protected:
  void SetUp() override {
    ProgramTest::SetUp();
    fs::remove_all(kHistoryFolderName);
    SetLocalClock([this] {
      const int minute = minute_.load();
      return LocalClockReading{2026, 12, 8, 14, minute, 7};
    });
  }
  void TearDown() override {
    ProgramTest::TearDown();
    std::error_code ignored;
    fs::remove_all(kHistoryFolderName, ignored);
  }

  // The SwitchUnit sends one report; returns once the simulator has handed it over.
  void SendReport() {
    const auto read_before = switch_->Status(0).reports_read;
    ASSERT_TRUE(switch_->SendInputReport(0));
    ASSERT_TRUE(RunUntil([&] { return switch_->Status(0).reports_read > read_before; }));
  }
  // Sends a reading the program accepts and returns once its sensor thread has taken it (reports
  // are read in order, so any sent before have been taken too).
  void SendAccepted(int count) {
    const auto accepted = link_->sensor().LastAcceptedTick();
    ASSERT_TRUE(switch_->SetCount(0, count));
    ASSERT_TRUE(switch_->SendInputReport(0));
    ASSERT_TRUE(RunUntil([&] { return link_->sensor().LastAcceptedTick() != accepted; }));
  }
  void Click(int outlet) {
    PostMessageW(ControlOf(main_, OutletCheckBox(outlet)), BM_CLICK, 0, 0);
    RunPosted();
  }
  // Moves the clock to the next minute and waits for the ended minute to be on disk.
  void NextMinute() {
    const auto written = program_->history->writer().LinesWritten();
    ++minute_;
    ASSERT_TRUE(RunUntil([&] { return program_->history->writer().LinesWritten() > written; }));
  }
  static std::string MonthFile() {
    std::ifstream in(fs::path(kHistoryFolderName) / "2026-12.csv", std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  // "+03:00" for the zone this Wine runs in.
  static std::string Zone() {
    MinuteRecord probe;
    probe.utc_offset_minutes = SystemUtcOffsetMinutes();
    const std::string line = FormatMinuteLine(probe);
    return line.substr(16, 6);
  }

  std::atomic<int> minute_{5};
};

TEST_F(HistoryRecordingTest, WritesTheMinutesItsReadingsAndSwitchingsMade) {
  Start();
  SendAccepted(344);  // 21.5
  SendAccepted(336);  // 21.0
  SendAccepted(372);  // 23.25
  Click(1);
  Click(4);
  NextMinute();

  // Only new, accepted reports count: not one the window rejects (0.125 degrees), not a short one
  // (whose missing byte the sensor loop fills from the last report: 4.0 degrees, shown but not
  // newly measured). Once the short one is shown, both have been read.
  ASSERT_TRUE(switch_->SetCount(0, 2));
  SendReport();
  ASSERT_TRUE(switch_->SetRawReport(0, {0x00, 0x40}));
  SendReport();
  const std::string shown_again = std::string("4.0 \xB0") + "C";
  ASSERT_TRUE(RunUntil([&] { return GetText(kTemperatureDisplay) == shown_again; }));
  SendAccepted(368);  // 23.0
  Click(4);
  Click(3);
  switch_->Unplug(0);
  ASSERT_TRUE(RunUntil([&] { return !link_->LastPresence(); }));
  NextMinute();

  switch_->Plug(0);
  ASSERT_TRUE(RunUntil([&] { return link_->HasSensorHandle(); }));
  SendAccepted(360);  // 22.5
  // The exit policy (no exit box ticked) switches every outlet off; the last minute ends so.
  ShutDown();

  const std::string zone = Zone();
  EXPECT_EQ(MonthFile(), std::string(kHistoryHeader) + "\r\n" + "2026-12-08T14:05" + zone +
                             ",21.0,21.92,23.3,3,1,0,0,1,1\r\n" + "2026-12-08T14:06" + zone +
                             ",23.0,23.00,23.0,1,1,0,1,0,0\r\n" + "2026-12-08T14:07" + zone +
                             ",22.5,22.50,22.5,1,0,0,0,0,1\r\n");
  EXPECT_EQ(HistoryWriteProblem(), "");
}

TEST_F(HistoryRecordingTest, AHistoryThatCannotBeWrittenLeavesTheProgramRunning) {
  // A file where the folder should be: nothing can be made or written inside it. (A read-only
  // attribute stops nobody here: the rig runs Wine as the machine's superuser.)
  { std::ofstream(kHistoryFolderName, std::ios::binary) << "in the way"; }
  Start();
  SendAccepted(336);
  ++minute_;
  ASSERT_TRUE(RunUntil([] { return !HistoryWriteProblem().empty(); }));
  EXPECT_EQ(program_->history->writer().LinesWritten(), 0u);

  // The program runs on: the clock ticks on, switching still reaches the SwitchUnit, no box.
  switch_->ClearOutputReports(0);
  Click(2);
  EXPECT_EQ(Reports(1), std::vector<int>{0x04});
  ++minute_;
  ASSERT_TRUE(RunUntil([&] { return program_->history->MinutesEnded() >= 2; }));
  EXPECT_EQ(boxes_->Answered(), 0);

  // The way clear again: the minutes kept meanwhile and the next are written, in order, in a folder
  // made for them, and the reason goes.
  fs::remove(kHistoryFolderName);
  NextMinute();
  EXPECT_EQ(HistoryWriteProblem(), "");
  PostMessageW(main_, WM_CLOSE, 0, 0);
  RunPosted();
  ASSERT_TRUE(loop_ended_);
  ShutDown();
  EXPECT_EQ(boxes_->Answered(), 0);
  const std::string zone = Zone();
  EXPECT_EQ(MonthFile(), std::string(kHistoryHeader) + "\r\n" + "2026-12-08T14:05" + zone +
                             ",21.0,21.00,21.0,1,0,0,0,0,1\r\n" + "2026-12-08T14:06" + zone + ",,,,0,0,1,0,0,1\r\n" +
                             "2026-12-08T14:07" + zone + ",,,,0,0,1,0,0,1\r\n" + "2026-12-08T14:08" + zone +
                             ",,,,0,0,0,0,0,1\r\n");
}

TEST_F(HistoryRecordingTest, MinutesWhileAnotherProgramHoldsTheMonthFileAreWrittenWhenItLetsGo) {
  // A spreadsheet holds the month file open, sharing it for reading only.
  fs::create_directories(kHistoryFolderName);
  const std::wstring path = (fs::path(kHistoryFolderName) / "2026-12.csv").wstring();
  HANDLE held =
      CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  Start();
  SendAccepted(336);
  for (int ended = 1; ended <= 3; ++ended) {
    ++minute_;
    ASSERT_TRUE(RunUntil([&] {
      return program_->history->MinutesEnded() >= static_cast<std::uint64_t>(ended) && !HistoryWriteProblem().empty();
    }));
  }
  // "файл открыт другой программой"
  EXPECT_EQ(HistoryWriteProblem(),
            "\xF4\xE0\xE9\xEB \xEE\xF2\xEA\xF0\xFB\xF2 \xE4\xF0\xF3\xE3\xEE\xE9 "
            "\xEF\xF0\xEE\xE3\xF0\xE0\xEC\xEC\xEE\xE9");
  EXPECT_EQ(program_->history->writer().LinesWritten(), 0u);

  CloseHandle(held);
  EXPECT_TRUE(RunUntil([&] { return program_->history->writer().LinesWritten() >= 3; }, 30000));
  EXPECT_EQ(HistoryWriteProblem(), "");
  const std::string zone = Zone();
  EXPECT_EQ(MonthFile(), std::string(kHistoryHeader) + "\r\n" + "2026-12-08T14:05" + zone +
                             ",21.0,21.00,21.0,1,0,0,0,0,1\r\n" + "2026-12-08T14:06" + zone + ",,,,0,0,0,0,0,1\r\n" +
                             "2026-12-08T14:07" + zone + ",,,,0,0,0,0,0,1\r\n");
}

}  // namespace
}  // namespace qx::test
