// The default skin as files: rendered from a source folder that holds
// skin.xml and the art description, or taken as they are from a folder
// already rendered (the build's data/skin).
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "tools/zvx-data/SkinArt.h"

namespace zvx::data {

class SkinSet {
 public:
  using File = SkinArt::File;

  // Throws SkinError for an unreadable folder or a broken source.
  static SkinSet load(const std::filesystem::path& folder);

  const std::vector<File>& files() const { return files_; }

  // Writes every file into `folder`, replacing what is there. False, with
  // `error` set, when a file cannot be written.
  bool writeAll(const std::filesystem::path& folder, std::string& error) const;

 private:
  std::vector<File> files_;
};

}  // namespace zvx::data
