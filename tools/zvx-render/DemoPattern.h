// The groove zvx-render plays when it is given no MIDI file: four bars of
// drums at 120 BPM and a closing hit, kept as a Standard MIDI File image so it
// plays through the same reader as any song and can be saved for a sequencer.
#pragma once

#include <cstdint>
#include <vector>

namespace zvx::render {

class DemoPattern {
 public:
  static constexpr int kTicksPerQuarter = 480;
  static constexpr int kBeatsPerMinute = 120;
  static constexpr int kBars = 4;

  // A format 0 file on MIDI channel 10.
  static std::vector<std::uint8_t> midiFile();
};

}  // namespace zvx::render
