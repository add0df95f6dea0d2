// The alarms in the running program: the real layer, the virtual SwitchUnit's readings, and a
// clock for the rules that the test moves on; the console's status lists what stands. Wine shows no balloons
// dependably, so the test takes the notifications at the tray icon's seam, where every flag is seen as the shell would.
#include <windows.h>

#include <shellapi.h>

#include <cstdint>
#include <string>
#include <vector>

#include "app/console_commands.h"
#include "app/widget_ids.h"
#include "program_test_support.h"
#include "runtime/platform/text_encoding.h"
#include "runtime/win32/tray_icon_seam.h"
#include "tests/support/alarm_texts.h"
#include "tests/support/settings_groups.h"

namespace qx::test {
namespace {

struct Shown {
  std::string title;
  std::string text;
  DWORD info_flags = 0;
  UINT fields = 0;

  bool operator==(const Shown&) const = default;
};

void PrintTo(const Shown& shown, std::ostream* out) {
  *out << "{" << shown.title << ", " << shown.text << ", 0x" << std::hex << shown.info_flags << ", 0x" << shown.fields
       << std::dec << "}";
}

// Windows-1251, written out here rather than taken from the program.
const std::string kTitle = "USB Quellarotix";
// "Предупреждения": lower limit 18 and upper limit 30, both on.
const std::string kBothLimits = kAlarmGroup +
                                "\xCD\xE8\xE6\xE5 \xE2\xEA\xEB\xFE\xF7\xE5\xED\xEE = 1\r\n\xCD\xE8\xE6\xE5 = 18\r\n"
                                "\xC2\xFB\xF8\xE5 \xE2\xEA\xEB\xFE\xF7\xE5\xED\xEE = 1\r\n\xC2\xFB\xF8\xE5 = 30\r\n";

class AlarmNoticeTest : public ProgramTest {
 protected:
  void SetUp() override {
    ProgramTest::SetUp();
    // The simulator is shared by the suite's tests: what this one changes is put back.
    before_ = switch_->Status(0);
    SetNotifyIconCall([this](DWORD message, NOTIFYICONDATAW* data) -> BOOL {
      if (!taskbar_up_) return FALSE;
      if (message == NIM_MODIFY && (data->uFlags & NIF_INFO)) {
        if (!shell_holds_icon_) return FALSE;
        shown_.push_back({NarrowText(data->szInfoTitle), NarrowText(data->szInfo), data->dwInfoFlags, data->uFlags});
        return TRUE;
      }
      const BOOL done = Shell_NotifyIconW(message, data);
      if (message == NIM_ADD && done) {
        shell_holds_icon_ = true;
        ++icon_adds_;
      }
      return done;
    });
  }

  void TearDown() override {
    SetNotifyIconCall({});
    switch_->SetRate(0, before_.rate);
    switch_->SetRawReport(0, before_.input_report);
    ProgramTest::TearDown();
  }

  // Starts the program with both limits on (18 and 30) and the sensor at 14.5 degrees, ten
  // readings a second, and takes the rules' clock.
  void StartBelowBothLimits() {
    Put(kSettingsFileName, kBothLimits);
    ASSERT_TRUE(switch_->SetRate(0, 10));
    ASSERT_TRUE(switch_->SetCount(0, 232));
    Start();
    TakeTheRulesClock();
  }

  // A notification as the program must hand it to the shell.
  static Shown Warning(const std::string& text) {
    return {kTitle, text, NIIF_WARNING | NIIF_RESPECT_QUIET_TIME, NIF_INFO};
  }

  // The rules' clock from now on; the program's own clock stays for everything else.
  void TakeTheRulesClock() {
    program_->automation.tick_count = [this] {
      ++clock_reads_;
      return kStart + now_ms_;
    };
  }

  // Moves the rules' clock to `seconds` after the start and lets one clock tick read it.
  void TickAt(double seconds) {
    now_ms_ = static_cast<std::uint64_t>(seconds * 1000);
    const int reads = clock_reads_;
    ASSERT_TRUE(RunUntil([&] { return clock_reads_ > reads; }, 5000)) << "no clock tick at " << seconds;
  }

  // Waits (with the loop running) until the program holds the reading `count`, then lets one tick
  // at the same time take the readings from before it, so the next tick sees `count` alone.
  void AwaitReading(int count) {
    ASSERT_TRUE(switch_->SetCount(0, count));
    ASSERT_TRUE(
        RunUntil([&] { return link_->TemperatureSixteenths() == count && link_->HasFreshReading(GetTickCount64()); }));
    TickAt(static_cast<double>(now_ms_) / 1000);
  }

  // Explorer ends and starts again: the new shell has no icon of the program until it is added
  // again, which the program does when the new taskbar announces itself.
  void RestartTheShell() {
    NOTIFYICONDATAW data{};
    data.cbSize = sizeof(data);
    data.hWnd = main_;
    data.uID = kTrayIcon;
    Shell_NotifyIconW(NIM_DELETE, &data);
    shell_holds_icon_ = false;
  }

  // What the console's status lists as standing.
  std::vector<std::string> Standing() const { return ReadProgramStatus(*program_).alarms; }

  static constexpr std::uint64_t kStart = 3'600'000;
  vswitch::DeviceStatus before_;
  std::vector<Shown> shown_;
  std::uint64_t now_ms_ = 0;
  int clock_reads_ = 0;
  // The shell as the seam plays it: whether the taskbar exists, and whether it holds the icon.
  bool taskbar_up_ = true;
  bool shell_holds_icon_ = false;
  int icon_adds_ = 0;
};

TEST_F(AlarmNoticeTest, ScriptedReadingsGiveExactlyTheirNotices) {
  StartBelowBothLimits();
  const Shown below = Warning(BelowText("14.5", "18"));
  const Shown normal = Warning(NormalText("20.0"));
  const Shown gone = Warning(kGoneText);
  const Shown silent = Warning(kSilentText);

  // Below 18 from the first tick that sees the reading, which is at 0 s.
  AwaitReading(232);
  TickAt(0);
  TickAt(59.9);
  EXPECT_EQ(shown_, std::vector<Shown>{});
  TickAt(60);
  EXPECT_EQ(shown_, std::vector<Shown>{below});
  EXPECT_EQ(Standing(), std::vector<std::string>{"below"});

  // Back inside by half a degree and more: said after 60 s of it, once. The clock moves on first,
  // so the first tick that sees the new reading is at 61 s.
  TickAt(61);
  AwaitReading(320);  // 20.0
  TickAt(61);
  TickAt(120.9);
  EXPECT_EQ(shown_.size(), 1u);
  TickAt(121);
  TickAt(130);
  EXPECT_EQ(shown_, (std::vector<Shown>{below, normal}));
  EXPECT_EQ(Standing(), std::vector<std::string>{});

  // Pulled out: at once.
  switch_->Unplug(0);
  ASSERT_TRUE(RunUntil([&] { return !link_->LastPresence(); }));
  TickAt(131);
  EXPECT_EQ(shown_, (std::vector<Shown>{below, normal, gone}));
  EXPECT_EQ(Standing(), std::vector<std::string>{"device_gone"});

  // Back at 140 s, but the sensor says nothing: silent once it has been present 10 s and its last
  // reading (from before it was pulled) is no longer fresh.
  TickAt(140);
  ASSERT_TRUE(switch_->SetRate(0, 0));
  switch_->Plug(0);
  ASSERT_TRUE(RunUntil([&] { return link_->LastPresence(); }));
  TickAt(140);
  ASSERT_TRUE(RunUntil([&] { return !link_->HasFreshReading(GetTickCount64()); }, 15000));
  TickAt(149.9);
  EXPECT_EQ(shown_.size(), 3u);
  TickAt(150);
  TickAt(2000);  // nothing stands that has not been said
  EXPECT_EQ(shown_, (std::vector<Shown>{below, normal, gone, silent}));
  EXPECT_EQ(Standing(), std::vector<std::string>{"sensor_silent"});
  EXPECT_EQ(boxes_->Answered(), 0);
}

TEST_F(AlarmNoticeTest, AWarningTheTrayRefusedIsGivenOnceTheIconIsBack) {
  // A start at log-on, before the taskbar exists: the shell takes no icon.
  taskbar_up_ = false;
  StartBelowBothLimits();
  const Shown below = Warning(BelowText("14.5", "18"));
  const Shown normal = Warning(NormalText("20.0"));
  AwaitReading(232);
  TickAt(0);
  TickAt(60);
  TickAt(71);
  EXPECT_EQ(shown_, std::vector<Shown>{});
  EXPECT_EQ(Standing(), std::vector<std::string>{"below"});

  // The taskbar comes: the icon's retry every 2 s gets it in, and the next tick (its clock still
  // at 71 s) tells, once.
  taskbar_up_ = true;
  ASSERT_TRUE(RunUntil([&] { return icon_adds_ > 0; }, 5000));
  TickAt(71);
  TickAt(72);
  EXPECT_EQ(shown_, std::vector<Shown>{below});

  // The 15 minutes count from 71 s, when the user was told: the condition ends and begins again
  // at once, and warns at 971 s, not at 960 s.
  AwaitReading(320);  // 20.0
  TickAt(72);
  TickAt(132);
  EXPECT_EQ(shown_, (std::vector<Shown>{below, normal}));
  AwaitReading(232);
  TickAt(140);
  TickAt(200);
  TickAt(970.9);
  EXPECT_EQ(shown_.size(), 2u);
  TickAt(971);
  EXPECT_EQ(shown_, (std::vector<Shown>{below, normal, below}));

  // Explorer restarts while the temperature comes back: "back to normal" is refused by the new
  // shell until TaskbarCreated has the icon added again, and is said then, once.
  RestartTheShell();
  AwaitReading(320);
  TickAt(980);
  TickAt(1040);
  EXPECT_EQ(shown_.size(), 3u);
  EXPECT_EQ(Standing(), std::vector<std::string>{"below"});
  PostMessageW(main_, RegisterWindowMessageW(L"TaskbarCreated"), 0, 0);
  ASSERT_TRUE(RunUntil([&] { return shell_holds_icon_; }, 5000));
  TickAt(1041);
  TickAt(1042);
  EXPECT_EQ(shown_, (std::vector<Shown>{below, normal, below, normal}));
  EXPECT_EQ(Standing(), std::vector<std::string>{});
  EXPECT_EQ(boxes_->Answered(), 0);
}

TEST_F(AlarmNoticeTest, NothingSwitchedOnSaysNothingAndLeavesTheFileAsItWas) {
  // The file of a user who never set an alarm, as the program wrote it: after a run with the
  // device pulled and readings below 18 and above 30, the exit writes it byte for byte again.
  std::string file = kNamesGroup + "1 = Lamp\r\n2 = Pump\r\n3 = Heater\r\n4 = Fan\r\n" + kStartupGroup +
                     "Lamp = 0\r\nPump = 0\r\nHeater = 0\r\nFan = 0\r\n" + kExitGroup +
                     "Lamp = 0\r\nPump = 0\r\nHeater = 0\r\nFan = 0\r\n" + kScheduleGroup;
  for (int id = 41; id <= 56; ++id) file += std::to_string(id) + " = 0\r\n";
  file += kThermostatGroup;
  for (int id = 67; id <= 82; ++id) file += std::to_string(id) + " = 0\r\n";
  Put(kSettingsFileName, file);
  ASSERT_TRUE(switch_->SetRate(0, 10));
  Start();
  TakeTheRulesClock();
  AwaitReading(100);
  TickAt(0);
  TickAt(100);
  AwaitReading(600);
  TickAt(200);
  TickAt(300);
  switch_->Unplug(0);
  ASSERT_TRUE(RunUntil([&] { return !link_->LastPresence(); }));
  TickAt(400);
  TickAt(2000);
  EXPECT_EQ(shown_, std::vector<Shown>{});
  ShutDown();
  EXPECT_EQ(Slurp(kSettingsFileName), file);
}

TEST_F(AlarmNoticeTest, TheHistoryWindowsRowShowsAndEditsTheLimitsTheExitSaves) {
  Put(kSettingsFileName, kBothLimits);
  Start();
  PostMessageW(main_, WM_COMMAND, kHistoryItem, 0);
  RunPosted();
  HWND window = NativeWindowHandle(kHistoryWindow);
  ASSERT_NE(window, nullptr);
  // "Предупреждать, если температура", "ниже", "выше", and the thermostat tab's "°С".
  EXPECT_EQ(GetText(kAlarmRowText),
            "\xCF\xF0\xE5\xE4\xF3\xEF\xF0\xE5\xE6\xE4\xE0\xF2\xFC, \xE5\xF1\xEB\xE8 "
            "\xF2\xE5\xEC\xEF\xE5\xF0\xE0\xF2\xF3\xF0\xE0");
  EXPECT_EQ(GetText(kBelowAlarmBox), "\xED\xE8\xE6\xE5");
  EXPECT_EQ(GetText(kAboveAlarmBox), "\xE2\xFB\xF8\xE5");
  EXPECT_EQ(GetText(kBelowAlarmUnit), "\xB0\xD1");
  EXPECT_EQ(GetText(kAboveAlarmUnit), "\xB0\xD1");
  EXPECT_EQ(GetState(kBelowAlarmBox), 1);
  EXPECT_EQ(GetState(kBelowAlarmField), 18);
  EXPECT_EQ(GetState(kAboveAlarmBox), 1);
  EXPECT_EQ(GetState(kAboveAlarmField), 30);

  // The user switches the upper limit off and types a lower limit: the rules have them at once.
  PostMessageW(ControlOf(window, kAboveAlarmBox), BM_CLICK, 0, 0);
  HWND below = ControlOf(window, kBelowAlarmField);
  SetWindowTextW(below, L"-7");
  PostMessageW(GetParent(below), WM_COMMAND, MAKEWPARAM(kBelowAlarmField, EN_CHANGE), reinterpret_cast<LPARAM>(below));
  RunPosted();
  EXPECT_EQ(program_->alarm_settings, (AlarmSettings{true, -7, false, 30}));

  // Closing the window keeps them; the exit writes them.
  PostMessageW(window, WM_CLOSE, 0, 0);
  RunPosted();
  ASSERT_EQ(NativeWindowHandle(kHistoryWindow), nullptr);
  ShutDown();
  const std::string file = Slurp(kSettingsFileName);
  EXPECT_NE(
      file.find(kAlarmGroup + "\xCD\xE8\xE6\xE5 \xE2\xEA\xEB\xFE\xF7\xE5\xED\xEE = 1\r\n\xCD\xE8\xE6\xE5 = -7\r\n"
                              "\xC2\xFB\xF8\xE5 \xE2\xEA\xEB\xFE\xF7\xE5\xED\xEE = 0\r\n\xC2\xFB\xF8\xE5 = 30\r\n"),
      std::string::npos)
      << file;
}

}  // namespace
}  // namespace qx::test
