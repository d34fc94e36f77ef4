// The default bank: its source as the build reads it, then every program
// played through the module on the demo groove with the real default samples.

#include <cctype>
#include <regex>

#include "engine/Parameters.h"
#include "plugin/ParameterTable.h"
#include "tests/support/TestSupport.h"
#include "tests/tools/BankMeasures.h"
#include "tools/zvx-data/BankSource.h"
#include "tools/zvx-data/SampleSet.h"
#include "tools/zvx-render/DemoPattern.h"
#include "tools/zvx-render/MidiFile.h"

namespace zvx::test {
namespace {

namespace fs = std::filesystem;

const fs::path kBankSource = ZVX_BANK_SOURCE;
const fs::path kSampleRecipes = ZVX_SAMPLE_RECIPES;
const fs::path kBuiltBank = ZVX_BUILT_BANK;

constexpr int kPrograms = 128;
constexpr double kRate = 44100.0;
constexpr std::size_t kVoices = 4;

std::string lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

const data::BankSource& bank() {
  static const data::BankSource source = data::BankSource::load(kBankSource);
  return source;
}

// The build makes the bank from this source: 128 distinctly named programs
// whose settings are all in range. Key tracking transposes the ringing voices
// by every note above 45 (a General MIDI crash or ride retunes the kit): only
// programs meant to be played melodically, which say so in their name, have it.
TEST(DefaultBank, HasOneHundredAndTwentyEightDistinctlyNamedProgramsInRange) {
  EXPECT_TRUE(readBytes(kBuiltBank) == bank().fxb());
  ASSERT_EQ(bank().programs().size(), static_cast<std::size_t>(kPrograms));
  const std::regex placeholder(R"(kit\s*\d+|program\s*\d+|untitled.*|init.*)");
  std::set<std::string> names;
  for (const auto& program : bank().programs()) {
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

// ---------------------------------------------------------------------------
// Playback

// Velocities of the hits that measure a voice's response.
constexpr std::array<int, 8> kVelocities = {20, 35, 50, 65, 80, 95, 110, 127};
constexpr double kVelocityHitSeconds = 0.25;

struct Measured {
  float mixPeak = 0.0f;                    // the louder side of the stereo mix
  std::array<float, kVoices> voicePeak{};  // BD, SD, HH, CP outputs
  double brightness = 0.0;                 // log of the first-difference to level ratio of SD, HH, CP
  double length = 0.0;                     // how much of the groove the voices fill
  std::array<Spectrogram, kVoices> spectrum;  // of each voice output on the demo groove
  // The dense groove: peaks, and seconds from its last note until all stay below -30 dBFS.
  float denseMixPeak = 0.0f;
  std::array<float, kVoices> denseVoicePeak{};
  double tailSeconds = 0.0;
  // The level of note 36 (kick) and 38 (snare) at each of kVelocities.
  std::array<double, kVelocities.size()> kickDb{};
  std::array<double, kVelocities.size()> snareDb{};
};

// Each kick velocity twelve times, then each snare velocity, a quarter of a second
// and an irregular few milliseconds apart, so the free-running phase averages out.
constexpr std::size_t kHitsPerVelocity = 12;

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
        at += static_cast<int>(kVelocityHitSeconds * kRate) + static_cast<int>(jitter >> 22);
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
    events.push_back(
        testhost::midiEvent(static_cast<int>(message.sample), message.data[0], message.data[1], message.data[2]));
  return events;
}

// The share of 10 ms windows within 30 dB of the loudest one.
double fill(const Channel& channel) {
  constexpr std::size_t kWindow = 441;
  std::vector<double> levels;
  for (std::size_t start = 0; start + kWindow <= channel.size(); start += kWindow) {
    double sum = 0.0;
    for (std::size_t i = start; i < start + kWindow; ++i) sum += static_cast<double>(channel[i]) * channel[i];
    levels.push_back(sum);
  }
  const double loudest = *std::max_element(levels.begin(), levels.end());
  if (loudest <= 0.0) return 0.0;
  return static_cast<double>(
             std::count_if(levels.begin(), levels.end(), [&](double l) { return l > loudest * 1e-3; })) /
         static_cast<double>(levels.size());
}

// A spectral centroid in miniature: a brighter signal changes more from sample to sample.
double brightness(const Channel& channel) {
  double level = 0.0, change = 0.0;
  for (std::size_t i = 1; i < channel.size(); ++i) {
    level += static_cast<double>(channel[i]) * channel[i];
    const double d = static_cast<double>(channel[i]) - channel[i - 1];
    change += d * d;
  }
  return level > 0.0 ? 0.5 * std::log(change / level) : 0.0;
}

// The data folder holds the real default samples and the built bank; every
// program is rendered once for all the tests below.
class DefaultBankPlayback : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    documents_ = std::make_unique<TempDocuments>(false);
    const data::SampleSet samples = data::SampleSet::load(kSampleRecipes);
    for (const auto& file : samples.files()) documents_->writeFile(file.name, file.bytes);
    documents_->writeFile("default.fxb", readBytes(kBuiltBank));

    const std::vector<VstMidiEvent> events = demoEvents();
    ASSERT_FALSE(events.empty());
    // The part of the demo that holds hits; a longer tail adds only the last decay.
    const int frames = events.back().deltaFrames + static_cast<int>(0.5 * kRate);
    const Groove dense = denseGroove();
    const std::vector<VstMidiEvent> ramp = velocityRamp();
    const int rampFrames = static_cast<int>(ramp.back().deltaFrames + kVelocityHitSeconds * kRate);
    for (int program = 0; program < kPrograms; ++program) {
      auto zvx = startZvx();
      ASSERT_TRUE(zvx);
      zvx->dispatch(effSetProgram, 0, program);
      const auto out = zvx->render(frames, 512, events);
      Measured m;
      m.mixPeak = std::max(peak(out[0]), peak(out[1]));
      for (std::size_t v = 0; v < kVoices; ++v) {
        m.voicePeak[v] = peak(out[2 + v]);
        m.length += fill(out[2 + v]) / kVoices;
        if (v > 0) m.brightness += brightness(out[2 + v]) / (kVoices - 1);
        m.spectrum[v] = spectrogramOf(out[2 + v]);
      }
      measureDense(program, dense, m);
      measureVelocity(program, ramp, rampFrames, m);
      names_.push_back(zvx->programNameIndexed(program));
      measured_[names_.back()] = std::move(m);
    }
  }
  // The dense groove and the 9 s after its last note, from a fresh instance.
  static void measureDense(int program, const Groove& dense, Measured& m) {
    auto zvx = startZvx();
    zvx->dispatch(effSetProgram, 0, program);
    const auto out = zvx->render(dense.lastNoteOn + static_cast<int>(9 * kRate), 512, dense.events);
    m.denseMixPeak = std::max(peak(out[0]), peak(out[1]));
    for (std::size_t v = 0; v < kVoices; ++v) m.denseVoicePeak[v] = peak(out[2 + v]);
    m.tailSeconds = secondsToFallBelow(out, static_cast<std::size_t>(dense.lastNoteOn), 0.0316f);
  }
  // With the kit's randomisation held off (Master_Chaos 0): a remapped or
  // disturbed hit measures the dice, not the response.
  static void measureVelocity(int program, const std::vector<VstMidiEvent>& ramp, int frames, Measured& m) {
    auto zvx = startZvx();
    zvx->dispatch(effSetProgram, 0, program);
    zvx->setParameter(param::kMasterChaos, 0.0f);
    const auto out = zvx->render(frames, 512, ramp);
    for (std::size_t step = 0; step < 2 * kVelocities.size(); ++step) {
      const bool kick = step < kVelocities.size();
      // The mean power of the first 100 ms of each hit.
      double power = 0.0;
      for (std::size_t hit = 0; hit < kHitsPerVelocity; ++hit) {
        const auto at = static_cast<std::size_t>(ramp[2 * (step * kHitsPerVelocity + hit)].deltaFrames);
        power += std::pow(10.0, rmsDb(out[kick ? 2 : 3], at, at + static_cast<std::size_t>(0.1 * kRate)) / 10.0);
      }
      const double level = 10.0 * std::log10(power / kHitsPerVelocity);
      (kick ? m.kickDb[step] : m.snareDb[step - kVelocities.size()]) = level;
    }
  }
  // The largest of the four voice outputs' log-spectral distances.
  static double distance(const Measured& a, const Measured& b) {
    double d = 0.0;
    for (std::size_t v = 0; v < kVoices; ++v)
      d = std::max(d, logSpectralDistance(a.spectrum[v], b.spectrum[v]));
    return d;
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
  constexpr double kHeardStepDb = 1.0;
  for (const auto& [name, m] : measured_) {
    SCOPED_TRACE(name);
    for (const auto* levels : {&m.kickDb, &m.snareDb}) {
      for (std::size_t i = 1; i < levels->size(); ++i)
        EXPECT_GT((*levels)[i], (*levels)[i - 1] - kHeardStepDb) << "velocity " << kVelocities[i];
      const double span = levels->back() - levels->front();  // velocity 20 to 127
      EXPECT_TRUE(span >= 12.0 && span <= 40.0) << span;
    }
  }
}

// Two programs a listener cannot tell apart are one program too many: they
// differ by the largest of their four voices' log-spectral distances, and a
// 3 dB level change over the whole spectrum is plainly audible.
TEST_F(DefaultBankPlayback, EveryTwoProgramsCanBeToldApart) {
  constexpr double kAudible = 3.0;
  for (std::size_t a = 0; a < names_.size(); ++a)
    for (std::size_t b = a + 1; b < names_.size(); ++b) {
      const double d = distance(measured_.at(names_[a]), measured_.at(names_[b]));
      EXPECT_GE(d, kAudible) << names_[a] << " and " << names_[b];
    }
}

// "Kit Dark" is darker than "Kit", "Kit Long" rings longer, and so on.
TEST_F(DefaultBankPlayback, VariationsSoundAsTheirNamesSay) {
  int compared = 0;
  for (const auto& [name, m] : measured_) {
    const std::size_t space = name.rfind(' ');
    if (space == std::string::npos) continue;
    const auto base = measured_.find(name.substr(0, space));
    if (base == measured_.end()) continue;
    const std::string kind = name.substr(space + 1);
    const Measured& b = base->second;
    if (kind == "Dark" || kind == "Bright")
      EXPECT_EQ(m.brightness > b.brightness, kind == "Bright") << name;
    else if (kind == "Tight" || kind == "Long")
      EXPECT_EQ(m.length > b.length, kind == "Long") << name;
    else
      continue;
    ++compared;
  }
  EXPECT_GE(compared, 20);
}

// A General MIDI drum part on program 0: its crashes, rides and toms start no
// voice, and they change nothing audible in what the kit plays (the kit
// rendered with them differs from the kit without them by less than -30 dB).
TEST_F(DefaultBankPlayback, GeneralMidiCymbalsAndTomsLeaveTheKitInTune) {
  const Groove full = generalMidiGroove(true);
  const Groove mapped = generalMidiGroove(false);
  const int frames = full.lastNoteOn + static_cast<int>(2 * kRate);
  auto render = [&](const Groove& groove) {
    auto zvx = startZvx();
    zvx->dispatch(effSetProgram, 0, 0);
    return zvx->render(frames, 512, groove.events);
  };
  const auto withCymbals = render(full);
  const auto without = render(mapped);
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
