// A list of events for one processing block: the host fills the input list
// before the block, the plug-in may add to the output list during it. Its
// room is fixed when it is made, so adding never allocates on the audio thread.
#pragma once

#include <vector>

#include "vst3host/HostObject.h"

namespace zvx::vst3host {

class EventList final : public HostObject<vst3::IEventList> {
 public:
  explicit EventList(int capacity);

  vst3::int32 ZVX_VST3_API getEventCount() override;
  vst3::tresult ZVX_VST3_API getEvent(vst3::int32 index, vst3::Event& e) override;
  vst3::tresult ZVX_VST3_API addEvent(vst3::Event& e) override;

  // Room for `events` (off the audio thread).
  void reserve(int events) {
    if (events > static_cast<int>(events_.size())) events_.resize(static_cast<std::size_t>(events));
  }
  void clear() {
    count_ = 0;
    overflowed_ = false;
  }
  const vst3::Event* begin() const { return events_.data(); }
  const vst3::Event* end() const { return events_.data() + count_; }
  // Whether an event was refused for want of room since the last clear.
  bool overflowed() const { return overflowed_; }

 private:
  std::vector<vst3::Event> events_;
  int count_ = 0;
  bool overflowed_ = false;
};

}  // namespace zvx::vst3host
