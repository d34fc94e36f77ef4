#include "formats/vst3/Vst3Description.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>

#include "instrument/Instrument.h"

namespace zvx::vst3 {
namespace {

// Values closer than this are one value to a host that keeps them as text.
constexpr double kSameValue = 1e-6;

const zvx::ParameterInfo& tableEntry(int index) { return kParameterTable[static_cast<std::size_t>(index)]; }

ParamKind kindOf(int index) { return tableEntry(index).kind; }

char lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

std::string_view trimmed(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

bool sameText(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return lower(x) == lower(y);
         });
}

// The first number in a text ("L 40" is 40, "x1.50" is 1.5, "+3.0" is 3),
// read the same whatever the locale.
std::optional<double> firstNumber(std::string_view text) {
  const std::size_t at = text.find_first_of("+-.0123456789");
  if (at == std::string_view::npos) return std::nullopt;
  text.remove_prefix(at);
  if (text.front() == '+') text.remove_prefix(1);
  double number = 0.0;
  const auto [end, problem] = std::from_chars(text.data(), text.data() + text.size(), number);
  if (problem != std::errc() || end == text.data() || !std::isfinite(number)) return std::nullopt;
  return number;
}

}  // namespace

std::optional<int> controllerOf(ParamID id) {
  if (id < kFirstControllerId || id >= kFirstControllerId + static_cast<ParamID>(kControllers)) return std::nullopt;
  return static_cast<int>(id - kFirstControllerId);
}

ParamID listedId(int index) {
  if (index < 0 || index >= kListedParameters) return 0xFFFFFFFFu;
  if (index < kNumParameters) return static_cast<ParamID>(index);
  if (index == kNumParameters) return kProgramId;
  return kFirstControllerId + static_cast<ParamID>(index - kNumParameters - 1);
}

bool describeParameter(int index, ParameterInfo& info) {
  const ParamID id = listedId(index);
  if (index < 0 || index >= kListedParameters) return false;
  std::memset(&info, 0, sizeof info);
  info.id = id;
  if (isInstrumentParameter(id)) {
    const int p = static_cast<int>(id);
    const zvx::ParameterInfo& entry = tableEntry(p);
    copyString(info.title, entry.title);
    copyString(info.shortTitle, shortTitle(p, 7));
    info.stepCount = stepCount(id);
    info.defaultNormalizedValue = normalizedOf(p, entry.defaultValue);
    switch (entry.kind) {
      case ParamKind::Unused:
        // Changes nothing: neither shown nor automated, nor changed by a host.
        info.unitId = kRootUnitId;
        info.flags = ParameterInfo::kIsHidden | ParameterInfo::kIsReadOnly;
        break;
      case ParamKind::Choice:
        info.unitId = unitOfSection(sectionOf(p));
        info.flags = ParameterInfo::kCanAutomate | ParameterInfo::kIsList;
        break;
      case ParamKind::Switch:
        info.unitId = unitOfSection(sectionOf(p));
        info.flags = ParameterInfo::kCanAutomate;
        break;
      case ParamKind::Continuous:
        info.unitId = unitOfSection(sectionOf(p));
        info.flags = ParameterInfo::kCanAutomate;
        copyString(info.units, unitSymbol(entry.unit));
        break;
    }
    return true;
  }
  if (id == kProgramId) {
    copyString(info.title, "Program");
    copyString(info.shortTitle, "Program");
    info.stepCount = kProgramSteps;
    info.unitId = kRootUnitId;
    info.flags = ParameterInfo::kCanAutomate | ParameterInfo::kIsList | ParameterInfo::kIsProgramChange;
    return true;
  }
  // A controller: the road MIDI controllers take into the instrument, where
  // the learn map binds them. Hosts neither show nor automate it.
  const int controller = *controllerOf(id);
  copyString(info.title, "Controller " + std::to_string(controller));
  copyString(info.shortTitle, "Ctl " + std::to_string(controller));
  info.stepCount = 127;
  info.unitId = kRootUnitId;
  info.flags = ParameterInfo::kIsHidden;
  return true;
}

bool describeUnit(int index, UnitInfo& info) {
  if (index < 0 || index >= kUnits) return false;
  std::memset(&info, 0, sizeof info);
  if (index == 0) {
    info.id = kRootUnitId;
    info.parentUnitId = kNoParentUnitId;
    copyString(info.name, "ZVX");
    info.programListId = kProgramListId;
  } else {
    info.id = unitOfSection(index - 1);
    info.parentUnitId = kRootUnitId;
    copyString(info.name, sectionName(index - 1));
    info.programListId = kNoProgramListId;
  }
  return true;
}

void describeProgramList(ProgramListInfo& info) {
  std::memset(&info, 0, sizeof info);
  info.id = kProgramListId;
  copyString(info.name, "Programs");
  info.programCount = Instrument::kNumPrograms;
}

int busCount(MediaType type, BusDirection direction) {
  if (type == kEvent) return direction == kInput ? 1 : 0;
  if (type == kAudio) return direction == kOutput ? kOutputBuses : 0;
  return 0;
}

bool describeBus(MediaType type, BusDirection direction, int index, BusInfo& info) {
  if (index < 0 || index >= busCount(type, direction)) return false;
  std::memset(&info, 0, sizeof info);
  info.mediaType = type;
  info.direction = direction;
  info.flags = BusInfo::kDefaultActive;
  if (type == kEvent) {
    info.channelCount = 16;
    info.busType = kMain;
    copyString(info.name, "MIDI In");
    return true;
  }
  constexpr const char* kNames[kOutputBuses] = {"Mix", "Kick", "Snare", "Hi-hat", "Clap"};
  info.channelCount = channelsOfBus(index);
  info.busType = index == 0 ? kMain : kAux;
  copyString(info.name, kNames[index]);
  return true;
}

int channelsOfBus(int bus) { return bus == 0 ? 2 : (bus > 0 && bus < kOutputBuses ? 1 : 0); }

int firstOutputOfBus(int bus) { return bus == 0 ? 0 : 1 + bus; }

SpeakerArrangement arrangementOfBus(int bus) { return bus == 0 ? SpeakerArr::kStereo : SpeakerArr::kMono; }

int stepCount(ParamID id) {
  if (id == kProgramId) return kProgramSteps;
  if (controllerOf(id)) return 127;
  if (!isInstrumentParameter(id)) return 0;
  switch (kindOf(static_cast<int>(id))) {
    case ParamKind::Switch: return 1;
    case ParamKind::Choice: return choiceCount(static_cast<int>(id)) - 1;
    default: return 0;
  }
}

double normalizedOf(int index, float value) {
  switch (kindOf(index)) {
    case ParamKind::Switch: return value >= 0.5f ? 1.0 : 0.0;
    case ParamKind::Choice: return choiceOf(index, value) / static_cast<double>(choiceCount(index) - 1);
    default: return std::isfinite(value) ? std::clamp(static_cast<double>(value), 0.0, 1.0) : 0.0;
  }
}

float instrumentValueOf(int index, double normalized) {
  if (!std::isfinite(normalized)) normalized = 0.0;
  normalized = std::clamp(normalized, 0.0, 1.0);
  switch (kindOf(index)) {
    case ParamKind::Switch: return normalized >= 0.5 ? 1.0f : 0.0f;
    case ParamKind::Choice: {
      const int last = choiceCount(index) - 1;
      return choiceValue(index, static_cast<int>(std::lround(normalized * last)));
    }
    default: return static_cast<float>(normalized);
  }
}

bool saysAlready(int index, float current, double normalized) {
  const int steps = stepCount(static_cast<ParamID>(index));
  const double now = normalizedOf(index, current);
  if (steps > 0) return std::lround(normalized * steps) == std::lround(now * steps);
  return std::fabs(normalized - now) <= kSameValue;
}

int programOf(double normalized) {
  if (!std::isfinite(normalized)) return 0;
  return static_cast<int>(std::lround(std::clamp(normalized, 0.0, 1.0) * kProgramSteps));
}

std::string valueText(int index, float value) {
  std::string text = displayValue(index, value);
  if (kindOf(index) != ParamKind::Continuous) return text;
  const std::string unit = std::string(" ") + unitSymbol(tableEntry(index).unit);
  if (unit.size() > 1 && text.size() > unit.size() && text.compare(text.size() - unit.size(), unit.size(), unit) == 0)
    text.resize(text.size() - unit.size());
  return text;
}

std::optional<float> valueFromText(int index, std::string_view text) {
  if (index < 0 || index >= kNumParameters) return std::nullopt;
  text = trimmed(text);
  if (text.empty()) return std::nullopt;
  // A text the parameter shows names its value (a sample, "On", "L 40").
  const int steps = stepCount(static_cast<ParamID>(index));
  const int candidates = steps > 0 ? steps + 1 : 1001;
  for (int i = 0; i < candidates; ++i) {
    const float value = instrumentValueOf(index, i / static_cast<double>(candidates - 1));
    if (sameText(text, valueText(index, value)) || sameText(text, displayValue(index, value))) return value;
  }
  // Else the value whose shown number is nearest the one given.
  const std::optional<double> wanted = firstNumber(text);
  if (!wanted) return std::nullopt;
  std::optional<float> best;
  double bestDistance = 0.0;
  for (int i = 0; i < candidates; ++i) {
    const float value = instrumentValueOf(index, i / static_cast<double>(candidates - 1));
    const std::optional<double> shown = firstNumber(valueText(index, value));
    if (!shown) continue;
    const double distance = std::fabs(*shown - *wanted);
    if (!best || distance < bestDistance) {
      best = value;
      bestDistance = distance;
    }
  }
  return best;
}

// UTF-8 where it is well formed; any other byte stands for itself (Latin-1),
// as the bank's 8-bit names were typed.
void copyString(TChar* to, std::size_t capacity, std::string_view text) {
  if (capacity == 0) return;
  std::size_t out = 0;
  for (std::size_t i = 0; i < text.size() && out + 1 < capacity;) {
    const auto byte = static_cast<unsigned char>(text[i]);
    char32_t code = byte;
    std::size_t length = 1;
    if (byte >= 0xC2 && byte <= 0xDF && i + 1 < text.size() && (text[i + 1] & 0xC0) == 0x80) {
      code = ((byte & 0x1Fu) << 6) | (static_cast<unsigned char>(text[i + 1]) & 0x3Fu);
      length = 2;
    } else if (byte >= 0xE0 && byte <= 0xEF && i + 2 < text.size() && (text[i + 1] & 0xC0) == 0x80 &&
               (text[i + 2] & 0xC0) == 0x80) {
      code = ((byte & 0x0Fu) << 12) | ((static_cast<unsigned char>(text[i + 1]) & 0x3Fu) << 6) |
             (static_cast<unsigned char>(text[i + 2]) & 0x3Fu);
      if (code < 0x800 || (code >= 0xD800 && code <= 0xDFFF)) code = byte;
      else length = 3;
    }
    to[out++] = static_cast<TChar>(code);
    i += length;
  }
  to[out] = 0;
}

std::string toUtf8(const TChar* text, std::size_t capacity) {
  std::string out;
  for (std::size_t i = 0; text && i < capacity && text[i]; ++i) {
    const char32_t code = text[i];
    if (code < 0x80) {
      out += static_cast<char>(code);
    } else if (code < 0x800) {
      out += static_cast<char>(0xC0 | (code >> 6));
      out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
      // Surrogates stay as they are written: the names we read are short words.
      out += static_cast<char>(0xE0 | (code >> 12));
      out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (code & 0x3F));
    }
  }
  return out;
}

}  // namespace zvx::vst3
