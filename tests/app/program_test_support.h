#pragma once
// The program in-process under Wine: the real window layer, a virtual SwitchUnit served by the
// test itself, a fresh device link and program state per test, and message boxes answered and
// counted by a helper thread, as a user would press OK.

#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "app/event_loop.h"
#include "app/program.h"
#include "app/shutdown.h"
#include "app/startup.h"
#include "app/widget_ids.h"
#include "runtime/date_text.h"
#include "runtime/win32/layer.h"
#include "runtime/win32/layer_messages.h"
#include "tests/support/desktop_support.h"
#include "tools/vswitch/virtual_switch.h"

namespace qx::test {

// The visible popup menu window of this process, if one is open.
inline HWND OpenPopupMenu() {
  HWND menu = nullptr;
  while ((menu = FindWindowExW(nullptr, menu, L"#32768", nullptr)) != nullptr) {
    DWORD pid = 0;
    GetWindowThreadProcessId(menu, &pid);
    if (pid == GetCurrentProcessId() && IsWindowVisible(menu)) return menu;
  }
  return nullptr;
}

// How many top-level windows of this process have the title.
inline int WindowsTitled(const wchar_t* title) {
  int count = 0;
  HWND window = nullptr;
  while ((window = FindWindowExW(nullptr, window, nullptr, title)) != nullptr) {
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid == GetCurrentProcessId()) ++count;
  }
  return count;
}

// Presses OK on every message box the program opens while it lives, and counts them.
class BoxAnswerer {
 public:
  BoxAnswerer()
      : start_(MessageBoxesShown()), thread_([this] {
          while (!stop_) AnswerMessageBox(IDOK, 50);
        }) {}
  ~BoxAnswerer() {
    stop_ = true;
    thread_.join();
  }
  int Answered() const { return MessageBoxesShown() - start_; }

 private:
  int start_;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

class ProgramTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    // The stand-in DLLs find this test's simulator through the session name.
    const std::string session = "apptest-" + std::to_string(GetCurrentProcessId());
    SetEnvironmentVariableA(vswitch::kSessionVariable, session.c_str());
    switch_ = new vswitch::VirtualSwitch(session);
    ASSERT_TRUE(switch_->Start());
    ASSERT_EQ(switch_->AddDevice(), 0);
  }
  static void TearDownTestSuite() {
    delete switch_;
    switch_ = nullptr;
  }

  void SetUp() override {
    std::filesystem::remove(kSettingsFileName);
    switch_->Plug(0);
    switch_->ClearOutputReports(0);
    link_ = std::make_unique<DeviceLink>();
    program_ = std::make_unique<Program>(*link_);
    boxes_ = std::make_unique<BoxAnswerer>();
  }

  void TearDown() override {
    SetLocalClock(nullptr);
    // A run the test did not end is released without the exit report, as if the process had
    // been killed, so that the next test starts from nothing.
    if (!ended_) ShutdownWindowLayer();
    boxes_.reset();
    link_.reset();  // stops the sensor reader
    program_.reset();
  }

  // Start-up as the program does it. With the device plugged in, returns once the start-up
  // report has arrived.
  void Start() {
    ASSERT_TRUE(StartProgram(*program_));
    main_ = NativeWindowHandle(kMainWindow);
    ASSERT_NE(main_, nullptr);
    if (switch_->Status(0).plugged) {
      ASSERT_TRUE(switch_->WaitForOutputReports(0, 1, 3000));
    }
  }

  void Dispatch(const Event& event) {
    if (!loop_ended_ && !DispatchEvent(*program_, event)) loop_ended_ = true;
  }

  // Runs the loop until `done` holds, the loop ends, or the deadline passes. The presence timer
  // ticks every 400 ms, so the loop's wait never lasts long. Returns whether `done` held.
  bool RunUntil(const std::function<bool()>& done, int timeout_ms = 5000) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    while (!done()) {
      if (loop_ended_ || std::chrono::steady_clock::now() > deadline) return false;
      Dispatch(NextEvent());
    }
    return true;
  }

  void RunFor(int ms) {
    RunUntil([] { return false; }, ms);
  }

  // Dispatches what the test has posted, and what dispatching it posted in turn, and returns the
  // events it saw. A thread message marks the end of what is queued. A modal loop (the popup
  // menu, a message box) swallows thread messages, so a mark not back within half a second is
  // replaced by a new one; each mark has a message number of its own.
  std::vector<Event> RunPosted() {
    constexpr int kMarks = WM_APP + 0x3000;
    std::vector<Event> seen;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    auto post_mark = [this] {
      mark_ = (mark_ + 1) % 256;
      PostThreadMessageW(GetCurrentThreadId(), static_cast<UINT>(kMarks + mark_), 0, 0);
      return std::chrono::steady_clock::now();
    };
    for (int round = 0; round < 10 && !loop_ended_; ++round) {
      auto posted = post_mark();
      while (!loop_ended_ && std::chrono::steady_clock::now() < deadline) {
        const Event event = NextEvent();
        if (event.kind == kMarks + mark_) break;
        if (event.kind >= kMarks && event.kind < kMarks + 256) continue;  // an earlier mark
        seen.push_back(event);
        Dispatch(event);
        if (std::chrono::steady_clock::now() - posted > std::chrono::milliseconds(500)) posted = post_mark();
      }
      MSG msg;
      if (!PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_POSTMESSAGE)) break;
    }
    return seen;
  }

  // Posts what the shell sends when the tray icon is clicked.
  void ClickTray(UINT mouse_message) { PostMessageW(main_, kMsgTrayCallback, kTrayIcon, mouse_message); }

  // The outlet bytes the SwitchUnit received since the last clear, once at least `expected` of
  // them have arrived (the simulator records them on a thread of its own) or 3 s have passed.
  std::vector<int> Reports(std::size_t expected = 0) const {
    if (expected > 0) switch_->WaitForOutputReports(0, expected, 3000);
    std::vector<int> bytes;
    for (const vswitch::OutputReport& r : switch_->OutputReports(0)) {
      bytes.push_back(r.bytes.size() == 2 && r.bytes[0] == 0 ? r.bytes[1] : -1);
    }
    return bytes;
  }

  // Ends the run through the program's own shutdown.
  void ShutDown() {
    ended_ = true;
    EXPECT_EQ(ShutDownProgram(*program_), 0);
  }

  static vswitch::VirtualSwitch* switch_;
  std::unique_ptr<DeviceLink> link_;
  std::unique_ptr<Program> program_;
  std::unique_ptr<BoxAnswerer> boxes_;
  HWND main_ = nullptr;
  bool loop_ended_ = false;
  bool ended_ = false;
  int mark_ = 0;
};

inline vswitch::VirtualSwitch* ProgramTest::switch_ = nullptr;

}  // namespace qx::test
