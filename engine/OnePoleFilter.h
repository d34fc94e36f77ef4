// One-pole filter: low-pass state += (x - state) * c, and the matching
// high-pass x - state. At 44.1 kHz c = 2 pi cutoff / 44100, which is only
// near the true pole for cutoffs far below the rate: the hi-hat's, some 3 to
// 6 kHz, were brighter by up to 12 dB at 192 kHz, silent at 22.05 kHz, and
// above 1 (below some 38 kHz) the pole turned negative and amplified the top
// of the band by up to 46 dB. So at every other rate c keeps the pole the
// filter has at 44.1 kHz, 1 - (1 - c44)^(44100 / rate), which stays below 1;
// and a c44 of 1 or more (only an unclamped setting reaches it) is held at 1,
// where the low-pass passes its input unchanged.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstring>

#include "engine/FloatMath.h"

namespace zvx {

class OnePoleFilter {
 public:
  // The coefficient follows both the rate and the cutoff, whichever is set last.
  void setSampleRate(float rate) {
    sampleRate_ = rate;
    coefficient_ = coefficientAt(cutoff_, sampleRate_);
  }
  void setCutoff(float hz) {
    cutoff_ = hz;
    coefficient_ = coefficientAt(cutoff_, sampleRate_);
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
  static float coefficientAt(float cutoff, float rate) {
    const float c44 = cutoff * 6.28319f / 44100.0f;
    if (!(c44 > 0.0f)) return 0.0f;  // NaN too
    if (c44 >= 1.0f) return 1.0f;
    if (rate == 44100.0f) return c44;
    const double pole = math::pow(1.0 - static_cast<double>(c44), 44100.0 / static_cast<double>(rate));
    return static_cast<float>(1.0 - pole);
  }

  float state_ = 0.0f;
  float coefficient_ = 0.0f;
  float cutoff_ = 0.0f;
  float sampleRate_ = 44100.0f;
};

}  // namespace zvx
