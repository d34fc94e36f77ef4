#include "plugin/ParameterTable.h"

#include <cctype>

#include "plugin/BankImage.h"

namespace zvx {
namespace {

using R = ParamRole;

// The row at `index` is the one parameter named `name` (trailing blanks
// aside), with this role and voice.
constexpr bool rowIs(int index, std::string_view name, ParamRole role, int voice) {
  if (index < 0 || index >= kNumParameters || indexNamed(name) != index) return false;
  const ParameterInfo& info = kParameterTable[static_cast<std::size_t>(index)];
  return info.role == role && info.voice == voice;
}

// Entry v of a by-voice list is voice v's row, named by the voice's prefix
// and `suffix`, with this role.
constexpr bool voiceRowsAre(const int (&indexes)[kNumVoices], std::string_view suffix, ParamRole role) {
  constexpr std::string_view kPrefix[kNumVoices] = {"BD", "SD", "HH", "CP"};
  for (int v = 0; v < kNumVoices; ++v) {
    const int index = indexes[v];
    if (index < 0 || index >= kNumParameters) return false;
    const std::string_view name = trimmedName(index);
    if (!name.starts_with(kPrefix[v]) || name.substr(2) != suffix || !rowIs(index, name, role, v)) return false;
  }
  return true;
}

// The engine reads values by these indexes and hosts and skins by the names:
// each index must name its row.
static_assert(rowIs(param::kVolume, "Volume", R::Stored, kGlobal));
static_assert(rowIs(param::kTuning, "Tuning", R::Tuning, kGlobal));

static_assert(rowIs(param::kBDTone, "BDTone", R::Stored, kBD));
static_assert(rowIs(param::kBDDecay, "BDDecay", R::Stored, kBD));
static_assert(rowIs(param::kBDPitch, "BDPitch", R::Stored, kBD));
static_assert(rowIs(param::kBDPan, "BDPan", R::Pan, kBD));
static_assert(rowIs(param::kBDGain, "BDGain", R::Stored, kBD));
static_assert(rowIs(param::kBDMute, "BDMute", R::Mute, kBD));
static_assert(rowIs(param::kBDChaos, "BDChaos", R::Chaos, kBD));
static_assert(rowIs(param::kBDChance, "BDChance", R::Chance, kBD));
static_assert(rowIs(param::kBDMix, "BDMix", R::Mix, kBD));
static_assert(rowIs(param::kBDSync, "BDSync", R::Sync, kBD));
static_assert(rowIs(param::kBDPcmTuning, "BDPCMTuning", R::PcmTuning, kBD));
static_assert(rowIs(param::kBDKeyTrack, "BDKeyTrack", R::KeyTrack, kBD));

static_assert(rowIs(param::kSDTone, "SDTone", R::Stored, kSD));
static_assert(rowIs(param::kSDDecay, "SDDecay", R::Stored, kSD));
static_assert(rowIs(param::kSDPitch, "SDPitch", R::Stored, kSD));
static_assert(rowIs(param::kSDPan, "SDPan", R::Pan, kSD));
static_assert(rowIs(param::kSDGain, "SDGain", R::Stored, kSD));
static_assert(rowIs(param::kSDMute, "SDMute", R::Mute, kSD));
static_assert(rowIs(param::kSDChaos, "SDChaos", R::Chaos, kSD));
static_assert(rowIs(param::kSDChance, "SDChance", R::Chance, kSD));
static_assert(rowIs(param::kSDMix, "SDMix", R::Mix, kSD));
static_assert(rowIs(param::kSDSync, "SDSync", R::Sync, kSD));
static_assert(rowIs(param::kSDPcmTuning, "SDPCMTuning", R::PcmTuning, kSD));
static_assert(rowIs(param::kSDKeyTrack, "SDKeyTrack", R::KeyTrack, kSD));
static_assert(rowIs(param::kSDSnapNoise, "SDSnap Noise", R::Stored, kSD));

static_assert(rowIs(param::kHHTone, "HHTone", R::Stored, kHH));
static_assert(rowIs(param::kHHDecay, "HHDecay", R::Stored, kHH));
static_assert(rowIs(param::kHHPitch, "HHPitch", R::Stored, kHH));
static_assert(rowIs(param::kHHPan, "HHPan", R::Pan, kHH));
static_assert(rowIs(param::kHHGain, "HHGain", R::Stored, kHH));
static_assert(rowIs(param::kHHMute, "HHMute", R::Mute, kHH));
static_assert(rowIs(param::kHHChaos, "HHChaos", R::Chaos, kHH));
static_assert(rowIs(param::kHHChance, "HHChance", R::Chance, kHH));
static_assert(rowIs(param::kHHMix, "HHMix", R::Mix, kHH));
static_assert(rowIs(param::kHHSync, "HHSync", R::Sync, kHH));
static_assert(rowIs(param::kHHPcmTuning, "HHPCMTuning", R::PcmTuning, kHH));
static_assert(rowIs(param::kHHKeyTrack, "HHKeyTrack", R::KeyTrack, kHH));

static_assert(rowIs(param::kCPTone, "CPTone", R::Stored, kCP));
static_assert(rowIs(param::kCPDecay, "CPDecay", R::Stored, kCP));
static_assert(rowIs(param::kCPPitch, "CPPitch", R::Stored, kCP));
static_assert(rowIs(param::kCPPan, "CPPan", R::Pan, kCP));
static_assert(rowIs(param::kCPGain, "CPGain", R::Stored, kCP));
static_assert(rowIs(param::kCPCricket, "CPCricket", R::Stored, kCP));
static_assert(rowIs(param::kCPMute, "CPMute", R::Mute, kCP));
static_assert(rowIs(param::kCPChaos, "CPChaos", R::Chaos, kCP));
static_assert(rowIs(param::kCPChance, "CPChance", R::Chance, kCP));
static_assert(rowIs(param::kCPMix, "CPMix", R::Mix, kCP));
static_assert(rowIs(param::kCPSync, "CPSync", R::Sync, kCP));
static_assert(rowIs(param::kCPPcmTuning, "CPPCMTuning", R::PcmTuning, kCP));
static_assert(rowIs(param::kCPKeyTrack, "CPKeyTrack", R::KeyTrack, kCP));

static_assert(rowIs(param::kBDMenu, "BDMenu", R::Menu, kBD));
static_assert(rowIs(param::kSDMenu, "SDMenu", R::Menu, kSD));
static_assert(rowIs(param::kHHMenu, "HHMenu", R::Menu, kHH));
static_assert(rowIs(param::kCPMenu, "CPMenu", R::Menu, kCP));
static_assert(rowIs(param::kSizeReverse, "SizeReverse", R::SizeReverse, kGlobal));
static_assert(rowIs(param::kPickReverse, "PickReverse", R::PickReverse, kGlobal));
static_assert(rowIs(param::kMasterChaos, "Master_Chaos", R::MasterChaos, kGlobal));
static_assert(rowIs(param::kPower, "Power", R::Power, kGlobal));
static_assert(rowIs(param::kVelocityAmp, "VelocityAmp", R::VelocityAmp, kGlobal));
static_assert(rowIs(param::kAttack, "4 x 1-Attack", R::Attack, kGlobal));
static_assert(rowIs(param::kDecayFactor, "4 x 1-Decay", R::DecayFactor, kGlobal));
static_assert(rowIs(param::kFix44, "fix44", R::Stored, kGlobal));

static_assert(voiceRowsAre(param::kDecay, "Decay", R::Stored));
static_assert(voiceRowsAre(param::kPcmTuning, "PCMTuning", R::PcmTuning));
static_assert(voiceRowsAre(param::kMenu, "Menu", R::Menu));

// The pads follow the table, one per voice in voice order (voiceOf counts on it).
static_assert(param::kFirstPad >= kNumParameters && param::kLastPad - param::kFirstPad + 1 == kNumVoices);

}  // namespace

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
