// The component's state as a host keeps it: a header naming it, the current
// program, then the bank chunk exactly as the VST 2.4 module saves it, so a
// kit moves between the formats byte for byte.
//
//   'Z' 'V' 'X' 'S'   uint32 version (1)   int32 program   uint32 chunk size   chunk
//
// Numbers are little-endian. Read from the host's stream at its position
// (hosts put the state after a header of their own), in as many reads as the
// stream needs.
#pragma once

#include <cstddef>
#include <optional>
#include <vector>

#include "formats/vst3/Vst3Abi.h"

namespace zvx::vst3 {

struct ComponentState {
  int program = 0;
  std::vector<unsigned char> chunk;
};

constexpr std::size_t kStateHeaderSize = 16;
constexpr uint32 kStateVersion = 1;

// True when every byte was written.
bool writeState(IBStream& stream, int program, const void* chunk, std::size_t size);
// The state at the stream's position; nothing when it is not one of ours, or
// its program or chunk size is not the instrument's (the chunk is read only
// then, so a header claiming gigabytes costs nothing).
std::optional<ComponentState> readState(IBStream& stream);

}  // namespace zvx::vst3
