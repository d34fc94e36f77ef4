#include "tools/zvx-data/Filter.h"

#include "engine/FloatMath.h"

namespace zvx::data {
namespace {

constexpr double kPi = 3.14159265358979323846;

}  // namespace

Filter::Filter(const Settings& settings, double sampleRate) : type_(settings.type), k_(1.0 / settings.q) {
  // Corners at or past Nyquist would turn the prewarp below negative.
  double frequency = settings.frequency;
  if (frequency > 0.45 * sampleRate) frequency = 0.45 * sampleRate;
  // tan from our own sin, so the coefficients are the same bits everywhere.
  const double w = kPi * frequency / sampleRate;
  const double g = math::sin(w) / math::sin(kPi / 2 - w);
  a1_ = 1.0 / (1.0 + g * (g + k_));
  a2_ = g * a1_;
  a3_ = g * a2_;
}

double Filter::process(double input) {
  const double v3 = input - state2_;
  const double v1 = a1_ * state1_ + a2_ * v3;
  const double v2 = state2_ + a2_ * state1_ + a3_ * v3;
  state1_ = 2.0 * v1 - state1_;
  state2_ = 2.0 * v2 - state2_;
  switch (type_) {
    case Type::lowpass:
      return v2;
    case Type::highpass:
      return input - k_ * v1 - v2;
    case Type::bandpass:
      return k_ * v1;
  }
  return v2;
}

}  // namespace zvx::data
