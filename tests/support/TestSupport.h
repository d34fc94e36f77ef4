// Helpers shared by the tests: the built module, temporary documents folders,
// and the messages the module writes to standard error.
#pragma once

#include <cstdint>
#include <filesystem>
#include <ostream>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/RiffBuilder.h"
#include "tools/testhost/VstHost.h"

namespace zvx::test {

// The ZVX module built by this tree, loaded once per test program.
const testhost::Module& zvxModule();

// A fresh plug-in from the ZVX module; fails the test when none is created.
std::unique_ptr<testhost::Plugin> createZvx(const testhost::HostConfig& config = {});

// The sample of the test set at `index` in file `file` (0 to 7): each file is a
// different slow ramp, so tests can tell which file a voice plays and where.
std::int16_t testSample(int file, int index);
constexpr int kTestSampleLength = 20000;

// A temporary documents folder named by ZVX_DOCUMENTS for the life of the object.
// It holds the data folder with the eight test sample files unless asked not to.
class TempDocuments {
 public:
  // With samples: a data folder as installed, holding the eight test
  // samples and a minimal skin.
  explicit TempDocuments(bool withSamples = true);
  ~TempDocuments();
  TempDocuments(const TempDocuments&) = delete;
  TempDocuments& operator=(const TempDocuments&) = delete;

  const std::filesystem::path& documents() const { return documents_; }
  // <documents>/Tonewerk Data/ZVX
  std::filesystem::path dataFolder() const { return documents_ / "Tonewerk Data" / "ZVX"; }
  // Creates the data folder and writes a file into it.
  void writeFile(const std::string& name, const std::vector<unsigned char>& bytes) const;
  // Writes the eight test sample files (BDA.wav ... CPB.wav) into the data folder.
  void writeTestSamples() const;
  // Writes a skin of just an (absent) background into the data folder.
  void writeTestSkin() const;
  // Copies the default skin, sound wizard and bank from the build's data
  // folder (`built`) into the data folder; the test samples stay.
  void installDefaultData(const std::filesystem::path& built) const;

 private:
  std::filesystem::path documents_;
  std::string previous_;
  bool hadPrevious_ = false;
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

 private:
  bool capturing_ = true;
  std::string captured_;
};

// A program run to its end without a shell, in `folder`, with what it wrote.
struct ProgramRun {
  int exitCode = -1;
  std::string out;
  std::string err;
};
ProgramRun runProgram(const std::string& path, const std::vector<std::string>& arguments,
                      const std::filesystem::path& folder);
std::vector<std::string> linesOf(const std::string& text);

// Samples of one output channel.
using Channel = std::vector<float>;

// MIDI events at absolute sample positions (the render splits them into blocks).
VstMidiEvent noteOn(int position, int note, int velocity = 127, int channel = 0);
VstMidiEvent noteOff(int position, int note, int velocity = 0, int channel = 0);
VstMidiEvent controller(int position, int number, int value, int channel = 0);

// Parameter settings applied right after construction, by index.
using Settings = std::vector<std::pair<int, float>>;

// Renders a fresh ZVX instance: settings, then `frames` samples with `events`.
std::vector<Channel> renderZvx(const Settings& settings, const std::vector<VstMidiEvent>& events, int frames,
                               int blockSize = 512, const testhost::HostConfig& config = {});

// Frequency in Hz of a periodic signal between two samples, from the span of
// its rising zero crossings.
double frequencyOf(const Channel& channel, std::size_t from, std::size_t to, double sampleRate = 44100.0);

float peak(const Channel& channel, std::size_t from = 0, std::size_t to = SIZE_MAX);
// Index of the first sample whose magnitude exceeds `threshold`, or -1.
long firstAbove(const Channel& channel, float threshold = 0.0f);

}  // namespace zvx::test
