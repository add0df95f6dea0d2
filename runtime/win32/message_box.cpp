// The modal message box, and the probe through which tests of the program see and answer it.
//
// MessageBoxW runs its own modal loop, which dispatches every message of the thread: window-timer
// callbacks keep running and worker text requests are served while the box is open. The probe
// keeps the box's window handle (caught with a thread-local CBT hook as the box is activated) so
// another thread can read and answer it without searching every window of the desktop. The probe
// stays off until a test first calls one of its functions; the shipped program never does, so its
// boxes cost no hook and no bookkeeping.

#include <windows.h>

#include <atomic>
#include <mutex>
#include <vector>

#include "runtime/platform/lock.h"
#include "runtime/platform/text_encoding.h"
#include "runtime/win32/layer_state.h"
#include "runtime/win32/message_box_probe.h"
#include "runtime/win32/shell_services.h"

namespace qx {

namespace {

std::atomic<bool> g_probe_on{false};
Lock g_probe_lock;
std::atomic<int> g_shown{0};
// One entry per open box, innermost last (a timer may open a box while another is open); null
// until the box's window exists. Guarded by g_probe_lock.
std::vector<HWND> g_open_boxes;
std::string g_last_title;  // guarded by g_probe_lock
std::string g_last_text;   // guarded by g_probe_lock

LRESULT CALLBACK CatchBox(int code, WPARAM wparam, LPARAM lparam) {
  if (code == HCBT_ACTIVATE) {
    const HWND hwnd = reinterpret_cast<HWND>(wparam);
    wchar_t cls[16] = {};
    GetClassNameW(hwnd, cls, 16);
    if (lstrcmpW(cls, L"#32770") == 0) {
      std::lock_guard lock(g_probe_lock);
      if (!g_open_boxes.empty() && !g_open_boxes.back()) g_open_boxes.back() = hwnd;
    }
  }
  return CallNextHookEx(nullptr, code, wparam, lparam);  // the system ignores the hook's handle here
}

struct DisabledWindows {
  DWORD thread;
  HWND foreground;
  std::vector<HWND> windows;
};

BOOL CALLBACK DisableOne(HWND hwnd, LPARAM context) {
  auto* disabled = reinterpret_cast<DisabledWindows*>(context);
  if (GetWindowThreadProcessId(hwnd, nullptr) != disabled->thread) return TRUE;
  if (hwnd == disabled->foreground || !IsWindowVisible(hwnd) || !IsWindowEnabled(hwnd)) return TRUE;
  EnableWindow(hwnd, FALSE);
  disabled->windows.push_back(hwnd);
  return TRUE;
}

int ShowBox(const std::string& title, const std::wstring& text, int options) {
  WakeQuietWidgets();  // the box's loop handles this thread's messages
  // Every other window of this thread stays disabled while the box is open, so the user answers
  // the box before anything else; the foreground window is the box's owner, which the box itself
  // disables, when it belongs to this process.
  const HWND foreground = GetForegroundWindow();
  DWORD process = 0;
  if (foreground) GetWindowThreadProcessId(foreground, &process);
  const HWND owner = process == GetCurrentProcessId() ? foreground : nullptr;
  DisabledWindows disabled{GetCurrentThreadId(), foreground, {}};
  EnumWindows(DisableOne, reinterpret_cast<LPARAM>(&disabled));

  const bool probed = g_probe_on.load();
  HHOOK hook = nullptr;
  if (probed) {
    {
      std::lock_guard lock(g_probe_lock);
      g_last_title = title;
      g_last_text = NarrowText(text);
      g_open_boxes.push_back(nullptr);
    }
    g_shown.fetch_add(1);
    hook = SetWindowsHookExW(WH_CBT, CatchBox, nullptr, GetCurrentThreadId());
  }
  const int button = MessageBoxW(owner, text.c_str(), WidenText(title).c_str(), static_cast<UINT>(options));
  if (probed) {
    if (hook) UnhookWindowsHookEx(hook);
    std::lock_guard lock(g_probe_lock);
    g_open_boxes.pop_back();
  }

  for (HWND hwnd : disabled.windows) {
    if (IsWindow(hwnd)) EnableWindow(hwnd, TRUE);
  }
  return button;
}

}  // namespace

int ShowMessageBox(const std::string& title, const std::string& text, int options) {
  return ShowBox(title, WidenText(text), options);
}

int ShowFileMessageBox(const std::string& title, const std::string& text, const std::string& name, int options) {
  const std::wstring wide = WidenText(name);
  std::wstring path(GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr), L'\0');
  const DWORD length =
      path.empty() ? 0 : GetFullPathNameW(wide.c_str(), static_cast<DWORD>(path.size()), path.data(), nullptr);
  path.resize(length < path.size() ? length : 0);
  return ShowBox(title, WidenText(text) + L"\n" + (path.empty() ? wide : path), options);
}

int MessageBoxesShown() {
  g_probe_on = true;
  return g_shown.load();
}

bool IsMessageBoxOpen() {
  g_probe_on = true;
  std::lock_guard lock(g_probe_lock);
  return !g_open_boxes.empty();
}

std::string LastMessageBoxTitle() {
  g_probe_on = true;
  std::lock_guard lock(g_probe_lock);
  return g_last_title;
}

std::string LastMessageBoxText() {
  g_probe_on = true;
  std::lock_guard lock(g_probe_lock);
  return g_last_text;
}

bool AnswerMessageBox(int button, int timeoutMs) {
  g_probe_on = true;
  const ULONGLONG deadline = GetTickCount64() + static_cast<ULONGLONG>(timeoutMs < 0 ? 0 : timeoutMs);
  for (;;) {
    HWND box = nullptr;
    {
      std::lock_guard lock(g_probe_lock);
      if (!g_open_boxes.empty()) box = g_open_boxes.back();
    }
    if (box && IsWindow(box)) {
      // Posted, as the button would post it: the answering thread never waits on the box's thread.
      PostMessageW(box, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), 0);
      while (GetTickCount64() < deadline) {
        if (!IsWindow(box)) return true;
        Sleep(5);
      }
      return !IsWindow(box);
    }
    if (GetTickCount64() >= deadline) return false;
    Sleep(5);
  }
}

}  // namespace qx
