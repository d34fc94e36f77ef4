#include "tools/zvx-data/ArtRenderer.h"

#include <algorithm>
#include <cctype>
#include <cmath>

#include "tools/zvx-data/SkinError.h"

namespace zvx::data {
namespace {

std::string lower(std::string text) {
  for (char& c : text)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
  return text;
}

bool isHexColour(const std::string& text) {
  return text.size() == 6 &&
         std::all_of(text.begin(), text.end(), [](char c) { return std::isxdigit(static_cast<unsigned char>(c)); });
}

}  // namespace

std::map<std::string, gui::Surface> ArtRenderer::run() {
  for (const Line& line : script_.lines()) {
    line_ = &line;
    command(line);
  }
  return std::move(pictures_);
}

void ArtRenderer::fail(const std::string& message) const {
  throw SkinError(script_.where(*line_) + ": " + message);
}

void ArtRenderer::expectOptions(std::initializer_list<const char*> allowed, std::size_t words) const {
  for (const auto& [key, value] : line_->options)
    if (std::none_of(allowed.begin(), allowed.end(), [&](const char* name) { return key == name; }))
      fail("'" + line_->command + "' takes no option '" + key + "'");
  if (line_->words.size() != words)
    fail("'" + line_->command + "' takes " + std::to_string(words) + (words == 1 ? " word" : " words") + " before its options");
}

const std::string& ArtRenderer::option(const char* name) const {
  const std::string* value = line_->option(name);
  if (!value) fail("'" + line_->command + "' needs '" + name + ":'");
  return *value;
}

double ArtRenderer::number(const char* name) const {
  return layout_.evaluate(option(name), script_.where(*line_));
}

int ArtRenderer::integer(const char* name) const {
  return static_cast<int>(std::lround(number(name)));
}

int ArtRenderer::integer(const char* name, int fallback) const {
  return line_->option(name) ? integer(name) : fallback;
}

bool ArtRenderer::yes(const char* name) const {
  const std::string* value = line_->option(name);
  if (!value) return false;
  if (*value == "yes") return true;
  if (*value == "no") return false;
  fail("'" + std::string(name) + ":' is yes or no");
}

Colour ArtRenderer::colourOf(const std::string& text) const {
  const auto found = palette_.find(lower(text));
  if (found != palette_.end()) return found->second;
  if (isHexColour(text)) return Colour::hex(static_cast<std::uint32_t>(std::stoul(text, nullptr, 16)));
  fail("'" + text + "' is no colour of the palette and no RRGGBB");
}

Colour ArtRenderer::colour(const char* name) const {
  return colourOf(option(name));
}

Colour ArtRenderer::named(const char* name) const {
  const auto found = palette_.find(name);
  if (found == palette_.end()) fail("the palette has no colour '" + std::string(name) + "'");
  return found->second;
}

// The looks, their colours fetched in order so a missing one is named predictably.
ControlArt::Look ArtRenderer::controlLook() const {
  ControlArt::Look look;
  const Colour top = named("panel_top");
  look.panel = Colour::mix(top, named("panel_bottom"), 0.5);
  look.knobTop = named("knob_top");
  look.knobBottom = named("knob_bottom");
  look.rimLight = named("rim_light");
  look.rimDark = named("rim_dark");
  look.track = named("track");
  look.indicator = named("indicator");
  look.buttonTop = named("button_top");
  look.buttonBottom = named("button_bottom");
  look.label = named("label");
  look.ink = named("ink");
  return look;
}

PanelArt::Look ArtRenderer::panelLook() const {
  PanelArt::Look look;
  look.panelTop = named("panel_top");
  look.panelBottom = named("panel_bottom");
  look.headerTop = named("header_top");
  look.headerBottom = named("header_bottom");
  look.edgeLight = named("edge_light");
  look.edgeDark = named("edge_dark");
  look.field = named("field");
  look.fieldEdge = named("field_edge");
  look.menuTop = named("menu_top");
  look.menuBottom = named("menu_bottom");
  look.screen = named("screen");
  look.screenEdge = named("screen_edge");
  look.caption = named("caption");
  look.ink = named("ink");
  return look;
}

void ArtRenderer::addPicture(gui::Surface picture) {
  const std::string& name = line_->words[0];
  const std::string key = lower(name);
  if (pictures_.count(key)) fail(name + " is drawn twice");
  if (picture.empty()) fail(name + " has no size");
  pictures_[key] = std::move(picture);
  names_[key] = name;
  lines_[key] = line_->number;
}

// The picture the drawing commands go to, with the panel colours taken
// from the palette at its first drawing.
PanelArt& ArtRenderer::canvas() {
  if (canvasKey_.empty()) fail("'" + line_->command + "' draws on a background or about picture; none is started");
  if (!canvas_) canvas_ = std::make_unique<PanelArt>(pictures_[canvasKey_], panelLook(), scale_);
  return *canvas_;
}

void ArtRenderer::endCanvas() {
  canvas_.reset();
  canvasKey_.clear();
}

void ArtRenderer::startCanvas() {
  expectOptions({"width", "height"}, 1);
  const int width = integer("width"), height = integer("height");
  if (width <= 0 || height <= 0 || width > 4000 || height > 4000) fail("the picture's size is out of range");
  endCanvas();
  addPicture(gui::Surface(static_cast<int>(std::lround(width * scale_)), static_cast<int>(std::lround(height * scale_)),
                          gui::makePixel(0, 0, 0)));
  canvasKey_ = lower(line_->words[0]);
}

// The rectangle of an element of skin.xml.
ArtRenderer::Rect ArtRenderer::rectOf(const SkinLayout::Element& element) const {
  return {layout_.number(element, "x"), layout_.number(element, "y"), layout_.number(element, "w"),
          layout_.number(element, "h")};
}

void ArtRenderer::command(const Line& line) {
  const std::string& c = line.command;
  if (c == "colour") {
    expectOptions({}, 2);
    if (!isHexColour(line.words[1])) fail("'" + line.words[1] + "' is not RRGGBB");
    palette_[lower(line.words[0])] = colourOf(line.words[1]);
  } else if (c == "knob") {
    expectOptions({"size", "frames", "accent", "sweep"}, 1);
    const std::string& sweep = option("sweep");
    if (sweep != "min" && sweep != "centre") fail("'sweep:' is min or centre");
    const int size = integer("size"), frames = integer("frames", 101);
    if (size < 8 || size > 200 || frames < 2 || frames > 256) fail("the knob's size or frames are out of range");
    endCanvas();
    addPicture(ControlArt::knob(controlLook(), size, frames, colour("accent"), sweep == "centre", scale_));
  } else if (c == "button") {
    expectOptions({"width", "height", "accent", "text"}, 1);
    endCanvas();
    addPicture(
        ControlArt::button(controlLook(), integer("width"), integer("height"), colour("accent"), option("text"), scale_));
  } else if (c == "lamp") {
    expectOptions({"size", "accent"}, 1);
    endCanvas();
    addPicture(ControlArt::lamp(controlLook(), integer("size"), colour("accent"), scale_));
  } else if (c == "pad") {
    expectOptions({"width", "height", "accent"}, 1);
    endCanvas();
    addPicture(ControlArt::pad(controlLook(), integer("width"), integer("height"), colour("accent"), scale_));
  } else if (c == "background" || c == "about") {
    startCanvas();
  } else if (c == "gradient") {
    expectOptions({"top", "bottom"}, 0);
    canvas().gradient(colour("top"), colour("bottom"));
  } else if (c == "grain") {
    expectOptions({"amount", "seed"}, 0);
    canvas().grain(number("amount"), static_cast<std::uint32_t>(integer("seed")));
  } else if (c == "header") {
    expectOptions({"x", "y", "w", "h"}, 0);
    canvas().header(integer("x"), integer("y"), integer("w"), integer("h"));
  } else if (c == "panel") {
    expectOptions({"x", "y", "w", "h", "accent", "dividers"}, 0);
    std::vector<int> dividers;
    if (const std::string* list = line.option("dividers")) {
      std::size_t start = 0;
      while (start <= list->size()) {
        const std::size_t comma = std::min(list->find(',', start), list->size());
        dividers.push_back(static_cast<int>(std::lround(layout_.evaluate(list->substr(start, comma - start), script_.where(line)))));
        start = comma + 1;
      }
    }
    const Colour accent = line.option("accent") ? colour("accent") : Colour{};
    canvas().panel(integer("x"), integer("y"), integer("w"), integer("h"), line.option("accent") ? &accent : nullptr,
                   dividers);
  } else if (c == "divider") {
    expectOptions({"x", "y", "h"}, 0);
    canvas().divider(integer("x"), integer("y"), integer("h"));
  } else if (c == "screen") {
    expectOptions({"x", "y", "w", "h"}, 0);
    canvas().screen(integer("x"), integer("y"), integer("w"), integer("h"));
  } else if (c == "fields") {
    expectOptions({}, 0);
    fields();
  } else if (c == "caption") {
    expectOptions({"y"}, 2);
    caption(line.words[0], line.words[1]);
  } else if (c == "text") {
    expectOptions({"x", "y", "size", "bold", "colour", "align", "tracking"}, 1);
    const std::string align = line.option("align") ? option("align") : "left";
    if (align != "left" && align != "centre" && align != "right") fail("'align:' is left, centre or right");
    canvas().text(line.words[0], number("x"), integer("y"),
                  Painter::Font{integer("size", 9), yes("bold"), integer("tracking", 0)}, colour("colour"),
                  align == "left" ? Painter::Align::Left : align == "centre" ? Painter::Align::Centre : Painter::Align::Right);
  } else if (c == "wordmark") {
    expectOptions({"x", "y", "size", "align"}, 0);
    const std::string align = line.option("align") ? option("align") : "left";
    if (align != "left" && align != "centre") fail("'align:' is left or centre");
    canvas().wordmark(integer("x"), integer("y"), integer("size"), align == "centre",
                      {named("bd"), named("sd"), named("hh"), named("cp")});
  } else if (c == "outline") {
    expectOptions({}, 0);
    canvas().outline();
  } else if (c == "glow") {
    expectOptions({"x", "y", "w", "h", "colour", "opacity"}, 0);
    canvas().glow(integer("x"), integer("y"), integer("w"), integer("h"), colour("colour"), number("opacity"));
  } else {
    fail("unknown command '" + c + "'");
  }
}

// Recessed fields behind the value displays; boxes under the menus and the
// program line.
void ArtRenderer::fields() {
  for (const SkinLayout::Element& element : layout_.elements()) {
    const std::string& type = element.type;
    if (type != "autodisp" && type != "optionmenu" && type != "wizard" && type != "skinselector" &&
        type != "presetsdisplay")
      continue;
    const Rect r = rectOf(element);
    const int x = static_cast<int>(r.x), y = static_cast<int>(r.y), w = static_cast<int>(r.w), h = static_cast<int>(r.h);
    if (type == "autodisp")
      canvas().valueField(x, y, w, h);
    else if (type == "presetsdisplay")
      canvas().programLine(x, y, w, h);
    else
      canvas().menuBox(x, y, w, h);
  }
}

// A caption centred over the knob or menu of that parameter; `y:` moves its baseline.
void ArtRenderer::caption(const std::string& id, const std::string& text) {
  const double wanted = layout_.evaluate(id, script_.where(*line_));
  for (const SkinLayout::Element& element : layout_.elements()) {
    if (element.type != "knob" && element.type != "optionmenu") continue;
    if (!element.attribute("id") || layout_.number(element, "id") != wanted) continue;
    const Rect r = rectOf(element);
    canvas().caption(text, r.x + r.w / 2, line_->option("y") ? integer("y") : static_cast<int>(r.y) - 4);
    return;
  }
  fail("skin.xml has no knob or menu with the id " + id);
}

}  // namespace zvx::data
