// Fonts: created from a face name and a size in points, sized for the display's vertical DPI. A
// window on a monitor of another DPI gets the same face made for its DPI; those copies belong to
// the font they were made from and go with it.

#include <windows.h>

#include <memory>

#include "runtime/win32/layer_state.h"
#include "runtime/platform/text_encoding.h"
#include "runtime/win32/widgets.h"

namespace qx {

namespace {

HFONT CreatePointFont(const std::wstring& face, int points, int options, int dpi) {
  return CreateFontW(-MulDiv(points, dpi, 72), 0, 0, 0, (options & kFontBold) ? FW_BOLD : FW_NORMAL,
                     (options & kFontItalic) ? TRUE : FALSE, (options & kFontUnderline) ? TRUE : FALSE,
                     (options & kFontStrikeOut) ? TRUE : FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                     CLIP_DEFAULT_PRECIS, (options & kFontHighQuality) ? ANTIALIASED_QUALITY : DEFAULT_QUALITY,
                     DEFAULT_PITCH | FF_DONTCARE, face.c_str());
}

// A font the platform made for the system DPI, made again for another DPI.
HFONT ScaledCopy(LOGFONTW log, int dpi, std::map<int, UniqueHfont>& made) {
  UniqueHfont& font = made[dpi];
  if (!font) {
    const int system = SystemDpi();
    log.lfHeight = MulDiv(log.lfHeight, dpi, system);
    log.lfWidth = MulDiv(log.lfWidth, dpi, system);
    font.reset(CreateFontIndirectW(&log));
  }
  return font.get();
}

}  // namespace

FontRecord::~FontRecord() {
  // A control must never keep drawing with a deleted font.
  ForgetFontInWidgets(ref);
}

int NewFont(int number, const std::string& face, int points, int options) {
  LayerState* s = EnsureLayer();
  if (!s || number < kAnonymousNumber) return kNoObject;
  auto record = std::make_unique<FontRecord>();
  record->face = WidenText(face);
  record->points = points;
  record->options = options;
  record->font.reset(CreatePointFont(record->face, points, options, SystemDpi()));
  if (!record->font) return kNoObject;
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

HFONT FontAtDpi(int font, int dpi) {
  LayerState* s = Layer();
  const HFONT stock = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
  if (!s) return stock;
  if (FontRecord* f = font == kGuiFont ? nullptr : s->fonts.Find(font)) {
    if (dpi == SystemDpi()) return f->font.get();
    UniqueHfont& made = f->at_other_dpi[dpi];
    if (!made) made.reset(CreatePointFont(f->face, f->points, f->options, dpi));
    if (made) return made.get();
  }
  if (dpi == SystemDpi()) return stock;
  LOGFONTW log{};
  if (!GetObjectW(stock, sizeof(log), &log)) return stock;
  const HFONT scaled = ScaledCopy(log, dpi, s->gui_fonts);
  return scaled ? scaled : stock;
}

HFONT StatusFontAtDpi(int dpi) {
  LayerState* s = Layer();
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof(metrics);
  if (!s || !SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0)) return nullptr;
  return ScaledCopy(metrics.lfStatusFont, dpi, s->status_fonts);
}

}  // namespace qx
