// Status bar, popup menu, tray icon, message box, threads, the program path, and the shutdown.

#include <windows.h>

#include <shellapi.h>

#include <atomic>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <thread>

#include "runtime/preferences.h"
#include "runtime/win32/layer_messages.h"
#include "runtime/win32/tray_icon_seam.h"
#include "tests/win32/layer_test_support.h"

namespace qx::test {
namespace {

using StatusBarTest = LayerTest;
using PopupMenuTest = LayerTest;
using TrayIconTest = LayerTest;
using MessageBoxTest = LayerTest;
using ProcessTest = LayerTest;

HWND BarOf(HWND window) {
  return FindWindowExW(window, nullptr, STATUSCLASSNAMEW, nullptr);
}

std::wstring RawStatusText(HWND bar, int field) {
  wchar_t text[256] = {};
  SendMessageW(bar, SB_GETTEXTW, static_cast<WPARAM>(field), reinterpret_cast<LPARAM>(text));
  return text;
}

TEST_F(StatusBarTest, FieldsTextsAndLayout) {
  const HWND window = OpenWindow(0);
  ASSERT_EQ(NewStatusBar(0, window), 0);
  for (int i = 0; i < 3; ++i) AddStatusField(118);
  const HWND bar = BarOf(window);
  ASSERT_NE(bar, nullptr);
  int edges[300] = {};
  ASSERT_EQ(SendMessageW(bar, SB_GETPARTS, 300, reinterpret_cast<LPARAM>(edges)), 3);
  EXPECT_EQ(edges[0], 118);
  EXPECT_EQ(edges[1], 236);
  EXPECT_EQ(edges[2], 354);

  struct Case {
    int options;
    const wchar_t* raw;
    WORD border;
  };
  const Case cases[] = {{kStatusCentred, L"\tUSB", 0},
                        {kStatusRight, L"\t\tUSB", 0},
                        {0, L"USB", 0},
                        {kStatusRaised, L"USB", SBT_POPOUT},
                        {kStatusNoBorder, L"USB", SBT_NOBORDERS},
                        {0, L"USB", 0}};
  for (const Case& c : cases) {
    SetStatusText(0, 1, "USB", c.options);
    EXPECT_EQ(RawStatusText(bar, 1), c.raw) << c.options;
    const LRESULT info = SendMessageW(bar, SB_GETTEXTLENGTHW, 1, 0);
    // The same text in another border style is still a change.
    EXPECT_EQ(HIWORD(info) & (SBT_POPOUT | SBT_NOBORDERS), c.border) << c.options;
    EXPECT_EQ(GetStatusText(0, 1), "USB");
  }

  // The bar stays along the bottom when the window's size changes.
  SetWindowPos(window, nullptr, 0, 0, 500, 400, SWP_NOMOVE | SWP_NOZORDER);
  RECT client{}, rect{};
  GetClientRect(window, &client);
  GetWindowRect(bar, &rect);
  MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&rect), 2);
  EXPECT_EQ(rect.bottom, client.bottom);
  EXPECT_EQ(rect.right, client.right);
  EXPECT_GE(rect.bottom - rect.top, 18);
}

TEST_F(StatusBarTest, AtMost256FieldsOnTheLatestBar) {
  const HWND window = OpenWindow(0);
  ASSERT_EQ(NewStatusBar(3, window), 3);
  for (int i = 0; i < 300; ++i) AddStatusField(2);
  int edges[300] = {};
  EXPECT_EQ(SendMessageW(BarOf(window), SB_GETPARTS, 300, reinterpret_cast<LPARAM>(edges)), 256);
  AddItem(3, -1, "not a widget");  // status bars and widgets are separate families
  EXPECT_EQ(GetStatusText(3, 0), "");
}

std::atomic<int> g_menu_ticks{0};
int g_choose_after = 0;

void CALLBACK DriveMenu(HWND, UINT, UINT_PTR, DWORD) {
  // Runs inside the menu's modal loop: after a few ticks the "user" picks the first item.
  if (++g_menu_ticks == g_choose_after) {
    const HWND menu = FindWindowW(L"#32768", nullptr);
    if (menu) {
      PostMessageW(menu, WM_KEYDOWN, VK_DOWN, 0);
      PostMessageW(menu, WM_KEYDOWN, VK_RETURN, 0);
    } else {
      EndMenu();
    }
  }
}

TEST_F(PopupMenuTest, ItemsLabelsAndAChoiceMadeWhileTimersRun) {
  const HWND window = OpenWindow(0);
  ASSERT_EQ(NewPopupMenu(0), 0);
  for (int item = 1; item <= 5; ++item) AddMenuItem(item, "item " + std::to_string(item));
  AddMenuSeparator();
  AddMenuItem(6, "exit");
  ASSERT_EQ(NewPopupMenu(1), 1);  // the current menu moves on: menu 0 keeps what it has
  AddMenuItem(1, "other");
  EXPECT_EQ(GetMenuItemLabel(0, 6), "exit");
  SetMenuItemLabel(0, 2, "2. Lamp ON");
  EXPECT_EQ(GetMenuItemLabel(0, 2), "2. Lamp ON");
  EXPECT_EQ(GetMenuItemLabel(1, 1), "other");
  SetMenuItemLabel(0, 99, "no such item");
  EXPECT_EQ(GetMenuItemLabel(0, 99), "");

  DrainEvents();
  g_menu_ticks = 0;
  g_choose_after = 3;
  SetTimer(window, 1, 20, DriveMenu);
  ShowPopupMenu(0, window);
  KillTimer(window, 1);
  EXPECT_GE(g_menu_ticks.load(), 3) << "window timers run while the menu is open";
  const auto events = DrainEvents();
  const auto menus = OfCode(events, MenuEvent);
  ASSERT_EQ(menus.size(), 1u);
  EXPECT_EQ(menus[0].object, 1);
  EXPECT_FALSE(OfCode(events, WM_NULL).empty()) << "a WM_NULL follows the menu";
}

TEST_F(TrayIconTest, AddToolTipAndTheTaskbarComingBack) {
  const HWND window = OpenWindow(0);
  HICON icon = LoadProgramTrayIcon();
  ASSERT_NE(icon, nullptr) << "the test program carries the program's icon";
  ICONINFO info{};
  ASSERT_TRUE(GetIconInfo(icon, &info));
  BITMAP colour{};
  GetObjectW(info.hbmColor, sizeof(colour), &colour);
  EXPECT_EQ(colour.bmWidth, GetSystemMetrics(SM_CXSMICON)) << "the small icon, not the 32 x 32 one";
  DeleteObject(info.hbmColor);
  DeleteObject(info.hbmMask);
  ASSERT_EQ(AddTrayIcon(1, window, icon), 1);

  NOTIFYICONDATAW probe{};
  probe.cbSize = sizeof(probe);
  probe.hWnd = window;
  probe.uID = 1;
  probe.uFlags = NIF_TIP;
  auto icon_present = [&] { return Shell_NotifyIconW(NIM_MODIFY, &probe) != FALSE; };
  EXPECT_TRUE(icon_present());

  const std::string seventy(70, 'x');
  SetTrayToolTip(1, seventy);
  EXPECT_EQ(GetTrayToolTip(1), std::string(63, 'x'));
  SetTrayToolTip(1,
                 "21.5 \xB0"
                 "C");
  EXPECT_EQ(GetTrayToolTip(1),
            "21.5 \xB0"
            "C");
  SetTrayToolTip(2, "no such icon");
  EXPECT_EQ(GetTrayToolTip(2), "");

  // Explorer restarted: the icon is gone from the new taskbar until it is added again.
  NOTIFYICONDATAW gone = probe;
  gone.uFlags = 0;
  ASSERT_TRUE(Shell_NotifyIconW(NIM_DELETE, &gone));
  EXPECT_FALSE(icon_present());
  SendMessageW(window, RegisterWindowMessageW(L"TaskbarCreated"), 0, 0);
  EXPECT_TRUE(icon_present());
  EXPECT_EQ(GetTrayToolTip(1),
            "21.5 \xB0"
            "C");

  ShutdownWindowLayer();
  EXPECT_FALSE(Shell_NotifyIconW(NIM_MODIFY, &probe)) << "no icon is left behind";
}

// At log-on the shell refuses icons until the taskbar is up. Here a stand-in for the shell refuses
// the first two adds: the icon is offered again at once when the taskbar announces itself, then
// after 2 s, with the tooltip set meanwhile, and no more once the shell has taken it.
TEST_F(TrayIconTest, RefusedIconIsOfferedAgainUntilTheShellTakesIt) {
  const HWND window = OpenWindow(0);
  std::vector<ULONGLONG> adds;
  std::wstring added_tip;
  SetNotifyIconCall([&](DWORD message, NOTIFYICONDATAW* data) -> BOOL {
    if (message == NIM_ADD) {
      adds.push_back(GetTickCount64());
      if (adds.size() <= 2) return FALSE;
      added_tip = (data->uFlags & NIF_TIP) ? data->szTip : L"";
    }
    return Shell_NotifyIconW(message, data);
  });
  struct RestoreShell {
    ~RestoreShell() { SetNotifyIconCall({}); }
  } restore;

  EXPECT_EQ(AddTrayIcon(1, window, LoadProgramTrayIcon()), 0);
  SetTrayToolTip(1,
                 "21.5 \xB0"
                 "C");
  SendMessageW(window, RegisterWindowMessageW(L"TaskbarCreated"), 0, 0);
  EXPECT_EQ(adds.size(), 2u) << "offered again as soon as the taskbar is there";
  EXPECT_TRUE(PumpUntil([&] { return adds.size() == 3; }, 6000));
  PumpFor(2500);
  ASSERT_EQ(adds.size(), 3u) << "not offered again once the shell has it";
  EXPECT_GE(adds[2] - adds[1], 1800u);
  EXPECT_EQ(added_tip, L"21.5 \u00B0C");
  NOTIFYICONDATAW probe{};
  probe.cbSize = sizeof(probe);
  probe.hWnd = window;
  probe.uID = 1;
  EXPECT_TRUE(Shell_NotifyIconW(NIM_MODIFY, &probe));
}

TEST_F(TrayIconTest, AddingUnderAUsedNumberReplacesTheIcon) {
  const HWND window = OpenWindow(0);
  ASSERT_EQ(AddTrayIcon(1, window, LoadProgramTrayIcon()), 1);
  ASSERT_EQ(AddTrayIcon(1, window, LoadProgramTrayIcon()), 1) << "the old icon was removed first";
  EXPECT_EQ(AddTrayIcon(2, nullptr, LoadProgramTrayIcon()), 0);
}

std::atomic<int> g_box_ticks{0};
std::atomic<bool> g_other_disabled_while_open{false};
std::atomic<HWND> g_box_owner{nullptr};
HWND g_other_window = nullptr;

void CALLBACK WatchBox(HWND, UINT, UINT_PTR, DWORD) {
  ++g_box_ticks;
  if (HWND box = FindWindowW(L"#32770", nullptr)) {
    g_box_owner = GetWindow(box, GW_OWNER);
    if (!IsWindowEnabled(g_other_window)) g_other_disabled_while_open = true;
  }
}

TEST_F(MessageBoxTest, TimersRunWhileOpenOtherWindowsAreDisabledAndATestCanAnswerIt) {
  const HWND main = OpenWindow(0);
  g_other_window = OpenWindow(1);
  SetForegroundWindow(main);
  g_box_ticks = 0;
  g_other_disabled_while_open = false;
  g_box_owner = nullptr;
  SetTimer(main, 1, 20, WatchBox);
  const int shown_before = MessageBoxesShown();
  // Made before the worker starts: a worker's text for a widget that does not exist (yet) does
  // nothing.
  ASSERT_NE(NewStringField(9, 10, 10, 100, 20, "OFF"), kNoObject);

  std::atomic<bool> answered{false};
  std::atomic<bool> worker_done{false};
  std::thread user([&] {
    // A worker's text change is served while the box is open.
    SetText(9, "21.5");
    worker_done = true;
    const ULONGLONG deadline = GetTickCount64() + 10000;
    while (g_box_ticks < 3 && GetTickCount64() < deadline) Sleep(5);
    answered = AnswerMessageBox(IDOK, 10000);
  });
  const int button = ShowMessageBox("USB Quelarotix", "USB \xEE\xF2\xEA\xEB\xFE\xF7\xE5\xED", 0x10);
  user.join();
  KillTimer(main, 1);

  EXPECT_TRUE(answered);
  EXPECT_EQ(button, IDOK);
  EXPECT_GE(g_box_ticks.load(), 3);
  EXPECT_TRUE(worker_done);
  EXPECT_EQ(GetText(9), "21.5");
  EXPECT_EQ(MessageBoxesShown(), shown_before + 1);
  EXPECT_EQ(LastMessageBoxTitle(), "USB Quelarotix");
  EXPECT_EQ(LastMessageBoxText(), "USB \xEE\xF2\xEA\xEB\xFE\xF7\xE5\xED");
  EXPECT_FALSE(IsMessageBoxOpen());
  EXPECT_TRUE(g_other_disabled_while_open);
  EXPECT_EQ(g_box_owner.load(), main) << "the foreground window of this process owns the box";
  EXPECT_TRUE(IsWindowEnabled(g_other_window));
  EXPECT_TRUE(IsWindowEnabled(main));
}

TEST_F(MessageBoxTest, AnsweringWithoutABoxTimesOut) {
  EXPECT_FALSE(AnswerMessageBox(IDOK, 50));
}

TEST_F(ProcessTest, StartThreadRunsTheProcedureWithItsParameter) {
  std::atomic<int> seen{0};
  HANDLE done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  const int id = StartThread(
      [&](int parameter) {
        seen = parameter;
        SetEvent(done);
      },
      42);
  EXPECT_NE(id, 0);
  EXPECT_NE(id, static_cast<int>(GetCurrentThreadId()));
  ASSERT_EQ(WaitForSingleObject(done, 10000), WAIT_OBJECT_0);
  EXPECT_EQ(seen.load(), 42);
  CloseHandle(done);
  EXPECT_EQ(StartThread(nullptr, 0), 0);
}

TEST_F(ProcessTest, ProgramFilePathNamesThisProgram) {
  const std::string path = ProgramFilePath();
  ASSERT_GT(path.size(), 20u);
  std::string lower = path;
  for (char& c : lower) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
  EXPECT_EQ(lower.substr(lower.size() - 20), "win32_layer_test.exe");
  EXPECT_EQ(GetFileAttributesA(path.c_str()) & FILE_ATTRIBUTE_DIRECTORY, 0u);
}

TEST_F(ProcessTest, ShutdownReleasesInOrderAndLeavesThreadsRunning) {
  const HWND window = OpenWindow(0);
  ASSERT_EQ(NewFont(1, "Arial", 18, kFontBold), 1);
  const auto font = reinterpret_cast<HGDIOBJ>(FontHandle(1));
  ASSERT_EQ(AddTrayIcon(1, window, LoadProgramTrayIcon()), 1);
  ASSERT_NE(NewStringField(9, 0, 0, 50, 20, "OFF"), kNoObject);
  ASSERT_TRUE(CreatePreferenceFile("Shutdown.ini"));
  SelectGroup("Names");  // a group not yet in the file: false, and written with the first key
  ASSERT_TRUE(WriteText("Name1", "Lamp"));

  HANDLE release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  std::atomic<bool> finished{false};
  ASSERT_NE(StartThread(
                [&](int) {
                  WaitForSingleObject(release, 10000);
                  finished = true;
                },
                0),
            0);
  ShutdownWindowLayer();
  EXPECT_FALSE(IsWindow(window));
  EXPECT_EQ(GetObjectType(font), 0u);
  NOTIFYICONDATAW probe{};
  probe.cbSize = sizeof(probe);
  probe.hWnd = window;
  probe.uID = 1;
  EXPECT_FALSE(Shell_NotifyIconW(NIM_DELETE, &probe));
  std::ifstream file("Shutdown.ini");
  std::stringstream content;
  content << file.rdbuf();
  EXPECT_NE(content.str().find("Lamp"), std::string::npos) << "the open preference file was closed and written";
  // The thread was not stopped: it finishes its work after the shutdown.
  EXPECT_FALSE(finished);
  SetEvent(release);
  const ULONGLONG deadline = GetTickCount64() + 10000;
  while (!finished && GetTickCount64() < deadline) Sleep(5);
  EXPECT_TRUE(finished);
  CloseHandle(release);
  std::remove("Shutdown.ini");
}

}  // namespace
}  // namespace qx::test
