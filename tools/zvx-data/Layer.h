// One layer of a sample: a source (oscillators or noise) shaped by an
// envelope, then its filters in order, then its saturation and level.
// Oscillators follow a pitch sweep: they start at `sweep` times their
// frequency and glide down with the time constant `sweepTime`.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/zvx-data/Envelope.h"
#include "tools/zvx-data/Filter.h"
#include "tools/zvx-data/Oscillator.h"
#include "tools/zvx-data/Random.h"

namespace zvx::data {

class Layer {
 public:
  enum class Source { sine, triangle, square, pulse, noise };

  struct Settings {
    std::string name;
    Source source = Source::sine;
    std::vector<double> frequencies;  // Hz; several oscillators are mixed equally
    double width = 0.5;               // pulse only
    double sweep = 1.0;
    double sweepTime = 0.01;
    double level = 1.0;
    double drive = 0.0;
    Envelope::Settings envelope;
    std::vector<Filter::Settings> filters;
  };

  Layer(const Settings& settings, double sampleRate, std::uint32_t seed);

  // The layer's next sample; the first call gives the sample at time 0.
  double next();

 private:
  double source(double elapsed);

  Settings settings_;
  double sampleRate_;
  Envelope envelope_;
  std::vector<Oscillator> oscillators_;
  std::vector<Filter> filters_;
  Random random_;
  long position_ = 0;
  long onset_ = 0;  // the sample the sources start at
};

}  // namespace zvx::data
