// zvx-data: the default samples rendered from data/samples, checked as files
// and as drums, then the built executable end to end.

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

// The samples of a file laid out as the plug-in expects (checked by the first test).
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

// Energies below and above `corner`, 12 dB an octave each way, by bilinear
// one-poles (which, unlike the plain one-pole, shut fully at Nyquist).
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

TEST(DefaultSamples, EveryRecipeRendersAFileThePlugInReadsAtFullLevelWithoutClicks) {
  std::vector<std::string> names;
  for (const auto& [name, bytes] : defaultSamples()) {
    names.push_back(name);
    // The canonical 44-byte header of a 16-bit mono 44100 Hz file, as the
    // tests' own writer makes it, and less than the 98000 samples a layer holds.
    EXPECT_TRUE(bytes == monoWav(samplesOf(bytes))) << name;
    EXPECT_LT((bytes.size() - 44) / 2, 98000u) << name;
    // Peaks just below full scale, a sharp start and an end without a click.
    const std::vector<std::int16_t> samples = samplesOf(bytes);
    const double peak = peakDecibels(samples);
    EXPECT_TRUE(peak >= -2.0 && peak <= 0.0) << name << " " << peak;
    // Within 5 ms every sound is within 12 dB of its peak.
    EXPECT_GE(peakDecibels(std::vector<std::int16_t>(samples.begin(), samples.begin() + 220)), peak - 12.0) << name;
    EXPECT_LE(std::abs(samples.front()), 32) << name;
    EXPECT_EQ(samples.back(), 0) << name;
    // The fade leaves nothing above -54 dBFS in the last ten samples.
    for (std::size_t i = samples.size() - 10; i < samples.size(); ++i) EXPECT_LE(std::abs(samples[i]), 64) << name;
  }
  EXPECT_EQ(names, kNames);
}

TEST(DefaultSamples, KicksAreLowHatsAreHighAndTheVariantsDiffer) {
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
  // The kicks differ, and the open hat rings longer than the closed.
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

TEST(Recipes, DriveTheSoundAndReportTheLineOfAMistake) {
  const std::string recipe = "length = 0.1   # short\nfade_out = 0.005\n[layer tone]\nsource = sine\nfrequency = 441\n";
  const std::vector<std::int16_t> tone = SampleRenderer::render(RecipeParser::parse(recipe, "T", "T.recipe"));
  ASSERT_EQ(tone.size(), 4410u);
  EXPECT_NEAR(frequencyOf(Channel(tone.begin(), tone.end()), 0, tone.size()), 441.0, 0.01);
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
  EXPECT_EQ(errorOf("length = 0.1\n[layer a]\nsource = sine\n"), "X.recipe:2: the layer has no frequency");
  EXPECT_EQ(errorOf("length = 0.1\nlength = 0.2\n"), "X.recipe:2: 'length' is set twice");
  EXPECT_EQ(errorOf("length = 0.1\n[layer a]\nsource = noise\nfilter = notch 100\n"),
            "X.recipe:4: filter type 'notch' is not lowpass, highpass or bandpass");
}

// ---------------------------------------------------------------------------
// The executable.

// The files an install keeps up to date, by their names in the data folder:
// "default.fxb", "skin/NAME" and "sound wizard.xml".
using Release = std::map<std::string, Bytes>;

constexpr const char* kManifest = "zvx-data manifest.txt";

// This tree's bank, skin and wizard, made once: the skin takes a second to draw.
const Release& thisRelease() {
  static const Release release = [] {
    Release files;
    files["default.fxb"] = data::BankSource::load(kSource / "bank" / "default.bank").fxb();
    const data::SkinSet skin = data::SkinSet::load(kSource / "skin");
    for (const auto& file : skin.files()) files["skin/" + file.name] = file.bytes;
    files["sound wizard.xml"] = readBytes(kSource / "sound wizard.xml");
    return files;
  }();
  return release;
}

// A later version: another bank, layout and wizard, the same bitmaps.
Release laterRelease() {
  Release files = thisRelease();
  files["default.fxb"].back() ^= 1;
  for (const char* name : {"skin/skin.xml", "sound wizard.xml"}) {
    const std::string comment = "<!-- later -->\n";
    files[name].insert(files[name].end(), comment.begin(), comment.end());
  }
  return files;
}

// A release laid out as the build leaves its data folder, ready for `install`.
fs::path writeSource(const fs::path& folder, const Release& release) {
  fs::create_directories(folder / "samples");
  for (const auto& [name, bytes] : defaultSamples()) writeBytes(folder / "samples" / (name + ".wav"), bytes);
  for (const auto& [name, bytes] : release) {
    fs::create_directories((folder / name).parent_path());
    writeBytes(folder / name, bytes);
  }
  return folder;
}

// What `install` prints: the folder, a line per sample ("kept" unless named
// in `installedSamples`), then a line per file of the release as `lineFor` makes it.
Lines installLines(const fs::path& folder, const std::set<std::string>& installedSamples,
                   const std::function<std::string(const std::string&)>& lineFor) {
  Lines lines = {(folder / "").string()};
  for (const std::string& name : kNames)
    lines.push_back((installedSamples.count(name) ? "installed " : "kept ") + name + ".wav");
  for (const auto& [name, bytes] : thisRelease()) lines.push_back(lineFor(name));
  return lines;
}

std::function<std::string(const std::string&)> every(const std::string& outcome) {
  return [outcome](const std::string& name) { return outcome + " " + name; };
}

// The folder as installed and edited by the user, then installed into again.
class DataFolder {
 public:
  DataFolder() : documents_(false), first_(writeSource(scratch() / "first", thisRelease())) {}
  fs::path scratch() const { return documents_.documents(); }
  fs::path operator/(const std::string& name) const { return documents_.dataFolder() / name; }
  fs::path folder() const { return documents_.dataFolder(); }
  RunResult install(const fs::path& source) const { return runData({"install", source.string()}, scratch()); }
  // The first install, of this release, into an empty folder.
  void installFirst() const {
    const RunResult run = install(first_);
    ASSERT_EQ(run.exitCode, 0) << ::testing::PrintToString(run.err);
    ASSERT_EQ(run.out, installLines(folder(), {kNames.begin(), kNames.end()}, every("installed")));
  }
  fs::path later() const {
    static const Release release = laterRelease();
    if (!fs::exists(scratch() / "later")) writeSource(scratch() / "later", release);
    return scratch() / "later";
  }

 private:
  TempDocuments documents_;
  fs::path first_;
};

TEST(ZvxDataTool, InstallsSamplesBankSkinAndWizardAndNeverOverwritesTheUsersSamples) {
  TempDocuments documents(false);
  const fs::path scratch = documents.documents();
  const fs::path folder = documents.dataFolder();
  // Without a source, only the folder is made.
  const RunResult bare = runData({"install"}, scratch);
  ASSERT_EQ(bare.exitCode, 0);
  EXPECT_EQ(bare.out, Lines{(folder / "").string()});
  EXPECT_TRUE(fs::is_directory(folder) && fs::is_empty(folder));
  // From the source tree: the samples, bank and skin made from their sources.
  const RunResult first = runData({"install", kSource.string()}, scratch);
  ASSERT_EQ(first.exitCode, 0);
  EXPECT_EQ(first.out, installLines(folder, {kNames.begin(), kNames.end()}, every("installed")));
  for (const std::string& name : kNames)
    EXPECT_TRUE(readBytes(folder / (name + ".wav")) == defaultSamples().at(name)) << name;
  for (const auto& [name, bytes] : thisRelease()) EXPECT_TRUE(readBytes(folder / name) == bytes) << name;

  // The user replaced a sample and deleted another: only the missing one comes back.
  const Bytes own = {'m', 'i', 'n', 'e'};
  writeBytes(folder / "BDA.wav", own);
  fs::remove(folder / "SDA.wav");
  const RunResult second = runData({"install", kSource.string()}, scratch);
  ASSERT_EQ(second.exitCode, 0);
  EXPECT_EQ(second.out, installLines(folder, {"SDA"}, every("up-to-date")));
  EXPECT_EQ(readBytes(folder / "BDA.wav"), own);
  EXPECT_TRUE(readBytes(folder / "SDA.wav") == defaultSamples().at("SDA"));
}

TEST(ZvxDataTool, UpdatesTheFilesItInstalledAndKeepsTheOnesTheUserChanged) {
  DataFolder data;
  data.installFirst();
  // The user edits the layout, deletes the background and puts in a bank of their own.
  const std::string edit = "<!-- mine -->\n";
  Bytes layout = thisRelease().at("skin/skin.xml");
  layout.insert(layout.end(), edit.begin(), edit.end());
  writeBytes(data / "skin/skin.xml", layout);
  fs::remove(data / "skin/background.bmp");

  const Release later = laterRelease();
  const RunResult run = data.install(data.later());
  ASSERT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.out, installLines(data.folder(), {}, [](const std::string& name) -> std::string {
              if (name == "skin/skin.xml")
                return "kept skin/skin.xml: you changed it since it was installed; the new version is skin/skin.xml.new";
              if (name == "skin/background.bmp") return "installed " + name;
              if (name == "default.fxb" || name == "sound wizard.xml") return "updated " + name;
              return "up-to-date " + name;
            }));
  for (const auto& [name, bytes] : later)
    EXPECT_TRUE(readBytes(data / name) == (name == "skin/skin.xml" ? layout : bytes)) << name;
  EXPECT_TRUE(readBytes(data / "skin/skin.xml.new") == later.at("skin/skin.xml"));
  EXPECT_FALSE(fs::exists(data / "default.fxb.new"));

  // Put back as first installed, the layout is ours again and is updated.
  writeBytes(data / "skin/skin.xml", thisRelease().at("skin/skin.xml"));
  const RunResult again = data.install(data.later());
  ASSERT_EQ(again.exitCode, 0);
  EXPECT_EQ(again.out, installLines(data.folder(), {}, [](const std::string& name) {
              return (name == "skin/skin.xml" ? "updated " : "up-to-date ") + name;
            }));
  EXPECT_TRUE(readBytes(data / "skin/skin.xml") == later.at("skin/skin.xml"));
  // Nothing half-written is left behind.
  for (const auto& entry : fs::recursive_directory_iterator(data.folder()))
    EXPECT_EQ(entry.path().filename().string().find(".saving-"), std::string::npos) << entry.path();
}

TEST(ZvxDataTool, AFolderFromBeforeTheManifestKeepsWhatDiffersFromTheNewVersion) {
  DataFolder data;
  data.installFirst();
  // As an install that kept no record left it; a link of the user's stands for the wizard.
  fs::remove(data / kManifest);
  fs::remove(data / "sound wizard.xml");
  writeBytes(data.scratch() / "my wizard.xml", {'<', 'W', '/', '>'});
  fs::create_symlink(data.scratch() / "my wizard.xml", data / "sound wizard.xml");

  const std::string unknown = ": it differs from this version and no install of zvx-data recorded it";
  auto expected = [&](const std::string& name) {
    if (name == "sound wizard.xml")
      return "kept " + name + ": it is not a plain file; the new version is " + name + ".new";
    if (name == "default.fxb" || name == "skin/skin.xml")
      return "kept " + name + unknown + "; the new version is " + name + ".new";
    return "up-to-date " + name;
  };
  const Release later = laterRelease();
  for (int run = 0; run < 2; ++run) {
    SCOPED_TRACE(run);
    const RunResult result = data.install(data.later());
    ASSERT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.out, installLines(data.folder(), {}, expected));
    for (const char* name : {"default.fxb", "skin/skin.xml"}) {
      EXPECT_TRUE(readBytes(data / name) == thisRelease().at(name)) << name;
      EXPECT_TRUE(readBytes(data / (std::string(name) + ".new")) == later.at(name)) << name;
    }
    EXPECT_EQ(readText(data.scratch() / "my wizard.xml"), "<W/>");
    EXPECT_TRUE(fs::is_symlink(data / "sound wizard.xml"));
  }
  // The user takes the new bank by removing theirs.
  fs::remove(data / "default.fxb");
  const RunResult taken = data.install(data.later());
  ASSERT_EQ(taken.exitCode, 0);
  EXPECT_EQ(taken.out[1 + kNames.size()], "installed default.fxb");
  EXPECT_TRUE(readBytes(data / "default.fxb") == later.at("default.fxb"));
}

TEST(ZvxDataTool, AManifestThatIsNotAsWrittenCannotMakeItReplaceAFile) {
  const std::string updated = "updated default.fxb";
  const std::string kept =
      "kept default.fxb: it differs from this version and no install of zvx-data recorded it; the new version is "
      "default.fxb.new";
  const std::string changed = "kept default.fxb: you changed it since it was installed; the new version is default.fxb.new";
  // The manifest as the first install wrote it, edited: what the next install says of the bank.
  const std::vector<std::tuple<const char*, std::function<std::string(const std::string&)>, std::string>> cases = {
      {"Windows line ends and junk between the lines, which is ignored",
       [](std::string text) {
         std::string out = std::string("\x01\xff garbage\r\n") + std::string(3000, 'x') + "\n../outside 1 x\n";
         for (char c : text) out += c == '\n' ? std::string("\r\n") : std::string(1, c);
         return out + "0123456789abcdef 12 ../outside\n";
       },
       updated},
      {"the bank named twice",
       [](const std::string& text) { return text + "0000000000000000 48716 default.fxb\n"; }, kept},
      {"another size",
       [](const std::string& text) {
         const std::size_t size = text.rfind(' ', text.find(" default.fxb\n") - 1) + 1;
         return text.substr(0, size) + "1" + text.substr(size);
       },
       changed},
      {"larger than a manifest can be",
       [](const std::string& text) { return text + std::string(300 * 1024, '#') + "\n"; }, kept},
  };
  for (const auto& [what, edit, said] : cases) {
    SCOPED_TRACE(what);
    DataFolder data;
    data.installFirst();
    const std::string text = readText(data / kManifest);
    ASSERT_NE(text.find(" default.fxb\n"), std::string::npos) << text;
    const std::string edited = edit(text);
    writeBytes(data / kManifest, Bytes(edited.begin(), edited.end()));
    const RunResult run = data.install(data.later());
    ASSERT_EQ(run.exitCode, 0);
    ASSERT_GT(run.out.size(), 1 + kNames.size());
    EXPECT_EQ(run.out[1 + kNames.size()], said);
    const Bytes expected = (said == updated ? laterRelease() : thisRelease()).at("default.fxb");
    EXPECT_TRUE(readBytes(data / "default.fxb") == expected);
    // Written again, it holds records of plain names only.
    EXPECT_EQ(readText(data / kManifest).find("outside"), std::string::npos);
  }
}

// Another process renders the same samples: compared once installed.
TEST(ZvxDataTool, RendersSamplesAsInProcessAndRefusesABrokenRecipe) {
  TempDocuments documents(false);
  const fs::path scratch = documents.documents();
  // Installing from a folder laid out as the build leaves it is DataFolder::installFirst's.
  const fs::path rendered = scratch / "samples";
  const RunResult samples = runData({"samples", (kSource / "samples").string(), rendered.string()}, scratch);
  ASSERT_EQ(samples.exitCode, 0);
  EXPECT_TRUE(samples.err.empty());
  for (const std::string& name : kNames)
    EXPECT_TRUE(readBytes(rendered / (name + ".wav")) == defaultSamples().at(name)) << name;

  fs::create_directories(scratch / "recipes");
  std::ofstream(scratch / "recipes" / "BAD.recipe") << "length = 0.2\n[layer a]\nsource = saw\n";
  const RunResult bad = runData({"samples", (scratch / "recipes").string(), (scratch / "out").string()}, scratch);
  EXPECT_EQ(bad.exitCode, 1);
  EXPECT_EQ(bad.err, Lines{"zvx-data: BAD.recipe:3: source 'saw' is not sine, triangle, square, pulse or noise"});
}

}  // namespace
}  // namespace zvx::test
