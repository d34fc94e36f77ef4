// The four voice models and the voice trigger. Audio thread only.
#include <algorithm>

#include "engine/Engine.h"

namespace zvx {
namespace {

constexpr std::memory_order relaxed = std::memory_order_relaxed;

// Which voice a drum note plays, with its decay constant k, whether Sync
// restarts the voice's phase, and (clap) the transposition it sets.
struct NoteMapping {
  int voice;
  float k;
  bool sync;
  int clapTranspose;  // kKeepTranspose: leave the previous one
};
constexpr int kKeepTranspose = 1000;
constexpr int kNoVoice = -1;

NoteMapping noteMapping(int note) {
  switch (note) {
    case 35: return {kBD, 0.9f, true, kKeepTranspose};
    case 36: return {kBD, 0.3f, false, kKeepTranspose};
    case 38: return {kSD, 0.9f, true, kKeepTranspose};
    case 40: return {kSD, 0.3f, false, kKeepTranspose};
    case 42: return {kHH, 0.03f, true, kKeepTranspose};
    case 44: return {kHH, 0.4f, true, kKeepTranspose};
    case 46: return {kHH, 0.9f, true, kKeepTranspose};
    case 29: return {kCP, 0.9f, true, kKeepTranspose};
    case 31: return {kCP, 0.03f, false, 12};
    case 33: return {kCP, 0.3f, false, 24};
    case 37: return {kCP, 0.3f, false, -12};
    case 39: return {kCP, 0.5f, false, -24};
    default: return {kNoVoice, 0.0f, false, kKeepTranspose};
  }
}

// Master_Chaos above 0.5 replaces drum notes (45 and below) by one of these.
constexpr int kRemapNotes[12] = {29, 31, 33, 37, 39, 35, 36, 38, 40, 42, 44, 46};


}  // namespace

bool Engine::holdsNote(int note) const {
  note &= 127;
  const int target = latestTarget_[note] >= 0 ? latestTarget_[note] : note;
  return notes_.contains(target);
}

// A held note whose number was hit again and played another note: no note-off
// will come for it, so it leaves the table and its voice ends where its decay
// ends. Not while another held number still plays it.
void Engine::endOverlapped(int target) {
  if (!notes_.contains(target)) return;
  for (std::int8_t other : latestTarget_)
    if (other == target) return;
  notes_.release(target);
  const int voice = noteMapping(target).voice;
  if (voice != kNoVoice) endAfterDecay_ |= 1u << voice;
}

// A voice whose note was overlapped goes idle once its decay has reached the
// sustain level (0 after any setter call), instead of holding there for ever.
void Engine::endDecayedVoices() {
  for (int v = 0; v < kNumVoices; ++v) {
    if (!(endAfterDecay_ & (1u << v))) continue;
    DrumEnvelope& envelope = envelopes_[v];
    const int state = envelope.state();
    if (state == DrumEnvelope::Attack || state == DrumEnvelope::Decay || state == DrumEnvelope::FadeOut) continue;
    if (state == DrumEnvelope::Sustain) envelope.noteOff();
    endAfterDecay_ &= ~(1u << v);
  }
}

void Engine::noteEvent(int note, int velocity, bool on) {
  applyPendingSettings();
  note &= 127;
  const float m = masterChaos_.load(relaxed);
  const float low = std::min(m, 1.0f);
  const float high = m > 1.0f ? m - 1.0f : 0.0f;
  const int keyOffset = note > 45 ? note - 45 : 0;

  // Every note-on draws its own target; a note-off ends the target of its
  // number's latest note-on and is never remapped at random.
  const int previous = latestTarget_[note];
  int played = note;
  if (on) {
    if (note <= 45 && high != 0.0f && remapEnabled_) played = kRemapNotes[math::truncateToInt(11.0f * noiseSample_)];
    latestTarget_[note] = static_cast<std::int8_t>(played);
    if (previous >= 0 && previous != played) endOverlapped(previous);
  } else {
    if (previous >= 0) played = previous;
    latestTarget_[note] = -1;
  }

  wakeInsideBlock();
  const NoteMapping mapping = noteMapping(played);

  if (!on) {
    notes_.release(played);
    if (mapping.voice != kNoVoice) {
      envelopes_[mapping.voice].noteOff();
      endAfterDecay_ &= ~(1u << mapping.voice);
    }
    return;
  }

  const int slot = notes_.allocate(played, velocity, envelopes_.data(), kEnvelopes);
  if (mapping.voice != kNoVoice) {
    envelopes_[mapping.voice].trigger(notes_.velocity(slot));
    endAfterDecay_ &= ~(1u << mapping.voice);
    pcm_[mapping.voice].trigger();
    triggerIndicator_[mapping.voice].store(true, relaxed);
  }

  if (mapping.voice != kNoVoice) {
    // Decay and release both k d^2 + 0.006, d the voice's decay x the decay factor.
    const float d = value(param::kDecay[mapping.voice]) * decayFactor_.load(relaxed);
    const float time = mapping.k * (d * d) + 0.006f;
    envelopes_[mapping.voice].setDecay(time);
    envelopes_[mapping.voice].setRelease(time);
    if (mapping.sync && voices_[mapping.voice].sync.load(relaxed))
      oscillators_[kMainOscillator[mapping.voice]].setPhase(0.9f);
    if (mapping.voice == kCP && mapping.clapTranspose != kKeepTranspose) clapTranspose_ = mapping.clapTranspose;
  }

  setFrequencies(keyOffset);

  const float cutoff = value(param::kHHPitch) * 2900.0f + 3200.0f;
  hhCutoff_ = cutoff;
  for (OnePoleFilter& filter : hhFilters_) filter.setCutoff(cutoff);

  for (int v = 0; v < kNumVoices; ++v) chaosArmed_[v] = voices_[v].chance.load(relaxed) * low >= noiseSample_;
  reverseArmed_ = reversePick_.load(relaxed) * low >= noiseSample_;
}

// Every note-on re-tunes the oscillators; a note above 45 transposes the voices
// whose key tracking is on by (note - 45) semitones.
void Engine::setFrequencies(int keyOffset) {
  auto tracked = [&](int voice) { return voices_[voice].keyTrack.load(relaxed) ? keyOffset : 0; };
  const NoteFrequencies& f = frequencies_;
  const float bdPitch = value(param::kBDPitch);
  const float sdPitch = value(param::kSDPitch);
  const float hhPitch = value(param::kHHPitch);
  const float cpPitch = value(param::kCPPitch);
  oscillators_[0].setFrequency((bdPitch + 0.5f) * f[36 + tracked(kBD)]);
  oscillators_[1].setFrequency((sdPitch + 0.5f) * f[42 + tracked(kSD)]);
  oscillators_[2].setFrequency((hhPitch + 0.5f) * f[95 + tracked(kHH)]);
  oscillators_[3].setFrequency((cpPitch * 0.75f + 0.25f) * f[84 + tracked(kCP) + clapTranspose_]);
  oscillators_[kSecondSnareOscillator].setFrequency((sdPitch + 0.5f) * 2.001f * f[42 + tracked(kSD)]);
}

// The layer's step: the voice's rate times the global one.
inline void Engine::advancePcm(int voice) {
  const float step = voices_[voice].pcmRate.load(relaxed) * globalPcmRate_.load(relaxed);
  pcm_[voice].advance(step, reverseArmed_, reverseSize_.load(relaxed));
}

bool Engine::chaosActive(int voice) const {
  const VoiceControls& c = voices_[voice];
  return c.chaos.load(relaxed) != 0.0f && c.chance.load(relaxed) != 0.0f && chaosArmed_[voice];
}

// Loud samples of an armed voice are multiplied by the chaos modulation.
float Engine::chaosStage(int voice, float x) const {
  if (!chaosActive(voice)) return x;
  const float magnitude = x < 0.0f ? -x : x;
  if (magnitude > 1.0f - voices_[voice].chaos.load(relaxed)) x = x * chaosValue_;
  return x;
}

// The tone oscillators and envelopes of the sounding voices tick first, side
// by side, and each voice then sets its oscillators' feedback for the next
// sample before it computes its signal: the voices' feedback chains are
// independent, and this order lets the processor overlap them.
void Engine::renderVoices() {
  const bool bd = !envelopes_[kBD].idle();
  const bool sd = !envelopes_[kSD].idle();
  const bool hh = !envelopes_[kHH].idle();
  const bool cp = !envelopes_[kCP].idle();
  if (!(bd || sd || hh || cp)) return;
  voiceActive_ = true;
  const float bdTone = bd ? oscillators_[0].tick() : 0.0f;
  const float sdSecond = sd ? oscillators_[kSecondSnareOscillator].tick() : 0.0f;
  const float sdMain = sd ? oscillators_[1].tick() : 0.0f;
  const float hhTone = hh ? oscillators_[2].tick() : 0.0f;
  const float cpTone = cp ? oscillators_[3].tick() : 0.0f;
  const float bdEnv = bd ? envelopes_[kBD].tick() : 0.0f;
  const float sdEnv = sd ? envelopes_[kSD].tick() : 0.0f;
  const float hhEnv = hh ? envelopes_[kHH].tick() : 0.0f;
  const float cpEnv = cp ? envelopes_[kCP].tick() : 0.0f;
  if (bd) voiceSignal_[kBD] = renderBassDrum(bdTone, bdEnv);
  if (sd) voiceSignal_[kSD] = renderSnare(sdSecond, sdMain, sdEnv);
  if (hh) voiceSignal_[kHH] = renderHiHat(hhTone, hhEnv);
  if (cp) voiceSignal_[kCP] = renderClap(cpTone, cpEnv);
}

// Feedback PM sine whose pitch falls with the envelope; chaos can lift it.
float Engine::renderBassDrum(float s, float env) {
  const VoiceControls& c = voices_[kBD];
  ToneOscillator& tone = oscillators_[0];
  const float toneAmount = value(param::kBDTone);
  const bool active = chaosActive(kBD);
  const float bonus = active && c.chaos.load(relaxed) > 0.5f ? 1.0f + chaosValue_ : 0.0f;
  tone.setPitchFactor(toneAmount * env + 1.0f + 0.5f * bonus);
  tone.setPhaseModulation((1.0f + env) * s * toneAmount);

  const float on = c.on.load(relaxed) ? 1.0f : 0.0f;
  const float w = c.synthWeight.load(relaxed);
  const float pcm = pcm_[kBD].sample(pcmBuffer_[kBD]);
  float x = on * (w * s + (1.0f - w) * 2.4f * pcm);
  x = chaosStage(kBD, x);
  advancePcm(kBD);
  return value(param::kBDGain) * x * env;
}

// Two detuned PM tones plus offset noise scaled by the snap level.
float Engine::renderSnare(float t, float mainTone, float env) {
  const VoiceControls& c = voices_[kSD];
  ToneOscillator& main = oscillators_[1];
  ToneOscillator& second = oscillators_[kSecondSnareOscillator];
  const float toneAmount = value(param::kSDTone);
  const float pitch = toneAmount * env + 1.0f + 0.5f * (env * env);
  main.setPitchFactor(pitch);
  second.setPitchFactor(pitch);
  const float modulation = toneAmount * t;
  main.setPhaseModulation(modulation);
  second.setPhaseModulation(modulation);

  const float on = c.on.load(relaxed) ? 1.0f : 0.0f;
  const float w = c.synthWeight.load(relaxed);
  const float pcm = pcm_[kSD].sample(pcmBuffer_[kSD]);
  const float s = mainTone + 0.5f * t + (static_cast<float>(random_.next()) / 32767.0f - 0.3f) * snapLevel();
  float x = on * (w * s + (1.0f - w) * pcm);
  x = chaosStage(kSD, x);
  advancePcm(kSD);
  return value(param::kSDGain) * 3.9f * x * (env * env);
}

// A folded, high-passed PM tone: metallic noise from strong feedback.
float Engine::renderHiHat(float s, float env) {
  const VoiceControls& c = voices_[kHH];
  ToneOscillator& tone = oscillators_[2];
  const float g = chaosActive(kHH) ? 2.0f - chaosValue_ * c.chaos.load(relaxed) : 4.0f;
  tone.setPhaseModulation(g * s);
  tone.setPitchFactor(1.0f - value(param::kHHTone) * env);

  // Selects, not branches: the folded noise would defeat a branch predictor.
  s = math::select(s > 0.5f, 1.0f, s);
  s = math::select(s < -0.5f, -1.0f, s);
  s = s - hhFilters_[1].lowPass(hhFilters_[0].lowPass(s));
  const float on = c.on.load(relaxed) ? 1.0f : 0.0f;
  const float w = c.synthWeight.load(relaxed);
  const float pcm = pcm_[kHH].sample(pcmBuffer_[kHH]);
  float x = on * (w * s + (1.0f - w) * pcm);
  x = chaosStage(kHH, x);
  advancePcm(kHH);
  return value(param::kHHGain) * 2.3f * x * (env * env);
}

// A PM tone ring-modulated by the ring LFO, whose rate follows the envelope.
float Engine::renderClap(float s, float env) {
  const VoiceControls& c = voices_[kCP];
  ToneOscillator& tone = oscillators_[3];
  const float cricket = value(param::kCPCricket);
  s = (1.0f - cricket) * s + cricket * s * ringValue_;
  const float toneAmount = value(param::kCPTone);
  tone.setPhaseModulation(toneAmount * s);
  const float armed = chaosArmed_[kCP] ? 1.0f : 0.0f;
  tone.setPitchFactor(1.0f - 0.5f * c.chaos.load(relaxed) * armed * (chaosValue_ * chaosValue_));
  ringLfo_.setFrequency((5.0f - toneAmount * 4.0f * env) * 16.0f);

  const float on = c.on.load(relaxed) ? 1.0f : 0.0f;
  const float w = c.synthWeight.load(relaxed);
  const float pcm = pcm_[kCP].sample(pcmBuffer_[kCP]);
  float x = on * (w * s + (1.0f - w) * pcm);
  x = chaosStage(kCP, x);
  advancePcm(kCP);
  return value(param::kCPGain) * x * env;
}

}  // namespace zvx
