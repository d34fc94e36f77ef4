#include "tools/zvx-data/Oscillator.h"

#include "engine/FloatMath.h"

namespace zvx::data {
namespace {

constexpr double kTwoPi = 6.28318530717958647692;

// Band-limited step correction (polyBLEP) for an edge at phase 0, so the
// hats' squares do not fold their upper harmonics back down as noise.
double stepCorrection(double t, double dt) {
  if (t < dt) {
    t /= dt;
    return t + t - t * t - 1.0;
  }
  if (t > 1.0 - dt) {
    t = (t - 1.0) / dt;
    return t * t + t + t + 1.0;
  }
  return 0.0;
}

}  // namespace

Oscillator::Oscillator(Shape shape, double width) : shape_(shape), width_(shape == Shape::square ? 0.5 : width) {}

double Oscillator::next(double increment) {
  double value = 0.0;
  switch (shape_) {
    case Shape::sine:
      value = math::sin(kTwoPi * phase_);
      break;
    case Shape::triangle: {
      // A quarter cycle ahead, so it rises from zero like the sine.
      double t = phase_ + 0.25;
      if (t >= 1.0) t -= 1.0;
      value = 1.0 - 4.0 * (t < 0.5 ? 0.5 - t : t - 0.5);
      break;
    }
    case Shape::square:
    case Shape::pulse: {
      double fall = phase_ - width_;
      if (fall < 0.0) fall += 1.0;
      value = (phase_ < width_ ? 1.0 : -1.0) + stepCorrection(phase_, increment) - stepCorrection(fall, increment);
      break;
    }
  }
  phase_ += increment;
  while (phase_ >= 1.0) phase_ -= 1.0;
  return value;
}

}  // namespace zvx::data
