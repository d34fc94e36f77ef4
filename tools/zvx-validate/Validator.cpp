#include "tools/zvx-validate/Validator.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace zvx::validate {
namespace {

constexpr std::uint32_t kSentinelBits = 0x7FC0DEADu;  // a quiet NaN nobody computes
constexpr std::uint32_t kGuardBits = 0x7FA5A5A5u;
constexpr unsigned char kCanary = 0xA5;
constexpr std::size_t kCanaryBytes = 16;
constexpr int kReasonsShown = 4;

std::uint32_t bitsOf(float value) {
  std::uint32_t bits;
  std::memcpy(&bits, &value, 4);
  return bits;
}

float fromBits(std::uint32_t bits) {
  float value;
  std::memcpy(&value, &bits, 4);
  return value;
}

void emit(const std::string& line) {
  std::fputs(line.c_str(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

// Keeps report lines on one line.
std::string oneLine(std::string text) {
  std::replace(text.begin(), text.end(), '\n', ' ');
  return text;
}

}  // namespace

Profile zvxProfile() {
  Profile p;
  p.name = "zvx";
  p.exact = true;
  p.flags = effFlagsHasEditor | effFlagsCanReplacing | effFlagsProgramChunks | effFlagsIsSynth;
  p.numInputs = 0;
  p.numOutputs = 6;
  p.numParams = 83;
  p.numPrograms = 128;
  p.uniqueId = fourCharCode("996d");
  p.version = 1;
  p.category = kPlugCategSynth;
  p.vendorVersion = 1;
  p.effectName = "ZVX";
  p.productString = "ZVX";
  p.canDo = {{"receiveVstEvents", 1}, {"receiveVstMidiEvent", 1}, {"midiProgramNames", 1}};
  p.canDoOther = -1;
  p.midiInputs = 1;
  p.midiOutputs = 0;
  p.pinLabels = {"Mix L", "Mix R", "Kick", "Snare", "Hi-hat", "Clap"};
  constexpr VstInt32 kMix = kVstPinIsActive | kVstPinIsStereo | kVstPinUseSpeaker;
  constexpr VstInt32 kVoice = kVstPinIsActive | kVstPinUseSpeaker;
  p.pinFlags = {kMix, kMix, kVoice, kVoice, kVoice, kVoice};
  for (int index = 63; index <= 81; ++index) p.unusedParameters.push_back(index);
  p.switches = 13;
  p.integerMenus = 4;
  p.namedKeys = {29, 31, 33, 35, 36, 37, 38, 39, 40, 42, 44, 46};
  p.unnamedKey = 60;
  p.nullForOldHost = true;
  p.chunkSizesExact = true;
  return p;
}

// ---------------------------------------------------------------------------

Check::Check(std::string id, std::string what) : id_(std::move(id)), what_(std::move(what)) { emit("BEGIN " + id_); }

Check::~Check() {
  std::string line;
  if (failures_ > 0) {
    line = "FAIL " + id_ + " " + what_ + ": ";
    for (std::size_t i = 0; i < reasons_.size(); ++i) line += (i ? "; " : "") + reasons_[i];
    if (failures_ > kReasonsShown) line += "; ... (" + std::to_string(failures_) + " in all)";
  } else if (skipped_) {
    line = "SKIP " + id_ + " " + what_ + ": " + skipReason_;
  } else {
    line = "PASS " + id_ + " " + what_ + (detail_.empty() ? "" : " (" + detail_ + ")");
  }
  emit(oneLine(line));
}

bool Check::expect(bool ok, const std::string& why) {
  if (ok) return true;
  if (failures_++ < kReasonsShown) reasons_.push_back(why);
  return false;
}

void Check::skip(const std::string& why) {
  skipped_ = true;
  skipReason_ = why;
}

void count(const std::string& name, long long value) { emit("COUNT " + name + " " + std::to_string(value)); }

void note(const std::string& text) { emit(oneLine("NOTE " + text)); }

std::string describeFloat(float value) {
  char text[48];
  std::snprintf(text, sizeof text, "%.9g", static_cast<double>(value));
  return text;
}

// ---------------------------------------------------------------------------

Outputs::Outputs(int channels, int capacity)
    : capacity_(capacity),
      buffers_(static_cast<std::size_t>(std::max(channels, 0)),
               std::vector<float>(static_cast<std::size_t>(capacity + kGuard))),
      pointers_(buffers_.size()) {
  for (std::size_t c = 0; c < buffers_.size(); ++c) pointers_[c] = buffers_[c].data();
}

void Outputs::arm(int frames) {
  const float sentinel = fromBits(kSentinelBits);
  const float guard = fromBits(kGuardBits);
  const int written = std::clamp(frames, 0, capacity_);
  for (auto& buffer : buffers_) {
    std::fill(buffer.begin(), buffer.begin() + written, sentinel);
    std::fill(buffer.begin() + written, buffer.end(), guard);
  }
}

std::string Outputs::verify(int frames) const {
  const int written = std::clamp(frames, 0, capacity_);
  for (std::size_t c = 0; c < buffers_.size(); ++c) {
    const std::vector<float>& buffer = buffers_[c];
    for (int i = 0; i < written; ++i) {
      const float value = buffer[static_cast<std::size_t>(i)];
      const std::uint32_t bits = bitsOf(value);
      const std::string where = " at output " + std::to_string(c) + " sample " + std::to_string(i) + " of " +
                                std::to_string(frames);
      if (bits == kSentinelBits) return "sample not written" + where;
      if (std::isnan(value)) return "NaN" + where;
      if (std::isinf(value)) return "infinity" + where;
      if (std::fpclassify(value) == FP_SUBNORMAL) return "subnormal " + describeFloat(value) + where;
    }
    for (std::size_t i = static_cast<std::size_t>(written); i < buffer.size(); ++i)
      if (bitsOf(buffer[i]) != kGuardBits)
        return "wrote past the block at output " + std::to_string(c) + " sample " + std::to_string(i) + " of " +
               std::to_string(frames);
  }
  return {};
}

// ---------------------------------------------------------------------------

Session::Session(std::string modulePath, std::string profile, std::uint32_t seed)
    : path_(std::move(modulePath)), seed_(seed), random_(seed) {
  module_ = vsthost::Module::load(path_, error_);
  if (!module_) return;
  bool zvx = profile == "zvx";
  if (profile == "auto") {
    if (auto plugin = create()) {
      zvx = plugin->effect()->uniqueID == fourCharCode("996d") && plugin->effectName() == "ZVX";
    }
  }
  if (zvx) profile_ = zvxProfile();
}

bool Session::reload() {
  module_ = vsthost::Module::load(path_, error_);
  return module_ != nullptr;
}

std::unique_ptr<vsthost::Plugin> Session::create(const vsthost::HostConfig& config) {
  std::string error;
  auto plugin = vsthost::Plugin::create(*module_, config, error);
  if (!plugin) error_ = error;
  return plugin;
}

std::unique_ptr<vsthost::Plugin> Session::started(float rate, int blockSize, const vsthost::HostConfig& config) {
  auto plugin = create(config);
  if (plugin) plugin->start(rate, blockSize);
  return plugin;
}

// ---------------------------------------------------------------------------

void EventList::clear() {
  events_.clear();
  sysex_.clear();
  dumps_.clear();
  pointers_.clear();
  kinds_.clear();
}

void EventList::add(const VstMidiEvent& event) {
  VstEvent raw;
  static_assert(sizeof raw == sizeof event);
  std::memcpy(&raw, &event, sizeof raw);
  addRaw(raw);
}

void EventList::addRaw(const VstEvent& event) {
  events_.push_back(event);
  kinds_.push_back(0);
  pointers_.push_back(nullptr);
}

void EventList::addSysex(int deltaFrames, int bytes) {
  VstMidiSysexEvent event{};
  event.type = kVstSysExType;
  event.byteSize = sizeof(VstMidiSysexEvent);
  event.deltaFrames = deltaFrames;
  event.dumpBytes = bytes;
  dumps_.emplace_back(static_cast<std::size_t>(std::max(bytes, 1)), '\x7F');
  dumps_.back().front() = static_cast<char>(0xF0);
  dumps_.back().back() = static_cast<char>(0xF7);
  sysex_.push_back(event);
  kinds_.push_back(1);
  pointers_.push_back(nullptr);
}

VstEvents* EventList::block() {
  // Pointers are taken only now: the vectors no longer move.
  std::size_t plain = 0, sysex = 0;
  for (std::size_t i = 0; i < kinds_.size(); ++i) {
    if (kinds_[i] == 0) pointers_[i] = &events_[plain++];
    if (kinds_[i] == 1) {
      sysex_[sysex].sysexDump = dumps_[sysex].data();
      pointers_[i] = reinterpret_cast<VstEvent*>(&sysex_[sysex++]);
    }
  }
  const std::size_t slots = std::max<std::size_t>(pointers_.size(), 2);
  storage_.assign(offsetof(VstEvents, events) + slots * sizeof(VstEvent*), 0);
  auto* block = reinterpret_cast<VstEvents*>(storage_.data());
  block->numEvents = static_cast<VstInt32>(pointers_.size());
  for (std::size_t i = 0; i < pointers_.size(); ++i) eventSlots(*block)[i] = pointers_[i];
  return block;
}

std::string processBlock(vsthost::Plugin& plugin, Outputs& out, int frames, EventList* events) {
  if (events && events->size() > 0) plugin.dispatch(effProcessEvents, 0, 0, events->block());
  out.arm(frames);
  plugin.processReplacing(out.pointers(), frames);
  return out.verify(frames);
}

// ---------------------------------------------------------------------------

StringAnswer askString(vsthost::Plugin& plugin, VstInt32 opcode, VstInt32 index, std::size_t size, VstIntPtr value) {
  std::vector<unsigned char> buffer(size + kCanaryBytes, kCanary);
  // The buffer itself holds no terminator until the plug-in writes one.
  std::fill(buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(size), 'Z');
  StringAnswer answer;
  answer.result = plugin.dispatch(opcode, index, value, buffer.data());
  for (std::size_t i = size; i < buffer.size(); ++i)
    if (buffer[i] != kCanary) {
      answer.problem = "wrote past its " + std::to_string(size) + "-byte buffer (byte " + std::to_string(i) + ")";
      break;
    }
  const auto* text = reinterpret_cast<const char*>(buffer.data());
  const std::size_t length = strnlen(text, size);
  if (answer.problem.empty() && length == size) answer.problem = "not terminated within " + std::to_string(size) + " bytes";
  answer.text.assign(text, length);
  return answer;
}

bool validUtf8(const std::string& text) {
  std::size_t i = 0;
  while (i < text.size()) {
    const auto c = static_cast<unsigned char>(text[i]);
    int more = c < 0x80 ? 0 : (c >> 5) == 6 ? 1 : (c >> 4) == 14 ? 2 : (c >> 3) == 30 ? 3 : -1;
    if (more < 0 || i + static_cast<std::size_t>(more) >= text.size() + (more == 0 ? 1 : 0)) return false;
    for (int k = 1; k <= more; ++k)
      if ((static_cast<unsigned char>(text[i + static_cast<std::size_t>(k)]) >> 6) != 2) return false;
    i += static_cast<std::size_t>(more) + 1;
  }
  return true;
}

std::vector<float> parameterValues(vsthost::Plugin& plugin) {
  std::vector<float> values(static_cast<std::size_t>(std::max(plugin.effect()->numParams, 0)));
  for (std::size_t p = 0; p < values.size(); ++p) values[p] = plugin.getParameter(static_cast<int>(p));
  return values;
}

std::vector<unsigned char> chunkOf(vsthost::Plugin& plugin, int index) {
  void* data = nullptr;
  const VstIntPtr size = plugin.dispatch(effGetChunk, index, 0, &data);
  if (size <= 0 || !data) return {};
  const auto* bytes = static_cast<const unsigned char*>(data);
  return std::vector<unsigned char>(bytes, bytes + size);
}

}  // namespace zvx::validate
