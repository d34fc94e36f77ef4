// A menu of text entries shown as its current entry; a click pops the list up
// and the chosen entry becomes the value (its index). With kCheckStyle the
// chosen entry is checked; entries may open sub-menus. The pop-up is run by
// the platform window; Escape or a click outside dismisses it.
#pragma once

#include <deque>
#include <string>
#include <vector>

#include "gui/CParamDisplay.h"
#include "platform/PlatformWindow.h"

enum COptionMenuStyle {
  kMultipleCheckStyle = 1 << 8,
  kCheckStyle = 1 << 10,
  kPopupStyle = 1 << 12,
};

class COptionMenu : public CParamDisplay {
 public:
  COptionMenu(const CRect& size, CControlListener* listener, long tag, CBitmap* background = nullptr,
              CBitmap* backgroundWhenClicked = nullptr, long style = 0);
  ~COptionMenu() override;

  // Inserts at `index`, or appends when index is -1 or beyond the end.
  bool addEntry(const char* text, long index = -1);
  // A sub-menu, shown under `text`; the menu keeps a hold on it.
  bool addEntry(COptionMenu* submenu, const char* text);
  bool removeEntry(long index);
  void removeAllEntry();
  long getNbEntries() const { return static_cast<long>(entries_.size()); }
  std::string entryText(long index) const;

  long getCurrent() const { return current_; }
  bool setCurrent(long index);
  bool isCheckEntry(long index) const;
  bool checkEntry(long index, bool checked);
  // The value is the current entry's index.
  void setValue(float value) override;

  void draw(CDrawContext* context) override;
  void mouse(CDrawContext* context, CPoint& where, long buttons = -1) override;
  // One entry per notch, up the list for the wheel turned up, stopping at
  // the ends; menus of commands rather than values take no step.
  bool onWheel(CDrawContext* context, const CPoint& where, float distance) override;
  void setWheelSteps(bool steps) { wheelSteps_ = steps; }
  bool isTypeOf(const char* type) const override;
  const char* getClassName() const override { return "COptionMenu"; }

 private:
  struct Entry {
    std::string text;
    bool checked = false;
    COptionMenu* submenu = nullptr;
  };
  const zvx::gui::MenuModel* buildModel(std::deque<zvx::gui::MenuModel>& store, const CColor& back,
                                        const CColor& text) const;
  // Applies a choice; `path` leads into sub-menus.
  void choose(CDrawContext* context, const zvx::gui::MenuChoice& path, std::size_t depth);

  std::vector<Entry> entries_;
  long current_ = 0;
  long style_;
  CBitmap* backgroundWhenClicked_;
  bool open_ = false;
  bool wheelSteps_ = true;
};
