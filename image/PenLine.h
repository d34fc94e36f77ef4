// Bresenham's line drawn with a square pen: the one line walker of the
// toolkit's drawing and of the platform's own menus and message boxes.
#pragma once

#include <cstdlib>

namespace zvx::gui {

// Calls plot(x, y) for every pixel a square pen `width` pixels wide covers
// on its way from (x0, y0) to (x1, y1), both ends included; pixels where the
// pen's steps overlap come more than once. 64-bit steps: callers may walk
// lines far longer than any surface once they clipped them.
template <typename Plot>
void walkPenLine(long long x0, long long y0, long long x1, long long y1, int width, Plot&& plot) {
  const int half = (width - 1) / 2;
  long long x = x0, y = y0;
  const long long dx = std::llabs(x1 - x), dy = -std::llabs(y1 - y);
  const int sx = x < x1 ? 1 : -1, sy = y < y1 ? 1 : -1;
  long long error = dx + dy;
  for (;;) {
    for (int oy = -half; oy < width - half; ++oy)
      for (int ox = -half; ox < width - half; ++ox) plot(static_cast<int>(x) + ox, static_cast<int>(y) + oy);
    if (x == x1 && y == y1) break;
    const long long twice = 2 * error;
    if (twice >= dy) {
      error += dy;
      x += sx;
    }
    if (twice <= dx) {
      error += dx;
      y += sy;
    }
  }
}

}  // namespace zvx::gui
