// The catalogue of skin element types: each reads its attributes in a fixed
// order, fetches its bitmaps, builds one control or display into the frame and
// registers it in the host's tables. An element that fails has shown its
// message and adds nothing.
#include <cstring>
#include <string>

#include "gui/CKickButton.h"
#include "gui/CKnob.h"
#include "gui/COnOffButton.h"
#include "gui/CSlider.h"
#include "gui/CVerticalSwitch.h"
#include "platform/Messages.h"
#include "skin/SkinDocument.h"
#include "skin/SkinHost.h"
#include "skin/SkinLimits.h"

namespace zvx {
namespace {

constexpr CColor kPureGreen{0, 255, 0, 255};
constexpr long kInfoDisplayTag = 980;
constexpr long kSkinSelectorTag = 999;
constexpr long kFirstAboutTag = 1020;

// Reads one element's attributes in order; the first required one that is
// missing or fails ends the element.
class ElementReader {
 public:
  ElementReader(const AttrSet& attrs, SkinContext& context, const char* object)
      : attrs_(attrs), context_(context), object_(object) {}

  // Required numbers, in order; false at the first that fails.
  bool numbers(std::initializer_list<std::pair<const char*, double*>> wanted) {
    for (const auto& [name, out] : wanted) {
      TagValue value;
      if (GetTagValue(object_, name, attrs_, true, false, value, context_) != 1) return false;
      *out = value.number;
    }
    return true;
  }
  // An optional number: its default when absent, or when its expression
  // fails and `failIsFatal` is false (the message has been shown).
  bool optionalNumber(const char* name, double& out, double fallback, bool failIsFatal = false) {
    TagValue value;
    const int result = GetTagValue(object_, name, attrs_, true, true, value, context_);
    out = result == 1 ? value.number : fallback;
    return result != 0 || !failIsFatal;
  }
  // Text; nothing when absent (and a message when required).
  bool text(const char* name, std::string& out, bool optional) {
    TagValue value;
    const int result = GetTagValue(object_, name, attrs_, false, optional, value, context_);
    if (result == 1) out = value.text;
    return result == 1;
  }
  // A bitmap named by the attribute: null when it cannot be had (a message
  // with `caption` has been shown).
  CBitmap* bitmap(const std::string& name, const char* caption) {
    CBitmap* bitmap = GetBitmap(context_, name.c_str());
    if (!bitmap) platform::showMessage(platform::escapedLine(name), caption);
    return bitmap;
  }

 private:
  const AttrSet& attrs_;
  SkinContext& context_;
  const char* object_;
};

CRect rectOf(double x, double y, double w, double h) {
  return CRect(truncated(x), truncated(y), truncated(x + w), truncated(y + h));
}

bool yes(const std::string& text) { return !text.empty() && (text[0] == 'y' || text[0] == 'Y' || text[0] == '1'); }

}  // namespace

int SkinHost::buildCatalogueObject(const char* tagName, AttrSet& attrs, SkinContext& context) {
  const struct {
    const char* name;
  } known[] = {{"update"}, {"slider"},  {"knob"},   {"onoff"}, {"autodisp"}, {"display"}, {"anydisp"}, {"optionmenu"},
               {"skinselector"}, {"vswitch"}, {"hswitch"}, {"kick"},  {"about"},    {"vumeter"}, {"wizard"}};
  const char* type = nullptr;
  for (const auto& entry : known)
    if (namesEqual(tagName, entry.name)) type = entry.name;
  if (!type) return -1;
  if (std::strcmp(type, "wizard") == 0) return buildWizard(attrs, context);

  ElementReader read(attrs, context, type);
  CFrame* frame = skinFrame();
  const long parameters = numParams();
  auto isParameter = [&](long id) { return id >= 0 && id < parameters; };
  auto parameterValue = [&](long id) { return skinInstrument().parameter(static_cast<int>(id)); };
  auto place = [&](CControl* control, long id, bool withValue, bool withDefault) {
    frame->addView(control);
    if (withValue && isParameter(id)) control->setValue(parameterValue(id));
    if (withDefault) ApplyDefault(type, attrs, control, context);
  };
  auto applyTransparent = [&](CView* view) {
    std::string transparent;
    if (read.text("transparent", transparent, true)) view->setTransparency(yes(transparent));
  };

  if (std::strcmp(type, "update") == 0) {
    double src = 0, dst = 0;
    if (!read.numbers({{"src", &src}, {"dst", &dst}})) return 0;
    updateLinks.append(UpdateLink{truncated(src), truncated(dst)});
    return 1;
  }
  if (!frame) return 0;  // controls go into the frame that `background` made

  if (std::strcmp(type, "knob") == 0) {
    double x, y, w, h, id;
    if (!read.numbers({{"x", &x}, {"y", &y}, {"w", &w}, {"h", &h}, {"id", &id}})) return 0;
    std::string stack, backgroundName, handleName;
    const bool stacked = read.text("stackbmp", stack, true) && yes(stack);
    double xoff, yoff;
    read.optionalNumber("xoff", xoff, x);
    read.optionalNumber("yoff", yoff, y);
    CBitmap* backgroundBitmap = background();
    if (read.text("bitmap_bk", backgroundName, true) && !(backgroundBitmap = read.bitmap(backgroundName, "Bitmap not found")))
      return 0;
    CBitmap* handle = nullptr;
    if (read.text("bitmap_handle", handleName, true)) {
      if (!(handle = read.bitmap(handleName, "Bitmap not found"))) return 0;
      handle->setTransparentColor(kPureGreen);
    }
    const CRect rect = rectOf(x, y, w, h);
    const CPoint offset(truncated(xoff), truncated(yoff));
    CKnob* knob = nullptr;
    if (stacked) {
      // A film strip is the whole look: without one there is nothing to draw.
      if (!handle) {
        platform::showMessage("Missing tag bitmap_handle for object knob", "Skin Error", platform::MessageIcon::Error);
        return 0;
      }
      const CCoord height = rect.height();
      if (height <= 0) return 0;
      knob = new CAnimKnob(rect, skinListener(), truncated(id), handle->getHeight() / height, height, handle, offset);
    } else {
      knob = new CKnob(rect, skinListener(), truncated(id), backgroundBitmap, handle, offset);
    }
    applyTransparent(knob);
    place(knob, truncated(id), true, true);
    return 1;
  }

  if (std::strcmp(type, "slider") == 0) {
    double x, y, len, id, style, xoff, yoff;
    if (!read.numbers({{"x", &x}, {"y", &y}, {"len", &len}, {"id", &id}})) return 0;
    if (!read.optionalNumber("style", style, 9, true)) return 0;
    read.optionalNumber("xoff", xoff, x);
    read.optionalNumber("yoff", yoff, y);
    std::string backgroundName, handleName;
    CBitmap* backgroundBitmap = background();
    if (read.text("bitmap_bk", backgroundName, true) && !(backgroundBitmap = read.bitmap(backgroundName, "Bitmap not found")))
      return 0;
    if (!read.text("bitmap_handle", handleName, false)) return 0;
    CBitmap* handle = read.bitmap(handleName, "Bitmap not found");
    if (!handle) return 0;
    handle->setTransparentColor(kPureGreen);
    const long styleBits = truncated(style);
    const bool vertical = (styleBits & 2) != 0;
    const double hw = handle->getWidth(), hh = handle->getHeight();
    const CRect rect = vertical ? rectOf(x, y, hw, len) : rectOf(x, y, len, hh);
    const CCoord minPos = truncated(vertical ? y : x);
    const CCoord maxPos = truncated(vertical ? y + len - hh : x + len - hw);
    auto* slider = new CSlider(rect, skinListener(), truncated(id), minPos, maxPos, handle, backgroundBitmap,
                               CPoint(truncated(xoff), truncated(yoff)), styleBits);
    place(slider, truncated(id), true, true);
    return 1;
  }

  if (std::strcmp(type, "onoff") == 0) {
    double x, y, id;
    if (!read.numbers({{"x", &x}, {"y", &y}, {"id", &id}})) return 0;
    std::string handleName;
    if (!read.text("bitmap_handle", handleName, false)) return 0;
    CBitmap* handle = read.bitmap(handleName, "OXSKIN: Bitmap not found");
    if (!handle) return 0;
    handle->setTransparentColor(kPureGreen);
    const CRect rect(truncated(x), truncated(y), truncated(x + handle->getWidth()),
                     truncated(y + handle->getHeight() / 2));
    auto* button = new COnOffButton(rect, skinListener(), truncated(id), handle, 0);
    frame->addView(button);
    if (isParameter(truncated(id))) button->setValue(parameterValue(truncated(id)) >= 0.5f ? 1.0f : 0.0f);
    ApplyDefault(type, attrs, button, context);
    return 1;
  }

  if (std::strcmp(type, "autodisp") == 0 || std::strcmp(type, "display") == 0 || std::strcmp(type, "anydisp") == 0) {
    const bool any = std::strcmp(type, "anydisp") == 0;
    const bool autodisp = std::strcmp(type, "autodisp") == 0;
    double x, y, w, h, id = kInfoDisplayTag, style, link = 0;
    if (!read.numbers({{"x", &x}, {"y", &y}, {"w", &w}, {"h", &h}})) return 0;
    if (!any && !read.numbers({{"id", &id}})) return 0;
    if (!read.optionalNumber("style", style, 0, true)) return 0;
    if (autodisp && !read.numbers({{"link", &link}})) return 0;
    std::string backgroundName;
    CBitmap* backgroundBitmap = nullptr;
    if (read.text("bitmap_bk", backgroundName, true) && !(backgroundBitmap = read.bitmap(backgroundName, "Bitmap not found")))
      return 0;
    const CRect rect = rectOf(x, y, w, h);
    if (autodisp) {
      if (!isParameter(truncated(link))) {
        platform::showMessage("Error attempting to link a display to an invalid parameter id", "Skin Error");
        return 0;
      }
      auto* display = new AutoDisplay(skinInstrument(), truncated(link), rect, truncated(id), backgroundBitmap,
                                      truncated(style));
      ApplyFont(*this, display, type, attrs, context);
      autoDisplays.append(display);
      frame->addView(display);
      return 1;
    }
    auto* display = new TextDisplay(rect, backgroundBitmap, truncated(style));
    ApplyFont(*this, display, type, attrs, context);
    display->setTag(any ? kInfoDisplayTag : truncated(id));
    frame->addView(display);
    if (any) infoDisplay = display;
    return 1;
  }

  if (std::strcmp(type, "optionmenu") == 0 || std::strcmp(type, "skinselector") == 0) {
    const bool selector = std::strcmp(type, "skinselector") == 0;
    double x, y, w, h, id = kSkinSelectorTag, style;
    if (!read.numbers({{"x", &x}, {"y", &y}, {"w", &w}, {"h", &h}})) return 0;
    if (!selector && !read.numbers({{"id", &id}})) return 0;
    if (!read.optionalNumber("style", style, 0, true)) return 0;
    std::string backgroundName, activeName;
    CBitmap* backgroundBitmap = nullptr;
    CBitmap* activeBitmap = nullptr;
    if (read.text("bitmap_bk", backgroundName, true) && !(backgroundBitmap = read.bitmap(backgroundName, "Bitmap not found")))
      return 0;
    if (read.text("bitmap_bk_active", activeName, true) && !(activeBitmap = read.bitmap(activeName, "Bitmap not found")))
      return 0;
    auto* menu = new COptionMenu(rectOf(x, y, w, h), skinListener(), truncated(id), backgroundBitmap, activeBitmap,
                                 truncated(style));
    if (selector) {
      menu->addEntry("How to change Skin");
      menu->setWheelSteps(false);
    } else {
      xmltag* list = nullptr;
      for (xmltag* child = attrs.tag() ? attrs.tag()->children : nullptr; child && !list; child = child->next)
        if (namesEqual(child->name, "list")) list = child;
      if (list) {
        for (xmltag* entry = list->children; entry; entry = entry->next) {
          if (!namesEqual(entry->name, "entry")) continue;
          if (static_cast<std::size_t>(menu->getNbEntries()) == kMaxMenuEntries) {
            platform::showMessage("More than " + std::to_string(kMaxMenuEntries) +
                                      " entries for object optionmenu: the rest are left out",
                                  "Skin Error", platform::MessageIcon::Error);
            break;
          }
          if (!entry->value) {  // an entry must say something
            platform::showMessage("Missing text of entry for object optionmenu", "Skin Error",
                                  platform::MessageIcon::Error);
            menu->forget();
            return 0;
          }
          menu->addEntry(skinText(entry->value).c_str(), -1);
        }
      } else {
        fillMenu(menu, truncated(id));
      }
      if (isParameter(truncated(id))) {
        menuTags.append(truncated(id));
        menu->setValue(parameterValue(truncated(id)) * static_cast<float>(menu->getNbEntries() - 1));
      }
    }
    ApplyFont(*this, menu, type, attrs, context);
    frame->addView(menu);
    return 1;
  }

  if (std::strcmp(type, "vswitch") == 0 || std::strcmp(type, "hswitch") == 0) {
    double x, y, id, entries;
    if (!read.numbers({{"x", &x}, {"y", &y}, {"id", &id}, {"entries", &entries}})) return 0;
    std::string stripName;
    if (!read.text("bitmap_handle", stripName, false)) return 0;
    CBitmap* strip = read.bitmap(stripName, "Bitmap not found");
    if (!strip) return 0;
    const int count = truncated(entries);
    if (count <= 0) {
      platform::showMessage("Error calculating value of tag entries for object " + std::string(type), "Skin Error",
                            platform::MessageIcon::Error);
      return 0;
    }
    strip->setTransparentColor(kPureGreen);
    const CCoord frameHeight = strip->getHeight() / count;
    const CRect rect(truncated(x), truncated(y), truncated(x + strip->getWidth()), truncated(y + frameHeight));
    CVerticalSwitch* control =
        std::strcmp(type, "vswitch") == 0
            ? new CVerticalSwitch(rect, skinListener(), truncated(id), count, frameHeight, count, strip)
            : new CHorizontalSwitch(rect, skinListener(), truncated(id), count, frameHeight, count, strip);
    place(control, truncated(id), true, true);
    return 1;
  }

  if (std::strcmp(type, "kick") == 0) {
    double x, y, id;
    if (!read.numbers({{"x", &x}, {"y", &y}, {"id", &id}})) return 0;
    std::string stripName;
    if (!read.text("bitmap_handle", stripName, false)) return 0;
    CBitmap* strip = read.bitmap(stripName, "OXSKIN: Bitmap not found");
    if (!strip) return 0;
    strip->setTransparentColor(kPureGreen);
    const CCoord half = strip->getHeight() / 2;
    const CRect rect(truncated(x), truncated(y), truncated(x + strip->getWidth()), truncated(y + half));
    auto* kick = new CKickButton(rect, skinListener(), truncated(id), half, strip);
    applyTransparent(kick);
    frame->addView(kick);
    return 1;
  }

  if (std::strcmp(type, "about") == 0) {
    double x, y, w, h;
    if (!read.numbers({{"x", &x}, {"y", &y}, {"w", &w}, {"h", &h}})) return 0;
    std::string pictureName;
    if (!read.text("bitmap_pop", pictureName, false)) return 0;
    CBitmap* picture = read.bitmap(pictureName, "OXSKIN: Bitmap not found");
    if (!picture) return 0;
    if (aboutCount >= kMaxAboutScreens) return 1;  // room for four; more are left out
    const CCoord backgroundWidth = background() ? background()->getWidth() : 0;
    const CCoord backgroundHeight = background() ? background()->getHeight() : 0;
    const CCoord left = (backgroundWidth - picture->getWidth()) / 2;
    const CCoord top = (backgroundHeight - picture->getHeight()) / 2;
    const CRect display(left, top, left + picture->getWidth(), top + picture->getHeight());
    const long tag = kFirstAboutTag + aboutCount;
    CSplashScreen* splash = aboutCount == 0
                                ? createAboutSplash(rectOf(x, y, w, h), tag, picture, display)
                                : new CSplashScreen(rectOf(x, y, w, h), skinListener(), tag, picture, display);
    aboutScreens[aboutCount++] = splash;
    splash->setBitmapTransparency(210);
    frame->addView(splash);
    return 1;
  }

  // vumeter
  double x, y, id, leds, style;
  if (!read.numbers({{"x", &x}, {"y", &y}, {"id", &id}, {"leds", &leds}, {"style", &style}})) return 0;
  std::string offName, onName;
  if (!read.text("bitmap_off", offName, false) || !read.text("bitmap_on", onName, false)) return 0;
  CBitmap* off = read.bitmap(offName, "Bitmap not found");
  if (!off) return 0;
  CBitmap* on = read.bitmap(onName, "Bitmap not found");
  if (!on) return 0;
  on->setTransparentColor(kPureGreen);
  const CRect rect(truncated(x), truncated(y), truncated(x + on->getWidth()), truncated(y + on->getHeight()));
  auto* meter = new CVuMeter(rect, on, off, truncated(leds), truncated(style));
  frame->addView(meter);
  vumeterCreated(truncated(id), meter);
  return 1;
}

}  // namespace zvx
