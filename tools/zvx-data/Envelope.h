// The level of a layer over time: silent until `delay`, a linear rise over
// `attack`, flat for `hold`, then an exponential fall that loses 60 dB every
// `decay` seconds. A clap's hand claps come first as `bursts`: at each burst
// time (from the delay on) the level jumps to full and falls 60 dB per
// `burstDecay`; the main attack starts at the last burst.
#pragma once

#include <vector>

namespace zvx::data {

class Envelope {
 public:
  struct Settings {
    double delay = 0.0;
    double attack = 0.0;
    double hold = 0.0;
    double decay = 1.0;
    std::vector<double> bursts;  // ascending, seconds after the delay
    double burstDecay = 0.01;
  };

  explicit Envelope(const Settings& settings) : settings_(settings) {}

  // The level, 0 to 1, at `time` seconds from the start of the sound.
  double at(double time) const;

 private:
  Settings settings_;
};

}  // namespace zvx::data
