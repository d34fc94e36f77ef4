#include "vst3host/EventList.h"

namespace zvx::vst3host {

EventList::EventList(int capacity) : events_(static_cast<std::size_t>(capacity > 0 ? capacity : 1)) {}

vst3::int32 EventList::getEventCount() { return count_; }

vst3::tresult EventList::getEvent(vst3::int32 index, vst3::Event& e) {
  if (index < 0 || index >= count_) return vst3::kInvalidArgument;
  e = events_[static_cast<std::size_t>(index)];
  return vst3::kResultOk;
}

vst3::tresult EventList::addEvent(vst3::Event& e) {
  if (static_cast<std::size_t>(count_) == events_.size()) {
    overflowed_ = true;
    return vst3::kOutOfMemory;
  }
  events_[static_cast<std::size_t>(count_++)] = e;
  return vst3::kResultOk;
}

}  // namespace zvx::vst3host
