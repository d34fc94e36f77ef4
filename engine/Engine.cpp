#include "engine/Engine.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "engine/Audible.h"
#include "engine/FloatMath.h"
#include "engine/SampleRate.h"

namespace zvx {
namespace {

constexpr std::memory_order relaxed = std::memory_order_relaxed;
constexpr int kPadNotes[kNumVoices] = {35, 38, 44, 33};

}  // namespace

Engine::Engine() : frequencies_(NoteFrequencies::instance()) {
  latestTarget_.fill(-1);
}

void Engine::initialise(double rate) {
  asleep_ = true;
  if (!isUsableSampleRate(rate)) rate = 44100.0;
  hostRate_.store(rate, relaxed);
  configuredRate_ = rate;
  const float rateF = static_cast<float>(rate);

  notes_.clear();
  for (DrumEnvelope& envelope : envelopes_) {
    envelope.setAttack(0.0f);
    envelope.setDecay(0.2f);
    envelope.setSustain(1.0f);
    envelope.setRelease(0.2f);
    envelope.noteOff();
    envelope.setSampleRate(rateF);
  }
  for (ToneOscillator& oscillator : oscillators_) oscillator.setSampleRate(rateF);
  for (OnePoleFilter& filter : hhFilters_) {
    filter.setSampleRate(rateF);
    filter.setCutoff(3200.0f);
  }
  for (OnePoleFilter& filter : dcBlockers_) {
    filter.setSampleRate(rateF);
    filter.setCutoff(15.0f);
  }
  ringLfo_.setSampleRate(rateF);
  ringLfo_.setWaveform(Lfo::RoundedTriangle);
  ringLfo_.setFrequency(3.0f);
  chaosLfo_.setSampleRate(rateF);
  chaosLfo_.setWaveform(Lfo::SampleAndHold);
  chaosLfo_.setFrequency(45.0f);
  smoother_.computeCoefficient(rateF);
  smoother_.setTime(3.0f);

  padRequests_.store(0, relaxed);
  padsCounting_ = 0;
  padCountdownsRunning_ = false;
  padDelay_ = padDelayAt(rate);
  for (int v = 0; v < kNumVoices; ++v) {
    padHeld_[v].store(false, relaxed);
    padCountdown_[v] = 0;
    VoiceControls& c = voices_[v];
    c.on.store(false, relaxed);
    c.chaos.store(0.0f, relaxed);
    c.chance.store(0.0f, relaxed);
    c.synthWeight.store(0.0f, relaxed);
    c.sync.store(false, relaxed);
    c.pcmRate.store(0.0f, relaxed);
    c.keyTrack.store(false, relaxed);
    c.pan.store(0.0f, relaxed);
    chaosArmed_[v] = false;
    triggerIndicator_[v].store(false, relaxed);
  }
  decayFactor_.store(0.0f, relaxed);
  masterChaos_.store(0.0f, relaxed);
  power_.store(0.0f, relaxed);
  reverseSize_.store(0.0f, relaxed);
  reversePick_.store(0.0f, relaxed);
  globalPcmRate_.store(1.0f, relaxed);
  reverseArmed_ = false;
  noiseSample_ = 1.0f;
  clapTranspose_ = 0;
  remapEnabled_ = false;
}

// ---------------------------------------------------------------------------
// Parameter setter side (any thread)

// A semitone as the sampled layers have always counted it: 1.05946, a little
// short of 2^(1/12) (1.0594631), so that 48 of them are 0.01 % flat. Banks
// were tuned by ear against it; the tone oscillators' note table uses the
// exact ratio.
constexpr double kLayerSemitone = 1.05946;

// A voice's PCM rate = 1.05946^(96 (v - 0.5)), the power in double rounded to
// float. The host-rate factor belongs to the global rate alone: in both, it
// applied twice, and every sample played flat at any rate but 44.1 kHz.
void Engine::deriveVoicePcmRate(int voice, float tuning) {
  voices_[voice].pcmRate.store(static_cast<float>(math::pow(kLayerSemitone, 96.0 * (static_cast<double>(tuning) - 0.5))),
                               relaxed);
}

// Global PCM rate = (44100 / host rate) x 1.05946^(36 (v - 0.5)): the layer's
// position then counts 44.1 kHz sample periods at every host rate.
void Engine::deriveGlobalPcmRate(float tuning) {
  const float power = static_cast<float>(math::pow(kLayerSemitone, 36.0 * (static_cast<double>(tuning) - 0.5)));
  globalPcmRate_.store(static_cast<float>((44100.0 / sampleRate()) * power), relaxed);
}

void Engine::applyParameter(int index, ParamRole role, int voice, float v) {
  if (index >= 0 && index < kNumParameters) values_[index].store(v, relaxed);

  // Every setter call gives the envelopes sustain 0, and 60/61/62 their settings.
  if (role == ParamRole::VelocityAmp) {
    settings_.velocitySensitivity.store(v, relaxed);
    settings_.hasVelocitySensitivity.store(true, relaxed);
  } else if (role == ParamRole::Attack) {
    settings_.attack.store(0.4f * (v * v) + 0.003f, relaxed);
    settings_.hasAttack.store(true, relaxed);
  } else if (role == ParamRole::DecayFactor) {
    decayFactor_.store(static_cast<float>(math::pow(2.0, (v - 0.5f) * 4.0f)), relaxed);
  }
  settings_.setterCalled.store(true, relaxed);

  VoiceControls* c = voice >= 0 && voice < kNumVoices ? &voices_[voice] : nullptr;
  switch (role) {
    case ParamRole::Pan:
      c->pan.store(v, relaxed);
      break;
    case ParamRole::Mute:
      c->on.store(v >= 0.5f, relaxed);
      break;
    case ParamRole::Chaos:
      c->chaos.store(v, relaxed);
      break;
    case ParamRole::Chance:
      c->chance.store(v * v, relaxed);
      break;
    case ParamRole::Mix:
      c->synthWeight.store(1.0f - v, relaxed);
      break;
    case ParamRole::Sync:
      c->sync.store(v >= 0.5f, relaxed);
      break;
    case ParamRole::KeyTrack:
      c->keyTrack.store(v >= 0.5f, relaxed);
      break;
    case ParamRole::SizeReverse:
      // At most 0.09 of the layer (0.2 s of a 98000-sample file). The tiny
      // offset, kept as the kits were made with it, matters only at size 0:
      // the turning point sits just above the start rather than on it.
      reverseSize_.store(0.09f * (v * v) + 4.59184e-19f, relaxed);
      break;
    case ParamRole::PickReverse:
      reversePick_.store(v, relaxed);
      break;
    case ParamRole::MasterChaos:
      masterChaos_.store(2.0f * v, relaxed);
      break;
    case ParamRole::Power:
      power_.store(v, relaxed);
      break;
    case ParamRole::Tuning:
      settings_.tuningFactor.store(0.5f + v, relaxed);
      settings_.hasTuning.store(true, relaxed);
      deriveGlobalPcmRate(v);
      break;
    case ParamRole::Pad:
      if (c && v > 0.5f) {
        bool wasHeld = false;
        if (padHeld_[voice].compare_exchange_strong(wasHeld, true))
          padRequests_.fetch_or(1u << voice, std::memory_order_release);
      }
      break;
    case ParamRole::PcmTuning:
      deriveVoicePcmRate(voice, v);
      break;
    default:
      break;
  }
  settings_.generation.fetch_add(1, std::memory_order_release);
}

// ---------------------------------------------------------------------------
// Audio thread

void Engine::applySettings() {
  appliedGeneration_ = settings_.generation.load(std::memory_order_acquire);
  const bool hasSensitivity = settings_.hasVelocitySensitivity.load(relaxed);
  const float sensitivity = settings_.velocitySensitivity.load(relaxed);
  const bool hasAttack = settings_.hasAttack.load(relaxed);
  const float attack = settings_.attack.load(relaxed);
  const bool sustainZero = settings_.setterCalled.load(relaxed);
  for (DrumEnvelope& envelope : envelopes_) {
    if (hasSensitivity) envelope.setVelocitySensitivity(sensitivity);
    if (hasAttack) envelope.setAttack(attack);
    if (sustainZero) envelope.setSustain(0.0f);
  }
  if (settings_.hasTuning.load(relaxed)) {
    const float tuning = settings_.tuningFactor.load(relaxed);
    for (ToneOscillator& oscillator : oscillators_) oscillator.setTuningFactor(tuning);
  }
}

// A new host rate moves every block to it, keeping running state, and derives
// the PCM rate factors, the chaos glide and the pads' note length again.
void Engine::configureRate(double rate) {
  configuredRate_ = rate;
  const float rateF = static_cast<float>(rate);
  for (ToneOscillator& oscillator : oscillators_) oscillator.setSampleRate(rateF);
  for (DrumEnvelope& envelope : envelopes_) envelope.setSampleRate(rateF);
  for (OnePoleFilter& filter : hhFilters_) filter.setSampleRate(rateF);
  for (OnePoleFilter& filter : dcBlockers_) filter.setSampleRate(rateF);
  ringLfo_.setSampleRate(rateF);
  chaosLfo_.setSampleRate(rateF);
  // The glide too, or it would take its time in the old rate's samples.
  smoother_.computeCoefficient(rateF);
  padDelay_ = padDelayAt(rate);
  for (int v = 0; v < kNumVoices; ++v) deriveVoicePcmRate(v, value(param::kPcmTuning[v]));
  deriveGlobalPcmRate(value(param::kTuning));
}

void Engine::setSampleRate(double rate) {
  if (!isUsableSampleRate(rate)) return;
  hostRate_.store(rate, relaxed);
  smoother_.computeCoefficient(static_cast<float>(rate));
}

void Engine::startBlock() {
  const double current = sampleRate();
  if (current != configuredRate_) configureRate(current);
}

// Waking inside a block takes the block-start values first, so the waking hit
// plays at the current volume and rate.
void Engine::wakeInsideBlock() {
  if (!asleep_) return;
  startBlock();
  asleep_ = false;
}

void Engine::wakeForEvent() {
  wakeInsideBlock();
  silenceCounter_ = 0.0f;
}

// The latest note-on's, not the block's: read afresh at each block start, a
// ghost note's snap came back at full level at the host's next block, and two
// hits in one block compounded.
void Engine::scaleSnapLevel(int velocity) {
  const float v = static_cast<float>(velocity) / 127.0f;
  snapScale_ = v * v;
}

void Engine::allNotesOff() {
  for (DrumEnvelope& envelope : envelopes_) envelope.noteOff();
  notes_.clear();
  latestTarget_.fill(-1);
  endAfterDecay_ = 0;
}

// Choices are read before published buffers are adopted: a choice made after
// a publish then never finds the slot without its buffer. A buffer that could
// not be adopted yet brings the audio thread back at the next sample.
void Engine::takeUpPcmChoices() {
  const std::uint32_t changes = pcmChanges_.load(std::memory_order_acquire);
  int choice[kNumVoices];
  for (int v = 0; v < kNumVoices; ++v) choice[v] = pcmChoice_[v].load(std::memory_order_acquire);
  if (pcmSlots_.adoptPublished()) pcmChangesSeen_ = changes;
  for (int v = 0; v < kNumVoices; ++v) pcmBuffer_[v] = choice[v] >= 0 ? pcmSlots_.buffer(choice[v]) : nullptr;
}

// Pads pressed on another thread sound here, before the sample's MIDI events.
void Engine::servicePads() {
  if (padRequests_.load(relaxed) == 0) return;
  const unsigned requests = padRequests_.exchange(0, std::memory_order_acquire);
  for (int v = 0; v < kNumVoices; ++v) {
    if (!(requests & (1u << v))) continue;
    noteEvent(kPadNotes[v], 120, true);
    snapScale_ = 1.0f;
    padCountdown_[v] = 0;
    padsCounting_ |= 1u << v;
    padCountdownsRunning_ = true;
  }
}

int Engine::padDelayAt(double rate) {
  return static_cast<int>(std::lround(kPadNoteOffDelay * (rate / 44100.0)));
}

// The sample of the press counts as the first. A rate changed meanwhile
// ends the pad's note at the new rate's delay, or at once when that has passed.
void Engine::advancePadCountdowns() {
  if (!padCountdownsRunning_) return;
  for (int v = 0; v < kNumVoices; ++v) {
    if (!(padsCounting_ & (1u << v))) continue;
    if (++padCountdown_[v] < padDelay_) continue;
    padsCounting_ &= ~(1u << v);
    padHeld_[v].store(false, relaxed);
    noteEvent(kPadNotes[v], 0, false);
  }
  padCountdownsRunning_ = padsCounting_ != 0;
}

void Engine::beginBlock() {
  if (restRequested_.load(std::memory_order_relaxed) && restRequested_.exchange(false, std::memory_order_acquire))
    restAll();
}

void Engine::render(float* const* outputs, int frames) {
  if (!asleep_) startBlock();
  int n = 1;
  while (n <= frames) {
    if (asleep_) {
      // Asleep, nothing but a pad press can wake the engine before the end
      // of this part: its samples are silence, written in one go.
      servicePads();
      if (asleep_) {
        for (int c = 0; c < kOutputs; ++c) std::fill(outputs[c] + (n - 1), outputs[c] + frames, 0.0f);
        break;
      }
    }
    if (lanes() != Lanes::Off) {
      const int next = renderPlainSamples(n, frames, outputs);
      if (next > n) {
        n = next;
        continue;
      }
    }
    renderSample(n, outputs);
    ++n;
  }
}

// The blocks a voice uses: its tone oscillator(s), envelope, DC blocker and
// sampled layer, and for the hi-hat its filter pair.
void Engine::restVoice(int voice) {
  oscillators_[static_cast<std::size_t>(kMainOscillator[voice])].rest();
  if (voice == kSD) oscillators_[kSecondSnareOscillator].rest();
  if (voice == kHH)
    for (OnePoleFilter& filter : hhFilters_) filter.rest();
  envelopes_[static_cast<std::size_t>(voice)].rest();
  dcBlockers_[static_cast<std::size_t>(voice)].rest();
  pcm_[static_cast<std::size_t>(voice)].rest();
  voiceSignal_[static_cast<std::size_t>(voice)] = 0.0f;
}

bool Engine::voiceFinite(int voice) const {
  bool finite = oscillators_[static_cast<std::size_t>(kMainOscillator[voice])].finite() &&
                envelopes_[static_cast<std::size_t>(voice)].finite() &&
                dcBlockers_[static_cast<std::size_t>(voice)].finite() && pcm_[static_cast<std::size_t>(voice)].finite();
  if (voice == kSD) finite = finite && oscillators_[kSecondSnareOscillator].finite();
  if (voice == kHH) finite = finite && hhFilters_[0].finite() && hhFilters_[1].finite();
  return finite;
}

void Engine::restAll() {
  for (int v = 0; v < kNumVoices; ++v) restVoice(v);
  for (DrumEnvelope& envelope : envelopes_) envelope.rest();
  ringLfo_.rest();
  chaosLfo_.rest();
  smoother_.rest();
  ringValue_ = chaosValue_ = 0.0f;
  snapScale_ = 1.0f;
  notes_.clear();
  latestTarget_.fill(-1);
  endAfterDecay_ = 0;
  asleep_ = true;
  silenceCounter_ = 0.0f;
}

// Whatever extreme settings did, no infinity or NaN lasts: a voice whose
// state is not finite starts again from rest, and so do the modulation
// sources. Looked at every kFiniteCheckInterval awake samples, counted from
// the start, so that it happens at the same sample wherever the host cuts
// its blocks.
void Engine::countAwakeSamples(int count) {
  untilFiniteCheck_ -= count;
  if (untilFiniteCheck_ > 0) return;
  untilFiniteCheck_ = kFiniteCheckInterval;
  restWhatIsNotFinite();
}

void Engine::restWhatIsNotFinite() {
  for (int v = 0; v < kNumVoices; ++v)
    if (!voiceFinite(v)) restVoice(v);
  if (!ringLfo_.finite() || !std::isfinite(ringValue_)) ringLfo_.rest(), ringValue_ = 0.0f;
  if (!chaosLfo_.finite() || !smoother_.finite() || !std::isfinite(chaosValue_))
    chaosLfo_.rest(), smoother_.rest(), chaosValue_ = 0.0f;
}

void Engine::renderSample(int n, float* const* outputs) {
  voiceSignal_.fill(0.0f);
  float left = 0.0f;
  float right = 0.0f;
  servicePads();
  applyPendingSettings();
  takeUpPcmChanges();

  const bool awake = !asleep_;
  if (awake) {
    voiceActive_ = false;
    noiseSample_ = static_cast<float>(random_.next()) / 32767.0f;
    advancePadCountdowns();

    ringValue_ = ringLfo_.tick(random_);
    chaosValue_ = smoother_.tick(chaosLfo_.tick(random_));
    smoother_.setTime(glideTime());

    if (endAfterDecay_ != 0) endDecayedVoices();
    renderVoices();

    if (voiceActive_) {
      for (int v = 0; v < kNumVoices; ++v) voiceSignal_[v] = dcBlockers_[v].highPass(voiceSignal_[v]);
      for (int v = 0; v < kNumVoices; ++v) {
        const float pan = voices_[v].pan.load(relaxed);
        left += (1.0f - pan) * voiceSignal_[v];
        right += pan * voiceSignal_[v];
      }
      const float m = masterChaos_.load(relaxed);
      if (m > 1.0f) {
        left = (2.0f - m) * left + 0.5f * m * left * ringValue_ * chaosValue_;
        right = (2.0f - m) * right + 0.5f * m * right * ringValue_ * chaosValue_;
      }
      const float gain = masterGain() * power_.load(relaxed);
      left *= gain;
      right *= gain;
    } else {
      silenceCounter_ += 1.0f;
      if (silenceCounter_ > 4.0 * sampleRate()) {
        silenceCounter_ = 0.0f;
        asleep_ = true;
      }
    }
  }

  const int i = n - 1;
  outputs[0][i] = audible(left);
  outputs[1][i] = audible(right);
  for (int v = 0; v < kNumVoices; ++v) outputs[2 + v][i] = audible(voiceSignal_[v]);
  if (awake) countAwakeSamples(1);
}

}  // namespace zvx
