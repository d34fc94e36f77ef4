// A skin.xml as the generator sees it: its elements in document order with
// their attributes, and the constants its CONSTANTS elements define, so the
// art can be placed with the very names and numbers the layout uses.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "skin/Evaluator.h"

namespace zvx::data {

class SkinLayout {
 public:
  struct Element {
    std::string type;  // lower case
    std::vector<std::pair<std::string, std::string>> attributes;  // names lower case, document order
    std::vector<std::string> entries;                              // an option menu's <list>
    // The first attribute of that name, or null.
    const std::string* attribute(const std::string& name) const;
  };

  // Reads the document the way the plug-in's skin loader does (the same XML
  // subset, the same constants). Throws SkinError, naming `fileName`.
  static SkinLayout parse(const std::string& xml, const std::string& fileName);

  const std::vector<Element>& elements() const { return elements_; }

  // An expression over the document's constants (all of them, wherever
  // defined). Throws SkinError naming `where`.
  double evaluate(const std::string& expression, const std::string& where) const;
  // A numeric attribute of an element; throws when missing or wrong.
  double number(const Element& element, const std::string& name) const;

  // Every file the document names: background, bitmap_* attributes.
  std::vector<std::string> bitmapNames() const;

 private:
  void defineConstants(const std::string& text);

  std::string fileName_;
  mutable ConstantTable constants_;  // evaluation may define names by assignment
  std::vector<Element> elements_;
};

}  // namespace zvx::data
