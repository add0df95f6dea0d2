// Windows and the event model. See window_layer.h for the model; the notes here are about how the
// platform's messages become the program's events.
//
// All layer windows share one window procedure. A message dispatched to it either queues a window
// event (close request, move, size, activation, background erase) on the pending queue, or sets
// the working event (widget, menu, tray, timer), which WaitForEvent returns once that dispatch is
// over. Panel pages are windows of their own; what the widgets on them report is handled as if the
// top-level window had received it.
//
// The working event is cleared before every dispatch, so an event can only come from the message
// WaitForEvent itself dispatched; changes the program makes between waits (a SetText that makes an
// edit box report a change) and worker requests run inside GetMessage raise nothing stray.

#include "runtime/win32/window_layer.h"

#include <windows.h>

#include <commctrl.h>
#include <dbt.h>

#include <algorithm>
#include <memory>

#include "runtime/platform/text_encoding.h"
#include "runtime/win32/layer_messages.h"
#include "runtime/win32/layer_state.h"
#include "runtime/win32/shell_services.h"

namespace qx {

namespace {

constexpr wchar_t kContainerClass[] = L"QuellarotixPage";
constexpr wchar_t kDispatcherClass[] = L"QuellarotixDispatcher";
// WM_GETDPISCALEDSIZE, which the headers for the oldest supported Windows do not name.
constexpr UINT kGetDpiScaledSize = 0x02E4;

std::unique_ptr<LayerState> g_state;

// Windows left open when the process ends normally are released in order, not by the
// destruction of static objects in whatever order it happens. The guard is made on the layer's
// first use, after every static object it relies on, so it is destroyed before them.
struct ExitGuard {
  ~ExitGuard() { ResetLayerState(); }
};

LRESULT CALLBACK LayerWindowProc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam);
// Told on the user-interface thread only (the system sends device changes to the window).
std::uint64_t g_device_changes = 0;
LRESULT CALLBACK ContainerProc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam);
LRESULT CALLBACK DispatcherProc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam);

bool RegisterLayerClasses(HINSTANCE instance) {
  WNDCLASSEXW window{};
  window.cbSize = sizeof(window);
  window.style = CS_DBLCLKS;
  window.lpfnWndProc = LayerWindowProc;
  window.hInstance = instance;
  window.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(1));
  if (!window.hIcon) window.hIcon = LoadIconW(nullptr, reinterpret_cast<LPCWSTR>(IDI_APPLICATION));
  window.hIconSm = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(1), IMAGE_ICON,
                                                 GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0));
  window.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  window.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  window.lpszClassName = kLayerWindowClass;

  WNDCLASSEXW page{};
  page.cbSize = sizeof(page);
  page.lpfnWndProc = ContainerProc;
  page.hInstance = instance;
  page.hCursor = window.hCursor;
  page.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  page.lpszClassName = kContainerClass;

  WNDCLASSEXW dispatcher{};
  dispatcher.cbSize = sizeof(dispatcher);
  dispatcher.lpfnWndProc = DispatcherProc;
  dispatcher.hInstance = instance;
  dispatcher.lpszClassName = kDispatcherClass;

  for (const WNDCLASSEXW* cls : {&window, &page, &dispatcher}) {
    if (!RegisterClassExW(cls) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return false;
  }
  return true;
}

bool TakesFocus(HWND control) {
  if (!control || !IsWindowVisible(control)) return false;
  if (!(GetWindowLongPtrW(control, GWL_STYLE) & WS_TABSTOP)) return false;
  // A hidden or disabled Panel page disables everything on it.
  for (HWND h = control; h; h = GetParent(h)) {
    if (!IsWindowEnabled(h)) return false;
    if (!(GetWindowLongPtrW(h, GWL_STYLE) & WS_CHILD)) break;
  }
  return true;
}

// Tab and Shift+Tab: the next (previous) widget of the window that can take the focus, in
// creation order, wrapping around.
void MoveFocus(const WindowRecord& window, int direction) {
  LayerState* s = Layer();
  std::vector<WidgetRecord*> order;
  for (int ref : s->widgets.References()) {
    WidgetRecord* w = s->widgets.Find(ref);
    if (w && w->window == window.ref && TakesFocus(w->control.get())) order.push_back(w);
  }
  if (order.empty()) return;
  std::sort(order.begin(), order.end(), [](auto* a, auto* b) { return a->sequence < b->sequence; });
  const HWND focus = GetFocus();
  int current = -1;
  for (size_t i = 0; i < order.size(); ++i) {
    const HWND c = order[i]->control.get();
    if (focus && (focus == c || IsChild(c, focus))) current = static_cast<int>(i);
  }
  const int count = static_cast<int>(order.size());
  int next;
  if (current < 0) {
    next = direction > 0 ? 0 : count - 1;
  } else {
    next = ((current + direction) % count + count) % count;
  }
  const HWND target = order[static_cast<size_t>(next)]->control.get();
  SetFocus(target);
  wchar_t cls[16] = {};
  GetClassNameW(target, cls, 16);
  if (lstrcmpiW(cls, L"Edit") == 0) SendMessageW(target, EM_SETSEL, 0, -1);
}

LRESULT CALLBACK LayerWindowProc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
  LayerState* s = Layer();
  WindowRecord* window = s ? FindWindowRecord(hwnd) : nullptr;
  if (!window) return DefWindowProcW(hwnd, msg, wparam, lparam);
  const int ref = window->ref;
  if (msg == s->taskbar_created && msg != 0) {
    ReAddTrayIcons(hwnd);
    return 0;
  }
  LRESULT result = 0;
  if (HandleWidgetMessage(hwnd, msg, wparam, lparam, result)) return result;

  switch (msg) {
    case WM_CLOSE:
      QueueWindowEvent(CloseEvent, ref);
      return 0;
    case WM_MOVE:
      QueueWindowEvent(WindowMovedEvent, ref);
      break;
    case WM_SIZE:
      if (wparam == SIZE_MINIMIZED) {
        window->minimized_or_maximized = true;
        QueueWindowEvent(MinimizeEvent, ref);
      } else if (wparam == SIZE_MAXIMIZED) {
        window->minimized_or_maximized = true;
        QueueWindowEvent(WindowMaximizedEvent, ref);
        QueueWindowEvent(WindowSizedEvent, ref);
      } else if (wparam == SIZE_RESTORED) {
        if (window->minimized_or_maximized) {
          window->minimized_or_maximized = false;
          QueueWindowEvent(WindowRestoredEvent, ref);
        }
        QueueWindowEvent(WindowSizedEvent, ref);
      } else {
        QueueWindowEvent(WindowSizedEvent, ref);
      }
      // A window the user may size keeps the size it was dragged to, in 96-DPI pixels like the
      // rest of its layout, so that a move to another DPI keeps it too.
      if (wparam != SIZE_MINIMIZED && (GetWindowLongPtrW(hwnd, GWL_STYLE) & WS_THICKFRAME)) {
        window->client.width = MulDiv(LOWORD(lparam), 96, window->dpi);
        window->client.height = MulDiv(HIWORD(lparam), 96, window->dpi);
      }
      RelayoutStatusBars(hwnd);
      break;
    case WM_DPICHANGED:
      // Moved to a monitor of another DPI (or its DPI was changed): everything is laid out again
      // for it, with fonts made for it.
      RelayoutWindow(*window, HIWORD(wparam), reinterpret_cast<const RECT*>(lparam));
      return 0;
    case kGetDpiScaledSize: {
      // Asked before such a move: the outer size that gives the scaled client area exactly.
      const int dpi = static_cast<int>(wparam);
      const RECT outer = OuterRectForDpi(ScaleToDpi(window->client.width, dpi), ScaleToDpi(window->client.height, dpi),
                                         static_cast<DWORD>(GetWindowLongPtrW(hwnd, GWL_STYLE)),
                                         static_cast<DWORD>(GetWindowLongPtrW(hwnd, GWL_EXSTYLE)), dpi);
      auto* size = reinterpret_cast<SIZE*>(lparam);
      size->cx = outer.right - outer.left;
      size->cy = outer.bottom - outer.top;
      return TRUE;
    }
    case WM_DEVICECHANGE:
      if (wparam == DBT_DEVICEARRIVAL || wparam == DBT_DEVICEREMOVECOMPLETE || wparam == DBT_DEVNODES_CHANGED) {
        ++g_device_changes;
      }
      break;
    case WM_ACTIVATE:
      if (LOWORD(wparam) != WA_INACTIVE) QueueWindowEvent(WindowActivatedEvent, ref);
      break;
    case WM_ERASEBKGND:
      QueueWindowEvent(WindowRepaintedEvent, ref);
      break;
    case WM_COMMAND:
      if (lparam == 0) {
        const WORD id = LOWORD(wparam);
        if (HIWORD(wparam) == 1 && (id == kCommandNextWidget || id == kCommandPreviousWidget)) {
          MoveFocus(*window, id == kCommandNextWidget ? 1 : -1);
        } else {
          SetWorkingEvent(MenuEvent, id, -1, ref);
        }
        return 0;
      }
      break;
    case WM_TIMER:
      // Only timers without a callback get here; DispatchMessage calls a callback directly.
      SetWorkingEvent(TimerTickEvent, static_cast<int>(wparam), -1, ref);
      return 0;
    case kMsgWidgetEvent:
      SetWorkingEvent(GadgetEvent, static_cast<int>(wparam), static_cast<int>(lparam), ref);
      return 0;
    case kMsgTrayCallback:
      RepostTrayNotification(hwnd, wparam, lparam);
      return 0;
    case kMsgTrayPosted:
      HandleTrayNotification(wparam, lparam);
      return 0;
    case WM_NCDESTROY: {
      // Destroyed from outside the layer: forget the record (its widgets went with the window).
      std::unique_ptr<WindowRecord> gone = s->windows.Take(ref);
      if (gone) gone->hwnd.release();
      gone.reset();
      break;
    }
    default:
      break;
  }
  return DefWindowProcW(hwnd, msg, wparam, lparam);
}

LRESULT CALLBACK ContainerProc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
  LRESULT result = 0;
  if (Layer() && HandleWidgetMessage(hwnd, msg, wparam, lparam, result)) return result;
  return DefWindowProcW(hwnd, msg, wparam, lparam);
}

LRESULT CALLBACK DispatcherProc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
  if (msg == kMsgRunWorkerRequests) {
    RunWorkerRequests();
    return 0;
  }
  if (msg == kMsgProgramEvent) {
    SetWorkingEvent(static_cast<int>(wparam), static_cast<int>(lparam), -1, -1);
    return 0;
  }
  return DefWindowProcW(hwnd, msg, wparam, lparam);
}

WindowRecord* FindWindowByRef(int ref) {
  LayerState* s = Layer();
  return s ? s->windows.Find(ref) : nullptr;
}

bool TranslateWithAccelerators(MSG& msg) {
  // Only keys can be accelerators. Asking which window is active costs a call to the system's
  // window manager, which would otherwise come with every timer tick.
  if (msg.message != WM_KEYDOWN && msg.message != WM_SYSKEYDOWN && msg.message != WM_CHAR &&
      msg.message != WM_SYSCHAR) {
    return false;
  }
  const HWND active = GetActiveWindow();
  WindowRecord* window = active ? FindWindowRecord(active) : nullptr;
  return window && window->accelerators && TranslateAcceleratorW(active, window->accelerators.get(), &msg);
}

}  // namespace

void InterposeWindowProc(HWND window, WNDPROC procedure) {
  SetWindowLongPtrW(window, GWLP_USERDATA, GetWindowLongPtrW(window, GWLP_WNDPROC));
  SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(procedure));
}

LRESULT CallInterposedProc(HWND window, UINT msg, WPARAM wparam, LPARAM lparam) {
  const auto original = reinterpret_cast<WNDPROC>(GetWindowLongPtrW(window, GWLP_USERDATA));
  return original ? CallWindowProcW(original, window, msg, wparam, lparam)
                  : DefWindowProcW(window, msg, wparam, lparam);
}

LayerState* Layer() {
  if (!g_state || g_state->ui_thread != GetCurrentThreadId()) return nullptr;
  return g_state.get();
}

LayerState* EnsureLayer() {
  if (g_state) return Layer();
  static ExitGuard exit_guard;
  auto state = std::make_unique<LayerState>();
  state->ui_thread = GetCurrentThreadId();
  state->instance = GetModuleHandleW(nullptr);
  state->system_dpi = SystemDpi();
  INITCOMMONCONTROLSEX controls{sizeof(controls),
                                ICC_TAB_CLASSES | ICC_UPDOWN_CLASS | ICC_BAR_CLASSES | ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);
  if (!RegisterLayerClasses(state->instance)) return nullptr;
  state->taskbar_created = RegisterWindowMessageW(L"TaskbarCreated");
  state->dispatcher.reset(
      CreateWindowExW(0, kDispatcherClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, state->instance, nullptr));
  if (!state->dispatcher) return nullptr;
  g_state = std::move(state);
  AcceptWorkerRequests(g_state->ui_thread, g_state->dispatcher.get());
  return g_state.get();
}

bool WatchDeviceInterfaces(int number, const GUID& interface_class) {
  WindowRecord* window = FindWindowByRef(number);
  if (!window || !window->hwnd) return false;
  DEV_BROADCAST_DEVICEINTERFACE_W filter{};
  filter.dbcc_size = sizeof filter;
  filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
  filter.dbcc_classguid = interface_class;
  window->device_notification.reset(
      RegisterDeviceNotificationW(window->hwnd.get(), &filter, DEVICE_NOTIFY_WINDOW_HANDLE));
  return static_cast<bool>(window->device_notification);
}

std::uint64_t DeviceChangesSeen() {
  return g_device_changes;
}

bool InitWindowLayer() {
  return EnsureLayer() != nullptr;
}

void ResetLayerState() {
  if (!g_state || g_state->ui_thread != GetCurrentThreadId()) return;
  CancelWorkerRequests();
  LayerState* s = g_state.get();
  s->tray_icons.Clear();
  s->windows.Clear();
  s->widgets.Clear();  // widgets whose window was gone already
  s->status_bars.Clear();
  s->menus.Clear();
  s->fonts.Clear();
  s->dispatcher.reset();
  // Sent requests that were on their way are answered now that nothing is left to change.
  MSG msg;
  PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
  std::unique_ptr<LayerState> gone = std::move(g_state);
  gone.reset();
}

WindowRecord* FindWindowRecord(HWND hwnd) {
  LayerState* s = Layer();
  if (!s || !hwnd) return nullptr;
  for (int ref : s->windows.References()) {
    WindowRecord* w = s->windows.Find(ref);
    if (w && w->hwnd.get() == hwnd) return w;
  }
  return nullptr;
}

WindowRecord::~WindowRecord() {
  LayerState* s = Layer();
  if (!s) return;
  DestroyWidgetsOfWindow(ref);
  DestroyTrayIconsOf(hwnd.get());
  if (s->current_list_window == ref) s->current_list_window = kAnonymousNumber;
}

void SetWorkingEvent(int code, int object, int type, int window) {
  LayerState* s = Layer();
  if (!s || s->suppress_events > 0) return;
  s->working.code = code;
  s->working.object = object;
  s->working.type = type;
  s->working.window = window;
}

void QueueWindowEvent(int code, int window) {
  LayerState* s = Layer();
  if (!s) return;
  if (!s->pending.empty() && s->pending.back() == std::make_pair(code, window)) return;
  s->pending.emplace_back(code, window);
}

int NewWindow(int number, int x, int y, int width, int height, const std::string& title, int options) {
  LayerState* s = EnsureLayer();
  if (!s || number < kAnonymousNumber) return kNoObject;
  if (number >= 0) s->windows.Erase(number);

  constexpr DWORD kLayerBits = kWindowCentred | kWindowCentredOnActive | kWindowNoWidgetList | kWindowHidden;
  const DWORD opts = static_cast<DWORD>(options);
  DWORD style = opts & ~kLayerBits & ~static_cast<DWORD>(WS_CHILD | WS_POPUP);
  if ((opts & ~kLayerBits) == 0) style |= WS_CAPTION;
  // The window's place and outer size for a DPI. The window is made for the system DPI; only once
  // it exists does the platform tell the DPI of the monitor it is on.
  struct Frame {
    int x, y, width, height;
  };
  const HWND active = GetActiveWindow();
  auto frame = [&](int dpi) {
    const RECT outer = OuterRectForDpi(ScaleToDpi(width, dpi), ScaleToDpi(height, dpi), style, 0, dpi);
    Frame placed{x, y, outer.right - outer.left, outer.bottom - outer.top};
    if (opts & (kWindowCentred | kWindowCentredOnActive)) {
      RECT area{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
      if ((opts & kWindowCentredOnActive) && !(opts & kWindowCentred) && active) GetWindowRect(active, &area);
      const int area_width = area.right - area.left;
      const int area_height = area.bottom - area.top;
      if (opts & kWindowCentred) {
        placed.width = std::min(placed.width, area_width);
        placed.height = std::min(placed.height, area_height);
      }
      placed.x = area.left + (area_width - placed.width) / 2;
      placed.y = area.top + (area_height - placed.height) / 2;
    }
    return placed;
  };
  const Frame placed = frame(SystemDpi());
  const HWND hwnd = CreateWindowExW(0, kLayerWindowClass, WidenText(title).c_str(), style, placed.x, placed.y,
                                    placed.width, placed.height, nullptr, nullptr, s->instance, nullptr);
  if (!hwnd) return kNoObject;

  auto record = std::make_unique<WindowRecord>();
  record->hwnd.reset(hwnd);
  record->client = {0, 0, width, height};
  record->dpi = NativeWindowDpi(hwnd);
  if (record->dpi != SystemDpi()) {
    const Frame again = frame(record->dpi);
    SetWindowPos(hwnd, nullptr, again.x, again.y, again.width, again.height, SWP_NOZORDER | SWP_NOACTIVATE);
  }
  ACCEL keys[2] = {{FVIRTKEY, VK_TAB, kCommandNextWidget}, {FVIRTKEY | FSHIFT, VK_TAB, kCommandPreviousWidget}};
  record->accelerators.reset(CreateAcceleratorTableW(keys, 2));
  const int ref = number == kAnonymousNumber ? s->windows.NextAnonymousRef() : number;
  record->ref = ref;
  if (!(opts & kWindowNoWidgetList)) {
    record->has_widget_list = true;
    record->list.container = hwnd;
    s->current_list_window = ref;
  }
  s->windows.Store(number, std::move(record));
  if (!(opts & kWindowHidden)) ShowWindow(hwnd, SW_SHOWNORMAL);
  return ref;
}

void SetTopmost(int window, int on) {
  WindowRecord* w = FindWindowByRef(window);
  if (!w) return;
  SetWindowPos(w->hwnd.get(), on ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void SetWindowHidden(int window, int hidden) {
  WindowRecord* w = FindWindowByRef(window);
  if (!w) return;
  if (!hidden) WakeQuietWidgets();
  const HWND hwnd = w->hwnd.get();
  if (hidden) {
    if (HWND owner = GetWindow(hwnd, GW_OWNER)) SetActiveWindow(owner);
    ShowWindow(hwnd, SW_HIDE);
  } else if (IsZoomed(hwnd)) {
    ShowWindow(hwnd, SW_SHOWMAXIMIZED);
  } else if (IsIconic(hwnd)) {
    ShowWindow(hwnd, SW_SHOWMINIMIZED);
  } else {
    ShowWindow(hwnd, SW_SHOWNORMAL);
  }
}

void ChangeWindowState(int window, int state) {
  WindowRecord* w = FindWindowByRef(window);
  if (!w) return;
  WakeQuietWidgets();
  switch (state) {
    case kWindowStateNormal:
      ShowWindow(w->hwnd.get(), SW_RESTORE);
      break;
    case kWindowStateMaximized:
      ShowWindow(w->hwnd.get(), SW_SHOWMAXIMIZED);
      break;
    case kWindowStateMinimized:
      ShowWindow(w->hwnd.get(), SW_MINIMIZE);
      break;
    default:
      break;
  }
}

void ActivateWindow(int window) {
  WindowRecord* w = FindWindowByRef(window);
  if (w) SetActiveWindow(w->hwnd.get());
}

void FreeWindow(int window) {
  LayerState* s = Layer();
  if (s && window != kAnonymousNumber) s->windows.Erase(window);
}

bool WindowClientSize(int window, int& width, int& height) {
  const WindowRecord* w = FindWindowByRef(window);
  if (!w) return false;
  width = w->client.width;
  height = w->client.height;
  return true;
}

void ResizeWindowClient(int window, int width, int height) {
  WindowRecord* w = FindWindowByRef(window);
  if (!w || width <= 0 || height <= 0) return;
  w->client.width = width;
  w->client.height = height;
  RelayoutWindow(*w, w->dpi, nullptr);
}

HWND__* NativeWindowHandle(int window) {
  WindowRecord* w = FindWindowByRef(window);
  return w ? w->hwnd.get() : nullptr;
}

int WaitForEvent() {
  WakeQuietWidgets();
  LayerState* s = Layer();
  if (s) {
    s->working.type = -1;
    if (!s->pending.empty()) {
      const auto [code, window] = s->pending.front();
      s->pending.erase(s->pending.begin());
      s->working.window = window;
      s->snapshot = s->working;
      s->snapshot.code = code;
      return code;
    }
  }
  MSG msg{};
  const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
  if (got == -1) return 0;
  s = Layer();
  if (s) s->working.code = 0;
  if (!TranslateWithAccelerators(msg)) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  // A timer callback run by this dispatch may have shut the layer down.
  s = Layer();
  int result = static_cast<int>(msg.message);
  if (!s) return result;
  if (s->working.code != 0) {
    result = s->working.code;
    s->working.code = 0;
  } else {
    s->working.wparam = msg.wParam;
    s->working.lparam = msg.lParam;
    // A message returned as it is belongs to the window it was for: a close request posted to
    // a window is that window's, not the one the last event came from.
    const WindowRecord* target = FindWindowRecord(msg.hwnd);
    s->working.window = target ? target->ref : -1;
  }
  s->snapshot = s->working;
  s->snapshot.code = result;
  return result;
}

int CurrentEventType() {
  LayerState* s = Layer();
  return s ? s->snapshot.type : -1;
}

int CurrentEventWidget() {
  LayerState* s = Layer();
  return s ? s->snapshot.object : 0;
}

int CurrentEventMenuItem() {
  return CurrentEventWidget();
}

int CurrentEventWindow() {
  LayerState* s = Layer();
  return s ? s->snapshot.window : -1;
}

HWND PageContainerCreate(HWND panel, int x, int y, int width, int height) {
  LayerState* s = Layer();
  if (!s) return nullptr;
  return CreateWindowExW(WS_EX_CONTROLPARENT, kContainerClass, L"", WS_CHILD | WS_CLIPSIBLINGS | WS_DISABLED, x, y,
                         width, height, panel, nullptr, s->instance, nullptr);
}

}  // namespace qx
