#include "editor/ProgramControls.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <deque>

#include "gui/CFrame.h"

namespace zvx {
namespace {

std::string numbered(long program, const std::string& name) {
  char number[24];
  std::snprintf(number, sizeof number, "%03ld ", program);
  return number + name;
}

}  // namespace

ProgramMenu::ProgramMenu(const CRect& size, CControlListener* listener, long programs, Names names)
    : CParamDisplay(size), programs_(std::max(1L, programs)), names_(std::move(names)) {
  setListener(listener);
  setTag(kTag);
  setMax(static_cast<float>(programs_ - 1));
}

void ProgramMenu::show(long program, const std::string& name) {
  const std::string label = numbered(program, name);
  if (label == label_ && program == getCurrent()) return;
  label_ = label;
  setValue(static_cast<float>(program));
  setDirty();
}

void ProgramMenu::draw(CDrawContext* context) { drawDisplay(context, label_.c_str()); }

void ProgramMenu::mouse(CDrawContext* context, CPoint& /*where*/, long buttons) {
  if (buttons == -1) buttons = currentButtons();
  if (!(buttons & (kLButton | kRButton)) || !getFrame() || !getFrame()->window()) return;
  // In the display's colours, like the skin's option menus.
  const CColor back = getBackColor(), text = getFontColor();
  gui::MenuModel top;
  top.coloured = true;
  top.background = gui::makePixel(back.red, back.green, back.blue);
  top.text = gui::makePixel(text.red, text.green, text.blue);
  std::deque<gui::MenuModel> groups;  // keeps each group where the top menu points
  for (long first = 0; first < programs_; first += kGroup) {
    const long last = std::min(first + kGroup, programs_) - 1;
    groups.push_back(gui::MenuModel{{}, top.coloured, top.background, top.text});
    for (long p = first; p <= last; ++p) groups.back().entries.push_back({numbered(p, names_(p)), p == getCurrent()});
    char title[48];
    std::snprintf(title, sizeof title, "%03ld - %03ld", first, last);
    top.entries.push_back({title, getCurrent() >= first && getCurrent() <= last, true, &groups.back()});
  }
  const gui::MenuChoice choice = getFrame()->popupMenu(top, size);
  if (choice.size() == 2) choose(context, choice[0] * kGroup + choice[1]);
}

bool ProgramMenu::onWheel(CDrawContext* context, const CPoint& /*where*/, float distance) {
  const long notches = std::lround(distance);
  const long program = std::clamp(getCurrent() - notches, 0L, programs_ - 1);
  if (program != getCurrent()) choose(context, program);
  return true;
}

void ProgramMenu::choose(CDrawContext* context, long program) {
  if (program < 0 || program >= programs_) return;
  setValue(static_cast<float>(program));
  notifyChange(context);
}

bool ProgramMenu::isTypeOf(const char* type) const {
  return std::strcmp(type, "ProgramMenu") == 0 || CParamDisplay::isTypeOf(type);
}

ProgramStepButton::ProgramStepButton(const CRect& size, CControlListener* listener, long tag)
    : CControl(size, listener, tag) {
  setTransparency(true);
}

void ProgramStepButton::mouse(CDrawContext* context, CPoint& /*where*/, long buttons) {
  if (buttons == -1) buttons = currentButtons();
  if (!(buttons & kLButton)) return;
  setValue(1.0f);
  notifyChange(context);
  setValue(0.0f);
}

bool ProgramStepButton::isTypeOf(const char* type) const {
  return std::strcmp(type, "ProgramStepButton") == 0 || CControl::isTypeOf(type);
}

}  // namespace zvx
