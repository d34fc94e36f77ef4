// What zvx-render was asked to do, read from its command line.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "tools/zvx-render/SoundFileWriter.h"

namespace zvx::render {

// --set NAME=VALUE or --set INDEX=VALUE; the value is the normalised 0..1 one.
struct ParameterSetting {
  std::string name;  // as typed, when given by name
  int index = -1;    // when given by number
  float value = 0.0f;
};

struct RenderOptions {
  std::string pluginPath;  // empty: the ZVX module
  std::string midiPath;    // empty: the demo groove
  std::string writeDemoPath;
  std::string outputPath = "out.wav";
  SoundFormat format = SoundFormat::Wav24;
  int sampleRate = 44100;
  int blockSize = 512;
  // After the last event: this long, or (unset) until every output has been
  // silent for a while; --length instead renders exactly that long.
  std::optional<double> tailSeconds;
  std::optional<double> lengthSeconds;
  std::vector<ParameterSetting> settings;
  std::string bankPath;    // .fxb loaded before anything else
  std::string presetPath;  // .fxp loaded into the selected program
  std::optional<int> program;
  std::string saveBankPath;  // the instrument's bank written after all settings
  bool outputGiven = false;  // with --save-bank alone nothing is rendered
  bool allOutputs = false;
  bool quiet = false;
  bool listPrograms = false;
  bool listParameters = false;
  bool help = false;
  bool version = false;

  // False with `error` set (one line) on an unknown option or a bad value.
  static bool parse(const std::vector<std::string>& arguments, RenderOptions& options, std::string& error);
  static std::string usage();
};

}  // namespace zvx::render
