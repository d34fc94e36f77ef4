// A tone source for the recipes: sine, triangle, square or pulse, at a
// frequency that may change every sample (pitch sweeps). Every shape starts
// at phase zero, so a sine or triangle starts silent.
#pragma once

namespace zvx::data {

class Oscillator {
 public:
  enum class Shape { sine, triangle, square, pulse };

  // `width` is the share of the cycle a pulse spends high (a square is 0.5).
  explicit Oscillator(Shape shape, double width = 0.5);

  // The next sample, then one step of `increment` cycles (frequency / rate).
  double next(double increment);

 private:
  Shape shape_;
  double width_;
  double phase_ = 0.0;
};

}  // namespace zvx::data
