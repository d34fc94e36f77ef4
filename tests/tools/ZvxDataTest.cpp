// zvx-data: the default samples as files and as drums, then the executable end to end.

#include <sys/stat.h>

#include "tests/support/StagedInstall.h"
#include "tests/support/TestSupport.h"
#include "tools/zvx-data/BankSource.h"
#include "tools/zvx-data/SampleSet.h"
#include "tools/zvx-data/SkinSet.h"

namespace zvx::test {
namespace {

using Lines = std::vector<std::string>;
using data::SampleSet;

const std::vector<std::string> kNames = {"BDA", "BDB", "CPA", "CPB", "HHA", "HHB", "SDA", "SDB"};
const fs::path kSource = ZVX_DATA_SOURCE;

// Rendered once: each sample takes a few milliseconds.
const std::map<std::string, Bytes>& defaultSamples() {
  static const std::map<std::string, Bytes> samples = [] {
    std::map<std::string, Bytes> result;
    const SampleSet set = SampleSet::load(kSource / "samples");
    for (const SampleSet::File& file : set.files()) result[file.name.substr(0, file.name.size() - 4)] = file.bytes;
    return result;
  }();
  return samples;
}

// The samples after the 44-byte header the first test checks.
std::vector<std::int16_t> samplesOf(const std::string& name) {
  const Bytes& bytes = defaultSamples().at(name);
  std::vector<std::int16_t> samples;
  for (std::size_t at = 44; at + 1 < bytes.size(); at += 2)
    samples.push_back(static_cast<std::int16_t>(bytes[at] | bytes[at + 1] << 8));
  return samples;
}

double peakDecibels(const std::vector<std::int16_t>& samples) {
  int peak = 0;
  for (int s : samples) peak = std::max(peak, std::abs(s));
  return 20.0 * std::log10(peak / 32767.0);
}

// Energies below and above `corner`, 12 dB an octave, by bilinear one-poles
// (which shut fully at Nyquist).
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

TEST(DefaultSamples, EveryRecipeRendersAFileThePlugInReadsAtFullLevelWithoutClicks) {
  std::vector<std::string> names;
  for (const auto& [name, bytes] : defaultSamples()) {
    names.push_back(name);
    // The canonical 16-bit mono 44100 Hz file, shorter than the 98000 samples a layer holds.
    const std::vector<std::int16_t> samples = samplesOf(name);
    EXPECT_TRUE(bytes == monoWav(samples)) << name;
    EXPECT_LT(samples.size(), 98000u) << name;
    // Near full scale, within 12 dB of it in the first 5 ms, faded out at the end.
    const double peak = peakDecibels(samples);
    EXPECT_TRUE(peak >= -2.0 && peak <= 0.0) << name << " " << peak;
    EXPECT_GE(peakDecibels(std::vector<std::int16_t>(samples.begin(), samples.begin() + 220)), peak - 12.0) << name;
    EXPECT_LE(std::abs(samples.front()), 32) << name;
    EXPECT_EQ(samples.back(), 0) << name;
    for (std::size_t i = samples.size() - 10; i < samples.size(); ++i) EXPECT_LE(std::abs(samples[i]), 64) << name;
  }
  EXPECT_EQ(names, kNames);
}

// Kicks are low, hats high, snares and claps in between: not boomy, not all sizzle.
TEST(DefaultSamples, KicksAreLowHatsAreHighAndTheVariantsDiffer) {
  for (const std::string& name : kNames) {
    const auto [belowLow, aboveLow] = lowAndHighEnergy(samplesOf(name), 150.0);
    const auto [belowHigh, aboveHigh] = lowAndHighEnergy(samplesOf(name), 5000.0);
    if (name.starts_with("BD"))
      EXPECT_GT(belowLow, 4.0 * aboveLow) << name;
    else if (name.starts_with("HH"))
      EXPECT_GT(aboveHigh, 4.0 * belowHigh) << name;
    else
      EXPECT_TRUE(aboveLow > belowLow && belowHigh > aboveHigh) << name;
  }
  // The 808-style kick outlasts the punchy one, the open hat the closed.
  EXPECT_GT(audibleLength(samplesOf("BDB"), -40.0), audibleLength(samplesOf("BDA"), -40.0) + 4410);
  EXPECT_GT(audibleLength(samplesOf("HHB"), -40.0), 3 * audibleLength(samplesOf("HHA"), -40.0));
}

// The files an install keeps up to date, by their names in the data folder.
using Release = std::map<std::string, Bytes>;

constexpr const char* kManifest = "zvx-data manifest.txt";

// Made once: the skin takes a second to draw.
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
const Release& laterRelease() {
  static const Release release = [] {
    Release files = thisRelease();
    files["default.fxb"].back() ^= 1;
    const std::string comment = "<!-- later -->\n";
    for (const char* name : {"skin/skin.xml", "sound wizard.xml"})
      files[name].insert(files[name].end(), comment.begin(), comment.end());
    return files;
  }();
  return release;
}

// A release laid out as the build leaves its data folder.
fs::path writeSource(const fs::path& folder, const Release& release) {
  fs::create_directories(folder / "samples");
  for (const auto& [name, bytes] : defaultSamples()) writeBytes(folder / "samples" / (name + ".wav"), bytes);
  for (const auto& [name, bytes] : release) {
    fs::create_directories((folder / name).parent_path());
    writeBytes(folder / name, bytes);
  }
  return folder;
}

// What `install` prints: the folder, a line per sample, then a line per release
// file: "<usual> NAME" unless `unusual` says otherwise.
Lines installLines(const fs::path& folder, const std::set<std::string>& installed, const std::string& usual,
                   const std::map<std::string, std::string>& unusual = {}) {
  Lines lines = {(folder / "").string()};
  for (const std::string& name : kNames) lines.push_back((installed.count(name) ? "installed " : "kept ") + name + ".wav");
  for (const auto& [name, bytes] : thisRelease()) lines.push_back(unusual.count(name) ? unusual.at(name) : usual + " " + name);
  return lines;
}

const std::set<std::string> kAllSamples(kNames.begin(), kNames.end());

// A data folder with this release installed, from the build's layout or the
// source tree (which makes everything from its sources).
class DataFolder {
 public:
  explicit DataFolder(bool fromSourceTree = false) : documents_(false) {
    const ProgramRun run = install(fromSourceTree ? kSource : writeSource(scratch() / "first", thisRelease()));
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(linesOf(run.out), installLines(folder(), kAllSamples, "installed"));
  }
  fs::path scratch() const { return documents_.documents(); }
  fs::path folder() const { return documents_.dataFolder(); }
  fs::path operator/(const std::string& name) const { return folder() / name; }
  ProgramRun install(const fs::path& source) const { return runProgram(ZVX_DATA_PATH, {"install", source.string()}, scratch()); }
  Lines installLater() const {
    if (!fs::exists(scratch() / "later")) writeSource(scratch() / "later", laterRelease());
    const ProgramRun run = install(scratch() / "later");
    EXPECT_EQ(run.exitCode, 0) << run.err;
    return linesOf(run.out);
  }

 private:
  TempDocuments documents_;
};

TEST(ZvxDataTool, InstallsSamplesBankSkinAndWizardAndNeverOverwritesTheUsersSamples) {
  const DataFolder data(true);
  for (const std::string& name : kNames) EXPECT_TRUE(readBytes(data / (name + ".wav")) == defaultSamples().at(name)) << name;
  for (const auto& [name, bytes] : thisRelease()) EXPECT_TRUE(readBytes(data / name) == bytes) << name;

  // The user replaced a sample and deleted another: only the missing one comes back.
  const Bytes own = {'m', 'i', 'n', 'e'};
  writeBytes(data / "BDA.wav", own);
  fs::remove(data / "SDA.wav");
  const ProgramRun second = data.install(kSource);
  ASSERT_EQ(second.exitCode, 0);
  EXPECT_EQ(linesOf(second.out), installLines(data.folder(), {"SDA"}, "up-to-date"));
  EXPECT_EQ(readBytes(data / "BDA.wav"), own);
  EXPECT_TRUE(readBytes(data / "SDA.wav") == defaultSamples().at("SDA"));
}

TEST(ZvxDataTool, UpdatesTheFilesItInstalledAndKeepsTheOnesTheUserChanged) {
  DataFolder data;
  // The manifest with Windows line ends, junk and records of names outside the folder: all ignored.
  std::string manifest = std::string("\x01\xff garbage\r\n") + std::string(3000, 'x') + "\n../outside 1 x\n";
  for (char c : readText(data / kManifest)) manifest += c == '\n' ? std::string("\r\n") : std::string(1, c);
  manifest += "0123456789abcdef 12 ../outside\n";
  writeBytes(data / kManifest, Bytes(manifest.begin(), manifest.end()));
  // The user edits the layout and deletes the background.
  Bytes layout = thisRelease().at("skin/skin.xml");
  layout.insert(layout.end(), {'<', '!', '-', '-', '-', '-', '>', '\n'});
  writeBytes(data / "skin/skin.xml", layout);
  fs::remove(data / "skin/background.bmp");

  const Release& later = laterRelease();
  EXPECT_EQ(data.installLater(),
            installLines(data.folder(), {}, "up-to-date",
                         {{"skin/skin.xml",
                           "kept skin/skin.xml: you changed it since it was installed; the new version is skin/skin.xml.new"},
                          {"skin/background.bmp", "installed skin/background.bmp"},
                          {"default.fxb", "updated default.fxb"},
                          {"sound wizard.xml", "updated sound wizard.xml"}}));
  for (const auto& [name, bytes] : later)
    EXPECT_TRUE(readBytes(data / name) == (name == "skin/skin.xml" ? layout : bytes)) << name;
  EXPECT_TRUE(readBytes(data / "skin/skin.xml.new") == later.at("skin/skin.xml"));
  EXPECT_FALSE(fs::exists(data / "default.fxb.new"));
  EXPECT_EQ(readText(data / kManifest).find("outside"), std::string::npos);

  // Put back as first installed, the layout is updated again.
  writeBytes(data / "skin/skin.xml", thisRelease().at("skin/skin.xml"));
  EXPECT_EQ(data.installLater(),
            installLines(data.folder(), {}, "up-to-date", {{"skin/skin.xml", "updated skin/skin.xml"}}));
  EXPECT_TRUE(readBytes(data / "skin/skin.xml") == later.at("skin/skin.xml"));
  // Nothing half-written is left behind.
  for (const auto& entry : fs::recursive_directory_iterator(data.folder()))
    EXPECT_EQ(entry.path().filename().string().find(".saving-"), std::string::npos) << entry.path();
}

TEST(ZvxDataTool, AFolderFromBeforeTheManifestKeepsWhatDiffersFromTheNewVersion) {
  DataFolder data;
  // As an install without a record left it; the wizard is a link of the user's.
  fs::remove(data / kManifest);
  fs::remove(data / "sound wizard.xml");
  writeBytes(data.scratch() / "my wizard.xml", {'<', 'W', '/', '>'});
  fs::create_symlink(data.scratch() / "my wizard.xml", data / "sound wizard.xml");

  const std::string unknown = ": it differs from this version and no install of zvx-data recorded it; the new version is ";
  const Lines expected = installLines(
      data.folder(), {}, "up-to-date",
      {{"sound wizard.xml", "kept sound wizard.xml: it is not a plain file; the new version is sound wizard.xml.new"},
       {"default.fxb", "kept default.fxb" + unknown + "default.fxb.new"},
       {"skin/skin.xml", "kept skin/skin.xml" + unknown + "skin/skin.xml.new"}});
  // Twice: what it kept, it did not record as its own.
  for (int run = 0; run < 2; ++run) {
    SCOPED_TRACE(run);
    EXPECT_EQ(data.installLater(), expected);
    for (const std::string name : {"default.fxb", "skin/skin.xml"}) {
      EXPECT_TRUE(readBytes(data / name) == thisRelease().at(name)) << name;
      EXPECT_TRUE(readBytes(data / (name + ".new")) == laterRelease().at(name)) << name;
    }
    EXPECT_EQ(readText(data.scratch() / "my wizard.xml"), "<W/>");
    EXPECT_TRUE(fs::is_symlink(data / "sound wizard.xml"));
  }
  // The user takes the new bank by removing theirs.
  fs::remove(data / "default.fxb");
  EXPECT_EQ(data.installLater().at(1 + kNames.size()), "installed default.fxb");
  EXPECT_TRUE(readBytes(data / "default.fxb") == laterRelease().at("default.fxb"));
}

// A pipe by the manifest's name would block the reading for ever.
TEST(ZvxDataTool, RefusesAManifestThatIsNoRegularFileBeforeWritingAnything) {
  DataFolder data;
  fs::remove(data / kManifest);
  ASSERT_EQ(mkfifo((data / kManifest).c_str(), 0644), 0);
  fs::remove(data / "skin/skin.xml");
  fs::remove(data / "BDA.wav");
  writeSource(data.scratch() / "later", laterRelease());
  // Were the pipe opened, the test fails in time instead of hanging.
  const ProgramRun run = runProgram("/usr/bin/timeout", {"-k", "5", "120", ZVX_DATA_PATH, "install",
                                                         (data.scratch() / "later").string()}, data.scratch());
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(linesOf(run.out), Lines{(data.folder() / "").string()});
  EXPECT_EQ(run.err, "zvx-data: " + (data / kManifest).string() + " is not a regular file; move it away and install again\n");
  EXPECT_TRUE(fs::is_fifo(data / kManifest));
  EXPECT_FALSE(fs::exists(data / "skin/skin.xml"));
  EXPECT_FALSE(fs::exists(data / "BDA.wav"));
}

// A link that stays inside the data folder is just another way there.
TEST(ZvxDataTool, NeverWritesThroughALinkThatLeadsOutOfTheDataFolder) {
  DataFolder data;
  const fs::path mine = data.scratch() / "my skins" / "dark";
  fs::create_directories(mine.parent_path());
  fs::rename(data / "skin", mine);
  fs::remove(mine / "background.bmp");
  writeBytes(mine / "skin.xml", {'<', 'G', 'U', 'I', '/', '>'});
  fs::create_directory_symlink(mine, data / "skin");
  const auto before = filesBelow(mine.parent_path());

  std::map<std::string, std::string> kept;
  for (const auto& [name, bytes] : laterRelease())
    kept[name] = name.starts_with("skin/")
                     ? "kept " + name + ": skin is a link that leads out of the data folder, where zvx-data never writes"
                     : "updated " + name;
  EXPECT_EQ(data.installLater(), installLines(data.folder(), {}, "up-to-date", kept));
  EXPECT_EQ(filesBelow(mine.parent_path()), before);
  EXPECT_TRUE(readBytes(data / "default.fxb") == laterRelease().at("default.fxb"));

  // Inside the folder: the skin kept under skins/, reached by a relative link.
  fs::remove(data / "skin");
  fs::create_directories(data / "skins");
  fs::rename(mine, data / "skins" / "dark");
  fs::create_directory_symlink("skins/dark", data / "skin");
  const Lines lines = data.installLater();
  EXPECT_NE(std::find(lines.begin(), lines.end(), "installed skin/background.bmp"), lines.end());
  EXPECT_TRUE(readBytes(data / "skins/dark/background.bmp") == laterRelease().at("skin/background.bmp"));
  EXPECT_TRUE(fs::is_symlink(data / "skin"));
}

TEST(ZvxDataTool, RendersSamplesAsInProcessAndRefusesABrokenRecipe) {
  TempDocuments documents(false);
  const fs::path scratch = documents.documents();
  const fs::path rendered = scratch / "samples";
  const ProgramRun samples = runProgram(ZVX_DATA_PATH, {"samples", (kSource / "samples").string(), rendered.string()}, scratch);
  ASSERT_EQ(samples.exitCode, 0);
  EXPECT_EQ(samples.err, "");
  for (const std::string& name : kNames)
    EXPECT_TRUE(readBytes(rendered / (name + ".wav")) == defaultSamples().at(name)) << name;

  fs::create_directories(scratch / "recipes");
  std::ofstream(scratch / "recipes" / "BAD.recipe") << "length = 0.2\n[layer a]\nsource = saw\n";
  const ProgramRun bad = runProgram(ZVX_DATA_PATH, {"samples", (scratch / "recipes").string(), (scratch / "out").string()}, scratch);
  EXPECT_EQ(bad.exitCode, 1);
  EXPECT_EQ(bad.err, "zvx-data: BAD.recipe:3: source 'saw' is not sine, triangle, square, pulse or noise\n");
}

}  // namespace
}  // namespace zvx::test
