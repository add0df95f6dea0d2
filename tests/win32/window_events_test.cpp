// Windows and the event model, driven by the messages a user's actions produce.

#include <windows.h>

#include <atomic>

#include "runtime/win32/layer_messages.h"
#include "tests/win32/layer_test_support.h"

namespace qx::test {
namespace {

using WindowTest = LayerTest;
using EventTest = LayerTest;

TEST_F(WindowTest, ProgramWindowOptionsGiveAHiddenCentredFixedWindow) {
  ASSERT_EQ(NewWindow(0, 5, 5, 354, 220, "USB Quellarotix", kMainWindowOptions), 0);
  const HWND hwnd = NativeWindowHandle(0);
  ASSERT_NE(hwnd, nullptr);
  EXPECT_FALSE(IsWindowVisible(hwnd));
  const LONG_PTR style = GetWindowLongPtrW(hwnd, GWL_STYLE);
  EXPECT_EQ(style & WS_CAPTION, WS_CAPTION);
  EXPECT_TRUE(style & WS_SYSMENU);
  EXPECT_TRUE(style & WS_MINIMIZEBOX);
  EXPECT_FALSE(style & WS_MAXIMIZEBOX);
  EXPECT_FALSE(style & WS_THICKFRAME);
  RECT client{};
  GetClientRect(hwnd, &client);
  EXPECT_EQ(client.right, 354);
  EXPECT_EQ(client.bottom, 220);
  RECT outer{};
  GetWindowRect(hwnd, &outer);
  EXPECT_EQ(outer.left, (GetSystemMetrics(SM_CXSCREEN) - (outer.right - outer.left)) / 2);
  EXPECT_EQ(outer.top, (GetSystemMetrics(SM_CYSCREEN) - (outer.bottom - outer.top)) / 2);
  EXPECT_EQ(WindowTextW(hwnd), L"USB Quellarotix");

  SetWindowHidden(0, 0);
  EXPECT_TRUE(IsWindowVisible(hwnd));
  SetTopmost(0, 1);
  EXPECT_TRUE(GetWindowLongPtrW(hwnd, GWL_EXSTYLE) & WS_EX_TOPMOST);
  SetTopmost(0, 0);
  EXPECT_FALSE(GetWindowLongPtrW(hwnd, GWL_EXSTYLE) & WS_EX_TOPMOST);
  SetWindowHidden(0, 1);
  EXPECT_FALSE(IsWindowVisible(hwnd));
}

TEST_F(WindowTest, OptionsWithoutStyleBitsStillGetATitleBar) {
  ASSERT_EQ(NewWindow(0, 10, 20, 100, 50, "plain", kWindowHidden), 0);
  const HWND hwnd = NativeWindowHandle(0);
  EXPECT_EQ(GetWindowLongPtrW(hwnd, GWL_STYLE) & WS_CAPTION, WS_CAPTION);
  RECT outer{};
  GetWindowRect(hwnd, &outer);
  EXPECT_EQ(outer.left, 10);
  EXPECT_EQ(outer.top, 20);
}

TEST_F(WindowTest, HiddenWindowIsShownAgainInTheStateItHad) {
  const HWND hwnd = OpenWindow(0, kWindowCaption | kWindowSystemMenu | kWindowMinimizeBox | WS_MAXIMIZEBOX);
  ChangeWindowState(0, kWindowStateMinimized);
  EXPECT_TRUE(IsIconic(hwnd));
  SetWindowHidden(0, 1);
  SetWindowHidden(0, 0);
  EXPECT_TRUE(IsWindowVisible(hwnd));
  EXPECT_TRUE(IsIconic(hwnd));
  ChangeWindowState(0, kWindowStateNormal);
  EXPECT_FALSE(IsIconic(hwnd));
  ChangeWindowState(0, kWindowStateMaximized);
  EXPECT_TRUE(IsZoomed(hwnd));
  SetWindowHidden(0, 1);
  SetWindowHidden(0, 0);
  EXPECT_TRUE(IsZoomed(hwnd));
  ChangeWindowState(0, 12345);  // not a state: nothing happens
  EXPECT_TRUE(IsZoomed(hwnd));
}

TEST_F(EventTest, CloseRequestIsAnEventAndTheWindowStaysOpen) {
  const HWND hwnd = OpenWindow(0);
  DrainEvents();
  PostMessageW(hwnd, WM_SYSCOMMAND, SC_CLOSE, 0);  // the close box, the system menu, Alt+F4
  const auto events = DrainEvents();
  ASSERT_EQ(OfCode(events, CloseEvent).size(), 1u);
  EXPECT_EQ(OfCode(events, CloseEvent)[0].window, 0);
  EXPECT_TRUE(IsWindow(hwnd));
  EXPECT_TRUE(IsWindowVisible(hwnd));
}

TEST_F(EventTest, MinimiseRestoreAndMaximiseBecomeWindowEvents) {
  const HWND hwnd = OpenWindow(1, kWindowCaption | kWindowSystemMenu | kWindowMinimizeBox | WS_MAXIMIZEBOX);
  DrainEvents();
  PostMessageW(hwnd, WM_SYSCOMMAND, SC_MINIMIZE, 0);
  auto events = DrainEvents();
  ASSERT_EQ(OfCode(events, MinimizeEvent).size(), 1u);
  EXPECT_EQ(OfCode(events, MinimizeEvent)[0].window, 1);

  ChangeWindowState(1, kWindowStateNormal);
  events = DrainEvents();
  EXPECT_EQ(OfCode(events, WindowRestoredEvent).size(), 1u);
  EXPECT_FALSE(OfCode(events, WindowSizedEvent).empty());

  ChangeWindowState(1, kWindowStateMaximized);
  events = DrainEvents();
  EXPECT_EQ(OfCode(events, WindowMaximizedEvent).size(), 1u);
  EXPECT_EQ(OfCode(events, WindowRestoredEvent).size(), 0u);
  ChangeWindowState(1, kWindowStateNormal);
  events = DrainEvents();
  EXPECT_EQ(OfCode(events, WindowRestoredEvent).size(), 1u) << "a restore after a maximise is reported too";
  // A plain size change is no restore.
  SetWindowPos(hwnd, nullptr, 0, 0, 300, 200, SWP_NOMOVE | SWP_NOZORDER);
  events = DrainEvents();
  EXPECT_EQ(OfCode(events, WindowRestoredEvent).size(), 0u);
  EXPECT_FALSE(OfCode(events, WindowSizedEvent).empty());
}

TEST_F(EventTest, RepeatedWindowEventsAreQueuedOnce) {
  const HWND hwnd = OpenWindow(0);
  DrainEvents();
  SendMessageW(hwnd, WM_MOVE, 0, 0);
  SendMessageW(hwnd, WM_MOVE, 0, 0);
  SendMessageW(hwnd, WM_CLOSE, 0, 0);
  SendMessageW(hwnd, WM_CLOSE, 0, 0);
  SendMessageW(hwnd, WM_MOVE, 0, 0);
  const auto events = DrainEvents();
  const std::vector<Event> expected = {
      {WindowMovedEvent, -1, 0, 0}, {CloseEvent, -1, 0, 0}, {WindowMovedEvent, -1, 0, 0}};
  ASSERT_GE(events.size(), 3u);
  for (size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(events[i].code, expected[i].code) << i;
    EXPECT_EQ(events[i].window, 0);
    EXPECT_EQ(events[i].type, -1);
  }
}

TEST_F(EventTest, TrayNotificationsGiveTrayEventsOnPressesOnly) {
  const HWND hwnd = OpenWindow(0);
  struct Case {
    UINT mouse;
    int type;  // -1: no TrayEvent
  };
  const Case cases[] = {
      {WM_LBUTTONDOWN, kTrayLeftPressed},        {WM_LBUTTONUP, -1},   {WM_MOUSEMOVE, -1},
      {WM_RBUTTONDOWN, kTrayRightPressed},       {WM_RBUTTONUP, -1},   {WM_LBUTTONDBLCLK, kTrayLeftDoubleClick},
      {WM_RBUTTONDBLCLK, kTrayRightDoubleClick}, {WM_MBUTTONDOWN, -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.mouse);
    DrainEvents();
    // The shell sends the notification; the layer re-posts it so the event loop sees it.
    SendMessageW(hwnd, kMsgTrayCallback, 1, c.mouse);
    const auto trays = OfCode(DrainEvents(), TrayEvent);
    if (c.type < 0) {
      EXPECT_TRUE(trays.empty());
    } else {
      ASSERT_EQ(trays.size(), 1u);
      EXPECT_EQ(trays[0].type, c.type);
      EXPECT_EQ(trays[0].object, 1) << "the tray icon number";
    }
  }
  // A left double-click as the shell delivers it: press, release, double-click, release.
  DrainEvents();
  for (UINT mouse : {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_LBUTTONUP})
    SendMessageW(hwnd, kMsgTrayCallback, 1, mouse);
  const auto trays = OfCode(DrainEvents(), TrayEvent);
  ASSERT_EQ(trays.size(), 2u);
  EXPECT_EQ(trays[0].type, kTrayLeftPressed);
  EXPECT_EQ(trays[1].type, kTrayLeftDoubleClick);
}

TEST_F(EventTest, MenuCommandsAndOtherMessages) {
  const HWND hwnd = OpenWindow(0);
  DrainEvents();
  PostMessageW(hwnd, WM_COMMAND, 6, 0);  // a chosen popup-menu item arrives like this
  PostMessageW(hwnd, WM_APP + 77, 1, 2);
  const auto events = DrainEvents();
  ASSERT_EQ(events.size(), 2u);
  EXPECT_EQ(events[0].code, MenuEvent);
  EXPECT_EQ(events[0].object, 6);
  EXPECT_EQ(events[1].code, WM_APP + 77);
  EXPECT_EQ(events[1].type, -1);
  EXPECT_EQ(events[1].object, 6) << "a message without an event leaves the object as it was";
}

std::atomic<int> g_ticks{0};
void CALLBACK CountTick(HWND, UINT, UINT_PTR, DWORD) {
  ++g_ticks;
}

TEST_F(EventTest, TimerCallbacksRunInsideTheWaitAndPlainTimersBecomeEvents) {
  const HWND hwnd = OpenWindow(0);
  g_ticks = 0;
  SetTimer(hwnd, 1, 10, CountTick);
  int code = 0;
  for (int i = 0; i < 1000 && code != WM_TIMER; ++i) code = WaitForEvent();
  EXPECT_EQ(code, WM_TIMER) << "a tick with a callback comes back as the message's own number";
  EXPECT_GE(g_ticks.load(), 1) << "and its callback has already run";
  KillTimer(hwnd, 1);

  SetTimer(hwnd, 7, 10, nullptr);
  code = 0;
  for (int i = 0; i < 1000 && code != TimerTickEvent; ++i) code = WaitForEvent();
  EXPECT_EQ(code, TimerTickEvent);
  EXPECT_EQ(CurrentEventWidget(), 7);
  KillTimer(hwnd, 7);
}

TEST_F(EventTest, CheckBoxClickGivesAGadgetEventAfterTheStateChanged) {
  const HWND hwnd = OpenWindow(0);
  ASSERT_NE(NewCheckBox(3, 10, 10, 15, 16, ""), kNoObject);
  const HWND box = ControlOf(hwnd, 3);
  DrainEvents();
  PostMessageW(box, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
  PostMessageW(box, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
  int code = 0;
  for (int i = 0; i < 10 && code != GadgetEvent; ++i) code = WaitForEvent();
  ASSERT_EQ(code, GadgetEvent);
  EXPECT_EQ(CurrentEventWidget(), 3);
  EXPECT_EQ(CurrentEventType(), BN_CLICKED);
  EXPECT_EQ(CurrentEventWindow(), 0);
  EXPECT_EQ(GetState(3), 1);
}

TEST_F(EventTest, ProgramChangesBetweenWaitsRaiseNoEvent) {
  OpenWindow(0);
  ASSERT_NE(NewStringField(9, 10, 10, 100, 20, "OFF", kFieldCentred | kFieldReadOnly), kNoObject);
  DrainEvents();
  SetText(9, "21.5");  // the edit box reports EN_CHANGE, but no user did anything
  EXPECT_TRUE(OfCode(DrainEvents(), GadgetEvent).empty());
}

TEST_F(EventTest, PanelPageChangeAndTabClick) {
  const HWND hwnd = OpenWindow(0);
  ASSERT_EQ(NewPanel(0, 8, 8, 300, 180), 0);
  for (const char* title : {"one", "two", "three"}) AddItem(0, -1, title);
  CloseContainer();
  const HWND tab = ControlOf(hwnd, 0);
  RECT item{};
  SendMessageW(tab, TCM_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&item));
  const LPARAM at = MAKELPARAM((item.left + item.right) / 2, (item.top + item.bottom) / 2);
  DrainEvents();
  PostMessageW(tab, WM_LBUTTONDOWN, MK_LBUTTON, at);
  PostMessageW(tab, WM_LBUTTONUP, 0, at);
  const auto gadgets = OfCode(DrainEvents(), GadgetEvent);
  ASSERT_EQ(gadgets.size(), 2u);
  EXPECT_EQ(gadgets[0], (Event{GadgetEvent, kPanelPageChanged, 0, 0}));
  EXPECT_EQ(gadgets[1], (Event{GadgetEvent, kPanelTabClicked, 0, 0}));
  EXPECT_EQ(GetState(0), 1);
  EXPECT_EQ(GetText(0), "two");
}

TEST_F(EventTest, SpinArrowsStepByOneStopAtTheEndsAndReportAfterTheChange) {
  const HWND hwnd = OpenWindow(0);
  ASSERT_NE(NewSpinField(67, 10, 10, 33, 20, -99, 99, 0x2002), kNoObject);
  HWND arrows = FindWindowExW(hwnd, nullptr, UPDOWN_CLASSW, nullptr);
  ASSERT_NE(arrows, nullptr);
  RECT r{};
  GetClientRect(arrows, &r);
  const LPARAM upper = MAKELPARAM(r.right / 2, 2);
  const LPARAM lower = MAKELPARAM(r.right / 2, r.bottom - 2);
  auto click = [&](LPARAM where) {
    DrainEvents();
    PostMessageW(arrows, WM_LBUTTONDOWN, MK_LBUTTON, where);
    PostMessageW(arrows, WM_LBUTTONUP, 0, where);
    std::vector<std::pair<int, int>> seen;  // (type, state when the event arrived)
    for (const Event& e : OfCode(DrainEvents(), GadgetEvent))
      if (e.type == kSpinUp || e.type == kSpinDown) seen.emplace_back(e.type, GetState(67));
    return seen;
  };
  EXPECT_EQ(click(upper), (std::vector<std::pair<int, int>>{{kSpinUp, 1}}));
  EXPECT_EQ(GetText(67), "1");
  EXPECT_EQ(click(lower), (std::vector<std::pair<int, int>>{{kSpinDown, 0}}));
  SetState(67, 99);
  click(upper);
  EXPECT_EQ(GetState(67), 99) << "no wrap at the top";
  SetState(67, -99);
  click(lower);
  EXPECT_EQ(GetState(67), -99) << "no wrap at the bottom";

  // The keyboard's arrow keys in the text box step the same way.
  const HWND edit =
      ControlOf(hwnd, 67) == arrows ? FindWindowExW(hwnd, nullptr, L"Edit", nullptr) : ControlOf(hwnd, 67);
  DrainEvents();
  PostMessageW(edit, WM_KEYDOWN, VK_UP, 1);
  const auto gadgets = OfCode(DrainEvents(), GadgetEvent);
  EXPECT_TRUE(std::any_of(gadgets.begin(), gadgets.end(), [](const Event& e) { return e.type == kSpinUp; }));
  EXPECT_EQ(GetState(67), -98);
}

TEST_F(EventTest, StringFieldFocusGivesItsOwnEvents) {
  const HWND hwnd = OpenWindow(0);
  ASSERT_NE(NewStringField(5, 10, 10, 100, 20, "name"), kNoObject);
  ASSERT_NE(NewStringField(6, 10, 40, 100, 20, "other"), kNoObject);
  SetActiveWindow(hwnd);
  DrainEvents();
  SetFocus(ControlOf(hwnd, 5));
  SetFocus(ControlOf(hwnd, 6));
  std::vector<Event> focus;
  for (const Event& e : OfCode(DrainEvents(), GadgetEvent))
    if (e.type == kFieldFocusGained || e.type == kFieldFocusLost) focus.push_back(e);
  const std::vector<Event> expected = {{GadgetEvent, kFieldFocusGained, 5, 0},
                                       {GadgetEvent, kFieldFocusLost, 5, 0},
                                       {GadgetEvent, kFieldFocusGained, 6, 0}};
  EXPECT_EQ(focus, expected);
}

TEST_F(EventTest, TabAndShiftTabMoveThroughFocusableWidgetsInCreationOrder) {
  const HWND hwnd = OpenWindow(0);
  ASSERT_NE(NewCheckBox(1, 10, 10, 15, 16, ""), kNoObject);
  ASSERT_NE(NewText(2, 30, 10, 50, 16, "label"), kNoObject);  // takes no focus
  ASSERT_NE(NewPanel(20, 10, 40, 300, 120), kNoObject);
  AddItem(20, -1, "shown");
  ASSERT_NE(NewStringField(3, 10, 10, 100, 20, ""), kNoObject);
  AddItem(20, -1, "hidden");
  ASSERT_NE(NewStringField(4, 10, 10, 100, 20, ""), kNoObject);  // on a hidden page: skipped
  CloseContainer();
  ASSERT_NE(NewComboBox(5, 10, 170, 60, 20), kNoObject);
  SetForegroundWindow(hwnd);
  SetActiveWindow(hwnd);
  ASSERT_EQ(GetActiveWindow(), hwnd);
  const HWND page_hidden_field = FindWindowExW(nullptr, nullptr, nullptr, nullptr);
  (void)page_hidden_field;

  auto focused_widget = [&]() -> int {
    const HWND focus = GetFocus();
    for (int id : {1, 3, 4, 5, 20})
      if (HWND c = ControlOf(hwnd, id); c && (c == focus || IsChild(c, focus))) return id;
    return -1;
  };
  auto press_tab = [&](bool shift) {
    BYTE keys[256] = {};
    GetKeyboardState(keys);
    keys[VK_SHIFT] = shift ? 0x80 : 0;
    SetKeyboardState(keys);
    PostMessageW(GetFocus() ? GetFocus() : hwnd, WM_KEYDOWN, VK_TAB, 1);
    DrainEvents();
    keys[VK_SHIFT] = 0;
    SetKeyboardState(keys);
  };
  SetFocus(ControlOf(hwnd, 1));
  std::vector<int> forward;
  for (int i = 0; i < 4; ++i) {
    press_tab(false);
    forward.push_back(focused_widget());
  }
  EXPECT_EQ(forward, (std::vector<int>{20, 3, 5, 1}));
  std::vector<int> backward;
  for (int i = 0; i < 4; ++i) {
    press_tab(true);
    backward.push_back(focused_widget());
  }
  EXPECT_EQ(backward, (std::vector<int>{5, 3, 20, 1}));
}

}  // namespace
}  // namespace qx::test
