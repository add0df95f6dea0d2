// The canvas: a child window whose whole picture the program paints through a callback. Each
// paint goes to an off-screen bitmap first and reaches the screen in one copy, and the window
// erases no background of its own, so a canvas repainted while it is dragged larger or follows
// the mouse does not flicker.

#include <windows.h>

#include "runtime/platform/text_encoding.h"
#include "runtime/win32/layer_messages.h"
#include "runtime/win32/layer_state.h"

namespace qx {

const wchar_t kCanvasClass[] = L"QuellarotixCanvas";

namespace {

class DcSurface final : public CanvasSurface {
 public:
  DcSurface(HDC dc, int width, int height, int dpi, HFONT font) : dc_(dc), width_(width), height_(height), dpi_(dpi) {
    old_font_ = SelectObject(dc_, font);
    SetBkMode(dc_, TRANSPARENT);
  }
  ~DcSurface() override { SelectObject(dc_, old_font_); }
  DcSurface(const DcSurface&) = delete;
  DcSurface& operator=(const DcSurface&) = delete;

  int Width() const override { return width_; }
  int Height() const override { return height_; }
  int Dpi() const override { return dpi_; }

  void PutPixels(const std::uint32_t* pixels, int width, int height) override {
    if (!pixels || width <= 0 || height <= 0) return;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top row first
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    SetDIBitsToDevice(dc_, 0, 0, static_cast<DWORD>(width), static_cast<DWORD>(height), 0, 0, 0,
                      static_cast<UINT>(height), pixels, &info, DIB_RGB_COLORS);
  }

  void PutText(int x, int y, const std::string& text, int colour, int align) override {
    const std::wstring wide = WidenText(text);
    UINT how = TA_TOP | TA_NOUPDATECP;
    how |= (align & kTextCentred) ? TA_CENTER : (align & kTextRight) ? TA_RIGHT : TA_LEFT;
    SetTextAlign(dc_, how);
    SetTextColor(dc_, static_cast<COLORREF>(colour & 0xFFFFFF));
    TextOutW(dc_, x, y, wide.c_str(), static_cast<int>(wide.size()));
  }

  int TextWidth(const std::string& text) override {
    const std::wstring wide = WidenText(text);
    SIZE size{};
    GetTextExtentPoint32W(dc_, wide.c_str(), static_cast<int>(wide.size()), &size);
    return size.cx;
  }

  int TextHeight() override {
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc_, &metrics);
    return metrics.tmHeight;
  }

 private:
  HDC dc_;
  int width_, height_, dpi_;
  HGDIOBJ old_font_ = nullptr;
};

void Paint(HWND hwnd, WidgetRecord* w) {
  PAINTSTRUCT ps;
  const HDC screen = BeginPaint(hwnd, &ps);
  RECT client{};
  GetClientRect(hwnd, &client);
  const int width = client.right, height = client.bottom;
  if (screen && width > 0 && height > 0) {
    const HDC memory = CreateCompatibleDC(screen);
    const HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    if (memory && bitmap) {
      const HGDIOBJ old = SelectObject(memory, bitmap);
      FillRect(memory, &client, GetSysColorBrush(COLOR_WINDOW));
      const int dpi = DpiOfWindow(GetAncestor(hwnd, GA_ROOT));
      if (w && w->painter) {
        DcSurface surface(memory, width, height, dpi, FontAtDpi(w->font, dpi));
        // The callback may destroy widgets, this one too: it is called with a copy.
        const CanvasPainter painter = w->painter;
        painter(surface);
      }
      BitBlt(screen, 0, 0, width, height, memory, 0, 0, SRCCOPY);
      SelectObject(memory, old);
    }
    if (bitmap) DeleteObject(bitmap);
    if (memory) DeleteDC(memory);
  }
  EndPaint(hwnd, &ps);
}

void Report(HWND hwnd, const WidgetRecord& w, int type) {
  if (const HWND top = GetAncestor(hwnd, GA_ROOT))
    PostMessageW(top, kMsgWidgetEvent, static_cast<WPARAM>(w.ref), static_cast<LPARAM>(type));
}

LRESULT CALLBACK CanvasProc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
  WidgetRecord* w = FindWidgetByControl(hwnd);
  switch (msg) {
    case WM_ERASEBKGND:
      return 1;  // the paint covers every pixel
    case WM_PAINT:
      Paint(hwnd, w);
      return 0;
    case WM_MOUSEMOVE: {
      if (!w) break;
      const int x = static_cast<short>(LOWORD(lparam)), y = static_cast<short>(HIWORD(lparam));
      if (w->mouse_x == x && w->mouse_y == y) return 0;
      if (w->mouse_x < 0) {
        TRACKMOUSEEVENT track{sizeof(track), TME_LEAVE, hwnd, 0};
        TrackMouseEvent(&track);
      }
      w->mouse_x = x;
      w->mouse_y = y;
      Report(hwnd, *w, kCanvasMouseMoved);
      return 0;
    }
    case WM_MOUSELEAVE:
      if (!w) break;
      w->mouse_x = w->mouse_y = -1;
      Report(hwnd, *w, kCanvasMouseLeft);
      return 0;
    default:
      break;
  }
  return DefWindowProcW(hwnd, msg, wparam, lparam);
}

}  // namespace

bool RegisterCanvasClass(HINSTANCE instance) {
  static bool registered = false;
  if (registered) return true;
  WNDCLASSEXW cls{};
  cls.cbSize = sizeof(cls);
  cls.lpfnWndProc = CanvasProc;
  cls.hInstance = instance;
  cls.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_CROSS));
  cls.lpszClassName = kCanvasClass;
  registered = RegisterClassExW(&cls) || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
  return registered;
}

void RedrawCanvasOnUiThread(int widget) {
  const WidgetRecord* w = FindWidget(widget);
  if (w && w->kind == WidgetKind::kCanvas) InvalidateRect(w->control.get(), nullptr, FALSE);
}

bool CanvasMousePosition(int widget, int& x, int& y) {
  const WidgetRecord* w = FindWidget(widget);
  if (!w || w->kind != WidgetKind::kCanvas || w->mouse_x < 0) return false;
  x = w->mouse_x;
  y = w->mouse_y;
  return true;
}

}  // namespace qx
