// The instrument as a VST 2.4 plug-in: the AEffect record handed to the
// host, the host's calls answered in one dispatcher (the fixed answers, the
// instrument's, the editor's), the block's events handed to the instrument
// with its outputs, and the editor on the same InstrumentControl road as in
// the other formats, with the host told of the user's edits.
//
// Until its editor first opens, the plug-in shows no message box: what it has
// to say goes to standard error at once (the host's log) and waits for the
// editor, whose opening shows it. Hosts scan plug-ins by making instances
// and closing them; a box there would stall the scan.
//
// Threads: as the host calls; see Instrument.
#pragma once

#include <atomic>
#include <memory>
#include <optional>
#include <vector>

#include "editor/FrameEditor.h"
#include "formats/vst2/VstAbi.h"
#include "formats/vst2/VstEditor.h"
#include "instrument/DirectControl.h"
#include "instrument/Instrument.h"

namespace zvx::vst2 {

class VstPlugin final : private InstrumentHost {
 public:
  // Makes the plug-in's editor; null for a plug-in without one.
  using EditorFactory = std::unique_ptr<FrameEditor> (*)(InstrumentControl& instrument);

  static constexpr const char* kVendor = "zvx.audio";
  static constexpr const char* kProductName = "ZVX";

  // A new plug-in's record; the plug-in lives until the host's effClose.
  static AEffect* create(audioMasterCallback host, EditorFactory makeEditor);

 private:
  VstPlugin(audioMasterCallback host, EditorFactory makeEditor);
  ~VstPlugin();
  VstPlugin(const VstPlugin&) = delete;
  VstPlugin& operator=(const VstPlugin&) = delete;

  // The entry points in the record.
  static VstIntPtr VSTCALLBACK dispatchEntry(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value,
                                             void* ptr, float opt);
  static void VSTCALLBACK processEntry(AEffect* effect, float** inputs, float** outputs, VstInt32 frames);
  static void VSTCALLBACK processReplacingEntry(AEffect* effect, float** inputs, float** outputs, VstInt32 frames);
  static void VSTCALLBACK processDoubleEntry(AEffect* effect, double** inputs, double** outputs, VstInt32 frames);
  static void VSTCALLBACK setParameterEntry(AEffect* effect, VstInt32 index, float value);
  static float VSTCALLBACK getParameterEntry(AEffect* effect, VstInt32 index);

  VstIntPtr dispatch(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt);
  VstIntPtr answer(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt);
  void processReplacing(float** outputs, VstInt32 frames);
  void processAccumulating(float** outputs, VstInt32 frames);
  void reserveAccumulator(VstInt32 frames);
  VstIntPtr callHost(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0, void* ptr = nullptr, float opt = 0.0f);

  // InstrumentHost
  bool hostSaysRealtime() override;
  void parameterChanged(int index, float value) override;
  bool updateDisplay() override { return callHost(audioMasterUpdateDisplay) != 0; }

  // The host's event block, read in place until the block it came with is rendered.
  class Events : public MidiEventList {
   public:
    const VstEvents* block = nullptr;
    int count() const override { return block ? block->numEvents : 0; }
    bool at(int index, MidiEvent& event) const override;
  };

  // The editor's road to the instrument: an edit sets the parameter and
  // tells the host, which records it as automation between begin and end.
  class EditorControl : public DirectControl {
   public:
    EditorControl(Instrument& instrument, VstPlugin& plugin) : DirectControl(instrument), plugin_(plugin) {}
    void automateParameter(int index, float value) override;
    void beginEdit(int index) override { plugin_.callHost(audioMasterBeginEdit, index); }
    void endEdit(int index) override { plugin_.callHost(audioMasterEndEdit, index); }

   private:
    VstPlugin& plugin_;
  };

  static VstPlugin& self(AEffect* effect) { return *static_cast<VstPlugin*>(effect->object); }
  static InstrumentHost& showingBoxes(VstPlugin& plugin);
  // Holds the calling thread's messages while the editor has never been
  // open; never on the audio thread, which shows none and takes no lock.
  // (`forAudio`: a call that comes on the audio thread, effProcessEvents.)
  std::optional<platform::MessageHold> holdUntilEditorOpens(bool forAudio) {
    return messages_.hold(forAudio || instrument_.onAudioThread());
  }

  audioMasterCallback host_;
  AEffect effect_{};
  platform::HeldUntilEditor messages_;  // said before the editor first opened
  std::optional<platform::MessageHold> constructing_ = messages_.hold(false);
  Instrument instrument_;
  EditorControl control_{instrument_, *this};
  std::unique_ptr<VstEditor> editor_;
  Events events_;  // audio thread
  // Scratch for the deprecated accumulating process(), sized off the audio thread.
  std::vector<float> accumulator_;
  VstInt32 accumulatorFrames_ = 0;
};

}  // namespace zvx::vst2
