// The image codecs: BMP files built byte by byte, PNG written with libpng,
// files read from disk, and the distinct ways a file can be wrong (fuzz_bmp
// finds the rest).
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

const auto decodeBmp = BmpDecoder::decode;

std::vector<std::uint32_t> sixteenColours() {
  std::vector<std::uint32_t> colours;
  for (std::uint32_t i = 0; i < 16; ++i) colours.push_back((0x10 * i) << 16 | 0x5500 | (0xF0 - 0x10 * i));
  return colours;
}

// The rows from the top, so that sizes are compared too.
Rows rows(const Surface& surface) {
  Rows out(static_cast<std::size_t>(surface.height()));
  for (int y = 0; y < surface.height(); ++y)
    for (int x = 0; x < surface.width(); ++x) out[static_cast<std::size_t>(y)].push_back(surface.at(x, y));
  return out;
}
Rows bmpRows(const BmpBuilder& builder) { return rows(decodeBmp(builder.bytes())); }

TEST(BmpDecoderTest, PalettedIndexesAreReadHighBitsFirstFromPaddedRowsAndBeyondThePaletteAreBlack) {
  const Pixel o = rgb(0x102030), l = rgb(0xF0E0D0);
  const auto c = sixteenColours();
  const auto p = [&](std::size_t i) { return rgb(c[i]); };
  const Pixel a = rgb(0x112233), b = rgb(0x445566), d = rgb(0x778899);
  const auto shortPalette = [](long count) {
    BmpBuilder b = BmpBuilder(6, 1, 8).palette({0x112233, 0x445566, 0x778899});
    if (count >= 0) b.colorsUsed(static_cast<std::uint32_t>(count));
    return b.pixels(BmpBuilder::paddedRows({{0, 1, 2, 3, 200, 255}}));
  };
  const std::vector<std::pair<BmpBuilder, Rows>> cases = {
      // The second byte's unused low bits are set and the padding is garbage:
      // neither may show. The first stored row is the bottom one.
      {BmpBuilder(10, 2, 1).palette({0x102030, 0xF0E0D0}).pixels({0xA0, 0xFF, 0xEE, 0xEE, 0x01, 0x7F, 0xEE, 0xEE}),
       {{o, o, o, o, o, o, o, l, o, l}, {l, o, l, o, o, o, o, o, l, l}}},
      {BmpBuilder(3, 2, 4).palette(c).pixels(BmpBuilder::paddedRows({{0x12, 0x3F}, {0xAB, 0xC0}})),
       {{p(10), p(11), p(12)}, {p(1), p(2), p(3)}}},
      // A count below the entries present rules; no count means a full palette
      // is due, but the pixels after three entries are not colours; a count
      // beyond what the depth can index is cut to it; no palette is all black.
      {shortPalette(2), {{a, b, kBlack, kBlack, kBlack, kBlack}}},
      {shortPalette(0), {{a, b, d, kBlack, kBlack, kBlack}}},
      {shortPalette(100000), {{a, b, d, kBlack, kBlack, kBlack}}},
      {BmpBuilder(6, 1, 8).pixels(BmpBuilder::paddedRows({{0, 1, 2, 3, 200, 255}})), Rows(1, std::vector<Pixel>(6, kBlack))},
      // OS/2 core header: 16-bit sizes, three-byte entries.
      {BmpBuilder(2, 2, 8, 12).palette({0x112233, 0x445566, 0x778899}).pixels(BmpBuilder::paddedRows({{0, 1}, {2, 1}})),
       {{d, b}, {a, b}}},
      // Top down for a negative height.
      {BmpBuilder(1, -2, 8).palette({0x0000FF, 0x00FF00}).pixels(BmpBuilder::paddedRows({{0}, {1}})),
       {{rgb(0x0000FF)}, {rgb(0x00FF00)}}},
  };
  for (std::size_t i = 0; i < cases.size(); ++i) EXPECT_EQ(bmpRows(cases[i].first), cases[i].second) << i;
}

TEST(BmpDecoderTest, DirectColourFollowsTheDepthAndMasksWithAlphaOnlyWhereAMaskGivesIt) {
  // 24 bits, rows padded to 12 bytes; the last row's padding may be missing
  // (a pixel byte missing is the cuts of the malformed test).
  const Bytes data = BmpBuilder::paddedRows({{0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x09},
                                             {0x11, 0x12, 0x13, 0x14, 0x15, 0x16, 0x17, 0x18, 0x19}});
  Bytes file = BmpBuilder(3, 2, 24).pixels(data).bytes();
  file.resize(file.size() - 3);
  EXPECT_EQ(rows(decodeBmp(file)), (Rows{{rgb(0x131211), rgb(0x161514), rgb(0x191817)},
                                         {rgb(0x030201), rgb(0x060504), rgb(0x090807)}}));

  // 16 bits: 5-5-5 (16 -> 132), or 5-6-5 by bit fields (32 -> 130).
  EXPECT_EQ(bmpRows(BmpBuilder(2, 1, 16).pixels({0x00, 0x7C, 0x10, 0xC2})), (Rows{{rgb(0xFF0000), rgb(0x848484)}}));
  EXPECT_EQ(bmpRows(BmpBuilder(5, 1, 16)
                        .compression(BmpBuilder::kBitFields)
                        .masks(0xF800, 0x07E0, 0x001F)
                        .pixels({0x00, 0xF8, 0xE0, 0x07, 0x10, 0x84, 0x01, 0x00, 0xFF, 0xFF, 0, 0})),
            (Rows{{rgb(0xFF0000), rgb(0x00FF00), rgb(0x848284), rgb(0x000008), rgb(0xFFFFFF)}}));

  // 32 bits: the fourth byte is alpha only when a mask says so.
  const auto pixels = [](BmpBuilder builder) {
    return decodeBmp(builder.pixels({0x10, 0x20, 0x30, 0x00, 0x10, 0x20, 0x30, 0x7F}).bytes()).pixels();
  };
  const std::vector<Pixel> opaque = {rgb(0x302010), rgb(0x302010)};
  EXPECT_EQ(pixels(BmpBuilder(2, 1, 32)), opaque);
  EXPECT_EQ(pixels(BmpBuilder(2, 1, 32, 124).masks(0xFF0000, 0xFF00, 0xFF, 0)), opaque);
  EXPECT_EQ(pixels(BmpBuilder(2, 1, 32, 124).masks(0xFF0000, 0xFF00, 0xFF, 0xFF000000)),
            (std::vector<Pixel>{makePixel(0x30, 0x20, 0x10, 0x00), makePixel(0x30, 0x20, 0x10, 0x7F)}));
}

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
  const std::vector<Pixel> black(6, kBlack);
  const Rows drawn = {std::vector<Pixel>(6, p(3)),
                      {kBlack, kBlack, kBlack, kBlack, p(6), p(7)},
                      {p(5), p(5), kBlack, kBlack, kBlack, kBlack},
                      {p(1), p(1), p(1), p(2), p(3), p(4)}};
  EXPECT_EQ(bmpRows(builder(4)), drawn);
  EXPECT_EQ(bmpRows(builder(-4)), Rows(drawn.rbegin(), drawn.rend()));
  // Data that ends early leaves the rest black; an image size beyond the file uses what is there.
  Bytes truncated = builder(4).bytes();
  truncated.resize(truncated.size() - rle.size() + 5);  // inside the first literal run
  EXPECT_EQ(rows(decodeBmp(truncated)), (Rows{black, black, black, {p(1), p(1), p(1), p(2), kBlack, kBlack}}));
  EXPECT_EQ(bmpRows(builder(4).imageSize(100000)), drawn);

  // RLE4: runs alternate two colours; five literal nibbles take three bytes and a pad.
  const auto c = [](int i) { return rgb(sixteenColours()[static_cast<std::size_t>(i)]); };
  EXPECT_EQ(bmpRows(BmpBuilder(9, 1, 4).compression(BmpBuilder::kRle4).palette(sixteenColours()).pixels(
                {4, 0x12, 0, 5, 0xAB, 0xCD, 0xE0, 0, 0, 1})),
            (Rows{{c(1), c(2), c(1), c(2), c(10), c(11), c(12), c(13), c(14)}}));
}

// A small valid 24-bit file: 3 x 2, rows of nine bytes and three of padding.
BmpBuilder goodBmp() {
  return BmpBuilder(3, 2, 24).pixels(BmpBuilder::paddedRows({{1, 2, 3, 4, 5, 6, 7, 8, 9}, {9, 8, 7, 6, 5, 4, 3, 2, 1}}));
}

TEST(BmpDecoderTest, MalformedFilesGiveAnEmptySurfaceAndWrongSizeFieldsAreIgnored) {
  const Bytes good = goodBmp().bytes();
  ASSERT_EQ(decodeBmp(good).width(), 3);
  const auto patched = [&](std::size_t at, std::uint32_t value, std::size_t size = 4) {
    Bytes file = good;
    for (std::size_t i = 0; i < size; ++i) file[at + i] = static_cast<unsigned char>(value >> (8 * i));
    return file;
  };
  Bytes cutMasks = BmpBuilder(1, 1, 16).compression(BmpBuilder::kBitFields).masks(0xF800, 0x07E0, 0x001F).bytes();
  cutMasks.resize(14 + 40 + 8);
  // 64 bytes of pixels behind a header of these fields.
  const auto withPixels = [](int width, int height, int bits, std::uint32_t compression = 0) {
    return BmpBuilder(width, height, bits).compression(compression).pixels(Bytes(64)).bytes();
  };
  const std::vector<std::pair<const char*, Bytes>> cases = {
      {"not BM", patched(1, 'A', 1)}, {"height 0", withPixels(3, 0, 24)}, {"negative width", withPixels(-3, 2, 24)},
      {"INT_MIN height", withPixels(3, INT_MIN, 24)}, {"depth 7", withPixels(3, 2, 7)},
      {"width over the limit", BmpBuilder(kMaxImageSide + 1, 1, 1).pixels(Bytes(4096)).bytes()},
      {"too many pixels", BmpBuilder(kMaxImageSide, kMaxImageSide, 1).pixels(Bytes(4096)).bytes()},
      {"more pixels than the data holds", BmpBuilder(8192, 8192, 32).pixels(Bytes(4096)).bytes()},
      {"unknown compression", withPixels(3, 2, 24, 0xFFFFFFFF)}, {"masks cut off", cutMasks},
      {"compression unfit for the depth", BmpBuilder(3, 2, 4).compression(BmpBuilder::kRle8).pixels({0, 1}).bytes()},
      {"header size 39", patched(14, 39)}, {"header size 0xFFFFFFFF", patched(14, 0xFFFFFFFF)},
      {"data offset inside the header", patched(10, 30)}, {"data offset 0xFFFFFFFF", patched(10, 0xFFFFFFFF)},
      {"no RLE data", BmpBuilder(4, 4, 8).compression(BmpBuilder::kRle8).pixels(Bytes{}).bytes()},
      {"far more RLE pixels than bytes", BmpBuilder(4096, 4096, 8).compression(BmpBuilder::kRle8).pixels({0, 1}).bytes()},
  };
  for (const auto& [what, file] : cases) {
    const Surface s = decodeBmp(file);
    EXPECT_TRUE(s.empty() && s.width() == 0 && s.height() == 0) << what;
  }
  // Every cut of an uncompressed file short of its last row's pixels, the empty file too.
  for (std::size_t size = 0; size < good.size() - 3; ++size)
    EXPECT_TRUE(decodeBmp(Bytes(good.begin(), good.begin() + static_cast<long>(size))).empty()) << size;

  // Size fields writers get wrong are ignored; an RLE image may be a lone end-of-bitmap.
  EXPECT_EQ(decodeBmp(goodBmp().fileSize(0).bytes()).pixels(), decodeBmp(good).pixels());
  EXPECT_EQ(decodeBmp(goodBmp().imageSize(0xFFFFFFFF).bytes()).pixels(), decodeBmp(good).pixels());
  const Surface blank = decodeBmp(BmpBuilder(128, 128, 8).compression(BmpBuilder::kRle8).pixels({0, 1}).bytes());
  EXPECT_EQ(blank.pixels(), std::vector<Pixel>(128 * 128, kBlack));
}

struct PngImage {
  int width, height, colorType, depth;
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
               image.colorType, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
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

TEST(PngCodecTest, EveryColourTypeComesOutAsEightBitRgbaAndDamagedOrOversizedFilesAsNothing) {
  const std::vector<std::pair<PngImage, Rows>> cases = {
      // 2-bit palette with transparency for its first two entries only.
      {{4, 1, PNG_COLOR_TYPE_PALETTE, 2, {{0b00011011}}, {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {9, 8, 7}}, {0, 128}},
       {{makePixel(255, 0, 0, 0), makePixel(0, 255, 0, 128), rgb(0x0000FF), rgb(0x090807)}}},
      // 16 bits keep their high byte.
      {{1, 1, PNG_COLOR_TYPE_RGB_ALPHA, 16, {{0x11, 0xFF, 0x22, 0xFF, 0x33, 0xFF, 0x44, 0xFF}}, {}, {}},
       {{makePixel(0x11, 0x22, 0x33, 0x44)}}},
  };
  for (const auto& [image, expected] : cases)
    EXPECT_EQ(rows(PngCodec::decode(writePng(image))), expected) << image.colorType << " at " << image.depth;
  const Bytes good = PngCodec::encode(varied(20, 20));
  ASSERT_FALSE(PngCodec::decode(good).empty());
  Bytes signature = good;
  signature[1] = 'Q';
  EXPECT_TRUE(PngCodec::decode(signature).empty());
  Bytes corrupt = good;
  corrupt[good.size() - 20] ^= 0x55;  // fails the image data's checksum
  EXPECT_TRUE(PngCodec::decode(corrupt).empty());
  for (std::size_t size = 7; size < good.size() - 12; size += 7)
    EXPECT_TRUE(PngCodec::decode(Bytes(good.begin(), good.begin() + static_cast<long>(size))).empty()) << size;

  // Sides and pixel counts beyond the limits, however well compressed.
  const auto blankGray = [](int width, int height) {
    PngImage image{width, height, PNG_COLOR_TYPE_GRAY, 1, {}, {}, {}};
    image.rows.assign(static_cast<std::size_t>(height), Bytes(static_cast<std::size_t>((width + 7) / 8), 0));
    return writePng(image);
  };
  const Bytes wide = blankGray(kMaxImageSide + 1, 1);
  ASSERT_FALSE(wide.empty());
  EXPECT_TRUE(PngCodec::decode(wide).empty());
  EXPECT_EQ(PngCodec::decode(blankGray(kMaxImageSide, 1)).width(), kMaxImageSide);
  EXPECT_TRUE(PngCodec::decode(blankGray(kMaxImageSide, static_cast<int>(kMaxImagePixels / kMaxImageSide) + 1)).empty());
  // The bound on compressed data lets through blank 1-bit rows (about a thousandfold).
  const Bytes blank = blankGray(2048, 2048);
  ASSERT_LT(blank.size() * 800, 2048u * 257u);
  const Surface decodedBlank = PngCodec::decode(blank);
  ASSERT_EQ(decodedBlank.width(), 2048);
  EXPECT_EQ(decodedBlank.at(2047, 2047), kBlack);
}

TEST(ImageFileTest, FilesAreDecodedByContentAndUnreadableOnesGiveAnEmptySurface) {
  const test::TempFolder folder;
  const auto path = [&](const char* name) { return (folder.path() / name).string(); };
  const auto load = [&](const char* name, const Bytes& bytes) {
    test::writeBytes(path(name), bytes);
    return ImageFile::load(path(name));
  };
  Surface picture = varied(17, 9);
  picture.at(0, 0) = makePixel(0x12, 0x34, 0x56, 0);  // colour kept under zero alpha
  EXPECT_EQ(rows(load("looks-like.bmp", PngCodec::encode(picture))), rows(picture));
  EXPECT_EQ(rows(load("looks-like.png", goodBmp().bytes())), rows(decodeBmp(goodBmp().bytes())));
  ASSERT_TRUE(PngCodec::writeFile(picture, path("shot.png")));
  EXPECT_EQ(rows(ImageFile::load(path("shot.png"))), rows(picture));
  EXPECT_FALSE(PngCodec::writeFile(picture, path("missing/shot.png")));

  EXPECT_TRUE(ImageFile::load(path("missing.png")).empty());
  EXPECT_TRUE(ImageFile::load(folder.path().string()).empty());
  EXPECT_TRUE(load("text.png", {'h', 'e', 'l', 'l', 'o'}).empty());
  // A valid image padded past the size limit is refused unread (sparse, so cheap).
  test::writeBytes(path("big.png"), PngCodec::encode(varied(4, 4)));
  std::filesystem::resize_file(path("big.png"), ImageFile::kMaxFileSize + 1);
  EXPECT_TRUE(ImageFile::load(path("big.png")).empty());
  std::filesystem::resize_file(path("big.png"), ImageFile::kMaxFileSize);
  EXPECT_FALSE(ImageFile::load(path("big.png")).empty());
}

}  // namespace
}  // namespace zvx::gui
