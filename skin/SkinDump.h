// What a skin resolved to, as text: one line per built object (type, tag,
// rectangle, bitmaps, value), then the editor's tables. For tests and for
// skin authors.
#pragma once

#include <string>

namespace zvx {

class SkinHost;

std::string dumpSkin(SkinHost& host);

}  // namespace zvx
