#include "tools/zvx-data/SampleSet.h"

#include <algorithm>
#include <map>

#include "tools/zvx-data/RecipeError.h"
#include "tools/zvx-data/RecipeParser.h"
#include "tools/zvx-data/RegularFile.h"
#include "tools/zvx-data/SampleRenderer.h"
#include "tools/zvx-data/WavWriter.h"

namespace zvx::data {
namespace {

namespace fs = std::filesystem;

std::vector<std::uint8_t> readBytes(const fs::path& path) {
  std::optional<std::vector<std::uint8_t>> bytes = readRegularFile(path);
  if (!bytes) throw RecipeError(path.string() + ": cannot be read");
  return std::move(*bytes);
}

// Names end up in file names on every system the plug-in runs on.
bool plainName(const std::string& name) {
  return !name.empty() && name.size() <= 32 && std::all_of(name.begin(), name.end(), [](char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' || c == '-';
  });
}

}  // namespace

SampleSet SampleSet::load(const fs::path& folder) {
  std::error_code error;
  if (!fs::is_directory(folder, error)) throw RecipeError(folder.string() + ": no such folder");

  // Sorted by name, so the output order does not depend on the file system.
  std::map<std::string, fs::path> recipes;
  std::map<std::string, fs::path> rendered;
  for (const fs::directory_entry& entry : fs::directory_iterator(folder, error)) {
    if (!entry.is_regular_file(error)) continue;
    const fs::path& path = entry.path();
    const std::string name = path.stem().string();
    if (!plainName(name)) continue;
    if (path.extension() == ".recipe") recipes[name] = path;
    if (path.extension() == ".wav") rendered[name] = path;
  }
  if (error) throw RecipeError(folder.string() + ": " + error.message());

  std::map<std::string, std::vector<std::uint8_t>> bytes;
  for (const auto& [name, path] : recipes) {
    const std::vector<std::uint8_t> text = readBytes(path);
    const Recipe recipe = RecipeParser::parse(std::string_view(reinterpret_cast<const char*>(text.data()), text.size()),
                                              name, path.filename().string());
    bytes[name] = WavWriter::encode(SampleRenderer::render(recipe), SampleRenderer::kSampleRate);
  }
  for (const auto& [name, path] : rendered)
    if (!bytes.count(name)) bytes[name] = readBytes(path);

  SampleSet set;
  for (auto& [name, content] : bytes) set.files_.push_back({name + ".wav", std::move(content)});
  return set;
}

bool SampleSet::writeAll(const fs::path& folder, std::string& error) const {
  std::error_code ignored;
  fs::create_directories(folder, ignored);
  for (const File& file : files_) {
    if (!WavWriter::write(folder / file.name, file.bytes)) {
      error = (folder / file.name).string() + ": cannot be written";
      return false;
    }
  }
  return true;
}

bool SampleSet::install(const fs::path& folder, const std::function<void(const std::string&, bool)>& report,
                        std::string& error) const {
  for (const File& file : files_) {
    const fs::path target = folder / file.name;
    // Anything by that name counts as the user's, even a broken link.
    std::error_code status;
    if (fs::exists(fs::symlink_status(target, status))) {
      report(file.name, false);
      continue;
    }
    if (!WavWriter::write(target, file.bytes)) {
      error = target.string() + ": cannot be written";
      return false;
    }
    report(file.name, true);
  }
  return true;
}

}  // namespace zvx::data
