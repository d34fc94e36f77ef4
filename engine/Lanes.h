// Four single-precision lanes, one per voice, on SSE2 (the x86-64 baseline,
// all a Windows build may assume). Every operation is the IEEE operation the
// one-voice code performs, lane by lane, so a lane gives the bits a voice
// would; nothing here contracts, reorders or approximates.
#pragma once

#include <emmintrin.h>
#include <smmintrin.h>

#include <cstdint>

#include "engine/FloatMath.h"

// The file that compiles for AVX includes the lanes' headers under its target
// pragma, with ZVX_LANE_UNIT defined as avx: their inline functions there are
// other functions, in a namespace of their own, never shared with the SSE2
// code; and the operations SSE4.1 brings are used.
#ifndef ZVX_LANE_UNIT
#define ZVX_LANE_UNIT sse2
#else
#define ZVX_LANES_SSE41
#endif

namespace zvx {
inline namespace ZVX_LANE_UNIT {
namespace lanes {

// Four floats; a comparison gives a mask (all ones or all zeros per lane).
struct F4 {
  __m128 v;

  F4() : v(_mm_setzero_ps()) {}
  explicit F4(__m128 value) : v(value) {}
  explicit F4(float all) : v(_mm_set1_ps(all)) {}
  F4(float lane0, float lane1, float lane2, float lane3) : v(_mm_setr_ps(lane0, lane1, lane2, lane3)) {}

  static F4 load(const float* from) { return F4(_mm_load_ps(from)); }
  void store(float* to) const { _mm_store_ps(to, v); }
  float lane0() const { return _mm_cvtss_f32(v); }
};

inline F4 operator+(F4 a, F4 b) { return F4(_mm_add_ps(a.v, b.v)); }
inline F4 operator-(F4 a, F4 b) { return F4(_mm_sub_ps(a.v, b.v)); }
inline F4 operator*(F4 a, F4 b) { return F4(_mm_mul_ps(a.v, b.v)); }
inline F4 operator&(F4 a, F4 b) { return F4(_mm_and_ps(a.v, b.v)); }
inline F4 operator|(F4 a, F4 b) { return F4(_mm_or_ps(a.v, b.v)); }
inline F4 operator==(F4 a, F4 b) { return F4(_mm_cmpeq_ps(a.v, b.v)); }
inline F4 operator<(F4 a, F4 b) { return F4(_mm_cmplt_ps(a.v, b.v)); }
inline F4 operator<=(F4 a, F4 b) { return F4(_mm_cmple_ps(a.v, b.v)); }
inline F4 operator>(F4 a, F4 b) { return F4(_mm_cmpgt_ps(a.v, b.v)); }
inline F4 operator>=(F4 a, F4 b) { return F4(_mm_cmpge_ps(a.v, b.v)); }
inline F4 allLanes() { return F4(_mm_castsi128_ps(_mm_set1_epi32(-1))); }
inline F4 operator~(F4 mask) { return F4(_mm_xor_ps(mask.v, allLanes().v)); }
// a and not b.
inline F4 andNot(F4 a, F4 b) { return F4(_mm_andnot_ps(b.v, a.v)); }
// mask ? a : b, lane by lane.
inline F4 select(F4 mask, F4 a, F4 b) {
#ifdef ZVX_LANES_SSE41
  return F4(_mm_blendv_ps(b.v, a.v, mask.v));
#else
  return F4(_mm_or_ps(_mm_and_ps(mask.v, a.v), _mm_andnot_ps(mask.v, b.v)));
#endif
}
inline F4 sqrt(F4 a) { return F4(_mm_sqrt_ps(a.v)); }
// The sign cleared, as fabs does.
inline F4 abs(F4 a) { return F4(_mm_and_ps(a.v, _mm_castsi128_ps(_mm_set1_epi32(0x7FFFFFFF)))); }
// One bit per lane: whether its mask is set.
inline int bits(F4 mask) { return _mm_movemask_ps(mask.v); }
// Whether every lane holds the same bits in both.
inline bool sameBits(F4 a, F4 b) {
  return _mm_movemask_epi8(_mm_cmpeq_epi8(_mm_castps_si128(a.v), _mm_castps_si128(b.v))) == 0xFFFF;
}
// Lane i in every lane.
template <int i>
inline F4 broadcast(F4 a) {
  return F4(_mm_shuffle_ps(a.v, a.v, _MM_SHUFFLE(i, i, i, i)));
}
// Lane i as a float.
template <int i>
inline float lane(F4 a) {
  return _mm_cvtss_f32(_mm_shuffle_ps(a.v, a.v, _MM_SHUFFLE(i, i, i, i)));
}

// Four 32-bit integers.
struct I4 {
  __m128i v;

  I4() : v(_mm_setzero_si128()) {}
  explicit I4(__m128i value) : v(value) {}
  explicit I4(int all) : v(_mm_set1_epi32(all)) {}

  static I4 load(const std::int32_t* from) { return I4(_mm_load_si128(reinterpret_cast<const __m128i*>(from))); }
  void store(std::int32_t* to) const { _mm_store_si128(reinterpret_cast<__m128i*>(to), v); }
};

inline I4 operator+(I4 a, I4 b) { return I4(_mm_add_epi32(a.v, b.v)); }
inline F4 operator==(I4 a, I4 b) { return F4(_mm_castsi128_ps(_mm_cmpeq_epi32(a.v, b.v))); }
inline F4 operator>(I4 a, I4 b) { return F4(_mm_castsi128_ps(_mm_cmpgt_epi32(a.v, b.v))); }
inline I4 select(F4 mask, I4 a, I4 b) {
  const __m128i m = _mm_castps_si128(mask.v);
  return I4(_mm_or_si128(_mm_and_si128(m, a.v), _mm_andnot_si128(m, b.v)));
}
// The integer's value as a float, exactly as a conversion of one int rounds it.
inline F4 toFloat(I4 a) { return F4(_mm_cvtepi32_ps(a.v)); }
// Truncated toward zero; lanes outside the int range (and NaN) give INT_MIN.
inline I4 truncateToInt(F4 a) { return I4(_mm_cvttps_epi32(a.v)); }

// math::truncate lane by lane: through the int conversion below 2^31 in
// magnitude, where it is exact; at and above, the value is whole already
// (or infinite or NaN) and stays as it is.
inline F4 truncate(F4 a) {
#ifdef ZVX_LANES_SSE41
  // Rounding toward zero is the same value; where the int conversion would
  // give +0 for a negative fraction, it gives -0, which only the sign of a
  // zero difference could tell, and x - trunc(x + 0.5) is never such a one.
  return F4(_mm_round_ps(a.v, _MM_FROUND_TO_ZERO | _MM_FROUND_NO_EXC));
#else
  // The int conversion gives INT_MIN for the lanes beyond its range (and
  // NaN), which keep their value; a lane at exactly -2^31 gives the same either way.
  const I4 whole = truncateToInt(a);
  const F4 converted = toFloat(whole);
  if (bits(whole == I4(-2147483647 - 1)) == 0) return converted;
  return select(abs(a) < F4(2147483648.0f), converted, a);
#endif
}

// math::sin, with the two halves of its series side by side in doubles.
inline double sin(double x) {
  using math::detail::kPi;
  using c = math::detail::SinSeries;
  if (!(x >= -kPi / 2 && x <= kPi / 2)) return math::sinReduced(x);
  const double r2 = x * x;
  const double r4 = r2 * r2;
  const double r8 = r4 * r4;
  const __m128d squares = _mm_set1_pd(r2);
  const __m128d near = _mm_add_pd(_mm_setr_pd(c::c0, c::c4), _mm_mul_pd(_mm_setr_pd(c::c1, c::c5), squares));
  const __m128d far = _mm_add_pd(_mm_setr_pd(c::c2, c::c6), _mm_mul_pd(_mm_setr_pd(c::c3, c::c7), squares));
  const __m128d halves = _mm_add_pd(near, _mm_mul_pd(_mm_set1_pd(r4), far));  // low, high
  const double low = _mm_cvtsd_f64(halves), high = _mm_cvtsd_f64(_mm_unpackhi_pd(halves, halves));
  return x + x * r2 * (low + r8 * high);
}

}  // namespace lanes
}  // namespace ZVX_LANE_UNIT
}  // namespace zvx
