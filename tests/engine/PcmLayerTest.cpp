// The sampled layer, heard on the module's voice outputs.

#include "engine/Parameters.h"
#include "tests/support/TestSupport.h"

namespace zvx::test {
namespace {

constexpr int kBD = 2, kCP = 5;

// Output samples that stand out: where the layer read the spike of a file of
// zeros (the DC blocker leaves only a faint tail after it).
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

TEST(PcmLayerTest, BassDrumMixOnePlaysTheSampleAloneAt2Point4) {
  // Every voice plays BDA.wav (Menu 0), here a square wave. The clap is set
  // to its layer alone too, with the same envelope: the bass drum's output is
  // 2.4 times its.
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
  Settings otherTone = both;
  otherTone.push_back({param::kBDTone, 0.9f});
  otherTone.push_back({param::kBDPitch, 0.1f});
  EXPECT_EQ(renderZvx(otherTone, {noteOn(0, 35)}, 8000)[kBD], renderZvx(both, {noteOn(0, 35)}, 8000)[kBD]);
}

TEST(PcmLayerTest, MenuValuePicksTheFileForTheVoice) {
  // BDMenu 0.5 picks file 3, CPA.wav.
  TempDocuments docs;
  docs.writeFile("CPA.wav", monoWav(spikeAt(700)));
  docs.writeFile("BDA.wav", monoWav(spikeAt(300)));
  auto fromA = renderZvx(kLongLayers, {noteOn(0, 35)}, 4000);
  EXPECT_EQ(spikes(fromA[kBD]), std::vector<long>{300});
  Settings cpa = kLongLayers;
  cpa.push_back({param::kBDMenu, 0.5f});
  EXPECT_EQ(spikes(renderZvx(cpa, {noteOn(0, 35)}, 4000)[kBD]), std::vector<long>{700});
  // Just below 1/7 is still BDA.wav.
  cpa.back() = {param::kBDMenu, 0.142f};
  EXPECT_EQ(spikes(renderZvx(cpa, {noteOn(0, 35)}, 4000)[kBD]), std::vector<long>{300});
}

TEST(PcmLayerTest, CentredTuningsPlayAtTheRecordedSpeedSampleForSample) {
  TempDocuments docs;
  docs.writeFile("BDA.wav", monoWav(spikeAt(19000)));
  EXPECT_EQ(spikes(renderZvx(kLongLayers, {noteOn(0, 35)}, 21000)[kBD]), std::vector<long>{19000});
  // Twelve semitones up reads about two entries per sample.
  Settings up = kLongLayers;
  up.push_back({param::kBDPcmTuning, 0.5f + 12.0f / 96.0f});
  auto wide = spikeAt(8000);
  wide[8001] = 30000;  // two entries, so a step of two cannot pass it
  docs.writeFile("BDA.wav", monoWav(wide));
  auto fast = spikes(renderZvx(up, {noteOn(0, 35)}, 21000)[kBD]);
  ASSERT_EQ(fast.size(), 1u);
  EXPECT_NEAR(fast[0], 4000, 2);
}

TEST(PcmLayerTest, ArmedReverseTurnsAtItsSizeAndSwingsBackToTheStart) {
  TempDocuments docs;
  docs.writeFile("BDA.wav", monoWav(spikeAt(5000)));
  Settings reverse = kLongLayers;
  reverse.push_back({param::kPickReverse, 1.0f});
  reverse.push_back({param::kMasterChaos, 0.5f});  // every pick passes
  auto out = renderZvx(reverse, {noteOn(0, 35)}, 30000);
  // Forward to 8820, which is read twice as it turns, back to 0, forward again.
  EXPECT_EQ(spikes(out[kBD]), (std::vector<long>{5000, 2 * 8820 + 1 - 5000, 2 * 8820 + 1 + 5000}));
  // Without the arm the spike passes once.
  reverse.back() = {param::kMasterChaos, 0.0f};
  EXPECT_EQ(spikes(renderZvx(reverse, {noteOn(0, 35)}, 30000)[kBD]), std::vector<long>{5000});
  // The turn comes at 0.09 x SizeReverse^2 of the 98000-sample play limit:
  // at SizeReverse 0.5, 2205, a quarter of where the full size turns.
  docs.writeFile("BDA.wav", monoWav(spikeAt(1000)));
  reverse.back() = {param::kMasterChaos, 0.5f};
  reverse.push_back({param::kSizeReverse, 0.5f});
  EXPECT_EQ(spikes(renderZvx(reverse, {noteOn(0, 35)}, 6000)[kBD]), (std::vector<long>{1000, 2 * 2205 + 1 - 1000, 2 * 2205 + 1 + 1000}));
}

TEST(PcmLayerTest, ClapStopsAtHalfTheBuffer) {
  TempDocuments docs;
  docs.writeFile("BDA.wav", monoWav(spikeAt(60000, 70000)));
  Settings clap = kLongLayers;
  clap.push_back({param::kCPMix, 1.0f});
  auto out = renderZvx(clap, {noteOn(0, 35), noteOn(0, 29)}, 70000);
  EXPECT_EQ(spikes(out[kBD]), std::vector<long>{60000});
  EXPECT_LT(peak(out[kCP]), 1e-3f);  // held at 49000, never reaching the spike
}

}  // namespace
}  // namespace zvx::test
