#include "instrument/Instrument.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <string>

#include "engine/SampleRate.h"
#include "platform/Messages.h"
#include "platform/Platform.h"
#include "instrument/InstallNotice.h"
#include "instrument/LearnMap.h"
#include "instrument/ParameterTable.h"
#include "storage/DataFolder.h"
#include "storage/FxbFile.h"
#include "storage/WholeFile.h"

namespace zvx {
namespace {

// A default bank is some 50 kB; anything far larger is not one of ours.
constexpr long kMaxDefaultBankSize = 16L << 20;

// Instances alive in this process: the first one reads the learn map file,
// later ones share the live table instead of overwriting it.
std::atomic<int> liveInstances{0};

bool isParameter(int index) { return index >= 0 && index < kNumParameters; }

constexpr int kAllNotesOff = 123;  // the controller that silences every voice

// Copies a terminated text into a host buffer of `capacity` bytes.
void copyText(char* destination, const std::string& text, std::size_t capacity) {
  std::size_t length = std::min(text.size(), capacity - 1);
  std::memcpy(destination, text.data(), length);
  destination[length] = 0;
}

}  // namespace

Instrument::Instrument(InstrumentHost& host, double sampleRate) : host_(host) {
  fillWithDefaults(bank_);

  busy_ = true;
  engine_.initialise(sampleRate);
  samples_->subscribe(engine_);
  loadDefaultBank();
  busy_ = false;
  engine_.finishInitialisation();

  readLearnMap();
}

void Instrument::start() {
  setProgram(0);
  // Every file in memory, so a choice on the audio thread finds it there.
  samples_->readUnread();
}

Instrument::~Instrument() {
  learnHook_ = nullptr;
  writeLearnMap();
  waiting_.showWaiting();
  samples_->unsubscribe(engine_);
  liveInstances.fetch_sub(1);
}

bool Instrument::onAudioThread() {
  if (processingThread_.load(std::memory_order_relaxed) == std::this_thread::get_id()) return true;
  return host_.hostSaysRealtime();
}

void Instrument::tell(std::string_view text, std::string_view caption) {
  if (onAudioThread()) {
    waiting_.keep(text, caption);
    return;
  }
  waiting_.showWaiting();
  platform::showMessage(text, caption);
}

void Instrument::readLearnMap() {
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

int Instrument::learnedController(int parameter) const {
  return isParameter(parameter) ? learnMap().controller(parameter) : InstrumentControl::kUnbound;
}

void Instrument::bindController(int parameter, int controller) {
  if (isParameter(parameter)) learnMap().bind(parameter, controller);
}

void Instrument::forgetController(int parameter) {
  if (isParameter(parameter)) learnMap().forget(parameter);
}

void Instrument::writeLearnMap() {
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
void Instrument::loadDefaultBank() {
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
    loadChunk(bank->chunk.data(), bank->chunk.size(), false);
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

// A rate no audio interface gives (not positive, not finite, beyond 768 kHz)
// is refused: the instrument plays on at the rate it had.
void Instrument::setSampleRate(double rate) { engine_.setSampleRate(rate); }

// An event acts at its own frame, counted from the block's start: the engine
// renders up to it, the event acts, the engine renders on. One whose frame
// has already passed (a host sending events out of order) acts at once; one
// stamped past the block never acts, nor does any after it.
void Instrument::render(float** outputs, int frames, const MidiEventList& events) {
  if (busy_) return;
  Processing processing(*this);
  frames = std::max(frames, 0);
  engine_.beginBlock();
  int done = 0;
  const auto renderTo = [&](int frame) {
    if (frame <= done) return;
    float* part[kOutputs];
    for (int o = 0; o < kOutputs; ++o) part[o] = outputs[o] + done;
    engine_.render(part, frame - done);
    done = frame;
  };
  const int count = events.count();
  for (int i = 0; i < count; ++i) {
    MidiEvent event;
    if (!events.at(i, event)) continue;  // a slot the host left empty
    const int frame = std::max(event.deltaFrames, done);
    if (frame >= frames) break;
    renderTo(frame);
    if (event.isMidi) handleMidiEvent(event);
  }
  renderTo(frames);
}

// What a MIDI message does: notes to the engine, controllers to the learn
// hook and then to the parameters bound to them.
void Instrument::handleMidiEvent(const MidiEvent& event) {
  const int status = static_cast<unsigned char>(event.data[0]) & 0xF0;
  const int data1 = event.data[1] & 0x7F;
  const int data2 = event.data[2] & 0x7F;
  const float value = static_cast<float>(data2) / 127.0f;

  engine_.wakeForEvent();
  if (status == 0x90 && data2 > 0) {
    engine_.noteEvent(data1, data2, true);
    engine_.scaleSnapLevel(data2);
  } else if (status == 0x80 || status == 0x90) {
    if (engine_.holdsNote(data1)) engine_.noteEvent(data1, data2, false);
  } else if (status == 0xB0) {
    handleController(event, data1, value);
  }
}

void Instrument::handleController(const MidiEvent& event, int controller, float value) {
  if (learnHook_) learnHook_->learnController(event.data);
  // Every parameter bound to this controller, in ascending order.
  for (int p = 0; p < kNumParameters; ++p)
    if (learnMap().controller(p) == controller) setParameter(p, value);
  if (controller == kAllNotesOff) engine_.allNotesOff();
  engine_.enableRemap();
}


const MidiEventList& Instrument::noEvents() {
  static const struct : MidiEventList {
    int count() const override { return 0; }
    bool at(int, MidiEvent&) const override { return false; }
  } none;
  return none;
}

// ---------------------------------------------------------------------------
// Parameters

void Instrument::setParameter(int index, float value) {
  if (busy_) return;
  if (!waiting_.empty() && !onAudioThread()) waiting_.showWaiting();
  if (isParameter(index)) {
    if (!bank_.unclamped(index)) {
      if (!(value >= 0.0f)) value = 0.0f;  // NaN too
      if (value > 1.0f) value = 1.0f;
    } else {
      value = std::clamp(BankImage::finiteValue(index, value, true), kUnclampedLowest, kUnclampedHighest);
    }
    if (bank_.inProgram(index))
      bank_.setProgramValue(program_, index, value);
    else
      bank_.setRecordValue(index, value);
  }
  const ParamRole role = roleOf(index);
  engine_.applyParameter(index, role, voiceOf(index), value);
  if (role == ParamRole::Menu) choosePcm(voiceOf(index), value);
  host_.parameterChanged(index, value);
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
void Instrument::choosePcm(int voice, float value) {
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

float Instrument::parameter(int index) const {
  if (!isParameter(index)) return 0.0f;
  return currentValue(index);
}

void Instrument::parameterDisplay(int index, char* text) const {
  if (!isParameter(index)) {
    text[0] = 0;
    return;
  }
  // "%.3f" without the host's locale: always a decimal point.
  char buffer[64];
  auto result = std::to_chars(buffer, buffer + sizeof buffer, currentValue(index), std::chars_format::fixed, 3);
  copyText(text, std::string(buffer, result.ptr), kTextSize);
}

void Instrument::parameterName(int index, char* text) const {
  if (!isParameter(index)) {
    text[0] = 0;
    return;
  }
  copyText(text, bank_.paramName(index), kTextSize);
}

// ---------------------------------------------------------------------------
// Programs

// A call made while this thread applies a program (a host calling back from
// updateDisplay) is ignored. Calls from two other threads take
// turns; the audio thread never waits for one.
void Instrument::setProgram(int program) {
  if (program < 0 || program >= kNumPrograms) return;
  const std::thread::id self = std::this_thread::get_id();
  if (applyingThread_.load() == self) return;
  std::unique_lock<std::mutex> turn(programMutex_, std::defer_lock);
  if (!onAudioThread()) turn.lock();
  program_ = program;
  // A program change takes the chaos glide's time up, as a new rate does.
  setSampleRate(sampleRate());
  applyingThread_.store(self);
  for (int p = 0; p < kNumParameters; ++p) setParameter(p, bank_.currentValue(program, p));
  std::thread::id applying = self;
  applyingThread_.compare_exchange_strong(applying, std::thread::id());
  // The host may call back in from here: its turn is over.
  if (turn.owns_lock()) turn.unlock();
  // Asked again when the host takes the hint: hosts that refresh lazily
  // (a dirty flag read at their next idle) then show the program's name and
  // values as well as its number.
  if (host_.updateDisplay()) host_.updateDisplay();
}

void Instrument::setProgramName(const char* name) { bank_.setProgramName(program_, name); }

void Instrument::programName(int program, char* text) const { copyText(text, bank_.programName(program), kTextSize); }

bool Instrument::copyProgram(int destination) {
  if (destination < 0 || destination >= kNumPrograms) return false;
  bank_.copyProgram(program_, destination);
  return true;
}

// The bank image, or the current program record, in the layouts setChunk
// reads. Each kind has its own buffer, valid until the next call of that
// kind: a host saving the bank on one thread and a preset on another gets
// both whole. A chunk is taken before or after a chunk being loaded, never
// in the middle of one.
std::size_t Instrument::saveChunk(void** data, bool isPreset) {
  std::lock_guard<std::recursive_mutex> lock(chunkMutex_);
  if (isPreset) {
    bank_.read(BankImage::programOffset(program_), presetChunk_.data(), presetChunk_.size());
    *data = presetChunk_.data();
    return presetChunk_.size();
  }
  bank_.read(0, bankChunk_.data(), bankChunk_.size());
  *data = bankChunk_.data();
  return bankChunk_.size();
}

// A value that is no finite number cannot reach the engine (its filters would
// never recover), but it costs only itself: the rest of the chunk loads.
void Instrument::loadChunk(const void* data, std::size_t byteSize, bool isPreset) {
  std::unique_lock<std::recursive_mutex> lock(chunkMutex_, std::defer_lock);
  if (!onAudioThread()) lock.lock();  // the audio thread never waits
  if (isPreset) {
    if (byteSize > BankImage::kProgramRecordSize) {
      tell("Can't load preset, wrong file size!", "Error!");
      return;
    }
    bank_.writeProgram(program_, data, byteSize);
    engine_.requestRest();
  } else if (byteSize == BankImage::kSize) {
    bank_.writeBank(data);
    engine_.requestRest();
  } else {
    tell("Can't load bank, wrong file size!", "Error!");
  }
  setProgram(program_);
}

}  // namespace zvx
