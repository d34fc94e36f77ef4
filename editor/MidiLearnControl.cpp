#include "editor/MidiLearnControl.h"

#include <cstdio>
#include <cstring>

#include "host/gui/CDrawContext.h"
#include "host/gui/CFrame.h"
#include "host/gui/COptionMenu.h"
#include "plugin/LearnMap.h"

namespace zvx {

namespace {
// Pop-up, check and no-draw styles, and shadow text.
constexpr long kLearnMenuStyle = 0x1601;
}  // namespace

MidiLearnControl::MidiLearnControl(CControl* covered, CControlListener* listener, DrumPlugin* plugin)
    : CControl(covered->getViewSize(), listener, kTagBit + covered->getTag()), covered_(covered), plugin_(plugin) {
  (void)plugin_;
}

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
  const std::int32_t controller = learnMap().controller(p);

  auto* menu = new COptionMenu(CRect(where.h, where.v, where.h + 1, where.v + 1), nullptr, 0, nullptr, nullptr,
                               kLearnMenuStyle);
  menu->addEntry("MidiLearn");
  if (controller != LearnMap::kUnbound) {
    char text[255];
    std::snprintf(text, sizeof text, "Forget CC %d", static_cast<int>(controller));
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
    learnMap().forget(p);
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
