// The program's behaviour in-process: start-up with and without the SwitchUnit, the loop's
// dispatch of every kind of event through the real window layer, the tray menu texts and labels,
// the Thermometer window, and every way out of the loop with its exit report and saved file.
#include <windows.h>

#include <shellapi.h>

#include <algorithm>

#include "app/main_window.h"
#include "app/thermometer_window.h"
#include "app/tray_menu.h"
#include "automation/settings_file.h"
#include "program_test_support.h"
#include "tests/support/settings_groups.h"

namespace qx::test {
namespace {

const std::string kUsbOff = "USB \xEE\xF2\xEA\xEB\xFE\xF7\xE5\xED";
const std::string kUsbOn = "USB \xEF\xEE\xE4\xEA\xEB\xFE\xF7\xE5\xED";

const std::string kFourNames = kNamesGroup + "1 = Lamp\r\n2 = Pump\r\n3 = Heater\r\n4 = Fan\r\n";

bool TrayIconShown(HWND window) {
  NOTIFYICONDATAW probe{};
  probe.cbSize = sizeof(probe);
  probe.hWnd = window;
  probe.uID = kTrayIcon;
  return Shell_NotifyIconW(NIM_MODIFY, &probe) != FALSE;
}

// Chooses item `item` of the popup menu once it is open, with the keyboard as a user would:
// Down skips the separators, so item n is n presses away; then Enter. Item 0 closes it (Escape).
// A thread timer does it, because timers run inside the menu's modal loop, on the thread whose
// keyboard the menu reads.
class MenuChooser {
 public:
  explicit MenuChooser(int item) {
    item_ = item;
    seen_ = false;
    timer_ = SetTimer(nullptr, 0, 30, OnTimer);
  }
  ~MenuChooser() { KillTimer(nullptr, timer_); }
  // Whether the menu was seen open and answered.
  bool Finish() { return seen_; }

 private:
  static void CALLBACK OnTimer(HWND, UINT, UINT_PTR, DWORD) {
    HWND menu = OpenPopupMenu();
    if (!menu || seen_) return;
    seen_ = true;
    for (int i = 0; i < item_; ++i) PostMessageW(menu, WM_KEYDOWN, VK_DOWN, 0);
    PostMessageW(menu, WM_KEYDOWN, item_ == 0 ? VK_ESCAPE : VK_RETURN, 0);
  }
  static inline int item_ = 0;
  static inline bool seen_ = false;
  UINT_PTR timer_ = 0;
};

// Typing as the keyboard delivers it: a character, then the key's release.
void Type(HWND field, const std::string& text) {
  for (const char c : text) {
    PostMessageW(field, WM_CHAR, static_cast<WPARAM>(static_cast<unsigned char>(c)), 1);
    PostMessageW(field, WM_KEYUP, 0x41, static_cast<LPARAM>(0xC0000001));
  }
}

const std::string k19(19, '_');

std::string Label(int item) {
  return GetMenuItemLabel(kPopupMenu, item);
}

// --- Start-up ---------------------------------------------------------------------------------

TEST_F(ProgramTest, WithoutTheDeviceStartsInTheTrayAndSaysSoOnce) {
  switch_->Unplug(0);
  Start();
  EXPECT_EQ(boxes_->Answered(), 1);
  EXPECT_EQ(LastMessageBoxTitle(), "USB Quelarotix");
  EXPECT_EQ(LastMessageBoxText(), kUsbOff);
  EXPECT_FALSE(IsWindowVisible(main_));
  EXPECT_TRUE(TrayIconShown(main_));
  EXPECT_EQ(GetStatusText(kStatusBar, 0), "");
  EXPECT_EQ(GetText(kTemperatureDisplay), "OFF");
  // The timers run; with nothing to switch there is no further box, and the loop goes on.
  const int listings = link_->presence().Listings();
  RunFor(1200);
  EXPECT_FALSE(loop_ended_);
  EXPECT_EQ(boxes_->Answered(), 1);
  EXPECT_TRUE(Reports().empty());
  // Told of no device change, the presence checks did not even list the HID interfaces.
  EXPECT_EQ(link_->presence().Listings(), listings);
  // Plugging it in later is told, and so noticed by the presence timer's next check (well before
  // the full search every few seconds), without a report of its own.
  switch_->Plug(0);
  EXPECT_TRUE(RunUntil([] { return GetStatusText(kStatusBar, 0) == kUsbOn; }, 1000));
  EXPECT_TRUE(Reports().empty());
}

struct StartupCase {
  std::string startup_lines;  // the "При загрузке" group's lines
  int first_report;
};

class StartupReportTest : public ProgramTest, public ::testing::WithParamInterface<StartupCase> {};

TEST_P(StartupReportTest, FirstReportCarriesTheStartupOutlets) {
  Put(kSettingsFileName, kFourNames + kStartupGroup + GetParam().startup_lines);
  Start();
  EXPECT_EQ(boxes_->Answered(), 0);
  EXPECT_EQ(GetStatusText(kStatusBar, 0), kUsbOn);
  // Sent before the loop handled a single event.
  EXPECT_EQ(Reports(1), std::vector<int>{GetParam().first_report});
  for (int outlet = 1; outlet <= 4; ++outlet) {
    const int ticked = (GetParam().first_report >> outlet) & 1;
    EXPECT_EQ(GetState(OutletCheckBox(outlet)), ticked) << outlet;
    EXPECT_EQ(GetState(StartupBox(outlet)), ticked) << outlet;
  }
}

INSTANTIATE_TEST_SUITE_P(Files, StartupReportTest,
                         ::testing::Values(StartupCase{"", 0x00}, StartupCase{"Heater = 1\r\n", 0x08},
                                           StartupCase{"Lamp = 1\r\nPump = 0\r\nHeater = 1\r\n", 0x0A},
                                           StartupCase{"Lamp = 1\r\nPump = 1\r\nHeater = 1\r\nFan = 1\r\n", 0x1E}));

TEST_F(ProgramTest, StoredScheduleAndBandsReachTheirWidgets) {
  Put(kSettingsFileName,
      kScheduleGroup + "41 = 9\r\n42 = 31\r\n56 = 60\r\n" + kThermostatGroup + "67 = 20\r\n74 = -5\r\n80 = 3\r\n");
  Start();
  EXPECT_EQ(GetText(41), "08");
  EXPECT_EQ(GetText(42), "30");
  EXPECT_EQ(GetText(56), "59");
  EXPECT_EQ(GetState(67), 20);
  EXPECT_EQ(GetState(74), -5);
  EXPECT_EQ(GetState(43), 0);
  EXPECT_EQ(GetState(68), 0);
}

// --- The loop's dispatch ----------------------------------------------------------------------

TEST_F(ProgramTest, TrayLeftPressShowsTheWindowAndMinimisingHidesIt) {
  Start();
  ClickTray(WM_LBUTTONDOWN);
  const std::vector<Event> events = RunPosted();
  EXPECT_TRUE(std::any_of(events.begin(), events.end(),
                          [](const Event& e) { return e.kind == TrayEvent && e.type == kTrayLeftPressed; }));
  EXPECT_TRUE(IsWindowVisible(main_));
  EXPECT_EQ(GetForegroundWindow(), main_);
  EXPECT_EQ(GetState(kPanel), 0) << "the first tab is selected";

  SendMessageW(main_, WM_SYSCOMMAND, SC_MINIMIZE, 0);
  RunPosted();
  EXPECT_FALSE(IsWindowVisible(main_));

  // Shown again, restored from the minimised state.
  ClickTray(WM_LBUTTONDOWN);
  RunPosted();
  EXPECT_TRUE(IsWindowVisible(main_));
  EXPECT_FALSE(IsIconic(main_));

  // A double click only refreshes the texts: the window stays as it is.
  SendMessageW(main_, WM_SYSCOMMAND, SC_MINIMIZE, 0);
  RunPosted();
  ClickTray(WM_LBUTTONDBLCLK);
  const std::vector<Event> double_click = RunPosted();
  EXPECT_TRUE(std::any_of(double_click.begin(), double_click.end(),
                          [](const Event& e) { return e.kind == TrayEvent && e.type == kTrayLeftDoubleClick; }));
  EXPECT_FALSE(IsWindowVisible(main_));
}

TEST_F(ProgramTest, TrayRightPressOpensTheMenuAndAnItemSwitchesItsOutlet) {
  Put(kSettingsFileName, kFourNames);
  Start();
  switch_->ClearOutputReports(0);
  MenuChooser choose(2);
  ClickTray(WM_RBUTTONDOWN);
  RunPosted();
  ASSERT_TRUE(choose.Finish());
  RunPosted();
  EXPECT_EQ(GetState(OutletCheckBox(2)), 1);
  EXPECT_EQ(Reports(1), std::vector<int>{0x04});
  EXPECT_EQ(Label(2), "2. Pump____________   \xA4");

  // Chosen again it switches the outlet back off; Escape chooses nothing.
  MenuChooser again(2);
  ClickTray(WM_RBUTTONDOWN);
  RunPosted();
  ASSERT_TRUE(again.Finish());
  RunPosted();
  MenuChooser nothing(0);
  ClickTray(WM_RBUTTONDOWN);
  RunPosted();
  ASSERT_TRUE(nothing.Finish());
  RunPosted();
  EXPECT_EQ(Reports(2), (std::vector<int>{0x04, 0x00}));
  EXPECT_EQ(Label(2), "2. Pump____________    ");
}

TEST_F(ProgramTest, MenuItemsByNumber) {
  Start();
  switch_->ClearOutputReports(0);
  struct Step {
    int item;
    std::vector<int> reports;  // after this step, since the start of the test
  };
  // Items arrive as the menu sends them: a command to window 0 carrying the item number. A number
  // no item has (10) sends the report all the same; 9 is the MQTT window's, which sends none.
  for (const Step& step : {Step{1, {0x02}}, Step{4, {0x02, 0x12}}, Step{1, {0x02, 0x12, 0x10}},
                           Step{9, {0x02, 0x12, 0x10}}, Step{10, {0x02, 0x12, 0x10, 0x10}}}) {
    PostMessageW(main_, WM_COMMAND, static_cast<WPARAM>(step.item), 0);
    RunPosted();
    EXPECT_EQ(Reports(step.reports.size()), step.reports) << "item " << step.item;
  }
  EXPECT_EQ(Label(4), "4. " + k19 + "   \xA4");

  // "Выход" leaves the loop at once: no report, no relabelling.
  SetState(OutletCheckBox(4), 0);
  PostMessageW(main_, WM_COMMAND, kExitItem, 0);
  RunPosted();
  EXPECT_TRUE(loop_ended_);
  EXPECT_EQ(Reports().size(), 4u);
  EXPECT_EQ(Label(4), "4. " + k19 + "   \xA4");
}

TEST_F(ProgramTest, CheckBoxClickSendsTheReport) {
  Start();
  switch_->ClearOutputReports(0);
  for (int outlet : {3, 1, 3}) {
    PostMessageW(ControlOf(main_, OutletCheckBox(outlet)), BM_CLICK, 0, 0);
    RunPosted();
  }
  // Clicked twice, box 3 shows unticked again; box 1 stays ticked.
  EXPECT_EQ(GetState(OutletCheckBox(3)), 0);
  EXPECT_EQ(GetState(OutletCheckBox(1)), 1);
  EXPECT_EQ(Reports(3), (std::vector<int>{0x08, 0x0A, 0x02}));
  // The menu learns of it at its next refresh only.
  EXPECT_EQ(Label(1), "1. " + k19 + "   ");
}

TEST_F(ProgramTest, ScheduleAndBandEditsReachTheTables) {
  Start();
  switch_->ClearOutputReports(0);
  // The user picks "07" in the switch-on hour of outlet 2: its minute becomes "00", and only the
  // picked box is recorded.
  HWND hour = ControlOf(main_, 43);
  SendMessageW(hour, CB_SETCURSEL, 8, 0);
  PostMessageW(GetParent(hour), WM_COMMAND, MAKEWPARAM(43, CBN_SELCHANGE), reinterpret_cast<LPARAM>(hour));
  RunPosted();
  EXPECT_EQ(GetText(43), "07");
  EXPECT_EQ(program_->schedule_table[3], 8);
  EXPECT_EQ(GetText(44), "00");
  EXPECT_EQ(program_->schedule_table[4], 0);

  // A band value typed into a spin field.
  HWND band = ControlOf(main_, 70);
  SetWindowTextW(band, L"-12");
  PostMessageW(GetParent(band), WM_COMMAND, MAKEWPARAM(70, EN_CHANGE), reinterpret_cast<LPARAM>(band));
  RunPosted();
  EXPECT_EQ(program_->thermostat_table[4], -12);
  RunFor(300);
  EXPECT_TRUE(Reports().empty()) << "editing switches nothing";
}

TEST_F(ProgramTest, TypedNamesReachTheLabelsCutTo19) {
  Put(kSettingsFileName, kFourNames);
  Start();
  // Typing is a string of key events; each is an "other event" that takes the names over.
  HWND field = ControlOf(main_, NameField(2));
  SetFocus(field);
  SendMessageW(field, EM_SETSEL, 0, -1);
  Type(field, "Aquarium pump, left side");
  RunPosted();
  EXPECT_EQ(GetText(NameField(2)), "Aquarium pump, left side");
  EXPECT_EQ(program_->Name(2).Read(), "Aquarium pump, left");
  for (int label : {StartupLabel(2), ExitLabel(2), ScheduleLabel(2), ThermostatButton(2)}) {
    EXPECT_EQ(GetText(label), "2. Aquarium pump, left") << label;
  }
  EXPECT_EQ(GetText(StartupLabel(1)), "1. Lamp");
}

TEST_F(ProgramTest, TrayEventShowsPaddedNamesUntilTheNextOtherEvent) {
  Put(kSettingsFileName, kFourNames);
  Start();
  Dispatch(Event{TrayEvent, kTrayIcon, kTrayLeftDoubleClick});
  EXPECT_EQ(GetText(StartupLabel(4)), "4. Fan_____________");
  EXPECT_EQ(GetText(ThermostatButton(1)), "1. Lamp____________");
  Dispatch(Event{WindowRepaintedEvent, 0, -1});
  EXPECT_EQ(GetText(StartupLabel(4)), "4. Fan");
  EXPECT_EQ(GetText(ThermostatButton(1)), "1. Lamp");
}

// --- Tray menu texts --------------------------------------------------------------------------

struct MenuCase {
  std::vector<std::string> names;
  std::vector<int> on;  // outlets switched on
  int pad;
  std::vector<std::string> labels;
};

class TrayMenuTextTest : public ::testing::TestWithParam<MenuCase> {
 protected:
  void TearDown() override { ShutdownWindowLayer(); }
};

TEST_P(TrayMenuTextTest, PaddingAndMarkers) {
  const MenuCase& c = GetParam();
  DeviceLink link;
  Program program(link);
  for (int n = 1; n <= 4; ++n) program.Name(n).Store(c.names[static_cast<std::size_t>(n - 1)]);
  ASSERT_TRUE(BuildMainWindow(program.outlet_names));
  BuildPopupMenu();
  for (int outlet : c.on) SetState(OutletCheckBox(outlet), 1);
  EXPECT_EQ(PadLength(program.outlet_names), c.pad);
  RefreshTrayMenu(program);
  for (int n = 1; n <= 4; ++n) EXPECT_EQ(Label(n), c.labels[static_cast<std::size_t>(n - 1)]) << n;
  // The padded names stay until they are taken from the fields again; the labels show them.
  RefreshNameLabels(program);
  for (int n = 1; n <= 4; ++n) {
    const std::string label = GetText(ExitLabel(n));
    EXPECT_EQ(label, OutletLabel(n, program.Name(n)));
    EXPECT_EQ(Label(n).rfind(label + " ", 0), 0u) << Label(n);
  }
}

INSTANTIATE_TEST_SUITE_P(Examples, TrayMenuTextTest,
                         ::testing::Values(MenuCase{{"", "", "", ""},
                                                    {},
                                                    19,
                                                    {"1. " + k19 + "   ", "2. " + k19 + "    ", "3. " + k19 + "    ",
                                                     "4. " + k19 + "    "}},
                                           MenuCase{{"Lamp", "Circulation", "Heater", "Fan of the attic"},
                                                    {1, 2},
                                                    15,
                                                    {"1. Lamp___________  \xA4", "2. Circulation____   \xA4",
                                                     "3. Heater_________    ", "4. Fan of the attic    "}},
                                           MenuCase{{"Kitchen one", "Kitchen two", "Cellar heat", "Garden lights"},
                                                    {3},
                                                    8,
                                                    {"1. Kitchen one   ", "2. Kitchen two    ", "3. Cellar heat   \xA4",
                                                     "4. Garden lights    "}},
                                           MenuCase{{"abcd", "abcdef", "ghijkl", "abcdefghijkl"},
                                                    {4},
                                                    15,
                                                    {"1. abcd___________   ", "2. abcdef_________    ",
                                                     "3. ghijkl_________    ", "4. abcdefghijkl___   \xA4"}}));

// --- Thermometer window -----------------------------------------------------------------------

TEST_F(ProgramTest, ThermometerTwiceGivesOneFreshWindowInTheCentre) {
  Start();
  switch_->ClearOutputReports(0);
  PostMessageW(main_, WM_COMMAND, kThermometerItem, 0);
  RunPosted();
  HWND first = NativeWindowHandle(kThermometerWindow);
  ASSERT_NE(first, nullptr);
  EXPECT_TRUE(IsWindowVisible(first));
  EXPECT_EQ(GetText(kThermometerDisplay), "OFF");
  EXPECT_TRUE(GetWindowLongW(first, GWL_EXSTYLE) & WS_EX_TOPMOST);
  RECT client{};
  GetClientRect(first, &client);
  EXPECT_GE(client.right, 108) << "the platform may widen a window below its minimum width";
  EXPECT_EQ(client.bottom, 38);
  EXPECT_EQ(Reports(1), std::vector<int>{0x00}) << "every menu choice sends the report";

  // Moved away and showing a reading, then chosen again.
  SetWindowPos(first, nullptr, 5, 5, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  SetText(kThermometerDisplay,
          "23.0 \xB0"
          "C");
  PostMessageW(main_, WM_COMMAND, kThermometerItem, 0);
  RunPosted();
  HWND second = NativeWindowHandle(kThermometerWindow);
  EXPECT_EQ(WindowsTitled(L"Thermometer"), 1);
  EXPECT_EQ(GetText(kThermometerDisplay), "OFF");
  RECT outer{};
  GetWindowRect(second, &outer);
  const int centre_x = (outer.left + outer.right) / 2;
  const int centre_y = (outer.top + outer.bottom) / 2;
  EXPECT_NEAR(centre_x, GetSystemMetrics(SM_CXSCREEN) / 2, 2);
  EXPECT_NEAR(centre_y, GetSystemMetrics(SM_CYSCREEN) / 2, 2);

  // Its minimise box sends the main window to the tray as well.
  ClickTray(WM_LBUTTONDOWN);
  RunPosted();
  ASSERT_TRUE(IsWindowVisible(main_));
  SendMessageW(second, WM_SYSCOMMAND, SC_MINIMIZE, 0);
  RunPosted();
  EXPECT_FALSE(IsWindowVisible(main_));
}

TEST_F(ProgramTest, ThermometerWithoutDeviceStillSendsAndSaysSo) {
  switch_->Unplug(0);
  Start();
  ASSERT_EQ(boxes_->Answered(), 1);
  PostMessageW(main_, WM_COMMAND, kThermometerItem, 0);
  RunPosted();
  EXPECT_EQ(GetText(kThermometerDisplay), "OFF");
  EXPECT_EQ(boxes_->Answered(), 2);
}

// --- Ways out of the loop ---------------------------------------------------------------------

enum class Exit { kMenu, kCloseMain, kCloseThermometer };

class ExitTest : public ProgramTest, public ::testing::WithParamInterface<Exit> {};

TEST_P(ExitTest, ExitReportAndSavedNamesWithoutPadding) {
  Put(kSettingsFileName, kFourNames + kExitGroup + "Pump = 1\r\nFan = 1\r\n");
  Start();
  if (GetParam() == Exit::kCloseThermometer) {
    PostMessageW(main_, WM_COMMAND, kThermometerItem, 0);
    RunPosted();
  }
  // Outlet 3 on (its exit box is not ticked), outlet 2 off (its exit box is).
  PostMessageW(ControlOf(main_, OutletCheckBox(3)), BM_CLICK, 0, 0);
  RunPosted();
  // The simulator records a report on a thread of its own: the click's must be in before it is
  // forgotten, or it would seem to come after.
  ASSERT_TRUE(PumpUntil([&] { return switch_->Status(0).outlets == 0x08; }));
  switch_->ClearOutputReports(0);
  // A tray event pads the names in place just before the way out.
  Dispatch(Event{TrayEvent, kTrayIcon, kTrayLeftDoubleClick});
  ASSERT_EQ(program_->Name(1).Read(), "Lamp____________");

  switch (GetParam()) {
    case Exit::kMenu:
      PostMessageW(main_, WM_COMMAND, kExitItem, 0);
      break;
    case Exit::kCloseMain:
      PostMessageW(main_, WM_CLOSE, 0, 0);
      break;
    case Exit::kCloseThermometer:
      PostMessageW(NativeWindowHandle(kThermometerWindow), WM_CLOSE, 0, 0);
      break;
  }
  RunPosted();
  ASSERT_TRUE(loop_ended_);
  ShutDown();

  EXPECT_EQ(Reports(1), std::vector<int>{0x14});
  EXPECT_EQ(boxes_->Answered(), 0);
  const std::string file = Slurp(kSettingsFileName);
  EXPECT_EQ(file.rfind(kFourNames + kStartupGroup + "Lamp = 0\r\nPump = 0\r\nHeater = 0\r\nFan = 0\r\n" + kExitGroup +
                           "Lamp = 0\r\nPump = 1\r\nHeater = 0\r\nFan = 1\r\n",
                       0),
            0u)
      << file;
  EXPECT_EQ(file.find('_'), std::string::npos);
  // Everything was released: no window, no tray icon.
  EXPECT_EQ(NativeWindowHandle(kMainWindow), nullptr);
  EXPECT_FALSE(TrayIconShown(main_));
}

INSTANTIATE_TEST_SUITE_P(Ways, ExitTest, ::testing::Values(Exit::kMenu, Exit::kCloseMain, Exit::kCloseThermometer));

TEST_F(ProgramTest, ExitWithoutDeviceSaysSoAndStillSaves) {
  switch_->Unplug(0);
  Start();
  ASSERT_EQ(boxes_->Answered(), 1);
  SetText(NameField(1), "Lamp");
  SetState(ExitBox(1), 1);
  PostMessageW(main_, WM_CLOSE, 0, 0);
  RunPosted();
  ASSERT_TRUE(loop_ended_);
  ShutDown();
  EXPECT_EQ(boxes_->Answered(), 2);
  EXPECT_NE(Slurp(kSettingsFileName).find(kExitGroup + "Lamp = 1\r\n"), std::string::npos);
}

TEST_F(ProgramTest, ExitPolicyFollowsTheExitBoxes) {
  Start();
  struct Case {
    int on;    // outlets on before (bit n)
    int exit;  // exit boxes ticked (bit n)
  };
  for (const Case& c : {Case{0x04, 0x04}, Case{0x08, 0x00}, Case{0x00, 0x1E}, Case{0x1E, 0x00}}) {
    for (int n = 1; n <= 4; ++n) {
      SetState(OutletCheckBox(n), (c.on >> n) & 1);
      SetState(ExitBox(n), (c.exit >> n) & 1);
    }
    switch_->ClearOutputReports(0);
    ApplyExitPolicy(*link_);
    EXPECT_EQ(Reports(1), std::vector<int>{c.exit});
  }
}

}  // namespace
}  // namespace qx::test
