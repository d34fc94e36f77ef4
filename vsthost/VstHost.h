// A small in-process VST 2.4 host: loads a module, creates plug-ins through its
// entry point with a callback of its own, and drives them through the
// dispatcher only. Shared by the tests, zvx-render and zvx-validate.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "formats/vst2/VstAbi.h"

namespace zvx::vsthost {

// A loaded module (.so / .dll) and its entry point.
class Module {
 public:
  // Null with `error` set when the file cannot be loaded or has no VST entry.
  static std::unique_ptr<Module> load(const std::string& path, std::string& error);
  ~Module();
  Module(const Module&) = delete;
  Module& operator=(const Module&) = delete;

  VstPluginMainProc entry() const { return entry_; }
  const std::string& path() const { return path_; }

 private:
  Module(void* handle, VstPluginMainProc entry, std::string path)
      : handle_(handle), entry_(entry), path_(std::move(path)) {}
  void* handle_;
  VstPluginMainProc entry_;
  std::string path_;
};

// What the host answers to the plug-in's questions.
struct HostConfig {
  VstIntPtr version = kVstVersion;
  VstIntPtr sampleRate = 44100;  // answer to audioMasterGetSampleRate (0 = don't know)
  VstIntPtr blockSize = 512;
  VstIntPtr updateDisplayAnswer = 1;
  // Sees every callback before the host answers it, on the calling thread;
  // its value, when it gives one, is the answer (hosts that call back into
  // the plug-in from a callback are made this way).
  std::function<std::optional<VstIntPtr>(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value,
                                         void* ptr, float opt)>
      intercept;
};

// Builds a MIDI event of one complete message.
VstMidiEvent midiEvent(int deltaFrames, int status, int data1, int data2);

// A MIDI event at a sample counted from the start of a render.
struct TimedMidiEvent {
  std::int64_t frame;
  VstMidiEvent event;
};

// Takes one rendered block: its outputs, its first sample counted from the
// start, its length. False stops the render.
using BlockSink = std::function<bool(const std::vector<float*>& outputs, std::int64_t start, int length)>;

class Plugin {
 public:
  // Null with `error` set when the entry point gives no plug-in.
  static std::unique_ptr<Plugin> create(const Module& module, const HostConfig& config, std::string& error);
  // The same for an entry point linked into this program (`name` for messages).
  static std::unique_ptr<Plugin> create(VstPluginMainProc entry, const std::string& name, const HostConfig& config,
                                        std::string& error);
  // Closes the plug-in (effClose), unless it was closed already.
  ~Plugin();
  Plugin(const Plugin&) = delete;
  Plugin& operator=(const Plugin&) = delete;

  AEffect* effect() const { return effect_; }
  HostConfig& config() { return config_; }

  VstIntPtr dispatch(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0, void* ptr = nullptr, float opt = 0.0f);
  // effClose now; the plug-in object is gone afterwards.
  void close();

  // Typical start: effOpen, rate, block size, resume.
  void start(float sampleRate = 44100.0f, int blockSize = 512);

  void setParameter(int index, float value);
  float getParameter(int index);
  std::string parameterName(int index);
  std::string parameterDisplay(int index);
  std::string parameterLabel(int index);
  std::string programName();
  std::string programNameIndexed(int index, bool* ok = nullptr);
  std::string effectName();
  std::string vendorString();
  std::string productString();
  VstInt32 canDo(const char* text);

  // Hands a block of events to the plug-in; kept valid until the next call.
  void sendEvents(const std::vector<VstMidiEvent>& events);
  // Hands an arbitrary event list (e.g. with a sysex event) to the plug-in.
  void sendRawEvents(const std::vector<VstEvent*>& events);

  // Renders into caller buffers, one pointer per output.
  void processReplacing(float** outputs, int frames);
  // Plays `frames` samples in blocks of `blockSize`, each event (in time
  // order; simultaneous ones as given) sent with the block holding its
  // sample, at its offset there; every block's outputs, cleared before the
  // plug-in writes them, go to `take`. False when `take` stopped it.
  bool play(std::int64_t frames, int blockSize, std::vector<TimedMidiEvent> events, const BlockSink& take);
  // Renders `frames` samples per output into fresh buffers, in blocks of
  // `blockSize`; each event's deltaFrames counts from the start.
  std::vector<std::vector<float>> render(int frames, int blockSize = 512,
                                         const std::vector<VstMidiEvent>& events = {});

 private:
  explicit Plugin(const HostConfig& config) : config_(config) {}
  static VstIntPtr VSTCALLBACK hostCallback(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value,
                                            void* ptr, float opt);
  VstIntPtr answer(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt);
  std::string readString(VstInt32 opcode, VstInt32 index, std::size_t capacity);

  HostConfig config_;
  AEffect* effect_ = nullptr;
  std::vector<VstMidiEvent> eventStorage_;
  std::vector<unsigned char> eventBlock_;
};

}  // namespace zvx::vsthost
