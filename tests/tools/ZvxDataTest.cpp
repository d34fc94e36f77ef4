// zvx-data: the default samples rendered from data/samples, checked as files
// the plug-in can read and as drums (level, ends, spectrum, length), then the
// built executable end to end, installing into a temporary documents folder.

#include "tests/support/TestSupport.h"
#include "tools/zvx-data/BankSource.h"
#include "tools/zvx-data/RecipeError.h"
#include "tools/zvx-data/RecipeParser.h"
#include "tools/zvx-data/SampleRenderer.h"
#include "tools/zvx-data/SampleSet.h"
#include "tools/zvx-data/SkinSet.h"

namespace zvx::test {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;
using Lines = std::vector<std::string>;
using data::RecipeError;
using data::RecipeParser;
using data::SampleRenderer;
using data::SampleSet;

const std::vector<std::string> kNames = {"BDA", "BDB", "CPA", "CPB", "HHA", "HHB", "SDA", "SDB"};
const fs::path kSource = ZVX_DATA_SOURCE;

// Rendered once for the whole program; each render takes a few milliseconds a sample.
const std::map<std::string, Bytes>& defaultSamples() {
  static const std::map<std::string, Bytes> samples = [] {
    std::map<std::string, Bytes> result;
    const SampleSet set = SampleSet::load(kSource / "samples");
    for (const SampleSet::File& file : set.files())
      result[file.name.substr(0, file.name.size() - 4)] = file.bytes;
    return result;
  }();
  return samples;
}

// The samples of a file laid out as the plug-in expects; the layout itself is
// checked by the first test.
std::vector<std::int16_t> samplesOf(const Bytes& bytes) {
  std::vector<std::int16_t> samples;
  for (std::size_t at = 44; at + 1 < bytes.size(); at += 2)
    samples.push_back(static_cast<std::int16_t>(bytes[at] | bytes[at + 1] << 8));
  return samples;
}

std::vector<std::int16_t> samplesOf(const std::string& name) { return samplesOf(defaultSamples().at(name)); }

double peakDecibels(const std::vector<std::int16_t>& samples) {
  int peak = 0;
  for (int s : samples) peak = std::max(peak, std::abs(s));
  return 20.0 * std::log10(peak / 32767.0);
}

// Energies after two one-pole low-passes at `corner`, and after the two
// matching high-passes: a rough split of the spectrum, 12 dB an octave each
// way. The one-poles are made by the bilinear transform, which unlike the
// plain one-pole shuts fully at Nyquist.
std::pair<double, double> lowAndHighEnergy(const std::vector<std::int16_t>& samples, double corner) {
  const double g = std::tan(M_PI * corner / 44100.0), gain = g / (1.0 + g);
  double lowState[2] = {}, highState[2] = {}, low = 0.0, high = 0.0;
  const auto lowPass = [gain](double x, double& state) {
    const double v = (x - state) * gain, y = v + state;
    state = y + v;
    return y;
  };
  for (const double x : samples) {
    double l = x, h = x;
    for (int stage = 0; stage < 2; ++stage) {
      l = lowPass(l, lowState[stage]);
      h -= lowPass(h, highState[stage]);
    }
    low += l * l;
    high += h * h;
  }
  return {low, high};
}

// The last sample at or above `decibels` below full scale.
std::size_t audibleLength(const std::vector<std::int16_t>& samples, double decibels) {
  const double threshold = 32767.0 * std::pow(10.0, decibels / 20.0);
  std::size_t last = 0;
  for (std::size_t i = 0; i < samples.size(); ++i)
    if (std::abs(samples[i]) >= threshold) last = i;
  return last;
}

struct RunResult {
  int exitCode = -1;
  Lines out;
  Lines err;
};

RunResult runData(const std::vector<std::string>& arguments, const fs::path& scratch) {
  const ProgramRun run = runProgram(ZVX_DATA_PATH, arguments, scratch);
  return {run.exitCode, linesOf(run.out), linesOf(run.err)};
}

// ---------------------------------------------------------------------------
// The default samples as files.

TEST(DefaultSamples, EveryRecipeRendersAFileThePlugInReads) {
  std::vector<std::string> names;
  for (const auto& [name, bytes] : defaultSamples()) {
    names.push_back(name);
    // The canonical 44-byte header of a 16-bit mono 44100 Hz file, as the
    // tests' own writer makes it, and less than the 98000 samples a layer holds.
    EXPECT_TRUE(bytes == monoWav(samplesOf(bytes))) << name;
    EXPECT_LT((bytes.size() - 44) / 2, 98000u) << name;
  }
  EXPECT_EQ(names, kNames);
}

TEST(DefaultSamples, PeakJustBelowFullScaleStartSharpAndEndWithoutAClick) {
  for (const std::string& name : kNames) {
    SCOPED_TRACE(name);
    const std::vector<std::int16_t> samples = samplesOf(name);
    const double peak = peakDecibels(samples);
    EXPECT_GE(peak, -2.0);
    EXPECT_LE(peak, 0.0);
    // Within 5 ms every sound is within 12 dB of its peak.
    EXPECT_GE(peakDecibels(std::vector<std::int16_t>(samples.begin(), samples.begin() + 220)), peak - 12.0);
    EXPECT_LE(std::abs(samples.front()), 32);
    EXPECT_EQ(samples.back(), 0);
    // The fade leaves nothing above -54 dBFS in the last ten samples.
    for (std::size_t i = samples.size() - 10; i < samples.size(); ++i) EXPECT_LE(std::abs(samples[i]), 64) << i;
  }
}

TEST(DefaultSamples, KicksAreLowAndHatsAreHigh) {
  for (const char* kick : {"BDA", "BDB"}) {
    const auto [low, high] = lowAndHighEnergy(samplesOf(kick), 150.0);
    EXPECT_GT(low, 4.0 * high) << kick;
  }
  for (const char* hat : {"HHA", "HHB"}) {
    const auto [low, high] = lowAndHighEnergy(samplesOf(hat), 5000.0);
    EXPECT_GT(high, 4.0 * low) << hat;
  }
  // Snares and claps sit in between: not boomy, not all sizzle.
  for (const char* name : {"SDA", "SDB", "CPA", "CPB"}) {
    const auto [belowLow, aboveLow] = lowAndHighEnergy(samplesOf(name), 150.0);
    EXPECT_GT(aboveLow, belowLow) << name;
    const auto [belowHigh, aboveHigh] = lowAndHighEnergy(samplesOf(name), 5000.0);
    EXPECT_GT(belowHigh, aboveHigh) << name;
  }
}

TEST(DefaultSamples, TheKicksDifferAndTheOpenHatRingsLongerThanTheClosed) {
  const auto a = samplesOf("BDA");
  const auto b = samplesOf("BDB");
  std::size_t different = 0;
  for (std::size_t i = 0; i < std::min(a.size(), b.size()); ++i) different += std::abs(a[i] - b[i]) > 100;
  EXPECT_GT(different, std::min(a.size(), b.size()) / 2);
  // The 808-style one booms on well after the punchy one is gone.
  EXPECT_GT(audibleLength(b, -40.0), audibleLength(a, -40.0) + 4410);

  const auto closed = samplesOf("HHA");
  const auto open = samplesOf("HHB");
  EXPECT_GT(open.size(), closed.size());
  EXPECT_GT(audibleLength(open, -40.0), 3 * audibleLength(closed, -40.0));
}

// ---------------------------------------------------------------------------
// Recipes.

TEST(Recipes, DriveTheSound) {
  const std::string recipe = "length = 0.1   # short\nfade_out = 0.005\n[layer tone]\nsource = sine\nfrequency = 441\n";
  const std::vector<std::int16_t> tone = SampleRenderer::render(RecipeParser::parse(recipe, "T", "T.recipe"));
  ASSERT_EQ(tone.size(), 4410u);
  EXPECT_NEAR(frequencyOf(Channel(tone.begin(), tone.end()), 0, tone.size()), 441.0, 0.01);
}

TEST(Recipes, ReportTheLineOfAMistake) {
  auto errorOf = [](const std::string& text) {
    try {
      RecipeParser::parse(text, "X", "X.recipe");
    } catch (const RecipeError& error) {
      return std::string(error.what());
    }
    return std::string("no error");
  };
  EXPECT_EQ(errorOf("length = 0.1\n[layer a]\nsource = sine\nfrequncy = 50\n"),
            "X.recipe:4: unknown setting 'frequncy' for a layer");
  EXPECT_EQ(errorOf("length = 0.1\n\n[layer a]\nsource = noise\ndecay = 1e-2\n"), "X.recipe:5: '1e-2' is not a number");
  EXPECT_EQ(errorOf("length = 9\n"), "X.recipe:1: '9' is outside 0.01 to 2.2");
  EXPECT_EQ(errorOf("seed = 3\n[layer a]\nsource = noise\n"), "X.recipe: the mix settings have no length");
  EXPECT_EQ(errorOf("length = 0.1\n[layer a]\nsource = sine\n"), "X.recipe:2: the layer has no frequency");
  EXPECT_EQ(errorOf("length = 0.1\nlength = 0.2\n"), "X.recipe:2: 'length' is set twice");
  EXPECT_EQ(errorOf("length = 0.1\n"), "X.recipe: the recipe has no layer");
  EXPECT_EQ(errorOf("length = 0.1\n[layer a]\nsource = noise\nfilter = notch 100\n"),
            "X.recipe:4: filter type 'notch' is not lowpass, highpass or bandpass");
}

// ---------------------------------------------------------------------------
// The executable.

TEST(ZvxDataTool, InstallsSamplesBankSkinAndWizardAndKeepsTheUsersFiles) {
  TempDocuments documents(false);
  const fs::path scratch = documents.documents();
  const fs::path folder = documents.dataFolder();
  const fs::path skin = folder / "skin";
  // The bank and the skin as the build makes them, to compare the installed ones against.
  const Bytes bank = data::BankSource::load(kSource / "bank" / "default.bank").fxb();
  const data::SkinSet skinSet = data::SkinSet::load(kSource / "skin");

  // The folder, one line per sample, the bank, the skin's files, the sound wizard.
  auto expected = [&](const std::string& kept, const std::string& installed) {
    Lines lines = {(folder / "").string()};
    auto add = [&](const std::string& name) { lines.push_back((name == installed ? "installed " : kept) + name); };
    for (const std::string& name : kNames) add(name + ".wav");
    add("default.fxb");
    for (const auto& file : skinSet.files()) add("skin/" + file.name);
    add("sound wizard.xml");
    return lines;
  };
  const RunResult first = runData({"install", kSource.string()}, scratch);
  ASSERT_EQ(first.exitCode, 0);
  EXPECT_EQ(first.out, expected("installed ", ""));
  for (const std::string& name : kNames)
    EXPECT_TRUE(readBytes(folder / (name + ".wav")) == defaultSamples().at(name)) << name;
  EXPECT_TRUE(readBytes(folder / "default.fxb") == bank);
  for (const auto& file : skinSet.files()) EXPECT_TRUE(readBytes(skin / file.name) == file.bytes) << file.name;
  EXPECT_EQ(readText(folder / "sound wizard.xml"), readText(kSource / "sound wizard.xml"));

  // The user replaced a sample, the bank, the layout and the wizard, and
  // deleted another sample and the background.
  const Bytes own = {'m', 'i', 'n', 'e'};
  for (const fs::path& replaced : {folder / "BDA.wav", folder / "default.fxb", skin / "skin.xml", folder / "sound wizard.xml"})
    writeBytes(replaced, own);
  fs::remove(folder / "SDA.wav");
  fs::remove(skin / "background.bmp");
  const RunResult second = runData({"install", kSource.string()}, scratch);
  ASSERT_EQ(second.exitCode, 0);
  Lines secondExpected = expected("kept ", "SDA.wav");
  std::replace(secondExpected.begin(), secondExpected.end(), std::string("kept skin/background.bmp"),
               std::string("installed skin/background.bmp"));
  EXPECT_EQ(second.out, secondExpected);
  for (const fs::path& replaced : {folder / "BDA.wav", folder / "default.fxb", skin / "skin.xml", folder / "sound wizard.xml"})
    EXPECT_EQ(readBytes(replaced), own) << replaced;
  EXPECT_TRUE(readBytes(folder / "SDA.wav") == defaultSamples().at("SDA"));
  const auto background = std::find_if(skinSet.files().begin(), skinSet.files().end(),
                                       [](const auto& file) { return file.name == "background.bmp"; });
  ASSERT_NE(background, skinSet.files().end());
  EXPECT_TRUE(readBytes(skin / "background.bmp") == background->bytes);
}

// Another process renders the same samples: compared once installed.
TEST(ZvxDataTool, RendersSamplesInstallsThemFromTheirFolderAndRefusesABrokenRecipe) {
  TempDocuments documents(false);
  const fs::path scratch = documents.documents();
  // Laid out as the build leaves it (its `zvx-data bank` checked by DefaultBankTest):
  // data/samples/*.wav and data/default.fxb.
  const fs::path rendered = scratch / "data";
  const RunResult samples = runData({"samples", (kSource / "samples").string(), (rendered / "samples").string()}, scratch);
  ASSERT_EQ(samples.exitCode, 0);
  EXPECT_TRUE(samples.err.empty());
  writeBytes(rendered / "default.fxb", data::BankSource::load(kSource / "bank" / "default.bank").fxb());

  const RunResult run = runData({"install", rendered.string()}, scratch);
  ASSERT_EQ(run.exitCode, 0);
  ASSERT_EQ(run.out.size(), 2 + kNames.size());
  EXPECT_EQ(run.out.back(), "installed default.fxb");
  for (const std::string& name : kNames)
    EXPECT_TRUE(readBytes(documents.dataFolder() / (name + ".wav")) == defaultSamples().at(name)) << name;
  EXPECT_EQ(readBytes(documents.dataFolder() / "default.fxb"), readBytes(rendered / "default.fxb"));

  fs::create_directories(scratch / "recipes");
  std::ofstream(scratch / "recipes" / "BAD.recipe") << "length = 0.2\n[layer a]\nsource = saw\n";
  const RunResult bad = runData({"samples", (scratch / "recipes").string(), (scratch / "out").string()}, scratch);
  EXPECT_EQ(bad.exitCode, 1);
  EXPECT_EQ(bad.err, Lines{"zvx-data: BAD.recipe:3: source 'saw' is not sine, triangle, square, pulse or noise"});
}

TEST(ZvxDataTool, InstallWithoutASourceOnlyMakesTheFolder) {
  TempDocuments documents(false);
  const RunResult run = runData({"install"}, documents.documents());
  ASSERT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.out, Lines{(documents.dataFolder() / "").string()});
  EXPECT_TRUE(fs::is_directory(documents.dataFolder()));
  EXPECT_TRUE(fs::is_empty(documents.dataFolder()));
}

}  // namespace
}  // namespace zvx::test
