// Linked into ZVX_scalar only: before the host can create an instrument, every
// engine of the module is put on the one-voice-at-a-time path, which the tests
// hold the side-by-side voices of ZVX to and the benchmarks time them against.
// The switch is the module's own (its statics are not shared with another
// module loaded in the same process).
#include "engine/Engine.h"

namespace {

struct OneVoiceAtATime {
  OneVoiceAtATime() { zvx::Engine::setLanes(false); }
};

const OneVoiceAtATime oneVoiceAtATime;

}  // namespace
