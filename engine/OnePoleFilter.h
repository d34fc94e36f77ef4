// One-pole filter: low-pass state += (x - state) * c, and the matching
// high-pass x - state, with c = 2 pi cutoff / rate held within 0 to 1.99:
// beyond 2 (a cutoff above rate / pi, e.g. the hi-hat's at low host rates or
// from an unclamped pitch) and below 0 the state grows without bound.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstring>

namespace zvx {

class OnePoleFilter {
 public:
  // The coefficient follows both the rate and the cutoff, whichever is set last.
  void setSampleRate(float rate) {
    sampleRate_ = rate;
    coefficient_ = stable(cutoff_ * 6.28319f / sampleRate_);
  }
  void setCutoff(float hz) {
    cutoff_ = hz;
    coefficient_ = stable(cutoff_ * 6.28319f / sampleRate_);
  }
  void rest() { state_ = 0.0f; }
  bool finite() const { return std::isfinite(state_); }

  float lowPass(float x) {
    state_ += (x - state_) * coefficient_;
    return state_;
  }

  // Flushes a zero or denormal state to 0, so silence never runs slow.
  float highPass(float x) {
    float lp = (x - state_) * coefficient_ + state_;
    float out = x - state_;
    std::uint32_t bits;
    std::memcpy(&bits, &lp, sizeof bits);
    if ((bits & 0x7F800000u) == 0) lp = 0.0f;
    state_ = lp;
    return out;
  }

  float state() const { return state_; }
  void setState(float state) { state_ = state; }
  float coefficient() const { return coefficient_; }

 private:
  static float stable(float c) { return c > 0.0f ? (c < 1.99f ? c : 1.99f) : 0.0f; }

  float state_ = 0.0f;
  float coefficient_ = 0.0f;
  float cutoff_ = 0.0f;
  float sampleRate_ = 44100.0f;
};

}  // namespace zvx
