// The MIDI-learn map: for each parameter the controller number bound to it, or
// -1. One table per process, shared by every instance without a lock: each
// entry is a single atomic 32-bit value read by the audio thread and written
// by the audio thread (learning) and the GUI thread (forgetting).
//
// The file is shared by every process too (each host, zvx). A process writes
// back only the bindings its user changed since it read or last wrote the
// file, onto the file as it is at that moment: two hosts learning different
// controllers both keep theirs, and an instance closing never undoes a binding
// another process made in the meantime.
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
    for (auto& flag : changed_) flag.store(false, std::memory_order_relaxed);
  }

  std::int32_t controller(int parameter) const { return entries_[parameter].load(std::memory_order_relaxed); }
  // The user's learning and forgetting: changes the next writeFile saves.
  void bind(int parameter, std::int32_t controller) {
    set(parameter, controller);
    changed_[parameter].store(true, std::memory_order_release);
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
  // Saves the bindings changed since the last read or write into the file as
  // it is now (whatever it holds of other parameters stays), whole, while
  // holding the data folder's lock against other processes doing the same.
  // Nothing changed, nothing is written. A failure is not reported (the
  // bindings stay live, and the next write tries them again).
  void writeFile(const std::string& path);
  static constexpr std::size_t kFileSize = 4 * kNumParameters;

 private:
  using Entries = std::array<std::int32_t, kNumParameters>;
  void set(int parameter, std::int32_t controller) { entries_[parameter].store(controller, std::memory_order_relaxed); }
  // What the file at `path` holds over `entries` (whole and partial entries); false when it cannot be opened.
  static bool readEntries(const std::string& path, Entries& entries);

  std::array<std::atomic<std::int32_t>, kNumParameters> entries_;
  std::array<std::atomic<bool>, kNumParameters> changed_;  // learned or forgotten since the file was read or written
};

// The process-wide map.
LearnMap& learnMap();

}  // namespace zvx
