// The toolkit's image codecs: BMP files of every layout built here byte by
// byte, PNG files written with libpng, and image files read from disk. That
// damaged files of every layout stay within the limits is fuzz_bmp's to find.
#include <png.h>

#include <climits>
#include <csetjmp>

#include "image/BmpDecoder.h"
#include "image/ImageFile.h"
#include "image/ImageLimits.h"
#include "image/PngCodec.h"
#include "tests/support/BmpBuilder.h"
#include "tests/support/TestSupport.h"

namespace zvx::gui {
namespace {

using Bytes = std::vector<unsigned char>;
using Rows = std::vector<std::vector<Pixel>>;
using test::BmpBuilder;

constexpr Pixel rgb(std::uint32_t value) { return 0xFF000000u | value; }
constexpr Pixel kBlack = rgb(0x000000);

Surface decodeBmp(const Bytes& bytes) { return BmpDecoder::decode(bytes); }

// Sixteen colours that are easy to tell apart: 0x10 * i in red, 0xF0 - 0x10 * i in blue.
std::vector<std::uint32_t> sixteenColours() {
  std::vector<std::uint32_t> colours;
  for (std::uint32_t i = 0; i < 16; ++i) colours.push_back((0x10 * i) << 16 | 0x5500 | (0xF0 - 0x10 * i));
  return colours;
}

// The rows of a surface from the top, for comparisons of whole images, sizes included.
Rows rows(const Surface& surface) {
  Rows out(static_cast<std::size_t>(surface.height()));
  for (int y = 0; y < surface.height(); ++y)
    for (int x = 0; x < surface.width(); ++x) out[static_cast<std::size_t>(y)].push_back(surface.at(x, y));
  return out;
}

// BMP: paletted

TEST(BmpDecoderTest, PalettedIndexesAreReadHighBitsFirstFromPaddedRowsAndBeyondThePaletteAreBlack) {
  const Pixel o = rgb(0x102030), l = rgb(0xF0E0D0);
  const auto c = sixteenColours();
  const auto p = [](std::uint32_t value) { return rgb(value); };
  const Pixel a = rgb(0x112233), b = rgb(0x445566), d = rgb(0x778899);
  const auto shortPalette = [](long count) {
    BmpBuilder b = BmpBuilder(6, 1, 8).palette({0x112233, 0x445566, 0x778899});
    if (count >= 0) b.colorsUsed(static_cast<std::uint32_t>(count));
    return b.pixels(BmpBuilder::paddedRows({{0, 1, 2, 3, 200, 255}})).bytes();
  };
  const std::vector<std::pair<Bytes, Rows>> cases = {
      // 10 pixels of 1 bit: two bytes and two of padding a row. The second byte's
      // unused low bits are set and the padding is garbage: neither may show.
      {BmpBuilder(10, 2, 1).palette({0x102030, 0xF0E0D0}).pixels({0xA0, 0xFF, 0xEE, 0xEE, 0x01, 0x7F, 0xEE, 0xEE}).bytes(),
       {{o, o, o, o, o, o, o, l, o, l}, {l, o, l, o, o, o, o, o, l, l}}},  // the first stored row is the bottom one
      {BmpBuilder(5, 2, 2)
           .palette({1, 2, 3, 4})
           .pixels(BmpBuilder::paddedRows({{0b00011011, 0b10111111}, {0b11100100, 0b01000000}}))
           .bytes(),
       {{rgb(4), rgb(3), rgb(2), rgb(1), rgb(2)}, {rgb(1), rgb(2), rgb(3), rgb(4), rgb(3)}}},
      {BmpBuilder(3, 2, 4).palette(c).pixels(BmpBuilder::paddedRows({{0x12, 0x3F}, {0xAB, 0xC0}})).bytes(),
       {{p(c[10]), p(c[11]), p(c[12])}, {p(c[1]), p(c[2]), p(c[3])}}},
      {BmpBuilder(3, 2, 8).palette({0xFF0000, 0x00FF00, 0x0000FF}).pixels(BmpBuilder::paddedRows({{2, 0, 1}, {1, 1, 2}})).bytes(),
       {{rgb(0x00FF00), rgb(0x00FF00), rgb(0x0000FF)}, {rgb(0x0000FF), rgb(0xFF0000), rgb(0x00FF00)}}},
      // A count in the header below the entries present rules; no count means a
      // full palette is due, but the pixels after three entries are not colours; a
      // count beyond what the depth can index is cut to it; no palette is all black.
      {shortPalette(2), {{a, b, kBlack, kBlack, kBlack, kBlack}}},
      {shortPalette(0), {{a, b, d, kBlack, kBlack, kBlack}}},
      {shortPalette(100000), {{a, b, d, kBlack, kBlack, kBlack}}},
      {BmpBuilder(6, 1, 8).pixels(BmpBuilder::paddedRows({{0, 1, 2, 3, 200, 255}})).bytes(), Rows(1, std::vector<Pixel>(6, kBlack))},
      // OS/2 core header: 16-bit sizes, three-byte palette entries.
      {BmpBuilder(2, 2, 8, 12).palette({0x112233, 0x445566, 0x778899}).pixels(BmpBuilder::paddedRows({{0, 1}, {2, 1}})).bytes(),
       {{d, b}, {a, b}}},
      {BmpBuilder(1, 1, 24, 12).pixels(BmpBuilder::paddedRows({{0x01, 0x02, 0x03}})).bytes(), {{rgb(0x030201)}}},
      // OS/2 2.x: the info header's first 40 bytes, then 24 of its own; four-byte entries.
      {BmpBuilder(2, 1, 4, 64).palette({0xAA0000, 0x00BB00, 0x0000CC}).pixels(BmpBuilder::paddedRows({{0x21}})).bytes(),
       {{rgb(0x0000CC), rgb(0x00BB00)}}},
      // Top down for a negative height.
      {BmpBuilder(1, -2, 8).palette({0x0000FF, 0x00FF00}).pixels(BmpBuilder::paddedRows({{0}, {1}})).bytes(),
       {{rgb(0x0000FF)}, {rgb(0x00FF00)}}},
  };
  for (std::size_t i = 0; i < cases.size(); ++i) EXPECT_EQ(rows(decodeBmp(cases[i].first)), cases[i].second) << i;
}

// BMP: direct colour

TEST(BmpDecoderTest, TwentyFourBitRowsAreBottomUpForAPositiveHeightAndTopDownForANegativeOne) {
  // Three pixels of three bytes: nine bytes and three of padding a row.
  const Bytes data = BmpBuilder::paddedRows({{0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x09},
                                             {0x11, 0x12, 0x13, 0x14, 0x15, 0x16, 0x17, 0x18, 0x19}});
  const std::vector<Pixel> first = {rgb(0x030201), rgb(0x060504), rgb(0x090807)};
  const std::vector<Pixel> second = {rgb(0x131211), rgb(0x161514), rgb(0x191817)};
  EXPECT_EQ(rows(decodeBmp(BmpBuilder(3, 2, 24).pixels(data).bytes())), (Rows{second, first}));
  EXPECT_EQ(rows(decodeBmp(BmpBuilder(3, -2, 24).pixels(data).bytes())), (Rows{first, second}));
  // The last row's padding may be missing, not one of its pixel bytes.
  Bytes file = BmpBuilder(3, 2, 24).pixels(data).bytes();
  file.resize(file.size() - 3);
  EXPECT_EQ(rows(decodeBmp(file)), (Rows{second, first}));
  file.pop_back();
  EXPECT_TRUE(decodeBmp(file).empty());
}

TEST(BmpDecoderTest, SixteenBitPixelsAre555UnlessBitFieldsSayOtherwise) {
  // 5-5-5: the top bit is unused; 5 bits stretch to 8 with 31 -> 255, 16 -> 132.
  EXPECT_EQ(rows(decodeBmp(BmpBuilder(2, 1, 16).pixels({0x00, 0x7C, 0x10, 0xC2}).bytes())),
            (Rows{{rgb(0xFF0000), rgb(0x848484)}}));
  // 5-6-5 through bit fields: 6 bits stretch with 63 -> 255, 32 -> 130; the
  // same masks in a V4 header give the same pixels.
  const Bytes pixels565 = {0x00, 0xF8, 0xE0, 0x07, 0x10, 0x84, 0x01, 0x00, 0xFF, 0xFF, 0, 0};
  for (std::uint32_t headerSize : {40u, 108u})
    EXPECT_EQ(rows(decodeBmp(BmpBuilder(5, 1, 16, headerSize)
                                 .compression(BmpBuilder::kBitFields)
                                 .masks(0xF800, 0x07E0, 0x001F)
                                 .pixels(pixels565)
                                 .bytes())),
              (Rows{{rgb(0xFF0000), rgb(0x00FF00), rgb(0x848284), rgb(0x000008), rgb(0xFFFFFF)}}))
        << headerSize;
  // 1-5-5-5 with the top bit as alpha, from a V5 header.
  EXPECT_EQ(rows(decodeBmp(BmpBuilder(2, 1, 16, 124)
                               .compression(BmpBuilder::kBitFields)
                               .masks(0x7C00, 0x03E0, 0x001F, 0x8000)
                               .pixels({0x1F, 0x80, 0x1F, 0x00})
                               .bytes())),
            (Rows{{makePixel(0, 0, 255, 255), makePixel(0, 0, 255, 0)}}));
}

TEST(BmpDecoderTest, ThirtyTwoBitPixelsHaveAlphaOnlyWhenAMaskGivesIt) {
  // B, G, R and a fourth byte that classic files leave as anything.
  const Bytes bgrx = {0x10, 0x20, 0x30, 0x00, 0x10, 0x20, 0x30, 0x7F};
  const std::vector<Pixel> opaque = {rgb(0x302010), rgb(0x302010)};
  const std::vector<Pixel> withAlpha = {makePixel(0x30, 0x20, 0x10, 0x00), makePixel(0x30, 0x20, 0x10, 0x7F)};
  const auto pixels = [&](BmpBuilder builder) { return decodeBmp(builder.pixels(bgrx).bytes()).pixels(); };
  EXPECT_EQ(pixels(BmpBuilder(2, 1, 32)), opaque);
  // A V5 header without an alpha mask: still opaque.
  EXPECT_EQ(pixels(BmpBuilder(2, 1, 32, 124).masks(0xFF0000, 0xFF00, 0xFF, 0)), opaque);
  // A V5 header with an alpha mask.
  EXPECT_EQ(pixels(BmpBuilder(2, 1, 32, 124).masks(0xFF0000, 0xFF00, 0xFF, 0xFF000000)), withAlpha);
  // Bit fields after a 40-byte header have no alpha; with alpha bit fields they do.
  EXPECT_EQ(pixels(BmpBuilder(2, 1, 32).compression(BmpBuilder::kBitFields).masks(0xFF0000, 0xFF00, 0xFF)), opaque);
  EXPECT_EQ(rows(decodeBmp(BmpBuilder(1, 1, 32)
                               .compression(BmpBuilder::kAlphaBitFields)
                               .masks(0xFF000000, 0x00FF0000, 0x0000FF00, 0x000000FF)
                               .pixels({0x44, 0x33, 0x22, 0x11})
                               .bytes())),
            (Rows{{makePixel(0x11, 0x22, 0x33, 0x44)}}));
  // Channels wider than 8 bits keep their high bits: 10-10-10.
  EXPECT_EQ(rows(decodeBmp(BmpBuilder(1, 1, 32)
                               .compression(BmpBuilder::kBitFields)
                               .masks(0x3FF00000, 0x000FFC00, 0x000003FF)
                               .pixels({0x01, 0x00, 0xF8, 0x3F})  // 0x3FF, 0x200, 0x001
                               .bytes())),
            (Rows{{rgb(0xFF8000)}}));
}

// BMP: run-length encoded

TEST(BmpDecoderTest, RleDrawsRunsLiteralsAndMovesAndLeavesSkippedPixelsBlack) {
  std::vector<std::uint32_t> palette;
  for (std::uint32_t i = 0; i < 11; ++i) palette.push_back(0x100000 * i + 0x000100 * i + 0x7F);
  const Bytes rle = {
      3, 1, 0, 3, 2, 3, 4, 0,  // three of 1; three literals and their pad byte
      0, 0,                    // end of line
      2, 5,                    // two of 5
      0, 2, 2, 1,              // two right, one row up
      1, 6,                    // one of 6
      0, 4, 7, 8, 9, 10,       // four literals, the last three past the row's end
      0, 0,                    //
      8, 3,                    // eight of 3, cut to the row
      0, 1,                    // end of bitmap
      9, 9, 9, 9,              // never read
  };
  const auto p = [&](int i) { return rgb(palette[static_cast<std::size_t>(i)]); };
  const auto builder = [&](int height) {
    return BmpBuilder(6, height, 8).compression(BmpBuilder::kRle8).palette(palette).pixels(rle);
  };
  const std::vector<Pixel> black(6, kBlack), twoOfFive = {p(5), p(5), kBlack, kBlack, kBlack, kBlack};
  const Rows drawn = {std::vector<Pixel>(6, p(3)),
                      {kBlack, kBlack, kBlack, kBlack, p(6), p(7)},
                      twoOfFive,
                      {p(1), p(1), p(1), p(2), p(3), p(4)}};
  EXPECT_EQ(rows(decodeBmp(builder(4).bytes())), drawn);
  // Negative height: the same stream from the top.
  EXPECT_EQ(rows(decodeBmp(builder(-4).bytes())), Rows(drawn.rbegin(), drawn.rend()));
  // Data that ends early, or an image size field that says so, leaves the rest black.
  EXPECT_EQ(rows(decodeBmp(builder(4).imageSize(14).bytes())), (Rows{black, black, twoOfFive, drawn[3]}));
  Bytes truncated = builder(4).bytes();
  truncated.resize(truncated.size() - rle.size() + 5);  // inside the first literal run
  EXPECT_EQ(rows(decodeBmp(truncated)),
            (Rows{black, black, black, {p(1), p(1), p(1), p(2), kBlack, kBlack}}));
  // An image size larger than the file: the data present is used.
  EXPECT_EQ(rows(decodeBmp(builder(4).imageSize(100000).bytes())), drawn);

  // RLE4 alternates two colours and pads odd literal runs.
  const auto colours = sixteenColours();
  const auto c = [&](int i) { return rgb(colours[static_cast<std::size_t>(i)]); };
  const Bytes rle4 = {
      4, 0x12,                    // 1 2 1 2
      0, 3, 0x34, 0x50,           // literals 3 4 5: two bytes, no pad
      0, 0,                       //
      0, 5, 0xAB, 0xCD, 0xE0, 0,  // literals A B C D E: three bytes and a pad
      0, 2, 1, 0,                 // one right
      1, 0xF0,                    // one F
      0, 1,                       //
  };
  EXPECT_EQ(rows(decodeBmp(BmpBuilder(7, 2, 4).compression(BmpBuilder::kRle4).palette(colours).pixels(rle4).bytes())),
            (Rows{{c(10), c(11), c(12), c(13), c(14), kBlack, c(15)}, {c(1), c(2), c(1), c(2), c(3), c(4), c(5)}}));
}

// BMP: files that must not decode

// A small valid 24-bit file: 3 x 2, rows of nine bytes and three of padding.
BmpBuilder goodBmp() {
  return BmpBuilder(3, 2, 24).pixels(BmpBuilder::paddedRows({{1, 2, 3, 4, 5, 6, 7, 8, 9}, {9, 8, 7, 6, 5, 4, 3, 2, 1}}));
}

TEST(BmpDecoderTest, MalformedFilesGiveAnEmptySurfaceAndWrongSizeFieldsAreIgnored) {
  ASSERT_EQ(decodeBmp(goodBmp().bytes()).width(), 3);
  const auto patched = [](std::size_t at, std::uint32_t value, std::size_t size = 4) {
    Bytes file = goodBmp().bytes();
    for (std::size_t i = 0; i < size; ++i) file[at + i] = static_cast<unsigned char>(value >> (8 * i));
    return file;
  };
  Bytes cutMasks = BmpBuilder(1, 1, 16).compression(BmpBuilder::kBitFields).masks(0xF800, 0x07E0, 0x001F).bytes();
  cutMasks.resize(14 + 40 + 8);
  // A file of 64 bytes of pixels behind a header of these fields.
  const auto withPixels = [](int width, int height, int bits, std::uint32_t headerSize = 40,
                             std::uint32_t compression = 0) {
    return BmpBuilder(width, height, bits, headerSize).compression(compression).pixels(Bytes(64)).bytes();
  };
  const std::vector<std::pair<const char*, Bytes>> cases = {
      {"empty input", {}}, {"not BM", patched(1, 'A', 1)}, {"height 0", withPixels(3, 0, 24)},
      {"negative width", withPixels(-3, 2, 24)}, {"INT_MIN height", withPixels(3, INT_MIN, 24)},
      {"core width 0", withPixels(0, 2, 24, 12)},
      {"width over the limit", BmpBuilder(kMaxImageSide + 1, 1, 1).pixels(Bytes(4096)).bytes()},
      {"height over the limit", BmpBuilder(1, -(kMaxImageSide + 1), 1).pixels(Bytes(4 * 16400)).bytes()},
      {"too many pixels", BmpBuilder(kMaxImageSide, kMaxImageSide, 1).pixels(Bytes(4096)).bytes()},
      {"more pixels than the data holds", BmpBuilder(8192, 8192, 32).pixels(Bytes(4096)).bytes()},
      {"depth 7", withPixels(3, 2, 7)}, {"JPEG inside", withPixels(3, 2, 24, 40, 4)},
      {"unknown compression", withPixels(3, 2, 24, 40, 0xFFFFFFFF)},
      {"RLE8 at 4 bits", BmpBuilder(3, 2, 4).compression(BmpBuilder::kRle8).pixels({0, 1}).bytes()},
      {"bit fields at 24 bits", withPixels(3, 2, 24, 40, BmpBuilder::kBitFields)},
      {"OS/2 compression 3 (Huffman there)", withPixels(3, 2, 16, 64, 3)},
      {"masks cut off", cutMasks}, {"header size 0", patched(14, 0)}, {"header size 39", patched(14, 39)},
      {"header size beyond the file", patched(14, 124)}, {"header size 0xFFFFFFFF", patched(14, 0xFFFFFFFF)},
      {"data offset inside the header", patched(10, 30)}, {"data offset 0xFFFFFFFF", patched(10, 0xFFFFFFFF)},
      {"data offset past the first pixel bytes", patched(10, 14 + 40 + 4)},
      {"no RLE data", BmpBuilder(4, 4, 8).compression(BmpBuilder::kRle8).pixels(Bytes{}).bytes()},
      {"far more RLE pixels than bytes", BmpBuilder(4096, 4096, 8).compression(BmpBuilder::kRle8).pixels({0, 1}).bytes()},
  };
  for (const auto& [what, file] : cases) {
    const Surface s = decodeBmp(file);
    EXPECT_TRUE(s.empty() && s.width() == 0 && s.height() == 0) << what;
  }
  // Every cut of an uncompressed file short of its last row's pixels.
  const Bytes good = goodBmp().bytes();
  for (std::size_t size = 0; size < good.size() - 3; ++size)
    EXPECT_TRUE(decodeBmp(Bytes(good.begin(), good.begin() + static_cast<long>(size))).empty()) << size;

  // Size fields that writers get wrong are ignored; a tiny RLE image may be a lone end-of-bitmap.
  const std::vector<Pixel> reference = decodeBmp(good).pixels();
  EXPECT_EQ(decodeBmp(goodBmp().fileSize(0).bytes()).pixels(), reference);
  EXPECT_EQ(decodeBmp(goodBmp().fileSize(0xFFFFFFFF).bytes()).pixels(), reference);
  EXPECT_EQ(decodeBmp(goodBmp().imageSize(0xFFFFFFFF).bytes()).pixels(), reference);
  const Surface blank = decodeBmp(BmpBuilder(128, 128, 8).compression(BmpBuilder::kRle8).pixels({0, 1}).bytes());
  EXPECT_EQ(blank.pixels(), std::vector<Pixel>(128 * 128, kBlack));
}

// PNG

struct PngImage {
  int width = 0;
  int height = 0;
  int colorType = PNG_COLOR_TYPE_RGB;
  int depth = 8;
  bool interlaced = false;
  std::vector<Bytes> rows;  // packed samples, big-endian for 16 bits
  std::vector<png_color> palette;
  Bytes paletteAlpha;
};

void appendToBytes(png_structp png, png_bytep data, std::size_t length) {
  auto* out = static_cast<Bytes*>(png_get_io_ptr(png));
  out->insert(out->end(), data, data + length);
}

// Nothing with a destructor may be made here: errors jump back to the setjmp.
bool writePngWith(png_structp png, png_infop info, const PngImage& image, std::vector<png_bytep>& rows) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_set_IHDR(png, info, static_cast<png_uint_32>(image.width), static_cast<png_uint_32>(image.height), image.depth,
               image.colorType, image.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  if (!image.palette.empty()) png_set_PLTE(png, info, image.palette.data(), static_cast<int>(image.palette.size()));
  if (!image.paletteAlpha.empty())
    png_set_tRNS(png, info, image.paletteAlpha.data(), static_cast<int>(image.paletteAlpha.size()), nullptr);
  png_set_compression_level(png, 9);
  png_write_info(png, info);
  png_write_image(png, rows.data());
  png_write_end(png, nullptr);
  return true;
}

// The image written by libpng itself, in any colour type and depth.
Bytes writePng(const PngImage& image) {
  Bytes out;
  std::vector<png_bytep> rows;
  for (const Bytes& r : image.rows) rows.push_back(const_cast<png_bytep>(r.data()));
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  png_set_write_fn(png, &out, appendToBytes, nullptr);
  const bool ok = writePngWith(png, info, image, rows);
  png_destroy_write_struct(&png, &info);
  return ok ? out : Bytes{};
}

Surface varied(int width, int height) {
  Surface s(width, height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      s.at(x, y) = makePixel(static_cast<std::uint8_t>(x * 37 + y), static_cast<std::uint8_t>(y * 53 + 7),
                             static_cast<std::uint8_t>((x ^ y) * 11), static_cast<std::uint8_t>((x + 3 * y) * 29));
  return s;
}

TEST(PngCodecTest, EveryColourTypeComesOutAsEightBitRgba) {
  const std::vector<std::pair<PngImage, Rows>> cases = {
      // 2-bit palette with transparency for its first two entries only.
      {{4, 1, PNG_COLOR_TYPE_PALETTE, 2, false, {{0b00011011}}, {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {9, 8, 7}}, {0, 128}},
       {{makePixel(255, 0, 0, 0), makePixel(0, 255, 0, 128), rgb(0x0000FF), rgb(0x090807)}}},
      // 1-bit gray: 1 is white.
      {{3, 1, PNG_COLOR_TYPE_GRAY, 1, false, {{0b10100000}}, {}, {}}, {{rgb(0xFFFFFF), kBlack, rgb(0xFFFFFF)}}},
      // 16-bit gray keeps its high byte.
      {{2, 1, PNG_COLOR_TYPE_GRAY, 16, false, {{0xAB, 0xCD, 0x01, 0xFF}}, {}, {}}, {{rgb(0xABABAB), rgb(0x010101)}}},
      {{2, 1, PNG_COLOR_TYPE_GRAY_ALPHA, 8, false, {{0x40, 0x80, 0xC0, 0x00}}, {}, {}},
       {{makePixel(0x40, 0x40, 0x40, 0x80), makePixel(0xC0, 0xC0, 0xC0, 0)}}},
      {{1, 1, PNG_COLOR_TYPE_RGB_ALPHA, 16, false, {{0x11, 0xFF, 0x22, 0xFF, 0x33, 0xFF, 0x44, 0xFF}}, {}, {}},
       {{makePixel(0x11, 0x22, 0x33, 0x44)}}},
  };
  for (const auto& [image, expected] : cases)
    EXPECT_EQ(rows(PngCodec::decode(writePng(image))), expected) << image.colorType << " at " << image.depth;

  // Interlaced RGB: every pass lands where it belongs.
  PngImage interlaced{11, 9, PNG_COLOR_TYPE_RGB, 8, true, {}, {}, {}};
  Surface expected(11, 9);
  for (int y = 0; y < 9; ++y) {
    Bytes r;
    for (int x = 0; x < 11; ++x) {
      const auto red = static_cast<unsigned char>(x * 20), green = static_cast<unsigned char>(y * 25),
                 blue = static_cast<unsigned char>(x * y);
      r.insert(r.end(), {red, green, blue});
      expected.at(x, y) = makePixel(red, green, blue);
    }
    interlaced.rows.push_back(r);
  }
  EXPECT_EQ(rows(PngCodec::decode(writePng(interlaced))), rows(expected));
}

TEST(PngCodecTest, DamagedOrOversizedFilesGiveAnEmptySurface) {
  const Bytes good = PngCodec::encode(varied(20, 20));
  ASSERT_FALSE(PngCodec::decode(good).empty());

  EXPECT_TRUE(PngCodec::decode({}).empty());
  EXPECT_TRUE(PngCodec::decode(Bytes(good.begin(), good.begin() + 7)).empty());
  Bytes signature = good;
  signature[1] = 'Q';
  EXPECT_TRUE(PngCodec::decode(signature).empty());
  // Every cut inside the image data.
  for (std::size_t size = 8; size < good.size() - 12; size += 7)
    EXPECT_TRUE(PngCodec::decode(Bytes(good.begin(), good.begin() + static_cast<long>(size))).empty()) << size;
  // A changed byte of the image data fails its checksum.
  Bytes corrupt = good;
  corrupt[good.size() - 20] ^= 0x55;
  EXPECT_TRUE(PngCodec::decode(corrupt).empty());

  // Sides and pixel counts beyond the limits, however well compressed.
  const auto blankGray = [](int width, int height) {
    PngImage image{width, height, PNG_COLOR_TYPE_GRAY, 1, false, {}, {}, {}};
    image.rows.assign(static_cast<std::size_t>(height), Bytes(static_cast<std::size_t>((width + 7) / 8), 0));
    return writePng(image);
  };
  const Bytes wide = blankGray(kMaxImageSide + 1, 1);
  ASSERT_FALSE(wide.empty());
  EXPECT_TRUE(PngCodec::decode(wide).empty());
  EXPECT_EQ(PngCodec::decode(blankGray(kMaxImageSide, 1)).width(), kMaxImageSide);
  EXPECT_TRUE(PngCodec::decode(blankGray(kMaxImageSide, static_cast<int>(kMaxImagePixels / kMaxImageSide) + 1)).empty());

  // The bound on what compressed data can hold lets through the most compressible
  // images there are: blank 1-bit rows deflate about a thousand times.
  const Bytes blank = blankGray(2048, 2048);
  ASSERT_LT(blank.size() * 800, 2048u * 257u);
  const Surface decodedBlank = PngCodec::decode(blank);
  ASSERT_EQ(decodedBlank.width(), 2048);
  EXPECT_EQ(decodedBlank.at(2047, 2047), kBlack);
}

// Image files

// Files are decoded by their content, not their name; what cannot be read or
// decoded, or is over the size limit, gives an empty surface.
TEST(ImageFileTest, FilesAreDecodedByContentAndUnreadableOnesGiveAnEmptySurface) {
  const test::TempFolder folder;
  const auto load = [&](const std::string& name, const Bytes& bytes) {
    test::writeBytes(folder.path() / name, bytes);
    return ImageFile::load((folder.path() / name).string());
  };
  Surface picture = varied(17, 9);
  picture.at(0, 0) = makePixel(0x12, 0x34, 0x56, 0);  // colour kept under zero alpha
  EXPECT_EQ(rows(load("looks-like.bmp", PngCodec::encode(picture))), rows(picture));
  EXPECT_EQ(rows(load("looks-like.png", goodBmp().bytes())), rows(decodeBmp(goodBmp().bytes())));
  // PngCodec::writeFile writes nothing for an empty surface or a folder that is not there.
  const std::filesystem::path shot = folder.path() / "shot.png";
  ASSERT_TRUE(PngCodec::writeFile(picture, shot.string()));
  EXPECT_EQ(rows(ImageFile::load(shot.string())), rows(picture));
  EXPECT_FALSE(PngCodec::writeFile(Surface(), (folder.path() / "empty.png").string()));
  EXPECT_FALSE(std::filesystem::exists(folder.path() / "empty.png"));
  EXPECT_FALSE(PngCodec::writeFile(picture, (folder.path() / "missing" / "shot.png").string()));

  EXPECT_TRUE(ImageFile::load((folder.path() / "missing.png").string()).empty());
  EXPECT_TRUE(ImageFile::load(folder.path().string()).empty());
  EXPECT_TRUE(load("text.png", {'h', 'e', 'l', 'l', 'o'}).empty());
  Bytes damaged = goodBmp().bytes();
  damaged.resize(30);
  EXPECT_TRUE(load("damaged.bmp", damaged).empty());
  // A valid image padded past the size limit is refused unread (sparse, so cheap).
  const std::string big = (folder.path() / "big.png").string();
  test::writeBytes(big, PngCodec::encode(varied(4, 4)));
  std::filesystem::resize_file(big, ImageFile::kMaxFileSize + 1);
  EXPECT_TRUE(ImageFile::load(big).empty());
  std::filesystem::resize_file(big, ImageFile::kMaxFileSize);
  EXPECT_FALSE(ImageFile::load(big).empty());
}

}  // namespace
}  // namespace zvx::gui
