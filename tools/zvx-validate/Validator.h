// zvx-validate: what every check group shares. A group runs in a child
// process of its own; it reports one line per check on standard output
// ("PASS id what", "FAIL id what: why", "SKIP id what: why"), counts as
// "COUNT name n" and notes as "NOTE text", and announces each check with
// "BEGIN id" so a crash can be pinned on the check that was running.
#pragma once

#include <cstdint>
#include <memory>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "vsthost/VstHost.h"

namespace zvx::validate {

// What the module is expected to answer beyond what every VST 2.4
// instrument must. A generic profile checks only the general rules.
struct Profile {
  std::string name = "generic";
  bool exact = false;
  VstInt32 flags = 0;
  VstInt32 numInputs = 0, numOutputs = 0, numParams = 0, numPrograms = 0;
  VstInt32 uniqueId = 0, version = 0, category = kPlugCategSynth;
  VstInt32 vendorVersion = 0;
  std::string effectName, productString;
  // canDo answers for the named strings, and for every other one.
  std::vector<std::pair<std::string, VstInt32>> canDo;
  VstInt32 canDoOther = 0;
  VstInt32 midiInputs = 0, midiOutputs = 0;
  // Output pins: label and flags of each.
  std::vector<std::string> pinLabels;
  std::vector<VstInt32> pinFlags;
  // Parameters that change nothing: not automatable, so hosts hide them.
  std::vector<int> unusedParameters;
  // How many parameters are switches and integer menus, every one described.
  int switches = 0, integerMenus = 0;
  // MIDI keys named (effGetMidiKeyName), and one that is not.
  std::vector<int> namedKeys;
  int unnamedKey = -1;
  // The entry point gives no plug-in to a host that answers version 0.
  bool nullForOldHost = false;
  // Chunks: a bank of any size but its own, and a preset longer than its
  // own, are refused (state unchanged).
  bool chunkSizesExact = false;
};

Profile zvxProfile();

// One line per check; a check fails when any expectation fails.
class Check {
 public:
  Check(std::string id, std::string what);
  ~Check();
  Check(const Check&) = delete;
  Check& operator=(const Check&) = delete;

  // Records a failure (the first few reasons are printed); returns `ok`.
  bool expect(bool ok, const std::string& why);
  void fail(const std::string& why) { expect(false, why); }
  void skip(const std::string& why);
  void detail(const std::string& text) { detail_ = text; }
  bool failed() const { return failures_ > 0; }

 private:
  std::string id_, what_, detail_;
  std::vector<std::string> reasons_;
  int failures_ = 0;
  bool skipped_ = false;
  std::string skipReason_;
};

void count(const std::string& name, long long value);
void note(const std::string& text);

// Output buffers with a NaN sentinel in every sample to be written and
// guard samples after them, for checking what processReplacing wrote.
class Outputs {
 public:
  static constexpr int kGuard = 64;
  Outputs(int channels, int capacity);
  // Sentinel in [0, frames), guard pattern from frames to the end.
  void arm(int frames);
  // Empty when all is well, else what is wrong (first problem).
  std::string verify(int frames) const;
  float** pointers() { return pointers_.data(); }
  const float* channel(int c) const { return buffers_[static_cast<std::size_t>(c)].data(); }
  int channels() const { return static_cast<int>(buffers_.size()); }
  int capacity() const { return capacity_; }

 private:
  int capacity_;
  std::vector<std::vector<float>> buffers_;
  std::vector<float*> pointers_;
};

// Everything a group needs: the module, the profile, a seeded generator.
class Session {
 public:
  Session(std::string modulePath, std::string profile, std::uint32_t seed);
  bool ok() const { return module_ != nullptr; }
  const std::string& error() const { return error_; }
  const std::string& path() const { return path_; }
  const vsthost::Module& module() const { return *module_; }
  const Profile& profile() const { return profile_; }
  std::mt19937& random() { return random_; }
  // Lets the module go (for unload checks) and loads it again.
  void unload() { module_.reset(); }
  bool reload();
  std::uint32_t seed() const { return seed_; }

  // A fresh plug-in; null (with `error`) when the entry point gives none.
  std::unique_ptr<vsthost::Plugin> create(const vsthost::HostConfig& config = {});
  // Created, opened and resumed at a rate and block size.
  std::unique_ptr<vsthost::Plugin> started(float rate = 44100.0f, int blockSize = 512,
                                            const vsthost::HostConfig& config = {});

 private:
  std::string path_;
  std::unique_ptr<vsthost::Module> module_;
  std::string error_;
  Profile profile_;
  std::uint32_t seed_;
  std::mt19937 random_;
};

// A block of events kept valid for the next process call, with sysex
// storage of its own.
class EventList {
 public:
  void clear();
  void add(const VstMidiEvent& event);
  void addRaw(const VstEvent& event);
  void addSysex(int deltaFrames, int bytes);
  std::size_t size() const { return pointers_.size(); }
  // The VstEvents block; pointers stay valid until the next change.
  VstEvents* block();

 private:
  std::vector<VstEvent> events_;
  std::vector<VstMidiSysexEvent> sysex_;
  std::vector<std::vector<char>> dumps_;
  std::vector<VstEvent*> pointers_;
  std::vector<unsigned char> storage_;
  std::vector<int> kinds_;  // 0 event, 1 sysex, 2 null
};

// Sends the list (when not empty) and renders `frames` into `out`, armed and
// verified; returns what was wrong, or empty.
std::string processBlock(vsthost::Plugin& plugin, Outputs& out, int frames, EventList* events = nullptr);

// A string opcode answered into a buffer of `size` bytes followed by canary
// bytes: empty when terminated within the buffer with canaries intact.
struct StringAnswer {
  VstIntPtr result = 0;
  std::string text;
  std::string problem;
};
StringAnswer askString(vsthost::Plugin& plugin, VstInt32 opcode, VstInt32 index, std::size_t size,
                       VstIntPtr value = 0);
bool validUtf8(const std::string& text);

// Every parameter as the host sees it.
std::vector<float> parameterValues(vsthost::Plugin& plugin);
// The bank (0) or program (1) chunk, copied; empty when none is given.
std::vector<unsigned char> chunkOf(vsthost::Plugin& plugin, int index);

std::string describeFloat(float value);

// The groups.
void runLoadChecks(Session& session);       // A
void runMetadataChecks(Session& session);   // B
void runLifecycleChecks(Session& session);  // C
void runAudioChecks(Session& session);      // D
void runRealtimeChecks(Session& session);   // E
void runThreadingChecks(Session& session);  // F
void runStateChecks(Session& session);      // G
void runEditorChecks(Session& session);     // H

}  // namespace zvx::validate
