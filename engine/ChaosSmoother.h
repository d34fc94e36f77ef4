// One-pole glide of the chaos LFO's output: value += (target - value) * c, with
// c chosen so that the difference falls to a thousandth over `time` ms.
#pragma once

#include <atomic>
#include <cmath>

#include "engine/FloatMath.h"

namespace zvx {

class ChaosSmoother {
 public:
  // Any thread (the plug-in's setSampleRate); uses the time last set.
  // A time below 0 (from an unclamped Fix44) glides as 0 does, at once: the
  // formula would make the glide grow without bound.
  void computeCoefficient(float rate) {
    float time = time_.load(std::memory_order_relaxed);
    if (!(time > 0.0f)) time = 0.0f;
    float exponent = 1000.0f / (rate * time);
    float remaining = exponent != exponent ? 1.0f : static_cast<float>(math::pow(0.001, exponent));
    coefficient_.store(1.0f - remaining, std::memory_order_relaxed);
  }
  // Milliseconds; takes effect at the next computeCoefficient.
  void setTime(float ms) { time_.store(ms, std::memory_order_relaxed); }
  float time() const { return time_.load(std::memory_order_relaxed); }
  float coefficient() const { return coefficient_.load(std::memory_order_relaxed); }

  // Audio thread.
  float tick(float target) {
    value_ += (target - value_) * coefficient_.load(std::memory_order_relaxed);
    return value_;
  }
  float value() const { return value_; }
  void rest() { value_ = 0.0f; }
  bool finite() const { return std::isfinite(value_); }

 private:
  float value_ = 0.0f;
  std::atomic<float> coefficient_{1.0f};
  std::atomic<float> time_{0.0f};
};

}  // namespace zvx
