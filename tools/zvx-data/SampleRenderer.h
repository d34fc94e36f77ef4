// Plays a recipe into 16-bit samples at 44100 Hz: the layers mixed, the mix
// filtered and driven, faded in and out, brought to the recipe's peak level
// and rounded. Only IEEE operations and our own exp/sin/pow on the way, so
// a recipe gives the same samples on every platform.
#pragma once

#include <cstdint>
#include <vector>

#include "tools/zvx-data/Recipe.h"

namespace zvx::data {

class SampleRenderer {
 public:
  static constexpr int kSampleRate = 44100;

  static std::vector<std::int16_t> render(const Recipe& recipe);

 private:
  // The layers summed, then the mix filters and drive.
  static std::vector<double> mix(const Recipe& recipe);
};

}  // namespace zvx::data
