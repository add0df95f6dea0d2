// Widgets: the kinds the program builds its windows from, their state and text rules, and the
// hooks through which they report to the event layer.

#include "runtime/win32/widgets.h"

#include <windows.h>

#include <commctrl.h>

#include <algorithm>
#include <charconv>
#include <memory>

#include "runtime/platform/text_encoding.h"
#include "runtime/text.h"
#include "runtime/win32/layer_messages.h"
#include "runtime/win32/layer_state.h"

namespace qx {
namespace {

constexpr int kComboListHeight = 350;
// The style bits that say which of the three kinds of combo box a control is.
constexpr LONG_PTR kComboTypeMask = CBS_SIMPLE | CBS_DROPDOWN | CBS_DROPDOWNLIST;

struct Placement {
  WindowRecord* window = nullptr;
  HWND container = nullptr;
  int Scaled(int value) const { return ScaleToDpi(value, window->dpi); }
};

bool CurrentPlacement(LayerState* s, Placement& placement) {
  WindowRecord* window = s->windows.Find(s->current_list_window);
  if (!window || !window->has_widget_list) return false;
  HWND container = window->list.container;
  if (!IsWindow(container)) container = window->hwnd.get();
  placement = {window, container};
  return true;
}

std::wstring ControlText(HWND control) {
  const int length = GetWindowTextLengthW(control);
  if (length <= 0) return {};
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  const int got = GetWindowTextW(control, text.data(), length + 1);
  text.resize(static_cast<size_t>(std::max(got, 0)));
  return text;
}

// The kinds whose text is the control's own window text, set by SetText and read back by GetText;
// the layer follows what they show (a Panel's text is the caption of whichever page is selected,
// a combo box's is its selection).
bool FollowsText(WidgetKind kind) {
  switch (kind) {
    case WidgetKind::kText:
    case WidgetKind::kStringField:
    case WidgetKind::kCheckBox:
    case WidgetKind::kToggleButton:
    case WidgetKind::kButton:
    case WidgetKind::kFrame:
      return true;
    default:
      return false;
  }
}

// Takes note of what the control shows now: in the record, for SetText and GetText on this
// thread, and for the workers (see worker_text.cpp) -- exactly, or, when the control holds a
// character with no Windows-1251 form, as a text the layer cannot vouch for. Runs whenever the
// text changes (set by anyone, or typed into a field), so that the labels and names the loop
// compares and reads at every event cost no message to their controls.
void NoteShownText(WidgetRecord& w) {
  if (!FollowsText(w.kind)) {
    NoteWidgetText(w.ref, false, {});
    return;
  }
  w.shown = ControlText(w.control.get());
  std::string text = NarrowText(w.shown);
  const bool exact = WidenText(text) == w.shown;
  NoteWidgetText(w.ref, exact, exact ? text : std::string());
}

// x, y, width and height are pixels of the window's DPI.
HWND CreateControl(const Placement& at, const wchar_t* cls, const std::string& text, DWORD style, DWORD ex_style, int x,
                   int y, int width, int height, int number) {
  const int id = number >= 0 ? number : 0;
  return CreateWindowExW(ex_style, cls, WidenText(text).c_str(), WS_CHILD | style, x, y, width, height, at.container,
                         reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
}

int DpiOfWidget(const WidgetRecord& w) {
  LayerState* s = Layer();
  const WindowRecord* window = s ? s->windows.Find(w.window) : nullptr;
  return window ? window->dpi : SystemDpi();
}

// A SpinField's arrows are half its height wide, at its right end; the text box takes the rest.
int SpinArrowsWidth(const Layout& layout, int dpi) {
  return ScaleToDpi(layout.height / 2, dpi);
}

void ForgetDestroyedControl(HWND control) {
  LayerState* s = Layer();
  if (!s) return;
  WidgetRecord* w = FindWidgetByControl(control);
  if (!w) return;
  s->widget_of_control.erase(control);
  if (w->control.get() == control) w->control.release();
  if (w->arrows.get() == control) w->arrows.release();
  s->widgets.Erase(w->ref);
}

// The layer's own handling of every control's messages, in front of the control's procedure.
LRESULT CALLBACK ControlProc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
  const WidgetRecord* w = FindWidgetByControl(hwnd);
  // Frames other than the group box are a border only: they do not paint over the widgets inside.
  const bool border_only = w && w->kind == WidgetKind::kFrame && w->border_only;
  switch (msg) {
    case WM_NCDESTROY:
      ForgetDestroyedControl(hwnd);
      break;
    case WM_SETTEXT: {
      // Whoever sets the text, the layer takes note of it.
      const LRESULT result = CallInterposedProc(hwnd, msg, wparam, lparam);
      WidgetRecord* after = FindWidgetByControl(hwnd);
      if (after && after->control.get() == hwnd) NoteShownText(*after);
      return result;
    }
    case WM_ERASEBKGND:
      // Whatever lies inside a border shows through.
      if (border_only) return 1;
      break;
    case WM_PAINT:
      if (border_only) {
        ValidateRect(hwnd, nullptr);
        return 0;
      }
      break;
    case WM_COMMAND:
    case WM_NOTIFY:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORLISTBOX:
      // Widgets placed on a Panel before its first page report to the tab control itself.
      if (w && w->kind == WidgetKind::kPanel) {
        LRESULT result = 0;
        if (HandleWidgetMessage(hwnd, msg, wparam, lparam, result)) return result;
      }
      break;
    default:
      break;
  }
  return CallInterposedProc(hwnd, msg, wparam, lparam);
}

int RegisterWidget(LayerState* s, int number, std::unique_ptr<WidgetRecord> record, const Placement& at) {
  record->window = at.window->ref;
  record->container = at.container;
  record->sequence = s->next_sequence++;
  record->font = at.window->list.default_font;
  const HFONT font = FontAtDpi(record->font, at.window->dpi);
  for (HWND control : {record->control.get(), record->arrows.get()}) {
    if (!control) continue;
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    InterposeWindowProc(control, ControlProc);
  }
  const int ref = number == kAnonymousNumber ? s->widgets.NextAnonymousRef() : number;
  record->ref = ref;
  const HWND control = record->control.get();
  const HWND arrows = record->arrows.get();
  s->widgets.Store(number, std::move(record));
  s->widget_of_control[control] = ref;
  if (arrows) s->widget_of_control[arrows] = ref;
  // After the store: it destroyed a widget that held the number, and with it that one's note.
  NoteShownText(*s->widgets.Find(ref));
  return ref;
}

}  // namespace

// The common path of most kinds.
int NewSimpleWidget(int number, WidgetKind kind, const wchar_t* cls, const std::string& text, DWORD style,
                    DWORD ex_style, int x, int y, int width, int height, bool border_only) {
  LayerState* s = EnsureLayer();
  Placement at;
  if (!s || number < kAnonymousNumber || !CurrentPlacement(s, at)) return kNoObject;
  const HWND control = CreateControl(at, cls, text, style, ex_style, at.Scaled(x), at.Scaled(y), at.Scaled(width),
                                     at.Scaled(height), number);
  if (!control) return kNoObject;
  auto record = std::make_unique<WidgetRecord>();
  record->kind = kind;
  record->layout = {x, y, width, height};
  record->border_only = border_only;
  record->control.reset(control);
  if (border_only) SetWindowPos(control, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  return RegisterWidget(s, number, std::move(record), at);
}

namespace {

// The pages fill the panel's display area, which depends on its size and on the height of its
// tab strip (its font).
void PlacePanelPages(WidgetRecord& panel) {
  RECT area{};
  GetClientRect(panel.control.get(), &area);
  SendMessageW(panel.control.get(), TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&area));
  for (const UniqueHwnd& page : panel.pages) {
    SetWindowPos(page.get(), nullptr, area.left, area.top, area.right - area.left, area.bottom - area.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
  }
}

void ShowSelectedPage(WidgetRecord& panel) {
  const int selected = static_cast<int>(SendMessageW(panel.control.get(), TCM_GETCURSEL, 0, 0));
  for (size_t i = 0; i < panel.pages.size(); ++i) {
    const HWND page = panel.pages[i].get();
    const bool shown = static_cast<int>(i) == selected;
    if (!shown) {
      ShowWindow(page, SW_HIDE);
      EnableWindow(page, FALSE);
    }
  }
  if (selected >= 0 && static_cast<size_t>(selected) < panel.pages.size()) {
    const HWND page = panel.pages[static_cast<size_t>(selected)].get();
    EnableWindow(page, TRUE);
    ShowWindow(page, SW_SHOW);
    InvalidateRect(page, nullptr, TRUE);
  }
}

std::wstring TabCaption(HWND tab, int page) {
  wchar_t label[512] = {};
  TCITEMW item{};
  item.mask = TCIF_TEXT;
  item.pszText = label;
  item.cchTextMax = 512;
  if (!SendMessageW(tab, TCM_GETITEMW, static_cast<WPARAM>(page), reinterpret_cast<LPARAM>(&item))) return {};
  return item.pszText ? item.pszText : L"";
}

void PostWidgetEvent(const WidgetRecord& w, int type) {
  const HWND top = GetAncestor(w.control.get(), GA_ROOT);
  if (top) PostMessageW(top, kMsgWidgetEvent, static_cast<WPARAM>(w.ref), static_cast<LPARAM>(type));
}

// "Whole decimal number": an optional minus sign and at least one digit, nothing else.
bool ParseWholeNumber(const std::wstring& text, int& value) {
  std::string ascii;
  for (wchar_t c : text) {
    if (c > 0x7F) return false;
    ascii.push_back(static_cast<char>(c));
  }
  if (ascii.empty() || ascii == "-" || ascii.front() == '+') return false;
  long long parsed = 0;
  const auto [end, error] = std::from_chars(ascii.data(), ascii.data() + ascii.size(), parsed);
  if (error != std::errc() || end != ascii.data() + ascii.size()) return false;
  if (parsed < INT32_MIN || parsed > INT32_MAX) return false;
  value = static_cast<int>(parsed);
  return true;
}

// `height` in pixels of the window's DPI.
void SetComboClosedHeight(HWND combo, int height) {
  // The closed box's height follows the item height of its selection field. How the two relate
  // differs between platform versions (on some, the item height reported at first is not the one
  // that gives the box its present height), so step the item height until the box is as tall as
  // asked. Every step lays the box and its drop list out again, a few milliseconds on some
  // platforms; the schedule has sixteen boxes alike, so where the last box that started as this
  // one did ended up is tried first, and the steps go on from there only if that was not right.
  auto closed_height = [combo] {
    RECT rect{};
    GetWindowRect(combo, &rect);
    return static_cast<int>(rect.bottom - rect.top);
  };
  LayerState* s = Layer();
  const auto font = reinterpret_cast<HFONT>(SendMessageW(combo, WM_GETFONT, 0, 0));
  const LONG_PTR type = GetWindowLongPtrW(combo, GWL_STYLE) & kComboTypeMask;
  int item = static_cast<int>(SendMessageW(combo, CB_GETITEMHEIGHT, static_cast<WPARAM>(-1), 0));
  int current = closed_height();
  if (current == height) return;
  const LayerState::ComboHeightStep like{font, type, item, current, height, 0};
  if (s) {
    const LayerState::ComboHeightStep& last = s->combo_height_step;
    if (last.font == like.font && last.type == like.type && last.start_item == like.start_item &&
        last.start_height == like.start_height && last.height == like.height) {
      SendMessageW(combo, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), last.item);
      if ((current = closed_height()) == height) return;
      item = last.item;
    }
  }
  for (int attempt = 0; attempt < 4 && current != height; ++attempt) {
    item += height - current;
    if (item < 1) return;
    SendMessageW(combo, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), item);
    current = closed_height();
  }
  if (s && current == height) {
    s->combo_height_step = like;
    s->combo_height_step.item = item;
  }
}

}  // namespace

WidgetRecord* FindWidget(int ref) {
  LayerState* s = Layer();
  return s ? s->widgets.Find(ref) : nullptr;
}

WidgetRecord* FindWidgetByControl(HWND control) {
  LayerState* s = Layer();
  if (!s || !control) return nullptr;
  auto it = s->widget_of_control.find(control);
  if (it == s->widget_of_control.end()) return nullptr;
  WidgetRecord* w = s->widgets.Find(it->second);
  if (!w || (w->control.get() != control && w->arrows.get() != control)) return nullptr;
  return w;
}

WidgetRecord::~WidgetRecord() {
  ForgetWidgetText(ref);
  LayerState* s = Layer();
  if (!s) return;
  s->widget_of_control.erase(control.get());
  if (arrows) s->widget_of_control.erase(arrows.get());
  if (kind == WidgetKind::kPanel) {
    // Everything on the panel's pages goes with it, newest first.
    std::vector<std::pair<std::uint64_t, int>> on_pages;
    for (int other : s->widgets.References()) {
      WidgetRecord* w = s->widgets.Find(other);
      if (!w) continue;
      const bool on_panel = w->container == control.get() ||
                            std::any_of(pages.begin(), pages.end(), [&](auto& p) { return p.get() == w->container; });
      if (on_panel) on_pages.emplace_back(w->sequence, other);
    }
    std::sort(on_pages.rbegin(), on_pages.rend());
    for (auto& [sequence, other] : on_pages) s->widgets.Erase(other);
  }
}

void DestroyWidgetsOfWindow(int window) {
  LayerState* s = Layer();
  if (!s) return;
  std::vector<std::pair<std::uint64_t, int>> owned;
  for (int ref : s->widgets.References()) {
    WidgetRecord* w = s->widgets.Find(ref);
    if (w && w->window == window) owned.emplace_back(w->sequence, ref);
  }
  std::sort(owned.rbegin(), owned.rend());
  for (auto& [sequence, ref] : owned) s->widgets.Erase(ref);
}

bool HandleWidgetMessage(HWND container, UINT msg, WPARAM wparam, LPARAM lparam, LRESULT& result) {
  (void)container;
  switch (msg) {
    case WM_COMMAND: {
      WidgetRecord* w = FindWidgetByControl(reinterpret_cast<HWND>(lparam));
      if (!w) return false;
      const int code = HIWORD(wparam);
      if (w->kind == WidgetKind::kStringField) {
        if (code == EN_SETFOCUS) PostWidgetEvent(*w, kFieldFocusGained);
        if (code == EN_KILLFOCUS) PostWidgetEvent(*w, kFieldFocusLost);
        if (code == EN_CHANGE) NoteShownText(*w);  // typed by the user
      }
      if (w->kind == WidgetKind::kFrame || w->kind == WidgetKind::kText) return false;
      SetWorkingEvent(GadgetEvent, w->ref, code, w->window);
      result = 0;
      return true;
    }
    case WM_NOTIFY: {
      const auto* header = reinterpret_cast<const NMHDR*>(lparam);
      if (!header) return false;
      WidgetRecord* w = FindWidgetByControl(header->hwndFrom);
      if (!w) return false;
      if (w->kind == WidgetKind::kPanel) {
        if (header->code == TCN_SELCHANGE) {
          ShowSelectedPage(*w);
          PostWidgetEvent(*w, kPanelPageChanged);
        } else if (header->code == static_cast<UINT>(NM_CLICK)) {
          PostWidgetEvent(*w, kPanelTabClicked);
        }
        result = 0;
        return true;
      }
      if (w->kind == WidgetKind::kSpinField && header->code == static_cast<UINT>(UDN_DELTAPOS)) {
        const auto* change = reinterpret_cast<const NMUPDOWN*>(lparam);
        PostWidgetEvent(*w, change->iDelta > 0 ? kSpinUp : kSpinDown);
        result = 0;  // let the arrows change the value
        return true;
      }
      return false;
    }
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT: {
      WidgetRecord* w = FindWidgetByControl(reinterpret_cast<HWND>(lparam));
      if (!w || (w->text_colour < 0 && w->background_colour < 0)) return false;
      if (w->kind != WidgetKind::kText && w->kind != WidgetKind::kStringField && w->kind != WidgetKind::kSpinField)
        return false;
      const HDC dc = reinterpret_cast<HDC>(wparam);
      if (w->text_colour >= 0) SetTextColor(dc, static_cast<COLORREF>(w->text_colour));
      if (w->background_colour >= 0) {
        SetBkColor(dc, static_cast<COLORREF>(w->background_colour));
        result = reinterpret_cast<LRESULT>(w->background_brush.get());
      } else {
        const int system = w->kind == WidgetKind::kText ? COLOR_BTNFACE : COLOR_BTNHIGHLIGHT;
        SetBkColor(dc, GetSysColor(system));
        result = reinterpret_cast<LRESULT>(GetSysColorBrush(system));
      }
      return true;
    }
    default:
      return false;
  }
}

int NewPanel(int number, int x, int y, int width, int height) {
  LayerState* s = EnsureLayer();
  Placement at;
  if (!s || number < kAnonymousNumber || !CurrentPlacement(s, at)) return kNoObject;
  const HWND control = CreateControl(
      at, WC_TABCONTROLW, "", WS_VISIBLE | WS_TABSTOP | WS_CLIPSIBLINGS | WS_CLIPCHILDREN,
      WS_EX_CONTROLPARENT | WS_EX_TRANSPARENT, at.Scaled(x), at.Scaled(y), at.Scaled(width), at.Scaled(height), number);
  if (!control) return kNoObject;
  auto record = std::make_unique<WidgetRecord>();
  record->kind = WidgetKind::kPanel;
  record->layout = {x, y, width, height};
  record->control.reset(control);
  const int ref = RegisterWidget(s, number, std::move(record), at);
  WidgetList& list = at.window->list;
  list.saved.push_back(list.container);
  list.container = control;
  return ref;
}

int NewFrame(int number, int x, int y, int width, int height, const std::string& caption, int style) {
  switch (style) {
    case kFrameGroupBox:
      return NewSimpleWidget(number, WidgetKind::kFrame, L"Button", caption, WS_VISIBLE | BS_GROUPBOX, 0, x, y, width,
                             height);
    case kFrameSunken:
      return NewSimpleWidget(number, WidgetKind::kFrame, L"Static", "", WS_VISIBLE, WS_EX_CLIENTEDGE, x, y, width,
                             height, true);
    case kFrameStaticEdge:
      return NewSimpleWidget(number, WidgetKind::kFrame, L"Static", "", WS_VISIBLE, WS_EX_STATICEDGE, x, y, width,
                             height, true);
    default:
      return NewSimpleWidget(number, WidgetKind::kFrame, L"Static", "", WS_VISIBLE | WS_BORDER, 0, x, y, width, height,
                             true);
  }
}

int NewCheckBox(int number, int x, int y, int width, int height, const std::string& text, int options) {
  const bool three_state = options == kCheckBoxThreeState;
  const int ref = NewSimpleWidget(number, WidgetKind::kCheckBox, L"Button", text,
                                  WS_VISIBLE | WS_TABSTOP | (three_state ? BS_AUTO3STATE : BS_AUTOCHECKBOX), 0, x, y,
                                  width, height);
  if (WidgetRecord* w = ref != kNoObject ? FindWidget(ref) : nullptr) w->three_state = three_state;
  return ref;
}

int NewToggleButton(int number, int x, int y, int width, int height, const std::string& text, int options) {
  // The options are the button's own style bits (0x1103: push-like, text left, two-state).
  const DWORD style = static_cast<DWORD>(options) & 0xFFFF;
  return NewSimpleWidget(number, WidgetKind::kToggleButton, L"Button", text, WS_VISIBLE | WS_TABSTOP | style, 0, x, y,
                         width, height);
}

int NewButton(int number, int x, int y, int width, int height, const std::string& text) {
  return NewSimpleWidget(number, WidgetKind::kButton, L"Button", text, WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 0, x, y,
                         width, height);
}

int NewCanvas(int number, int x, int y, int width, int height, CanvasPainter painter) {
  LayerState* s = EnsureLayer();
  if (!s || !RegisterCanvasClass(s->instance)) return kNoObject;
  const int ref = NewSimpleWidget(number, WidgetKind::kCanvas, kCanvasClass, "", WS_VISIBLE, 0, x, y, width, height);
  if (WidgetRecord* w = ref != kNoObject ? FindWidget(ref) : nullptr) w->painter = std::move(painter);
  return ref;
}

void ResizeWidget(int widget, int x, int y, int width, int height) {
  WidgetRecord* w = FindWidget(widget);
  if (!w) return;
  w->layout = {x, y, width, height};
  PlaceWidget(*w, DpiOfWidget(*w));
}

int NewText(int number, int x, int y, int width, int height, const std::string& text, int options) {
  // Names typed by the user are shown as typed: an "&" is not a mnemonic.
  DWORD style = WS_VISIBLE | SS_NOPREFIX;
  if (options & kTextCentred)
    style |= SS_CENTER;
  else if (options & kTextRight)
    style |= SS_RIGHT;
  if (options & kTextSunken) style |= SS_SUNKEN;
  return NewSimpleWidget(number, WidgetKind::kText, L"Static", text, style, 0, x, y, width, height);
}

int NewStringField(int number, int x, int y, int width, int height, const std::string& text, int options) {
  DWORD style = WS_VISIBLE | WS_TABSTOP | ES_AUTOHSCROLL;
  if (options & kFieldCentred) style |= ES_CENTER;
  if (options & kFieldReadOnly) style |= ES_READONLY;
  if (options & kFieldPassword) style |= ES_PASSWORD;
  const DWORD ex_style = (options & kFieldNoBorder) ? 0 : WS_EX_CLIENTEDGE;
  return NewSimpleWidget(number, WidgetKind::kStringField, L"Edit", text, style, ex_style, x, y, width, height);
}

// A combo box redraws its list after every entry added, and at start-up the schedule's boxes get
// hundreds of entries while the main window is still hidden. So a combo box filled while it
// cannot be seen stops redrawing until the layer next lets this thread handle messages or shows a
// window -- before anything can be painted or touched (WakeQuietWidgets).
void QuietWhileHidden(WidgetRecord& w) {
  if (w.quiet || IsWindowVisible(w.control.get())) return;
  SendMessageW(w.control.get(), WM_SETREDRAW, FALSE, 0);
  w.quiet = true;
  if (LayerState* s = Layer()) s->has_quiet_widgets = true;
}

void WakeQuietWidgets() {
  LayerState* s = Layer();
  if (!s || !s->has_quiet_widgets) return;
  s->has_quiet_widgets = false;
  for (int ref : s->widgets.References()) {
    WidgetRecord* w = s->widgets.Find(ref);
    if (!w || !w->quiet) continue;
    w->quiet = false;
    SendMessageW(w->control.get(), WM_SETREDRAW, TRUE, 0);
    InvalidateRect(w->control.get(), nullptr, TRUE);
  }
}

int NewComboBox(int number, int x, int y, int width, int height, int options) {
  const DWORD style =
      WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | ((options & kComboEditable) ? CBS_DROPDOWN : CBS_DROPDOWNLIST);
  const int ref =
      NewSimpleWidget(number, WidgetKind::kComboBox, L"ComboBox", "", style, 0, x, y, width, height + kComboListHeight);
  if (WidgetRecord* w = ref != kNoObject ? FindWidget(ref) : nullptr) {
    w->layout.height = height;
    QuietWhileHidden(*w);
    SetComboClosedHeight(w->control.get(), ScaleToDpi(height, DpiOfWidget(*w)));
  }
  return ref;
}

int NewSpinField(int number, int x, int y, int width, int height, int minimum, int maximum, int options) {
  LayerState* s = EnsureLayer();
  Placement at;
  if (!s || number < kAnonymousNumber || !CurrentPlacement(s, at)) return kNoObject;
  const Layout layout{x, y, width, height};
  const int arrows_width = SpinArrowsWidth(layout, at.window->dpi);
  const int left = at.Scaled(x), top = at.Scaled(y), full_width = at.Scaled(width), full_height = at.Scaled(height);
  DWORD edit_style = WS_VISIBLE | WS_TABSTOP | ES_RIGHT | ES_AUTOHSCROLL;
  if (options & kSpinReadOnly) edit_style |= ES_READONLY;
  const HWND edit = CreateControl(at, L"Edit", "", edit_style, WS_EX_CLIENTEDGE, left, top, full_width - arrows_width,
                                  full_height, number);
  if (!edit) return kNoObject;
  UniqueHwnd edit_owner(edit);
  const bool numeric = (options & kSpinNumeric) != 0;
  DWORD arrow_style = WS_VISIBLE | UDS_ARROWKEYS | UDS_NOTHOUSANDS;
  if (numeric) arrow_style |= UDS_SETBUDDYINT;
  const HWND arrows = CreateControl(at, UPDOWN_CLASSW, "", arrow_style, 0, left + full_width - arrows_width, top,
                                    arrows_width, full_height, number);
  if (!arrows) return kNoObject;
  SendMessageW(arrows, UDM_SETBUDDY, reinterpret_cast<WPARAM>(edit), 0);
  SendMessageW(arrows, UDM_SETRANGE32, static_cast<WPARAM>(minimum), static_cast<LPARAM>(maximum));
  SendMessageW(arrows, UDM_SETPOS32, 0, 0);
  // Some versions of the control widen themselves when created; the arrows are half the height.
  SetWindowPos(arrows, nullptr, left + full_width - arrows_width, top, arrows_width, full_height,
               SWP_NOZORDER | SWP_NOACTIVATE);
  auto record = std::make_unique<WidgetRecord>();
  record->kind = WidgetKind::kSpinField;
  record->layout = layout;
  record->control = std::move(edit_owner);
  record->arrows.reset(arrows);
  record->numeric = numeric;
  record->minimum = std::min(minimum, maximum);
  record->maximum = std::max(minimum, maximum);
  record->value = std::clamp(0, record->minimum, record->maximum);
  if (numeric) SetWindowTextW(edit, WidenText(DecimalText(record->value)).c_str());
  return RegisterWidget(s, number, std::move(record), at);
}

void CloseContainer() {
  LayerState* s = Layer();
  if (!s) return;
  WindowRecord* window = s->windows.Find(s->current_list_window);
  if (!window || !window->has_widget_list || window->list.saved.empty()) return;
  window->list.container = window->list.saved.back();
  window->list.saved.pop_back();
}

int AddItem(int widget, int position, const std::string& text) {
  WidgetRecord* w = FindWidget(widget);
  if (!w || position < -1) return 0;
  const std::wstring wide = WidenText(text);
  if (w->kind == WidgetKind::kComboBox) {
    QuietWhileHidden(*w);
    const LRESULT index = SendMessageW(w->control.get(), CB_INSERTSTRING, static_cast<WPARAM>(position),
                                       reinterpret_cast<LPARAM>(wide.c_str()));
    return index >= 0 ? 1 : 0;
  }
  if (w->kind != WidgetKind::kPanel) return 0;
  const HWND tab = w->control.get();
  const int count = static_cast<int>(SendMessageW(tab, TCM_GETITEMCOUNT, 0, 0));
  const int at = (position == -1 || position > count) ? count : position;
  TCITEMW item{};
  item.mask = TCIF_TEXT;
  item.pszText = const_cast<wchar_t*>(wide.c_str());
  const int index =
      static_cast<int>(SendMessageW(tab, TCM_INSERTITEMW, static_cast<WPARAM>(at), reinterpret_cast<LPARAM>(&item)));
  if (index < 0) return 0;
  RECT area{};
  GetClientRect(tab, &area);
  SendMessageW(tab, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&area));
  const HWND page = PageContainerCreate(tab, area.left, area.top, area.right - area.left, area.bottom - area.top);
  if (!page) {
    SendMessageW(tab, TCM_DELETEITEM, static_cast<WPARAM>(index), 0);
    return 0;
  }
  w->pages.insert(w->pages.begin() + index, UniqueHwnd(page));
  // The first page added is selected; later pages leave the selection alone.
  if (SendMessageW(tab, TCM_GETCURSEL, 0, 0) < 0) SendMessageW(tab, TCM_SETCURSEL, 0, 0);
  ShowSelectedPage(*w);
  LayerState* s = Layer();
  if (WindowRecord* window = s->windows.Find(s->current_list_window); window && window->has_widget_list)
    window->list.container = page;
  return 1;
}

int GetState(int widget) {
  WidgetRecord* w = FindWidget(widget);
  if (!w) return 0;
  const HWND control = w->control.get();
  switch (w->kind) {
    case WidgetKind::kPanel:
      return static_cast<int>(SendMessageW(control, TCM_GETCURSEL, 0, 0));
    case WidgetKind::kCheckBox: {
      const LRESULT check = SendMessageW(control, BM_GETCHECK, 0, 0);
      if (check == BST_INDETERMINATE) return -1;
      return check == BST_CHECKED ? 1 : 0;
    }
    case WidgetKind::kToggleButton:
      return SendMessageW(control, BM_GETCHECK, 0, 0) == BST_CHECKED ? 1 : 0;
    case WidgetKind::kComboBox:
      return static_cast<int>(SendMessageW(control, CB_GETCURSEL, 0, 0));
    case WidgetKind::kSpinField: {
      if (w->numeric) {
        int typed = 0;
        if (ParseWholeNumber(ControlText(control), typed) && typed >= w->minimum && typed <= w->maximum)
          w->value = typed;
        return w->value;
      }
      BOOL failed = FALSE;
      const int position =
          static_cast<int>(SendMessageW(w->arrows.get(), UDM_GETPOS32, 0, reinterpret_cast<LPARAM>(&failed)));
      if (!failed) w->value = position;
      return w->value;
    }
    default:
      return 0;
  }
}

void SetState(int widget, int value) {
  WidgetRecord* w = FindWidget(widget);
  if (!w) return;
  const HWND control = w->control.get();
  switch (w->kind) {
    case WidgetKind::kPanel:
      if (value >= 0 && value < static_cast<int>(w->pages.size())) {
        SendMessageW(control, TCM_SETCURSEL, static_cast<WPARAM>(value), 0);
        ShowSelectedPage(*w);
      }
      break;
    case WidgetKind::kCheckBox: {
      WPARAM check = value == 0 ? BST_UNCHECKED : BST_CHECKED;
      if (value == -1 && w->three_state) check = BST_INDETERMINATE;
      SendMessageW(control, BM_SETCHECK, check, 0);
      break;
    }
    case WidgetKind::kToggleButton:
      SendMessageW(control, BM_SETCHECK, value ? BST_CHECKED : BST_UNCHECKED, 0);
      break;
    case WidgetKind::kComboBox: {
      const int count = static_cast<int>(SendMessageW(control, CB_GETCOUNT, 0, 0));
      const int index = (value >= 0 && value < count) ? value : -1;
      SendMessageW(control, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
      break;
    }
    case WidgetKind::kSpinField:
      w->value = std::clamp(value, w->minimum, w->maximum);
      // In numeric mode the arrows write the value into the text box themselves.
      SendMessageW(w->arrows.get(), UDM_SETPOS32, 0, static_cast<LPARAM>(w->value));
      if (w->numeric) SetWindowTextW(control, WidenText(DecimalText(w->value)).c_str());
      break;
    default:
      break;
  }
}

std::string GetText(int widget) {
  WidgetRecord* w = FindWidget(widget);
  if (!w) return {};
  const HWND control = w->control.get();
  switch (w->kind) {
    case WidgetKind::kPanel: {
      const int selected = static_cast<int>(SendMessageW(control, TCM_GETCURSEL, 0, 0));
      if (selected < 0) return {};
      return NarrowText(TabCaption(control, selected));
    }
    case WidgetKind::kComboBox: {
      const LONG_PTR type = GetWindowLongPtrW(control, GWL_STYLE) & kComboTypeMask;
      if (type == CBS_DROPDOWN) return NarrowText(ControlText(control));
      const LRESULT selected = SendMessageW(control, CB_GETCURSEL, 0, 0);
      if (selected < 0) return {};
      const LRESULT length = SendMessageW(control, CB_GETLBTEXTLEN, static_cast<WPARAM>(selected), 0);
      if (length <= 0) return {};
      std::wstring text(static_cast<size_t>(length) + 1, L'\0');
      const LRESULT got =
          SendMessageW(control, CB_GETLBTEXT, static_cast<WPARAM>(selected), reinterpret_cast<LPARAM>(text.data()));
      text.resize(got > 0 ? static_cast<size_t>(got) : 0);
      return NarrowText(text);
    }
    default:
      return NarrowText(FollowsText(w->kind) ? w->shown : ControlText(control));
  }
}

std::string GetTextUtf8(int widget) {
  WidgetRecord* w = FindWidget(widget);
  if (!w) return {};
  const std::wstring text = ControlText(w->control.get());
  const int length =
      WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  std::string utf8(static_cast<std::size_t>(length > 0 ? length : 0), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), utf8.data(), length, nullptr, nullptr);
  return utf8;
}

// The widget's text as its own font draws it, in pixels at 96 DPI (rounded up, so that the width
// scaled back to the widget's DPI holds every pixel of the text); -1 when it cannot be measured.
static int MeasuredTextWidth(const WidgetRecord& w) {
  const HWND control = w.control.get();
  const std::wstring text = ControlText(control);
  const HDC dc = GetDC(control);
  if (!dc) return -1;
  const HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)));
  SIZE extent{};
  const BOOL measured = GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &extent);
  SelectObject(dc, old);
  ReleaseDC(control, dc);
  if (!measured) return -1;
  const int dpi = DpiOfWidget(w);
  return (extent.cx * 96 + dpi - 1) / dpi;
}

int TextWidth(int widget) {
  const WidgetRecord* w = FindWidget(widget);
  return w ? std::max(MeasuredTextWidth(*w), 0) : 0;
}

// A text that the place shows already is not set again: that would only repaint the control.
void SetTextOnUiThread(int widget, const std::string& text) {
  WidgetRecord* w = FindWidget(widget);
  if (!w) return;
  const std::wstring wide = WidenText(text);
  if (w->kind == WidgetKind::kPanel) {
    const int selected = static_cast<int>(SendMessageW(w->control.get(), TCM_GETCURSEL, 0, 0));
    if (selected < 0) return;
    if (TabCaption(w->control.get(), selected) == wide) return;
    TCITEMW item{};
    item.mask = TCIF_TEXT;
    item.pszText = const_cast<wchar_t*>(wide.c_str());
    SendMessageW(w->control.get(), TCM_SETITEMW, static_cast<WPARAM>(selected), reinterpret_cast<LPARAM>(&item));
    InvalidateRect(w->control.get(), nullptr, TRUE);
    return;
  }
  if (FollowsText(w->kind) && w->shown == wide) return;
  SetWindowTextW(w->control.get(), wide.c_str());
}

int WidgetTextWidth(int widget) {
  WidgetRecord* w = FindWidget(widget);
  if (!w) return 0;
  // Beside its text a check box shows its box and a gap, a button its edges and margins.
  int beside = 0;
  switch (w->kind) {
    case WidgetKind::kText:
      break;
    case WidgetKind::kCheckBox:
      beside = 20;
      break;
    case WidgetKind::kButton:
    case WidgetKind::kToggleButton:
      beside = 12;
      break;
    default:
      return 0;
  }
  const int width = MeasuredTextWidth(*w);
  return width < 0 ? 0 : width + beside;
}

void SetWidgetFont(int widget, std::intptr_t font) {
  LayerState* s = Layer();
  if (!s) return;
  // Only fonts the layer made are ever handed to a control; any other value names no font.
  int chosen = kGuiFont;
  if (font != kDefaultGuiFont) {
    for (int ref : s->fonts.References()) {
      FontRecord* f = s->fonts.Find(ref);
      if (f && reinterpret_cast<std::intptr_t>(f->font.get()) == font) chosen = ref;
    }
  }
  if (widget == -1) {
    WindowRecord* window = s->windows.Find(s->current_list_window);
    if (window && window->has_widget_list) window->list.default_font = chosen;
    return;
  }
  WidgetRecord* w = FindWidget(widget);
  if (!w) return;
  w->font = chosen;
  const HFONT handle = FontAtDpi(chosen, DpiOfWidget(*w));
  SendMessageW(w->control.get(), WM_SETFONT, reinterpret_cast<WPARAM>(handle), TRUE);
  if (w->arrows) SendMessageW(w->arrows.get(), WM_SETFONT, reinterpret_cast<WPARAM>(handle), TRUE);
  if (w->kind == WidgetKind::kComboBox) InvalidateRect(w->control.get(), nullptr, TRUE);
}

void ForgetFontInWidgets(int font) {
  LayerState* s = Layer();
  if (!s || font == kGuiFont) return;
  for (int ref : s->widgets.References()) {
    WidgetRecord* w = s->widgets.Find(ref);
    if (w && w->font == font) {
      w->font = kGuiFont;
      const HFONT fallback = FontAtDpi(kGuiFont, DpiOfWidget(*w));
      SendMessageW(w->control.get(), WM_SETFONT, reinterpret_cast<WPARAM>(fallback), TRUE);
    }
  }
  for (int ref : s->windows.References()) {
    WindowRecord* window = s->windows.Find(ref);
    if (window && window->list.default_font == font) window->list.default_font = kGuiFont;
  }
}

void PlaceWidget(WidgetRecord& w, int dpi) {
  const HFONT font = FontAtDpi(w.font, dpi);
  const Layout& at = w.layout;
  const int x = ScaleToDpi(at.x, dpi), y = ScaleToDpi(at.y, dpi);
  const int width = ScaleToDpi(at.width, dpi), height = ScaleToDpi(at.height, dpi);
  constexpr UINT kHow = SWP_NOZORDER | SWP_NOACTIVATE;
  const HWND control = w.control.get();
  // The font first: a combo box and a tab control size their parts after it.
  SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  switch (w.kind) {
    case WidgetKind::kComboBox:
      SetWindowPos(control, nullptr, x, y, width, ScaleToDpi(at.height + kComboListHeight, dpi), kHow);
      SetComboClosedHeight(control, height);
      break;
    case WidgetKind::kSpinField: {
      const int arrows = SpinArrowsWidth(at, dpi);
      SetWindowPos(control, nullptr, x, y, width - arrows, height, kHow);
      SendMessageW(w.arrows.get(), WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
      SetWindowPos(w.arrows.get(), nullptr, x + width - arrows, y, arrows, height, kHow);
      break;
    }
    case WidgetKind::kPanel:
      SetWindowPos(control, nullptr, x, y, width, height, kHow);
      PlacePanelPages(w);
      break;
    default:
      SetWindowPos(control, nullptr, x, y, width, height, kHow);
      break;
  }
  InvalidateRect(control, nullptr, TRUE);
}

void SetWidgetColor(int widget, int which, int colour) {
  WidgetRecord* w = FindWidget(widget);
  if (!w || (which != kTextColour && which != kBackgroundColour)) return;
  if (w->kind != WidgetKind::kText && w->kind != WidgetKind::kStringField && w->kind != WidgetKind::kSpinField) return;
  const int value = colour < 0 ? -1 : (colour & 0xFFFFFF);
  if (which == kTextColour) {
    w->text_colour = value;
  } else {
    w->background_colour = value;
    w->background_brush.reset(value < 0 ? nullptr : CreateSolidBrush(static_cast<COLORREF>(value)));
  }
  RedrawWindow(w->control.get(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_FRAME);
}

int MakeColor(int red, int green, int blue) {
  return red + 256 * green + 65536 * blue;
}

}  // namespace qx
