#include "tools/zvx-data/SampleRenderer.h"

#include <cmath>

#include "engine/FloatMath.h"
#include "tools/zvx-data/Filter.h"
#include "tools/zvx-data/Layer.h"
#include "tools/zvx-data/Saturation.h"

namespace zvx::data {

std::vector<double> SampleRenderer::mix(const Recipe& recipe) {
  const auto count = static_cast<std::size_t>(recipe.length * kSampleRate + 0.5);
  std::vector<double> samples(count, 0.0);
  for (std::size_t i = 0; i < recipe.layers.size(); ++i) {
    // Each layer its own noise, so editing one layer leaves the others' alone.
    Layer layer(recipe.layers[i], kSampleRate, recipe.seed * 0x9e3779b9u + static_cast<std::uint32_t>(i));
    for (double& sample : samples) sample += layer.next();
  }
  std::vector<Filter> filters;
  for (const Filter::Settings& settings : recipe.filters) filters.emplace_back(settings, kSampleRate);
  for (double& sample : samples) {
    for (Filter& filter : filters) sample = filter.process(sample);
    sample = saturate(sample, recipe.drive);
  }
  return samples;
}

std::vector<std::int16_t> SampleRenderer::render(const Recipe& recipe) {
  std::vector<double> samples = mix(recipe);
  const std::size_t count = samples.size();

  // A ramp of a sample or two takes off a step at the start without blunting
  // the attack; the first sample is always zero.
  const auto fadeIn = static_cast<std::size_t>(recipe.fadeInSamples);
  for (std::size_t i = 0; i < fadeIn && i < count; ++i) samples[i] *= static_cast<double>(i) / static_cast<double>(fadeIn);

  // A squared ramp down to exact zero on the last sample.
  const auto fadeOut = static_cast<std::size_t>(recipe.fadeOut * kSampleRate + 0.5);
  for (std::size_t i = 0; i < fadeOut && i < count; ++i) {
    const double t = static_cast<double>(i) / static_cast<double>(fadeOut);
    samples[count - 1 - i] *= t * t;
  }

  double loudest = 0.0;
  for (double sample : samples) loudest = std::fmax(loudest, std::fabs(sample));
  const double gain = loudest > 0.0 ? 32767.0 * math::pow(10.0, recipe.peak / 20.0) / loudest : 0.0;

  std::vector<std::int16_t> result(count);
  for (std::size_t i = 0; i < count; ++i) {
    const double scaled = samples[i] * gain;
    // Half away from zero, so the rounding is symmetric around silence.
    const double rounded = scaled < 0.0 ? -std::floor(-scaled + 0.5) : std::floor(scaled + 0.5);
    result[i] = static_cast<std::int16_t>(std::fmax(-32767.0, std::fmin(32767.0, rounded)));
  }
  return result;
}

}  // namespace zvx::data
