#include "gui/CView.h"

#include <cstring>

#include "gui/CDrawContext.h"
#include "gui/CFrame.h"

CView::CView(const CRect& rect) : size(rect) {}

CView::~CView() {
  if (background_) background_->forget();
}

void CView::draw(CDrawContext* context) {
  drawBackground(context);
  setDirty(false);
}

void CView::drawBackground(CDrawContext* context) {
  if (background_) background_->draw(context, size, backOffset_);
}

long CView::currentButtons() const { return frame_ ? frame_->mouseButtons() : 0; }

void CView::mouse(CDrawContext* /*context*/, CPoint& /*where*/, long /*buttons*/) {}

bool CView::onWheel(CDrawContext* /*context*/, const CPoint& /*where*/, float /*distance*/) { return false; }

long CView::onKeyDown(ViewKey& /*key*/) { return -1; }

long CView::onKeyUp(ViewKey& /*key*/) { return -1; }

void CView::setViewSize(const CRect& rect, bool invalid) {
  if (invalid && frame_) frame_->invalidate(size);
  size = rect;
  if (invalid) setDirty();
}

void CView::setBackground(CBitmap* background) {
  if (background) background->remember();
  if (background_) background_->forget();
  background_ = background;
  setDirty();
}

bool CView::isTypeOf(const char* type) const { return std::strcmp(type, "CView") == 0; }
