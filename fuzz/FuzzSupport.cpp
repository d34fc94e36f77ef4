#include "fuzz/FuzzSupport.h"

#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

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

bool rendersFinite(Instrument& instrument) {
  constexpr int kFrames = 256;
  instrument.setSampleRate(44100.0);

  // 128 notes, then 128 controllers at their top value, spread over the block.
  struct Events : MidiEventList {
    int count() const override { return 256; }
    bool at(int index, MidiEvent& event) const override {
      event.deltaFrames = index;
      event.isMidi = true;
      event.data[0] = static_cast<char>(index < 128 ? 0x90 : 0xB0);
      event.data[1] = static_cast<char>(index & 127);
      event.data[2] = 127;
      return true;
    }
  } events;

  std::array<std::array<float, kFrames>, Instrument::kOutputs> out{};
  std::array<float*, Instrument::kOutputs> outputs{};
  for (int o = 0; o < Instrument::kOutputs; ++o) outputs[o] = out[o].data();
  for (int block = 0; block < 2; ++block) {
    instrument.render(outputs.data(), kFrames, block == 0 ? static_cast<const MidiEventList&>(events) : Instrument::noEvents());
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
