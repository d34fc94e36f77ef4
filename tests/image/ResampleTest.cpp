// Art redrawn at another scale: flat stays flat, edges keep their colour by
// transparency, shrinking averages, growing interpolates.
#include "image/Resample.h"
#include "tests/support/TestSupport.h"

namespace zvx::gui {
namespace {

Surface greys(std::initializer_list<std::uint8_t> values) {
  Surface row(static_cast<int>(values.size()), 1);
  int x = 0;
  for (std::uint8_t v : values) row.at(x++, 0) = makePixel(v, v, v);
  return row;
}

TEST(ResampleTest, FlatColourStaysFlatShrinkingAveragesEachPixelsAreaAndGrowingInterpolates) {
  const Pixel teal = makePixel(0x20, 0xB0, 0xA0);
  for (const auto& [w, h] : {std::pair{60, 40}, {45, 30}, {7, 3}, {30, 20}, {1, 1}}) {
    const Surface scaled = resample(Surface(30, 20, teal), w, h);
    ASSERT_TRUE(scaled.width() == w && scaled.height() == h) << w << "x" << h;
    for (Pixel p : scaled.pixels()) ASSERT_EQ(p, teal) << w << "x" << h;
  }
  // Four columns into two: the mean of each pair, rounded. Three into two: the
  // middle one shared half and half, (0 + 150 / 2) / 1.5 and (75 + 255) / 1.5.
  // Two into four: centres at -0.25, 0.25, 0.75, 1.25 source pixels, so the
  // ends stay and the middle ones mix 3:1.
  for (const auto& [row, expected] : std::vector<std::pair<Surface, std::vector<int>>>{
           {greys({0, 90, 180, 255}), {45, 218}}, {greys({0, 150, 255}), {50, 220}}, {greys({0, 200}), {0, 50, 150, 200}}}) {
    const Surface scaled = resample(row, static_cast<int>(expected.size()), 1);
    ASSERT_EQ(static_cast<std::size_t>(scaled.width()), expected.size());
    for (int x = 0; x < scaled.width(); ++x) EXPECT_EQ(redOf(scaled.at(x, 0)), expected[static_cast<std::size_t>(x)]) << x;
  }
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
