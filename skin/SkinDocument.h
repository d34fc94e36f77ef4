// The skin document: finds and loads skin/skin.xml, hands its elements to the
// editor's object factory, and offers the services the element reader builds
// on: attribute values (text or expression), bitmaps, constants.
// GUI thread only.
#pragma once

#include <string>

#include "gui/CBitmap.h"
#include "skin/SkinContext.h"

namespace zvx {

class SkinHost;

// Loads the skin into `host`. In the size pass (sizeOnly) only `background`
// elements are built, which sets the window size; in the full pass every
// element, `background` making the frame inside `parentWindow`. False, after
// a message, when the file is missing, unparsable or has no GUI root.
bool LoadSkin(SkinHost& host, void* parentWindow, bool sizeOnly);

struct TagValue {
  double number = 0;
  std::string text;
};

// An attribute as a number (evaluate) or as text: 1 when read; -1 when absent
// and optional (silently); 0 when absent and required, or when its expression
// fails (a "Skin Error" message names the attribute and the object).
int GetTagValue(const char* objectName, const char* tagName, const AttrSet& attrs, bool evaluate, bool optional,
                TagValue& out, SkinContext& context);

// The bitmap of that name in the skin folder, loaded once per load (names
// compared ignoring case); an empty one when the file cannot be read; null
// only when no bitmap can be made at all.
CBitmap* GetBitmap(SkinContext& context, const char* name);

// The CONSTANTS element's text: entries separated by commas and line breaks,
// `NAME = expression` or just NAME (the running value plus one).
void DefineConstants(const char* text, SkinContext& context);

// The whole number a skin's number stands for: truncated toward zero and held
// within -32768 to 32767 (NaN is 0). Coordinates, sizes, ids and counts beyond
// that range mean nothing on a screen and would overflow the arithmetic of
// rectangles and drawing.
constexpr int kSkinNumberLowest = -32768;
constexpr int kSkinNumberHighest = 32767;
int truncated(double value);

}  // namespace zvx
