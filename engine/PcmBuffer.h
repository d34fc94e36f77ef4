// One voice's sampled layer as the engine plays it: 98000 samples of -1 to 1.
#pragma once

#include <array>

namespace zvx {

struct PcmBuffer {
  static constexpr int kSize = 98000;
  std::array<float, kSize> samples{};
};

}  // namespace zvx
