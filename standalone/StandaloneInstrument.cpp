#include "standalone/StandaloneInstrument.h"

#include <jack/midiport.h>

#include <cstring>
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

void StandaloneInstrument::play(void* midi, float* const* outputs, int frames) {
  events_.buffer = midi;
  for (int o = 0; o < Instrument::kOutputs; ++o) std::memset(outputs[o], 0, sizeof(float) * frames);
  instrument_.render(const_cast<float**>(outputs), frames, events_);
  events_.buffer = nullptr;
}

// Any thread: the editor shows it at its next idle.
void StandaloneInstrument::parameterChanged(int index, float value) {
  if (FrameEditor* editor = editor_.load()) editor->setParameter(index, value);
}

int StandaloneInstrument::Events::count() const {
  return buffer ? static_cast<int>(jack_midi_get_event_count(buffer)) : 0;
}

bool StandaloneInstrument::Events::at(int index, MidiEvent& event) const {
  jack_midi_event_t midi{};
  if (!buffer || jack_midi_event_get(&midi, buffer, static_cast<uint32_t>(index)) != 0) return false;
  event.deltaFrames = static_cast<int>(midi.time);
  // System exclusive and other long messages are passed over.
  event.isMidi = midi.size >= 1 && midi.size <= 3;
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
  instrument_.loadChunk(bank->chunk.data(), bank->chunk.size(), false);
  if (bank->currentProgram >= 0 && bank->currentProgram < Instrument::kNumPrograms)
    instrument_.setProgram(bank->currentProgram);
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
