#include "image/PngCodec.h"

#include <png.h>

#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <new>
#include <stdexcept>

#include "image/ImageLimits.h"

namespace zvx::gui {
namespace {

constexpr std::size_t kSignatureSize = 8;
// Deflate expands at most 1032 times (a 258-byte match in two bits), which
// bounds the image a file of a given size can really hold.
constexpr std::uint64_t kMaxInflateRatio = 1032;

// libpng's default handlers print to standard error; a GUI has no use for that.
// Jumping here keeps libpng from falling back to its printing handler.
void failSilently(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void ignoreWarning(png_structp, png_const_charp) {}

struct MemoryInput {
  const unsigned char* data;
  std::size_t size;
  std::size_t position;
};

void readFromMemory(png_structp png, png_bytep out, std::size_t length) {
  auto* input = static_cast<MemoryInput*>(png_get_io_ptr(png));
  if (length > input->size - input->position) png_error(png, "truncated");
  std::memcpy(out, input->data + input->position, length);
  input->position += length;
}

void writeToMemory(png_structp png, png_bytep data, std::size_t length) {
  auto* out = static_cast<std::vector<unsigned char>*>(png_get_io_ptr(png));
  bool failed = false;
  try {
    out->insert(out->end(), data, data + length);
  } catch (const std::bad_alloc&) {
    failed = true;
  }
  // Outside the handler: the jump must not leave a live exception behind.
  if (failed) png_error(png, "out of memory");
}

void flushMemory(png_structp) {}

// A libpng error jumps back to the setjmp below, skipping destructors, so
// everything with one lives in the caller.
bool readImage(png_structp png, png_infop info, std::size_t inputSize, Surface& out, std::vector<png_bytep>& rows) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_set_user_limits(png, kMaxImageSide, kMaxImageSide);
  png_read_info(png, info);
  const png_uint_32 width = png_get_image_width(png, info);
  const png_uint_32 height = png_get_image_height(png, info);
  const int colorType = png_get_color_type(png, info);
  const int depth = png_get_bit_depth(png, info);
  if (static_cast<std::uint64_t>(width) * height > kMaxImagePixels) return false;
  // The filtered rows of a non-interlaced image, the least any encoding inflates to.
  const std::uint64_t rawRow = 1 + (static_cast<std::uint64_t>(width) * png_get_channels(png, info) * depth + 7) / 8;
  if (rawRow * height > inputSize * kMaxInflateRatio) return false;

  if (colorType == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(png);
  if (colorType == PNG_COLOR_TYPE_GRAY && depth < 8) png_set_expand_gray_1_2_4_to_8(png);
  const bool transparency = png_get_valid(png, info, PNG_INFO_tRNS) != 0;
  if (transparency) png_set_tRNS_to_alpha(png);
  if (depth == 16) png_set_strip_16(png);
  if (colorType == PNG_COLOR_TYPE_GRAY || colorType == PNG_COLOR_TYPE_GRAY_ALPHA) png_set_gray_to_rgb(png);
  if (!(colorType & PNG_COLOR_MASK_ALPHA) && !transparency) png_set_add_alpha(png, 0xFF, PNG_FILLER_AFTER);
  png_set_interlace_handling(png);
  png_read_update_info(png, info);
  if (png_get_rowbytes(png, info) != static_cast<std::size_t>(width) * 4) return false;

  // Read straight into the surface as RGBA bytes; the caller turns each into a Pixel in place.
  out = Surface(static_cast<int>(width), static_cast<int>(height));
  rows.resize(height);
  auto* base = reinterpret_cast<unsigned char*>(out.data());
  for (png_uint_32 y = 0; y < height; ++y) rows[y] = base + static_cast<std::size_t>(y) * width * 4;
  png_read_image(png, rows.data());
  return true;
}

bool writeImage(png_structp png, png_infop info, const Surface& surface, std::vector<unsigned char>& row) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_set_IHDR(png, info, static_cast<png_uint_32>(surface.width()), static_cast<png_uint_32>(surface.height()), 8,
               PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  for (int y = 0; y < surface.height(); ++y) {
    for (int x = 0; x < surface.width(); ++x) {
      const Pixel p = surface.at(x, y);
      unsigned char* rgba = row.data() + 4 * static_cast<std::size_t>(x);
      rgba[0] = redOf(p);
      rgba[1] = greenOf(p);
      rgba[2] = blueOf(p);
      rgba[3] = alphaOf(p);
    }
    png_write_row(png, row.data());
  }
  png_write_end(png, nullptr);
  return true;
}

}  // namespace

Surface PngCodec::decode(std::span<const unsigned char> bytes) {
  if (bytes.size() < kSignatureSize || png_sig_cmp(bytes.data(), 0, kSignatureSize) != 0) return {};
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, failSilently, ignoreWarning);
  if (!png) return {};
  png_infop info = png_create_info_struct(png);
  MemoryInput input{bytes.data(), bytes.size(), 0};
  Surface out;
  bool ok = false;
  if (info) {
    png_set_read_fn(png, &input, readFromMemory);
    std::vector<png_bytep> rows;
    try {
      ok = readImage(png, info, bytes.size(), out, rows);
    } catch (const std::bad_alloc&) {
    } catch (const std::length_error&) {
    }
  }
  png_destroy_read_struct(&png, info ? &info : nullptr, nullptr);
  if (!ok) return {};
  Pixel* pixels = out.data();
  for (std::size_t i = 0; i < out.pixels().size(); ++i) {
    const auto* rgba = reinterpret_cast<const unsigned char*>(pixels + i);
    pixels[i] = makePixel(rgba[0], rgba[1], rgba[2], rgba[3]);
  }
  return out;
}

std::vector<unsigned char> PngCodec::encode(const Surface& surface) {
  if (surface.empty()) return {};
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, failSilently, ignoreWarning);
  if (!png) return {};
  png_infop info = png_create_info_struct(png);
  std::vector<unsigned char> out;
  bool ok = false;
  if (info) {
    png_set_write_fn(png, &out, writeToMemory, flushMemory);
    try {
      std::vector<unsigned char> row(static_cast<std::size_t>(surface.width()) * 4);
      ok = writeImage(png, info, surface, row);
    } catch (const std::bad_alloc&) {
    }
  }
  png_destroy_write_struct(&png, info ? &info : nullptr);
  if (!ok) return {};
  return out;
}

bool PngCodec::writeFile(const Surface& surface, const std::string& path) {
  const std::vector<unsigned char> bytes = encode(surface);
  if (bytes.empty()) return false;
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return false;
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return std::fclose(file) == 0 && written;
}

}  // namespace zvx::gui
