#include "vst3host/Plugin.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "vst3host/MemoryStream.h"
#include "vst3host/Utf16.h"

namespace zvx::vst3host {
namespace {

Parameter described(const vst3::ParameterInfo& info) {
  Parameter p;
  p.id = info.id;
  p.title = toUtf8(info.title);
  p.shortTitle = toUtf8(info.shortTitle);
  p.units = toUtf8(info.units);
  p.stepCount = info.stepCount;
  p.defaultNormalizedValue = info.defaultNormalizedValue;
  p.unitId = info.unitId;
  p.flags = info.flags;
  return p;
}

// Room for the plug-in's own changes in a block: a program change reports
// every parameter, a learned controller a few points each.
constexpr int kOutputPointsPerQueue = 256;
constexpr int kInputPointsPerQueue = 64;
constexpr int kEventsPerBlock = 1024;

}  // namespace

// ---------------------------------------------------------------------------
// Editor

Editor::Editor(Ref<vst3::IPlugView> view, Ref<PlugFrame> frame) : view_(std::move(view)), frame_(std::move(frame)) {}

Editor::~Editor() { release(); }

const char* Editor::platformType() {
#if defined(_WIN32)
  return vst3::kPlatformTypeHWND;
#else
  return vst3::kPlatformTypeX11EmbedWindowID;
#endif
}

vst3::tresult Editor::attach(void* parent) {
  if (!view_) return vst3::kInvalidArgument;
  view_->setFrame(frame_.get());
  const vst3::tresult result = view_->attached(parent, platformType());
  attached_ = result == vst3::kResultOk;
  if (!attached_) view_->setFrame(nullptr);
  return result;
}

vst3::tresult Editor::remove() {
  if (!view_ || !attached_) return vst3::kResultFalse;
  const vst3::tresult result = view_->removed();
  view_->setFrame(nullptr);
  attached_ = false;
  return result;
}

std::optional<vst3::ViewRect> Editor::size() const {
  vst3::ViewRect rect{};
  if (!view_ || view_->getSize(&rect) != vst3::kResultOk) return std::nullopt;
  return rect;
}

vst3::tresult Editor::setContentScaleFactor(float factor) {
  Ref<vst3::IPlugViewContentScaleSupport> scaling = query<vst3::IPlugViewContentScaleSupport>(view_.get());
  if (!scaling) return vst3::kNoInterface;
  return scaling->setContentScaleFactor(factor);
}

vst3::uint32 Editor::release() {
  if (attached_) remove();
  return view_.reset();
}

// ---------------------------------------------------------------------------
// Making and ending

Plugin::Plugin() : host_(make<HostApplication>()), handler_(make<ComponentHandler>()) {}

std::unique_ptr<Plugin> Plugin::create(const Module& module, std::string& error, const vst3::Uid* cid) {
  vst3::Uid chosen{};
  if (cid) {
    chosen = *cid;
  } else {
    bool found = false;
    for (const ClassInfo& info : module.classes())
      if (info.category == vst3::kVstAudioEffectClass) {
        chosen = info.cid;
        found = true;
        break;
      }
    if (!found) {
      error = "no audio module class in " + module.binaryPath();
      return nullptr;
    }
  }
  std::unique_ptr<Plugin> plugin(new Plugin);
  plugin->component_ = module.create<vst3::IComponent>(chosen);
  if (!plugin->component_) {
    error = "the factory made no component: " + module.binaryPath();
    return nullptr;
  }
  if (plugin->component_->initialize(plugin->host_.get()) != vst3::kResultOk) {
    error = "the component refused to initialise";
    return nullptr;
  }
  plugin->initialised_ = true;
  plugin->processor_ = query<vst3::IAudioProcessor>(plugin->component_.get());
  if (!plugin->processor_) {
    error = "the component is no audio processor";
    return nullptr;
  }
  plugin->controller_ = query<vst3::IEditController>(plugin->component_.get());
  if (!plugin->controller_) {
    // A controller of its own class, given the component's state.
    vst3::TUID controllerClass{};
    vst3::Uid controllerId{};
    if (plugin->component_->getControllerClassId(controllerClass) == vst3::kResultOk) {
      std::memcpy(controllerId.bytes, controllerClass, sizeof controllerId.bytes);
      plugin->controller_ = module.create<vst3::IEditController>(controllerId);
    }
    if (!plugin->controller_) {
      error = "the plug-in has no edit controller";
      return nullptr;
    }
    plugin->singleComponent_ = false;
    if (plugin->controller_->initialize(plugin->host_.get()) != vst3::kResultOk) {
      error = "the controller refused to initialise";
      return nullptr;
    }
    plugin->controllerInitialised_ = true;
    if (auto state = plugin->state()) {
      auto stream = make<MemoryStream>(std::move(*state));
      plugin->controller_->setComponentState(stream.get());
    }
  }
  plugin->controller_->setComponentHandler(plugin->handler_.get());
  plugin->midiMapping_ = query<vst3::IMidiMapping>(plugin->controller_.get());
  plugin->unitInfo_ = query<vst3::IUnitInfo>(plugin->controller_.get());
  for (const Parameter& p : plugin->parameters())
    if (p.has(vst3::ParameterInfo::kIsProgramChange)) {
      plugin->programParameter_ = p.id;
      break;
    }
  return plugin;
}

Plugin::~Plugin() { close(); }

vst3::uint32 Plugin::close() {
  if (!component_) return 0;
  if (processing_) setProcessing(false);
  if (active_) setActive(false);
  midiMapping_.reset();
  unitInfo_.reset();
  if (!singleComponent_ && controller_) {
    if (controllerInitialised_) controller_->terminate();
    controller_.reset();
  }
  if (initialised_) component_->terminate();
  initialised_ = controllerInitialised_ = false;
  controller_.reset();
  processor_.reset();
  return component_.reset();
}

// ---------------------------------------------------------------------------
// Setting up

std::vector<vst3::BusInfo> Plugin::buses(vst3::MediaType type, vst3::BusDirection direction) const {
  std::vector<vst3::BusInfo> found;
  const vst3::int32 count = component_->getBusCount(type, direction);
  for (vst3::int32 b = 0; b < count; ++b) {
    vst3::BusInfo info{};
    if (component_->getBusInfo(type, direction, b, info) == vst3::kResultOk) found.push_back(info);
  }
  return found;
}

bool Plugin::setup(double rate, int maxBlock, vst3::int32 processMode, int outputBuses) {
  if (processor_->canProcessSampleSize(vst3::kSample32) != vst3::kResultOk) {
    error_ = "the plug-in cannot process 32-bit samples";
    return false;
  }
  const std::vector<vst3::BusInfo> outputs = buses(vst3::kAudio, vst3::kOutput);
  // Every bus in the arrangement the plug-in gives it, active.
  std::vector<vst3::SpeakerArrangement> arrangements;
  for (std::size_t b = 0; b < outputs.size(); ++b) {
    vst3::SpeakerArrangement arrangement = vst3::SpeakerArr::kEmpty;
    processor_->getBusArrangement(vst3::kOutput, static_cast<vst3::int32>(b), arrangement);
    arrangements.push_back(arrangement);
  }
  processor_->setBusArrangements(nullptr, 0, arrangements.data(), static_cast<vst3::int32>(arrangements.size()));
  const std::size_t given = outputBuses < 0 ? outputs.size() : std::min(outputs.size(), static_cast<std::size_t>(outputBuses));
  for (vst3::MediaType type : {vst3::kAudio, vst3::kEvent})
    for (vst3::BusDirection direction : {vst3::kInput, vst3::kOutput}) {
      const vst3::int32 count = component_->getBusCount(type, direction);
      for (vst3::int32 b = 0; b < count; ++b) {
        const bool used = type != vst3::kAudio || direction != vst3::kOutput || static_cast<std::size_t>(b) < given;
        component_->activateBus(type, direction, b, used ? 1 : 0);
      }
    }
  vst3::ProcessSetup setup{processMode, vst3::kSample32, maxBlock, rate};
  if (processor_->setupProcessing(setup) != vst3::kResultOk) {
    error_ = "the plug-in refused the setup (" + std::to_string(rate) + " Hz, blocks of " + std::to_string(maxBlock) + ")";
    return false;
  }
  rate_ = rate;
  maxBlock_ = maxBlock;
  processMode_ = processMode;

  channels_.clear();
  outputBuses_.clear();
  for (std::size_t b = 0; b < given; ++b) {
    const vst3::BusInfo& bus = outputs[b];
    outputBuses_.push_back(vst3::AudioBusBuffers{bus.channelCount, 0, {nullptr}});
    for (int c = 0; c < bus.channelCount; ++c) channels_.emplace_back(static_cast<std::size_t>(std::max(maxBlock, 1)));
  }
  channelPointers_.clear();
  for (auto& channel : channels_) channelPointers_.push_back(channel.data());
  std::size_t next = 0;
  for (vst3::AudioBusBuffers& bus : outputBuses_) {
    bus.channelBuffers32 = bus.numChannels > 0 ? channelPointers_.data() + next : nullptr;
    next += static_cast<std::size_t>(bus.numChannels);
  }
  silenceFlags_.assign(outputBuses_.size(), 0);
  inputEvents_ = make<EventList>(kEventsPerBlock);
  outputEvents_ = make<EventList>(kEventsPerBlock);
  const int queues = parameterCount() + 16;
  inputQueues_ = make<ParameterChanges>(queues, kInputPointsPerQueue);
  outputQueues_ = make<ParameterChanges>(queues, kOutputPointsPerQueue);
  return true;
}

vst3::tresult Plugin::setActive(bool active) {
  const vst3::tresult result = component_->setActive(active ? 1 : 0);
  if (result == vst3::kResultOk || !active) active_ = active;
  return result;
}

vst3::tresult Plugin::setProcessing(bool processing) {
  const vst3::tresult result = processor_->setProcessing(processing ? 1 : 0);
  // Not every plug-in answers kResultOk here (kNotImplemented is common): the call was made.
  processing_ = processing;
  return result;
}

bool Plugin::start(double rate, int maxBlock) {
  if (!setup(rate, maxBlock)) return false;
  if (setActive(true) != vst3::kResultOk) {
    error_ = "the plug-in refused to become active";
    return false;
  }
  setProcessing(true);
  return true;
}

// ---------------------------------------------------------------------------
// Playing

void Plugin::translate(const VstMidiEvent& message, vst3::int32 offset) {
  const int status = static_cast<unsigned char>(message.midiData[0]) & 0xF0;
  const int channel = static_cast<unsigned char>(message.midiData[0]) & 0x0F;
  const int data1 = message.midiData[1] & 0x7F;
  const int data2 = message.midiData[2] & 0x7F;
  vst3::Event event{};
  event.busIndex = 0;
  event.sampleOffset = offset;
  switch (status) {
    case 0x90:
      if (data2 > 0) {
        event.type = vst3::Event::kNoteOnEvent;
        event.noteOn = {static_cast<vst3::int16>(channel), static_cast<vst3::int16>(data1), 0.0f,
                        static_cast<float>(data2) / 127.f, 0, -1};
        inputEvents_->addEvent(event);
        return;
      }
      [[fallthrough]];  // a note-on at velocity 0 ends the note
    case 0x80:
      event.type = vst3::Event::kNoteOffEvent;
      event.noteOff = {static_cast<vst3::int16>(channel), static_cast<vst3::int16>(data1),
                       static_cast<float>(data2) / 127.f, -1, 0.0f};
      inputEvents_->addEvent(event);
      return;
    case 0xA0:
      event.type = vst3::Event::kPolyPressureEvent;
      event.polyPressure = {static_cast<vst3::int16>(channel), static_cast<vst3::int16>(data1),
                            static_cast<float>(data2) / 127.f, -1};
      inputEvents_->addEvent(event);
      return;
    case 0xB0:
      if (auto id = controllerParameter(channel, data1)) inputQueues_->add(*id, offset, data2 / 127.0);
      return;
    case 0xC0:
      if (programParameter_) inputQueues_->add(*programParameter_, offset, data1 / 127.0);
      return;
    case 0xD0:
      if (auto id = controllerParameter(channel, vst3::kAfterTouch)) inputQueues_->add(*id, offset, data1 / 127.0);
      return;
    case 0xE0:
      if (auto id = controllerParameter(channel, vst3::kPitchBend))
        inputQueues_->add(*id, offset, static_cast<double>(data1 | (data2 << 7)) / 16383.0);
      return;
    default:
      return;
  }
}

bool Plugin::play(std::int64_t frames, int blockSize, std::vector<vsthost::TimedMidiEvent> events,
                  const vsthost::BlockSink& take, std::vector<ParameterChange> changes) {
  return play(frames, std::vector<int>{blockSize}, std::move(events), take, std::move(changes));
}

bool Plugin::play(std::int64_t frames, const std::vector<int>& pattern, std::vector<vsthost::TimedMidiEvent> events,
                  const vsthost::BlockSink& take, std::vector<ParameterChange> changes) {
  if (pattern.empty() || maxBlock_ <= 0 || !inputEvents_) {
    error_ = "play before setup, or without block sizes";
    return false;
  }
  std::stable_sort(events.begin(), events.end(),
                   [](const vsthost::TimedMidiEvent& a, const vsthost::TimedMidiEvent& b) { return a.frame < b.frame; });
  std::stable_sort(changes.begin(), changes.end(),
                   [](const ParameterChange& a, const ParameterChange& b) { return a.frame < b.frame; });
  std::size_t nextEvent = 0, nextChange = 0, turn = 0;
  for (std::int64_t start = 0; start < frames;) {
    const int wanted = pattern[turn++ % pattern.size()];
    const int length = static_cast<int>(std::min<std::int64_t>(wanted, frames - start));
    if (length <= 0 || length > maxBlock_) {
      error_ = "a block of " + std::to_string(wanted) + " samples, where the setup allows " + std::to_string(maxBlock_);
      return false;
    }
    inputEvents_->clear();
    inputQueues_->clear();
    std::size_t lastEvent = nextEvent;
    while (lastEvent < events.size() && events[lastEvent].frame < start + length) ++lastEvent;
    inputEvents_->reserve(static_cast<int>(lastEvent - nextEvent));
    for (const ParameterChange& edit : std::exchange(pending_, {})) inputQueues_->add(edit.id, 0, edit.value);
    for (; nextEvent < lastEvent; ++nextEvent)
      translate(events[nextEvent].event, static_cast<vst3::int32>(std::max<std::int64_t>(events[nextEvent].frame - start, 0)));
    for (; nextChange < changes.size() && changes[nextChange].frame < start + length; ++nextChange)
      inputQueues_->add(changes[nextChange].id,
                        static_cast<vst3::int32>(std::max<std::int64_t>(changes[nextChange].frame - start, 0)),
                        changes[nextChange].value);
    if (!processBlock(start, length)) return false;
    if (!take(channelPointers_, start, length)) return false;
    start += length;
  }
  return true;
}

bool Plugin::processBlock(std::int64_t start, int length) {
  for (auto& channel : channels_)
    std::fill_n(channel.begin(), length, std::numeric_limits<float>::quiet_NaN());
  for (vst3::AudioBusBuffers& bus : outputBuses_) bus.silenceFlags = 0;
  outputQueues_->clear();
  outputEvents_->clear();
  vst3::ProcessData data{};
  data.processMode = processMode_;
  data.symbolicSampleSize = vst3::kSample32;
  data.numSamples = length;
  data.numInputs = 0;
  data.numOutputs = static_cast<vst3::int32>(outputBuses_.size());
  data.inputs = nullptr;
  data.outputs = outputBuses_.data();
  data.inputParameterChanges = inputQueues_.get();
  data.outputParameterChanges = outputQueues_.get();
  data.inputEvents = inputEvents_.get();
  data.outputEvents = outputEvents_.get();
  data.processContext = nullptr;
  if (beforeProcess) beforeProcess();
  const vst3::tresult result = processor_->process(data);
  if (afterProcess) afterProcess();
  for (std::size_t b = 0; b < outputBuses_.size(); ++b) silenceFlags_[b] = outputBuses_[b].silenceFlags;
  collectOutputChanges(start);
  if (result != vst3::kResultOk) {
    error_ = "process failed (" + std::to_string(result) + ") at sample " + std::to_string(start);
    return false;
  }
  return true;
}

void Plugin::collectOutputChanges(std::int64_t start) {
  outputOverflowed_ = outputOverflowed_ || outputQueues_->overflowed() || outputEvents_->overflowed();
  for (std::size_t q = 0; q < outputQueues_->size(); ++q) {
    const ParamValueQueue& queue = outputQueues_->queue(q);
    for (const ParamValueQueue::Point& point : queue)
      outputChanges_.push_back({start + point.offset, queue.id(), point.value});
  }
}

vst3::tresult Plugin::flush(const std::vector<ParameterChange>& changes) {
  inputEvents_->clear();
  inputQueues_->clear();
  for (const ParameterChange& edit : std::exchange(pending_, {})) inputQueues_->add(edit.id, 0, edit.value);
  for (const ParameterChange& change : changes) inputQueues_->add(change.id, 0, change.value);
  outputQueues_->clear();
  outputEvents_->clear();
  vst3::ProcessData data{};
  data.processMode = processMode_;
  data.symbolicSampleSize = vst3::kSample32;
  data.inputParameterChanges = inputQueues_.get();
  data.outputParameterChanges = outputQueues_.get();
  data.inputEvents = inputEvents_.get();
  data.outputEvents = outputEvents_.get();
  if (beforeProcess) beforeProcess();
  const vst3::tresult result = processor_->process(data);
  if (afterProcess) afterProcess();
  collectOutputChanges(0);
  return result;
}

std::vector<std::vector<float>> Plugin::render(int frames, int blockSize, const std::vector<VstMidiEvent>& events,
                                               const std::vector<ParameterChange>& changes) {
  std::vector<std::vector<float>> out(channels_.size(), std::vector<float>(static_cast<std::size_t>(std::max(frames, 0))));
  std::vector<vsthost::TimedMidiEvent> timed;
  for (const VstMidiEvent& event : events) timed.push_back({event.deltaFrames, event});
  play(frames, blockSize, std::move(timed),
       [&](const std::vector<float*>& block, std::int64_t start, int length) {
         for (std::size_t c = 0; c < out.size(); ++c) std::copy_n(block[c], length, out[c].begin() + start);
         return true;
       },
       changes);
  return out;
}

// ---------------------------------------------------------------------------
// Parameters, units, programs

void Plugin::setParameter(vst3::ParamID id, vst3::ParamValue value) {
  controller_->setParamNormalized(id, value);
  pending_.push_back({0, id, value});
}

int Plugin::parameterCount() const { return controller_->getParameterCount(); }

std::optional<Parameter> Plugin::parameterAt(int index) const {
  vst3::ParameterInfo info{};
  if (controller_->getParameterInfo(index, info) != vst3::kResultOk) return std::nullopt;
  return described(info);
}

std::optional<Parameter> Plugin::parameterById(vst3::ParamID id) const {
  for (const Parameter& p : parameters())
    if (p.id == id) return p;
  return std::nullopt;
}

std::vector<Parameter> Plugin::parameters() const {
  std::vector<Parameter> all;
  const int count = parameterCount();
  for (int i = 0; i < count; ++i)
    if (auto p = parameterAt(i)) all.push_back(*p);
  return all;
}

std::optional<vst3::ParamID> Plugin::programParameter() const { return programParameter_; }

std::string Plugin::valueString(vst3::ParamID id, vst3::ParamValue value) const {
  vst3::String128 text{};
  if (controller_->getParamStringByValue(id, value, text) != vst3::kResultOk) return {};
  return toUtf8(text);
}

std::optional<vst3::ParamID> Plugin::controllerParameter(int channel, int controller, int bus) const {
  vst3::ParamID id = 0;
  if (!midiMapping_ || midiMapping_->getMidiControllerAssignment(bus, static_cast<vst3::int16>(channel),
                                                                 static_cast<vst3::CtrlNumber>(controller),
                                                                 id) != vst3::kResultOk)
    return std::nullopt;
  return id;
}

std::vector<Unit> Plugin::units() const {
  std::vector<Unit> found;
  if (!unitInfo_) return found;
  const vst3::int32 count = unitInfo_->getUnitCount();
  for (vst3::int32 u = 0; u < count; ++u) {
    vst3::UnitInfo info{};
    if (unitInfo_->getUnitInfo(u, info) != vst3::kResultOk) continue;
    found.push_back({info.id, info.parentUnitId, toUtf8(info.name), info.programListId});
  }
  return found;
}

std::vector<ProgramList> Plugin::programLists() const {
  std::vector<ProgramList> found;
  if (!unitInfo_) return found;
  const vst3::int32 count = unitInfo_->getProgramListCount();
  for (vst3::int32 l = 0; l < count; ++l) {
    vst3::ProgramListInfo info{};
    if (unitInfo_->getProgramListInfo(l, info) != vst3::kResultOk) continue;
    found.push_back({info.id, toUtf8(info.name), info.programCount});
  }
  return found;
}

std::optional<std::string> Plugin::programName(vst3::ProgramListID list, int program) const {
  vst3::String128 name{};
  if (!unitInfo_ || unitInfo_->getProgramName(list, program, name) != vst3::kResultOk) return std::nullopt;
  return toUtf8(name);
}

// ---------------------------------------------------------------------------
// State and views

std::optional<std::vector<std::uint8_t>> Plugin::state() const {
  auto stream = make<MemoryStream>();
  if (component_->getState(stream.get()) != vst3::kResultOk) return std::nullopt;
  return stream->bytes();
}

vst3::tresult Plugin::setState(const std::vector<std::uint8_t>& bytes, bool alsoController) {
  auto stream = make<MemoryStream>(bytes);
  const vst3::tresult result = component_->setState(stream.get());
  if (result == vst3::kResultOk && alsoController) {
    auto again = make<MemoryStream>(bytes);
    controller_->setComponentState(again.get());
  }
  return result;
}

std::optional<std::vector<std::uint8_t>> Plugin::controllerState() const {
  auto stream = make<MemoryStream>();
  if (controller_->getState(stream.get()) != vst3::kResultOk) return std::nullopt;
  return stream->bytes();
}

std::unique_ptr<Editor> Plugin::createEditor(const char* name) {
  auto view = Ref<vst3::IPlugView>::adopt(controller_->createView(name));
  if (!view) return nullptr;
  return std::make_unique<Editor>(std::move(view), make<PlugFrame>());
}

}  // namespace zvx::vst3host
