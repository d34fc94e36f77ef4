#include "instrument/MessageQueue.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace zvx {
namespace {

void copyCut(char* destination, std::size_t capacity, std::string_view text) {
  const std::size_t length = std::min(text.size(), capacity - 1);
  std::memcpy(destination, text.data(), length);
  destination[length] = 0;
}

}  // namespace

MessageQueue::MessageQueue() {
  for (std::size_t i = 0; i < kCapacity; ++i) entries_[i].sequence.store(i, std::memory_order_relaxed);
}

bool MessageQueue::keep(std::string_view text, std::string_view caption, platform::MessageIcon icon) {
  std::size_t position = write_.load(std::memory_order_relaxed);
  Entry* entry = nullptr;
  for (;;) {
    entry = &entries_[position % kCapacity];
    const std::size_t sequence = entry->sequence.load(std::memory_order_acquire);
    const auto lag = static_cast<std::ptrdiff_t>(sequence - position);
    if (lag == 0) {
      if (write_.compare_exchange_weak(position, position + 1, std::memory_order_relaxed)) break;
    } else if (lag < 0) {
      return false;  // full: the entry still holds a message not shown yet
    } else {
      position = write_.load(std::memory_order_relaxed);
    }
  }
  copyCut(entry->text, kTextSize, text);
  copyCut(entry->caption, kCaptionSize, caption);
  entry->icon = icon;
  entry->sequence.store(position + 1, std::memory_order_release);
  return true;
}

void MessageQueue::showWaiting() {
  std::unique_lock<std::mutex> lock(showing_, std::try_to_lock);
  if (!lock.owns_lock()) return;
  for (;;) {
    const std::size_t position = read_.load(std::memory_order_relaxed);
    Entry& entry = entries_[position % kCapacity];
    if (entry.sequence.load(std::memory_order_acquire) != position + 1) return;  // none, or still being written
    const std::string text(entry.text), caption(entry.caption);
    const platform::MessageIcon icon = entry.icon;
    entry.sequence.store(position + kCapacity, std::memory_order_release);
    read_.store(position + 1, std::memory_order_release);
    platform::showMessage(text, caption, icon);
  }
}

}  // namespace zvx
