// The LV2 bundle as a host sees it through lilv, its sound against the VST module's, bit for bit.
#include <lv2/atom/atom.h>
#include <lv2/port-groups/port-groups.h>
#include <lv2/port-props/port-props.h>
#include <lv2/presets/presets.h>

#include "formats/lv2/Lv2Description.h"
#include "instrument/BankImage.h"
#include "instrument/SampleCache.h"
#include "tests/lv2/Lv2Host.h"
#include "tests/support/AudioThreadChecks.h"
#include "tests/support/StagedInstall.h"

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

// What a host shows: an instrument taking MIDI on its control port; each output in its group on its
// channel (the mix a stereo pair, each voice a mono group); the controls in a group per voice and the
// master, the switches toggles, the sample menus enumerations, the unused hidden and not automatable, their
// defaults the first program's values (a fresh instance plays it); a license, a description, a release.
TEST_F(Lv2Test, DescribesAnInstrumentWithTheTablesPorts) {
  const LilvPlugin* plugin = world_.plugin();
  EXPECT_STREQ(lilv_node_as_uri(lilv_plugin_class_get_uri(lilv_plugin_get_class(plugin))), LV2_CORE__InstrumentPlugin);
  EXPECT_TRUE(lilv_plugin_verify(plugin));
  ASSERT_EQ(lilv_plugin_get_num_ports(plugin), static_cast<uint32_t>(lv2::kPortCount));
  const auto input = world_.uri(LV2_CORE__InputPort), output = world_.uri(LV2_CORE__OutputPort);
  const auto ofClass = [&](const World::Node& direction, const char* type) {
    return lilv_plugin_get_num_ports_of_class(plugin, direction.get(), world_.uri(type).get(), nullptr);
  };
  EXPECT_EQ(ofClass(input, LV2_ATOM__AtomPort), 1u);
  EXPECT_EQ(ofClass(output, LV2_CORE__AudioPort), 6u);
  EXPECT_EQ(ofClass(input, LV2_CORE__ControlPort), 83u);
  const LilvPort* midiIn = lilv_plugin_get_port_by_index(plugin, kMidiInPort);
  EXPECT_TRUE(lilv_port_supports_event(plugin, midiIn, world_.uri(LV2_MIDI__MidiEvent).get()));
  EXPECT_EQ(lilv_plugin_get_port_by_designation(plugin, input.get(), world_.uri(LV2_CORE__control).get()), midiIn);

  const auto port = [&](int index) { return lilv_plugin_get_port_by_index(plugin, static_cast<uint32_t>(index)); };
  const auto group = world_.uri(LV2_PORT_GROUPS__group), designation = world_.uri(LV2_CORE__designation);
  const auto valueOf = [&](int index, const World::Node& predicate) {
    LilvNode* node = lilv_port_get(plugin, port(index), predicate.get());
    const std::string value = text(node);
    lilv_node_free(node);
    return value;
  };
  const char* channels[] = {LV2_PORT_GROUPS__left, LV2_PORT_GROUPS__right, LV2_PORT_GROUPS__center,
                            LV2_PORT_GROUPS__center, LV2_PORT_GROUPS__center, LV2_PORT_GROUPS__center};
  std::set<std::string> outputGroups;
  for (int o = 0; o < Instrument::kOutputs; ++o) {
    outputGroups.insert(valueOf(kFirstOutputPort + o, group));
    EXPECT_EQ(valueOf(kFirstOutputPort + o, designation), channels[o]) << o;
  }
  EXPECT_EQ(outputGroups.size(), 5u);
  EXPECT_EQ(outputGroups.count(""), 0u);

  auto firstProgram = startZvx();
  ASSERT_TRUE(firstProgram);
  const auto has = [&](int index, const char* property) {
    return lilv_port_has_property(plugin, port(kFirstParameterPort + index), world_.uri(property).get());
  };
  std::set<std::string> controlGroups;
  int toggles = 0, menus = 0;
  for (int p = 0; p < kNumParameters; ++p) {
    const bool unused = kParameterTable[static_cast<std::size_t>(p)].kind == ParamKind::Unused;
    controlGroups.insert(valueOf(kFirstParameterPort + p, group));
    toggles += has(p, LV2_CORE__toggled);
    menus += has(p, LV2_CORE__enumeration);
    EXPECT_EQ(has(p, LV2_PORT_PROPS__notOnGUI), unused) << p;
    EXPECT_EQ(has(p, LV2_PORT_PROPS__notAutomatic), unused) << p;
    LilvNode *fallback = nullptr, *lowest = nullptr, *highest = nullptr;
    lilv_port_get_range(plugin, port(kFirstParameterPort + p), &fallback, &lowest, &highest);
    ASSERT_TRUE(fallback && lowest && highest) << p;
    EXPECT_TRUE(lilv_node_as_float(fallback) == firstProgram->getParameter(p) && lilv_node_as_float(lowest) == 0.0f &&
                lilv_node_as_float(highest) == 1.0f)
        << p;
    for (LilvNode* node : {fallback, lowest, highest}) lilv_node_free(node);
  }
  EXPECT_EQ(toggles, 13);
  EXPECT_EQ(menus, 4);
  EXPECT_EQ(controlGroups.size(), 5u);
  EXPECT_EQ(controlGroups.count(""), 0u);

  const auto value = [&](const char* predicate) {
    LilvNodes* values = lilv_plugin_get_value(plugin, world_.uri(predicate).get());
    const std::string first = values && lilv_nodes_size(values) ? text(lilv_nodes_get_first(values)) : "";
    lilv_nodes_free(values);
    return first;
  };
  EXPECT_EQ(value("http://usefulinc.com/ns/doap#license"), "https://spdx.org/licenses/MIT");
  EXPECT_NE(value(LILV_NS_RDFS "comment"), "");
  const std::string minor = value(LV2_CORE__minorVersion);
  EXPECT_TRUE(!minor.empty() && std::stoi(minor) > 0 && std::stoi(minor) % 2 == 0) << minor;
}

// Each scale point of a sample menu plays the file it names, as the VST module's integer entry of that
// number does (a VST host sends entry i as i / 7): the bass drum plays its sample alone, once per file.
TEST_F(Lv2Test, EverySampleMenuPointPlaysTheFileItNames) {
  const LilvPlugin* plugin = world_.plugin();
  const LilvPort* menu = lilv_plugin_get_port_by_index(plugin, kFirstParameterPort + param::kBDMenu);
  LilvScalePoints* points = lilv_port_get_scale_points(plugin, menu);
  ASSERT_NE(points, nullptr);
  EXPECT_EQ(lilv_scale_points_size(points), 8u);
  std::map<std::string, float> byName;
  LILV_FOREACH(scale_points, i, points) {
    const LilvScalePoint* point = lilv_scale_points_get(points, i);
    byName[text(lilv_scale_point_get_label(point))] = lilv_node_as_float(lilv_scale_point_get_value(point));
  }
  lilv_scale_points_free(points);
  std::vector<Channel> previous;
  for (int file = 0; file < SampleCache::kFiles; ++file) {
    const std::string stem = std::string(SampleCache::kFileNames[file]).substr(0, 3);
    ASSERT_EQ(byName.count(stem), 1u) << stem;
    Instance lv2(world_, map_);
    ASSERT_TRUE(lv2.valid());
    lv2.control(param::kBDMix) = 1.0f;
    lv2.control(param::kBDMenu) = byName[stem];
    const std::vector<Channel> heard = lv2.render(kFrames, kBlock, {noteOn(0, 35)});
    const std::vector<Channel> expected =
        renderZvx({{param::kBDMix, 1.0f}, {param::kBDMenu, static_cast<float>(file) / 7.0f}}, {noteOn(0, 35)}, kFrames);
    EXPECT_GT(peak(expected[2]), 0.01f) << stem;
    EXPECT_TRUE(sameBits(heard, expected)) << stem;
    EXPECT_FALSE(sameBits(heard, previous)) << stem << " plays as the file before it";
    previous = heard;
  }
}

// The presets are the programs, named as the editor names them, in one bank. Applied as hosts apply them
// (state restored, ports set), each selects its program as a VST program change does; the other programs
// keep their edits.
TEST_F(Lv2Test, EveryPresetSelectsItsProgramAndLeavesTheOthers) {
  LilvNodes* presets = lilv_plugin_get_related(world_.plugin(), world_.uri(LV2_PRESETS__Preset).get());
  EXPECT_EQ(lilv_nodes_size(presets), static_cast<unsigned>(Instrument::kNumPrograms));
  lilv_nodes_free(presets);
  Instance lv2(world_, map_);
  ASSERT_TRUE(lv2.valid());
  auto vst = startZvx();
  ASSERT_TRUE(vst);
  // An edit of program 0 before any preset, which must survive them all.
  lv2.control(param::kHHDecay) = 0.123f;
  lv2.run(64, {});
  const auto label = world_.uri(LILV_NS_RDFS "label"), bank = world_.uri(LV2_PRESETS__bank);
  for (int program : {8, 127, 8, 3, 0}) {
    if (program == 0) {
      // Program 0 kept its edit through the others; its own preset gives it the preset's values.
      lv2.instrument().selectProgram(0);
      EXPECT_EQ(lv2.instrument().parameter(param::kHHDecay), 0.123f);
    }
    const auto preset = world_.uri(lv2::presetUri(program));
    lilv_world_load_resource(world_.get(), preset.get());
    LilvNode* name = lilv_world_get(world_.get(), preset.get(), label.get(), nullptr);
    vst->dispatch(effSetProgram, 0, program);
    char number[8];
    std::snprintf(number, sizeof number, "%03d ", program);
    EXPECT_EQ(text(name), number + vst->programName()) << program;
    lilv_node_free(name);
    EXPECT_TRUE(lilv_world_ask(world_.get(), preset.get(), bank.get(), nullptr)) << program;

    LilvState* state = lilv_state_new_from_world(world_.get(), map_.lv2(), preset.get());
    ASSERT_NE(state, nullptr) << program;
    EXPECT_EQ(lilv_state_get_num_properties(state), 1u);
    std::pair<Instance*, int> applied{&lv2, 0};
    lilv_state_restore(
        state, lv2.lilv(),
        [](const char* symbol, void* user, const void* value, uint32_t size, uint32_t) {
          auto& [instance, count] = *static_cast<std::pair<Instance*, int>*>(user);
          for (int p = 0; p < kNumParameters; ++p)
            if (size == sizeof(float) && lv2::parameterSymbol(p) == symbol) {
              std::memcpy(&instance->control(p), value, size);
              ++count;
            }
        },
        &applied, 0, nullptr);
    lilv_state_free(state);
    EXPECT_EQ(applied.second, kNumParameters) << program;
    lv2.run(64, {});
    EXPECT_EQ(lv2.instrument().program(), program);
    EXPECT_EQ(lv2.instrument().programName(program), vst->programName());
    for (int p = 0; p < kNumParameters; ++p)
      EXPECT_EQ(lv2.instrument().parameter(p), vst->getParameter(p)) << "preset " << program << ", parameter " << p;
  }
}

// At any block size and rate the outputs are the VST module's, every output sounding and every sample
// written. A state of another size is refused and changes nothing. A rate no interface gives gets no
// instance, rather than one whose filters run wild.
TEST_F(Lv2Test, PlaysAsTheVstModuleAtAnyBlockAndRate) {
  for (const auto& [rate, block] : std::vector<std::pair<int, int>>{
           {44100, kBlock}, {44100, 1}, {44100, 4097}, {22050, kBlock}, {96000, kBlock}, {192000, kBlock}}) {
    SCOPED_TRACE(std::to_string(rate) + " Hz, blocks of " + std::to_string(block));
    Instance lv2(world_, map_, static_cast<float>(rate));
    ASSERT_TRUE(lv2.valid());
    StoredState cut = stateOf(map_, std::vector<unsigned char>(100, 0), 0);
    EXPECT_NE(restoreState(lv2, cut), LV2_STATE_SUCCESS);
    vsthost::HostConfig config;
    config.sampleRate = rate;
    const auto expected = renderZvx({}, groove(), kFrames, block, config);
    for (const Channel& channel : expected) EXPECT_GT(peak(channel), 0.01f);
    EXPECT_TRUE(sameBits(lv2.render(kFrames, block, groove()), expected));
  }
  const float nan = std::numeric_limits<float>::quiet_NaN(), inf = std::numeric_limits<float>::infinity();
  for (float rate : {0.0f, -44100.0f, nan, inf, 1.0e6f}) EXPECT_FALSE(Instance(world_, map_, rate).valid()) << rate;
  EXPECT_TRUE(Instance(world_, map_, 768000.0f).valid());
}

// A state of the VST module's bank and program plays as that module does; ports set before it (as hosts
// restore a session) do not undo it. Saved and restored into a fresh instance, it plays the same again.
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

  StoredState saved;
  ASSERT_EQ(first.state()->save(first.handle(), &StoredState::store, &saved, LV2_STATE_IS_POD, nullptr),
            LV2_STATE_SUCCESS);
  ASSERT_EQ(saved.properties.size(), 1u);
  EXPECT_EQ(saved.properties.begin()->first, map_.map(lv2::kBankStateUri));
  EXPECT_EQ(saved.properties.begin()->second.type, map_.map(LV2_ATOM__Chunk));
  EXPECT_EQ(saved.properties.begin()->second.value, given.properties.begin()->second.value);

  Instance second(world_, map_);
  ASSERT_TRUE(second.valid());
  ASSERT_EQ(restoreState(second, saved), LV2_STATE_SUCCESS);
  EXPECT_TRUE(sameBits(second.render(kFrames, kBlock, groove()), expected));
}

// Ports moved before the first block and between blocks sound as the VST setter makes them, a moved
// sample choice included, with no allocation, lock, sleep or file call in run().
TEST_F(Lv2Test, AppliesMovedPortsAsTheVstSetterDoesWithoutBlocking) {
  Instance lv2(world_, map_);
  ASSERT_TRUE(lv2.valid());
  const int moveAt = 4 * kBlock;
  const std::vector<VstMidiEvent> events = {noteOn(0, 36), noteOn(moveAt + 10, 36), noteOn(moveAt + 20, 42),
                                            noteOn(moveAt + 30, 38)};
  const Settings moved = {{param::kBDMenu, 1.0f}, {param::kHHDecay, 0.9f}, {param::kSDPitch, 0.1f}};
  lv2.control(param::kBDMix) = 0.0f;  // the bass drum plays its sample alone
  lv2.control(param::kBDDecay) = 0.9f;
  const vsthost::AudioThreadCounts before = vsthost::audioThreadCounts();
  const std::vector<Channel> heard = lv2.render(kFrames, kBlock, events, [&](int start) {
    if (start == moveAt)
      for (const auto& [p, value] : moved) lv2.control(p) = value;
  });
  expectNothingBlockedSince(before);

  auto vst = startZvx({{param::kBDMix, 0.0f}, {param::kBDDecay, 0.9f}}, {}, kBlock);
  ASSERT_TRUE(vst);
  std::vector<Channel> expected(Instrument::kOutputs, Channel(kFrames));
  std::vector<vsthost::TimedMidiEvent> timed;
  for (const VstMidiEvent& event : events) timed.push_back({event.deltaFrames, event});
  vst->play(kFrames, kBlock, timed, [&](const std::vector<float*>& block, std::int64_t start, int length) {
    for (std::size_t c = 0; c < expected.size(); ++c) std::copy_n(block[c], length, expected[c].begin() + start);
    if (start + length == moveAt)
      for (const auto& [p, value] : moved) vst->setParameter(p, value);
    return true;
  });
  EXPECT_GT(peak(expected[2], moveAt), 0.01f);
  EXPECT_TRUE(sameBits(heard, expected));
  EXPECT_FALSE(sameBits(heard, renderZvx({{param::kBDMix, 0.0f}}, events, kFrames, kBlock)));
}

// Events out of order or stamped past the block's end act as they do in a VST block. Events stamped in
// beats cannot be placed without the host's tempo and are passed over; stamped in frames, they sound.
TEST_F(Lv2Test, TakesEventsAsTheVstModuleDoes) {
  const std::vector<VstMidiEvent> shuffled = {noteOn(300, 38), noteOn(10, 36), controller(200, 7, 20),
                                              noteOn(100, 42), noteOn(100, 39), noteOn(kBlock + 40, 36)};
  Instance lv2(world_, map_);
  ASSERT_TRUE(lv2.valid());
  std::vector<Channel> heard(Instrument::kOutputs);
  for (int block = 0; block < 3; ++block) {
    const std::vector<const float*> outputs = lv2.run(kBlock, block == 0 ? shuffled : std::vector<VstMidiEvent>{});
    for (int o = 0; o < Instrument::kOutputs; ++o) heard[o].insert(heard[o].end(), outputs[o], outputs[o] + kBlock);
  }
  auto vst = startZvx();
  ASSERT_TRUE(vst);
  vst->sendEvents(shuffled);
  const auto expected = vst->render(3 * kBlock, kBlock);
  EXPECT_GT(peak(expected[0]), 0.01f);
  EXPECT_TRUE(sameBits(heard, expected));

  for (const char* unit : {LV2_ATOM__beatTime, LV2_ATOM__frameTime, ""}) {
    Instance fresh(world_, map_);
    ASSERT_TRUE(fresh.valid());
    const float* kick = fresh.run(kBlock, {noteOn(0, 36), noteOn(2, 38)}, *unit ? map_.map(unit) : 0)[2];
    const float loudest = peak(Channel(kick, kick + kBlock));
    EXPECT_TRUE(std::string(unit) == LV2_ATOM__beatTime ? loudest == 0.0f : loudest > 0.01f) << unit << ": " << loudest;
  }
}

// Ardour's note-name interface names the kits' keys; each instance is a model of its own.
TEST_F(Lv2Test, NamesTheKitsKeys) {
  struct Midnam {
    char* (*midnam)(LV2_Handle);
    char* (*model)(LV2_Handle);
    void (*free)(char*);
  };
  Instance first(world_, map_), second(world_, map_);
  ASSERT_TRUE(first.valid() && second.valid());
  const auto* names = static_cast<const Midnam*>(
      lilv_instance_get_extension_data(first.lilv(), "http://ardour.org/lv2/midnam#interface"));
  ASSERT_NE(names, nullptr);
  const auto taken = [&](char* text) {
    const std::string copy = text ? text : "";
    names->free(text);
    return copy;
  };
  const std::string document = taken(names->midnam(first.handle()));
  const std::string model = taken(names->model(first.handle()));
  EXPECT_NE(model, taken(names->model(second.handle())));
  EXPECT_NE(document.find("<Model>" + model + "</Model>"), std::string::npos);
  for (const char* key : {"<Note Number=\"35\" Name=\"Kick Long\"/>", "<Note Number=\"38\" Name=\"Snare Long\"/>",
                          "<Note Number=\"42\" Name=\"Hi-hat Closed\"/>", "<Note Number=\"39\" Name=\"Clap -2 Oct\"/>"})
    EXPECT_NE(document.find(key), std::string::npos) << key;
  EXPECT_EQ(document.find("Number=\"60\""), std::string::npos);
}

// Hosts (Ardour) restore on their own thread while run() plays: it plays on, and ends on the last state
// restored. The thread sanitizer's run of this test finds any race.
TEST_F(Lv2Test, RestoresWhileRunning) {
  Instance lv2(world_, map_);
  ASSERT_TRUE(lv2.valid());
  auto vst = startZvx();
  ASSERT_TRUE(vst);
  const std::vector<unsigned char> bank = chunkOf(*vst, 0);
  const LV2_URID programKey = map_.map(lv2::kProgramStateUri), intType = map_.map(LV2_ATOM__Int);
  std::atomic<bool> stop{false};
  std::atomic<long> blocks{0};
  std::thread audio([&] {
    const std::vector<VstMidiEvent> hits = {noteOn(0, 36), noteOn(10, 38), noteOn(20, 42), noteOn(30, 39)};
    while (!stop.load()) {
      const std::vector<const float*> heard = lv2.run(64, blocks.load() % 50 == 0 ? hits : std::vector<VstMidiEvent>{});
      for (int o = 0; o < Instrument::kOutputs; ++o)
        for (int i = 0; i < 64; ++i) ASSERT_TRUE(std::isfinite(heard[o][i]));
      blocks.fetch_add(1);
    }
  });
  const auto deadline = std::chrono::steady_clock::now() + stressDuration();
  int restores = 0, last = 0;
  while (std::chrono::steady_clock::now() < deadline || restores < 20) {
    last = restores % 128;
    StoredState state;
    if (restores % 3 == 0) {
      state = stateOf(map_, bank, static_cast<std::uint32_t>(last));
    } else {
      const std::int32_t program = last;
      const auto* bytes = reinterpret_cast<const unsigned char*>(&program);
      state.properties[programKey] = {std::vector<unsigned char>(bytes, bytes + sizeof program), intType, LV2_STATE_IS_POD};
    }
    ASSERT_EQ(restoreState(lv2, state), LV2_STATE_SUCCESS);
    ++restores;
  }
  const long before = blocks.load();
  while (blocks.load() < before + 4) std::this_thread::yield();
  stop.store(true);
  audio.join();
  EXPECT_GT(blocks.load(), 0);
  EXPECT_EQ(lv2.instrument().program(), last);
}

// The installed bundle, loaded for a user who never ran ZVX, fills their data folder from the installed
// default data, says nothing, has the default bank's programs and sounds.
TEST(Lv2InstalledTest, FillsAFreshUsersDataFolderAndPlaysTheDefaultBank) {
  const std::filesystem::path bundle = stagedPrefix() / "lib" / "lv2" / "ZVX.lv2";
  const FreshUser user;
  MessageCapture capture;
  const World world(bundle.string());
  ASSERT_NE(world.plugin(), nullptr) << "no " << lv2::kPluginUri << " in " << bundle;
  UridMap map;
  std::vector<std::string> names;
  std::vector<Channel> heard;
  {
    Instance instance(world, map);
    ASSERT_TRUE(instance.valid());
    for (int p = 0; p < Instrument::kNumPrograms; ++p) names.push_back(instance.instrument().programName(p));
    heard = instance.render(22050, kBlock, {noteOn(0, 36), noteOn(0, 38)});
  }
  EXPECT_EQ(capture.messages(), std::vector<ShownMessage>{}) << capture.output();
  EXPECT_EQ(names, defaultProgramNames());
  EXPECT_GT(peak(heard[0]), 0.05f);
  const auto installed = filesBelow(stagedPrefix() / "share" / "zvx");
  auto filled = filesBelow(user.dataFolder());
  EXPECT_EQ(filled.erase("zvx-data manifest.txt"), 1u);
  EXPECT_EQ(fileDifferences(installed, filled), "");
}

// Each binary exports only its descriptor; the plug-in's needs no X11 or FreeType (hosts without a screen).
TEST(Lv2BinaryTest, EachBinaryExportsOnlyItsDescriptor) {
  TempFolder folder;
  const auto exported = [&](const char* binary) {
    const ProgramRun run = runProgram("/usr/bin/nm", {"-D", "--defined-only", binary}, folder.path());
    EXPECT_EQ(run.exitCode, 0) << run.err;
    std::vector<std::string> symbols;
    for (const std::string& line : linesOf(run.out)) symbols.push_back(line.substr(line.rfind(' ') + 1));
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
