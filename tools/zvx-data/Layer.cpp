#include "tools/zvx-data/Layer.h"

#include "engine/FloatMath.h"
#include "tools/zvx-data/Saturation.h"

namespace zvx::data {
namespace {

Oscillator::Shape shapeOf(Layer::Source source) {
  switch (source) {
    case Layer::Source::triangle:
      return Oscillator::Shape::triangle;
    case Layer::Source::square:
      return Oscillator::Shape::square;
    case Layer::Source::pulse:
      return Oscillator::Shape::pulse;
    default:
      return Oscillator::Shape::sine;
  }
}

}  // namespace

Layer::Layer(const Settings& settings, double sampleRate, std::uint32_t seed)
    : settings_(settings), sampleRate_(sampleRate), envelope_(settings.envelope), random_(seed) {
  if (settings.source != Source::noise)
    for (std::size_t i = 0; i < settings.frequencies.size(); ++i)
      oscillators_.emplace_back(shapeOf(settings.source), settings.width);
  for (const Filter::Settings& filter : settings.filters) filters_.emplace_back(filter, sampleRate);
  // Oscillators start where the layer is first heard, so a delayed sine still
  // starts at zero; a burst envelope's pre-hits count as heard.
  const double start = settings.envelope.delay + (settings.envelope.bursts.empty() ? 0.0 : settings.envelope.bursts.front());
  onset_ = static_cast<long>(start * sampleRate + 0.5);
}

double Layer::source(double elapsed) {
  if (settings_.source == Source::noise) return random_.nextSigned();
  if (oscillators_.empty()) return 0.0;
  double glide = 1.0;
  if (settings_.sweep != 1.0) glide += (settings_.sweep - 1.0) * math::exp(-elapsed / settings_.sweepTime);
  double sum = 0.0;
  for (std::size_t i = 0; i < oscillators_.size(); ++i)
    sum += oscillators_[i].next(settings_.frequencies[i] * glide / sampleRate_);
  return sum / static_cast<double>(oscillators_.size());
}

double Layer::next() {
  const long position = position_++;
  if (position < onset_) return 0.0;
  const double time = static_cast<double>(position) / sampleRate_;
  const double elapsed = static_cast<double>(position - onset_) / sampleRate_;
  double value = source(elapsed) * envelope_.at(time);
  for (Filter& filter : filters_) value = filter.process(value);
  return saturate(value, settings_.drive) * settings_.level;
}

}  // namespace zvx::data
