// The default bank: its source as the build reads it, then every program
// played through the module on the demo groove with the real default samples.

#include <cctype>
#include <regex>

#include "tests/support/TestSupport.h"
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
// whose settings are all in range.
TEST(DefaultBank, HasOneHundredAndTwentyEightDistinctlyNamedProgramsInRange) {
  EXPECT_TRUE(readBytes(kBuiltBank) == bank().fxb());
  ASSERT_EQ(bank().programs().size(), static_cast<std::size_t>(kPrograms));
  const std::regex placeholder(R"(kit\s*\d+|program\s*\d+|untitled.*|init.*)");
  std::set<std::string> names;
  for (const auto& program : bank().programs()) {
    SCOPED_TRACE(program.name);
    EXPECT_FALSE(program.name.empty());
    EXPECT_LE(program.name.size(), 23u);
    EXPECT_TRUE(names.insert(lower(program.name)).second) << "named twice, ignoring case";
    EXPECT_FALSE(std::regex_match(lower(program.name), placeholder)) << "a placeholder name";
    // A Menu value above 1 would name a file past the last one.
    for (const auto& [parameter, value] : program.settings)
      EXPECT_TRUE(value >= 0.0f && value <= 1.0f) << "parameter " << parameter << " = " << value;
  }
}

// ---------------------------------------------------------------------------
// Playback

struct Measured {
  float mixPeak = 0.0f;                    // the louder side of the stereo mix
  std::array<float, kVoices> voicePeak{};  // BD, SD, HH, CP outputs
  double brightness = 0.0;                 // log of the first-difference to level ratio of SD, HH, CP
  double length = 0.0;                     // how much of the groove the voices fill
};

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
      }
      measured_[zvx->programNameIndexed(program)] = m;
    }
  }
  static void TearDownTestSuite() { documents_.reset(); }

  static inline std::unique_ptr<TempDocuments> documents_;
  static inline std::map<std::string, Measured> measured_;
};

TEST_F(DefaultBankPlayback, EveryProgramStaysBelowFullScaleAndEveryVoiceSounds) {
  // By the names the module gives: all distinct, so the bank's were loaded.
  ASSERT_EQ(measured_.size(), static_cast<std::size_t>(kPrograms));
  for (const auto& [name, m] : measured_) {
    SCOPED_TRACE(name);
    // There is no limiter: Volume alone keeps the mix in range.
    EXPECT_LT(m.mixPeak, 1.0f);
    EXPECT_GT(m.mixPeak, 0.3f) << "under -10 dBFS";
    for (std::size_t v = 0; v < kVoices; ++v) {
      EXPECT_GT(m.voicePeak[v], 0.03f) << "voice " << v << " nearly silent";
      EXPECT_LT(m.voicePeak[v], 1.4f) << "voice " << v << " far above full scale";
    }
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
    SCOPED_TRACE(name);
    if (kind == "Dark") {
      EXPECT_LT(m.brightness, b.brightness);
    } else if (kind == "Bright") {
      EXPECT_GT(m.brightness, b.brightness);
    } else if (kind == "Tight") {
      EXPECT_LT(m.length, b.length);
    } else if (kind == "Long") {
      EXPECT_GT(m.length, b.length);
    } else {
      continue;
    }
    ++compared;
  }
  EXPECT_GE(compared, 20);
}

}  // namespace
}  // namespace zvx::test
