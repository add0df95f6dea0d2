// One instance per session. The claim is a named mutex in the session's Local\ namespace, held
// until the process ends (the system releases it then, however the process ends). The request to
// the first instance is a registered message posted to its main window, found by the layer's
// window class and the window's title.

#include <windows.h>

#include "runtime/win32/layer_state.h"
#include "runtime/win32/shell_services.h"
#include "runtime/platform/text_encoding.h"
#include "runtime/win32/unique_handles.h"

namespace qx {

namespace {

HWND FindOtherInstanceWindow(const std::wstring& title) {
  HWND window = nullptr;
  while ((window = FindWindowExW(nullptr, window, kLayerWindowClass, title.c_str())) != nullptr) {
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process != GetCurrentProcessId()) return window;
  }
  return nullptr;
}

}  // namespace

bool ClaimSessionInstance(const std::string& name) {
  static UniqueHandle claim;
  if (claim) return true;
  const std::wstring full = L"Local\\" + WidenText(name);
  UniqueHandle mutex(CreateMutexW(nullptr, FALSE, full.c_str()));
  // Without a mutex at all there is nothing to go by; running beats refusing to run.
  if (!mutex) return true;
  if (GetLastError() == ERROR_ALREADY_EXISTS) return false;
  claim = std::move(mutex);
  return true;
}

bool PostToOtherInstance(const std::string& message, const std::string& title, int timeout_ms) {
  const UINT code = static_cast<UINT>(RegisteredMessageEvent(message));
  if (code == 0) return false;
  const std::wstring wide_title = WidenText(title);
  const ULONGLONG deadline = GetTickCount64() + static_cast<ULONGLONG>(timeout_ms < 0 ? 0 : timeout_ms);
  for (;;) {
    if (HWND window = FindOtherInstanceWindow(wide_title)) {
      DWORD process = 0;
      GetWindowThreadProcessId(window, &process);
      // This process was just started by the user and may take the foreground; it hands that on.
      AllowSetForegroundWindow(process);
      return PostMessageW(window, code, 0, 0) != FALSE;
    }
    if (GetTickCount64() >= deadline) return false;
    Sleep(50);
  }
}

int RegisteredMessageEvent(const std::string& message) {
  return static_cast<int>(RegisterWindowMessageW(WidenText(message).c_str()));
}

}  // namespace qx
