#include "vst3host/Utf16.h"


namespace zvx::vst3host {
namespace {

void putUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

// The next code point of `text` from `at`, moving past it; malformed bytes read as U+FFFD, one byte each.
char32_t nextCodePoint(std::string_view text, std::size_t& at) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(at);
  int length = lead < 0x80 ? 1 : (lead >> 5) == 0x6 ? 2 : (lead >> 4) == 0xE ? 3 : (lead >> 3) == 0x1E ? 4 : 0;
  if (length == 0 || at + static_cast<std::size_t>(length) > text.size()) {
    ++at;
    return 0xFFFD;
  }
  char32_t c = length == 1 ? lead : lead & (0x7F >> length);
  for (int i = 1; i < length; ++i) {
    if ((byte(at + static_cast<std::size_t>(i)) & 0xC0) != 0x80) {
      ++at;
      return 0xFFFD;
    }
    c = (c << 6) | (byte(at + static_cast<std::size_t>(i)) & 0x3F);
  }
  at += static_cast<std::size_t>(length);
  return c;
}

}  // namespace

std::string toUtf8(const vst3::char16* text, std::size_t capacity) {
  std::string out;
  for (std::size_t i = 0; i < capacity && text[i] != 0; ++i) {
    const char32_t unit = text[i];
    if (unit >= 0xD800 && unit < 0xDC00 && i + 1 < capacity && text[i + 1] >= 0xDC00 && text[i + 1] < 0xE000) {
      putUtf8(out, 0x10000 + ((unit - 0xD800) << 10) + (static_cast<char32_t>(text[i + 1]) - 0xDC00));
      ++i;
    } else if (unit >= 0xD800 && unit < 0xE000) {
      putUtf8(out, 0xFFFD);
    } else {
      putUtf8(out, unit);
    }
  }
  return out;
}

void fromUtf8(std::string_view text, vst3::char16* destination, std::size_t capacity) {
  if (capacity == 0) return;
  std::size_t written = 0;
  for (std::size_t at = 0; at < text.size();) {
    const char32_t c = nextCodePoint(text, at);
    const std::size_t units = c >= 0x10000 ? 2 : 1;
    if (written + units >= capacity) break;
    if (units == 2) {
      destination[written++] = static_cast<vst3::char16>(0xD800 + ((c - 0x10000) >> 10));
      destination[written++] = static_cast<vst3::char16>(0xDC00 + ((c - 0x10000) & 0x3FF));
    } else {
      destination[written++] = static_cast<vst3::char16>(c);
    }
  }
  destination[written] = 0;
}

}  // namespace zvx::vst3host
