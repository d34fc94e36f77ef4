#include "plugin/DrumPlugin.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <string>

#include "host/platform/Messages.h"
#include "host/platform/Platform.h"
#include "plugin/InstallNotice.h"
#include "plugin/ParameterTable.h"
#include "storage/DataFolder.h"
#include "storage/FxbFile.h"

namespace zvx {
namespace {

constexpr const char* kProductName = "ZVX";
// A default bank is some 50 kB; anything far larger is not one of ours.
constexpr long kMaxDefaultBankSize = 16L << 20;

// Instances alive in this process: the first one reads the learn map file,
// later ones share the live table instead of overwriting it.
std::atomic<int> liveInstances{0};

// Reads a whole file; false when it cannot be opened or is unreasonably large.
bool readWholeFile(const std::string& path, std::vector<unsigned char>& bytes, long limit) {
  std::FILE* file = platform::openRegularFile(path);
  if (!file) return false;
  bool ok = std::fseek(file, 0, SEEK_END) == 0;
  const long size = ok ? std::ftell(file) : -1;
  ok = ok && size >= 0 && size <= limit && std::fseek(file, 0, SEEK_SET) == 0;
  if (ok) {
    bytes.resize(static_cast<std::size_t>(size));
    ok = std::fread(bytes.data(), 1, bytes.size(), file) == bytes.size();
  }
  std::fclose(file);
  return ok;
}

// Copies a terminated text into a host buffer of `capacity` bytes.
void copyText(char* destination, const std::string& text, std::size_t capacity) {
  std::size_t length = std::min(text.size(), capacity - 1);
  std::memcpy(destination, text.data(), length);
  destination[length] = 0;
}

}  // namespace

DrumPlugin::DrumPlugin(audioMasterCallback audioMaster, EditorFactory makeEditor)
    : AudioEffectX(audioMaster, kNumPrograms, kNumParameters), engine_(*this) {
  fillWithDefaults(bank_);
  programsAreChunks();

  busy_ = true;
  engine_.initialise();
  samples_->subscribe(engine_);
  loadDefaultBank();
  busy_ = false;
  engine_.finishInitialisation();

  if (audioMaster) {
    setNumInputs(0);
    setNumOutputs(Engine::kOutputs);
    isSynth();
    setUniqueID(kUniqueId);
    canProcessReplacing();
  }

  readLearnMap();

  // The editor reads only its skin's background now, for the window size.
  if (makeEditor) {
    setEditor(makeEditor(*this));
    if (editor) editor->setKnobMode(2);
  }

  setProgram(0);
  // Every file in memory, so a choice on the audio thread finds it there.
  samples_->readUnread();
}

DrumPlugin::~DrumPlugin() {
  // The editor goes while the plug-in it looks at is still whole.
  learnHook_ = nullptr;
  delete editor;
  setEditor(nullptr);
  writeLearnMap();
  waiting_.showWaiting();
  samples_->unsubscribe(engine_);
  liveInstances.fetch_sub(1);
}

VstIntPtr DrumPlugin::dispatcher(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt) {
  if (!waiting_.empty() && (opcode == effEditIdle || (opcode != effProcessEvents && !onAudioThread())))
    waiting_.showWaiting();
  return AudioEffectX::dispatcher(opcode, index, value, ptr, opt);
}

// The audio thread is the one inside processReplacing or processEvents, or
// one the host says is real-time.
bool DrumPlugin::onAudioThread() {
  if (processingThread_.load(std::memory_order_relaxed) == std::this_thread::get_id()) return true;
  return callHost(audioMasterGetCurrentProcessLevel) == kVstProcessLevelRealtime;
}

void DrumPlugin::tell(std::string_view text, std::string_view caption) {
  if (onAudioThread()) {
    waiting_.keep(text, caption);
    return;
  }
  waiting_.showWaiting();
  platform::showMessage(text, caption);
}

void DrumPlugin::readLearnMap() {
  readsLearnMap_ = liveInstances.fetch_add(1) == 0;
  std::string folder;
  if (!findDataFolder("ZVX", folder)) {
    tell(kNotInstalled, kNotInstalledCaption);
    InstallNotice::told();
    if (readsLearnMap_) learnMap().forgetAll();
    return;
  }
  InstallNotice::found();
  if (readsLearnMap_) learnMap().readFile(folder + "Plugin" + "ccmap.bin");
}

void DrumPlugin::writeLearnMap() {
  std::string folder;
  if (!findDataFolder("ZVX", folder)) {
    tell(kNotInstalled, kNotInstalledCaption);
    return;
  }
  learnMap().writeFile(folder + "Plugin" + "ccmap.bin");
}

// Runs while the plug-in is busy. A chunk bank goes through setChunk; a
// regular bank's values and names are written into the program records
// directly, since the setter takes nothing while the plug-in is busy.
void DrumPlugin::loadDefaultBank() {
  std::string folder;
  if (!findDataFolder("ZVX", folder)) return;
  std::vector<unsigned char> file;
  const std::string path = folder + "default.fxb";
  if (std::FILE* probe = platform::openRegularFile(path))
    std::fclose(probe);
  else
    return;
  std::optional<FxbFile::Contents> bank;
  if (readWholeFile(path, file, kMaxDefaultBankSize)) bank = FxbFile::parse(file, kNumPrograms);
  if (!bank || (bank->type != FxbFile::kChunkBank && bank->type != FxbFile::kRegularBank)) {
    tell("Default bank error: not an fxb file", "Preset loader");
    return;
  }
  if (bank->type == FxbFile::kChunkBank) {
    setChunk(bank->chunk.data(), static_cast<VstInt32>(bank->chunk.size()), false);
    return;
  }
  for (std::size_t program = 0; program < bank->programs.size(); ++program) {
    const FxbFile::Program& source = bank->programs[program];
    const int p = static_cast<int>(program);
    bank_.setProgramName(p, source.name.c_str());
    const int count = std::min<int>(static_cast<int>(source.values.size()), kNumParameters);
    for (int i = 0; i < count; ++i) {
      float value = BankImage::finiteValue(i, source.values[static_cast<std::size_t>(i)], bank_.unclamped(i));
      if (!bank_.unclamped(i)) value = std::clamp(value, 0.0f, 1.0f);
      bank_.setProgramValue(p, i, value);
    }
  }
}

void DrumPlugin::setSampleRate(float rate) {
  sampleRate = rate;
  engine_.setChaosSmootherRate(rate);
}

void DrumPlugin::processReplacing(float** /*inputs*/, float** outputs, VstInt32 sampleFrames) {
  if (busy_) return;
  Processing processing(*this);
  engine_.render(outputs, sampleFrames > 0 ? sampleFrames : 0);
  // The host's event block is only valid for this block.
  pendingEvents_ = nullptr;
  nextEvent_ = -1;
}

// ---------------------------------------------------------------------------
// Parameters

void DrumPlugin::setParameter(VstInt32 index, float value) {
  if (busy_) return;
  if (!waiting_.empty() && !onAudioThread()) waiting_.showWaiting();
  engine_.setHostRate(sampleRate);
  if (index >= 0 && index < kNumParameters) {
    if (!bank_.unclamped(index)) {
      if (!(value >= 0.0f)) value = 0.0f;  // NaN too
      if (value > 1.0f) value = 1.0f;
    } else {
      value = std::clamp(BankImage::finiteValue(index, value, true), kUnclampedLowest, kUnclampedHighest);
    }
    if (bank_.inProgram(index))
      bank_.setProgramValue(curProgram, index, value);
    else
      bank_.setRecordValue(index, value);
  }
  const ParamRole role = roleOf(index);
  engine_.applyParameter(index, role, voiceOf(index), value);
  if (role == ParamRole::Menu) choosePcm(voiceOf(index), value);
  if (editor) editor->setParameter(index, value);
}

// The voice switches to the chosen file's layer at once. Off the audio thread
// the file is read from disk first; on it the cached copy plays and the cache
// reads the file again later. A file that cannot be read leaves the voice
// with the layer it had.
//
// Calls on other threads may move the Menu value meanwhile: each caller sets
// the layer of the value it reads back and checks that the value held still,
// so once every caller has returned the voice plays the file the parameter
// names. Every caller passes menuOrder_ between storing and reading, so of two
// callers the later one sees the other's value, or its layer choice lands
// after the other's (the value itself is stored with relaxed order).
void DrumPlugin::choosePcm(int voice, float value) {
  const int file = SampleCache::fileFor(value);
  bool readable;
  if (onAudioThread()) {
    readable = engine_.holdsPcm(file);
    samples_->requestReload(file);
  } else {
    readable = samples_->reload(file);
  }
  const int menu = param::kMenu[voice];
  menuOrder_.fetch_add(1, std::memory_order_acq_rel);
  float chosen = currentValue(menu);
  for (;;) {
    const int wanted = SampleCache::fileFor(chosen);
    if (wanted == file ? readable : engine_.holdsPcm(wanted)) engine_.selectPcm(voice, wanted);
    menuOrder_.fetch_add(1, std::memory_order_acq_rel);
    const float now = currentValue(menu);
    if (std::memcmp(&now, &chosen, sizeof now) == 0) break;
    chosen = now;
  }
}

float DrumPlugin::getParameter(VstInt32 index) {
  if (index < 0 || index >= kNumParameters) return 0.0f;
  return currentValue(index);
}

void DrumPlugin::getParameterLabel(VstInt32 /*index*/, char* label) { label[0] = 0; }

void DrumPlugin::getParameterDisplay(VstInt32 index, char* text) {
  if (index < 0 || index >= kNumParameters) {
    text[0] = 0;
    return;
  }
  // "%.3f" without the host's locale: always a decimal point.
  char buffer[64];
  auto result = std::to_chars(buffer, buffer + sizeof buffer, currentValue(index), std::chars_format::fixed, 3);
  copyText(text, std::string(buffer, result.ptr), BankImage::kNameSize);
}

void DrumPlugin::getParameterName(VstInt32 index, char* text) {
  if (index < 0 || index >= kNumParameters) {
    text[0] = 0;
    return;
  }
  copyText(text, bank_.paramName(index), BankImage::kNameSize);
}

// ---------------------------------------------------------------------------
// Programs

// A call made while this thread applies a program (a host calling back from
// updateDisplay) is ignored, as specified. Calls from two other threads take
// turns; the audio thread never waits for one.
void DrumPlugin::setProgram(VstInt32 program) {
  if (program < 0 || program >= kNumPrograms) return;
  const std::thread::id self = std::this_thread::get_id();
  if (applyingThread_.load() == self) return;
  std::unique_lock<std::mutex> turn(programMutex_, std::defer_lock);
  if (!onAudioThread()) turn.lock();
  curProgram = program;
  setSampleRate(sampleRate);
  applyingThread_.store(self);
  for (int p = 0; p < kNumParameters; ++p) setParameter(p, bank_.currentValue(program, p));
  programApplied();
  std::thread::id applying = self;
  applyingThread_.compare_exchange_strong(applying, std::thread::id());
  // The host may call back in from here: its turn is over.
  if (turn.owns_lock()) turn.unlock();
  if (updateDisplay()) updateDisplay();
}

void DrumPlugin::setProgramName(char* name) { bank_.setProgramName(curProgram, name); }

void DrumPlugin::getProgramName(char* name) { copyText(name, bank_.programName(curProgram), BankImage::kNameSize); }

bool DrumPlugin::getProgramNameIndexed(VstInt32 /*category*/, VstInt32 index, char* text) {
  if (index < 0 || index >= kNumPrograms) return false;
  copyText(text, bank_.programName(index), BankImage::kNameSize);
  return true;
}

bool DrumPlugin::copyProgram(VstInt32 destination) {
  if (destination < 0 || destination >= kNumPrograms) return false;
  bank_.copyProgram(curProgram, destination);
  return true;
}

// The bank image, or the current program record, in the layouts setChunk
// reads. Each kind has its own buffer, valid until the next call of that
// kind: a host saving the bank on one thread and a preset on another gets
// both whole. A chunk is taken before or after a chunk being loaded, never
// in the middle of one.
VstInt32 DrumPlugin::getChunk(void** data, bool isPreset) {
  std::lock_guard<std::recursive_mutex> lock(chunkMutex_);
  if (isPreset) {
    bank_.read(BankImage::programOffset(curProgram), presetChunk_.data(), presetChunk_.size());
    *data = presetChunk_.data();
    return static_cast<VstInt32>(presetChunk_.size());
  }
  bank_.read(0, bankChunk_.data(), bankChunk_.size());
  *data = bankChunk_.data();
  return static_cast<VstInt32>(bankChunk_.size());
}

// A value that is no finite number cannot reach the engine (its filters would
// never recover), but it costs only itself: the rest of the chunk loads.
VstInt32 DrumPlugin::setChunk(void* data, VstInt32 byteSize, bool isPreset) {
  std::unique_lock<std::recursive_mutex> lock(chunkMutex_, std::defer_lock);
  if (!onAudioThread()) lock.lock();  // the audio thread never waits
  if (isPreset) {
    if (byteSize < 0 || static_cast<std::size_t>(byteSize) > BankImage::kProgramRecordSize) {
      tell("Can't load preset, wrong file size!", "Error!");
      return 1;
    }
    bank_.writeProgram(curProgram, data, static_cast<std::size_t>(byteSize));
    engine_.requestRest();
  } else if (byteSize == static_cast<VstInt32>(BankImage::kSize)) {
    bank_.writeBank(data);
    engine_.requestRest();
  } else {
    tell("Can't load bank, wrong file size!", "Error!");
  }
  setProgram(curProgram);
  return 1;
}

// ---------------------------------------------------------------------------
// Fixed answers to the host

bool DrumPlugin::getOutputProperties(VstInt32 index, VstPinProperties* properties) {
  if (index < 0 || index >= Engine::kOutputs) return false;
  properties->flags = index < 2 ? (kVstPinIsActive | kVstPinIsStereo) : kVstPinIsActive;
  copyText(properties->label, kProductName, sizeof properties->label);
  return true;
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
  return -1;
}

}  // namespace zvx
