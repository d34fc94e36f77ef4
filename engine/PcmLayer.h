// A voice's sampled layer: plays a buffer from the start at every hit, at a
// rate set by the tunings, forward to the play limit or, when reverse is
// armed, swinging between the start and a turning point. The buffer belongs
// to the engine's sample slots; the layer keeps only its play position.
//
// The position counts 44.1 kHz sample periods whatever the file's rate; the
// buffer's rate turns it into an entry, so a file recorded at another rate
// plays at its true pitch and turns and stops at the same times as its
// 44.1 kHz equivalent. At 44.1 kHz the rate is 1 and the entry is the position.
#pragma once

#include <cmath>

#include "engine/FloatMath.h"
#include "engine/PcmBuffer.h"

namespace zvx {

class PcmLayer {
 public:
  explicit PcmLayer(float playLimit) : playLimit_(playLimit) {}

  // Audio thread. The entry of `buffer` at the play position; 0 where there is
  // none (no buffer, or a position outside it).
  float sample(const PcmBuffer* buffer) const {
    if (!buffer) return 0.0f;
    const int index = math::truncateToInt(position_ * buffer->rate);
    if (index < 0 || index >= PcmBuffer::kSize) return 0.0f;
    return buffer->samples[static_cast<std::size_t>(index)];
  }
  void trigger() { position_ = 0.0f; }
  // Forward to the limit; with reverse armed, back from limit x size to the start.
  void advance(float step, bool reverseArmed, float reverseSize) {
    if (!reversing_ && position_ < playLimit_) position_ += step;
    if (reverseArmed && position_ > playLimit_ * reverseSize) reversing_ = true;
    if (reversing_ && position_ >= 1.0f) position_ -= step;
    if (position_ < 1.0f) reversing_ = false;
  }

  float position() const { return position_; }
  bool reversing() const { return reversing_; }
  float playLimit() const { return playLimit_; }
  void resume(float position, bool reversing) {
    position_ = position;
    reversing_ = reversing;
  }
  void rest() {
    position_ = 0.0f;
    reversing_ = false;
  }
  bool finite() const { return std::isfinite(position_); }

 private:
  const float playLimit_;
  float position_ = 0.0f;
  bool reversing_ = false;
};

}  // namespace zvx
