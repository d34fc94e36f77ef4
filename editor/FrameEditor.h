// An editor whose window is a CFrame of our toolkit, for any front door: it
// keeps the window size, serves the front door's editor calls from the frame
// (idle drives input and drawing on the GUI thread) and passes the user's
// gestures on to the instrument as the start and end of edits.
#pragma once

#include <cstddef>
#include <functional>
#include <string>

#include "gui/CFrame.h"
#include "instrument/InstrumentControl.h"

namespace zvx {

class FrameEditor : public CFrameOwner {
 public:
  // At the user's scale (EditorScale).
  explicit FrameEditor(InstrumentControl& instrument);
  virtual ~FrameEditor();
  FrameEditor(const FrameEditor&) = delete;
  FrameEditor& operator=(const FrameEditor&) = delete;

  // The window's size, known before the first open: the frame's at the scale.
  int width() const;
  int height() const;
  // Percent of the skin's size; one of EditorScale::kPercents.
  int scale() const { return scale_; }
  // The scale the user or the desktop asked for, which a large skin may not fit.
  int wantedScale() const { return wantedScale_; }
  // Changes the scale. An open editor is made again at the new size in the
  // same window, and the front door is asked to fit its window to it.
  void setScale(int percent);

  // What an editor may hold at its scale, counted in pixels of four bytes:
  // the frame's surface and the window's image (each the scaled window), and
  // its art decoded and drawn at the scale. Beyond it a scale is refused.
  static constexpr std::size_t kPixelsAtMost = std::size_t{1} << 28;  // 1 GB
  // The longest side a window may have: hosts and X11 count in 16 bits.
  static constexpr int kSideAtMost = 32767;
  // Whether the editor fits at `percent` with `art` pixels of art decoded.
  bool fitsAt(int percent, std::size_t art) const;
  // The largest scale up to `wanted` that fits; 100 % when none does.
  int fittingScale(int wanted, std::size_t art) const;
  // How the front door asks for its window (the host's) to fit a new size;
  // a host that refuses shows the new size at the next opening.
  void setResizeRequest(std::function<void(int width, int height)> request) { resizeRequest_ = std::move(request); }
  // Subclasses build the frame in `parent` (the host's native window, or
  // null for a headless frame); this keeps the parent.
  virtual bool open(void* parent);
  // Deletes the frame with all its views.
  virtual void close();
  // Open means a frame in a real window (or a headless one when the host
  // gave no parent).
  bool isOpen() const { return frame != nullptr && frame->hasWindow(); }
  // Input events, then drawing; a call made from inside itself (a host that
  // idles us from a callback) does nothing.
  virtual void idle();
  bool onWheel(float distance);
  bool onKeyDown(ViewKey& key);
  void setKnobMode(long mode) { knobMode_ = mode; }
  // Any thread: a parameter took this value; the views follow.
  virtual void setParameter(int /*index*/, float /*value*/) {}

  // CFrameOwner: edits of parameters reach the instrument; other tags (pads,
  // learn layers) stay in the editor.
  void beginEdit(long index) override;
  void endEdit(long index) override;
  void doIdleStuff() override;
  long getKnobMode() const override { return knobMode_; }
  // A right click on the background: the menu with "Size".
  void backgroundClicked(const CPoint& where, long buttons) override;

  CFrame* getFrame() const { return frame; }
  // The platform's window the frame shows in, null when headless or closed.
  void* nativeWindow() const { return frame && frame->window() ? frame->window()->nativeHandle() : nullptr; }
  // What the editor consists of, one line per view, for headless hosts.
  virtual std::string describe();

 protected:
  void setSize(int width, int height) {
    width_ = width;
    height_ = height;
  }
  // The scale the editor is shown at, for a subclass that finds the one
  // wanted does not fit; a frame built already is not rebuilt here.
  void useScale(int percent) { scale_ = percent; }
  // Asks the front door to fit its window to the editor's size.
  void requestResize() {
    if (resizeRequest_) resizeRequest_(width(), height());
  }
  // The art the last build decoded, for the scales the size menu offers.
  void setArtPixels(std::size_t pixels) { artPixels_ = pixels; }

  InstrumentControl& instrument;
  CFrame* frame = nullptr;
  void* systemWindow = nullptr;

 private:
  bool isParameter(long index) const;

  int width_ = 0;   // the skin's
  int height_ = 0;
  int scale_;
  int wantedScale_;
  std::size_t artPixels_ = 0;
  int pendingScale_ = 0;  // chosen in the menu, applied after the event
  std::function<void(int, int)> resizeRequest_;
  long knobMode_ = kCircularMode;
  bool inIdle_ = false;
};

}  // namespace zvx
