// The parameter changes of one processing block: a queue of points (sample
// offset, normalized value) per parameter. The host fills the input changes
// before the block; the plug-in adds its own to the output changes during
// it. The room for queues and points is fixed when they are made, so nothing
// allocates on the audio thread; what does not fit is refused and noted.
#pragma once

#include <vector>

#include "vst3host/HostObject.h"

namespace zvx::vst3host {

class ParamValueQueue final : public HostObject<vst3::IParamValueQueue> {
 public:
  struct Point {
    vst3::int32 offset;
    vst3::ParamValue value;
  };

  explicit ParamValueQueue(int capacity);

  vst3::ParamID ZVX_VST3_API getParameterId() override { return id_; }
  vst3::int32 ZVX_VST3_API getPointCount() override { return static_cast<vst3::int32>(count_); }
  vst3::tresult ZVX_VST3_API getPoint(vst3::int32 index, vst3::int32& sampleOffset, vst3::ParamValue& value) override;
  // Points stay in offset order; a point at an offset that has one replaces its value.
  vst3::tresult ZVX_VST3_API addPoint(vst3::int32 sampleOffset, vst3::ParamValue value, vst3::int32& index) override;

  void reset(vst3::ParamID id);
  vst3::ParamID id() const { return id_; }
  const Point* begin() const { return points_.data(); }
  const Point* end() const { return points_.data() + count_; }
  std::size_t capacity() const { return points_.size(); }
  // Room for `points` (off the audio thread).
  void reserve(std::size_t points);
  bool overflowed() const { return overflowed_; }

 private:
  vst3::ParamID id_ = 0;
  std::vector<Point> points_;
  std::size_t count_ = 0;
  bool overflowed_ = false;
};

class ParameterChanges final : public HostObject<vst3::IParameterChanges> {
 public:
  ParameterChanges(int queues, int pointsPerQueue);

  vst3::int32 ZVX_VST3_API getParameterCount() override { return static_cast<vst3::int32>(used_); }
  vst3::IParamValueQueue* ZVX_VST3_API getParameterData(vst3::int32 index) override;
  // The queue of `id`, the one there is or a new one.
  vst3::IParamValueQueue* ZVX_VST3_API addParameterData(const vst3::ParamID& id, vst3::int32& index) override;

  // Empties every queue.
  void clear();
  // A change at `offset` (off the audio thread: makes room when there is none); false if refused.
  bool add(vst3::ParamID id, vst3::int32 offset, vst3::ParamValue value);
  // The queues in use.
  std::size_t size() const { return used_; }
  const ParamValueQueue& queue(std::size_t index) const { return *queues_[index]; }
  // Whether a queue or point was refused for want of room since the last clear.
  bool overflowed() const;

 private:
  std::vector<Ref<ParamValueQueue>> queues_;
  std::size_t used_ = 0;
  bool overflowed_ = false;
};

}  // namespace zvx::vst3host
