// zvx-data: the default samples rendered from data/samples, checked as files
// the plug-in can read and as drums (level, ends, spectrum, length), then the
// built executable end to end, installing into a temporary documents folder.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/TestSupport.h"
#include "tools/zvx-data/RecipeError.h"
#include "tools/zvx-data/RecipeParser.h"
#include "tools/zvx-data/SampleRenderer.h"
#include "tools/zvx-data/SampleSet.h"

extern char** environ;

namespace zvx::test {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;
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

std::uint32_t little32(const Bytes& bytes, std::size_t at) {
  return bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16 | static_cast<std::uint32_t>(bytes[at + 3]) << 24;
}

std::uint16_t little16(const Bytes& bytes, std::size_t at) {
  return static_cast<std::uint16_t>(bytes[at] | bytes[at + 1] << 8);
}

std::string tag(const Bytes& bytes, std::size_t at) {
  return std::string(reinterpret_cast<const char*>(bytes.data() + at), 4);
}

// The samples of a file laid out as the plug-in expects; the layout itself is
// checked by the first test.
std::vector<int> samplesOf(const Bytes& bytes) {
  std::vector<int> samples;
  for (std::size_t at = 44; at + 1 < bytes.size(); at += 2) samples.push_back(static_cast<std::int16_t>(little16(bytes, at)));
  return samples;
}

std::vector<int> samplesOf(const std::string& name) { return samplesOf(defaultSamples().at(name)); }

double peakDecibels(const std::vector<int>& samples) {
  int peak = 0;
  for (int s : samples) peak = std::max(peak, std::abs(s));
  return 20.0 * std::log10(peak / 32767.0);
}

// A one-pole low-pass by the bilinear transform, which unlike the plain
// one-pole shuts fully at Nyquist.
std::vector<double> lowPass(const std::vector<double>& input, double corner) {
  const double g = std::tan(M_PI * corner / 44100.0);
  const double gain = g / (1.0 + g);
  std::vector<double> output;
  double state = 0.0;
  for (double x : input) {
    const double v = (x - state) * gain;
    output.push_back(v + state);
    state = v + state + v;
  }
  return output;
}

// Its complement, the matching high-pass.
std::vector<double> highPass(const std::vector<double>& input, double corner) {
  std::vector<double> output = lowPass(input, corner);
  for (std::size_t i = 0; i < input.size(); ++i) output[i] = input[i] - output[i];
  return output;
}

double energy(const std::vector<double>& samples) {
  double sum = 0.0;
  for (double s : samples) sum += s * s;
  return sum;
}

// Energies after two low-passes at `corner`, and after two high-passes there:
// a rough split of the spectrum, 12 dB an octave each way.
std::pair<double, double> lowAndHighEnergy(const std::vector<int>& samples, double corner) {
  const std::vector<double> input(samples.begin(), samples.end());
  return {energy(lowPass(lowPass(input, corner), corner)), energy(highPass(highPass(input, corner), corner))};
}

// The last sample at or above `decibels` below full scale.
std::size_t audibleLength(const std::vector<int>& samples, double decibels) {
  const double threshold = 32767.0 * std::pow(10.0, decibels / 20.0);
  std::size_t last = 0;
  for (std::size_t i = 0; i < samples.size(); ++i)
    if (std::abs(samples[i]) >= threshold) last = i;
  return last;
}

Bytes readBytes(const fs::path& path) {
  std::ifstream file(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

void writeBytes(const fs::path& path, const Bytes& bytes) {
  std::ofstream file(path, std::ios::binary);
  file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}


// A documents folder without a data folder yet, as on a fresh system.
void clearDataFolder(const TempDocuments& documents) { fs::remove_all(documents.dataFolder()); }

struct RunResult {
  int exitCode = -1;
  std::vector<std::string> out;
  std::vector<std::string> err;
};

RunResult runData(const std::vector<std::string>& arguments, const fs::path& scratch) {
  const ProgramRun run = runProgram(ZVX_DATA_PATH, arguments, scratch);
  return {run.exitCode, linesOf(run.out), linesOf(run.err)};
}

// ---------------------------------------------------------------------------
// The default samples as files.

TEST(DefaultSamples, EveryRecipeRendersAFileThePlugInReads) {
  std::vector<std::string> names;
  for (const auto& [name, bytes] : defaultSamples()) names.push_back(name);
  EXPECT_EQ(names, kNames);

  for (const auto& [name, bytes] : defaultSamples()) {
    SCOPED_TRACE(name);
    ASSERT_GE(bytes.size(), 46u);
    EXPECT_EQ(tag(bytes, 0), "RIFF");
    EXPECT_EQ(little32(bytes, 4), bytes.size() - 8);
    EXPECT_EQ(tag(bytes, 8), "WAVE");
    EXPECT_EQ(tag(bytes, 12), "fmt ");
    EXPECT_EQ(little32(bytes, 16), 16u);
    EXPECT_EQ(little16(bytes, 20), 1);  // PCM
    EXPECT_EQ(little16(bytes, 22), 1);  // mono
    EXPECT_EQ(little32(bytes, 24), 44100u);
    EXPECT_EQ(little32(bytes, 28), 88200u);
    EXPECT_EQ(little16(bytes, 32), 2);
    EXPECT_EQ(little16(bytes, 34), 16);
    EXPECT_EQ(tag(bytes, 36), "data");
    EXPECT_EQ(little32(bytes, 40), bytes.size() - 44);
    EXPECT_LT((bytes.size() - 44) / 2, 98000u);
  }
}

TEST(DefaultSamples, RenderTheSameBytesEveryTime) {
  const SampleSet again = SampleSet::load(kSource / "samples");
  ASSERT_EQ(again.files().size(), kNames.size());
  for (const SampleSet::File& file : again.files())
    EXPECT_TRUE(file.bytes == defaultSamples().at(file.name.substr(0, 3))) << file.name;
}

TEST(DefaultSamples, PeakJustBelowFullScale) {
  for (const std::string& name : kNames) {
    const double peak = peakDecibels(samplesOf(name));
    EXPECT_GE(peak, -2.0) << name;
    EXPECT_LE(peak, 0.0) << name;
  }
}

TEST(DefaultSamples, StartAndEndWithoutAClick) {
  for (const std::string& name : kNames) {
    SCOPED_TRACE(name);
    const std::vector<int> samples = samplesOf(name);
    EXPECT_LE(std::abs(samples.front()), 32);
    EXPECT_EQ(samples.back(), 0);
    // The fade leaves nothing above -54 dBFS in the last ten samples.
    for (std::size_t i = samples.size() - 10; i < samples.size(); ++i) EXPECT_LE(std::abs(samples[i]), 64) << i;
  }
}

TEST(DefaultSamples, AttacksStaySharp) {
  // Within 5 ms every sound is within 12 dB of its peak.
  for (const std::string& name : kNames) {
    const std::vector<int> samples = samplesOf(name);
    const std::vector<int> early(samples.begin(), samples.begin() + 220);
    EXPECT_GE(peakDecibels(early), peakDecibels(samples) - 12.0) << name;
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

TEST(DefaultSamples, TheKicksDiffer) {
  const std::vector<int> a = samplesOf("BDA");
  const std::vector<int> b = samplesOf("BDB");
  std::size_t different = 0;
  for (std::size_t i = 0; i < std::min(a.size(), b.size()); ++i) different += std::abs(a[i] - b[i]) > 100;
  EXPECT_GT(different, std::min(a.size(), b.size()) / 2);
  // The 808-style one booms on well after the punchy one is gone.
  EXPECT_GT(audibleLength(b, -40.0), audibleLength(a, -40.0) + 4410);
}

TEST(DefaultSamples, TheOpenHatRingsLongerThanTheClosed) {
  const std::vector<int> closed = samplesOf("HHA");
  const std::vector<int> open = samplesOf("HHB");
  EXPECT_GT(open.size(), closed.size());
  EXPECT_GT(audibleLength(open, -40.0), 3 * audibleLength(closed, -40.0));
}

// ---------------------------------------------------------------------------
// Recipes.

const char* kToneRecipe =
    "length = 0.1   # short\n"
    "fade_out = 0.005\n"
    "[layer tone]\n"
    "source = sine\n"
    "frequency = 441\n";

TEST(Recipes, DriveTheSound) {
  const std::vector<std::int16_t> tone = SampleRenderer::render(RecipeParser::parse(kToneRecipe, "T", "T.recipe"));
  ASSERT_EQ(tone.size(), 4410u);
  // 441 Hz: a rising zero crossing every 100 samples.
  std::vector<std::size_t> rising;
  for (std::size_t i = 1; i < tone.size(); ++i)
    if (tone[i - 1] < 0 && tone[i] >= 0) rising.push_back(i);
  ASSERT_GE(rising.size(), 40u);
  EXPECT_EQ(rising[40] - rising[0], 4000u);

  std::string lower = kToneRecipe;
  lower.replace(lower.find("441"), 3, "220.5");
  const auto other = SampleRenderer::render(RecipeParser::parse(lower, "T", "T.recipe"));
  EXPECT_NE(other, tone);
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

TEST(ZvxDataTool, RendersTheRecipesIntoAFolder) {
  TempDocuments documents;
  const fs::path scratch = documents.documents();
  const fs::path output = scratch / "samples";
  const RunResult run = runData({"samples", (kSource / "samples").string(), output.string()}, scratch);
  ASSERT_EQ(run.exitCode, 0);
  EXPECT_TRUE(run.err.empty());
  for (const std::string& name : kNames) EXPECT_TRUE(readBytes(output / (name + ".wav")) == defaultSamples().at(name)) << name;
}

TEST(ZvxDataTool, RefusesABrokenRecipe) {
  TempDocuments documents;
  const fs::path scratch = documents.documents();
  const fs::path recipes = scratch / "recipes";
  fs::create_directories(recipes);
  std::ofstream(recipes / "BAD.recipe") << "length = 0.2\n[layer a]\nsource = saw\n";
  const RunResult run = runData({"samples", recipes.string(), (scratch / "out").string()}, scratch);
  EXPECT_EQ(run.exitCode, 1);
  ASSERT_EQ(run.err.size(), 1u);
  EXPECT_EQ(run.err[0], "zvx-data: BAD.recipe:3: source 'saw' is not sine, triangle, square, pulse or noise");
}

TEST(ZvxDataTool, InstallsTheSamplesAndKeepsTheUsersFiles) {
  TempDocuments documents;
  clearDataFolder(documents);
  const fs::path scratch = documents.documents();
  const fs::path folder = documents.dataFolder();
  // The bank as the build makes it, to compare the installed one against.
  const std::string bankSource = (kSource / "bank" / "default.bank").string();
  ASSERT_EQ(runData({"bank", bankSource, (scratch / "built.fxb").string()}, scratch).exitCode, 0);

  RunResult first = runData({"install", kSource.string()}, scratch);
  ASSERT_EQ(first.exitCode, 0);
  // The folder, one line per sample, the bank, then the skin's files and the
  // sound wizard (checked by DefaultSkinTest).
  ASSERT_GT(first.out.size(), 3 + kNames.size());
  EXPECT_EQ(fs::path(first.out[0]), folder / "");
  for (std::size_t i = 0; i < kNames.size(); ++i) {
    EXPECT_EQ(first.out[1 + i], "installed " + kNames[i] + ".wav");
    EXPECT_TRUE(readBytes(folder / (kNames[i] + ".wav")) == defaultSamples().at(kNames[i])) << kNames[i];
  }
  EXPECT_EQ(first.out[1 + kNames.size()], "installed default.fxb");
  EXPECT_EQ(first.out.back(), "installed sound wizard.xml");
  EXPECT_TRUE(readBytes(folder / "default.fxb") == readBytes(scratch / "built.fxb"));

  // The user replaced one sample and the bank, and deleted another sample.
  const Bytes own = {'m', 'i', 'n', 'e'};
  writeBytes(folder / "BDA.wav", own);
  writeBytes(folder / "default.fxb", own);
  fs::remove(folder / "SDA.wav");

  RunResult second = runData({"install", kSource.string()}, scratch);
  ASSERT_EQ(second.exitCode, 0);
  ASSERT_EQ(second.out.size(), first.out.size());
  for (std::size_t i = 0; i < kNames.size(); ++i)
    EXPECT_EQ(second.out[1 + i], (kNames[i] == "SDA" ? "installed " : "kept ") + kNames[i] + ".wav");
  EXPECT_EQ(second.out[1 + kNames.size()], "kept default.fxb");
  EXPECT_EQ(readBytes(folder / "BDA.wav"), own);
  EXPECT_EQ(readBytes(folder / "default.fxb"), own);
  EXPECT_TRUE(readBytes(folder / "SDA.wav") == defaultSamples().at("SDA"));
}

TEST(ZvxDataTool, InstallsFromAnAlreadyRenderedFolder) {
  TempDocuments documents;
  clearDataFolder(documents);
  const fs::path scratch = documents.documents();
  // Laid out as the build leaves it: data/samples/*.wav and data/default.fxb.
  const fs::path rendered = scratch / "data";
  ASSERT_EQ(runData({"samples", (kSource / "samples").string(), (rendered / "samples").string()}, scratch).exitCode, 0);
  const std::string bankSource = (kSource / "bank" / "default.bank").string();
  ASSERT_EQ(runData({"bank", bankSource, (rendered / "default.fxb").string()}, scratch).exitCode, 0);

  const RunResult run = runData({"install", rendered.string()}, scratch);
  ASSERT_EQ(run.exitCode, 0);
  ASSERT_EQ(run.out.size(), 2 + kNames.size());
  EXPECT_EQ(run.out.back(), "installed default.fxb");
  for (const std::string& name : kNames)
    EXPECT_TRUE(readBytes(documents.dataFolder() / (name + ".wav")) == defaultSamples().at(name)) << name;
  EXPECT_TRUE(readBytes(documents.dataFolder() / "default.fxb") == readBytes(rendered / "default.fxb"));
}

TEST(ZvxDataTool, InstallWithoutASourceOnlyMakesTheFolder) {
  TempDocuments documents;
  clearDataFolder(documents);
  const fs::path scratch = documents.documents();
  const RunResult run = runData({"install"}, scratch);
  ASSERT_EQ(run.exitCode, 0);
  ASSERT_EQ(run.out.size(), 1u);
  EXPECT_EQ(fs::path(run.out[0]), documents.dataFolder() / "");
  EXPECT_TRUE(fs::is_directory(documents.dataFolder()));
  EXPECT_TRUE(fs::is_empty(documents.dataFolder()));
}

}  // namespace
}  // namespace zvx::test
