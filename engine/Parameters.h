// Parameter indexes and what each parameter means to the engine. What hosts
// see of them (names, defaults, kinds, titles, units) lives in the
// instrument's parameter description; the engine reads values by index.
#pragma once

namespace zvx {

constexpr int kNumVoices = 4;

enum Voice { kBD = 0, kSD = 1, kHH = 2, kCP = 3 };

// The parameters in index order, by the names the code gives them: each
// becomes the index constant param::k<Name>, and the description's rows
// name these constants in the same order.
#define ZVX_PARAMETERS(X)                                                                                         \
  X(Volume) X(Tuning)                                                                                           \
  X(BDTone) X(BDDecay) X(BDPitch) X(BDPan) X(BDGain) X(BDMute) X(BDChaos) X(BDChance) X(BDMix) X(BDSync)       \
  X(BDPcmTuning) X(BDKeyTrack)                                                                                  \
  X(SDTone) X(SDDecay) X(SDPitch) X(SDPan) X(SDGain) X(SDMute) X(SDChaos) X(SDChance) X(SDMix) X(SDSync)       \
  X(SDPcmTuning) X(SDKeyTrack) X(SDSnapNoise)                                                                   \
  X(HHTone) X(HHDecay) X(HHPitch) X(HHPan) X(HHGain) X(HHMute) X(HHChaos) X(HHChance) X(HHMix) X(HHSync)       \
  X(HHPcmTuning) X(HHKeyTrack)                                                                                  \
  X(CPTone) X(CPDecay) X(CPPitch) X(CPPan) X(CPGain) X(CPCricket) X(CPMute) X(CPChaos) X(CPChance) X(CPMix)    \
  X(CPSync) X(CPPcmTuning) X(CPKeyTrack)                                                                        \
  X(BDMenu) X(SDMenu) X(HHMenu) X(CPMenu)                                                                       \
  X(SizeReverse) X(PickReverse) X(MasterChaos) X(Power) X(VelocityAmp) X(Attack) X(DecayFactor)                \
  X(Wrong1) X(Wrong2) X(Wrong3) X(Wrong4)                                                                       \
  X(NonUsed1) X(NonUsed2) X(NonUsed3) X(NonUsed4) X(NonUsed5) X(NonUsed6) X(NonUsed7) X(NonUsed8)               \
  X(NonUsed9) X(NonUsed10) X(NonUsed11) X(NonUsed12)                                                            \
  X(Fix11) X(Fix22) X(Fix33) X(Fix44)

namespace param {
namespace numbering {
#define ZVX_PARAMETER_NUMBER(name) k##name,
enum : int { ZVX_PARAMETERS(ZVX_PARAMETER_NUMBER) kCount };
#undef ZVX_PARAMETER_NUMBER
}  // namespace numbering
// Plain ints, as indexes are everywhere else.
#define ZVX_PARAMETER_INDEX(name) inline constexpr int k##name = numbering::k##name;
ZVX_PARAMETERS(ZVX_PARAMETER_INDEX)
#undef ZVX_PARAMETER_INDEX
inline constexpr int kCount = numbering::kCount;
// By voice (BD, SD, HH, CP).
constexpr int kDecay[4] = {kBDDecay, kSDDecay, kHHDecay, kCPDecay};
constexpr int kPcmTuning[4] = {kBDPcmTuning, kSDPcmTuning, kHHPcmTuning, kCPPcmTuning};
constexpr int kMenu[4] = {kBDMenu, kSDMenu, kHHMenu, kCPMenu};
// Trigger pads: virtual indexes beyond the table, one per voice.
constexpr int kFirstPad = 99;
constexpr int kLastPad = 102;
}  // namespace param

constexpr int kNumParameters = param::kCount;
static_assert(kNumParameters == 83, "the bank format holds 83 parameters");

// What the parameter setter derives from a parameter.
enum class ParamRole {
  Stored,  // stored only; read where the engine needs it, or not at all
  Tuning,
  Pan,
  Mute,
  Chaos,
  Chance,
  Mix,
  Sync,
  PcmTuning,
  KeyTrack,
  Menu,
  SizeReverse,
  PickReverse,
  MasterChaos,
  Power,
  VelocityAmp,
  Attack,
  DecayFactor,
  Pad,
};

}  // namespace zvx
