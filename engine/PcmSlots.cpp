#include "engine/PcmSlots.h"

namespace zvx {

const PcmBuffer* PcmSlots::publish(int slot, const PcmBuffer* buffer) {
  const PcmBuffer* unseen = published_[slot].exchange(buffer, std::memory_order_acq_rel);
  holds_[slot].store(true, std::memory_order_release);
  pending_.fetch_or(1u << slot, std::memory_order_release);
  return unseen;
}

bool PcmSlots::adoptPublished() {
  if (pending_.load(std::memory_order_relaxed) == 0) return true;
  const unsigned pending = pending_.exchange(0, std::memory_order_acquire);
  bool settled = true;
  for (int slot = 0; slot < kSlots; ++slot) {
    if (!(pending & (1u << slot))) continue;
    if (retired_[slot].load(std::memory_order_acquire) != nullptr) {
      pending_.fetch_or(1u << slot, std::memory_order_relaxed);
      settled = false;
      continue;
    }
    const PcmBuffer* incoming = published_[slot].exchange(nullptr, std::memory_order_acquire);
    if (!incoming) continue;
    retired_[slot].store(current_[slot], std::memory_order_release);
    current_[slot] = incoming;
  }
  return settled;
}

}  // namespace zvx
