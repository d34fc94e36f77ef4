#include "host/vst/AEffGUIEditor.h"

#include <cstdio>

#include "host/gui/CControl.h"
#include "host/gui/FixedText.h"
#include "host/vst/AudioEffect.h"

AEffGUIEditor::AEffGUIEditor(AudioEffect* effect) : AEffEditor(effect) {}

AEffGUIEditor::~AEffGUIEditor() { AEffGUIEditor::close(); }

bool AEffGUIEditor::getRect(ERect** result) {
  if (!result) return false;
  *result = &rect;
  return true;
}

bool AEffGUIEditor::open(void* ptr) {
  // A host that opens twice without closing gets a fresh editor, not a
  // leaked window.
  if (frame) close();
  systemWindow = ptr;
  return true;
}

void AEffGUIEditor::close() {
  if (frame) {
    CFrame* closing = frame;
    frame = nullptr;
    closing->forget();
  }
  systemWindow = nullptr;
}

void AEffGUIEditor::idle() {
  if (inIdle_ || !frame) return;
  inIdle_ = true;
  frame->processEvents();
  inIdle_ = false;
}

bool AEffGUIEditor::onWheel(float distance) { return frame && frame->onWheel(distance); }

bool AEffGUIEditor::onKeyDown(VstKeyCode& key) { return frame && frame->onKeyDown(key) != -1; }

bool AEffGUIEditor::setKnobMode(VstInt32 mode) {
  knobMode_ = mode;
  return true;
}

// Only parameters are the host's business; other tags (pads, learn layers)
// stay in the editor.
bool AEffGUIEditor::isParameter(long index) const {
  return effect && index >= 0 && index < effect->getAeffect()->numParams;
}

void AEffGUIEditor::beginEdit(long index) {
  if (isParameter(index)) effect->beginEdit(static_cast<VstInt32>(index));
}

void AEffGUIEditor::endEdit(long index) {
  if (isParameter(index)) effect->endEdit(static_cast<VstInt32>(index));
}

void AEffGUIEditor::doIdleStuff() {
  if (frame) frame->idle();
}

VstIntPtr AEffGUIEditor::headless(VstIntPtr op, void* data) {
  return remote_.handle(frame, op, data, [this] { return describe(); });
}

std::string AEffGUIEditor::describe() {
  std::string out;
  if (!frame) return out;
  for (long i = 0; i < frame->getNbViews(); ++i) {
    CView* view = frame->getView(i);
    const CRect& r = view->getViewSize();
    char line[160];
    if (auto* control = dynamic_cast<CControl*>(view))
      std::snprintf(line, sizeof line, "%s tag=%ld rect=%d,%d,%d,%d value=%s\n", view->getClassName(),
                    control->getTag(), r.left, r.top, r.right, r.bottom,
                    fixedText(static_cast<double>(control->getValue()), 4).c_str());
    else
      std::snprintf(line, sizeof line, "%s rect=%d,%d,%d,%d\n", view->getClassName(), r.left, r.top, r.right, r.bottom);
    out += line;
  }
  return out;
}
