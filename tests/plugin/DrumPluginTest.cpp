// The plug-in as a host sees it: everything through the module's dispatcher.
// Its fixed configuration (counts, flags, IDs, canDo answers, pins) and its
// strings fitting their buffers are checked exactly by zvx-validate's ZVX
// profile (ValidateTest.ZvxPassesEveryCheck).

#include "engine/Parameters.h"
#include "tests/support/HostCallLog.h"
#include "tests/support/TestSupport.h"

namespace zvx::test {
namespace {

// Name and default display of every parameter, as hosts and skins know them.
struct Expected {
  const char* name;
  const char* display;
};
const Expected kExpected[kNumParameters] = {
    {"Volume    ", "0.500"}, {"Tuning    ", "0.500"}, {"BDTone   ", "0.500"}, {"BDDecay  ", "0.500"},
    {"BDPitch  ", "0.500"}, {"BDPan   ", "0.500"}, {"BDGain  ", "0.500"}, {"BDMute   ", "0.500"},
    {"BDChaos   ", "0.000"}, {"BDChance  ", "0.000"}, {"BDMix   ", "1.000"}, {"BDSync   ", "1.000"},
    {"BDPCMTuning   ", "0.500"}, {"BDKeyTrack  ", "1.000"}, {"SDTone   ", "0.500"}, {"SDDecay  ", "0.300"},
    {"SDPitch  ", "0.500"}, {"SDPan   ", "0.500"}, {"SDGain  ", "0.500"}, {"SDMute   ", "0.500"},
    {"SDChaos   ", "0.000"}, {"SDChance  ", "0.000"}, {"SDMix   ", "0.000"}, {"SDSync   ", "1.000"},
    {"SDPCMTuning   ", "0.500"}, {"SDKeyTrack  ", "1.000"}, {"SDSnap Noise    ", "0.500"}, {"HHTone   ", "0.500"},
    {"HHDecay  ", "0.300"}, {"HHPitch  ", "0.500"}, {"HHPan   ", "0.500"}, {"HHGain  ", "0.500"},
    {"HHMute   ", "0.500"}, {"HHChaos   ", "0.000"}, {"HHChance  ", "0.000"}, {"HHMix   ", "0.000"},
    {"HHSync   ", "1.000"}, {"HHPCMTuning   ", "0.500"}, {"HHKeyTrack  ", "1.000"}, {"CPTone   ", "0.500"},
    {"CPDecay  ", "0.300"}, {"CPPitch  ", "0.500"}, {"CPPan   ", "0.500"}, {"CPGain  ", "0.500"},
    {"CPCricket  ", "0.500"}, {"CPMute   ", "0.500"}, {"CPChaos   ", "0.000"}, {"CPChance  ", "0.000"},
    {"CPMix    ", "0.000"}, {"CPSync   ", "1.000"}, {"CPPCMTuning   ", "0.500"}, {"CPKeyTrack  ", "1.000"},
    {"BDMenu    ", "0.000"}, {"SDMenu    ", "0.000"}, {"HHMenu    ", "0.000"}, {"CPMenu    ", "0.000"},
    {"SizeReverse", "1.000"}, {"PickReverse", "0.000"}, {"Master_Chaos", "0.000"}, {"Power", "1.000"},
    {"VelocityAmp", "0.500"}, {"4 x 1-Attack  ", "0.030"}, {"4 x 1-Decay  ", "0.500"}, {"Wrong    ", "0.000"},
    {"Wrong    ", "0.000"}, {"Wrong    ", "0.000"}, {"Wrong    ", "0.000"}, {"NonUsed  ", "0.000"},
    {"NonUsed  ", "0.000"}, {"NonUsed  ", "0.000"}, {"NonUsed  ", "0.000"}, {"NonUsed  ", "0.000"},
    {"NonUsed  ", "0.000"}, {"NonUsed  ", "0.000"}, {"NonUsed  ", "0.000"}, {"NonUsed  ", "0.000"},
    {"NonUsed  ", "0.000"}, {"NonUsed  ", "0.000"}, {"NonUsed  ", "0.000"}, {"fix11  ", "0.000"}, {"fix22  ", "0.000"},
    {"fix33  ", "0.000"}, {"fix44  ", "0.000"},
};

TEST(DrumPluginTest, NamesAndDefaultDisplaysOfEveryParameterAndTheVendor) {
  auto zvx = createZvx();
  for (int i = 0; i < kNumParameters; ++i) {
    EXPECT_EQ(zvx->parameterName(i), kExpected[i].name) << i;
    EXPECT_EQ(zvx->parameterDisplay(i), kExpected[i].display) << i;
    EXPECT_EQ(zvx->parameterLabel(i), "") << i;
  }
  EXPECT_EQ(zvx->getParameter(param::kSDDecay), 0.3f);
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
