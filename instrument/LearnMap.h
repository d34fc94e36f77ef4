// The MIDI-learn map: for each parameter the controller number bound to it, or
// -1. One table per process, shared by every instance without a lock: each
// entry is a single atomic 32-bit value read by the audio thread and written
// by the audio thread (learning) and the GUI thread (forgetting).
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <string>

#include "engine/Parameters.h"

namespace zvx {

class LearnMap {
 public:
  static constexpr int kUnbound = -1;

  // Every parameter starts unbound.
  LearnMap() {
    for (auto& entry : entries_) entry.store(kUnbound, std::memory_order_relaxed);
  }

  std::int32_t controller(int parameter) const { return entries_[parameter].load(std::memory_order_relaxed); }
  // The user's learning and forgetting: the map has changed since it was read.
  void bind(int parameter, std::int32_t controller) {
    set(parameter, controller);
    changed_.store(true, std::memory_order_relaxed);
  }
  void forget(int parameter) { bind(parameter, kUnbound); }
  // Not a change of the user's: nothing could be read.
  void forgetAll() {
    for (int p = 0; p < kNumParameters; ++p) set(p, kUnbound);
  }

  // The file holds the entries in parameter order as 32-bit little-endian
  // integers, 332 bytes. Reading takes as many whole or partial entries as the
  // file holds and leaves the rest; a file that cannot be opened unbinds all.
  void readFile(const std::string& path);
  // Saves the map whole (another process never reads a part of it). A map
  // read from a short file, or from one that is there but cannot be read, is
  // saved only once the user changed a binding: the file may be another
  // process's, half written, and the bindings it held would be lost. A failure
  // is not reported (the bindings stay live).
  void writeFile(const std::string& path) const;
  static constexpr std::size_t kFileSize = 4 * kNumParameters;

 private:
  void set(int parameter, std::int32_t controller) { entries_[parameter].store(controller, std::memory_order_relaxed); }

  std::array<std::atomic<std::int32_t>, kNumParameters> entries_;
  std::atomic<bool> readWhole_{true};  // the last read found the whole file
  std::atomic<bool> changed_{false};   // a binding was learned or forgotten since
};

// The process-wide map.
LearnMap& learnMap();

}  // namespace zvx
