#include "tools/zvx-render/RenderOptions.h"

#include <charconv>
#include <cmath>

namespace zvx::render {
namespace {

constexpr int kMinRate = 8000;
constexpr int kMaxRate = 384000;
constexpr int kMaxBlock = 65536;
// Numbered as MIDI program changes number them.
constexpr int kMaxProgram = 127;

bool parseInteger(const std::string& text, int& value) {
  const char* end = text.data() + text.size();
  auto [next, problem] = std::from_chars(text.data(), end, value);
  return problem == std::errc() && next == end && !text.empty();
}

bool parseNumber(const std::string& text, double& value) {
  const char* end = text.data() + text.size();
  auto [next, problem] = std::from_chars(text.data(), end, value);
  return problem == std::errc() && next == end && !text.empty() && std::isfinite(value);
}

bool isDigits(const std::string& text) {
  return !text.empty() && text.find_first_not_of("0123456789") == std::string::npos;
}

bool parseSetting(const std::string& text, ParameterSetting& setting, std::string& error) {
  // The value is after the last '=': parameter names may hold almost anything.
  const std::size_t equals = text.rfind('=');
  if (equals == std::string::npos || equals == 0) {
    error = "--set needs NAME=VALUE or INDEX=VALUE, not '" + text + "'";
    return false;
  }
  const std::string key = text.substr(0, equals);
  double value = 0.0;
  if (!parseNumber(text.substr(equals + 1), value) || value < 0.0 || value > 1.0) {
    error = "--set " + key + ": the value must be a number from 0 to 1, not '" + text.substr(equals + 1) + "'";
    return false;
  }
  setting.value = static_cast<float>(value);
  if (isDigits(key)) {
    if (!parseInteger(key, setting.index)) {
      error = "--set: bad parameter index " + key;
      return false;
    }
  } else {
    setting.name = key;
  }
  return true;
}

}  // namespace

bool RenderOptions::parse(const std::vector<std::string>& arguments, RenderOptions& options, std::string& error) {
  bool formatGiven = false;
  bool demoGiven = false;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    std::string option = arguments[i];
    std::optional<std::string> attached;
    // --option=value is taken as well as --option value.
    if (option.rfind("--", 0) == 0) {
      if (std::size_t equals = option.find('='); equals != std::string::npos) {
        attached = option.substr(equals + 1);
        option.erase(equals);
      }
    }
    auto value = [&](std::string& out) {
      if (attached) {
        out = *attached;
        return true;
      }
      if (i + 1 >= arguments.size()) {
        error = option + " needs a value";
        return false;
      }
      out = arguments[++i];
      return true;
    };
    auto flag = [&] {
      if (!attached) return true;
      error = option + " takes no value";
      return false;
    };

    std::string text;
    if (option == "-h" || option == "--help") {
      if (!flag()) return false;
      options.help = true;
    } else if (option == "--version") {
      if (!flag()) return false;
      options.version = true;
    } else if (option == "--plugin") {
      if (!value(options.pluginPath)) return false;
    } else if (option == "--midi") {
      if (!value(options.midiPath)) return false;
    } else if (option == "--demo") {
      if (!flag()) return false;
      demoGiven = true;
    } else if (option == "--write-demo") {
      if (!value(options.writeDemoPath)) return false;
    } else if (option == "-o" || option == "--output") {
      if (!value(options.outputPath)) return false;
      options.outputGiven = true;
    } else if (option == "--format") {
      if (!value(text)) return false;
      auto format = SoundFileWriter::formatNamed(text);
      if (!format) {
        error = "unknown --format '" + text + "' (wav16, wav24, wav32f or flac)";
        return false;
      }
      options.format = *format;
      formatGiven = true;
    } else if (option == "--rate") {
      if (!value(text)) return false;
      if (!parseInteger(text, options.sampleRate) || options.sampleRate < kMinRate || options.sampleRate > kMaxRate) {
        error = "--rate must be a whole number of Hz from " + std::to_string(kMinRate) + " to " +
                std::to_string(kMaxRate) + ", not '" + text + "'";
        return false;
      }
    } else if (option == "--block") {
      if (!value(text)) return false;
      if (!parseInteger(text, options.blockSize) || options.blockSize < 1 || options.blockSize > kMaxBlock) {
        error = "--block must be from 1 to " + std::to_string(kMaxBlock) + " samples, not '" + text + "'";
        return false;
      }
    } else if (option == "--tail") {
      if (!value(text)) return false;
      double seconds = 0.0;
      if (!parseNumber(text, seconds) || seconds < 0.0) {
        error = "--tail must be a number of seconds, 0 or more, not '" + text + "'";
        return false;
      }
      options.tailSeconds = seconds;
    } else if (option == "--length") {
      if (!value(text)) return false;
      double seconds = 0.0;
      if (!parseNumber(text, seconds) || seconds <= 0.0) {
        error = "--length must be a number of seconds above 0, not '" + text + "'";
        return false;
      }
      options.lengthSeconds = seconds;
    } else if (option == "--set") {
      if (!value(text)) return false;
      ParameterSetting setting;
      if (!parseSetting(text, setting, error)) return false;
      options.settings.push_back(setting);
    } else if (option == "--program") {
      if (!value(text)) return false;
      int program = 0;
      if (!parseInteger(text, program) || program < 0 || program > kMaxProgram) {
        error = "--program must be a program number from 0 to " + std::to_string(kMaxProgram) + ", not '" + text + "'";
        return false;
      }
      options.program = program;
    } else if (option == "--bank") {
      if (!value(options.bankPath)) return false;
    } else if (option == "--preset") {
      if (!value(options.presetPath)) return false;
    } else if (option == "--save-bank") {
      if (!value(options.saveBankPath)) return false;
    } else if (option == "--all-outputs") {
      if (!flag()) return false;
      options.allOutputs = true;
    } else if (option == "-q" || option == "--quiet") {
      if (!flag()) return false;
      options.quiet = true;
    } else if (option == "--list-programs") {
      if (!flag()) return false;
      options.listPrograms = true;
    } else if (option == "--list-params") {
      if (!flag()) return false;
      options.listParameters = true;
    } else {
      error = option.rfind('-', 0) == 0 ? "unknown option " + option : "unexpected argument '" + option + "'";
      return false;
    }
  }
  if (demoGiven && !options.midiPath.empty()) {
    error = "--demo and --midi exclude each other";
    return false;
  }
  // A .flac name without --format means FLAC: WAV data under that name would only confuse.
  const std::string& out = options.outputPath;
  if (!formatGiven && out.size() > 5 && out.compare(out.size() - 5, 5, ".flac") == 0)
    options.format = SoundFormat::Flac;
  return true;
}

std::string RenderOptions::usage() {
  return R"(Usage: zvx-render [options]

Plays a Standard MIDI File, or the built-in demo groove, through a VST 2.4
instrument (ZVX unless told otherwise) and writes what it plays to a sound file.

Input:
  --midi FILE          play this Standard MIDI File (format 0 or 1)
  --demo               play the built-in demo groove (the default): four bars
                       of drums at 120 BPM and a closing hit
  --write-demo FILE    save the demo groove as a MIDI file and exit

Instrument:
  --plugin PATH        the VST 2.4 instrument module to load; by default the ZVX
                       module installed with zvx-render (PREFIX/lib/vst/ZVX.so
                       for PREFIX/bin/zvx-render), else the one of this build,
                       else ZVX.so beside zvx-render, else ~/.vst/ZVX.so
  --set NAME=VALUE     set a parameter before playing; VALUE is the normalised
  --set INDEX=VALUE    value from 0 to 1, NAME is matched without regard to case
                       or trailing blanks. Repeatable.
  --bank FILE.fxb      load a bank: a chunk bank ('FBCh') is handed to the
                       instrument whole, a regular bank ('FxBk') program by
                       program (values and names); then the bank's current
                       program is selected
  --program N          play program N (0 to 127) of the instrument's bank
  --preset FILE.fxp    load a preset (chunk 'FPCh' or regular 'FxCk') into the
                       selected program
  --save-bank FILE.fxb write the instrument's bank, with everything above
                       applied, as a standard bank file: a chunk bank, or a
                       regular bank for an instrument without chunks. Without
                       -o nothing is rendered; with -o the render follows.
  --list-programs      list the programs of the instrument's bank (the default
                       bank of ZVX's data folder, or the one --bank loads) as
                       the instrument names them, and exit: one line each,
                       "N  NAME", N from 0
  --list-params        list the instrument's parameters in the program that
                       would play, with the values after everything above,
                       and exit: one line each, "INDEX  NAME  VALUE  DISPLAY",
                       VALUE the normalised one (0 to 1), DISPLAY the
                       instrument's text for it and its unit, if any
  With both lists, the programs come first, then an empty line. Bytes of a
  name that could act on a terminal are shown as \xHH (and \ as \\).

  These apply in this order, whatever the order on the command line: --bank,
  --program, --preset, --set, --save-bank. Banks and presets must be made for
  the instrument's plug-in ID.

Rendering:
  --rate HZ            sample rate (default 44100)
  --block FRAMES       block size handed to the instrument (default 512)
  --tail SECONDS       time after the last event before stopping; by default
                       the render goes on until every output of the
                       instrument has stayed below -90 dBFS for 100 ms after
                       the last event, at most 60 s after it (the summary
                       line says when a sound was still ringing there)
  --length SECONDS     render exactly this long instead

Output:
  -o, --output FILE    the sound file to write (default out.wav)
  --format FORMAT      wav16, wav24, wav32f (32-bit float) or flac (24-bit);
                       default wav24, or flac when FILE ends in .flac
  --all-outputs        write every output of the instrument (ZVX: mix L, mix R,
                       BD, SD, HH, CP) instead of the stereo mix

Other:
  -q, --quiet          no progress report on long renders
  --version            prints zvx-render's version
  -h, --help           this text

On success one line goes to standard output for each file written: for the
sound file its length and the peak level of each channel in dBFS. Errors go
to standard error, one line each, and the exit status is 1, or 2 for a bad
command line: an unknown option, a value that is missing or out of range, or
a program or parameter the instrument does not have.
ZVX_MESSAGES is set to "stderr" unless set already, so the instrument never
waits on a message box.
)";
}

}  // namespace zvx::render
