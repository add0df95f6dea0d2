// The popup menu of the tray icon. It opens at the pointer with its owner window in the foreground
// and a WM_NULL posted after it closes, the documented way to make a notification-area menu close
// when the user clicks elsewhere. TrackPopupMenu runs its own modal loop, which keeps dispatching
// the window timers; the chosen item is posted to the owner as WM_COMMAND and becomes a MenuEvent.

#include <windows.h>

#include <memory>

#include "runtime/platform/text_encoding.h"
#include "runtime/win32/layer_state.h"
#include "runtime/win32/shell_services.h"

namespace qx {

namespace {

MenuRecord* FindMenu(int ref) {
  LayerState* s = Layer();
  return s ? s->menus.Find(ref) : nullptr;
}

}  // namespace

int NewPopupMenu(int number) {
  LayerState* s = EnsureLayer();
  if (!s || number < kAnonymousNumber) return kNoObject;
  const HMENU menu = CreatePopupMenu();
  if (!menu) return kNoObject;
  auto record = std::make_unique<MenuRecord>();
  record->menu.reset(menu);
  const int ref = number == kAnonymousNumber ? s->menus.NextAnonymousRef() : number;
  record->ref = ref;
  s->menus.Store(number, std::move(record));
  s->current_menu = ref;
  return ref;
}

void AddMenuItem(int item, const std::string& text) {
  LayerState* s = Layer();
  MenuRecord* menu = s ? FindMenu(s->current_menu) : nullptr;
  if (!menu) return;
  AppendMenuW(menu->menu.get(), MF_STRING, static_cast<UINT_PTR>(static_cast<unsigned>(item)), WidenText(text).c_str());
}

void AddMenuSeparator() {
  LayerState* s = Layer();
  MenuRecord* menu = s ? FindMenu(s->current_menu) : nullptr;
  if (menu) AppendMenuW(menu->menu.get(), MF_SEPARATOR, 0, nullptr);
}

void ShowPopupMenu(int menu, HWND__* window) {
  MenuRecord* record = FindMenu(menu);
  if (!record || !window || !IsWindow(window)) return;
  // Hold the handle, not the record: timers run inside the menu's loop and may replace the menu.
  const HMENU handle = record->menu.get();
  WakeQuietWidgets();  // the menu's loop handles this thread's messages
  POINT pointer{};
  GetCursorPos(&pointer);
  SetForegroundWindow(window);
  TrackPopupMenu(handle, TPM_RIGHTBUTTON, pointer.x - 1, pointer.y - 1, 0, window, nullptr);
  PostMessageW(window, WM_NULL, 0, 0);
}

void SetMenuItemLabel(int menu, int item, const std::string& text) {
  MenuRecord* record = FindMenu(menu);
  if (!record) return;
  std::wstring label = WidenText(text);
  MENUITEMINFOW info{};
  info.cbSize = sizeof(info);
  info.fMask = MIIM_TYPE;
  info.fType = MFT_STRING;
  info.dwTypeData = label.data();
  SetMenuItemInfoW(record->menu.get(), static_cast<UINT>(item), FALSE, &info);
}

std::string GetMenuItemLabel(int menu, int item) {
  MenuRecord* record = FindMenu(menu);
  if (!record) return {};
  wchar_t label[512] = {};
  const int length = GetMenuStringW(record->menu.get(), static_cast<UINT>(item), label, 512, MF_BYCOMMAND);
  return length > 0 ? NarrowText(std::wstring_view(label, static_cast<size_t>(length))) : std::string();
}

void SetMenuItemChecked(int menu, int item, bool checked) {
  MenuRecord* record = FindMenu(menu);
  if (!record) return;
  CheckMenuItem(record->menu.get(), static_cast<UINT>(item), MF_BYCOMMAND | (checked ? MF_CHECKED : MF_UNCHECKED));
}

bool IsMenuItemChecked(int menu, int item) {
  MenuRecord* record = FindMenu(menu);
  if (!record) return false;
  const UINT state = GetMenuState(record->menu.get(), static_cast<UINT>(item), MF_BYCOMMAND);
  return state != static_cast<UINT>(-1) && (state & MF_CHECKED) != 0;
}

}  // namespace qx
