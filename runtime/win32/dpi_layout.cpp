// Layout at the display's DPI. The program gives every position and size in pixels at 96 DPI;
// the layer scales each number with MulDiv(value, dpi, 96) for the DPI of the window it is in,
// keeps the 96-DPI numbers, and lays the window out again when the platform moves it to a
// monitor of another DPI. At 96 DPI every number is used as given.
//
// The per-monitor calls exist only on newer Windows versions, so they are looked up at run time;
// without them a window is drawn at the system DPI, which is then the only DPI there is.

#include <windows.h>

#include <algorithm>
#include <vector>

#include "runtime/win32/layer_state.h"

namespace qx {

namespace {

using GetDpiForWindowProc = UINT(WINAPI*)(HWND);
using AdjustWindowRectExForDpiProc = BOOL(WINAPI*)(RECT*, DWORD, BOOL, DWORD, UINT);

template <typename Proc>
Proc User32Proc(const char* name) {
  const HMODULE user32 = GetModuleHandleW(L"user32.dll");
  return user32 ? reinterpret_cast<Proc>(reinterpret_cast<void*>(GetProcAddress(user32, name))) : nullptr;
}

}  // namespace

int ScaleToDpi(int value, int dpi) {
  return dpi == 96 ? value : MulDiv(value, dpi, 96);
}

int SystemDpi() {
  if (LayerState* s = Layer()) return s->system_dpi;
  const HDC screen = GetDC(nullptr);
  const int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 96;
  if (screen) ReleaseDC(nullptr, screen);
  return dpi > 0 ? dpi : 96;
}

int NativeWindowDpi(HWND hwnd) {
  static const auto get_dpi = User32Proc<GetDpiForWindowProc>("GetDpiForWindow");
  const int dpi = get_dpi && hwnd ? static_cast<int>(get_dpi(hwnd)) : 0;
  return dpi > 0 ? dpi : SystemDpi();
}

int DpiOfWindow(HWND hwnd) {
  if (const WindowRecord* window = FindWindowRecord(hwnd)) return window->dpi;
  return NativeWindowDpi(hwnd);
}

RECT OuterRectForDpi(int width, int height, DWORD style, DWORD ex_style, int dpi) {
  static const auto adjust = User32Proc<AdjustWindowRectExForDpiProc>("AdjustWindowRectExForDpi");
  RECT outer{0, 0, width, height};
  if (dpi == SystemDpi() || !adjust || !adjust(&outer, style, FALSE, ex_style, static_cast<UINT>(dpi)))
    AdjustWindowRectEx(&outer, style, FALSE, ex_style);
  return outer;
}

void RelayoutWindow(WindowRecord& window, int dpi, const RECT* suggested) {
  LayerState* s = Layer();
  if (!s || dpi <= 0) return;
  const HWND hwnd = window.hwnd.get();
  window.dpi = dpi;
  // The client area keeps its 96-DPI size scaled exactly; the platform's suggestion gives only
  // the place. (A minimised window keeps the size it will be restored to.)
  if (!IsIconic(hwnd)) {
    const auto style = static_cast<DWORD>(GetWindowLongPtrW(hwnd, GWL_STYLE));
    const auto ex_style = static_cast<DWORD>(GetWindowLongPtrW(hwnd, GWL_EXSTYLE));
    // The frame is drawn at the DPI the platform gives the window, which is the new one when the
    // platform itself moved it.
    const RECT outer = OuterRectForDpi(ScaleToDpi(window.client.width, dpi), ScaleToDpi(window.client.height, dpi),
                                       style, ex_style, NativeWindowDpi(hwnd));
    RECT now{};
    GetWindowRect(hwnd, &now);
    const RECT& place = suggested ? *suggested : now;
    SetWindowPos(hwnd, nullptr, place.left, place.top, outer.right - outer.left, outer.bottom - outer.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
  }
  // In creation order, so a Panel has its new size and tab strip before its pages' widgets are
  // placed.
  std::vector<WidgetRecord*> widgets;
  for (int ref : s->widgets.References()) {
    WidgetRecord* w = s->widgets.Find(ref);
    if (w && w->window == window.ref) widgets.push_back(w);
  }
  std::sort(widgets.begin(), widgets.end(), [](auto* a, auto* b) { return a->sequence < b->sequence; });
  for (WidgetRecord* w : widgets) PlaceWidget(*w, dpi);
  RescaleStatusBars(hwnd, dpi);
  InvalidateRect(hwnd, nullptr, TRUE);
}

}  // namespace qx
