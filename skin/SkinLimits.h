// The most one skin may ask for, each many times what a full skin needs (the
// default skin has 129 elements, 153 constants, 23 wizard entries with 153
// settings). Past a limit the rest is left out and one message says so, so
// that loading and every later redraw or parameter change take bounded time.
#pragma once

#include <cstddef>

namespace zvx {

constexpr std::size_t kMaxSkinElements = 4096;       // elements of <GUI>, update links among them
constexpr std::size_t kMaxSkinConstants = 4096;      // names that CONSTANTS and expressions define
constexpr std::size_t kMaxMenuEntries = 1024;        // entries of one option menu or wizard
constexpr std::size_t kMaxWizardSettings = 65536;    // SETs of all wizards together

}  // namespace zvx
