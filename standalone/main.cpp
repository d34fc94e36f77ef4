// zvx: the instrument without a host, on JACK, with its editor in a window
// of its own. The bank and program a user builds are kept in the data folder
// (standalone.fxb, or standalone-NAME.fxb for a zvx named NAME) between runs;
// in a session manager's session, where the manager says.
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
#include "standalone/NsmClient.h"
#include "standalone/StandaloneInstrument.h"
#include "standalone/StandaloneWindow.h"
#include "storage/DataFolder.h"
#include "storage/WholeFile.h"

namespace {

using zvx::standalone::InstanceLock;
using zvx::standalone::JackClient;
using zvx::standalone::NsmClient;
using zvx::standalone::StandaloneInstrument;
using zvx::standalone::StandaloneWindow;

constexpr int kFailure = 1;
constexpr int kUsage = 2;
constexpr auto kIdlePeriod = std::chrono::milliseconds(30);
// How often the bank is compared with the one saved, for the session manager's "unsaved changes".
constexpr int kIdlesPerDirtyCheck = 8;
// How long a session manager may take to answer the announcement, and then to open zvx.
constexpr auto kAnswerTimeout = std::chrono::seconds(5);
constexpr auto kOpenTimeout = std::chrono::seconds(20);
constexpr const char* kDefaultName = "zvx";
// In the folder a session manager gives: the bank, and whether the window was shown.
constexpr const char* kSessionBank = "bank.fxb";
constexpr const char* kSessionWindow = "window.txt";

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
    "JACK_DEFAULT_SERVER names the JACK server; on PipeWire run it as `pw-jack zvx`.\n"
    "With NSM_URL set (a session manager such as RaySession, Agordejo or New\n"
    "Session Manager started it), the manager names zvx, keeps its state in the\n"
    "session, saves it, shows and hides its window, and stops it.\n";

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
  std::string windowFile;        // in a session manager's session: whether the window was shown
  std::string folder;            // in a session manager's session: the folder it gave
  std::unique_ptr<NsmClient> manager;
  std::unique_ptr<InstanceLock> lock;
  std::unique_ptr<StandaloneInstrument> zvx;
  std::unique_ptr<StandaloneWindow> window;
  std::unique_ptr<JackClient> client;
  bool playing = false;  // the client was activated: there is something to save
  bool ending = false;
  bool saveAtEnd = false;
  bool shownAtEnd = false;  // the window, as the session's state keeps it
};

// The bank a zvx of that name keeps in the data folder.
std::string bankFileName(const std::string& name) {
  return name == kDefaultName ? "standalone.fxb" : "standalone-" + name + ".fxb";
}

// The bank, and in a session manager's session whether the window is shown; false with the reason.
bool saveState(Session& session, std::string& error) {
  if (session.bankFile.empty()) {
    error = "no data folder: the bank was not saved";
    return false;
  }
  if (!session.folder.empty()) {
    std::error_code failure;
    std::filesystem::create_directories(session.folder, failure);
    if (failure) {
      error = "cannot make the folder " + session.folder + " (" + failure.message() + ")";
      return false;
    }
  }
  if (!session.zvx->saveBank(session.bankFile, error)) return false;
  if (!session.windowFile.empty()) {
    const bool wasShown = session.ending ? session.shownAtEnd : session.window && session.window->shown();
    const std::string shown = wasShown ? "shown\n" : "hidden\n";
    if (!zvx::saveWholeFile(session.windowFile, shown.data(), shown.size())) {
      error = "cannot save " + session.windowFile;
      return false;
    }
  }
  std::printf("zvx: saved the bank and program %d to %s\n", session.zvx->control().program(), session.bankFile.c_str());
  std::fflush(stdout);
  return true;
}

// Closes the window and the client, saves when `save` says so (and the client
// played), and lets the editor and the instrument go (it writes the learn
// map); the status. The editor goes only once JACK's thread, which hands it
// learned controllers, has stopped.
int finish(Session& session, bool save, int status) {
  session.shownAtEnd = session.window && session.window->shown();
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
// and the mix to the first two physical playback ports. In a session
// manager's session only the ports named: the manager restores the rest.
bool connectPorts(JackClient& client, const Options& options, bool managed, std::string& error) {
  std::vector<std::string> sources = options.midiSources;
  if (sources.empty() && !managed) sources = client.physicalMidiSources();
  for (const std::string& source : sources)
    if (!client.connect(source, client.midiInputName(), error)) return false;
  std::vector<std::string> sinks = options.audioSinks;
  if (sinks.empty() && !managed) {
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

// The bank and program compared with what was last saved or opened, for the
// session manager's "unsaved changes".
struct Saved {
  std::vector<unsigned char> bank;
  int program = -1;
  static Saved of(StandaloneInstrument& zvx) {
    void* chunk = nullptr;
    const std::size_t size = zvx.instrument().saveChunk(&chunk, false);
    const auto* bytes = static_cast<const unsigned char*>(chunk);
    return {std::vector<unsigned char>(bytes, bytes + size), zvx.control().program()};
  }
  bool operator==(const Saved&) const = default;
};

// Joins the session of the manager at NSM_URL, if one is set and answers:
// true with the session's name and folder set; false to run as without one.
// `status` is set when zvx must end instead.
bool joinSession(Session& session, const char* executable, int& status) {
  const char* url = std::getenv("NSM_URL");
  if (!url || !*url) return false;
  std::string error;
  std::unique_ptr<NsmClient> manager = NsmClient::announce(url, executable, error);
  if (!manager) {
    warn(error + "; playing without a session manager");
    return false;
  }
  NsmClient::Request open;
  switch (manager->join(open, kAnswerTimeout, kOpenTimeout, [] { return quitSignal.load(); }, error)) {
    case NsmClient::Joined::Opened:
      break;
    case NsmClient::Joined::Refused:
      warn("the session manager at " + std::string(url) + " turned zvx away (" + error +
           "); playing without a session manager");
      return false;
    case NsmClient::Joined::NoAnswer:
      if (manager->welcomed()) {
        status = fail("the session manager " + manager->managerName() + " did not open zvx's session");
        return false;
      }
      warn("no session manager answered at NSM_URL " + std::string(url) + "; playing without one");
      return false;
    case NsmClient::Joined::Stopped:
      status = 0;
      return false;
  }
  session.name = open.clientId;
  session.folder = open.path;
  session.bankFile = open.path + "/" + kSessionBank;
  session.windowFile = open.path + "/" + kSessionWindow;
  std::printf("zvx: in the session of %s as %s, its state in %s\n", manager->managerName().c_str(),
              open.clientId.c_str(), open.path.c_str());
  std::fflush(stdout);
  session.manager = std::move(manager);
  return true;
}

bool windowWasShown(const std::string& file) {
  std::vector<unsigned char> text;
  return zvx::readWholeFile(file, text, 64) && std::string(text.begin(), text.end()).rfind("shown", 0) == 0;
}

// A failure before zvx plays; in a session, the manager hears of it too.
int failToOpen(Session& session, int code, const std::string& error) {
  if (session.manager) session.manager->error("/nsm/client/open", code, error);
  return fail(error);
}

void showWindow(Session& session) {
  std::string error;
  zvx::platform::useMessageBoxes();
  if (!session.window->show(error)) warn(error);
  session.manager->guiShown(session.window->shown());
}

// What the session manager asked for since the last look.
void serveManager(Session& session, Saved& saved, bool& dirty) {
  for (const NsmClient::Request& request : session.manager->take()) {
    switch (request.kind) {
      case NsmClient::Request::Save: {
        // Taken before the save: a change in between is saved, yet still counts as unsaved.
        Saved now = Saved::of(*session.zvx);
        std::string error;
        if (saveState(session, error)) {
          session.manager->reply("/nsm/client/save", "Saved " + session.bankFile);
          saved = std::move(now);
          if (dirty) session.manager->dirty(dirty = false);
        } else {
          warn(error);
          session.manager->error("/nsm/client/save", NsmClient::kGeneralError, error);
        }
        break;
      }
      case NsmClient::Request::ShowGui:
        if (!session.window->shown()) showWindow(session);
        else session.manager->guiShown(true);
        break;
      case NsmClient::Request::HideGui:
        session.window->hide();
        session.manager->guiShown(false);
        break;
      case NsmClient::Request::Open:
        // zvx did not offer to switch sessions: the manager restarts it instead.
        session.manager->error("/nsm/client/open", NsmClient::kGeneralError, "zvx cannot switch to another session");
        break;
    }
  }
}

int run(const Options& options, const char* executable) {
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

  int status = -1;
  const bool managed = joinSession(session, executable, status);
  if (status >= 0) return status;
  if (managed && options.named) warn("the session manager names zvx: --name is passed over");

  std::string error;
  if (!managed) {
    session.name = options.name;
    std::string folder;
    if (zvx::findDataFolder("ZVX", folder)) {
      session.bankFile = folder + bankFileName(session.name);
      InstanceLock::Outcome outcome{};
      session.lock = InstanceLock::take(session.bankFile + ".lock", outcome);
      if (outcome == InstanceLock::Outcome::HeldElsewhere)
        return fail("a zvx named \"" + session.name + "\" is already running with its bank in " + session.bankFile +
                    secondInstanceAdvice(options));
    }
  }
  if (options.gui && !managed) zvx::platform::useMessageBoxes();
  session.zvx = std::make_unique<StandaloneInstrument>();
  StandaloneInstrument& zvx = *session.zvx;

  // What the user built last time, unless told otherwise.
  if (!options.bank.empty()) {
    if (!zvx.loadBank(options.bank, error)) return failToOpen(session, NsmClient::kGeneralError, error);
  } else if (!session.bankFile.empty() && std::filesystem::exists(session.bankFile) &&
             !zvx.loadBank(session.bankFile, error)) {
    if (managed) return failToOpen(session, NsmClient::kBadProject, error);
    warn(error + "; starting from the default bank");
  }
  if (options.program >= 0) zvx.selectProgram(options.program);

  bool nameTaken = false;
  session.client = JackClient::open(session.name, StandaloneInstrument::outputNames(), zvx, error, &nameTaken);
  if (!session.client) {
    if (nameTaken && !managed) error += secondInstanceAdvice(options);
    return failToOpen(session, NsmClient::kGeneralError, error);
  }
  session.window = std::make_unique<StandaloneWindow>(zvx, session.name);
  if (options.gui && !session.window->prepare(error)) {
    if (!managed) return fail(error);
    warn(error);
  }
  // A session manager's client starts hidden unless its window was shown when the session was saved.
  const bool startShown = options.gui && (!managed || windowWasShown(session.windowFile));
  if (startShown && !managed && !session.window->show(error)) return fail(error);
  if (!session.client->activate(error) || !connectPorts(*session.client, options, managed, error))
    return failToOpen(session, NsmClient::kGeneralError, error);
  session.playing = true;
  if (managed) {
    session.manager->reply("/nsm/client/open", "Opened " + session.folder);
    if (startShown) showWindow(session);
    else session.manager->guiShown(false);
  }
  std::printf("zvx: playing program %d at %.0f Hz, %d frames a period, as JACK client %s\n", zvx.control().program(),
              session.client->sampleRate(), session.client->period(), session.name.c_str());
  std::fflush(stdout);

  // Under a session manager, zvx saves when told to: its SIGTERM (and a
  // signal of the user's) quits without a save. Its display or server lost
  // saves, as everywhere.
  bool save = !managed;
  Saved saved = managed ? Saved::of(zvx) : Saved{};
  bool dirty = false;
  status = 0;
  auto next = std::chrono::steady_clock::now();
  for (int idles = 0; !quitSignal.load(); ++idles) {
    std::string reason;
    if (session.client->lost(reason)) {
      status = fail("the JACK server stopped (" + reason + ")");
      save = true;
      break;
    }
    if (double rate = 0.0; session.client->refusedRate(rate)) {
      status = fail("JACK changed its sample rate to " + std::to_string(static_cast<long long>(rate)) +
                    " Hz, which zvx cannot play");
      save = true;
      break;
    }
    // What the instrument had to say on JACK's thread, said here.
    if (zvx.instrument().messagesWaiting()) zvx.instrument().showWaitingMessages();
    if (session.window->idle()) {
      if (!managed) break;
      // A session's window closed by the user is hidden, the instrument plays on.
      session.window->hide();
      session.manager->guiShown(false);
    }
    if (managed) {
      serveManager(session, saved, dirty);
      if (idles % kIdlesPerDirtyCheck == 0)
        if (const bool changed = !(Saved::of(zvx) == saved); changed != dirty) session.manager->dirty(dirty = changed);
    }
    next += kIdlePeriod;
    std::this_thread::sleep_until(next);
  }
  return finish(session, save, status);
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
  return run(options, argc > 0 ? argv[0] : "zvx");
}
