// What every element builder reads its attributes with, in the order it asks
// for them. Messages name the attribute and the element's kind; a builder
// gives up at the first required attribute that is missing or fails.
//
// GUI thread only.
#pragma once

#include <initializer_list>
#include <optional>
#include <string>
#include <utility>

#include "gui/CControl.h"
#include "gui/CParamDisplay.h"
#include "skin/SkinContext.h"

namespace zvx {

class SkinHost;

class ElementReader {
 public:
  ElementReader(const AttrSet& attrs, SkinContext& context, const char* kind)
      : attrs_(attrs), context_(context), kind_(kind) {}

  const char* kind() const { return kind_; }
  const AttrSet& attrs() const { return attrs_; }
  SkinContext& context() const { return context_; }
  // Whether the attribute is written at all, whatever its value.
  bool has(const char* name) const { return attrs_.get(name) != nullptr; }

  // Required numbers, in order; false at the first that fails.
  bool numbers(std::initializer_list<std::pair<const char*, double*>> wanted);
  // An optional number: `fallback` when absent, or when its expression fails
  // and `failIsFatal` is false (the message has been shown).
  bool optionalNumber(const char* name, double& out, double fallback, bool failIsFatal = false);
  // Text; false when absent (with a message when required) or unreadable.
  bool text(const char* name, std::string& out, bool optional);
  // An optional yes or no: yes when the text starts with y, Y or 1; nothing when absent.
  std::optional<bool> yesNo(const char* name);
  // A required colour, hexadecimal RRGGBB: false when absent; one that cannot
  // be read has been reported and leaves `colour` as it was.
  bool colour(const char* name, CColor& colour);

  // The bitmap of that file: null when none can be had (a message with
  // `caption` has been shown).
  CBitmap* bitmapFile(const std::string& file, const char* caption);
  // The bitmap a required attribute names, or null (a message has been shown).
  CBitmap* bitmap(const char* name, const char* caption);
  // The bitmap an optional attribute names into `out`, kept when absent;
  // false when named but not to be had.
  bool optionalBitmap(const char* name, CBitmap*& out);

  // The optional font, alignment, face, transparency and colours of a text view.
  void font(SkinHost& host, CParamDisplay* display);
  // The `default` attribute, or the control's current value.
  void defaultValue(CControl* control);

 private:
  // 1 read, -1 absent and optional, 0 failed (a message has been shown).
  int colourValue(const char* name, bool optional, CColor& out);

  const AttrSet& attrs_;
  SkinContext& context_;
  const char* kind_;
};

}  // namespace zvx
