// zvx, the standalone instrument, as a user runs it: on a private JACK server
// with the dummy backend, played by a MIDI client of ours and recorded by
// another, against the VST module rendering the same events at the same
// period; its bank kept across runs; its window; its errors.
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

// A private JACK server with the dummy backend, named for this process and
// test; the clients of this process (and the programs it starts) use it.
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
  // Whether a client can connect, within a few seconds.
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

// Two clients of ours: one sends the events from a cycle chosen by start(),
// at their frames counted from that cycle's first; the other records zvx's
// six outputs from the same frame on. JACK runs them before and after zvx in
// every cycle, as the connections order them.
class PlayAndRecord {
 public:
  // `zvx` is the JACK client name of the zvx played.
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
    jack_set_xrun_callback(recorder_, [](void* self) { return static_cast<PlayAndRecord*>(self)->xruns_.fetch_add(1), 0; }, this);
    if (jack_activate(sender_) != 0 || jack_activate(recorder_) != 0) return false;
    bool connected = jack_connect(sender_, jack_port_name(midiOut_), (zvx_ + ":midi_in").c_str()) == 0;
    for (std::size_t o = 0; o < kOutputs.size(); ++o)
      connected = connected && jack_connect(recorder_, (zvx_ + ":" + kOutputs[o]).c_str(), jack_port_name(inputs_[o])) == 0;
    return connected;
  }
  // Arms the sender once the server's graph has taken the connections (a few periods on), so that no
  // event goes out before zvx and the recorder are wired.
  void start() {
    EXPECT_TRUE(poll([&] {
      return jack_port_connected(midiOut_) > 0 &&
             std::all_of(inputs_.begin(), inputs_.end(), [](jack_port_t* input) { return jack_port_connected(input) > 0; });
    }));
    std::this_thread::sleep_for(100ms);
    armed_.store(true);
  }
  // Asks the server for another period, as a user may while zvx plays.
  bool changePeriod(int frames) { return jack_set_buffer_size(sender_, static_cast<jack_nframes_t>(frames)) == 0; }
  bool finished(std::chrono::milliseconds timeout = 10000ms) { return poll([&] { return done_.load(); }, timeout); }
  const std::vector<Channel>& recorded() const { return recorded_; }
  // Cycles the server found late while these clients were up: in one, a client's output may be missing.
  int xruns() const { return xruns_.load(); }
  // The periods recorded, in order: where each began (from the first) and its length.
  std::vector<std::pair<long, int>> periods() const { return {periods_.begin(), periods_.begin() + periodCount_.load()}; }

 private:
  // Frames are counted period by period from the first armed one: JACK's frame clock may jump when the
  // period changes.
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
  std::atomic<int> xruns_{0};
};

inline VstMidiEvent programChange(int at, int program, int ch = 0) { return midiEvent(at, 0xC0 | ch, program, 0); }
bool isProgramChange(const VstMidiEvent& event) { return (event.midiData[0] & 0xF0) == 0xC0; }

// The VST module playing the events in the periods given, one after the other, its host selecting the
// program of each program change at that change's frame, after the events before it and before those at
// that frame and after.
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

// A session manager of the test's own, as NSM-compatible managers talk to their clients: one OSC socket
// over UDP, the client's announcement answered from it, and what the client sends kept in order.
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
  // A client's announcement welcomed, then opened with that path and client name.
  void welcomeAndOpen(const std::string& path, const std::string& clientId) {
    send("/reply", {"/nsm/server/announce", "Welcome", "Test Manager", ":server-control:optional-gui:"});
    send("/nsm/client/open", {path, "Test Session", clientId});
  }

 private:
  static int receive(const char* path, const char* types, lo_arg** argv, int argc, lo_message message, void* self) {
    auto& me = *static_cast<SessionManager*>(self);
    Received received{path, {}, {}};
    // Arguments are aligned to 4 bytes only in liblo's message: read from where each begins.
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

  TempFolder work_;
  TempDocuments documents_;
  std::unique_ptr<JackServer> server_;
  int runs_ = 0;
};

// The groove through zvx on JACK is the VST module's rendering of the same events in the same periods,
// bit for bit on all six outputs, at the server's period and, started afresh, after the period was halved
// while it played (through which it goes on sounding); every run ends cleanly on SIGTERM and counts its
// xruns. On a loaded machine the dummy server now and then hands our two clients' cycles unevenly around
// the start, so a groove that differs is played again afresh, twice at most: a fault of zvx's fails all three.
TEST_F(StandaloneTest, PlaysTheVstModulesSoundBitForBit) {
  const std::vector<VstMidiEvent> events = {noteOn(0, 36),       noteOn(100, 38, 90), noteOn(700, 42, 64),
                                            noteOn(1500, 39, 110), noteOn(4000, 36, 50), noteOff(4100, 36),
                                            noteOn(6000, 42),     noteOn(6001, 38, 20)};
  constexpr int kFrames = 12000;
  const auto stopped = [](RunningProgram& zvx) {
    zvx.signal(SIGTERM);
    const ProgramRun run = zvx.wait();
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find(" xrun"), std::string::npos) << run.out;
    return run;
  };
  const auto playsAsTheVstModule = [&](int period) {
    for (int attempt = 1; attempt <= 3; ++attempt) {
      std::filesystem::remove(sessionFile());
      auto zvx = startZvxStandalone({"--no-gui"});
      PlayAndRecord groove(events, kFrames);
      ASSERT_TRUE(groove.open());
      groove.start();
      ASSERT_TRUE(groove.finished());
      EXPECT_EQ(groove.periods().front().second, period);
      const auto expected = renderInPeriods(events, groove.periods(), kFrames);
      for (std::size_t o = 0; o < expected.size(); ++o) EXPECT_GT(peak(expected[o]), 0.01f) << o;
      const ProgramRun run = stopped(*zvx);
      if (sameBits(groove.recorded(), expected)) return;
      if (attempt == 3)
        ADD_FAILURE() << "at " << period << " frames a period, " << firstDifference(groove.recorded(), expected)
                      << ", xruns " << groove.xruns() << ", zvx said: " << run.out;
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

// zvx as a packager installs it, started by a user who never ran ZVX: it
// fills their new data folder from the installed default data, says
// nothing, plays, and keeps the default bank's programs.
TEST_F(StandaloneTest, TheInstalledProgramFillsAFreshUsersDataFolderAndPlays) {
  const FreshUser user;
  auto zvx = std::make_unique<RunningProgram>((stagedPrefix() / "bin" / "zvx").string(), std::vector<std::string>{"--no-gui"},
                                              user.home());
  ASSERT_TRUE(zvx->waitForOutput("zvx: playing", 10000ms)) << zvx->err();
  PlayAndRecord kick({noteOn(0, 36), noteOn(0, 38)}, kPeriod * 40);
  ASSERT_TRUE(kick.open());
  kick.start();
  ASSERT_TRUE(kick.finished());
  EXPECT_GT(peak(kick.recorded()[0]), 0.05f);
  zvx->signal(SIGTERM);
  const ProgramRun run = zvx->wait();
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

// What a user built survives: the program chosen and a learned controller's change are saved at SIGTERM
// as a chunk bank any host loads, and the next start plays from it (its own save at once is the same
// file). --bank and --program override it; Ctrl+C saves too, and so does SIGHUP (its terminal closed, an
// ssh session dropped); a save that fails says so.
TEST_F(StandaloneTest, KeepsTheBankAndProgramBetweenRuns) {
  const auto stopped = [](std::unique_ptr<RunningProgram> zvx, int signal = SIGTERM) {
    zvx->signal(signal);
    return zvx->wait();
  };
  auto zvx = startZvxStandalone({"--no-gui", "--program", "5"});
  PlayAndRecord client({controller(0, kLearnedController, 3)}, kPeriod * 4);
  ASSERT_TRUE(client.open());
  client.start();
  ASSERT_TRUE(client.finished());
  ProgramRun run = stopped(std::move(zvx));
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_NE(run.out.find("saved the bank and program 5"), std::string::npos) << run.out;
  const std::vector<unsigned char> saved = readBytes(sessionFile());
  const auto bank = FxbFile::parse(saved);
  ASSERT_TRUE(bank && bank->type == FxbFile::kChunkBank);
  EXPECT_EQ(bank->currentProgram, 5);
  auto vst = startZvx();
  ASSERT_TRUE(vst);
  vst->dispatch(effSetChunk, 0, static_cast<VstIntPtr>(bank->chunk.size()), const_cast<unsigned char*>(bank->chunk.data()));
  vst->dispatch(effSetProgram, 0, 5);
  EXPECT_FLOAT_EQ(vst->getParameter(param::kBDTone), 3.0f / 127.0f);

  ASSERT_EQ(stopped(startZvxStandalone({"--no-gui"})).exitCode, 0);
  EXPECT_EQ(readBytes(sessionFile()), saved) << "the next start did not play from the saved bank";

  vst->dispatch(effSetProgram, 0, 3);
  vst->setParameter(param::kHHDecay, 0.77f);
  const std::filesystem::path given = work_.path() / "given.fxb";
  writeBytes(given, FxbFile::chunkBank(Instrument::kUniqueId, 1, Instrument::kNumPrograms, 3, chunkOf(*vst, 0)));
  run = stopped(startZvxStandalone({"--no-gui", "--bank", given.string(), "--program", "9"}), SIGINT);
  EXPECT_NE(run.out.find("saved the bank and program 9"), std::string::npos) << run.out;
  const auto kept = FxbFile::parse(readBytes(sessionFile()));
  ASSERT_TRUE(kept);
  EXPECT_EQ(kept->chunk, chunkOf(*vst, 0));

  run = stopped(startZvxStandalone({"--no-gui", "--program", "11"}), SIGHUP);
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_NE(run.out.find("saved the bank and program 11"), std::string::npos) << run.out;
  const auto hungUp = FxbFile::parse(readBytes(sessionFile()));
  ASSERT_TRUE(hungUp);
  EXPECT_EQ(hungUp->currentProgram, 11);

  // A folder where the file should go: the save fails, says so, and leaves the folder as it was.
  std::filesystem::remove(sessionFile());
  std::filesystem::create_directories(sessionFile() / "kept");
  run = stopped(startZvxStandalone({"--no-gui"}));
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_NE(run.err.find("cannot save"), std::string::npos) << run.err;
  EXPECT_TRUE(std::filesystem::is_directory(sessionFile() / "kept"));
  for (const auto& entry : std::filesystem::directory_iterator(documents_.dataFolder()))
    EXPECT_EQ(entry.path().filename().string().find(".saving-"), std::string::npos) << entry.path();
}

// A program change from a pad or a foot controller, on any channel, selects the program at its frame: what
// comes before it plays the program it replaces, a hit at its frame (sent before it or after) and later ones
// the new program, as the VST module plays the same events with its host selecting the program there. Bank
// Select is passed over. The window's title follows, and the bank saved at the end keeps the program. (On a
// loaded machine the groove is played again afresh, twice at most, as above.)
TEST_F(StandaloneTest, AProgramChangeSelectsTheProgramAtItsFrame) {
  const std::vector<VstMidiEvent> events = {noteOn(0, 36),         noteOn(500, 42, 90),    controller(2990, 0, 1),
                                            controller(2990, 32, 0), noteOn(3000, 38, 100), programChange(3000, 12, 9),
                                            noteOn(3000, 36),       noteOn(6000, 42)};
  constexpr int kFrames = 9000;
  const bool windowed = !xvfbDisplay().empty();
  Display* display = windowed ? XOpenDisplay(xvfbDisplay().c_str()) : nullptr;
  auto vst = startZvx();
  ASSERT_TRUE(vst);
  vst->dispatch(effSetProgram, 0, 12);
  const std::string title = "ZVX - 012 " + vst->programName();
  for (int attempt = 1; attempt <= 3; ++attempt) {
    std::filesystem::remove(sessionFile());
    auto zvx = startZvxStandalone(windowed ? std::vector<std::string>{} : std::vector<std::string>{"--no-gui"});
    PlayAndRecord groove(events, kFrames);
    ASSERT_TRUE(groove.open());
    groove.start();
    ASSERT_TRUE(groove.finished());
    if (display) {
      EXPECT_EQ(waitForWindows(display, title, 1).size(), 1u) << "the title did not follow";
    }
    zvx->signal(SIGTERM);
    const ProgramRun run = zvx->wait();
    EXPECT_EQ(run.exitCode, 0) << run.err;
    const auto bank = FxbFile::parse(readBytes(sessionFile()));
    ASSERT_TRUE(bank);
    EXPECT_EQ(bank->currentProgram, 12);
    const auto expected = renderInPeriods(events, groove.periods(), kFrames);
    if (sameBits(groove.recorded(), expected)) break;
    if (attempt == 3) ADD_FAILURE() << firstDifference(groove.recorded(), expected) << ", zvx said: " << run.out;
  }
  if (display) XCloseDisplay(display);
}

// The instrument zvx plays, on JACK's process thread of this process: notes, a program change, a learned
// controller and a sample chosen by one are played with no allocation, lock, sleep or file call there.
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
  ASSERT_TRUE(player.open());
  player.start();
  ASSERT_TRUE(player.finished());
  expectNothingBlockedSince(before);
  EXPECT_EQ(instrument.control().program(), 12);
  EXPECT_EQ(instrument.control().parameter(param::kBDMenu), 1.0f);
  EXPECT_GT(peak(player.recorded()[2]), 0.01f);
}

// Each thing that can stop it is named, with what to do about it.
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

// With a display: the editor in a window of its own at the user's scale, titled with the program; the
// title follows a program change, and closing the window quits and saves.
TEST_F(StandaloneTest, ShowsTheEditorInAWindowTitledWithTheProgram) {
  if (xvfbDisplay().empty()) GTEST_SKIP() << "no Xvfb: " << xvfbError();
  Display* display = XOpenDisplay(xvfbDisplay().c_str());
  ASSERT_NE(display, nullptr);
  documents_.writeFile("editor scale.txt", {'1', '5', '0'});
  auto zvx = startZvxStandalone({"--program", "5"});
  auto vst = startZvx();
  ASSERT_TRUE(vst);
  vst->dispatch(effSetProgram, 0, 5);
  const std::vector<Placed> windows = waitForWindows(display, "ZVX - 005 " + vst->programName(), 1);
  ASSERT_EQ(windows.size(), 1u) << zvx->err();
  EXPECT_EQ(std::make_pair(windows[0].width, windows[0].height), std::make_pair(1200, 750));

  // The next program, chosen on the editor's program line.
  vsthost::HeadlessEditor layout(*vst);
  ASSERT_TRUE(layout.open());
  const auto next = layout.find("ProgramStepButton", kNextProgramTag);
  ASSERT_TRUE(next);
  layout.close();
  Input(display).click(windows[0].x + next->centreX() * 3 / 2, windows[0].y + next->centreY() * 3 / 2);
  vst->dispatch(effSetProgram, 0, 6);
  EXPECT_EQ(waitForWindows(display, "ZVX - 006 " + vst->programName(), 1).size(), 1u) << "the title stayed";

  XEvent close{};
  close.xclient = {ClientMessage, 0, False, display, windows[0].window, XInternAtom(display, "WM_PROTOCOLS", False), 32, {}};
  close.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
  XSendEvent(display, windows[0].window, False, NoEventMask, &close);
  XFlush(display);
  const ProgramRun run = zvx->wait();
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_NE(run.out.find("saved the bank and program 6"), std::string::npos) << run.out;
  XCloseDisplay(display);
}


// Losing its display loses nothing: with its window killed as xkill kills it (the X server drops zvx's
// connection), or with the X server itself gone, zvx says so, saves the bank and program, and ends.
TEST_F(StandaloneTest, SavesWhenItsDisplayGoesAway) {
  if (xvfbDisplay().empty()) GTEST_SKIP() << "no Xvfb: " << xvfbError();
  auto vst = startZvx();
  ASSERT_TRUE(vst);
  const auto titleOf = [&](int program) {
    vst->dispatch(effSetProgram, 0, program);
    char number[8];
    std::snprintf(number, sizeof number, "%03d", program);
    return std::string("ZVX - ") + number + " " + vst->programName();
  };
  const auto endsSaved = [&](RunningProgram& zvx, int program) {
    const ProgramRun run = zvx.wait();
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("the connection to the X display broke"), std::string::npos) << run.err;
    EXPECT_EQ(run.err.find("X Error"), std::string::npos) << run.err;
    EXPECT_NE(run.out.find("saved the bank and program " + std::to_string(program)), std::string::npos) << run.out;
    const auto bank = FxbFile::parse(readBytes(sessionFile()));
    ASSERT_TRUE(bank);
    EXPECT_EQ(bank->currentProgram, program);
  };

  Display* display = XOpenDisplay(xvfbDisplay().c_str());
  ASSERT_NE(display, nullptr);
  auto killed = startZvxStandalone({"--program", "7"});
  const std::vector<Placed> windows = waitForWindows(display, titleOf(7), 1);
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
  EXPECT_EQ(waitForWindows(ownDisplay, titleOf(8), 1).size(), 1u) << stranded->err();
  XCloseDisplay(ownDisplay);
  own.reset();
  endsSaved(*stranded, 8);
}

// A skin the editor cannot be shown with, its file gone or the background picture it names, is said in one
// line that names the file and offers --no-gui, never with an X error; a run that never played saves nothing.
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

// Two zvx play side by side under two names, each a JACK client of its own name with a bank of its own
// (standalone.fxb, standalone-NAME.fxb). The same name twice is refused, and without --name the refusal
// says how to run two; a name another JACK client has is refused too, and so is one that is no name.
TEST_F(StandaloneTest, TwoNamesPlaySideBySideTheSameNameTwiceIsRefused) {
  auto first = startZvxStandalone({"--no-gui", "--program", "3"});
  auto second = startZvxStandalone({"--no-gui", "--name", "drums 2", "--program", "9"});
  PlayAndRecord hit({noteOn(0, 36)}, kPeriod * 8, "drums 2");
  ASSERT_TRUE(hit.open());
  hit.start();
  ASSERT_TRUE(hit.finished());
  EXPECT_GT(peak(hit.recorded()[2]), 0.01f) << "the second zvx did not play";

  ProgramRun refused = runProgram(ZVX_STANDALONE_PATH, {"--no-gui"}, folder("again"));
  EXPECT_EQ(refused.exitCode, 1);
  EXPECT_NE(refused.err.find("a zvx named \"zvx\" is already running"), std::string::npos) << refused.err;
  EXPECT_NE(refused.err.find("zvx --name"), std::string::npos) << refused.err;
  refused = runProgram(ZVX_STANDALONE_PATH, {"--no-gui", "--name", "drums 2"}, folder("again"));
  EXPECT_EQ(refused.exitCode, 1);
  EXPECT_NE(refused.err.find("a zvx named \"drums 2\" is already running"), std::string::npos) << refused.err;

  jack_client_t* other = jack_client_open("taken", JackNoStartServer, nullptr);
  ASSERT_NE(other, nullptr);
  refused = runProgram(ZVX_STANDALONE_PATH, {"--no-gui", "--name", "taken"}, folder("again"));
  jack_client_close(other);
  EXPECT_EQ(refused.exitCode, 1);
  EXPECT_NE(refused.err.find("already has a client named \"taken\""), std::string::npos) << refused.err;
  for (const std::string& name : std::vector<std::string>{"a/b", "x:y", ".hidden", std::string(200, 'z')})
    EXPECT_EQ(runProgram(ZVX_STANDALONE_PATH, {"--no-gui", "--name", name}, folder("again")).exitCode, 2) << name;

  for (auto* zvx : {first.get(), second.get()}) {
    zvx->signal(SIGTERM);
    EXPECT_EQ(zvx->wait().exitCode, 0);
  }
  for (const auto& [file, program] : {std::pair{"standalone.fxb", 3}, std::pair{"standalone-drums 2.fxb", 9}}) {
    const auto bank = FxbFile::parse(readBytes(documents_.dataFolder() / file));
    ASSERT_TRUE(bank) << file;
    EXPECT_EQ(bank->currentProgram, program) << file;
  }
}

// zvx in the session of a session manager, here one of the test's own speaking the NSM protocol over OSC.
// zvx announces itself and waits to be opened; it then plays as the JACK client the manager names, keeps
// its state in the path the manager gives (never in the data folder), starts with its window hidden, shows
// and hides it when asked and hides it when the user closes it, says when it has unsaved changes and when
// they are saved, saves when asked, and quits on SIGTERM without saving. Opened again, it plays what was
// saved, its window shown as it was. A bank there that is no bank is answered with an error.
TEST_F(StandaloneTest, PlaysInASessionManagersSession) {
  if (xvfbDisplay().empty()) GTEST_SKIP() << "no Xvfb: " << xvfbError();
  SessionManager manager;
  ASSERT_TRUE(manager.running());
  ScopedEnv url("NSM_URL", manager.url().c_str());
  Display* display = XOpenDisplay(xvfbDisplay().c_str());
  ASSERT_NE(display, nullptr);
  auto vst = startZvx();
  ASSERT_TRUE(vst);
  const auto titleOf = [&](int program) {
    vst->dispatch(effSetProgram, 0, program);
    char number[8];
    std::snprintf(number, sizeof number, "%03d", program);
    return std::string("ZVX - ") + number + " " + vst->programName() + " (zvx.nTEST)";
  };
  const auto gone = [&](const std::string& title) { return poll([&] { return windowsNamed(display, title).empty(); }); };
  const auto sendProgramChange = [](int program) {
    PlayAndRecord change({programChange(0, program)}, kPeriod * 4, "zvx.nTEST");
    ASSERT_TRUE(change.open());
    change.start();
    ASSERT_TRUE(change.finished());
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
    manager.welcomeAndOpen(at.string(), "zvx.nTEST");
    return zvx;
  };

  auto zvx = openedAt(path);
  auto reply = manager.take("/reply");
  ASSERT_TRUE(reply) << zvx->err();
  EXPECT_EQ(reply->strings.at(0), "/nsm/client/open");
  EXPECT_TRUE(manager.take("/nsm/client/gui_is_hidden"));
  ASSERT_TRUE(zvx->waitForOutput("as JACK client zvx.nTEST", 5000ms)) << zvx->out() << zvx->err();
  EXPECT_TRUE(windowsNamed(display, titleOf(0)).empty());

  manager.send("/nsm/client/show_optional_gui");
  EXPECT_TRUE(manager.take("/nsm/client/gui_is_shown"));
  std::vector<Placed> windows = waitForWindows(display, titleOf(0), 1);
  ASSERT_EQ(windows.size(), 1u) << zvx->err();
  sendProgramChange(12);
  EXPECT_TRUE(manager.take("/nsm/client/is_dirty"));
  windows = waitForWindows(display, titleOf(12), 1);
  ASSERT_EQ(windows.size(), 1u);

  // Closed by the user: hidden, and zvx plays on.
  XEvent close{};
  close.xclient = {ClientMessage, 0, False, display, windows[0].window, XInternAtom(display, "WM_PROTOCOLS", False), 32, {}};
  close.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
  XSendEvent(display, windows[0].window, False, NoEventMask, &close);
  XFlush(display);
  EXPECT_TRUE(manager.take("/nsm/client/gui_is_hidden"));
  EXPECT_TRUE(gone(titleOf(12)));
  manager.send("/nsm/client/show_optional_gui");
  EXPECT_TRUE(manager.take("/nsm/client/gui_is_shown"));
  EXPECT_EQ(waitForWindows(display, titleOf(12), 1).size(), 1u);

  manager.send("/nsm/client/save");
  reply = manager.take("/reply");
  ASSERT_TRUE(reply) << zvx->err();
  EXPECT_EQ(reply->strings.at(0), "/nsm/client/save");
  EXPECT_TRUE(manager.take("/nsm/client/is_clean"));
  const std::vector<unsigned char> saved = readBytes(path / "bank.fxb");
  auto bank = FxbFile::parse(saved);
  ASSERT_TRUE(bank);
  EXPECT_EQ(bank->currentProgram, 12);

  manager.send("/nsm/client/hide_optional_gui");
  EXPECT_TRUE(manager.take("/nsm/client/gui_is_hidden"));
  EXPECT_TRUE(gone(titleOf(12)));
  sendProgramChange(20);
  EXPECT_TRUE(manager.take("/nsm/client/is_dirty"));
  zvx->signal(SIGTERM);
  ProgramRun run = zvx->wait();
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(readBytes(path / "bank.fxb"), saved) << "it saved without being told to";
  EXPECT_FALSE(std::filesystem::exists(sessionFile()));

  zvx = openedAt(path);
  reply = manager.take("/reply");
  ASSERT_TRUE(reply) << zvx->err();
  EXPECT_EQ(reply->strings.at(0), "/nsm/client/open");
  EXPECT_TRUE(manager.take("/nsm/client/gui_is_shown"));
  EXPECT_EQ(waitForWindows(display, titleOf(12), 1).size(), 1u) << zvx->err();
  zvx->signal(SIGTERM);
  run = zvx->wait();
  EXPECT_EQ(run.exitCode, 0) << run.err;
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

// zvx runs in the user's locale, yet reads a number it is handed with a decimal point whatever that locale
// says: under a German LC_NUMERIC, QT_SCALE_FACTOR=1.5 opens the editor at 150 %, and 1,5 is no number, as
// Qt reads it (the editor opens at 100 %).
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
  vst->dispatch(effSetProgram, 0, 4);
  for (const auto& [factor, width, height] : {std::tuple{"1.5", 1200, 750}, std::tuple{"1,5", 800, 500}}) {
    ScopedEnv scale("QT_SCALE_FACTOR", factor);
    auto zvx = startZvxStandalone({"--program", "4"});
    const std::vector<Placed> windows = waitForWindows(display, "ZVX - 004 " + vst->programName(), 1);
    ASSERT_EQ(windows.size(), 1u) << zvx->err();
    EXPECT_EQ(std::make_pair(windows[0].width, windows[0].height), std::make_pair(width, height)) << factor;
    zvx->signal(SIGTERM);
    EXPECT_EQ(zvx->wait().exitCode, 0);
  }
  XCloseDisplay(display);
}

}  // namespace
}  // namespace zvx::test
