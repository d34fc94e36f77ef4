// An image held in memory and drawn into a context. Loaded from a file by the
// platform's means; one that cannot be loaded is empty (0 x 0) and draws
// nothing. A transparent colour, once set, is not drawn; images with an alpha
// channel blend. Drawn at another scale, the art is its twice-as-large
// companion where one was given (a skin's "name@2x.bmp"), else the image
// itself, resampled to the size needed, once per scale.
#pragma once

#include <string>
#include <vector>

#include "gui/CReferenceCounter.h"
#include "image/Surface.h"
#include "platform/Geometry.h"

class CDrawContext;

class CBitmap : public CReferenceCounter {
 public:
  CBitmap() = default;
  explicit CBitmap(zvx::gui::Surface pixels) : pixels_(std::move(pixels)) {}

  // The art at twice the size, when there is some.
  void setDoubleSize(zvx::gui::Surface pixels);

  CCoord getWidth() const { return pixels_.width(); }
  CCoord getHeight() const { return pixels_.height(); }
  bool isLoaded() const { return !pixels_.empty(); }
  const zvx::gui::Surface& pixels() const { return pixels_; }

  // Draws the part of the image from `offset` on into `rect` (frame
  // coordinates), leaving out the transparent colour when one is set.
  void draw(CDrawContext* context, const CRect& rect, const CPoint& offset = CPoint(0, 0));
  void drawTransparent(CDrawContext* context, const CRect& rect, const CPoint& offset = CPoint(0, 0));
  // As draw, at `alpha` opacity (0 to 255).
  void drawAlphaBlend(CDrawContext* context, const CRect& rect, const CPoint& offset, unsigned char alpha);

  void setTransparentColor(const CColor& color);
  // Ignore the image's alpha channel: every pixel opaque.
  // The name the bitmap was asked for by (a skin's file name), for reports.
  void setName(const std::string& name) { name_ = name; }
  const std::string& getName() const { return name_; }

 private:
  struct Scaled {
    int percent;
    bool keyed;
    zvx::gui::Surface pixels;
  };
  void blit(CDrawContext* context, const CRect& rect, const CPoint& offset, unsigned opacity, bool keyed);
  void blitScaled(CDrawContext* context, const CRect& rect, const CPoint& offset, unsigned opacity, bool keyed);
  // The art at `percent`, the transparent colour made transparent when `keyed`.
  const zvx::gui::Surface& scaledArt(int percent, bool keyed);

  zvx::gui::Surface pixels_;
  zvx::gui::Surface double_;
  std::vector<Scaled> scaled_;  // made as drawing asks for them
  CColor transparentColor_ = kTransparentCColor;
  bool transparencyEnabled_ = false;
  std::string name_;
};
