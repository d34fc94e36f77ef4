#include "engine/DrumEnvelope.h"

#include <cmath>

namespace zvx {

void DrumEnvelope::setAttack(float x) {
  attackTime_ = 10.0f * (x * x);
  recompute();
}

void DrumEnvelope::setDecay(float x) {
  decayParameter_ = x;
  recompute();
}

void DrumEnvelope::setSustain(float level) {
  sustain_ = level < 0.001f ? 0.0f : level;
  recompute();
}

void DrumEnvelope::setRelease(float x) {
  releaseTime_ = 14.0f * (x * x);
  recompute();
}

// Rates are level steps per sample, computed in double from the trigger's rate.
void DrumEnvelope::recompute() {
  peak_ = velocityGain_;
  decayStart_ = peak_ * 1.0f;
  attackRate_ = attackTime_ > 0.0f ? static_cast<float>(peak_ / (attackTime_ * sampleRateD_)) : 1.0f;
  releaseRate_ = releaseTime_ > 0.0f ? static_cast<float>(peak_ / (releaseTime_ * sampleRateD_)) : 1.0f;
  sustainLevel_ = sustain_ * peak_;
  double length = std::fabs(5.0 * sampleRateD_ * decayParameter_);
  decayLength_ = length < 2147483647.0 ? static_cast<int>(length) : 2147483647;
  float drop = decayStart_ - sustainLevel_;
  decaySlope_ = (drop * drop) / static_cast<float>(decayLength_);
  fadeStep_ = static_cast<float>(0.01 * (44100.0 / sampleRateD_));
  slowAttackRate_ = static_cast<float>(0.1 * (44100.0 / sampleRateD_));
}

// The peak follows velocity squared, scaled by the sensitivity.
void DrumEnvelope::trigger(int velocity) {
  sampleRateD_ = sampleRateF_;
  state_ = Attack;
  if (level_ > 0.0f && attackRate_ < slowAttackRate_) state_ = FadeOut;
  float v = static_cast<float>(velocity) / 127.0f;
  velocityGain_ = velocitySensitivity_ * (v * v) + (1.0f - velocitySensitivity_);
  recompute();
}

void DrumEnvelope::noteOff() {
  if (level_ > 0.0f) {
    state_ = Release;
  } else {
    state_ = Idle;
    level_ = 0.0f;
  }
}

}  // namespace zvx
