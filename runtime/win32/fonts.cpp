// Fonts: created from a face name and a size in points, sized for the display's vertical DPI.

#include <windows.h>

#include <memory>

#include "runtime/win32/layer_state.h"
#include "runtime/win32/text_encoding.h"
#include "runtime/win32/widgets.h"

namespace qx {

FontRecord::~FontRecord() {
  // A control must never keep drawing with a deleted font.
  ForgetFontInWidgets(font.get());
}

int NewFont(int number, const std::string& face, int points, int options) {
  LayerState* s = EnsureLayer();
  if (!s || number < kAnonymousNumber) return kNoObject;
  const HDC screen = GetDC(nullptr);
  const int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 96;
  if (screen) ReleaseDC(nullptr, screen);
  const int height = -MulDiv(points, dpi, 72);
  const HFONT font = CreateFontW(
      height, 0, 0, 0, (options & kFontBold) ? FW_BOLD : FW_NORMAL, (options & kFontItalic) ? TRUE : FALSE,
      (options & kFontUnderline) ? TRUE : FALSE, (options & kFontStrikeOut) ? TRUE : FALSE, DEFAULT_CHARSET,
      OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, (options & kFontHighQuality) ? ANTIALIASED_QUALITY : DEFAULT_QUALITY,
      DEFAULT_PITCH | FF_DONTCARE, WidenText(face).c_str());
  if (!font) return kNoObject;
  auto record = std::make_unique<FontRecord>();
  record->font.reset(font);
  const int ref = number == kAnonymousNumber ? s->fonts.NextAnonymousRef() : number;
  record->ref = ref;
  s->fonts.Store(number, std::move(record));
  return ref;
}

std::intptr_t FontHandle(int number) {
  LayerState* s = Layer();
  FontRecord* f = s ? s->fonts.Find(number) : nullptr;
  return f ? reinterpret_cast<std::intptr_t>(f->font.get()) : 0;
}

}  // namespace qx
