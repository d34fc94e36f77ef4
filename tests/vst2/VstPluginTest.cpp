// The plug-in as a host sees it: everything through the module's dispatcher.
// Its fixed configuration (counts, flags, IDs, canDo answers, pins), its
// strings fitting their buffers and the calls hosts make with nothing behind
// them (a wheel with no editor open among them) are checked by zvx-validate's
// ZVX profile (ValidateTest.ZvxPassesEveryCheck); its editor is DrumEditorTest's.

#include "engine/Parameters.h"
#include "tests/support/HostCallLog.h"
#include "tests/support/TestSupport.h"

namespace zvx::test {
namespace {

// Every parameter is named, without a unit; the names themselves are the
// table's (their use by name is zvx-render's --set and --list-params).
TEST(VstPluginTest, EveryParameterIsNamedAndTheVendorIsZvx) {
  auto zvx = createZvx();
  for (int i = 0; i < kNumParameters; ++i) {
    EXPECT_FALSE(zvx->parameterName(i).empty()) << i;
    EXPECT_EQ(zvx->parameterLabel(i), "") << i;
  }
  EXPECT_EQ(zvx->vendorString(), "zvx.audio");
}

// Indexes past the table, for parameters and programs, are zvx-validate's B.indexes.
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
  // Selecting a program refreshes the host's display; a host that answers
  // true is asked a second time.
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
