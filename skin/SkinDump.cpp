#include "skin/SkinDump.h"

#include <cstdio>

#include "gui/FixedText.h"
#include "platform/Messages.h"
#include "skin/SkinHost.h"

namespace zvx {
namespace {

std::string bitmapText(const CBitmap* bitmap) {
  if (!bitmap) return "-";
  char size[32];
  std::snprintf(size, sizeof size, "(%dx%d)", bitmap->getWidth(), bitmap->getHeight());
  // One line per view, whatever the file name holds.
  return (bitmap->getName().empty() ? std::string("?") : platform::escapedLine(bitmap->getName())) + size;
}

}  // namespace

std::string dumpSkin(SkinHost& host) {
  std::string out;
  char line[512];
  CFrame* frame = host.skinFrame();
  if (!frame) return "no frame\n";
  const CRect& size = frame->getViewSize();
  std::snprintf(line, sizeof line, "frame %d,%d,%d,%d background=%s\n", size.left, size.top, size.right, size.bottom,
                bitmapText(frame->getBackground()).c_str());
  out += line;
  for (long i = 0; i < frame->getNbViews(); ++i) {
    CView* view = frame->getView(i);
    const CRect& r = view->getViewSize();
    long tag = 0;
    float value = 0;
    if (auto* control = dynamic_cast<CControl*>(view)) {
      tag = control->getTag();
      value = control->getValue();
    }
    std::snprintf(line, sizeof line, "%s tag=%ld rect=%d,%d,%d,%d bitmap=%s value=", view->getClassName(), tag, r.left,
                  r.top, r.right, r.bottom, bitmapText(view->getBackground()).c_str());
    out += line + fixedText(static_cast<double>(value), 4);
    if (view->getTransparency()) out += " transparent";
    if (auto* menu = dynamic_cast<COptionMenu*>(view)) {
      out += " entries=[";
      for (long e = 0; e < menu->getNbEntries(); ++e) {
        if (e) out += '|';
        out += menu->entryText(e);
      }
      out += "]";
    }
    if (auto* display = dynamic_cast<TextDisplay*>(view)) out += std::string(" text=\"") + display->text() + "\"";
    if (auto* display = dynamic_cast<AutoDisplay*>(view)) out += " link=" + std::to_string(display->link());
    out += "\n";
  }
  for (const UpdateLink& link : host.updateLinks)
    out += "update " + std::to_string(link.src) + " -> " + std::to_string(link.dst) + "\n";
  for (std::int32_t tag : host.menuTags) out += "menutag " + std::to_string(tag) + "\n";
  for (const WizardSetting& setting : host.wizardSettings) {
    std::snprintf(line, sizeof line, "wizard %d preset %d parameter %d value ", setting.wizard, setting.preset,
                  setting.parameter);
    out += line + fixedText(static_cast<double>(setting.value), 4) + "\n";
  }
  if (host.infoDisplay) out += "infodisplay tag=" + std::to_string(host.infoDisplay->getTag()) + "\n";
  out += "about " + std::to_string(host.aboutCount) + "\n";
  return out;
}

}  // namespace zvx
