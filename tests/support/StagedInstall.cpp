#include "tests/support/StagedInstall.h"

#include "instrument/BankImage.h"
#include "storage/FxbFile.h"

namespace zvx::test {

const std::filesystem::path& stagedPrefix() {
  static const TempFolder prefix;
  static const bool installed = [] {
    const ProgramRun run =
        runProgram(ZVX_CMAKE, {"--install", ZVX_BUILD_TREE, "--prefix", prefix.path().string()}, prefix.path());
    if (run.exitCode != 0) std::fprintf(stderr, "cmake --install failed:\n%s%s", run.out.c_str(), run.err.c_str());
    return run.exitCode == 0;
  }();
  if (!installed) std::abort();
  return prefix.path();
}

FreshUser::FreshUser() {}

std::map<std::string, std::vector<unsigned char>> filesBelow(const std::filesystem::path& folder) {
  std::map<std::string, std::vector<unsigned char>> files;
  std::error_code error;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(folder, error))
    if (entry.is_regular_file()) files[std::filesystem::relative(entry.path(), folder).generic_string()] = readBytes(entry.path());
  return files;
}

std::string fileDifferences(const std::map<std::string, std::vector<unsigned char>>& expected,
                            const std::map<std::string, std::vector<unsigned char>>& actual) {
  std::string differences;
  for (const auto& [name, bytes] : expected) {
    const auto found = actual.find(name);
    if (found == actual.end())
      differences += "missing " + name + "\n";
    else if (found->second != bytes)
      differences += "different " + name + "\n";
  }
  for (const auto& [name, bytes] : actual)
    if (!expected.count(name)) differences += "extra " + name + "\n";
  return differences;
}

std::vector<std::string> defaultProgramNames() {
  const std::vector<unsigned char> file = readBytes(std::filesystem::path(ZVX_BUILD_TREE) / "data" / "default.fxb");
  const auto bank = FxbFile::parse(file);
  std::vector<std::string> names;
  if (!bank || bank->chunk.size() != BankImage::kSize) return names;
  BankImage image;
  image.writeBank(bank->chunk.data());
  for (int p = 0; p < BankImage::kPrograms; ++p) names.push_back(image.programName(p));
  return names;
}

}  // namespace zvx::test
