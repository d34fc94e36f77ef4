// The instrument core linked alone (no plug-in format, no window system),
// played through its own event list.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/Messages.h"
#include "instrument/Instrument.h"
#include "instrument/ParameterTable.h"

namespace zvx {
namespace {

class QuietHost : public InstrumentHost {
 public:
  bool hostSaysRealtime() override { return false; }
  void parameterChanged(int, float) override {}
  bool updateDisplay() override { return false; }
};

class Events : public MidiEventList {
 public:
  int count() const override { return static_cast<int>(events.size()); }
  bool at(int index, MidiEvent& event) const override {
    event = events[static_cast<std::size_t>(index)];
    return true;
  }
  std::vector<MidiEvent> events;
};

TEST(InstrumentCoreTest, PlaysItsEventsAndSpeaksThroughThePlatform) {
  const auto folder = std::filesystem::temp_directory_path() / ("zvx-core-" + std::to_string(::getpid()));
  std::filesystem::create_directories(folder);
  ::setenv("ZVX_DOCUMENTS", folder.c_str(), 1);
  std::vector<std::string> messages;
  platform::setMessageSink([&](const platform::Message& message) { messages.push_back(message.text); });
  {
    QuietHost host;
    Instrument instrument(host);
    instrument.start();
    // No samples here: the core says so through the platform's road.
    EXPECT_EQ(messages.empty() ? "" : messages[0], "Couldn't open file");

    instrument.setSampleRate(48000.0f);
    instrument.setParameter(param::kBDMix, 0.0f);  // the body alone: there are no samples
    std::vector<std::vector<float>> channels(Instrument::kOutputs, std::vector<float>(512, 1.0f));
    std::vector<float*> outputs;
    for (auto& channel : channels) outputs.push_back(channel.data());
    Events events;
    events.events = {MidiEvent{100, true, {char(0x90), char(35), char(127), 0}}};
    instrument.render(outputs.data(), 512, events);
    // Silent before the hit, sounding after it, on the mix and the kick's own output.
    EXPECT_EQ(channels[0][50], 0.0f);
    double energy = 0.0;
    for (float sample : channels[2]) energy += sample * sample;
    EXPECT_TRUE(std::isfinite(energy));
    EXPECT_GT(energy, 0.01);
  }
  platform::setMessageSink({});
  std::filesystem::remove_all(folder);
}

// What hosts that show units show: the engine's own formula for each value.
TEST(ParameterDescriptionTest, ShowsWhatTheEngineMakesOfAValue) {
  const struct {
    int index;
    float value;
    const char* shown;
  } cases[] = {
      // Master gain 2.5 v; the samples' +-18 semitones; notes 36 and 84.
      {param::kVolume, 0.4f, "0.0 dB"}, {param::kVolume, 0.0f, "-inf dB"}, {param::kBDGain, 0.5f, "-6.0 dB"},
      {param::kTuning, 1.0f, "+18.0 st"}, {param::kBDPcmTuning, 0.25f, "-24.0 st"},
      {param::kBDPitch, 0.5f, "65.4 Hz"}, {param::kCPPitch, 1.0f, "1046.5 Hz"},
      // The chance is v^2; a menu entry is trunc(7 v).
      {param::kBDPan, 0.0f, "L 100 %"}, {param::kBDPan, 0.5f, "C"}, {param::kBDChance, 0.5f, "25 %"},
      {param::kBDMute, 0.5f, "On"}, {param::kBDMute, 0.49f, "Off"}, {param::kPower, 0.5f, "50 %"},
      {param::kBDMenu, 0.0f, "BDA"}, {param::kBDMenu, 0.5f, "CPA"}, {param::kBDMenu, 1.0f, "CPB"},
      // Attack 10 (0.4 + 0.003)^2 s; the chaos glide; 0.09 of 98000 samples at 44.1 kHz.
      {param::kAttack, 1.0f, "1624 ms"}, {param::kAttack, 0.03f, "0.11 ms"}, {param::kDecayFactor, 1.0f, "x4.00"},
      {param::kFix44, 1.0f, "102 ms"}, {param::kSizeReverse, 1.0f, "200 ms"},
  };
  for (const auto& c : cases) EXPECT_EQ(displayValue(c.index, c.value), c.shown) << c.index << " at " << c.value;
  // Every entry of a sample menu is the value that plays it.
  for (int entry = 0; entry < choiceCount(param::kHHMenu); ++entry)
    EXPECT_EQ(choiceOf(param::kHHMenu, choiceValue(param::kHHMenu, entry)), entry);
}

}  // namespace
}  // namespace zvx
