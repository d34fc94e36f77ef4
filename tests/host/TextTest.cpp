// The Linux text rasteriser: DejaVu Sans through FreeType into coverage masks
// of a fixed line height, equal widths from textWidth and renderText, styles
// from the font files or synthesised, and safe use from several threads.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <numeric>
#include <string>
#include <thread>
#include <vector>

#include "host/platform/Text.h"

namespace zvx::platform {
namespace {

namespace fs = std::filesystem;

const FontSpec kRegular12{12, false, false};

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

long columnCoverage(const TextImage& image, int x0, int x1) { return coverageIn(image, x0, x1, 0, image.height); }

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

void expectWellFormed(const TextImage& image) {
  EXPECT_GE(image.width, 0);
  EXPECT_GE(image.height, 0);
  EXPECT_EQ(image.coverage.size(), static_cast<std::size_t>(image.width) * static_cast<std::size_t>(image.height));
}

// The folder the fonts come from when no test names another.
fs::path systemFontFolder() {
  const char* named = std::getenv("ZVX_FONT_DIR");
  return named && *named ? fs::path(named) : fs::path("/usr/share/fonts/truetype/dejavu");
}

// Names a fresh temporary folder in ZVX_FONT_DIR while alive.
class TempFontFolder {
 public:
  TempFontFolder() {
    std::string pattern = (fs::temp_directory_path() / "zvx-fonts-XXXXXX").string();
    if (mkdtemp(pattern.data())) folder_ = pattern;
    const char* previous = std::getenv("ZVX_FONT_DIR");
    hadPrevious_ = previous != nullptr;
    if (previous) previous_ = previous;
    setenv("ZVX_FONT_DIR", folder_.c_str(), 1);
  }
  ~TempFontFolder() {
    if (hadPrevious_)
      setenv("ZVX_FONT_DIR", previous_.c_str(), 1);
    else
      unsetenv("ZVX_FONT_DIR");
    std::error_code ignored;
    fs::remove_all(folder_, ignored);
  }
  TempFontFolder(const TempFontFolder&) = delete;
  TempFontFolder& operator=(const TempFontFolder&) = delete;

  const fs::path& folder() const { return folder_; }

 private:
  fs::path folder_;
  std::string previous_;
  bool hadPrevious_ = false;
};

TEST(TextTest, HelloHasInkAcrossItsWidth) {
  TextImage image = renderText("Hello", kRegular12);
  expectWellFormed(image);
  ASSERT_GT(image.width, 20);
  EXPECT_GT(image.height, 0);
  EXPECT_GT(image.ascent, image.height / 2);
  EXPECT_LT(image.ascent, image.height);
  // The H at the start and the o at the end are both drawn.
  EXPECT_GT(columnCoverage(image, 0, image.width / 4), 0);
  EXPECT_GT(columnCoverage(image, image.width * 3 / 4, image.width), 0);
  // Nothing lies below the baseline in "Hello".
  for (int y = image.ascent + 1; y < image.height; ++y)
    for (int x = 0; x < image.width; ++x)
      EXPECT_EQ(image.coverage[static_cast<std::size_t>(y * image.width + x)], 0) << x << "," << y;
}

TEST(TextTest, LineHeightDependsOnlyOnSizeAndStyle) {
  for (int size = 8; size <= 18; ++size)
    for (bool bold : {false, true})
      for (bool italic : {false, true}) {
        FontSpec font{size, bold, italic};
        TextImage a = renderText("a", font);
        // \xC1 is A acute in Latin-1: an accent above, a descender below.
        TextImage tall = renderText("\xC1g|", font);
        TextImage label = renderText("Volume 0.500", font);
        EXPECT_EQ(a.height, tall.height) << size;
        EXPECT_EQ(a.height, label.height) << size;
        EXPECT_EQ(a.ascent, tall.ascent) << size;
        EXPECT_EQ(a.ascent, label.ascent) << size;
        // Regular and bold lines share a baseline so they align side by side.
        TextImage regular = renderText("a", FontSpec{size, false, false});
        EXPECT_EQ(a.height, regular.height) << size;
        EXPECT_EQ(a.ascent, regular.ascent) << size;
      }
}

TEST(TextTest, DescendersAndAccentsAreDrawnInsideTheLine) {
  const FontSpec font{18, false, false};
  TextImage image = renderText("g\xC1", font);
  expectWellFormed(image);
  ASSERT_GT(image.height, 0);
  // Well under the baseline only the g's tail is drawn.
  EXPECT_GT(coverageIn(image, 0, image.width, image.ascent + 2, image.height), 0);
  // The acute accent over the A rises above the top of a plain A.
  TextImage plain = renderText("gA", font);
  EXPECT_LT(topInkRow(image), topInkRow(plain));
  EXPECT_EQ(image.width, plain.width);
}

TEST(TextTest, BoldIsHeavierAndNotNarrower) {
  for (int size : {8, 10, 12, 14, 18}) {
    TextImage regular = renderText("Volume 0.500", FontSpec{size, false, false});
    TextImage bold = renderText("Volume 0.500", FontSpec{size, true, false});
    EXPECT_GE(bold.width, regular.width) << size;
    EXPECT_GT(totalCoverage(bold), totalCoverage(regular) * 11 / 10) << size;
  }
}

TEST(TextTest, ItalicLeansToTheRight) {
  const FontSpec regular{18, false, false}, italic{18, false, true};
  TextImage upright = renderText("l", regular);
  TextImage slanted = renderText("l", italic);
  ASSERT_GT(upright.width, 0);
  ASSERT_GT(slanted.width, 0);
  const int top = 2, mid = upright.ascent / 2, base = upright.ascent;
  // An upright l is as far right at its top as at its foot; a slanted one is not.
  EXPECT_NEAR(inkCentre(upright, top, mid), inkCentre(upright, mid, base), 0.5);
  EXPECT_GT(inkCentre(slanted, top, mid), inkCentre(slanted, mid, base) + 1.0);
  EXPECT_NE(renderText("Volume", regular).coverage, renderText("Volume", italic).coverage);
}

TEST(TextTest, LargerSizesGiveLargerImages) {
  TextImage previous;
  for (int size : {8, 10, 12, 14, 18}) {
    TextImage image = renderText("Volume 0.500", FontSpec{size, false, false});
    if (size > 8) {
      EXPECT_GT(image.width, previous.width) << size;
      EXPECT_GT(image.height, previous.height) << size;
      EXPECT_GT(totalCoverage(image), totalCoverage(previous)) << size;
    }
    previous = image;
  }
}

TEST(TextTest, TextWidthIsTheRenderedWidth) {
  const std::vector<std::string> texts = {"Hello", "Volume 0.500", "AV", "To", "f", "j", "Wave", " ", "  x  ",
                                          "Caf\xE9", "\xC1g", "Tune -12.0 dB", "|||", "Atari"};
  for (const std::string& text : texts)
    for (int size : {8, 9, 10, 12, 14, 18})
      for (bool bold : {false, true})
        for (bool italic : {false, true}) {
          FontSpec font{size, bold, italic};
          TextImage image = renderText(text, font);
          expectWellFormed(image);
          EXPECT_EQ(textWidth(text, font), image.width) << text << " " << size << bold << italic;
          EXPECT_GT(image.width, 0) << text;
        }
}

TEST(TextTest, WidthCoversAdvancesAndOverhangingInk) {
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
}

TEST(TextTest, KerningPullsPairsTogether) {
  // A letter's advance is what repeating it adds; these pairs do not kern.
  const FontSpec font{18, false, false};
  const int advanceA = textWidth("AA", font) - textWidth("A", font);
  const int advanceT = textWidth("TT", font) - textWidth("T", font);
  EXPECT_LT(textWidth("AV", font), advanceA + textWidth("V", font));
  EXPECT_LT(textWidth("To", font), advanceT + textWidth("o", font));
  EXPECT_EQ(textWidth("AH", font), advanceA + textWidth("H", font));
}

TEST(TextTest, EmptyTextHasNoWidthButTheLineHeight) {
  TextImage empty = renderText("", kRegular12);
  TextImage a = renderText("a", kRegular12);
  EXPECT_EQ(empty.width, 0);
  EXPECT_TRUE(empty.coverage.empty());
  EXPECT_EQ(empty.height, a.height);
  EXPECT_EQ(empty.ascent, a.ascent);
  EXPECT_EQ(textWidth("", kRegular12), 0);
}

TEST(TextTest, SizesOutOfRangeGiveAnEmptyImage) {
  for (int size : {0, -3, 100000}) {
    TextImage image = renderText("Hello", FontSpec{size, false, false});
    EXPECT_EQ(image.width, 0) << size;
    EXPECT_EQ(image.height, 0) << size;
    EXPECT_TRUE(image.coverage.empty()) << size;
    EXPECT_EQ(textWidth("Hello", FontSpec{size, false, false}), 0) << size;
  }
}

TEST(TextTest, SmallSizesSnapStrokesToWholePixels) {
  // Hinted, the H's crossbar and the e's bar fill whole rows even at 8 px.
  for (int size : {8, 9, 10}) {
    TextImage image = renderText("He", FontSpec{size, false, false});
    long full = std::count(image.coverage.begin(), image.coverage.end(), 255);
    EXPECT_GE(full, 4) << size;
  }
}

TEST(TextTest, LatinOneBytesAreTheirOwnLetters) {
  TextImage plain = renderText("e", kRegular12);
  TextImage acute = renderText("\xE9", kRegular12);
  EXPECT_EQ(plain.width, acute.width);
  EXPECT_GT(totalCoverage(acute), totalCoverage(plain));
  EXPECT_NE(renderText("\xE9", kRegular12).coverage, renderText("\xE8", kRegular12).coverage);
}

TEST(TextTest, RenderingIsRepeatable) {
  const FontSpec font{10, true, false};
  TextImage first = renderText("Volume 0.500", font);
  // Other sizes and styles in between must leave nothing behind.
  for (int size = 8; size <= 18; ++size) renderText("Decay 120 ms", FontSpec{size, size % 2 == 0, size % 3 == 0});
  TextImage second = renderText("Volume 0.500", font);
  EXPECT_EQ(first.width, second.width);
  EXPECT_EQ(first.height, second.height);
  EXPECT_EQ(first.ascent, second.ascent);
  EXPECT_EQ(first.coverage, second.coverage);
}

TEST(TextTest, AMissingFontFolderGivesAnEmptyImage) {
  TempFontFolder fonts;
  ASSERT_TRUE(fs::is_directory(fonts.folder()));
  for (bool bold : {false, true})
    for (bool italic : {false, true}) {
      FontSpec font{12, bold, italic};
      TextImage image = renderText("Hello", font);
      EXPECT_EQ(image.width, 0);
      EXPECT_EQ(image.height, 0);
      EXPECT_EQ(image.ascent, 0);
      EXPECT_TRUE(image.coverage.empty());
      EXPECT_EQ(textWidth("Hello", font), 0);
      EXPECT_EQ(renderText("", font).height, 0);
    }
}

TEST(TextTest, TheOverrideFolderIsTheOnlyOneLookedIn) {
  TextImage system = renderText("Hello", kRegular12);
  ASSERT_GT(system.width, 0);
  {
    TempFontFolder fonts;
    EXPECT_EQ(renderText("Hello", kRegular12).width, 0);
  }
  // Back to the system folder once the override is gone.
  EXPECT_EQ(renderText("Hello", kRegular12).coverage, system.coverage);
}

TEST(TextTest, MissingStylesAreSynthesisedFromTheRegularFace) {
  const fs::path regularFile = systemFontFolder() / "DejaVuSans.ttf";
  ASSERT_TRUE(fs::exists(regularFile)) << regularFile;
  const std::string text = "Volume 0.500";
  const FontSpec regular{14, false, false}, bold{14, true, false}, italic{14, false, true}, both{14, true, true};
  TextImage realRegular = renderText(text, regular);
  TextImage realBold = renderText(text, bold);

  TempFontFolder fonts;
  fs::copy_file(regularFile, fonts.folder() / "DejaVuSans.ttf");
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
  TextImage uprightL = renderText("l", FontSpec{18, false, false});
  TextImage slantedL = renderText("l", FontSpec{18, false, true});
  const int mid = uprightL.ascent / 2;
  EXPECT_GT(inkCentre(slantedL, 2, mid), inkCentre(slantedL, mid, slantedL.ascent) + 1.0);
  EXPECT_NE(madeItalic.coverage, onlyRegular.coverage);
  EXPECT_EQ(textWidth(text, italic), madeItalic.width);
  // Both at once: heavier than the italic alone.
  EXPECT_GT(totalCoverage(madeBoth), totalCoverage(madeItalic) * 11 / 10);
  EXPECT_EQ(textWidth(text, both), madeBoth.width);
}

TEST(TextTest, ThreadsRenderAtTheSameTimeAlike) {
  const std::vector<std::string> texts = {"Volume 0.500", "Pitch +3", "Decay", "\xC1g", "Tune -12.0 dB"};
  std::vector<FontSpec> fonts;
  for (int size : {11, 13, 15, 16, 17})
    for (int style = 0; style < 4; ++style) fonts.push_back(FontSpec{size, (style & 1) != 0, (style & 2) != 0});

  constexpr int kThreads = 4;
  std::vector<std::vector<TextImage>> results(kThreads);
  std::vector<std::vector<int>> widths(kThreads);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t)
    threads.emplace_back([&, t] {
      // Each thread starts at a different place so that they load different glyphs at once.
      for (std::size_t i = 0; i < fonts.size(); ++i) {
        const FontSpec& font = fonts[(i + static_cast<std::size_t>(t) * 5) % fonts.size()];
        for (const std::string& text : texts) {
          results[static_cast<std::size_t>(t)].push_back(renderText(text, font));
          widths[static_cast<std::size_t>(t)].push_back(textWidth(text, font));
        }
      }
    });
  for (std::thread& thread : threads) thread.join();

  for (int t = 0; t < kThreads; ++t) {
    std::size_t n = 0;
    for (std::size_t i = 0; i < fonts.size(); ++i) {
      const FontSpec& font = fonts[(i + static_cast<std::size_t>(t) * 5) % fonts.size()];
      for (const std::string& text : texts) {
        TextImage expected = renderText(text, font);
        const TextImage& got = results[static_cast<std::size_t>(t)][n];
        ASSERT_GT(expected.width, 0);
        EXPECT_EQ(got.width, expected.width);
        EXPECT_EQ(got.height, expected.height);
        EXPECT_EQ(got.coverage, expected.coverage);
        EXPECT_EQ(widths[static_cast<std::size_t>(t)][n], expected.width);
        ++n;
      }
    }
  }
}

}  // namespace
}  // namespace zvx::platform
