// ZVX through VST 3 sounds as the VST 2.4 module does, bit for bit on all six
// outputs: at every rate, however the host cuts its blocks, in every program,
// and down the engine's paths the demo groove alone does not reach.
#include <thread>

#include "instrument/Instrument.h"
#include "tests/vst3/Vst3TestSupport.h"

namespace zvx::test {
namespace {

class Vst3SoundTest : public testing::Test {
 protected:
  void SetUp() override { documents_.installDefaultData(ZVX_BUILT_DATA); }
  TempDocuments documents_;
};

// How a host cuts its blocks, and the largest it announced (it may announce more than it gives).
struct Blocks {
  std::vector<int> pattern;
  int maxBlock;
  std::string name() const {
    return std::string("blocks ") + testing::PrintToString(pattern) + ", at most " + std::to_string(maxBlock);
  }
};

TEST_F(Vst3SoundTest, DemoGrooveIsTheVst2ModulesAtEveryRateAndBlockSize) {
  const std::vector<Blocks> hosts = {
      {{1}, 1}, {{64}, 64}, {{480}, 4097}, {{4097}, 4097}, {{1, 7, 480, 33, 4097, 100, 256}, 4097}};
  for (double rate : {44100.0, 48000.0, 96000.0}) {
    int frames = 0;
    const std::vector<VstMidiEvent> groove = demoGroove(rate, frames, 0.5);
    const std::vector<Channel> expected = renderVst2(*startVst2({}, rate), frames, 512, groove);
    EXPECT_TRUE(everyOutputSounds(expected, 0.01f)) << rate;
    for (const Blocks& blocks : hosts) {
      // One-sample blocks are slow and tell nothing new at the other rates.
      if (blocks.maxBlock == 1 && rate != 44100.0) continue;
      SCOPED_TRACE(std::to_string(static_cast<int>(rate)) + " Hz, " + blocks.name());
      auto vst3 = startVst3(rate, blocks.maxBlock);
      ASSERT_TRUE(vst3);
      EXPECT_EQ(differences(renderVst3(*vst3, frames, blocks.pattern, groove), expected), "");
    }
  }
}

// A host changing its rate restarts the plug-in; what still rings and what comes next play as in the
// VST 2.4 module told the new rate between effMainsChanged off and on.
TEST_F(Vst3SoundTest, PlaysOnAtANewRateAsTheVst2Module) {
  constexpr int kBefore = 22050;
  const std::vector<VstMidiEvent> before = busyGroove(21, kBefore);
  int frames = 0;
  const std::vector<VstMidiEvent> after = demoGroove(96000.0, frames, 0.5);
  auto vst2 = startVst2();
  const std::vector<Channel> expectedBefore = renderVst2(*vst2, kBefore, 512, before);
  vst2->dispatch(effMainsChanged, 0, 0);
  vst2->dispatch(effSetSampleRate, 0, 0, nullptr, 96000.0f);
  vst2->dispatch(effMainsChanged, 0, 1);
  const std::vector<Channel> expectedAfter = renderVst2(*vst2, frames, 512, after);

  auto vst3 = startVst3(44100.0, 512);
  ASSERT_TRUE(vst3);
  EXPECT_EQ(differences(renderVst3(*vst3, kBefore, {512}, before), expectedBefore), "");
  ASSERT_TRUE(restart(*vst3, 96000.0, 1024));
  EXPECT_EQ(differences(renderVst3(*vst3, frames, {1024}, after), expectedAfter), "");
}

// A bounce renders offline, on a thread of its own in long blocks, what played live in small ones, with
// the same automation and a program chosen on the way: the same sound.
TEST_F(Vst3SoundTest, OfflineBounceIsTheLivePlayback) {
  using namespace param;
  int frames = 0;
  const std::vector<VstMidiEvent> groove = demoGroove(48000.0, frames, 1.0);
  std::vector<ParameterChange> changes;
  for (int at = 0, turn = 0; at < frames; at += 4801, ++turn)
    changes.push_back({at, idOf(turn % 2 ? kBDDecay : kHHTone), (turn % 9) / 8.0});
  changes.push_back({frames / 2 + 11, programParameter(), 17 / 127.0});

  auto live = startVst3(48000.0, 128);
  auto bounce = startVst3(48000.0, 4097);
  ASSERT_TRUE(live && bounce);
  ASSERT_TRUE(restart(*bounce, 48000.0, 4097, vst3::kOffline));
  std::vector<Channel> played, bounced;
  std::thread([&] { played = renderVst3(*live, frames, {128}, groove, changes); }).join();
  std::thread([&] { bounced = renderVst3(*bounce, frames, {4097, 1500}, groove, changes); }).join();
  EXPECT_TRUE(everyOutputSounds(played, 0.01f));
  EXPECT_EQ(differences(bounced, played), "");
}

// A host using the main bus alone (the voices' buses deactivated) hears the same mix.
TEST_F(Vst3SoundTest, MixAloneIsTheSameMix) {
  int frames = 0;
  const std::vector<VstMidiEvent> groove = demoGroove(44100.0, frames, 0.5);
  const std::vector<Channel> expected = renderVst2(*startVst2(), frames, 512, groove);
  std::string error;
  auto vst3 = vst3host::Plugin::create(vst3Module(), error, &kZvxClass);
  ASSERT_TRUE(vst3) << error;
  ASSERT_TRUE(vst3->setup(44100.0, 2048, vst3::kRealtime, 1)) << vst3->error();
  ASSERT_EQ(vst3->setActive(true), vst3::kResultOk);
  vst3->setProcessing(true);
  ASSERT_EQ(vst3->outputChannels(), 2);
  EXPECT_EQ(differences(renderVst3(*vst3, frames, {2048, 100}, groove), {expected[0], expected[1]}), "");
}

// The demo's last two bars (every voice, accents, ghost notes, open and pedal hats, both claps) in each
// program, chosen through the program-change parameter before the first sample as hosts do, against
// effSetProgram. Rates and block sizes take turns from program to program.
TEST_F(Vst3SoundTest, EveryProgramIsTheVst2ModulesProgram) {
  constexpr double kRates[] = {44100.0, 48000.0, 96000.0};
  const std::vector<Blocks> hosts = {{{64}, 64}, {{480}, 4097}, {{4097}, 4097}, {{1, 7, 480, 33, 1000}, 1000}};
  const vst3::ParamID programId = programParameter();
  for (int program = 0; program < Instrument::kNumPrograms; ++program) {
    const double rate = kRates[program % 3];
    const Blocks& blocks = hosts[static_cast<std::size_t>(program) % hosts.size()];
    int frames = 0;
    std::vector<VstMidiEvent> groove = demoGroove(rate, frames, 1.0);
    const int from = static_cast<int>(4.0 * rate);  // two bars of four beats at 120 BPM
    std::erase_if(groove, [&](const VstMidiEvent& e) { return e.deltaFrames < from; });
    for (VstMidiEvent& e : groove) e.deltaFrames -= from;
    frames -= from;

    auto vst2 = startVst2({}, rate);
    vst2->dispatch(effSetProgram, 0, program);
    const std::vector<Channel> expected = renderVst2(*vst2, frames, 512, groove);
    EXPECT_GT(std::max(peak(expected[0]), peak(expected[1])), 0.01f) << "program " << program << " is silent";
    auto vst3 = startVst3(rate, blocks.maxBlock);
    ASSERT_TRUE(vst3);
    vst3->setParameter(programId, program / 127.0);
    EXPECT_EQ(differences(renderVst3(*vst3, frames, blocks.pattern, groove), expected), "")
        << "program " << program << " (" << vst2->programName() << ") at " << rate << " Hz, " << blocks.name();
  }
}

// Settings that lead the engine down paths of its own. Chance and chaos act only as far as Master_Chaos
// lets them (beyond 0.5 it remaps the notes too); a voice's chaos only with its chance.
TEST_F(Vst3SoundTest, PlaysEveryEnginePathAsTheVst2Module) {
  using namespace param;
  const std::vector<std::pair<const char*, Settings>> scenarios = {
      {"chance and chaos on every voice",
       {{kMasterChaos, 0.45f}, {kBDChance, 0.6f}, {kSDChance, 0.45f}, {kHHChance, 0.8f}, {kCPChance, 0.5f},
        {kBDChaos, 0.8f}, {kSDChaos, 0.5f}, {kHHChaos, 0.9f}, {kCPChaos, 0.35f}}},
      {"chaos at full chance, with its glide",
       {{kMasterChaos, 0.5f}, {kBDChance, 1.0f}, {kHHChance, 1.0f}, {kBDChaos, 1.0f}, {kHHChaos, 0.7f},
        {kFix44, 0.7f}}},
      {"master chaos remapping the notes",
       {{kMasterChaos, 0.75f}, {kSDChance, 0.7f}, {kSDChaos, 0.4f}, {kCPChance, 0.9f}, {kCPChaos, 0.8f}}},
      {"the sampled layers, mixed, tuned, unsynced, untracked",
       {{kBDMix, 0.5f}, {kSDMix, 1.0f}, {kHHMix, 0.3f}, {kCPMix, 0.8f}, {kBDMenu, 5.0f / 7.0f}, {kSDMenu, 1.0f},
        {kHHMenu, 2.0f / 7.0f}, {kCPMenu, 3.0f / 7.0f}, {kBDPcmTuning, 0.7f}, {kHHPcmTuning, 0.2f},
        {kSDSync, 0.0f}, {kCPKeyTrack, 0.0f}, {kBDKeyTrack, 0.0f}}},
      {"reverse playback of the layers",
       {{kBDMix, 0.2f}, {kSDMix, 0.6f}, {kHHMix, 0.7f}, {kCPMix, 0.4f}, {kMasterChaos, 0.4f}, {kSizeReverse, 0.6f},
        {kPickReverse, 0.8f}}},
      {"the master section",
       {{kVolume, 0.8f}, {kTuning, 0.2f}, {kAttack, 0.4f}, {kDecayFactor, 0.85f}, {kVelocityAmp, 1.0f}}},
      {"voices panned, muted, sharpened",
       {{kBDPan, 0.0f}, {kSDPan, 1.0f}, {kHHPan, 0.3f}, {kCPMute, 0.0f}, {kBDPitch, 0.9f}, {kSDTone, 0.1f},
        {kHHTone, 0.95f}, {kSDSnapNoise, 1.0f}, {kCPCricket, 0.9f}, {kBDGain, 0.9f}}},
  };
  constexpr int kFrames = 3 * 44100;
  for (std::size_t turn = 0; turn < scenarios.size(); ++turn) {
    const auto& [name, settings] = scenarios[turn];
    SCOPED_TRACE(name);
    const std::vector<VstMidiEvent> groove = busyGroove(static_cast<std::uint32_t>(turn), kFrames);
    const std::vector<Channel> expected = renderVst2(*startVst2(settings), kFrames, 512, groove);
    EXPECT_GT(peak(expected[0]) + peak(expected[1]), 0.01f);
    EXPECT_NE(differences(expected, renderVst2(*startVst2(), kFrames, 512, groove)), "") << "the path is not reached";
    auto vst3 = startVst3(settings, 44100.0, 1000);
    ASSERT_TRUE(vst3);
    const std::vector<int> pattern = turn % 2 ? std::vector<int>{480} : std::vector<int>{3, 64, 1000, 17};
    EXPECT_EQ(differences(renderVst3(*vst3, kFrames, pattern, groove), expected), "");
  }
}

}  // namespace
}  // namespace zvx::test
