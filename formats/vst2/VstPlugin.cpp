#include "formats/vst2/VstPlugin.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "engine/SampleRate.h"
#include "formats/vst2/VstDescription.h"
#include "instrument/ParameterTable.h"
#include "platform/MessageBoxes.h"

namespace zvx::vst2 {
namespace {

constexpr VstInt32 kInitialBlockSize = 1024;
constexpr VstInt32 kLargestBlock = 1 << 20;  // beyond it a block size is no size

// Copies a terminated text into a host buffer of `capacity` bytes.
void copyText(char* destination, const char* text, std::size_t capacity) {
  std::size_t length = std::min(std::strlen(text), capacity - 1);
  std::memcpy(destination, text, length);
  destination[length] = 0;
}

}  // namespace

AEffect* VstPlugin::create(audioMasterCallback host, EditorFactory makeEditor) {
  auto* plugin = new (std::nothrow) VstPlugin(host, makeEditor);
  return plugin ? &plugin->effect_ : nullptr;
}

// Messages in boxes, as users of plug-ins see them, from the instrument's first word.
InstrumentHost& VstPlugin::showingBoxes(VstPlugin& plugin) {
  platform::useMessageBoxes();
  return plugin;
}

VstPlugin::VstPlugin(audioMasterCallback host, EditorFactory makeEditor)
    : host_(host), instrument_(showingBoxes(*this)) {
  effect_.magic = kEffectMagic;
  effect_.dispatcher = &VstPlugin::dispatchEntry;
  // A distinct accumulating entry: some hosts compare it with processReplacing.
  effect_.process = &VstPlugin::processEntry;
  effect_.setParameter = &VstPlugin::setParameterEntry;
  effect_.getParameter = &VstPlugin::getParameterEntry;
  effect_.numPrograms = Instrument::kNumPrograms;
  effect_.numParams = kNumParameters;
  effect_.numInputs = 0;
  effect_.numOutputs = Instrument::kOutputs;
  effect_.flags = effFlagsCanReplacing | effFlagsProgramChunks | effFlagsIsSynth;
  effect_.ioRatio = 1.0f;
  effect_.object = this;
  effect_.uniqueID = Instrument::kUniqueId;
  effect_.version = 1;
  effect_.processReplacing = &VstPlugin::processReplacingEntry;
  effect_.processDoubleReplacing = &VstPlugin::processDoubleEntry;
  reserveAccumulator(kInitialBlockSize);

  // The editor reads only its skin's background now, for the window size.
  // What that has to say about the skin, its opening says again: logged only.
  if (makeEditor) {
    const platform::MessageHold sizePass(nullptr);
    editor_ = std::make_unique<VstEditor>(makeEditor(control_), [this](int width, int height) {
      callHost(audioMasterSizeWindow, width, height);
    });
    editor_->frameEditor().setKnobMode(kLinearMode);
    effect_.flags |= effFlagsHasEditor;
  }

  instrument_.start();
  constructing_.reset();
}

// The editor goes while the instrument it looks at is still whole.
VstPlugin::~VstPlugin() {
  instrument_.setLearnHook(nullptr);
  editor_.reset();
}

VstIntPtr VstPlugin::callHost(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt) {
  return host_ ? host_(&effect_, opcode, index, value, ptr, opt) : 0;
}

bool VstPlugin::hostSaysRealtime() {
  return callHost(audioMasterGetCurrentProcessLevel) == kVstProcessLevelRealtime;
}

void VstPlugin::parameterChanged(int index, float value) {
  if (editor_) editor_->setParameter(index, value);
}

void VstPlugin::EditorControl::automateParameter(int index, float value) {
  DirectControl::setParameter(index, value);
  plugin_.callHost(audioMasterAutomate, index, 0, nullptr, value);
}

// ---------------------------------------------------------------------------
// Entry points

VstIntPtr VSTCALLBACK VstPlugin::dispatchEntry(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value,
                                               void* ptr, float opt) {
  VstPlugin& plugin = self(effect);
  if (opcode == effClose) {
    // What the closing has to say is kept by messages_, which outlives the
    // instrument; it is on standard error before the plug-in is gone.
    const auto hold = plugin.holdUntilEditorOpens(opcode == effProcessEvents);
    delete &plugin;
    return 1;
  }
  if (opcode == effEditOpen) {
    const VstIntPtr opened = plugin.dispatch(opcode, index, value, ptr, opt);
    plugin.messages_.editorOpened(ptr);
    return opened;
  }
  const auto hold = plugin.holdUntilEditorOpens(opcode == effProcessEvents);
  return plugin.dispatch(opcode, index, value, ptr, opt);
}

void VSTCALLBACK VstPlugin::processEntry(AEffect* effect, float** /*inputs*/, float** outputs, VstInt32 frames) {
  self(effect).processAccumulating(outputs, frames);
}

void VSTCALLBACK VstPlugin::processReplacingEntry(AEffect* effect, float** /*inputs*/, float** outputs,
                                                  VstInt32 frames) {
  self(effect).processReplacing(outputs, frames);
}

// Single precision only: the flags never offer double, and a host that
// calls it anyway gets its buffers untouched.
void VSTCALLBACK VstPlugin::processDoubleEntry(AEffect*, double**, double**, VstInt32) {}

void VSTCALLBACK VstPlugin::setParameterEntry(AEffect* effect, VstInt32 index, float value) {
  const auto hold = self(effect).holdUntilEditorOpens(false);
  self(effect).instrument_.setParameter(index, value);
}

float VSTCALLBACK VstPlugin::getParameterEntry(AEffect* effect, VstInt32 index) {
  return self(effect).instrument_.parameter(index);
}

// ---------------------------------------------------------------------------
// Audio

void VstPlugin::processReplacing(float** outputs, VstInt32 frames) {
  instrument_.render(outputs, frames, events_);
  // The host's event block is only valid for this block.
  events_.block = nullptr;
}

void VstPlugin::reserveAccumulator(VstInt32 frames) {
  frames = std::max<VstInt32>(frames, 0);
  accumulator_.assign(static_cast<std::size_t>(Instrument::kOutputs) * static_cast<std::size_t>(frames), 0.0f);
  accumulatorFrames_ = frames;
}

// The deprecated accumulating process: render replacing into scratch, add into
// the host's buffers. Blocks longer than the scratch are rendered in parts.
void VstPlugin::processAccumulating(float** outputs, VstInt32 frames) {
  if (frames <= 0 || accumulatorFrames_ <= 0) return;
  float* scratch[Instrument::kOutputs];
  for (int c = 0; c < Instrument::kOutputs; ++c)
    scratch[c] = accumulator_.data() + static_cast<std::size_t>(c) * static_cast<std::size_t>(accumulatorFrames_);
  for (VstInt32 done = 0; done < frames;) {
    const VstInt32 part = std::min(frames - done, accumulatorFrames_);
    processReplacing(scratch, part);
    for (int c = 0; c < Instrument::kOutputs; ++c)
      for (VstInt32 i = 0; i < part; ++i) outputs[c][done + i] += scratch[c][i];
    done += part;
  }
}

bool VstPlugin::Events::at(int index, MidiEvent& event) const {
  const VstEvent* slot = eventSlots(*block)[index];
  if (!slot) return false;
  event.deltaFrames = slot->deltaFrames;
  event.isMidi = slot->type == kVstMidiType;
  if (event.isMidi) std::memcpy(event.data, reinterpret_cast<const VstMidiEvent*>(slot)->midiData, sizeof event.data);
  return true;
}

// ---------------------------------------------------------------------------
// The host's calls

// Shows the messages kept from the audio thread first, off that thread.
VstIntPtr VstPlugin::dispatch(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt) {
  if (instrument_.messagesWaiting() &&
      (opcode == effEditIdle || (opcode != effProcessEvents && !instrument_.onAudioThread())))
    instrument_.showWaitingMessages();
  if (editor_)
    if (const std::optional<VstIntPtr> answered = editor_->dispatch(opcode, index, value, ptr, opt)) return *answered;
  return answer(opcode, index, value, ptr, opt);
}

VstIntPtr VstPlugin::answer(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt) {
  const bool parameter = index >= 0 && index < kNumParameters;
  char* text = static_cast<char*>(ptr);
  switch (opcode) {
    // The block's events; they act with the block rendered next.
    case effProcessEvents:
      if (!ptr) return 0;
      events_.block = static_cast<VstEvents*>(ptr);
      return 1;

    // Rate, block size, activation.
    case effSetSampleRate:
      // A rate that cannot be played is refused: the plug-in keeps the one it had.
      if (isUsableSampleRate(opt)) instrument_.setSampleRate(opt);
      return 0;
    case effSetBlockSize:
      if (value > accumulatorFrames_ && value <= kLargestBlock) reserveAccumulator(static_cast<VstInt32>(value));
      return 0;
    case effMainsChanged:
      // On: an instrument wants the host's MIDI.
      if (value) callHost(audioMasterWantMidi, 0, 1);
      return 0;

    // Parameters.
    case effGetParamName:
      if (text) instrument_.parameterName(index, text);
      return 0;
    case effGetParamDisplay:
      if (text) instrument_.parameterDisplay(index, text);
      return 0;
    case effGetParamLabel:
      if (text) text[0] = 0;
      return 0;
    case effCanBeAutomated:
      return isAutomatable(index) ? 1 : 0;
    case effGetParameterProperties:
      return ptr && parameter && describeParameter(index, *static_cast<VstParameterProperties*>(ptr)) ? 1 : 0;

    // Programs and chunks.
    case effSetProgram:
      if (value >= 0 && value < Instrument::kNumPrograms) instrument_.setProgram(static_cast<int>(value));
      return 0;
    case effGetProgram:
      return instrument_.program();
    case effSetProgramName:
      if (text) instrument_.setProgramName(text);
      return 0;
    case effGetProgramName:
      if (text) instrument_.programName(instrument_.program(), text);
      return 0;
    case effGetProgramNameIndexed:
      if (!text || index < 0 || index >= Instrument::kNumPrograms) return 0;
      instrument_.programName(index, text);
      return 1;
    case effCopyProgram:
      return instrument_.copyProgram(index) ? 1 : 0;
    case effGetChunk:
      return ptr ? static_cast<VstIntPtr>(instrument_.saveChunk(static_cast<void**>(ptr), index != 0)) : 0;
    case effSetChunk:
      if (!ptr || value < 0 || value > INT32_MAX) return 0;
      instrument_.loadChunk(ptr, static_cast<std::size_t>(value), index != 0);
      return 1;

    // What the plug-in is.
    case effGetOutputProperties:
      return ptr && describeOutput(index, *static_cast<VstPinProperties*>(ptr)) ? 1 : 0;
    case effGetPlugCategory:
      return kPlugCategSynth;
    case effGetEffectName:
      if (!text) return 0;
      copyText(text, kProductName, kVstMaxEffectNameLen);
      return 1;
    case effGetVendorString:
      if (!text) return 0;
      copyText(text, kVendor, kVstMaxVendorStrLen);
      return 1;
    case effGetProductString:
      if (!text) return 0;
      copyText(text, kProductName, kVstMaxProductStrLen);
      return 1;
    case effGetVendorVersion:
      return 1;
    case effGetVstVersion:
      return kVstVersion;
    case effIdentify:
      return fourCharCode("NvEf");
    case effCanDo:
      if (!text) return 0;
      if (std::strcmp(text, "receiveVstEvents") == 0 || std::strcmp(text, "receiveVstMidiEvent") == 0) return 1;
      // Hosts ask key names only of plug-ins that name their MIDI programs.
      if (std::strcmp(text, "midiProgramNames") == 0) return 1;
      return -1;
    case effGetNumMidiInputChannels:
      return 1;
    case effGetNumMidiOutputChannels:
      return 0;

    // Channels 0 to 15 alike: one MIDI program, the kit, whose keys are named.
    case effGetMidiProgramName:
      if (!ptr || index < 0 || index > 15) return 0;
      return nameMidiProgram(*static_cast<MidiProgramName*>(ptr));
    case effGetCurrentMidiProgram:
      if (!ptr || index < 0 || index > 15) return -1;
      static_cast<MidiProgramName*>(ptr)->thisProgramIndex = 0;
      nameMidiProgram(*static_cast<MidiProgramName*>(ptr));
      return 0;
    case effGetMidiKeyName:
      return ptr && index >= 0 && index <= 15 && nameKey(*static_cast<MidiKeyName*>(ptr)) ? 1 : 0;

    // Everything else (input pins, bypass, precision, speaker arrangements,
    // the editor's opcodes without an editor, ...) is not ours: 0.
    default:
      return 0;
  }
}

}  // namespace zvx::vst2
