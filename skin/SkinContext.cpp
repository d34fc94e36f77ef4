#include "skin/SkinContext.h"

#include <cstring>

namespace zvx {

AttrSet::AttrSet(xmltag* tag) : text_(tag ? tag->value : nullptr), tag_(tag) {
  for (xmlattr* attribute = tag ? tag->attributes : nullptr; attribute; attribute = attribute->next) {
    const char* value = attribute->value ? attribute->value : "";
    if (strnlen(attribute->name, 64) > 63 || strnlen(value, kSkinTextLength + 1) > kSkinTextLength) {
      overlong_.emplace_back(attribute->name);
      continue;
    }
    SkinAttr entry{};
    std::strcpy(entry.name, attribute->name);
    std::strcpy(entry.value, value);
    entries_.append(entry);
  }
}

std::string skinText(const char* text) {
  return text ? std::string(text, strnlen(text, kSkinTextLength)) : std::string();
}

const char* AttrSet::get(const char* name) const {
  if (!name) return text_;
  for (const SkinAttr& entry : entries_)
    if (namesEqual(entry.name, name)) return entry.value;
  return nullptr;
}

bool AttrSet::isOverlong(const char* name) const {
  for (const std::string& overlong : overlong_)
    if (namesEqual(overlong.c_str(), name)) return true;
  return false;
}

}  // namespace zvx
