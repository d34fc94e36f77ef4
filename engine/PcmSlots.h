// The sampled layers an engine's voices choose from, one slot per sample
// file. A slot only points at its buffer; whoever publishes a buffer owns it.
// A buffer is handed over whole: the audio thread adopts a published one
// between samples and hands back the one it let go, which the publisher then
// frees, so the audio thread never allocates or frees.
//
// Threads: publish and takeRetired from one non-audio thread at a time;
// holds from any thread; adoptPublished and buffer on the audio thread only.
#pragma once

#include <array>
#include <atomic>

#include "engine/PcmBuffer.h"

namespace zvx {

class PcmSlots {
 public:
  static constexpr int kSlots = 8;

  // The slot's buffer from the next sample on. Answers the buffer published
  // before that the audio thread never saw (the publisher frees it), or null.
  const PcmBuffer* publish(int slot, const PcmBuffer* buffer);
  // The buffer the audio thread let go in `slot`, or null.
  const PcmBuffer* takeRetired(int slot) { return retired_[slot].exchange(nullptr, std::memory_order_acquire); }
  // Whether `slot` has been given a buffer.
  bool holds(int slot) const { return slot >= 0 && slot < kSlots && holds_[slot].load(std::memory_order_acquire); }

  // Audio thread. False while a published buffer still waits: a slot whose
  // last retired buffer was not taken yet keeps its buffer a little longer.
  bool adoptPublished();
  const PcmBuffer* buffer(int slot) const { return current_[slot]; }

 private:
  std::array<const PcmBuffer*, kSlots> current_{};  // audio thread
  std::array<std::atomic<const PcmBuffer*>, kSlots> published_{};
  std::array<std::atomic<const PcmBuffer*>, kSlots> retired_{};
  std::array<std::atomic<bool>, kSlots> holds_{};
  std::atomic<unsigned> pending_{0};  // one bit per slot with a published buffer
};

}  // namespace zvx
