#include "fuzz/FuzzSupport.h"

#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "formats/vst2/DrumPlugin.h"
#include "platform/Messages.h"

namespace zvx::fuzz {

const std::filesystem::path& dataFolder() {
  static const std::filesystem::path folder = [] {
    std::string pattern = (std::filesystem::temp_directory_path() / "zvx-fuzz-XXXXXX").string();
    if (!mkdtemp(pattern.data())) fail("cannot make a temporary documents folder");
    setenv("ZVX_DOCUMENTS", pattern.c_str(), 1);
    std::filesystem::path data = std::filesystem::path(pattern) / "Tonewerk Data" / "ZVX";
    std::filesystem::create_directories(data);
    platform::setMessageSink([](const platform::Message&) {});
    return data;
  }();
  return folder;
}

bool rendersFinite(DrumPlugin& plugin) {
  constexpr int kFrames = 256;
  constexpr int kOutputs = 6;
  plugin.setSampleRate(44100.0f);
  plugin.setBlockSize(kFrames);

  // 128 notes, then 128 controllers at their top value, spread over the block.
  std::vector<VstMidiEvent> midi(256);
  for (int i = 0; i < 256; ++i) {
    VstMidiEvent& event = midi[static_cast<std::size_t>(i)];
    event = VstMidiEvent{};
    event.type = kVstMidiType;
    event.byteSize = sizeof(VstMidiEvent);
    event.deltaFrames = i;
    event.midiData[0] = static_cast<char>(i < 128 ? 0x90 : 0xB0);
    event.midiData[1] = static_cast<char>(i & 127);
    event.midiData[2] = 127;
  }
  std::vector<char> storage(sizeof(VstEvents) + midi.size() * sizeof(VstEvent*));
  auto* events = reinterpret_cast<VstEvents*>(storage.data());
  events->numEvents = static_cast<VstInt32>(midi.size());
  for (std::size_t i = 0; i < midi.size(); ++i) eventSlots(*events)[i] = reinterpret_cast<VstEvent*>(&midi[i]);

  std::array<std::array<float, kFrames>, kOutputs> out{};
  std::array<float*, kOutputs> outputs{};
  for (int o = 0; o < kOutputs; ++o) outputs[o] = out[o].data();
  for (int block = 0; block < 2; ++block) {
    if (block == 0) plugin.processEvents(events);
    plugin.processReplacing(nullptr, outputs.data(), kFrames);
    for (const auto& channel : out)
      for (float sample : channel)
        if (!std::isfinite(sample)) return false;
  }
  return true;
}

void fail(const char* what) {
  std::fprintf(stderr, "fuzz finding: %s\n", what);
  std::abort();
}

}  // namespace zvx::fuzz
