// What leaves the engine. Subnormal output, which tiny settings or a long tail
// can reach, is no sound and costs hosts dearly; an infinity or NaN, which
// extreme values of unclamped parameters can reach, would poison the host's
// mix for good. Both leave as 0. Only the written sample changes, never the
// engine's own state.
#pragma once

#include <cstdint>
#include <cstring>

#include "engine/Lanes.h"

namespace zvx {
inline namespace ZVX_LANE_UNIT {

inline float audible(float x) {
  std::uint32_t bits;
  std::memcpy(&bits, &x, sizeof bits);
  // Normal numbers only: an exponent field neither all zeros nor all ones.
  return (bits & 0x7F800000u) - 0x00800000u < 0x7F000000u ? x : 0.0f;
}

inline lanes::F4 audible(lanes::F4 x) {
  const __m128i exponent = _mm_and_si128(_mm_castps_si128(x.v), _mm_set1_epi32(0x7F800000));
  const __m128i zero = _mm_cmpeq_epi32(exponent, _mm_setzero_si128());
  const __m128i full = _mm_cmpeq_epi32(exponent, _mm_set1_epi32(0x7F800000));
  return andNot(x, lanes::F4(_mm_castsi128_ps(_mm_or_si128(zero, full))));
}

}  // namespace ZVX_LANE_UNIT
}  // namespace zvx
