// An editor whose window is a CFrame of our toolkit: keeps the window
// rectangle, serves the host's editor calls from the frame (idle drives
// input and drawing on the host's GUI thread), and passes the user's gestures
// on to the host as the start and end of edits.
#pragma once

#include "host/gui/CFrame.h"
#include "host/vst/AEffEditor.h"

class AEffGUIEditor : public AEffEditor, public CFrameOwner {
 public:
  explicit AEffGUIEditor(AudioEffect* effect);
  ~AEffGUIEditor() override;

  bool getRect(ERect** rect) override;
  // Subclasses build the frame; this keeps the parent window.
  bool open(void* ptr) override;
  // Deletes the frame with all its views.
  void close() override;
  // Open means a frame in a real window (or a headless one when the host
  // gave no parent).
  bool isOpen() override { return frame != nullptr && frame->hasWindow(); }
  // Input events, then drawing; a call made from inside itself (a host that
  // idles us from a callback) does nothing.
  void idle() override;
  bool onWheel(float distance) override;
  bool onKeyDown(VstKeyCode& key) override;
  bool setKnobMode(VstInt32 mode) override;

  void beginEdit(long index) override;
  void endEdit(long index) override;
  void doIdleStuff() override;
  long getKnobMode() const override { return knobMode_; }

  CFrame* getFrame() const { return frame; }

 protected:
  ERect rect{};
  CFrame* frame = nullptr;

 private:
  bool isParameter(long index) const;

  long knobMode_ = kCircularMode;
  bool inIdle_ = false;
};
