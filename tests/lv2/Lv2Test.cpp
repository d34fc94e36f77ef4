// The LV2 bundle as an LV2 host sees it (through lilv): its description
// against the parameter table and the default bank, and its sound and state
// against the VST module's, bit for bit.
#include <lilv/lilv.h>
#include <lv2/atom/atom.h>
#include <lv2/atom/util.h>
#include <lv2/core/lv2.h>
#include <lv2/midi/midi.h>
#include <lv2/options/options.h>
#include <lv2/parameters/parameters.h>
#include <lv2/presets/presets.h>
#include <lv2/state/state.h>
#include <lv2/urid/urid.h>

#include "formats/lv2/Lv2Ports.h"
#include "plugin/BankImage.h"
#include "plugin/ParameterTable.h"
#include "tests/support/TestSupport.h"
#include "vsthost/AudioThreadProbe.h"

namespace zvx::test {
namespace {

using lv2::kFirstOutputPort;
using lv2::kFirstParameterPort;
using lv2::kMidiInPort;
using lv2::kPortCount;

// The host's URI map: indexes into a list, 1 onwards.
class UridMap {
 public:
  UridMap() : feature_{LV2_URID__map, &map_} {}
  LV2_URID map(const char* uri) {
    for (std::size_t i = 0; i < uris_.size(); ++i)
      if (uris_[i] == uri) return static_cast<LV2_URID>(i + 1);
    uris_.emplace_back(uri);
    return static_cast<LV2_URID>(uris_.size());
  }
  LV2_URID_Map* lv2() { return &map_; }
  const LV2_Feature* feature() const { return &feature_; }

 private:
  static LV2_URID callback(LV2_URID_Map_Handle handle, const char* uri) {
    return static_cast<UridMap*>(handle)->map(uri);
  }
  std::vector<std::string> uris_;
  LV2_URID_Map map_{this, &UridMap::callback};
  LV2_Feature feature_;
};

// A lilv world holding the system's LV2 vocabularies and the built bundle.
class World {
 public:
  World() {
    ScopedEnv path("LV2_PATH", "/usr/lib/lv2");
    world_ = lilv_world_new();
    lilv_world_load_all(world_);
    LilvNode* bundle = lilv_new_file_uri(world_, nullptr, ZVX_LV2_BUNDLE "/");
    lilv_world_load_bundle(world_, bundle);
    lilv_node_free(bundle);
    LilvNode* uri = lilv_new_uri(world_, lv2::kPluginUri);
    plugin_ = lilv_plugins_get_by_uri(lilv_world_get_all_plugins(world_), uri);
    lilv_node_free(uri);
  }
  ~World() { lilv_world_free(world_); }
  World(const World&) = delete;
  World& operator=(const World&) = delete;

  LilvWorld* get() const { return world_; }
  const LilvPlugin* plugin() const { return plugin_; }

 private:
  LilvWorld* world_ = nullptr;
  const LilvPlugin* plugin_ = nullptr;
};

// A URI node freed with the object.
class Uri {
 public:
  Uri(const World& world, const char* uri) : node_(lilv_new_uri(world.get(), uri)) {}
  ~Uri() { lilv_node_free(node_); }
  Uri(const Uri&) = delete;
  Uri& operator=(const Uri&) = delete;
  const LilvNode* get() const { return node_; }

 private:
  LilvNode* node_;
};

std::string text(const LilvNode* node) { return node && lilv_node_as_string(node) ? lilv_node_as_string(node) : ""; }

// One instance as a host runs it: port buffers, a MIDI sequence per block.
class Instance {
 public:
  static constexpr double kRate = 44100.0;

  Instance(const World& world, UridMap& map) : map_(map) {
    options_[0] = {LV2_OPTIONS_INSTANCE, 0, map.map(LV2_PARAMETERS__sampleRate), sizeof rate_,
                   map.map(LV2_ATOM__Float), &rate_};
    optionsFeature_ = {LV2_OPTIONS__options, options_};
    const LV2_Feature* features[] = {map.feature(), &optionsFeature_, nullptr};
    instance_ = lilv_plugin_instantiate(world.plugin(), kRate, features);
    if (!instance_) return;
    for (int p = 0; p < kNumParameters; ++p) controls_[p] = kParameterTable[p].defaultValue;
    lilv_instance_connect_port(instance_, kMidiInPort, sequence());
    for (int o = 0; o < Instrument::kOutputs; ++o)
      lilv_instance_connect_port(instance_, kFirstOutputPort + o, outputs_[o].data());
    for (int p = 0; p < kNumParameters; ++p)
      lilv_instance_connect_port(instance_, kFirstParameterPort + p, &controls_[p]);
    lilv_instance_activate(instance_);
  }
  ~Instance() {
    if (!instance_) return;
    lilv_instance_deactivate(instance_);
    lilv_instance_free(instance_);
  }
  Instance(const Instance&) = delete;
  Instance& operator=(const Instance&) = delete;

  bool valid() const { return instance_ != nullptr; }
  float& control(int parameter) { return controls_[parameter]; }

  // As testhost::Plugin::play: events (deltaFrames from the start) sent with the block holding them;
  // `between(start)` runs before the block at `start`.
  std::vector<Channel> render(int frames, int blockSize, const std::vector<VstMidiEvent>& events,
                              const std::function<void(int)>& between = {}) {
    std::vector<Channel> out(Instrument::kOutputs, Channel(static_cast<std::size_t>(frames)));
    for (auto& buffer : outputs_) buffer.assign(static_cast<std::size_t>(blockSize), 0.0f);
    for (int o = 0; o < Instrument::kOutputs; ++o)
      lilv_instance_connect_port(instance_, kFirstOutputPort + o, outputs_[o].data());
    std::vector<VstMidiEvent> ordered = events;
    std::stable_sort(ordered.begin(), ordered.end(),
                     [](const VstMidiEvent& a, const VstMidiEvent& b) { return a.deltaFrames < b.deltaFrames; });
    std::size_t next = 0;
    const LV2_URID midi = map_.map(LV2_MIDI__MidiEvent);
    for (int start = 0; start < frames; start += blockSize) {
      if (between) between(start);
      const int length = std::min(blockSize, frames - start);
      LV2_Atom_Sequence* seq = sequence();
      seq->atom.type = map_.map(LV2_ATOM__Sequence);
      lv2_atom_sequence_clear(seq);
      while (next < ordered.size() && ordered[next].deltaFrames < start + length) {
        struct {
          LV2_Atom_Event event;
          char data[4];
        } midiEvent{};
        midiEvent.event.time.frames = ordered[next].deltaFrames - start;
        midiEvent.event.body = {3, midi};
        std::memcpy(midiEvent.data, ordered[next++].midiData, 3);
        EXPECT_NE(lv2_atom_sequence_append_event(seq, kSequenceBytes, &midiEvent.event), nullptr);
      }
      {
        testhost::AudioThreadScope audioThread;
        lilv_instance_run(instance_, static_cast<uint32_t>(length));
      }
      for (int o = 0; o < Instrument::kOutputs; ++o)
        std::copy_n(outputs_[o].begin(), length, out[o].begin() + start);
    }
    return out;
  }

  const LV2_State_Interface* state() const {
    return static_cast<const LV2_State_Interface*>(lilv_instance_get_extension_data(instance_, LV2_STATE__interface));
  }
  LV2_Handle handle() const { return lilv_instance_get_handle(instance_); }

 private:
  static constexpr uint32_t kSequenceBytes = 16384;
  LV2_Atom_Sequence* sequence() { return reinterpret_cast<LV2_Atom_Sequence*>(sequenceBuffer_.data()); }

  UridMap& map_;
  float rate_ = static_cast<float>(kRate);
  LV2_Options_Option options_[2] = {};
  LV2_Feature optionsFeature_{};
  LilvInstance* instance_ = nullptr;
  std::vector<std::uint64_t> sequenceBuffer_ = std::vector<std::uint64_t>(kSequenceBytes / 8);
  std::array<std::vector<float>, Instrument::kOutputs> outputs_;
  std::array<float, kNumParameters> controls_{};
};

// The state as a host keeps it: the properties the plug-in stores, by key.
struct StoredState {
  struct Property {
    std::vector<unsigned char> value;
    uint32_t type = 0;
    uint32_t flags = 0;
  };
  std::map<uint32_t, Property> properties;

  static LV2_State_Status store(LV2_State_Handle handle, uint32_t key, const void* value, size_t size, uint32_t type,
                                uint32_t flags) {
    const auto* bytes = static_cast<const unsigned char*>(value);
    static_cast<StoredState*>(handle)->properties[key] = {std::vector<unsigned char>(bytes, bytes + size), type, flags};
    return LV2_STATE_SUCCESS;
  }
  static const void* retrieve(LV2_State_Handle handle, uint32_t key, size_t* size, uint32_t* type, uint32_t* flags) {
    auto& properties = static_cast<StoredState*>(handle)->properties;
    auto found = properties.find(key);
    if (found == properties.end()) return nullptr;
    *size = found->second.value.size();
    *type = found->second.type;
    *flags = found->second.flags;
    return found->second.value.data();
  }
};

StoredState saveState(const Instance& instance) {
  StoredState state;
  EXPECT_EQ(instance.state()->save(instance.handle(), &StoredState::store, &state, LV2_STATE_IS_POD, nullptr),
            LV2_STATE_SUCCESS);
  return state;
}

LV2_State_Status restoreState(const Instance& instance, StoredState& state) {
  return instance.state()->restore(instance.handle(), &StoredState::retrieve, &state, LV2_STATE_IS_POD, nullptr);
}

// The state the VST module's bank and program make: the bank chunk, then the program.
StoredState stateOf(UridMap& map, const std::vector<unsigned char>& bank, std::uint32_t program) {
  StoredState state;
  std::vector<unsigned char> value = bank;
  for (int b = 0; b < 4; ++b) value.push_back(static_cast<unsigned char>(program >> (8 * b)));
  state.properties[map.map(lv2::kBankStateUri)] = {value, map.map(LV2_ATOM__Chunk), LV2_STATE_IS_POD};
  return state;
}

// Each voice struck, some twice, with the same events for both formats.
std::vector<VstMidiEvent> groove() {
  return {noteOn(0, 36),    noteOn(100, 38, 90), noteOn(700, 42, 64), noteOn(1500, 39, 110),
          noteOn(4000, 36, 50), noteOff(4100, 36),  noteOn(6000, 42),  noteOn(6001, 38, 20)};
}
constexpr int kFrames = 12000;
constexpr int kBlock = 512;

bool sameBits(const std::vector<Channel>& a, const std::vector<Channel>& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t c = 0; c < a.size(); ++c)
    if (a[c].size() != b[c].size() || std::memcmp(a[c].data(), b[c].data(), a[c].size() * sizeof(float)) != 0)
      return false;
  return true;
}

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

  // The outputs by name, the mix a stereo group; the controls as the table has them.
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

  for (int p = 0; p < kNumParameters; ++p) {
    const LilvPort* port = lilv_plugin_get_port_by_index(plugin, kFirstParameterPort + p);
    EXPECT_EQ(nameOf(kFirstParameterPort + p), trimmedName(p)) << p;
    EXPECT_EQ(text(lilv_port_get_symbol(plugin, port)), lv2::parameterSymbol(p));
    LilvNode *fallback = nullptr, *lowest = nullptr, *highest = nullptr;
    lilv_port_get_range(plugin, port, &fallback, &lowest, &highest);
    ASSERT_TRUE(fallback && lowest && highest) << p;
    EXPECT_TRUE(lilv_node_as_float(fallback) == kParameterTable[p].defaultValue && lilv_node_as_float(lowest) == 0.0f &&
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

// A state from the VST module's bank and program plays as that module does; the ports, left at their
// defaults, do not undo it. Saved and restored into a fresh instance, it plays the same again.
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
  const testhost::AudioThreadCounts after = testhost::audioThreadCounts();
  if (testhost::countsAllocations()) {
    EXPECT_EQ(after.allocations, before.allocations);
  }
  EXPECT_EQ(after.fileOpens + after.fileIo, before.fileOpens + before.fileIo);
  EXPECT_EQ(after.locks, before.locks);
  EXPECT_EQ(after.sleeps, before.sleeps);

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

// Hosts find the bundle through lv2_descriptor; nothing else of ours is theirs to bind to.
TEST(Lv2BinaryTest, ExportsOnlyTheDescriptor) {
  TempFolder folder;
  const ProgramRun run = runProgram("/usr/bin/nm", {"-D", "--defined-only", ZVX_LV2_BUNDLE "/ZVX.so"}, folder.path());
  ASSERT_EQ(run.exitCode, 0) << run.err;
  std::vector<std::string> symbols;
  for (const std::string& line : linesOf(run.out)) {
    const std::size_t space = line.rfind(' ');
    if (space != std::string::npos) symbols.push_back(line.substr(space + 1));
  }
  EXPECT_EQ(symbols, std::vector<std::string>{"lv2_descriptor"});
}

}  // namespace
}  // namespace zvx::test
