// A small VST 2.4 instrument that behaves, unless built with one fault
// (BROKEN_FAULT): the validator must pass the sound one and fail each broken
// one in the check that looks for that fault. Each note-on starts a decaying
// level on both outputs, scaled by the Gain parameter.
#include <algorithm>
#include <atomic>
#include <charconv>
#include <cmath>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "formats/vst2/VstAbi.h"

#define FAULT_NONE 0
#define FAULT_ALLOCATES 1   // allocates on the audio thread
#define FAULT_OVERRUNS 2    // writes its name past the host's buffer
#define FAULT_LEAVES_NAN 3  // leaves the last sample of every block unwritten
#define FAULT_CRASHES 4     // dereferences null on an opcode it does not know

#ifndef BROKEN_FAULT
#define BROKEN_FAULT FAULT_NONE
#endif

namespace {

constexpr int kParameters = 2;
constexpr const char* kNames[kParameters] = {"Gain", "Decay"};

struct Instrument {
  AEffect effect{};
  std::atomic<float> values[kParameters] = {0.8f, 0.5f};
  char programName[24] = "Default";
  float level = 0.0f;
  VstEvents* pending = nullptr;  // audio thread
};

Instrument& self(AEffect* effect) { return *static_cast<Instrument*>(effect->object); }

void copyText(void* destination, const std::string& text, std::size_t capacity) {
  const std::size_t length = std::min(text.size(), capacity - 1);
  std::memcpy(destination, text.data(), length);
  static_cast<char*>(destination)[length] = 0;
}

void handle(Instrument& instrument, const VstEvent* event) {
  if (!event || event->type != kVstMidiType) return;
  const auto* midi = reinterpret_cast<const VstMidiEvent*>(event);
  const int status = static_cast<unsigned char>(midi->midiData[0]) & 0xF0;
  const int data1 = midi->midiData[1] & 0x7F, data2 = midi->midiData[2] & 0x7F;
  if (status == 0x90 && data2 > 0) instrument.level = static_cast<float>(data2) / 127.0f;
  if (status == 0xB0 && (data1 == 120 || data1 == 123)) instrument.level = 0.0f;
}

VstIntPtr VSTCALLBACK dispatch(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                               float /*opt*/) {
  Instrument& instrument = self(effect);
  const bool parameter = index >= 0 && index < kParameters;
  switch (opcode) {
    case effClose:
      delete &instrument;
      return 1;
    case effGetProgram: return 0;
    case effSetProgramName:
      if (ptr) copyText(instrument.programName, std::string(static_cast<const char*>(ptr), strnlen(static_cast<const char*>(ptr), 23)), 24);
      return 0;
    case effGetProgramName:
      if (ptr) copyText(ptr, instrument.programName, 24);
      return 0;
    case effGetProgramNameIndexed:
      if (!ptr || index != 0) return 0;
      copyText(ptr, instrument.programName, 24);
      return 1;
    case effGetParamName:
    case effGetParamLabel:
    case effGetParamDisplay: {
      if (!ptr) return 0;
      char text[32] = "";
      if (parameter && opcode == effGetParamName) copyText(text, kNames[index], 8);
      if (parameter && opcode == effGetParamDisplay)
        *std::to_chars(text, text + 31, instrument.values[index].load(), std::chars_format::fixed, 3).ptr = 0;
      copyText(ptr, text, 8);
      return 0;
    }
    case effCanBeAutomated: return parameter ? 1 : 0;
    case effGetEffectName:
      if (!ptr) return 0;
#if BROKEN_FAULT == FAULT_OVERRUNS
      std::strcpy(static_cast<char*>(ptr), "Broken instrument with a rather long name");
#else
      copyText(ptr, "Broken instrument", kVstMaxEffectNameLen);
#endif
      return 1;
    case effGetVendorString:
    case effGetProductString:
      if (!ptr) return 0;
      copyText(ptr, "zvx-validate test", 64);
      return 1;
    case effGetVendorVersion: return 1;
    case effGetPlugCategory: return kPlugCategSynth;
    case effGetVstVersion: return kVstVersion;
    case effCanDo: {
      if (!ptr) return 0;
      const std::string asked = static_cast<const char*>(ptr);
      return asked == "receiveVstEvents" || asked == "receiveVstMidiEvent" ? 1 : -1;
    }
    case effGetNumMidiInputChannels: return 16;
    case effProcessEvents:
      if (!ptr) return 0;
      instrument.pending = static_cast<VstEvents*>(ptr);
      return 1;
    case effGetOutputProperties:
      if (!ptr || index < 0 || index >= 2) return 0;
      std::memset(ptr, 0, sizeof(VstPinProperties));
      copyText(static_cast<VstPinProperties*>(ptr)->label, index == 0 ? "Left" : "Right", 64);
      static_cast<VstPinProperties*>(ptr)->flags = kVstPinIsActive | (index == 0 ? kVstPinIsStereo : 0);
      return 1;
    default:
#if BROKEN_FAULT == FAULT_CRASHES
      if (opcode == static_cast<VstInt32>(0xDEADBEEF)) return *static_cast<volatile VstIntPtr*>(nullptr);
#endif
      (void)value;
      return 0;
  }
}

// Events act at their frame, clamped into the block; the level decays by
// the Decay parameter and drops to exactly 0 before it could turn subnormal.
void VSTCALLBACK processReplacing(AEffect* effect, float** /*inputs*/, float** outputs, VstInt32 frames) {
  Instrument& instrument = self(effect);
#if BROKEN_FAULT == FAULT_ALLOCATES
  std::vector<float> scratch(static_cast<std::size_t>(std::max(frames, 1)));
  asm volatile("" : : "r"(scratch.data()) : "memory");
#endif
  const float gain = instrument.values[0].load();
  const float decay = 0.999f - 0.01f * (1.0f - instrument.values[1].load());
  VstEvents* events = instrument.pending;
  instrument.pending = nullptr;
  int next = 0;
#if BROKEN_FAULT == FAULT_LEAVES_NAN
  const int written = frames - 1;
#else
  const int written = frames;
#endif
  for (int i = 0; i < written; ++i) {
    while (events && next < events->numEvents) {
      const VstEvent* event = eventSlots(*events)[next];
      if (event && std::clamp(event->deltaFrames, 0, std::max(frames - 1, 0)) > i) break;
      handle(instrument, event);
      ++next;
    }
    const float out = instrument.level * gain;
    instrument.level *= decay;
    if (instrument.level < 1e-7f) instrument.level = 0.0f;
    outputs[0][i] = out;
    outputs[1][i] = out;
  }
}

void VSTCALLBACK processAccumulating(AEffect* effect, float** inputs, float** outputs, VstInt32 frames) {
  std::vector<float> left(static_cast<std::size_t>(std::max(frames, 0))), right(left.size());
  float* scratch[2] = {left.data(), right.data()};
  processReplacing(effect, inputs, scratch, frames);
  for (int i = 0; i < frames; ++i) outputs[0][i] += left[static_cast<std::size_t>(i)], outputs[1][i] += right[static_cast<std::size_t>(i)];
}

void VSTCALLBACK setParameter(AEffect* effect, VstInt32 index, float value) {
  if (index < 0 || index >= kParameters) return;
  self(effect).values[index] = value >= 0.0f ? std::min(value, 1.0f) : 0.0f;
}

float VSTCALLBACK getParameter(AEffect* effect, VstInt32 index) {
  return index >= 0 && index < kParameters ? self(effect).values[index].load() : 0.0f;
}

}  // namespace

extern "C" __attribute__((visibility("default"))) AEffect* VSTPluginMain(audioMasterCallback master) {
  if (!master || master(nullptr, audioMasterVersion, 0, 0, nullptr, 0.0f) == 0) return nullptr;
  auto* instrument = new (std::nothrow) Instrument;
  if (!instrument) return nullptr;
  AEffect& e = instrument->effect;
  e.magic = kEffectMagic;
  e.dispatcher = dispatch;
  e.process = processAccumulating;
  e.processReplacing = processReplacing;
  e.setParameter = setParameter;
  e.getParameter = getParameter;
  e.numPrograms = 1;
  e.numParams = kParameters;
  e.numInputs = 0;
  e.numOutputs = 2;
  e.flags = effFlagsCanReplacing | effFlagsIsSynth;
  e.object = instrument;
  e.uniqueID = fourCharCode("zvBk");
  e.version = 1;
  return &e;
}

extern "C" __attribute__((visibility("default"))) AEffect* brokenMainAlias(audioMasterCallback master) __asm__("main");
extern "C" AEffect* brokenMainAlias(audioMasterCallback master) { return VSTPluginMain(master); }
