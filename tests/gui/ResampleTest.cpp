// Art redrawn at another scale: what the eye must not notice (a flat colour
// stays flat, edges keep their colour next to transparency) and what the
// filters promise (a shrunk pixel is the mean of its area, a grown one lies
// between its neighbours).
#include <gtest/gtest.h>

#include <array>

#include "image/Resample.h"

namespace zvx::gui {
namespace {

Surface greys(std::initializer_list<std::uint8_t> values) {
  Surface row(static_cast<int>(values.size()), 1);
  int x = 0;
  for (std::uint8_t v : values) row.at(x++, 0) = makePixel(v, v, v);
  return row;
}

TEST(ResampleTest, FlatColourStaysFlatAtEveryScale) {
  const Pixel teal = makePixel(0x20, 0xB0, 0xA0);
  for (const auto& [w, h] : {std::pair{60, 40}, {45, 30}, {7, 3}, {30, 20}, {1, 1}}) {
    const Surface scaled = resample(Surface(30, 20, teal), w, h);
    ASSERT_TRUE(scaled.width() == w && scaled.height() == h) << w << "x" << h;
    for (Pixel p : scaled.pixels()) ASSERT_EQ(p, teal) << w << "x" << h;
  }
}

TEST(ResampleTest, ShrinkingAveragesEachPixelsAreaAndGrowingInterpolatesBetweenNeighbours) {
  const Surface half = resample(greys({0, 90, 180, 255}), 2, 1);
  EXPECT_EQ(redOf(half.at(0, 0)), 45);
  EXPECT_EQ(redOf(half.at(1, 0)), 218);  // (180 + 255) / 2, rounded
  // Three columns into two: the middle one is shared half and half.
  const Surface two = resample(greys({0, 150, 255}), 2, 1);
  EXPECT_EQ(redOf(two.at(0, 0)), 50);   // (0 + 150 / 2) / 1.5
  EXPECT_EQ(redOf(two.at(1, 0)), 220);  // (75 + 255) / 1.5
  // Centres at -0.25, 0.25, 0.75, 1.25 source pixels: the ends stay, the middle ones mix 3:1.
  const Surface four = resample(greys({0, 200}), 4, 1);
  for (int x = 0; x < 4; ++x) EXPECT_EQ(redOf(four.at(x, 0)), (std::array{0, 50, 150, 200}[x])) << x;
}

TEST(ResampleTest, TransparencyLendsNoColourToTheEdgeAndEmptyOrHugeSizesAreRefused) {
  // Opaque red beside fully transparent black: half-transparent red, not dark red.
  Surface edge(2, 1, makePixel(0, 0, 0, 0));
  edge.at(0, 0) = makePixel(255, 0, 0);
  const Pixel one = resample(edge, 1, 1).at(0, 0);
  EXPECT_TRUE(redOf(one) == 255 && alphaOf(one) == 128) << std::hex << one;
  EXPECT_EQ(alphaOf(resample(Surface(4, 4, 0), 2, 2).at(0, 0)), 0);
  for (const auto& [w, h] : {std::pair{0, 5}, {100000, 2}, {16384, 16384}}) EXPECT_TRUE(resample(Surface(2, 2), w, h).empty());
  EXPECT_TRUE(resample(Surface(), 5, 5).empty());
}

}  // namespace
}  // namespace zvx::gui
