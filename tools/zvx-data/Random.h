// The noise of the recipes: a 32-bit xorshift generator. Ours rather than the
// standard library's distributions, whose output is not the same everywhere.
#pragma once

#include <cstdint>

namespace zvx::data {

class Random {
 public:
  explicit Random(std::uint32_t seed) : state_(scramble(seed)) {}

  std::uint32_t nextBits() {
    state_ ^= state_ << 13;
    state_ ^= state_ >> 17;
    state_ ^= state_ << 5;
    return state_;
  }

  // Uniform in [-1, 1); exact, since every 32-bit value fits a double.
  double nextSigned() { return static_cast<double>(nextBits()) / 2147483648.0 - 1.0; }

 private:
  // Neighbouring seeds would start xorshift on nearly equal sequences; a
  // multiply-xorshift mix spreads them. Zero would stick at zero forever.
  static std::uint32_t scramble(std::uint32_t x) {
    x ^= x >> 16;
    x *= 0x7feb352du;
    x ^= x >> 15;
    x *= 0x846ca68bu;
    x ^= x >> 16;
    return x != 0 ? x : 0x9e3779b9u;
  }

  std::uint32_t state_;
};

}  // namespace zvx::data
