#include "skin/ElementReader.h"

#include <algorithm>
#include <cctype>
#include <cstdint>

#include "platform/Messages.h"
#include "skin/SkinDocument.h"
#include "skin/SkinHost.h"

namespace zvx {
namespace {

constexpr const char* kBitmapNotFound = "Bitmap not found";

// "%X" over the whole text: one to eight hexadecimal digits.
bool parseColour(const char* text, CColor& colour) {
  while (*text == ' ' || *text == '\t') ++text;
  std::uint32_t value = 0;
  int digits = 0;
  for (; std::isxdigit(static_cast<unsigned char>(*text)); ++text, ++digits) {
    const char c = *text;
    value = value * 16 + static_cast<std::uint32_t>(c <= '9' ? c - '0' : (c | 32) - 'a' + 10);
  }
  while (*text == ' ' || *text == '\t') ++text;
  if (digits == 0 || digits > 8 || *text) return false;
  colour = CColor{static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 8),
                  static_cast<std::uint8_t>(value), 0};
  return true;
}

}  // namespace

bool ElementReader::numbers(std::initializer_list<std::pair<const char*, double*>> wanted) {
  for (const auto& [name, out] : wanted) {
    TagValue value;
    if (GetTagValue(kind_, name, attrs_, true, false, value, context_) != 1) return false;
    *out = value.number;
  }
  return true;
}

bool ElementReader::optionalNumber(const char* name, double& out, double fallback, bool failIsFatal) {
  TagValue value;
  const int result = GetTagValue(kind_, name, attrs_, true, true, value, context_);
  out = result == 1 ? value.number : fallback;
  return result != 0 || !failIsFatal;
}

bool ElementReader::text(const char* name, std::string& out, bool optional) {
  TagValue value;
  const int result = GetTagValue(kind_, name, attrs_, false, optional, value, context_);
  if (result == 1) out = value.text;
  return result == 1;
}

std::optional<bool> ElementReader::yesNo(const char* name) {
  std::string answer;
  if (!text(name, answer, true)) return std::nullopt;
  return !answer.empty() && (answer[0] == 'y' || answer[0] == 'Y' || answer[0] == '1');
}

bool ElementReader::colour(const char* name, CColor& colour) {
  CColor read;
  const int result = colourValue(name, false, read);
  if (result == 1) colour = read;
  return result == 1 || has(name);
}

int ElementReader::colourValue(const char* name, bool optional, CColor& out) {
  TagValue value;
  const int result = GetTagValue(kind_, name, attrs_, false, optional, value, context_);
  if (result != 1) return result;
  if (parseColour(value.text.c_str(), out)) return 1;
  platform::showMessage(std::string("Error reading colour of tag ") + name + " for object " + kind_, "Skin Error",
                        platform::MessageIcon::Error);
  return 0;
}

CBitmap* ElementReader::bitmapFile(const std::string& file, const char* caption) {
  CBitmap* bitmap = GetBitmap(context_, file.c_str());
  if (!bitmap) platform::showMessage(platform::escapedLine(file), caption);
  return bitmap;
}

CBitmap* ElementReader::bitmap(const char* name, const char* caption) {
  std::string file;
  return text(name, file, false) ? bitmapFile(file, caption) : nullptr;
}

bool ElementReader::optionalBitmap(const char* name, CBitmap*& out) {
  std::string file;
  if (!text(name, file, true)) return true;
  out = bitmapFile(file, kBitmapNotFound);
  return out != nullptr;
}

void ElementReader::font(SkinHost& host, CParamDisplay* display) {
  TagValue value;
  // Fonts and alignments outside their lists are the nearest in them.
  if (GetTagValue(kind_, "font", attrs_, true, true, value, context_) == 1)
    display->setFont(static_cast<CFont>(std::clamp(truncated(value.number), 0, kNumStandardFonts - 1)));
  if (GetTagValue(kind_, "halign", attrs_, true, true, value, context_) == 1)
    display->setHoriAlign(static_cast<CHoriTxtAlign>(std::clamp(truncated(value.number), 0, 2)));
  if (GetTagValue(kind_, "txtface", attrs_, true, true, value, context_) == 1)
    display->setTxtFace(truncated(value.number) & (kBoldFace | kItalicFace | kUnderlineFace));
  if (has("transparent")) {
    // The window's background behind it, whatever the attribute says.
    CRect size;
    display->getViewSize(size);
    display->setBackground(host.background());
    display->setBackOffset(CPoint(size.left, size.top));
  }
  struct ColourAttribute {
    const char* name;
    void (CParamDisplay::*apply)(const CColor&);
  };
  const ColourAttribute colours[] = {{"fontcolor", &CParamDisplay::setFontColor},
                                     {"backcolor", &CParamDisplay::setBackColor},
                                     {"framecolor", &CParamDisplay::setFrameColor},
                                     {"shadowcolor", &CParamDisplay::setShadowColor}};
  for (const ColourAttribute& colour : colours) {
    CColor parsed;
    if (colourValue(colour.name, true, parsed) == 1) (display->*colour.apply)(parsed);
  }
}

void ElementReader::defaultValue(CControl* control) {
  TagValue value;
  if (GetTagValue(kind_, "default", attrs_, true, true, value, context_) == 1)
    control->setDefaultValue(static_cast<float>(value.number));
  else
    control->setDefaultValue(control->getValue());
}

}  // namespace zvx
