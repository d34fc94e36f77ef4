// Text displays that skins place: one that shows a parameter's own display
// string, and one that shows whatever text it is given.
#pragma once

#include <string>

#include "gui/CParamDisplay.h"
#include "instrument/InstrumentControl.h"


namespace zvx {

// Always shows the plug-in's display string of the linked parameter.
class AutoDisplay : public CParamDisplay {
 public:
  AutoDisplay(InstrumentControl& instrument, long link, const CRect& size, long tag, CBitmap* background, long style);
  void draw(CDrawContext* context) override;
  bool isTypeOf(const char* type) const override;
  const char* getClassName() const override { return "AutoDisplay"; }
  long link() const { return link_; }

 private:
  InstrumentControl& instrument_;
  long link_;
};

// Shows its text, "init" at first; a new text marks it dirty only when it differs.
class TextDisplay : public CParamDisplay {
 public:
  TextDisplay(const CRect& size, CBitmap* background, long style);
  void draw(CDrawContext* context) override;
  bool isTypeOf(const char* type) const override;
  const char* getClassName() const override { return "TextDisplay"; }
  void setText(const char* text);
  const char* text() const { return text_; }

 private:
  char text_[256] = "init";
};

}  // namespace zvx
