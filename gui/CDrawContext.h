// Drawing into a frame's surface, in frame coordinates, clipped to a
// rectangle: colours, lines, rectangles, text and bitmaps. Also the source of
// the mouse state for controls that track a drag.
#pragma once

#include <string>

#include "image/Surface.h"
#include "platform/Geometry.h"

class CFrame;

class CDrawContext {
 public:
  // The surface holds the frame drawn at `percent` of its size: views draw
  // in frame coordinates, which map to the surface's pixels (at 100 one to one).
  CDrawContext(CFrame* frame, zvx::gui::Surface& surface, int percent = 100);

  CFrame* getFrame() const { return frame_; }
  zvx::gui::Surface& surface() { return surface_; }
  int scalePercent() const { return percent_; }
  // The surface pixel where frame coordinate `x` begins, and a frame
  // rectangle's pixels.
  int toDevice(CCoord x) const;
  CRect toDevice(const CRect& rect) const;
  // Blends a pixel of the surface itself, clipped.
  void plotDevice(int x, int y, zvx::gui::Pixel pixel, unsigned opacity = 255);

  void setClipRect(const CRect& clip);
  const CRect& getClipRect() const { return clip_; }
  const CRect& deviceClipRect() const { return deviceClip_; }
  // Drawing of the whole surface again.
  void resetClipRect();

  void setFillColor(const CColor& color) { fillColor_ = color; }
  void setFrameColor(const CColor& color) { frameColor_ = color; }
  void setFontColor(const CColor& color) { fontColor_ = color; }
  CColor getFontColor() const { return fontColor_; }
  // size 0 takes the font's standard size; style is CTxtFace bits.
  void setFont(CFont font, int size = 0, long style = 0);
  void setLineWidth(int width) { lineWidth_ = width < 1 ? 1 : width; }

  void moveTo(const CPoint& point) { pen_ = point; }
  void drawLine(const CPoint& from, const CPoint& to);
  // The rectangle's outline in the frame colour, inside its edges.
  void drawRect(const CRect& rect);
  void fillRect(const CRect& rect);

  // One line of text in the font colour, centred vertically in `rect` and
  // aligned horizontally, clipped to `rect`; `opaque` fills it first.
  void drawString(const char* text, const CRect& rect, bool opaque = false, CHoriTxtAlign align = kCenterText);

  // Blends a frame pixel (all the surface pixels it covers), clipped.
  void plot(int x, int y, zvx::gui::Pixel pixel, unsigned opacity = 255);

  // Mouse state while a control tracks a drag: each call takes the next input
  // event from the frame's window.
  long getMouseButtons();
  void getMouseLocation(CPoint& point);

 private:
  int scaled(int size) const;  // a length in surface pixels, at least 1

  CFrame* frame_;
  zvx::gui::Surface& surface_;
  int percent_;
  CRect clip_;        // frame coordinates
  CRect deviceClip_;  // the same, in surface pixels
  CColor fillColor_ = kWhiteCColor;
  CColor frameColor_ = kBlackCColor;
  CColor fontColor_ = kWhiteCColor;
  CFont font_ = kNormalFont;
  int fontSize_ = kStandardFontSize[kNormalFont];
  long fontStyle_ = 0;
  int lineWidth_ = 1;
  CPoint pen_;
};

// The surface pixel where frame coordinate `x` begins at `percent` (floor,
// negative coordinates too), and the frame coordinate of surface pixel `x`.
int toDeviceCoordinate(CCoord x, int percent);
CCoord toFrameCoordinate(int x, int percent);

// The pixel of an opaque colour.
zvx::gui::Pixel toPixel(const CColor& color);
