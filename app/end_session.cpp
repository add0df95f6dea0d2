// The window layer hands the loop only what GetMessage returns, and the session-end messages are
// sent, not posted, so they never reach the loop. Window 0 is therefore subclassed for them.

#include "app/end_session.h"

#include <windows.h>

#include <commctrl.h>

#include "app/shutdown.h"
#include "app/widget_ids.h"
#include "runtime/win32/window_layer.h"

namespace qx {
namespace {

constexpr UINT_PTR kSubclassId = 0x5158;  // any id unique to this subclass

LRESULT CALLBACK SessionWatch(HWND window, UINT message, WPARAM wparam, LPARAM lparam, UINT_PTR, DWORD_PTR data) {
  if (message == WM_QUERYENDSESSION) return TRUE;
  if (message == WM_ENDSESSION && wparam) {
    // The process is ended as soon as this message has been answered, so the whole shutdown
    // happens now, and the process ends here, as at the end of the loop.
    ExitProcess(static_cast<UINT>(ShutDownForSessionEnd(*reinterpret_cast<Program*>(data))));
  }
  return DefSubclassProc(window, message, wparam, lparam);
}

}  // namespace

bool WatchForSessionEnd(Program& program) {
  HWND window = NativeWindowHandle(kMainWindow);
  return window && SetWindowSubclass(window, SessionWatch, kSubclassId, reinterpret_cast<DWORD_PTR>(&program));
}

}  // namespace qx
