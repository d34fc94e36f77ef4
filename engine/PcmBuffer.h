// One voice's sampled layer as the engine plays it: 98000 samples of -1 to 1,
// and the rate they were recorded at, as a multiple of 44100 Hz.
#pragma once

#include <array>

namespace zvx {

struct PcmBuffer {
  static constexpr int kSize = 98000;
  std::array<float, kSize> samples{};
  float rate = 1.0f;  // entries per 44.1 kHz sample period
};

}  // namespace zvx
