// The instrument core on its own, as any front door drives it: linked with
// nothing but the core (no plug-in format, no window system), played through
// its own event list. Its state taken and given back is the front doors'
// (zvx-validate's G.roundtrip on the module, the LV2 and standalone tests).
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/Messages.h"
#include "plugin/Instrument.h"

namespace zvx {
namespace {

class QuietHost : public InstrumentHost {
 public:
  bool hostSaysRealtime() override { return false; }
  double hostSampleRate() override { return 48000.0; }
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
    instrument.receiveEvents(&events);
    instrument.render(outputs.data(), 512);
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

}  // namespace
}  // namespace zvx
