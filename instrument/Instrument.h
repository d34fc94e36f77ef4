// The drum instrument whatever the plug-in format: the parameter set and its
// one setter, the programs and their bank image, the MIDI intake, the learn
// map, the samples and the engine. A front door (the VST 2.4 module, ...)
// owns one, passes its host's calls on and answers its questions
// (InstrumentHost).
//
// Threads: the host's GUI thread constructs and destroys it and calls the
// program, chunk and text operations; its audio thread calls render, with
// the block's events (and, through learned controllers, setParameter).
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string_view>
#include <thread>

#include "engine/Engine.h"
#include "instrument/BankImage.h"
#include "instrument/InstrumentControl.h"
#include "instrument/InstrumentHost.h"
#include "instrument/MessageQueue.h"
#include "instrument/MidiEvents.h"
#include "instrument/SampleCache.h"

namespace zvx {

class Instrument {
 public:
  // The instrument's identity in bank and preset files ('996d').
  static constexpr std::int32_t kUniqueId = 0x39393664;
  static constexpr int kNumPrograms = BankImage::kPrograms;
  static constexpr int kOutputs = Engine::kOutputs;
  // Bytes a name or a value's text may take, terminator included.
  static constexpr std::size_t kTextSize = BankImage::kNameSize;

  // Loads the default bank and reads the learn map; messages go through
  // `host`. The rate is the front door's, where it knows it already.
  explicit Instrument(InstrumentHost& host, double sampleRate = 44100.0);
  // Saves the learn map and shows what the audio thread left to say.
  ~Instrument();
  Instrument(const Instrument&) = delete;
  Instrument& operator=(const Instrument&) = delete;

  // Selects program 0 and reads every sample file: once, when the front door
  // is ready for the calls this makes (its editor exists).
  void start();

  // Any thread: the rate the front door plays at, when it learns it and
  // whenever it changes; one that cannot be played is refused.
  void setSampleRate(double rate);
  double sampleRate() const { return engine_.sampleRate(); }
  // Audio thread: the outputs (kOutputs channels) of `frames` samples, the
  // block's events (in the host's order, frames from its start) acting at
  // their frames.
  void render(float** outputs, int frames, const MidiEventList& events = noEvents());
  static const MidiEventList& noEvents();

  // Parameters: 0 to kNumParameters - 1; others are ignored.
  void setParameter(int index, float value);
  float parameter(int index) const;
  void parameterDisplay(int index, char* text) const;  // kTextSize bytes
  void parameterName(int index, char* text) const;     // kTextSize bytes

  // Programs.
  int program() const { return program_; }
  void setProgram(int program);
  void setProgramName(const char* name);
  void programName(int program, char* text) const;  // 0 to kNumPrograms - 1; kTextSize bytes
  bool copyProgram(int destination);
  // The bank image, or the current program's record, in the layouts
  // loadChunk reads; valid until the next call of that kind.
  std::size_t saveChunk(void** data, bool isPreset);
  void loadChunk(const void* data, std::size_t size, bool isPreset);

  void setLearnHook(LearnHook* hook) { learnHook_ = hook; }
  // MIDI learn: the controller that moves a parameter (InstrumentControl::kUnbound
  // for none), and the user's bindings; other indexes are ignored.
  int learnedController(int parameter) const;
  void bindController(int parameter, int controller);
  void forgetController(int parameter);
  // Any thread: the trigger indicators of the four voices, for the editor's lights.
  bool triggerIndicator(int voice) const { return engine_.triggerIndicator(voice); }
  void clearTriggerIndicator(int voice) { engine_.clearTriggerIndicator(voice); }

  // The audio thread is the one inside render (or a Processing scope), or
  // one the host says is real-time.
  bool onAudioThread();
  // Marks the calling thread as the audio thread while alive: render opens
  // one; a front door whose host hands it parameters in
  // its audio callback opens one around that too. Scopes nest.
  class Processing {
   public:
    explicit Processing(Instrument& instrument)
        : instrument_(instrument), outer_(instrument.processingThread_.load(std::memory_order_relaxed)) {
      instrument_.processingThread_.store(std::this_thread::get_id(), std::memory_order_relaxed);
    }
    ~Processing() { instrument_.processingThread_.store(outer_, std::memory_order_relaxed); }
    Processing(const Processing&) = delete;
    Processing& operator=(const Processing&) = delete;

   private:
    Instrument& instrument_;
    std::thread::id outer_;
  };
  // Messages raised on the audio thread wait for a call on another thread.
  bool messagesWaiting() const { return !waiting_.empty(); }
  void showWaitingMessages() { waiting_.showWaiting(); }

 private:
  float currentValue(int index) const { return bank_.currentValue(program_, index); }
  void loadDefaultBank();
  void readLearnMap();
  void writeLearnMap();
  void handleMidiEvent(const MidiEvent& event);
  void handleController(const MidiEvent& event, int controller, float value);
  void choosePcm(int voice, float value);
  // The one road for this instrument's messages: kept on the audio thread, shown elsewhere.
  void tell(std::string_view text, std::string_view caption);

  InstrumentHost& host_;
  BankImage bank_;
  Engine engine_;
  std::shared_ptr<SampleCache> samples_ = SampleCache::acquire();
  MessageQueue waiting_;  // raised on the audio thread, not shown yet
  std::atomic<int> program_{0};
  // The thread inside render, if any.
  std::atomic<std::thread::id> processingThread_{};
  std::atomic<unsigned> menuOrder_{0};  // orders concurrent sample choices (choosePcm)
  std::atomic<bool> busy_{false};
  std::atomic<std::thread::id> applyingThread_{};  // the thread inside setProgram's apply, if any
  std::mutex programMutex_;                          // setProgram's turns, off the audio thread
  LearnHook* learnHook_ = nullptr;
  // What saveChunk last handed out, of each kind; the mutex also keeps a chunk
  // being taken apart from one being loaded (off the audio thread). Recursive:
  // a host may ask for a chunk from the callback a chunk load makes.
  std::recursive_mutex chunkMutex_;
  std::array<unsigned char, BankImage::kSize> bankChunk_{};
  std::array<unsigned char, BankImage::kProgramRecordSize> presetChunk_{};
  bool readsLearnMap_ = false;                // the first live instance reads the learn map
};

}  // namespace zvx
