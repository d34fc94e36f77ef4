// The `wizard` element: a menu whose entries are named sets of parameter
// values, read from "sound wizard.xml" in the data folder. The editor applies
// an entry when it is chosen.
#include <cstdio>
#include <string>

#include "platform/Messages.h"
#include "skin/SkinCatalogue.h"
#include "skin/SkinDocument.h"
#include "skin/SkinHost.h"
#include "skin/SkinLimits.h"
#include "storage/DataFolder.h"

namespace zvx {
namespace {

void wizardError(const std::string& text, const char* caption) { platform::showMessage(text, caption); }

// The attribute of a name that counts: the last one written.
const char* lastAttribute(xmltag* tag, const char* name) {
  const char* found = nullptr;
  for (xmlattr* attribute = tag->attributes; attribute; attribute = attribute->next)
    if (namesEqual(attribute->name, name)) found = attribute->value ? attribute->value : "";
  return found;
}

}  // namespace

int buildWizard(SkinHost& host, ElementReader& read) {
  double x = 0, y = 0, w = 0, h = 0, style = 0;
  if (!read.numbers({{"x", &x}, {"y", &y}, {"w", &w}, {"h", &h}}) || !read.optionalNumber("style", style, 0, true))
    return 0;
  if (!read.has("source")) {
    wizardError("Source file for wizard not specified", "Skin error");
    return 0;
  }
  CBitmap* backgroundBitmap = nullptr;
  CBitmap* activeBitmap = nullptr;
  if (!read.optionalBitmap("bitmap_bk", backgroundBitmap) || !read.optionalBitmap("bitmap_bk_active", activeBitmap))
    return 0;
  CFrame* frame = host.skinFrame();
  if (!frame) return 0;
  const CRect rect(truncated(x), truncated(y), truncated(x + w), truncated(y + h));
  auto* menu = new COptionMenu(rect, host.skinListener(), SkinHost::kFirstWizardTag + host.wizardCount,
                               backgroundBitmap, activeBitmap, truncated(style));
  menu->setWheelSteps(false);  // each entry is a command, not a value

  // Records of a wizard that then fails are taken back with it.
  const std::size_t firstRecord = host.wizardSettings.count();
  auto fail = [&]() {
    host.wizardSettings.truncate(firstRecord);
    menu->forget();
    return 0;
  };
  std::string folder;
  if (!findDataFolder("ZVX", folder)) return fail();
  xmltag* root = LoadXmlFile(folder + "sound wizard.xml");
  if (!root) {
    wizardError("Error reading wizard file", "Skin error");
    return fail();
  }
  struct TreeHolder {
    xmltag* root;
    ~TreeHolder() { FreeXmlTree(root); }
  } holder{root};
  if (!namesEqual(root->name, "settings")) {
    wizardError("Missing <settings> tag in wizard file", "Skin error");
    return fail();
  }
  std::int32_t preset = 0;
  bool toldFull = false;
  for (xmltag* entry = root->children; entry; entry = entry->next) {
    if (!namesEqual(entry->name, "PRESET")) continue;
    if (static_cast<std::size_t>(menu->getNbEntries()) == kMaxMenuEntries) {
      wizardError("More than " + std::to_string(kMaxMenuEntries) + " presets in wizard file: the rest are left out",
                  "Skin error");
      break;
    }
    const char* name = lastAttribute(entry, "name");
    if (!name) {
      wizardError("Missing wizard preset name", "Skin error");
      return fail();
    }
    menu->addEntry(skinText(name).c_str(), -1);
    for (xmltag* set = entry->children; set; set = set->next) {
      if (!namesEqual(set->name, "SET")) continue;
      double parameter = -1.0;
      double setting = 0.5;
      for (xmlattr* attribute = set->attributes; attribute; attribute = attribute->next) {
        const bool isParam = namesEqual(attribute->name, "param");
        if (!isParam && !namesEqual(attribute->name, "value")) continue;
        const char* expression = attribute->value ? attribute->value : "";
        double result = 0;
        if (!Evaluate(read.context().constants, expression, 0, result)) {
          wizardError(platform::escapedLine(skinText(expression)),
                      isParam ? "Error evaluating wizard parameter" : "Error evaluating wizard value");
          return fail();
        }
        (isParam ? parameter : setting) = result;
      }
      if (parameter != -1.0 && host.wizardSettings.count() == kMaxWizardSettings) {
        if (!toldFull)
          wizardError("More than " + std::to_string(kMaxWizardSettings) + " settings in wizard file: the rest are left out",
                      "Skin error");
        toldFull = true;
      } else if (parameter != -1.0) {
        host.wizardSettings.append(WizardSetting{host.wizardCount, preset, truncated(parameter),
                                                 static_cast<float>(setting)});
      }
    }
    ++preset;
  }
  ++host.wizardCount;
  read.font(host, menu);
  frame->addView(menu);
  return 1;
}

}  // namespace zvx
