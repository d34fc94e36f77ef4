// ZVX as a packager installs it (cmake --install into a staging prefix), and
// a fresh user of it: a home of their own, no documents or data folder yet.
#pragma once

#include <filesystem>
#include <optional>

#include "tests/support/TestSupport.h"

namespace zvx::test {

// This build installed once per test program into a temporary prefix; the
// run ends the test when the install fails.
const std::filesystem::path& stagedPrefix();

// A user who has never run ZVX, for the life of the object: HOME is an empty
// folder, and neither ZVX_DOCUMENTS nor the XDG variables name another
// documents folder, so ZVX's data folder is HOME/Documents/Tonewerk Data/ZVX.
class FreshUser {
 public:
  FreshUser();
  const std::filesystem::path& home() const { return home_.path(); }
  std::filesystem::path dataFolder() const { return home() / "Documents" / "Tonewerk Data" / "ZVX"; }

 private:
  TempFolder home_{"HOME"};
  ScopedEnv documents_{"ZVX_DOCUMENTS", nullptr};
  ScopedEnv xdgDocuments_{"XDG_DOCUMENTS_DIR", nullptr};
  ScopedEnv xdgConfig_{"XDG_CONFIG_HOME", nullptr};
};

// Every regular file below `folder` with its bytes, by its name there ('/' between folders).
std::map<std::string, std::vector<unsigned char>> filesBelow(const std::filesystem::path& folder);

// What tells the files of `actual` from those of `expected`, by name: "missing NAME", "extra NAME",
// "different NAME", one a line; empty when they are the same.
std::string fileDifferences(const std::map<std::string, std::vector<unsigned char>>& expected,
                            const std::map<std::string, std::vector<unsigned char>>& actual);

// The names of the programs of the bank the build installs, as a plug-in names them.
std::vector<std::string> defaultProgramNames();

}  // namespace zvx::test
