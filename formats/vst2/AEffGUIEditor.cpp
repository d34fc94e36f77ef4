#include "formats/vst2/AEffGUIEditor.h"

#include "formats/vst2/AudioEffectX.h"

AEffGUIEditor::AEffGUIEditor(AudioEffect* effect, std::unique_ptr<zvx::FrameEditor> editor)
    : AEffEditor(effect), editor_(std::move(editor)) {
  // A host that refuses keeps its window; the editor has its new size at the next opening.
  editor_->setResizeRequest([effect](int width, int height) {
    if (auto* effectX = dynamic_cast<AudioEffectX*>(effect)) effectX->sizeWindow(width, height);
  });
}

AEffGUIEditor::~AEffGUIEditor() { AEffGUIEditor::close(); }

// The size the editor knows now; hosts ask before and after open.
bool AEffGUIEditor::getRect(ERect** result) {
  if (!result) return false;
  rect_.top = 0;
  rect_.left = 0;
  rect_.bottom = static_cast<VstInt16>(editor_->height());
  rect_.right = static_cast<VstInt16>(editor_->width());
  *result = &rect_;
  return true;
}

bool AEffGUIEditor::open(void* ptr) {
  systemWindow = ptr;
  return editor_->open(ptr);
}

void AEffGUIEditor::close() {
  editor_->close();
  systemWindow = nullptr;
}

bool AEffGUIEditor::onKeyDown(VstKeyCode& key) {
  ViewKey viewKey{key.character, key.virt, key.modifier};
  return editor_->onKeyDown(viewKey);
}

bool AEffGUIEditor::setKnobMode(VstInt32 mode) {
  editor_->setKnobMode(mode);
  return true;
}

VstIntPtr AEffGUIEditor::headless(VstIntPtr op, void* data) {
  return remote_.handle(editor_->getFrame(), op, data, [this] { return editor_->describe(); });
}
