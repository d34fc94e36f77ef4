#include "tools/zvx-data/FileUpdater.h"

#include <algorithm>
#include <cstdio>
#include <optional>
#include <vector>

#include "platform/Platform.h"
#include "storage/WholeFile.h"

namespace zvx::data {
namespace {

namespace fs = std::filesystem;

// The file at `path` in short, read in pieces (a user's file may be large),
// and whether it is byte for byte `bytes`. Nothing when it cannot be read.
struct Comparison {
  InstallManifest::Digest digest;
  bool identical = false;
};

std::optional<Comparison> compare(const fs::path& path, std::span<const std::uint8_t> bytes) {
  std::FILE* file = platform::openRegularFile(path.string());
  if (!file) return std::nullopt;
  Comparison result;
  result.identical = true;
  std::uint64_t checksum = InstallManifest::kChecksumStart;
  std::vector<std::uint8_t> piece(64 * 1024);
  std::size_t count;
  while ((count = std::fread(piece.data(), 1, piece.size(), file)) > 0) {
    const std::span<const std::uint8_t> read(piece.data(), count);
    const std::uint64_t at = result.digest.size;
    result.identical = result.identical && at + count <= bytes.size() &&
                       std::equal(read.begin(), read.end(), bytes.begin() + static_cast<std::ptrdiff_t>(at));
    checksum = InstallManifest::checksum(checksum, read);
    result.digest.size += count;
  }
  const bool failed = std::ferror(file) != 0;
  std::fclose(file);
  if (failed) return std::nullopt;
  result.digest.checksum = checksum;
  result.identical = result.identical && result.digest.size == bytes.size();
  return result;
}

bool writeWhole(const fs::path& path, std::span<const std::uint8_t> bytes) {
  std::error_code ignored;
  fs::create_directories(path.parent_path(), ignored);
  return saveWholeFile(path.string(), bytes.data(), bytes.size());
}

}  // namespace

std::optional<FileUpdater> FileUpdater::open(fs::path folder, std::string& error) {
  std::optional<InstallManifest> manifest = InstallManifest::read((folder / InstallManifest::kFileName).string(), error);
  if (!manifest) return std::nullopt;
  return FileUpdater(std::move(folder), std::move(*manifest));
}

std::string FileUpdater::linkOutOfFolder(const fs::path& folder, const std::string& name) {
  std::error_code error;
  const fs::path root = fs::weakly_canonical(folder, error);
  fs::path inside;
  const fs::path relative = fs::path(name).parent_path();
  for (const fs::path& part : relative) {
    inside /= part;
    if (!fs::is_symlink(fs::symlink_status(folder / inside, error))) continue;
    // Where the link leads, whether or not anything is there yet.
    const fs::path target = fs::weakly_canonical(folder / inside, error);
    const auto [rootEnd, targetAt] = std::mismatch(root.begin(), root.end(), target.begin(), target.end());
    if (error || rootEnd != root.end()) return inside.generic_string();
  }
  return {};
}

FileUpdater::Outcome FileUpdater::install(const std::string& name, std::span<const std::uint8_t> bytes,
                                          std::string& line) {
  const fs::path path = folder_ / fs::path(name);
  const InstallManifest::Digest digest = InstallManifest::digestOf(bytes);
  auto failed = [&line](const fs::path& file, const char* problem) {
    line = file.string() + problem;
    return Outcome::Failed;
  };
  auto done = [&](Outcome outcome, const char* said) {
    manifest_.record(name, digest);
    line = said + (" " + name);
    return outcome;
  };

  // The user's own arrangement, which may hold their own files of these names.
  if (const std::string link = linkOutOfFolder(folder_, name); !link.empty()) {
    line = "kept " + name + ": " + link + " is a link that leads out of the data folder, where zvx-data never writes";
    return Outcome::Kept;
  }
  std::error_code error;
  const fs::file_status status = fs::symlink_status(path, error);
  if (!fs::exists(status)) {
    if (!writeWhole(path, bytes)) return failed(path, ": cannot be written");
    return done(Outcome::Installed, "installed");
  }
  std::string why;
  // A link or a folder by that name is the user's arrangement, not our file.
  if (!fs::is_regular_file(status)) {
    why = "it is not a plain file";
  } else {
    const std::optional<Comparison> present = compare(path, bytes);
    if (!present) return failed(path, ": cannot be read");
    if (present->identical) return done(Outcome::UpToDate, "up-to-date");
    const std::optional<InstallManifest::Digest> installed = manifest_.recorded(name);
    if (installed && *installed == present->digest) {
      if (!writeWhole(path, bytes)) return failed(path, ": cannot be written");
      return done(Outcome::Updated, "updated");
    }
    // Its record, if any, stays: put back as it was installed, the file is
    // updated by the next install.
    why = installed ? "you changed it since it was installed"
                    : "it differs from this version and no install of zvx-data recorded it";
  }
  const fs::path beside = folder_ / fs::path(newVersionName(name));
  if (!writeWhole(beside, bytes)) return failed(beside, ": cannot be written");
  line = "kept " + name + ": " + why + "; the new version is " + newVersionName(name);
  return Outcome::Kept;
}

bool FileUpdater::save(std::string& error) const {
  const std::string text = manifest_.text();
  const fs::path path = folder_ / InstallManifest::kFileName;
  if (saveWholeFile(path.string(), text.data(), text.size())) return true;
  error = path.string() + ": cannot be written";
  return false;
}

}  // namespace zvx::data
