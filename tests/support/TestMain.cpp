#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

int main(int argc, char** argv) {
  // Messages go to standard error, where the tests read them; no test opens a box.
  setenv("ZVX_MESSAGES", "stderr", 1);
  // Never the user's own documents folder: a scratch one unless a test sets its own.
  std::string scratch = (std::filesystem::temp_directory_path() / "zvx-test-XXXXXX").string();
  if (mkdtemp(scratch.data())) setenv("ZVX_DOCUMENTS", scratch.c_str(), 1);
  testing::InitGoogleTest(&argc, argv);
  int result = RUN_ALL_TESTS();
  std::error_code ignored;
  std::filesystem::remove_all(scratch, ignored);
  return result;
}
