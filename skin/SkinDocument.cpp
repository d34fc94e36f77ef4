#include "skin/SkinDocument.h"

#include <algorithm>
#include <cctype>
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

// "%X" over the whole text: one to eight hexadecimal digits.
bool parseColour(const char* text, CColor& colour) {
  while (*text == ' ' || *text == '\t') ++text;
  std::uint32_t value = 0;
  int digits = 0;
  for (; std::isxdigit(static_cast<unsigned char>(*text)); ++text, ++digits) {
    const char c = *text;
    value = value * 16 + static_cast<std::uint32_t>(c <= '9' ? c - '0' : (c | 32) - 'a' + 10);
  }
  while (*text == ' ' || *text == '\t') ++text;
  if (digits == 0 || digits > 8 || *text) return false;
  colour = CColor{static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 8),
                  static_cast<std::uint8_t>(value), 0};
  return true;
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

void ApplyFont(SkinHost& host, CParamDisplay* display, const char* objectName, const AttrSet& attrs,
               SkinContext& context) {
  TagValue value;
  // Fonts and alignments outside their lists are the nearest in them.
  if (GetTagValue(objectName, "font", attrs, true, true, value, context) == 1)
    display->setFont(static_cast<CFont>(std::clamp(truncated(value.number), 0, kNumStandardFonts - 1)));
  if (GetTagValue(objectName, "halign", attrs, true, true, value, context) == 1)
    display->setHoriAlign(static_cast<CHoriTxtAlign>(std::clamp(truncated(value.number), 0, 2)));
  if (GetTagValue(objectName, "txtface", attrs, true, true, value, context) == 1)
    display->setTxtFace(truncated(value.number) & (kBoldFace | kItalicFace | kUnderlineFace));
  if (attrs.get("transparent")) {
    // The window's background behind it, whatever the attribute says.
    CRect size;
    display->getViewSize(size);
    display->setBackground(host.background());
    display->setBackOffset(CPoint(size.left, size.top));
  }
  struct ColourAttribute {
    const char* name;
    void (CParamDisplay::*apply)(const CColor&);
  };
  const ColourAttribute colours[] = {{"fontcolor", &CParamDisplay::setFontColor},
                                     {"backcolor", &CParamDisplay::setBackColor},
                                     {"framecolor", &CParamDisplay::setFrameColor},
                                     {"shadowcolor", &CParamDisplay::setShadowColor}};
  for (const ColourAttribute& colour : colours) {
    CColor parsed;
    if (GetColourValue(objectName, colour.name, attrs, true, parsed, context) == 1) (display->*colour.apply)(parsed);
  }
}

int GetColourValue(const char* objectName, const char* tagName, const AttrSet& attrs, bool optional, CColor& out,
                   SkinContext& context) {
  TagValue value;
  const int result = GetTagValue(objectName, tagName, attrs, false, optional, value, context);
  if (result != 1) return result;
  if (parseColour(value.text.c_str(), out)) return 1;
  skinError(format("Error reading colour of tag %s for object %s", tagName, objectName));
  return 0;
}

void ApplyDefault(const char* objectName, const AttrSet& attrs, CControl* control, SkinContext& context) {
  TagValue value;
  if (GetTagValue(objectName, "default", attrs, true, true, value, context) == 1)
    control->setDefaultValue(static_cast<float>(value.number));
  else
    control->setDefaultValue(control->getValue());
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

namespace {

// The `background` element: the window size in the size pass, the frame in the full pass.
int buildBackground(SkinHost& host, const AttrSet& attrs, SkinContext& context) {
  const char* fileName = attrs.get("filename");
  // The size pass stays quiet: the editor says what is wrong when it opens.
  if (!fileName) {
    if (!context.sizeOnly) skinError("Missing tag filename for object background");
    return context.sizeOnly ? 1 : 0;
  }
  CBitmap* bitmap = GetBitmap(context, fileName);
  if (!bitmap) return 1;
  context.bitmaps.setWindowPixels(static_cast<std::size_t>(bitmap->getWidth()) *
                                  static_cast<std::size_t>(bitmap->getHeight()));
  if (context.sizeOnly) {
    host.setWindowSize(bitmap->getWidth(), bitmap->getHeight());
    return 1;
  }
  host.setBackground(bitmap);
  if (CFrame* frame = host.skinFrame()) {
    frame->setBackground(bitmap);
    return 1;
  }
  auto* frame = new CFrame(CRect(0, 0, bitmap->getWidth(), bitmap->getHeight()), context.parentWindow,
                           host.skinFrameOwner());
  frame->setBackground(bitmap);
  host.adoptFrame(frame);
  return 1;
}

}  // namespace

int SkinHost::createObject(const char* tagName, AttrSet& attrs, SkinContext& context) {
  if (namesEqual(tagName, "CONSTANTS")) {
    DefineConstants(attrs.text(), context);
    return 1;
  }
  if (namesEqual(tagName, "background")) return buildBackground(*this, attrs, context);
  return buildCatalogueObject(tagName, attrs, context);
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
