#include "plugin/ParameterTable.h"

#include <cctype>

#include "plugin/BankImage.h"

namespace zvx {
namespace {

using R = ParamRole;
constexpr int G = -1;  // global

}  // namespace

// Names keep their historical trailing blanks; hosts and skins rely on them.
const std::array<ParameterInfo, kNumParameters> kParameterTable = {{
    {"Volume    ", 0.5f, R::Stored, G},
    {"Tuning    ", 0.5f, R::Tuning, G},
    {"BDTone   ", 0.5f, R::Stored, kBD},
    {"BDDecay  ", 0.5f, R::Stored, kBD},
    {"BDPitch  ", 0.5f, R::Stored, kBD},
    {"BDPan   ", 0.5f, R::Pan, kBD},
    {"BDGain  ", 0.5f, R::Stored, kBD},
    {"BDMute   ", 0.5f, R::Mute, kBD},
    {"BDChaos   ", 0.0f, R::Chaos, kBD},
    {"BDChance  ", 0.0f, R::Chance, kBD},
    {"BDMix   ", 1.0f, R::Mix, kBD},
    {"BDSync   ", 1.0f, R::Sync, kBD},
    {"BDPCMTuning   ", 0.5f, R::PcmTuning, kBD},
    {"BDKeyTrack  ", 1.0f, R::KeyTrack, kBD},
    {"SDTone   ", 0.5f, R::Stored, kSD},
    {"SDDecay  ", 0.3f, R::Stored, kSD},
    {"SDPitch  ", 0.5f, R::Stored, kSD},
    {"SDPan   ", 0.5f, R::Pan, kSD},
    {"SDGain  ", 0.5f, R::Stored, kSD},
    {"SDMute   ", 0.5f, R::Mute, kSD},
    {"SDChaos   ", 0.0f, R::Chaos, kSD},
    {"SDChance  ", 0.0f, R::Chance, kSD},
    {"SDMix   ", 0.0f, R::Mix, kSD},
    {"SDSync   ", 1.0f, R::Sync, kSD},
    {"SDPCMTuning   ", 0.5f, R::PcmTuning, kSD},
    {"SDKeyTrack  ", 1.0f, R::KeyTrack, kSD},
    {"SDSnap Noise    ", 0.5f, R::Stored, kSD},
    {"HHTone   ", 0.5f, R::Stored, kHH},
    {"HHDecay  ", 0.3f, R::Stored, kHH},
    {"HHPitch  ", 0.5f, R::Stored, kHH},
    {"HHPan   ", 0.5f, R::Pan, kHH},
    {"HHGain  ", 0.5f, R::Stored, kHH},
    {"HHMute   ", 0.5f, R::Mute, kHH},
    {"HHChaos   ", 0.0f, R::Chaos, kHH},
    {"HHChance  ", 0.0f, R::Chance, kHH},
    {"HHMix   ", 0.0f, R::Mix, kHH},
    {"HHSync   ", 1.0f, R::Sync, kHH},
    {"HHPCMTuning   ", 0.5f, R::PcmTuning, kHH},
    {"HHKeyTrack  ", 1.0f, R::KeyTrack, kHH},
    {"CPTone   ", 0.5f, R::Stored, kCP},
    {"CPDecay  ", 0.3f, R::Stored, kCP},
    {"CPPitch  ", 0.5f, R::Stored, kCP},
    {"CPPan   ", 0.5f, R::Pan, kCP},
    {"CPGain  ", 0.5f, R::Stored, kCP},
    {"CPCricket  ", 0.5f, R::Stored, kCP},
    {"CPMute   ", 0.5f, R::Mute, kCP},
    {"CPChaos   ", 0.0f, R::Chaos, kCP},
    {"CPChance  ", 0.0f, R::Chance, kCP},
    {"CPMix    ", 0.0f, R::Mix, kCP},
    {"CPSync   ", 1.0f, R::Sync, kCP},
    {"CPPCMTuning   ", 0.5f, R::PcmTuning, kCP},
    {"CPKeyTrack  ", 1.0f, R::KeyTrack, kCP},
    {"BDMenu    ", 0.0f, R::Menu, kBD},
    {"SDMenu    ", 0.0f, R::Menu, kSD},
    {"HHMenu    ", 0.0f, R::Menu, kHH},
    {"CPMenu    ", 0.0f, R::Menu, kCP},
    {"SizeReverse", 1.0f, R::SizeReverse, G},
    {"PickReverse", 0.0f, R::PickReverse, G},
    {"Master_Chaos", 0.0f, R::MasterChaos, G},
    {"Power", 1.0f, R::Power, G},
    {"VelocityAmp", 0.5f, R::VelocityAmp, G},
    {"4 x 1-Attack  ", 0.03f, R::Attack, G},
    {"4 x 1-Decay  ", 0.5f, R::DecayFactor, G},
    {"Wrong    ", 0.0f, R::Stored, G},
    {"Wrong    ", 0.0f, R::Stored, G},
    {"Wrong    ", 0.0f, R::Stored, G},
    {"Wrong    ", 0.0f, R::Stored, G},
    {"NonUsed  ", 0.0f, R::Stored, G},
    {"NonUsed  ", 0.0f, R::Stored, G},
    {"NonUsed  ", 0.0f, R::Stored, G},
    {"NonUsed  ", 0.0f, R::Stored, G},
    {"NonUsed  ", 0.0f, R::Stored, G},
    {"NonUsed  ", 0.0f, R::Stored, G},
    {"NonUsed  ", 0.0f, R::Stored, G},
    {"NonUsed  ", 0.0f, R::Stored, G},
    {"NonUsed  ", 0.0f, R::Stored, G},
    {"NonUsed  ", 0.0f, R::Stored, G},
    {"NonUsed  ", 0.0f, R::Stored, G},
    {"NonUsed  ", 0.0f, R::Stored, G},
    {"fix11  ", 0.0f, R::Stored, G},
    {"fix22  ", 0.0f, R::Stored, G},
    {"fix33  ", 0.0f, R::Stored, G},
    {"fix44  ", 0.0f, R::Stored, G},
}};

void fillWithDefaults(BankImage& bank) {
  for (int p = 0; p < kNumParameters; ++p) {
    const ParameterInfo& info = kParameterTable[p];
    bank.setParamRecord(p, info.name, info.defaultValue, true, false);
  }
  for (int program = 0; program < BankImage::kPrograms; ++program)
    for (int p = 0; p < kNumParameters; ++p) bank.setProgramValue(program, p, kParameterTable[p].defaultValue);
}

int parameterIndex(const std::string& name) {
  auto normal = [](std::string text) {
    while (!text.empty() && text.back() == ' ') text.pop_back();
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
  };
  const std::string wanted = normal(name);
  int found = -1;
  for (int p = 0; p < kNumParameters; ++p) {
    if (normal(kParameterTable[p].name) != wanted) continue;
    if (found >= 0) return -1;
    found = p;
  }
  return found;
}

ParamRole roleOf(int index) {
  if (index >= 0 && index < kNumParameters) return kParameterTable[index].role;
  if (index >= param::kFirstPad && index <= param::kLastPad) return ParamRole::Pad;
  return ParamRole::Stored;
}

int voiceOf(int index) {
  if (index >= 0 && index < kNumParameters) return kParameterTable[index].voice;
  if (index >= param::kFirstPad && index <= param::kLastPad) return index - param::kFirstPad;
  return -1;
}

}  // namespace zvx
