// A sample as its recipe describes it: the layers to mix and what happens to
// the mix afterwards. RecipeParser reads it from text, SampleRenderer plays it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/zvx-data/Filter.h"
#include "tools/zvx-data/Layer.h"

namespace zvx::data {

struct Recipe {
  std::string name;
  double length = 0.0;        // seconds
  std::uint32_t seed = 1;     // noise of layer i is seeded from seed and i
  double peak = -1.0;         // dBFS the loudest sample is brought to
  int fadeInSamples = 1;      // ramp over the first samples; 1 zeroes the first only
  double fadeOut = 0.01;      // seconds of fade to exact zero at the end
  double drive = 0.0;         // saturation of the whole mix
  std::vector<Filter::Settings> filters;  // on the whole mix, before the drive
  std::vector<Layer::Settings> layers;
};

}  // namespace zvx::data
