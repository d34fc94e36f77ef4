// The four voices' tone oscillators, envelopes, sampled layers and DC blockers
// side by side, one lane per voice (BD, SD, HH, CP), for a run of samples in
// which no event, setting or sample choice arrives. The blocks themselves stay
// the state's owners: a run loads their state into lanes and stores it back,
// and each lane performs the operations its block's one-voice code does, in
// the same order, so the two give the same bits.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>

#include "engine/DrumEnvelope.h"
#include "engine/Lanes.h"
#include "engine/OnePoleFilter.h"
#include "engine/PcmBuffer.h"
#include "engine/PcmLayer.h"
#include "engine/ToneOscillator.h"

namespace zvx {
inline namespace ZVX_LANE_UNIT {

// Tone oscillators in lanes: ToneOscillator::tick in each.
struct ToneLanes {
  using F4 = lanes::F4;

  F4 tick() {
    const F4 step = tuningFactor * pitchFactor * frequency * samplePeriod;
    phase = wrap(phase + step);
    const F4 m = wrap(phaseModulation * F4(0.15915507f) + phase);
    const F4 a = lanes::abs(m);
    return F4(68.5949f) * m * (a + F4(0.232963f)) * (a - F4(0.5f)) * (a - F4(0.732963f));
  }
  static F4 wrap(F4 x) { return x - lanes::truncate(x + F4(0.5f)); }

  F4 phase, phaseModulation, pitchFactor, frequency, tuningFactor, samplePeriod;
};

class VoiceLanes {
 public:
  using F4 = lanes::F4;
  using I4 = lanes::I4;

  // `tones`: the voices' four, then the snare's second, which takes all
  // four lanes of its own set.
  void load(const ToneOscillator* tones, const DrumEnvelope* envelopes, const OnePoleFilter* dcBlockers,
            const PcmLayer* layers);
  // The oscillators and layers of the voices in `sounding` (one bit per
  // voice) only: the lanes of silent voices moved without them.
  void store(ToneOscillator* tones, DrumEnvelope* envelopes, OnePoleFilter* dcBlockers, PcmLayer* layers,
             int sounding);

  // The voices' tone oscillators, and the snare's second.
  ToneLanes tones, second;

  // Which voices sound: their envelopes are not idle.
  F4 active() const { return ~(envelopeState == I4(DrumEnvelope::Idle)); }

  // DrumEnvelope::tick in every lane (an idle envelope stays idle at 0).
  // Each lane takes its own state's branch, from the state it was in.
  F4 tickEnvelopes() {
    if (quiet_ > 0) {
      --quiet_;
      ++settled_;
      return level;
    }
    settle();
    const F4 decay = envelopeState == I4(DrumEnvelope::Decay);
    // Mostly every envelope holds (sustain, idle) or decays between two points
    // of its curve, where only the counters move: the level stays, and so
    // does its comparison with the sustain level, made on the same values.
    // Such a stretch lasts until the first decay's next point; its ticks are
    // counted into the counters at its end.
    const F4 holding = (envelopeState == I4(DrumEnvelope::Sustain)) | (envelopeState == I4(DrumEnvelope::Idle));
    if (lanes::bits(holding | decay) == 15 && lanes::bits(decay & (decaySubCounter == I4(0))) == 0) {
      alignas(16) std::int32_t sub[4];
      decaySubCounter.store(sub);
      const int decaying = lanes::bits(decay);
      int stretch = 1 << 30;
      for (int i = 0; i < 4; ++i)
        if (decaying & (1 << i)) stretch = std::min(stretch, 24 - sub[i]);
      quiet_ = stretch - 1;
      settled_ = 1;
      return level;
    }
    const F4 attack = envelopeState == I4(DrumEnvelope::Attack);
    const F4 release = envelopeState == I4(DrumEnvelope::Release);
    const F4 fadeOut = envelopeState == I4(DrumEnvelope::FadeOut);

    // Attack: up to the decay's start, where the decay begins.
    const F4 rising = level + attackRate;
    const F4 peaked = attack & (rising >= decayStart);
    // Decay: the square-root curve, recomputed every 24 samples, down to the sustain level.
    const I4 counted = decayCounter + I4(1);
    const F4 recompute = decay & (decaySubCounter == I4(0));
    const F4 decayed =
        lanes::bits(recompute) ? lanes::select(recompute, decayStart - lanes::sqrt(lanes::toFloat(counted) * decaySlope), level)
                               : level;
    const I4 nextSub = decaySubCounter + I4(1);
    const I4 wrappedSub = lanes::select(nextSub > I4(23), I4(0), nextSub);
    const F4 sustained = decay & (decayed <= sustainLevel + F4(0.001f));
    // Release and the fade before a retrigger: down to silence.
    const F4 released = level - releaseRate;
    const F4 silent = release & (released <= F4(0.001f));
    const F4 faded = level - fadeStep;
    const F4 restart = fadeOut & (faded <= F4(0.001f));

    F4 next = level;
    next = lanes::select(attack, lanes::select(peaked, decayStart, rising), next);
    next = lanes::select(decay, lanes::select(sustained, sustainLevel, decayed), next);
    next = lanes::select(release, andNot(released, silent), next);
    next = lanes::select(fadeOut, andNot(faded, restart), next);
    level = next;

    I4 state = envelopeState;
    state = lanes::select(peaked, I4(DrumEnvelope::Decay), state);
    state = lanes::select(sustained, I4(DrumEnvelope::Sustain), state);
    state = lanes::select(silent, I4(DrumEnvelope::Idle), state);
    state = lanes::select(restart, I4(DrumEnvelope::Attack), state);
    envelopeState = state;
    decayCounter = lanes::select(peaked, I4(0), lanes::select(decay, counted, decayCounter));
    decaySubCounter = lanes::select(peaked, I4(0), lanes::select(decay, wrappedSub, decaySubCounter));
    return level;
  }

  // The layers' buffers for a run (null: none).
  void setBuffers(const std::array<const PcmBuffer*, 4>& buffers) {
    static const float silence[1] = {0.0f};
    for (int i = 0; i < 4; ++i) samples_[i] = buffers[i] ? buffers[i]->samples.data() : silence;
    bufferRate_ = F4(buffers[0] ? buffers[0]->rate : 0.0f, buffers[1] ? buffers[1]->rate : 0.0f,
                     buffers[2] ? buffers[2]->rate : 0.0f, buffers[3] ? buffers[3]->rate : 0.0f);
    // Entries of a missing buffer are never inside it.
    bufferSize_ = I4(_mm_setr_epi32(buffers[0] ? PcmBuffer::kSize : 0, buffers[1] ? PcmBuffer::kSize : 0,
                                    buffers[2] ? PcmBuffer::kSize : 0, buffers[3] ? PcmBuffer::kSize : 0));
  }

  // PcmLayer::sample of each voice's buffer. A NaN entry is entry 0, as the
  // one-voice conversion makes it; beyond the int range the conversion gives
  // INT_MIN, outside the buffer as it should be. An entry outside reads
  // entry 0 and is then cleared.
  F4 pcmSamples() const {
    const F4 entry = position * bufferRate_;
    const I4 index = lanes::truncateToInt(entry & (entry == entry));
    const F4 inside = andNot(bufferSize_ > index, I4(0) > index);
    alignas(16) std::int32_t at[4];
    lanes::select(inside, index, I4(0)).store(at);
    return inside & F4(samples_[0][at[0]], samples_[1][at[1]], samples_[2][at[2]], samples_[3][at[3]]);
  }

  // Whether the envelopes that sounded at the run's start still do.
  bool stillSounding(int sounding) const { return quiet_ > 0 || lanes::bits(active()) == sounding; }

  // Whether every layer is past its play limit and not reversing: without
  // reverse armed, advancing moves none of them.
  bool layersAtTheirEnd() const { return lanes::bits(andNot(position >= playLimit, reversing)) == 15; }

  // Where each layer turns back when reverse is armed: its limit times the size.
  F4 turningPoints(float reverseSize) const { return playLimit * F4(reverseSize); }
  // PcmLayer::advance in every lane; `turn` from turningPoints. A position
  // is never -0 (it starts at +0 and moves by positive steps), so adding a
  // cleared step, +0, leaves it as it is.
  void advancePcm(F4 step, F4 turn, bool reverseArmed) {
    position = position + (step & andNot(position < playLimit, reversing));
    if (reverseArmed) reversing = reversing | (position > turn);
    position = position - (step & reversing & (position >= F4(1.0f)));
    reversing = andNot(reversing, position < F4(1.0f));
  }

  // OnePoleFilter::highPass of the four DC blockers.
  F4 highPass(F4 x) {
    const F4 lp = (x - dcState) * dcCoefficient + dcState;
    const F4 out = x - dcState;
    const F4 zeroOrDenormal = F4(_mm_castsi128_ps(
        _mm_cmpeq_epi32(_mm_and_si128(_mm_castps_si128(lp.v), _mm_set1_epi32(0x7F800000)), _mm_setzero_si128())));
    dcState = andNot(lp, zeroOrDenormal);
    return out;
  }


 private:
  // Envelopes.
  F4 level, attackRate, releaseRate, decayStart, decaySlope, sustainLevel, fadeStep;
  I4 envelopeState, decayCounter, decaySubCounter;
  // Sampled layers.
  F4 position, playLimit, reversing;
  // DC blockers.
  F4 dcState, dcCoefficient;
  // Ticks of a quiet stretch of the envelopes to come, and taken but not yet
  // counted into the decay counters (where a counter at 24 is one at 0).
  int quiet_ = 0, settled_ = 0;
  void settle() {
    if (settled_ == 0) return;
    const I4 step(_mm_and_si128(_mm_castps_si128((envelopeState == I4(DrumEnvelope::Decay)).v), _mm_set1_epi32(settled_)));
    decayCounter = decayCounter + step;
    const I4 sub = decaySubCounter + step;
    decaySubCounter = I4(_mm_andnot_si128(_mm_cmpgt_epi32(sub.v, _mm_set1_epi32(23)), sub.v));
    settled_ = 0;
  }
  // The layers' buffers.
  const float* samples_[4] = {};
  F4 bufferRate_;
  I4 bufferSize_;
};

// Loading and storing the blocks' state, inline so that a run's lanes can
// live in registers.
template <typename Block, typename Read>
lanes::F4 gatherLanes(const Block* blocks, Read read) {
  return lanes::F4(read(blocks[0]), read(blocks[1]), read(blocks[2]), read(blocks[3]));
}

inline void VoiceLanes::load(const ToneOscillator* tones, const DrumEnvelope* envelopes,
                             const OnePoleFilter* dcBlockers, const PcmLayer* layers) {
  auto loadTones = [](ToneLanes& lanes, const ToneOscillator* four) {
    lanes.phase = gatherLanes(four, [](const ToneOscillator& o) { return o.phase(); });
    lanes.phaseModulation = gatherLanes(four, [](const ToneOscillator& o) { return o.phaseModulation(); });
    lanes.pitchFactor = gatherLanes(four, [](const ToneOscillator& o) { return o.pitchFactor(); });
    lanes.frequency = gatherLanes(four, [](const ToneOscillator& o) { return o.frequency(); });
    lanes.tuningFactor = gatherLanes(four, [](const ToneOscillator& o) { return o.tuningFactor(); });
    lanes.samplePeriod = gatherLanes(four, [](const ToneOscillator& o) { return o.samplePeriod(); });
  };
  loadTones(this->tones, tones);
  const ToneOscillator secondFour[4] = {tones[4], tones[4], tones[4], tones[4]};
  loadTones(second, secondFour);

  alignas(16) std::int32_t state[4], counter[4], subCounter[4];
  alignas(16) float levels[4];
  for (int i = 0; i < 4; ++i) {
    const DrumEnvelope::Progress p = envelopes[i].progress();
    levels[i] = p.level, state[i] = p.state, counter[i] = p.decayCounter, subCounter[i] = p.decaySubCounter;
  }
  level = F4::load(levels);
  envelopeState = I4::load(state);
  decayCounter = I4::load(counter);
  decaySubCounter = I4::load(subCounter);
  attackRate = gatherLanes(envelopes, [](const DrumEnvelope& e) { return e.course().attackRate; });
  releaseRate = gatherLanes(envelopes, [](const DrumEnvelope& e) { return e.course().releaseRate; });
  decayStart = gatherLanes(envelopes, [](const DrumEnvelope& e) { return e.course().decayStart; });
  decaySlope = gatherLanes(envelopes, [](const DrumEnvelope& e) { return e.course().decaySlope; });
  sustainLevel = gatherLanes(envelopes, [](const DrumEnvelope& e) { return e.course().sustainLevel; });
  fadeStep = gatherLanes(envelopes, [](const DrumEnvelope& e) { return e.course().fadeStep; });

  position = gatherLanes(layers, [](const PcmLayer& l) { return l.position(); });
  playLimit = gatherLanes(layers, [](const PcmLayer& l) { return l.playLimit(); });
  reversing = gatherLanes(layers, [](const PcmLayer& l) { return l.reversing() ? 1.0f : 0.0f; }) > F4(0.0f);

  dcState = gatherLanes(dcBlockers, [](const OnePoleFilter& f) { return f.state(); });
  dcCoefficient = gatherLanes(dcBlockers, [](const OnePoleFilter& f) { return f.coefficient(); });
}

inline void VoiceLanes::store(ToneOscillator* tones, DrumEnvelope* envelopes, OnePoleFilter* dcBlockers,
                              PcmLayer* layers, int sounding) {
  settle();
  alignas(16) float phases[4], modulations[4], pitches[4], positions[4], levels[4], dc[4];
  alignas(16) std::int32_t state[4], counter[4], subCounter[4];
  this->tones.phase.store(phases);
  this->tones.phaseModulation.store(modulations);
  this->tones.pitchFactor.store(pitches);
  position.store(positions);
  level.store(levels);
  dcState.store(dc);
  envelopeState.store(state);
  decayCounter.store(counter);
  decaySubCounter.store(subCounter);
  const int reversed = lanes::bits(reversing);
  for (int i = 0; i < 4; ++i) {
    envelopes[i].resume({levels[i], state[i], counter[i], subCounter[i]});
    dcBlockers[i].setState(dc[i]);
    if (!(sounding & (1 << i))) continue;
    tones[i].setPhase(phases[i]);
    tones[i].setPhaseModulation(modulations[i]);
    tones[i].setPitchFactor(pitches[i]);
    layers[i].resume(positions[i], (reversed >> i) & 1);
  }
  if (sounding & (1 << kSD)) {
    tones[4].setPhase(second.phase.lane0());
    tones[4].setPhaseModulation(second.phaseModulation.lane0());
    tones[4].setPitchFactor(second.pitchFactor.lane0());
  }
}

}  // namespace ZVX_LANE_UNIT
}  // namespace zvx
