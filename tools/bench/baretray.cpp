// The yardstick of the benchmark: the least a tray program of this kind can cost. A hidden
// window, one tray icon, and the three window timers of Quellarotix (400, 1000 and 500 ms), whose
// callbacks do nothing. Built by the same compiler with the same options as the program. A close
// request (taskkill, or WM_CLOSE from the benchmark's probe) ends it.

#include <windows.h>

#include <shellapi.h>

namespace {

constexpr UINT kTrayMessage = WM_APP + 1;

void CALLBACK DoNothing(HWND, UINT, UINT_PTR, DWORD) {}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_CLOSE) {
    DestroyWindow(window);
    return 0;
  }
  if (message == WM_DESTROY) {
    PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcW(window, message, wparam, lparam);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  WNDCLASSW type{};
  type.lpfnWndProc = WindowProc;
  type.hInstance = instance;
  type.lpszClassName = L"BareTrayWindow";
  if (!RegisterClassW(&type)) return 1;
  const HWND window = CreateWindowExW(0, type.lpszClassName, L"Bare tray", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                                      CW_USEDEFAULT, 320, 200, nullptr, nullptr, instance, nullptr);
  if (!window) return 1;
  SetTimer(window, 1, 400, DoNothing);
  SetTimer(window, 2, 1000, DoNothing);
  SetTimer(window, 3, 500, DoNothing);

  NOTIFYICONDATAW icon{};
  icon.cbSize = sizeof icon;
  icon.hWnd = window;
  icon.uID = 1;
  icon.uFlags = NIF_MESSAGE | NIF_ICON;
  icon.uCallbackMessage = kTrayMessage;
  icon.hIcon = LoadIconW(nullptr, reinterpret_cast<LPCWSTR>(IDI_APPLICATION));
  Shell_NotifyIconW(NIM_ADD, &icon);

  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  Shell_NotifyIconW(NIM_DELETE, &icon);
  return 0;
}
