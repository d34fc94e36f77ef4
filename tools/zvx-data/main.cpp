// zvx-data: sets up the per-user data folder the plug-in reads its files from,
// and renders the default samples from their recipes.
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>

#include "host/platform/Platform.h"
#include "storage/DataFolder.h"
#include "tools/zvx-data/RecipeError.h"
#include "tools/zvx-data/SampleSet.h"

namespace {

namespace fs = std::filesystem;
using zvx::data::SampleSet;

int usage() {
  std::fputs(
      "usage: zvx-data install [SOURCE]\n"
      "       zvx-data samples RECIPES OUTPUT\n"
      "\n"
      "  install   creates the documents folder when it is missing, then the ZVX\n"
      "            data folder inside it, and prints the data folder's path.\n"
      "            With SOURCE (the source tree's data folder, or the build's),\n"
      "            it then installs the default samples from SOURCE/samples into\n"
      "            the data folder, one line each: 'installed NAME' for a new file,\n"
      "            'kept NAME' where the data folder already has that file.\n"
      "  samples   renders every NAME.recipe in RECIPES to OUTPUT/NAME.wav,\n"
      "            replacing what is there.\n"
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

int samples(const fs::path& recipes, const fs::path& output) {
  std::optional<SampleSet> set = loadSamples(recipes);
  if (!set) return 1;
  std::string error;
  if (!set->writeAll(output, error)) {
    std::fprintf(stderr, "zvx-data: %s\n", error.c_str());
    return 1;
  }
  return 0;
}

int install(const std::optional<fs::path>& source) {
  // Rendered before any folder is made, so a broken recipe changes nothing.
  std::optional<SampleSet> set;
  if (source) {
    set = loadSamples(*source);
    if (!set) return 1;
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
  std::string failure;
  const bool written = set->install(
      folder,
      [](const std::string& name, bool installed) { std::printf("%s %s\n", installed ? "installed" : "kept", name.c_str()); },
      failure);
  if (!written) {
    std::fflush(stdout);
    std::fprintf(stderr, "zvx-data: %s\n", failure.c_str());
    return 1;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 2 && std::strcmp(argv[1], "install") == 0) {
    if (argc == 2) return install(std::nullopt);
    if (argc == 3) return install(fs::path(argv[2]));
  }
  if (argc == 4 && std::strcmp(argv[1], "samples") == 0) return samples(argv[2], argv[3]);
  return usage();
}
