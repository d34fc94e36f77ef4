// The plug-in object a VST 2.4 host drives: the parameter set and its one
// setter, the programs, the MIDI intake and the engine.
//
// Threads: the host's GUI thread constructs and destroys it and calls the
// program, chunk and string operations; its audio thread calls processEvents
// and processReplacing (and, through learned controllers, setParameter).
#pragma once

#include <array>
#include <atomic>
#include <memory>
#include <mutex>
#include <string_view>
#include <thread>
#include <vector>

#include "engine/Engine.h"
#include "engine/EngineHost.h"
#include "host/vst/AudioEffectX.h"
#include "plugin/BankImage.h"
#include "plugin/LearnMap.h"
#include "plugin/MessageQueue.h"
#include "plugin/SampleCache.h"

namespace zvx {

class DrumPlugin : public AudioEffectX, private EngineHost {
 public:
  // Makes the plug-in's editor; the module's entry point passes the
  // instrument editor, other users may go without one.
  using EditorFactory = AEffEditor* (*)(DrumPlugin& plugin);

  static constexpr int kNumPrograms = BankImage::kPrograms;
  static constexpr VstInt32 kUniqueId = fourCharCode("996d");
  static constexpr const char* kVendor = "zvx.audio";

  explicit DrumPlugin(audioMasterCallback audioMaster, EditorFactory makeEditor = nullptr);
  ~DrumPlugin() override;

  // Shows the messages kept from the audio thread first, off that thread.
  VstIntPtr dispatcher(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt) override;

  void suspend() override {}
  void setSampleRate(float rate) override;
  void setBlockSize(VstInt32 size) override { blockSize = size; }
  void processReplacing(float** inputs, float** outputs, VstInt32 sampleFrames) override;

  void setParameter(VstInt32 index, float value) override;
  float getParameter(VstInt32 index) override;
  void getParameterLabel(VstInt32 index, char* label) override;
  void getParameterDisplay(VstInt32 index, char* text) override;
  void getParameterName(VstInt32 index, char* text) override;

  void setProgram(VstInt32 program) override;
  void setProgramName(char* name) override;
  void getProgramName(char* name) override;
  bool getProgramNameIndexed(VstInt32 category, VstInt32 index, char* text) override;
  bool copyProgram(VstInt32 destination) override;
  VstInt32 getChunk(void** data, bool isPreset) override;
  VstInt32 setChunk(void* data, VstInt32 byteSize, bool isPreset) override;

  bool getOutputProperties(VstInt32 index, VstPinProperties* properties) override;
  VstInt32 getNumMidiInputChannels() override { return 1; }
  VstInt32 getNumMidiOutputChannels() override { return 0; }
  VstInt32 processEvents(VstEvents* events) override;
  bool getEffectName(char* name) override;
  bool getVendorString(char* text) override;
  bool getProductString(char* text) override;
  VstInt32 getVendorVersion() override { return 1; }
  VstIntPtr vendorSpecific(VstInt32 lArg, VstIntPtr lArg2, void* ptrArg, float floatArg) override;
  VstInt32 canDo(char* text) override;

  // Delivers the pending MIDI events due at `frame` (1-based); audio thread.
  void dispatchEvents(int frame) override;
  int nextEventFrame(int frame) const override;
  // Called at the end of setProgram; nothing to do here.
  virtual void programApplied() {}

  // The value of a parameter in the current program (index 0 to 82).
  float currentValue(int index) const { return bank_.currentValue(curProgram, index); }

  // The editor's MIDI-learn hook; set once by the editor, before any audio.
  void setLearnHook(LearnHook* hook) { learnHook_ = hook; }
  // Any thread: the trigger indicators of the four voices, for the editor's lights.
  bool triggerIndicator(int voice) const { return engine_.triggerIndicator(voice); }
  void clearTriggerIndicator(int voice) { engine_.clearTriggerIndicator(voice); }

 private:
  double querySampleRate() override { return updateSampleRate(); }
  void loadDefaultBank();
  void readLearnMap();
  void writeLearnMap();
  void handleMidiEvent(const VstMidiEvent& event);
  void choosePcm(int voice, float value);
  bool onAudioThread();
  // The one road for this plug-in's messages: kept on the audio thread, shown elsewhere.
  void tell(std::string_view text, std::string_view caption);
  // Marks the calling thread as inside processReplacing or processEvents while alive.
  class Processing {
   public:
    explicit Processing(DrumPlugin& plugin) : plugin_(plugin) {
      plugin_.processingThread_.store(std::this_thread::get_id(), std::memory_order_relaxed);
    }
    ~Processing() { plugin_.processingThread_.store(std::thread::id(), std::memory_order_relaxed); }
    Processing(const Processing&) = delete;
    Processing& operator=(const Processing&) = delete;

   private:
    DrumPlugin& plugin_;
  };
  void handleController(const VstMidiEvent& event, int controller, float value);

  BankImage bank_;
  Engine engine_;
  std::shared_ptr<SampleCache> samples_ = SampleCache::acquire();
  MessageQueue waiting_;  // raised on the audio thread, not shown yet
  // The thread inside processReplacing or processEvents, if any.
  std::atomic<std::thread::id> processingThread_{};
  std::atomic<unsigned> menuOrder_{0};  // orders concurrent sample choices (choosePcm)
  std::atomic<bool> busy_{false};
  std::atomic<std::thread::id> applyingThread_{};  // the thread inside setProgram's apply, if any
  std::mutex programMutex_;                          // setProgram's turns, off the audio thread
  LearnHook* learnHook_ = nullptr;
  // What getChunk last handed out, of each kind; the mutex also keeps a chunk
  // being taken apart from one being loaded (off the audio thread). Recursive:
  // a host may ask for a chunk from the callback a chunk load makes.
  std::recursive_mutex chunkMutex_;
  std::array<unsigned char, BankImage::kSize> bankChunk_{};
  std::array<unsigned char, BankImage::kProgramRecordSize> presetChunk_{};
  bool readsLearnMap_ = false;          // the first live instance reads the learn map
  VstEvents* pendingEvents_ = nullptr;  // audio thread
  int nextEvent_ = -1;                  // audio thread
};

}  // namespace zvx
