#include "image/BmpDecoder.h"

#include <algorithm>
#include <array>
#include <bit>
#include <climits>
#include <cstdint>
#include <new>
#include <optional>
#include <stdexcept>

#include "image/ImageLimits.h"

namespace zvx::gui {
namespace {

constexpr std::size_t kFileHeaderSize = 14;
constexpr std::size_t kInfoHeaderSize = 40;
constexpr std::size_t kCoreHeaderSize = 12;
constexpr std::size_t kOs2HeaderSize = 64;

constexpr std::uint32_t kRgb = 0;
constexpr std::uint32_t kRle8 = 1;
constexpr std::uint32_t kRle4 = 2;
constexpr std::uint32_t kBitFields = 3;
constexpr std::uint32_t kAlphaBitFields = 6;

constexpr Pixel kBlack = makePixel(0, 0, 0);

// An RLE stream can describe far more pixels than it holds (end-of-bitmap
// leaves the rest unset), so its length alone does not bound the image. Let
// one byte of it stand for at most this many pixels: an end-of-line pair that
// finishes an empty row of the widest image stands for half as many.
constexpr std::uint64_t kRlePixelsPerByte = 16384;

// Little-endian field of `count` bytes at `at`; 0 when outside the input, so a
// stray read can never leave it.
std::uint32_t field(std::span<const unsigned char> bytes, std::size_t at, int count) {
  if (at > bytes.size() || bytes.size() - at < static_cast<std::size_t>(count)) return 0;
  std::uint32_t value = 0;
  for (int i = count - 1; i >= 0; --i) value = (value << 8) | bytes[at + static_cast<std::size_t>(i)];
  return value;
}

// One channel of a 16- or 32-bit pixel, given by its mask, scaled to 8 bits.
struct Channel {
  std::uint32_t mask = 0;
  int shift = 0;
  int bits = 0;

  static Channel of(std::uint32_t mask) {
    Channel channel;
    channel.mask = mask;
    if (mask) {
      channel.shift = std::countr_zero(mask);
      channel.bits = std::bit_width(mask >> channel.shift);
    }
    return channel;
  }

  std::uint8_t from(std::uint32_t pixel) const {
    if (bits == 0) return 0;
    const std::uint32_t value = (pixel & mask) >> shift;
    if (bits >= 8) return static_cast<std::uint8_t>(value >> (bits - 8));
    // Narrow channels are stretched so that their maximum is 255 (5 bits: 31 -> 255).
    const std::uint32_t maximum = (1u << bits) - 1;
    return static_cast<std::uint8_t>((value * 255 + maximum / 2) / maximum);
  }
};

// Everything the headers say about the pixel data, checked against the input.
struct Layout {
  int width = 0;
  int height = 0;
  bool topDown = false;
  int bits = 0;
  std::uint32_t compression = kRgb;
  std::array<Pixel, 256> palette{};
  Channel red, green, blue, alpha;
  std::size_t dataOffset = 0;
  std::size_t dataSize = 0;

  int outputRow(int storedRow) const { return topDown ? storedRow : height - 1 - storedRow; }
};

bool validDepth(std::uint32_t compression, int bits) {
  switch (compression) {
    case kRgb:
      return bits == 1 || bits == 2 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32;
    case kRle8:
      return bits == 8;
    case kRle4:
      return bits == 4;
    case kBitFields:
    case kAlphaBitFields:
      return bits == 16 || bits == 32;
    default:
      return false;
  }
}

std::optional<Layout> readLayout(std::span<const unsigned char> bytes) {
  const std::size_t size = bytes.size();
  if (size < kFileHeaderSize + 4 || bytes[0] != 'B' || bytes[1] != 'M') return std::nullopt;
  const std::size_t headerSize = field(bytes, 14, 4);
  // Known header sizes only; each fixes where the masks and the palette are.
  if (headerSize != kCoreHeaderSize && headerSize != kInfoHeaderSize && headerSize != 52 && headerSize != 56 &&
      headerSize != kOs2HeaderSize && headerSize != 108 && headerSize != 124)
    return std::nullopt;
  if (size - kFileHeaderSize < headerSize) return std::nullopt;

  Layout layout;
  std::int64_t height = 0;
  std::size_t colorsUsed = 0;
  std::size_t imageSize = 0;
  std::size_t entrySize = 4;
  if (headerSize == kCoreHeaderSize) {
    layout.width = static_cast<int>(field(bytes, 18, 2));
    height = field(bytes, 20, 2);
    layout.bits = static_cast<int>(field(bytes, 24, 2));
    entrySize = 3;
  } else {
    layout.width = static_cast<std::int32_t>(field(bytes, 18, 4));
    height = static_cast<std::int32_t>(field(bytes, 22, 4));
    layout.bits = static_cast<int>(field(bytes, 28, 2));
    layout.compression = field(bytes, 30, 4);
    imageSize = field(bytes, 34, 4);
    colorsUsed = field(bytes, 46, 4);
    // OS/2 2.x numbers Huffman and RLE24 as 3 and 4; neither is supported.
    if (headerSize == kOs2HeaderSize && layout.compression > kRle4) return std::nullopt;
  }

  if (height == INT_MIN) return std::nullopt;
  layout.topDown = height < 0;
  height = height < 0 ? -height : height;
  if (layout.width <= 0 || height <= 0 || layout.width > kMaxImageSide || height > kMaxImageSide) return std::nullopt;
  layout.height = static_cast<int>(height);
  const std::uint64_t pixels = static_cast<std::uint64_t>(layout.width) * static_cast<std::uint64_t>(layout.height);
  if (pixels > kMaxImagePixels) return std::nullopt;
  if (!validDepth(layout.compression, layout.bits)) return std::nullopt;

  // Masks: inside V2 and later headers, else after a 40-byte header for the bit-field compressions.
  std::size_t maskBytes = 0;
  std::uint32_t masks[4] = {0, 0, 0, 0};
  const bool maskHeader = headerSize == 52 || headerSize == 56 || headerSize == 108 || headerSize == 124;
  const bool bitFields = layout.compression == kBitFields || layout.compression == kAlphaBitFields;
  if (maskHeader) {
    for (int i = 0; i < (headerSize == 52 ? 3 : 4); ++i) masks[i] = field(bytes, 54 + 4 * static_cast<std::size_t>(i), 4);
  } else if (headerSize == kInfoHeaderSize && bitFields) {
    maskBytes = layout.compression == kAlphaBitFields ? 16 : 12;
    if (size < kFileHeaderSize + headerSize + maskBytes) return std::nullopt;
    for (std::size_t i = 0; i < maskBytes / 4; ++i) masks[i] = field(bytes, 54 + 4 * i, 4);
  }
  if (!bitFields) {
    // Uncompressed 16 and 32 bits have fixed colour layouts; the fourth byte of
    // a classic 32-bit pixel is padding, so only a header's alpha mask gives alpha.
    masks[0] = layout.bits == 16 ? 0x7C00 : 0xFF0000;
    masks[1] = layout.bits == 16 ? 0x03E0 : 0x00FF00;
    masks[2] = layout.bits == 16 ? 0x001F : 0x0000FF;
  }
  layout.red = Channel::of(masks[0]);
  layout.green = Channel::of(masks[1]);
  layout.blue = Channel::of(masks[2]);
  layout.alpha = Channel::of(masks[3]);

  const std::size_t paletteStart = kFileHeaderSize + headerSize + maskBytes;
  layout.dataOffset = field(bytes, 10, 4);
  if (layout.dataOffset < paletteStart || layout.dataOffset >= size) return std::nullopt;

  layout.palette.fill(kBlack);
  if (layout.bits <= 8) {
    const std::size_t full = std::size_t{1} << layout.bits;
    std::size_t count = colorsUsed ? std::min(colorsUsed, full) : full;
    // The palette ends where the pixels start, whatever the count says.
    count = std::min(count, (layout.dataOffset - paletteStart) / entrySize);
    for (std::size_t i = 0; i < count; ++i) {
      const std::size_t at = paletteStart + i * entrySize;
      layout.palette[i] = makePixel(bytes[at + 2], bytes[at + 1], bytes[at]);
    }
  }

  const std::size_t available = size - layout.dataOffset;
  if (layout.compression == kRle8 || layout.compression == kRle4) {
    layout.dataSize = imageSize ? std::min(imageSize, available) : available;
    if (pixels > layout.dataSize * kRlePixelsPerByte) return std::nullopt;
  } else {
    const std::uint64_t rowBits = static_cast<std::uint64_t>(layout.width) * static_cast<std::uint64_t>(layout.bits);
    const std::uint64_t stride = (rowBits + 31) / 32 * 4;
    // Some writers drop the padding after the last row; its pixels are all there.
    const std::uint64_t needed = stride * static_cast<std::uint64_t>(layout.height - 1) + (rowBits + 7) / 8;
    if (needed > available) return std::nullopt;
    layout.dataSize = static_cast<std::size_t>(needed);
  }
  return layout;
}

void decodeRows(const Layout& layout, std::span<const unsigned char> data, Surface& out) {
  const std::size_t stride = (static_cast<std::size_t>(layout.width) * static_cast<std::size_t>(layout.bits) + 31) / 32 * 4;
  const int bits = layout.bits;
  for (int stored = 0; stored < layout.height; ++stored) {
    const unsigned char* row = data.data() + static_cast<std::size_t>(stored) * stride;
    Pixel* target = out.data() + static_cast<std::size_t>(layout.outputRow(stored)) * static_cast<std::size_t>(layout.width);
    for (int x = 0; x < layout.width; ++x) {
      const auto ux = static_cast<std::size_t>(x);
      switch (bits) {
        case 1:
        case 2:
        case 4:
        case 8: {
          const std::size_t bit = ux * static_cast<std::size_t>(bits);
          const unsigned shift = 8u - static_cast<unsigned>(bits) - static_cast<unsigned>(bit % 8);
          target[x] = layout.palette[(row[bit / 8] >> shift) & ((1u << bits) - 1)];
          break;
        }
        case 24:
          target[x] = makePixel(row[3 * ux + 2], row[3 * ux + 1], row[3 * ux]);
          break;
        default: {
          const std::uint32_t value =
              bits == 16 ? static_cast<std::uint32_t>(row[2 * ux] | (row[2 * ux + 1] << 8))
                         : static_cast<std::uint32_t>(row[4 * ux]) | (static_cast<std::uint32_t>(row[4 * ux + 1]) << 8) |
                               (static_cast<std::uint32_t>(row[4 * ux + 2]) << 16) |
                               (static_cast<std::uint32_t>(row[4 * ux + 3]) << 24);
          const std::uint8_t a = layout.alpha.mask ? layout.alpha.from(value) : 255;
          target[x] = makePixel(layout.red.from(value), layout.green.from(value), layout.blue.from(value), a);
        }
      }
    }
  }
}

// Pairs of bytes: a count and a colour (RLE4: two alternating colours), or 0 and
// an escape: 0 end of line, 1 end of bitmap, 2 a move right and up, 3 to 255
// that many literal pixels padded to an even byte count. Pixels beyond the end
// of a row are dropped rather than wrapped to the next.
void decodeRle(const Layout& layout, std::span<const unsigned char> data, Surface& out) {
  const bool four = layout.compression == kRle4;
  int x = 0;
  int y = 0;
  auto put = [&](unsigned index) {
    if (x < layout.width) out.at(x++, layout.outputRow(y)) = layout.palette[index];
  };
  auto nibble = [](unsigned byte, std::size_t i) { return i % 2 ? byte & 15u : byte >> 4; };
  std::size_t p = 0;
  while (y < layout.height && p + 1 < data.size()) {
    const unsigned first = data[p];
    const unsigned second = data[p + 1];
    p += 2;
    if (first > 0) {
      for (std::size_t i = 0; i < first; ++i) put(four ? nibble(second, i) : second);
    } else if (second == 0) {
      x = 0;
      ++y;
    } else if (second == 1) {
      return;
    } else if (second == 2) {
      if (p + 1 >= data.size()) return;
      x = std::min(layout.width, x + data[p]);
      y += data[p + 1];
      p += 2;
    } else {
      const std::size_t length = four ? (second + 1) / 2 : second;
      for (std::size_t i = 0; i < second; ++i) {
        const std::size_t at = p + (four ? i / 2 : i);
        if (at >= data.size()) return;
        put(four ? nibble(data[at], i) : data[at]);
      }
      p += length + length % 2;
    }
  }
}

}  // namespace

Surface BmpDecoder::decode(std::span<const unsigned char> bytes) {
  try {
    const std::optional<Layout> layout = readLayout(bytes);
    if (!layout) return {};
    Surface out(layout->width, layout->height, kBlack);
    const auto data = bytes.subspan(layout->dataOffset, layout->dataSize);
    if (layout->compression == kRle8 || layout->compression == kRle4)
      decodeRle(*layout, data, out);
    else
      decodeRows(*layout, data, out);
    return out;
  } catch (const std::bad_alloc&) {
    return {};
  } catch (const std::length_error&) {
    return {};
  }
}

}  // namespace zvx::gui
