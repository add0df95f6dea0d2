#include "history/chart_paint.h"

#include <algorithm>
#include <cmath>

namespace qx {
namespace {

int Channel(Rgb colour, int shift) {
  return static_cast<int>((colour >> shift) & 0xFF);
}

int Scaled(int value, int dpi) {
  return std::max(1, static_cast<int>(std::lround(static_cast<double>(value) * dpi / 96.0)));
}

// How much of the pixel [p, p+1) the interval [from, to) covers.
float Overlap(int p, float from, float to) {
  return std::clamp(std::min(to, static_cast<float>(p + 1)) - std::max(from, static_cast<float>(p)), 0.0f, 1.0f);
}

}  // namespace

void PixelBuffer::Reset(int w, int h, Rgb fill) {
  width = std::max(w, 0);
  height = std::max(h, 0);
  pixels.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), fill);
}

void PixelBuffer::Blend(int x, int y, Rgb colour, float coverage) {
  if (x < 0 || y < 0 || x >= width || y >= height || coverage <= 0) return;
  Rgb& p = pixels[static_cast<std::size_t>(y) * width + x];
  if (coverage >= 1) {
    p = colour;
    return;
  }
  const int a = static_cast<int>(coverage * 256);
  Rgb mixed = 0;
  for (int shift : {16, 8, 0}) {
    const int over = Channel(colour, shift), under = Channel(p, shift);
    mixed |= static_cast<Rgb>(under + (((over - under) * a) >> 8)) << shift;
  }
  p = mixed;
}

void PixelBuffer::FillRect(float left, float top, float right, float bottom, Rgb colour, float opacity) {
  if (right <= left || bottom <= top) return;
  const int x0 = std::max(0, static_cast<int>(std::floor(left)));
  const int x1 = std::min(width, static_cast<int>(std::ceil(right)));
  const int y0 = std::max(0, static_cast<int>(std::floor(top)));
  const int y1 = std::min(height, static_cast<int>(std::ceil(bottom)));
  for (int y = y0; y < y1; ++y) {
    const float row = Overlap(y, top, bottom) * opacity;
    for (int x = x0; x < x1; ++x) Blend(x, y, colour, row * Overlap(x, left, right));
  }
}

void PixelBuffer::DrawLine(float x0, float y0, float x1, float y1, float line_width, Rgb colour) {
  const float half = line_width / 2;
  const int left = std::max(0, static_cast<int>(std::floor(std::min(x0, x1) - half - 1)));
  const int right = std::min(width - 1, static_cast<int>(std::ceil(std::max(x0, x1) + half + 1)));
  const int top = std::max(0, static_cast<int>(std::floor(std::min(y0, y1) - half - 1)));
  const int bottom = std::min(height - 1, static_cast<int>(std::ceil(std::max(y0, y1) + half + 1)));
  const float dx = x1 - x0, dy = y1 - y0;
  const float length2 = dx * dx + dy * dy;
  for (int y = top; y <= bottom; ++y) {
    for (int x = left; x <= right; ++x) {
      // The distance from the pixel's centre to the segment; a pixel half a pixel inside the
      // edge is covered, one half a pixel outside is not, and between them it fades.
      const float px = static_cast<float>(x) + 0.5f - x0, py = static_cast<float>(y) + 0.5f - y0;
      const float t = length2 > 0 ? std::clamp((px * dx + py * dy) / length2, 0.0f, 1.0f) : 0.0f;
      const float ex = px - t * dx, ey = py - t * dy;
      const float distance = std::sqrt(ex * ex + ey * ey);
      Blend(x, y, colour, std::clamp(half + 0.5f - distance, 0.0f, 1.0f));
    }
  }
}

void PixelBuffer::DrawRule(int left, int right, float y, int thickness, Rgb colour, int dash) {
  const int row = static_cast<int>(std::floor(y)) - (thickness - 1) / 2;
  for (int r = row; r < row + thickness; ++r) {
    for (int x = std::max(left, 0); x < std::min(right, width); ++x) {
      if (dash > 0 && ((x - left) / dash) % 2 == 1) continue;
      Blend(x, r, colour, 1);
    }
  }
}

void PaintChart(const ChartLayout& layout, const ChartFrame& frame, const ChartColours& colours, PixelBuffer& buffer) {
  buffer.Reset(frame.width, frame.height, colours.background);
  const PixelRect& plot = layout.plot;
  const int hairline = Scaled(1, frame.dpi);
  for (const ChartTick& tick : layout.temperature_ticks)
    buffer.DrawRule(plot.left, plot.right, tick.position, hairline, colours.grid);
  for (const ChartTick& tick : layout.time_ticks) {
    const int x = static_cast<int>(std::floor(tick.position));
    buffer.FillRect(static_cast<float>(x), static_cast<float>(plot.top), static_cast<float>(x + hairline),
                    static_cast<float>(plot.bottom), colours.grid);
  }

  // The band first, then the line over it. Each column's band spans its lowest to its highest
  // reading; a column with one steady value still shows a sliver.
  const float least = 0.75f * static_cast<float>(hairline);
  for (std::size_t i = 0; i < layout.columns.size(); ++i) {
    const ChartColumn& c = layout.columns[i];
    if (!c.has_data) continue;
    const float x = static_cast<float>(plot.left) + static_cast<float>(i);
    float top = layout.YOf(c.max_c), bottom = layout.YOf(c.min_c);
    if (bottom - top < least) {
      const float middle = (top + bottom) / 2;
      top = middle - least / 2;
      bottom = middle + least / 2;
    }
    buffer.FillRect(x, top, x + 1, bottom, colours.band);
  }
  const float line_width = 1.6f * static_cast<float>(frame.dpi) / 96.0f;
  for (std::size_t i = 0; i < layout.columns.size(); ++i) {
    const ChartColumn& c = layout.columns[i];
    if (!c.has_data) continue;
    const float x = static_cast<float>(plot.left) + static_cast<float>(i) + 0.5f;
    const float y = layout.YOf(c.mean_c);
    const bool joined_before = c.joins_previous;
    const bool joined_after = i + 1 < layout.columns.size() && layout.columns[i + 1].joins_previous;
    if (joined_before) {
      const ChartColumn& b = layout.columns[i - 1];
      buffer.DrawLine(x - 1, layout.YOf(b.mean_c), x, y, line_width, colours.line);
    } else if (!joined_after) {
      buffer.DrawLine(x, y, x, y, line_width, colours.line);  // a reading alone: a dot
    }
  }

  for (const ChartLevelLine& level : layout.levels) {
    const bool alarm = level.outlet == 0;
    const Rgb colour = alarm ? colours.alarm : colours.outlets[static_cast<std::size_t>(level.outlet - 1)];
    buffer.DrawRule(plot.left, plot.right, level.y, hairline, colour, alarm ? Scaled(5, frame.dpi) : 0);
  }

  for (std::size_t k = 0; k < kChartOutlets; ++k) {
    const PixelRect& strip = layout.strips[k];
    const auto top = static_cast<float>(strip.top), bottom = static_cast<float>(strip.bottom);
    buffer.FillRect(static_cast<float>(strip.left), top, static_cast<float>(strip.right), bottom, colours.strip_off);
    for (std::size_t i = 0; i < layout.columns.size(); ++i) {
      const ChartColumn& c = layout.columns[i];
      if (!c.recorded[k] || c.on_share[k] <= 0) continue;
      const float x = static_cast<float>(strip.left) + static_cast<float>(i);
      buffer.FillRect(x, top, x + 1, bottom, colours.outlets[k], c.on_share[k]);
    }
  }

  // The plot's frame last, so nothing drawn near an edge covers it.
  const auto l = static_cast<float>(plot.left), t = static_cast<float>(plot.top);
  const auto r = static_cast<float>(plot.right), b = static_cast<float>(plot.bottom);
  const auto h = static_cast<float>(hairline);
  buffer.FillRect(l - h, t, l, b + h, colours.frame);
  buffer.FillRect(l - h, b, r, b + h, colours.frame);
}

}  // namespace qx
