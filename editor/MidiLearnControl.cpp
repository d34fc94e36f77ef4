#include "editor/MidiLearnControl.h"

#include <cstdio>
#include <cstring>

#include "gui/CDrawContext.h"
#include "gui/CFrame.h"
#include "gui/COptionMenu.h"

namespace zvx {

namespace {
// Pop-up, check and no-draw styles, and shadow text.
constexpr long kLearnMenuStyle = 0x1601;
}  // namespace

MidiLearnControl::MidiLearnControl(CControl* covered, CControlListener* listener, InstrumentControl& instrument)
    : CControl(covered->getViewSize(), listener, kTagBit + covered->getTag()), covered_(covered), instrument_(instrument) {}

void MidiLearnControl::draw(CDrawContext* /*context*/) { setDirty(false); }

void MidiLearnControl::mouse(CDrawContext* context, CPoint& where, long buttons) {
  if (buttons == -1) buttons = currentButtons();
  if (!(buttons & kRButton)) {
    // The control below behaves as if clicked directly.
    if (covered_) covered_->mouse(context, where, -1);
    return;
  }
  CFrame* frame = getFrame();
  if (!frame) return;
  const int p = static_cast<int>(parameter());
  const int controller = instrument_.learnedController(p);

  auto* menu = new COptionMenu(CRect(where.h, where.v, where.h + 1, where.v + 1), nullptr, 0, nullptr, nullptr,
                               kLearnMenuStyle);
  menu->addEntry("MidiLearn");
  if (controller != InstrumentControl::kUnbound) {
    char text[255];
    std::snprintf(text, sizeof text, "Forget CC %d", controller);
    menu->addEntry(text);
  }
  frame->addView(menu);
  menu->mouse(context, where, -1);
  frame->looseFocus(context);

  if (menu->isCheckEntry(0)) {
    setValue(kLearn);
    if (getListener()) getListener()->valueChanged(context, this);
  } else if (menu->isCheckEntry(1)) {
    setValue(kForget);
    if (getListener()) getListener()->valueChanged(context, this);
    instrument_.forgetController(p);
  }
  setValue(0.0f);
  frame->removeView(menu, true);
}

bool MidiLearnControl::onWheel(CDrawContext* context, const CPoint& where, float distance) {
  return covered_ && covered_->onWheel(context, where, distance);
}

bool MidiLearnControl::isTypeOf(const char* type) const {
  return std::strcmp(type, "MidiLearnControl") == 0 || CControl::isTypeOf(type);
}

}  // namespace zvx
