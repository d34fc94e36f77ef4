// The instrument as a VST 2.4 plug-in: the host's calls passed on to the
// instrument, its questions answered by the host, the fixed answers (pins,
// names, capabilities) and the editor.
//
// Threads: as the host calls; see Instrument.
#pragma once

#include <memory>

#include "formats/vst2/AudioEffectX.h"
#include "formats/vst2/EffectControl.h"
#include "instrument/Instrument.h"
#include "instrument/ParameterTable.h"

namespace zvx {

class FrameEditor;

class DrumPlugin : public AudioEffectX, private InstrumentHost {
 public:
  // Makes the plug-in's editor; the module's entry point passes the
  // instrument editor, other users may go without one.
  using EditorFactory = std::unique_ptr<FrameEditor> (*)(InstrumentControl& instrument);

  static constexpr int kNumPrograms = Instrument::kNumPrograms;
  static constexpr VstInt32 kUniqueId = Instrument::kUniqueId;
  static_assert(kUniqueId == fourCharCode("996d"));
  static constexpr const char* kVendor = "zvx.audio";

  explicit DrumPlugin(audioMasterCallback audioMaster, EditorFactory makeEditor = nullptr);
  ~DrumPlugin() override;

  // Shows the messages kept from the audio thread first, off that thread.
  VstIntPtr dispatcher(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt) override;

  void suspend() override {}
  void setSampleRate(float rate) override;
  void setBlockSize(VstInt32 size) override { blockSize = size; }
  void processReplacing(float** inputs, float** outputs, VstInt32 sampleFrames) override;
  VstInt32 processEvents(VstEvents* events) override;

  void setParameter(VstInt32 index, float value) override { instrument_.setParameter(index, value); }
  float getParameter(VstInt32 index) override { return instrument_.parameter(index); }
  void getParameterLabel(VstInt32 /*index*/, char* label) override { label[0] = 0; }
  void getParameterDisplay(VstInt32 index, char* text) override { instrument_.parameterDisplay(index, text); }
  void getParameterName(VstInt32 index, char* text) override { instrument_.parameterName(index, text); }

  VstInt32 getProgram() override { return instrument_.program(); }
  void setProgram(VstInt32 program) override { instrument_.setProgram(program); }
  void setProgramName(char* name) override { instrument_.setProgramName(name); }
  void getProgramName(char* name) override { instrument_.programName(instrument_.program(), name); }
  bool getProgramNameIndexed(VstInt32 category, VstInt32 index, char* text) override;
  bool copyProgram(VstInt32 destination) override { return instrument_.copyProgram(destination); }
  VstInt32 getChunk(void** data, bool isPreset) override;
  VstInt32 setChunk(void* data, VstInt32 byteSize, bool isPreset) override;

  // What hosts show of parameters, outputs and keys: the instrument's description.
  bool getParameterProperties(VstInt32 index, VstParameterProperties* properties) override;
  bool canParameterBeAutomated(VstInt32 index) override { return isAutomatable(index); }
  bool getOutputProperties(VstInt32 index, VstPinProperties* properties) override;
  VstInt32 getMidiProgramName(VstInt32 channel, MidiProgramName* name) override;
  VstInt32 getCurrentMidiProgram(VstInt32 channel, MidiProgramName* name) override;
  bool getMidiKeyName(VstInt32 channel, MidiKeyName* key) override;
  VstInt32 getNumMidiInputChannels() override { return 1; }
  VstInt32 getNumMidiOutputChannels() override { return 0; }
  bool getEffectName(char* name) override;
  bool getVendorString(char* text) override;
  bool getProductString(char* text) override;
  VstInt32 getVendorVersion() override { return 1; }
  VstIntPtr vendorSpecific(VstInt32 lArg, VstIntPtr lArg2, void* ptrArg, float floatArg) override;
  VstInt32 canDo(char* text) override;

 private:
  // The host's event block, read in place.
  class Events : public MidiEventList {
   public:
    const VstEvents* block = nullptr;
    int count() const override { return block ? block->numEvents : 0; }
    bool at(int index, MidiEvent& event) const override;
  };

  InstrumentHost& hostShowingBoxes();
  // InstrumentHost
  bool hostSaysRealtime() override;
  void parameterChanged(int index, float value) override;
  bool updateDisplay() override { return AudioEffectX::updateDisplay(); }

  Instrument instrument_;
  EffectControl control_;
  Events events_;  // audio thread
};

}  // namespace zvx
