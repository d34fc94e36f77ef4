#include "skin/BitmapCache.h"

#include <algorithm>
#include <cstdio>
#include <optional>

#include "platform/Bitmaps.h"

namespace zvx {
namespace {

std::string key(const std::string& name) {
  std::string lowered = name;
  for (char& c : lowered)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
  return lowered;
}

}  // namespace

BitmapCache::~BitmapCache() {
  for (CBitmap* bitmap : made_) bitmap->forget();
}

CBitmap* BitmapCache::find(const std::string& name) const {
  const auto found = byName_.find(key(name));
  return found == byName_.end() ? nullptr : found->second;
}

std::size_t BitmapCache::budget() const {
  if (windowPixels_ == 0) return kSkinPixelsAtMost;
  const std::size_t perPixel = kSkinPixelsPerWindowPixel * (doubleSizeWanted_ ? 5 : 1);
  const std::size_t scaled = windowPixels_ > kSkinPixelsAtMost ? kSkinPixelsAtMost : windowPixels_ * perPixel;
  return std::clamp(scaled, kSkinPixelsAtLeast, kSkinPixelsAtMost);
}

std::string BitmapCache::doubleSizeName(const std::string& path) {
  const std::size_t dot = path.find_last_of('.'), slash = path.find_last_of("/\\");
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return path + "@2x";
  return path.substr(0, dot) + "@2x" + path.substr(dot);
}

void BitmapCache::loadDoubleSize(CBitmap& bitmap, const std::string& path) {
  const std::size_t left = budget() > decodedPixels_ ? budget() - decodedPixels_ : 0;
  platform::BitmapFile read = platform::loadBitmapFile(doubleSizeName(path), left);
  if (read.image.width() != 2 * bitmap.getWidth() || read.image.height() != 2 * bitmap.getHeight()) return;
  decodedPixels_ += read.image.pixels().size();
  bitmap.setDoubleSize(std::move(read.image));
}

CBitmap* BitmapCache::load(const std::string& name, const std::string& path) {
  const std::optional<platform::FileIdentity> file = platform::fileIdentity(path);
  if (file) {
    const auto known = byFile_.find(*file);
    if (known != byFile_.end()) return keep(name, known->second);
  }
  const std::size_t left = budget() > decodedPixels_ ? budget() - decodedPixels_ : 0;
  platform::BitmapFile read = platform::loadBitmapFile(path, left);
  if (read.refusedSize) {
    char reason[160];
    const gui::ImageSize size = *read.refusedSize;
    if (gui::imageFits(size, gui::kMaxImagePixels))
      std::snprintf(reason, sizeof reason, "%dx%d, refused for its size: the skin may decode %zu pixels, %zu were left",
                    size.width, size.height, budget(), left);
    else
      std::snprintf(reason, sizeof reason, "%dx%d, refused for its size: at most %d a side and %zu pixels", size.width,
                    size.height, gui::kMaxImageSide, gui::kMaxImagePixels);
    return refuse(name, reason);
  }
  decodedPixels_ += read.image.pixels().size();
  auto* bitmap = new CBitmap(std::move(read.image));
  bitmap->setName(name);
  if (doubleSizeWanted_ && bitmap->isLoaded()) loadDoubleSize(*bitmap, path);
  made_.push_back(bitmap);
  if (file) byFile_[*file] = bitmap;
  return keep(name, bitmap);
}

CBitmap* BitmapCache::refuse(const std::string& name, const std::string& reason) {
  auto* bitmap = new CBitmap();
  bitmap->setName(name);
  made_.push_back(bitmap);
  empty_.push_back({name, reason});
  return keep(name, bitmap);
}

CBitmap* BitmapCache::keep(const std::string& name, CBitmap* bitmap) {
  byName_.emplace(key(name), bitmap);
  return bitmap;
}

}  // namespace zvx
