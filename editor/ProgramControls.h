// The editor's program line: the current program's number and name in a menu
// of all programs, in groups of 16, and buttons for the previous and the next
// program. The views tell their listener what the user chose (by their tags)
// and show what the editor gives them; the editor selects the program.
//
// GUI thread only.
#pragma once

#include <functional>
#include <string>

#include "gui/CParamDisplay.h"

namespace zvx {

class ProgramMenu : public CParamDisplay {
 public:
  static constexpr long kTag = 96;  // the presets menu's tag
  static constexpr long kGroup = 16;

  // The name of any program, for the menu's entries.
  using Names = std::function<std::string(long program)>;

  ProgramMenu(const CRect& size, CControlListener* listener, long programs, Names names);

  // Shows `program` named `name`; redrawn only when either changed.
  void show(long program, const std::string& name);
  // The program shown, or the one the user just chose.
  long getCurrent() const { return static_cast<long>(getValue()); }

  void draw(CDrawContext* context) override;
  // The menu of every program, the current one checked; the chosen one becomes the value.
  void mouse(CDrawContext* context, CPoint& where, long buttons = -1) override;
  // One program per notch, to the lower numbers for the wheel turned up, no
  // further than the first and last.
  bool onWheel(CDrawContext* context, const CPoint& where, float distance) override;
  bool isTypeOf(const char* type) const override;
  const char* getClassName() const override { return "ProgramMenu"; }

 private:
  void choose(CDrawContext* context, long program);

  long programs_;
  Names names_;
  std::string label_;
};

// A click steps the program: the listener hears value 1 for the click, then
// the value goes back to 0. The skin's picture shows the arrow.
class ProgramStepButton : public CControl {
 public:
  static constexpr long kPreviousTag = 97;
  static constexpr long kNextTag = 98;

  ProgramStepButton(const CRect& size, CControlListener* listener, long tag);

  void draw(CDrawContext* /*context*/) override { setDirty(false); }
  void mouse(CDrawContext* context, CPoint& where, long buttons = -1) override;
  bool isTypeOf(const char* type) const override;
  const char* getClassName() const override { return "ProgramStepButton"; }
};

}  // namespace zvx
