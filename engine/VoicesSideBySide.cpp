#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "engine/Engine.h"
#include "engine/FloatMath.h"

#define ZVX_SIDE_BY_SIDE renderPlainSamplesSse2
#include "engine/SideBySideKernel.inc"

namespace zvx {
namespace {

// Asked once, as the module loads: a function's static would be set up on
// the audio thread's first run, behind the guard's lock.
const bool processorHasAvx = Engine::hasAvx();

}  // namespace

bool Engine::nothingFromElsewhere() const {
  constexpr std::memory_order relaxed = std::memory_order_relaxed;
  if (padRequests_.load(relaxed) != 0) return false;
  if (settings_.generation.load(std::memory_order_acquire) != appliedGeneration_) return false;
  return pcmChanges_.load(std::memory_order_acquire) == pcmChangesSeen_;
}

// SSE2 is all an x86-64 processor is sure to have; AVX, where the processor
// and the system offer it, takes fewer instructions for the same operations.
int Engine::renderPlainSamples(int n, int frames, float* const* outputs) {
  if (envelopes_[kBD].idle() && envelopes_[kSD].idle() && envelopes_[kHH].idle() && envelopes_[kCP].idle())
    return renderQuietSamples(n, frames, outputs);
  return processorHasAvx && lanes() == Lanes::Widest ? renderPlainSamplesAvx(n, frames, outputs)
                                         : renderPlainSamplesSse2(n, frames, outputs);
}

// Awake with no voice sounding, a sample is silence while the modulation
// sources run on and the silence is counted toward sleep. The ring LFO's
// sine, which no one reads in such a sample, is taken once, at the end.
int Engine::renderQuietSamples(int n, int frames, float* const* outputs) {
  if (asleep_ || padCountdownsRunning_ || endAfterDecay_ != 0 || !nothingFromElsewhere())
    return n;
  const int first = n;
  const int last = std::min(frames, n + untilFiniteCheck_ - 1);
  int noiseDraw = 0;
  for (; n <= last && nothingFromElsewhere(); ++n) {
    noiseDraw = random_.next();
    ringLfo_.stepTriangle();
    chaosValue_ = smoother_.tick(chaosLfo_.tick(random_));
    smoother_.setTime(glideTime());
    silenceCounter_ += 1.0f;
    if (silenceCounter_ > 4.0 * sampleRate()) {
      silenceCounter_ = 0.0f;
      asleep_ = true;
      ++n;
      break;
    }
  }
  for (int c = 0; c < kOutputs; ++c) std::fill(outputs[c] + (first - 1), outputs[c] + (n - 1), 0.0f);
  noiseSample_ = static_cast<float>(noiseDraw) / 32767.0f;
  ringValue_ = static_cast<float>(math::sin(ringLfo_.phase()));
  ringLfo_.setOutput(ringValue_);
  voiceActive_ = false;
  countAwakeSamples(n - first);
  return n;
}

}  // namespace zvx
