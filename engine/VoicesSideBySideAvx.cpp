// The side-by-side voices compiled for AVX. Only what follows the target
// pragma is AVX code: the headers above it, whose inline functions other
// files share, stay SSE2, and the lanes' own headers, included below it,
// live in a namespace of their own here.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "engine/Engine.h"
#include "engine/FloatMath.h"

#if defined(__GNUC__) && !defined(__clang__)

namespace zvx {

// Before other constructors may have run the processor's probe.
bool Engine::hasAvx() {
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx");
}

}  // namespace zvx

#pragma GCC push_options
#pragma GCC target("avx")
#define ZVX_LANE_UNIT avx
#define ZVX_SIDE_BY_SIDE renderPlainSamplesAvx
#include "engine/SideBySideKernel.inc"
#pragma GCC pop_options

#else

namespace zvx {

// Other compilers build the SSE2 path only.
bool Engine::hasAvx() { return false; }
int Engine::renderPlainSamplesAvx(int n, int frames, float* const* outputs) {
  return renderPlainSamplesSse2(n, frames, outputs);
}

}  // namespace zvx

#endif
