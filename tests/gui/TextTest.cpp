// The Linux text rasteriser: DejaVu Sans through FreeType into coverage masks
// of a fixed line height, equal widths from textWidth and renderText, styles
// from the font files or synthesised, and safe use from several threads. How
// small sizes are hinted shows in the reviewed editor picture (DrumEditorTest).

#include <numeric>

#include "platform/Text.h"
#include "tests/support/TestSupport.h"

namespace zvx::platform {
namespace {

namespace fs = std::filesystem;

const FontSpec kRegular12{12, false, false};

// The whole of an image, for comparisons in one go.
using Look = std::tuple<int, int, int, std::vector<std::uint8_t>>;  // width, height, ascent, coverage
Look look(const TextImage& image) { return {image.width, image.height, image.ascent, image.coverage}; }

long totalCoverage(const TextImage& image) {
  return std::accumulate(image.coverage.begin(), image.coverage.end(), 0L);
}

// Sum of the coverage in columns [x0, x1) of rows [y0, y1).
long coverageIn(const TextImage& image, int x0, int x1, int y0, int y1) {
  long sum = 0;
  for (int y = std::max(y0, 0); y < std::min(y1, image.height); ++y)
    for (int x = std::max(x0, 0); x < std::min(x1, image.width); ++x)
      sum += image.coverage[static_cast<std::size_t>(y * image.width + x)];
  return sum;
}

// The topmost row with ink, or the height when there is none.
int topInkRow(const TextImage& image) {
  for (int y = 0; y < image.height; ++y)
    if (coverageIn(image, 0, image.width, y, y + 1) > 0) return y;
  return image.height;
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

// The folder the fonts come from when no test names another.
fs::path systemFontFolder() {
  const char* named = std::getenv("ZVX_FONT_DIR");
  return named && *named ? fs::path(named) : fs::path("/usr/share/fonts/truetype/dejavu");
}

TEST(TextTest, InkLiesInsideTheLineAroundTheBaseline) {
  TextImage image = renderText("Hello", kRegular12);
  ASSERT_GT(image.width, 20);
  ASSERT_EQ(image.coverage.size(), static_cast<std::size_t>(image.width) * static_cast<std::size_t>(image.height));
  EXPECT_GT(image.ascent, image.height / 2);
  EXPECT_LT(image.ascent, image.height);
  // The H at the start and the o at the end are both drawn.
  EXPECT_GT(coverageIn(image, 0, image.width / 4, 0, image.height), 0);
  // Nothing lies below the baseline in "Hello".
  EXPECT_EQ(coverageIn(image, 0, image.width, image.ascent + 1, image.height), 0);

  // Well under the baseline only the g's tail is drawn; the acute accent over
  // the A (\xC1 in Latin-1) rises above the top of a plain A.
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

TEST(TextTest, LineHeightDependsOnlyOnSizeAndStyle) {
  for (int size = 8; size <= 18; ++size)
    for (bool bold : {false, true})
      for (bool italic : {false, true}) {
        FontSpec font{size, bold, italic};
        TextImage a = renderText("a", font);
        // \xC1 is A acute in Latin-1: an accent above, a descender below. Regular
        // and bold lines share a baseline so they align side by side.
        for (const TextImage& other : {renderText("\xC1g|", font), renderText("Volume 0.500", font),
                                       renderText("a", FontSpec{size, false, false})}) {
          EXPECT_EQ(a.height, other.height) << size;
          EXPECT_EQ(a.ascent, other.ascent) << size;
        }
      }
}

TEST(TextTest, LargerSizesAreLargerBoldIsHeavierAndItalicLeansRight) {
  TextImage previous;
  for (int size : {8, 10, 12, 14, 18}) {
    TextImage regular = renderText("Volume 0.500", FontSpec{size, false, false});
    TextImage bold = renderText("Volume 0.500", FontSpec{size, true, false});
    EXPECT_GE(bold.width, regular.width) << size;
    EXPECT_GT(totalCoverage(bold), totalCoverage(regular) * 11 / 10) << size;
    if (size > 8) {
      EXPECT_GT(regular.width, previous.width) << size;
      EXPECT_GT(regular.height, previous.height) << size;
      EXPECT_GT(totalCoverage(regular), totalCoverage(previous)) << size;
    }
    previous = regular;
  }
  const TextImage upright = renderText("l", FontSpec{18, false, false});
  ASSERT_GT(upright.width, 0);
  EXPECT_NEAR(lean(upright), 0.0, 0.5);
  EXPECT_GT(lean(renderText("l", FontSpec{18, false, true})), 1.0);
}

TEST(TextTest, WidthCoversAdvancesKerningAndOverhangingInk) {
  // Spaces have no ink but take room.
  EXPECT_GT(textWidth("a  ", kRegular12), textWidth("a", kRegular12));
  EXPECT_GT(textWidth("  ", kRegular12), 0);
  // A slanted f reaches past its advance (what a following space adds to the
  // width of a lone space); the image is widened so that none of it is cut.
  const FontSpec italic{18, false, true};
  const int advance = textWidth("f ", italic) - textWidth(" ", italic);
  TextImage f = renderText("f", italic);
  EXPECT_GT(f.width, advance);
  EXPECT_EQ(totalCoverage(f), totalCoverage(renderText("f  ", italic)));
  // A letter's advance is what repeating it adds; these pairs do not kern.
  const FontSpec font{18, false, false};
  const int advanceA = textWidth("AA", font) - textWidth("A", font);
  const int advanceT = textWidth("TT", font) - textWidth("T", font);
  EXPECT_LT(textWidth("AV", font), advanceA + textWidth("V", font));
  EXPECT_LT(textWidth("To", font), advanceT + textWidth("o", font));
  EXPECT_EQ(textWidth("AH", font), advanceA + textWidth("H", font));
}

TEST(TextTest, EmptyTextAndControlCharactersHaveTheLineHeightAndSizesOutOfRangeNothing) {
  TextImage a = renderText("a", kRegular12);
  EXPECT_EQ(look(renderText("", kRegular12)), (Look{0, a.height, a.ascent, {}}));
  EXPECT_EQ(look(renderText("\n\r", kRegular12)), look(renderText("", kRegular12)));
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

TEST(TextTest, TheOverrideFolderIsTheOnlyOneLookedInAndAnEmptyOneGivesNothing) {
  const TextImage system = renderText("Hello", kRegular12);
  ASSERT_GT(system.width, 0);
  {
    const test::TempFolder fonts("ZVX_FONT_DIR");
    for (bool bold : {false, true})
      for (bool italic : {false, true}) {
        FontSpec font{12, bold, italic};
        EXPECT_EQ(look(renderText("Hello", font)), Look{});
        EXPECT_EQ(textWidth("Hello", font), 0);
        EXPECT_EQ(renderText("", font).height, 0);
      }
  }
  // Back to the system folder once the override is gone.
  EXPECT_EQ(look(renderText("Hello", kRegular12)), look(system));
}

TEST(TextTest, MissingStylesAreSynthesisedFromTheRegularFace) {
  const fs::path regularFile = systemFontFolder() / "DejaVuSans.ttf";
  ASSERT_TRUE(fs::exists(regularFile)) << regularFile;
  const std::string text = "Volume 0.500";
  const FontSpec regular{14, false, false}, bold{14, true, false}, italic{14, false, true}, both{14, true, true};
  TextImage realRegular = renderText(text, regular);
  TextImage realBold = renderText(text, bold);

  const test::TempFolder fonts("ZVX_FONT_DIR");
  fs::copy_file(regularFile, fonts.path() / "DejaVuSans.ttf");
  TextImage onlyRegular = renderText(text, regular);
  TextImage madeBold = renderText(text, bold);
  TextImage madeItalic = renderText(text, italic);
  TextImage madeBoth = renderText(text, both);

  // The same file draws the same regular text.
  EXPECT_EQ(onlyRegular.coverage, realRegular.coverage);
  // Bold made from it is heavier and keeps the line; it is not the bold file's drawing.
  EXPECT_GE(madeBold.width, onlyRegular.width);
  EXPECT_GT(totalCoverage(madeBold), totalCoverage(onlyRegular) * 11 / 10);
  EXPECT_EQ(madeBold.height, onlyRegular.height);
  EXPECT_NE(madeBold.coverage, realBold.coverage);
  // Italic made from it leans right.
  EXPECT_GT(lean(renderText("l", FontSpec{18, false, true})), 1.0);
  EXPECT_EQ(textWidth(text, italic), madeItalic.width);
  // Both at once: heavier than the italic alone.
  EXPECT_GT(totalCoverage(madeBoth), totalCoverage(madeItalic) * 11 / 10);
  EXPECT_EQ(textWidth(text, both), madeBoth.width);
}

// Threads that load glyphs of many sizes and styles at once draw what one
// thread draws afterwards: nothing is shared unsafely or left behind. And
// textWidth gives the width renderText draws, kerning and overhangs included.
TEST(TextTest, ThreadsRenderAtTheSameTimeAlikeAndTextWidthIsTheRenderedWidth) {
  const std::vector<std::string> texts = {"Volume 0.500", "Pitch +3", "Decay", "\xC1g", "Tune -12.0 dB", "Hello", "AV",
                                          "To", "f", "j", "Wave", " ", "  x  ", "Caf\xE9", "|||", "Atari"};
  std::vector<FontSpec> fonts;
  for (int size = 8; size <= 18; ++size)
    for (int style = 0; style < 4; ++style) fonts.push_back(FontSpec{size, (style & 1) != 0, (style & 2) != 0});

  constexpr std::size_t kThreads = 4;
  // Drawings by font and text, with the width textWidth gave.
  using Drawn = std::vector<std::pair<Look, int>>;
  std::vector<Drawn> results(kThreads, Drawn(fonts.size() * texts.size()));
  std::vector<std::thread> threads;
  for (std::size_t t = 0; t < kThreads; ++t)
    threads.emplace_back([&, t] {
      // Each thread starts at a different place so that they load different glyphs at once.
      for (std::size_t i = 0; i < fonts.size(); ++i) {
        const std::size_t f = (i + t * 5) % fonts.size();
        for (std::size_t x = 0; x < texts.size(); ++x)
          results[t][f * texts.size() + x] = {look(renderText(texts[x], fonts[f])), textWidth(texts[x], fonts[f])};
      }
    });
  for (std::thread& thread : threads) thread.join();

  Drawn expected;
  for (const FontSpec& font : fonts)
    for (const std::string& text : texts) {
      const TextImage image = renderText(text, font);
      ASSERT_GT(image.width, 0) << text;
      expected.emplace_back(look(image), image.width);
    }
  for (std::size_t t = 0; t < kThreads; ++t) EXPECT_TRUE(results[t] == expected) << "thread " << t;
}

}  // namespace
}  // namespace zvx::platform
