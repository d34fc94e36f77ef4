// The default samples as files: every NAME.recipe of a folder rendered to
// NAME.wav, plus any NAME.wav there without a recipe (an already rendered
// folder such as the build's data/samples) taken as it is.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace zvx::data {

class SampleSet {
 public:
  struct File {
    std::string name;  // NAME.wav
    std::vector<std::uint8_t> bytes;
  };

  // Throws RecipeError for an unreadable folder or recipe.
  static SampleSet load(const std::filesystem::path& folder);

  const std::vector<File>& files() const { return files_; }

  // Writes every file into `folder`, replacing what is there. False, with
  // `error` set, when a file cannot be written.
  bool writeAll(const std::filesystem::path& folder, std::string& error) const;

  // Writes the files `folder` does not have yet and leaves the ones it has,
  // which may be the user's own edits. `report(name, installed)` hears about
  // each file. False, with `error` set, when a file cannot be written.
  bool install(const std::filesystem::path& folder, const std::function<void(const std::string&, bool)>& report,
               std::string& error) const;

 private:
  std::vector<File> files_;
};

}  // namespace zvx::data
