// Messages raised where no box may open (the audio thread), kept in the order
// raised until a thread that may show them comes by. Keeping one never
// allocates, locks or waits: the queue has a fixed number of fixed-size
// entries, and a message that finds it full is dropped.
//
// Threads: keep from any thread, several at once; showWaiting from any thread
// but the audio thread.
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <mutex>
#include <string_view>

#include "platform/Messages.h"

namespace zvx {

class MessageQueue {
 public:
  static constexpr std::size_t kCapacity = 16;
  static constexpr std::size_t kTextSize = 256;    // longer texts are cut
  static constexpr std::size_t kCaptionSize = 64;

  MessageQueue();
  MessageQueue(const MessageQueue&) = delete;
  MessageQueue& operator=(const MessageQueue&) = delete;

  // False when the queue is full and the message was dropped.
  bool keep(std::string_view text, std::string_view caption, platform::MessageIcon icon = platform::MessageIcon::None);
  bool empty() const { return read_.load(std::memory_order_acquire) == write_.load(std::memory_order_acquire); }
  // Shows the waiting messages, oldest first. While one thread shows them
  // (a modal box can take long), another that comes by leaves them to it.
  void showWaiting();

 private:
  // An entry is free for the writer of position p when its sequence is p, and
  // holds that writer's message for the reader when it is p + 1.
  struct Entry {
    std::atomic<std::size_t> sequence{0};
    char text[kTextSize];
    char caption[kCaptionSize];
    platform::MessageIcon icon = platform::MessageIcon::None;
  };

  std::array<Entry, kCapacity> entries_;
  std::atomic<std::size_t> write_{0};  // next position to fill
  std::atomic<std::size_t> read_{0};   // next position to show; only the showing thread moves it
  std::mutex showing_;
};

}  // namespace zvx
