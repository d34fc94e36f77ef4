// The voices, heard on the outputs of the instrument core in this process.

#include "engine/Parameters.h"
#include "tests/support/InProcessInstrument.h"

namespace zvx::test {
namespace {

constexpr int kLeft = 0, kRight = 1, kBD = 2, kSD = 3, kHH = 4, kCP = 5;
const Settings kSynthBD = {{param::kBDMix, 0.0f}};

Settings with(Settings base, const Settings& more) {
  base.insert(base.end(), more.begin(), more.end());
  return base;
}

double semitones(double from, double to) { return 12.0 * std::log2(to / from); }

TEST(DrumVoicesTest, MuteBelowHalfSilencesTheVoiceAndNote36IsTheShortBassDrum) {
  auto bassDrum = [](float mute, int note) {
    return renderInstrument(with(kSynthBD, {{param::kBDMute, mute}}), {noteOn(0, note)}, 30000)[kBD];
  };
  EXPECT_EQ(peak(bassDrum(0.4999f, 35)), 0.0f);
  EXPECT_GT(peak(bassDrum(0.5f, 35), 20000, 25000), 0.05f);
  const Channel short36 = bassDrum(0.5f, 36);
  EXPECT_LT(peak(short36, 20000, 25000), 0.001f);
  EXPECT_GT(peak(short36, 0, 2000), 0.05f);
}

TEST(DrumVoicesTest, KeyTrackingTransposesARingingBassDrumUntilTheNextDrumNote) {
  // A plain, long sine: no pitch sweep, decay 4 x 1.0.
  const Settings ringing = {
      {param::kBDMix, 0.0f}, {param::kBDTone, 0.0f}, {param::kBDDecay, 1.0f}, {param::kDecayFactor, 1.0f}};
  const int second = 44100;
  auto out = renderInstrument(ringing, {noteOn(0, 35), noteOn(second, 60), noteOn(2 * second, 35)}, 3 * second);
  const double base = frequencyOf(out[kBD], 2000, second);
  EXPECT_NEAR(base, 65.41, 0.2);  // note 36's frequency with BDPitch 0.5
  EXPECT_NEAR(semitones(base, frequencyOf(out[kBD], second + 2000, 2 * second)), 15.0, 0.05);
  EXPECT_NEAR(semitones(base, frequencyOf(out[kBD], 2 * second + 2000, 3 * second)), 0.0, 0.05);
  auto fixed = renderInstrument(with(ringing, {{param::kBDKeyTrack, 0.0f}}), {noteOn(0, 35), noteOn(second, 60)}, 2 * second);
  EXPECT_NEAR(semitones(base, frequencyOf(fixed[kBD], second + 2000, 2 * second)), 0.0, 0.05);
}

TEST(DrumVoicesTest, SyncRestartsTheToneSoEveryHitStartsAlike) {
  // Short plain sines ended long after their decay: only the tone's phase carries over.
  const int later = 60000, length = 2000;
  auto hits = [&](float sync, int note) {
    const Settings plain = {
        {param::kBDMix, 0.0f}, {param::kBDTone, 0.0f}, {param::kBDDecay, 0.0f}, {param::kBDSync, sync}};
    // Frames count from 1: a note at frame f sounds from sample f - 1.
    auto out =
        renderInstrument(plain, {noteOn(1, note), noteOff(later - 5000, note), noteOn(later + 1, note)}, later + length);
    const auto from = [&](int at) { return Channel(out[kBD].begin() + at, out[kBD].begin() + at + length); };
    return std::pair{from(0), from(later)};
  };
  const auto [first, second] = hits(1.0f, 35);
  EXPECT_GT(peak(first), 0.05f);
  EXPECT_EQ(second, first);
  // Without Sync, or on note 36 (never synced), the phase carries over.
  for (const auto& [sync, note] : {std::pair{0.0f, 35}, {1.0f, 36}}) {
    const auto [one, two] = hits(sync, note);
    float largest = 0.0f;
    for (int i = 0; i < length; ++i) largest = std::max(largest, std::fabs(one[i] - two[i]));
    EXPECT_GT(largest, 0.2f * peak(one)) << "Sync " << sync << ", note " << note;
  }
}

TEST(DrumVoicesTest, ClapNotesTransposeAndNote29KeepsTheLastTransposition) {
  // A plain clap sine: no modulation, no cricket, long decay.
  const Settings plain = {
      {param::kCPTone, 0.0f}, {param::kCPCricket, 0.0f}, {param::kCPDecay, 1.0f}, {param::kDecayFactor, 1.0f}};
  auto pitchOf = [&](std::vector<VstMidiEvent> events, int from) {
    return frequencyOf(renderInstrument(plain, events, from + 8000)[kCP], from + 500, from + 8000);
  };
  const double unchanged = pitchOf({noteOn(0, 29)}, 0);
  EXPECT_NEAR(unchanged, 0.625 * 1046.5, 1.0);  // 0.625 x f[84]
  for (const auto& [note, shift] : {std::pair{31, 12.0}, {33, 24.0}, {37, -12.0}, {39, -24.0}})
    EXPECT_NEAR(semitones(unchanged, pitchOf({noteOn(0, note)}, 0)), shift, 0.05) << note;
  EXPECT_NEAR(semitones(unchanged, pitchOf({noteOn(0, 39), noteOn(9000, 29)}, 9000)), -24.0, 0.05);
}

TEST(DrumVoicesTest, PanPowerAndVolumeShapeOnlyTheMix) {
  auto hardLeft = renderInstrument(with(kSynthBD, {{param::kBDPan, 0.0f}}), {noteOn(0, 35)}, 4000);
  EXPECT_GT(peak(hardLeft[kLeft]), 0.05f);
  EXPECT_EQ(peak(hardLeft[kRight]), 0.0f);
  auto centre = renderInstrument(kSynthBD, {noteOn(0, 35)}, 4000);
  // Volume 0.5 gives a master gain of 1.25; pan 0.5 puts half on each side.
  for (int i = 0; i < 4000; ++i) ASSERT_FLOAT_EQ(centre[kRight][i], 0.5f * centre[kBD][i] * 1.25f);
  EXPECT_EQ(centre[kLeft], centre[kRight]);
  auto unpowered = renderInstrument(with(kSynthBD, {{param::kPower, 0.0f}}), {noteOn(0, 35)}, 4000);
  EXPECT_EQ(peak(unpowered[kLeft]) + peak(unpowered[kRight]), 0.0f);
  EXPECT_EQ(unpowered[kBD], centre[kBD]);
}

TEST(DrumVoicesTest, FullMasterChaosRingModulatesTheMixAndChanceArmsChaosOnlyWhenMasterChaosAllows) {
  // Note 46 lies above the remapped range, so the open hi-hat plays as asked.
  auto plain = renderInstrument({}, {noteOn(0, 46)}, 20000);
  auto ringed = renderInstrument({{param::kMasterChaos, 1.0f}}, {noteOn(0, 46)}, 20000);
  EXPECT_EQ(plain[kHH], ringed[kHH]);
  std::set<float> ratios;  // ring x chaos
  for (int i = 0; i < 20000; ++i) {
    const float dry = 0.5f * ringed[kHH][i] * 1.25f;
    if (std::fabs(dry) >= 1e-3f) ratios.insert(std::round(1000.0f * ringed[kLeft][i] / dry));
  }
  EXPECT_LE(std::max(-*ratios.begin(), *ratios.rbegin()), 850.0f);
  EXPECT_GT(ratios.size(), 2u);

  // Chance arms a voice's chaos only when Master_Chaos allows it; chaos
  // scales the loud samples of an armed voice and leaves the oscillator alone.
  auto bassDrum = [](float chance, float masterChaos) {
    return renderInstrument({{param::kBDMix, 0.0f}, {param::kBDChaos, 0.5f}, {param::kBDChance, chance},
                      {param::kMasterChaos, masterChaos}},
                     {noteOn(0, 35), noteOn(3000, 35)}, 6000)[kBD];
  };
  const Channel reference = bassDrum(0.0f, 0.0f);
  EXPECT_EQ(bassDrum(1.0f, 0.0f), reference);
  // Armed at every hit, chaos is 0 until its LFO's first step (sample 736): a much quieter start.
  const Channel armed = bassDrum(1.0f, 0.5f);
  auto energy = [](const Channel& c) {
    double sum = 0;
    for (int i = 0; i < 700; ++i) sum += c[i] * c[i];
    return sum;
  };
  EXPECT_LT(energy(armed), 0.5 * energy(reference));
}

// Hits of about 1300 samples, so each hit's voice is the loudest after it.
const Settings kShortHits = {{param::kBDDecay, 0.0f}, {param::kSDDecay, 0.0f}, {param::kHHDecay, 0.0f},
                             {param::kCPDecay, 0.0f}, {param::kDecayFactor, 0.0f}};
constexpr int kGap = 3000;

// The voice output (2 to 5) heard most in the kGap samples of `out`.
int loudestVoice(const std::vector<Channel>& out) {
  int loudest = -1;
  float best = 0.001f;
  for (int c = kBD; c <= kCP; ++c)
    if (peak(out[c], 0, kGap) > best) best = peak(out[c], 0, kGap), loudest = c;
  return loudest;
}

TEST(DrumVoicesTest, FullMasterChaosRemapsEveryHitOfAHeldNoteAndEveryNoteEndsSoTheEngineSleeps) {
  // Note-ons only, as many pads send: remapped at each hit under full
  // Master_Chaos, the bass drum again at 0.5 or below.
  InProcessInstrument zvx(kShortHits);
  auto hit = [&] { return loudestVoice(zvx.render(kGap, 512, {noteOn(0, 36)})); };
  EXPECT_EQ(hit(), kBD);
  zvx.instrument().setParameter(param::kMasterChaos, 1.0f);
  std::set<int> remapped;
  for (int i = 0; i < 12; ++i) remapped.insert(hit());
  EXPECT_GE(remapped.size(), 3u);
  for (float lower : {0.5f, 0.0f}) {
    zvx.instrument().setParameter(param::kMasterChaos, lower);
    EXPECT_EQ(hit(), kBD) << lower;
  }

  // Overlapping notes, then repeated hits with one note-off each, most
  // remapped: every voice ends, so the engine sleeps and both probes sound alike.
  const int second = 44100;
  const int notes[] = {38, 35, 42, 39, 36, 40, 44, 31, 29, 46, 33, 37};
  for (float masterChaos : {0.0f, 1.0f}) {
    auto probe = [&](int at) {
      std::vector<VstMidiEvent> events;
      for (int i = 0; i < 12; ++i) {
        events.push_back(noteOn(i * 1000, notes[i], 100));
        events.push_back(noteOff(i * 1000 + 4500, notes[i]));
      }
      const int from = 20000;
      for (int i = 0; i < 10; ++i) events.push_back(noteOn(from + i * kGap, i % 2 ? 38 : 36));
      events.push_back(noteOff(from + 10 * kGap, 36));
      events.push_back(noteOff(from + 10 * kGap, 38));
      events.push_back(noteOn(at, 46));
      auto out = renderInstrument(with(kShortHits, {{param::kMasterChaos, masterChaos}}), events, at + kGap);
      for (Channel& channel : out) channel.erase(channel.begin(), channel.begin() + at);
      return out;
    };
    EXPECT_EQ(probe(6 * second), probe(7 * second)) << "Master_Chaos " << masterChaos;
  }
}

TEST(DrumVoicesTest, SecondNoteOnOfAHeldNoteRetriggersWithTheFirstVelocity) {
  const Settings velocitySensitive = {{param::kBDMix, 0.0f}, {param::kBDTone, 0.0f}, {param::kVelocityAmp, 1.0f}};
  auto held = renderInstrument(velocitySensitive, {noteOn(0, 35, 127), noteOn(40000, 35, 10)}, 44000);
  auto released = renderInstrument(velocitySensitive, {noteOn(0, 35, 127), noteOff(1000, 35), noteOn(40000, 35, 10)}, 44000);
  const float first = peak(held[kBD], 0, 4000);
  EXPECT_NEAR(peak(held[kBD], 40000, 44000), first, first * 0.05f);
  EXPECT_LT(peak(released[kBD], 40000, 44000), first * 0.05f);
}

// A rate told after construction plays as one known at construction. (Block
// sizes are SideBySideVoices'.)
TEST(DrumVoicesTest, WhenTheRateIsToldDoesNotMatter) {
  auto built = [](int hostAnswers) {  // 0: the host answers nothing to the rate query
    vsthost::HostConfig config;
    config.sampleRate = hostAnswers;
    auto zvx = createZvx(config);
    zvx->start(48000.0f, 512);
    zvx->setParameter(param::kBDPcmTuning, 0.7f);
    return zvx->render(20000, 512, {noteOn(0, 35), noteOn(5000, 38), noteOn(9000, 42), noteOn(12000, 39)});
  };
  EXPECT_EQ(built(0), built(48000));
}

}  // namespace
}  // namespace zvx::test
