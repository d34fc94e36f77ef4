#include "tests/support/InProcessInstrument.h"

namespace zvx::test {
namespace {

// A block's events, read in place from the caller's list.
class BlockEvents : public MidiEventList {
 public:
  explicit BlockEvents(const std::vector<VstMidiEvent>& events) : events_(events) {}
  int count() const override { return static_cast<int>(events_.size()); }
  bool at(int index, MidiEvent& event) const override {
    const VstMidiEvent& midi = events_[static_cast<std::size_t>(index)];
    event.deltaFrames = midi.deltaFrames;
    event.isMidi = true;
    std::memcpy(event.data, midi.midiData, sizeof event.data);
    return true;
  }

 private:
  const std::vector<VstMidiEvent>& events_;
};

}  // namespace

InProcessInstrument::InProcessInstrument(const Settings& settings, double sampleRate)
    : instrument_(*this, sampleRate) {
  instrument_.start();
  instrument_.setSampleRate(sampleRate);
  for (const auto& [index, value] : settings) instrument_.setParameter(index, value);
}

std::vector<Channel> InProcessInstrument::render(int frames, int blockSize, const std::vector<VstMidiEvent>& events) {
  std::vector<Channel> out(Instrument::kOutputs, Channel(static_cast<std::size_t>(frames)));
  std::vector<VstMidiEvent> sorted = events;
  std::stable_sort(sorted.begin(), sorted.end(),
                   [](const VstMidiEvent& a, const VstMidiEvent& b) { return a.deltaFrames < b.deltaFrames; });
  std::size_t next = 0;
  for (int start = 0; start < frames; start += blockSize) {
    const int length = std::min(blockSize, frames - start);
    std::vector<VstMidiEvent> block;
    for (; next < sorted.size() && sorted[next].deltaFrames < start + length; ++next) {
      block.push_back(sorted[next]);
      block.back().deltaFrames -= start;
    }
    float* outputs[Instrument::kOutputs];
    for (int o = 0; o < Instrument::kOutputs; ++o) outputs[o] = out[static_cast<std::size_t>(o)].data() + start;
    instrument_.render(outputs, length, BlockEvents(block));
  }
  return out;
}

}  // namespace zvx::test
