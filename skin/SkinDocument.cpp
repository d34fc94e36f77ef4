#include "skin/SkinDocument.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "platform/Messages.h"
#include "platform/Platform.h"
#include "skin/SkinHost.h"
#include "skin/SkinLimits.h"
#include "storage/DataFolder.h"

namespace zvx {
namespace {

using platform::MessageIcon;

std::string format(const char* pattern, const char* a, const char* b) {
  char text[512];
  std::snprintf(text, sizeof text, pattern, a, b);
  return text;
}

void skinError(const std::string& text, MessageIcon icon = MessageIcon::Error) {
  platform::showMessage(text, "Skin Error", icon);
}

// A relative name without "..": skins name the files of their own folder.
bool staysInFolder(const char* name) {
  const std::string text = name;
  if (!text.empty() && (text[0] == '/' || text[0] == '\\' || (text.size() >= 2 && text[1] == ':'))) return false;
  for (std::size_t start = 0; start <= text.size();) {
    const std::size_t end = std::min(text.find_first_of("/\\", start), text.size());
    if (text.compare(start, end - start, "..") == 0) return false;
    start = end + 1;
  }
  return true;
}

}  // namespace

int truncated(double value) {
  if (value != value) return 0;
  if (value >= kSkinNumberHighest) return kSkinNumberHighest;
  if (value <= kSkinNumberLowest) return kSkinNumberLowest;
  return static_cast<int>(value);
}

int GetTagValue(const char* objectName, const char* tagName, const AttrSet& attrs, bool evaluate, bool optional,
                TagValue& out, SkinContext& context) {
  const char* value = attrs.get(tagName);
  if (!value && attrs.isOverlong(tagName)) {
    skinError(format("Error calculating value of tag %s for object %s", tagName, objectName));
    return 0;
  }
  if (!value) {
    if (optional) return -1;
    skinError(format("Missing tag %s for object %s", tagName, objectName));
    return 0;
  }
  if (!evaluate) {
    out.text = value;
    return 1;
  }
  double number = 0;
  if (!Evaluate(context.constants, value, 0, number)) {
    skinError(format("Error calculating value of tag %s for object %s", tagName, objectName));
    return 0;
  }
  out.number = number;
  return 1;
}

CBitmap* GetBitmap(SkinContext& context, const char* name) {
  if (!name) return nullptr;
  if (CBitmap* known = context.bitmaps.find(name)) return known;
  if (std::strlen(name) > 259 || context.skinFolder.size() + std::strlen(name) > 259) return nullptr;
  if (!staysInFolder(name)) {
    // The size pass stays quiet: the full pass says it.
    if (!context.sizeOnly) skinError(format("Bitmap %s is outside the skin folder", platform::escapedLine(name).c_str(), ""));
    return context.bitmaps.refuse(name, "outside the skin folder");
  }
  return context.bitmaps.load(name, platform::resolveFileName(context.skinFolder, name));
}

void DefineConstants(const char* text, SkinContext& context) {
  if (!text) return;
  double running = 0.0;
  bool toldFull = false;
  auto process = [&](const std::string& entry) {
    if (context.constants.full()) {
      if (!toldFull)
        skinError("More than " + std::to_string(kMaxSkinConstants) + " constants in the skin: the rest are left out");
      toldFull = true;
      return;
    }
    std::string expression = entry;
    if (entry.find('=') == std::string::npos) {
      char rewritten[600];
      std::snprintf(rewritten, sizeof rewritten, "%s = %d", entry.c_str(), truncated(running + 1.0));
      expression = rewritten;
    }
    double result = 0;
    if (entry.size() <= 511 && Evaluate(context.constants, expression.c_str(), 0, result))
      running = result;
    else
      platform::showMessage("Expression parser error", platform::escapedLine(skinText(expression.c_str())),
                            MessageIcon::None);
  };
  auto isSeparator = [](char c) { return c == ',' || c == '\r' || c == '\n'; };
  std::string entry;
  for (const char* p = text;; ++p) {
    if (*p && !isSeparator(*p)) {
      entry += *p;
      continue;
    }
    // At a separator (or the end): skip the run of separators and blanks.
    while (*p && (isSeparator(*p) || *p == ' ' || *p == '\t')) ++p;
    if (!entry.empty()) process(entry);
    entry.clear();
    if (!*p) break;
    --p;  // the loop's ++p steps onto the entry's first character
  }
}

bool LoadSkin(SkinHost& host, void* parentWindow, bool sizeOnly) {
  SkinContext context;
  std::string folder;
  // Without a data folder the instrument has said it is not installed
  // correctly; a "Missing file" box naming no file adds nothing.
  if (!findDataFolder("ZVX", folder)) return false;
  context.skinFolder = folder + "skin" + platform::kPathSeparator;
  context.skinFile = context.skinFolder + "skin.xml";
  context.parentWindow = parentWindow;
  context.sizeOnly = sizeOnly;
  context.scalePercent = host.skinScale();
  context.bitmaps.setDoubleSizeWanted(context.scalePercent > 100);

  xmltag* root = LoadXmlFile(context.skinFile);
  if (!root) {
    platform::showMessage(context.skinFile, "Missing file", MessageIcon::Error);
    return false;
  }
  if (!namesEqual(root->name, "GUI")) {
    platform::showMessage("<GUI> node missing", "XML error", MessageIcon::Error);
    FreeXmlTree(root);
    return false;
  }
  if (!sizeOnly) host.skinFolder = context.skinFolder;
  bool toldOfBackground = false;
  std::size_t elements = 0;
  for (xmltag* element = root->children; element; element = element->next) {
    if (sizeOnly && !namesEqual(element->name, "background")) continue;
    if (++elements > kMaxSkinElements) {
      if (!sizeOnly)
        skinError("More than " + std::to_string(kMaxSkinElements) + " elements in the skin: the rest are left out");
      break;
    }
    // Controls need the frame that the background makes.
    if (!sizeOnly && !host.skinFrame() && !toldOfBackground && !namesEqual(element->name, "background") &&
        !namesEqual(element->name, "CONSTANTS")) {
      platform::showMessage(std::string("<background> node missing before <") + element->name + ">", "XML error",
                            MessageIcon::Error);
      toldOfBackground = true;
    }
    AttrSet attrs(element);
    const int built = host.createObject(element->name, attrs, context);
    if (built == 0 && namesEqual(element->name, "background")) toldOfBackground = true;
  }
  FreeXmlTree(root);
  if (!sizeOnly) {
    host.decodedPixels = context.bitmaps.decodedPixels();
    host.pixelBudget = context.bitmaps.budget();
    host.emptyBitmaps = context.bitmaps.emptyBitmaps();
  }
  if (!sizeOnly && !host.skinFrame()) {
    if (!toldOfBackground) platform::showMessage("<background> node missing", "XML error", MessageIcon::Error);
    return false;
  }
  return true;
}

}  // namespace zvx
