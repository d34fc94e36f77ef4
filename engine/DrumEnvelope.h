// Attack / square-root decay / sustain / release envelope of a drum voice, with
// a quick fade-out before a retrigger when the attack is slow.
#pragma once

#include <cmath>

namespace zvx {

class DrumEnvelope {
 public:
  enum State { Attack = 0, Decay = 1, Sustain = 2, Release = 3, Idle = 4, FadeOut = 5 };

  // Times in seconds: attack 10 x^2, release 14 x^2; decay length 5 x seconds.
  void setAttack(float x);
  void setDecay(float x);
  void setSustain(float level);
  void setRelease(float x);
  void setVelocitySensitivity(float v) { velocitySensitivity_ = 0.998f * v + 0.001f; }
  // Takes effect at the next trigger, which copies it into the double rate.
  void setSampleRate(float rate) { sampleRateF_ = rate; }

  void trigger(int velocity);
  void noteOff();

  int state() const { return state_; }
  bool idle() const { return state_ == Idle; }
  float level() const { return level_; }
  // Silent and idle at once.
  void rest() {
    level_ = 0.0f;
    state_ = Idle;
  }
  bool finite() const { return std::isfinite(level_); }

  // What ticks change, to step four envelopes at once: the level, the state
  // and the decay's counters.
  struct Progress {
    float level;
    int state, decayCounter, decaySubCounter;
  };
  Progress progress() const { return {level_, state_, decayCounter_, decaySubCounter_}; }
  void resume(const Progress& p) {
    level_ = p.level;
    state_ = p.state;
    decayCounter_ = p.decayCounter;
    decaySubCounter_ = p.decaySubCounter;
  }
  // What ticks read and only triggers and settings change.
  struct Course {
    float attackRate, releaseRate, decayStart, decaySlope, sustainLevel, fadeStep;
  };
  Course course() const { return {attackRate_, releaseRate_, decayStart_, decaySlope_, sustainLevel_, fadeStep_}; }

  // The decay follows decayStart - sqrt(n * slope), recomputed every 24 samples.
  float tick() {
    switch (state_) {
      case Attack:
        level_ += attackRate_;
        if (level_ >= decayStart_) {
          level_ = decayStart_;
          state_ = Decay;
          decayCounter_ = 0;
          decaySubCounter_ = 0;
        }
        break;
      case Decay:
        decayCounter_ += 1;
        if (decaySubCounter_ == 0) level_ = decayStart_ - std::sqrt(static_cast<float>(decayCounter_) * decaySlope_);
        if (++decaySubCounter_ > 23) decaySubCounter_ = 0;
        if (level_ <= sustainLevel_ + 0.001f) {
          level_ = sustainLevel_;
          state_ = Sustain;
        }
        break;
      case Release:
        level_ -= releaseRate_;
        if (level_ <= 0.001f) {
          level_ = 0.0f;
          state_ = Idle;
        }
        break;
      case FadeOut:
        level_ -= fadeStep_;
        if (level_ <= 0.001f) {
          level_ = 0.0f;
          state_ = Attack;
        }
        break;
      default:  // Sustain, Idle
        break;
    }
    return level_;
  }

 private:
  void recompute();

  float attackTime_ = 0.001f;
  float sustain_ = 1.0f;
  float releaseTime_ = 0.001f;
  float attackRate_ = 0.01f;
  float releaseRate_ = 0.01f;
  float velocityGain_ = 1.27f;
  float level_ = 0.0f;
  int state_ = Idle;
  float velocitySensitivity_ = 1.0f;
  double sampleRateD_ = 44100.0;  // taken from the float copy at each trigger
  float sampleRateF_ = 44100.0f;
  float peak_ = 1.0f;
  float sustainLevel_ = 1.0f;
  float decayStart_ = 1.0f;
  int decayLength_ = 0;
  float decaySlope_ = 0.0f;
  float decayParameter_ = 0.0f;
  int decayCounter_ = 0;
  int decaySubCounter_ = 0;
  // The fade before a retrigger takes 100 samples at 44.1 kHz, and an attack
  // of more than 10 samples there counts as slow; both are times, the same
  // at every rate (in samples, a retrigger faded for 0.5 ms at 192 kHz, and
  // the default attack counted as slow there but not at 44.1 kHz).
  float fadeStep_ = 0.01f;
  float slowAttackRate_ = 0.1f;
};

}  // namespace zvx
