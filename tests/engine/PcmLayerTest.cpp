// The sampled layer, heard on the module's voice outputs.

#include "engine/Parameters.h"
#include "tests/support/TestSupport.h"

namespace zvx::test {
namespace {

constexpr int kBD = 2, kCP = 5;

// Where the layer read the spike of a file of zeros (the DC blocker leaves a faint tail).
std::vector<long> spikes(const Channel& channel) {
  const float threshold = 0.5f * peak(channel);
  std::vector<long> where;
  for (std::size_t i = 0; i < channel.size(); ++i)
    if (std::fabs(channel[i]) > threshold) where.push_back(static_cast<long>(i));
  return where;
}

std::vector<std::int16_t> spikeAt(int index, int length = 30000) {
  std::vector<std::int16_t> samples(static_cast<std::size_t>(length), 0);
  samples[static_cast<std::size_t>(index)] = 30000;
  return samples;
}

// Long, level envelopes: decay 4 x 1.0, velocity barely matters.
const Settings kLongLayers = {
    {param::kBDDecay, 1.0f}, {param::kCPDecay, 1.0f}, {param::kDecayFactor, 1.0f}, {param::kVelocityAmp, 0.0f}};

Channel bassDrum(const Settings& more, int frames) {
  Settings settings = kLongLayers;
  settings.insert(settings.end(), more.begin(), more.end());
  return renderZvx(settings, {noteOn(0, 35)}, frames)[kBD];
}

TEST(PcmLayerTest, BassDrumMixOnePlaysTheSampleAloneAt2Point4) {
  // BDA.wav (every voice's Menu 0) is a square; the clap's layer alone, enveloped alike, is 2.4 times quieter.
  TempDocuments docs;
  std::vector<std::int16_t> square(20000);
  for (std::size_t i = 0; i < square.size(); ++i) square[i] = (i / 20) % 2 ? 20000 : -20000;
  docs.writeFile("BDA.wav", monoWav(square));
  Settings both = kLongLayers;
  both.push_back({param::kCPMix, 1.0f});
  auto out = renderZvx(both, {noteOn(0, 35), noteOn(0, 29)}, 8000);
  ASSERT_GT(peak(out[kCP]), 0.01f);
  for (int i = 0; i < 8000; ++i) {
    if (std::fabs(out[kCP][i]) > 1e-3f) {
      ASSERT_NEAR(out[kBD][i] / out[kCP][i], 2.4f, 1e-3f) << i;
    }
  }
  // The synthesized body is not heard: other tone settings, same output.
  EXPECT_EQ(bassDrum({{param::kBDTone, 0.9f}, {param::kBDPitch, 0.1f}}, 8000), bassDrum({}, 8000));
}

// (Other tunings are RatesTest's.)
TEST(PcmLayerTest, MenuValuePicksTheFileWhichCentredTuningsPlaySampleForSample) {
  TempDocuments docs;
  docs.writeFile("CPA.wav", monoWav(spikeAt(700)));
  docs.writeFile("BDA.wav", monoWav(spikeAt(300)));
  EXPECT_EQ(spikes(bassDrum({}, 4000)), std::vector<long>{300});
  EXPECT_EQ(spikes(bassDrum({{param::kBDMenu, 0.5f}}, 4000)), std::vector<long>{700});    // file 3, CPA.wav
  EXPECT_EQ(spikes(bassDrum({{param::kBDMenu, 0.142f}}, 4000)), std::vector<long>{300});  // just below 1/7

  // Centred tunings play at the recorded speed, sample for sample.
  docs.writeFile("BDA.wav", monoWav(spikeAt(19000)));
  EXPECT_EQ(spikes(bassDrum({}, 21000)), std::vector<long>{19000});
}

TEST(PcmLayerTest, ArmedReverseTurnsAtItsSizeAndSwingsBackToTheStart) {
  TempDocuments docs;
  docs.writeFile("BDA.wav", monoWav(spikeAt(5000)));
  const Settings armed = {{param::kPickReverse, 1.0f}, {param::kMasterChaos, 0.5f}};  // every pick passes
  // Forward to 8820, which is read twice as it turns, back to 0, forward again.
  EXPECT_EQ(spikes(bassDrum(armed, 30000)), (std::vector<long>{5000, 2 * 8820 + 1 - 5000, 2 * 8820 + 1 + 5000}));
  // Without the arm the spike passes once.
  EXPECT_EQ(spikes(bassDrum({{param::kPickReverse, 1.0f}}, 30000)), std::vector<long>{5000});
  // The turn comes at 0.09 x SizeReverse^2 of the 98000-sample limit: 2205 at 0.5.
  docs.writeFile("BDA.wav", monoWav(spikeAt(1000)));
  const Channel small = bassDrum({armed[0], armed[1], {param::kSizeReverse, 0.5f}}, 6000);
  EXPECT_EQ(spikes(small), (std::vector<long>{1000, 2 * 2205 + 1 - 1000, 2 * 2205 + 1 + 1000}));
}

}  // namespace
}  // namespace zvx::test
