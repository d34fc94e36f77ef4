// The editor window's contents: the views in drawing order over a background,
// drawn into a surface that a platform window shows. It routes input events to
// the views, tracks the mouse for dragging controls, redraws what is dirty,
// and passes the start and end of edits to its owner (the editor).
//
// GUI thread only.
#pragma once

#include <memory>
#include <unordered_set>
#include <vector>

#include "gui/CView.h"
#include "image/Surface.h"
#include "platform/PlatformWindow.h"

// What a frame needs from the editor that owns it.
class CFrameOwner {
 public:
  virtual void beginEdit(long index) = 0;
  virtual void endEdit(long index) = 0;
  // Redraws while a control tracks the mouse.
  virtual void doIdleStuff() = 0;
  // How knobs follow the mouse: kCircularMode, kRelativCircularMode or kLinearMode.
  virtual long getKnobMode() const = 0;
  // A click where no view is (frame coordinates).
  virtual void backgroundClicked(const CPoint& /*where*/, long /*buttons*/) {}

 protected:
  ~CFrameOwner() = default;
};

class CFrame : public CView {
 public:
  // A frame in the platform window made inside `systemWindow` (the host's
  // window); with no system window, or when none can be made, a headless one.
  // At `percent` the window and the surface are that much of `size`; views
  // keep their frame coordinates.
  CFrame(const CRect& size, void* systemWindow, CFrameOwner* owner, int percent = 100);
  // Takes a window made elsewhere (tests, offscreen hosts), of the scaled size.
  CFrame(const CRect& size, std::unique_ptr<zvx::gui::PlatformWindow> window, CFrameOwner* owner, int percent = 100);
  ~CFrame() override;

  bool addView(CView* view);
  // With `withForget` the frame gives up its hold (the view may die).
  bool removeView(CView* view, bool withForget = true);
  void removeAll(bool withForget = true);
  long getNbViews() const { return static_cast<long>(views_.size()); }
  CView* getView(long index) const;
  bool isChild(const CView* view) const;

  CView* getFocusView() const { return focusView_; }
  void setFocusView(CView* view);
  // The modal view while there is one, else the view under the mouse.
  CView* getCurrentView() const;
  void setModalView(CView* view) { modalView_ = view; }

  void setBackground(CBitmap* background) override;
  void draw(CDrawContext* context) override;
  // Marks an area to be redrawn at the next idle.
  void invalidate(const CRect& area);
  // Draws everything now.
  void redraw();
  // Redraws what is dirty and shows it.
  void idle();
  // Hands the window's pending input events to the views.
  void processEvents();

  void mouse(CDrawContext* context, CPoint& where, long buttons = -1) override;
  bool onWheel(CDrawContext* context, const CPoint& where, float distance) override;
  bool onWheel(float distance);
  long onKeyDown(ViewKey& key) override;
  void looseFocus(CDrawContext* context) override;

  void beginEdit(long index);
  void endEdit(long index);
  CFrameOwner* getOwner() const { return owner_; }
  // Runs a pop-up menu at `anchor` (frame coordinates), as the window places menus.
  zvx::gui::MenuChoice popupMenu(const zvx::gui::MenuModel& menu, const CRect& anchor);

  // Mouse tracking for controls (through CDrawContext): takes the next input
  // event, redraws, and answers the buttons then held.
  long trackMouse();
  CPoint mouseLocation() const { return mouseLocation_; }
  // The buttons and modifiers held as of the last input event.
  long mouseButtons() const { return mouseButtons_; }

  zvx::gui::Surface& surface() { return surface_; }
  int scalePercent() const { return percent_; }
  // The window's size in pixels: the frame's at the scale.
  static CPoint scaledSize(const CRect& size, int percent);
  zvx::gui::PlatformWindow* window() const { return window_.get(); }
  // False when a parent window was given but no window could be made in it;
  // the frame then runs headless and the editor should report failure.
  bool hasWindow() const { return !windowMissing_; }
  bool isTypeOf(const char* type) const override;
  const char* getClassName() const override { return "CFrame"; }

 private:
  void dispatch(const zvx::gui::InputEvent& event);
  // A window position in frame coordinates.
  CPoint framePoint(const CPoint& where) const;
  CRect frameArea() const { return CRect(0, 0, size.width(), size.height()); }
  void drawArea(const CRect& area);
  CView* viewAt(const CPoint& where) const;

  int percent_;
  std::vector<CView*> views_;
  std::unordered_set<const CView*> members_;  // the same views, for a quick isChild
  zvx::gui::Surface surface_;
  std::unique_ptr<zvx::gui::PlatformWindow> window_;
  CFrameOwner* owner_;
  CView* focusView_ = nullptr;
  CView* modalView_ = nullptr;
  CRect invalid_;
  CPoint mouseLocation_;
  long mouseButtons_ = 0;
  bool windowMissing_ = false;
  bool inMouse_ = false;
};
