// zvx-validate itself: it passes a sound instrument and ZVX, and fails each
// deliberately broken instrument in the check that looks for its fault,
// carrying on after a crash.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "tests/support/TestSupport.h"

namespace zvx::test {
namespace {

namespace fs = std::filesystem;

ProgramRun validate(const std::string& module, const std::vector<std::string>& options = {}) {
  std::vector<std::string> arguments = {module};
  arguments.insert(arguments.end(), options.begin(), options.end());
  return runProgram(ZVX_VALIDATE_PATH, arguments, fs::temp_directory_path());
}

bool hasLine(const std::string& out, const std::string& start) {
  for (const std::string& line : linesOf(out))
    if (line.find(start) != std::string::npos) return true;
  return false;
}

std::string module(const char* fault) { return std::string(ZVX_BROKEN_FOLDER) + "/zvx_broken_" + fault + ".so"; }

TEST(ValidateTest, SoundInstrumentPassesEveryCheck) {
  const ProgramRun run = validate(module("none"));
  EXPECT_EQ(run.exitCode, 0) << run.out;
  for (const char* line : {"zvx-validate: ", " 0 failed", "PASS E.realtime ", "SKIP H.editor "})  // it has no editor
    EXPECT_TRUE(hasLine(run.out, line)) << line << "\n" << run.out;
}

// Each fault fails its own check, with the lines that say why, and the checks
// around it still run and pass (after a crash too).
TEST(ValidateTest, EachFaultFailsItsCheckAndTheOthersStillPass) {
  const std::vector<std::tuple<const char*, const char*, std::vector<const char*>>> cases = {
      {"allocates", "ADE", {"FAIL E.realtime ", "PASS D.rates ", "PASS A.record "}},
      {"overruns", "B", {"FAIL B.strings ", "effect name wrote past its 32-byte buffer", "PASS B.indexes "}},
      {"leaves_nan", "DE", {"FAIL D.rates ", "sample not written", "PASS E.realtime "}},
      {"crashes", "BC", {"FAIL B.opcodes ", "PASS C.hosts "}},
  };
  for (const auto& [fault, groups, lines] : cases) {
    SCOPED_TRACE(fault);
    const ProgramRun run = validate(module(fault), {"--groups", groups});
    EXPECT_NE(run.exitCode, 0);
    for (const char* line : lines) EXPECT_TRUE(hasLine(run.out, line)) << line << "\n" << run.out;
  }
}

TEST(ValidateTest, ZvxPassesEveryCheck) {
  TempDocuments documents;
  documents.installDefaultData(ZVX_BUILT_DATA);
  const ProgramRun run = validate(ZVX_MODULE_PATH);
  EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
  EXPECT_TRUE(hasLine(run.out, "NOTE profile zvx")) << run.out;
  EXPECT_TRUE(hasLine(run.out, " 0 failed")) << run.out;
  EXPECT_FALSE(hasLine(run.out, "FAIL ")) << run.out;
}

}  // namespace
}  // namespace zvx::test
