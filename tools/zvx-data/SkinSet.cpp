#include "tools/zvx-data/SkinSet.h"

#include <algorithm>
#include <fstream>
#include <iterator>

#include "tools/zvx-data/RegularFile.h"
#include "tools/zvx-data/SkinError.h"

namespace zvx::data {
namespace {

namespace fs = std::filesystem;

std::string readText(const fs::path& path) {
  const std::optional<std::vector<std::uint8_t>> bytes = readRegularFile(path);
  if (!bytes) throw SkinError(path.string() + ": cannot be read");
  return std::string(bytes->begin(), bytes->end());
}

bool writeBytes(const fs::path& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(file);
}

}  // namespace

SkinSet SkinSet::load(const fs::path& folder) {
  std::error_code error;
  if (!fs::is_directory(folder, error)) throw SkinError(folder.string() + ": no such folder");
  if (!fs::exists(folder / SkinArt::kLayoutFile, error))
    throw SkinError(folder.string() + ": holds no " + SkinArt::kLayoutFile);

  SkinSet set;
  if (fs::exists(folder / SkinArt::kArtFile, error)) {
    set.files_ = SkinArt::render(readText(folder / SkinArt::kLayoutFile), readText(folder / SkinArt::kArtFile));
    return set;
  }
  // Already rendered: every file as it is, in name order.
  for (const fs::directory_entry& entry : fs::directory_iterator(folder, error)) {
    if (!entry.is_regular_file(error)) continue;
    const std::string text = readText(entry.path());
    set.files_.push_back({entry.path().filename().string(), std::vector<std::uint8_t>(text.begin(), text.end())});
  }
  if (error) throw SkinError(folder.string() + ": " + error.message());
  std::sort(set.files_.begin(), set.files_.end(), [](const File& a, const File& b) { return a.name < b.name; });
  return set;
}

bool SkinSet::writeAll(const fs::path& folder, std::string& error) const {
  std::error_code ignored;
  fs::create_directories(folder, ignored);
  for (const File& file : files_) {
    if (!writeBytes(folder / file.name, file.bytes)) {
      error = (folder / file.name).string() + ": cannot be written";
      return false;
    }
  }
  return true;
}

}  // namespace zvx::data
