// Parameter indexes and what each parameter means to the engine. The names and
// defaults live in the plug-in's parameter table; the engine reads values by index.
#pragma once

namespace zvx {

constexpr int kNumParameters = 83;
constexpr int kNumVoices = 4;

enum Voice { kBD = 0, kSD = 1, kHH = 2, kCP = 3 };

namespace param {
// Each index is checked against the plug-in's table (plugin/ParameterTable.cpp):
// a row moved there, or a number changed here, fails to compile.
constexpr int kVolume = 0;
constexpr int kTuning = 1;
constexpr int kBDTone = 2, kBDDecay = 3, kBDPitch = 4, kBDPan = 5, kBDGain = 6, kBDMute = 7;
constexpr int kBDChaos = 8, kBDChance = 9, kBDMix = 10, kBDSync = 11, kBDPcmTuning = 12, kBDKeyTrack = 13;
constexpr int kSDTone = 14, kSDDecay = 15, kSDPitch = 16, kSDPan = 17, kSDGain = 18, kSDMute = 19;
constexpr int kSDChaos = 20, kSDChance = 21, kSDMix = 22, kSDSync = 23, kSDPcmTuning = 24, kSDKeyTrack = 25;
constexpr int kSDSnapNoise = 26;
constexpr int kHHTone = 27, kHHDecay = 28, kHHPitch = 29, kHHPan = 30, kHHGain = 31, kHHMute = 32;
constexpr int kHHChaos = 33, kHHChance = 34, kHHMix = 35, kHHSync = 36, kHHPcmTuning = 37, kHHKeyTrack = 38;
constexpr int kCPTone = 39, kCPDecay = 40, kCPPitch = 41, kCPPan = 42, kCPGain = 43;
constexpr int kCPCricket = 44;
constexpr int kCPMute = 45, kCPChaos = 46, kCPChance = 47, kCPMix = 48, kCPSync = 49, kCPPcmTuning = 50;
constexpr int kCPKeyTrack = 51;
constexpr int kBDMenu = 52, kSDMenu = 53, kHHMenu = 54, kCPMenu = 55;
constexpr int kSizeReverse = 56, kPickReverse = 57, kMasterChaos = 58, kPower = 59;
constexpr int kVelocityAmp = 60, kAttack = 61, kDecayFactor = 62;
constexpr int kFix44 = 82;
// By voice (BD, SD, HH, CP).
constexpr int kDecay[4] = {kBDDecay, kSDDecay, kHHDecay, kCPDecay};
constexpr int kPcmTuning[4] = {kBDPcmTuning, kSDPcmTuning, kHHPcmTuning, kCPPcmTuning};
constexpr int kMenu[4] = {kBDMenu, kSDMenu, kHHMenu, kCPMenu};
// Trigger pads: virtual indexes beyond the table, one per voice.
constexpr int kFirstPad = 99;
constexpr int kLastPad = 102;
}  // namespace param

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
