// The sample rates ZVX plays at. A rate that is not positive and finite, or
// beyond what any audio interface offers, is a host's fault: taken, it would
// make every frequency, filter and time nonsense (a negative rate drives the
// filters unstable). Every front door refuses such a rate.
#pragma once

namespace zvx {

constexpr double kHighestSampleRate = 768000.0;

// NaN fails both comparisons, an infinity the second.
constexpr bool isUsableSampleRate(double rate) { return rate > 0.0 && rate <= kHighestSampleRate; }

}  // namespace zvx
