#include "plugin/DrumPlugin.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <string>

#include "host/platform/Messages.h"
#include "plugin/ParameterTable.h"
#include "storage/DataFolder.h"
#include "storage/FxbFile.h"

namespace zvx {
namespace {

constexpr const char* kProductName = "ZVX";
constexpr const char* kNotInstalled = "ZVX is not installed correctly";
// A default bank is some 50 kB; anything far larger is not one of ours.
constexpr long kMaxDefaultBankSize = 16L << 20;

// Instances alive in this process: the first one reads the learn map file,
// later ones share the live table instead of overwriting it.
std::atomic<int> liveInstances{0};

// Reads a whole file; false when it cannot be opened or is unreasonably large.
bool readWholeFile(const std::string& path, std::vector<unsigned char>& bytes, long limit) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
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
    : AudioEffectX(audioMaster, kNumPrograms, kNumParameters), engine_(*this), pcmLoader_(engine_) {
  fillWithDefaults(bank_);
  programsAreChunks();

  busy_ = true;
  engine_.initialise();
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
}

DrumPlugin::~DrumPlugin() {
  // The editor goes while the plug-in it looks at is still whole.
  learnHook_ = nullptr;
  delete editor;
  setEditor(nullptr);
  writeLearnMap();
  liveInstances.fetch_sub(1);
}

void DrumPlugin::readLearnMap() {
  readsLearnMap_ = liveInstances.fetch_add(1) == 0;
  std::string folder;
  if (!findDataFolder("ZVX", folder)) {
    platform::showMessage(kNotInstalled, "Error!");
    if (readsLearnMap_) learnMap().forgetAll();
    return;
  }
  if (readsLearnMap_) learnMap().readFile(folder + "Plugin" + "ccmap.bin");
}

void DrumPlugin::writeLearnMap() {
  std::string folder;
  if (!findDataFolder("ZVX", folder)) {
    platform::showMessage(kNotInstalled, "Error!");
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
  if (std::FILE* probe = std::fopen(path.c_str(), "rb"))
    std::fclose(probe);
  else
    return;
  std::optional<FxbFile::Contents> bank;
  if (readWholeFile(path, file, kMaxDefaultBankSize)) bank = FxbFile::parse(file, kNumPrograms);
  if (!bank || (bank->type != FxbFile::kChunkBank && bank->type != FxbFile::kRegularBank)) {
    platform::showMessage("Default bank error: not an fxb file", "Preset loader");
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
      float value = source.values[static_cast<std::size_t>(i)];
      if (!bank_.unclamped(i)) value = std::clamp(value >= 0.0f ? value : 0.0f, 0.0f, 1.0f);
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
  markAudioThread();
  engine_.render(outputs, sampleFrames > 0 ? sampleFrames : 0);
  // The host's event block is only valid for this block.
  pendingEvents_ = nullptr;
  nextEvent_ = -1;
}

// ---------------------------------------------------------------------------
// Parameters

void DrumPlugin::setParameter(VstInt32 index, float value) {
  if (busy_) return;
  engine_.setHostRate(sampleRate);
  if (index >= 0 && index < kNumParameters) {
    if (!bank_.unclamped(index)) {
      if (!(value >= 0.0f)) value = 0.0f;  // NaN too
      if (value > 1.0f) value = 1.0f;
    }
    if (bank_.inProgram(index))
      bank_.setProgramValue(curProgram, index, value);
    else
      bank_.setRecordValue(index, value);
  }
  const ParamRole role = roleOf(index);
  engine_.applyParameter(index, role, voiceOf(index), value);
  if (role == ParamRole::Menu) loadPcm(voiceOf(index), value);
  if (editor) editor->setParameter(index, value);
}

// The audio thread never reads a file: its loads go to the loader thread.
void DrumPlugin::loadPcm(int voice, float value) {
  const int file = PcmLoader::fileFor(value);
  if (onAudioThread())
    pcmLoader_.request(voice, file);
  else
    pcmLoader_.load(voice, file);
}

// The host knows which of its threads is real-time; a host that does not say
// is taken to automate on the thread that last rendered. Hosts that render on
// several threads, or on a new one, make the second guess wrong.
bool DrumPlugin::onAudioThread() {
  const VstIntPtr level = callHost(audioMasterGetCurrentProcessLevel);
  if (level == kVstProcessLevelRealtime) return true;
  if (level == kVstProcessLevelUser) return false;
  return std::this_thread::get_id() == audioThread_.load(std::memory_order_relaxed);
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

void DrumPlugin::setProgram(VstInt32 program) {
  if (applyingProgram_ || program < 0 || program >= kNumPrograms) return;
  curProgram = program;
  setSampleRate(sampleRate);
  applyingProgram_ = true;
  for (int p = 0; p < kNumParameters; ++p) setParameter(p, bank_.currentValue(program, p));
  programApplied();
  applyingProgram_ = false;
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

// The bank image, or the current program record, in the layouts setChunk reads.
VstInt32 DrumPlugin::getChunk(void** data, bool isPreset) {
  if (isPreset) {
    chunk_.resize(BankImage::kProgramRecordSize);
    bank_.read(BankImage::programOffset(curProgram), chunk_.data(), chunk_.size());
  } else {
    chunk_.resize(BankImage::kSize);
    bank_.read(0, chunk_.data(), chunk_.size());
  }
  *data = chunk_.data();
  return static_cast<VstInt32>(chunk_.size());
}

// A chunk holding a value that is no finite number could not have come from
// us and is refused as one of the wrong size is: taken, it would put NaN into
// the engine, whose filters then never recover.
VstInt32 DrumPlugin::setChunk(void* data, VstInt32 byteSize, bool isPreset) {
  if (isPreset) {
    if (byteSize < 0 || !BankImage::wellFormedProgram(data, static_cast<std::size_t>(byteSize))) {
      platform::showMessage("Can't load preset, wrong file size!", "Error!");
      return 1;
    }
    bank_.write(BankImage::programOffset(curProgram), data, static_cast<std::size_t>(byteSize));
  } else if (byteSize >= 0 && BankImage::wellFormedBank(data, static_cast<std::size_t>(byteSize))) {
    bank_.write(0, data, BankImage::kSize);
  } else {
    platform::showMessage("Can't load bank, wrong file size!", "Error!");
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
