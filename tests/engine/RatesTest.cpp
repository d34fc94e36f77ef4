// The same kit at every host rate: samples in tune, levels and decays kept,
// the hi-hat never amplifying, unplayable rates refused.

#include "engine/Parameters.h"
#include "tests/support/TestSupport.h"

namespace zvx::test {
namespace {

namespace fs = std::filesystem;

constexpr int kRates[] = {22050, 48000, 88200, 96000, 192000};
constexpr int kBD = 2, kSD = 3, kHH = 4, kCP = 5;  // output channels

double cents(double frequency, double reference) { return 1200.0 * std::log2(frequency / reference); }

vsthost::HostConfig at(int rate) {
  vsthost::HostConfig config;
  config.sampleRate = rate;
  return config;
}

std::vector<Channel> hit(int rate, const Settings& settings, int note, double seconds) {
  return renderZvx(settings, {noteOn(0, note)}, static_cast<int>(seconds * rate), 512, at(rate));
}

// A 441 Hz tone recorded at 44.1 kHz, decaying slowly, as the bass drum's file.
std::vector<unsigned char> toneFile() {
  std::vector<std::int16_t> samples(60000);
  for (std::size_t i = 0; i < samples.size(); ++i)
    samples[i] = static_cast<std::int16_t>(
        std::lround(30000.0 * std::sin(2.0 * M_PI * 441.0 * static_cast<double>(i) / 44100.0) * std::exp(-static_cast<double>(i) / 88200.0)));
  return RiffBuilder().format(1, 44100, 16).data(samples).bytes();
}

// The sampled layer alone, tuned off its middle so that both tunings count.
TEST(RatesTest, SamplesPlayAtTheirRecordedPitchTimesTheirTunings) {
  TempDocuments docs;
  docs.writeFile("BDA.wav", toneFile());
  for (const Settings& tuned : {Settings{}, Settings{{param::kBDPcmTuning, 0.55f}, {param::kTuning, 0.45f}}}) {
    Settings settings = {{param::kBDMix, 1.0f}, {param::kBDDecay, 1.0f}};
    settings.insert(settings.end(), tuned.begin(), tuned.end());
    auto pitchAt = [&](int rate) {
      const auto out = hit(rate, settings, 35, 0.4);
      return frequencyOf(out[kBD], static_cast<std::size_t>(0.05 * rate), static_cast<std::size_t>(0.35 * rate), rate);
    };
    const double reference = pitchAt(44100);
    // Untuned, the file's own pitch; tuned, 4.8 - 1.8 semitones up.
    EXPECT_NEAR(cents(reference, 441.0), tuned.empty() ? 0.0 : 300.0, 2.0);
    for (int rate : kRates) EXPECT_NEAR(cents(pitchAt(rate), reference), 0.0, 2.0) << rate << " Hz";
  }
}

// What a listener hears: above 40 kHz, the band below 20 kHz (fourth-order Butterworth).
std::vector<double> audible(const Channel& channel, int rate) {
  std::vector<double> x(channel.begin(), channel.end());
  if (rate < 40000) return x;
  for (double q : {0.54119610, 1.30656296}) {
    const double w = 2.0 * M_PI * 20000.0 / rate, alpha = std::sin(w) / (2.0 * q), a0 = 1.0 + alpha;
    const double b0 = (1.0 - std::cos(w)) / 2.0 / a0, b1 = (1.0 - std::cos(w)) / a0, b2 = b0;
    const double a1 = -2.0 * std::cos(w) / a0, a2 = (1.0 - alpha) / a0;
    double x1 = 0.0, x2 = 0.0, y1 = 0.0, y2 = 0.0;
    for (double& v : x) {
      const double y = b0 * v + b1 * x1 + b2 * x2 - a1 * y1 - a2 * y2;
      x2 = x1, x1 = v, y2 = y1, y1 = y;
      v = y;
    }
  }
  return x;
}

// Energy in dB in the audible band, and when it stays 40 dB below its loudest (1 ms windows).
struct Hit {
  double energyDb = 0.0;
  double decaySeconds = 0.0;
};

Hit measure(const Channel& channel, int rate) {
  const std::vector<double> heard = audible(channel, rate);
  double energy = 0.0;
  for (double x : heard) energy += x * x;
  const auto window = static_cast<std::size_t>(rate / 1000);
  std::vector<double> levels;
  for (std::size_t start = 0; start + window <= channel.size(); start += window) {
    double power = 0.0;
    for (std::size_t i = start; i < start + window; ++i) power += static_cast<double>(channel[i]) * channel[i];
    levels.push_back(power / static_cast<double>(window));
  }
  const double loudest = *std::max_element(levels.begin(), levels.end());
  std::size_t last = 0;
  for (std::size_t w = 0; w < levels.size(); ++w)
    if (levels[w] > loudest * 1e-4) last = w;
  return {10.0 * std::log10(energy / rate + 1e-30), static_cast<double>(last + 1) / 1000.0};
}

// The default samples and bank, as users have them.
class DefaultKit : public ::testing::Test {
 protected:
  void SetUp() override {
    const fs::path built = ZVX_BUILT_DATA;
    for (const auto& file : fs::directory_iterator(built / "samples"))
      if (file.path().extension() == ".wav") docs_.writeFile(file.path().filename().string(), readBytes(file.path()));
    docs_.writeFile("default.fxb", readBytes(built / "default.fxb"));
  }
  TempDocuments docs_;
};

// Program 0 without chaos: every voice as loud and as long as at 44.1 kHz.
TEST_F(DefaultKit, EveryVoiceKeepsItsLevelAndDecay) {
  const Settings calm = {{param::kMasterChaos, 0.0f}};
  for (const auto& [note, channel] : {std::pair{35, kBD}, {36, kBD}, {38, kSD}, {40, kSD}, {39, kCP}, {29, kCP}}) {
    SCOPED_TRACE("note " + std::to_string(note));
    const Hit reference = measure(hit(44100, calm, note, 2.5)[static_cast<std::size_t>(channel)], 44100);
    ASSERT_GT(reference.energyDb, -60.0);
    for (int rate : kRates) {
      const Hit h = measure(hit(rate, calm, note, 2.5)[static_cast<std::size_t>(channel)], rate);
      EXPECT_NEAR(h.energyDb, reference.energyDb, 1.0) << rate << " Hz";
      EXPECT_NEAR(h.decaySeconds, reference.decaySeconds, 0.02 * reference.decaySeconds + 0.001) << rate << " Hz";
    }
  }
}

// The open hi-hat's body at three cutoffs (its filters once gained +74 dB at
// 8 kHz): as heard, at most 1 dB louder than at 44.1 kHz; 5 dB at its top
// pitch above 48 kHz, where one pole cannot match the response near 22 kHz.
TEST_F(DefaultKit, TheHiHatsFiltersNeverAmplify) {
  for (float pitch : {0.0f, 0.5f, 1.0f}) {
    const Settings settings = {{param::kHHMix, 0.0f}, {param::kHHPitch, pitch}, {param::kHHDecay, 0.6f}};
    const double reference = measure(hit(44100, settings, 46, 1.0)[kHH], 44100).energyDb;
    for (int rate : {8000, 11025, 16000, 22050, 32000, 48000, 88200, 96000, 192000}) {
      const double level = measure(hit(rate, settings, 46, 1.0)[kHH], rate).energyDb;
      EXPECT_LE(level - reference, pitch > 0.5f && rate > 48000 ? 5.0 : 1.0)
          << "HHPitch " << pitch << " at " << rate << " Hz";
    }
  }
}

// A rate no interface gives, told or answered, is not taken.
TEST(RatesTest, RatesThatCannotBePlayedLeaveTheRateAsItWas) {
  TempDocuments docs;
  const std::vector<VstMidiEvent> groove = {noteOn(0, 35), noteOn(3000, 38), noteOn(6000, 42), noteOn(9000, 39)};
  auto playAt48k = [&](float told, VstIntPtr answered) {
    auto zvx = startZvx({{param::kBDMix, 0.5f}, {param::kHHPitch, 1.0f}}, at(48000));
    zvx->dispatch(effSetSampleRate, 0, 0, nullptr, told);
    zvx->config().sampleRate = answered;
    return zvx->render(24000, 512, groove);
  };
  const auto reference = playAt48k(48000.0f, 48000);
  ASSERT_GT(peak(reference[0]), 0.01f);
  const float nan = std::numeric_limits<float>::quiet_NaN(), inf = std::numeric_limits<float>::infinity();
  for (float told : {0.0f, -44100.0f, nan, inf, -inf, 1.0e6f, 768001.0f})
    EXPECT_TRUE(sameBits(playAt48k(told, 48000), reference)) << "told " << told;
  for (VstIntPtr answered : {VstIntPtr{-44100}, VstIntPtr{1000000}})
    EXPECT_TRUE(sameBits(playAt48k(48000.0f, answered), reference)) << "answered " << answered;
  // The highest rate an interface gives is played.
  EXPECT_FALSE(sameBits(playAt48k(768000.0f, 768000), reference));
}

}  // namespace
}  // namespace zvx::test
