#pragma once
// Helpers of the device-link tests: a virtual SwitchUnit session of this process's own, waiting
// for a condition with a deadline, counting the process's handles, and running vswitch.exe.

#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "device/hid_access.h"
#include "tests/support/desktop_support.h"
#include "tools/vswitch/control.h"
#include "tools/vswitch/virtual_switch.h"

namespace qx::test {

// A session name no other process uses, set for the stand-ins of this process too.
inline std::string OwnSession(const char* tag) {
  const std::string session = std::string(tag) + "-" + std::to_string(GetCurrentProcessId());
  SetEnvironmentVariableA(vswitch::kSessionVariable, session.c_str());
  return session;
}

// The number of open handles of this process. GetProcessHandleCount is a stub under Wine, so the
// handle table is probed value by value.
inline int OpenHandleCount() {
  int count = 0;
  for (ULONG_PTR value = 4; value < 0x40000; value += 4) {
    DWORD flags;
    if (GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags)) ++count;
  }
  return count;
}

// How many interfaces this process has opened so far, as the stand-in hid.dll counts them (the
// search asks for the attributes of every interface it opened); -1 without the stand-in.
inline long InterfacesOpened() {
  using Count = LONG(WINAPI*)();
  const HMODULE hid = GetModuleHandleA("hid.dll");
  const auto count =
      hid ? reinterpret_cast<Count>(reinterpret_cast<void*>(GetProcAddress(hid, "QxStandInAttributeQueries"))) : nullptr;
  return count ? count() : -1;
}

// A fresh simulator in this process's own session, and the HID libraries loaded, for every test.
class SimulatorTest : public ::testing::Test {
 protected:
  SimulatorTest() : sw_(OwnSession("dev")) {}
  void SetUp() override {
    ASSERT_TRUE(sw_.Start());
    LoadHidLibraries();
  }
  void TearDown() override {
    UnloadHidLibraries();
    sw_.Stop();
  }
  // Waits until the simulator counts `n` open handles on the slot.
  bool WaitForOpenHandles(int slot, int n, DWORD timeout_ms = 5000) {
    return PumpUntil([&] { return sw_.Status(slot).open_handles == n; }, timeout_ms);
  }
  vswitch::VirtualSwitch sw_;
};

// vswitch.exe serving a session in a process of its own, ended with "quit".
class VswitchProcess {
 public:
  explicit VswitchProcess(const std::string& session, const std::string& arguments = "") : session_(session) {
    std::string command = "vswitch.exe serve --no-window --session " + session + " " + arguments;
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    if (CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process_)) {
      CloseHandle(process_.hThread);
      process_.hThread = nullptr;
    } else {
      process_ = {};
    }
  }
  ~VswitchProcess() {
    if (!process_.hProcess) return;
    vswitch::SendControlCommand(session_, "quit", 1000);
    if (WaitForSingleObject(process_.hProcess, 5000) != WAIT_OBJECT_0) TerminateProcess(process_.hProcess, 1);
    CloseHandle(process_.hProcess);
  }
  VswitchProcess(const VswitchProcess&) = delete;
  VswitchProcess& operator=(const VswitchProcess&) = delete;

  bool Started() const { return process_.hProcess != nullptr; }
  // Sends a command; the answer.
  std::string Command(const std::string& line) const { return vswitch::SendControlCommand(session_, line, 10000); }
  bool Ok(const std::string& line) const { return Command(line).rfind("ok", 0) == 0; }

 private:
  std::string session_;
  PROCESS_INFORMATION process_{};
};

}  // namespace qx::test
