// The LV2 bundle as an LV2 host sees it (through lilv): its description
// against the parameter table and the default bank, and its sound and state
// against the VST module's, bit for bit.
#include <lv2/presets/presets.h>

#include "formats/lv2/Lv2Access.h"
#include "formats/lv2/Lv2Description.h"
#include "plugin/BankImage.h"
#include "tests/lv2/Lv2Host.h"
#include "tests/support/AudioThreadChecks.h"

namespace zvx::test {
namespace {

// Each voice struck, some twice, with the same events for both formats.
std::vector<VstMidiEvent> groove() {
  return {noteOn(0, 36),    noteOn(100, 38, 90), noteOn(700, 42, 64), noteOn(1500, 39, 110),
          noteOn(4000, 36, 50), noteOff(4100, 36),  noteOn(6000, 42),  noteOn(6001, 38, 20)};
}
constexpr int kFrames = 12000;
constexpr int kBlock = 512;

class Lv2Test : public testing::Test {
 protected:
  void SetUp() override {
    documents_.installDefaultData(ZVX_BUILT_DATA);
    ASSERT_NE(world_.plugin(), nullptr) << "no " << lv2::kPluginUri << " in " << ZVX_LV2_BUNDLE;
  }

  TempDocuments documents_;
  World world_;
  UridMap map_;
};

TEST_F(Lv2Test, DescribesAnInstrumentWithTheTablesPorts) {
  const LilvPlugin* plugin = world_.plugin();
  EXPECT_STREQ(lilv_node_as_uri(lilv_plugin_class_get_uri(lilv_plugin_get_class(plugin))), LV2_CORE__InstrumentPlugin);
  EXPECT_TRUE(lilv_plugin_verify(plugin));
  ASSERT_EQ(lilv_plugin_get_num_ports(plugin), static_cast<uint32_t>(kPortCount));

  Uri input(world_, LV2_CORE__InputPort), output(world_, LV2_CORE__OutputPort), audio(world_, LV2_CORE__AudioPort),
      control(world_, LV2_CORE__ControlPort), atom(world_, LV2_ATOM__AtomPort), midi(world_, LV2_MIDI__MidiEvent);
  EXPECT_EQ(lilv_plugin_get_num_ports_of_class(plugin, input.get(), atom.get(), nullptr), 1u);
  EXPECT_EQ(lilv_plugin_get_num_ports_of_class(plugin, output.get(), audio.get(), nullptr), 6u);
  EXPECT_EQ(lilv_plugin_get_num_ports_of_class(plugin, input.get(), control.get(), nullptr), 83u);
  const LilvPort* midiIn = lilv_plugin_get_port_by_index(plugin, kMidiInPort);
  EXPECT_TRUE(lilv_port_supports_event(plugin, midiIn, midi.get()));
  EXPECT_EQ(lilv_plugin_get_port_by_designation(plugin, input.get(), Uri(world_, LV2_CORE__control).get()), midiIn);

  // The outputs by name, the mix a stereo group.
  const char* outputs[] = {"Mix Left", "Mix Right", "BD", "SD", "HH", "CP"};
  const auto nameOf = [&](int index) {
    LilvNode* name = lilv_port_get_name(plugin, lilv_plugin_get_port_by_index(plugin, index));
    const std::string named = text(name);
    lilv_node_free(name);
    return named;
  };
  for (int o = 0; o < Instrument::kOutputs; ++o) EXPECT_EQ(nameOf(kFirstOutputPort + o), outputs[o]);
  Uri group(world_, "http://lv2plug.in/ns/ext/port-groups#group");
  LilvNodes* groups[2];
  for (int o = 0; o < 2; ++o)
    groups[o] = lilv_port_get_value(plugin, lilv_plugin_get_port_by_index(plugin, kFirstOutputPort + o), group.get());
  EXPECT_TRUE(lilv_nodes_size(groups[0]) == 1 && lilv_nodes_size(groups[1]) == 1 &&
              lilv_node_equals(lilv_nodes_get_first(groups[0]), lilv_nodes_get_first(groups[1])));
  for (LilvNodes* nodes : groups) lilv_nodes_free(nodes);

  // The controls as the table has them, their defaults the first program's values (a fresh instance plays it).
  auto firstProgram = startZvx();
  ASSERT_TRUE(firstProgram);
  for (int p = 0; p < kNumParameters; ++p) {
    const LilvPort* port = lilv_plugin_get_port_by_index(plugin, kFirstParameterPort + p);
    EXPECT_EQ(nameOf(kFirstParameterPort + p), trimmedName(p)) << p;
    EXPECT_EQ(text(lilv_port_get_symbol(plugin, port)), lv2::parameterSymbol(p));
    LilvNode *fallback = nullptr, *lowest = nullptr, *highest = nullptr;
    lilv_port_get_range(plugin, port, &fallback, &lowest, &highest);
    ASSERT_TRUE(fallback && lowest && highest) << p;
    EXPECT_TRUE(lilv_node_as_float(fallback) == firstProgram->getParameter(p) && lilv_node_as_float(lowest) == 0.0f &&
                lilv_node_as_float(highest) == 1.0f)
        << p;
    for (LilvNode* node : {fallback, lowest, highest}) lilv_node_free(node);
  }
}

// Every program of the default bank, its name and values as the VST module gives them.
TEST_F(Lv2Test, PresetsAreTheDefaultBanksPrograms) {
  Uri presetClass(world_, LV2_PRESETS__Preset), label(world_, "http://www.w3.org/2000/01/rdf-schema#label");
  LilvNodes* presets = lilv_plugin_get_related(world_.plugin(), presetClass.get());
  ASSERT_EQ(lilv_nodes_size(presets), 128u);
  lilv_nodes_free(presets);

  auto vst = startZvx();
  ASSERT_TRUE(vst);
  for (int program = 0; program < Instrument::kNumPrograms; ++program) {
    Uri preset(world_, (std::string(lv2::kPluginUri) + "#preset" + std::to_string(program + 1)).c_str());
    lilv_world_load_resource(world_.get(), preset.get());
    LilvNode* name = lilv_world_get(world_.get(), preset.get(), label.get(), nullptr);
    vst->dispatch(effSetProgram, 0, program);
    EXPECT_EQ(text(name), vst->programName()) << program;
    lilv_node_free(name);

    LilvState* state = lilv_state_new_from_world(world_.get(), map_.lv2(), preset.get());
    ASSERT_NE(state, nullptr) << program;
    EXPECT_EQ(lilv_state_get_num_properties(state), 0u);
    std::map<std::string, float> values;
    lilv_state_emit_port_values(
        state,
        [](const char* symbol, void* user, const void* value, uint32_t size, uint32_t) {
          if (size == sizeof(float)) (*static_cast<std::map<std::string, float>*>(user))[symbol] = *static_cast<const float*>(value);
        },
        &values);
    lilv_state_free(state);
    ASSERT_EQ(values.size(), static_cast<std::size_t>(kNumParameters)) << program;
    for (int p = 0; p < kNumParameters; ++p)
      EXPECT_EQ(values[lv2::parameterSymbol(p)], vst->getParameter(p)) << program << " " << p;
  }
}

// Every preset applied as hosts apply them (lilv sets the ports), one after the other on one instance: the
// instrument then holds that program's values, those equal to the ports' last ones included.
TEST_F(Lv2Test, EveryPresetAppliedGivesItsProgramsValues) {
  Instance lv2(world_, map_);
  ASSERT_TRUE(lv2.valid());
  auto vst = startZvx();
  ASSERT_TRUE(vst);
  auto* access = static_cast<const lv2::InstanceAccess*>(
      lilv_instance_get_extension_data(lv2.lilv(), lv2::kInstanceAccessUri));
  ASSERT_NE(access, nullptr);
  InstrumentControl& instrument = *access->control(lv2.handle());
  for (int program : {3, 0, 9, 1, 9, 127}) {
    Uri preset(world_, lv2::presetUri(program).c_str());
    lilv_world_load_resource(world_.get(), preset.get());
    LilvState* state = lilv_state_new_from_world(world_.get(), map_.lv2(), preset.get());
    ASSERT_NE(state, nullptr);
    lilv_state_restore(state, lv2.lilv(), &Instance::setPortValue, &lv2, 0, nullptr);
    lilv_state_free(state);
    lv2.run(64, {});
    vst->dispatch(effSetProgram, 0, program);
    for (int p = 0; p < kNumParameters; ++p)
      EXPECT_EQ(instrument.parameter(p), vst->getParameter(p)) << "preset " << program << ", parameter " << p;
  }
}

// Bit for bit as the VST module, every output sounding; a state of another size is refused and changes nothing.
TEST_F(Lv2Test, PlaysAsTheVstModuleDoesAndRefusesAStateOfAnotherSize) {
  Instance lv2(world_, map_);
  ASSERT_TRUE(lv2.valid());
  const auto expected = renderZvx({}, groove(), kFrames, kBlock);
  ASSERT_EQ(expected.size(), 6u);
  for (std::size_t o = 0; o < expected.size(); ++o) EXPECT_GT(peak(expected[o]), 0.01f) << o;
  EXPECT_TRUE(sameBits(lv2.render(kFrames, kBlock, groove()), expected));
  Instance refusing(world_, map_);
  ASSERT_TRUE(refusing.valid());
  StoredState cut = stateOf(map_, std::vector<unsigned char>(100, 0), 0);
  EXPECT_NE(restoreState(refusing, cut), LV2_STATE_SUCCESS);
  EXPECT_TRUE(sameBits(refusing.render(kFrames, kBlock, groove()), expected));
}

// A state from the VST module's bank and program plays as that module does; the ports, at their defaults
// or set by the host before the state (as hosts restore a session), do not undo it. Saved and restored
// into a fresh instance, it plays the same again.
TEST_F(Lv2Test, StateCarriesTheBankAndProgram) {
  constexpr int kProgram = 7;
  auto vst = startZvx({}, {}, kBlock);
  ASSERT_TRUE(vst);
  vst->dispatch(effSetProgram, 0, kProgram);
  vst->setParameter(param::kHHDecay, 0.77f);  // the bank is the image, edits included
  const std::vector<unsigned char> bank = chunkOf(*vst, 0);
  ASSERT_EQ(bank.size(), BankImage::kSize);
  const auto expected = vst->render(kFrames, kBlock, groove());
  EXPECT_FALSE(sameBits(expected, renderZvx({}, groove(), kFrames, kBlock)));

  Instance first(world_, map_);
  ASSERT_TRUE(first.valid() && first.state());
  first.control(param::kHHDecay) = 0.2f;
  first.control(param::kBDTone) = 0.95f;
  StoredState given = stateOf(map_, bank, kProgram);
  ASSERT_EQ(restoreState(first, given), LV2_STATE_SUCCESS);
  EXPECT_TRUE(sameBits(first.render(kFrames, kBlock, groove()), expected));

  StoredState saved = saveState(first);
  ASSERT_EQ(saved.properties.size(), 1u);
  EXPECT_EQ(saved.properties.begin()->first, map_.map(lv2::kBankStateUri));
  EXPECT_EQ(saved.properties.begin()->second.type, map_.map(LV2_ATOM__Chunk));
  EXPECT_EQ(saved.properties.begin()->second.value, given.properties.begin()->second.value);

  Instance second(world_, map_);
  ASSERT_TRUE(second.valid());
  ASSERT_EQ(restoreState(second, saved), LV2_STATE_SUCCESS);
  EXPECT_TRUE(sameBits(second.render(kFrames, kBlock, groove()), expected));
}

bool allFinite(const std::vector<Channel>& channels) {
  for (const Channel& channel : channels)
    for (float sample : channel)
      if (!std::isfinite(sample)) return false;
  return true;
}

// Whatever block size and rate the host runs at, the outputs are the VST module's, every sample written.
// Events out of order in the sequence (which hosts must not send) act as the same events out of order in a
// VST block, and so do events stamped past the block's end.
TEST_F(Lv2Test, PlaysAsTheVstModuleAtOddBlocksRatesAndEventOrders) {
  for (int block : {1, 4097}) {
    Instance lv2(world_, map_);
    ASSERT_TRUE(lv2.valid());
    const auto heard = lv2.render(kFrames, block, groove());
    EXPECT_TRUE(allFinite(heard)) << block;
    EXPECT_TRUE(sameBits(heard, renderZvx({}, groove(), kFrames, block))) << block;
  }
  for (int rate : {22050, 48000, 96000, 192000}) {
    testhost::HostConfig config;
    config.sampleRate = rate;
    Instance lv2(world_, map_, static_cast<float>(rate));
    ASSERT_TRUE(lv2.valid());
    const auto heard = lv2.render(kFrames, kBlock, groove());
    EXPECT_TRUE(allFinite(heard)) << rate;
    EXPECT_TRUE(sameBits(heard, renderZvx({}, groove(), kFrames, kBlock, config))) << rate;
  }
  const std::vector<VstMidiEvent> shuffled = {noteOn(300, 38), noteOn(10, 36), controller(200, 7, 20),
                                              noteOn(100, 42), noteOn(100, 39), noteOn(kBlock + 40, 36)};
  Instance lv2(world_, map_);
  ASSERT_TRUE(lv2.valid());
  auto vst = startZvx({}, {}, kBlock);
  ASSERT_TRUE(vst);
  std::vector<float> vstOut(Instrument::kOutputs * kBlock);
  std::vector<float*> vstPointers;
  for (int o = 0; o < Instrument::kOutputs; ++o) vstPointers.push_back(vstOut.data() + o * kBlock);
  for (int block = 0; block < 3; ++block) {
    const std::vector<VstMidiEvent> events = block == 0 ? shuffled : std::vector<VstMidiEvent>{};
    const std::vector<const float*> heard = lv2.run(kBlock, events);
    if (!events.empty()) vst->sendEvents(events);
    std::fill(vstOut.begin(), vstOut.end(), 0.0f);
    vst->processReplacing(vstPointers.data(), kBlock);
    for (int o = 0; o < Instrument::kOutputs; ++o) {
      EXPECT_EQ(std::memcmp(heard[o], vstPointers[o], kBlock * sizeof(float)), 0) << block << " " << o;
      EXPECT_TRUE(std::all_of(heard[o], heard[o] + kBlock, [](float x) { return std::isfinite(x); }));
    }
  }
}

// A port moved before the first block and others between blocks sound as the VST setter makes them.
// run() is the audio thread: a moved sample choice plays the cached file there, as a learned controller
// does, with no allocation, lock, sleep or file call.
TEST_F(Lv2Test, AppliesMovedPortsAsTheVstSetterDoesWithoutBlocking) {
  Instance lv2(world_, map_);
  ASSERT_TRUE(lv2.valid());
  const int moveAt = 4 * kBlock;
  const std::vector<VstMidiEvent> events = {noteOn(0, 36), noteOn(moveAt + 10, 36), noteOn(moveAt + 20, 42),
                                            noteOn(moveAt + 30, 38)};
  lv2.control(param::kBDMix) = 0.0f;  // the bass drum plays its sample alone
  lv2.control(param::kBDDecay) = 0.9f;
  const testhost::AudioThreadCounts before = testhost::audioThreadCounts();
  const std::vector<Channel> heard = lv2.render(kFrames, kBlock, events, [&](int start) {
    if (start != moveAt) return;
    lv2.control(param::kBDMenu) = 1.0f;
    lv2.control(param::kHHDecay) = 0.9f;
    lv2.control(param::kSDPitch) = 0.1f;
  });
  expectNothingBlockedSince(before);

  auto vst = startZvx({{param::kBDMix, 0.0f}, {param::kBDDecay, 0.9f}}, {}, kBlock);
  ASSERT_TRUE(vst);
  std::vector<Channel> expected(6, Channel(kFrames));
  std::vector<testhost::TimedMidiEvent> timed;
  for (const VstMidiEvent& event : events) timed.push_back({event.deltaFrames, event});
  vst->play(kFrames, kBlock, timed, [&](const std::vector<float*>& block, std::int64_t start, int length) {
    for (std::size_t c = 0; c < expected.size(); ++c) std::copy_n(block[c], length, expected[c].begin() + start);
    if (start + length == moveAt) {
      vst->setParameter(param::kBDMenu, 1.0f);
      vst->setParameter(param::kHHDecay, 0.9f);
      vst->setParameter(param::kSDPitch, 0.1f);
    }
    return true;
  });
  EXPECT_GT(peak(expected[2], moveAt), 0.01f);
  EXPECT_TRUE(sameBits(heard, expected));
  EXPECT_FALSE(sameBits(heard, renderZvx({{param::kBDMix, 0.0f}}, events, kFrames, kBlock)));
}

// Hosts find the plug-in through lv2_descriptor and its UI through lv2ui_descriptor; nothing else of ours
// is theirs to bind to. The plug-in's binary needs no X11 or FreeType: a host without a screen loads it.
TEST(Lv2BinaryTest, EachBinaryExportsOnlyItsDescriptor) {
  TempFolder folder;
  const auto exported = [&](const char* binary) {
    const ProgramRun run = runProgram("/usr/bin/nm", {"-D", "--defined-only", binary}, folder.path());
    EXPECT_EQ(run.exitCode, 0) << run.err;
    std::vector<std::string> symbols;
    for (const std::string& line : linesOf(run.out)) {
      const std::size_t space = line.rfind(' ');
      if (space != std::string::npos) symbols.push_back(line.substr(space + 1));
    }
    return symbols;
  };
  EXPECT_EQ(exported(ZVX_LV2_BUNDLE "/ZVX.so"), std::vector<std::string>{"lv2_descriptor"});
  EXPECT_EQ(exported(ZVX_LV2_BUNDLE "/ZVX_ui.so"), std::vector<std::string>{"lv2ui_descriptor"});
  const ProgramRun needed = runProgram("/usr/bin/readelf", {"-d", ZVX_LV2_BUNDLE "/ZVX.so"}, folder.path());
  EXPECT_EQ(needed.out.find("libX11"), std::string::npos);
  EXPECT_EQ(needed.out.find("libfreetype"), std::string::npos);
}

}  // namespace
}  // namespace zvx::test
