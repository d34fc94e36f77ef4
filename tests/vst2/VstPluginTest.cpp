// The plug-in through the module's dispatcher. Its fixed configuration, its
// names and strings, and calls with nothing behind them are zvx-validate's
// ZVX profile (ValidateTest.ZvxPassesEveryCheck).

#include "engine/Parameters.h"
#include "tests/support/HostCallLog.h"
#include "tests/support/TestSupport.h"

namespace zvx::test {
namespace {

TEST(VstPluginTest, SetterClampsAndValuesLiveInTheCurrentProgram) {
  auto zvx = createZvx();
  zvx->setParameter(param::kBDDecay, 1.7f);
  EXPECT_EQ(zvx->getParameter(param::kBDDecay), 1.0f);
  zvx->setParameter(param::kBDDecay, std::nanf(""));
  EXPECT_EQ(zvx->getParameter(param::kBDDecay), 0.0f);
  zvx->setParameter(param::kBDDecay, 0.25f);
  EXPECT_EQ(zvx->parameterDisplay(param::kBDDecay), "0.250");
  zvx->dispatch(effSetProgram, 0, 5);
  EXPECT_EQ(zvx->getParameter(param::kBDDecay), 0.5f);
  zvx->dispatch(effSetProgram, 0, 0);
  EXPECT_EQ(zvx->getParameter(param::kBDDecay), 0.25f);
}

TEST(VstPluginTest, ResumeAsksForMidi) {
  auto zvx = createZvx();
  test::HostCallLog calls(*zvx);
  zvx->start();
  EXPECT_EQ(calls.count(audioMasterWantMidi), 1u);
  // Selecting a program refreshes the display, twice when the host answers true.
  calls.clear();
  zvx->dispatch(effSetProgram, 0, 3);
  EXPECT_EQ(calls.count(audioMasterUpdateDisplay), 2u);
}

TEST(VstPluginTest, FreshInstanceIsAsleepAndWritesExactZeros) {
  auto zvx = startZvx();
  std::vector<std::vector<float>> out(6, std::vector<float>(1024, 0.5f));
  float* pointers[6];
  for (int c = 0; c < 6; ++c) pointers[c] = out[c].data();
  zvx->processReplacing(pointers, 0);
  for (int c = 0; c < 6; ++c) EXPECT_EQ(out[c][0], 0.5f);  // zero frames write nothing
  zvx->processReplacing(pointers, 1024);
  // The deprecated accumulating entry adds the same silence.
  zvx->effect()->process(zvx->effect(), nullptr, pointers, 512);
  for (int c = 0; c < 6; ++c) EXPECT_EQ(out[c], std::vector<float>(1024, 0.0f)) << c;
}

}  // namespace
}  // namespace zvx::test
