// Installs and updates zvx-data's own files in the data folder (the default
// bank, the skin, the sound wizard) without losing a user's edits: a file is
// replaced only while it still holds what an earlier install wrote, as the
// install manifest records it, or when it already equals the new version.
// Any other file by that name is kept, and the new version is written beside
// it as NAME.new, where the plug-in never looks but the user finds it. A
// folder on the way to a file that is a link leading out of the data folder
// (a skin folder the user keeps elsewhere) is never written through.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>

#include "storage/InstallManifest.h"

namespace zvx::data {

class FileUpdater {
 public:
  enum class Outcome {
    Installed,  // there was no such file
    Updated,    // it held an earlier install's version, unchanged
    UpToDate,   // it held this version already
    Kept,       // it is not known to be ours, or was changed: left as it is
    Failed,     // something could not be read or written
  };

  // Reads the manifest of the data folder `folder`; nothing, with `error`
  // set, when it cannot be taken (InstallManifest::read).
  static std::optional<FileUpdater> open(std::filesystem::path folder, std::string& error);

  // `name` relative to the data folder, '/' between folders. `line` is what
  // to tell the user: "installed NAME", "updated NAME", "up-to-date NAME",
  // "kept NAME: why; where the new version is", or, when failed, the problem.
  Outcome install(const std::string& name, std::span<const std::uint8_t> bytes, std::string& line);

  // Writes the manifest whole; false, with `error` set, when it cannot.
  bool save(std::string& error) const;

  // NAME.new: where a new version goes when NAME is kept.
  static std::string newVersionName(const std::string& name) { return name + ".new"; }

  // The first folder on the way to `name` (relative to the data folder `folder`)
  // that is a link leading out of it, as relative to it; empty when there is none.
  static std::string linkOutOfFolder(const std::filesystem::path& folder, const std::string& name);

 private:
  FileUpdater(std::filesystem::path folder, InstallManifest manifest)
      : folder_(std::move(folder)), manifest_(std::move(manifest)) {}

  std::filesystem::path folder_;
  InstallManifest manifest_;
};

}  // namespace zvx::data
