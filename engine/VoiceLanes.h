// The four voices' tone oscillators, envelopes, sampled layers and DC blockers
// side by side, one lane per voice (BD, SD, HH, CP), for a run of samples in
// which no event, setting or sample choice arrives. The blocks themselves stay
// the state's owners: a run loads their state into lanes and stores it back,
// and each lane performs the operations its block's one-voice code does, in
// the same order, so the two give the same bits.
#pragma once

#include <array>
#include <cstdint>

#include "engine/DrumEnvelope.h"
#include "engine/Lanes.h"
#include "engine/OnePoleFilter.h"
#include "engine/PcmBuffer.h"
#include "engine/PcmLayer.h"
#include "engine/ToneOscillator.h"

namespace zvx {

class VoiceLanes {
 public:
  using F4 = lanes::F4;
  using I4 = lanes::I4;

  void load(const ToneOscillator* tones, const DrumEnvelope* envelopes, const OnePoleFilter* dcBlockers,
            const PcmLayer* layers);
  // The oscillators and layers of the voices in `sounding` (one bit per
  // voice) only: the lanes of silent voices moved without them.
  void store(ToneOscillator* tones, DrumEnvelope* envelopes, OnePoleFilter* dcBlockers, PcmLayer* layers,
             int sounding) const;

  // Which voices sound: their envelopes are not idle.
  F4 active() const { return ~(envelopeState == I4(DrumEnvelope::Idle)); }

  // ToneOscillator::tick in every lane; a silent voice's lane is not stored.
  F4 tickTones() {
    const F4 step = tuningFactor * pitchFactor * frequency * samplePeriod;
    phase = wrap(phase + step);
    const F4 m = wrap(phaseModulation * F4(0.15915507f) + phase);
    const F4 a = lanes::abs(m);
    return F4(68.5949f) * m * (a + F4(0.232963f)) * (a - F4(0.5f)) * (a - F4(0.732963f));
  }

  // DrumEnvelope::tick in every lane (an idle envelope stays idle at 0).
  // Each lane takes its own state's branch, from the state it was in.
  F4 tickEnvelopes() {
    const F4 decay = envelopeState == I4(DrumEnvelope::Decay);
    // Mostly every envelope holds (sustain, idle) or decays between two points
    // of its curve, where only the counters move: the level stays, and so
    // does its comparison with the sustain level, made on the same values.
    const F4 holding = (envelopeState == I4(DrumEnvelope::Sustain)) | (envelopeState == I4(DrumEnvelope::Idle));
    if (lanes::bits(holding | decay) == 15 && lanes::bits(decay & (decaySubCounter == I4(0))) == 0) {
      // A mask is -1 where it holds: subtracting it counts.
      const I4 step(_mm_castps_si128(decay.v));
      decayCounter = I4(_mm_sub_epi32(decayCounter.v, step.v));
      const I4 nextSub(_mm_sub_epi32(decaySubCounter.v, step.v));
      decaySubCounter = I4(_mm_andnot_si128(_mm_cmpgt_epi32(nextSub.v, _mm_set1_epi32(23)), nextSub.v));
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
    const F4 faded = level - F4(0.01f);
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

  // Written by the engine between ticks, as the voices set their oscillators.
  F4 phaseModulation;
  F4 pitchFactor;

 private:
  static F4 wrap(F4 x) { return x - lanes::truncate(x + F4(0.5f)); }

  // Tone oscillators.
  F4 phase, frequency, tuningFactor, samplePeriod;
  // Envelopes.
  F4 level, attackRate, releaseRate, decayStart, decaySlope, sustainLevel;
  I4 envelopeState, decayCounter, decaySubCounter;
  // Sampled layers.
  F4 position, playLimit, reversing;
  // DC blockers.
  F4 dcState, dcCoefficient;
  // The layers' buffers.
  const float* samples_[4] = {};
  F4 bufferRate_;
  I4 bufferSize_;
};

// Loading and storing the blocks' state, inline so that a run's lanes can
// live in registers.

namespace lanesio {

using F4 = lanes::F4;
using I4 = lanes::I4;

// The same field of four blocks, as lanes and back.
template <typename Block, typename Field>
F4 gather(const Block* blocks, Field Block::*field) {
  return F4(static_cast<float>(blocks[0].*field), static_cast<float>(blocks[1].*field),
            static_cast<float>(blocks[2].*field), static_cast<float>(blocks[3].*field));
}

template <typename Block>
I4 gatherInt(const Block* blocks, int Block::*field) {
  return I4(_mm_setr_epi32(blocks[0].*field, blocks[1].*field, blocks[2].*field, blocks[3].*field));
}

template <typename Block>
void scatter(F4 value, Block* blocks, float Block::*field, int only = 15) {
  alignas(16) float lanes[4];
  value.store(lanes);
  for (int i = 0; i < 4; ++i)
    if (only & (1 << i)) blocks[i].*field = lanes[i];
}

template <typename Block>
void scatterInt(I4 value, Block* blocks, int Block::*field) {
  alignas(16) std::int32_t lanes[4];
  value.store(lanes);
  for (int i = 0; i < 4; ++i) blocks[i].*field = lanes[i];
}

}  // namespace lanesio

inline void VoiceLanes::load(const ToneOscillator* tones, const DrumEnvelope* envelopes, const OnePoleFilter* dcBlockers,
                      const PcmLayer* layers) {
  phase = lanesio::gather(tones, &ToneOscillator::phase_);
  phaseModulation = lanesio::gather(tones, &ToneOscillator::phaseModulation_);
  pitchFactor = lanesio::gather(tones, &ToneOscillator::pitchFactor_);
  frequency = lanesio::gather(tones, &ToneOscillator::frequency_);
  tuningFactor = lanesio::gather(tones, &ToneOscillator::tuningFactor_);
  samplePeriod = lanesio::gather(tones, &ToneOscillator::samplePeriod_);

  level = lanesio::gather(envelopes, &DrumEnvelope::level_);
  attackRate = lanesio::gather(envelopes, &DrumEnvelope::attackRate_);
  releaseRate = lanesio::gather(envelopes, &DrumEnvelope::releaseRate_);
  decayStart = lanesio::gather(envelopes, &DrumEnvelope::decayStart_);
  decaySlope = lanesio::gather(envelopes, &DrumEnvelope::decaySlope_);
  sustainLevel = lanesio::gather(envelopes, &DrumEnvelope::sustainLevel_);
  envelopeState = lanesio::gatherInt(envelopes, &DrumEnvelope::state_);
  decayCounter = lanesio::gatherInt(envelopes, &DrumEnvelope::decayCounter_);
  decaySubCounter = lanesio::gatherInt(envelopes, &DrumEnvelope::decaySubCounter_);

  position = lanesio::gather(layers, &PcmLayer::position_);
  playLimit = F4(layers[0].playLimit_, layers[1].playLimit_, layers[2].playLimit_, layers[3].playLimit_);
  reversing = I4(_mm_setr_epi32(-layers[0].reversing_, -layers[1].reversing_, -layers[2].reversing_,
                                -layers[3].reversing_)) == I4(-1);

  dcState = lanesio::gather(dcBlockers, &OnePoleFilter::state_);
  dcCoefficient = lanesio::gather(dcBlockers, &OnePoleFilter::coefficient_);
}

inline void VoiceLanes::store(ToneOscillator* tones, DrumEnvelope* envelopes, OnePoleFilter* dcBlockers, PcmLayer* layers,
                       int sounding) const {
  lanesio::scatter(phase, tones, &ToneOscillator::phase_, sounding);
  lanesio::scatter(phaseModulation, tones, &ToneOscillator::phaseModulation_, sounding);
  lanesio::scatter(pitchFactor, tones, &ToneOscillator::pitchFactor_, sounding);

  lanesio::scatter(level, envelopes, &DrumEnvelope::level_);
  lanesio::scatterInt(envelopeState, envelopes, &DrumEnvelope::state_);
  lanesio::scatterInt(decayCounter, envelopes, &DrumEnvelope::decayCounter_);
  lanesio::scatterInt(decaySubCounter, envelopes, &DrumEnvelope::decaySubCounter_);

  lanesio::scatter(position, layers, &PcmLayer::position_, sounding);
  const int reversed = lanes::bits(reversing);
  for (int i = 0; i < 4; ++i)
    if (sounding & (1 << i)) layers[i].reversing_ = (reversed >> i) & 1;

  lanesio::scatter(dcState, dcBlockers, &OnePoleFilter::state_);
}

}  // namespace zvx
