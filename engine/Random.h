// The random source: a linear congruential generator, seeded with 1 and never
// reseeded, so the same input always gives the same sound. One per engine, so
// instances do not disturb each other's sequence.
#pragma once

#include <cstdint>

namespace zvx {

class Random {
 public:
  static constexpr int kMax = 32767;

  // Next value in 0 to 32767.
  int next() {
    seed_ = seed_ * 214013u + 2531011u;
    return static_cast<int>((seed_ >> 16) & 32767u);
  }

 private:
  std::uint32_t seed_ = 1;
};

}  // namespace zvx
