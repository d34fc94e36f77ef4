// The state of one skin load, and the attributes of one element as the
// object factory reads them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "skin/BitmapCache.h"
#include "skin/Evaluator.h"
#include "skin/GrowableTable.h"
#include "skin/XmlReader.h"

namespace zvx {

struct SkinContext {
  BitmapCache bitmaps;
  void* parentWindow = nullptr;
  std::string skinFile;    // data folder + "skin/skin.xml"
  std::string skinFolder;  // data folder + "skin/"
  bool sizeOnly = false;
  int scalePercent = 100;  // the frame's
  ConstantTable constants;
};

struct SkinAttr {
  char name[64];
  char value[128];
};

// The longest text a skin shows as a name or an entry, as its attribute
// values allow: longer ones (a menu entry, a wizard setting's name) are cut.
constexpr std::size_t kSkinTextLength = 127;
std::string skinText(const char* text);

// The attributes of one element in document order, its text and its node.
// A name or value too long for its field is kept as `overlong`: reading that
// attribute fails.
class AttrSet {
 public:
  explicit AttrSet(xmltag* tag);

  // The first attribute of that name (ASCII case ignored), or null; with a
  // null name, the element's text.
  const char* get(const char* name) const;
  bool isOverlong(const char* name) const;
  const char* text() const { return text_; }
  xmltag* tag() const { return tag_; }
  std::size_t count() const { return entries_.count(); }
  const SkinAttr& entry(std::size_t index) const { return entries_[index]; }

 private:
  GrowableTable<SkinAttr> entries_;
  std::vector<std::string> overlong_;
  const char* text_;
  xmltag* tag_;
};

}  // namespace zvx
