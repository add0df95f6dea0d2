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

    // The user's folder: the program, the setupapi stand-in, its settings file, and a foreign
    // hid.dll planted beside it (the stand-in that lacks HidD_GetAttributes, with which no device
    // would ever be found). The program must take hid.dll from the system folder, where the rig
    // keeps the working stand-in, so every test here also shows that the planted one is ignored.
    folder_ = fs::current_path() / "user";
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

  // Starts the program as Explorer would, in its own folder; returns once its tray icon is there,
  // with the time that took.
  double StartProgram() {
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    std::wstring command = L"\"" + (folder_ / "Quellarotix.exe").wstring() + L"\"";
    const auto started = Clock::now();
    EXPECT_TRUE(CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, folder_.c_str(), &startup,
                               &process_));
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

}  // namespace
