// The instrument as a VST3 plug-in: one object that is both the component
// (buses, processing, state) and its edit controller (parameters, units and
// programs, MIDI mapping, the editor's view). The host's calls pass on to the
// instrument; a block's notes, controllers and parameter changes act at
// their samples; the editor takes the same InstrumentControl road as in the
// other formats, with the host told of the user's edits.
//
// Threads: the host's UI thread makes it and calls the controller and state
// methods; its audio thread calls process. While the host processes, it
// hands every parameter change to process as well, so the controller's
// setParamNormalized only shows the value then: applied there too it could
// undo a later one the audio thread applied already.
#pragma once

#include <array>
#include <atomic>
#include <memory>
#include <optional>
#include <thread>
#include <vector>

#include "editor/FrameEditor.h"
#include "formats/vst3/Vst3Abi.h"
#include "formats/vst3/Vst3Description.h"
#include "instrument/DirectControl.h"
#include "instrument/Instrument.h"
#include "instrument/ProgramTurn.h"
#include "platform/Messages.h"

namespace zvx::vst3 {

class Vst3View;

// IComponent and IEditController both name a getState and a setState, with
// meanings of their own; each side gives its pair a name of its own.
class ComponentSide : public IComponent, public IAudioProcessor, public IProcessContextRequirements {
 public:
  tresult ZVX_VST3_API setState(IBStream* state) final { return loadComponentState(state); }
  tresult ZVX_VST3_API getState(IBStream* state) final { return saveComponentState(state); }

 protected:
  ~ComponentSide() = default;
  virtual tresult loadComponentState(IBStream* state) = 0;
  virtual tresult saveComponentState(IBStream* state) = 0;
};

class ControllerSide : public IEditController, public IEditController2, public IMidiMapping, public IUnitInfo {
 public:
  // The controller keeps nothing of its own: the component's state is all.
  tresult ZVX_VST3_API setState(IBStream*) final { return kResultOk; }
  tresult ZVX_VST3_API getState(IBStream*) final { return kResultOk; }

 protected:
  ~ControllerSide() = default;
};

class Vst3Plugin final : public ComponentSide, public ControllerSide, private InstrumentHost {
 public:
  using EditorFactory = std::unique_ptr<FrameEditor> (*)(InstrumentControl& instrument);
  static constexpr Uid kClassId = makeUid(0xD5E32866, 0x77552328, 0xEEA30250, 0x3E6D1C12);

  // A new plug-in with one reference, for the factory.
  static FUnknown* create(EditorFactory makeEditor);

  // FUnknown
  tresult ZVX_VST3_API queryInterface(const TUID iid, void** object) override;
  uint32 ZVX_VST3_API addRef() override;
  uint32 ZVX_VST3_API release() override;

  // IPluginBase, for both sides. Hosts may call each twice on one object
  // that is its own controller.
  tresult ZVX_VST3_API initialize(FUnknown* context) override;
  tresult ZVX_VST3_API terminate() override;

  // IComponent
  tresult ZVX_VST3_API getControllerClassId(TUID classId) override;
  tresult ZVX_VST3_API setIoMode(IoMode mode) override;
  int32 ZVX_VST3_API getBusCount(MediaType type, BusDirection dir) override;
  tresult ZVX_VST3_API getBusInfo(MediaType type, BusDirection dir, int32 index, BusInfo& bus) override;
  tresult ZVX_VST3_API getRoutingInfo(RoutingInfo& inInfo, RoutingInfo& outInfo) override;
  tresult ZVX_VST3_API activateBus(MediaType type, BusDirection dir, int32 index, TBool state) override;
  tresult ZVX_VST3_API setActive(TBool state) override;

  // IAudioProcessor
  tresult ZVX_VST3_API setBusArrangements(SpeakerArrangement* inputs, int32 numIns, SpeakerArrangement* outputs,
                                          int32 numOuts) override;
  tresult ZVX_VST3_API getBusArrangement(BusDirection dir, int32 index, SpeakerArrangement& arr) override;
  tresult ZVX_VST3_API canProcessSampleSize(int32 symbolicSampleSize) override;
  uint32 ZVX_VST3_API getLatencySamples() override { return 0; }
  tresult ZVX_VST3_API setupProcessing(ProcessSetup& setup) override;
  tresult ZVX_VST3_API setProcessing(TBool state) override;
  tresult ZVX_VST3_API process(ProcessData& data) override;
  uint32 ZVX_VST3_API getTailSamples() override;

  // IProcessContextRequirements: the instrument follows no transport.
  uint32 ZVX_VST3_API getProcessContextRequirements() override { return 0; }

  // IEditController
  tresult ZVX_VST3_API setComponentState(IBStream* state) override;
  int32 ZVX_VST3_API getParameterCount() override { return kListedParameters; }
  tresult ZVX_VST3_API getParameterInfo(int32 paramIndex, ParameterInfo& info) override;
  tresult ZVX_VST3_API getParamStringByValue(ParamID id, ParamValue valueNormalized, String128 string) override;
  tresult ZVX_VST3_API getParamValueByString(ParamID id, TChar* string, ParamValue& valueNormalized) override;
  ParamValue ZVX_VST3_API normalizedParamToPlain(ParamID id, ParamValue valueNormalized) override;
  ParamValue ZVX_VST3_API plainParamToNormalized(ParamID id, ParamValue plainValue) override;
  ParamValue ZVX_VST3_API getParamNormalized(ParamID id) override;
  tresult ZVX_VST3_API setParamNormalized(ParamID id, ParamValue value) override;
  tresult ZVX_VST3_API setComponentHandler(IComponentHandler* handler) override;
  IPlugView* ZVX_VST3_API createView(FIDString name) override;

  // IEditController2
  tresult ZVX_VST3_API setKnobMode(int32 mode) override;
  tresult ZVX_VST3_API openHelp(TBool) override { return kResultFalse; }
  tresult ZVX_VST3_API openAboutBox(TBool) override { return kResultFalse; }

  // IMidiMapping
  tresult ZVX_VST3_API getMidiControllerAssignment(int32 busIndex, int16 channel, CtrlNumber midiControllerNumber,
                                                   ParamID& id) override;

  // IUnitInfo
  int32 ZVX_VST3_API getUnitCount() override { return kUnits; }
  tresult ZVX_VST3_API getUnitInfo(int32 unitIndex, UnitInfo& info) override;
  int32 ZVX_VST3_API getProgramListCount() override { return 1; }
  tresult ZVX_VST3_API getProgramListInfo(int32 listIndex, ProgramListInfo& info) override;
  tresult ZVX_VST3_API getProgramName(ProgramListID listId, int32 programIndex, String128 name) override;
  tresult ZVX_VST3_API getProgramInfo(ProgramListID, int32, CString, String128) override { return kResultFalse; }
  tresult ZVX_VST3_API hasProgramPitchNames(ProgramListID listId, int32 programIndex) override;
  tresult ZVX_VST3_API getProgramPitchName(ProgramListID listId, int32 programIndex, int16 midiPitch,
                                           String128 name) override;
  UnitID ZVX_VST3_API getSelectedUnit() override { return selectedUnit_; }
  tresult ZVX_VST3_API selectUnit(UnitID unitId) override;
  tresult ZVX_VST3_API getUnitByBus(MediaType, BusDirection, int32, int32, UnitID&) override { return kResultFalse; }
  tresult ZVX_VST3_API setUnitProgramData(int32, int32, IBStream*) override { return kNotImplemented; }

  // For the view: the editor's idle, with what changed in the editor told to
  // the host first; the view leaving.
  void editorIdle();
  void viewClosed(Vst3View* view);
  // The editor's first opening in `window`: what was held till now is shown.
  void editorOpened(void* window) { messages_.editorOpened(window); }

 private:
  explicit Vst3Plugin(EditorFactory makeEditor);
  ~Vst3Plugin();
  Vst3Plugin(const Vst3Plugin&) = delete;
  Vst3Plugin& operator=(const Vst3Plugin&) = delete;

  tresult loadComponentState(IBStream* state) override;
  tresult saveComponentState(IBStream* state) override;

  // InstrumentHost
  bool hostSaysRealtime() override { return false; }
  void parameterChanged(int index, float value) override;
  bool updateDisplay() override;

  // Audio thread.
  void gatherEvents(ProcessData& data);
  void applyHostValue(ParamID id, ParamValue value);
  void bindOutputs(ProcessData& data);
  void renderStretch(int from, int to);
  void reportChanges(ProcessData& data);
  void markSilence(ProcessData& data, int frames);
  // The host's parameters and program while it does not process.
  void setFromHost(ParamID id, ParamValue value);
  void tellHostOfEditorChanges();
  // Until the editor first opens, a host call's messages open no box (a
  // scanner or a headless session would wait on it): they go to standard
  // error and are shown at the opening.
  std::optional<platform::MessageHold> holdUntilEditorOpens() {
    return messages_.hold(instrument_.onAudioThread());
  }

  // The editor's road to the instrument: an edit sets the parameter and tells
  // the host, which records it as automation between begin and end; program
  // choices take turns with the audio thread's.
  class EditorControl final : public DirectControl {
   public:
    EditorControl(Instrument& instrument, Vst3Plugin& plugin) : DirectControl(instrument), plugin_(plugin) {}
    void automateParameter(int index, float value) override;
    void beginEdit(int index) override;
    void endEdit(int index) override;
    void selectProgram(int program) override;

   private:
    Vst3Plugin& plugin_;
  };

  // The block's notes and controllers, in time order, and the window of them
  // a stretch of the block renders with.
  struct TimedEvent {
    int frame;
    int order;  // of adding, which breaks ties
    MidiEvent event;
  };
  class Events final : public MidiEventList {
   public:
    static constexpr int kCapacity = 4096;
    void clear() { count_ = first_ = last_ = 0; }
    void add(int frame, const MidiEvent& event);
    // After the last add: stable order by frame.
    void sort();
    // The events of frames [from, to), timed from `from`.
    void window(int from, int to);
    int count() const override { return last_ - first_; }
    bool at(int index, MidiEvent& event) const override;

   private:
    std::array<TimedEvent, kCapacity> events_{};
    int count_ = 0;
    int first_ = 0;
    int last_ = 0;
    int from_ = 0;
  };

  // Marks the calling thread as applying the host's values, whose changes the
  // host knows already.
  class FromHost {
   public:
    explicit FromHost(std::atomic<std::thread::id>& slot) : slot_(slot) { slot_.store(std::this_thread::get_id()); }
    ~FromHost() { slot_.store(std::thread::id()); }
    FromHost(const FromHost&) = delete;
    FromHost& operator=(const FromHost&) = delete;

   private:
    std::atomic<std::thread::id>& slot_;
  };

  std::atomic<uint32> references_{1};
  // Before the instrument: its construction calls back (updateDisplay,
  // parameterChanged) and may have something to say.
  IComponentHandler* handler_ = nullptr;
  IUnitHandler* unitHandler_ = nullptr;
  // Parameters changed inside the instrument that the host has to hear of:
  // on the audio thread (reported with the block), in the editor (at its idle).
  std::array<std::atomic<bool>, kNumParameters> changedInBlock_{};
  std::array<std::atomic<bool>, kNumParameters> changedInEditor_{};
  std::unique_ptr<FrameEditor> editor_;  // made once the instrument is whole
  bool applyingHostValues_ = false;  // audio thread
  std::atomic<std::thread::id> hostThread_{};    // a thread applying the host's values elsewhere
  std::atomic<std::thread::id> editingThread_{};  // the editor's edit being told to the host
  platform::HeldUntilEditor messages_;
  std::optional<platform::MessageHold> constructing_ = messages_.hold(false);
  Instrument instrument_;
  EditorControl control_{instrument_, *this};
  ProgramTurn programTurn_;
  Vst3View* view_ = nullptr;  // the open view, if any (it holds a reference to us)
  bool initialized_ = false;
  UnitID selectedUnit_ = kRootUnitId;

  std::atomic<bool> processing_{false};
  // The instrument's outputs of a block: the host's buffers, or scratch where
  // the host gives none.
  std::array<float*, Instrument::kOutputs> outputs_{};  // null: scratch
  std::array<float*, Instrument::kOutputs> scratchOutput_{};
  std::vector<float> scratch_;
  Events events_;
};

}  // namespace zvx::vst3
