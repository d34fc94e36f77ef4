#include "tools/zvx-data/Envelope.h"

#include "engine/FloatMath.h"

namespace zvx::data {
namespace {

// ln(1000): the exponent that takes a level down by 60 dB.
constexpr double kSixtyDecibels = 6.90775527898213705205;

double fall(double elapsed, double sixtyDecibelTime) { return math::exp(-kSixtyDecibels * elapsed / sixtyDecibelTime); }

}  // namespace

double Envelope::at(double time) const {
  double t = time - settings_.delay;
  if (t < 0.0) return 0.0;
  const auto& bursts = settings_.bursts;
  if (!bursts.empty() && t < bursts.back()) {
    if (t < bursts.front()) return 0.0;
    double onset = bursts.front();
    for (double burst : bursts)
      if (burst <= t) onset = burst;
    return fall(t - onset, settings_.burstDecay);
  }
  if (!bursts.empty()) t -= bursts.back();
  if (t < settings_.attack) return t / settings_.attack;
  t -= settings_.attack;
  if (t < settings_.hold) return 1.0;
  return fall(t - settings_.hold, settings_.decay);
}

}  // namespace zvx::data
