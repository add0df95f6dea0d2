// The status bar: a common-controls status window along the bottom of a layer window, re-laid-out
// by the window procedure whenever the window's size changes. Field widths and the minimum height
// are pixels at 96 DPI, scaled to the window's DPI.

#include <windows.h>

#include <commctrl.h>

#include <memory>
#include <vector>

#include "runtime/win32/layer_state.h"
#include "runtime/win32/shell_services.h"
#include "runtime/platform/text_encoding.h"

namespace qx {

namespace {

constexpr int kMinimumHeight = 18;
constexpr size_t kMaximumFields = 256;

StatusBarRecord* FindStatusBar(int ref) {
  LayerState* s = Layer();
  return s ? s->status_bars.Find(ref) : nullptr;
}

LRESULT CALLBACK StatusBarProc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
  if (msg == WM_NCDESTROY) {
    // Gone with its window: forget the record without destroying the control a second time.
    if (LayerState* s = Layer()) {
      for (int ref : s->status_bars.References()) {
        StatusBarRecord* bar = s->status_bars.Find(ref);
        if (!bar || bar->bar.get() != hwnd) continue;
        bar->bar.release();
        s->status_bars.Erase(ref);
        if (s->current_status_bar == ref) s->current_status_bar = kAnonymousNumber;
      }
    }
  }
  return CallInterposedProc(hwnd, msg, wparam, lparam);
}

// Sizes the bar's parts for the DPI. The right edges are scaled rather than the widths, so the
// last field still ends where the window's scaled client area does.
void ApplyStatusLayout(const StatusBarRecord& bar, int dpi) {
  const HWND control = bar.bar.get();
  SendMessageW(control, SB_SETMINHEIGHT, static_cast<WPARAM>(ScaleToDpi(kMinimumHeight, dpi)), 0);
  std::vector<int> edges;
  for (int edge : bar.right_edges) edges.push_back(ScaleToDpi(edge, dpi));
  if (!edges.empty()) SendMessageW(control, SB_SETPARTS, edges.size(), reinterpret_cast<LPARAM>(edges.data()));
  SendMessageW(control, WM_SIZE, 0, 0);
}

// The field's text as the control holds it (alignment tabs included), and its border style.
std::wstring FieldText(HWND bar, int field, WORD* style) {
  const LRESULT length = SendMessageW(bar, SB_GETTEXTLENGTHW, static_cast<WPARAM>(field), 0);
  std::wstring text(static_cast<size_t>(LOWORD(length)) + 1, L'\0');
  const LRESULT got = SendMessageW(bar, SB_GETTEXTW, static_cast<WPARAM>(field), reinterpret_cast<LPARAM>(text.data()));
  text.resize(wcslen(text.c_str()));
  if (style) *style = HIWORD(got);
  return text;
}

}  // namespace

StatusBarRecord::~StatusBarRecord() = default;

void RescaleStatusBars(HWND owner, int dpi) {
  LayerState* s = Layer();
  if (!s) return;
  for (int ref : s->status_bars.References()) {
    StatusBarRecord* bar = s->status_bars.Find(ref);
    if (!bar || bar->owner != owner) continue;
    // The bar picks the system's status font itself; at another DPI it gets that font made anew.
    if (const HFONT font = StatusFontAtDpi(dpi))
      SendMessageW(bar->bar.get(), WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    ApplyStatusLayout(*bar, dpi);
  }
}

void RelayoutStatusBars(HWND owner) {
  LayerState* s = Layer();
  if (!s) return;
  for (int ref : s->status_bars.References()) {
    StatusBarRecord* bar = s->status_bars.Find(ref);
    if (bar && bar->owner == owner) SendMessageW(bar->bar.get(), WM_SIZE, 0, 0);
  }
}

int NewStatusBar(int number, HWND__* window) {
  LayerState* s = EnsureLayer();
  if (!s || number < kAnonymousNumber || !window || !IsWindow(window)) return kNoObject;
  const HWND bar = CreateWindowExW(0, STATUSCLASSNAMEW, L"", WS_CHILD | WS_VISIBLE, 0, 0, 0, 0, window, nullptr,
                                   s->instance, nullptr);
  if (!bar) return kNoObject;
  InterposeWindowProc(bar, StatusBarProc);
  auto record = std::make_unique<StatusBarRecord>();
  record->owner = window;
  record->bar.reset(bar);
  const int dpi = DpiOfWindow(window);
  if (dpi != SystemDpi()) {
    if (const HFONT font = StatusFontAtDpi(dpi)) SendMessageW(bar, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  }
  ApplyStatusLayout(*record, dpi);
  const int ref = number == kAnonymousNumber ? s->status_bars.NextAnonymousRef() : number;
  record->ref = ref;
  s->status_bars.Store(number, std::move(record));
  s->current_status_bar = ref;
  return ref;
}

void AddStatusField(int width) {
  StatusBarRecord* bar = FindStatusBar(Layer() ? Layer()->current_status_bar : kAnonymousNumber);
  if (!bar || bar->right_edges.size() >= kMaximumFields) return;
  const int left = bar->right_edges.empty() ? 0 : bar->right_edges.back();
  bar->right_edges.push_back(left + width);
  ApplyStatusLayout(*bar, DpiOfWindow(bar->owner));
}

void SetStatusText(int statusBar, int field, const std::string& text, int options) {
  StatusBarRecord* bar = FindStatusBar(statusBar);
  if (!bar || field < 0 || field > 255) return;
  // The control centres the text after one tab and right-aligns it after two.
  std::wstring shown;
  if (options & kStatusCentred)
    shown = L"\t";
  else if (options & kStatusRight)
    shown = L"\t\t";
  shown += WidenText(text);
  WORD style = 0;
  if (options & kStatusRaised) style |= SBT_POPOUT;
  if (options & kStatusNoBorder) style |= SBT_NOBORDERS;
  // A field that reads so already, in the same style, is left alone: setting it again would
  // repaint the bar for nothing (the clock sets the date every second).
  WORD shown_style = 0;
  if (FieldText(bar->bar.get(), field, &shown_style) == shown && shown_style == style) return;
  SendMessageW(bar->bar.get(), SB_SETTEXTW, static_cast<WPARAM>(field) | style,
               reinterpret_cast<LPARAM>(shown.c_str()));
}

std::string GetStatusText(int statusBar, int field) {
  StatusBarRecord* bar = FindStatusBar(statusBar);
  if (!bar || field < 0 || field > 255) return {};
  const std::wstring text = FieldText(bar->bar.get(), field, nullptr);
  const size_t start = text.find_first_not_of(L'\t');
  return start == std::wstring::npos ? std::string() : NarrowText(text.substr(start));
}

}  // namespace qx
