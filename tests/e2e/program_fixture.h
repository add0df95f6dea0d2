#pragma once
// What the tests of the real program share: a virtual SwitchUnit served by the test, the program
// started from a folder of its own and ended for good, the outlet reports the device received,
// and the windows the program shows, found from outside.

#include <windows.h>

#include <shellapi.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/desktop_support.h"
#include "tools/vswitch/virtual_switch.h"

namespace qx::test {

using Clock = std::chrono::steady_clock;

// Polls `done` until it holds or the deadline passes; this thread has no windows whose messages
// would need handling meanwhile.
inline bool WaitFor(const std::function<bool()>& done, int timeout_ms) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
  while (!done()) {
    if (Clock::now() > deadline) return false;
    Sleep(5);
  }
  return true;
}

inline double MsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// The visible top-level windows of a class (and title, when one is given) that belong to `pid`:
// its message boxes ("#32770"), its popup menu ("#32768").
inline std::vector<HWND> VisibleWindowsOf(DWORD pid, const wchar_t* window_class, const wchar_t* title = nullptr) {
  std::vector<HWND> found;
  HWND window = nullptr;
  while ((window = FindWindowExW(nullptr, window, window_class, title)) != nullptr) {
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == pid && IsWindowVisible(window)) found.push_back(window);
  }
  return found;
}

inline bool TrayIconShown(HWND window) {
  NOTIFYICONDATAW probe{};
  probe.cbSize = sizeof(probe);
  probe.hWnd = window;
  probe.uID = 1;
  return Shell_NotifyIconW(NIM_MODIFY, &probe) != FALSE;
}

inline void SendMouse(int x, int y, DWORD down, DWORD up) {
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

inline void PressKey(WORD key) {
  INPUT input[2] = {};
  input[0].type = input[1].type = INPUT_KEYBOARD;
  input[0].ki.wVk = input[1].ki.wVk = key;
  input[1].ki.dwFlags = KEYEVENTF_KEYUP;
  SendInput(2, input, sizeof(INPUT));
  Sleep(30);
}

// Whether the program's popup menu is open.
inline bool MenuOpen(DWORD pid) {
  return !VisibleWindowsOf(pid, L"#32768").empty();
}

class ProgramFixture : public ::testing::Test {
 protected:
  // One virtual device at 23.5 degrees, five temperature reports a second, in a session of this
  // test process alone.
  void ServeSwitch(const std::string& session_prefix) {
    session_ = session_prefix + "-" + std::to_string(GetCurrentProcessId());
    SetEnvironmentVariableA(qx::vswitch::kSessionVariable, session_.c_str());
    switch_ = std::make_unique<qx::vswitch::VirtualSwitch>(session_);
    ASSERT_TRUE(switch_->Start());
    ASSERT_EQ(switch_->AddDevice(), 0);
    switch_->SetCount(0, 376);
    switch_->SetRate(0, 5);
  }

  void TearDown() override {
    if (process_.hProcess) {
      // Ended for good before the next test empties the folder the program runs from.
      if (WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT) TerminateProcess(process_.hProcess, 99);
      WaitForSingleObject(process_.hProcess, 10000);
      CloseHandle(process_.hProcess);
      CloseHandle(process_.hThread);
    }
    switch_.reset();
  }

  // Starts the program as Explorer would: in its own folder, unless another working folder is given.
  PROCESS_INFORMATION Launch(DWORD flags = 0, const std::filesystem::path& working_folder = {}) {
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    std::wstring command = L"\"" + (folder_ / "Quellarotix.exe").wstring() + L"\"";
    PROCESS_INFORMATION process{};
    EXPECT_TRUE(CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, flags, nullptr,
                               (working_folder.empty() ? folder_ : working_folder).c_str(), &startup, &process));
    return process;
  }

  bool WaitForMainWindow() {
    return WaitFor([&] { return (main_ = TopLevelWindowOf(process_.dwProcessId, L"USB Quellarotix")) != nullptr; },
                   15000);
  }

  DWORD ExitCode(int timeout_ms) {
    if (WaitForSingleObject(process_.hProcess, static_cast<DWORD>(timeout_ms)) != WAIT_OBJECT_0) return 0xDEAD;
    DWORD code = 0xDEAD;
    GetExitCodeProcess(process_.hProcess, &code);
    return code;
  }

  // Right-clicks the program's icon in the tray, then works its menu with the keyboard: `key`
  // (Down from the top, Up from the bottom) `presses` times (the separators are skipped) and Enter.
  void ChooseFromTrayMenu(int presses, WORD key = VK_DOWN) {
    // Two presses within the double-click time would be a double click, which opens no menu.
    Sleep(GetDoubleClickTime() + 100);
    HWND tray = FindWindowW(nullptr, L"Wine System Tray");
    ASSERT_NE(tray, nullptr) << "no tray window to click";
    POINT icon{GetSystemMetrics(SM_CXSMICON) / 2 + 2, GetSystemMetrics(SM_CYSMICON) / 2 + 2};
    ClientToScreen(tray, &icon);
    SendMouse(icon.x, icon.y, MOUSEEVENTF_RIGHTDOWN, MOUSEEVENTF_RIGHTUP);
    ASSERT_TRUE(WaitFor([&] { return MenuOpen(process_.dwProcessId); }, 5000)) << "menu did not open";
    for (int i = 0; i < presses; ++i) PressKey(key);
    PressKey(VK_RETURN);
    ASSERT_TRUE(WaitFor([&] { return !MenuOpen(process_.dwProcessId); }, 5000));
  }

  // The outlet byte of each report the device received so far; -1 for a report of another size.
  std::vector<int> ReportBytes() {
    std::vector<int> bytes;
    for (const auto& r : switch_->OutputReports(0)) bytes.push_back(r.bytes.size() == 2 ? r.bytes[1] : -1);
    return bytes;
  }

  std::string session_;
  std::unique_ptr<qx::vswitch::VirtualSwitch> switch_;
  std::filesystem::path folder_;
  PROCESS_INFORMATION process_{};
  HWND main_ = nullptr;
};

}  // namespace qx::test
