// The facts the building blocks promise, checked on the blocks themselves.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "engine/DrumEnvelope.h"
#include "engine/Lfo.h"
#include "engine/NoteFrequencies.h"
#include "engine/NoteTable.h"
#include "engine/OnePoleFilter.h"
#include "engine/Random.h"
#include "engine/ToneOscillator.h"

namespace zvx {
namespace {

TEST(RandomTest, FollowsTheLinearCongruentialSequenceFromSeedOne) {
  Random random;
  EXPECT_EQ(random.next(), 41);
  EXPECT_EQ(random.next(), 18467);
  EXPECT_EQ(random.next(), 6334);
  for (int i = 0; i < 1000; ++i) {
    const int value = random.next();
    ASSERT_TRUE(value >= 0 && value <= 32767) << value;
  }
}

TEST(ToneOscillatorTest, StepOfOneHundredthGivesAHundredSamplePeriodPeakingAtAQuarter) {
  ToneOscillator oscillator;
  oscillator.setSampleRate(100.0f);
  oscillator.setFrequency(1.0f);  // step = 1 x 1 x 1 x 1/100
  std::vector<float> out;
  for (int i = 0; i < 300; ++i) out.push_back(oscillator.tick());
  // Sample i has phase (i + 1) / 100: a quarter period is sample 24.
  EXPECT_NEAR(out[24], 1.0f, 2e-4f);
  EXPECT_NEAR(out[74], -1.0f, 2e-4f);
  for (float v : out) ASSERT_LE(std::fabs(v), 1.0f + 2e-4f);
  for (int i = 0; i < 200; ++i) EXPECT_NEAR(out[i], out[i + 100], 1e-4f) << i;
  EXPECT_NEAR(out[49], 0.0f, 1e-4f);
}

TEST(ToneOscillatorTest, WrapRemovesTheNearestWholeNumberOnlyAboveMinusHalf) {
  EXPECT_FLOAT_EQ(ToneOscillator::wrap(0.7f), 0.7f - 1.0f);
  EXPECT_FLOAT_EQ(ToneOscillator::wrap(-0.3f), -0.3f);
  EXPECT_FLOAT_EQ(ToneOscillator::wrap(-0.7f), -0.7f);  // trunc(-0.2) is 0
  EXPECT_FLOAT_EQ(ToneOscillator::wrap(2.25f), 0.25f);
}

// An envelope with an instant attack and this sustain level, triggered at full velocity.
DrumEnvelope triggered(float sustain, float decay) {
  DrumEnvelope envelope;
  envelope.setAttack(0.0f);
  envelope.setSustain(sustain);
  envelope.setDecay(decay);
  envelope.trigger(127);
  return envelope;
}

TEST(DrumEnvelopeTest, PeakFollowsVelocityAndSensitivity) {
  // Sensitivity 1.0 is 0.999; attack time 0 reaches the peak at once.
  for (const auto& [velocity, peak] : {std::pair{127, 1.0f}, {0, 0.001f}}) {
    DrumEnvelope envelope;
    envelope.setVelocitySensitivity(1.0f);
    envelope.setAttack(0.0f);
    envelope.trigger(velocity);
    EXPECT_NEAR(envelope.tick(), peak, 1e-7f) << velocity;
    EXPECT_EQ(envelope.state(), DrumEnvelope::Decay) << velocity;
  }
}

TEST(DrumEnvelopeTest, DecayWithSustainZeroEndsInSustainAndWaitsForNoteOff) {
  DrumEnvelope envelope = triggered(0.0f, 0.01f);  // decay 5 x 44100 x 0.01 = 2205 samples
  envelope.setRelease(0.1f);
  int samples = 0;
  float previous = 2.0f;
  while (envelope.state() != DrumEnvelope::Sustain && samples < 10000) {
    float level = envelope.tick();
    EXPECT_LE(level, previous);
    previous = level;
    ++samples;
  }
  // One attack sample, then the square-root curve on its 24-sample grid: it
  // meets the sustain level (within 0.001) on the grid point nearest the end.
  EXPECT_GT(samples, 1 + 2205 - 24);
  EXPECT_LT(samples, 1 + 2205 + 24);
  EXPECT_EQ(envelope.level(), 0.0f);
  for (int i = 0; i < 1000; ++i) envelope.tick();
  EXPECT_EQ(envelope.state(), DrumEnvelope::Sustain);
  envelope.noteOff();
  EXPECT_EQ(envelope.state(), DrumEnvelope::Idle);  // level 0: straight to idle
}

TEST(DrumEnvelopeTest, DecayHoldsEachPointForTwentyFourSamples) {
  DrumEnvelope envelope = triggered(0.0f, 0.1f);
  envelope.tick();  // peak
  std::vector<float> decay;
  for (int i = 0; i < 72; ++i) decay.push_back(envelope.tick());
  for (int i = 1; i < 24; ++i) EXPECT_EQ(decay[i], decay[0]);
  EXPECT_LT(decay[24], decay[23]);
  for (int i = 25; i < 48; ++i) EXPECT_EQ(decay[i], decay[24]);
}

TEST(DrumEnvelopeTest, SlowAttackRetriggerFadesOutFirst) {
  DrumEnvelope envelope;
  envelope.setAttack(0.1f);  // 0.1 s: rate far below 0.1 per sample
  envelope.setSustain(0.5f);
  envelope.trigger(127);
  for (int i = 0; i < 3000; ++i) envelope.tick();
  const float level = envelope.level();
  ASSERT_GT(level, 0.1f);
  envelope.trigger(127);
  EXPECT_EQ(envelope.state(), DrumEnvelope::FadeOut);
  float fading = envelope.tick();
  EXPECT_NEAR(fading, level - 0.01f, 1e-6f);
  int steps = 1;
  while (envelope.state() == DrumEnvelope::FadeOut) {
    envelope.tick();
    ++steps;
  }
  EXPECT_EQ(envelope.level(), 0.0f);
  EXPECT_EQ(envelope.state(), DrumEnvelope::Attack);
  EXPECT_NEAR(steps, static_cast<int>(level / 0.01f), 1);
}

TEST(DrumEnvelopeTest, ReleaseEndsIdleAndNoteOffOnSilenceIsImmediate) {
  DrumEnvelope envelope;
  envelope.noteOff();
  EXPECT_EQ(envelope.state(), DrumEnvelope::Idle);
  envelope.setAttack(0.0f);
  envelope.setSustain(0.5f);
  envelope.setRelease(0.01f);  // 14 x 0.0001 = 1.4 ms
  envelope.trigger(127);
  for (int i = 0; i < 10; ++i) envelope.tick();
  envelope.noteOff();
  EXPECT_EQ(envelope.state(), DrumEnvelope::Release);
  int samples = 0;
  while (!envelope.idle() && samples < 1000) {
    envelope.tick();
    ++samples;
  }
  EXPECT_EQ(envelope.level(), 0.0f);
  EXPECT_NEAR(samples, 0.0014 * 44100 * 0.5, 2);  // from the sustain level 0.5
}

TEST(OnePoleFilterTest, LowPassSettlesAndHighPassFlushesDenormals) {
  OnePoleFilter filter;
  filter.setSampleRate(44100.0f);
  filter.setCutoff(1000.0f);
  float y = 0.0f;
  for (int i = 0; i < 2000; ++i) y = filter.lowPass(1.0f);
  EXPECT_NEAR(y, 1.0f, 1e-4f);

  OnePoleFilter dc;
  dc.setSampleRate(44100.0f);
  dc.setCutoff(15.0f);
  EXPECT_FLOAT_EQ(dc.highPass(1.0f), 1.0f);  // state before the update is 0
  float out = 1.0f;
  for (int i = 0; i < 44100; ++i) out = dc.highPass(1.0f);
  EXPECT_LT(std::fabs(out), 0.01f);  // a constant is blocked
  for (int i = 0; i < 200000; ++i) dc.highPass(0.0f);
  EXPECT_EQ(dc.state(), 0.0f);  // decayed through the denormal range to exactly 0
}

// In single precision the phase reaches 2 one sample late on the 4-unit cycle.
TEST(LfoTest, SampleAndHoldAt45HzJumpsEvery981SamplesFirstAt736) {
  Lfo lfo;
  lfo.setSampleRate(44100.0f);
  lfo.setWaveform(Lfo::SampleAndHold);
  lfo.setFrequency(45.0f);
  Random random;
  std::vector<int> jumps;
  float previousPhase = lfo.phase();
  for (int sample = 1; sample <= 5000; ++sample) {
    lfo.tick(random);
    if (lfo.phase() < previousPhase) jumps.push_back(sample);
    previousPhase = lfo.phase();
  }
  ASSERT_GE(jumps.size(), 4u);
  EXPECT_EQ(jumps[0], 736);
  for (std::size_t i = 1; i < jumps.size(); ++i) EXPECT_EQ(jumps[i] - jumps[i - 1], 981);
  // It holds the random value drawn at its last jump.
  Random reference;
  float held = 0.0f;
  for (std::size_t i = 0; i < jumps.size(); ++i) held = static_cast<float>(reference.next()) / 32767.0f * 2.0f - 1.0f;
  EXPECT_FLOAT_EQ(lfo.output(), held);
}

TEST(LfoTest, RoundedTriangleTurnsOneStepShortOfOne) {
  Lfo lfo;
  lfo.setSampleRate(44100.0f);
  lfo.setWaveform(Lfo::RoundedTriangle);
  lfo.setFrequency(3.0f);
  Random random;
  float highest = -2.0f;
  float lowest = 2.0f;
  for (int i = 0; i < 44100; ++i) {
    float out = lfo.tick(random);
    highest = std::max(highest, out);
    lowest = std::min(lowest, out);
    ASSERT_LT(lfo.phase(), 1.0f);
    ASSERT_GT(lfo.phase(), -1.0f);
  }
  EXPECT_NEAR(highest, std::sin(1.0), 0.001);
  EXPECT_NEAR(lowest, -std::sin(1.0), 0.001);
}

TEST(NoteFrequenciesTest, EqualTemperamentWithA440AndContinuedPastTheTable) {
  const NoteFrequencies& f = NoteFrequencies::instance();
  EXPECT_NEAR(f[69], 440.0f, 0.001f);
  EXPECT_NEAR(f[81], 880.0f, 0.002f);
  EXPECT_NEAR(f[150] / f[138], 2.0f, 1e-5f);
  EXPECT_GT(f[190], f[189]);
}

class NoteTableTest : public ::testing::Test {
 protected:
  DrumEnvelope envelopes[11];
  NoteTable table;
};

TEST_F(NoteTableTest, HeldNoteKeepsItsSlotAndFirstVelocity) {
  int slot = table.allocate(38, 100, envelopes, 11);
  EXPECT_EQ(slot, 0);
  EXPECT_EQ(table.allocate(38, 20, envelopes, 11), slot);
  EXPECT_EQ(table.velocity(slot), 100);
  EXPECT_TRUE(table.contains(38));
  EXPECT_EQ(table.release(38), slot);
  EXPECT_FALSE(table.contains(38));
  EXPECT_EQ(table.release(38), NoteTable::kNotHeld);
}

TEST_F(NoteTableTest, NewNoteNeverEvictsAHeldNote) {
  table.allocate(38, 100, envelopes, 11);  // slot 0, whose envelope stays idle
  EXPECT_EQ(table.allocate(35, 90, envelopes, 11), 1);
  envelopes[2].setAttack(0.0f);
  envelopes[2].trigger(127);
  envelopes[2].tick();
  EXPECT_EQ(table.allocate(42, 90, envelopes, 11), 3);  // slot 2's envelope is sounding
  EXPECT_TRUE(table.contains(38));
  EXPECT_TRUE(table.contains(35));
}

TEST_F(NoteTableTest, WhenEverySlotIsHeldAnIdleSlotIsReusedAndItsOldNoteForgotten) {
  for (int note = 1; note <= 10; ++note) table.allocate(note, 64, envelopes, 11);
  int slot = table.allocate(60, 64, envelopes, 11);
  EXPECT_EQ(slot, 0);
  EXPECT_FALSE(table.contains(1));
  EXPECT_EQ(table.release(1), NoteTable::kNotHeld);
  EXPECT_TRUE(table.contains(60));
  table.clear();
  for (int note = 1; note <= 10; ++note) EXPECT_FALSE(table.contains(note));
}

}  // namespace
}  // namespace zvx
