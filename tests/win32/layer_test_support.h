#pragma once
// Helpers shared by the window layer's tests: collecting the events WaitForEvent returns, pumping
// messages while waiting for a condition, and the fixture that releases the layer after each test.

#include <windows.h>

#include <commctrl.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "runtime/win32/layer.h"
#include "tests/support/desktop_support.h"

namespace qx::test {

struct Event {
  int code;
  int type;
  int object;
  int window;
  bool operator==(const Event&) const = default;
};

inline std::ostream& operator<<(std::ostream& os, const Event& e) {
  return os << "{code " << e.code << ", type " << e.type << ", object " << e.object << ", window " << e.window << "}";
}

// A thread message that marks the end of what has been queued so far.
inline constexpr UINT kSentinel = WM_APP + 0x3A5;

// Every event WaitForEvent returns until the queue holds nothing more that was posted: a sentinel
// thread message marks the end of what is queued, and as long as the dispatch of the messages
// before it posted more (the layer posts some of its events), another round follows. Messages the
// platform makes up only when the queue is empty (paint, timers) are left for later.
inline std::vector<Event> DrainEvents() {
  std::vector<Event> events;
  for (int round = 0; round < 20; ++round) {
    PostThreadMessageW(GetCurrentThreadId(), kSentinel, 0, 0);
    for (int i = 0; i < 10000; ++i) {
      const int code = WaitForEvent();
      if (code == static_cast<int>(kSentinel)) break;
      events.push_back({code, CurrentEventType(), CurrentEventWidget(), CurrentEventWindow()});
    }
    MSG msg;
    if (!PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_POSTMESSAGE)) break;
  }
  return events;
}

inline std::vector<Event> OfCode(const std::vector<Event>& events, int code) {
  std::vector<Event> selected;
  for (const Event& e : events)
    if (e.code == code) selected.push_back(e);
  return selected;
}

inline std::wstring WindowTextW(HWND hwnd) {
  wchar_t text[512] = {};
  GetWindowTextW(hwnd, text, 512);
  return text;
}

inline std::wstring ClassOf(HWND hwnd) {
  wchar_t text[64] = {};
  GetClassNameW(hwnd, text, 64);
  return text;
}

class LayerTest : public ::testing::Test {
 protected:
  void TearDown() override { ShutdownWindowLayer(); }

  // A visible window 0 with a widget list, ready for widgets.
  HWND OpenWindow(int number = 0, int options = kWindowCaption | kWindowSystemMenu | kWindowMinimizeBox) {
    const int ref = NewWindow(number, 40, 40, 360, 240, "Test", options);
    EXPECT_EQ(ref, number);
    return NativeWindowHandle(number);
  }
};

}  // namespace qx::test
