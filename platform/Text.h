// Text rasterised by the system's means (FreeType with DejaVu Sans on Linux,
// GDI on Windows) into coverage masks that the toolkit blends into its surface.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace zvx::platform {

struct FontSpec {
  int pixelSize = 12;  // the em size in pixels
  bool bold = false;
  bool italic = false;
};

// One line of text: coverage 0 (none) to 255 (full) per pixel, rows top to
// bottom. The baseline lies `ascent` rows below the top; the pen starts at x 0.
struct TextImage {
  int width = 0;
  int height = 0;  // ascent + descent of the font, whatever the text
  int ascent = 0;
  std::vector<std::uint8_t> coverage;
};

// Renders `text` (single-byte characters; bytes above 127 as Latin-1) on one
// line. Control characters (below 32, and 127: CR, LF, backspace ...) are
// never drawn and take no room. Thread-safe. An empty text, or a font that
// cannot be had, gives an image of width 0 (and the font's height when it
// could be had).
TextImage renderText(const std::string& text, const FontSpec& font);

// The advance width of `text` in pixels, as renderText would lay it out.
int textWidth(const std::string& text, const FontSpec& font);

// The text without its control characters, as both functions above see it.
inline std::string printableText(const std::string& text) {
  std::string printable;
  printable.reserve(text.size());
  for (char c : text)
    if (static_cast<unsigned char>(c) >= 32 && c != 127) printable += c;
  return printable;
}

}  // namespace zvx::platform
