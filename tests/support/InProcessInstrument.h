// The instrument core in this process, as a front door drives it: no module,
// no host interface, its outputs rendered in blocks with each block's events.
// For tests of what the instrument and its engine do; what a host sees goes
// through the module (TestSupport.h's renderZvx).
#pragma once

#include "instrument/Instrument.h"
#include "tests/support/TestSupport.h"

namespace zvx::test {

class InProcessInstrument : private InstrumentHost {
 public:
  explicit InProcessInstrument(const Settings& settings = {}, double sampleRate = 44100.0);

  Instrument& instrument() { return instrument_; }
  // `frames` samples of the six outputs in blocks of `blockSize`, the events
  // at their frames counted from this call's first sample.
  std::vector<Channel> render(int frames, int blockSize = 512, const std::vector<VstMidiEvent>& events = {});

 private:
  bool hostSaysRealtime() override { return false; }
  void parameterChanged(int, float) override {}
  bool updateDisplay() override { return false; }

  Instrument instrument_;
};

// A fresh instrument: settings, then `frames` samples with `events`.
inline std::vector<Channel> renderInstrument(const Settings& settings, const std::vector<VstMidiEvent>& events,
                                             int frames, int blockSize = 512) {
  return InProcessInstrument(settings).render(frames, blockSize, events);
}

}  // namespace zvx::test
