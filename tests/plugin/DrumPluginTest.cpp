// The plug-in as a host sees it: everything through the module's dispatcher.
// Its fixed configuration (counts, flags, IDs, canDo answers, pins) and its
// strings fitting their buffers are checked exactly by zvx-validate's ZVX
// profile (ValidateTest.ZvxPassesEveryCheck).

#include "engine/Parameters.h"
#include "tests/support/HostCallLog.h"
#include "tests/support/TestSupport.h"

namespace zvx::test {
namespace {

// Hosts and skins know parameters by their exact names, trailing spaces included.
TEST(DrumPluginTest, NamesDefaultDisplaysAndTheVendor) {
  auto zvx = createZvx();
  const std::vector<std::tuple<int, const char*, const char*>> known = {
      {param::kVolume, "Volume    ", "0.500"},          {param::kSDDecay, "SDDecay  ", "0.300"},
      {param::kSDSnapNoise, "SDSnap Noise    ", "0.500"}, {param::kSizeReverse, "SizeReverse", "1.000"},
      {param::kAttack, "4 x 1-Attack  ", "0.030"},      {param::kFix44, "fix44  ", "0.000"}};
  for (const auto& [index, name, display] : known) {
    EXPECT_EQ(zvx->parameterName(index), name);
    EXPECT_EQ(zvx->parameterDisplay(index), display) << name;
  }
  for (int i = 0; i < kNumParameters; ++i) {
    EXPECT_FALSE(zvx->parameterName(i).empty()) << i;
    EXPECT_EQ(zvx->parameterLabel(i), "") << i;
  }
  EXPECT_EQ(zvx->vendorString(), "zvx.audio");
}

TEST(DrumPluginTest, SetterClampsStoresAndIgnoresIndexesBeyondTheTable) {
  auto zvx = createZvx();
  zvx->setParameter(param::kBDDecay, 1.7f);
  EXPECT_EQ(zvx->getParameter(param::kBDDecay), 1.0f);
  zvx->setParameter(param::kBDDecay, std::nanf(""));
  EXPECT_EQ(zvx->getParameter(param::kBDDecay), 0.0f);
  zvx->setParameter(param::kBDDecay, 0.25f);
  EXPECT_EQ(zvx->parameterDisplay(param::kBDDecay), "0.250");
  zvx->setParameter(kNumParameters, 0.7f);
  EXPECT_EQ(zvx->getParameter(kNumParameters), 0.0f);
  EXPECT_EQ(zvx->getParameter(-1), 0.0f);
  EXPECT_EQ(zvx->parameterName(kNumParameters), "");
  // Values live in the current program.
  zvx->dispatch(effSetProgram, 0, 5);
  EXPECT_EQ(zvx->getParameter(param::kBDDecay), 0.5f);
  zvx->dispatch(effSetProgram, 0, 0);
  EXPECT_EQ(zvx->getParameter(param::kBDDecay), 0.25f);
  zvx->dispatch(effSetProgram, 0, 128);  // out of range: ignored
  EXPECT_EQ(zvx->dispatch(effGetProgram), 0);
}

// The editor opened without a window is DrumEditorTest's.
TEST(DrumPluginTest, EditorTakesNoWheelWhileClosed) {
  auto zvx = createZvx();
  EXPECT_EQ(zvx->dispatch(effVendorSpecific, fourCharCode("stCA"), fourCharCode("Whee"), nullptr, 1.0f), 0);
  EXPECT_EQ(zvx->dispatch(effEditOpen), 1);
  EXPECT_EQ(zvx->dispatch(effEditClose), 1);
  EXPECT_EQ(zvx->dispatch(effVendorSpecific, fourCharCode("stCA"), fourCharCode("Whee"), nullptr, 1.0f), 0);
}

TEST(DrumPluginTest, ResumeAsksForMidi) {
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

TEST(DrumPluginTest, FreshInstanceIsAsleepAndWritesExactZeros) {
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
