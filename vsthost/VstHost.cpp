#include "vsthost/VstHost.h"

#include <algorithm>
#include <cstring>

#include "vsthost/SharedLibrary.h"

namespace zvx::vsthost {
namespace {

// The plug-in calls back before its AEffect exists; the host being created on
// this thread answers those calls.
thread_local Plugin* constructing = nullptr;

}  // namespace

std::unique_ptr<Module> Module::load(const std::string& path, std::string& error) {
  void* handle = openLibrary(path, error);
  if (!handle) return nullptr;
  void* entry = findSymbol(handle, "VSTPluginMain");
  if (!entry) entry = findSymbol(handle, "main");
  if (!entry) {
    closeLibrary(handle);
    error = "not a VST 2.4 module (no VSTPluginMain or main): " + path;
    return nullptr;
  }
  return std::unique_ptr<Module>(new Module(handle, reinterpret_cast<VstPluginMainProc>(entry), path));
}

Module::~Module() { closeLibrary(handle_); }

VstMidiEvent midiEvent(int deltaFrames, int status, int data1, int data2) {
  VstMidiEvent event{};
  event.type = kVstMidiType;
  event.byteSize = sizeof(VstMidiEvent);
  event.deltaFrames = deltaFrames;
  event.midiData[0] = static_cast<char>(status);
  event.midiData[1] = static_cast<char>(data1);
  event.midiData[2] = static_cast<char>(data2);
  return event;
}

std::unique_ptr<Plugin> Plugin::create(const Module& module, const HostConfig& config, std::string& error) {
  return create(module.entry(), module.path(), config, error);
}

std::unique_ptr<Plugin> Plugin::create(VstPluginMainProc entry, const std::string& name, const HostConfig& config,
                                       std::string& error) {
  std::unique_ptr<Plugin> plugin(new Plugin(config));
  Plugin* previous = constructing;
  constructing = plugin.get();
  AEffect* effect = entry(&Plugin::hostCallback);
  constructing = previous;
  if (!effect) {
    error = "the module's entry point gave no plug-in: " + name;
    return nullptr;
  }
  if (effect->magic != kEffectMagic) {
    error = "the module's entry point gave no VST 2.4 plug-in: " + name;
    return nullptr;
  }
  effect->resvd1 = reinterpret_cast<VstIntPtr>(plugin.get());
  plugin->effect_ = effect;
  return plugin;
}

Plugin::~Plugin() { close(); }

void Plugin::close() {
  if (!effect_) return;
  AEffect* effect = effect_;
  effect_ = nullptr;
  effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);
}

VstIntPtr VSTCALLBACK Plugin::hostCallback(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value,
                                           void* ptr, float opt) {
  Plugin* host = effect && effect->resvd1 ? reinterpret_cast<Plugin*>(effect->resvd1) : constructing;
  if (!host) return opcode == audioMasterVersion ? kVstVersion : 0;
  return host->answer(opcode, index, value, ptr, opt);
}

VstIntPtr Plugin::answer(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt) {
  if (config_.intercept) {
    if (std::optional<VstIntPtr> answer = config_.intercept(effect_, opcode, index, value, ptr, opt)) return *answer;
  }
  switch (opcode) {
    case audioMasterVersion:
      return config_.version;
    case audioMasterGetSampleRate:
      return config_.sampleRate;
    case audioMasterGetBlockSize:
      return config_.blockSize;
    default:
      break;
  }
  if (opcode == audioMasterUpdateDisplay) return config_.updateDisplayAnswer;
  return 0;
}

VstIntPtr Plugin::dispatch(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt) {
  if (!effect_) return 0;
  if (opcode == effClose) {
    close();
    return 1;
  }
  return effect_->dispatcher(effect_, opcode, index, value, ptr, opt);
}

void Plugin::start(float sampleRate, int blockSize) {
  dispatch(effOpen);
  dispatch(effSetSampleRate, 0, 0, nullptr, sampleRate);
  dispatch(effSetBlockSize, 0, blockSize);
  dispatch(effMainsChanged, 0, 1);
}

void Plugin::setParameter(int index, float value) { effect_->setParameter(effect_, index, value); }

float Plugin::getParameter(int index) { return effect_->getParameter(effect_, index); }

// Strings are read into a generous buffer and cut at the terminator.
std::string Plugin::readString(VstInt32 opcode, VstInt32 index, std::size_t capacity) {
  std::vector<char> buffer(std::max<std::size_t>(capacity, 256), 0);
  dispatch(opcode, index, 0, buffer.data());
  return std::string(buffer.data(), strnlen(buffer.data(), buffer.size()));
}

std::string Plugin::parameterName(int index) { return readString(effGetParamName, index, 64); }
std::string Plugin::parameterDisplay(int index) { return readString(effGetParamDisplay, index, 64); }
std::string Plugin::parameterLabel(int index) { return readString(effGetParamLabel, index, 64); }
std::string Plugin::programName() { return readString(effGetProgramName, 0, 64); }
std::string Plugin::effectName() { return readString(effGetEffectName, 0, kVstMaxEffectNameLen); }
std::string Plugin::vendorString() { return readString(effGetVendorString, 0, kVstMaxVendorStrLen); }
std::string Plugin::productString() { return readString(effGetProductString, 0, kVstMaxProductStrLen); }

std::string Plugin::programNameIndexed(int index, bool* ok) {
  std::vector<char> buffer(256, 0);
  VstIntPtr result = dispatch(effGetProgramNameIndexed, index, 0, buffer.data());
  if (ok) *ok = result != 0;
  return std::string(buffer.data(), strnlen(buffer.data(), buffer.size()));
}

VstInt32 Plugin::canDo(const char* text) {
  return static_cast<VstInt32>(dispatch(effCanDo, 0, 0, const_cast<char*>(text)));
}

void Plugin::sendRawEvents(const std::vector<VstEvent*>& events) {
  const std::size_t slots = std::max<std::size_t>(events.size(), 2);
  eventBlock_.assign(offsetof(VstEvents, events) + slots * sizeof(VstEvent*), 0);
  auto* block = reinterpret_cast<VstEvents*>(eventBlock_.data());
  block->numEvents = static_cast<VstInt32>(events.size());
  for (std::size_t i = 0; i < events.size(); ++i) eventSlots(*block)[i] = events[i];
  dispatch(effProcessEvents, 0, 0, block);
}

void Plugin::sendEvents(const std::vector<VstMidiEvent>& events) {
  eventStorage_ = events;
  std::vector<VstEvent*> pointers;
  for (VstMidiEvent& event : eventStorage_) pointers.push_back(reinterpret_cast<VstEvent*>(&event));
  sendRawEvents(pointers);
}

void Plugin::processReplacing(float** outputs, int frames) {
  effect_->processReplacing(effect_, nullptr, outputs, frames);
}

bool Plugin::play(std::int64_t frames, int blockSize, std::vector<TimedMidiEvent> events, const BlockSink& take) {
  std::stable_sort(events.begin(), events.end(),
                   [](const TimedMidiEvent& a, const TimedMidiEvent& b) { return a.frame < b.frame; });
  std::vector<std::vector<float>> buffers(static_cast<std::size_t>(effect_->numOutputs),
                                          std::vector<float>(static_cast<std::size_t>(blockSize)));
  std::vector<float*> pointers;
  for (auto& buffer : buffers) pointers.push_back(buffer.data());
  std::vector<VstMidiEvent> block;
  std::size_t next = 0;
  for (std::int64_t start = 0; start < frames; start += blockSize) {
    const int length = static_cast<int>(std::min<std::int64_t>(blockSize, frames - start));
    block.clear();
    while (next < events.size() && events[next].frame < start + length) {
      VstMidiEvent event = events[next].event;
      event.deltaFrames = static_cast<VstInt32>(events[next++].frame - start);
      block.push_back(event);
    }
    if (!block.empty()) sendEvents(block);
    for (auto& buffer : buffers) std::fill(buffer.begin(), buffer.end(), 0.0f);
    processReplacing(pointers.data(), length);
    if (!take(pointers, start, length)) return false;
  }
  return true;
}

std::vector<std::vector<float>> Plugin::render(int frames, int blockSize, const std::vector<VstMidiEvent>& events) {
  std::vector<std::vector<float>> out(static_cast<std::size_t>(effect_->numOutputs),
                                      std::vector<float>(static_cast<std::size_t>(std::max(frames, 0))));
  std::vector<TimedMidiEvent> timed;
  for (const VstMidiEvent& event : events) timed.push_back({event.deltaFrames, event});
  play(frames, blockSize, std::move(timed), [&](const std::vector<float*>& block, std::int64_t start, int length) {
    for (std::size_t c = 0; c < out.size(); ++c) std::copy(block[c], block[c] + length, out[c].data() + start);
    return true;
  });
  return out;
}

}  // namespace zvx::vsthost
