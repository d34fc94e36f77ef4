// The bitmaps of one skin load: each file decoded once whatever names lead to
// it ("x.bmp", "./x.bmp", "X.BMP" through a link), and all of them together
// within a pixel budget set by the window's size, so that a few kilobytes of
// skin cannot ask for gigabytes.
#pragma once

#include <cstddef>
#include <map>
#include <string>
#include <unordered_map>
#include <vector>

#include "gui/CBitmap.h"
#include "image/ImageLimits.h"
#include "platform/Platform.h"

namespace zvx {

// A skin may decode 16 times its window's pixels, at least 4 Mpx (a small
// window with long film strips) and at most 64 Mpx (256 MB) in all.
constexpr std::size_t kSkinPixelsPerWindowPixel = 16;
constexpr std::size_t kSkinPixelsAtLeast = std::size_t{4} << 20;
constexpr std::size_t kSkinPixelsAtMost = gui::kMaxImagePixels;

// A bitmap that was given empty for a reason other than a missing or
// unreadable file, and that reason.
struct EmptyBitmap {
  std::string name;
  std::string reason;
};

class BitmapCache {
 public:
  BitmapCache() = default;
  ~BitmapCache();  // gives up the hold on every bitmap it made
  BitmapCache(const BitmapCache&) = delete;
  BitmapCache& operator=(const BitmapCache&) = delete;

  // The file of a picture's companion at twice its size: "knob.bmp" is
  // "knob@2x.bmp" (folders in `path` kept).
  static std::string doubleSizeName(const std::string& path);

  // The bitmap asked for by `name` before (ASCII case ignored), or null.
  CBitmap* find(const std::string& name) const;
  // The bitmap of the file at `path`, asked for by `name`: the one already
  // decoded from that file, or the file decoded now if the budget has room
  // for it; an empty bitmap when the file is missing, unreadable or too large.
  CBitmap* load(const std::string& name, const std::string& path);
  // An empty bitmap for `name`, given for `reason`.
  CBitmap* refuse(const std::string& name, const std::string& reason);

  // The window's size sets the budget; until it is known, the most a skin may have.
  void setWindowPixels(std::size_t pixels) { windowPixels_ = pixels; }
  // For an editor shown larger: each bitmap's companion at twice its size
  // ("name@2x.bmp") is read too where there is one, within a budget five
  // times as large (the picture and its companion).
  void setDoubleSizeWanted(bool wanted) { doubleSizeWanted_ = wanted; }
  std::size_t budget() const;
  std::size_t decodedPixels() const { return decodedPixels_; }
  const std::vector<EmptyBitmap>& emptyBitmaps() const { return empty_; }

 private:
  CBitmap* keep(const std::string& name, CBitmap* bitmap);

  // The file's companion at twice the size, when wanted, exactly that size and within the budget.
  void loadDoubleSize(CBitmap& bitmap, const std::string& path);

  bool doubleSizeWanted_ = false;
  std::vector<CBitmap*> made_;  // one hold each
  std::unordered_map<std::string, CBitmap*> byName_;
  std::map<platform::FileIdentity, CBitmap*> byFile_;
  std::vector<EmptyBitmap> empty_;
  std::size_t windowPixels_ = 0;
  std::size_t decodedPixels_ = 0;
};

}  // namespace zvx
