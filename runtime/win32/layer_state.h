#pragma once
// The layer's internal state: the registries, the records of each family, and the event record.
// Everything here belongs to the user-interface thread; only worker_text.cpp is reached from other
// threads, and it touches none of this.

#include <windows.h>

#include <cstdint>
#include <deque>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "runtime/win32/registry.h"
#include "runtime/win32/unique_handles.h"

namespace qx {

enum class WidgetKind { kPanel, kFrame, kCheckBox, kToggleButton, kText, kStringField, kComboBox, kSpinField };

// Where new widgets of one window go: the current container, the containers saved by open
// Panels, and the font new widgets get.
struct WidgetList {
  HWND container = nullptr;
  std::vector<HWND> saved;
  HFONT default_font = nullptr;
};

struct WindowRecord {
  int ref = kAnonymousNumber;
  UniqueHwnd hwnd;
  UniqueHaccel accelerators;
  bool minimized_or_maximized = false;
  bool has_widget_list = false;
  WidgetList list;
  ~WindowRecord();
};

struct WidgetRecord {
  int ref = kAnonymousNumber;
  WidgetKind kind = WidgetKind::kText;
  int window = kAnonymousNumber;  // the window whose list it was created in
  std::uint64_t sequence = 0;     // creation order, for Tab
  HWND container = nullptr;
  UniqueHwnd control;
  UniqueHwnd arrows;              // SpinField: the up-down control
  std::vector<UniqueHwnd> pages;  // Panel: one container per page, in tab order
  int text_colour = -1;
  int background_colour = -1;
  UniqueHbrush background_brush;
  HFONT font = nullptr;
  bool three_state = false;
  bool border_only = false;  // Frame styles that draw nothing inside their border
  bool numeric = false;      // SpinField
  int minimum = 0, maximum = 0, value = 0;
  ~WidgetRecord();
};

struct FontRecord {
  int ref = kAnonymousNumber;
  UniqueHfont font;
  ~FontRecord();
};

struct MenuRecord {
  int ref = kAnonymousNumber;
  UniqueHmenu menu;
};

struct TrayIconRecord {
  int ref = kAnonymousNumber;
  HWND owner = nullptr;
  UniqueHicon icon;
  std::string tooltip;  // Windows-1251, at most 63 characters
  bool shown = false;
  ~TrayIconRecord();
};

struct StatusBarRecord {
  int ref = kAnonymousNumber;
  HWND owner = nullptr;
  UniqueHwnd bar;
  std::vector<int> right_edges;
  ~StatusBarRecord();
};

struct EventRecord {
  int code = 0;  // 0: no event set by the current dispatch
  int object = 0;
  int window = -1;
  int type = -1;
  WPARAM wparam = 0;
  LPARAM lparam = 0;
};

struct LayerState {
  DWORD ui_thread = 0;
  HINSTANCE instance = nullptr;
  UINT taskbar_created = 0;
  UniqueHwnd dispatcher;  // message-only window that runs worker requests

  Registry<WindowRecord> windows;
  Registry<WidgetRecord> widgets;
  Registry<FontRecord> fonts;
  Registry<MenuRecord> menus;
  Registry<TrayIconRecord> tray_icons;
  Registry<StatusBarRecord> status_bars;

  // Native control -> widget reference (both controls of a SpinField are listed).
  std::unordered_map<HWND, int> widget_of_control;
  std::uint64_t next_sequence = 1;

  int current_list_window = kAnonymousNumber;
  int current_menu = kAnonymousNumber;
  int current_status_bar = kAnonymousNumber;

  EventRecord working;
  EventRecord snapshot;
  std::deque<std::pair<int, int>> pending;  // (code, window)
  int suppress_events = 0;                  // > 0 while running a worker's request
};

// The state, creating it on first use. Null before InitWindowLayer succeeded.
LayerState* Layer();
// Initialises the layer on the calling thread if needed; null if the platform refused.
LayerState* EnsureLayer();

// Shared helpers of the layer's files.
WindowRecord* FindWindowRecord(HWND hwnd);
WidgetRecord* FindWidget(int ref);
WidgetRecord* FindWidgetByControl(HWND control);
void DestroyWidgetsOfWindow(int window);
void DestroyTrayIconsOf(HWND owner);
void RelayoutStatusBars(HWND owner);
void RepostTrayNotification(HWND hwnd, WPARAM wparam, LPARAM lparam);
void HandleTrayNotification(WPARAM wparam, LPARAM lparam);
void ReAddTrayIcons(HWND owner);
void SetWorkingEvent(int code, int object, int type, int window);
void QueueWindowEvent(int code, int window);
// Offers a message addressed to a container (window or Panel page) to the widget hooks; returns
// true with `result` set if a hook handled it.
bool HandleWidgetMessage(HWND container, UINT msg, WPARAM wparam, LPARAM lparam, LRESULT& result);
void ForgetFontInWidgets(HFONT font);
// Runs the text changes queued by worker threads (user-interface thread only).
void RunWorkerRequests();
// Stops accepting worker requests and releases every waiting worker.
void CancelWorkerRequests();
void AcceptWorkerRequests(DWORD ui_thread, HWND dispatcher);
bool IsUiThread();
// Widget and tray calls as the user-interface thread performs them.
void SetTextOnUiThread(int widget, const std::string& text);
void SetTrayToolTipOnUiThread(int number, const std::string& text);
void ResetLayerState();

}  // namespace qx
