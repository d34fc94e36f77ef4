#include "gui/COptionMenu.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <deque>

#include "gui/CDrawContext.h"
#include "gui/CFrame.h"

COptionMenu::COptionMenu(const CRect& size, CControlListener* listener, long tag, CBitmap* background,
                         CBitmap* backgroundWhenClicked, long style)
    : CParamDisplay(size, background, style), style_(style), backgroundWhenClicked_(backgroundWhenClicked) {
  setListener(listener);
  setTag(tag);
  if (backgroundWhenClicked_) backgroundWhenClicked_->remember();
}

COptionMenu::~COptionMenu() {
  removeAllEntry();
  if (backgroundWhenClicked_) backgroundWhenClicked_->forget();
}

bool COptionMenu::addEntry(const char* text, long index) {
  Entry entry{text ? text : ""};
  if (index < 0 || index >= getNbEntries())
    entries_.push_back(entry);
  else
    entries_.insert(entries_.begin() + index, entry);
  setDirty();
  return true;
}

bool COptionMenu::addEntry(COptionMenu* submenu, const char* text) {
  if (!submenu) return false;
  submenu->remember();
  entries_.push_back(Entry{text ? text : "", false, submenu});
  return true;
}

bool COptionMenu::removeEntry(long index) {
  if (index < 0 || index >= getNbEntries()) return false;
  if (COptionMenu* submenu = entries_[static_cast<std::size_t>(index)].submenu) submenu->forget();
  entries_.erase(entries_.begin() + index);
  setDirty();
  return true;
}

void COptionMenu::removeAllEntry() {
  while (!entries_.empty()) removeEntry(getNbEntries() - 1);
  current_ = 0;
}

std::string COptionMenu::entryText(long index) const {
  return index >= 0 && index < getNbEntries() ? entries_[static_cast<std::size_t>(index)].text : std::string();
}

bool COptionMenu::setCurrent(long index) {
  if (index < 0 || index >= getNbEntries()) return false;
  current_ = index;
  CParamDisplay::setValue(static_cast<float>(index));
  if ((style_ & kCheckStyle) && !(style_ & kMultipleCheckStyle))
    for (long i = 0; i < getNbEntries(); ++i) entries_[static_cast<std::size_t>(i)].checked = i == index;
  setDirty();
  return true;
}

bool COptionMenu::isCheckEntry(long index) const {
  return index >= 0 && index < getNbEntries() && entries_[static_cast<std::size_t>(index)].checked;
}

bool COptionMenu::checkEntry(long index, bool checked) {
  if (index < 0 || index >= getNbEntries()) return false;
  entries_[static_cast<std::size_t>(index)].checked = checked;
  return true;
}

void COptionMenu::setValue(float value) {
  const long index = static_cast<long>(value);
  CParamDisplay::setValue(value);
  if (index >= 0 && index < getNbEntries()) current_ = index;
}

void COptionMenu::draw(CDrawContext* context) {
  if (open_ && backgroundWhenClicked_) {
    setDirty(false);
    backgroundWhenClicked_->draw(context, size, getBackOffset());
    drawText(context, entryText(current_).c_str());
    return;
  }
  drawDisplay(context, entryText(current_).c_str());
}

// Sub-menus take the colours of the menu that opens them.
const zvx::gui::MenuModel* COptionMenu::buildModel(std::deque<zvx::gui::MenuModel>& store, const CColor& back,
                                                   const CColor& text) const {
  store.emplace_back();
  zvx::gui::MenuModel& menu = store.back();
  menu.coloured = true;
  menu.background = zvx::gui::makePixel(back.red, back.green, back.blue);
  menu.text = zvx::gui::makePixel(text.red, text.green, text.blue);
  for (const Entry& entry : entries_) {
    zvx::gui::MenuModel::Entry item{entry.text, entry.checked};
    if (entry.submenu) item.submenu = entry.submenu->buildModel(store, back, text);
    menu.entries.push_back(item);
  }
  return &menu;
}

void COptionMenu::choose(CDrawContext* context, const zvx::gui::MenuChoice& path, std::size_t depth) {
  const long index = path[depth];
  if (index < 0 || index >= getNbEntries()) return;
  if (COptionMenu* submenu = entries_[static_cast<std::size_t>(index)].submenu) {
    if (depth + 1 < path.size()) submenu->choose(context, path, depth + 1);
    return;
  }
  if (style_ & kMultipleCheckStyle) checkEntry(index, !isCheckEntry(index));
  setCurrent(index);
  beginEdit();
  notifyChange(context);
  endEdit();
}

void COptionMenu::mouse(CDrawContext* context, CPoint& where, long buttons) {
  if (buttons == -1) buttons = currentButtons();
  if (!(buttons & (kLButton | kRButton)) || !getFrame() || !getFrame()->window()) return;
  // A deque keeps every nested model where it is while more are added.
  std::deque<zvx::gui::MenuModel> store;
  const zvx::gui::MenuModel* top = buildModel(store, getBackColor(), getFontColor());

  open_ = true;
  setDirty();
  getFrame()->idle();
  // A pop-up style menu opens over the control, the others below (or above) it.
  const CRect anchor = (style_ & kPopupStyle) ? CRect(size.left, size.top, size.right, size.top) : size;
  const zvx::gui::MenuChoice choice = getFrame()->popupMenu(*top, anchor);
  open_ = false;
  setDirty();
  if (!choice.empty()) choose(context, choice, 0);
  (void)where;
}

bool COptionMenu::onWheel(CDrawContext* context, const CPoint& /*where*/, float distance) {
  const long notches = std::lround(distance);
  if (!wheelSteps_ || notches == 0 || getNbEntries() == 0) return true;
  const long index = std::clamp(current_ - notches, 0L, getNbEntries() - 1);
  if (index == current_ || entries_[static_cast<std::size_t>(index)].submenu) return true;
  setCurrent(index);
  beginEdit();
  notifyChange(context);
  endEdit();
  return true;
}

bool COptionMenu::isTypeOf(const char* type) const {
  return std::strcmp(type, "COptionMenu") == 0 || CParamDisplay::isTypeOf(type);
}
