// What the default bank is measured with: grooves, levels, tails and a
// distance between two renderings.
#pragma once

#include <array>
#include <string_view>
#include <vector>

#include "tests/support/TestSupport.h"

namespace zvx::test {

constexpr double kBankRate = 44100.0;

// One note's steps, one character per sixteenth ('|' between bars ignored):
// '.' rest, 'g' velocity 40, 'x' 84, 'X' 110, '!' 127.
struct Lane {
  int note;
  std::string_view steps;
};

struct Groove {
  std::vector<VstMidiEvent> events;  // note-ons, and note-offs half a step later
  int lastNoteOn = 0;                // frame of the last note-on
};

Groove grooveOf(const std::vector<Lane>& lanes, double beatsPerMinute, int velocityOverride = 0);

// Drum and bass at 174 BPM: kick, snare and ghost snares, sixteenth hats,
// pedal and open hats, every hit at velocity 127.
Groove denseGroove();
// A General MIDI drum part at 100 BPM: kick, snare, side stick, hats, toms,
// crashes, ride and bell. Without `unmapped`, only the notes ZVX plays.
Groove generalMidiGroove(bool unmapped);

// The root-mean-square level of `channel` in [from, to), in dB of full scale.
double rmsDb(const Channel& channel, std::size_t from, std::size_t to);

// Seconds after `from` until every channel stays below `threshold`.
double secondsToFallBelow(const std::vector<Channel>& channels, std::size_t from, float threshold);

// Third-octave band levels (50 Hz to 16 kHz) in dB over 2048-sample frames.
using Spectrogram = std::vector<std::vector<float>>;
Spectrogram spectrogramOf(const Channel& channel);

// The RMS band-level difference in dB over cells where either side is above -60 dB.
double logSpectralDistance(const Spectrogram& a, const Spectrogram& b);

double toDb(double amplitude);

}  // namespace zvx::test
