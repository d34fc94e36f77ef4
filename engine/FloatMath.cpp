#include "engine/FloatMath.h"

#include <cmath>
#include <limits>

namespace zvx::math {
namespace {

// ln 2 split so that k * kLn2Hi is exact for |k| < 2^11 (Cody and Waite).
constexpr double kLn2Hi = 6.93147180369123816490e-01;
constexpr double kLn2Lo = 1.90821492927058770002e-10;
constexpr double kInvLn2 = 1.44269504088896338700e+00;

using detail::inverseFactorial;

// Series coefficients, highest order first.
constexpr auto kExpSeries = [] {
  struct { double c[14]; } t{};
  for (int n = 14; n >= 1; --n) t.c[14 - n] = inverseFactorial(n);
  return t;
}();


int roundToInt(double x) { return static_cast<int>(x < 0 ? x - 0.5 : x + 0.5); }

}  // namespace

double exp(double x) {
  if (x != x) return x;
  if (x > 709.78) return std::numeric_limits<double>::infinity();
  if (x < -745.2) return 0.0;
  // x = k ln2 + r with |r| <= ln2 / 2; exp(r) by its series, then scaled exactly.
  int k = roundToInt(x * kInvLn2);
  double r = (x - k * kLn2Hi) - k * kLn2Lo;
  double sum = kExpSeries.c[0];
  for (int i = 1; i < 14; ++i) sum = sum * r + kExpSeries.c[i];
  sum = sum * r + 1.0;
  return std::ldexp(sum, k);
}

double sinReduced(double x) {
  if (x != x || x == std::numeric_limits<double>::infinity() || x == -std::numeric_limits<double>::infinity())
    return std::numeric_limits<double>::quiet_NaN();
  // Reduce to [-pi, pi], then to [-pi/2, pi/2] by sin(pi - x) = sin(x).
  const double turns = x / detail::kTwoPi;
  double r = x - detail::kTwoPi * static_cast<double>(static_cast<long long>(turns < 0 ? turns - 0.5 : turns + 0.5));
  if (r > detail::kPi / 2) r = detail::kPi - r;
  if (r < -detail::kPi / 2) r = -detail::kPi - r;
  return detail::sinSeries(r);
}

double log(double x) {
  if (x != x || x < 0) return std::numeric_limits<double>::quiet_NaN();
  if (x == 0) return -std::numeric_limits<double>::infinity();
  if (x == std::numeric_limits<double>::infinity()) return x;
  // x = m 2^e with m in [sqrt(1/2), sqrt(2)); log m = 2 atanh((m - 1) / (m + 1)).
  int e = 0;
  double m = std::frexp(x, &e);
  if (m < 0.70710678118654752440) {
    m *= 2.0;
    --e;
  }
  double s = (m - 1.0) / (m + 1.0);
  double s2 = s * s;
  double sum = 0.0;
  for (int n = 41; n >= 3; n -= 2) sum = (sum + 1.0 / n) * s2;
  double logM = 2.0 * s * (1.0 + sum);
  return (e * kLn2Hi + (logM + e * kLn2Lo));
}

double pow(double base, double y) {
  if (y == 0) return 1.0;
  if (base == 0) return y > 0 ? 0.0 : std::numeric_limits<double>::infinity();
  return exp(y * log(base));
}

}  // namespace zvx::math
