// zvx: the instrument without a host, on JACK, with its editor in a window
// of its own. The bank and program a user builds are kept in the data folder
// (standalone.fxb) between runs.
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "editor/DrumEditor.h"
#include "platform/AppWindow.h"
#include "platform/MessageBoxes.h"
#include "standalone/JackClient.h"
#include "standalone/StandaloneInstrument.h"
#include "storage/DataFolder.h"

namespace {

using zvx::standalone::JackClient;
using zvx::standalone::StandaloneInstrument;

constexpr int kFailure = 1;
constexpr int kUsage = 2;
constexpr auto kIdlePeriod = std::chrono::milliseconds(30);
constexpr const char* kSessionFile = "standalone.fxb";

const char* kUsageText =
    "Usage: zvx [--no-gui] [--bank FILE] [--program N]\n"
    "           [--connect-midi PORT]... [--connect-audio PORT...]\n"
    "\n"
    "Plays ZVX as a JACK client: one MIDI input (midi_in) and six outputs\n"
    "(mix_left, mix_right, bd, sd, hh, cp), with the editor in a window.\n"
    "The bank and the program are saved in the data folder (standalone.fxb)\n"
    "when zvx quits (window closed, Ctrl+C, SIGTERM) and restored at the next start.\n"
    "\n"
    "Options:\n"
    "  --no-gui              no window: play only (no X display needed)\n"
    "  --bank FILE           start from this bank (an .fxb saved by ZVX or a host)\n"
    "  --program N           start with program N (0 to 127)\n"
    "  --connect-midi PORT   take MIDI from PORT (repeatable; default: every\n"
    "                        physical MIDI capture port)\n"
    "  --connect-audio PORT...\n"
    "                        connect the outputs, in order, to these ports\n"
    "                        (default: the mix to the first two physical playback ports)\n"
    "  --help                shows this text\n"
    "\n"
    "JACK_DEFAULT_SERVER names the JACK server; on PipeWire run it as `pw-jack zvx`.\n";

struct Options {
  bool gui = true;
  bool help = false;
  std::string bank;
  int program = -1;
  std::vector<std::string> midiSources;
  std::vector<std::string> audioSinks;
};

bool isOption(const std::string& text) { return text.rfind("--", 0) == 0; }

bool parse(int argc, char** argv, Options& options, std::string& error) {
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    const bool hasValue = i + 1 < argc && !isOption(argv[i + 1]);
    if (argument == "--help" || argument == "-h") {
      options.help = true;
    } else if (argument == "--no-gui") {
      options.gui = false;
    } else if (argument == "--bank" && hasValue) {
      options.bank = argv[++i];
    } else if (argument == "--program" && hasValue) {
      const std::string value = argv[++i];
      std::size_t used = 0;
      int number = -1;
      try {
        number = std::stoi(value, &used);
      } catch (const std::exception&) {
        used = 0;
      }
      if (used != value.size() || number < 0 || number >= zvx::Instrument::kNumPrograms) {
        error = "--program takes a number from 0 to 127, not '" + value + "'";
        return false;
      }
      options.program = number;
    } else if (argument == "--connect-midi" && hasValue) {
      options.midiSources.emplace_back(argv[++i]);
    } else if (argument == "--connect-audio" && hasValue) {
      while (i + 1 < argc && !isOption(argv[i + 1])) options.audioSinks.emplace_back(argv[++i]);
      if (options.audioSinks.size() > StandaloneInstrument::outputNames().size()) {
        error = "--connect-audio takes at most six ports, one per output";
        return false;
      }
    } else {
      error = isOption(argument) && (argument == "--bank" || argument == "--program" || argument == "--connect-midi" ||
                                     argument == "--connect-audio")
                  ? argument + " needs a value"
                  : "unknown argument '" + argument + "'";
      return false;
    }
  }
  return true;
}

int fail(const std::string& message) {
  std::fprintf(stderr, "zvx: %s\n", message.c_str());
  return kFailure;
}

std::atomic<bool> quitSignal{false};
void onSignal(int) { quitSignal.store(true); }

// Where the session's bank lives; empty when there is no data folder.
std::string sessionPath() {
  std::string folder;
  return zvx::findDataFolder("ZVX", folder) ? folder + kSessionFile : std::string();
}

// The ports the user named, else the defaults: every physical MIDI source,
// and the mix to the first two physical playback ports.
bool connectPorts(JackClient& client, const Options& options, std::string& error) {
  const std::vector<std::string> sources =
      options.midiSources.empty() ? client.physicalMidiSources() : options.midiSources;
  for (const std::string& source : sources)
    if (!client.connect(source, client.midiInputName(), error)) return false;
  std::vector<std::string> sinks = options.audioSinks;
  if (sinks.empty()) {
    sinks = client.physicalAudioSinks();
    if (sinks.size() > 2) sinks.resize(2);
  }
  for (std::size_t o = 0; o < sinks.size(); ++o)
    if (!client.connect(client.outputName(o), sinks[o], error)) return false;
  return true;
}

std::string titleOf(zvx::InstrumentControl& control) {
  char number[8];
  std::snprintf(number, sizeof number, "%03d", control.program());
  return std::string("ZVX - ") + number + " " + control.programName(control.program());
}

int run(const Options& options) {
  std::signal(SIGINT, onSignal);
  std::signal(SIGTERM, onSignal);
  if (options.gui) zvx::platform::useMessageBoxes();
  StandaloneInstrument zvx;

  // What the user built last time, unless told otherwise.
  const std::string session = sessionPath();
  std::string error;
  if (!options.bank.empty()) {
    if (!zvx.loadBank(options.bank, error)) return fail(error);
  } else if (!session.empty() && std::filesystem::exists(session) && !zvx.loadBank(session, error)) {
    std::fprintf(stderr, "zvx: %s; starting from the default bank\n", error.c_str());
  }
  if (options.program >= 0) zvx.instrument().setProgram(options.program);

  std::unique_ptr<zvx::FrameEditor> editor;
  if (options.gui) editor = zvx::DrumEditor::create(zvx.control());
  // The instrument stops telling the editor before the editor goes, on every road out.
  struct EditorLink {
    StandaloneInstrument& instrument;
    ~EditorLink() { instrument.setEditor(nullptr); }
  } link{zvx};

  auto client = JackClient::open("zvx", StandaloneInstrument::outputNames(), zvx, error);
  if (!client) return fail(error);
  std::unique_ptr<zvx::platform::AppWindow> window;
  if (editor) {
    window = zvx::platform::createAppWindow(editor->width(), editor->height(), titleOf(zvx.control()), "zvx", error);
    if (!window) return fail(error + "; run `zvx --no-gui` to play without the editor");
    editor->setKnobMode(kLinearMode);
    editor->setResizeRequest([&window](int width, int height) { window->resize(width, height); });
    zvx.setEditor(editor.get());
    if (!editor->open(window->nativeHandle())) return fail("the editor did not open");
  }
  if (!client->activate(error) || !connectPorts(*client, options, error)) return fail(error);
  std::printf("zvx: playing program %d at %.0f Hz, %d frames a period, as JACK client %s\n",
              zvx.control().program(), client->sampleRate(), client->period(),
              client->midiInputName().substr(0, client->midiInputName().find(':')).c_str());
  std::fflush(stdout);

  int status = 0;
  std::string title = window ? titleOf(zvx.control()) : "";
  auto next = std::chrono::steady_clock::now();
  while (!quitSignal.load()) {
    std::string reason;
    if (client->lost(reason)) {
      status = fail("the JACK server stopped (" + reason + ")");
      break;
    }
    if (double rate = 0.0; client->refusedRate(rate)) {
      status = fail("JACK changed its sample rate to " + std::to_string(static_cast<long long>(rate)) +
                    " Hz, which zvx cannot play");
      break;
    }
    // What the instrument had to say on JACK's thread, said here.
    if (zvx.instrument().messagesWaiting()) zvx.instrument().showWaitingMessages();
    if (window) {
      if (window->closed()) break;
      editor->idle();
      if (const std::string now = titleOf(zvx.control()); now != title) window->setTitle(title = now);
    }
    next += kIdlePeriod;
    std::this_thread::sleep_until(next);
  }

  if (editor) editor->close();
  window.reset();
  const long xruns = client->xruns();
  client.reset();
  std::printf("zvx: %ld xrun%s\n", xruns, xruns == 1 ? "" : "s");
  if (session.empty()) return fail("no data folder: the bank was not saved");
  if (!zvx.saveBank(session, error)) return fail(error);
  std::printf("zvx: saved the bank and program %d to %s\n", zvx.control().program(), session.c_str());
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  std::string error;
  if (!parse(argc, argv, options, error)) {
    std::fprintf(stderr, "zvx: %s (zvx --help shows the options)\n", error.c_str());
    return kUsage;
  }
  if (options.help) {
    std::fputs(kUsageText, stdout);
    return 0;
  }
  return run(options);
}
