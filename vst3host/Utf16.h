// The UTF-16 text of the binary interface (String128, the names of PClassInfoW)
// read into UTF-8 and written from it.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "formats/vst3/Vst3Abi.h"

namespace zvx::vst3host {

// The text up to its terminator or `capacity` units, whichever comes first; an
// unpaired surrogate becomes U+FFFD.
std::string toUtf8(const vst3::char16* text, std::size_t capacity);
inline std::string toUtf8(const vst3::String128 text) { return toUtf8(text, 128); }

// `text` into `destination` of `capacity` units, cut on a whole character and terminated.
void fromUtf8(std::string_view text, vst3::char16* destination, std::size_t capacity);
inline void fromUtf8(std::string_view text, vst3::String128 destination) { fromUtf8(text, destination, 128); }

}  // namespace zvx::vst3host
