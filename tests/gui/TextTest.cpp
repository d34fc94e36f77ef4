// The Linux text rasteriser: DejaVu Sans through FreeType into coverage masks of
// a fixed line height; small sizes show in the reviewed editor picture.

#include <numeric>

#include "platform/Text.h"
#include "tests/support/TestSupport.h"

namespace zvx::platform {
namespace {

namespace fs = std::filesystem;

const FontSpec kRegular12{12, false, false};

// The whole of an image, for comparisons in one go: width, height, ascent, coverage.
using Look = std::tuple<int, int, int, std::vector<std::uint8_t>>;
Look look(const TextImage& image) { return {image.width, image.height, image.ascent, image.coverage}; }

long totalCoverage(const TextImage& image) { return std::accumulate(image.coverage.begin(), image.coverage.end(), 0L); }

// Sum of the coverage in columns [x0, x1) of rows [y0, y1).
long coverageIn(const TextImage& image, int x0, int x1, int y0, int y1) {
  long sum = 0;
  for (int y = std::max(y0, 0); y < std::min(y1, image.height); ++y)
    for (int x = std::max(x0, 0); x < std::min(x1, image.width); ++x)
      sum += image.coverage[static_cast<std::size_t>(y * image.width + x)];
  return sum;
}

int topInkRow(const TextImage& image) {
  int y = 0;
  while (y < image.height && coverageIn(image, 0, image.width, y, y + 1) == 0) ++y;
  return y;
}

// The coverage-weighted mean column of the rows [from, to).
double inkCentre(const TextImage& image, int from, int to) {
  double weighted = 0, sum = 0;
  for (int y = from; y < to; ++y)
    for (int x = 0; x < image.width; ++x) {
      double c = image.coverage[static_cast<std::size_t>(y * image.width + x)];
      weighted += c * x;
      sum += c;
    }
  return sum > 0 ? weighted / sum : -1;
}

// An upright l is as far right at its top as at its foot; a slanted one is not.
double lean(const TextImage& l) { return inkCentre(l, 2, l.ascent / 2) - inkCentre(l, l.ascent / 2, l.ascent); }

TEST(TextTest, InkLiesInsideTheLineAroundTheBaseline) {
  TextImage image = renderText("Hello", kRegular12);
  ASSERT_EQ(image.coverage.size(), static_cast<std::size_t>(image.width) * static_cast<std::size_t>(image.height));
  EXPECT_TRUE(image.width > 20 && image.ascent > image.height / 2 && image.ascent < image.height);
  EXPECT_EQ(coverageIn(image, 0, image.width, image.ascent + 1, image.height), 0);  // no descenders in "Hello"

  // The g's tail reaches under the baseline; the accent of \xC1 (Latin-1) over a plain A.
  const FontSpec font{18, false, false};
  const TextImage accented = renderText("g\xC1", font), plain = renderText("gA", font);
  EXPECT_GT(coverageIn(accented, 0, accented.width, accented.ascent + 2, accented.height), 0);
  EXPECT_LT(topInkRow(accented), topInkRow(plain));
  EXPECT_EQ(accented.width, plain.width);
  // Latin-1 bytes are letters of their own: e acute is not e, nor e grave.
  const TextImage e = renderText("e", kRegular12), acute = renderText("\xE9", kRegular12);
  EXPECT_EQ(e.width, acute.width);
  EXPECT_GT(totalCoverage(acute), totalCoverage(e));
  EXPECT_NE(acute.coverage, renderText("\xE8", kRegular12).coverage);
}

// Height and baseline depend only on size (so styles align side by side);
// larger is larger, bold heavier, italic leans right.
TEST(TextTest, LinesFollowSizeAndStyleOnly) {
  TextImage previous;
  for (int size = 8; size <= 18; ++size) {
    const TextImage regular = renderText("Volume 0.500", FontSpec{size, false, false});
    for (int style = 1; style < 4; ++style) {
      const FontSpec font{size, (style & 1) != 0, (style & 2) != 0};
      for (const TextImage& other : {renderText("a", font), renderText("\xC1g|", font)})
        EXPECT_TRUE(other.height == regular.height && other.ascent == regular.ascent) << size << " style " << style;
    }
    const TextImage bold = renderText("Volume 0.500", FontSpec{size, true, false});
    EXPECT_GE(bold.width, regular.width) << size;
    EXPECT_GT(totalCoverage(bold), totalCoverage(regular) * 11 / 10) << size;
    EXPECT_TRUE(size == 8 || (regular.width > previous.width && totalCoverage(regular) > totalCoverage(previous))) << size;
    previous = regular;
  }
  EXPECT_GT(renderText("a", FontSpec{18, false, false}).height, renderText("a", FontSpec{8, false, false}).height);
  const TextImage upright = renderText("l", FontSpec{18, false, false});
  ASSERT_GT(upright.width, 0);
  EXPECT_NEAR(lean(upright), 0.0, 0.5);
  EXPECT_GT(lean(renderText("l", FontSpec{18, false, true})), 1.0);
}

TEST(TextTest, WidthCoversAdvancesKerningAndOverhangingInkAndNothingElse) {
  EXPECT_GT(textWidth("a  ", kRegular12), textWidth("a", kRegular12));  // spaces have no ink but take room
  // A slanted f's ink reaches past its advance; the image is widened, not cut.
  const FontSpec italic{18, false, true};
  const TextImage f = renderText("f", italic);
  EXPECT_GT(f.width, textWidth("f ", italic) - textWidth(" ", italic));
  EXPECT_EQ(totalCoverage(f), totalCoverage(renderText("f  ", italic)));
  // A letter's advance is what repeating it adds: AV kerns, AH does not.
  const FontSpec font{18, false, false};
  const int advanceA = textWidth("AA", font) - textWidth("A", font);
  EXPECT_LT(textWidth("AV", font), advanceA + textWidth("V", font));
  EXPECT_EQ(textWidth("AH", font), advanceA + textWidth("H", font));

  // Empty text and control characters have the line's height and no width; sizes out of range, nothing.
  const TextImage a = renderText("a", kRegular12);
  EXPECT_EQ(look(renderText("", kRegular12)), (Look{0, a.height, a.ascent, {}}));
  EXPECT_EQ(textWidth("", kRegular12), 0);
  // Backspaces, carriage returns, line feeds, tabs and DEL: no missing-glyph boxes, no room.
  const std::string plain = "How to change the skin:";
  EXPECT_EQ(look(renderText("\b\b\b" + plain + "\r\n\t\x7f", kRegular12)), look(renderText(plain, kRegular12)));
  EXPECT_EQ(textWidth("a\r\nb", kRegular12), textWidth("ab", kRegular12));
  for (int size : {0, -3, 100000}) {
    EXPECT_EQ(look(renderText("Hello", FontSpec{size, false, false})), Look{}) << size;
    EXPECT_EQ(textWidth("Hello", FontSpec{size, false, false}), 0) << size;
  }
}

TEST(TextTest, TheOverrideFolderIsTheOnlyOneLookedInAndMissingStylesAreSynthesised) {
  const char* named = std::getenv("ZVX_FONT_DIR");
  const fs::path regularFile = fs::path(named && *named ? named : "/usr/share/fonts/truetype/dejavu") / "DejaVuSans.ttf";
  ASSERT_TRUE(fs::exists(regularFile)) << regularFile;
  const std::string text = "Volume 0.500";
  const FontSpec regular{14, false, false}, bold{14, true, false}, italic{14, false, true}, both{14, true, true};
  const TextImage realRegular = renderText(text, regular), realBold = renderText(text, bold);
  {
    const test::TempFolder fonts("ZVX_FONT_DIR");
    EXPECT_TRUE(look(renderText(text, both)) == Look{} && textWidth(text, both) == 0 && renderText("", both).height == 0);
  }
  {
    const test::TempFolder fonts("ZVX_FONT_DIR");
    fs::copy_file(regularFile, fonts.path() / "DejaVuSans.ttf");
    const TextImage onlyRegular = renderText(text, regular), madeBold = renderText(text, bold);
    const TextImage madeItalic = renderText(text, italic), madeBoth = renderText(text, both);
    EXPECT_EQ(onlyRegular.coverage, realRegular.coverage);
    // Bold made from the regular face is heavier and keeps the line; it is not the bold file's drawing.
    EXPECT_TRUE(madeBold.width >= onlyRegular.width && madeBold.height == onlyRegular.height);
    EXPECT_GT(totalCoverage(madeBold), totalCoverage(onlyRegular) * 11 / 10);
    EXPECT_NE(madeBold.coverage, realBold.coverage);
    EXPECT_GT(lean(renderText("l", FontSpec{18, false, true})), 1.0);
    EXPECT_EQ(textWidth(text, italic), madeItalic.width);
    EXPECT_GT(totalCoverage(madeBoth), totalCoverage(madeItalic) * 11 / 10);
    EXPECT_EQ(textWidth(text, both), madeBoth.width);
  }
  // Back to the system folder once the override is gone.
  EXPECT_EQ(look(renderText(text, bold)), look(realBold));
}

// Threads loading glyphs of many sizes and styles at once draw what one thread
// draws afterwards; textWidth is the width renderText draws.
TEST(TextTest, ThreadsRenderAtTheSameTimeAlikeAndTextWidthIsTheRenderedWidth) {
  const std::vector<std::string> texts = {"Volume 0.500", "Tune -12.0 dB", "\xC1g", "AV", "To", "f", "j", "  x  ", "Caf\xE9"};
  std::vector<FontSpec> fonts;
  for (int size = 8; size <= 18; ++size)
    for (int style = 0; style < 4; ++style) fonts.push_back(FontSpec{size, (style & 1) != 0, (style & 2) != 0});
  // Every text in every font, with the width textWidth gave, from the `first` font on.
  using Drawn = std::vector<std::pair<Look, int>>;
  const auto drawAll = [&](std::size_t first) {
    Drawn drawn(fonts.size() * texts.size());
    for (std::size_t i = 0; i < fonts.size(); ++i) {
      const std::size_t f = (first + i) % fonts.size();
      for (std::size_t x = 0; x < texts.size(); ++x)
        drawn[f * texts.size() + x] = {look(renderText(texts[x], fonts[f])), textWidth(texts[x], fonts[f])};
    }
    return drawn;
  };
  // Each thread starts at a different font so that they load different glyphs at once.
  std::vector<Drawn> results(4);
  std::vector<std::thread> threads;
  for (std::size_t t = 0; t < results.size(); ++t) threads.emplace_back([&, t] { results[t] = drawAll(t * 5); });
  for (std::thread& thread : threads) thread.join();
  const Drawn expected = drawAll(0);
  for (const auto& [image, width] : expected) EXPECT_TRUE(width > 0 && width == std::get<0>(image)) << width;
  for (std::size_t t = 0; t < results.size(); ++t) EXPECT_TRUE(results[t] == expected) << "thread " << t;
}

}  // namespace
}  // namespace zvx::platform
