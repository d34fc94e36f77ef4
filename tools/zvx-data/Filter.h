// A two-pole state-variable filter (the trapezoidal form), low-, high- or
// band-pass. The band-pass passes its centre at unity gain, so `q` narrows
// the band without changing the level there.
#pragma once

namespace zvx::data {

class Filter {
 public:
  enum class Type { lowpass, highpass, bandpass };

  struct Settings {
    Type type = Type::lowpass;
    double frequency = 1000.0;  // Hz: the corner, or the centre of the band
    double q = 0.70710678118654752440;
  };

  Filter(const Settings& settings, double sampleRate);

  double process(double input);

 private:
  Type type_;
  double k_;   // 1 / q, the damping
  double a1_;
  double a2_;
  double a3_;
  double state1_ = 0.0;
  double state2_ = 0.0;
};

}  // namespace zvx::data
