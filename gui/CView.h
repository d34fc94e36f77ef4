// Base of everything in a frame: a rectangle in frame coordinates that draws
// itself, may take the mouse, and is redrawn when dirty.
#pragma once

#include "gui/CBitmap.h"
#include "gui/CReferenceCounter.h"
#include "gui/ViewKey.h"
#include "platform/Geometry.h"

class CDrawContext;
class CFrame;

class CView : public CReferenceCounter {
 public:
  explicit CView(const CRect& size);
  ~CView() override;

  virtual void draw(CDrawContext* context);
  // Called on a mouse-down inside the view; controls track the drag here.
  virtual void mouse(CDrawContext* context, CPoint& where, long buttons = -1);
  virtual bool onWheel(CDrawContext* context, const CPoint& where, float distance);
  virtual long onKeyDown(ViewKey& key);
  virtual long onKeyUp(ViewKey& key);

  virtual bool isDirty() const { return dirty_; }
  virtual void setDirty(bool dirty = true) { dirty_ = dirty; }

  virtual void setViewSize(const CRect& rect, bool invalid = true);
  CRect& getViewSize(CRect& rect) const {
    rect = size;
    return rect;
  }
  const CRect& getViewSize() const { return size; }
  CCoord getWidth() const { return size.width(); }
  CCoord getHeight() const { return size.height(); }

  // A transparent view lets what lies behind it show: the frame redraws that first.
  void setTransparency(bool transparent) { transparent_ = transparent; }
  bool getTransparency() const { return transparent_; }

  virtual void setBackground(CBitmap* background);
  CBitmap* getBackground() const { return background_; }
  void setBackOffset(const CPoint& offset) { backOffset_ = offset; }
  const CPoint& getBackOffset() const { return backOffset_; }

  // Class names of this view and its bases, e.g. "COnOffButton", "CControl".
  virtual bool isTypeOf(const char* type) const;
  virtual const char* getClassName() const { return "CView"; }

  CFrame* getFrame() const { return frame_; }
  virtual void attached(CFrame* frame) { frame_ = frame; }
  virtual void removed(CFrame* /*frame*/) { frame_ = nullptr; }
  virtual void takeFocus(CDrawContext* /*context*/) {}
  virtual void looseFocus(CDrawContext* /*context*/) {}

 protected:
  // Draws the background bitmap from the back offset over the whole view.
  void drawBackground(CDrawContext* context);
  // The buttons held now, for mouse() called with -1.
  long currentButtons() const;

  CRect size;

 private:
  bool dirty_ = true;
  bool transparent_ = false;
  CBitmap* background_ = nullptr;
  CPoint backOffset_;
  CFrame* frame_ = nullptr;
};
