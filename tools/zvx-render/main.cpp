// zvx-render: a command-line VST 2.4 host that plays a MIDI file (or the demo
// groove) through an instrument and writes the result to a sound file.
#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "storage/WholeFile.h"
#include "tools/zvx-render/DemoPattern.h"
#include "tools/zvx-render/MidiFile.h"
#include "tools/zvx-render/PrintableText.h"
#include "tools/zvx-render/ProgramFiles.h"
#include "tools/zvx-render/RenderOptions.h"
#include "tools/zvx-render/SoundFileWriter.h"
#include "vsthost/ModuleLocator.h"
#include "vsthost/VstHost.h"

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#define WIN32_LEAN_AND_MEAN
#include <io.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

#ifndef ZVX_DEFAULT_MODULE
#define ZVX_DEFAULT_MODULE ""
#endif

namespace zvx::render {
namespace {

constexpr int kFailure = 1;
constexpr int kUsage = 2;
// Longer renders report progress on standard error.
constexpr double kProgressAfterSeconds = 10.0;
// A sanity limit: a stray tick count in a file should not start a week-long render.
constexpr double kMaxSeconds = 24.0 * 3600.0;
// Without --tail or --length a render goes on until every output has stayed
// below -90 dBFS for 100 ms after the last event, so no sound is cut off; but
// not past a minute after it, for an instrument that never falls silent.
constexpr float kSilence = 3.1623e-5f;
constexpr double kQuietSeconds = 0.1;
constexpr double kMaxTailSeconds = 60.0;

#ifdef _WIN32
bool stderrIsTerminal() { return _isatty(_fileno(stderr)); }
void setEnvironmentDefault(const char* name, const char* value) {
  if (!std::getenv(name)) _putenv_s(name, value);
}
#else
bool stderrIsTerminal() { return isatty(fileno(stderr)); }
void setEnvironmentDefault(const char* name, const char* value) { setenv(name, value, 0); }
#endif

int fail(const std::string& message) {
  std::fprintf(stderr, "zvx-render: %s\n", message.c_str());
  return kFailure;
}

std::string trimmedLower(std::string text) {
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) text.pop_back();
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

// The parameter index a setting names; names are compared trimmed and without case.
bool resolveParameter(vsthost::Plugin& plugin, const ParameterSetting& setting, int& index, std::string& error) {
  const int count = plugin.effect()->numParams;
  if (setting.index >= 0) {
    if (setting.index >= count) {
      error = "--set: parameter index " + std::to_string(setting.index) + " out of range (the plug-in has " +
              std::to_string(count) + ")";
      return false;
    }
    index = setting.index;
    return true;
  }
  const std::string wanted = trimmedLower(setting.name);
  std::vector<int> matches;
  for (int p = 0; p < count; ++p)
    if (trimmedLower(plugin.parameterName(p)) == wanted) matches.push_back(p);
  if (matches.empty()) {
    error = "--set: unknown parameter '" + setting.name + "' (--list-params lists them)";
    return false;
  }
  if (matches.size() > 1) {
    std::string indices;
    for (int p : matches) indices += (indices.empty() ? "" : ", ") + std::to_string(p);
    error = "--set: '" + setting.name + "' names several parameters (" + indices + "); give an index";
    return false;
  }
  index = matches.front();
  return true;
}

std::string decibels(float peak) {
  if (peak <= 0.0f) return "-inf";
  char text[32];
  std::snprintf(text, sizeof text, "%.1f", 20.0 * std::log10(static_cast<double>(peak)));
  return text;
}

// Percent done on standard error: in place on a terminal, a few lines otherwise.
class Progress {
 public:
  Progress(bool enabled, std::int64_t total) : enabled_(enabled), total_(total), terminal_(stderrIsTerminal()) {}

  void update(std::int64_t done) {
    if (!enabled_ || total_ <= 0) return;
    const int percent = static_cast<int>(done * 100 / total_);
    if (terminal_) {
      if (percent == shown_) return;
      std::fprintf(stderr, "\rzvx-render: rendering %3d%%", percent);
      if (percent == 100) std::fputc('\n', stderr);
    } else {
      if (percent / 25 == shown_ / 25) return;
      std::fprintf(stderr, "zvx-render: rendering %d%%\n", percent / 25 * 25);
    }
    std::fflush(stderr);
    shown_ = percent;
  }

 private:
  bool enabled_;
  std::int64_t total_;
  bool terminal_;
  int shown_ = 0;
};

// "N  NAME" for every program of the bank in use, named by the plug-in.
void listPrograms(vsthost::Plugin& plugin) {
  const int count = plugin.effect()->numPrograms;
  const VstIntPtr current = plugin.dispatch(effGetProgram);
  bool visited = false;
  for (int p = 0; p < count; ++p) {
    bool named = false;
    std::string name = plugin.programNameIndexed(p, &named);
    if (!named) {
      // A plug-in without names by index names its current program only.
      plugin.dispatch(effSetProgram, 0, p);
      name = plugin.programName();
      visited = true;
    }
    std::printf("%3d  %s\n", p, printableText(name).c_str());
  }
  if (visited) plugin.dispatch(effSetProgram, 0, current);
}

// "INDEX  NAME  VALUE  DISPLAY LABEL" for every parameter of the current program.
void listParameters(vsthost::Plugin& plugin) {
  const int count = plugin.effect()->numParams;
  for (int p = 0; p < count; ++p) {
    std::string name = plugin.parameterName(p);
    while (!name.empty() && name.back() == ' ') name.pop_back();
    std::string shown = plugin.parameterDisplay(p);
    if (const std::string label = plugin.parameterLabel(p); !label.empty()) shown += " " + label;
    std::printf("%3d  %-16s %.4f  %s\n", p, printableText(name).c_str(), static_cast<double>(plugin.getParameter(p)),
                printableText(shown).c_str());
  }
}

int writeDemo(const std::string& path) {
  const std::vector<std::uint8_t> bytes = DemoPattern::midiFile();
  std::ofstream file(path, std::ios::binary);
  file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  file.close();
  if (!file) return fail("cannot write " + path);
  std::printf("%s: the demo groove as a MIDI file\n", path.c_str());
  return 0;
}

// A bank is saved whole or not at all: a full disk leaves the old file.
bool writeBytes(const std::string& path, const std::vector<unsigned char>& bytes) {
  return saveWholeFile(path, bytes.data(), bytes.size());
}

// Bank, program, preset, then single values: each later step refines the
// earlier ones, so the preset lands in the program that is then played.
// Answers 0, kFailure for a file that does not load, or kUsage for a command
// line naming a program or parameter the instrument does not have (what only
// the loaded instrument can tell, but a mistake of the command line all the same).
int prepare(vsthost::Plugin& plugin, const RenderOptions& options, const std::optional<FxbFile::Contents>& bank,
            const std::optional<FxbFile::Contents>& preset, std::string& error) {
  if (bank && !loadBank(plugin, *bank, error)) {
    error = "cannot load bank " + options.bankPath + ": " + error;
    return kFailure;
  }
  if (options.program) {
    const int programs = plugin.effect()->numPrograms;
    if (*options.program >= programs) {
      error = "--program " + std::to_string(*options.program) + ": the plug-in has " + std::to_string(programs) +
              " program" + (programs == 1 ? "" : "s");
      return kUsage;
    }
    plugin.dispatch(effSetProgram, 0, *options.program);
  }
  if (preset && !loadPreset(plugin, *preset, error)) {
    error = "cannot load preset " + options.presetPath + ": " + error;
    return kFailure;
  }
  for (const ParameterSetting& setting : options.settings) {
    int index = 0;
    if (!resolveParameter(plugin, setting, index, error)) return kUsage;
    plugin.setParameter(index, setting.value);
  }
  return 0;
}

// The song's messages at the render's rate: the MIDI file's, or the demo groove's.
bool readSong(const RenderOptions& options, std::vector<MidiFile::TimedMessage>& messages, std::string& error) {
  std::optional<MidiFile> song;
  if (options.midiPath.empty()) {
    song = MidiFile::parse(DemoPattern::midiFile(), error);
    if (!song) error = "the demo groove does not parse: " + error;
  } else {
    song = MidiFile::load(options.midiPath, error);
    if (!song) error = "cannot read MIDI file " + options.midiPath + ": " + error;
  }
  if (song) messages = song->messagesAt(options.sampleRate);
  return song.has_value();
}

// How long the render lasts, in samples: exactly --length, or the last event
// and --tail; else up to the last event and the longest tail, ending sooner
// where the outputs fall silent after the last event.
struct RenderSpan {
  std::int64_t frames = 0;                // at most this many
  std::optional<std::int64_t> quietFrom;  // ends at silence from this frame on
};

bool renderSpan(const RenderOptions& options, const std::vector<MidiFile::TimedMessage>& messages, RenderSpan& span,
                std::string& error) {
  const double rate = options.sampleRate;
  const std::int64_t lastEvent = messages.empty() ? 0 : messages.back().sample;
  double seconds = options.lengthSeconds.value_or(0.0);
  if (!options.lengthSeconds)
    seconds = static_cast<double>(lastEvent) / rate + options.tailSeconds.value_or(kMaxTailSeconds);
  if (seconds > kMaxSeconds) {
    error = "the render would last " + std::to_string(std::lround(seconds)) + " s; give --length to render part of it";
    return false;
  }
  span.frames = std::llround(seconds * rate);
  // The last event is played even with no tail.
  if (!options.lengthSeconds && !messages.empty()) span.frames = std::max(span.frames, lastEvent + 1);
  if (!options.lengthSeconds && !options.tailSeconds) span.quietFrom = lastEvent;
  return true;
}

// Plays the messages through the plug-in into the sound file and reports it.
int renderToFile(vsthost::Plugin& plugin, const RenderOptions& options,
                 const std::vector<MidiFile::TimedMessage>& messages, const RenderSpan& span) {
  const int outputs = plugin.effect()->numOutputs;
  const int channels = options.allOutputs ? outputs : std::min(outputs, 2);
  std::string error;
  auto writer = SoundFileWriter::open(options.outputPath, options.format, channels, options.sampleRate, error);
  if (!writer) return fail("cannot write " + options.outputPath + ": " + error);

  std::vector<vsthost::TimedMidiEvent> events;
  for (const MidiFile::TimedMessage& message : messages)
    events.push_back({message.sample, vsthost::midiEvent(0, message.data[0], message.size > 1 ? message.data[1] : 0,
                                                          message.size > 2 ? message.data[2] : 0)});
  std::vector<float> interleaved(static_cast<std::size_t>(options.blockSize) * channels);
  std::vector<float> peaks(static_cast<std::size_t>(channels), 0.0f);
  std::int64_t notNumbers = 0, clippedSamples = 0;  // what the instrument gave, counted
  const std::int64_t quietFrames = std::llround(kQuietSeconds * options.sampleRate);
  std::int64_t heard = 0;  // just past the last sample of any output at -90 dBFS or above
  std::int64_t written = 0;
  bool writeFailed = false;
  // Until silence, the progress counts up to the last event: the tail is quick.
  const std::int64_t expected = span.quietFrom ? *span.quietFrom + 1 : span.frames;
  Progress progress(!options.quiet && static_cast<double>(expected) / options.sampleRate > kProgressAfterSeconds,
                    expected);
  plugin.play(span.frames, options.blockSize, std::move(events),
              [&](const std::vector<float*>& block, std::int64_t start, int length) {
    int keep = length;
    if (span.quietFrom) {
      for (const float* output : block)
        for (int i = length; i-- > 0;)
          if (!(std::fabs(output[i]) < kSilence)) {
            heard = std::max(heard, start + i + 1);
            break;
          }
      const std::int64_t end = std::max(heard, *span.quietFrom) + quietFrames;
      if (end < start + length) keep = static_cast<int>(end - start);
    }
    for (int c = 0; c < channels; ++c) {
      const float* source = block[static_cast<std::size_t>(c)];
      float& peak = peaks[static_cast<std::size_t>(c)];
      for (int i = 0; i < keep; ++i) {
        interleaved[static_cast<std::size_t>(i) * channels + c] = source[i];
        if (!std::isfinite(source[i])) {
          ++notNumbers;
          continue;
        }
        peak = std::max(peak, std::fabs(source[i]));
        clippedSamples += std::fabs(source[i]) > 1.0f;
      }
    }
    if (!writer->write(interleaved.data(), keep, error)) {
      writeFailed = true;
      return false;
    }
    written = start + keep;
    progress.update(std::min(written, expected));
    return keep == length;
  });
  if (writeFailed || !writer->close(error)) return fail("cannot write " + options.outputPath + ": " + error);

  std::string levels;
  for (float peak : peaks) levels += (levels.empty() ? "" : " / ") + decibels(peak);
  // Samples above full scale are cut in integer formats; infinities and NaN
  // are never sound, whatever the format.
  std::string problems;
  if (clippedSamples > 0 && SoundFileWriter::isInteger(options.format))
    problems += " (clipped: " + std::to_string(clippedSamples) + " samples)";
  if (notNumbers > 0) problems += " (" + std::to_string(notNumbers) + " samples not numbers)";
  if (span.quietFrom && std::max(heard, *span.quietFrom) + quietFrames > written)
    problems += " (still sounding " + std::to_string(std::lround(kMaxTailSeconds)) +
                " s after the last event: stopped there; --tail or --length set the end)";
  const double seconds = static_cast<double>(written) / options.sampleRate;
  std::printf("%s: %.3f s, %d channel%s at %d Hz, %s, peak %s dBFS%s\n", options.outputPath.c_str(), seconds, channels,
              channels == 1 ? "" : "s", options.sampleRate, std::string(SoundFileWriter::nameOf(options.format)).c_str(),
              levels.c_str(), problems.c_str());
  return 0;
}

// --save-bank, --list-programs, --list-params: what is asked besides rendering.
bool reportAndSave(vsthost::Plugin& plugin, const RenderOptions& options, std::string& error) {
  AEffect* effect = plugin.effect();
  if (!options.saveBankPath.empty()) {
    const std::vector<unsigned char> bytes = saveBank(plugin);
    if (!writeBytes(options.saveBankPath, bytes)) {
      error = "cannot write " + options.saveBankPath;
      return false;
    }
    const bool chunk = FxbFile::readWord(bytes.data() + 8) == FxbFile::kChunkBank;
    std::printf("%s: bank of %d program%s (%s), program %d selected\n", options.saveBankPath.c_str(),
                effect->numPrograms, effect->numPrograms == 1 ? "" : "s", chunk ? "chunk" : "parameter values",
                static_cast<int>(plugin.dispatch(effGetProgram)));
  }
  if (options.listPrograms) listPrograms(plugin);
  if (options.listPrograms && options.listParameters) std::printf("\n");
  if (options.listParameters) listParameters(plugin);
  return true;
}

// The module, loaded and started at the render's rate and block size.
std::unique_ptr<vsthost::Plugin> openPlugin(const RenderOptions& options, std::unique_ptr<vsthost::Module>& module,
                                             std::string& error) {
  std::string modulePath;
  if (!vsthost::findModule(options.pluginPath, ZVX_DEFAULT_MODULE, modulePath, error)) return nullptr;
  module = vsthost::Module::load(modulePath, error);
  if (!module) return nullptr;
  vsthost::HostConfig config;
  config.sampleRate = options.sampleRate;
  config.blockSize = options.blockSize;
  auto plugin = vsthost::Plugin::create(*module, config, error);
  if (!plugin) return nullptr;
  if (!(plugin->effect()->flags & effFlagsCanReplacing)) {
    error = "the plug-in cannot process replacing: " + modulePath;
    return nullptr;
  }
  if (plugin->effect()->numOutputs < 1) {
    error = "the plug-in has no outputs: " + modulePath;
    return nullptr;
  }
  plugin->start(static_cast<float>(options.sampleRate), options.blockSize);
  return plugin;
}

int run(const RenderOptions& options) {
  if (!options.writeDemoPath.empty()) return writeDemo(options.writeDemoPath);
  // --save-bank alone only saves: a bank is often all one wants.
  const bool listing = options.listPrograms || options.listParameters;
  const bool rendering = !listing && (options.saveBankPath.empty() || options.outputGiven);

  // The files first: a bad one is reported before any module is loaded.
  std::string error;
  std::optional<FxbFile::Contents> bank;
  std::optional<FxbFile::Contents> preset;
  if (!options.bankPath.empty()) {
    bank = readProgramFile(options.bankPath, FileKind::Bank, error);
    if (!bank) return fail("cannot load bank " + options.bankPath + ": " + error);
  }
  if (!options.presetPath.empty()) {
    preset = readProgramFile(options.presetPath, FileKind::Preset, error);
    if (!preset) return fail("cannot load preset " + options.presetPath + ": " + error);
  }
  std::vector<MidiFile::TimedMessage> messages;
  if (rendering && !readSong(options, messages, error)) return fail(error);
  RenderSpan span;
  if (!renderSpan(options, messages, span, error)) return fail(error);
  if (rendering && span.frames <= 0) return fail("nothing to render: no events and a --tail of 0");

  std::unique_ptr<vsthost::Module> module;
  auto plugin = openPlugin(options, module, error);
  if (!plugin) return fail(error);
  int status = prepare(*plugin, options, bank, preset, error);
  if (status == kUsage) {
    std::fprintf(stderr, "zvx-render: %s\n", error.c_str());
  } else if (status != 0 || !reportAndSave(*plugin, options, error)) {
    status = fail(error);
  } else if (rendering) {
    status = renderToFile(*plugin, options, messages, span);
  }
  plugin->dispatch(effMainsChanged, 0, 0);
  plugin->close();
  return status;
}

}  // namespace
}  // namespace zvx::render

int main(int argc, char** argv) {
  using namespace zvx::render;
  RenderOptions options;
  std::string error;
  if (!RenderOptions::parse(std::vector<std::string>(argv + 1, argv + argc), options, error)) {
    std::fprintf(stderr, "zvx-render: %s (zvx-render --help shows the options)\n", error.c_str());
    return kUsage;
  }
  if (options.help) {
    std::fputs(RenderOptions::usage().c_str(), stdout);
    return 0;
  }
  if (options.version) {
    std::printf("zvx-render %s\n", ZVX_VERSION);
    return 0;
  }
  // Headless: the instrument's messages go to standard error, never to a box nobody can click.
  setEnvironmentDefault("ZVX_MESSAGES", "stderr");
  return run(options);
}
