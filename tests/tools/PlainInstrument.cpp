// A minimal VST 2.4 instrument without chunks, for testing hosts against: two
// parameters, three named programs, and two outputs that carry the current
// program's parameter values as constant levels, so a render shows which
// values were played.
#include <algorithm>
#include <array>
#include <cstring>
#include <new>
#include <string>

#include "host/vst/VstAbi.h"

namespace {

constexpr int kParameters = 2;
constexpr int kPrograms = 3;
constexpr const char* kParameterNames[kParameters] = {"Left", "Right"};

struct Program {
  std::array<float, kParameters> values{0.1f, 0.2f};
  std::string name;
};

struct Instrument {
  AEffect effect{};
  std::array<Program, kPrograms> programs;
  int current = 0;
};

Instrument& self(AEffect* effect) { return *static_cast<Instrument*>(effect->object); }

void copyText(void* destination, const std::string& text, std::size_t capacity) {
  const std::size_t length = std::min(text.size(), capacity - 1);
  std::memcpy(destination, text.data(), length);
  static_cast<char*>(destination)[length] = 0;
}

VstIntPtr VSTCALLBACK dispatch(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                               float /*opt*/) {
  Instrument& instrument = self(effect);
  switch (opcode) {
    case effClose:
      delete &instrument;
      return 1;
    case effSetProgram:
      if (value >= 0 && value < kPrograms) instrument.current = static_cast<int>(value);
      return 0;
    case effGetProgram:
      return instrument.current;
    case effSetProgramName:
      instrument.programs[static_cast<std::size_t>(instrument.current)].name =
          std::string(static_cast<const char*>(ptr), strnlen(static_cast<const char*>(ptr), kVstMaxProgNameLen - 1));
      return 0;
    case effGetProgramName:
      copyText(ptr, instrument.programs[static_cast<std::size_t>(instrument.current)].name, kVstMaxProgNameLen);
      return 0;
    case effGetProgramNameIndexed:
      if (index < 0 || index >= kPrograms) return 0;
      copyText(ptr, instrument.programs[static_cast<std::size_t>(index)].name, kVstMaxProgNameLen);
      return 1;
    case effGetParamName:
      if (index >= 0 && index < kParameters) copyText(ptr, kParameterNames[index], kVstMaxParamStrLen);
      return 0;
    case effGetParamLabel:
    case effGetParamDisplay:
      copyText(ptr, "", kVstMaxParamStrLen);
      return 0;
    case effProcessEvents:
      return 1;
    default:
      return 0;
  }
}

void VSTCALLBACK setParameter(AEffect* effect, VstInt32 index, float value) {
  Instrument& instrument = self(effect);
  if (index >= 0 && index < kParameters)
    instrument.programs[static_cast<std::size_t>(instrument.current)].values[static_cast<std::size_t>(index)] = value;
}

float VSTCALLBACK getParameter(AEffect* effect, VstInt32 index) {
  Instrument& instrument = self(effect);
  if (index < 0 || index >= kParameters) return 0.0f;
  return instrument.programs[static_cast<std::size_t>(instrument.current)].values[static_cast<std::size_t>(index)];
}

void VSTCALLBACK processReplacing(AEffect* effect, float** /*inputs*/, float** outputs, VstInt32 frames) {
  const Program& program = self(effect).programs[static_cast<std::size_t>(self(effect).current)];
  for (int channel = 0; channel < kParameters; ++channel)
    std::fill(outputs[channel], outputs[channel] + frames, program.values[static_cast<std::size_t>(channel)]);
}

}  // namespace

extern "C" __attribute__((visibility("default"))) AEffect* VSTPluginMain(audioMasterCallback /*audioMaster*/) {
  auto* instrument = new (std::nothrow) Instrument;
  if (!instrument) return nullptr;
  for (int p = 0; p < kPrograms; ++p)
    instrument->programs[static_cast<std::size_t>(p)].name = "Plain " + std::to_string(p);
  AEffect& effect = instrument->effect;
  effect.magic = kEffectMagic;
  effect.dispatcher = dispatch;
  effect.setParameter = setParameter;
  effect.getParameter = getParameter;
  effect.processReplacing = processReplacing;
  effect.numPrograms = kPrograms;
  effect.numParams = kParameters;
  effect.numOutputs = kParameters;
  effect.flags = effFlagsCanReplacing | effFlagsIsSynth;
  effect.object = instrument;
  effect.uniqueID = fourCharCode("PlIn");
  effect.version = 3;
  return &effect;
}
