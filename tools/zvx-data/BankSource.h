// The default bank's source: one readable text file of 128 programs, each a
// name in brackets followed by `Parameter = value` lines. Parameters are named
// as the plug-in names them, without trailing blanks; the four Menu
// parameters also take a sample name (BDA ... CPB) and the on/off parameters
// (Mute, Sync, KeyTrack) `on` or `off`. Unlisted parameters keep their
// defaults. `#` starts a comment.
//
//   [Deep House]
//   Volume = 0.3
//   BDMenu = BDB
//   BDTone = 0.35
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace zvx::data {

class BankSource {
 public:
  struct Program {
    std::string name;                             // at most 23 characters
    std::vector<std::pair<int, float>> settings;  // parameter index, value
  };

  // Throws RecipeError naming the file and line for anything it cannot read.
  static BankSource parse(const std::string& text, const std::string& fileName);
  static BankSource load(const std::filesystem::path& file);

  const std::vector<Program>& programs() const { return programs_; }

  // The bank as the plug-in's bank chunk: parameter records with the table's
  // names and defaults, then the 128 programs.
  std::vector<unsigned char> bankImage() const;
  // A standard chunk bank ('FBCh') file holding that image.
  std::vector<unsigned char> fxb() const;

 private:
  std::vector<Program> programs_;
};

}  // namespace zvx::data
