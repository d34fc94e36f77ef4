// Our own sin, exp, log and pow, computed with IEEE double operations only, so
// that every platform gets the same bits (the C libraries' versions differ in
// the last place, and the voices' feedback loops amplify that difference).
#pragma once

#include <cmath>

namespace zvx::math {

// trunc(x) as a float, through the fast int conversion where it is defined.
inline float truncate(float x) {
  return (x > -2147483648.0f && x < 2147483648.0f) ? static_cast<float>(static_cast<int>(x)) : std::trunc(x);
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

// sin(x) for x in radians; accurate to about one double ulp for |x| below 1e6.
double sin(double x);

}  // namespace zvx::math
