// Reads a sample recipe. The format, one setting a line:
//
//   # a comment, to the end of the line (anywhere)
//   length = 0.5              mix settings come first
//   [layer body]              then one section per layer, named for reading
//   source = sine
//
// Numbers are plain decimals (no exponents), times are in seconds,
// frequencies in Hz. Every key may appear once per section except `filter`,
// which may repeat; filters apply in the order written.
//
// Mix settings:
//   length = S             required; at most 2.2 s
//   seed = N               0 to 4294967295 (default 1)
//   peak = DB              level of the loudest sample, -24 to 0 dBFS (default -1)
//   fade_in_samples = N    0 to 64 samples of ramp at the start (default 1:
//                          the first sample is zero and the attack stays sharp)
//   fade_out = S           fade to exact zero over the last S seconds (default 0.01)
//   drive = D              saturation of the mix, 0 (clean) to 20 (default 0)
//   filter = TYPE HZ [Q]   lowpass, highpass or bandpass on the mix (Q default 0.707)
//
// Layer settings:
//   source = KIND          sine, triangle, square, pulse or noise; required
//   frequency = HZ [HZ..]  required for the tones: one oscillator per value
//   width = W              pulse only: high share of the cycle, 0.01 to 0.99
//   sweep = R              the tones start at R times their frequency (default 1)
//   sweep_time = S         time constant of the glide down (default 0.01)
//   level = G              linear gain of the layer (default 1)
//   drive = D              saturation of the layer, as for the mix
//   delay = S              silence before the layer starts (default 0)
//   bursts = S [S..]       onsets of short hits before the main attack, from
//                          the delay on, ascending; the last one starts it
//   burst_decay = S        60 dB fall time of each burst (default 0.01)
//   attack = S             linear rise from silence (default 0)
//   hold = S               then time at full level (default 0)
//   decay = S              60 dB fall time after the hold (default 1)
//   filter = TYPE HZ [Q]   as for the mix, after the envelope
#pragma once

#include <string>
#include <string_view>

#include "tools/zvx-data/Recipe.h"

namespace zvx::data {

class RecipeParser {
 public:
  // Longest sound a recipe may ask for; keeps every sample under the
  // plug-in's 98000-sample buffer at 44100 Hz.
  static constexpr double kMaxLength = 2.2;

  // `source` names the text in error messages (a file name). Throws RecipeError.
  static Recipe parse(std::string_view text, const std::string& name, const std::string& source);
};

}  // namespace zvx::data
