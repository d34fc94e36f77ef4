#include "formats/vst2/VstDescription.h"

#include <cstring>
#include <string>

#include "instrument/DrumNotes.h"
#include "instrument/Instrument.h"
#include "instrument/ParameterTable.h"

namespace zvx::vst2 {
namespace {

// Copies at most size - 1 characters and always terminates.
void copyText(char* to, const std::string& text, std::size_t size) {
  const std::size_t length = std::min(text.size(), size - 1);
  std::memcpy(to, text.data(), length);
  to[length] = 0;
}

// The unused parameters get a category of their own, after the master and the voices.
constexpr int kUnusedCategory = kSections + 1;

int categoryOf(int index) {
  return kParameterTable[static_cast<std::size_t>(index)].kind == ParamKind::Unused ? kUnusedCategory
                                                                                     : 1 + sectionOf(index);
}

std::string categoryLabel(int category) { return category == kUnusedCategory ? "Unused" : sectionName(category - 1); }

}  // namespace

bool describeParameter(int index, VstParameterProperties& p) {
  if (index < 0 || index >= kNumParameters) return false;
  const ParameterInfo& info = kParameterTable[static_cast<std::size_t>(index)];
  std::memset(&p, 0, sizeof p);
  copyText(p.label, info.title, sizeof p.label);
  copyText(p.shortLabel, shortTitle(index, sizeof p.shortLabel - 1), sizeof p.shortLabel);
  switch (info.kind) {
    case ParamKind::Switch:
      p.flags = kVstParameterIsSwitch;
      break;
    case ParamKind::Choice:
      // The host's integer i is the value i / 7, which plays entry i.
      p.flags = kVstParameterUsesIntegerMinMax | kVstParameterUsesIntStep;
      p.minInteger = 0;
      p.maxInteger = choiceCount(index) - 1;
      p.stepInteger = p.largeStepInteger = 1;
      break;
    default:
      p.flags = kVstParameterUsesFloatStep | kVstParameterCanRamp;
      p.stepFloat = 0.01f;
      p.smallStepFloat = 0.001f;
      p.largeStepFloat = 0.1f;
      break;
  }
  const int category = categoryOf(index);
  int inCategory = 0;
  for (int other = 0; other < kNumParameters; ++other) inCategory += categoryOf(other) == category ? 1 : 0;
  p.flags |= kVstParameterSupportsDisplayCategory;
  p.category = static_cast<VstInt16>(category);
  p.numParametersInCategory = static_cast<VstInt16>(inCategory);
  copyText(p.categoryLabel, categoryLabel(category), sizeof p.categoryLabel);
  return true;
}

bool describeOutput(int index, VstPinProperties& p) {
  constexpr const char* kLabels[Instrument::kOutputs] = {"Mix L", "Mix R", "Kick", "Snare", "Hi-hat", "Clap"};
  constexpr const char* kShort[Instrument::kOutputs] = {"MixL", "MixR", "Kick", "Snare", "HiHat", "Clap"};
  if (index < 0 || index >= Instrument::kOutputs) return false;
  std::memset(&p, 0, sizeof p);
  copyText(p.label, kLabels[index], sizeof p.label);
  copyText(p.shortLabel, kShort[index], sizeof p.shortLabel);
  // Only the mix is a stereo pair; each voice is a channel of its own.
  const bool mix = index < 2;
  p.flags = kVstPinIsActive | kVstPinUseSpeaker | (mix ? kVstPinIsStereo : 0);
  p.arrangementType = mix ? kSpeakerArrStereo : kSpeakerArrMono;
  return true;
}

bool nameKey(MidiKeyName& key) {
  const char* name = drumNoteName(key.thisKeyNumber);
  if (!name) return false;
  copyText(key.keyName, name, sizeof key.keyName);
  return true;
}

VstIntPtr nameMidiProgram(MidiProgramName& program) {
  if (program.thisProgramIndex != 0) return 0;
  const int index = program.thisProgramIndex;
  std::memset(&program, 0, sizeof program);
  program.thisProgramIndex = index;
  copyText(program.name, "ZVX Drum Kit", sizeof program.name);
  program.midiProgram = 0;
  program.midiBankMsb = program.midiBankLsb = -1;
  program.parentCategoryIndex = -1;
  program.flags = kMidiIsOmni;
  return 1;
}

}  // namespace zvx::vst2
