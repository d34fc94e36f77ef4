// The 83 parameters as every front door and tool describes them: the bank
// format's name and default, what the setter derives from each (role and
// voice), and what hosts should make of it (kind, title, unit, display).
// Every consumer reads this one table.
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

// What a host should make of a parameter.
enum class ParamKind : unsigned char {
  Continuous,  // any value from 0 to 1
  Switch,      // off below 0.5, on from 0.5
  Choice,      // one of a list of entries (the sample menus)
  Unused,      // changes nothing: hosts should neither show nor automate it
};

// The unit of the value hosts show for a parameter (see displayValue).
enum class ParamUnit : unsigned char { None, Percent, Decibels, Hertz, Semitones, Milliseconds };

struct ParameterInfo {
  int index;  // param::k..., its place in the table
  const char* name;  // the bank format's name: at most 16 characters, trailing blanks included
  float defaultValue;
  ParamRole role;
  int voice;  // kGlobal for the master section
  ParamKind kind;
  const char* title;  // what hosts show beside the control ("BD On", "BD Sample")
  ParamUnit unit;
};

constexpr int kGlobal = -1;  // the voice of a global parameter

namespace description {
using K = ParamKind;
using U = ParamUnit;
using R = ParamRole;
}  // namespace description

// Names keep their historical trailing blanks; hosts and skins rely on them.
// Hosts store automation by index and show the names: neither ever changes.
inline constexpr std::array<ParameterInfo, kNumParameters> kParameterTable = [] {
  using namespace description;
  using namespace param;
  return std::array<ParameterInfo, kNumParameters>{{
      {kVolume, "Volume    ", 0.5f, R::Stored, kGlobal, K::Continuous, "Volume", U::Decibels},
      {kTuning, "Tuning    ", 0.5f, R::Tuning, kGlobal, K::Continuous, "Tuning", U::Semitones},
      {kBDTone, "BDTone   ", 0.5f, R::Stored, kBD, K::Continuous, "BD Tone", U::Percent},
      {kBDDecay, "BDDecay  ", 0.5f, R::Stored, kBD, K::Continuous, "BD Decay", U::Percent},
      {kBDPitch, "BDPitch  ", 0.5f, R::Stored, kBD, K::Continuous, "BD Pitch", U::Hertz},
      {kBDPan, "BDPan   ", 0.5f, R::Pan, kBD, K::Continuous, "BD Pan", U::Percent},
      {kBDGain, "BDGain  ", 0.5f, R::Stored, kBD, K::Continuous, "BD Gain", U::Decibels},
      {kBDMute, "BDMute   ", 0.5f, R::Mute, kBD, K::Switch, "BD On", U::None},
      {kBDChaos, "BDChaos   ", 0.0f, R::Chaos, kBD, K::Continuous, "BD Chaos", U::Percent},
      {kBDChance, "BDChance  ", 0.0f, R::Chance, kBD, K::Continuous, "BD Chance", U::Percent},
      {kBDMix, "BDMix   ", 1.0f, R::Mix, kBD, K::Continuous, "BD Sample Mix", U::Percent},
      {kBDSync, "BDSync   ", 1.0f, R::Sync, kBD, K::Switch, "BD Sync", U::None},
      {kBDPcmTuning, "BDPCMTuning   ", 0.5f, R::PcmTuning, kBD, K::Continuous, "BD Sample Tuning", U::Semitones},
      {kBDKeyTrack, "BDKeyTrack  ", 1.0f, R::KeyTrack, kBD, K::Switch, "BD Key Track", U::None},
      {kSDTone, "SDTone   ", 0.5f, R::Stored, kSD, K::Continuous, "SD Tone", U::Percent},
      {kSDDecay, "SDDecay  ", 0.3f, R::Stored, kSD, K::Continuous, "SD Decay", U::Percent},
      {kSDPitch, "SDPitch  ", 0.5f, R::Stored, kSD, K::Continuous, "SD Pitch", U::Hertz},
      {kSDPan, "SDPan   ", 0.5f, R::Pan, kSD, K::Continuous, "SD Pan", U::Percent},
      {kSDGain, "SDGain  ", 0.5f, R::Stored, kSD, K::Continuous, "SD Gain", U::Decibels},
      {kSDMute, "SDMute   ", 0.5f, R::Mute, kSD, K::Switch, "SD On", U::None},
      {kSDChaos, "SDChaos   ", 0.0f, R::Chaos, kSD, K::Continuous, "SD Chaos", U::Percent},
      {kSDChance, "SDChance  ", 0.0f, R::Chance, kSD, K::Continuous, "SD Chance", U::Percent},
      {kSDMix, "SDMix   ", 0.0f, R::Mix, kSD, K::Continuous, "SD Sample Mix", U::Percent},
      {kSDSync, "SDSync   ", 1.0f, R::Sync, kSD, K::Switch, "SD Sync", U::None},
      {kSDPcmTuning, "SDPCMTuning   ", 0.5f, R::PcmTuning, kSD, K::Continuous, "SD Sample Tuning", U::Semitones},
      {kSDKeyTrack, "SDKeyTrack  ", 1.0f, R::KeyTrack, kSD, K::Switch, "SD Key Track", U::None},
      {kSDSnapNoise, "SDSnap Noise    ", 0.5f, R::Stored, kSD, K::Continuous, "SD Snap", U::Percent},
      {kHHTone, "HHTone   ", 0.5f, R::Stored, kHH, K::Continuous, "HH Tone", U::Percent},
      {kHHDecay, "HHDecay  ", 0.3f, R::Stored, kHH, K::Continuous, "HH Decay", U::Percent},
      {kHHPitch, "HHPitch  ", 0.5f, R::Stored, kHH, K::Continuous, "HH Pitch", U::Hertz},
      {kHHPan, "HHPan   ", 0.5f, R::Pan, kHH, K::Continuous, "HH Pan", U::Percent},
      {kHHGain, "HHGain  ", 0.5f, R::Stored, kHH, K::Continuous, "HH Gain", U::Decibels},
      {kHHMute, "HHMute   ", 0.5f, R::Mute, kHH, K::Switch, "HH On", U::None},
      {kHHChaos, "HHChaos   ", 0.0f, R::Chaos, kHH, K::Continuous, "HH Chaos", U::Percent},
      {kHHChance, "HHChance  ", 0.0f, R::Chance, kHH, K::Continuous, "HH Chance", U::Percent},
      {kHHMix, "HHMix   ", 0.0f, R::Mix, kHH, K::Continuous, "HH Sample Mix", U::Percent},
      {kHHSync, "HHSync   ", 1.0f, R::Sync, kHH, K::Switch, "HH Sync", U::None},
      {kHHPcmTuning, "HHPCMTuning   ", 0.5f, R::PcmTuning, kHH, K::Continuous, "HH Sample Tuning", U::Semitones},
      {kHHKeyTrack, "HHKeyTrack  ", 1.0f, R::KeyTrack, kHH, K::Switch, "HH Key Track", U::None},
      {kCPTone, "CPTone   ", 0.5f, R::Stored, kCP, K::Continuous, "CP Tone", U::Percent},
      {kCPDecay, "CPDecay  ", 0.3f, R::Stored, kCP, K::Continuous, "CP Decay", U::Percent},
      {kCPPitch, "CPPitch  ", 0.5f, R::Stored, kCP, K::Continuous, "CP Pitch", U::Hertz},
      {kCPPan, "CPPan   ", 0.5f, R::Pan, kCP, K::Continuous, "CP Pan", U::Percent},
      {kCPGain, "CPGain  ", 0.5f, R::Stored, kCP, K::Continuous, "CP Gain", U::Decibels},
      {kCPCricket, "CPCricket  ", 0.5f, R::Stored, kCP, K::Continuous, "CP Cricket", U::Percent},
      {kCPMute, "CPMute   ", 0.5f, R::Mute, kCP, K::Switch, "CP On", U::None},
      {kCPChaos, "CPChaos   ", 0.0f, R::Chaos, kCP, K::Continuous, "CP Chaos", U::Percent},
      {kCPChance, "CPChance  ", 0.0f, R::Chance, kCP, K::Continuous, "CP Chance", U::Percent},
      {kCPMix, "CPMix    ", 0.0f, R::Mix, kCP, K::Continuous, "CP Sample Mix", U::Percent},
      {kCPSync, "CPSync   ", 1.0f, R::Sync, kCP, K::Switch, "CP Sync", U::None},
      {kCPPcmTuning, "CPPCMTuning   ", 0.5f, R::PcmTuning, kCP, K::Continuous, "CP Sample Tuning", U::Semitones},
      {kCPKeyTrack, "CPKeyTrack  ", 1.0f, R::KeyTrack, kCP, K::Switch, "CP Key Track", U::None},
      {kBDMenu, "BDMenu    ", 0.0f, R::Menu, kBD, K::Choice, "BD Sample", U::None},
      {kSDMenu, "SDMenu    ", 0.0f, R::Menu, kSD, K::Choice, "SD Sample", U::None},
      {kHHMenu, "HHMenu    ", 0.0f, R::Menu, kHH, K::Choice, "HH Sample", U::None},
      {kCPMenu, "CPMenu    ", 0.0f, R::Menu, kCP, K::Choice, "CP Sample", U::None},
      {kSizeReverse, "SizeReverse", 1.0f, R::SizeReverse, kGlobal, K::Continuous, "Reverse Size", U::Milliseconds},
      {kPickReverse, "PickReverse", 0.0f, R::PickReverse, kGlobal, K::Continuous, "Reverse Chance", U::Percent},
      {kMasterChaos, "Master_Chaos", 0.0f, R::MasterChaos, kGlobal, K::Continuous, "Master Chaos", U::Percent},
      {kPower, "Power", 1.0f, R::Power, kGlobal, K::Switch, "Power", U::None},
      {kVelocityAmp, "VelocityAmp", 0.5f, R::VelocityAmp, kGlobal, K::Continuous, "Velocity Sensitivity", U::Percent},
      {kAttack, "4 x 1-Attack  ", 0.03f, R::Attack, kGlobal, K::Continuous, "Attack", U::Milliseconds},
      {kDecayFactor, "4 x 1-Decay  ", 0.5f, R::DecayFactor, kGlobal, K::Continuous, "Decay Scale", U::None},
      {kWrong1, "Wrong    ", 0.0f, R::Stored, kGlobal, K::Unused, "Unused 1", U::None},
      {kWrong2, "Wrong    ", 0.0f, R::Stored, kGlobal, K::Unused, "Unused 2", U::None},
      {kWrong3, "Wrong    ", 0.0f, R::Stored, kGlobal, K::Unused, "Unused 3", U::None},
      {kWrong4, "Wrong    ", 0.0f, R::Stored, kGlobal, K::Unused, "Unused 4", U::None},
      {kNonUsed1, "NonUsed  ", 0.0f, R::Stored, kGlobal, K::Unused, "Unused 5", U::None},
      {kNonUsed2, "NonUsed  ", 0.0f, R::Stored, kGlobal, K::Unused, "Unused 6", U::None},
      {kNonUsed3, "NonUsed  ", 0.0f, R::Stored, kGlobal, K::Unused, "Unused 7", U::None},
      {kNonUsed4, "NonUsed  ", 0.0f, R::Stored, kGlobal, K::Unused, "Unused 8", U::None},
      {kNonUsed5, "NonUsed  ", 0.0f, R::Stored, kGlobal, K::Unused, "Unused 9", U::None},
      {kNonUsed6, "NonUsed  ", 0.0f, R::Stored, kGlobal, K::Unused, "Unused 10", U::None},
      {kNonUsed7, "NonUsed  ", 0.0f, R::Stored, kGlobal, K::Unused, "Unused 11", U::None},
      {kNonUsed8, "NonUsed  ", 0.0f, R::Stored, kGlobal, K::Unused, "Unused 12", U::None},
      {kNonUsed9, "NonUsed  ", 0.0f, R::Stored, kGlobal, K::Unused, "Unused 13", U::None},
      {kNonUsed10, "NonUsed  ", 0.0f, R::Stored, kGlobal, K::Unused, "Unused 14", U::None},
      {kNonUsed11, "NonUsed  ", 0.0f, R::Stored, kGlobal, K::Unused, "Unused 15", U::None},
      {kNonUsed12, "NonUsed  ", 0.0f, R::Stored, kGlobal, K::Unused, "Unused 16", U::None},
      {kFix11, "fix11  ", 0.0f, R::Stored, kGlobal, K::Unused, "Unused 17", U::None},
      {kFix22, "fix22  ", 0.0f, R::Stored, kGlobal, K::Unused, "Unused 18", U::None},
      {kFix33, "fix33  ", 0.0f, R::Stored, kGlobal, K::Unused, "Unused 19", U::None},
      // The chaos modulation's glide time, 3 + 99 v ms.
      {kFix44, "fix44  ", 0.0f, R::Stored, kGlobal, K::Continuous, "Chaos Glide", U::Milliseconds},
  }};
}();

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

// What hosts see beyond the bank format's name and "%.3f" display, for
// every front door alike.
// The sections parameters are grouped in: the master, then the four voices.
constexpr int kSections = 1 + kNumVoices;
int sectionOf(int index);            // 0 master, 1 + voice
const char* sectionName(int section);  // "Master", "Kick", "Snare", "Hi-hat", "Clap"
inline bool isAutomatable(int index) {
  return index >= 0 && index < kNumParameters && kParameterTable[static_cast<std::size_t>(index)].kind != ParamKind::Unused;
}
// The entries of a Choice parameter (0 for other kinds), their names, the
// value that plays each (the middle of its seventh, so that trunc(7 v) names
// it), and the entry a value plays.
int choiceCount(int index);
const char* choiceName(int index, int entry);
float choiceValue(int index, int entry);
int choiceOf(int index, float value);
// The value as hosts that show units should show it, the engine's formula
// applied ("-6.0 dB", "65.4 Hz", "+12.0 st", "40 %", "SDA", "On"); at most 23
// characters.
std::string displayValue(int index, float value);
const char* unitSymbol(ParamUnit unit);  // "dB", "Hz", "st", "%", "ms" or ""
// The title in at most `length` characters, its blanks left out ("BDSampl").
std::string shortTitle(int index, std::size_t length);

}  // namespace zvx
