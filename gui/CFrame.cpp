#include "gui/CFrame.h"

#include <algorithm>
#include <cstring>

#include "gui/CDrawContext.h"
#include "gui/HeadlessWindow.h"
#include "platform/EditorWindow.h"

using zvx::gui::InputEvent;

namespace {

// Our modifier bits as key codes spell them.
unsigned char keyModifiers(long buttons) {
  unsigned char modifiers = 0;
  if (buttons & kShift) modifiers |= kKeyShift;
  if (buttons & kAlt) modifiers |= kKeyAlternate;
  if (buttons & kControl) modifiers |= kKeyControl;
  return modifiers;
}

}  // namespace

CPoint CFrame::scaledSize(const CRect& size, int percent) {
  return CPoint(toDeviceCoordinate(size.width(), percent), toDeviceCoordinate(size.height(), percent));
}

CFrame::CFrame(const CRect& size, void* systemWindow, CFrameOwner* owner, int percent)
    : CFrame(size,
             zvx::platform::createEditorWindow(systemWindow, scaledSize(size, percent).h, scaledSize(size, percent).v),
             owner, percent) {
  windowMissing_ = systemWindow != nullptr && dynamic_cast<zvx::gui::HeadlessWindow*>(window_.get()) != nullptr;
}

CFrame::CFrame(const CRect& size, std::unique_ptr<zvx::gui::PlatformWindow> window, CFrameOwner* owner, int percent)
    : CView(size),
      percent_(percent),
      surface_(scaledSize(size, percent).h, scaledSize(size, percent).v),
      window_(std::move(window)),
      owner_(owner) {
  if (!window_) window_ = std::make_unique<zvx::gui::HeadlessWindow>();
  attached(this);
  invalidate(size);
}

CFrame::~CFrame() {
  modalView_ = nullptr;
  focusView_ = nullptr;
  removeAll(true);
  // The window goes before the views' owner can go.
  window_.reset();
}

bool CFrame::addView(CView* view) {
  if (!view || !members_.insert(view).second) return false;
  views_.push_back(view);
  view->attached(this);
  view->setDirty(true);
  return true;
}

bool CFrame::removeView(CView* view, bool withForget) {
  auto found = std::find(views_.begin(), views_.end(), view);
  if (found == views_.end()) return false;
  views_.erase(found);
  members_.erase(view);
  if (focusView_ == view) focusView_ = nullptr;
  if (modalView_ == view) modalView_ = nullptr;
  invalidate(view->getViewSize());
  view->removed(this);
  if (withForget) view->forget();
  return true;
}

void CFrame::removeAll(bool withForget) {
  std::vector<CView*> views;
  views.swap(views_);
  members_.clear();
  focusView_ = nullptr;
  modalView_ = nullptr;
  for (CView* view : views) {
    view->removed(this);
    if (withForget) view->forget();
  }
}

CView* CFrame::getView(long index) const {
  if (index < 0 || index >= getNbViews()) return nullptr;
  return views_[static_cast<std::size_t>(index)];
}

bool CFrame::isChild(const CView* view) const { return members_.count(view) != 0; }

void CFrame::setFocusView(CView* view) {
  if (view == focusView_) return;
  CDrawContext context(this, surface_, percent_);
  if (focusView_) focusView_->looseFocus(&context);
  focusView_ = view;
  if (focusView_) focusView_->takeFocus(&context);
}

CView* CFrame::viewAt(const CPoint& where) const {
  for (auto view = views_.rbegin(); view != views_.rend(); ++view)
    if ((*view)->getViewSize().pointInside(where)) return *view;
  return nullptr;
}

CView* CFrame::getCurrentView() const { return modalView_ ? modalView_ : viewAt(mouseLocation_); }

void CFrame::setBackground(CBitmap* background) {
  CView::setBackground(background);
  invalidate(size);
}

void CFrame::draw(CDrawContext* /*context*/) { redraw(); }

void CFrame::invalidate(const CRect& area) {
  CRect bounded = area;
  bounded.bound(frameArea());
  invalid_.unite(bounded);
}

void CFrame::redraw() {
  invalidate(frameArea());
  idle();
}

// The background, then every view that meets the area, clipped to it: what
// lies behind a transparent view is drawn before it.
void CFrame::drawArea(const CRect& area) {
  CDrawContext context(this, surface_, percent_);
  context.setClipRect(area);
  if (CBitmap* background = getBackground()) {
    background->draw(&context, frameArea());
  } else {
    context.setFillColor(kBlackCColor);
    context.fillRect(area);
  }
  for (CView* view : views_)
    if (view->getViewSize().rectOverlap(area)) view->draw(&context);
}

void CFrame::idle() {
  for (CView* view : views_)
    if (view->isDirty()) invalidate(view->getViewSize());
  if (invalid_.isEmpty()) return;
  const CRect area = invalid_;
  invalid_ = CRect();
  drawArea(area);
  // The window shows surface pixels: the area's, to the edge of the next frame pixel.
  const CRect shown(toDeviceCoordinate(area.left, percent_), toDeviceCoordinate(area.top, percent_),
                    toDeviceCoordinate(area.right, percent_), toDeviceCoordinate(area.bottom, percent_));
  if (window_) window_->present(surface_, shown);
}

void CFrame::processEvents() {
  InputEvent event;
  while (window_ && window_->nextEvent(event, false)) dispatch(event);
  idle();
}

CPoint CFrame::framePoint(const CPoint& where) const {
  return CPoint(toFrameCoordinate(where.h, percent_), toFrameCoordinate(where.v, percent_));
}

void CFrame::dispatch(const InputEvent& event) {
  mouseLocation_ = framePoint(event.where);
  mouseButtons_ = event.buttons;
  CDrawContext context(this, surface_, percent_);
  switch (event.type) {
    case InputEvent::MouseDown: {
      CPoint where = mouseLocation_;
      mouse(&context, where, event.buttons);
      break;
    }
    case InputEvent::Wheel:
      onWheel(&context, mouseLocation_, event.wheel);
      break;
    case InputEvent::KeyDown: {
      ViewKey key{event.key < 256 ? event.key : 0, static_cast<unsigned char>(event.key >= 256 ? event.key - 256 : 0),
                  keyModifiers(event.buttons)};
      onKeyDown(key);
      break;
    }
    default:
      break;
  }
}

void CFrame::mouse(CDrawContext* context, CPoint& where, long buttons) {
  if (buttons == -1) buttons = mouseButtons_;
  CView* target = modalView_ ? modalView_ : viewAt(where);
  if (!target) {
    setFocusView(nullptr);
    if (owner_) owner_->backgroundClicked(where, buttons);
    return;
  }
  if (target != modalView_) setFocusView(target);
  // A view may remove itself (or others) while it has the mouse.
  target->remember();
  inMouse_ = true;
  target->mouse(context, where, buttons);
  inMouse_ = false;
  target->forget();
}

bool CFrame::onWheel(CDrawContext* context, const CPoint& where, float distance) {
  CView* target = modalView_ ? modalView_ : viewAt(where);
  return target && target->onWheel(context, where, distance);
}

bool CFrame::onWheel(float distance) {
  CDrawContext context(this, surface_, percent_);
  const bool taken = onWheel(&context, mouseLocation_, distance);
  idle();
  return taken;
}

long CFrame::onKeyDown(ViewKey& key) {
  CView* target = modalView_ ? modalView_ : focusView_;
  return target ? target->onKeyDown(key) : -1;
}

void CFrame::looseFocus(CDrawContext* /*context*/) { setFocusView(nullptr); }

zvx::gui::MenuChoice CFrame::popupMenu(const zvx::gui::MenuModel& menu, const CRect& anchor) {
  if (!window_) return {};
  const CRect shown(toDeviceCoordinate(anchor.left, percent_), toDeviceCoordinate(anchor.top, percent_),
                    toDeviceCoordinate(anchor.right, percent_), toDeviceCoordinate(anchor.bottom, percent_));
  if (menu.scalePercent == percent_) return window_->popupMenu(menu, shown);
  zvx::gui::MenuModel scaled = menu;
  scaled.scalePercent = percent_;
  return window_->popupMenu(scaled, shown);
}

void CFrame::beginEdit(long index) {
  if (owner_) owner_->beginEdit(index);
}

void CFrame::endEdit(long index) {
  if (owner_) owner_->endEdit(index);
}

long CFrame::trackMouse() {
  InputEvent event;
  if (!window_ || !window_->nextEvent(event, true)) {
    mouseButtons_ = 0;
    return 0;
  }
  mouseLocation_ = framePoint(event.where);
  mouseButtons_ = event.buttons;
  if (owner_)
    owner_->doIdleStuff();
  else
    idle();
  return mouseButtons_;
}

bool CFrame::isTypeOf(const char* type) const { return std::strcmp(type, "CFrame") == 0 || CView::isTypeOf(type); }
