// One VST 3 plug-in as a host runs it, in the VST 2.4 test host's terms: made
// from a module's audio class, initialised with the host context, its
// controller (the same object for a single-component plug-in, else a second
// one) given the component handler; set up, its buses activated, and played
// in blocks from MIDI messages (notes become events, controllers and program
// changes become changes of the parameters the plug-in maps them to) and
// timed parameter changes, each at its own sample. The outputs are handed
// on as one flat list of channels in bus order (for ZVX: the VST 2.4
// module's six outputs, in its order).
//
// Threads: everything here is the host's UI thread, except process (inside
// play), which runs on the calling thread between the processing hooks.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "vst3host/ComponentHandler.h"
#include "vst3host/EventList.h"
#include "vst3host/HostApplication.h"
#include "vst3host/Module.h"
#include "vst3host/ParameterChanges.h"
#include "vst3host/PlugFrame.h"
#include "vsthost/VstHost.h"

namespace zvx::vst3host {

// A change of a parameter at a sample counted from the start of a render.
struct ParameterChange {
  std::int64_t frame;
  vst3::ParamID id;
  vst3::ParamValue value;
  bool operator==(const ParameterChange&) const = default;
};

// A parameter's description, text as UTF-8.
struct Parameter {
  vst3::ParamID id = 0;
  std::string title, shortTitle, units;
  vst3::int32 stepCount = 0;
  vst3::ParamValue defaultNormalizedValue = 0.0;
  vst3::UnitID unitId = 0;
  vst3::int32 flags = 0;
  bool has(vst3::int32 flag) const { return (flags & flag) != 0; }
};

struct Unit {
  vst3::UnitID id = 0;
  vst3::UnitID parentUnitId = 0;
  std::string name;
  vst3::ProgramListID programListId = vst3::kNoProgramListId;
};

struct ProgramList {
  vst3::ProgramListID id = 0;
  std::string name;
  vst3::int32 programCount = 0;
};

// A view the controller made, with the frame the host gives it.
class Editor {
 public:
  Editor(Ref<vst3::IPlugView> view, Ref<PlugFrame> frame);
  // Removes the view if attached, takes the frame from it and releases it.
  ~Editor();
  Editor(const Editor&) = delete;
  Editor& operator=(const Editor&) = delete;

  vst3::IPlugView* view() const { return view_.get(); }
  PlugFrame& frame() const { return *frame_; }
  // The platform's window type: "X11EmbedWindowID" on Linux, "HWND" on Windows.
  static const char* platformType();
  // Gives the view its frame, then attaches it to `parent` (an X11 window id
  // or HWND; null for none).
  vst3::tresult attach(void* parent);
  bool attached() const { return attached_; }
  vst3::tresult remove();
  std::optional<vst3::ViewRect> size() const;
  // Through IPlugViewContentScaleSupport; kNoInterface when the view has none.
  vst3::tresult setContentScaleFactor(float factor);
  // Releases the view now; what its last release answered (the references it has left).
  vst3::uint32 release();

 private:
  Ref<vst3::IPlugView> view_;
  Ref<PlugFrame> frame_;
  bool attached_ = false;
};

class Plugin {
 public:
  // The first audio class of the module (or class `cid`), created and
  // initialised; null with `error` set when that fails.
  static std::unique_ptr<Plugin> create(const Module& module, std::string& error, const vst3::Uid* cid = nullptr);
  // Stops and deactivates it, terminates and releases it.
  ~Plugin();
  Plugin(const Plugin&) = delete;
  Plugin& operator=(const Plugin&) = delete;
  // The same now; what the last release of the component answered (0: the plug-in is gone).
  vst3::uint32 close();

  vst3::IComponent* component() const { return component_.get(); }
  vst3::IAudioProcessor* processor() const { return processor_.get(); }
  vst3::IEditController* controller() const { return controller_.get(); }
  // Null when the controller does not answer for them.
  vst3::IMidiMapping* midiMapping() const { return midiMapping_.get(); }
  vst3::IUnitInfo* unitInfo() const { return unitInfo_.get(); }
  bool singleComponent() const { return singleComponent_; }
  HostApplication& host() const { return *host_; }
  ComponentHandler& handler() const { return *handler_; }

  // Setting up: 32-bit samples at `rate`, blocks of at most `maxBlock`; every
  // bus activated, or of the audio outputs only the first `outputBuses`, the
  // only ones process is given (as hosts that use the main bus alone do).
  // False with error() set when the plug-in refuses.
  bool setup(double rate, int maxBlock, vst3::int32 processMode = vst3::kRealtime, int outputBuses = -1);
  vst3::tresult setActive(bool active);
  vst3::tresult setProcessing(bool processing);
  // Setup, then active and processing.
  bool start(double rate = 44100.0, int maxBlock = 512);
  const std::string& error() const { return error_; }
  double sampleRate() const { return rate_; }
  int maxBlock() const { return maxBlock_; }

  std::vector<vst3::BusInfo> buses(vst3::MediaType type, vst3::BusDirection direction) const;
  // Channels of the audio outputs, all buses in order.
  int outputChannels() const { return static_cast<int>(channels_.size()); }

  // Plays `frames` samples in blocks of `blockSize` (or, with `pattern`, of
  // its lengths in turn), each MIDI message and parameter change (in time
  // order; simultaneous ones as given) in the block holding its sample, at its
  // offset there; each block's outputs go to `take`. False when `take` stopped
  // it, a block was longer than the set-up maximum or process failed (error()).
  bool play(std::int64_t frames, int blockSize, std::vector<vsthost::TimedMidiEvent> events,
            const vsthost::BlockSink& take, std::vector<ParameterChange> changes = {});
  bool play(std::int64_t frames, const std::vector<int>& pattern, std::vector<vsthost::TimedMidiEvent> events,
            const vsthost::BlockSink& take, std::vector<ParameterChange> changes = {});
  // The same into fresh buffers, one per output channel; events' deltaFrames count from the start.
  std::vector<std::vector<float>> render(int frames, int blockSize, const std::vector<VstMidiEvent>& events = {},
                                         const std::vector<ParameterChange>& changes = {});
  // One process call with no audio (numSamples 0, no buffers), as hosts send
  // changes while not playing; what process answered.
  vst3::tresult flush(const std::vector<ParameterChange>& changes);
  // Around every process call, on the processing thread: e.g. marking it as the audio thread.
  std::function<void()> beforeProcess, afterProcess;
  // The silence flags of each output bus after the last block.
  const std::vector<vst3::uint64>& silenceFlags() const { return silenceFlags_; }
  // The plug-in's own changes (outputParameterChanges) since the last take, at
  // frames from the start of the render they came in.
  std::vector<ParameterChange> takeOutputChanges() { return std::exchange(outputChanges_, {}); }
  // Whether the plug-in met a full event list or parameter queue.
  bool outputOverflowed() const { return outputOverflowed_; }

  // What a host does for an edit of its own (its generic editor, automation
  // read while stopped): tells the controller, and sends the change to the
  // processor at the start of the next block.
  void setParameter(vst3::ParamID id, vst3::ParamValue value);
  vst3::ParamValue parameter(vst3::ParamID id) const { return controller_->getParamNormalized(id); }

  // The controller's description of parameters, by index or by ID.
  int parameterCount() const;
  std::optional<Parameter> parameterAt(int index) const;
  std::optional<Parameter> parameterById(vst3::ParamID id) const;
  std::vector<Parameter> parameters() const;
  // The one parameter flagged kIsProgramChange, if any.
  std::optional<vst3::ParamID> programParameter() const;
  std::string valueString(vst3::ParamID id, vst3::ParamValue value) const;
  // The parameter a MIDI controller (0..127, kAfterTouch, kPitchBend) on
  // `channel` of event bus `bus` is mapped to.
  std::optional<vst3::ParamID> controllerParameter(int channel, int controller, int bus = 0) const;

  std::vector<Unit> units() const;
  std::vector<ProgramList> programLists() const;
  std::optional<std::string> programName(vst3::ProgramListID list, int program) const;

  // The component's state, or nothing when getState fails.
  std::optional<std::vector<std::uint8_t>> state() const;
  // Gives the component a state, then (when it took it, and `alsoController`)
  // the controller the same as its component state, as hosts restore a
  // session; the component's answer.
  vst3::tresult setState(const std::vector<std::uint8_t>& bytes, bool alsoController = true);
  // The controller's own state.
  std::optional<std::vector<std::uint8_t>> controllerState() const;

  // The controller's view named `name`, given a fresh frame; null when it makes none.
  std::unique_ptr<Editor> createEditor(const char* name = "editor");

 private:
  Plugin();
  bool processBlock(std::int64_t start, int length);
  void collectOutputChanges(std::int64_t start);
  // Turns a MIDI message at `offset` into an event or a parameter change.
  void translate(const VstMidiEvent& message, vst3::int32 offset);

  Ref<HostApplication> host_;
  Ref<ComponentHandler> handler_;
  Ref<vst3::IComponent> component_;
  Ref<vst3::IAudioProcessor> processor_;
  Ref<vst3::IEditController> controller_;
  Ref<vst3::IMidiMapping> midiMapping_;
  Ref<vst3::IUnitInfo> unitInfo_;
  bool singleComponent_ = true;
  bool initialised_ = false, controllerInitialised_ = false;
  bool active_ = false, processing_ = false;
  std::string error_;

  double rate_ = 0.0;
  int maxBlock_ = 0;
  vst3::int32 processMode_ = vst3::kRealtime;
  std::vector<std::vector<float>> channels_;
  std::vector<float*> channelPointers_;
  std::vector<vst3::AudioBusBuffers> outputBuses_;
  std::vector<vst3::uint64> silenceFlags_;
  Ref<EventList> inputEvents_, outputEvents_;
  Ref<ParameterChanges> inputQueues_, outputQueues_;
  std::vector<ParameterChange> outputChanges_;
  std::vector<ParameterChange> pending_;  // the host's own edits, for the next block
  bool outputOverflowed_ = false;
  std::optional<vst3::ParamID> programParameter_;
};

}  // namespace zvx::vst3host
