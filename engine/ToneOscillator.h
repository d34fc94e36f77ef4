// Sine oscillator with phase modulation input: the tone source of every voice.
// Fed its own previous output as modulation it becomes a feedback PM source.
#pragma once

#include <cmath>

#include "engine/FloatMath.h"

namespace zvx {

class ToneOscillator {
 public:
  void setFrequency(float hz) { frequency_ = hz; }
  void setPhaseModulation(float radians) { phaseModulation_ = radians; }
  void setPitchFactor(float factor) { pitchFactor_ = factor; }
  void setTuningFactor(float factor) { tuningFactor_ = factor; }
  void setSampleRate(float rate) {
    sampleRate_ = rate;
    samplePeriod_ = 1.0f / rate;
  }
  // Sync: restart the cycle from a fixed phase.
  void setPhase(float phase) { phase_ = phase; }

  float phase() const { return phase_; }
  float frequency() const { return frequency_; }
  // Back to the start of a cycle with nothing modulating it.
  void rest() { phase_ = phaseModulation_ = 0.0f; }
  bool finite() const { return std::isfinite(phase_) && std::isfinite(phaseModulation_); }
  float tuningFactor() const { return tuningFactor_; }
  float phaseModulation() const { return phaseModulation_; }
  float pitchFactor() const { return pitchFactor_; }
  float samplePeriod() const { return samplePeriod_; }

  // Phase in cycles advances by the scaled frequency; the output is a cubic
  // sine approximation of the modulated phase: 0 at 0 and +-0.5, +-1 at +-0.25.
  float tick() {
    float step = tuningFactor_ * pitchFactor_ * frequency_ * samplePeriod_;
    phase_ = wrap(phase_ + step);
    const float m = wrap(phaseModulation_ * 0.15915507f + phase_);
    const float a = std::fabs(m);
    return 68.5949f * m * (a + 0.232963f) * (a - 0.5f) * (a - 0.732963f);
  }

  // x - trunc(x + 0.5): removes the nearest whole number for x >= -0.5.
  static float wrap(float x) { return x - math::truncate(x + 0.5f); }

 private:
  float phase_ = 0.0f;
  float frequency_ = 0.0f;
  float phaseModulation_ = 0.0f;
  float sampleRate_ = 44100.0f;
  float samplePeriod_ = 1.0f / 44100.0f;
  float pitchFactor_ = 1.0f;
  float tuningFactor_ = 1.0f;
};

}  // namespace zvx
