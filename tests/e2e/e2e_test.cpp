// The real Quellarotix.exe, started and ended as a user would, with the virtual SwitchUnit plugged
// in: the tray icon clicked with the mouse, the menu worked with the keyboard, and what the
// SwitchUnit received and the settings file it left checked from outside.
#include <windows.h>

#include <shellapi.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/desktop_support.h"
#include "tests/support/settings_groups.h"
#include "tools/vswitch/virtual_switch.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

using qx::test::kNamesGroup;
using qx::test::kStartupGroup;
using qx::test::kExitGroup;
using qx::test::kScheduleGroup;
using qx::test::kThermostatGroup;

using qx::test::Slurp;
using qx::test::ThisProgramFolder;
using qx::test::TopLevelWindowOf;

fs::path BuiltProgram() { return qx::test::BuiltProgramAt(QX_PROGRAM_PATH); }

bool WaitFor(const std::function<bool()>& done, int timeout_ms) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
  while (!done()) {
    if (Clock::now() > deadline) return false;
    Sleep(5);
  }
  return true;
}

bool TrayIconShown(HWND window) {
  NOTIFYICONDATAW probe{};
  probe.cbSize = sizeof(probe);
  probe.hWnd = window;
  probe.uID = 1;
  return Shell_NotifyIconW(NIM_MODIFY, &probe) != FALSE;
}

void SendMouse(int x, int y, DWORD down, DWORD up) {
  const double sx = 65535.0 / (GetSystemMetrics(SM_CXSCREEN) - 1);
  const double sy = 65535.0 / (GetSystemMetrics(SM_CYSCREEN) - 1);
  INPUT input[3] = {};
  for (INPUT& i : input) {
    i.type = INPUT_MOUSE;
    i.mi.dx = static_cast<LONG>(x * sx);
    i.mi.dy = static_cast<LONG>(y * sy);
    i.mi.dwFlags = MOUSEEVENTF_ABSOLUTE;
  }
  input[0].mi.dwFlags |= MOUSEEVENTF_MOVE;
  input[1].mi.dwFlags |= down;
  input[2].mi.dwFlags |= up;
  SendInput(3, input, sizeof(INPUT));
}

void PressKey(WORD key) {
  INPUT input[2] = {};
  input[0].type = input[1].type = INPUT_KEYBOARD;
  input[0].ki.wVk = input[1].ki.wVk = key;
  input[1].ki.dwFlags = KEYEVENTF_KEYUP;
  SendInput(2, input, sizeof(INPUT));
  Sleep(30);
}

// The program's popup menu, once it is open.
HWND OpenMenuOf(DWORD pid) {
  HWND menu = nullptr;
  while ((menu = FindWindowExW(nullptr, menu, L"#32768", nullptr)) != nullptr) {
    DWORD owner = 0;
    GetWindowThreadProcessId(menu, &owner);
    if (owner == pid && IsWindowVisible(menu)) return menu;
  }
  return nullptr;
}

class EndToEndTest : public ::testing::Test {
 protected:
  void SetUp() override {
    session_ = "e2e-" + std::to_string(GetCurrentProcessId());
    SetEnvironmentVariableA(qx::vswitch::kSessionVariable, session_.c_str());
    switch_ = std::make_unique<qx::vswitch::VirtualSwitch>(session_);
    ASSERT_TRUE(switch_->Start());
    ASSERT_EQ(switch_->AddDevice(), 0);
    switch_->SetCount(0, 376);  // 23.5 degrees
    switch_->SetRate(0, 5);

    UseFolder(L"user");
  }

  // The user's folder: the program, the setupapi stand-in, its settings file, and a foreign
  // hid.dll planted beside it (the stand-in that lacks HidD_GetAttributes, with which no device
  // would ever be found). The program must take hid.dll from the system folder, where the rig
  // keeps the working stand-in, so every test here also shows that the planted one is ignored.
  void UseFolder(const std::wstring& name) {
    folder_ = fs::current_path() / name;
    fs::remove_all(folder_);
    fs::create_directories(folder_);
    fs::copy_file(BuiltProgram(), folder_ / "Quellarotix.exe");
    fs::copy_file(ThisProgramFolder() / "setupapi.dll", folder_ / "setupapi.dll");
    wchar_t system_folder[MAX_PATH];
    ASSERT_GT(GetSystemDirectoryW(system_folder, MAX_PATH), 0u);
    fs::copy_file(fs::path(system_folder) / "hid_noattributes.dll", folder_ / "hid.dll");
  }

  void TearDown() override {
    if (process_.hProcess) {
      if (WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT) TerminateProcess(process_.hProcess, 99);
      CloseHandle(process_.hProcess);
      CloseHandle(process_.hThread);
    }
    switch_.reset();
  }

  // Starts the program as Explorer would, in its own folder.
  PROCESS_INFORMATION Launch(DWORD flags = 0) {
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    std::wstring command = L"\"" + (folder_ / "Quellarotix.exe").wstring() + L"\"";
    PROCESS_INFORMATION process{};
    EXPECT_TRUE(CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, flags, nullptr, folder_.c_str(),
                               &startup, &process));
    return process;
  }

  // Starts the program; returns once its tray icon is there, with the time that took.
  double StartProgram() {
    const auto started = Clock::now();
    process_ = Launch();
    EXPECT_TRUE(WaitFor([&] { return (main_ = TopLevelWindowOf(process_.dwProcessId, L"USB Quellarotix")) != nullptr; },
                        15000));
    window_ms_ = std::chrono::duration<double, std::milli>(Clock::now() - started).count();
    EXPECT_TRUE(WaitFor([&] { return main_ && TrayIconShown(main_); }, 15000));
    return std::chrono::duration<double, std::milli>(Clock::now() - started).count();
  }

  // Right-clicks the program's icon in the tray, then works its menu with the keyboard: Down
  // `downs` times (the separators are skipped) and Enter.
  void ChooseFromTrayMenu(int downs) {
    // Two presses within the double-click time would be a double click, which opens no menu.
    Sleep(GetDoubleClickTime() + 100);
    HWND tray = FindWindowW(nullptr, L"Wine System Tray");
    ASSERT_NE(tray, nullptr) << "no tray window to click";
    POINT icon{GetSystemMetrics(SM_CXSMICON) / 2 + 2, GetSystemMetrics(SM_CYSMICON) / 2 + 2};
    ClientToScreen(tray, &icon);
    SendMouse(icon.x, icon.y, MOUSEEVENTF_RIGHTDOWN, MOUSEEVENTF_RIGHTUP);
    ASSERT_TRUE(WaitFor([&] { return OpenMenuOf(process_.dwProcessId) != nullptr; }, 5000)) << "menu did not open";
    for (int i = 0; i < downs; ++i) PressKey(VK_DOWN);
    PressKey(VK_RETURN);
    ASSERT_TRUE(WaitFor([&] { return OpenMenuOf(process_.dwProcessId) == nullptr; }, 5000));
  }

  // Presses a button of the main window as a click would leave it (the thermostat's enable
  // buttons are not stored in the settings).
  void Press(int widget) {
    HWND button = nullptr;
    ASSERT_TRUE(WaitFor([&] { return (button = qx::test::ControlOf(main_, widget)) != nullptr; }, 5000));
    SendMessageTimeoutW(button, BM_SETCHECK, BST_CHECKED, 0, SMTO_ABORTIFHUNG, 5000, nullptr);
  }

  // Waits for an outlet report from index `from` on that `matches`; returns its index, or -1.
  int WaitForReport(std::size_t from, const std::function<bool(int)>& matches, int timeout_ms) {
    int found = -1;
    WaitFor(
        [&] {
          const auto reports = switch_->OutputReports(0);
          for (std::size_t i = from; i < reports.size(); ++i) {
            if (reports[i].bytes.size() == 2 && matches(reports[i].bytes[1])) {
              found = static_cast<int>(i);
              return true;
            }
          }
          return false;
        },
        timeout_ms);
    return found;
  }

  std::vector<int> Reports(std::size_t expected) {
    switch_->WaitForOutputReports(0, expected, 5000);
    std::vector<int> bytes;
    for (const auto& r : switch_->OutputReports(0)) bytes.push_back(r.bytes.size() == 2 ? r.bytes[1] : -1);
    return bytes;
  }

  DWORD ExitCode(int timeout_ms) {
    if (WaitForSingleObject(process_.hProcess, static_cast<DWORD>(timeout_ms)) != WAIT_OBJECT_0) return 0xDEAD;
    DWORD code = 0xDEAD;
    GetExitCodeProcess(process_.hProcess, &code);
    return code;
  }

  std::string session_;
  std::unique_ptr<qx::vswitch::VirtualSwitch> switch_;
  fs::path folder_;
  PROCESS_INFORMATION process_{};
  HWND main_ = nullptr;
  double window_ms_ = 0;
};

std::string ExpectedFile(const std::string& startup, const std::string& exit) {
  std::string text = kNamesGroup + "1 = Lamp\r\n2 = Pump\r\n3 = Heater\r\n4 = Fan\r\n" + kStartupGroup + startup +
                     kExitGroup + exit + kScheduleGroup;
  for (int id = 41; id <= 56; ++id) text += std::to_string(id) + " = 0\r\n";
  text += kThermostatGroup;
  for (int id = 67; id <= 82; ++id) text += std::to_string(id) + " = 0\r\n";
  return text;
}

TEST_F(EndToEndTest, SwitchThroughTheTrayMenuAndExit) {
  std::ofstream(folder_ / "Quellarotix.ini", std::ios::binary)
      << kNamesGroup + "1 = Lamp\r\n2 = Pump\r\n3 = Heater\r\n4 = Fan\r\n" + kStartupGroup + "Lamp = 1\r\n" +
             kExitGroup + "Fan = 1\r\n";
  // Saves killed half way left their temporary files behind: one of a process that has ended
  // since (its handle is kept, so its id is not given to another), one of a process still running.
  PROCESS_INFORMATION ended = Launch(CREATE_SUSPENDED);
  TerminateProcess(ended.hProcess, 1);
  WaitForSingleObject(ended.hProcess, 5000);
  const fs::path ended_save = folder_ / ("Quellarotix.ini." + std::to_string(ended.dwProcessId) + ".tmp");
  const fs::path running_save = folder_ / ("Quellarotix.ini." + std::to_string(GetCurrentProcessId()) + ".tmp");
  qx::test::Put(ended_save, "[half");
  qx::test::Put(running_save, "[half");
  const double to_tray_ms = StartProgram();
  ASSERT_NE(main_, nullptr);
  std::printf("process start to main window: %.0f ms, to tray icon: %.0f ms\n", window_ms_, to_tray_ms);
  EXPECT_FALSE(IsWindowVisible(main_)) << "only the tray icon is shown";
  ASSERT_EQ(Reports(1), std::vector<int>{0x02})
      << "outlet 1 is switched on at start-up (the SwitchUnit found despite the hid.dll beside the program)";

  ChooseFromTrayMenu(2);  // "2. Pump"
  EXPECT_EQ(Reports(2), (std::vector<int>{0x02, 0x06}));

  ChooseFromTrayMenu(6);  // "Выход"
  EXPECT_EQ(ExitCode(10000), 0u);
  // The exit policy: only the fan is left on.
  EXPECT_EQ(Reports(3), (std::vector<int>{0x02, 0x06, 0x10}));
  EXPECT_EQ(Slurp(folder_ / "Quellarotix.ini"), ExpectedFile("Lamp = 1\r\nPump = 0\r\nHeater = 0\r\nFan = 0\r\n",
                                                             "Lamp = 0\r\nPump = 0\r\nHeater = 0\r\nFan = 1\r\n"));
  EXPECT_FALSE(fs::exists(ended_save));
  EXPECT_TRUE(fs::exists(running_save));
  CloseHandle(ended.hThread);
  CloseHandle(ended.hProcess);
}

TEST_F(EndToEndTest, EndOfSessionRunsTheShutdown) {
  std::ofstream(folder_ / "Quellarotix.ini", std::ios::binary)
      << kNamesGroup + "1 = Lamp\r\n2 = Pump\r\n3 = Heater\r\n4 = Fan\r\n" + kExitGroup + "Lamp = 1\r\nHeater = 1\r\n";
  const double to_tray_ms = StartProgram();
  ASSERT_NE(main_, nullptr);
  std::printf("process start to main window: %.0f ms, to tray icon: %.0f ms\n", window_ms_, to_tray_ms);
  ASSERT_EQ(Reports(1), std::vector<int>{0x00});
  // What Windows sends every top-level window at log-off.
  DWORD_PTR answer = 0;
  SendMessageTimeoutW(main_, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF, SMTO_ABORTIFHUNG, 5000, &answer);
  EXPECT_EQ(answer, static_cast<DWORD_PTR>(TRUE));
  SendMessageTimeoutW(main_, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF, SMTO_ABORTIFHUNG, 5000, &answer);
  EXPECT_EQ(ExitCode(10000), 0u);
  EXPECT_EQ(Reports(2), (std::vector<int>{0x00, 0x0A}));
  EXPECT_EQ(Slurp(folder_ / "Quellarotix.ini"), ExpectedFile("Lamp = 0\r\nPump = 0\r\nHeater = 0\r\nFan = 0\r\n",
                                                             "Lamp = 1\r\nPump = 0\r\nHeater = 1\r\nFan = 0\r\n"));
}

// The program started again while it runs, as a user does who saw nothing happen: the second
// start only brings up the first one's window.
TEST_F(EndToEndTest, SecondStartShowsTheFirstAndLeavesItAlone) {
  std::ofstream(folder_ / "Quellarotix.ini", std::ios::binary)
      << kNamesGroup + "1 = Lamp\r\n2 = Pump\r\n3 = Heater\r\n4 = Fan\r\n" + kStartupGroup + "Lamp = 1\r\n";
  StartProgram();
  ASSERT_NE(main_, nullptr);
  ASSERT_EQ(Reports(1), std::vector<int>{0x02});
  ASSERT_FALSE(IsWindowVisible(main_));
  const std::string settings = Slurp(folder_ / "Quellarotix.ini");

  PROCESS_INFORMATION second = Launch();
  ASSERT_EQ(WaitForSingleObject(second.hProcess, 10000), static_cast<DWORD>(WAIT_OBJECT_0));
  DWORD code = 0xDEAD;
  GetExitCodeProcess(second.hProcess, &code);
  CloseHandle(second.hThread);
  CloseHandle(second.hProcess);
  EXPECT_EQ(code, 0u);
  EXPECT_TRUE(WaitFor([&] { return IsWindowVisible(main_) != FALSE; }, 5000)) << "the first one's window is shown";
  EXPECT_FALSE(IsIconic(main_));
  Sleep(1000);  // time for a start-up report, had the second sent one
  EXPECT_EQ(Reports(1), std::vector<int>{0x02}) << "the outlets are as the first one set them";
  EXPECT_EQ(Slurp(folder_ / "Quellarotix.ini"), settings);

  // The first one still drives the device, and ends as always when its window is closed.
  PostMessageW(main_, WM_CLOSE, 0, 0);
  EXPECT_EQ(ExitCode(10000), 0u);
  EXPECT_EQ(Reports(2), (std::vector<int>{0x02, 0x00}));
}

// A heater on outlet 3 (band 20/25) under a sensor that gives nothing, then only readings the
// window rejects, then 15 degrees, then rejected readings again: without a fresh reading the
// heater is kept off.
TEST_F(EndToEndTest, ThermostatKeepsTheHeaterOffWithoutAFreshReading) {
  std::ofstream(folder_ / "Quellarotix.ini", std::ios::binary)
      << kNamesGroup + "1 = Lamp\r\n2 = Pump\r\n3 = Heater\r\n4 = Fan\r\n" + kThermostatGroup +
             "71 = 20\r\n72 = 25\r\n";
  switch_->SetRate(0, 0);
  StartProgram();
  ASSERT_NE(main_, nullptr);
  ASSERT_EQ(Reports(1), std::vector<int>{0x00});
  ASSERT_EQ(switch_->Status(0).reports_read, 0);
  Press(33);
  auto heater_on = [](int bits) { return (bits & 0x08) != 0; };
  auto heater_off = [](int bits) { return (bits & 0x08) == 0; };

  // No reading ever: the 0 degrees that were never measured switch nothing on; off at every tick.
  ASSERT_GE(Reports(5).size(), 5u);
  EXPECT_EQ(WaitForReport(1, heater_on, 500), -1);
  // A broken sensor: counts of 0 and beyond the window.
  for (int count : {0, 3000}) {
    switch_->SetCount(0, count);
    switch_->SetRate(0, 5);
    const std::size_t from = switch_->OutputReports(0).size();
    ASSERT_GE(Reports(from + 3).size(), from + 3) << count;
    EXPECT_EQ(WaitForReport(1, heater_on, 300), -1) << count;
  }
  // It measures again: cold, so the heater goes on.
  switch_->SetCount(0, 15 * 16);
  const int on = WaitForReport(0, heater_on, 5000);
  ASSERT_GE(on, 0);
  // It breaks again: the last reading stands for 10 s, then the heater goes off.
  const std::int64_t broke = qx::vswitch::PerformanceCounter();
  switch_->SetCount(0, 0);
  const int off = WaitForReport(static_cast<std::size_t>(on), heater_off, 20000);
  ASSERT_GE(off, 0);
  const auto reports = switch_->OutputReports(0);
  const double after =
      static_cast<double>(reports[static_cast<std::size_t>(off)].qpc - broke) / qx::vswitch::PerformanceFrequency();
  std::printf("heater off %.2f s after the sensor broke\n", after);
  EXPECT_GT(after, 9.0);
  EXPECT_LT(after, 14.0);
  EXPECT_EQ(WaitForReport(static_cast<std::size_t>(off), heater_on, 1500), -1);
}

// The settings file cannot be written at exit (another program holds it): the user is told in one
// box, with the file's path as it is even where Windows-1251 has no letters for it, and no rule
// switches an outlet behind the box, after the exit report.
TEST_F(EndToEndTest, SettingsThatCannotBeSavedAreToldWithTheirPath) {
  UseFolder(L"Gr\u00FC\u00DFe \u03A9");
  const std::string settings =
      kNamesGroup + "1 = Lamp\r\n2 = Pump\r\n3 = Heater\r\n4 = Fan\r\n" + kThermostatGroup + "71 = 20\r\n72 = 25\r\n";
  std::ofstream(folder_ / "Quellarotix.ini", std::ios::binary) << settings;
  switch_->SetCount(0, 15 * 16);
  StartProgram();
  ASSERT_NE(main_, nullptr);
  Press(33);  // the heater follows the thermostat, on at 15 degrees every half second
  auto only_the_heater = [](int bits) { return bits == 0x08; };
  ASSERT_GE(WaitForReport(0, only_the_heater, 5000), 0);

  const HANDLE held =
      CreateFileW((folder_ / "Quellarotix.ini").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  ChooseFromTrayMenu(6);  // "Выход"
  auto boxes = [&] {
    std::vector<HWND> found;
    HWND box = nullptr;
    while ((box = FindWindowExW(nullptr, box, L"#32770", L"USB Quellarotix")) != nullptr) {
      DWORD owner = 0;
      GetWindowThreadProcessId(box, &owner);
      if (owner == process_.dwProcessId && IsWindowVisible(box)) found.push_back(box);
    }
    return found;
  };
  ASSERT_TRUE(WaitFor([&] { return !boxes().empty(); }, 5000)) << "no box";
  const HWND box = boxes().front();
  wchar_t text[1024] = {};
  GetDlgItemTextW(box, 0xFFFF, text, 1024);
  EXPECT_EQ(std::wstring(text),
            L"\u041D\u0435 \u0443\u0434\u0430\u043B\u043E\u0441\u044C "
            L"\u0441\u043E\u0445\u0440\u0430\u043D\u0438\u0442\u044C "
            L"\u043D\u0430\u0441\u0442\u0440\u043E\u0439\u043A\u0438:\n" +
                (folder_ / "Quellarotix.ini").wstring());
  const std::size_t at_box = switch_->OutputReports(0).size();
  Sleep(1500);  // three thermostat periods
  const auto reports = switch_->OutputReports(0);
  EXPECT_EQ(reports.size(), at_box) << "an outlet was switched after the exit report";
  ASSERT_FALSE(reports.empty());
  EXPECT_EQ(reports.back().bytes, (std::vector<std::uint8_t>{0x00, 0x00})) << "the exit report";
  EXPECT_EQ(boxes().size(), 1u);

  PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
  EXPECT_EQ(ExitCode(10000), 0u);
  CloseHandle(held);
  EXPECT_EQ(Slurp(folder_ / "Quellarotix.ini"), settings);
}

}  // namespace
