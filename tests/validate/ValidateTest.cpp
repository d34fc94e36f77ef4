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
  EXPECT_TRUE(hasLine(run.out, "zvx-validate: ")) << run.out;
  EXPECT_TRUE(hasLine(run.out, " 0 failed")) << run.out;
  EXPECT_TRUE(hasLine(run.out, "PASS E.realtime ")) << run.out;
  EXPECT_TRUE(hasLine(run.out, "SKIP H.editor ")) << run.out;  // it has none
}

TEST(ValidateTest, AllocationOnTheAudioThreadFailsTheRealtimeCheck) {
  const ProgramRun run = validate(module("allocates"), {"--groups", "ADE"});
  EXPECT_NE(run.exitCode, 0);
  EXPECT_TRUE(hasLine(run.out, "FAIL E.realtime ")) << run.out;
  EXPECT_TRUE(hasLine(run.out, "PASS D.rates ")) << run.out;
  EXPECT_TRUE(hasLine(run.out, "PASS A.record ")) << run.out;
}

TEST(ValidateTest, NameWrittenPastItsBufferFailsTheStringCheck) {
  const ProgramRun run = validate(module("overruns"), {"--groups", "B"});
  EXPECT_NE(run.exitCode, 0);
  EXPECT_TRUE(hasLine(run.out, "FAIL B.strings ")) << run.out;
  EXPECT_TRUE(hasLine(run.out, "effect name wrote past its 32-byte buffer")) << run.out;
  EXPECT_TRUE(hasLine(run.out, "PASS B.indexes ")) << run.out;
}

TEST(ValidateTest, UnwrittenSamplesFailTheRenderingChecks) {
  const ProgramRun run = validate(module("leaves_nan"), {"--groups", "DE"});
  EXPECT_NE(run.exitCode, 0);
  EXPECT_TRUE(hasLine(run.out, "FAIL D.rates ")) << run.out;
  EXPECT_TRUE(hasLine(run.out, "sample not written")) << run.out;
  EXPECT_TRUE(hasLine(run.out, "PASS E.realtime ")) << run.out;
}

TEST(ValidateTest, CrashIsReportedAsAFailureOfItsCheckAndTheRunGoesOn) {
  const ProgramRun run = validate(module("crashes"), {"--groups", "BC"});
  EXPECT_NE(run.exitCode, 0);
  EXPECT_TRUE(hasLine(run.out, "FAIL B.opcodes ")) << run.out;
  EXPECT_TRUE(hasLine(run.out, "PASS C.hosts ")) << run.out;
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
