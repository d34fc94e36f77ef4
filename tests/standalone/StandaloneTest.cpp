// zvx as a user runs it, on a private JACK server (dummy backend), played and recorded by clients of ours
// against the VST module rendering the same events in the same periods.
#include <jack/jack.h>
#include <jack/midiport.h>
#include <lo/lo.h>
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <deque>
#include <cstring>
#include <thread>

#include "instrument/BankImage.h"
#include "instrument/Instrument.h"
#include "storage/FxbFile.h"
#include "standalone/StandaloneInstrument.h"
#include "tests/support/AudioThreadChecks.h"
#include "tests/support/StagedInstall.h"
#include "tests/support/TestSupport.h"
#include "vsthost/HeadlessEditor.h"
#include "vsthost/XvfbServer.h"

// Last: Xlib defines None, Status and friends as macros.
#include "tests/gui/X11TestSupport.h"

namespace zvx::test {
namespace {

constexpr int kRate = 48000;
constexpr int kPeriod = 256;
constexpr int kLearnedController = 20;  // bound to BDTone
constexpr int kLearnedMenu = 21;        // bound to BDMenu
constexpr long kNextProgramTag = 98;
const std::vector<std::string> kOutputs = {"mix_left", "mix_right", "bd", "sd", "hh", "cp"};

// A JACK server of this process's own, which its clients and the programs it starts use.
class JackServer {
 public:
  explicit JackServer(const std::filesystem::path& folder, int rate = kRate)
      : name_("zvx-test-" + std::to_string(getpid()) + "-" + std::to_string(++servers)),
        env_("JACK_DEFAULT_SERVER", name_.c_str()),
        jackd_("/usr/bin/jackd",
               {"--no-realtime", "--sync", "-n", name_, "-d", "dummy", "-r", std::to_string(rate), "-p",
                std::to_string(kPeriod)},
               folder) {}
  ~JackServer() {
    jackd_.signal(SIGTERM);
    jackd_.wait();
  }
  bool ready() {
    return poll(
        [] {
          jack_status_t status{};
          jack_client_t* probe = jack_client_open("probe", JackNoStartServer, &status);
          if (probe) jack_client_close(probe);
          return probe != nullptr;
        },
        5000ms);
  }
  std::string log() const { return jackd_.err(); }

 private:
  static inline int servers = 0;
  std::string name_;
  ScopedEnv env_;
  RunningProgram jackd_;
};

// Two clients: one sends the events from the cycle start() arms, the other records zvx's six outputs from
// the same frame on; the connections order them before and after zvx in every cycle.
class PlayAndRecord {
 public:
  PlayAndRecord(const std::vector<VstMidiEvent>& events, int frames, const std::string& zvx = "zvx")
      : events_(events), recorded_(kOutputs.size(), Channel(static_cast<std::size_t>(frames))), zvx_(zvx) {}
  ~PlayAndRecord() {
    for (jack_client_t* client : {sender_, recorder_})
      if (client) jack_client_close(client);
  }

  bool open() {
    sender_ = jack_client_open("sender", JackNoStartServer, nullptr);
    recorder_ = jack_client_open("recorder", JackNoStartServer, nullptr);
    if (!sender_ || !recorder_) return false;
    midiOut_ = jack_port_register(sender_, "out", JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
    for (const std::string& name : kOutputs)
      inputs_.push_back(jack_port_register(recorder_, name.c_str(), JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput, 0));
    jack_set_process_callback(sender_, &PlayAndRecord::send, this);
    jack_set_process_callback(recorder_, &PlayAndRecord::record, this);
    if (jack_activate(sender_) != 0 || jack_activate(recorder_) != 0) return false;
    bool connected = jack_connect(sender_, jack_port_name(midiOut_), (zvx_ + ":midi_in").c_str()) == 0;
    for (std::size_t o = 0; o < kOutputs.size(); ++o)
      connected = connected && jack_connect(recorder_, (zvx_ + ":" + kOutputs[o]).c_str(), jack_port_name(inputs_[o])) == 0;
    return connected;
  }
  // Arms the sender once the graph has taken the connections, so that no event goes out before.
  void start() {
    EXPECT_TRUE(poll([&] {
      return jack_port_connected(midiOut_) > 0 &&
             std::all_of(inputs_.begin(), inputs_.end(), [](jack_port_t* input) { return jack_port_connected(input) > 0; });
    }));
    std::this_thread::sleep_for(100ms);
    armed_.store(true);
  }
  bool changePeriod(int frames) { return jack_set_buffer_size(sender_, static_cast<jack_nframes_t>(frames)) == 0; }
  bool finished(std::chrono::milliseconds timeout = 10000ms) { return poll([&] { return done_.load(); }, timeout); }
  // Everything sent and recorded.
  bool played() {
    if (!open()) return false;
    start();
    return finished();
  }
  const std::vector<Channel>& recorded() const { return recorded_; }
  // The periods recorded, in order: where each began and its length.
  std::vector<std::pair<long, int>> periods() const { return {periods_.begin(), periods_.begin() + periodCount_.load()}; }

 private:
  // Frames are counted from the first armed period: JACK's frame clock may jump when the period changes.
  static int send(jack_nframes_t frames, void* self) {
    auto& me = *static_cast<PlayAndRecord*>(self);
    void* buffer = jack_port_get_buffer(me.midiOut_, frames);
    jack_midi_clear_buffer(buffer);
    if (!me.armed_.load()) return 0;
    me.sending_.store(true);
    for (const VstMidiEvent& event : me.events_)
      if (const long at = event.deltaFrames - me.sent_; at >= 0 && at < static_cast<long>(frames))
        jack_midi_event_write(buffer, static_cast<jack_nframes_t>(at),
                              reinterpret_cast<const jack_midi_data_t*>(event.midiData), midiLength(event));
    me.sent_ += frames;
    return 0;
  }
  static int record(jack_nframes_t frames, void* self) {
    auto& me = *static_cast<PlayAndRecord*>(self);
    if (!me.sending_.load() || me.done_.load()) return 0;
    const long position = me.recordedFrames_;
    const long count = std::min<long>(frames, static_cast<long>(me.recorded_[0].size()) - position);
    for (std::size_t o = 0; o < me.inputs_.size(); ++o)
      std::copy_n(static_cast<const float*>(jack_port_get_buffer(me.inputs_[o], frames)), count,
                  me.recorded_[o].begin() + position);
    if (const int period = me.periodCount_.load(); period < static_cast<int>(me.periods_.size())) {
      me.periods_[static_cast<std::size_t>(period)] = {position, static_cast<int>(count)};
      me.periodCount_.store(period + 1);
    }
    me.recordedFrames_ += count;
    if (me.recordedFrames_ >= static_cast<long>(me.recorded_[0].size())) me.done_.store(true);
    return 0;
  }

  // Program changes and channel pressure take one data byte, the rest two.
  static std::size_t midiLength(const VstMidiEvent& event) { return (event.midiData[0] & 0xE0) == 0xC0 ? 2 : 3; }

  std::vector<VstMidiEvent> events_;
  std::vector<Channel> recorded_;
  std::string zvx_;
  jack_client_t *sender_ = nullptr, *recorder_ = nullptr;
  jack_port_t* midiOut_ = nullptr;
  std::vector<jack_port_t*> inputs_;
  std::atomic<bool> armed_{false}, sending_{false}, done_{false};
  long sent_ = 0;            // the sender's
  long recordedFrames_ = 0;  // the recorder's
  std::vector<std::pair<long, int>> periods_ = std::vector<std::pair<long, int>>(4096);
  std::atomic<int> periodCount_{0};
};

inline VstMidiEvent programChange(int at, int program, int ch = 0) { return midiEvent(at, 0xC0 | ch, program, 0); }
bool isProgramChange(const VstMidiEvent& event) { return (event.midiData[0] & 0xF0) == 0xC0; }

// The VST module playing the events in the periods given, each program change selected at its frame,
// after the events before it and before those at its frame.
std::vector<Channel> renderInPeriods(const std::vector<VstMidiEvent>& events,
                                     const std::vector<std::pair<long, int>>& periods, int frames) {
  vsthost::HostConfig config;
  config.sampleRate = kRate;
  auto vst = startZvx({}, config, kPeriod);
  std::vector<Channel> out(kOutputs.size(), Channel(static_cast<std::size_t>(frames)));
  for (const auto& [start, length] : periods) {
    std::vector<std::pair<long, int>> cuts;  // frame, program (-1: the period's end)
    for (const VstMidiEvent& event : events)
      if (isProgramChange(event) && event.deltaFrames >= start && event.deltaFrames < start + length)
        cuts.emplace_back(event.deltaFrames, event.midiData[1]);
    cuts.emplace_back(start + length, -1);
    long from = start;
    for (const auto& [at, program] : cuts) {
      if (at > from) {
        std::vector<VstMidiEvent> block;
        for (VstMidiEvent event : events)
          if (!isProgramChange(event) && event.deltaFrames >= from && event.deltaFrames < at) {
            event.deltaFrames -= static_cast<VstInt32>(from);
            block.push_back(event);
          }
        const int count = static_cast<int>(at - from);
        const auto rendered = vst->render(count, count, block);
        for (std::size_t o = 0; o < kOutputs.size(); ++o)
          std::copy(rendered[o].begin(), rendered[o].end(), out[o].begin() + from);
      }
      if (program >= 0) vst->dispatch(effSetProgram, 0, program);
      from = at;
    }
  }
  return out;
}

// The first frame where two recordings differ, in words.
std::string firstDifference(const std::vector<Channel>& recorded, const std::vector<Channel>& expected) {
  for (std::size_t o = 0; o < expected.size(); ++o)
    for (std::size_t i = 0; i < expected[o].size(); ++i)
      if (std::memcmp(&expected[o][i], &recorded[o][i], sizeof(float)) != 0)
        return "output " + std::to_string(o) + " differs first at frame " + std::to_string(i) + " (" +
               std::to_string(recorded[o][i]) + " for " + std::to_string(expected[o][i]) + ")";
  return "no difference";
}

// The editor window's title for a program, as the VST module names it.
std::string titleOf(vsthost::Plugin& vst, int program, const std::string& suffix = "") {
  vst.dispatch(effSetProgram, 0, program);
  char number[8];
  std::snprintf(number, sizeof number, "%03d ", program);
  return "ZVX - " + std::string(number) + vst.programName() + suffix;
}

// A window closed as a window manager closes it for the user.
void closeWindow(Display* display, Window window) {
  XEvent close{};
  close.xclient = {ClientMessage, 0, False, display, window, XInternAtom(display, "WM_PROTOCOLS", False), 32, {}};
  close.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
  XSendEvent(display, window, False, NoEventMask, &close);
  XFlush(display);
}

// The current program of the bank in `file`; -1 when it holds no bank.
int savedProgram(const std::filesystem::path& file) {
  const auto bank = FxbFile::parse(readBytes(file));
  return bank ? bank->currentProgram : -1;
}

// An NSM session manager: one OSC socket over UDP, the announcing client answered from it, what it sends kept.
class SessionManager {
 public:
  struct Received {
    std::string path;
    std::vector<std::string> strings;
    std::vector<int> numbers;
  };

  SessionManager() : server_(lo_server_new_with_proto(nullptr, LO_UDP, nullptr)) {
    if (server_) lo_server_add_method(server_, nullptr, nullptr, &SessionManager::receive, this);
  }
  ~SessionManager() {
    if (client_) lo_address_free(client_);
    if (server_) lo_server_free(server_);
  }
  bool running() const { return server_ != nullptr; }
  std::string url() const { return "osc.udp://127.0.0.1:" + std::to_string(lo_server_get_port(server_)) + "/"; }

  // The first message at `path` not taken yet, taken; nothing when none comes within the time.
  std::optional<Received> take(const std::string& path, std::chrono::milliseconds timeout = 10000ms) {
    const auto giveUp = std::chrono::steady_clock::now() + timeout;
    for (;;) {
      for (auto message = received_.begin(); message != received_.end(); ++message)
        if (message->path == path) {
          Received found = *message;
          received_.erase(message);
          return found;
        }
      if (std::chrono::steady_clock::now() > giveUp) return std::nullopt;
      lo_server_recv_noblock(server_, 20);
    }
  }
  // Sends to the client that announced itself last, from the manager's socket.
  void send(const std::string& path, const std::vector<std::string>& strings = {}) {
    lo_message message = lo_message_new();
    for (const std::string& text : strings) lo_message_add_string(message, text.c_str());
    EXPECT_GE(lo_send_message_from(client_, server_, path.c_str(), message), 0) << path;
    lo_message_free(message);
  }

 private:
  static int receive(const char* path, const char* types, lo_arg** argv, int argc, lo_message message, void* self) {
    auto& me = *static_cast<SessionManager*>(self);
    Received received{path, {}, {}};
    // Arguments are aligned to 4 bytes only in liblo's message: copy numbers out.
    for (int i = 0; i < argc; ++i) {
      const auto* at = reinterpret_cast<const char*>(argv[i]);
      if (types[i] == LO_STRING) received.strings.emplace_back(at);
      if (types[i] == LO_INT32) {
        std::int32_t number = 0;
        std::memcpy(&number, at, sizeof number);
        received.numbers.push_back(number);
      }
    }
    if (received.path == "/nsm/server/announce") {
      const lo_address source = lo_message_get_source(message);
      if (me.client_) lo_address_free(me.client_);
      me.client_ = lo_address_new(lo_address_get_hostname(source), lo_address_get_port(source));
    }
    me.received_.push_back(received);
    return 0;
  }

  lo_server server_;
  lo_address client_ = nullptr;
  std::deque<Received> received_;
};

class StandaloneTest : public testing::Test {
 protected:
  void SetUp() override {
    if (!std::filesystem::exists("/usr/bin/jackd")) GTEST_SKIP() << "jackd is not installed";
    // The probes for a server that is not up yet are expected to fail.
    jack_set_error_function([](const char*) {});
    documents_.installDefaultData(ZVX_BUILT_DATA);
    documents_.writeFile("Pluginccmap.bin", learnMapFile({{param::kBDTone, kLearnedController}, {param::kBDMenu, kLearnedMenu}}));
    server_ = std::make_unique<JackServer>(folder("jackd"));
    ASSERT_TRUE(server_->ready()) << server_->log();
  }
  void TearDown() override { server_.reset(); }

  std::filesystem::path folder(const std::string& name) {
    const std::filesystem::path path = work_.path() / name;
    std::filesystem::create_directories(path);
    return path;
  }
  // zvx started, and ready to play (its JACK client active).
  std::unique_ptr<RunningProgram> startZvxStandalone(const std::vector<std::string>& arguments) {
    auto zvx = std::make_unique<RunningProgram>(ZVX_STANDALONE_PATH, arguments, folder("zvx" + std::to_string(++runs_)));
    EXPECT_TRUE(zvx->waitForOutput("zvx: playing", 10000ms)) << zvx->err();
    return zvx;
  }
  std::filesystem::path sessionFile() const { return documents_.dataFolder() / "standalone.fxb"; }
  static ProgramRun stop(RunningProgram& zvx, int signal = SIGTERM) {
    zvx.signal(signal);
    return zvx.wait();
  }

  TempFolder work_;
  TempDocuments documents_;
  std::unique_ptr<JackServer> server_;
  int runs_ = 0;
};

// The groove through zvx on JACK is the VST module's rendering in the same periods, bit for bit on all six
// outputs, at the server's period and, started afresh, after the period was halved while it played (through
// which it sounds on); each run ends cleanly on SIGTERM, counting its xruns. A loaded machine's dummy server
// may deal our clients' cycles unevenly at the start, so a groove that differs is played again, twice at most.
TEST_F(StandaloneTest, PlaysTheVstModulesSoundBitForBit) {
  const std::vector<VstMidiEvent> events = {noteOn(0, 36),       noteOn(100, 38, 90), noteOn(700, 42, 64),
                                            noteOn(1500, 39, 110), noteOn(4000, 36, 50), noteOff(4100, 36),
                                            noteOn(6000, 42),     noteOn(6001, 38, 20)};
  constexpr int kFrames = 12000;
  const auto stopped = [](RunningProgram& zvx) {
    const ProgramRun run = stop(zvx);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find(" xrun"), std::string::npos) << run.out;
    return run;
  };
  const auto playsAsTheVstModule = [&](int period) {
    for (int attempt = 1; attempt <= 3; ++attempt) {
      std::filesystem::remove(sessionFile());
      auto zvx = startZvxStandalone({"--no-gui"});
      PlayAndRecord groove(events, kFrames);
      ASSERT_TRUE(groove.played());
      EXPECT_EQ(groove.periods().front().second, period);
      const auto expected = renderInPeriods(events, groove.periods(), kFrames);
      for (std::size_t o = 0; o < expected.size(); ++o) EXPECT_GT(peak(expected[o]), 0.01f) << o;
      const ProgramRun run = stopped(*zvx);
      if (sameBits(groove.recorded(), expected)) return;
      if (attempt == 3)
        ADD_FAILURE() << "at " << period << " frames a period, " << firstDifference(groove.recorded(), expected)
                      << ", zvx said: " << run.out;
    }
  };
  playsAsTheVstModule(kPeriod);

  auto zvx = startZvxStandalone({"--no-gui"});
  PlayAndRecord halved(events, kFrames);
  ASSERT_TRUE(halved.open());
  halved.start();
  ASSERT_TRUE(poll([&] { return halved.periods().size() >= 8; }));
  ASSERT_TRUE(halved.changePeriod(kPeriod / 2));
  ASSERT_TRUE(halved.finished());
  EXPECT_EQ(halved.periods()[halved.periods().size() - 2].second, kPeriod / 2);
  for (std::size_t o = 0; o < kOutputs.size(); ++o) {
    EXPECT_GT(peak(halved.recorded()[o], 8 * kPeriod, kFrames), 0.01f) << o;
    EXPECT_TRUE(std::all_of(halved.recorded()[o].begin(), halved.recorded()[o].end(),
                            [](float x) { return std::isfinite(x); }));
  }
  stopped(*zvx);

  playsAsTheVstModule(kPeriod / 2);
}

// Installed and started by a user who never ran ZVX, zvx fills their data folder from the installed default
// data, says nothing, plays, and keeps the default bank's programs.
TEST_F(StandaloneTest, TheInstalledProgramFillsAFreshUsersDataFolderAndPlays) {
  const FreshUser user;
  RunningProgram zvx((stagedPrefix() / "bin" / "zvx").string(), {"--no-gui"}, user.home());
  ASSERT_TRUE(zvx.waitForOutput("zvx: playing", 10000ms)) << zvx.err();
  PlayAndRecord kick({noteOn(0, 36), noteOn(0, 38)}, kPeriod * 40);
  ASSERT_TRUE(kick.played());
  EXPECT_GT(peak(kick.recorded()[0]), 0.05f);
  const ProgramRun run = stop(zvx);
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.err.find("ZVX message"), std::string::npos) << run.err;
  const auto saved = FxbFile::parse(readBytes(user.dataFolder() / "standalone.fxb"));
  ASSERT_TRUE(saved && saved->chunk.size() == BankImage::kSize);
  BankImage bank;
  bank.writeBank(saved->chunk.data());
  std::vector<std::string> names;
  for (int p = 0; p < BankImage::kPrograms; ++p) names.push_back(bank.programName(p));
  EXPECT_EQ(names, defaultProgramNames());
  EXPECT_TRUE(fs::exists(user.dataFolder() / "skin" / "skin.xml"));
}

// The program chosen and a learned controller's change are saved at SIGTERM as a chunk bank any host loads,
// and the next start plays from it. --bank and --program override it; Ctrl+C and SIGHUP (a closed terminal,
// a dropped ssh session) save too; a save that fails says so.
TEST_F(StandaloneTest, KeepsTheBankAndProgramBetweenRuns) {
  const auto savedAs = [](const ProgramRun& run, int program) {
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("saved the bank and program " + std::to_string(program)), std::string::npos) << run.out;
  };
  auto zvx = startZvxStandalone({"--no-gui", "--program", "5"});
  PlayAndRecord client({controller(0, kLearnedController, 3)}, kPeriod * 4);
  ASSERT_TRUE(client.played());
  savedAs(stop(*zvx), 5);
  const std::vector<unsigned char> saved = readBytes(sessionFile());
  const auto bank = FxbFile::parse(saved);
  ASSERT_TRUE(bank && bank->type == FxbFile::kChunkBank);
  EXPECT_EQ(bank->currentProgram, 5);
  auto vst = startZvx();
  ASSERT_TRUE(vst);
  vst->dispatch(effSetChunk, 0, static_cast<VstIntPtr>(bank->chunk.size()), const_cast<unsigned char*>(bank->chunk.data()));
  vst->dispatch(effSetProgram, 0, 5);
  EXPECT_FLOAT_EQ(vst->getParameter(param::kBDTone), 3.0f / 127.0f);

  ASSERT_EQ(stop(*startZvxStandalone({"--no-gui"})).exitCode, 0);
  EXPECT_EQ(readBytes(sessionFile()), saved) << "the next start did not play from the saved bank";

  vst->dispatch(effSetProgram, 0, 3);
  vst->setParameter(param::kHHDecay, 0.77f);
  const std::filesystem::path given = work_.path() / "given.fxb";
  writeBytes(given, FxbFile::chunkBank(Instrument::kUniqueId, 1, Instrument::kNumPrograms, 3, chunkOf(*vst, 0)));
  savedAs(stop(*startZvxStandalone({"--no-gui", "--bank", given.string(), "--program", "9"}), SIGINT), 9);
  const auto kept = FxbFile::parse(readBytes(sessionFile()));
  ASSERT_TRUE(kept);
  EXPECT_EQ(kept->chunk, chunkOf(*vst, 0));

  savedAs(stop(*startZvxStandalone({"--no-gui", "--program", "11"}), SIGHUP), 11);
  EXPECT_EQ(savedProgram(sessionFile()), 11);

  // A folder where the file should go: the save fails, says so, and leaves the folder as it was.
  std::filesystem::remove(sessionFile());
  std::filesystem::create_directories(sessionFile() / "kept");
  const ProgramRun run = stop(*startZvxStandalone({"--no-gui"}));
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_NE(run.err.find("cannot save"), std::string::npos) << run.err;
  EXPECT_TRUE(std::filesystem::is_directory(sessionFile() / "kept"));
  for (const auto& entry : std::filesystem::directory_iterator(documents_.dataFolder()))
    EXPECT_EQ(entry.path().filename().string().find(".saving-"), std::string::npos) << entry.path();
}

// A program change, on any channel, selects the program at its frame: what comes before plays the program
// it replaces, a hit at its frame (sent before it or after) and later ones the new program, as the VST
// module plays them with its host selecting the program there. Bank Select is passed over. The window's
// title follows and the saved bank keeps the program. (A differing groove is played again, as above.)
TEST_F(StandaloneTest, AProgramChangeSelectsTheProgramAtItsFrame) {
  const std::vector<VstMidiEvent> events = {noteOn(0, 36),         noteOn(500, 42, 90),    controller(2990, 0, 1),
                                            controller(2990, 32, 0), noteOn(3000, 38, 100), programChange(3000, 12, 9),
                                            noteOn(3000, 36),       noteOn(6000, 42)};
  constexpr int kFrames = 9000;
  Display* display = xvfbDisplay().empty() ? nullptr : XOpenDisplay(xvfbDisplay().c_str());
  auto vst = startZvx();
  ASSERT_TRUE(vst);
  const std::string title = titleOf(*vst, 12);
  for (int attempt = 1; attempt <= 3; ++attempt) {
    std::filesystem::remove(sessionFile());
    auto zvx = startZvxStandalone(display ? std::vector<std::string>{} : std::vector<std::string>{"--no-gui"});
    PlayAndRecord groove(events, kFrames);
    ASSERT_TRUE(groove.played());
    if (display) {
      EXPECT_EQ(waitForWindows(display, title, 1).size(), 1u) << "the title did not follow";
    }
    const ProgramRun run = stop(*zvx);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(savedProgram(sessionFile()), 12);
    const auto expected = renderInPeriods(events, groove.periods(), kFrames);
    if (sameBits(groove.recorded(), expected)) break;
    if (attempt == 3) ADD_FAILURE() << firstDifference(groove.recorded(), expected) << ", zvx said: " << run.out;
  }
  if (display) XCloseDisplay(display);
}

// On JACK's process thread, notes, a program change, a learned controller and a sample chosen by one play
// with no allocation, lock, sleep or file call.
TEST_F(StandaloneTest, PlaysWithoutBlockingJacksThread) {
  standalone::StandaloneInstrument instrument;
  struct Counted final : standalone::JackClient::Player {
    explicit Counted(standalone::StandaloneInstrument& instrument) : instrument(instrument) {}
    void play(void* midi, float* const* outputs, int frames) override {
      vsthost::AudioThreadScope audioThread;
      instrument.play(midi, outputs, frames);
    }
    void rateChanged(double rate) override { instrument.rateChanged(rate); }
    standalone::StandaloneInstrument& instrument;
  } counted(instrument);
  std::string error;
  auto client = standalone::JackClient::open("zvx", standalone::StandaloneInstrument::outputNames(), counted, error);
  ASSERT_TRUE(client && client->activate(error)) << error;

  const vsthost::AudioThreadCounts before = vsthost::audioThreadCounts();
  PlayAndRecord player({noteOn(0, 36), programChange(100, 12), controller(300, kLearnedController, 90),
                        controller(600, kLearnedMenu, 127), noteOn(900, 36), noteOn(1200, 38), noteOn(1500, 42)},
                       kPeriod * 12);
  ASSERT_TRUE(player.played());
  expectNothingBlockedSince(before);
  EXPECT_EQ(instrument.control().program(), 12);
  EXPECT_EQ(instrument.control().parameter(param::kBDMenu), 1.0f);
  EXPECT_GT(peak(player.recorded()[2]), 0.01f);
}

// Each thing that can stop it is named, with what to do about it; a run that never played saves nothing.
TEST_F(StandaloneTest, SaysWhatIsWrong) {
  struct Case {
    const char *variable, *value;  // the environment that is wrong, if any
    std::vector<std::string> arguments, said;
  };
  for (const Case& wrong : std::vector<Case>{
           {"JACK_DEFAULT_SERVER", "zvx-test-no-such-server", {"--no-gui"},
            {"cannot connect to the JACK server \"zvx-test-no-such-server\"", "jackd"}},
           {"DISPLAY", "", {}, {"cannot open the X display", "--no-gui"}},
           {nullptr, nullptr, {"--no-gui", "--connect-audio", "system:playback_1", "nowhere:in"}, {"there is no JACK port \"nowhere:in\""}},
           {nullptr, nullptr, {"--no-gui", "--connect-midi", "nowhere:out"}, {"there is no JACK port \"nowhere:out\""}}}) {
    std::optional<ScopedEnv> environment;
    if (wrong.variable) environment.emplace(wrong.variable, wrong.value);
    const ProgramRun run = runProgram(ZVX_STANDALONE_PATH, wrong.arguments, folder("wrong"));
    EXPECT_EQ(run.exitCode, 1);
    for (const std::string& text : wrong.said) EXPECT_NE(run.err.find(text), std::string::npos) << run.err;
  }
  EXPECT_FALSE(std::filesystem::exists(sessionFile())) << "a run that never played saved a bank";

  // A server at a rate no interface gives: zvx says the rate JACK reported and stops.
  server_.reset();
  server_ = std::make_unique<JackServer>(folder("jackd-fast"), 1000000);
  ASSERT_TRUE(server_->ready()) << server_->log();
  const ProgramRun run = runProgram(ZVX_STANDALONE_PATH, {"--no-gui"}, folder("fast"));
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_NE(run.err.find("JACK runs at 1000000 Hz"), std::string::npos) << run.err;
}

// The editor shows in a window of its own at the user's scale, titled with the program; closing it quits
// and saves. Losing its display loses nothing: its window killed as xkill does, or the X server gone, zvx
// says so, saves the bank and program, and ends.
TEST_F(StandaloneTest, SavesWhenItsWindowClosesOrItsDisplayGoesAway) {
  if (xvfbDisplay().empty()) GTEST_SKIP() << "no Xvfb: " << xvfbError();
  auto vst = startZvx();
  ASSERT_TRUE(vst);
  Display* display = XOpenDisplay(xvfbDisplay().c_str());
  ASSERT_NE(display, nullptr);
  documents_.writeFile("editor scale.txt", {'1', '5', '0'});
  auto closed = startZvxStandalone({"--program", "5"});
  std::vector<Placed> windows = waitForWindows(display, titleOf(*vst, 5), 1);
  ASSERT_EQ(windows.size(), 1u) << closed->err();
  EXPECT_EQ(std::make_pair(windows[0].width, windows[0].height), std::make_pair(1200, 750));
  closeWindow(display, windows[0].window);
  const ProgramRun run = closed->wait();
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_NE(run.out.find("saved the bank and program 5"), std::string::npos) << run.out;

  const auto endsSaved = [&](RunningProgram& zvx, int program) {
    const ProgramRun run = zvx.wait();
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("the connection to the X display broke"), std::string::npos) << run.err;
    EXPECT_EQ(run.err.find("X Error"), std::string::npos) << run.err;
    EXPECT_NE(run.out.find("saved the bank and program " + std::to_string(program)), std::string::npos) << run.out;
    EXPECT_EQ(savedProgram(sessionFile()), program);
  };

  auto killed = startZvxStandalone({"--program", "7"});
  windows = waitForWindows(display, titleOf(*vst, 7), 1);
  ASSERT_EQ(windows.size(), 1u) << killed->err();
  XKillClient(display, windows[0].window);
  XSync(display, False);
  endsSaved(*killed, 7);
  XCloseDisplay(display);

  std::filesystem::remove(sessionFile());
  std::optional<vsthost::XvfbServer> own(std::in_place);
  ASSERT_TRUE(own->running()) << own->error();
  ScopedEnv displayed("DISPLAY", own->display().c_str());
  auto stranded = startZvxStandalone({"--program", "8"});
  Display* ownDisplay = XOpenDisplay(own->display().c_str());
  ASSERT_NE(ownDisplay, nullptr);
  EXPECT_EQ(waitForWindows(ownDisplay, titleOf(*vst, 8), 1).size(), 1u) << stranded->err();
  XCloseDisplay(ownDisplay);
  own.reset();
  endsSaved(*stranded, 8);
}

// A skin file the editor cannot use (the skin or its background picture gone) is named in one line that
// offers --no-gui, never with an X error; a run that never played saves nothing.
TEST_F(StandaloneTest, SaysWhichSkinFileCannotBeUsed) {
  if (xvfbDisplay().empty()) GTEST_SKIP() << "no Xvfb: " << xvfbError();
  ScopedEnv messages("ZVX_MESSAGES", "stderr");
  const std::filesystem::path skin = documents_.dataFolder() / "skin";
  for (const auto& [file, said] :
       {std::pair{skin / "skin.xml", "its skin file " + (skin / "skin.xml").string() + " is missing"},
        std::pair{skin / "background.bmp",
                  "the background picture of its skin, " + (skin / "background.bmp").string() + ", is missing"}}) {
    std::filesystem::rename(file, work_.path() / "aside");
    const ProgramRun run = runProgram(ZVX_STANDALONE_PATH, {}, folder("skin"));
    std::filesystem::rename(work_.path() / "aside", file);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find(said), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("run `zvx --no-gui`"), std::string::npos) << run.err;
    EXPECT_EQ(linesOf(run.err).size(), 1u) << run.err;
  }
  EXPECT_FALSE(std::filesystem::exists(sessionFile())) << "a run that never played saved a bank";
}

// Two zvx play side by side under two names, each a JACK client of that name with a bank of its own. The
// same name twice is refused (saying, without --name, how to run two), and so are a name another JACK
// client has and one that is no name.
TEST_F(StandaloneTest, TwoNamesPlaySideBySideTheSameNameTwiceIsRefused) {
  auto first = startZvxStandalone({"--no-gui", "--program", "3"});
  auto second = startZvxStandalone({"--no-gui", "--name", "drums 2", "--program", "9"});
  PlayAndRecord hit({noteOn(0, 36)}, kPeriod * 8, "drums 2");
  ASSERT_TRUE(hit.played());
  EXPECT_GT(peak(hit.recorded()[2]), 0.01f) << "the second zvx did not play";

  jack_client_t* other = jack_client_open("taken", JackNoStartServer, nullptr);
  ASSERT_NE(other, nullptr);
  using Refusal = std::pair<std::vector<std::string>, std::vector<std::string>>;  // arguments, said
  for (const auto& [arguments, said] : std::vector<Refusal>{
           {{"--no-gui"}, {"a zvx named \"zvx\" is already running", "zvx --name"}},
           {{"--no-gui", "--name", "drums 2"}, {"a zvx named \"drums 2\" is already running"}},
           {{"--no-gui", "--name", "taken"}, {"already has a client named \"taken\""}}}) {
    const ProgramRun refused = runProgram(ZVX_STANDALONE_PATH, arguments, folder("again"));
    EXPECT_EQ(refused.exitCode, 1);
    for (const std::string& text : said) EXPECT_NE(refused.err.find(text), std::string::npos) << refused.err;
  }
  jack_client_close(other);
  for (const std::string& name : std::vector<std::string>{"a/b", "x:y", ".hidden", std::string(200, 'z')})
    EXPECT_EQ(runProgram(ZVX_STANDALONE_PATH, {"--no-gui", "--name", name}, folder("again")).exitCode, 2) << name;

  for (auto* zvx : {first.get(), second.get()}) EXPECT_EQ(stop(*zvx).exitCode, 0);
  EXPECT_EQ(savedProgram(documents_.dataFolder() / "standalone.fxb"), 3);
  EXPECT_EQ(savedProgram(documents_.dataFolder() / "standalone-drums 2.fxb"), 9);
}

// In an NSM session zvx announces itself and waits to be opened; it then plays as the JACK client the
// manager names, keeps its state in the manager's path (never the data folder), starts hidden, shows and
// hides its window when asked and hides it when the user closes it, says when it has unsaved changes and
// when they are saved, saves when asked, and quits on SIGTERM without saving. Opened again, it plays what
// was saved, its window as it was. A bank there that is no bank is answered with an error.
TEST_F(StandaloneTest, PlaysInASessionManagersSession) {
  if (xvfbDisplay().empty()) GTEST_SKIP() << "no Xvfb: " << xvfbError();
  SessionManager manager;
  ASSERT_TRUE(manager.running());
  ScopedEnv url("NSM_URL", manager.url().c_str());
  Display* display = XOpenDisplay(xvfbDisplay().c_str());
  ASSERT_NE(display, nullptr);
  auto vst = startZvx();
  ASSERT_TRUE(vst);
  const auto title = [&](int program) { return titleOf(*vst, program, " (zvx.nTEST)"); };
  const auto gone = [&](int program) { return poll([&] { return windowsNamed(display, title(program)).empty(); }); };
  const auto shown = [&](int program) { return waitForWindows(display, title(program), 1); };
  const auto told = [&](const std::string& path) { return manager.take(path).has_value(); };
  const auto repliedTo = [&](const std::string& path) {
    const auto reply = manager.take("/reply");
    return reply && reply->strings.at(0) == path;
  };
  const auto sendProgramChange = [](int program) {
    PlayAndRecord change({programChange(0, program)}, kPeriod * 4, "zvx.nTEST");
    ASSERT_TRUE(change.played());
  };
  const std::filesystem::path path = folder("session") / "zvx.nTEST";
  const auto openedAt = [&](const std::filesystem::path& at) {
    auto zvx = std::make_unique<RunningProgram>(ZVX_STANDALONE_PATH, std::vector<std::string>{},
                                                folder("zvx" + std::to_string(++runs_)));
    const auto announce = manager.take("/nsm/server/announce");
    EXPECT_TRUE(announce) << zvx->err();
    if (!announce) return zvx;
    EXPECT_EQ(announce->strings.at(0), "zvx");
    EXPECT_NE(announce->strings.at(1).find(":optional-gui:"), std::string::npos);
    EXPECT_NE(announce->strings.at(1).find(":dirty:"), std::string::npos);
    EXPECT_EQ(announce->numbers, (std::vector<int>{1, 1, zvx->pid()}));
    EXPECT_FALSE(zvx->waitForOutput("zvx: playing", 300ms)) << "it played before it was opened";
    manager.send("/reply", {"/nsm/server/announce", "Welcome", "Test Manager", ":server-control:optional-gui:"});
    manager.send("/nsm/client/open", {at.string(), "Test Session", "zvx.nTEST"});
    return zvx;
  };

  auto zvx = openedAt(path);
  ASSERT_TRUE(repliedTo("/nsm/client/open")) << zvx->err();
  EXPECT_TRUE(told("/nsm/client/gui_is_hidden"));
  ASSERT_TRUE(zvx->waitForOutput("as JACK client zvx.nTEST", 5000ms)) << zvx->out() << zvx->err();
  EXPECT_TRUE(windowsNamed(display, title(0)).empty());

  manager.send("/nsm/client/show_optional_gui");
  EXPECT_TRUE(told("/nsm/client/gui_is_shown"));
  ASSERT_EQ(shown(0).size(), 1u) << zvx->err();
  sendProgramChange(12);
  EXPECT_TRUE(told("/nsm/client/is_dirty"));
  const std::vector<Placed> windows = shown(12);
  ASSERT_EQ(windows.size(), 1u);

  // Closed by the user: hidden, and zvx plays on.
  closeWindow(display, windows[0].window);
  EXPECT_TRUE(told("/nsm/client/gui_is_hidden"));
  EXPECT_TRUE(gone(12));
  manager.send("/nsm/client/show_optional_gui");
  EXPECT_TRUE(told("/nsm/client/gui_is_shown"));
  EXPECT_EQ(shown(12).size(), 1u);

  manager.send("/nsm/client/save");
  ASSERT_TRUE(repliedTo("/nsm/client/save")) << zvx->err();
  EXPECT_TRUE(told("/nsm/client/is_clean"));
  const std::vector<unsigned char> saved = readBytes(path / "bank.fxb");
  EXPECT_EQ(savedProgram(path / "bank.fxb"), 12);

  manager.send("/nsm/client/hide_optional_gui");
  EXPECT_TRUE(told("/nsm/client/gui_is_hidden"));
  EXPECT_TRUE(gone(12));
  sendProgramChange(20);
  EXPECT_TRUE(told("/nsm/client/is_dirty"));
  EXPECT_EQ(stop(*zvx).exitCode, 0);
  EXPECT_EQ(readBytes(path / "bank.fxb"), saved) << "it saved without being told to";
  EXPECT_FALSE(std::filesystem::exists(sessionFile()));

  zvx = openedAt(path);
  ASSERT_TRUE(repliedTo("/nsm/client/open")) << zvx->err();
  EXPECT_TRUE(told("/nsm/client/gui_is_shown"));
  EXPECT_EQ(shown(12).size(), 1u) << zvx->err();
  EXPECT_EQ(stop(*zvx).exitCode, 0);
  EXPECT_EQ(readBytes(path / "bank.fxb"), saved);

  const std::filesystem::path broken = folder("session/zvx.nBROKEN");
  writeBytes(broken / "bank.fxb", {'n', 'o', ' ', 'b', 'a', 'n', 'k'});
  zvx = openedAt(broken);
  const auto error = manager.take("/error");
  ASSERT_TRUE(error) << zvx->err();
  EXPECT_EQ(error->strings.at(0), "/nsm/client/open");
  EXPECT_EQ(error->numbers, std::vector<int>{-9});
  EXPECT_EQ(zvx->wait().exitCode, 1);
  XCloseDisplay(display);
}

// zvx runs in the user's locale yet reads numbers it is handed with a decimal point: under a German
// LC_NUMERIC, QT_SCALE_FACTOR=1.5 opens the editor at 150 %, and 1,5 is no number to Qt (100 %).
TEST_F(StandaloneTest, ReadsNumbersWithADecimalPointInAnyLocale) {
  if (xvfbDisplay().empty()) GTEST_SKIP() << "no Xvfb: " << xvfbError();
  const std::string locale = decimalCommaLocale();
  if (locale.empty()) GTEST_SKIP() << "no locale with a decimal comma (de_DE.UTF-8) could be made";
  ScopedEnv all("LC_ALL", nullptr);
  ScopedEnv numeric("LC_NUMERIC", locale.c_str());
  Display* display = XOpenDisplay(xvfbDisplay().c_str());
  ASSERT_NE(display, nullptr);
  auto vst = startZvx();
  ASSERT_TRUE(vst);
  const std::string title = titleOf(*vst, 4);
  for (const auto& [factor, width, height] : {std::tuple{"1.5", 1200, 750}, std::tuple{"1,5", 800, 500}}) {
    ScopedEnv scale("QT_SCALE_FACTOR", factor);
    auto zvx = startZvxStandalone({"--program", "4"});
    const std::vector<Placed> windows = waitForWindows(display, title, 1);
    ASSERT_EQ(windows.size(), 1u) << zvx->err();
    EXPECT_EQ(std::make_pair(windows[0].width, windows[0].height), std::make_pair(width, height)) << factor;
    EXPECT_EQ(stop(*zvx).exitCode, 0);
  }
  XCloseDisplay(display);
}

}  // namespace
}  // namespace zvx::test
