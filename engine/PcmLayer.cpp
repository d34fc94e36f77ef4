#include "engine/PcmLayer.h"

namespace zvx {

PcmLayer::~PcmLayer() {
  delete current_;
  delete published_.load();
  delete retired_.load();
}

void PcmLayer::publish(std::unique_ptr<PcmBuffer> buffer) {
  // A buffer replaced here was never seen by the audio thread.
  std::unique_ptr<PcmBuffer> unseen(published_.exchange(buffer.release(), std::memory_order_acq_rel));
}

bool PcmLayer::adoptPublished() {
  if (retired_.load(std::memory_order_acquire) != nullptr) return false;
  PcmBuffer* incoming = published_.exchange(nullptr, std::memory_order_acquire);
  if (!incoming) return true;
  retired_.store(current_, std::memory_order_release);
  current_ = incoming;
  return true;
}

}  // namespace zvx
