// Writes BMP files of every layout the decoder reads, a few broken ones and
// small PNG files, as a seed corpus for fuzz_bmp.
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "image/PngCodec.h"
#include "tests/support/BmpBuilder.h"

using zvx::test::BmpBuilder;
using Bytes = std::vector<unsigned char>;

namespace {

std::vector<std::uint32_t> grayPalette(int entries) {
  std::vector<std::uint32_t> colours;
  for (int i = 0; i < entries; ++i) colours.push_back(static_cast<std::uint32_t>(i * 255 / (entries - 1)) * 0x010101u);
  return colours;
}

// Rows of `width` pixels of `bits` each, filled with a pattern.
Bytes patternRows(int width, int height, int bits) {
  std::vector<Bytes> rows;
  for (int y = 0; y < height; ++y) {
    Bytes row(static_cast<std::size_t>((width * bits + 7) / 8));
    for (std::size_t i = 0; i < row.size(); ++i) row[i] = static_cast<unsigned char>(i * 29 + static_cast<std::size_t>(y) * 71);
    rows.push_back(row);
  }
  return BmpBuilder::paddedRows(rows);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fputs("usage: make-bmp-seeds DIR\n", stderr);
    return 2;
  }
  const Bytes rle8 = {3, 1, 0, 3, 2, 3, 4, 0, 0, 0, 2, 5, 0, 2, 1, 1, 1, 6, 0, 4, 7, 8, 9, 10, 0, 0, 8, 3, 0, 1};
  const Bytes rle4 = {4, 0x12, 0, 3, 0x34, 0x50, 0, 0, 0, 5, 0xAB, 0xCD, 0xE0, 0, 0, 2, 1, 0, 1, 0xF0, 0, 1};
  zvx::gui::Surface picture(6, 5);
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 6; ++x)
      picture.at(x, y) = zvx::gui::makePixel(static_cast<std::uint8_t>(x * 40), static_cast<std::uint8_t>(y * 50),
                                             static_cast<std::uint8_t>(x * y * 9), static_cast<std::uint8_t>(255 - x * y * 8));
  zvx::gui::Surface gradient(40, 30);
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < 40; ++x) gradient.at(x, y) = zvx::gui::makePixel(static_cast<std::uint8_t>(x * 6), static_cast<std::uint8_t>(y * 8), 128);

  const std::vector<std::pair<std::string, Bytes>> seeds = {
      {"1bit.bmp", BmpBuilder(10, 3, 1).palette({0x102030, 0xF0E0D0}).pixels(patternRows(10, 3, 1)).bytes()},
      {"2bit.bmp", BmpBuilder(7, 2, 2).palette(grayPalette(4)).pixels(patternRows(7, 2, 2)).bytes()},
      {"4bit.bmp", BmpBuilder(5, 3, 4).palette(grayPalette(16)).pixels(patternRows(5, 3, 4)).bytes()},
      {"8bit-short-palette.bmp", BmpBuilder(6, 2, 8).palette(grayPalette(5)).pixels(patternRows(6, 2, 8)).bytes()},
      {"8bit-top-down.bmp", BmpBuilder(3, -3, 8).palette(grayPalette(256)).colorsUsed(0).pixels(patternRows(3, 3, 8)).bytes()},
      {"core-8bit.bmp", BmpBuilder(4, 2, 8, 12).palette(grayPalette(8)).pixels(patternRows(4, 2, 8)).bytes()},
      {"core-24bit.bmp", BmpBuilder(3, 2, 24, 12).pixels(patternRows(3, 2, 24)).bytes()},
      {"os2-4bit.bmp", BmpBuilder(5, 2, 4, 64).palette(grayPalette(16)).pixels(patternRows(5, 2, 4)).bytes()},
      {"16bit-555.bmp", BmpBuilder(3, 2, 16).pixels(patternRows(3, 2, 16)).bytes()},
      {"16bit-565.bmp",
       BmpBuilder(3, 2, 16).compression(BmpBuilder::kBitFields).masks(0xF800, 0x07E0, 0x001F).pixels(patternRows(3, 2, 16)).bytes()},
      {"16bit-1555-v5.bmp", BmpBuilder(3, 2, 16, 124)
                                .compression(BmpBuilder::kBitFields)
                                .masks(0x7C00, 0x03E0, 0x001F, 0x8000)
                                .pixels(patternRows(3, 2, 16))
                                .bytes()},
      {"24bit.bmp", BmpBuilder(3, 2, 24).pixels(patternRows(3, 2, 24)).bytes()},
      {"24bit-top-down.bmp", BmpBuilder(5, -2, 24).pixels(patternRows(5, 2, 24)).bytes()},
      {"32bit.bmp", BmpBuilder(2, 2, 32).pixels(patternRows(2, 2, 32)).bytes()},
      {"32bit-v4-alpha.bmp", BmpBuilder(2, 2, 32, 108)
                                 .compression(BmpBuilder::kBitFields)
                                 .masks(0xFF0000, 0xFF00, 0xFF, 0xFF000000)
                                 .pixels(patternRows(2, 2, 32))
                                 .bytes()},
      {"32bit-v5-rgb-alpha.bmp",
       BmpBuilder(2, 2, 32, 124).masks(0xFF0000, 0xFF00, 0xFF, 0xFF000000).pixels(patternRows(2, 2, 32)).bytes()},
      {"32bit-v3.bmp", BmpBuilder(2, 2, 32, 56).masks(0xFF0000, 0xFF00, 0xFF, 0xFF000000).pixels(patternRows(2, 2, 32)).bytes()},
      {"32bit-alpha-bitfields.bmp", BmpBuilder(2, 2, 32)
                                        .compression(BmpBuilder::kAlphaBitFields)
                                        .masks(0xFF000000, 0xFF0000, 0xFF00, 0xFF)
                                        .pixels(patternRows(2, 2, 32))
                                        .bytes()},
      {"32bit-101010.bmp", BmpBuilder(2, 2, 32)
                               .compression(BmpBuilder::kBitFields)
                               .masks(0x3FF00000, 0x000FFC00, 0x000003FF)
                               .pixels(patternRows(2, 2, 32))
                               .bytes()},
      {"rle8.bmp", BmpBuilder(6, 4, 8).compression(BmpBuilder::kRle8).palette(grayPalette(11)).pixels(rle8).bytes()},
      {"rle4.bmp", BmpBuilder(7, 2, 4).compression(BmpBuilder::kRle4).palette(grayPalette(16)).pixels(rle4).bytes()},
      {"rle8-blank.bmp", BmpBuilder(64, 64, 8).compression(BmpBuilder::kRle8).pixels({0, 1}).bytes()},
      {"truncated.bmp", [] {
         Bytes b = BmpBuilder(8, 8, 24).pixels(patternRows(8, 8, 24)).bytes();
         b.resize(b.size() / 2);
         return b;
       }()},
      {"lying-offset.bmp", BmpBuilder(3, 2, 24).pixels(patternRows(3, 2, 24)).dataOffset(0x7FFFFFFF).bytes()},
      {"small.png", zvx::gui::PngCodec::encode(picture)},
      {"gradient.png", zvx::gui::PngCodec::encode(gradient)},
  };
  for (const auto& [name, bytes] : seeds) {
    const std::string path = std::string(argv[1]) + "/" + name;
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return 1;
    if (!bytes.empty()) std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::fclose(file);
  }
  return 0;
}
