// An LV2 host for the tests, on lilv: URI map, world, instance and state.
#pragma once

#include <lilv/lilv.h>
#include <lv2/atom/atom.h>
#include <lv2/atom/util.h>
#include <lv2/core/lv2.h>
#include <lv2/midi/midi.h>
#include <lv2/options/options.h>
#include <lv2/parameters/parameters.h>
#include <lv2/state/state.h>
#include <lv2/urid/urid.h>

#include <limits>
#include <map>

#include "formats/lv2/Lv2Access.h"
#include "formats/lv2/Lv2Ports.h"
#include "instrument/ParameterTable.h"
#include "tests/support/TestSupport.h"
#include "vsthost/AudioThreadProbe.h"

namespace zvx::test {

using lv2::kFirstOutputPort;
using lv2::kFirstParameterPort;
using lv2::kMidiInPort;

// The host's URI map: indexes into a list, 1 onwards.
class UridMap {
 public:
  LV2_URID map(const char* uri) {
    const auto found = std::find(uris_.begin(), uris_.end(), uri);
    if (found != uris_.end()) return static_cast<LV2_URID>(found - uris_.begin() + 1);
    uris_.emplace_back(uri);
    return static_cast<LV2_URID>(uris_.size());
  }
  LV2_URID_Map* lv2() { return &map_; }
  const LV2_Feature* feature() const { return &feature_; }

 private:
  std::vector<std::string> uris_;
  LV2_URID_Map map_{this, [](LV2_URID_Map_Handle self, const char* uri) { return static_cast<UridMap*>(self)->map(uri); }};
  LV2_Feature feature_{LV2_URID__map, &map_};
};

// The system's LV2 vocabularies and the built bundle (or the one at `bundlePath`).
class World {
 public:
  explicit World(const std::string& bundlePath = ZVX_LV2_BUNDLE) {
    ScopedEnv path("LV2_PATH", "/usr/lib/lv2");
    lilv_world_load_all(world_);
    LilvNode* bundle = lilv_new_file_uri(world_, nullptr, (bundlePath + "/").c_str());
    lilv_world_load_bundle(world_, bundle);
    lilv_node_free(bundle);
    plugin_ = lilv_plugins_get_by_uri(lilv_world_get_all_plugins(world_), uri(lv2::kPluginUri).get());
  }
  ~World() { lilv_world_free(world_); }
  World(const World&) = delete;
  World& operator=(const World&) = delete;

  LilvWorld* get() const { return world_; }
  const LilvPlugin* plugin() const { return plugin_; }
  using Node = std::unique_ptr<LilvNode, void (*)(LilvNode*)>;
  Node uri(const std::string& uri) const { return {lilv_new_uri(world_, uri.c_str()), &lilv_node_free}; }

 private:
  LilvWorld* world_ = lilv_world_new();
  const LilvPlugin* plugin_ = nullptr;
};

inline std::string text(const LilvNode* node) { return node && lilv_node_as_string(node) ? lilv_node_as_string(node) : ""; }

class Instance {
 public:
  explicit Instance(const World& world, UridMap& map, float rate = 44100.0f)
      : sequenceType_(map.map(LV2_ATOM__Sequence)), midiType_(map.map(LV2_MIDI__MidiEvent)), rate_(rate) {
    options_[0] = {LV2_OPTIONS_INSTANCE, 0, map.map(LV2_PARAMETERS__sampleRate), sizeof rate_,
                   map.map(LV2_ATOM__Float), &rate_};
    const LV2_Feature* features[] = {map.feature(), &optionsFeature_, nullptr};
    instance_ = lilv_plugin_instantiate(world.plugin(), rate, features);
    if (!instance_) return;
    // Ports start at the description's defaults, as hosts start them.
    std::vector<float> defaults(lilv_plugin_get_num_ports(world.plugin()));
    lilv_plugin_get_port_ranges_float(world.plugin(), nullptr, nullptr, defaults.data());
    lilv_instance_connect_port(instance_, kMidiInPort, sequence());
    for (int p = 0; p < kNumParameters; ++p) {
      controls_[p] = defaults[kFirstParameterPort + p];
      lilv_instance_connect_port(instance_, kFirstParameterPort + p, &controls_[p]);
    }
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
  InstrumentControl& instrument() const {
    return *static_cast<const lv2::InstanceAccess*>(lilv_instance_get_extension_data(instance_, lv2::kInstanceAccessUri))
                ->control(handle());
  }

  // Events (in order) go with the block holding them; `between(start)` runs before the block at `start`.
  std::vector<Channel> render(int frames, int blockSize, const std::vector<VstMidiEvent>& events,
                              const std::function<void(int)>& between = {}) {
    std::vector<Channel> out(Instrument::kOutputs, Channel(static_cast<std::size_t>(frames)));
    std::size_t next = 0;
    for (int start = 0; start < frames; start += blockSize) {
      if (between) between(start);
      const int length = std::min(blockSize, frames - start);
      std::vector<VstMidiEvent> block;
      for (; next < events.size() && events[next].deltaFrames < start + length; ++next) {
        block.push_back(events[next]);
        block.back().deltaFrames -= start;
      }
      const std::vector<const float*> heard = run(length, block);
      for (int o = 0; o < Instrument::kOutputs; ++o) std::copy_n(heard[o], length, out[o].begin() + start);
    }
    return out;
  }

  // One block, events stamped in `unit` (0: frames); outputs prefilled with NaN so unwritten samples show.
  std::vector<const float*> run(int length, const std::vector<VstMidiEvent>& events, LV2_URID unit = 0) {
    std::vector<const float*> heard;
    for (auto& buffer : outputs_) {
      buffer.assign(static_cast<std::size_t>(length), std::numeric_limits<float>::quiet_NaN());
      lilv_instance_connect_port(instance_, kFirstOutputPort + static_cast<uint32_t>(heard.size()), buffer.data());
      heard.push_back(buffer.data());
    }
    LV2_Atom_Sequence* seq = sequence();
    seq->atom.type = sequenceType_;
    lv2_atom_sequence_clear(seq);
    seq->body.unit = unit;
    for (const VstMidiEvent& event : events) {
      struct {
        LV2_Atom_Event event;
        char data[4];
      } midi{{{event.deltaFrames}, {3, midiType_}}, {}};
      std::memcpy(midi.data, event.midiData, 3);
      EXPECT_NE(lv2_atom_sequence_append_event(seq, kSequenceBytes, &midi.event), nullptr);
    }
    vsthost::AudioThreadScope audioThread;
    lilv_instance_run(instance_, static_cast<uint32_t>(length));
    return heard;
  }

  const LV2_State_Interface* state() const {
    return static_cast<const LV2_State_Interface*>(lilv_instance_get_extension_data(instance_, LV2_STATE__interface));
  }
  LV2_Handle handle() const { return lilv_instance_get_handle(instance_); }
  LilvInstance* lilv() const { return instance_; }

 private:
  static constexpr uint32_t kSequenceBytes = 16384;
  LV2_Atom_Sequence* sequence() { return reinterpret_cast<LV2_Atom_Sequence*>(sequenceBuffer_.data()); }

  // Mapped once: run() may be on another thread than the host's other mapping.
  LV2_URID sequenceType_, midiType_;
  float rate_;
  LV2_Options_Option options_[2] = {};
  LV2_Feature optionsFeature_{LV2_OPTIONS__options, options_};
  LilvInstance* instance_ = nullptr;
  std::vector<std::uint64_t> sequenceBuffer_ = std::vector<std::uint64_t>(kSequenceBytes / 8);
  std::array<std::vector<float>, Instrument::kOutputs> outputs_;
  std::array<float, kNumParameters> controls_{};
};

// The state as a host keeps it: the properties the plug-in stores, by key.
struct StoredState {
  struct Property {
    std::vector<unsigned char> value;
    uint32_t type = 0, flags = 0;
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
    const auto found = properties.find(key);
    if (found == properties.end()) return nullptr;
    std::tie(*size, *type, *flags) = std::tuple(found->second.value.size(), found->second.type, found->second.flags);
    return found->second.value.data();
  }
};

inline LV2_State_Status restoreState(const Instance& instance, StoredState& state) {
  return instance.state()->restore(instance.handle(), &StoredState::retrieve, &state, LV2_STATE_IS_POD, nullptr);
}

// The state of the VST module's bank and program: the bank chunk, then the program.
inline StoredState stateOf(UridMap& map, const std::vector<unsigned char>& bank, std::uint32_t program) {
  StoredState state;
  std::vector<unsigned char> value = bank;
  for (int b = 0; b < 4; ++b) value.push_back(static_cast<unsigned char>(program >> (8 * b)));
  state.properties[map.map(lv2::kBankStateUri)] = {value, map.map(LV2_ATOM__Chunk), LV2_STATE_IS_POD};
  return state;
}

}  // namespace zvx::test
