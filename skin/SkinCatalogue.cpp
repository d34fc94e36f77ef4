// The skin system's element kinds: each builder reads its attributes in a
// fixed order, fetches its bitmaps, builds one view (or a table entry) and
// registers it in the host's tables. An element that fails has shown its
// message and adds nothing.
#include "skin/SkinCatalogue.h"

#include <algorithm>
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

using platform::MessageIcon;

constexpr CColor kPureGreen{0, 255, 0, 255};  // what shows through a handle or strip
constexpr const char* kBitmapNotFound = "Bitmap not found";
constexpr const char* kOxBitmapNotFound = "OXSKIN: Bitmap not found";
constexpr unsigned char kAboutOpacity = 210;

void skinError(const std::string& text) { platform::showMessage(text, "Skin Error", MessageIcon::Error); }

CRect rectOf(double x, double y, double w, double h) {
  return CRect(truncated(x), truncated(y), truncated(x + w), truncated(y + h));
}

bool isParameter(SkinHost& host, long id) { return id >= 0 && id < host.numParams(); }

// Controls go into the frame that `background` made; without one an element
// is passed over (the load has said why).
template <int (*Build)(SkinHost&, ElementReader&)>
int inFrame(SkinHost& host, ElementReader& read) {
  return host.skinFrame() ? Build(host, read) : 0;
}

// Adds a parameter's control showing the parameter's value, with its default.
void placeControl(SkinHost& host, ElementReader& read, CControl* control, long id) {
  host.skinFrame()->addView(control);
  if (isParameter(host, id)) control->setValue(host.skinInstrument().parameter(static_cast<int>(id)));
  read.defaultValue(control);
}

// The window size in the size pass, the frame in the full pass.
int buildBackground(SkinHost& host, ElementReader& read) {
  SkinContext& context = read.context();
  const char* fileName = read.attrs().get("filename");
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
                           host.skinFrameOwner(), context.scalePercent);
  frame->setBackground(bitmap);
  host.adoptFrame(frame);
  return 1;
}

int buildConstants(SkinHost& /*host*/, ElementReader& read) {
  DefineConstants(read.attrs().text(), read.context());
  return 1;
}

int buildUpdate(SkinHost& host, ElementReader& read) {
  double src = 0, dst = 0;
  if (!read.numbers({{"src", &src}, {"dst", &dst}})) return 0;
  host.updateLinks.append(UpdateLink{truncated(src), truncated(dst)});
  return 1;
}

// A film strip is the whole look of a stacked knob: without one there is nothing to draw.
CKnob* newFilmStripKnob(SkinHost& host, ElementReader& read, const CRect& rect, long id, CBitmap* strip,
                        const CPoint& offset) {
  if (!strip) {
    skinError(std::string("Missing tag bitmap_handle for object ") + read.kind());
    return nullptr;
  }
  const CCoord height = rect.height();
  if (height <= 0) return nullptr;
  return new CAnimKnob(rect, host.skinListener(), id, strip->getHeight() / height, height, strip, offset);
}

int buildKnob(SkinHost& host, ElementReader& read) {
  double x, y, w, h, id, xoff, yoff;
  if (!read.numbers({{"x", &x}, {"y", &y}, {"w", &w}, {"h", &h}, {"id", &id}})) return 0;
  const bool stacked = read.yesNo("stackbmp").value_or(false);
  read.optionalNumber("xoff", xoff, x);
  read.optionalNumber("yoff", yoff, y);
  CBitmap* back = host.background();
  CBitmap* handle = nullptr;
  if (!read.optionalBitmap("bitmap_bk", back) || !read.optionalBitmap("bitmap_handle", handle)) return 0;
  if (handle) handle->setTransparentColor(kPureGreen);
  const CRect rect = rectOf(x, y, w, h);
  const CPoint offset(truncated(xoff), truncated(yoff));
  CKnob* knob = stacked ? newFilmStripKnob(host, read, rect, truncated(id), handle, offset)
                        : new CKnob(rect, host.skinListener(), truncated(id), back, handle, offset);
  if (!knob) return 0;
  if (const auto transparent = read.yesNo("transparent")) knob->setTransparency(*transparent);
  placeControl(host, read, knob, truncated(id));
  return 1;
}

int buildSlider(SkinHost& host, ElementReader& read) {
  double x, y, len, id, style, xoff, yoff;
  if (!read.numbers({{"x", &x}, {"y", &y}, {"len", &len}, {"id", &id}})) return 0;
  if (!read.optionalNumber("style", style, CSlider::kHorizontal | CSlider::kRight, true)) return 0;
  read.optionalNumber("xoff", xoff, x);
  read.optionalNumber("yoff", yoff, y);
  CBitmap* back = host.background();
  if (!read.optionalBitmap("bitmap_bk", back)) return 0;
  CBitmap* handle = read.bitmap("bitmap_handle", kBitmapNotFound);
  if (!handle) return 0;
  handle->setTransparentColor(kPureGreen);
  const long styleBits = truncated(style);
  const bool vertical = (styleBits & CSlider::kVertical) != 0;
  const double hw = handle->getWidth(), hh = handle->getHeight();
  const CRect rect = vertical ? rectOf(x, y, hw, len) : rectOf(x, y, len, hh);
  const CCoord minPos = truncated(vertical ? y : x);
  const CCoord maxPos = truncated(vertical ? y + len - hh : x + len - hw);
  auto* slider = new CSlider(rect, host.skinListener(), truncated(id), minPos, maxPos, handle, back,
                             CPoint(truncated(xoff), truncated(yoff)), styleBits);
  placeControl(host, read, slider, truncated(id));
  return 1;
}

int buildOnOff(SkinHost& host, ElementReader& read) {
  double x, y, id;
  if (!read.numbers({{"x", &x}, {"y", &y}, {"id", &id}})) return 0;
  CBitmap* handle = read.bitmap("bitmap_handle", kOxBitmapNotFound);
  if (!handle) return 0;
  handle->setTransparentColor(kPureGreen);
  const CRect rect(truncated(x), truncated(y), truncated(x + handle->getWidth()),
                   truncated(y + handle->getHeight() / 2));
  auto* button = new COnOffButton(rect, host.skinListener(), truncated(id), handle, 0);
  host.skinFrame()->addView(button);
  if (isParameter(host, truncated(id)))
    button->setValue(host.skinInstrument().parameter(truncated(id)) >= 0.5f ? 1.0f : 0.0f);
  read.defaultValue(button);
  return 1;
}

template <class Switch>
int buildSwitch(SkinHost& host, ElementReader& read) {
  double x, y, id, entries;
  if (!read.numbers({{"x", &x}, {"y", &y}, {"id", &id}, {"entries", &entries}})) return 0;
  CBitmap* strip = read.bitmap("bitmap_handle", kBitmapNotFound);
  if (!strip) return 0;
  const int count = truncated(entries);
  if (count <= 0) {
    skinError(std::string("Error calculating value of tag entries for object ") + read.kind());
    return 0;
  }
  strip->setTransparentColor(kPureGreen);
  const CCoord frameHeight = strip->getHeight() / count;
  const CRect rect(truncated(x), truncated(y), truncated(x + strip->getWidth()), truncated(y + frameHeight));
  placeControl(host, read, new Switch(rect, host.skinListener(), truncated(id), count, frameHeight, count, strip),
               truncated(id));
  return 1;
}

int buildKick(SkinHost& host, ElementReader& read) {
  double x, y, id;
  if (!read.numbers({{"x", &x}, {"y", &y}, {"id", &id}})) return 0;
  CBitmap* strip = read.bitmap("bitmap_handle", kOxBitmapNotFound);
  if (!strip) return 0;
  strip->setTransparentColor(kPureGreen);
  const CCoord half = strip->getHeight() / 2;
  const CRect rect(truncated(x), truncated(y), truncated(x + strip->getWidth()), truncated(y + half));
  auto* kick = new CKickButton(rect, host.skinListener(), truncated(id), half, strip);
  if (const auto transparent = read.yesNo("transparent")) kick->setTransparency(*transparent);
  host.skinFrame()->addView(kick);
  return 1;
}

// The entries of the menu's <list>: false, after a message, for an entry without text.
bool addListedEntries(COptionMenu* menu, const xmltag* list, const char* kind) {
  for (const xmltag* entry = list->children; entry; entry = entry->next) {
    if (!namesEqual(entry->name, "entry")) continue;
    if (static_cast<std::size_t>(menu->getNbEntries()) == kMaxMenuEntries) {
      skinError("More than " + std::to_string(kMaxMenuEntries) + " entries for object " + kind +
                ": the rest are left out");
      return true;
    }
    if (!entry->value) {  // an entry must say something
      skinError(std::string("Missing text of entry for object ") + kind);
      return false;
    }
    menu->addEntry(skinText(entry->value).c_str(), -1);
  }
  return true;
}

const xmltag* listOf(const xmltag* element) {
  for (const xmltag* child = element ? element->children : nullptr; child; child = child->next)
    if (namesEqual(child->name, "list")) return child;
  return nullptr;
}

// A menu with the style and bitmaps read after its place: null when one fails.
COptionMenu* newMenu(SkinHost& host, ElementReader& read, const CRect& rect, long tag) {
  double style;
  CBitmap* back = nullptr;
  CBitmap* active = nullptr;
  if (!read.optionalNumber("style", style, 0, true) || !read.optionalBitmap("bitmap_bk", back) ||
      !read.optionalBitmap("bitmap_bk_active", active))
    return nullptr;
  return new COptionMenu(rect, host.skinListener(), tag, back, active, truncated(style));
}

int buildOptionMenu(SkinHost& host, ElementReader& read) {
  double x, y, w, h, id;
  if (!read.numbers({{"x", &x}, {"y", &y}, {"w", &w}, {"h", &h}, {"id", &id}})) return 0;
  COptionMenu* menu = newMenu(host, read, rectOf(x, y, w, h), truncated(id));
  if (!menu) return 0;
  if (const xmltag* list = listOf(read.attrs().tag())) {
    if (!addListedEntries(menu, list, read.kind())) {
      menu->forget();
      return 0;
    }
  } else {
    host.fillMenu(menu, truncated(id));
  }
  if (isParameter(host, truncated(id))) {
    host.menuTags.append(truncated(id));
    menu->setValue(host.skinInstrument().parameter(truncated(id)) * static_cast<float>(menu->getNbEntries() - 1));
  }
  read.font(host, menu);
  host.skinFrame()->addView(menu);
  return 1;
}

int buildSkinSelector(SkinHost& host, ElementReader& read) {
  double x, y, w, h;
  if (!read.numbers({{"x", &x}, {"y", &y}, {"w", &w}, {"h", &h}})) return 0;
  COptionMenu* menu = newMenu(host, read, rectOf(x, y, w, h), SkinHost::kSkinSelectorTag);
  if (!menu) return 0;
  menu->addEntry("How to change Skin");
  menu->setWheelSteps(false);
  read.font(host, menu);
  host.skinFrame()->addView(menu);
  return 1;
}

int buildAutoDisplay(SkinHost& host, ElementReader& read) {
  double x, y, w, h, id, style, link;
  CBitmap* back = nullptr;
  if (!read.numbers({{"x", &x}, {"y", &y}, {"w", &w}, {"h", &h}, {"id", &id}}) ||
      !read.optionalNumber("style", style, 0, true) || !read.numbers({{"link", &link}}) ||
      !read.optionalBitmap("bitmap_bk", back))
    return 0;
  if (!isParameter(host, truncated(link))) {
    platform::showMessage("Error attempting to link a display to an invalid parameter id", "Skin Error");
    return 0;
  }
  auto* display = new AutoDisplay(host.skinInstrument(), truncated(link), rectOf(x, y, w, h), truncated(id), back,
                                  truncated(style));
  read.font(host, display);
  host.autoDisplays.append(display);
  host.skinFrame()->addView(display);
  return 1;
}

// A display of the text it is given, under `tag`, with the style and bitmap
// read after its place: null when one fails.
TextDisplay* addTextDisplay(SkinHost& host, ElementReader& read, const CRect& rect, long tag) {
  double style;
  CBitmap* back = nullptr;
  if (!read.optionalNumber("style", style, 0, true) || !read.optionalBitmap("bitmap_bk", back)) return nullptr;
  auto* display = new TextDisplay(rect, back, truncated(style));
  read.font(host, display);
  display->setTag(tag);
  host.skinFrame()->addView(display);
  return display;
}

int buildTextDisplay(SkinHost& host, ElementReader& read) {
  double x, y, w, h, id;
  if (!read.numbers({{"x", &x}, {"y", &y}, {"w", &w}, {"h", &h}, {"id", &id}})) return 0;
  return addTextDisplay(host, read, rectOf(x, y, w, h), truncated(id)) ? 1 : 0;
}

// The read-out: the last one a skin places is the one the editor writes.
int buildReadOut(SkinHost& host, ElementReader& read) {
  double x, y, w, h;
  if (!read.numbers({{"x", &x}, {"y", &y}, {"w", &w}, {"h", &h}})) return 0;
  TextDisplay* display = addTextDisplay(host, read, rectOf(x, y, w, h), SkinHost::kInfoDisplayTag);
  if (!display) return 0;
  host.infoDisplay = display;
  return 1;
}

// Shown centred on the window; room for a few, more are left out.
int buildAbout(SkinHost& host, ElementReader& read) {
  double x, y, w, h;
  if (!read.numbers({{"x", &x}, {"y", &y}, {"w", &w}, {"h", &h}})) return 0;
  CBitmap* picture = read.bitmap("bitmap_pop", kOxBitmapNotFound);
  if (!picture) return 0;
  if (host.aboutCount >= SkinHost::kMaxAboutScreens) return 1;
  CBitmap* window = host.background();
  const CCoord left = ((window ? window->getWidth() : 0) - picture->getWidth()) / 2;
  const CCoord top = ((window ? window->getHeight() : 0) - picture->getHeight()) / 2;
  const CRect display(left, top, left + picture->getWidth(), top + picture->getHeight());
  const long tag = SkinHost::kFirstAboutTag + host.aboutCount;
  CSplashScreen* splash = host.aboutCount == 0
                              ? host.createAboutSplash(rectOf(x, y, w, h), tag, picture, display)
                              : new CSplashScreen(rectOf(x, y, w, h), host.skinListener(), tag, picture, display);
  host.aboutScreens[host.aboutCount++] = splash;
  splash->setBitmapTransparency(kAboutOpacity);
  host.skinFrame()->addView(splash);
  return 1;
}

int buildVuMeter(SkinHost& host, ElementReader& read) {
  double x, y, id, leds, style;
  if (!read.numbers({{"x", &x}, {"y", &y}, {"id", &id}, {"leds", &leds}, {"style", &style}})) return 0;
  // Both names before either bitmap, so a missing one is told first.
  std::string offName, onName;
  if (!read.text("bitmap_off", offName, false) || !read.text("bitmap_on", onName, false)) return 0;
  CBitmap* off = read.bitmapFile(offName, kBitmapNotFound);
  if (!off) return 0;
  CBitmap* on = read.bitmapFile(onName, kBitmapNotFound);
  if (!on) return 0;
  on->setTransparentColor(kPureGreen);
  const CRect rect(truncated(x), truncated(y), truncated(x + on->getWidth()), truncated(y + on->getHeight()));
  auto* meter = new CVuMeter(rect, on, off, truncated(leds), truncated(style));
  host.skinFrame()->addView(meter);
  host.vumeterCreated(truncated(id), meter);
  return 1;
}

// One row per kind, as the catalogue lists them: the window, the controls,
// the menus and displays, then what nothing feeds and the links.
std::vector<SkinElementRow<SkinHost>> makeRows() {
  using Use = SkinElementUse;
  const std::vector<SkinAttribute> place(boxAttributes().begin(), boxAttributes().begin() + 2);  // x, y
  const std::vector<SkinAttribute>& box = boxAttributes();
  const std::vector<SkinAttribute> offsets = {{"xoff", "x", "the left edge's place in bitmap_bk"},
                                              {"yoff", "y", "the top edge's place in bitmap_bk"}};
  const SkinAttribute seeThrough = {"transparent", "no", "yes: what lies behind it shows through"};
  const SkinAttribute backdrop = {"bitmap_bk", "none", "the picture behind the text"};
  const SkinAttribute activeBackdrop = {"bitmap_bk_active", "none", "the picture behind the text while it is open"};
  const SkinAttribute byDefault = {"default", "current", "the value a control-click sets"};
  const SkinAttribute displayStyle = {"style", "0",
                                      "bits: 1 shadowed text, 2 sunk, 4 raised, 8 no text, 16 no frame, 512 nothing"};
  const SkinAttribute menuStyle = {"style", "0",
                                   "as a display's, plus 256 entries checked in turn, 1024 the chosen one checked, "
                                   "4096 opening from its top edge"};
  const auto strip = [](const char* about) { return SkinAttribute{"bitmap_handle", nullptr, about}; };
  return {
      {{"background", "the window: its size and picture; it comes before every control", Use::Feature,
        {{"filename", nullptr, "the window's picture, a BMP or PNG file in the skin folder"}}},
       buildBackground},
      {{"CONSTANTS",
        "names for numbers, as its text: NAME = expression, or NAME for the previous value plus one, "
        "separated by commas or lines; every number of an element may be an expression",
        Use::Optional, {}},
       buildConstants},
      {{"knob", "a parameter's knob: a handle turning over a picture, or a film strip", Use::Feature,
        attributeList({box,
                       {{"id", nullptr, "the parameter it shows and sets"},
                        {"stackbmp", "no", "yes: bitmap_handle is a film strip of frames h high, 0 to 1 downwards"}},
                       offsets,
                       {{"bitmap_bk", "window", "the picture behind the handle"},
                        {"bitmap_handle", "line", "the handle, or the film strip; pure green shows through"},
                        seeThrough, byDefault}})},
       inFrame<buildKnob>},
      {{"slider", "a parameter's slider: a handle moved along a track", Use::Optional,
        attributeList({place,
                       {{"len", nullptr, "the track's length, in pixels"},
                        {"id", nullptr, "the parameter it shows and sets"},
                        {"style", "9", "bits: 1 across, 2 upright; the maximum at 4 the left, 8 the right, "
                                       "16 the top, 32 the bottom"}},
                       offsets,
                       {{"bitmap_bk", "window", "the picture behind the handle"},
                        strip("the handle; pure green shows through"), byDefault}})},
       inFrame<buildSlider>},
      {{"onoff", "a button that switches its parameter off (below 0.5) and on", Use::Feature,
        attributeList({place,
                       {{"id", nullptr, "the parameter it switches, or a tag the editor lights"},
                        strip("off above on, each half its height; pure green shows through"), byDefault}})},
       inFrame<buildOnOff>},
      {{"vswitch", "a switch of several positions, from top to bottom", Use::Optional,
        attributeList({place,
                       {{"id", nullptr, "the parameter it steps through"},
                        {"entries", nullptr, "the number of positions"},
                        strip("one frame per position, top to bottom; pure green shows through"), byDefault}})},
       inFrame<buildSwitch<CVerticalSwitch>>},
      {{"hswitch", "a switch of several positions, from left to right", Use::Optional,
        attributeList({place,
                       {{"id", nullptr, "the parameter it steps through"},
                        {"entries", nullptr, "the number of positions"},
                        strip("one frame per position, top to bottom; pure green shows through"), byDefault}})},
       inFrame<buildSwitch<CHorizontalSwitch>>},
      {{"kick", "a button that is 1 while it is held", Use::Feature,
        attributeList({place,
                       {{"id", nullptr, "the parameter it sets, or a tag the editor hears (a voice's pad)"},
                        strip("released above pressed, each half its height; pure green shows through"),
                        seeThrough}})},
       inFrame<buildKick>},
      {{"optionmenu",
        "a parameter chosen from a menu: the entries of its <list> of <entry> texts, else the editor's",
        Use::Feature,
        attributeList({box,
                       {{"id", nullptr, "the parameter it chooses: of n entries, entry k is k / (n - 1)"}, menuStyle,
                        backdrop, activeBackdrop},
                       textAttributes()})},
       inFrame<buildOptionMenu>},
      {{"autodisp", "a parameter's value, as the instrument writes it", Use::Feature,
        attributeList({box,
                       {{"id", nullptr, "its own tag"}, displayStyle,
                        {"link", nullptr, "the parameter it shows"}, backdrop},
                       textAttributes()})},
       inFrame<buildAutoDisplay>},
      {{"display", "a text the editor writes, init until then", Use::Unfed,
        attributeList({box, {{"id", nullptr, "its tag"}, displayStyle, backdrop}, textAttributes()})},
       inFrame<buildTextDisplay>},
      {{"anydisp", "the read-out: the name, value and unit of the parameter under the mouse; of several, the last",
        Use::Feature, attributeList({box, {displayStyle, backdrop}, textAttributes()})},
       inFrame<buildReadOut>},
      {{"skinselector", "a menu that tells how to change the skin", Use::Feature,
        attributeList({box, {menuStyle, backdrop, activeBackdrop}, textAttributes()})},
       inFrame<buildSkinSelector>},
      {{"wizard", "the sound wizard: a menu of named settings from sound wizard.xml", Use::Feature,
        attributeList({box,
                       {menuStyle,
                        {"source", nullptr,
                         "must be written; the settings come from sound wizard.xml in the data folder"},
                        backdrop, activeBackdrop},
                       textAttributes()})},
       buildWizard},
      {{"about", "a click area that shows a picture in the middle of the window; the first with the credits",
        Use::Feature,
        attributeList({box, {{"bitmap_pop", nullptr, "the picture, drawn a little see-through"}}})},
       inFrame<buildAbout>},
      {{"vumeter", "a level meter lit in steps", Use::Unfed,
        attributeList({place,
                       {{"id", nullptr, "the meter's number, told to the editor"},
                        {"leds", nullptr, "the number of steps"},
                        {"style", nullptr, "1 across, 2 upright (lit from the bottom)"},
                        {"bitmap_off", nullptr, "the meter unlit"},
                        {"bitmap_on", nullptr, "the meter lit; pure green shows through"}}})},
       inFrame<buildVuMeter>},
      {{"update", "a link: when the control tagged src changes, the views tagged dst are drawn again",
        Use::Optional,
        {{"src", nullptr, "the tag of the control that changes"}, {"dst", nullptr, "the tag of the views to draw"}}},
       buildUpdate},
  };
}

std::string padded(const char* text, std::size_t width) {
  std::string out = text;
  out.resize(std::max(width, out.size()), ' ');
  return out;
}

}  // namespace

std::vector<SkinAttribute> attributeList(std::initializer_list<std::vector<SkinAttribute>> groups) {
  std::vector<SkinAttribute> list;
  for (const std::vector<SkinAttribute>& group : groups)
    for (const SkinAttribute& attribute : group)
      if (std::none_of(list.begin(), list.end(), [&](const SkinAttribute& known) {
            return std::strcmp(known.name, attribute.name) == 0;
          }))
        list.push_back(attribute);
  return list;
}

const std::vector<SkinAttribute>& boxAttributes() {
  static const std::vector<SkinAttribute> attributes = {{"x", nullptr, "left edge, in pixels"},
                                                        {"y", nullptr, "top edge, in pixels"},
                                                        {"w", nullptr, "width, in pixels"},
                                                        {"h", nullptr, "height, in pixels"}};
  return attributes;
}

const std::vector<SkinAttribute>& textAttributes() {
  static const std::vector<SkinAttribute> attributes = {
      {"font", "4", "0 the system's, 1 to 6 from the largest to the smallest, 7 symbols"},
      {"halign", "1", "0 left, 1 centred, 2 right"},
      {"txtface", "0", "bits: 1 bold, 2 italic, 4 underlined"},
      {"transparent", "absent", "written, whatever its value: the window's picture behind the text"},
      {"fontcolor", "FFFFFF", "the text's colour, RRGGBB"},
      {"backcolor", "000000", "the colour behind the text"},
      {"framecolor", "000000", "the frame's colour"},
      {"shadowcolor", "FF0000", "the text shadow's colour"},
  };
  return attributes;
}

const std::vector<SkinElementRow<SkinHost>>& skinElementRows() {
  static const std::vector<SkinElementRow<SkinHost>> rows = makeRows();
  return rows;
}

int SkinHost::createObject(const char* tagName, AttrSet& attrs, SkinContext& context) {
  return buildElement(skinElementRows(), *this, tagName, attrs, context);
}

std::string catalogueText(const std::vector<const SkinElementKind*>& kinds) {
  static const char* const kRequired = "required";
  std::size_t nameWidth = 0, fallbackWidth = std::strlen(kRequired);
  for (const SkinElementKind* kind : kinds) {
    for (const SkinAttribute& attribute : kind->attributes) {
      nameWidth = std::max(nameWidth, std::strlen(attribute.name));
      if (attribute.fallback) fallbackWidth = std::max(fallbackWidth, std::strlen(attribute.fallback));
    }
  }
  std::string out;
  for (const SkinElementKind* kind : kinds) {
    out += std::string(kind->name) + ": " + kind->about;
    if (kind->use == SkinElementUse::Unfed) out += "; ZVX gives it nothing to show";
    out += "\n";
    if (kind->attributes.empty()) out += "  no attributes\n";
    for (const SkinAttribute& attribute : kind->attributes)
      out += "  " + padded(attribute.name, nameWidth) + "  " +
             padded(attribute.fallback ? attribute.fallback : kRequired, fallbackWidth) + "  " + attribute.about + "\n";
    out += "\n";
  }
  return out;
}

}  // namespace zvx
