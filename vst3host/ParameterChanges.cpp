#include "vst3host/ParameterChanges.h"

#include <algorithm>

namespace zvx::vst3host {

ParamValueQueue::ParamValueQueue(int capacity) : points_(static_cast<std::size_t>(std::max(capacity, 1))) {}

void ParamValueQueue::reset(vst3::ParamID id) {
  id_ = id;
  count_ = 0;
  overflowed_ = false;
}

void ParamValueQueue::reserve(std::size_t points) {
  if (points > points_.size()) points_.resize(points);
}

vst3::tresult ParamValueQueue::getPoint(vst3::int32 index, vst3::int32& sampleOffset, vst3::ParamValue& value) {
  if (index < 0 || static_cast<std::size_t>(index) >= count_) return vst3::kInvalidArgument;
  sampleOffset = points_[static_cast<std::size_t>(index)].offset;
  value = points_[static_cast<std::size_t>(index)].value;
  return vst3::kResultOk;
}

vst3::tresult ParamValueQueue::addPoint(vst3::int32 sampleOffset, vst3::ParamValue value, vst3::int32& index) {
  // The first point at or after the offset.
  std::size_t at = count_;
  while (at > 0 && points_[at - 1].offset >= sampleOffset) --at;
  if (at < count_ && points_[at].offset == sampleOffset) {
    points_[at].value = value;
    index = static_cast<vst3::int32>(at);
    return vst3::kResultOk;
  }
  if (count_ == points_.size()) {
    overflowed_ = true;
    return vst3::kOutOfMemory;
  }
  std::move_backward(points_.begin() + static_cast<std::ptrdiff_t>(at), points_.begin() + static_cast<std::ptrdiff_t>(count_),
                     points_.begin() + static_cast<std::ptrdiff_t>(count_ + 1));
  points_[at] = {sampleOffset, value};
  ++count_;
  index = static_cast<vst3::int32>(at);
  return vst3::kResultOk;
}

ParameterChanges::ParameterChanges(int queues, int pointsPerQueue) {
  for (int q = 0; q < std::max(queues, 1); ++q) queues_.push_back(make<ParamValueQueue>(pointsPerQueue));
}

vst3::IParamValueQueue* ParameterChanges::getParameterData(vst3::int32 index) {
  if (index < 0 || static_cast<std::size_t>(index) >= used_) return nullptr;
  return queues_[static_cast<std::size_t>(index)].get();
}

vst3::IParamValueQueue* ParameterChanges::addParameterData(const vst3::ParamID& id, vst3::int32& index) {
  for (std::size_t q = 0; q < used_; ++q)
    if (queues_[q]->getParameterId() == id) {
      index = static_cast<vst3::int32>(q);
      return queues_[q].get();
    }
  if (used_ == queues_.size()) {
    overflowed_ = true;
    return nullptr;
  }
  queues_[used_]->reset(id);
  index = static_cast<vst3::int32>(used_);
  return queues_[used_++].get();
}

void ParameterChanges::clear() {
  for (std::size_t q = 0; q < used_; ++q) queues_[q]->reset(0);
  used_ = 0;
  overflowed_ = false;
}

bool ParameterChanges::add(vst3::ParamID id, vst3::int32 offset, vst3::ParamValue value) {
  if (used_ == queues_.size()) queues_.push_back(make<ParamValueQueue>(static_cast<int>(queues_[0]->capacity())));
  vst3::int32 index = 0;
  auto* queue = static_cast<ParamValueQueue*>(addParameterData(id, index));
  if (!queue) return false;
  if (queue->getPointCount() == static_cast<vst3::int32>(queue->capacity())) queue->reserve(2 * queue->capacity());
  return queue->addPoint(offset, value, index) == vst3::kResultOk;
}

bool ParameterChanges::overflowed() const {
  if (overflowed_) return true;
  for (std::size_t q = 0; q < used_; ++q)
    if (queues_[q]->overflowed()) return true;
  return false;
}

}  // namespace zvx::vst3host
