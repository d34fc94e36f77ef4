// Runs the art description against a layout: keeps the palette, draws each
// picture a command asks for, and on the background and about pictures the
// drawing commands that follow them.
#pragma once

#include <map>
#include <memory>
#include <string>

#include "image/Surface.h"
#include "tools/zvx-data/ArtScript.h"
#include "tools/zvx-data/ControlArt.h"
#include "tools/zvx-data/PanelArt.h"
#include "tools/zvx-data/SkinLayout.h"

namespace zvx::data {

class ArtRenderer {
 public:
  // Each picture is drawn `scale` times its size (2 for the "@2x" art).
  ArtRenderer(const SkinLayout& layout, const ArtScript& script, double scale = 1.0)
      : layout_(layout), script_(script), scale_(scale) {}

  // Every picture, by lower-case name. Throws SkinError naming the line.
  std::map<std::string, gui::Surface> run();

  // A picture's name as the art wrote it, and the line that drew it.
  const std::string& nameOf(const std::string& key) const { return names_.at(key); }
  int lineOf(const std::string& key) const { return lines_.at(key); }

 private:
  using Line = ArtScript::Line;
  struct Rect {
    double x, y, w, h;
  };

  [[noreturn]] void fail(const std::string& message) const;
  void expectOptions(std::initializer_list<const char*> allowed, std::size_t words) const;
  const std::string& option(const char* name) const;
  double number(const char* name) const;
  int integer(const char* name) const;
  int integer(const char* name, int fallback) const;
  bool yes(const char* name) const;
  Colour colourOf(const std::string& text) const;
  Colour colour(const char* name) const;
  Colour named(const char* name) const;
  ControlArt::Look controlLook() const;
  PanelArt::Look panelLook() const;

  void addPicture(gui::Surface picture);
  PanelArt& canvas();
  void endCanvas();
  void startCanvas();
  Rect rectOf(const SkinLayout::Element& element) const;
  void command(const Line& line);
  void fields();
  void caption(const std::string& id, const std::string& text);

  const SkinLayout& layout_;
  const ArtScript& script_;
  double scale_;
  const Line* line_ = nullptr;
  std::map<std::string, Colour> palette_;
  std::map<std::string, gui::Surface> pictures_;  // by lower-case name
  std::map<std::string, std::string> names_;      // lower-case name to the name as written
  std::map<std::string, int> lines_;
  std::string canvasKey_;
  std::unique_ptr<PanelArt> canvas_;
};

}  // namespace zvx::data
