// Renders a skin from its sources: skin.xml (the layout, copied as it is) and
// the art description, whose commands draw every picture skin.xml names: the
// control film strips, the background with its labels, the about screen.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace zvx::data {

class SkinArt {
 public:
  struct File {
    std::string name;
    std::vector<std::uint8_t> bytes;
  };

  static constexpr const char* kLayoutFile = "skin.xml";
  static constexpr const char* kArtFile = "art.txt";

  // skin.xml and the pictures as 24-bit BMP files, sorted by name. Throws
  // SkinError for a mistake in either source, for a picture skin.xml names
  // that the art does not draw, and for one drawn that skin.xml never names.
  static std::vector<File> render(const std::string& layoutXml, const std::string& art);
};

}  // namespace zvx::data
