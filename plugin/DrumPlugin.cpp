#include "plugin/DrumPlugin.h"

#include <charconv>
#include <cstring>
#include <string>

#include "host/platform/Messages.h"
#include "plugin/ParameterTable.h"
#include "storage/DataFolder.h"

namespace zvx {
namespace {

constexpr const char* kProductName = "ZVX";
constexpr const char* kNotInstalled = "ZVX is not installed correctly";

// Copies a terminated text into a host buffer of `capacity` bytes.
void copyText(char* destination, const std::string& text, std::size_t capacity) {
  std::size_t length = std::min(text.size(), capacity - 1);
  std::memcpy(destination, text.data(), length);
  destination[length] = 0;
}

}  // namespace

DrumPlugin::DrumPlugin(audioMasterCallback audioMaster)
    : AudioEffectX(audioMaster, kNumPrograms, kNumParameters), engine_(*this), pcmLoader_(engine_) {
  fillParameterTable();
  programsAreChunks();

  busy_ = true;
  engine_.initialise();
  busy_ = false;
  engine_.finishInitialisation();

  if (audioMaster) {
    setNumInputs(0);
    setNumOutputs(Engine::kOutputs);
    isSynth();
    setUniqueID(kUniqueId);
    canProcessReplacing();
  }

  std::string folder;
  if (!findDataFolder("ZVX", folder)) platform::showMessage(kNotInstalled, "Error!");

  setProgram(0);
}

DrumPlugin::~DrumPlugin() {
  std::string folder;
  if (!findDataFolder("ZVX", folder)) platform::showMessage(kNotInstalled, "Error!");
}

void DrumPlugin::fillParameterTable() {
  for (int p = 0; p < kNumParameters; ++p) {
    const ParameterInfo& info = kParameterTable[p];
    bank_.setParamRecord(p, info.name, info.defaultValue, true, false);
  }
  for (int program = 0; program < kNumPrograms; ++program)
    for (int p = 0; p < kNumParameters; ++p) bank_.setProgramValue(program, p, kParameterTable[p].defaultValue);
}

void DrumPlugin::setSampleRate(float rate) {
  sampleRate = rate;
  engine_.setChaosSmootherRate(rate);
}

void DrumPlugin::processReplacing(float** /*inputs*/, float** outputs, VstInt32 sampleFrames) {
  if (busy_) return;
  markAudioThread();
  engine_.render(outputs, sampleFrames > 0 ? sampleFrames : 0);
  // The host's event block is only valid for this block.
  pendingEvents_ = nullptr;
  nextEvent_ = -1;
}

// ---------------------------------------------------------------------------
// Parameters

void DrumPlugin::setParameter(VstInt32 index, float value) {
  if (busy_) return;
  engine_.setHostRate(sampleRate);
  if (index >= 0 && index < kNumParameters) {
    if (!bank_.unclamped(index)) {
      if (!(value >= 0.0f)) value = 0.0f;  // NaN too
      if (value > 1.0f) value = 1.0f;
    }
    if (bank_.inProgram(index))
      bank_.setProgramValue(curProgram, index, value);
    else
      bank_.setRecordValue(index, value);
  }
  const ParamRole role = roleOf(index);
  engine_.applyParameter(index, role, voiceOf(index), value);
  if (role == ParamRole::Menu) loadPcm(voiceOf(index), value);
  if (editor) editor->setParameter(index, value);
}

// The audio thread never reads a file: its loads go to the loader thread.
void DrumPlugin::loadPcm(int voice, float value) {
  const int file = PcmLoader::fileFor(value);
  if (std::this_thread::get_id() == audioThread_.load(std::memory_order_relaxed))
    pcmLoader_.request(voice, file);
  else
    pcmLoader_.load(voice, file);
}

float DrumPlugin::getParameter(VstInt32 index) {
  if (index < 0 || index >= kNumParameters) return 0.0f;
  return currentValue(index);
}

void DrumPlugin::getParameterLabel(VstInt32 /*index*/, char* label) { label[0] = 0; }

void DrumPlugin::getParameterDisplay(VstInt32 index, char* text) {
  if (index < 0 || index >= kNumParameters) {
    text[0] = 0;
    return;
  }
  // "%.3f" without the host's locale: always a decimal point.
  char buffer[64];
  auto result = std::to_chars(buffer, buffer + sizeof buffer, currentValue(index), std::chars_format::fixed, 3);
  copyText(text, std::string(buffer, result.ptr), BankImage::kNameSize);
}

void DrumPlugin::getParameterName(VstInt32 index, char* text) {
  if (index < 0 || index >= kNumParameters) {
    text[0] = 0;
    return;
  }
  copyText(text, bank_.paramName(index), BankImage::kNameSize);
}

// ---------------------------------------------------------------------------
// Programs

void DrumPlugin::setProgram(VstInt32 program) {
  if (applyingProgram_ || program < 0 || program >= kNumPrograms) return;
  curProgram = program;
  setSampleRate(sampleRate);
  applyingProgram_ = true;
  for (int p = 0; p < kNumParameters; ++p) setParameter(p, bank_.currentValue(program, p));
  programApplied();
  applyingProgram_ = false;
  if (updateDisplay()) updateDisplay();
}

void DrumPlugin::setProgramName(char* name) { bank_.setProgramName(curProgram, name); }

void DrumPlugin::getProgramName(char* name) { copyText(name, bank_.programName(curProgram), BankImage::kNameSize); }

bool DrumPlugin::getProgramNameIndexed(VstInt32 /*category*/, VstInt32 index, char* text) {
  if (index < 0 || index >= kNumPrograms) return false;
  copyText(text, bank_.programName(index), BankImage::kNameSize);
  return true;
}

bool DrumPlugin::copyProgram(VstInt32 destination) {
  if (destination < 0 || destination >= kNumPrograms) return false;
  bank_.copyProgram(curProgram, destination);
  return true;
}

VstInt32 DrumPlugin::getChunk(void** /*data*/, bool /*isPreset*/) { return 0; }

VstInt32 DrumPlugin::setChunk(void* /*data*/, VstInt32 /*byteSize*/, bool /*isPreset*/) { return 1; }

// ---------------------------------------------------------------------------
// Fixed answers to the host

bool DrumPlugin::getOutputProperties(VstInt32 index, VstPinProperties* properties) {
  if (index < 0 || index >= Engine::kOutputs) return false;
  properties->flags = index < 2 ? (kVstPinIsActive | kVstPinIsStereo) : kVstPinIsActive;
  copyText(properties->label, kProductName, sizeof properties->label);
  return true;
}

bool DrumPlugin::getEffectName(char* name) {
  copyText(name, kProductName, kVstMaxEffectNameLen);
  return true;
}

bool DrumPlugin::getVendorString(char* text) {
  copyText(text, kVendor, kVstMaxVendorStrLen);
  return true;
}

bool DrumPlugin::getProductString(char* text) {
  copyText(text, kProductName, kVstMaxProductStrLen);
  return true;
}

// The host's mouse-wheel message ('stCA' / 'Whee') goes to the editor.
VstIntPtr DrumPlugin::vendorSpecific(VstInt32 lArg, VstIntPtr lArg2, void* /*ptrArg*/, float floatArg) {
  if (editor && lArg == fourCharCode("stCA") && lArg2 == fourCharCode("Whee")) return editor->onWheel(floatArg) ? 1 : 0;
  return 0;
}

VstInt32 DrumPlugin::canDo(char* text) {
  if (std::strcmp(text, "receiveVstEvents") == 0 || std::strcmp(text, "receiveVstMidiEvent") == 0) return 1;
  return -1;
}

}  // namespace zvx
