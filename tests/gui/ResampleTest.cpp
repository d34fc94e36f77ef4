// Art redrawn at another scale: what the eye must not notice (a flat colour
// stays flat, edges keep their colour next to transparency) and what the
// filters promise (a shrunk pixel is the mean of its area, a grown one lies
// between its neighbours).
#include <gtest/gtest.h>

#include "image/Resample.h"

namespace zvx::gui {
namespace {

TEST(ResampleTest, FlatColourStaysFlatAtEveryScale) {
  const Pixel teal = makePixel(0x20, 0xB0, 0xA0);
  const Surface flat(30, 20, teal);
  for (const auto& [w, h] : {std::pair{60, 40}, {45, 30}, {15, 10}, {7, 3}, {30, 20}, {1, 1}}) {
    const Surface scaled = resample(flat, w, h);
    ASSERT_EQ(scaled.width(), w);
    ASSERT_EQ(scaled.height(), h);
    for (Pixel p : scaled.pixels()) ASSERT_EQ(p, teal) << w << "x" << h;
  }
}

TEST(ResampleTest, ShrinkingAveragesTheAreaEachPixelCovers) {
  // Columns of 0, 90, 180, 255 grey: halved, each pixel is the mean of its pair.
  Surface stripes(4, 2);
  const std::uint8_t greys[] = {0, 90, 180, 255};
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 4; ++x) stripes.at(x, y) = makePixel(greys[x], greys[x], greys[x]);
  const Surface half = resample(stripes, 2, 1);
  EXPECT_EQ(redOf(half.at(0, 0)), 45);
  EXPECT_EQ(redOf(half.at(1, 0)), 218);  // (180 + 255) / 2, rounded
  // Three columns into two: the middle one is shared half and half.
  Surface three(3, 1);
  three.at(0, 0) = makePixel(0, 0, 0);
  three.at(1, 0) = makePixel(150, 150, 150);
  three.at(2, 0) = makePixel(255, 255, 255);
  const Surface two = resample(three, 2, 1);
  EXPECT_EQ(redOf(two.at(0, 0)), 50);   // (0 + 150 / 2) / 1.5
  EXPECT_EQ(redOf(two.at(1, 0)), 220);  // (75 + 255) / 1.5
}

TEST(ResampleTest, GrowingInterpolatesBetweenNeighboursAndKeepsTheEnds) {
  Surface pair(2, 1);
  pair.at(0, 0) = makePixel(0, 0, 0);
  pair.at(1, 0) = makePixel(200, 200, 200);
  const Surface four = resample(pair, 4, 1);
  // Centres at -0.25, 0.25, 0.75, 1.25 source pixels: the ends stay, the middle ones mix 3:1.
  EXPECT_EQ(redOf(four.at(0, 0)), 0);
  EXPECT_EQ(redOf(four.at(1, 0)), 50);
  EXPECT_EQ(redOf(four.at(2, 0)), 150);
  EXPECT_EQ(redOf(four.at(3, 0)), 200);
}

TEST(ResampleTest, TransparencyLendsNoColourToTheEdge) {
  // Opaque red beside fully transparent black: the mixed pixel is half-transparent red, not dark red.
  Surface edge(2, 1);
  edge.at(0, 0) = makePixel(255, 0, 0);
  edge.at(1, 0) = makePixel(0, 0, 0, 0);
  const Surface one = resample(edge, 1, 1);
  EXPECT_EQ(redOf(one.at(0, 0)), 255);
  EXPECT_EQ(alphaOf(one.at(0, 0)), 128);
  EXPECT_EQ(alphaOf(resample(Surface(4, 4, 0), 2, 2).at(0, 0)), 0);
}

TEST(ResampleTest, RefusesEmptyAndHugeSizes) {
  const Surface small(2, 2);
  EXPECT_TRUE(resample(small, 0, 5).empty());
  EXPECT_TRUE(resample(Surface(), 5, 5).empty());
  EXPECT_TRUE(resample(small, 100000, 2).empty());
  EXPECT_TRUE(resample(small, 16384, 16384).empty());
}

}  // namespace
}  // namespace zvx::gui
