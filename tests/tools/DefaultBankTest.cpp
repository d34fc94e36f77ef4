// The default bank: its source, then every program played with the real
// default samples: the demo, the loudest layering, every note alone, a velocity ramp.

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <complex>
#include <regex>

#include "engine/Parameters.h"
#include "instrument/ParameterTable.h"
#include "tests/support/TestSupport.h"
#include "tools/zvx-data/BankSource.h"
#include "tools/zvx-data/SampleSet.h"
#include "tools/zvx-render/DemoPattern.h"
#include "tools/zvx-render/MidiFile.h"

namespace zvx::test {
namespace {

const fs::path kBuiltBank = ZVX_BUILT_BANK;

constexpr int kPrograms = 128;
constexpr double kRate = 44100.0;
constexpr std::size_t kVoices = 4;

std::string lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

// Key tracking retunes the kit on every General MIDI crash or ride: only
// programs named melodic have it.
TEST(DefaultBank, HasOneHundredAndTwentyEightDistinctlyNamedProgramsInRange) {
  const data::BankSource bank = data::BankSource::load(ZVX_BANK_SOURCE);
  EXPECT_TRUE(readBytes(kBuiltBank) == bank.fxb());
  ASSERT_EQ(bank.programs().size(), static_cast<std::size_t>(kPrograms));
  const std::regex placeholder(R"(kit\s*\d+|program\s*\d+|untitled.*|init.*)");
  std::set<std::string> names;
  for (const auto& program : bank.programs()) {
    SCOPED_TRACE(program.name);
    EXPECT_TRUE(!program.name.empty() && program.name.size() <= 23u);
    EXPECT_TRUE(names.insert(lower(program.name)).second) << "named twice, ignoring case";
    EXPECT_FALSE(std::regex_match(lower(program.name), placeholder)) << "a placeholder name";
    for (const auto& [parameter, value] : program.settings)
      EXPECT_TRUE(value >= 0.0f && value <= 1.0f) << "parameter " << parameter << " = " << value;
    const bool melodic = lower(program.name).find("melodic") != std::string::npos;
    for (int p = 0; p < kNumParameters; ++p) {
      const ParameterInfo& info = kParameterTable[static_cast<std::size_t>(p)];
      if (info.role != ParamRole::KeyTrack) continue;
      float value = info.defaultValue;
      for (const auto& [parameter, set] : program.settings)
        if (parameter == p) value = set;
      EXPECT_EQ(value >= 0.5f, melodic) << info.name;
    }
  }
}

double toDb(double amplitude) { return amplitude > 0.0 ? 20.0 * std::log10(amplitude) : -200.0; }

struct Groove {
  std::vector<VstMidiEvent> events;  // note-ons, and note-offs half a step later
  int lastNoteOn = 0;                // its frame
  void hit(int at, int note, int velocity, double stepFrames) {
    events.push_back(noteOn(at, note, velocity, 9));
    events.push_back(noteOff(at + static_cast<int>(stepFrames / 2), note, 0, 9));
    lastNoteOn = std::max(lastNoteOn, at);
  }
  Groove& sorted() {
    std::stable_sort(events.begin(), events.end(),
                     [](const VstMidiEvent& a, const VstMidiEvent& b) { return a.deltaFrames < b.deltaFrames; });
    return *this;
  }
};

// A note's steps, one character a sixteenth ('|' between bars ignored):
// '.' rest, 'g' velocity 40, 'x' 84, 'X' 110; `velocity` overrides them all.
Groove grooveOf(const std::vector<std::pair<int, std::string>>& lanes, double beatsPerMinute, int velocity = 0) {
  const double stepFrames = kRate * 60.0 / beatsPerMinute / 4.0;
  Groove groove;
  for (const auto& [note, steps] : lanes) {
    int step = 0;
    for (char c : steps) {
      const std::size_t mark = std::string_view(".gxX").find(c);
      if (mark == std::string_view::npos) continue;
      if (mark > 0)
        groove.hit(static_cast<int>(step * stepFrames), note, velocity ? velocity : std::array{0, 40, 84, 110}[mark], stepFrames);
      ++step;
    }
  }
  return groove.sorted();
}

// The loudest a drummer plays: kick, snare, hat and clap together on every
// sixteenth at 174 BPM, velocity 127, through every pairing of their notes
// (sixty steps), twice; the free-running kick meets the others at a new phase each step.
Groove layeringGroove() {
  constexpr std::array<int, 2> kKicks = {36, 35};
  constexpr std::array<int, 2> kSnares = {38, 40};
  constexpr std::array<int, 3> kHats = {42, 46, 44};
  constexpr std::array<int, 5> kClaps = {39, 37, 29, 31, 33};
  const double stepFrames = kRate * 60.0 / 174.0 / 4.0;
  Groove groove;
  for (std::size_t step = 0; step < 120; ++step)
    for (int note : {kKicks[step % 2], kSnares[step / 2 % 2], kHats[step % 3], kClaps[step % 5]})
      groove.hit(static_cast<int>(static_cast<double>(step) * stepFrames), note, 127, stepFrames);
  return groove.sorted();
}

// A General MIDI drum part at 100 BPM: kick, snare, side stick, hats and
// claps; with `unplayed`, also the crashes, rides, bell and toms ZVX does not play.
Groove generalMidiGroove(bool unplayed) {
  std::vector<std::pair<int, std::string>> lanes = {
      {36, "X.......X.x.....|X.......X.......|X.......X.x.....|X.....X.X......."},
      {38, "....X.......X...|....X.......X..g|....X.......X...|....X...X.X.XXXX"},
      {42, "x.x.x.x.x.x.x.x.|x.x.x.x.x.x.x.x.|................|................"},
      {46, "..............x.|..............x.|................|................"},
      {44, "................|................|x...x...x...x...|x...x..........."},
      {37, "................|..x.....x.....x.|................|................"},
      {39, "................|....x.......x...|................|................"},
  };
  if (!unplayed) return grooveOf(lanes, 100.0);
  lanes.insert(lanes.end(), {{49, "X...............|................|X...............|................"},
                             {57, "................|X...............|................|..............X."},
                             {51, "................|................|X.x.X.x.X.x.X.x.|X.x.X.x.........."},
                             {53, "................|................|..x.......x.....|................"},
                             {55, "................|................|................|.............X.."}});
  // A fill down the toms in the last bar.
  std::size_t step = 56;
  for (int tom : {50, 48, 47, 45, 43, 41}) lanes.push_back({tom, std::string(step++, '.') + "X"});
  return grooveOf(lanes, 100.0);
}

// The notes the kits answer, and how loud a tail may still be when it has ended.
constexpr std::array<int, 12> kKitNotes = {29, 31, 33, 35, 36, 37, 38, 39, 40, 42, 44, 46};
constexpr float kTailLevel = 0.0316f;  // -30 dBFS
constexpr float kSilence = 3.16e-5f;   // -90 dBFS

double tailLimit(const std::string& name) { return name.find("Long") != std::string::npos ? 8.0 : 4.0; }

// A fresh instance on `program`, with the kit's randomisation held off when
// `calm` (a remapped or disturbed hit would measure the dice, not the response).
std::unique_ptr<vsthost::Plugin> startOn(int program, bool calm = false) {
  auto zvx = startZvx();
  zvx->dispatch(effSetProgram, 0, program);
  if (calm) zvx->setParameter(param::kMasterChaos, 0.0f);
  return zvx;
}

// Seconds from a lone hit of `note` at velocity 127, released after 20 ms as
// pads release it (the longest case), until every output stays below -30 dBFS;
// rendered until all stay below -90 dBFS for 100 ms, or `longest` seconds.
// A fresh instance's first hit is never remapped, so where Master_Chaos
// remaps notes each is measured at 0.5 (the most that remaps nothing), the
// mix scaled by the most the remap's ring modulation adds: 2 - Master_Chaos.
double loneNoteTail(int program, int note, double longest) {
  auto zvx = startOn(program);
  const float chaos = zvx->getParameter(param::kMasterChaos);
  float mixGain = 1.0f;
  if (chaos > 0.5f) {
    zvx->setParameter(param::kMasterChaos, 0.5f);
    mixGain = 2.0f - chaos;
  }
  const std::vector<vsthost::TimedMidiEvent> hit = {{0, noteOn(0, note, 127, 9)},
                                                     {static_cast<int>(0.02 * kRate), noteOff(0, note, 0, 9)}};
  std::int64_t lastLoud = 0, lastHeard = 0;
  zvx->play(static_cast<std::int64_t>(longest * kRate), 512, hit,
            [&](const std::vector<float*>& outputs, std::int64_t start, int length) {
              for (std::size_t o = 0; o < outputs.size(); ++o)
                for (int i = 0; i < length; ++i) {
                  const float level = std::fabs(outputs[o][i]) * (o < 2 ? mixGain : 1.0f);
                  if (level >= kTailLevel) lastLoud = start + i + 1;
                  if (level >= kSilence) lastHeard = start + i + 1;
                }
              return start + length - lastHeard < static_cast<std::int64_t>(0.1 * kRate);
            });
  return static_cast<double>(lastLoud) / kRate;
}

// std::complex's product checks for infinities in a library call: too slow here.
std::complex<double> times(std::complex<double> a, std::complex<double> b) {
  return {a.real() * b.real() - a.imag() * b.imag(), a.real() * b.imag() + a.imag() * b.real()};
}

// In-place radix-2 transform; the size is a power of two.
void transform(std::vector<std::complex<double>>& x) {
  const std::size_t n = x.size();
  for (std::size_t i = 1, j = 0; i < n; ++i) {
    std::size_t bit = n >> 1;
    for (; j & bit; bit >>= 1) j ^= bit;
    j ^= bit;
    if (i < j) std::swap(x[i], x[j]);
  }
  for (std::size_t length = 2; length <= n; length <<= 1) {
    const std::complex<double> step = std::polar(1.0, -2.0 * M_PI / static_cast<double>(length));
    for (std::size_t start = 0; start < n; start += length) {
      std::complex<double> w(1.0, 0.0);
      for (std::size_t k = 0; k < length / 2; ++k, w = times(w, step)) {
        const std::complex<double> even = x[start + k], odd = times(x[start + k + length / 2], w);
        x[start + k] = even + odd;
        x[start + k + length / 2] = even - odd;
      }
    }
  }
}

// Third-octave band levels (50 Hz to 16 kHz) in dB over 2048-sample Hann
// frames, a full-scale sine reading 0 dB.
using Spectrogram = std::vector<std::vector<float>>;
constexpr float kAudibleDb = -60.0f;

Spectrogram spectrogramOf(const Channel& channel) {
  constexpr std::size_t kFrame = 2048;
  constexpr int kBands = 26;
  std::vector<double> window(kFrame);
  double windowPower = 0.0;
  for (std::size_t i = 0; i < kFrame; ++i) {
    window[i] = 0.5 - 0.5 * std::cos(2.0 * M_PI * static_cast<double>(i) / kFrame);
    windowPower += window[i] * window[i];
  }
  std::array<std::size_t, kBands + 1> edges{};
  for (std::size_t b = 0; b < edges.size(); ++b)
    edges[b] = std::min(kFrame / 2, static_cast<std::size_t>(50.0 * std::pow(2.0, (b - 0.5) / 3.0) * kFrame / kRate + 0.5));
  Spectrogram frames;
  std::vector<std::complex<double>> x(kFrame);
  for (std::size_t start = 0; start + kFrame <= channel.size(); start += kFrame / 2) {
    for (std::size_t i = 0; i < kFrame; ++i) x[i] = channel[start + i] * window[i];
    transform(x);
    std::vector<float> bands(kBands);
    for (std::size_t b = 0; b < bands.size(); ++b) {
      double energy = 0.0;
      for (std::size_t k = edges[b]; k < std::max(edges[b + 1], edges[b] + 1); ++k) energy += std::norm(x[k]);
      bands[b] = static_cast<float>(std::max(10.0 * std::log10(4.0 * energy / (kFrame * windowPower) + 1e-30), -90.0));
    }
    frames.push_back(std::move(bands));
  }
  return frames;
}

// The RMS band-level difference in dB over cells where either side is audible.
double logSpectralDistance(const Spectrogram& a, const Spectrogram& b) {
  double sum = 0.0;
  std::size_t cells = 0;
  for (std::size_t f = 0; f < std::min(a.size(), b.size()); ++f)
    for (std::size_t k = 0; k < a[f].size(); ++k) {
      if (std::max(a[f][k], b[f][k]) < kAudibleDb) continue;
      const double d = static_cast<double>(std::max(a[f][k], kAudibleDb)) - std::max(b[f][k], kAudibleDb);
      sum += d * d;
      ++cells;
    }
  return cells ? std::sqrt(sum / static_cast<double>(cells)) : 0.0;
}

// Each kick velocity twelve times, then each snare's, a quarter of a second and an
// irregular few milliseconds apart, so the free-running phase averages out.
constexpr std::array<int, 8> kVelocities = {20, 35, 50, 65, 80, 95, 110, 127};
constexpr std::size_t kHitsPerVelocity = 12;
constexpr int kHitFrames = static_cast<int>(0.25 * kRate);

std::vector<VstMidiEvent> velocityRamp() {
  std::vector<VstMidiEvent> events;
  std::uint32_t jitter = 12345;
  int at = 0;
  for (int note : {36, 38})
    for (int velocity : kVelocities)
      for (std::size_t hit = 0; hit < kHitsPerVelocity; ++hit) {
        events.push_back(noteOn(at, note, velocity, 9));
        events.push_back(noteOff(at + 2000, note, 0, 9));
        jitter = jitter * 1664525u + 1013904223u;
        at += kHitFrames + static_cast<int>(jitter >> 22);
      }
  return events;
}

std::vector<VstMidiEvent> demoEvents() {
  std::string error;
  auto song = render::MidiFile::parse(render::DemoPattern::midiFile(), error);
  EXPECT_TRUE(song) << error;
  std::vector<VstMidiEvent> events;
  if (!song) return events;
  for (const auto& message : song->messagesAt(kRate))
    events.push_back(vsthost::midiEvent(static_cast<int>(message.sample), message.data[0], message.data[1], message.data[2]));
  return events;
}

// Each block handed to `take` as it is rendered, nothing kept.
void playThrough(int program, int frames, const std::vector<VstMidiEvent>& events, bool calm,
                 const vsthost::BlockSink& take) {
  std::vector<vsthost::TimedMidiEvent> timed;
  for (const VstMidiEvent& event : events) timed.push_back({event.deltaFrames, event});
  startOn(program, calm)->play(frames, 512, std::move(timed), take);
}

struct Measured {
  // The demo: peaks of the mix and of each voice output, and each voice's spectrum.
  float mixPeak = 0.0f;
  std::array<float, kVoices> voicePeak{};
  std::array<Spectrogram, kVoices> spectrum;
  float layeringMixPeak = 0.0f;
  std::array<float, kVoices> layeringVoicePeak{};
  std::array<double, kKitNotes.size()> tailSeconds{};
  std::array<double, kVelocities.size()> kickDb{}, snareDb{};
};

// One line a program for ZVX_BANK_REPORT: peaks in dBFS, tails in s, velocity spans in dB.
void report(int program, const std::string& name, const Measured& m) {
  std::printf("%3d %-23s demo %5.1f  layering %5.1f (BD %5.1f SD %5.1f HH %5.1f CP %5.1f)  tails", program,
              name.c_str(), toDb(m.mixPeak), toDb(m.layeringMixPeak), toDb(m.layeringVoicePeak[0]),
              toDb(m.layeringVoicePeak[1]), toDb(m.layeringVoicePeak[2]), toDb(m.layeringVoicePeak[3]));
  for (std::size_t n = 0; n < kKitNotes.size(); ++n) std::printf(" %d:%.1f", kKitNotes[n], m.tailSeconds[n]);
  std::printf("  kick %.1f dB snare %.1f dB\n", m.kickDb.back() - m.kickDb.front(), m.snareDb.back() - m.snareDb.front());
}

// Every program rendered once for all the tests below, with the real samples
// and the built bank. ZVX_BANK_REPORT prints the figures, tails followed up to a minute.
class DefaultBankPlayback : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    documents_ = std::make_unique<TempDocuments>(false);
    const data::SampleSet samples = data::SampleSet::load(ZVX_SAMPLE_RECIPES);
    for (const auto& file : samples.files()) documents_->writeFile(file.name, file.bytes);
    documents_->writeFile("default.fxb", readBytes(kBuiltBank));

    const bool reporting = std::getenv("ZVX_BANK_REPORT") != nullptr;
    const std::vector<VstMidiEvent> demo = demoEvents(), ramp = velocityRamp();
    ASSERT_FALSE(demo.empty());
    const Groove layering = layeringGroove();
    const auto zvx = startZvx();
    for (int program = 0; program < kPrograms; ++program) {
      Measured m;
      const std::string name = zvx->programNameIndexed(program);
      // The part of the demo that holds hits; a longer tail adds only the last decay.
      const auto out = startOn(program)->render(demo.back().deltaFrames + static_cast<int>(0.5 * kRate), 512, demo);
      m.mixPeak = std::max(peak(out[0]), peak(out[1]));
      for (std::size_t v = 0; v < kVoices; ++v) {
        m.voicePeak[v] = peak(out[2 + v]);
        m.spectrum[v] = spectrogramOf(out[2 + v]);
      }
      // As the kit plays it, dice and all.
      std::array<float, 2 + kVoices> loud{};
      playThrough(program, layering.lastNoteOn + static_cast<int>(0.5 * kRate), layering.events, false,
                  [&](const std::vector<float*>& outputs, std::int64_t, int length) {
                    for (std::size_t o = 0; o < loud.size(); ++o)
                      for (int i = 0; i < length; ++i) loud[o] = std::max(loud[o], std::fabs(outputs[o][i]));
                    return true;
                  });
      m.layeringMixPeak = std::max(loud[0], loud[1]);
      for (std::size_t v = 0; v < kVoices; ++v) m.layeringVoicePeak[v] = loud[2 + v];
      // Past its limit a tail has failed: half a second more shows that.
      for (std::size_t n = 0; n < kKitNotes.size(); ++n)
        m.tailSeconds[n] = loneNoteTail(program, kKitNotes[n], reporting ? 60.0 : tailLimit(name) + 0.5);
      // The mean power of each hit's first 100 ms: kicks on BD, then snares on SD.
      std::array<double, 2 * kVelocities.size()> power{};
      const std::size_t hits = ramp.size() / 2;
      std::size_t hit = 0;
      playThrough(program, ramp.back().deltaFrames + kHitFrames, ramp, true,
                  [&](const std::vector<float*>& outputs, std::int64_t start, int length) {
                    for (; hit < hits; ++hit) {
                      const std::int64_t at = ramp[2 * hit].deltaFrames, end = at + 4410;
                      const float* voice = outputs[hit < hits / 2 ? 2 : 3];
                      for (std::int64_t i = std::max(at, start); i < std::min(end, start + length); ++i)
                        power[hit / kHitsPerVelocity] += static_cast<double>(voice[i - start]) * voice[i - start];
                      if (end > start + length) break;  // it goes on in the next block
                    }
                    return true;
                  });
      for (std::size_t step = 0; step < power.size(); ++step)
        (step < kVelocities.size() ? m.kickDb[step] : m.snareDb[step - kVelocities.size()]) =
            10.0 * std::log10(power[step] / (4410.0 * kHitsPerVelocity));
      if (reporting) report(program, name, m);
      names_.push_back(name);
      measured_[name] = std::move(m);
    }
  }
  static void TearDownTestSuite() { documents_.reset(); }

  static inline std::unique_ptr<TempDocuments> documents_;
  static inline std::map<std::string, Measured> measured_;
  static inline std::vector<std::string> names_;  // in program order
};

// No limiter: the loudest layering leaves the mix and every voice at -1 dBFS
// or below, however the hits fall; yet no kit peaks far lower.
TEST_F(DefaultBankPlayback, TheLoudestLayeringLeavesHeadroomAndNoMore) {
  // By the names the module gives: all distinct, so the bank's were loaded.
  ASSERT_EQ(measured_.size(), static_cast<std::size_t>(kPrograms));
  for (const auto& [name, m] : measured_) {
    SCOPED_TRACE(name);
    EXPECT_LE(toDb(m.layeringMixPeak), -1.0);
    EXPECT_GE(toDb(m.layeringMixPeak), -6.0);
    for (std::size_t v = 0; v < kVoices; ++v) EXPECT_LE(toDb(m.layeringVoicePeak[v]), -1.0) << "voice " << v;
  }
}

// A kit whose character is a longer tail says Long in its name.
TEST_F(DefaultBankPlayback, EveryNoteAloneEndsWithinFourSecondsOrEightWhenNamedLong) {
  for (const auto& [name, m] : measured_)
    for (std::size_t n = 0; n < kKitNotes.size(); ++n)
      EXPECT_LE(m.tailSeconds[n], tailLimit(name)) << name << ", note " << kKitNotes[n];
}

// The demo peaks below the layering's ceiling, lowest where Master_Chaos swells
// the mix now and then; every voice sounds. Program 0, the first impression, near -4 dBFS.
TEST_F(DefaultBankPlayback, TheDemoPlaysEveryVoiceNearTheKitsLevel) {
  for (const auto& [name, m] : measured_) {
    SCOPED_TRACE(name);
    EXPECT_LE(toDb(m.mixPeak), -1.0);
    EXPECT_GE(toDb(m.mixPeak), -13.0);
    for (std::size_t v = 0; v < kVoices; ++v) EXPECT_GT(m.voicePeak[v], 0.03f) << "voice " << v << " nearly silent";
  }
  EXPECT_NEAR(toDb(measured_.at(names_.front()).mixPeak), -4.2, 0.3);
}

// A step may come out quieter than the one below by less than the 1 dB a listener hears.
TEST_F(DefaultBankPlayback, VelocityShapesKickAndSnareWithinTwelveToFortyDecibels) {
  for (const auto& [name, m] : measured_) {
    SCOPED_TRACE(name);
    for (const auto* levels : {&m.kickDb, &m.snareDb}) {
      for (std::size_t i = 1; i < levels->size(); ++i)
        EXPECT_GT((*levels)[i], (*levels)[i - 1] - 1.0) << "velocity " << kVelocities[i];
      const double span = levels->back() - levels->front();
      EXPECT_TRUE(span >= 12.0 && span <= 40.0) << span;
    }
  }
}

// Two programs differ by the largest of their voices' log-spectral distances;
// 3 dB over the whole spectrum is plainly audible.
TEST_F(DefaultBankPlayback, EveryTwoProgramsCanBeToldApart) {
  for (std::size_t a = 0; a < names_.size(); ++a)
    for (std::size_t b = a + 1; b < names_.size(); ++b) {
      const Measured &ma = measured_.at(names_[a]), &mb = measured_.at(names_[b]);
      double d = 0.0;
      for (std::size_t v = 0; v < kVoices; ++v) d = std::max(d, logSpectralDistance(ma.spectrum[v], mb.spectrum[v]));
      EXPECT_GE(d, 3.0) << names_[a] << " and " << names_[b];
    }
}

// A General MIDI part on program 0: its crashes, rides and toms start no voice
// and change the kit's sound by less than -30 dB.
TEST_F(DefaultBankPlayback, GeneralMidiCymbalsAndTomsLeaveTheKitInTune) {
  const Groove full = generalMidiGroove(true), played = generalMidiGroove(false);
  const int frames = full.lastNoteOn + static_cast<int>(2 * kRate);
  const auto withCymbals = startOn(0)->render(frames, 512, full.events), without = startOn(0)->render(frames, 512, played.events);
  for (std::size_t o = 0; o < withCymbals.size(); ++o) {
    double signal = 0.0, difference = 0.0;
    for (std::size_t i = 0; i < without[o].size(); ++i) {
      signal += static_cast<double>(without[o][i]) * without[o][i];
      const double d = static_cast<double>(withCymbals[o][i]) - without[o][i];
      difference += d * d;
    }
    ASSERT_GT(signal, 0.0) << "output " << o;
    // Only the snare's snap noise, following the latest note-on's velocity, may move.
    EXPECT_LT(10.0 * std::log10(difference / signal + 1e-30), -30.0) << "output " << o;
  }
}

}  // namespace
}  // namespace zvx::test
