// The skin's art drawn at twice its size: the same picture, finer. A shape
// covers four times the pixels and, shrunk back, matches the picture drawn
// at its own size; letters are drawn at the larger size.
#include <gtest/gtest.h>

#include "image/Resample.h"
#include "tools/zvx-data/Painter.h"

namespace zvx::data {
namespace {

const Colour kWhite{255, 255, 255};

double ink(const gui::Surface& surface) {
  double total = 0;
  for (gui::Pixel p : surface.pixels()) total += gui::redOf(p) / 255.0;
  return total;
}

int inkRows(const gui::Surface& surface) {
  int rows = 0;
  for (int y = 0; y < surface.height(); ++y) {
    bool any = false;
    for (int x = 0; x < surface.width(); ++x) any = any || gui::redOf(surface.at(x, y)) > 0;
    rows += any;
  }
  return rows;
}

TEST(PainterTest, ArtAtTwiceTheSizeIsTheSamePictureFiner) {
  gui::Surface once(40, 40, gui::makePixel(0, 0, 0)), twice(80, 80, gui::makePixel(0, 0, 0));
  Painter(once).fill(0, 0, 40, 40, Painter::circle(20, 20, 10), kWhite);
  Painter(twice, 2.0).fill(0, 0, 40, 40, Painter::circle(20, 20, 10), kWhite);
  EXPECT_NEAR(ink(once), 314.16, 2.0);
  EXPECT_NEAR(ink(twice), 4 * 314.16, 4.0);
  const gui::Surface shrunk = gui::resample(twice, 40, 40);
  int worst = 0;
  for (int y = 0; y < 40; ++y)
    for (int x = 0; x < 40; ++x) worst = std::max(worst, std::abs(gui::redOf(shrunk.at(x, y)) - gui::redOf(once.at(x, y))));
  EXPECT_LE(worst, 24);  // the edges' smoothing, over one pixel of each

  gui::Surface small(60, 20, gui::makePixel(0, 0, 0)), large(120, 40, gui::makePixel(0, 0, 0));
  Painter(small).text("ZVX", 30, 14, Painter::Font{9, true, 0}, kWhite, Painter::Align::Centre);
  Painter(large, 2.0).text("ZVX", 30, 14, Painter::Font{9, true, 0}, kWhite, Painter::Align::Centre);
  EXPECT_NEAR(inkRows(large), 2 * inkRows(small), 2);
}

}  // namespace
}  // namespace zvx::data
