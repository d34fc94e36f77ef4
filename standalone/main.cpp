// zvx: the instrument without a host, on JACK, with its editor in a window
// of its own. The bank and program a user builds are kept in the data folder
// (standalone.fxb, or standalone-NAME.fxb for a zvx named NAME) between runs.
#include <unistd.h>

#include <atomic>
#include <charconv>
#include <chrono>
#include <clocale>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "platform/AppWindow.h"
#include "platform/MessageBoxes.h"
#include "platform/Messages.h"
#include "standalone/InstanceLock.h"
#include "standalone/JackClient.h"
#include "standalone/StandaloneInstrument.h"
#include "standalone/StandaloneWindow.h"
#include "storage/DataFolder.h"
#include "storage/WholeFile.h"

namespace {

using zvx::standalone::InstanceLock;
using zvx::standalone::JackClient;
using zvx::standalone::StandaloneInstrument;
using zvx::standalone::StandaloneWindow;

constexpr int kFailure = 1;
constexpr int kUsage = 2;
constexpr auto kIdlePeriod = std::chrono::milliseconds(30);
constexpr const char* kDefaultName = "zvx";
const char* kUsageText =
    "Usage: zvx [--no-gui] [--name NAME] [--bank FILE] [--program N]\n"
    "           [--connect-midi PORT]... [--connect-audio PORT...]\n"
    "\n"
    "Plays ZVX as a JACK client: one MIDI input (midi_in) and six outputs\n"
    "(mix_left, mix_right, bd, sd, hh, cp), with the editor in a window.\n"
    "The bank and the program are saved in the data folder (standalone.fxb)\n"
    "when zvx quits (window closed, Ctrl+C, SIGTERM, SIGHUP, the display lost)\n"
    "and restored at the next start. A MIDI program change selects the program.\n"
    "\n"
    "Options:\n"
    "  --no-gui              no window: play only (no X display needed)\n"
    "  --name NAME           the JACK client's name (default zvx); a zvx named\n"
    "                        NAME keeps its bank in standalone-NAME.fxb, so two\n"
    "                        can play side by side under two names\n"
    "  --bank FILE           start from this bank (an .fxb saved by ZVX or a host)\n"
    "  --program N           start with program N (0 to 127)\n"
    "  --connect-midi PORT   take MIDI from PORT (repeatable; default: every\n"
    "                        physical MIDI capture port)\n"
    "  --connect-audio PORT...\n"
    "                        connect the outputs, in order, to these ports\n"
    "                        (default: the mix to the first two physical playback ports)\n"
    "  --version             prints zvx's version\n"
    "  --help                shows this text\n"
    "\n"
    "JACK_DEFAULT_SERVER names the JACK server; on PipeWire run it as `pw-jack zvx`.\n";

struct Options {
  bool gui = true;
  bool help = false;
  bool version = false;
  std::string name = kDefaultName;
  bool named = false;
  std::string bank;
  int program = -1;
  std::vector<std::string> midiSources;
  std::vector<std::string> audioSinks;
};

bool isOption(const std::string& text) { return text.rfind("--", 0) == 0; }

// A number written in digits alone, whatever the locale.
bool wholeNumber(const std::string& text, int& number) {
  const auto [end, problem] = std::from_chars(text.data(), text.data() + text.size(), number);
  return problem == std::errc() && end == text.data() + text.size();
}

// A JACK client name that is also part of a file name: no folder separator,
// no port separator, nothing a terminal would act on, not hidden.
bool usableName(const std::string& name, std::string& error) {
  if (name.empty() || name.size() > JackClient::longestName()) {
    error = "--name takes a name of 1 to " + std::to_string(JackClient::longestName()) + " characters";
    return false;
  }
  for (const char c : name)
    if (c == '/' || c == '\\' || c == ':' || static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
      error = "--name takes a name without '/', '\\', ':' or control characters, not '" +
              zvx::platform::escapedLine(name) + "'";
      return false;
    }
  if (name[0] == '.') {
    error = "--name takes a name that does not begin with '.'";
    return false;
  }
  return true;
}

bool parse(int argc, char** argv, Options& options, std::string& error) {
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    const bool hasValue = i + 1 < argc && !isOption(argv[i + 1]);
    if (argument == "--help" || argument == "-h") {
      options.help = true;
    } else if (argument == "--version") {
      options.version = true;
    } else if (argument == "--no-gui") {
      options.gui = false;
    } else if (argument == "--name" && hasValue) {
      options.name = argv[++i];
      options.named = true;
      if (!usableName(options.name, error)) return false;
    } else if (argument == "--bank" && hasValue) {
      options.bank = argv[++i];
    } else if (argument == "--program" && hasValue) {
      const std::string value = argv[++i];
      int number = -1;
      if (!wholeNumber(value, number) || number < 0 || number >= zvx::Instrument::kNumPrograms) {
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
                                     argument == "--connect-audio" || argument == "--name")
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

void warn(const std::string& message) {
  std::fprintf(stderr, "zvx: %s\n", message.c_str());
  std::fflush(stderr);
}

// SIGINT, SIGTERM and SIGHUP (the terminal closed, an ssh session dropped)
// end the main loop; the main thread does the rest.
std::atomic<bool> quitSignal{false};
void onSignal(int) { quitSignal.store(true); }

void catchSignals() {
  struct sigaction action {};
  action.sa_handler = &onSignal;
  sigemptyset(&action.sa_mask);
  for (const int number : {SIGINT, SIGTERM, SIGHUP}) sigaction(number, &action, nullptr);
  // A closed terminal or pipe makes a write fail instead of ending zvx before it saved.
  std::signal(SIGPIPE, SIG_IGN);
}

// What one run of zvx holds, kept where the display-lost handler finds it.
struct Session {
  std::string name;              // the JACK client's
  std::string bankFile;          // where the bank is saved; empty without a data folder
  std::unique_ptr<InstanceLock> lock;
  std::unique_ptr<StandaloneInstrument> zvx;
  std::unique_ptr<StandaloneWindow> window;
  std::unique_ptr<JackClient> client;
  bool playing = false;  // the client was activated: there is something to save
  bool ending = false;
  bool saveAtEnd = false;
};

// The bank a zvx of that name keeps in the data folder.
std::string bankFileName(const std::string& name) {
  return name == kDefaultName ? "standalone.fxb" : "standalone-" + name + ".fxb";
}

// The bank and its current program; false with the reason.
bool saveState(Session& session, std::string& error) {
  if (session.bankFile.empty()) {
    error = "no data folder: the bank was not saved";
    return false;
  }
  if (!session.zvx->saveBank(session.bankFile, error)) return false;
  std::printf("zvx: saved the bank and program %d to %s\n", session.zvx->control().program(), session.bankFile.c_str());
  std::fflush(stdout);
  return true;
}

// Closes the window and the client, saves when `save` says so (and the client
// played), and lets the editor and the instrument go (it writes the learn
// map); the status. The editor goes only once JACK's thread, which hands it
// learned controllers, has stopped.
int finish(Session& session, bool save, int status) {
  session.ending = true;
  session.saveAtEnd = save;
  if (session.window) session.window->hide();
  const bool played = session.playing && session.client;
  const long xruns = played ? session.client->xruns() : 0;
  session.client.reset();
  session.window.reset();
  std::string error;
  if (save && session.playing && !saveState(session, error)) status = fail(error);
  if (played) std::printf("zvx: %ld xrun%s\n", xruns, xruns == 1 ? "" : "s");
  std::fflush(stdout);
  session.zvx.reset();
  return status;
}

Session* running = nullptr;

// Xlib meets the broken connection inside one of our calls and may not be
// returned to (it would end the process there, before anything is saved), nor
// unwound through. So zvx ends here, on the main thread that made the call:
// the window and the editor are let go without a word to the display, the
// bank in memory is saved as at any other end, and the process exits.
void onDisplayLost() {
  std::fputs("zvx: the connection to the X display broke (the window was killed, or the X server stopped)\n", stderr);
  // What the instrument still has to say goes to standard error, not to a box on that display.
  zvx::platform::setMessagePresenter(nullptr);
  int status = kFailure;
  if (Session* session = std::exchange(running, nullptr)) {
    if (session->window) session->window->abandon();
    status = finish(*session, session->ending ? session->saveAtEnd : true, kFailure);
  }
  std::fflush(stdout);
  std::fflush(stderr);
  _exit(status);
}

// The ports the user named, else the defaults: every physical MIDI source,
// and the mix to the first two physical playback ports.
bool connectPorts(JackClient& client, const Options& options, std::string& error) {
  std::vector<std::string> sources = options.midiSources;
  if (sources.empty()) sources = client.physicalMidiSources();
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

// What to tell a second zvx of the same name.
std::string secondInstanceAdvice(const Options& options) {
  return options.named ? "; give this one another name with --name"
                       : "; to play a second zvx beside it, give it a name of its own, for example "
                         "`zvx --name zvx-2` (it then keeps its bank in " + bankFileName("zvx-2") + ")";
}

int run(const Options& options) {
  catchSignals();
  // zvx runs in the user's locale, as programs do; every number it reads is
  // read without regard to it.
  std::setlocale(LC_ALL, "");
  Session session;
  running = &session;
  struct Forget {
    ~Forget() { running = nullptr; }
  } forget;
  zvx::platform::setDisplayLostHandler(&onDisplayLost);

  std::string error;
  session.name = options.name;
  if (std::string folder; zvx::findDataFolder("ZVX", folder)) {
    session.bankFile = folder + bankFileName(session.name);
    InstanceLock::Outcome outcome{};
    session.lock = InstanceLock::take(session.bankFile + ".lock", outcome);
    if (outcome == InstanceLock::Outcome::HeldElsewhere)
      return fail("a zvx named \"" + session.name + "\" is already running with its bank in " + session.bankFile +
                  secondInstanceAdvice(options));
  }
  if (options.gui) zvx::platform::useMessageBoxes();
  session.zvx = std::make_unique<StandaloneInstrument>();
  StandaloneInstrument& zvx = *session.zvx;

  // What the user built last time, unless told otherwise.
  if (!options.bank.empty()) {
    if (!zvx.loadBank(options.bank, error)) return fail(error);
  } else if (!session.bankFile.empty() && std::filesystem::exists(session.bankFile) &&
             !zvx.loadBank(session.bankFile, error)) {
    warn(error + "; starting from the default bank");
  }
  if (options.program >= 0) zvx.selectProgram(options.program);

  bool nameTaken = false;
  session.client = JackClient::open(session.name, StandaloneInstrument::outputNames(), zvx, error, &nameTaken);
  if (!session.client) {
    if (nameTaken) error += secondInstanceAdvice(options);
    return fail(error);
  }
  session.window = std::make_unique<StandaloneWindow>(zvx, session.name);
  if (options.gui && (!session.window->prepare(error) || !session.window->show(error))) return fail(error);
  if (!session.client->activate(error) || !connectPorts(*session.client, options, error)) return fail(error);
  session.playing = true;
  std::printf("zvx: playing program %d at %.0f Hz, %d frames a period, as JACK client %s\n", zvx.control().program(),
              session.client->sampleRate(), session.client->period(), session.name.c_str());
  std::fflush(stdout);

  int status = 0;
  auto next = std::chrono::steady_clock::now();
  while (!quitSignal.load()) {
    std::string reason;
    if (session.client->lost(reason)) {
      status = fail("the JACK server stopped (" + reason + ")");
      break;
    }
    if (double rate = 0.0; session.client->refusedRate(rate)) {
      status = fail("JACK changed its sample rate to " + std::to_string(static_cast<long long>(rate)) +
                    " Hz, which zvx cannot play");
      break;
    }
    // What the instrument had to say on JACK's thread, said here.
    if (zvx.instrument().messagesWaiting()) zvx.instrument().showWaitingMessages();
    if (session.window->idle()) break;
    next += kIdlePeriod;
    std::this_thread::sleep_until(next);
  }
  return finish(session, true, status);
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
  if (options.version) {
    std::printf("zvx %s\n", ZVX_VERSION);
    return 0;
  }
  return run(options);
}
