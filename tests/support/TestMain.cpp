

#include "tests/support/TestSupport.h"

int main(int argc, char** argv) {
  // Messages go to standard error, where the tests read them; no test opens a box.
  setenv("ZVX_MESSAGES", "stderr", 1);
  // Never the user's own documents folder: a scratch one with the test
  // samples unless a test sets its own.
  testing::InitGoogleTest(&argc, argv);
  zvx::test::TempDocuments documents;
  return RUN_ALL_TESTS();
}
