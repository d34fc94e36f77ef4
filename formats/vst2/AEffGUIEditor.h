// A VST 2.4 editor showing a FrameEditor: the host's editor calls passed on,
// the window rectangle kept for the host, and the headless protocol served
// from the editor's frame.
#pragma once

#include <memory>

#include "editor/FrameEditor.h"
#include "formats/vst2/AEffEditor.h"
#include "formats/vst2/HeadlessRemote.h"

class AEffGUIEditor : public AEffEditor {
 public:
  AEffGUIEditor(AudioEffect* effect, std::unique_ptr<zvx::FrameEditor> editor);
  ~AEffGUIEditor() override;

  bool getRect(ERect** rect) override;
  bool open(void* ptr) override;
  void close() override;
  bool isOpen() override { return editor_->isOpen(); }
  void idle() override { editor_->idle(); }
  bool onWheel(float distance) override { return editor_->onWheel(distance); }
  bool onKeyDown(VstKeyCode& key) override;
  bool setKnobMode(VstInt32 mode) override;
  void setParameter(VstInt32 index, float value) override { editor_->setParameter(index, value); }
  // Serves a host without a screen when the frame is headless.
  VstIntPtr headless(VstIntPtr op, void* data) override;

  zvx::FrameEditor& frameEditor() { return *editor_; }
  CFrame* getFrame() const { return editor_->getFrame(); }

 private:
  std::unique_ptr<zvx::FrameEditor> editor_;
  ERect rect_{};
  HeadlessRemote remote_;
};
