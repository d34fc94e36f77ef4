// A voice's sampled layer: plays its buffer from the start at every hit, at a
// rate set by the tunings, forward to the play limit or, when reverse is
// armed, swinging between the start and a turning point.
//
// Buffers are handed over whole: a loading thread publishes a filled buffer,
// the audio thread adopts it between samples and hands back the one it let
// go, which the loading side frees. The audio thread never allocates or frees.
#pragma once

#include <atomic>
#include <memory>

#include "engine/FloatMath.h"
#include "engine/PcmBuffer.h"

namespace zvx {

class PcmLayer {
 public:
  explicit PcmLayer(float playLimit) : playLimit_(playLimit) {}
  ~PcmLayer();
  PcmLayer(const PcmLayer&) = delete;
  PcmLayer& operator=(const PcmLayer&) = delete;

  // Any thread but the audio thread. The buffer plays from the next sample on;
  // a published buffer the audio thread has not adopted yet is replaced.
  void publish(std::unique_ptr<PcmBuffer> buffer);
  // Any thread but the audio thread: the buffer the audio thread let go, if any.
  std::unique_ptr<PcmBuffer> takeRetired() { return std::unique_ptr<PcmBuffer>(retired_.exchange(nullptr)); }

  // Audio thread. Adopts a published buffer; false while the previous retired
  // one has not been taken yet (the adoption is then tried again later).
  bool adoptPublished();

  // Audio thread. The entry at the play position; 0 where there is none.
  float sample() const {
    const int index = math::truncateToInt(position_);
    if (!current_ || index < 0 || index >= PcmBuffer::kSize) return 0.0f;
    return current_->samples[static_cast<std::size_t>(index)];
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

 private:
  const float playLimit_;
  PcmBuffer* current_ = nullptr;  // audio thread; null plays silence
  std::atomic<PcmBuffer*> published_{nullptr};
  std::atomic<PcmBuffer*> retired_{nullptr};
  float position_ = 0.0f;
  bool reversing_ = false;
};

}  // namespace zvx
