// The callbacks a plug-in makes to the test's host (automation, edits,
// display updates, MIDI wishes), recorded from the moment the log is attached.
#pragma once

#include <algorithm>
#include <array>
#include <atomic>
#include <memory>
#include <optional>
#include <vector>

#include "vsthost/VstHost.h"

namespace zvx::test {

struct HostCall {
  VstInt32 opcode;
  VstInt32 index;
  VstIntPtr value;
  float opt;
};

class HostCallLog {
 public:
  static constexpr std::size_t kCapacity = 1 << 16;

  // Records every callback of `plugin` from now on, ahead of the host's own
  // interception. The log may go before the plug-in: what it records into
  // lives as long as either.
  explicit HostCallLog(vsthost::Plugin& plugin) : state_(std::make_shared<State>()) {
    auto previous = plugin.config().intercept;
    plugin.config().intercept = [state = state_, previous](AEffect* effect, VstInt32 opcode, VstInt32 index,
                                                           VstIntPtr value, void* ptr,
                                                           float opt) -> std::optional<VstIntPtr> {
      // Without allocating: the audio thread may be the caller.
      const std::size_t slot = state->count.fetch_add(1);
      if (slot < kCapacity) state->calls[slot] = HostCall{opcode, index, value, opt};
      return previous ? previous(effect, opcode, index, value, ptr, opt) : std::nullopt;
    };
  }

  std::vector<HostCall> calls() const {
    const std::size_t count = std::min(state_->count.load(), kCapacity);
    return std::vector<HostCall>(state_->calls.begin(), state_->calls.begin() + static_cast<std::ptrdiff_t>(count));
  }
  std::size_t count(VstInt32 opcode) const {
    const std::vector<HostCall> all = calls();
    return static_cast<std::size_t>(
        std::count_if(all.begin(), all.end(), [opcode](const HostCall& call) { return call.opcode == opcode; }));
  }
  void clear() { state_->count.store(0); }
  // The begin-edit, automate and end-edit calls for one parameter, in order.
  std::vector<VstInt32> edits(VstInt32 index) const {
    std::vector<VstInt32> opcodes;
    for (const HostCall& call : calls())
      if (call.index == index && (call.opcode == audioMasterBeginEdit || call.opcode == audioMasterEndEdit ||
                                  call.opcode == audioMasterAutomate))
        opcodes.push_back(call.opcode);
    return opcodes;
  }

 private:
  struct State {
    std::array<HostCall, kCapacity> calls{};
    std::atomic<std::size_t> count{0};
  };
  std::shared_ptr<State> state_;
};

}  // namespace zvx::test
