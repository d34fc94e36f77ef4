// Points, rectangles, colours and the toolkit's numbering of fonts, text
// faces, alignments, mouse buttons and modifiers, as skins write them.
#pragma once

#include <algorithm>
#include <cstdint>

using CCoord = int;

struct CPoint {
  CCoord h = 0;
  CCoord v = 0;
  CPoint() = default;
  CPoint(CCoord h, CCoord v) : h(h), v(v) {}
  CPoint& offset(CCoord x, CCoord y) {
    h += x;
    v += y;
    return *this;
  }
  bool operator==(const CPoint&) const = default;
};

struct CRect {
  CCoord left = 0;
  CCoord top = 0;
  CCoord right = 0;
  CCoord bottom = 0;

  CRect() = default;
  CRect(CCoord left, CCoord top, CCoord right, CCoord bottom) : left(left), top(top), right(right), bottom(bottom) {}
  CRect(const CPoint& origin, const CPoint& size)
      : left(origin.h), top(origin.v), right(origin.h + size.h), bottom(origin.v + size.v) {}

  CCoord width() const { return right - left; }
  CCoord height() const { return bottom - top; }
  bool isEmpty() const { return right <= left || bottom <= top; }
  CRect& offset(CCoord x, CCoord y) {
    left += x;
    right += x;
    top += y;
    bottom += y;
    return *this;
  }
  CRect& moveTo(CCoord x, CCoord y) { return offset(x - left, y - top); }
  CRect& inset(CCoord dx, CCoord dy) {
    left += dx;
    right -= dx;
    top += dy;
    bottom -= dy;
    return *this;
  }
  bool pointInside(const CPoint& p) const { return p.h >= left && p.h < right && p.v >= top && p.v < bottom; }
  bool rectOverlap(const CRect& r) const { return left < r.right && r.left < right && top < r.bottom && r.top < bottom; }
  // The part of this rectangle inside `r` (empty when they do not meet).
  CRect& bound(const CRect& r) {
    left = std::max(left, r.left);
    top = std::max(top, r.top);
    right = std::max(left, std::min(right, r.right));
    bottom = std::max(top, std::min(bottom, r.bottom));
    return *this;
  }
  // The smallest rectangle holding both.
  CRect& unite(const CRect& r) {
    if (r.isEmpty()) return *this;
    if (isEmpty()) return *this = r;
    left = std::min(left, r.left);
    top = std::min(top, r.top);
    right = std::max(right, r.right);
    bottom = std::max(bottom, r.bottom);
    return *this;
  }
  bool operator==(const CRect&) const = default;
};

// Colours are opaque: the fourth component is carried (skins write it as 0)
// but not used as alpha.
struct CColor {
  std::uint8_t red = 0;
  std::uint8_t green = 0;
  std::uint8_t blue = 0;
  std::uint8_t alpha = 255;
  bool operator==(const CColor&) const = default;
  // Same red, green and blue: the fourth component does not take part.
};

constexpr CColor kTransparentCColor{255, 255, 255, 0};
constexpr CColor kBlackCColor{0, 0, 0, 255};
constexpr CColor kWhiteCColor{255, 255, 255, 255};
constexpr CColor kGreyCColor{127, 127, 127, 255};
constexpr CColor kRedCColor{255, 0, 0, 255};
constexpr CColor kGreenCColor{0, 255, 0, 255};
constexpr CColor kBlueCColor{0, 0, 255, 255};

// Font numbers, from the largest to the smallest of the standard sizes.
enum CFont {
  kSystemFont = 0,
  kNormalFontVeryBig,
  kNormalFontBig,
  kNormalFont,
  kNormalFontSmall,
  kNormalFontSmaller,
  kNormalFontVerySmall,
  kSymbolFont,
  kNumStandardFonts
};

// Pixel sizes of the standard fonts.
constexpr int kStandardFontSize[kNumStandardFonts] = {12, 18, 14, 12, 10, 9, 8, 13};

enum CTxtFace { kNormalFace = 0, kBoldFace = 1 << 0, kItalicFace = 1 << 1, kUnderlineFace = 1 << 2 };

enum CHoriTxtAlign { kLeftText = 0, kCenterText, kRightText };

// Mouse buttons and modifiers as one bit set.
enum CButton {
  kLButton = 1 << 0,
  kMButton = 1 << 1,
  kRButton = 1 << 2,
  kShift = 1 << 3,
  kControl = 1 << 4,
  kAlt = 1 << 5,
  kApple = 1 << 6,
};

// Knob modes, as the host sets them.
enum { kCircularMode = 0, kRelativCircularMode, kLinearMode };
