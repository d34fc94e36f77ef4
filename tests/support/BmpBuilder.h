// Bytes of BMP files built field by field, good and bad. Used by the tests and
// by the fuzzers' seed corpus.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

namespace zvx::test {

class BmpBuilder {
 public:
  static constexpr std::uint32_t kRgb = 0;
  static constexpr std::uint32_t kRle8 = 1;
  static constexpr std::uint32_t kRle4 = 2;
  static constexpr std::uint32_t kBitFields = 3;
  static constexpr std::uint32_t kAlphaBitFields = 6;

  // headerSize: 12 (OS/2 core header, 16-bit sizes), 40 (info), 52, 56, 108 (V4)
  // or 124 (V5); any other value is written as given, after a 40-byte layout.
  BmpBuilder(int width, int height, int bits, std::uint32_t headerSize = 40);

  BmpBuilder& compression(std::uint32_t value) { return set(compression_, value); }
  // In the header when it has room for them, else after a 40-byte header when
  // the compression is one of the bit-field ones (alpha only for kAlphaBitFields).
  BmpBuilder& masks(std::uint32_t red, std::uint32_t green, std::uint32_t blue, std::uint32_t alpha = 0) {
    return set(masks_, std::array<std::uint32_t, 4>{red, green, blue, alpha});
  }
  // Entries as 0xRRGGBB; colorsUsed defaults to their number.
  BmpBuilder& palette(const std::vector<std::uint32_t>& colors) { return set(palette_, colors); }
  BmpBuilder& colorsUsed(std::uint32_t count) { return set(colorsUsed_, count); }
  // The pixel data exactly as stored in the file.
  BmpBuilder& pixels(const std::vector<unsigned char>& data) { return set(pixels_, data); }
  // Overrides of the fields normally computed from the content.
  BmpBuilder& dataOffset(std::uint32_t offset) { return set(dataOffset_, offset); }
  BmpBuilder& imageSize(std::uint32_t size) { return set(imageSize_, size); }
  BmpBuilder& fileSize(std::uint32_t size) { return set(fileSize_, size); }

  std::vector<unsigned char> bytes() const;

  // The rows, each padded with zeros to a multiple of 4 bytes, one after another.
  static std::vector<unsigned char> paddedRows(const std::vector<std::vector<unsigned char>>& rows);

 private:
  template <typename Field, typename Value>
  BmpBuilder& set(Field& field, const Value& value) {
    field = value;
    return *this;
  }

  int width_;
  int height_;
  int bits_;
  std::uint32_t headerSize_;
  std::uint32_t compression_ = kRgb;
  std::array<std::uint32_t, 4> masks_{};
  std::vector<std::uint32_t> palette_;
  long colorsUsed_ = -1;
  std::vector<unsigned char> pixels_;
  long dataOffset_ = -1;
  long imageSize_ = -1;
  long fileSize_ = -1;
};

}  // namespace zvx::test
