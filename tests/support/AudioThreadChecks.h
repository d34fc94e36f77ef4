// The audio thread's conduct since a moment, as the interposing probe
// counted it: for tests that link zvx_audio_probe.
#pragma once

#include <gtest/gtest.h>

#include "vsthost/AudioThreadProbe.h"

namespace zvx::test {

// No allocation (where the probe counts them), file call, lock or sleep on a
// marked thread since `before`.
inline void expectNothingBlockedSince(const vsthost::AudioThreadCounts& before) {
  const vsthost::AudioThreadCounts after = vsthost::audioThreadCounts();
  if (vsthost::countsAllocations()) {
    EXPECT_EQ(after.allocations, before.allocations) << "first: " << vsthost::firstAudioThreadCall();
  }
  EXPECT_EQ(after.fileOpens + after.fileIo, before.fileOpens + before.fileIo);
  EXPECT_EQ(after.locks, before.locks);
  EXPECT_EQ(after.sleeps, before.sleeps);
}

}  // namespace zvx::test
