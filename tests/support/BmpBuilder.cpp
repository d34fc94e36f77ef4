#include "tests/support/BmpBuilder.h"

#include "tests/support/RiffBuilder.h"

namespace zvx::test {

BmpBuilder::BmpBuilder(int width, int height, int bits, std::uint32_t headerSize)
    : width_(width), height_(height), bits_(bits), headerSize_(headerSize) {}

std::vector<unsigned char> BmpBuilder::bytes() const {
  std::vector<unsigned char> header;
  put32(header, headerSize_);
  if (headerSize_ == 12) {
    put16(header, static_cast<std::uint32_t>(width_));
    put16(header, static_cast<std::uint32_t>(height_));
    put16(header, 1);
    put16(header, static_cast<std::uint32_t>(bits_));
  } else {
    put32(header, static_cast<std::uint32_t>(width_));
    put32(header, static_cast<std::uint32_t>(height_));
    put16(header, 1);
    put16(header, static_cast<std::uint32_t>(bits_));
    put32(header, compression_);
    put32(header, static_cast<std::uint32_t>(imageSize_ >= 0 ? imageSize_ : static_cast<long>(pixels_.size())));
    put32(header, 2835);  // 72 dpi
    put32(header, 2835);
    put32(header, static_cast<std::uint32_t>(colorsUsed_ >= 0 ? colorsUsed_ : static_cast<long>(palette_.size())));
    put32(header, 0);
    if (headerSize_ == 52 || headerSize_ == 56 || headerSize_ == 108 || headerSize_ == 124)
      for (int i = 0; i < (headerSize_ == 52 ? 3 : 4); ++i) put32(header, masks_[i]);
    if (headerSize_ >= 108) put32(header, 0x73524742);  // 'sRGB'
    if (header.size() < headerSize_) header.resize(headerSize_, 0);
    if (headerSize_ == 40 && (compression_ == kBitFields || compression_ == kAlphaBitFields))
      for (int i = 0; i < (compression_ == kAlphaBitFields ? 4 : 3); ++i) put32(header, masks_[i]);
  }
  for (std::uint32_t color : palette_) putLittle(header, color & 0xFFFFFF, headerSize_ == 12 ? 3 : 4);  // B, G, R (, 0)

  std::vector<unsigned char> out = {'B', 'M'};
  const std::uint32_t offset = static_cast<std::uint32_t>(14 + header.size());
  const std::uint32_t total = static_cast<std::uint32_t>(offset + pixels_.size());
  put32(out, static_cast<std::uint32_t>(fileSize_ >= 0 ? fileSize_ : static_cast<long>(total)));
  put32(out, 0);
  put32(out, static_cast<std::uint32_t>(dataOffset_ >= 0 ? dataOffset_ : static_cast<long>(offset)));
  out.insert(out.end(), header.begin(), header.end());
  out.insert(out.end(), pixels_.begin(), pixels_.end());
  return out;
}

std::vector<unsigned char> BmpBuilder::paddedRows(const std::vector<std::vector<unsigned char>>& rows) {
  std::vector<unsigned char> out;
  for (const auto& row : rows) {
    out.insert(out.end(), row.begin(), row.end());
    out.resize(out.size() + (4 - row.size() % 4) % 4, 0);
  }
  return out;
}

}  // namespace zvx::test
