// What reaches the plug-in inside a block acts at its own sample, as in the
// VST 2.4 module with blocks cut there; what the plug-in changes itself on the
// audio thread it reports back to the host.
#include "engine/Parameters.h"
#include "tests/vst3/Vst3TestSupport.h"

namespace zvx::test {
namespace {

constexpr int kFrames = 44100;

class Vst3AutomationTest : public testing::Test {
 protected:
  void SetUp() override { documents_.installDefaultData(ZVX_BUILT_DATA); }
  TempDocuments documents_;
};

// The last report of `id` in [from, to), if any.
std::optional<ParameterChange> lastReport(const std::vector<ParameterChange>& reported, vst3::ParamID id,
                                          std::int64_t from, std::int64_t to) {
  std::optional<ParameterChange> last;
  for (const ParameterChange& change : reported)
    if (change.id == id && change.frame >= from && change.frame < to) last = change;
  return last;
}

// Changes inside blocks, at a block's first sample and twice on one sample.
TEST_F(Vst3AutomationTest, ParameterChangesActAtTheirSample) {
  using namespace param;
  const std::vector<VstMidiEvent> groove = busyGroove(7, kFrames, 44100.0, 16);
  const std::vector<std::tuple<int, int, float>> changes = {
      {1000, kVolume, 0.8f},   {1001, kHHDecay, 0.9f}, {2400, kBDMenu, 1.0f},   {2400, kBDMix, 0.3f},
      {3333, kTuning, 0.3f},   {5000, kPower, 0.0f},   {5017, kPower, 1.0f},    {9000, kSDPitch, 0.05f},
      {9000, kSDPitch, 0.95f}, {12345, kHHMix, 0.8f},  {12346, kHHMenu, 3.0f / 7.0f},  {20000, kMasterChaos, 0.6f},
      {25000, kCPChaos, 0.9f}, {30000, kAttack, 0.5f}, {30001, kBDChance, 0.5f}, {40000, kVolume, 0.2f}};
  std::vector<Vst2Action> actions;
  std::vector<ParameterChange> automation;
  for (const auto& [frame, index, value] : changes) {
    actions.push_back(setAt(frame, index, value));
    automation.push_back({frame, idOf(index), normalized(value)});
  }
  auto vst2 = startVst2();
  const std::vector<Channel> expected = renderVst2(*vst2, kFrames, 512, groove, actions);
  EXPECT_NE(differences(expected, renderVst2(*startVst2(), kFrames, 512, groove)), "") << "the changes change nothing";
  for (const std::vector<int>& pattern : {std::vector<int>{480}, std::vector<int>{64}, std::vector<int>{4097},
                                          std::vector<int>{1, 999, 1400, 13}}) {
    SCOPED_TRACE("blocks of " + std::to_string(pattern[0]) + (pattern.size() > 1 ? " and others" : ""));
    auto vst3 = startVst3(44100.0, 4097);
    ASSERT_TRUE(vst3);
    EXPECT_EQ(differences(renderVst3(*vst3, kFrames, pattern, groove, automation), expected), "");
    EXPECT_EQ(differentValues(shownValues(*vst3), shownValues(*vst2)), "");
  }
}

// Program changes, by parameter and by MIDI message, act as effSetProgram does at their sample, and in
// that block the plug-in reports the chosen program's values. An edit made before keeps to its program.
TEST_F(Vst3AutomationTest, ProgramChangesActAtTheirSampleAndAreReported) {
  const vst3::ParamID program = programParameter();
  const std::vector<VstMidiEvent> groove = busyGroove(3, kFrames, 44100.0, 16);
  std::vector<VstMidiEvent> events = groove;
  events.push_back(midiEvent(30001, 0xC9, 42, 0));
  const std::vector<std::pair<int, int>> programs = {{5003, 5}, {12000, 127}, {20000, 0}, {30001, 42}};
  std::vector<Vst2Action> actions = {setAt(100, param::kHHDecay, 0.77f)};
  std::vector<ParameterChange> changes = {{100, idOf(param::kHHDecay), normalized(0.77f)}};
  for (const auto& [frame, number] : programs) {
    actions.push_back({frame, [n = number](vsthost::Plugin& zvx) { zvx.dispatch(effSetProgram, 0, n); }});
    if (number != 42) changes.push_back({frame, program, number / 127.0});
  }
  auto vst2 = startVst2();
  const std::vector<Channel> expected = renderVst2(*vst2, kFrames, 512, groove, actions);
  EXPECT_NE(differences(expected, renderVst2(*startVst2(), kFrames, 512, groove)), "");

  constexpr int kBlock = 1024;
  auto vst3 = startVst3(44100.0, kBlock);
  ASSERT_TRUE(vst3);
  EXPECT_EQ(differences(renderVst3(*vst3, kFrames, {kBlock}, events, changes), expected), "");
  EXPECT_EQ(differentValues(shownValues(*vst3), shownValues(*vst2)), "");
  EXPECT_EQ(vst3->parameter(program), 42 / 127.0);

  const std::vector<ParameterChange> reported = vst3->takeOutputChanges();
  EXPECT_FALSE(vst3->outputOverflowed());
  auto twin = startVst2();
  twin->setParameter(param::kHHDecay, 0.77f);
  for (const auto& [frame, number] : programs) {
    SCOPED_TRACE("program " + std::to_string(number) + " at " + std::to_string(frame));
    const std::vector<vst3::ParamValue> before = shownValues(*twin);
    twin->dispatch(effSetProgram, 0, number);
    const std::vector<vst3::ParamValue> after = shownValues(*twin);
    const std::int64_t start = frame / kBlock * kBlock;
    for (int p = 0; p < kNumParameters; ++p) {
      if (after[static_cast<std::size_t>(p)] == before[static_cast<std::size_t>(p)]) continue;
      const auto last = lastReport(reported, idOf(p), start, start + kBlock);
      ASSERT_TRUE(last) << "parameter " << p << " changed and was not reported";
      EXPECT_EQ(last->value, after[static_cast<std::size_t>(p)]) << "parameter " << p;
    }
  }
}

// A controller learned (on any channel) moves its parameters at its sample, through the MIDI mapping; in
// that block the plug-in reports what they moved to, and nothing else.
TEST_F(Vst3AutomationTest, LearnedControllerActsAtItsSampleAndIsReported) {
  using namespace param;
  documents_.writeFile("Pluginccmap.bin", learnMapFile({{kBDTone, 20}, {kBDMenu, 21}, {kHHDecay, 74}, {kSDGain, 74}}));
  std::vector<VstMidiEvent> events = busyGroove(11, kFrames, 44100.0, 16);
  for (const VstMidiEvent& move : {controller(1234, 20, 100, 9), controller(5000, 21, 127, 3), controller(7777, 74, 10, 0),
                                   controller(7778, 74, 127, 15), controller(20000, 20, 0, 9), controller(20001, 7, 99, 9)})
    events.push_back(move);
  auto vst2 = startVst2({{kBDMix, 0.5f}});
  const std::vector<Channel> expected = renderVst2(*vst2, kFrames, 512, events);
  EXPECT_EQ(vst2->getParameter(kBDMenu), 1.0f) << "the learn map was not read";

  constexpr int kBlock = 480;
  auto vst3 = startVst3({{kBDMix, 0.5f}}, 44100.0, kBlock);
  ASSERT_TRUE(vst3);
  EXPECT_EQ(differences(renderVst3(*vst3, kFrames, {kBlock}, events), expected), "");
  EXPECT_EQ(differentValues(shownValues(*vst3), shownValues(*vst2)), "");

  const std::vector<ParameterChange> reported = vst3->takeOutputChanges();
  // The values the instrument holds (single precision).
  const std::vector<ParameterChange> movedTo = {{1234, idOf(kBDTone), normalized(100 / 127.0f)},
                                                {5000, idOf(kBDMenu), 1.0},
                                                {7778, idOf(kHHDecay), 1.0},
                                                {7778, idOf(kSDGain), 1.0},
                                                {20000, idOf(kBDTone), 0.0}};
  for (const ParameterChange& moved : movedTo) {
    const std::int64_t start = moved.frame / kBlock * kBlock;
    const auto last = lastReport(reported, moved.id, start, start + kBlock);
    ASSERT_TRUE(last) << "parameter " << moved.id << ", moved at " << moved.frame << ", was not reported";
    EXPECT_EQ(last->value, moved.value) << "parameter " << moved.id << " at " << moved.frame;
  }
  for (const ParameterChange& change : reported)
    EXPECT_TRUE(std::any_of(movedTo.begin(), movedTo.end(),
                            [&](const ParameterChange& moved) {
                              return moved.id == change.id && change.frame / kBlock == moved.frame / kBlock;
                            }))
        << "parameter " << change.id << " reported at " << change.frame << ", where no controller moved it";
}

// Every controller on every channel is mapped, to a parameter the controller describes.
TEST_F(Vst3AutomationTest, EveryControllerOnEveryChannelIsMapped) {
  auto vst3 = startVst3();
  ASSERT_TRUE(vst3);
  std::set<vst3::ParamID> described;
  for (const vst3host::Parameter& p : vst3->parameters()) described.insert(p.id);
  for (int channel = 0; channel < 16; ++channel)
    for (int number = 0; number < 128; ++number) {
      const auto id = vst3->controllerParameter(channel, number);
      ASSERT_TRUE(id) << "controller " << number << " on channel " << channel;
      EXPECT_TRUE(described.count(*id)) << "controller " << number << " maps to undescribed parameter " << *id;
    }
}

// Controller 123 (all notes off), on any channel, ends every note at its sample.
TEST_F(Vst3AutomationTest, AllNotesOffEndsEveryNoteAtItsSample) {
  using namespace param;
  const Settings longNotes = {{kBDDecay, 1.0f}, {kSDDecay, 1.0f}, {kHHDecay, 1.0f}, {kCPDecay, 1.0f},
                              {kDecayFactor, 1.0f}};
  const std::vector<VstMidiEvent> events = {noteOn(0, 36),    noteOn(10, 38),   noteOn(20, 46),
                                            noteOn(30, 39),   controller(5001, 123, 0, 9), noteOn(9000, 36),
                                            noteOn(9100, 42), controller(15555, 123, 0, 0)};
  const std::vector<Channel> expected = renderVst2(*startVst2(longNotes), 22050, 512, events);
  std::vector<VstMidiEvent> held = events;
  std::erase_if(held, [](const VstMidiEvent& e) { return (e.midiData[0] & 0xF0) == 0xB0; });
  EXPECT_NE(differences(expected, renderVst2(*startVst2(longNotes), 22050, 512, held)), "")
      << "all notes off changed nothing";
  auto vst3 = startVst3(longNotes, 44100.0, 512);
  ASSERT_TRUE(vst3);
  EXPECT_EQ(differences(renderVst3(*vst3, 22050, {512}, events), expected), "");
}

// Each output bus flags which of its channels are silent in the block: all of them and only them.
TEST_F(Vst3AutomationTest, SilenceFlagsMarkTheSilentChannels) {
  auto vst3 = startVst3(44100.0, 256);
  ASSERT_TRUE(vst3);
  int flagged = 0, sounding = 0;
  const std::vector<VstMidiEvent> kickAlone = {noteOn(1000, 36), noteOn(30000, 38)};
  ASSERT_TRUE(vst3->play(3 * 44100, 256, timed(kickAlone), [&](const std::vector<float*>& block, std::int64_t start,
                                                                int length) {
    const auto& flags = vst3->silenceFlags();
    EXPECT_EQ(flags.size(), 5u);
    const int bus[] = {0, 0, 1, 2, 3, 4}, channel[] = {0, 1, 0, 0, 0, 0};
    for (int c = 0; c < 6; ++c) {
      const bool silent = std::all_of(block[c], block[c] + length, [](float s) { return s == 0.0f; });
      EXPECT_EQ((flags[static_cast<std::size_t>(bus[c])] >> channel[c]) & 1u, silent ? 1u : 0u)
          << "output " << c << " in the block at " << start;
      (silent ? flagged : sounding)++;
    }
    return !testing::Test::HasFailure();
  })) << vst3->error();
  EXPECT_GT(flagged, 0);
  EXPECT_GT(sounding, 0);
}

// A host that is not playing sends changes in a process call without audio; the next block plays them.
TEST_F(Vst3AutomationTest, ChangesWithoutAudioAreTaken) {
  using namespace param;
  const Settings settings = {{kBDTone, 0.9f}, {kBDMenu, 1.0f}, {kBDMix, 0.2f}};
  auto vst3 = startVst3();
  ASSERT_TRUE(vst3);
  EXPECT_EQ(vst3->flush({{0, idOf(kBDTone), normalized(0.9f)}, {0, idOf(kBDMenu), 1.0}, {0, idOf(kBDMix), normalized(0.2f)}}),
            vst3::kResultOk);
  EXPECT_EQ(vst3->parameter(idOf(kBDTone)), normalized(0.9f));
  const std::vector<VstMidiEvent> kick = {noteOn(0, 36)};
  EXPECT_EQ(differences(renderVst3(*vst3, 8192, {512}, kick), renderVst2(*startVst2(settings), 8192, 512, kick)), "");
}

}  // namespace
}  // namespace zvx::test
