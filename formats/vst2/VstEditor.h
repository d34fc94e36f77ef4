// A FrameEditor in a VST 2.4 host's window: the editor opcodes answered (the
// rectangle kept for the host, open, idle, keys, knob mode, the mouse
// wheel) and the headless protocol served from the editor's frame.
//
// Threads: the host's GUI thread, except setParameter (any thread).
#pragma once

#include <functional>
#include <memory>
#include <optional>

#include "editor/FrameEditor.h"
#include "formats/vst2/HeadlessRemote.h"
#include "formats/vst2/VstAbi.h"

namespace zvx::vst2 {

class VstEditor {
 public:
  // `resize` asks the host to fit its window to a new size; a host that
  // refuses shows the new size at the next opening.
  VstEditor(std::unique_ptr<FrameEditor> editor, std::function<void(int width, int height)> resize);
  ~VstEditor();
  VstEditor(const VstEditor&) = delete;
  VstEditor& operator=(const VstEditor&) = delete;

  // The answer to an editor opcode (effEditGetRect ... effSetEditKnobMode,
  // the headless protocol and the host's mouse wheel); none for the others.
  std::optional<VstIntPtr> dispatch(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt);
  // A parameter took this value; the views follow.
  void setParameter(int index, float value) { editor_->setParameter(index, value); }
  FrameEditor& frameEditor() { return *editor_; }

 private:
  bool open(void* parent);

  std::unique_ptr<FrameEditor> editor_;
  ERect rect_{};
  HeadlessRemote remote_;
};

}  // namespace zvx::vst2
