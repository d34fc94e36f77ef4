#include "formats/vst2/DrumPlugin.h"

#include <algorithm>
#include <cstring>

#include "editor/FrameEditor.h"
#include "engine/SampleRate.h"
#include "formats/vst2/AEffGUIEditor.h"
#include "formats/vst2/VstDescription.h"
#include "platform/MessageBoxes.h"

namespace zvx {
namespace {

constexpr const char* kProductName = "ZVX";

// Copies a terminated text into a host buffer of `capacity` bytes.
void copyText(char* destination, const char* text, std::size_t capacity) {
  std::size_t length = std::min(std::strlen(text), capacity - 1);
  std::memcpy(destination, text, length);
  destination[length] = 0;
}

}  // namespace

DrumPlugin::DrumPlugin(audioMasterCallback audioMaster, EditorFactory makeEditor)
    : AudioEffectX(audioMaster, kNumPrograms, kNumParameters),
      instrument_(hostShowingBoxes()),
      control_(*this, &instrument_) {
  programsAreChunks();
  if (audioMaster) {
    setNumInputs(0);
    setNumOutputs(Instrument::kOutputs);
    isSynth();
    setUniqueID(kUniqueId);
    canProcessReplacing();
  }

  // The editor reads only its skin's background now, for the window size.
  if (makeEditor) {
    setEditor(new AEffGUIEditor(this, makeEditor(control_)));
    editor->setKnobMode(2);
  }

  instrument_.start();
}

// Messages in boxes, as users of plug-ins see them, from the instrument's first word.
InstrumentHost& DrumPlugin::hostShowingBoxes() {
  platform::useMessageBoxes();
  return *this;
}

// The editor goes while the instrument it looks at is still whole.
DrumPlugin::~DrumPlugin() {
  instrument_.setLearnHook(nullptr);
  delete editor;
  setEditor(nullptr);
}

VstIntPtr DrumPlugin::dispatcher(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt) {
  if (instrument_.messagesWaiting() &&
      (opcode == effEditIdle || (opcode != effProcessEvents && !instrument_.onAudioThread())))
    instrument_.showWaitingMessages();
  return AudioEffectX::dispatcher(opcode, index, value, ptr, opt);
}

bool DrumPlugin::hostSaysRealtime() {
  return callHost(audioMasterGetCurrentProcessLevel) == kVstProcessLevelRealtime;
}

void DrumPlugin::parameterChanged(int index, float value) {
  if (editor) editor->setParameter(index, value);
}

// A rate that cannot be played is refused: the module keeps the one it had.
void DrumPlugin::setSampleRate(float rate) {
  if (!zvx::isUsableSampleRate(rate)) return;
  sampleRate = rate;
  instrument_.setSampleRate(rate);
}

void DrumPlugin::processReplacing(float** /*inputs*/, float** outputs, VstInt32 sampleFrames) {
  instrument_.render(outputs, sampleFrames, events_);
  // The host's event block is only valid for this block.
  events_.block = nullptr;
}

VstInt32 DrumPlugin::processEvents(VstEvents* events) {
  events_.block = events;
  return 1;
}

bool DrumPlugin::Events::at(int index, MidiEvent& event) const {
  const VstEvent* slot = eventSlots(*block)[index];
  if (!slot) return false;
  event.deltaFrames = slot->deltaFrames;
  event.isMidi = slot->type == kVstMidiType;
  if (event.isMidi) std::memcpy(event.data, reinterpret_cast<const VstMidiEvent*>(slot)->midiData, sizeof event.data);
  return true;
}

bool DrumPlugin::getProgramNameIndexed(VstInt32 /*category*/, VstInt32 index, char* text) {
  if (index < 0 || index >= kNumPrograms) return false;
  instrument_.programName(index, text);
  return true;
}

VstInt32 DrumPlugin::getChunk(void** data, bool isPreset) {
  return static_cast<VstInt32>(instrument_.saveChunk(data, isPreset));
}

// A negative size is no preset; it gets the instrument's message for a wrong size.
VstInt32 DrumPlugin::setChunk(void* data, VstInt32 byteSize, bool isPreset) {
  instrument_.loadChunk(data, byteSize < 0 ? static_cast<std::size_t>(-1) : static_cast<std::size_t>(byteSize), isPreset);
  return 1;
}

// ---------------------------------------------------------------------------
// Fixed answers to the host

bool DrumPlugin::getParameterProperties(VstInt32 index, VstParameterProperties* properties) {
  return vst2::describeParameter(index, *properties);
}

bool DrumPlugin::getOutputProperties(VstInt32 index, VstPinProperties* properties) {
  return vst2::describeOutput(index, *properties);
}

// Channels 0 to 15 alike: one MIDI program, the kit, whose keys are named.
VstInt32 DrumPlugin::getMidiProgramName(VstInt32 channel, MidiProgramName* name) {
  if (channel < 0 || channel > 15) return 0;
  return static_cast<VstInt32>(vst2::nameMidiProgram(*name));
}

VstInt32 DrumPlugin::getCurrentMidiProgram(VstInt32 channel, MidiProgramName* name) {
  if (channel < 0 || channel > 15) return -1;
  name->thisProgramIndex = 0;
  vst2::nameMidiProgram(*name);
  return 0;
}

bool DrumPlugin::getMidiKeyName(VstInt32 channel, MidiKeyName* key) {
  return channel >= 0 && channel <= 15 && vst2::nameKey(*key);
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
  // Hosts ask key names only of plug-ins that name their MIDI programs.
  if (std::strcmp(text, "midiProgramNames") == 0) return 1;
  return -1;
}

}  // namespace zvx
