// Soft saturation, x / sqrt(1 + (d x)^2), scaled so that full scale stays
// full scale: it rounds the peaks of loud parts and thickens them with odd
// harmonics. A drive of 0 leaves the signal alone. sqrt is exactly rounded
// under IEEE, so the result is the same everywhere.
#pragma once

#include <cmath>

namespace zvx::data {

inline double saturate(double x, double drive) {
  if (drive <= 0.0) return x;
  const double dx = drive * x;
  return x * std::sqrt(1.0 + drive * drive) / std::sqrt(1.0 + dx * dx);
}

}  // namespace zvx::data
