// The synthesis engine: four drum voices rendered one sample at a time into six
// outputs (stereo mix, then BD, SD, HH, CP), with the sleep state, the trigger
// pads, the LFOs, the DC blockers and the master section.
//
// Threads: render, noteEvent and the MIDI helpers run on the audio thread only.
// applyParameter, setSampleRate and selectPcm may run on any thread; everything
// they write is atomic, and settings that belong to the DSP blocks (envelope
// settings, tuning, pad presses, sample choices) are taken over by the audio
// thread before the next sample is rendered.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>

#include "engine/ChaosSmoother.h"
#include "engine/DrumEnvelope.h"
#include "engine/Lfo.h"
#include "engine/NoteFrequencies.h"
#include "engine/NoteTable.h"
#include "engine/OnePoleFilter.h"
#include "engine/Parameters.h"
#include "engine/PcmBuffer.h"
#include "engine/PcmLayer.h"
#include "engine/PcmSlots.h"
#include "engine/Random.h"
#include "engine/SampleRate.h"
#include "engine/ToneOscillator.h"

namespace zvx {

class Engine {
 public:
  static constexpr int kOutputs = 6;
  static constexpr int kEnvelopes = 11;
  // Awake samples from a pad's note-on to its note-off at 44.1 kHz (0.32 s);
  // the same time at other rates.
  static constexpr int kPadNoteOffDelay = 14000;

  Engine();
  Engine(const Engine&) = delete;
  Engine& operator=(const Engine&) = delete;

  // Sets every block up at `rate`, asleep, with zeroed voice values.
  // Constructor thread, before any audio.
  void initialise(double rate);
  // Ends initialisation: the Master_Chaos note remap becomes active.
  void finishInitialisation() { remapEnabled_ = true; }

  // Any thread: the rate the front door plays at, pushed when it is known and
  // whenever it changes; the blocks take it up before the next sample. The
  // chaos glide's coefficient follows at once, from its time at this moment.
  // A rate that cannot be played is ignored.
  void setSampleRate(double rate);
  double sampleRate() const { return hostRate_.load(std::memory_order_relaxed); }
  // Any thread. Stores the value the engine reads for `index` (0 to 82) and
  // derives what its role sets; every call also resets the envelopes' sustain.
  void applyParameter(int index, ParamRole role, int voice, float value);
  // Sample slots (one per sample file), published from one non-audio thread
  // at a time: see PcmSlots.
  const PcmBuffer* publishPcm(int slot, const PcmBuffer* buffer) {
    const PcmBuffer* unseen = pcmSlots_.publish(slot, buffer);
    pcmChanges_.fetch_add(1, std::memory_order_release);
    return unseen;
  }
  const PcmBuffer* takeRetiredPcm(int slot) { return pcmSlots_.takeRetired(slot); }
  // Any thread. Whether `slot` has a buffer to play.
  bool holdsPcm(int slot) const { return pcmSlots_.holds(slot); }
  // Any thread. The voice plays `slot`'s buffer from the next sample on.
  void selectPcm(int voice, int slot) {
    pcmChoice_[voice].store(slot, std::memory_order_release);
    pcmChanges_.fetch_add(1, std::memory_order_release);
  }
  // Any thread. Every voice, filter and modulation source starts again from
  // rest before the next block (a chunk was loaded: a new session).
  void requestRest() { restRequested_.store(true, std::memory_order_release); }

  // Audio thread, before a block's first event and sample: a rest asked for
  // (a new session) is taken up.
  void beginBlock();
  // Audio thread. Writes `frames` samples to the six outputs. The caller
  // applies each event between the samples where it falls (noteEvent and
  // the MIDI helpers below), rendering the block in parts.
  void render(float* const* outputs, int frames);
  // Audio thread. Starts or ends the voice of a note (after any remap).
  void noteEvent(int note, int velocity, bool on);
  // Audio thread. Whether a note-off for `note` has a held note to end.
  bool holdsNote(int note) const;
  // Audio thread. Every MIDI event wakes the engine and restarts the silence count.
  void wakeForEvent();
  // Audio thread. Each MIDI note-on sets the snap level to SDSnap Noise x
  // (velocity / 127)^2 until the next note-on.
  void scaleSnapLevel(int velocity);
  // Audio thread. Controller 123: every envelope released, every note forgotten.
  void allNotesOff();
  // Audio thread. Controllers re-enable the note remap.
  void enableRemap() { remapEnabled_ = true; }

  // Any thread. A voice's trigger indicator: set at each of its note-ons,
  // cleared by whoever shows it (the editor's trigger light).
  bool triggerIndicator(int voice) const { return triggerIndicator_[voice].load(std::memory_order_relaxed); }
  void clearTriggerIndicator(int voice) { triggerIndicator_[voice].store(false, std::memory_order_relaxed); }
  bool asleep() const { return asleep_; }
  float value(int index) const { return values_[index].load(std::memory_order_relaxed); }

  // How the engines of this process render the voices: side by side in the
  // widest lanes the processor offers (the default), side by side in SSE2
  // lanes, or one voice at a time. All three give the same bits; test builds
  // choose before any engine renders, to check and time one against another.
  enum class Lanes { Off, Sse2, Widest };
  static void setLanes(Lanes choice) { laneChoice_.store(choice, std::memory_order_relaxed); }
  static Lanes lanes() { return laneChoice_.load(std::memory_order_relaxed); }
  // Whether the processor and the system run AVX code.
  static bool hasAvx();

 private:
  // The tone oscillator of each voice (the one Sync restarts), and the snare's second.
  static constexpr int kMainOscillator[kNumVoices] = {0, 1, 2, 3};
  static constexpr int kSecondSnareOscillator = 4;

  // Per-voice values derived by the parameter setter.
  struct VoiceControls {
    std::atomic<bool> on{false};
    std::atomic<float> chaos{0.0f};
    std::atomic<float> chance{0.0f};
    std::atomic<float> synthWeight{0.0f};
    std::atomic<bool> sync{false};
    std::atomic<float> pcmRate{0.0f};
    std::atomic<bool> keyTrack{false};
    std::atomic<float> pan{0.0f};
  };

  // Settings that the setter gives to every envelope and tone oscillator; the
  // audio thread applies them when the generation changes.
  struct BlockSettings {
    std::atomic<std::uint32_t> generation{0};
    std::atomic<bool> setterCalled{false};
    std::atomic<bool> hasVelocitySensitivity{false};
    std::atomic<float> velocitySensitivity{0.0f};
    std::atomic<bool> hasAttack{false};
    std::atomic<float> attack{0.0f};
    std::atomic<bool> hasTuning{false};
    std::atomic<float> tuningFactor{1.0f};
  };

  void renderSample(int n, float* const* outputs);
  // Read at every sample, as every other setting: read once a block, they
  // made the sound depend on where the host cuts its blocks.
  float masterGain() const { return value(param::kVolume) * 2.5f; }
  // The chaos glide's time in ms, 3 + 99 x fix44, set at every awake sample.
  float glideTime() const { return 3.0f + 99.0f * value(param::kFix44); }
  float snapLevel() const { return value(param::kSDSnapNoise) * snapScale_; }
  // Whether no pad, setting or sample choice waits to be taken up.
  bool nothingFromElsewhere() const;
  // Renders the plain samples from n on with the voices side by side, as
  // renderSample would: some voice sounding, nothing from elsewhere to take
  // up, no pad countdown or overlapped voice to watch. The first sample not
  // rendered.
  int renderPlainSamples(int n, int frames, float* const* outputs);
  int renderPlainSamplesSse2(int n, int frames, float* const* outputs);
  int renderQuietSamples(int n, int frames, float* const* outputs);
  int renderPlainSamplesAvx(int n, int frames, float* const* outputs);
  void startBlock();
  void wakeInsideBlock();
  void configureRate(double rate);
  void deriveVoicePcmRate(int voice, float tuning);
  void deriveGlobalPcmRate(float tuning);
  // Cheap when nothing changed: one atomic load.
  void applyPendingSettings() {
    if (settings_.generation.load(std::memory_order_acquire) != appliedGeneration_) applySettings();
  }
  void applySettings();
  void servicePads();
  // Cheap when no choice or buffer changed: one atomic load.
  void takeUpPcmChanges() {
    if (pcmChanges_.load(std::memory_order_acquire) != pcmChangesSeen_) takeUpPcmChoices();
  }
  void takeUpPcmChoices();
  void advancePcm(int voice);
  void advancePadCountdowns();
  static int padDelayAt(double rate);
  void renderVoices();
  float renderBassDrum(float tone, float envelope);
  float renderSnare(float secondTone, float mainTone, float envelope);
  float renderHiHat(float tone, float envelope);
  float renderClap(float tone, float envelope);
  bool chaosActive(int voice) const;
  float chaosStage(int voice, float x) const;
  void setFrequencies(int keyOffset);
  void endOverlapped(int target);
  void endDecayedVoices();
  void restAll();
  void restVoice(int voice);
  bool voiceFinite(int voice) const;
  void countAwakeSamples(int count);
  void restWhatIsNotFinite();

  const NoteFrequencies& frequencies_;

  // DSP blocks (audio thread once initialised).
  Random random_;
  std::array<ToneOscillator, 5> oscillators_;  // BD, SD main, HH, CP, SD second
  std::array<DrumEnvelope, kEnvelopes> envelopes_;
  NoteTable notes_;
  std::array<OnePoleFilter, 2> hhFilters_;
  std::array<OnePoleFilter, kNumVoices> dcBlockers_;
  Lfo ringLfo_;
  Lfo chaosLfo_;
  ChaosSmoother smoother_;
  float hhCutoff_ = 3200.0f;
  // The sampled layers; the clap plays at most half as far.
  std::array<PcmLayer, kNumVoices> pcm_{{PcmLayer(98000.0f), PcmLayer(98000.0f), PcmLayer(98000.0f), PcmLayer(49000.0f)}};
  PcmSlots pcmSlots_;
  std::array<const PcmBuffer*, kNumVoices> pcmBuffer_{};  // each voice's slot buffer for this sample
  std::uint32_t pcmChangesSeen_ = 0;

  // Render state (audio thread).
  bool asleep_ = true;
  bool voiceActive_ = false;
  float silenceCounter_ = 0.0f;
  // The latest MIDI note-on's (velocity / 127)^2; a pad press plays the snap in full.
  float snapScale_ = 1.0f;
  // Until the first draw the Chance tests see 1.0: only a certain chance arms.
  float noiseSample_ = 1.0f;
  float chaosValue_ = 0.0f;
  float ringValue_ = 0.0f;
  std::array<float, kNumVoices> voiceSignal_{};
  std::array<int, kNumVoices> padCountdown_{};  // awake samples since the pad's note-on
  unsigned padsCounting_ = 0;                     // one bit per pad whose note-off is to come
  bool padCountdownsRunning_ = false;             // padsCounting_ is not 0
  int padDelay_ = kPadNoteOffDelay;               // kPadNoteOffDelay at the configured rate
  static constexpr int kFiniteCheckInterval = 256;
  int untilFiniteCheck_ = kFiniteCheckInterval;  // awake samples to the next look for non-finite states
  double configuredRate_ = 44100.0;  // the rate the DSP blocks were set up with
  std::uint32_t appliedGeneration_ = 0;
  int clapTranspose_ = 0;
  bool remapEnabled_ = false;
  std::array<bool, kNumVoices> chaosArmed_{};
  bool reverseArmed_ = false;
  // By incoming note number: the note its latest note-on played, until its note-off; else -1.
  std::array<std::int8_t, 128> latestTarget_{};
  unsigned endAfterDecay_ = 0;  // one bit per voice whose held note was overlapped

  // Shared with the setter's threads.
  std::array<std::atomic<float>, kNumParameters> values_{};
  std::array<VoiceControls, kNumVoices> voices_{};
  std::atomic<double> hostRate_{44100.0};
  std::atomic<float> decayFactor_{0.0f};
  std::atomic<float> masterChaos_{0.0f};  // m = 2 x Master_Chaos
  std::atomic<float> power_{0.0f};
  std::atomic<float> reverseSize_{0.0f};
  std::atomic<float> reversePick_{0.0f};
  std::atomic<float> globalPcmRate_{1.0f};
  BlockSettings settings_;
  std::array<std::atomic<bool>, kNumVoices> padHeld_{};
  std::atomic<unsigned> padRequests_{0};   // one bit per voice
  std::array<std::atomic<int>, kNumVoices> pcmChoice_{{-1, -1, -1, -1}};  // slot per voice, -1: none
  std::atomic<std::uint32_t> pcmChanges_{0};  // counts choices and publications
  std::atomic<bool> restRequested_{false};
  std::array<std::atomic<bool>, kNumVoices> triggerIndicator_{};

  static inline std::atomic<Lanes> laneChoice_{Lanes::Widest};
};

}  // namespace zvx
