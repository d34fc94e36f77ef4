#include "tools/zvx-render/PrintableText.h"

#include <cstdio>

namespace zvx::render {
namespace {

// Characters a terminal acts on rather than shows: the C1 controls, the line
// and paragraph separators and the marks that change the direction of text.
bool isControl(char32_t code) {
  return code < 0xA0 || code == 0x2028 || code == 0x2029 || code == 0x200E || code == 0x200F ||
         (code >= 0x202A && code <= 0x202E) || (code >= 0x2066 && code <= 0x2069);
}

// The length of the well-formed, shown UTF-8 character at `at` (2 to 4), or 0
// for anything else: a stray or overlong byte sequence, a surrogate, a control.
std::size_t characterLength(std::string_view text, std::size_t at) {
  const auto lead = static_cast<unsigned char>(text[at]);
  std::size_t length = 0;
  char32_t code = 0, least = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2, code = lead & 0x1Fu, least = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3, code = lead & 0x0Fu, least = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4, code = lead & 0x07u, least = 0x10000;
  } else {
    return 0;
  }
  if (text.size() - at < length) return 0;
  for (std::size_t i = 1; i < length; ++i) {
    const auto next = static_cast<unsigned char>(text[at + i]);
    if ((next & 0xC0u) != 0x80u) return 0;
    code = (code << 6) | (next & 0x3Fu);
  }
  if (code < least || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF) || isControl(code)) return 0;
  return length;
}

}  // namespace

std::string printableText(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t at = 0; at < text.size();) {
    const auto byte = static_cast<unsigned char>(text[at]);
    if (byte == '\\') {
      out += "\\\\";
      ++at;
    } else if (byte >= 0x20 && byte < 0x7F) {
      out += static_cast<char>(byte);
      ++at;
    } else if (const std::size_t length = characterLength(text, at); length > 0) {
      out.append(text, at, length);
      at += length;
    } else {
      char escaped[5];
      std::snprintf(escaped, sizeof escaped, "\\x%02X", byte);
      out += escaped;
      ++at;
    }
  }
  return out;
}

}  // namespace zvx::render
