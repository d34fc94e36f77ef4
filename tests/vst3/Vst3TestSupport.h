// What the VST 3 tests share: the bundle of this build, ZVX through it and
// through the VST 2.4 module of the same build (outputs in the same order),
// the grooves they play, and the layout of the VST 3 state.
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
// Loaded once for the whole process; the run ends when it cannot be.
const vst3host::Module& vst3Module();
constexpr vst3::Uid kZvxClass = vst3::makeUid(0xD5E32866, 0x77552328, 0xEEA30250, 0x3E6D1C12);

// A fresh ZVX through VST 3, active and processing, its parameters set as `settings` say
// (by VST 2.4 index); null (with a test failure) when any step fails.
std::unique_ptr<vst3host::Plugin> startVst3(double rate = 44100.0, int maxBlock = 512);
std::unique_ptr<vst3host::Plugin> startVst3(const Settings& settings, double rate = 44100.0, int maxBlock = 512);
// Deactivates, sets up anew and reactivates, as a host changing its rate or mode does.
bool restart(vst3host::Plugin& plugin, double rate, int maxBlock, vst3::int32 mode = vst3::kRealtime);
// The ID of the parameter flagged kIsProgramChange (a test failure when there is none).
vst3::ParamID programParameter();

std::unique_ptr<vsthost::Plugin> startVst2(const Settings& settings = {}, double rate = 44100.0);

std::vector<vsthost::TimedMidiEvent> timed(const std::vector<VstMidiEvent>& events);
// The zvx-render demo at `rate`, and its length with `tailSeconds` after the last event.
std::vector<VstMidiEvent> demoGroove(double rate, int& frames, double tailSeconds = 1.5);
// A repeatable busy groove: every voice's notes at any velocity, at frames anywhere in a block,
// most of them ended after a while, now and then two at the same frame.
std::vector<VstMidiEvent> busyGroove(std::uint32_t seed, int frames, double rate = 44100.0, int hitsPerSecond = 12,
                                     int channel = 9);

// Renders through VST 3 in blocks of the lengths of `pattern` in turn.
std::vector<Channel> renderVst3(vst3host::Plugin& plugin, int frames, const std::vector<int>& pattern,
                                const std::vector<VstMidiEvent>& events,
                                const std::vector<ParameterChange>& changes = {});

// Something done to the VST 2.4 plug-in before sample `frame`; its block is cut there.
struct Vst2Action {
  std::int64_t frame;
  std::function<void(vsthost::Plugin&)> act;
};
std::vector<Channel> renderVst2(vsthost::Plugin& plugin, int frames, int blockSize,
                                const std::vector<VstMidiEvent>& events, std::vector<Vst2Action> actions = {});
Vst2Action setAt(std::int64_t frame, int index, float value);

// Empty when the outputs are the same bit for bit; else where they first differ.
std::string differences(const std::vector<Channel>& heard, const std::vector<Channel>& expected);
bool everyOutputSounds(const std::vector<Channel>& outputs, float threshold = 0.001f);

// The VST 3 state: 'ZVXS', version, program, the size of the bank chunk, then the chunk.
constexpr std::size_t kStateHeaderSize = 16;
std::vector<std::uint8_t> wrapState(std::int32_t program, const std::vector<std::uint8_t>& chunk,
                                    std::uint32_t version = 1, const char* magic = "ZVXS");
struct UnwrappedState {
  std::int32_t program = 0;
  std::vector<std::uint8_t> chunk;
};
std::optional<UnwrappedState> unwrapState(const std::vector<std::uint8_t>& state);

inline vst3::ParamValue normalized(float value) { return static_cast<vst3::ParamValue>(value); }
inline vst3::ParamID idOf(int index) { return static_cast<vst3::ParamID>(index); }
// What the VST 3 controller shows for a VST 2.4 value: a switch 0 or 1, a sample menu its entry / 7.
vst3::ParamValue shownAs(int index, float vst2Value);
// The 83 parameters as each format shows them, VST 2.4's as VST 3 shows them.
std::vector<vst3::ParamValue> shownValues(vst3host::Plugin& plugin);
std::vector<vst3::ParamValue> shownValues(vsthost::Plugin& plugin);
// The parameters whose values differ, said; empty when all agree.
std::string differentValues(const std::vector<vst3::ParamValue>& heard, const std::vector<vst3::ParamValue>& expected);

}  // namespace zvx::test
