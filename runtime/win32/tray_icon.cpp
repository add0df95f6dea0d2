// Tray icons. The shell delivers mouse notifications as messages sent to the owner window, which
// GetMessage would never hand to the event loop; the window procedure therefore posts each one to
// itself once more, and the posted copy becomes the TrayEvent (presses only). When Explorer
// restarts it broadcasts "TaskbarCreated" and every icon has to be added again.
//
// A program started at log-on can come up before the taskbar does, and the shell then refuses
// the add. The icon is the only way into a program that starts hidden, so a refused icon keeps its
// record and is offered again every 2 s (a timer of the layer's dispatcher window) and at once
// when the taskbar announces itself, until the shell takes it.

#include <windows.h>

#include <shellapi.h>

#include <memory>

#include "runtime/text.h"
#include "runtime/win32/layer_messages.h"
#include "runtime/win32/layer_state.h"
#include "runtime/win32/shell_services.h"
#include "runtime/platform/text_encoding.h"
#include "runtime/win32/tray_icon_seam.h"

namespace qx {

namespace {

constexpr int kToolTipCharacters = 63;
constexpr UINT_PTR kRetryTimer = 1;  // on the dispatcher window, which has no other timer
constexpr UINT kRetryMs = 2000;

NotifyIconCall g_notify_icon;  // empty: the shell's own call

BOOL NotifyIcon(DWORD message, NOTIFYICONDATAW* data) {
  return g_notify_icon ? g_notify_icon(message, data) : Shell_NotifyIconW(message, data);
}

void CALLBACK RetryTrayIcons(HWND, UINT, UINT_PTR, DWORD);

void RetryLater() {
  LayerState* s = Layer();
  if (s && s->dispatcher) SetTimer(s->dispatcher.get(), kRetryTimer, kRetryMs, RetryTrayIcons);
}

NOTIFYICONDATAW IconData(const TrayIconRecord& record) {
  NOTIFYICONDATAW data{};
  data.cbSize = sizeof(data);
  data.hWnd = record.owner;
  data.uID = static_cast<UINT>(record.ref);
  return data;
}

bool AddToShell(TrayIconRecord& record) {
  NOTIFYICONDATAW data = IconData(record);
  data.uFlags = NIF_MESSAGE | NIF_ICON;
  data.uCallbackMessage = kMsgTrayCallback;
  data.hIcon = record.icon.get();
  if (!record.tooltip.empty()) {
    data.uFlags |= NIF_TIP;
    lstrcpynW(data.szTip, WidenText(record.tooltip).c_str(), ARRAYSIZE(data.szTip));
  }
  record.shown = NotifyIcon(NIM_ADD, &data) != FALSE;
  // The add carries the tooltip, so the shell has it exactly when it took the icon.
  record.tooltip_in_shell = record.shown;
  if (!record.shown) RetryLater();
  return record.shown;
}

void CALLBACK RetryTrayIcons(HWND, UINT, UINT_PTR, DWORD) {
  LayerState* s = Layer();
  if (!s) return;
  bool refused = false;
  for (int ref : s->tray_icons.References()) {
    TrayIconRecord* record = s->tray_icons.Find(ref);
    if (record && !record->shown && !AddToShell(*record)) refused = true;
  }
  if (!refused) KillTimer(s->dispatcher.get(), kRetryTimer);
}

// A bitmap handed in as the icon is turned into an icon of the same picture.
HICON IconFrom(HICON given) {
  if (!given || GetObjectType(given) != OBJ_BITMAP) return given;
  const HBITMAP bitmap = reinterpret_cast<HBITMAP>(given);
  BITMAP info{};
  GetObjectW(bitmap, sizeof(info), &info);
  const HBITMAP mask = CreateBitmap(info.bmWidth, info.bmHeight, 1, 1, nullptr);
  ICONINFO icon{TRUE, 0, 0, mask, bitmap};
  const HICON made = CreateIconIndirect(&icon);
  if (mask) DeleteObject(mask);
  DeleteObject(bitmap);
  return made;
}

TrayIconRecord* FindTrayIcon(int ref) {
  LayerState* s = Layer();
  return s ? s->tray_icons.Find(ref) : nullptr;
}

}  // namespace

TrayIconRecord::~TrayIconRecord() {
  ForgetToolTip(ref);
  if (!shown) return;
  NOTIFYICONDATAW data = IconData(*this);
  NotifyIcon(NIM_DELETE, &data);
}

int AddTrayIcon(int number, HWND__* window, HICON__* icon) {
  LayerState* s = EnsureLayer();
  if (!s || number < kAnonymousNumber || !window || !IsWindow(window)) {
    if (icon) DestroyIcon(icon);
    return 0;
  }
  if (number >= 0) s->tray_icons.Erase(number);
  auto record = std::make_unique<TrayIconRecord>();
  record->owner = window;
  record->icon.reset(IconFrom(icon));
  const int ref = number == kAnonymousNumber ? s->tray_icons.NextAnonymousRef() : number;
  record->ref = ref;
  const bool added = AddToShell(*record);
  s->tray_icons.Store(number, std::move(record));
  NoteToolTip(ref, true, {});
  return added ? 1 : 0;
}

void SetTrayToolTipOnUiThread(int number, const std::string& text) {
  TrayIconRecord* record = FindTrayIcon(number);
  if (!record) return;
  // The tooltip the shell shows already is not sent again: that would be a round trip to the shell
  // for nothing. One that the shell did not take is sent again the next time; an icon the shell
  // has not taken yet gets the tooltip when it is added.
  std::string tooltip = Substring(text, 1, kToolTipCharacters);
  if (tooltip != record->tooltip || !record->tooltip_in_shell) {
    record->tooltip = std::move(tooltip);
    NOTIFYICONDATAW data = IconData(*record);
    data.uFlags = NIF_TIP;
    lstrcpynW(data.szTip, WidenText(record->tooltip).c_str(), ARRAYSIZE(data.szTip));
    record->tooltip_in_shell = record->shown && NotifyIcon(NIM_MODIFY, &data) != FALSE;
  }
  NoteToolTip(number, record->tooltip_in_shell, text);
}

std::string GetTrayToolTip(int number) {
  TrayIconRecord* record = FindTrayIcon(number);
  return record ? record->tooltip : std::string();
}

bool ShowTrayWarning(int number, const std::string& title, const std::string& text) {
  TrayIconRecord* record = FindTrayIcon(number);
  if (!record || !record->shown) return false;
  NOTIFYICONDATAW data = IconData(*record);
  data.uFlags = NIF_INFO;
  // Never urgent: the shell holds it back during full-screen work, presentations and quiet hours.
  data.dwInfoFlags = NIIF_WARNING | NIIF_RESPECT_QUIET_TIME;
  lstrcpynW(data.szInfoTitle, WidenText(title).c_str(), ARRAYSIZE(data.szInfoTitle));
  lstrcpynW(data.szInfo, WidenText(text).c_str(), ARRAYSIZE(data.szInfo));
  return NotifyIcon(NIM_MODIFY, &data) != FALSE;
}

HICON__* LoadProgramTrayIcon() {
  // The notification area shows small icons at the system DPI. The program's icon resource holds
  // an image of that size for 100, 125, 150 and 200 %, so none has to be scaled.
  return static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(1), IMAGE_ICON,
                                       GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), LR_DEFAULTCOLOR));
}

void SetNotifyIconCall(NotifyIconCall call) {
  g_notify_icon = std::move(call);
}

void DestroyTrayIconsOf(HWND owner) {
  LayerState* s = Layer();
  if (!s) return;
  for (int ref : s->tray_icons.References()) {
    TrayIconRecord* record = s->tray_icons.Find(ref);
    if (record && record->owner == owner) s->tray_icons.Erase(ref);
  }
}

void ReAddTrayIcons(HWND owner) {
  LayerState* s = Layer();
  if (!s) return;
  for (int ref : s->tray_icons.References()) {
    TrayIconRecord* record = s->tray_icons.Find(ref);
    if (record && record->owner == owner) AddToShell(*record);
  }
}

void RepostTrayNotification(HWND hwnd, WPARAM wparam, LPARAM lparam) {
  PostMessageW(hwnd, kMsgTrayPosted, wparam, lparam);
}

void HandleTrayNotification(WPARAM wparam, LPARAM lparam) {
  LayerState* s = Layer();
  if (!s) return;
  const int icon = static_cast<int>(static_cast<UINT>(wparam));
  TrayIconRecord* record = s->tray_icons.Find(icon);
  const int window = [&] {
    WindowRecord* w = record ? FindWindowRecord(record->owner) : nullptr;
    return w ? w->ref : -1;
  }();
  switch (LOWORD(lparam)) {
    case WM_LBUTTONDOWN:
      SetWorkingEvent(TrayEvent, icon, kTrayLeftPressed, window);
      break;
    case WM_RBUTTONDOWN:
      SetWorkingEvent(TrayEvent, icon, kTrayRightPressed, window);
      break;
    case WM_LBUTTONDBLCLK:
      SetWorkingEvent(TrayEvent, icon, kTrayLeftDoubleClick, window);
      break;
    case WM_RBUTTONDBLCLK:
      SetWorkingEvent(TrayEvent, icon, kTrayRightDoubleClick, window);
      break;
    default:
      s->working.code = 0;  // movement and releases are no TrayEvent
      break;
  }
}

}  // namespace qx
