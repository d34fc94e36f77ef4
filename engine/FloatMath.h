// Our own sin, exp, log and pow, computed with IEEE double operations only, so
// that every platform gets the same bits (the C libraries' versions differ in
// the last place, and the voices' feedback loops amplify that difference).
#pragma once

#include <cmath>
#include <cstdint>
#include <cstring>

namespace zvx::math {

// trunc(x) as a float, through the fast int conversion where it is defined.
inline float truncate(float x) {
  return std::fabs(x) < 2147483648.0f ? static_cast<float>(static_cast<int>(x)) : std::trunc(x);
}

// condition ? a : b without a branch, for conditions on noisy signals that
// a branch predictor would keep getting wrong.
inline float select(bool condition, float a, float b) {
  std::uint32_t ia, ib;
  std::memcpy(&ia, &a, 4);
  std::memcpy(&ib, &b, 4);
  const std::uint32_t mask = 0u - static_cast<std::uint32_t>(condition);
  const std::uint32_t bits = (ia & mask) | (ib & ~mask);
  float result;
  std::memcpy(&result, &bits, 4);
  return result;
}

// trunc(x) as an int, saturated at the int range (0 for NaN).
inline int truncateToInt(float x) {
  if (x > -2147483648.0f && x < 2147483648.0f) return static_cast<int>(x);
  if (x != x) return 0;
  return x < 0 ? -2147483647 - 1 : 2147483647;
}

// exp(x); exact 0 for -infinity and x below the double range, +infinity above it.
double exp(double x);

// Natural logarithm of x > 0; NaN for x < 0 or NaN, -infinity for 0.
double log(double x);

// base^y for base > 0, computed as exp(y * log(base)).
double pow(double base, double y);

namespace detail {

constexpr double kPi = 3.14159265358979323846264338327950288;
constexpr double kTwoPi = 2 * kPi;

constexpr double inverseFactorial(int n) {
  double f = 1.0;
  for (int i = 2; i <= n; ++i) f *= i;
  return 1.0 / f;
}

// Taylor series of sin to r^17 for |r| <= pi/2 (error below 5e-14), evaluated
// in pairs so the dependent chain stays short.
struct SinSeries {
  static constexpr double c0 = -inverseFactorial(3), c1 = inverseFactorial(5), c2 = -inverseFactorial(7),
                          c3 = inverseFactorial(9), c4 = -inverseFactorial(11), c5 = inverseFactorial(13),
                          c6 = -inverseFactorial(15), c7 = inverseFactorial(17);
};

inline double sinSeries(double r) {
  using c = SinSeries;
  const double r2 = r * r;
  const double r4 = r2 * r2;
  const double r8 = r4 * r4;
  const double low = (c::c0 + c::c1 * r2) + r4 * (c::c2 + c::c3 * r2);
  const double high = (c::c4 + c::c5 * r2) + r4 * (c::c6 + c::c7 * r2);
  return r + r * r2 * (low + r8 * high);
}

}  // namespace detail

// sin(x) outside [-pi/2, pi/2], after range reduction.
double sinReduced(double x);

// sin(x) for x in radians, within about 1e-13 for |x| below 1e6.
inline double sin(double x) {
  if (x >= -detail::kPi / 2 && x <= detail::kPi / 2) return detail::sinSeries(x);
  return sinReduced(x);
}

}  // namespace zvx::math
