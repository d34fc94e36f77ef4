// Linked into ZVX_scalar and ZVX_sse2 only: before the host can create an
// instrument, every engine of the module is put on the path the build names
// (ZVX_ENGINE_LANES: Off, one voice at a time; Sse2, side by side in SSE2
// lanes whatever the processor offers), which the tests hold ZVX to and the
// benchmarks time it against. The choice is the module's own (its statics are
// not shared with another module loaded in the same process).
#include "engine/Engine.h"

namespace {

struct EngineChoice {
  EngineChoice() { zvx::Engine::setLanes(zvx::Engine::Lanes::ZVX_ENGINE_LANES); }
};

const EngineChoice engineChoice;

}  // namespace
