// An editor whose window is a CFrame of our toolkit: keeps the window
// rectangle, serves the host's editor calls from the frame (idle drives
// input and drawing on the host's GUI thread), and passes the user's gestures
// on to the host as the start and end of edits.
#pragma once

#include <string>

#include "host/gui/CFrame.h"
#include "host/vst/AEffEditor.h"
#include "host/vst/HeadlessRemote.h"

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

  // Serves a host without a screen when the frame is headless.
  VstIntPtr headless(VstIntPtr op, void* data) override;
  // What the editor consists of, one line per view, for the headless host.
  virtual std::string describe();

 protected:
  ERect rect{};
  CFrame* frame = nullptr;

 private:
  bool isParameter(long index) const;

  long knobMode_ = kCircularMode;
  HeadlessRemote remote_;
  bool inIdle_ = false;
};
