// Helpers shared by the tests: the built module, temporary folders, files, and
// the messages the module writes to standard error or this process shows.
// It brings GoogleTest and the standard headers the tests have in common, so
// a test includes only what is particular to it.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <ostream>
#include <set>
#include <string>
#include <thread>
#include <tuple>
#include <utility>
#include <vector>

#include "tests/support/RiffBuilder.h"
#include "vsthost/VstHost.h"

namespace zvx::test {

namespace fs = std::filesystem;
using Bytes = std::vector<unsigned char>;
using vsthost::midiEvent;

// A module of the build, loaded for the whole process; the test run ends when it cannot be.
std::unique_ptr<vsthost::Module> loadModuleOrAbort(const char* path);
// The ZVX module built by this tree.
const vsthost::Module& zvxModule();

// A fresh plug-in from the ZVX module; the test run ends when none is created.
std::unique_ptr<vsthost::Plugin> createZvx(const vsthost::HostConfig& config = {});

// Whole files read (empty when unreadable) and written.
std::vector<unsigned char> readBytes(const std::filesystem::path& path);
std::string readText(const std::filesystem::path& path);
void writeBytes(const std::filesystem::path& path, const std::vector<unsigned char>& bytes);

// Sets an environment variable (unsets it for null) for the life of the object.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value);
  ~ScopedEnv();
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  std::string name_;
  std::optional<std::string> previous_;
};

// A fresh temporary folder, removed with its contents at the end; named by the
// environment variable `variable`, when given, for the life of the object.
class TempFolder {
 public:
  explicit TempFolder(const char* variable = nullptr);
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
  std::optional<ScopedEnv> variable_;
};

// A temporary documents folder named by ZVX_DOCUMENTS for the life of the object.
class TempDocuments {
 public:
  // With samples: a data folder as installed, holding a minimal skin and the
  // eight sample files (BDA.wav ... CPB.wav), each a different slow ramp of
  // 20000 samples (rising for BDA, falling for CPB), so tests can tell which
  // file a voice plays and where.
  explicit TempDocuments(bool withSamples = true);

  const std::filesystem::path& documents() const { return folder_.path(); }
  // <documents>/Tonewerk Data/ZVX
  std::filesystem::path dataFolder() const { return documents() / "Tonewerk Data" / "ZVX"; }
  // Creates the data folder and writes a file into it.
  void writeFile(const std::string& name, const std::vector<unsigned char>& bytes) const;
  // Copies the default skin, sound wizard and bank from the build's data
  // folder (`built`) into the data folder; the test samples stay.
  void installDefaultData(const std::filesystem::path& built) const;

 private:
  TempFolder folder_{"ZVX_DOCUMENTS"};
};

// One message as the module reports it on standard error.
struct ShownMessage {
  std::string icon;
  std::string caption;
  std::string text;
  bool operator==(const ShownMessage&) const = default;
};
inline void PrintTo(const ShownMessage& m, std::ostream* os) {
  *os << "[" << m.icon << "] \"" << m.caption << "\": " << m.text;
}

// Captures standard error while alive; messages() parses the module's lines.
class MessageCapture {
 public:
  MessageCapture();
  ~MessageCapture();
  std::vector<ShownMessage> messages();
  // Everything written to standard error, whole (messages of several lines too).
  const std::string& output();

 private:
  bool capturing_ = true;
  std::string captured_;
};

// Records the messages shown by the code linked into this program (not the
// module's) while alive; take() answers those since the last take().
class MessageLog {
 public:
  MessageLog();
  ~MessageLog();
  MessageLog(const MessageLog&) = delete;
  MessageLog& operator=(const MessageLog&) = delete;
  std::vector<ShownMessage> take();

 private:
  std::mutex mutex_;
  std::vector<ShownMessage> messages_;
};

// What a program wrote, and its exit code (128 + the signal when killed).
struct ProgramRun {
  int exitCode = -1;
  std::string out;
  std::string err;
};

// A program started in `folder` and left running, its output kept in files
// there; killed on destruction if it still runs.
class RunningProgram {
 public:
  RunningProgram(const std::string& path, const std::vector<std::string>& arguments,
                 const std::filesystem::path& folder);
  ~RunningProgram();
  RunningProgram(const RunningProgram&) = delete;
  RunningProgram& operator=(const RunningProgram&) = delete;

  bool started() const { return pid_ > 0; }
  int pid() const { return pid_; }
  // What it wrote so far.
  std::string out() const;
  std::string err() const;
  // Waits until its standard output holds `text` (true), or it ends or the time passes (false).
  bool waitForOutput(const std::string& text, std::chrono::milliseconds timeout);
  void signal(int number);
  // Waits for its end.
  ProgramRun wait();

 private:
  // Whether it ended (waiting for that with `block`); keeps the exit code.
  bool reap(bool block);

  std::filesystem::path outPath_, errPath_;
  int pid_ = -1;
  bool ended_ = false;
  int exitCode_ = -1;
};
// A program run to its end without a shell, in `folder`.
inline ProgramRun runProgram(const std::string& path, const std::vector<std::string>& arguments, const fs::path& folder) {
  return RunningProgram(path, arguments, folder).wait();
}
std::vector<std::string> linesOf(const std::string& text);

// A locale with a decimal comma, "de_DE.UTF-8", for this process and the programs it starts: the
// system's, else one built with localedef into a folder of this process's own, which LOCPATH names from
// then on; empty when neither can be had.
std::string decimalCommaLocale();

// Presets and banks of parameter values ('FxCk', 'FxBk') written word by word
// here rather than by the code under test.
struct HandProgram {
  std::string name;
  std::vector<float> values;
};
std::vector<unsigned char> regularPreset(std::int32_t id, const HandProgram& program);
// Format 2 with the current program when `current` is given, else format 1.
std::vector<unsigned char> regularBank(std::int32_t id, const std::vector<HandProgram>& programs, int current = -1);

// Samples of one output channel.
using Channel = std::vector<float>;

// MIDI events at absolute sample positions (the render splits them into blocks).
inline VstMidiEvent noteOn(int at, int note, int velocity = 127, int ch = 0) { return midiEvent(at, 0x90 | ch, note, velocity); }
inline VstMidiEvent noteOff(int at, int note, int velocity = 0, int ch = 0) { return midiEvent(at, 0x80 | ch, note, velocity); }
inline VstMidiEvent controller(int at, int number, int value, int ch = 0) { return midiEvent(at, 0xB0 | ch, number, value); }

// Parameter settings applied right after construction, by index.
using Settings = std::vector<std::pair<int, float>>;

// A fresh ZVX, started, with `settings` applied.
std::unique_ptr<vsthost::Plugin> startZvx(const Settings& settings = {}, const vsthost::HostConfig& config = {},
                                           int blockSize = 512);

// Renders a fresh ZVX instance: settings, then `frames` samples with `events`.
inline std::vector<Channel> renderZvx(const Settings& settings, const std::vector<VstMidiEvent>& events, int frames,
                                      int blockSize = 512, const vsthost::HostConfig& config = {}) {
  return startZvx(settings, config, blockSize)->render(frames, blockSize, events);
}

// Frequency in Hz of a periodic signal between two samples, from the span of
// its rising zero crossings.
double frequencyOf(const Channel& channel, std::size_t from, std::size_t to, double sampleRate = 44100.0);

// The plug-in's bank (index 0) or program (index 1) chunk, taken and given (a copy, as hosts keep their own).
std::vector<unsigned char> chunkOf(vsthost::Plugin& plugin, int index);
inline VstIntPtr setChunk(vsthost::Plugin& plugin, std::vector<unsigned char> chunk, int index) {
  return plugin.dispatch(effSetChunk, index, static_cast<VstIntPtr>(chunk.size()), chunk.data());
}
// A MIDI-learn map file: (parameter, controller) bindings, -1 elsewhere, cut to `size` bytes.
std::vector<unsigned char> learnMapFile(const std::vector<std::pair<int, int>>& bindings, std::size_t size = 332);
// How long stress tests run: ZVX_STRESS_SECONDS (the sanitizer job's), else 2 s.
std::chrono::seconds stressDuration();

// The same channels, sample for sample, bit for bit.
bool sameBits(const std::vector<Channel>& a, const std::vector<Channel>& b);

float peak(const Channel& channel, std::size_t from = 0, std::size_t to = SIZE_MAX);
// Index of the first sample whose magnitude exceeds `threshold`, or -1.
long firstAbove(const Channel& channel, float threshold = 0.0f);

}  // namespace zvx::test
