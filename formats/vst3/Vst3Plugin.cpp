#include "formats/vst3/Vst3Plugin.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <optional>
#include <cstring>
#include <new>

#include "engine/SampleRate.h"
#include "formats/vst3/Vst3State.h"
#include "formats/vst3/Vst3View.h"
#include "instrument/DrumNotes.h"
#include "platform/MessageBoxes.h"

namespace zvx::vst3 {
namespace {

// The outputs a host gives no buffers for are rendered into scratch this long
// (a longer block in stretches): made once, never touched but by the audio thread.
constexpr int kScratchFrames = 1024;

// Messages in boxes, as users of plug-ins see them, from the instrument's first word.
InstrumentHost& showingBoxes(InstrumentHost& host) {
  platform::useMessageBoxes();
  return host;
}

template <class Interface, class Self>
bool offer(Self* self, const TUID iid, void** object) {
  if (!Interface::iid.is(iid)) return false;
  *object = static_cast<Interface*>(self);
  return true;
}

MidiEvent midiMessage(int status, int data1, int data2) {
  MidiEvent event;
  event.isMidi = true;
  event.data[0] = static_cast<char>(status);
  event.data[1] = static_cast<char>(data1 & 0x7F);
  event.data[2] = static_cast<char>(data2 & 0x7F);
  return event;
}

int velocityByte(float velocity) {
  if (!(velocity > 0.0f)) return 0;  // NaN too
  return static_cast<int>(std::lround(std::min(velocity, 1.0f) * 127.0f));
}

}  // namespace

FUnknown* Vst3Plugin::create(EditorFactory makeEditor) {
  auto* plugin = new (std::nothrow) Vst3Plugin(makeEditor);
  return plugin ? static_cast<IComponent*>(plugin) : nullptr;
}

Vst3Plugin::Vst3Plugin(EditorFactory makeEditor) : instrument_(showingBoxes(*this)) {
  scratch_.assign(static_cast<std::size_t>(Instrument::kOutputs) * kScratchFrames, 0.0f);
  // The editor lives as long as the plug-in: the audio thread may show it a
  // value at any time, whatever views come and go.
  // It reads only its skin's background now, for the window size; what that
  // has to say about the skin, its opening says again: logged only.
  if (makeEditor) {
    const platform::MessageHold sizePass(nullptr);
    editor_ = makeEditor(control_);
    if (editor_) editor_->setKnobMode(kLinearMode);
  }
  instrument_.start();
  constructing_.reset();
}

// The editor goes while the instrument it looks at is still whole.
Vst3Plugin::~Vst3Plugin() {
  instrument_.setLearnHook(nullptr);
  if (editor_) editor_->close();
  editor_.reset();
  if (handler_) handler_->release();
  if (unitHandler_) unitHandler_->release();
}

// ---------------------------------------------------------------------------
// FUnknown, IPluginBase

tresult Vst3Plugin::queryInterface(const TUID iid, void** object) {
  if (!object) return kInvalidArgument;
  *object = nullptr;
  if (FUnknown::iid.is(iid) || IPluginBase::iid.is(iid) || IComponent::iid.is(iid))
    *object = static_cast<IComponent*>(this);
  else if (!(offer<IAudioProcessor>(this, iid, object) || offer<IProcessContextRequirements>(this, iid, object) ||
             offer<IEditController>(this, iid, object) || offer<IEditController2>(this, iid, object) ||
             offer<IMidiMapping>(this, iid, object) || offer<IUnitInfo>(this, iid, object)))
    return kNoInterface;
  addRef();
  return kResultOk;
}

uint32 Vst3Plugin::addRef() { return references_.fetch_add(1) + 1; }

uint32 Vst3Plugin::release() {
  const uint32 left = references_.fetch_sub(1) - 1;
  if (left == 0) {
    // What the closing has to say is kept by messages_, which outlives the
    // instrument; it is on standard error before the plug-in is gone.
    const auto hold = holdUntilEditorOpens();
    delete this;
  }
  return left;
}


tresult Vst3Plugin::initialize(FUnknown*) {
  if (initialized_) return kResultFalse;
  initialized_ = true;
  return kResultOk;
}

tresult Vst3Plugin::terminate() {
  setComponentHandler(nullptr);
  initialized_ = false;
  return kResultOk;
}

// ---------------------------------------------------------------------------
// IComponent

// The component is its own controller: no other class to make.
tresult Vst3Plugin::getControllerClassId(TUID classId) {
  if (classId) std::memset(classId, 0, sizeof(TUID));
  return kResultFalse;
}

tresult Vst3Plugin::setIoMode(IoMode) { return kResultOk; }

int32 Vst3Plugin::getBusCount(MediaType type, BusDirection dir) { return busCount(type, dir); }

tresult Vst3Plugin::getBusInfo(MediaType type, BusDirection dir, int32 index, BusInfo& bus) {
  return describeBus(type, dir, index, bus) ? kResultOk : kInvalidArgument;
}

tresult Vst3Plugin::getRoutingInfo(RoutingInfo&, RoutingInfo&) { return kNotImplemented; }

// Hosts may call it from their audio thread. An inactive bus is one the host
// gives no buffers for; process writes only those it gives.
tresult Vst3Plugin::activateBus(MediaType type, BusDirection dir, int32 index, TBool) {
  return index >= 0 && index < busCount(type, dir) ? kResultOk : kInvalidArgument;
}

tresult Vst3Plugin::setActive(TBool state) {
  if (!state) processing_ = false;
  return kResultOk;
}

// ---------------------------------------------------------------------------
// IAudioProcessor

// The buses are what they are; an arrangement with their channel counts
// (some hosts say a mono bus is "left") is theirs.
tresult Vst3Plugin::setBusArrangements(SpeakerArrangement*, int32 numIns, SpeakerArrangement* outputs,
                                       int32 numOuts) {
  if (numIns != 0 || numOuts < 0 || numOuts > kOutputBuses || (numOuts > 0 && !outputs)) return kResultFalse;
  for (int32 bus = 0; bus < numOuts; ++bus)
    if (std::popcount(outputs[bus]) != channelsOfBus(bus)) return kResultFalse;
  return kResultTrue;
}

tresult Vst3Plugin::getBusArrangement(BusDirection dir, int32 index, SpeakerArrangement& arr) {
  if (dir != kOutput || index < 0 || index >= kOutputBuses) return kInvalidArgument;
  arr = arrangementOfBus(index);
  return kResultOk;
}

tresult Vst3Plugin::canProcessSampleSize(int32 symbolicSampleSize) {
  return symbolicSampleSize == kSample32 ? kResultTrue : kResultFalse;
}

tresult Vst3Plugin::setupProcessing(ProcessSetup& setup) {
  if (setup.symbolicSampleSize != kSample32) return kResultFalse;
  // A rate that cannot be played is refused: the plug-in keeps the one it had.
  if (!isUsableSampleRate(setup.sampleRate)) return kResultFalse;
  instrument_.setSampleRate(setup.sampleRate);
  return kResultOk;
}

tresult Vst3Plugin::setProcessing(TBool state) {
  processing_ = state != 0;
  return kResultOk;
}

// The longest a kit rings after its last note is a matter of its program;
// hosts keep an instrument running anyway.
uint32 Vst3Plugin::getTailSamples() { return 0xFFFFFFFFu; }

// The block in stretches: each parameter change (in the order of their
// samples) acts between two, at its sample; notes and controllers act at
// theirs inside the stretch that holds them.
tresult Vst3Plugin::process(ProcessData& data) {
  Instrument::Processing processing(instrument_);
  if (data.symbolicSampleSize != kSample32) return kInvalidArgument;
  const int frames = std::max(data.numSamples, 0);
  programTurn_.applyPutOff(instrument_);
  bindOutputs(data);
  gatherEvents(data);

  // The host's queues, each read from its first point on.
  IParameterChanges* changes = data.inputParameterChanges;
  const int queues = changes ? std::max(changes->getParameterCount(), 0) : 0;
  constexpr int kQueuesRead = 512;
  std::array<int, kQueuesRead> next{};  // the next point of each queue
  const int read = std::min(queues, kQueuesRead);

  int done = 0;
  for (;;) {
    // The earliest point not applied yet (offsets beyond the block act at its end).
    int soonest = frames + 1;
    for (int q = 0; q < read; ++q) {
      IParamValueQueue* queue = changes->getParameterData(q);
      if (!queue || controllerOf(queue->getParameterId()) || next[q] >= queue->getPointCount()) continue;
      int32 offset = 0;
      ParamValue value = 0.0;
      if (queue->getPoint(next[q], offset, value) != kResultOk) {
        next[q] = queue->getPointCount();
        continue;
      }
      soonest = std::min(soonest, std::clamp(offset, done, frames));
    }
    // Rendered up to it, at most a scratch's length at a time.
    const int until = std::min(soonest, frames);
    while (done < until) {
      const int stretch = std::min(until - done, kScratchFrames);
      renderStretch(done, done + stretch);
      done += stretch;
    }
    if (soonest > frames) break;
    // Every point due now.
    for (int q = 0; q < read; ++q) {
      IParamValueQueue* queue = changes->getParameterData(q);
      if (!queue || controllerOf(queue->getParameterId())) continue;
      const int32 count = queue->getPointCount();
      for (int32 offset = 0; next[q] < count; ++next[q]) {
        ParamValue value = 0.0;
        if (queue->getPoint(next[q], offset, value) != kResultOk || std::clamp(offset, 0, frames) > done) break;
        applyHostValue(queue->getParameterId(), value);
      }
    }
  }
  markSilence(data, frames);
  reportChanges(data);
  return kResultOk;
}

// The host's notes, and the controllers it maps to their parameters, as the
// MIDI messages the instrument takes. Controllers come first at a sample
// they share with notes: the controller was turned before the key was hit.
void Vst3Plugin::gatherEvents(ProcessData& data) {
  events_.clear();
  if (IParameterChanges* changes = data.inputParameterChanges) {
    const int32 queues = changes->getParameterCount();
    for (int32 q = 0; q < queues; ++q) {
      IParamValueQueue* queue = changes->getParameterData(q);
      const std::optional<int> controller = queue ? controllerOf(queue->getParameterId()) : std::nullopt;
      if (!controller) continue;
      const int32 points = queue->getPointCount();
      for (int32 i = 0; i < points; ++i) {
        int32 offset = 0;
        ParamValue value = 0.0;
        if (queue->getPoint(i, offset, value) != kResultOk) break;
        const int byte = static_cast<int>(std::lround(std::clamp(std::isfinite(value) ? value : 0.0, 0.0, 1.0) * 127));
        events_.add(offset, midiMessage(0xB0, *controller, byte));
      }
    }
  }
  if (IEventList* list = data.inputEvents) {
    const int32 count = list->getEventCount();
    for (int32 i = 0; i < count; ++i) {
      Event event{};
      if (list->getEvent(i, event) != kResultOk || event.busIndex != 0) continue;
      if (event.type == Event::kNoteOnEvent) {
        const NoteOnEvent& on = event.noteOn;
        // A note-on of no velocity is a note-off, as in MIDI.
        events_.add(event.sampleOffset, midiMessage(0x90 | (on.channel & 0x0F), on.pitch, velocityByte(on.velocity)));
      } else if (event.type == Event::kNoteOffEvent) {
        const NoteOffEvent& off = event.noteOff;
        events_.add(event.sampleOffset,
                    midiMessage(0x80 | (off.channel & 0x0F), off.pitch, velocityByte(off.velocity)));
      }
    }
  }
  events_.sort();
}

void Vst3Plugin::applyHostValue(ParamID id, ParamValue value) {
  if (id == kProgramId) {
    const int program = programOf(value);
    if (program != instrument_.program()) programTurn_.fromAudioThread(instrument_, program);
    return;
  }
  if (!isInstrumentParameter(id)) return;
  const int index = static_cast<int>(id);
  if (saysAlready(index, instrument_.parameter(index), value)) return;
  applyingHostValues_ = true;
  instrument_.setParameter(index, instrumentValueOf(index, value));
  applyingHostValues_ = false;
}

// The outputs of a block: the host's buffers where it gave them, scratch for
// the rest. Hosts may give fewer buses or channels than there are, and some
// say a bus has more channels than it has: no more than ours are touched.
void Vst3Plugin::bindOutputs(ProcessData& data) {
  for (int o = 0; o < Instrument::kOutputs; ++o) {
    outputs_[static_cast<std::size_t>(o)] = nullptr;
    scratchOutput_[static_cast<std::size_t>(o)] =
        scratch_.data() + static_cast<std::size_t>(o) * static_cast<std::size_t>(kScratchFrames);
  }
  const int buses = data.outputs ? std::min(data.numOutputs, kOutputBuses) : 0;
  for (int bus = 0; bus < buses; ++bus) {
    const AudioBusBuffers& buffers = data.outputs[bus];
    const int channels = std::min(buffers.numChannels, channelsOfBus(bus));
    for (int c = 0; c < channels && buffers.channelBuffers32; ++c)
      outputs_[static_cast<std::size_t>(firstOutputOfBus(bus) + c)] = buffers.channelBuffers32[c];
  }
}

// Scratch is written and never read: each stretch may start at its beginning.
void Vst3Plugin::renderStretch(int from, int to) {
  float* stretch[Instrument::kOutputs];
  for (int o = 0; o < Instrument::kOutputs; ++o) {
    float* host = outputs_[static_cast<std::size_t>(o)];
    stretch[o] = host ? host + from : scratchOutput_[static_cast<std::size_t>(o)];
  }
  events_.window(from, to);
  instrument_.render(stretch, to - from, events_);
}

void Vst3Plugin::markSilence(ProcessData& data, int frames) {
  const int buses = data.outputs ? std::min(data.numOutputs, kOutputBuses) : 0;
  for (int bus = 0; bus < buses; ++bus) {
    AudioBusBuffers& buffers = data.outputs[bus];
    buffers.silenceFlags = 0;
    const int channels = std::min(buffers.numChannels, channelsOfBus(bus));
    for (int c = 0; c < channels && buffers.channelBuffers32; ++c) {
      const float* samples = buffers.channelBuffers32[c];
      if (samples && std::all_of(samples, samples + frames, [](float s) { return s == 0.0f; }))
        buffers.silenceFlags |= uint64{1} << c;
    }
  }
}

// What changed inside the instrument in this block (a learned controller, a
// program), for the host's controls and automation to follow.
void Vst3Plugin::reportChanges(ProcessData& data) {
  IParameterChanges* out = data.outputParameterChanges;
  for (int p = 0; p < kNumParameters; ++p) {
    if (!changedInBlock_[static_cast<std::size_t>(p)].exchange(false, std::memory_order_relaxed)) continue;
    int32 index = 0;
    IParamValueQueue* queue = out ? out->addParameterData(static_cast<ParamID>(p), index) : nullptr;
    int32 point = 0;
    // A host without room for it hears of it from the editor's idle.
    if (!queue || queue->addPoint(0, normalizedOf(p, instrument_.parameter(p)), point) != kResultOk)
      changedInEditor_[static_cast<std::size_t>(p)].store(true, std::memory_order_relaxed);
  }
}

void Vst3Plugin::Events::add(int frame, const MidiEvent& event) {
  if (count_ >= kCapacity) return;
  events_[static_cast<std::size_t>(count_)] = TimedEvent{std::max(frame, 0), count_, event};
  ++count_;
}

// Stable by the order of adding, without stable_sort's buffer: nothing is
// allocated on the audio thread.
void Vst3Plugin::Events::sort() {
  std::sort(events_.begin(), events_.begin() + count_, [](const TimedEvent& a, const TimedEvent& b) {
    return a.frame != b.frame ? a.frame < b.frame : a.order < b.order;
  });
}

// Stretches are asked for in the order of the block.
void Vst3Plugin::Events::window(int from, int to) {
  from_ = from;
  while (first_ < count_ && events_[static_cast<std::size_t>(first_)].frame < from) ++first_;
  last_ = first_;
  while (last_ < count_ && events_[static_cast<std::size_t>(last_)].frame < to) ++last_;
}

bool Vst3Plugin::Events::at(int index, MidiEvent& event) const {
  if (index < 0 || first_ + index >= last_) return false;
  const TimedEvent& timed = events_[static_cast<std::size_t>(first_ + index)];
  event = timed.event;
  event.deltaFrames = timed.frame - from_;
  return true;
}

// ---------------------------------------------------------------------------
// State

tresult Vst3Plugin::saveComponentState(IBStream* state) {
  if (!state) return kInvalidArgument;
  void* chunk = nullptr;
  const std::size_t size = instrument_.saveChunk(&chunk, false);
  return writeState(*state, instrument_.program(), chunk, size) ? kResultOk : kResultFalse;
}

// A state that is not whole leaves the instrument as it was.
tresult Vst3Plugin::loadComponentState(IBStream* state) {
  if (!state) return kInvalidArgument;
  const std::optional<ComponentState> read = readState(*state);
  if (!read) return kResultFalse;
  {
    const auto hold = holdUntilEditorOpens();
    FromHost fromHost(hostThread_);
    programTurn_.fromOtherThread([&] {
      instrument_.loadChunk(read->chunk.data(), read->chunk.size(), false);
      // Its values shown by the host (updateDisplay) whatever the program was.
      instrument_.setProgram(read->program);
    });
  }
  return kResultOk;
}

// The controller is the component: it holds the state already.
tresult Vst3Plugin::setComponentState(IBStream* state) { return state ? kResultOk : kInvalidArgument; }

// ---------------------------------------------------------------------------
// IEditController

tresult Vst3Plugin::getParameterInfo(int32 paramIndex, ParameterInfo& info) {
  return describeParameter(paramIndex, info) ? kResultOk : kInvalidArgument;
}

tresult Vst3Plugin::getParamStringByValue(ParamID id, ParamValue valueNormalized, String128 string) {
  if (!string) return kInvalidArgument;
  if (isInstrumentParameter(id)) {
    const int index = static_cast<int>(id);
    copyString(string, 128, valueText(index, instrumentValueOf(index, valueNormalized)));
  } else if (id == kProgramId) {
    char name[Instrument::kTextSize] = {};
    instrument_.programName(programOf(valueNormalized), name);
    copyString(string, 128, name);
  } else if (controllerOf(id)) {
    copyString(string, 128, std::to_string(std::lround(std::clamp(valueNormalized, 0.0, 1.0) * 127)));
  } else {
    return kInvalidArgument;
  }
  return kResultOk;
}

tresult Vst3Plugin::getParamValueByString(ParamID id, TChar* string, ParamValue& valueNormalized) {
  if (!string) return kInvalidArgument;
  const std::string text = toUtf8(string, 128);
  if (isInstrumentParameter(id)) {
    const int index = static_cast<int>(id);
    const std::optional<float> value = valueFromText(index, text);
    if (!value) return kResultFalse;
    valueNormalized = normalizedOf(index, *value);
    return kResultOk;
  }
  if (id == kProgramId) {
    for (int program = 0; program < Instrument::kNumPrograms; ++program) {
      char name[Instrument::kTextSize] = {};
      instrument_.programName(program, name);
      if (text == name) {
        valueNormalized = normalizedOfProgram(program);
        return kResultOk;
      }
    }
  }
  return kResultFalse;
}

// Plain values are the steps of a discrete parameter, the normalized value
// itself otherwise; the two conversions undo each other exactly, as hosts
// that store plain values rely on.
ParamValue Vst3Plugin::normalizedParamToPlain(ParamID id, ParamValue valueNormalized) {
  const int steps = stepCount(id);
  return steps > 0 ? valueNormalized * steps : valueNormalized;
}

ParamValue Vst3Plugin::plainParamToNormalized(ParamID id, ParamValue plainValue) {
  const int steps = stepCount(id);
  const ParamValue normalized = steps > 0 ? plainValue / steps : plainValue;
  return std::isfinite(normalized) ? std::clamp(normalized, 0.0, 1.0) : 0.0;
}

ParamValue Vst3Plugin::getParamNormalized(ParamID id) {
  if (isInstrumentParameter(id)) return normalizedOf(static_cast<int>(id), instrument_.parameter(static_cast<int>(id)));
  if (id == kProgramId) return normalizedOfProgram(instrument_.program());
  return 0.0;
}

tresult Vst3Plugin::setParamNormalized(ParamID id, ParamValue value) {
  if (!isInstrumentParameter(id) && id != kProgramId && !controllerOf(id)) return kInvalidArgument;
  // While the host processes, the value reaches the instrument through process.
  if (!processing_) setFromHost(id, value);
  return kResultOk;
}

void Vst3Plugin::setFromHost(ParamID id, ParamValue value) {
  const auto hold = holdUntilEditorOpens();
  FromHost fromHost(hostThread_);
  if (id == kProgramId) {
    const int program = programOf(value);
    if (program != instrument_.program()) programTurn_.fromOtherThread(instrument_, program);
    return;
  }
  if (!isInstrumentParameter(id)) return;
  const int index = static_cast<int>(id);
  if (!saysAlready(index, instrument_.parameter(index), value))
    instrument_.setParameter(index, instrumentValueOf(index, value));
}

tresult Vst3Plugin::setComponentHandler(IComponentHandler* handler) {
  if (handler == handler_) return kResultOk;
  if (handler) handler->addRef();
  if (handler_) handler_->release();
  if (unitHandler_) unitHandler_->release();
  handler_ = handler;
  unitHandler_ = nullptr;
  void* unitHandler = nullptr;
  if (handler_ && handler_->queryInterface(IUnitHandler::iid.data(), &unitHandler) == kResultOk)
    unitHandler_ = static_cast<IUnitHandler*>(unitHandler);
  return kResultOk;
}

IPlugView* Vst3Plugin::createView(FIDString name) {
  if (!name || std::strcmp(name, "editor") != 0 || !editor_ || view_) return nullptr;
  view_ = new (std::nothrow) Vst3View(*this, *editor_);
  return view_;
}

void Vst3Plugin::viewClosed(Vst3View* view) {
  if (view_ == view) view_ = nullptr;
}

tresult Vst3Plugin::setKnobMode(int32 mode) {
  if (mode < kCircularMode || mode > kLinearMode) return kResultFalse;
  if (editor_) editor_->setKnobMode(mode);
  return kResultOk;
}

tresult Vst3Plugin::getMidiControllerAssignment(int32 busIndex, int16 channel, CtrlNumber midiControllerNumber,
                                                ParamID& id) {
  if (busIndex != 0 || channel < 0 || channel > 15 || midiControllerNumber < 0 ||
      midiControllerNumber >= kControllers)
    return kResultFalse;
  id = kFirstControllerId + static_cast<ParamID>(midiControllerNumber);
  return kResultOk;
}

// ---------------------------------------------------------------------------
// IUnitInfo

tresult Vst3Plugin::getUnitInfo(int32 unitIndex, UnitInfo& info) {
  return describeUnit(unitIndex, info) ? kResultOk : kInvalidArgument;
}

tresult Vst3Plugin::getProgramListInfo(int32 listIndex, ProgramListInfo& info) {
  if (listIndex != 0) return kInvalidArgument;
  describeProgramList(info);
  return kResultOk;
}

tresult Vst3Plugin::getProgramName(ProgramListID listId, int32 programIndex, String128 name) {
  if (listId != kProgramListId || programIndex < 0 || programIndex >= Instrument::kNumPrograms || !name)
    return kInvalidArgument;
  char text[Instrument::kTextSize] = {};
  instrument_.programName(programIndex, text);
  copyString(name, 128, text);
  return kResultOk;
}

// Every program plays the same notes: the kit's names hold for all.
tresult Vst3Plugin::hasProgramPitchNames(ProgramListID listId, int32 programIndex) {
  return listId == kProgramListId && programIndex >= 0 && programIndex < Instrument::kNumPrograms ? kResultTrue
                                                                                                  : kResultFalse;
}

tresult Vst3Plugin::getProgramPitchName(ProgramListID listId, int32 programIndex, int16 midiPitch, String128 name) {
  if (hasProgramPitchNames(listId, programIndex) != kResultTrue || !name) return kResultFalse;
  const char* note = drumNoteName(midiPitch);
  if (!note) return kResultFalse;
  copyString(name, 128, note);
  return kResultOk;
}

tresult Vst3Plugin::selectUnit(UnitID unitId) {
  if (unitId < 0 || unitId >= kUnits) return kInvalidArgument;
  selectedUnit_ = unitId;
  return kResultOk;
}

// ---------------------------------------------------------------------------
// The instrument's word, and the editor's

void Vst3Plugin::parameterChanged(int index, float value) {
  if (editor_) editor_->setParameter(index, value);
  if (index < 0 || index >= kNumParameters) return;
  const std::thread::id self = std::this_thread::get_id();
  if (instrument_.onAudioThread()) {
    if (!applyingHostValues_) changedInBlock_[static_cast<std::size_t>(index)].store(true, std::memory_order_relaxed);
    return;
  }
  if (hostThread_.load() == self || editingThread_.load() == self) return;
  changedInEditor_[static_cast<std::size_t>(index)].store(true, std::memory_order_relaxed);
}

// Off the audio thread: the host reads every value again, and the programs.
// On it, the block reports the values that changed.
bool Vst3Plugin::updateDisplay() {
  if (instrument_.onAudioThread()) return false;
  for (auto& changed : changedInEditor_) changed.store(false, std::memory_order_relaxed);
  if (handler_) handler_->restartComponent(kParamValuesChanged);
  if (unitHandler_) unitHandler_->notifyProgramListChange(kProgramListId, -1);
  // Told at once: a second word would only repeat it.
  return false;
}

void Vst3Plugin::editorIdle() {
  if (instrument_.messagesWaiting()) instrument_.showWaitingMessages();
  tellHostOfEditorChanges();
  if (editor_) editor_->idle();
}

// Changes the editor made without the host (the wizard's settings, a value
// the audio thread could not report), told as edits of the user's.
void Vst3Plugin::tellHostOfEditorChanges() {
  for (int p = 0; p < kNumParameters; ++p) {
    if (!changedInEditor_[static_cast<std::size_t>(p)].exchange(false, std::memory_order_relaxed) || !handler_)
      continue;
    const auto id = static_cast<ParamID>(p);
    handler_->beginEdit(id);
    handler_->performEdit(id, normalizedOf(p, instrument_.parameter(p)));
    handler_->endEdit(id);
  }
}

void Vst3Plugin::EditorControl::automateParameter(int index, float value) {
  plugin_.editingThread_.store(std::this_thread::get_id());
  DirectControl::setParameter(index, value);
  plugin_.editingThread_.store(std::thread::id());
  if (plugin_.handler_ && index >= 0 && index < kNumParameters)
    plugin_.handler_->performEdit(static_cast<ParamID>(index), normalizedOf(index, plugin_.instrument_.parameter(index)));
}

void Vst3Plugin::EditorControl::beginEdit(int index) {
  if (plugin_.handler_ && index >= 0 && index < kNumParameters) plugin_.handler_->beginEdit(static_cast<ParamID>(index));
}

void Vst3Plugin::EditorControl::endEdit(int index) {
  if (plugin_.handler_ && index >= 0 && index < kNumParameters) plugin_.handler_->endEdit(static_cast<ParamID>(index));
}

void Vst3Plugin::EditorControl::selectProgram(int program) {
  plugin_.programTurn_.fromOtherThread(plugin_.instrument_, program);
}

}  // namespace zvx::vst3
