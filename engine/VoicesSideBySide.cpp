#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "engine/Engine.h"
#include "engine/FloatMath.h"

#define ZVX_SIDE_BY_SIDE renderPlainSamplesSse2
#include "engine/SideBySideKernel.inc"

namespace zvx {

bool Engine::nothingFromElsewhere() const {
  constexpr std::memory_order relaxed = std::memory_order_relaxed;
  if (padRequests_.load(relaxed) != 0) return false;
  if (settings_.generation.load(std::memory_order_acquire) != appliedGeneration_) return false;
  return pcmChanges_.load(std::memory_order_acquire) == pcmChangesSeen_;
}

// SSE2 is all an x86-64 processor is sure to have; AVX, where the processor
// and the system offer it, takes fewer instructions for the same operations.
int Engine::renderPlainSamples(int n, int frames, float* const* outputs) {
  static const bool avx = hasAvx();
  return avx && lanes() == Lanes::Widest ? renderPlainSamplesAvx(n, frames, outputs)
                                         : renderPlainSamplesSse2(n, frames, outputs);
}

}  // namespace zvx
