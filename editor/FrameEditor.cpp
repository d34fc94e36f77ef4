#include "editor/FrameEditor.h"

#include <cstdio>

#include "gui/CControl.h"
#include "gui/FixedText.h"

namespace zvx {

FrameEditor::~FrameEditor() { FrameEditor::close(); }

bool FrameEditor::open(void* parent) {
  // A host that opens twice without closing gets a fresh editor, not a
  // leaked window.
  if (frame) close();
  systemWindow = parent;
  return true;
}

void FrameEditor::close() {
  if (frame) {
    CFrame* closing = frame;
    frame = nullptr;
    closing->forget();
  }
  systemWindow = nullptr;
}

void FrameEditor::idle() {
  if (inIdle_ || !frame) return;
  inIdle_ = true;
  frame->processEvents();
  inIdle_ = false;
}

bool FrameEditor::onWheel(float distance) { return frame && frame->onWheel(distance); }

bool FrameEditor::onKeyDown(ViewKey& key) { return frame && frame->onKeyDown(key) != -1; }

bool FrameEditor::isParameter(long index) const { return index >= 0 && index < instrument.parameterCount(); }

void FrameEditor::beginEdit(long index) {
  if (isParameter(index)) instrument.beginEdit(static_cast<int>(index));
}

void FrameEditor::endEdit(long index) {
  if (isParameter(index)) instrument.endEdit(static_cast<int>(index));
}

void FrameEditor::doIdleStuff() {
  if (frame) frame->idle();
}

std::string FrameEditor::describe() {
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

}  // namespace zvx
