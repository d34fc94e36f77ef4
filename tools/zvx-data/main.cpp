// zvx-data: sets up the per-user data folder the plug-in reads its files from,
// renders the default samples from their recipes and the default skin from
// its layout and art.
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <span>
#include <vector>
#include <string>

#include "platform/Platform.h"
#include "storage/DataFolder.h"
#include "tools/zvx-data/BankSource.h"
#include "image/PngCodec.h"
#include "storage/WholeFile.h"
#include "tools/zvx-data/FileUpdater.h"
#include "tools/zvx-data/IconArt.h"
#include "tools/zvx-data/RecipeError.h"
#include "tools/zvx-data/RegularFile.h"
#include "tools/zvx-data/SampleSet.h"
#include "tools/zvx-data/SkinError.h"
#include "tools/zvx-data/SkinSet.h"

namespace {

namespace fs = std::filesystem;
using zvx::data::BankSource;
using zvx::data::FileUpdater;
using zvx::data::SampleSet;
using zvx::data::SkinSet;

constexpr const char* kWizardFile = "sound wizard.xml";

int usage() {
  std::fputs(
      "usage: zvx-data install [SOURCE]\n"
      "       zvx-data samples RECIPES OUTPUT\n"
      "       zvx-data bank BANK-SOURCE OUTPUT.fxb\n"
      "       zvx-data skin SKIN-SOURCE OUTPUT\n"
      "       zvx-data icon OUTPUT\n"
      "       zvx-data --version\n"
      "\n"
      "  install   creates the documents folder when it is missing, then the ZVX\n"
      "            data folder inside it, and prints the data folder's path.\n"
      "            With SOURCE (the source tree's data folder, or the build's),\n"
      "            it then installs the default samples from SOURCE/samples into\n"
      "            the data folder, one line each: 'installed NAME' for a new\n"
      "            file, 'kept NAME' where the data folder already has that file.\n"
      "            Then the default bank (SOURCE/bank/default.bank, or a built\n"
      "            SOURCE/default.fxb) as default.fxb, the skin when SOURCE has\n"
      "            one (SOURCE/skin, its sources or as rendered) as skin/NAME,\n"
      "            and SOURCE/sound wizard.xml, one line each:\n"
      "              installed NAME   there was no such file\n"
      "              updated NAME     it was as an earlier install left it\n"
      "              up-to-date NAME  it is this version already\n"
      "              kept NAME: WHY   it was changed, or not installed by\n"
      "                               zvx-data: it stays, and this version\n"
      "                               is written beside it as NAME.new\n"
      "            What it installed is recorded in 'zvx-data manifest.txt' in\n"
      "            the data folder, for the next install to compare against.\n"
      "  samples   renders every NAME.recipe in RECIPES to OUTPUT/NAME.wav,\n"
      "            replacing what is there.\n"
      "  bank      builds the default bank from its source as a chunk bank.\n"
      "  skin      renders the skin in SKIN-SOURCE (skin.xml and art.txt; or a\n"
      "            data folder holding skin/) into OUTPUT: skin.xml and the\n"
      "            bitmaps it names, replacing what is there.\n"
      "  icon      draws zvx's application icon into OUTPUT: zvx.svg and a\n"
      "            256-pixel zvx.png.\n"
      "\n"
      "The documents folder is ZVX_DOCUMENTS when set, else the system's own\n"
      "(XDG_DOCUMENTS_DIR, ~/.config/user-dirs.dirs, or ~/Documents).\n",
      stderr);
  return 2;
}

// Recipes or rendered samples: SOURCE/samples, or SOURCE itself when it has none.
std::optional<SampleSet> loadSamples(const fs::path& source) {
  std::error_code error;
  const fs::path folder = fs::is_directory(source / "samples", error) ? source / "samples" : source;
  try {
    SampleSet set = SampleSet::load(folder);
    if (set.files().empty()) {
      std::fprintf(stderr, "zvx-data: %s holds no recipes or samples\n", folder.string().c_str());
      return std::nullopt;
    }
    return set;
  } catch (const zvx::data::RecipeError& failure) {
    std::fprintf(stderr, "zvx-data: %s\n", failure.what());
    return std::nullopt;
  }
}

// Writes a loaded set's files into `output`; 1 when it did not load or write.
template <typename Set>
int writeSet(const std::optional<Set>& set, const fs::path& output) {
  if (!set) return 1;
  std::string error;
  if (!set->writeAll(output, error)) {
    std::fprintf(stderr, "zvx-data: %s\n", error.c_str());
    return 1;
  }
  return 0;
}

int samples(const fs::path& recipes, const fs::path& output) { return writeSet(loadSamples(recipes), output); }

// The default bank from SOURCE/bank/default.bank, or as built in SOURCE/default.fxb.
std::optional<std::vector<unsigned char>> loadBank(const fs::path& source) {
  try {
    if (fs::exists(source / "bank" / "default.bank")) return BankSource::load(source / "bank" / "default.bank").fxb();
    std::optional<std::vector<unsigned char>> built = zvx::data::readRegularFile(source / "default.fxb");
    if (!built) std::fprintf(stderr, "zvx-data: %s holds no default bank\n", source.string().c_str());
    return built;
  } catch (const zvx::data::RecipeError& failure) {
    std::fprintf(stderr, "zvx-data: %s\n", failure.what());
    return std::nullopt;
  }
}

bool writeFile(const fs::path& path, const std::vector<unsigned char>& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

int bank(const fs::path& source, const fs::path& output) {
  try {
    if (!writeFile(output, BankSource::load(source).fxb())) {
      std::fprintf(stderr, "zvx-data: cannot write %s\n", output.string().c_str());
      return 1;
    }
  } catch (const zvx::data::RecipeError& failure) {
    std::fprintf(stderr, "zvx-data: %s\n", failure.what());
    return 1;
  }
  return 0;
}

// The skin from SOURCE/skin, or SOURCE itself when it has none; rendered
// when it holds the art's sources, else taken as already rendered.
std::optional<SkinSet> loadSkin(const fs::path& source) {
  std::error_code error;
  const fs::path folder = fs::is_directory(source / "skin", error) ? source / "skin" : source;
  try {
    return SkinSet::load(folder);
  } catch (const zvx::data::SkinError& failure) {
    std::fprintf(stderr, "zvx-data: %s\n", failure.what());
    return std::nullopt;
  }
}

int skin(const fs::path& source, const fs::path& output) { return writeSet(loadSkin(source), output); }

int icon(const fs::path& output) {
  std::error_code ignored;
  fs::create_directories(output, ignored);
  const std::string svg = zvx::data::IconArt::svg();
  if (!zvx::saveWholeFile((output / "zvx.svg").string(), svg.data(), svg.size()) ||
      !zvx::gui::PngCodec::writeFile(zvx::data::IconArt::render(256), (output / "zvx.png").string())) {
    std::fprintf(stderr, "zvx-data: cannot write the icon into %s\n", output.string().c_str());
    return 1;
  }
  return 0;
}

std::optional<std::vector<unsigned char>> readFile(const fs::path& path) {
  std::optional<std::vector<unsigned char>> bytes = zvx::data::readRegularFile(path);
  if (!bytes) std::fprintf(stderr, "zvx-data: cannot read %s\n", path.string().c_str());
  return bytes;
}

// The bank, the skin and the wizard: updated while unchanged since an
// earlier install, kept (with the new version beside) once the user edits them.
bool installOwnFiles(FileUpdater& updater, const std::vector<unsigned char>& defaultBank,
                     const std::optional<SkinSet>& skinSet, const std::optional<std::vector<unsigned char>>& wizard) {
  std::string line;
  bool ok = true;
  auto install = [&](const std::string& name, std::span<const unsigned char> bytes) {
    if (!ok) return;
    if (updater.install(name, bytes, line) != FileUpdater::Outcome::Failed) {
      std::printf("%s\n", line.c_str());
      return;
    }
    ok = false;
    std::fflush(stdout);
    std::fprintf(stderr, "zvx-data: %s\n", line.c_str());
  };
  install("default.fxb", defaultBank);
  if (skinSet)
    for (const SkinSet::File& file : skinSet->files()) install("skin/" + file.name, file.bytes);
  if (wizard) install(kWizardFile, *wizard);
  // What was done is recorded even after a failure, so the next install knows it.
  std::string error;
  if (!updater.save(error)) {
    std::fflush(stdout);
    std::fprintf(stderr, "zvx-data: %s\n", error.c_str());
    return false;
  }
  return ok;
}

int install(const std::optional<fs::path>& source) {
  // Built before any folder is made, so a broken source changes nothing.
  std::optional<SampleSet> set;
  std::optional<std::vector<unsigned char>> defaultBank;
  std::optional<SkinSet> skinSet;
  std::optional<std::vector<unsigned char>> wizard;
  if (source) {
    set = loadSamples(*source);
    defaultBank = loadBank(*source);
    if (!set || !defaultBank) return 1;
    // The skin and the wizard are optional parts of a source.
    std::error_code missing;
    if (fs::is_directory(*source / "skin", missing) && !(skinSet = loadSkin(*source))) return 1;
    if (fs::exists(*source / kWizardFile, missing) && !(wizard = readFile(*source / kWizardFile))) return 1;
  }
  auto documents = zvx::platform::documentsFolder();
  if (!documents) {
    std::fputs("zvx-data: no documents folder is known (set HOME or ZVX_DOCUMENTS)\n", stderr);
    return 1;
  }
  // The user's own documents folder may not exist yet on a fresh system.
  std::error_code error;
  std::filesystem::create_directories(*documents, error);
  std::string folder;
  if (!zvx::findDataFolder("ZVX", folder)) {
    std::fprintf(stderr, "zvx-data: cannot create the data folder below %s\n", documents->c_str());
    return 1;
  }
  std::printf("%s\n", folder.c_str());
  if (!set) return 0;
  // The manifest first: one that cannot be taken stops the install before it writes anything.
  std::string failure;
  std::optional<FileUpdater> updater = FileUpdater::open(folder, failure);
  if (!updater) {
    std::fflush(stdout);
    std::fprintf(stderr, "zvx-data: %s\n", failure.c_str());
    return 1;
  }
  const bool written = set->install(
      folder,
      [](const std::string& name, bool installed) { std::printf("%s %s\n", installed ? "installed" : "kept", name.c_str()); },
      failure);
  if (!written) {
    std::fflush(stdout);
    std::fprintf(stderr, "zvx-data: %s\n", failure.c_str());
    return 1;
  }
  return installOwnFiles(*updater, *defaultBank, skinSet, wizard) ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
    std::printf("zvx-data %s\n", ZVX_VERSION);
    return 0;
  }
  if (argc >= 2 && std::strcmp(argv[1], "install") == 0) {
    if (argc == 2) return install(std::nullopt);
    if (argc == 3) return install(fs::path(argv[2]));
  }
  if (argc == 4 && std::strcmp(argv[1], "samples") == 0) return samples(argv[2], argv[3]);
  if (argc == 4 && std::strcmp(argv[1], "bank") == 0) return bank(argv[2], argv[3]);
  if (argc == 4 && std::strcmp(argv[1], "skin") == 0) return skin(argv[2], argv[3]);
  if (argc == 3 && std::strcmp(argv[1], "icon") == 0) return icon(argv[2]);
  return usage();
}
