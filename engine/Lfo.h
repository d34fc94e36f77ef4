// Low-frequency oscillator: a rounded triangle (sin of a phase bouncing between
// -1 and 1) or a random sample-and-hold. Four phase units make one cycle.
#pragma once

#include <cmath>

#include "engine/FloatMath.h"
#include "engine/Random.h"

namespace zvx {

class Lfo {
 public:
  enum Waveform { RoundedTriangle = 4, SampleAndHold = 6 };

  void setSampleRate(float rate) {
    sampleRate_ = rate;
    increment_ = 4.0f / (sampleRate_ / frequency_);
  }
  void setWaveform(int waveform) { waveform_ = waveform; }
  void setFrequency(float hz) {
    frequency_ = hz;
    increment_ = 4.0f / (sampleRate_ / frequency_);
  }

  float output() const { return output_; }
  float frequency() const { return frequency_; }
  float phase() const { return phase_; }
  // The phase and output it starts with.
  void rest() {
    phase_ = -1.0f;
    output_ = held_ = 0.0f;
    rising_ = true;
  }
  bool finite() const { return std::isfinite(phase_) && std::isfinite(output_); }

  float tick(Random& random) {
    if (waveform_ == RoundedTriangle) {
      output_ = static_cast<float>(math::sin(stepTriangle()));
    } else if (waveform_ == SampleAndHold) {
      phase_ += increment_;
      if (phase_ >= 2.0f) {
        phase_ = -2.0f;
        held_ = static_cast<float>(random.next()) / 32767.0f * 2.0f - 1.0f;
      }
      output_ = held_;
    }
    return output_;
  }

  // The rounded triangle's step without its output: the phase turns one step
  // short of +-1, and the output is sin(phase radians), set by the caller.
  float stepTriangle() {
    if (rising_) {
      phase_ += increment_;
      if (phase_ >= 1.0f) {
        phase_ -= increment_;
        rising_ = false;
      }
    } else {
      phase_ -= increment_;
      if (phase_ <= -1.0f) {
        phase_ += increment_;
        rising_ = true;
      }
    }
    return phase_;
  }
  void setOutput(float output) { output_ = output; }

 private:
  float phase_ = -1.0f;
  float output_ = 0.0f;
  float increment_ = 0.0f;
  int waveform_ = RoundedTriangle;
  bool rising_ = true;
  float held_ = 0.0f;
  float sampleRate_ = 44100.0f;
  float frequency_ = 0.0f;
};

}  // namespace zvx
