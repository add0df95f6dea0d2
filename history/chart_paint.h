#pragma once
// The chart's pixels, anti-aliased, drawn into a plain buffer that the window copies to the
// screen in one piece. Drawing here rather than through a system drawing library keeps the
// program small and makes the picture the same on every Windows version and under Wine; the
// chart needs only filled spans, soft lines and straight rules, which are little code. The texts
// are left to the window, which draws them with the system's font at the window's DPI.

#include <array>
#include <cstdint>
#include <vector>

#include "history/chart_layout.h"

namespace qx {

// 0x00RRGGBB, the layout of a 32-bit top-down device-independent bitmap.
using Rgb = std::uint32_t;

[[nodiscard]] constexpr Rgb MakeRgb(int red, int green, int blue) {
  return (static_cast<Rgb>(red) << 16) | (static_cast<Rgb>(green) << 8) | static_cast<Rgb>(blue);
}

struct PixelBuffer {
  int width = 0, height = 0;
  std::vector<Rgb> pixels;  // row by row, top row first

  void Reset(int w, int h, Rgb fill);
  [[nodiscard]] Rgb At(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x]; }
  // Lays `colour` over the pixel with the given coverage (0..1); outside the buffer nothing.
  void Blend(int x, int y, Rgb colour, float coverage);
  // A rectangle with fractional edges; the edge pixels get the part of them it covers.
  void FillRect(float left, float top, float right, float bottom, Rgb colour, float opacity = 1);
  // A line `width` pixels wide with round ends, its edges anti-aliased.
  void DrawLine(float x0, float y0, float x1, float y1, float width, Rgb colour);
  // A rule across [left, right) at the pixel row holding y, `thickness` whole pixels so it stays
  // sharp; dashed when dash > 0 (dash pixels on, dash off).
  void DrawRule(int left, int right, float y, int thickness, Rgb colour, int dash = 0);
};

// The colours of the chart. The outlets take the first four colours of the Okabe-Ito palette,
// which stay apart for the common forms of colour blindness.
struct ChartColours {
  Rgb background = MakeRgb(255, 255, 255);
  Rgb frame = MakeRgb(160, 160, 160);
  Rgb grid = MakeRgb(232, 232, 232);
  Rgb line = MakeRgb(0, 114, 178);
  Rgb band = MakeRgb(178, 211, 235);
  Rgb strip_off = MakeRgb(240, 240, 240);
  Rgb alarm = MakeRgb(213, 0, 0);
  std::array<Rgb, kChartOutlets> outlets = {MakeRgb(230, 159, 0), MakeRgb(86, 180, 233), MakeRgb(0, 158, 115),
                                            MakeRgb(204, 121, 167)};
};

// Paints everything of the chart but its texts into `buffer`, which it sizes to the frame.
void PaintChart(const ChartLayout& layout, const ChartFrame& frame, const ChartColours& colours, PixelBuffer& buffer);

}  // namespace qx
