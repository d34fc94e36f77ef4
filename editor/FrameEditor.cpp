#include "editor/FrameEditor.h"

#include <cstdio>

#include "editor/EditorScale.h"
#include "gui/CControl.h"
#include "gui/FixedText.h"

namespace zvx {

FrameEditor::FrameEditor(InstrumentControl& instrument)
    : instrument(instrument), scale_(EditorScale::load()), wantedScale_(scale_) {}

int FrameEditor::width() const { return CFrame::scaledSize(CRect(0, 0, width_, height_), scale_).h; }
int FrameEditor::height() const { return CFrame::scaledSize(CRect(0, 0, width_, height_), scale_).v; }

void FrameEditor::setScale(int percent) {
  wantedScale_ = percent;
  if (percent == scale_) return;
  scale_ = percent;
  if (!frame) return;
  void* parent = systemWindow;
  open(parent);
  requestResize();
}

bool FrameEditor::fitsAt(int percent, std::size_t art) const {
  const CPoint window = CFrame::scaledSize(CRect(0, 0, width_, height_), percent);
  if (window.h > kSideAtMost || window.v > kSideAtMost) return false;
  const double factor = percent / 100.0;
  const double pixels = static_cast<double>(art) * (1.0 + factor * factor) +
                        2.0 * static_cast<double>(window.h) * static_cast<double>(window.v);
  return pixels <= static_cast<double>(kPixelsAtMost);
}

int FrameEditor::fittingScale(int wanted, std::size_t art) const {
  int best = EditorScale::kPercents.front();
  for (int percent : EditorScale::kPercents)
    if (percent <= wanted && fitsAt(percent, art)) best = percent;
  return best;
}

// Only the sizes this editor fits at can be chosen.
void FrameEditor::backgroundClicked(const CPoint& where, long buttons) {
  if (!(buttons & kRButton) || !frame) return;
  gui::MenuModel sizes;
  for (int percent : EditorScale::kPercents)
    sizes.entries.push_back(
        {std::to_string(percent) + " %", percent == scale_, fitsAt(percent, artPixels_), nullptr});
  gui::MenuModel menu;
  menu.entries.push_back({"Size", false, true, &sizes});
  const gui::MenuChoice choice = frame->popupMenu(menu, CRect(where.h, where.v, where.h, where.v));
  if (choice.size() != 2 || choice[0] != 0 || choice[1] < 0 ||
      choice[1] >= static_cast<int>(EditorScale::kPercents.size()))
    return;
  const int percent = EditorScale::kPercents[static_cast<std::size_t>(choice[1])];
  if (!fitsAt(percent, artPixels_)) return;
  EditorScale::save(percent);
  // The frame that called is still handling its event: it is replaced after.
  pendingScale_ = percent;
}

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
  if (const int percent = pendingScale_) {
    pendingScale_ = 0;
    setScale(percent);
  }
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
