#include "standalone/StandaloneInstrument.h"

#include <jack/midiport.h>

#include <algorithm>
#include <cstring>
#include <utility>
#include <vector>

#include "instrument/BankImage.h"
#include "storage/FxbFile.h"
#include "storage/WholeFile.h"

namespace zvx::standalone {
namespace {

// Far more than a bank of ours (some 50 kB); a larger file is not one.
constexpr long kMaxBankFile = 16L << 20;

}  // namespace

const std::vector<std::string>& StandaloneInstrument::outputNames() {
  static const std::vector<std::string> names = {"mix_left", "mix_right", "bd", "sd", "hh", "cp"};
  return names;
}

StandaloneInstrument::StandaloneInstrument() : instrument_(*this) { instrument_.start(); }

StandaloneInstrument::~StandaloneInstrument() { instrument_.setLearnHook(nullptr); }

void StandaloneInstrument::rateChanged(double rate) { instrument_.setSampleRate(rate); }

namespace {

bool isProgramChange(const jack_midi_event_t& event) { return event.size == 2 && (event.buffer[0] & 0xF0) == 0xC0; }

}  // namespace

// Each program change cuts the period: what comes before its frame plays with
// the program it replaces, what comes at or after it with the new one (events
// at its very frame too, whatever their order: a pad sending the change and a
// hit together means the hit in the new program).
void StandaloneInstrument::play(void* midi, float* const* outputs, int frames) {
  for (int o = 0; o < Instrument::kOutputs; ++o) std::memset(outputs[o], 0, sizeof(float) * frames);
  programTurn_.applyPutOff(instrument_);
  const int count = midi ? static_cast<int>(jack_midi_get_event_count(midi)) : 0;
  int from = 0, first = 0;
  for (int i = 0; i < count; ++i) {
    jack_midi_event_t event{};
    if (jack_midi_event_get(&event, midi, static_cast<uint32_t>(i)) != 0 || !isProgramChange(event)) continue;
    const int at = std::clamp(static_cast<int>(event.time), from, frames);
    int end = first;
    for (jack_midi_event_t before{}; end < i; ++end)
      if (jack_midi_event_get(&before, midi, static_cast<uint32_t>(end)) == 0 && static_cast<int>(before.time) >= at)
        break;
    playStretch(midi, first, end, from, at, outputs);
    programTurn_.fromAudioThread(instrument_, event.buffer[1] & 0x7F);
    first = end;
    from = at;
  }
  playStretch(midi, first, count, from, frames, outputs);
}

void StandaloneInstrument::playStretch(void* midi, int first, int end, int from, int to, float* const* outputs) {
  if (to <= from) return;
  events_.buffer = midi;
  events_.first = first;
  events_.end = end;
  events_.offset = from;
  float* stretch[Instrument::kOutputs];
  for (int o = 0; o < Instrument::kOutputs; ++o) stretch[o] = outputs[o] + from;
  instrument_.render(stretch, to - from, events_);
  events_.buffer = nullptr;
}

// Any thread: the editor shows it at its next idle.
void StandaloneInstrument::parameterChanged(int index, float value) {
  if (FrameEditor* editor = editor_.load()) editor->setParameter(index, value);
}

bool StandaloneInstrument::Events::at(int index, MidiEvent& event) const {
  jack_midi_event_t midi{};
  if (!buffer || index < 0 || index >= count() ||
      jack_midi_event_get(&midi, buffer, static_cast<uint32_t>(first + index)) != 0)
    return false;
  event.deltaFrames = static_cast<int>(midi.time) - offset;
  // System exclusive and other long messages are passed over, and so are the
  // program changes, which play() has applied.
  event.isMidi = midi.size >= 1 && midi.size <= 3 && !isProgramChange(midi);
  std::memset(event.data, 0, sizeof event.data);
  if (event.isMidi) std::memcpy(event.data, midi.buffer, midi.size);
  return true;
}

bool StandaloneInstrument::loadBank(const std::string& path, std::string& error) {
  std::vector<unsigned char> bytes;
  if (!readWholeFile(path, bytes, kMaxBankFile)) {
    error = "cannot read " + path + " (missing, not a file, or far larger than a bank)";
    return false;
  }
  const std::optional<FxbFile::Contents> bank = FxbFile::parse(bytes);
  if (!bank || bank->type != FxbFile::kChunkBank || bank->pluginId != Instrument::kUniqueId ||
      bank->chunk.size() != BankImage::kSize) {
    error = path + " is no bank of ZVX";
    return false;
  }
  programTurn_.fromOtherThread([&] {
    instrument_.loadChunk(bank->chunk.data(), bank->chunk.size(), false);
    if (bank->currentProgram >= 0 && bank->currentProgram < Instrument::kNumPrograms)
      instrument_.setProgram(bank->currentProgram);
  });
  return true;
}

bool StandaloneInstrument::saveBank(const std::string& path, std::string& error) {
  void* chunk = nullptr;
  const std::size_t size = instrument_.saveChunk(&chunk, false);
  const std::vector<unsigned char> bytes =
      FxbFile::chunkBank(Instrument::kUniqueId, 1, Instrument::kNumPrograms, instrument_.program(),
                         {static_cast<const unsigned char*>(chunk), size});
  if (!saveWholeFile(path, bytes.data(), bytes.size())) {
    error = "cannot save " + path + "; the file there is left as it was";
    return false;
  }
  return true;
}

}  // namespace zvx::standalone
