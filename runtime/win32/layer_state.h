#pragma once
// The layer's internal state: the registries, the records of each family, and the event record.
// Everything here belongs to the user-interface thread; only worker_text.cpp is reached from other
// threads, and it touches none of this.

#include <windows.h>

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "runtime/win32/registry.h"
#include "runtime/win32/unique_handles.h"
#include "runtime/win32/widgets.h"

namespace qx {

// The class of every top-level window the layer makes.
inline constexpr wchar_t kLayerWindowClass[] = L"QuellarotixWindow";

enum class WidgetKind {
  kPanel,
  kFrame,
  kCheckBox,
  kToggleButton,
  kText,
  kStringField,
  kComboBox,
  kSpinField,
  kButton,
  kCanvas
};

// Which font a widget is drawn in: the reference of one of the layer's fonts, or kGuiFont for the
// platform's default GUI font. The handle itself depends on the DPI of the widget's window.
inline constexpr int kGuiFont = kAnonymousNumber;

// Where new widgets of one window go: the current container, the containers saved by open
// Panels, and the font new widgets get.
struct WidgetList {
  HWND container = nullptr;
  std::vector<HWND> saved;
  int default_font = kGuiFont;
};

// A widget's or window's place and size as the program gave them, in pixels at 96 DPI; the layer
// scales them to the window's DPI.
struct Layout {
  int x = 0, y = 0, width = 0, height = 0;
};

struct WindowRecord {
  int ref = kAnonymousNumber;
  UniqueHwnd hwnd;
  UniqueHaccel accelerators;
  UniqueDevNotify device_notification;  // see WatchDeviceInterfaces
  bool minimized_or_maximized = false;
  bool has_widget_list = false;
  WidgetList list;
  Layout client;  // width and height of the client area
  int dpi = 96;
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
  int font = kGuiFont;
  Layout layout;       // ComboBox: height is the closed height
  std::wstring shown;  // the control's text, for the kinds whose text the layer follows
  bool quiet = false;  // redrawing stopped while it is filled unseen (widgets.cpp)
  bool three_state = false;
  bool border_only = false;  // Frame styles that draw nothing inside their border
  bool numeric = false;      // SpinField
  int minimum = 0, maximum = 0, value = 0;
  CanvasPainter painter;           // Canvas
  int mouse_x = -1, mouse_y = -1;  // Canvas: the mouse over it, -1 when it is elsewhere
  ~WidgetRecord();
};

struct FontRecord {
  int ref = kAnonymousNumber;
  UniqueHfont font;  // at the system DPI; the handle FontHandle gives out
  std::wstring face;
  int points = 0;
  int options = 0;
  std::map<int, UniqueHfont> at_other_dpi;  // made when a window of that DPI first needs them
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
  bool tooltip_in_shell = false;  // the shell took `tooltip`
  ~TrayIconRecord();
};

struct StatusBarRecord {
  int ref = kAnonymousNumber;
  HWND owner = nullptr;
  UniqueHwnd bar;
  std::vector<int> right_edges;  // at 96 DPI
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
  int system_dpi = 96;    // the DPI the platform's stock and system fonts were made for

  // The default GUI font and the status bars' font at DPIs other than the system's.
  std::map<int, UniqueHfont> gui_fonts;
  std::map<int, UniqueHfont> status_fonts;

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
  std::vector<std::pair<int, int>> pending;  // (code, window), oldest first; a few at most
  int suppress_events = 0;                   // > 0 while running a worker's request
  bool has_quiet_widgets = false;

  // How the last combo box came to the closed height asked of it (see SetComboClosedHeight): a
  // box in the same state, with the same font and the same height asked, ends at the same item
  // height, so it is set at once instead of stepped towards.
  struct ComboHeightStep {
    HFONT font = nullptr;
    LONG_PTR type = -1;
    int start_item = 0, start_height = 0, height = 0;
    int item = 0;  // the item height that gave `height`
  } combo_height_step;
};

// The state, creating it on first use. Null before InitWindowLayer succeeded.
LayerState* Layer();
// Initialises the layer on the calling thread if needed; null if the platform refused.
LayerState* EnsureLayer();

// The running program file's full path as the system gives it (any length, any letters); empty
// if the system gave none.
std::wstring ProgramFileWidePath();
// Whether two paths name one folder or file: letter case and trailing separators aside.
bool SamePath(std::wstring_view a, std::wstring_view b);

// Puts `procedure` in front of the window's own procedure, which CallInterposedProc then calls.
// The layer does this to its controls and status bars rather than use the common controls'
// subclass service, which under some platforms makes every message to the window -- thousands at
// start-up -- a round trip to a server. The window's user data keeps the procedure it had.
void InterposeWindowProc(HWND window, WNDPROC procedure);
LRESULT CallInterposedProc(HWND window, UINT msg, WPARAM wparam, LPARAM lparam);

// Registers the canvas's window class (canvas.cpp); false if the platform refused.
bool RegisterCanvasClass(HINSTANCE instance);
extern const wchar_t kCanvasClass[];
// Creates one native control as a widget of the current list (widgets.cpp).
int NewSimpleWidget(int number, WidgetKind kind, const wchar_t* cls, const std::string& text, DWORD style,
                    DWORD ex_style, int x, int y, int width, int height, bool border_only = false);

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
// A Panel page (window_layer.cpp): a child of the tab control that holds that tab's widgets, of the
// layer's container class so that their messages reach HandleWidgetMessage.
HWND PageContainerCreate(HWND panel, int x, int y, int width, int height);
// Offers a message addressed to a container (window or Panel page) to the widget hooks; returns
// true with `result` set if a hook handled it.
bool HandleWidgetMessage(HWND container, UINT msg, WPARAM wparam, LPARAM lparam, LRESULT& result);
void ForgetFontInWidgets(int font);

// DPI scaling (dpi_layout.cpp). Layout numbers are pixels at 96 DPI.
int ScaleToDpi(int value, int dpi);
int SystemDpi();
// The DPI a window is drawn at now, as the platform reports it.
int NativeWindowDpi(HWND hwnd);
// The DPI of a window of the layer (as it last laid it out), or the platform's for others.
int DpiOfWindow(HWND hwnd);
// The outer rectangle of a window with the given style whose client area is width x height
// pixels, its frame drawn at `dpi`.
RECT OuterRectForDpi(int width, int height, DWORD style, DWORD ex_style, int dpi);
// The handle of a font choice (a font reference or kGuiFont) for a window of the given DPI.
HFONT FontAtDpi(int font, int dpi);
HFONT StatusFontAtDpi(int dpi);
// Lays a window and everything in it out again for a new DPI; `suggested`, when given, is where
// the platform proposes to put the window.
void RelayoutWindow(WindowRecord& window, int dpi, const RECT* suggested);
// Places, sizes and fonts one widget for its window's DPI.
void PlaceWidget(WidgetRecord& widget, int dpi);
void RescaleStatusBars(HWND owner, int dpi);
// Runs the text changes queued by worker threads (user-interface thread only).
void RunWorkerRequests();
// Stops accepting worker requests and releases every waiting worker.
void CancelWorkerRequests();
void AcceptWorkerRequests(DWORD ui_thread, HWND dispatcher);
bool IsUiThread();
// The record of what each place shows, by which a worker's text that is there already is dropped
// without a round trip (worker_text.cpp). The user-interface thread notes every widget and tray
// icon it makes and every text it gives one, and forgets the places it destroys; `followed` false
// marks a place whose text the layer cannot vouch for. A place with no record does not exist.
void NoteWidgetText(int widget, bool followed, const std::string& text);
void ForgetWidgetText(int widget);
void NoteToolTip(int number, bool followed, const std::string& text);
void ForgetToolTip(int number);
// Widget and tray calls as the user-interface thread performs them.
void SetTextOnUiThread(int widget, const std::string& text);
void SetTrayToolTipOnUiThread(int number, const std::string& text);
void RedrawCanvasOnUiThread(int widget);
void ResetLayerState();
// Lets widgets filled while unseen redraw again; runs before the thread handles messages or a
// window is shown.
void WakeQuietWidgets();

}  // namespace qx
