#include <gtest/gtest.h>

#include <cstdlib>

int main(int argc, char** argv) {
  // Messages go to standard error, where the tests read them; no test is left
  // waiting on a box (the one test of the real box closes it itself).
  _putenv_s("ZVX_MESSAGES", "stderr");
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
