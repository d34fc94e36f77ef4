// libFuzzer target: any bytes as an image file, through the BMP and PNG
// decoders and, for some inputs, ImageFile from disk. Nothing may be read or
// written out of bounds; what decodes stays within the limits, a decoded PNG
// survives encoding and decoding unchanged, and ImageFile picks the decoder
// the first bytes name.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <span>
#include <string>

#include "image/BmpDecoder.h"
#include "image/ImageFile.h"
#include "image/ImageLimits.h"
#include "image/PngCodec.h"

namespace {

using zvx::gui::Surface;

void checkShape(const Surface& surface) {
  if (surface.width() > zvx::gui::kMaxImageSide || surface.height() > zvx::gui::kMaxImageSide ||
      surface.pixels().size() > zvx::gui::kMaxImagePixels ||
      surface.pixels().size() != static_cast<std::size_t>(surface.width()) * static_cast<std::size_t>(surface.height()))
    std::abort();
}

const std::string& imagePath() {
  static const std::string path = [] {
    std::string pattern = (std::filesystem::temp_directory_path() / "zvx-fuzz-image-XXXXXX").string();
    if (!mkdtemp(pattern.data())) std::abort();
    return (std::filesystem::path(pattern) / "image").string();
  }();
  return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const unsigned char> bytes(data, size);
  const Surface bmp = zvx::gui::BmpDecoder::decode(bytes);
  checkShape(bmp);
  const Surface png = zvx::gui::PngCodec::decode(bytes);
  checkShape(png);

  // Small ones only: encoding is the slow part.
  if (!png.empty() && png.pixels().size() <= 4096) {
    const Surface again = zvx::gui::PngCodec::decode(zvx::gui::PngCodec::encode(png));
    if (again.width() != png.width() || again.pixels() != png.pixels()) std::abort();
  }

  // One input in eight also goes through a file, which costs a write and a read.
  if (size % 8 == 0) {
    if (std::FILE* file = std::fopen(imagePath().c_str(), "wb")) {
      if (size) std::fwrite(data, 1, size, file);
      std::fclose(file);
    }
    const Surface loaded = zvx::gui::ImageFile::load(imagePath());
    const bool isBmp = size >= 2 && data[0] == 'B' && data[1] == 'M';
    const Surface& expected = isBmp ? bmp : png;
    if (loaded.width() != expected.width() || loaded.pixels() != expected.pixels()) std::abort();
  }
  return 0;
}
