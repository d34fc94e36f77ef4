// The default bank: its source as the build reads it, then every program
// played through the module with the real default samples, on the demo
// groove, a dense groove and a ramp of velocities.

#include <cctype>
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

// The build makes the bank from this source: 128 distinctly named programs
// whose settings are all in range. Key tracking transposes the ringing voices
// by every note above 45 (a General MIDI crash or ride retunes the kit): only
// programs meant to be played melodically, which say so in their name, have it.
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
    // A Menu value above 1 would name a file past the last one.
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
      if (mark > 0) {
        const int at = static_cast<int>(step * stepFrames);
        groove.events.push_back(noteOn(at, note, velocity ? velocity : std::array{0, 40, 84, 110}[mark], 9));
        groove.events.push_back(noteOff(at + static_cast<int>(stepFrames / 2), note, 0, 9));
        groove.lastNoteOn = std::max(groove.lastNoteOn, at);
      }
      ++step;
    }
  }
  std::stable_sort(groove.events.begin(), groove.events.end(),
                   [](const VstMidiEvent& a, const VstMidiEvent& b) { return a.deltaFrames < b.deltaFrames; });
  return groove;
}

// Drum and bass at 174 BPM, the hardest a drummer plays: kick, snare and ghost
// snares, sixteenth hats, pedal and open hats, every hit at velocity 127.
Groove denseGroove() {
  return grooveOf({{36, "X.........X.....|X.........X...X.|X.........X.....|X.........X....."},
                   {35, "................|................|................|X..............."},
                   {38, "....X.......X...|....X.......X..X|....X.......X...|....X.......X.XX"},
                   {40, "..X.....X.....X.|.......X......X.|..X.....X.....X.|.......X......X."},
                   {42, "XXXXXXXXXXXXXXXX|XXXXXXXXXXXXXXXX|XXXXXXXXXXXXXXXX|XXXXXXXXXXXXXXXX"},
                   {44, "...X.......X....|...X.......X....|...X.......X....|...X.......X...."},
                   {46, "......X.......X.|......X.......X.|......X.......X.|......X.......X."}},
                  174.0, 127);
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

// Seconds after `from` until every channel stays below `threshold`.
double secondsToFallBelow(const std::vector<Channel>& channels, std::size_t from, float threshold) {
  std::size_t last = from;
  for (const Channel& channel : channels)
    for (std::size_t i = channel.size(); i > from; --i)
      if (std::fabs(channel[i - 1]) >= threshold) {
        last = std::max(last, i);
        break;
      }
  return static_cast<double>(last - from) / kRate;
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
      for (std::size_t k = 0; k < length / 2; ++k, w *= step) {
        const std::complex<double> even = x[start + k], odd = x[start + k + length / 2] * w;
        x[start + k] = even + odd;
        x[start + k + length / 2] = even - odd;
      }
    }
  }
}

// Third-octave band levels (50 Hz to about 16 kHz) in dB over 2048-sample
// Hann frames, a full-scale sine in a band reading 0 dB.
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

// Each kick velocity twelve times, then each snare velocity, a quarter of a second
// and an irregular few milliseconds apart, so the free-running phase averages out.
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

// A fresh instance on `program`, with the kit's randomisation held off when
// `calm` (a remapped or disturbed hit would measure the dice, not the response).
std::vector<Channel> play(int program, int frames, const std::vector<VstMidiEvent>& events, bool calm = false) {
  auto zvx = startZvx();
  zvx->dispatch(effSetProgram, 0, program);
  if (calm) zvx->setParameter(param::kMasterChaos, 0.0f);
  return zvx->render(frames, 512, events);
}

float mixPeak(const std::vector<Channel>& out) { return std::max(peak(out[0]), peak(out[1])); }

struct Measured {
  // The demo groove: peaks of the mix and of the BD, SD, HH and CP outputs, and the spectrum of each voice.
  float mixPeak = 0.0f;
  std::array<float, kVoices> voicePeak{};
  std::array<Spectrogram, kVoices> spectrum;
  // The dense groove: peaks, and seconds from its last note until all stay below -30 dBFS.
  float denseMixPeak = 0.0f;
  std::array<float, kVoices> denseVoicePeak{};
  double tailSeconds = 0.0;
  // The level of the kick and of the snare at each of kVelocities.
  std::array<double, kVelocities.size()> kickDb{}, snareDb{};
};

// The data folder holds the real default samples and the built bank; every
// program is rendered once for all the tests below.
class DefaultBankPlayback : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    documents_ = std::make_unique<TempDocuments>(false);
    const data::SampleSet samples = data::SampleSet::load(ZVX_SAMPLE_RECIPES);
    for (const auto& file : samples.files()) documents_->writeFile(file.name, file.bytes);
    documents_->writeFile("default.fxb", readBytes(kBuiltBank));

    const std::vector<VstMidiEvent> demo = demoEvents(), ramp = velocityRamp();
    ASSERT_FALSE(demo.empty());
    const Groove dense = denseGroove();
    const auto zvx = startZvx();
    for (int program = 0; program < kPrograms; ++program) {
      Measured m;
      // The part of the demo that holds hits; a longer tail adds only the last decay.
      const auto out = play(program, demo.back().deltaFrames + static_cast<int>(0.5 * kRate), demo);
      m.mixPeak = mixPeak(out);
      for (std::size_t v = 0; v < kVoices; ++v) {
        m.voicePeak[v] = peak(out[2 + v]);
        m.spectrum[v] = spectrogramOf(out[2 + v]);
      }
      // The dense groove and the 9 s after its last note.
      const auto loud = play(program, dense.lastNoteOn + static_cast<int>(9 * kRate), dense.events);
      m.denseMixPeak = mixPeak(loud);
      for (std::size_t v = 0; v < kVoices; ++v) m.denseVoicePeak[v] = peak(loud[2 + v]);
      m.tailSeconds = secondsToFallBelow(loud, static_cast<std::size_t>(dense.lastNoteOn), 0.0316f);
      // The mean power of the first 100 ms of each hit of the ramp.
      const auto ramped = play(program, ramp.back().deltaFrames + kHitFrames, ramp, true);
      for (std::size_t step = 0; step < 2 * kVelocities.size(); ++step) {
        const Channel& voice = ramped[step < kVelocities.size() ? 2 : 3];
        double power = 0.0;
        for (std::size_t hit = 0; hit < kHitsPerVelocity; ++hit) {
          const auto at = static_cast<std::size_t>(ramp[2 * (step * kHitsPerVelocity + hit)].deltaFrames);
          for (std::size_t i = at; i < at + 4410; ++i) power += static_cast<double>(voice[i]) * voice[i];
        }
        (step < kVelocities.size() ? m.kickDb[step] : m.snareDb[step - kVelocities.size()]) =
            10.0 * std::log10(power / (4410.0 * kHitsPerVelocity));
      }
      names_.push_back(zvx->programNameIndexed(program));
      measured_[names_.back()] = std::move(m);
    }
  }
  static void TearDownTestSuite() { documents_.reset(); }

  static inline std::unique_ptr<TempDocuments> documents_;
  static inline std::map<std::string, Measured> measured_;
  static inline std::vector<std::string> names_;  // in program order
};

// Headroom for the hardest a drummer plays: a dense groove at velocity 127
// leaves the mix and every voice output at -1 dBFS or below (there is no
// limiter). The demo groove peaks near -1.5 dBFS on program 0 and never far
// below on any program; every voice sounds. Every program falls below
// -30 dBFS within 4 s of its last note, 8 s for the programs named Long.
TEST_F(DefaultBankPlayback, DenseGroovesLeaveHeadroomEveryVoiceSoundsAndTailsEnd) {
  // By the names the module gives: all distinct, so the bank's were loaded.
  ASSERT_EQ(measured_.size(), static_cast<std::size_t>(kPrograms));
  for (const auto& [name, m] : measured_) {
    SCOPED_TRACE(name);
    EXPECT_LE(toDb(m.denseMixPeak), -1.0);
    for (std::size_t v = 0; v < kVoices; ++v) {
      EXPECT_LE(toDb(m.denseVoicePeak[v]), -1.0) << "voice " << v;
      EXPECT_GT(m.voicePeak[v], 0.03f) << "voice " << v << " nearly silent";
    }
    EXPECT_LE(toDb(m.mixPeak), -1.0);
    EXPECT_GE(toDb(m.mixPeak), -7.0);
    EXPECT_LE(m.tailSeconds, name.find("Long") != std::string::npos ? 8.0 : 4.0);
  }
  EXPECT_NEAR(toDb(measured_.at(names_.front()).mixPeak), -1.5, 1.0);
}

// Kick and snare get louder with every step of velocity, by 12 to 40 dB from
// velocity 20 to 127; a step may come out quieter than the one below by less
// than the 1 dB a listener hears, never by more.
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

// Two programs a listener cannot tell apart are one program too many: they
// differ by the largest of their four voices' log-spectral distances, and a
// 3 dB level change over the whole spectrum is plainly audible.
TEST_F(DefaultBankPlayback, EveryTwoProgramsCanBeToldApart) {
  for (std::size_t a = 0; a < names_.size(); ++a)
    for (std::size_t b = a + 1; b < names_.size(); ++b) {
      const Measured &ma = measured_.at(names_[a]), &mb = measured_.at(names_[b]);
      double d = 0.0;
      for (std::size_t v = 0; v < kVoices; ++v) d = std::max(d, logSpectralDistance(ma.spectrum[v], mb.spectrum[v]));
      EXPECT_GE(d, 3.0) << names_[a] << " and " << names_[b];
    }
}

// A General MIDI drum part on program 0: its crashes, rides and toms start no
// voice, and they change nothing audible in what the kit plays (the kit
// rendered with them differs from the kit without them by less than -30 dB).
TEST_F(DefaultBankPlayback, GeneralMidiCymbalsAndTomsLeaveTheKitInTune) {
  const Groove full = generalMidiGroove(true), played = generalMidiGroove(false);
  const int frames = full.lastNoteOn + static_cast<int>(2 * kRate);
  const auto withCymbals = play(0, frames, full.events), without = play(0, frames, played.events);
  for (std::size_t o = 0; o < withCymbals.size(); ++o) {
    double signal = 0.0, difference = 0.0;
    for (std::size_t i = 0; i < without[o].size(); ++i) {
      signal += static_cast<double>(without[o][i]) * without[o][i];
      const double d = static_cast<double>(withCymbals[o][i]) - without[o][i];
      difference += d * d;
    }
    ASSERT_GT(signal, 0.0) << "output " << o;
    // Only the snare's snap noise, which follows the velocity of every note in
    // its block, may move at all.
    EXPECT_LT(10.0 * std::log10(difference / signal + 1e-30), -30.0) << "output " << o;
  }
}

}  // namespace
}  // namespace zvx::test
