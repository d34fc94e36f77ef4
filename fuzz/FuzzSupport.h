// What the instrument-level fuzz targets share: a private data folder, and a
// block of sound that must come out finite whatever state the input left.
#pragma once

#include <filesystem>

namespace zvx {
class DrumPlugin;
}

namespace zvx::fuzz {

// The ZVX data folder of a documents folder of this process's own (made at
// the first call, with every message the instrument shows silenced).
const std::filesystem::path& dataFolder();

// Plays every note at full velocity, moves every controller, and renders two
// blocks of all six outputs; false when a sample is infinite or NaN.
bool rendersFinite(DrumPlugin& plugin);

// Aborts with `what` on stderr: a finding that is not a memory error.
[[noreturn]] void fail(const char* what);

}  // namespace zvx::fuzz
