#include "tests/support/BmpBuilder.h"

namespace zvx::test {
namespace {

void put16(std::vector<unsigned char>& out, std::uint32_t value) {
  out.push_back(static_cast<unsigned char>(value & 0xFF));
  out.push_back(static_cast<unsigned char>((value >> 8) & 0xFF));
}

void put32(std::vector<unsigned char>& out, std::uint32_t value) {
  put16(out, value & 0xFFFF);
  put16(out, value >> 16);
}

}  // namespace

BmpBuilder::BmpBuilder(int width, int height, int bits, std::uint32_t headerSize)
    : width_(width), height_(height), bits_(bits), headerSize_(headerSize) {}

BmpBuilder& BmpBuilder::masks(std::uint32_t red, std::uint32_t green, std::uint32_t blue, std::uint32_t alpha) {
  masks_[0] = red;
  masks_[1] = green;
  masks_[2] = blue;
  masks_[3] = alpha;
  return *this;
}

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
    if (headerSize_ == 52 || headerSize_ == 56 || headerSize_ == 108 || headerSize_ == 124) {
      for (int i = 0; i < (headerSize_ == 52 ? 3 : 4); ++i) put32(header, masks_[i]);
    }
    if (headerSize_ >= 108) put32(header, 0x73524742);  // 'sRGB'
    if (header.size() < headerSize_) header.resize(headerSize_, 0);
    if (headerSize_ == 40 && (compression_ == kBitFields || compression_ == kAlphaBitFields)) {
      for (int i = 0; i < (compression_ == kAlphaBitFields ? 4 : 3); ++i) put32(header, masks_[i]);
    }
  }
  for (std::uint32_t color : palette_) {
    header.push_back(static_cast<unsigned char>(color & 0xFF));
    header.push_back(static_cast<unsigned char>((color >> 8) & 0xFF));
    header.push_back(static_cast<unsigned char>((color >> 16) & 0xFF));
    if (headerSize_ != 12) header.push_back(0);
  }

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
