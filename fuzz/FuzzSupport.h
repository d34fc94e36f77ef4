// What the instrument-level fuzz targets share: a private data folder, and a
// block of sound that must come out finite whatever state the input left.
#pragma once

#include <filesystem>

#include "instrument/Instrument.h"

namespace zvx::fuzz {

// The ZVX data folder of a documents folder of this process's own (made at
// the first call, with every message the instrument shows silenced).
const std::filesystem::path& dataFolder();

// A front door for the fuzz targets: no real-time thread, nobody to tell.
class QuietHost : public InstrumentHost {
 public:
  bool hostSaysRealtime() override { return false; }
  void parameterChanged(int, float) override {}
  bool updateDisplay() override { return false; }
};

// An instrument in the fuzzing data folder, started as a front door starts it.
struct FuzzedInstrument {
  FuzzedInstrument() { instrument.start(); }
  QuietHost host;
  Instrument instrument{host};
};

// Plays every note at full velocity, moves every controller, and renders two
// blocks of all six outputs; false when a sample is infinite or NaN.
bool rendersFinite(Instrument& instrument);

// Aborts with `what` on stderr: a finding that is not a memory error.
[[noreturn]] void fail(const char* what);

}  // namespace zvx::fuzz
