// The voices side by side (ZVX, ZVX_sse2) against one voice at a time
// (ZVX_scalar): every output bit for bit the same, and the same in any block
// size, so a bounce sounds as the live playback did.

#include "engine/Parameters.h"
#include "tests/support/TestSupport.h"

namespace zvx::test {
namespace {

namespace fs = std::filesystem;

constexpr int kBlockSizes[] = {1, 64, 512, 4097};
constexpr int kPrograms = 128;
constexpr int kMixLeft = 0, kMixRight = 1;
// Below this peak a mix counts as silence: a harness that renders nothing fails.
constexpr float kAudible = 0.01f;

// The controllers the data folder's learn map binds, and what to.
const std::vector<std::pair<int, int>> kLearned = {{param::kBDTone, 20},      {param::kHHPitch, 21},
                                                   {param::kMasterChaos, 22}, {param::kCPCricket, 23},
                                                   {param::kSDDecay, 24},     {param::kBDPan, 25}};

const vsthost::Module& scalarModule() {
  static std::unique_ptr<vsthost::Module> module = loadModuleOrAbort(ZVX_SCALAR_MODULE_PATH);
  return *module;
}

const vsthost::Module& sse2Module() {
  static std::unique_ptr<vsthost::Module> module = loadModuleOrAbort(ZVX_SSE2_MODULE_PATH);
  return *module;
}

// Something done to the instance between two samples, as a host does between blocks.
struct Change {
  int frame;
  std::function<void(vsthost::Plugin&)> apply;
};

Change set(int frame, int index, float value) {
  return {frame, [=](vsthost::Plugin& zvx) { zvx.setParameter(index, value); }};
}

Change rate(int frame, int hz) {
  return {frame, [=](vsthost::Plugin& zvx) {
            zvx.config().sampleRate = hz;
            zvx.dispatch(effSetSampleRate, 0, 0, nullptr, static_cast<float>(hz));
          }};
}

// One render of a fresh instance: the settings, then the events and changes where they fall.
struct Take {
  explicit Take(std::string n, int f = 0, std::vector<VstMidiEvent> e = {}, Settings s = {}, std::vector<Change> c = {})
      : name(std::move(n)), frames(f), events(std::move(e)), settings(std::move(s)), changes(std::move(c)) {}
  std::string name;
  int frames = 0;
  std::vector<VstMidiEvent> events;
  Settings settings;
  std::vector<Change> changes;
  int rate = 44100;
  std::function<std::string(std::size_t frame)> where;
};

std::vector<Channel> play(const vsthost::Module& module, const Take& take, int blockSize) {
  vsthost::HostConfig config;
  config.sampleRate = take.rate;
  std::string error;
  auto zvx = vsthost::Plugin::create(module, config, error);
  if (!zvx) {
    ADD_FAILURE() << error;
    return {};
  }
  zvx->start(static_cast<float>(take.rate), blockSize);
  zvx->dispatch(effSetProgram, 0, 0);
  for (const auto& [index, value] : take.settings) zvx->setParameter(index, value);

  std::vector<Change> changes = take.changes;
  std::stable_sort(changes.begin(), changes.end(), [](const Change& a, const Change& b) { return a.frame < b.frame; });
  std::vector<Channel> out(static_cast<std::size_t>(zvx->effect()->numOutputs));
  std::size_t next = 0;
  for (int from = 0; from < take.frames;) {
    while (next < changes.size() && changes[next].frame <= from) changes[next++].apply(*zvx);
    const int to = next < changes.size() ? std::min(changes[next].frame, take.frames) : take.frames;
    std::vector<VstMidiEvent> events;
    for (VstMidiEvent event : take.events)
      if (event.deltaFrames >= from && event.deltaFrames < to) {
        event.deltaFrames -= from;
        events.push_back(event);
      }
    const std::vector<Channel> stretch = zvx->render(to - from, blockSize, events);
    for (std::size_t c = 0; c < out.size(); ++c) out[c].insert(out[c].end(), stretch[c].begin(), stretch[c].end());
    from = to;
  }
  return out;
}

// The first sample whose bits differ; SIZE_MAX when none does.
std::size_t firstDifference(const Channel& a, const Channel& b) {
  const std::size_t length = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < length; ++i)
    if (std::memcmp(&a[i], &b[i], sizeof(float)) != 0) return i;
  return a.size() == b.size() ? SIZE_MAX : length;
}

// The take in every block size through both modules; returns the renders of ZVX.
std::vector<std::vector<Channel>> expectOneVoiceAtATimeSound(const Take& take) {
  std::vector<std::vector<Channel>> renders;
  for (const int blockSize : kBlockSizes) {
    SCOPED_TRACE(take.name + ", blocks of " + std::to_string(blockSize));
    const std::vector<Channel> oneAtATime = play(scalarModule(), take, blockSize);
    EXPECT_EQ(oneAtATime.size(), 6u);
    std::vector<Channel> sideBySide;
    for (const vsthost::Module* module : {&sse2Module(), &zvxModule()}) {
      SCOPED_TRACE(module == &zvxModule() ? "ZVX" : "ZVX_sse2");
      sideBySide = play(*module, take, blockSize);
      EXPECT_EQ(sideBySide.size(), 6u);
      if (sideBySide.size() != 6u || oneAtATime.size() != 6u) return renders;
      EXPECT_GT(std::max(peak(sideBySide[kMixLeft]), peak(sideBySide[kMixRight])), kAudible) << "the mix is silent";
      for (std::size_t c = 0; c < 6; ++c) {
        EXPECT_EQ(sideBySide[c].size(), static_cast<std::size_t>(take.frames));
        const std::size_t first = firstDifference(sideBySide[c], oneAtATime[c]);
        if (first != SIZE_MAX)
          ADD_FAILURE() << "output " << c << " differs from sample " << first
                        << (take.where ? " in " + take.where(first) : "");
      }
    }
    renders.push_back(std::move(sideBySide));
  }
  // Whatever the blocks, the same sound.
  for (std::size_t b = 1; b < renders.size(); ++b)
    for (std::size_t c = 0; c < renders[b].size() && c < renders[0].size(); ++c) {
      const std::size_t first = firstDifference(renders[b][c], renders[0][c]);
      if (first != SIZE_MAX)
        ADD_FAILURE() << take.name << ": output " << c << " in blocks of " << kBlockSizes[b]
                      << " differs from blocks of " << kBlockSizes[0] << " from sample " << first
                      << (take.where ? " in " + take.where(first) : "");
    }
  return renders;
}

// Repeatable dice for the grooves below.
struct Dice {
  explicit Dice(std::uint32_t seed) : state(seed * 2654435761u + 1u) {}
  int below(int n) { return static_cast<int>(((state = state * 1664525u + 1013904223u) >> 8) % unsigned(n)); }
  std::uint32_t state;
};

const std::vector<int> kVoiceNotes[4] = {{35, 36}, {38, 40}, {42, 44, 46}, {29, 31, 33, 37, 39}};

int noteOf(Dice& dice, int voice) {
  return kVoiceNotes[voice][static_cast<std::size_t>(dice.below(static_cast<int>(kVoiceNotes[voice].size())))];
}

// `hits` hits from `from`, every voice struck first, at any velocity and frame:
// most notes end (some in their attack), some are struck again while held, some never end.
std::vector<VstMidiEvent> groove(std::uint32_t seed, int from, int hits, int meanGap) {
  Dice dice(seed);
  std::vector<VstMidiEvent> events;
  int at = from;
  for (int hit = 0; hit < hits; ++hit) {
    const int note = noteOf(dice, hit < 4 ? hit : dice.below(4));
    events.push_back(noteOn(at, note, 1 + dice.below(127)));
    if (dice.below(4) != 0) events.push_back(noteOff(at + 1 + dice.below(6 * meanGap), note));
    // Now and then two voices at the same frame.
    at += dice.below(6) == 0 ? 0 : meanGap / 4 + dice.below(3 * meanGap / 2);
  }
  return events;
}

// Every program in turn while playing: a dense groove, then only the hats
// while the other voices fall idle.
constexpr int kProgramFrames = 26000;

Take everyProgram() {
  Take take{"every program in turn", kPrograms * kProgramFrames};
  for (int program = 0; program < kPrograms; ++program) {
    const int start = program * kProgramFrames;
    take.changes.push_back({start, [=](vsthost::Plugin& zvx) { zvx.dispatch(effSetProgram, 0, program); }});
    const std::vector<VstMidiEvent> hits = groove(static_cast<std::uint32_t>(program), start, 16, 900);
    take.events.insert(take.events.end(), hits.begin(), hits.end());
    Dice dice(static_cast<std::uint32_t>(program) + 1000u);
    for (int at = start + 15000; at < start + kProgramFrames - 2000; at += 1500 + dice.below(1500)) {
      const int note = noteOf(dice, 2);
      take.events.push_back(noteOn(at, note, 30 + dice.below(98)));
      take.events.push_back(noteOff(at + 300 + dice.below(900), note));
    }
  }
  take.where = [](std::size_t frame) { return "program " + std::to_string(frame / kProgramFrames); };
  return take;
}

// The default samples and bank with the learn map of kLearned; an instance of
// each module lives through the suite, so the samples are read once.
class SideBySideVoices : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    documents_ = std::make_unique<TempDocuments>();
    const fs::path built = ZVX_BUILT_DATA;
    std::error_code error;
    int samples = 0;
    for (const auto& file : fs::directory_iterator(built / "samples", error)) {
      if (file.path().extension() != ".wav") continue;
      documents_->writeFile(file.path().filename().string(), readBytes(file.path()));
      ++samples;
    }
    ASSERT_EQ(samples, 8) << "the default samples in " << built;
    documents_->writeFile("default.fxb", readBytes(built / "default.fxb"));
    documents_->writeFile("Pluginccmap.bin", learnMapFile(kLearned));
    for (const vsthost::Module* module : {&zvxModule(), &scalarModule(), &sse2Module()}) {
      std::string failure;
      keepers_.push_back(vsthost::Plugin::create(*module, {}, failure));
      ASSERT_TRUE(keepers_.back()) << failure;
      keepers_.back()->start();
    }
  }
  static void TearDownTestSuite() {
    keepers_.clear();
    documents_.reset();
  }

  void SetUp() override {
    ASSERT_EQ(keepers_.size(), 3u);
    // The default bank was found: without it every program is "Init".
    ASSERT_NE(keepers_.front()->programNameIndexed(0), keepers_.front()->programNameIndexed(1));
  }

  static inline std::unique_ptr<TempDocuments> documents_;
  static inline std::vector<std::unique_ptr<vsthost::Plugin>> keepers_;
};

TEST_F(SideBySideVoices, EveryProgramOfTheDefaultBankSoundsAsOneVoiceAtATime) {
  const Take take = everyProgram();
  for (const auto& out : expectOneVoiceAtATimeSound(take))
    for (int program = 0; program < kPrograms; ++program) {
      const auto from = static_cast<std::size_t>(program * kProgramFrames), to = from + kProgramFrames;
      EXPECT_GT(std::max(peak(out[kMixLeft], from, to), peak(out[kMixRight], from, to)), kAudible)
          << "program " << program << " is silent";
    }
}

// What stresses the per-sample paths, one take each.
TEST_F(SideBySideVoices, ChaosReverseTrackingPadsRatesAndAutomationSoundAsOneVoiceAtATime) {
  const int second = 44100;
  std::vector<Take> takes;

  takes.push_back(Take{"chaos armed by chance on every voice, notes remapped, the mix ring-modulated", 66000,
                       groove(1, 0, 60, 1000),
                       {{param::kBDChaos, 0.7f}, {param::kSDChaos, 0.6f}, {param::kHHChaos, 0.9f},
                        {param::kCPChaos, 0.8f}, {param::kBDChance, 1.0f}, {param::kSDChance, 0.7f},
                        {param::kHHChance, 0.9f}, {param::kCPChance, 1.0f}, {param::kMasterChaos, 0.8f}},
                       {set(33001, param::kMasterChaos, 1.0f), set(50003, param::kMasterChaos, 0.55f)}});

  takes.push_back(Take{"reversed sampled layers", 66000, groove(2, 0, 50, 1200),
                       {{param::kBDMix, 1.0f}, {param::kSDMix, 0.8f}, {param::kHHMix, 0.6f}, {param::kCPMix, 1.0f},
                        {param::kPickReverse, 1.0f}, {param::kSizeReverse, 0.25f}, {param::kMasterChaos, 0.5f}},
                       {set(20011, param::kSizeReverse, 0.6f), set(30001, param::kBDMenu, 0.9f),
                        set(30001, param::kHHMenu, 0.2f), set(40007, param::kPickReverse, 0.4f),
                        set(47005, param::kSizeReverse, 0.0f), set(52001, param::kCPMenu, 0.45f)}});

  {
    Take tracked{"key tracking on every voice, tuned", 66000, groove(3, 0, 30, 1100),
                 {{param::kBDKeyTrack, 1.0f}, {param::kSDKeyTrack, 1.0f}, {param::kHHKeyTrack, 1.0f},
                  {param::kCPKeyTrack, 1.0f}, {param::kTuning, 0.7f}, {param::kBDPcmTuning, 0.3f},
                  {param::kSDPcmTuning, 0.6f}, {param::kHHPcmTuning, 0.8f}, {param::kCPPcmTuning, 0.45f}},
                 {set(41017, param::kTuning, 0.2f), set(41017, param::kHHKeyTrack, 0.0f)}};
    Dice dice(33);
    for (int at = 2500; at < 64000; at += 2000 + dice.below(3000)) {
      const int note = 46 + dice.below(82);
      tracked.events.push_back(noteOn(at, note, 1 + dice.below(127)));
      if (dice.below(2)) tracked.events.push_back(noteOff(at + dice.below(4000), note));
    }
    takes.push_back(tracked);
  }

  takes.push_back(Take{"sync restarting every voice's tone", 50000, groove(4, 0, 80, 600),
                       {{param::kBDSync, 1.0f}, {param::kSDSync, 1.0f}, {param::kHHSync, 1.0f},
                        {param::kCPSync, 1.0f}, {param::kBDMix, 0.0f}, {param::kSDMix, 0.3f}}});

  takes.push_back(Take{"voices muted and unmuted, the power switched off and on", 66000, groove(5, 0, 60, 1000),
                       {{param::kBDMute, 0.2f}, {param::kHHMute, 0.4f}},
                       {set(15013, param::kBDMute, 0.9f), set(30011, param::kSDMute, 0.1f),
                        set(40009, param::kPower, 0.0f), set(50021, param::kPower, 1.0f),
                        set(55003, param::kVolume, 0.9f), set(58001, param::kHHMute, 0.5f)}});

  takes.push_back(Take{"the cricket on a ringing clap", 66000, groove(6, 0, 50, 1200),
                       {{param::kCPCricket, 1.0f}, {param::kCPTone, 0.8f}, {param::kCPPitch, 0.3f}, {param::kCPDecay, 0.8f}},
                       {set(30007, param::kCPCricket, 0.5f), set(45001, param::kCPTone, 0.1f)}});

  takes.push_back(Take{"long decays, a slow attack and velocity", 88200, groove(7, 0, 40, 1500),
                       {{param::kDecayFactor, 1.0f}, {param::kAttack, 1.0f}, {param::kVelocityAmp, 1.0f}},
                       {set(30011, param::kAttack, 0.2f), set(45007, param::kDecayFactor, 0.0f),
                        set(60013, param::kDecayFactor, 0.6f), set(60013, param::kAttack, 0.0f)}});

  {
    // Pads pressed while asleep, again while held, released, and pressed again.
    Take pads{"the trigger pads", 88200, groove(8, 30000, 20, 1500)};
    for (int pad = param::kFirstPad; pad <= param::kLastPad; ++pad) {
      const int at = 1001 + 2999 * (pad - param::kFirstPad);
      pads.changes.push_back(set(at, pad, 1.0f));
      pads.changes.push_back(set(at + 5003, pad, 1.0f));
      pads.changes.push_back(set(at + 20011, pad, 0.0f));
      pads.changes.push_back(set(at + 40013, pad, 0.75f));
    }
    takes.push_back(pads);
  }

  for (const int hz : {22050, 48000, 96000}) {
    const int scale = hz / 22050;
    Take atRate{"at " + std::to_string(hz) + " Hz", 33000 * scale, groove(11, 0, 40, 700 * scale),
                {{param::kMasterChaos, 0.6f}, {param::kHHChaos, 0.8f}, {param::kHHChance, 1.0f},
                 {param::kCPCricket, 0.7f}, {param::kBDPcmTuning, 0.7f}}};
    atRate.rate = hz;
    takes.push_back(atRate);
  }

  takes.push_back(Take{"the host's rate changed while playing", 80000, groove(12, 0, 70, 1000),
                       {{param::kMasterChaos, 0.7f}, {param::kCPCricket, 0.5f}},
                       {rate(20000, 96000), rate(50001, 22050), rate(65003, 48000)}});

  {
    Take automated{"automation at any frame", 88200, groove(13, 0, 70, 1100)};
    const int moved[] = {param::kVolume,     param::kTuning,        param::kBDTone,       param::kBDDecay,
                         param::kBDPitch,    param::kBDPan,         param::kBDGain,       param::kBDMix,
                         param::kSDTone,     param::kSDPitch,       param::kSDSnapNoise,  param::kSDPan,
                         param::kSDMix,      param::kHHTone,        param::kHHPitch,      param::kHHDecay,
                         param::kHHPan,      param::kCPTone,        param::kCPPitch,      param::kCPGain,
                         param::kBDMenu,     param::kCPMenu,        param::kMasterChaos,  param::kVelocityAmp,
                         param::kAttack,     param::kDecayFactor,   param::kFix44,        param::kBDPcmTuning,
                         param::kBDChaos,    param::kBDChance,      param::kCPMix,        param::kPickReverse};
    Dice dice(14);
    for (int at = 1 + dice.below(700); at < 86000; at += 1 + dice.below(1400)) {
      const int index = moved[dice.below(static_cast<int>(std::size(moved)))];
      automated.changes.push_back(set(at, index, static_cast<float>(dice.below(1001)) / 1000.0f));
    }
    takes.push_back(automated);
  }

  {
    Take learned{"learned controllers inside blocks", 66000, groove(15, 0, 60, 1000)};
    keepers_.front()->render(64, 64, {controller(0, kLearned.front().second, 127)});
    EXPECT_EQ(keepers_.front()->getParameter(kLearned.front().first), 1.0f) << "the learn map is not read";
    Dice dice(16);
    for (int at = dice.below(300); at < 65000; at += 1 + dice.below(600)) {
      const auto& binding = kLearned[static_cast<std::size_t>(dice.below(static_cast<int>(kLearned.size())))];
      learned.events.push_back(controller(at, binding.second, dice.below(128)));
    }
    takes.push_back(learned);
  }

  for (const Take& take : takes) expectOneVoiceAtATimeSound(take);

  // Short hits, over four seconds of silence to sleep in, then notes, controller 123 and a pad wake it.
  Take sleep{"sleeping and waking", 6 * second + 30000, groove(9, 0, 20, 900),
             {{param::kBDDecay, 0.0f}, {param::kSDDecay, 0.0f}, {param::kHHDecay, 0.0f}, {param::kCPDecay, 0.0f},
              {param::kDecayFactor, 0.0f}, {param::kMasterChaos, 0.75f}}};
  // A held note keeps its voice in sustain: every one is ended.
  for (const auto& notes : kVoiceNotes)
    for (const int note : notes) sleep.events.push_back(noteOff(30000, note));
  const std::vector<VstMidiEvent> late = groove(10, 6 * second, 25, 800);
  sleep.events.insert(sleep.events.end(), late.begin(), late.end());
  sleep.events.push_back(controller(6 * second + 9001, 123, 0));
  sleep.events.push_back(controller(6 * second + 9001, 7, 100));  // bound to nothing
  sleep.events.push_back(noteOn(6 * second + 9003, 38, 0));       // velocity 0: a note-off
  sleep.events.push_back(noteOff(6 * second + 9005, 60));         // never played
  sleep.changes.push_back(set(6 * second + 20001, param::kFirstPad + kCP, 1.0f));
  for (const auto& out : expectOneVoiceAtATimeSound(sleep))
    for (const Channel& channel : out) EXPECT_EQ(peak(channel, second, 5 * second), 0.0f) << "no silence to sleep in";
}

}  // namespace
}  // namespace zvx::test
