// What the VST 3 tests share: the bundle of this build loaded once, a fresh
// ZVX through it, renders through it and through the VST 2.4 module of the
// same build for comparison (their outputs in the same order), the demo
// groove, and the layout of the VST 3 state.
#pragma once

#include "tests/support/TestSupport.h"
#include "vst3host/MemoryStream.h"
#include "vst3host/Plugin.h"
#include "vst3host/Utf16.h"

namespace zvx::test {

using vst3host::ParameterChange;
namespace vst3 = zvx::vst3;

// The bundle built by this tree: ZVX.vst3, three folders above its binary.
std::string vst3Bundle();
// The module, loaded from its bundle for the whole process; the run ends when it cannot be.
const vst3host::Module& vst3Module();
// The class ZVX registers.
constexpr vst3::Uid kZvxClass = vst3::makeUid(0xD5E32866, 0x77552328, 0xEEA30250, 0x3E6D1C12);

// A fresh ZVX through VST 3, set up at `rate` for blocks of at most `maxBlock`,
// active and processing; null (with a test failure) when any step fails.
std::unique_ptr<vst3host::Plugin> startVst3(double rate = 44100.0, int maxBlock = 512);
// The same, its parameters set as `settings` say (by VST 2.4 index) before the first block.
std::unique_ptr<vst3host::Plugin> startVst3(const Settings& settings, double rate = 44100.0, int maxBlock = 512);

// The VST 2.4 module of the build at `rate`, with `settings`.
std::unique_ptr<vsthost::Plugin> startVst2(const Settings& settings = {}, double rate = 44100.0);

// Events at absolute frames, as play takes them.
std::vector<vsthost::TimedMidiEvent> timed(const std::vector<VstMidiEvent>& events);

// The groove zvx-render plays (its demo) at `rate`, and its length there with
// a tail of `tailSeconds` after the last event.
std::vector<VstMidiEvent> demoGroove(double rate, int& frames, double tailSeconds = 1.5);

// Renders `frames` through VST 3 in blocks of the lengths of `pattern` in turn.
std::vector<Channel> renderVst3(vst3host::Plugin& plugin, int frames, const std::vector<int>& pattern,
                                const std::vector<VstMidiEvent>& events,
                                const std::vector<ParameterChange>& changes = {});

// Something done to the VST 2.4 plug-in before the sample `frame` (its block is cut there).
struct Vst2Action {
  std::int64_t frame;
  std::function<void(vsthost::Plugin&)> act;
};
// Renders `frames` through VST 2.4 in blocks of `blockSize`, cut at every action's frame.
std::vector<Channel> renderVst2(vsthost::Plugin& plugin, int frames, int blockSize,
                                const std::vector<VstMidiEvent>& events, std::vector<Vst2Action> actions = {});
// A VST 2.4 setParameter at a frame, as an action.
Vst2Action setAt(std::int64_t frame, int index, float value);

// Empty when the outputs are the same bit for bit; else where they first differ.
std::string differences(const std::vector<Channel>& heard, const std::vector<Channel>& expected);
// Every output channel of the mix and the four voices louder than `threshold` somewhere.
bool everyOutputSounds(const std::vector<Channel>& outputs, float threshold = 0.001f);

// The VST 3 state: 'ZVXS', version, program, the size of the bank chunk and the chunk.
struct StateHeader {
  static constexpr std::size_t kSize = 16;
};
std::vector<std::uint8_t> wrapState(std::int32_t program, const std::vector<std::uint8_t>& chunk,
                                    std::uint32_t version = 1, const char* magic = "ZVXS");
// The chunk and program of a state; nothing when it does not have the layout.
struct UnwrappedState {
  std::int32_t program = 0;
  std::vector<std::uint8_t> chunk;
};
std::optional<UnwrappedState> unwrapState(const std::vector<std::uint8_t>& state);

// The normalized value a VST 2.4 float is sent as, and a parameter's VST 3 ID.
inline vst3::ParamValue normalized(float value) { return static_cast<vst3::ParamValue>(value); }
inline vst3::ParamID idOf(int index) { return static_cast<vst3::ParamID>(index); }
// What the VST 3 controller shows for the value the VST 2.4 module holds: a switch 0 or 1 (on from 0.5),
// a sample menu its entry / 7, any other parameter the value itself.
vst3::ParamValue shownAs(int index, float vst2Value);
// The values of the 83 parameters as each format shows them, VST 2.4's as VST 3 shows them.
std::vector<vst3::ParamValue> shownValues(vst3host::Plugin& plugin);
std::vector<vst3::ParamValue> shownValues(vsthost::Plugin& plugin);
// The first parameter whose values differ, said; empty when all agree.
std::string differentValues(const std::vector<vst3::ParamValue>& heard, const std::vector<vst3::ParamValue>& expected);

}  // namespace zvx::test

namespace zvx::test {

// A repeatable busy groove over `frames`: every voice's notes at any velocity,
// about `hitsPerSecond` hits a second at frames anywhere in a block, most of
// them ended after a while, now and then two at the same frame.
std::vector<VstMidiEvent> busyGroove(std::uint32_t seed, int frames, double rate = 44100.0, int hitsPerSecond = 12,
                                     int channel = 9);

}  // namespace zvx::test
