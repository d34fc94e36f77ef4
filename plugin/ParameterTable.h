// The 83 parameters: host-facing name, default value, and what the setter
// derives from each (role and voice). Every consumer reads this one table.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

#include "engine/Parameters.h"

namespace zvx {

// The values a parameter whose record is unclamped can take: beyond them the
// engine's arithmetic would overflow (or its filters and glides run away).
constexpr float kUnclampedLowest = -2.0f;
constexpr float kUnclampedHighest = 3.0f;

struct ParameterInfo {
  const char* name;  // at most 16 characters, trailing blanks included
  float defaultValue;
  ParamRole role;
  int voice;  // kGlobal for global parameters
};

constexpr int kGlobal = -1;  // the voice of a global parameter

// Names keep their historical trailing blanks; hosts and skins rely on them.
inline constexpr std::array<ParameterInfo, kNumParameters> kParameterTable = {{
    {"Volume    ", 0.5f, ParamRole::Stored, kGlobal},
    {"Tuning    ", 0.5f, ParamRole::Tuning, kGlobal},
    {"BDTone   ", 0.5f, ParamRole::Stored, kBD},
    {"BDDecay  ", 0.5f, ParamRole::Stored, kBD},
    {"BDPitch  ", 0.5f, ParamRole::Stored, kBD},
    {"BDPan   ", 0.5f, ParamRole::Pan, kBD},
    {"BDGain  ", 0.5f, ParamRole::Stored, kBD},
    {"BDMute   ", 0.5f, ParamRole::Mute, kBD},
    {"BDChaos   ", 0.0f, ParamRole::Chaos, kBD},
    {"BDChance  ", 0.0f, ParamRole::Chance, kBD},
    {"BDMix   ", 1.0f, ParamRole::Mix, kBD},
    {"BDSync   ", 1.0f, ParamRole::Sync, kBD},
    {"BDPCMTuning   ", 0.5f, ParamRole::PcmTuning, kBD},
    {"BDKeyTrack  ", 1.0f, ParamRole::KeyTrack, kBD},
    {"SDTone   ", 0.5f, ParamRole::Stored, kSD},
    {"SDDecay  ", 0.3f, ParamRole::Stored, kSD},
    {"SDPitch  ", 0.5f, ParamRole::Stored, kSD},
    {"SDPan   ", 0.5f, ParamRole::Pan, kSD},
    {"SDGain  ", 0.5f, ParamRole::Stored, kSD},
    {"SDMute   ", 0.5f, ParamRole::Mute, kSD},
    {"SDChaos   ", 0.0f, ParamRole::Chaos, kSD},
    {"SDChance  ", 0.0f, ParamRole::Chance, kSD},
    {"SDMix   ", 0.0f, ParamRole::Mix, kSD},
    {"SDSync   ", 1.0f, ParamRole::Sync, kSD},
    {"SDPCMTuning   ", 0.5f, ParamRole::PcmTuning, kSD},
    {"SDKeyTrack  ", 1.0f, ParamRole::KeyTrack, kSD},
    {"SDSnap Noise    ", 0.5f, ParamRole::Stored, kSD},
    {"HHTone   ", 0.5f, ParamRole::Stored, kHH},
    {"HHDecay  ", 0.3f, ParamRole::Stored, kHH},
    {"HHPitch  ", 0.5f, ParamRole::Stored, kHH},
    {"HHPan   ", 0.5f, ParamRole::Pan, kHH},
    {"HHGain  ", 0.5f, ParamRole::Stored, kHH},
    {"HHMute   ", 0.5f, ParamRole::Mute, kHH},
    {"HHChaos   ", 0.0f, ParamRole::Chaos, kHH},
    {"HHChance  ", 0.0f, ParamRole::Chance, kHH},
    {"HHMix   ", 0.0f, ParamRole::Mix, kHH},
    {"HHSync   ", 1.0f, ParamRole::Sync, kHH},
    {"HHPCMTuning   ", 0.5f, ParamRole::PcmTuning, kHH},
    {"HHKeyTrack  ", 1.0f, ParamRole::KeyTrack, kHH},
    {"CPTone   ", 0.5f, ParamRole::Stored, kCP},
    {"CPDecay  ", 0.3f, ParamRole::Stored, kCP},
    {"CPPitch  ", 0.5f, ParamRole::Stored, kCP},
    {"CPPan   ", 0.5f, ParamRole::Pan, kCP},
    {"CPGain  ", 0.5f, ParamRole::Stored, kCP},
    {"CPCricket  ", 0.5f, ParamRole::Stored, kCP},
    {"CPMute   ", 0.5f, ParamRole::Mute, kCP},
    {"CPChaos   ", 0.0f, ParamRole::Chaos, kCP},
    {"CPChance  ", 0.0f, ParamRole::Chance, kCP},
    {"CPMix    ", 0.0f, ParamRole::Mix, kCP},
    {"CPSync   ", 1.0f, ParamRole::Sync, kCP},
    {"CPPCMTuning   ", 0.5f, ParamRole::PcmTuning, kCP},
    {"CPKeyTrack  ", 1.0f, ParamRole::KeyTrack, kCP},
    {"BDMenu    ", 0.0f, ParamRole::Menu, kBD},
    {"SDMenu    ", 0.0f, ParamRole::Menu, kSD},
    {"HHMenu    ", 0.0f, ParamRole::Menu, kHH},
    {"CPMenu    ", 0.0f, ParamRole::Menu, kCP},
    {"SizeReverse", 1.0f, ParamRole::SizeReverse, kGlobal},
    {"PickReverse", 0.0f, ParamRole::PickReverse, kGlobal},
    {"Master_Chaos", 0.0f, ParamRole::MasterChaos, kGlobal},
    {"Power", 1.0f, ParamRole::Power, kGlobal},
    {"VelocityAmp", 0.5f, ParamRole::VelocityAmp, kGlobal},
    {"4 x 1-Attack  ", 0.03f, ParamRole::Attack, kGlobal},
    {"4 x 1-Decay  ", 0.5f, ParamRole::DecayFactor, kGlobal},
    {"Wrong    ", 0.0f, ParamRole::Stored, kGlobal},
    {"Wrong    ", 0.0f, ParamRole::Stored, kGlobal},
    {"Wrong    ", 0.0f, ParamRole::Stored, kGlobal},
    {"Wrong    ", 0.0f, ParamRole::Stored, kGlobal},
    {"NonUsed  ", 0.0f, ParamRole::Stored, kGlobal},
    {"NonUsed  ", 0.0f, ParamRole::Stored, kGlobal},
    {"NonUsed  ", 0.0f, ParamRole::Stored, kGlobal},
    {"NonUsed  ", 0.0f, ParamRole::Stored, kGlobal},
    {"NonUsed  ", 0.0f, ParamRole::Stored, kGlobal},
    {"NonUsed  ", 0.0f, ParamRole::Stored, kGlobal},
    {"NonUsed  ", 0.0f, ParamRole::Stored, kGlobal},
    {"NonUsed  ", 0.0f, ParamRole::Stored, kGlobal},
    {"NonUsed  ", 0.0f, ParamRole::Stored, kGlobal},
    {"NonUsed  ", 0.0f, ParamRole::Stored, kGlobal},
    {"NonUsed  ", 0.0f, ParamRole::Stored, kGlobal},
    {"NonUsed  ", 0.0f, ParamRole::Stored, kGlobal},
    {"fix11  ", 0.0f, ParamRole::Stored, kGlobal},
    {"fix22  ", 0.0f, ParamRole::Stored, kGlobal},
    {"fix33  ", 0.0f, ParamRole::Stored, kGlobal},
    {"fix44  ", 0.0f, ParamRole::Stored, kGlobal},
}};

// A parameter's name without its trailing blanks.
constexpr std::string_view trimmedName(int index) {
  std::string_view name = kParameterTable[static_cast<std::size_t>(index)].name;
  while (!name.empty() && name.back() == ' ') name.remove_suffix(1);
  return name;
}

// The index of the one parameter named `name` (trailing blanks ignored on both
// sides, case kept); -1 when no parameter or several have it.
constexpr int indexNamed(std::string_view name) {
  while (!name.empty() && name.back() == ' ') name.remove_suffix(1);
  int found = -1;
  for (int p = 0; p < kNumParameters; ++p) {
    if (trimmedName(p) != name) continue;
    if (found >= 0) return -1;
    found = p;
  }
  return found;
}

class BankImage;

// Gives every parameter record its name, default and flags, and every program
// the defaults (the programs keep their names).
void fillWithDefaults(BankImage& bank);

// The index of the parameter with this name, trailing blanks and case
// ignored; -1 when no parameter or several have it.
int parameterIndex(const std::string& name);

// Role and voice of any setter index: the table's for 0 to 82, Pad for the
// trigger pads 99 to 102, Stored (nothing derived) for every other index.
ParamRole roleOf(int index);
int voiceOf(int index);

}  // namespace zvx
