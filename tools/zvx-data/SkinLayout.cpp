#include "tools/zvx-data/SkinLayout.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <set>

#include "skin/XmlReader.h"
#include "tools/zvx-data/SkinError.h"

namespace zvx::data {
namespace {

std::string lower(std::string text) {
  for (char& c : text)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
  return text;
}

}  // namespace

const std::string* SkinLayout::Element::attribute(const std::string& name) const {
  for (const auto& [key, value] : attributes)
    if (key == name) return &value;
  return nullptr;
}

SkinLayout SkinLayout::parse(const std::string& xml, const std::string& fileName) {
  xmltag* root = nullptr;
  if (ParseTag(xml.c_str(), 0, &root) < 0 || !root) throw SkinError(fileName + ": not readable as skin XML");
  const std::unique_ptr<xmltag, void (*)(xmltag*)> holder(root, &FreeXmlTree);
  if (!namesEqual(root->name, "GUI")) throw SkinError(fileName + ": the root element is not <GUI>");

  SkinLayout layout;
  layout.fileName_ = fileName;
  for (xmltag* tag = root->children; tag; tag = tag->next) {
    Element element;
    element.type = lower(tag->name);
    for (xmlattr* attribute = tag->attributes; attribute; attribute = attribute->next) {
      const std::string value = attribute->value ? attribute->value : "";
      // The loader drops attributes longer than its fields hold.
      if (std::string(attribute->name).size() > 63 || value.size() > 127)
        throw SkinError(fileName + ": attribute " + attribute->name + " of <" + tag->name + "> is too long");
      element.attributes.emplace_back(lower(attribute->name), value);
    }
    for (xmltag* list = tag->children; list; list = list->next) {
      if (!namesEqual(list->name, "list")) continue;
      for (xmltag* entry = list->children; entry; entry = entry->next)
        if (namesEqual(entry->name, "entry")) element.entries.emplace_back(entry->value ? entry->value : "");
    }
    if (element.type == "constants") layout.defineConstants(tag->value ? tag->value : "");
    layout.elements_.push_back(std::move(element));
  }
  return layout;
}

// As the skin loader reads CONSTANTS: entries split at commas and line
// breaks, `NAME = expression` or a bare NAME for the previous value plus one.
void SkinLayout::defineConstants(const std::string& text) {
  double running = 0.0;
  std::string entry;
  auto process = [&] {
    const std::size_t first = entry.find_first_not_of(" \t");
    const std::size_t last = entry.find_last_not_of(" \t");
    if (first == std::string::npos) return;
    std::string expression = entry.substr(first, last - first + 1);
    if (expression.find('=') == std::string::npos)
      expression += " = " + std::to_string(static_cast<int>(std::trunc(running + 1.0)));
    double result = 0;
    if (!Evaluate(constants_, expression.c_str(), 0, result))
      throw SkinError(fileName_ + ": constant '" + expression + "' does not evaluate");
    running = result;
  };
  for (char c : text) {
    if (c == ',' || c == '\n' || c == '\r') {
      process();
      entry.clear();
    } else {
      entry += c;
    }
  }
  process();
}

double SkinLayout::evaluate(const std::string& expression, const std::string& where) const {
  double result = 0;
  if (!Evaluate(constants_, expression.c_str(), 0, result))
    throw SkinError(where + ": '" + expression + "' does not evaluate");
  return result;
}

double SkinLayout::number(const Element& element, const std::string& name) const {
  const std::string* text = element.attribute(name);
  if (!text) throw SkinError(fileName_ + ": <" + element.type + "> has no " + name);
  return evaluate(*text, fileName_ + ": " + name + " of <" + element.type + ">");
}

std::vector<std::string> SkinLayout::bitmapNames() const {
  std::set<std::string> seen;
  std::vector<std::string> names;
  for (const Element& element : elements_)
    for (const auto& [key, value] : element.attributes) {
      const bool named = (element.type == "background" && key == "filename") || key.rfind("bitmap_", 0) == 0;
      if (named && seen.insert(lower(value)).second) names.push_back(value);
    }
  return names;
}

}  // namespace zvx::data
