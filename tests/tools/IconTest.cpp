// zvx's icon as zvx-data makes it: the PNG drawn by the skin's painter, the SVG from the same geometry.

#include <cmath>

#include "image/PngCodec.h"
#include "tests/support/TestSupport.h"
#include "tools/zvx-data/IconArt.h"

namespace zvx::test {
namespace {

using data::IconArt;

// Where a voice's quarter of the ring is at its middle, in a 256-pixel icon.
std::pair<int, int> ringMiddle(int voice) {
  const double angle = -0.75 * M_PI + 1.5 * M_PI * (voice + 0.5) / 4;
  return {static_cast<int>(std::lround(128 + 78 * std::sin(angle))), static_cast<int>(std::lround(128 - 78 * std::cos(angle)))};
}

constexpr gui::Pixel kVoices[4] = {0xFFFF6A3D, 0xFFFFB932, 0xFF2FD3C1, 0xFFE2559E};

TEST(IconTest, ATileWithAKnobRingedInTheVoicesColoursTransparentAround) {
  const TempFolder scratch;
  const ProgramRun run = runProgram(ZVX_DATA_PATH, {"icon", (scratch.path() / "icons").string()}, scratch.path());
  ASSERT_EQ(run.exitCode, 0) << run.err;
  const gui::Surface icon = gui::PngCodec::decode(readBytes(scratch.path() / "icons" / "zvx.png"));
  ASSERT_EQ(std::make_pair(icon.width(), icon.height()), std::make_pair(256, 256));
  EXPECT_EQ(icon.pixels(), IconArt::render(256).pixels());
  for (const auto& [x, y] : {std::pair{0, 0}, {255, 0}, {0, 255}, {255, 255}, {18, 18}})
    EXPECT_EQ(gui::alphaOf(icon.at(x, y)), 0) << x << "," << y;
  for (const auto& [x, y] : {std::pair{128, 128}, {128, 20}}) EXPECT_EQ(gui::alphaOf(icon.at(x, y)), 255) << x << "," << y;
  for (int voice = 0; voice < 4; ++voice) {
    const auto [x, y] = ringMiddle(voice);
    EXPECT_EQ(icon.at(x, y), kVoices[voice]) << voice;
  }

  const std::string svg = readText(scratch.path() / "icons" / "zvx.svg");
  EXPECT_EQ(svg, IconArt::svg());
  EXPECT_EQ(svg.rfind("<?xml", 0), 0u);
  for (const char* colour : {"#FF6A3D", "#FFB932", "#2FD3C1", "#E2559E"}) EXPECT_NE(svg.find(colour), std::string::npos);
  // Drawn by an SVG renderer where one is installed, it is the PNG's picture.
  if (!fs::exists("/usr/bin/rsvg-convert")) GTEST_SKIP() << "rsvg-convert is not installed";
  const ProgramRun drawn = runProgram(
      "/usr/bin/rsvg-convert", {"-w", "256", "-h", "256", "-o", "svg.png", (scratch.path() / "icons" / "zvx.svg").string()}, scratch.path());
  ASSERT_EQ(drawn.exitCode, 0) << drawn.err;
  const gui::Surface other = gui::PngCodec::decode(readBytes(scratch.path() / "svg.png"));
  ASSERT_EQ(other.width(), 256);
  long difference = 0, large = 0;
  for (int y = 0; y < 256; ++y)
    for (int x = 0; x < 256; ++x) {
      const gui::Pixel a = icon.at(x, y), b = other.at(x, y);
      const int colour = std::abs(gui::redOf(a) - gui::redOf(b)) + std::abs(gui::greenOf(a) - gui::greenOf(b)) +
                         std::abs(gui::blueOf(a) - gui::blueOf(b));
      const int d = std::abs(gui::alphaOf(a) - gui::alphaOf(b)) + (gui::alphaOf(a) > 128 ? colour : 0);
      difference += d;
      large += d > 96;
    }
  // Edges are smoothed a little differently; the shapes and colours agree.
  EXPECT_LT(difference / (256.0 * 256.0), 3.0);
  EXPECT_LT(large, 256);
}

}  // namespace
}  // namespace zvx::test
