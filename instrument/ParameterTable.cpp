#include "instrument/ParameterTable.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <iterator>

#include "engine/NoteFrequencies.h"

#include "instrument/BankImage.h"

namespace zvx {
namespace {

using R = ParamRole;

// Row i describes the parameter whose index constant is i.
constexpr bool rowsInIndexOrder() {
  for (int p = 0; p < kNumParameters; ++p)
    if (kParameterTable[static_cast<std::size_t>(p)].index != p) return false;
  return true;
}
static_assert(rowsInIndexOrder());

// Entry v of a by-voice list is voice v's row, named by the voice's prefix
// and `suffix`, with this role.
constexpr bool voiceRowsAre(const int (&indexes)[kNumVoices], std::string_view suffix, ParamRole role) {
  constexpr std::string_view kPrefix[kNumVoices] = {"BD", "SD", "HH", "CP"};
  for (int v = 0; v < kNumVoices; ++v) {
    const int index = indexes[v];
    if (index < 0 || index >= kNumParameters) return false;
    const ParameterInfo& info = kParameterTable[static_cast<std::size_t>(index)];
    const std::string_view name = trimmedName(index);
    if (!name.starts_with(kPrefix[v]) || name.substr(2) != suffix || info.role != role || info.voice != v) return false;
  }
  return true;
}
static_assert(voiceRowsAre(param::kDecay, "Decay", R::Stored));
static_assert(voiceRowsAre(param::kPcmTuning, "PCMTuning", R::PcmTuning));
static_assert(voiceRowsAre(param::kMenu, "Menu", R::Menu));

// Every name the engine's constants stand for is the one parameter of that name.
static_assert(indexNamed("SDSnap Noise") == param::kSDSnapNoise && indexNamed("Master_Chaos") == param::kMasterChaos &&
              indexNamed("4 x 1-Attack") == param::kAttack && indexNamed("4 x 1-Decay") == param::kDecayFactor &&
              indexNamed("fix44") == param::kFix44 && indexNamed("Volume") == param::kVolume);

// The pads follow the table, one per voice in voice order (voiceOf counts on it).
static_assert(param::kFirstPad >= kNumParameters && param::kLastPad - param::kFirstPad + 1 == kNumVoices);

// The sample files a menu entry plays, as the data folder names them.
constexpr const char* kSampleNames[] = {"BDA", "SDA", "HHA", "CPA", "BDB", "SDB", "HHB", "CPB"};
constexpr int kSampleEntries = static_cast<int>(std::size(kSampleNames));

// The bass drum, snare and hi-hat tones sound at (v + 0.5) x their note's
// frequency, the clap at (0.75 v + 0.25) x; notes 36, 42, 95 and 84.
double pitchHz(int voice, float v) {
  const NoteFrequencies& f = NoteFrequencies::instance();
  switch (voice) {
    case kBD: return (v + 0.5) * f[36];
    case kSD: return (v + 0.5) * f[42];
    case kHH: return (v + 0.5) * f[95];
    default: return (v * 0.75 + 0.25) * f[84];
  }
}

std::string decibels(double gain) {
  if (!(gain > 0.0)) return "-inf dB";
  char text[32];
  std::snprintf(text, sizeof text, "%.1f dB", 20.0 * std::log10(gain));
  return text;
}

std::string formatted(const char* format, double value) {
  char text[32];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

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

namespace zvx {

int sectionOf(int index) {
  const int voice = voiceOf(index);
  return voice >= 0 && voice < kNumVoices ? 1 + voice : 0;
}

const char* sectionName(int section) {
  constexpr const char* kNames[kSections] = {"Master", "Kick", "Snare", "Hi-hat", "Clap"};
  return section >= 0 && section < kSections ? kNames[section] : "";
}

int choiceCount(int index) { return roleOf(index) == ParamRole::Menu ? kSampleEntries : 0; }

const char* choiceName(int index, int entry) {
  return entry >= 0 && entry < choiceCount(index) ? kSampleNames[entry] : "";
}

float choiceValue(int index, int entry) {
  if (entry < 0 || entry >= choiceCount(index)) return 0.0f;
  return std::min(1.0f, (static_cast<float>(entry) + 0.5f) / 7.0f);
}

// The setter's file choice: trunc(7 v), 7 only at 1.0.
int choiceOf(int index, float value) {
  if (choiceCount(index) == 0) return -1;
  const float clamped = value >= 0.0f ? std::min(value, 1.0f) : 0.0f;
  return static_cast<int>(7.0f * clamped);
}

std::string shortTitle(int index, std::size_t length) {
  std::string text;
  if (index < 0 || index >= kNumParameters) return text;
  for (const char* c = kParameterTable[static_cast<std::size_t>(index)].title; *c && text.size() < length; ++c)
    if (*c != ' ') text += *c;
  return text;
}

const char* unitSymbol(ParamUnit unit) {
  switch (unit) {
    case ParamUnit::Percent: return "%";
    case ParamUnit::Decibels: return "dB";
    case ParamUnit::Hertz: return "Hz";
    case ParamUnit::Semitones: return "st";
    case ParamUnit::Milliseconds: return "ms";
    default: return "";
  }
}

std::string displayValue(int index, float value) {
  if (index < 0 || index >= kNumParameters) return "";
  const ParameterInfo& info = kParameterTable[static_cast<std::size_t>(index)];
  const float v = std::isfinite(value) ? value : 0.0f;
  const double d = v;
  switch (info.role) {
    case ParamRole::Menu: return choiceName(index, choiceOf(index, v));
    case ParamRole::Mute:
    case ParamRole::Sync:
    case ParamRole::KeyTrack: return v >= 0.5f ? "On" : "Off";
    case ParamRole::Power:
      // The mix is multiplied by it: only 0 and 1 are plain off and on.
      if (v == 0.0f) return "Off";
      if (v == 1.0f) return "On";
      return formatted("%.0f %%", 100.0 * d);
    case ParamRole::Pan:
      if (std::fabs(d - 0.5) < 0.005) return "C";
      return formatted(d < 0.5 ? "L %.0f %%" : "R %.0f %%", std::fabs(d - 0.5) * 200.0);
    case ParamRole::Chance: return formatted("%.0f %%", 100.0 * d * d);  // the chance is v^2
    case ParamRole::Tuning: return formatted("%+.1f st", 36.0 * (d - 0.5));
    case ParamRole::PcmTuning: return formatted("%+.1f st", 96.0 * (d - 0.5));
    case ParamRole::SizeReverse:  // a share of the 98000-sample layer, in 44.1 kHz samples
      return formatted("%.0f ms", 0.09 * d * d * 98000.0 / 44.1);
    case ParamRole::VelocityAmp: return formatted("%.0f %%", 100.0 * (0.998 * d + 0.001));
    case ParamRole::Attack: {  // 10 x^2 seconds, x = 0.4 v^2 + 0.003
      const double x = 0.4 * d * d + 0.003;
      const double ms = 10000.0 * x * x;
      return formatted(ms < 10.0 ? "%.2f ms" : "%.0f ms", ms);
    }
    case ParamRole::DecayFactor: return formatted("x%.2f", std::pow(2.0, 4.0 * (d - 0.5)));
    default: break;
  }
  if (index == param::kVolume) return decibels(2.5 * d);  // the master gain is 2.5 v
  if (index == param::kFix44) return formatted("%.0f ms", 3.0 + 99.0 * d);
  switch (info.unit) {
    case ParamUnit::Decibels: return decibels(d);
    case ParamUnit::Hertz: return formatted("%.1f Hz", pitchHz(info.voice, v));
    case ParamUnit::Percent: return formatted("%.0f %%", 100.0 * d);
    default: return formatted("%.3f", d);
  }
}

}  // namespace zvx
