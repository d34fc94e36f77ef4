#include "tests/vst3/Vst3TestSupport.h"

#include "instrument/ParameterTable.h"
#include "tools/zvx-render/DemoPattern.h"
#include "tools/zvx-render/MidiFile.h"

namespace zvx::test {
namespace {

void sortByFrame(std::vector<VstMidiEvent>& events) {
  std::stable_sort(events.begin(), events.end(),
                   [](const VstMidiEvent& a, const VstMidiEvent& b) { return a.deltaFrames < b.deltaFrames; });
}

void putLittle(std::vector<std::uint8_t>& out, std::uint32_t word) {
  for (int b = 0; b < 4; ++b) out.push_back(static_cast<std::uint8_t>(word >> (8 * b)));
}

std::uint32_t little(const std::vector<std::uint8_t>& bytes, std::size_t at) {
  std::uint32_t word = 0;
  for (int b = 3; b >= 0; --b) word = (word << 8) | bytes[at + static_cast<std::size_t>(b)];
  return word;
}

}  // namespace

std::string vst3Bundle() { return fs::path(ZVX_VST3_BINARY).parent_path().parent_path().parent_path().string(); }

const vst3host::Module& vst3Module() {
  static std::unique_ptr<vst3host::Module> module = [] {
    std::string error;
    auto loaded = vst3host::Module::load(vst3Bundle(), error);
    if (!loaded) {
      std::fprintf(stderr, "%s\n", error.c_str());
      std::abort();
    }
    return loaded;
  }();
  return *module;
}

std::unique_ptr<vst3host::Plugin> startVst3(double rate, int maxBlock) { return startVst3({}, rate, maxBlock); }

std::unique_ptr<vst3host::Plugin> startVst3(const Settings& settings, double rate, int maxBlock) {
  std::string error;
  auto plugin = vst3host::Plugin::create(vst3Module(), error, &kZvxClass);
  if (!plugin) {
    ADD_FAILURE() << "no ZVX through VST 3: " << error;
    return nullptr;
  }
  if (!plugin->start(rate, maxBlock)) {
    ADD_FAILURE() << "ZVX through VST 3 does not start: " << plugin->error();
    return nullptr;
  }
  for (const auto& [index, value] : settings) plugin->setParameter(idOf(index), normalized(value));
  return plugin;
}

bool restart(vst3host::Plugin& plugin, double rate, int maxBlock, vst3::int32 mode) {
  plugin.setProcessing(false);
  const bool done = plugin.setActive(false) == vst3::kResultOk && plugin.setup(rate, maxBlock, mode) &&
                    plugin.setActive(true) == vst3::kResultOk;
  EXPECT_TRUE(done) << plugin.error();
  plugin.setProcessing(true);
  return done;
}

vst3::ParamID programParameter() {
  auto plugin = startVst3();
  const std::optional<vst3::ParamID> id = plugin ? plugin->programParameter() : std::nullopt;
  EXPECT_TRUE(id) << "no parameter flagged kIsProgramChange";
  return id.value_or(0);
}

std::unique_ptr<vsthost::Plugin> startVst2(const Settings& settings, double rate) {
  vsthost::HostConfig config;
  config.sampleRate = static_cast<VstIntPtr>(rate);
  return startZvx(settings, config, 512);
}

std::vector<vsthost::TimedMidiEvent> timed(const std::vector<VstMidiEvent>& events) {
  std::vector<vsthost::TimedMidiEvent> result;
  for (const VstMidiEvent& event : events) result.push_back({event.deltaFrames, event});
  return result;
}

std::vector<VstMidiEvent> demoGroove(double rate, int& frames, double tailSeconds) {
  std::string error;
  const auto song = render::MidiFile::parse(render::DemoPattern::midiFile(), error);
  EXPECT_TRUE(song) << error;
  std::vector<VstMidiEvent> events;
  frames = 0;
  if (!song) return events;
  for (const auto& message : song->messagesAt(rate))
    events.push_back(vsthost::midiEvent(static_cast<int>(message.sample), message.data[0],
                                         message.size > 1 ? message.data[1] : 0, message.size > 2 ? message.data[2] : 0));
  frames = events.empty() ? 0 : events.back().deltaFrames + static_cast<int>(tailSeconds * rate);
  return events;
}

std::vector<VstMidiEvent> busyGroove(std::uint32_t seed, int frames, double rate, int hitsPerSecond, int channel) {
  constexpr int kNotes[] = {35, 36, 38, 40, 42, 44, 46, 37, 39, 29, 31, 33};
  std::uint32_t dice = seed * 2654435761u + 1u;
  const auto below = [&](int n) {
    dice = dice * 1664525u + 1013904223u;
    return static_cast<int>((dice >> 8) % static_cast<std::uint32_t>(n));
  };
  const int gap = static_cast<int>(rate) / hitsPerSecond;
  std::vector<VstMidiEvent> events;
  for (int at = 0; at < frames;) {
    const int note = kNotes[below(static_cast<int>(std::size(kNotes)))];
    events.push_back(noteOn(at, note, 1 + below(127), channel));
    if (below(4) != 0) {
      const int off = at + 1 + below(3 * gap);
      if (off < frames) events.push_back(noteOff(off, note, below(128), channel));
    }
    at += below(6) == 0 ? 0 : gap / 4 + below(3 * gap / 2);
  }
  sortByFrame(events);
  return events;
}

std::vector<Channel> renderVst3(vst3host::Plugin& plugin, int frames, const std::vector<int>& pattern,
                                const std::vector<VstMidiEvent>& events, const std::vector<ParameterChange>& changes) {
  std::vector<Channel> out(static_cast<std::size_t>(plugin.outputChannels()), Channel(static_cast<std::size_t>(frames)));
  const bool played = plugin.play(
      frames, pattern, timed(events),
      [&](const std::vector<float*>& block, std::int64_t start, int length) {
        for (std::size_t c = 0; c < out.size(); ++c) std::copy_n(block[c], length, out[c].begin() + start);
        return true;
      },
      changes);
  EXPECT_TRUE(played) << plugin.error();
  return out;
}

std::vector<Channel> renderVst2(vsthost::Plugin& plugin, int frames, int blockSize,
                                const std::vector<VstMidiEvent>& events, std::vector<Vst2Action> actions) {
  std::stable_sort(actions.begin(), actions.end(), [](const Vst2Action& a, const Vst2Action& b) { return a.frame < b.frame; });
  std::vector<VstMidiEvent> sorted = events;
  sortByFrame(sorted);
  const auto outputs = static_cast<std::size_t>(plugin.effect()->numOutputs);
  std::vector<Channel> out(outputs, Channel(static_cast<std::size_t>(frames)));
  std::vector<std::vector<float>> buffers(outputs, std::vector<float>(static_cast<std::size_t>(blockSize)));
  std::vector<float*> pointers;
  for (auto& buffer : buffers) pointers.push_back(buffer.data());
  std::size_t nextAction = 0, nextEvent = 0;
  for (int start = 0; start < frames;) {
    while (nextAction < actions.size() && actions[nextAction].frame <= start) actions[nextAction++].act(plugin);
    int end = std::min(start + blockSize, frames);
    if (nextAction < actions.size() && actions[nextAction].frame < end) end = static_cast<int>(actions[nextAction].frame);
    std::vector<VstMidiEvent> block;
    for (; nextEvent < sorted.size() && sorted[nextEvent].deltaFrames < end; ++nextEvent) {
      block.push_back(sorted[nextEvent]);
      block.back().deltaFrames = std::max(0, block.back().deltaFrames - start);
    }
    if (!block.empty()) plugin.sendEvents(block);
    for (auto& buffer : buffers) std::fill(buffer.begin(), buffer.end(), 0.0f);
    plugin.processReplacing(pointers.data(), end - start);
    for (std::size_t c = 0; c < out.size(); ++c) std::copy_n(buffers[c].begin(), end - start, out[c].begin() + start);
    start = end;
  }
  return out;
}

Vst2Action setAt(std::int64_t frame, int index, float value) {
  return {frame, [=](vsthost::Plugin& plugin) { plugin.setParameter(index, value); }};
}

std::string differences(const std::vector<Channel>& heard, const std::vector<Channel>& expected) {
  if (heard.size() != expected.size())
    return std::to_string(heard.size()) + " outputs where " + std::to_string(expected.size()) + " were expected";
  const char* names[] = {"mix left", "mix right", "kick", "snare", "hi-hat", "clap"};
  std::string said;
  for (std::size_t c = 0; c < heard.size(); ++c) {
    const Channel &h = heard[c], &e = expected[c];
    std::size_t i = 0;
    while (i < std::min(h.size(), e.size()) && std::memcmp(&h[i], &e[i], sizeof(float)) == 0) ++i;
    if (i == h.size() && i == e.size()) continue;
    said += (c < std::size(names) ? std::string(names[c]) : "output " + std::to_string(c)) + " differs from sample " +
            std::to_string(i);
    if (i < std::min(h.size(), e.size()))
      said += std::string(" (") + std::to_string(h[i]) + " where " + std::to_string(e[i]) + " was expected)";
    said += "; ";
  }
  return said;
}

bool everyOutputSounds(const std::vector<Channel>& outputs, float threshold) {
  for (const Channel& channel : outputs)
    if (!(peak(channel) > threshold)) return false;
  return !outputs.empty();
}

std::vector<std::uint8_t> wrapState(std::int32_t program, const std::vector<std::uint8_t>& chunk, std::uint32_t version,
                                    const char* magic) {
  std::vector<std::uint8_t> state(magic, magic + 4);
  putLittle(state, version);
  putLittle(state, static_cast<std::uint32_t>(program));
  putLittle(state, static_cast<std::uint32_t>(chunk.size()));
  state.insert(state.end(), chunk.begin(), chunk.end());
  return state;
}

std::optional<UnwrappedState> unwrapState(const std::vector<std::uint8_t>& state) {
  if (state.size() < kStateHeaderSize || std::memcmp(state.data(), "ZVXS", 4) != 0 || little(state, 4) != 1 ||
      state.size() != kStateHeaderSize + little(state, 12))
    return std::nullopt;
  return UnwrappedState{static_cast<std::int32_t>(little(state, 8)),
                        std::vector<std::uint8_t>(state.begin() + kStateHeaderSize, state.end())};
}

vst3::ParamValue shownAs(int index, float vst2Value) {
  switch (kParameterTable[static_cast<std::size_t>(index)].kind) {
    case ParamKind::Switch: return vst2Value >= 0.5f ? 1.0 : 0.0;
    case ParamKind::Choice: return choiceOf(index, vst2Value) / 7.0;
    default: return normalized(vst2Value);
  }
}

std::vector<vst3::ParamValue> shownValues(vst3host::Plugin& plugin) {
  std::vector<vst3::ParamValue> values;
  for (int p = 0; p < kNumParameters; ++p) values.push_back(plugin.parameter(idOf(p)));
  return values;
}

std::vector<vst3::ParamValue> shownValues(vsthost::Plugin& plugin) {
  std::vector<vst3::ParamValue> values;
  for (int p = 0; p < kNumParameters; ++p) values.push_back(shownAs(p, plugin.getParameter(p)));
  return values;
}

std::string differentValues(const std::vector<vst3::ParamValue>& heard, const std::vector<vst3::ParamValue>& expected) {
  std::string said;
  for (std::size_t p = 0; p < std::min(heard.size(), expected.size()); ++p)
    if (heard[p] != expected[p])
      said += "parameter " + std::to_string(p) + " is " + std::to_string(heard[p]) + " where " +
              std::to_string(expected[p]) + " was expected; ";
  if (heard.size() != expected.size()) said += "not as many values; ";
  return said;
}

}  // namespace zvx::test
