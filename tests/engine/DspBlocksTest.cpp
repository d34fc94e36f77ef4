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
  for (; envelope.state() != DrumEnvelope::Sustain && samples < 10000; ++samples) envelope.tick();
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
  int steps = 0;
  for (; envelope.state() == DrumEnvelope::FadeOut; ++steps) envelope.tick();
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
  for (; !envelope.idle() && samples < 1000; ++samples) envelope.tick();
  EXPECT_EQ(envelope.level(), 0.0f);
  EXPECT_NEAR(samples, 0.0014 * 44100 * 0.5, 2);  // from the sustain level 0.5
}

TEST(OnePoleFilterTest, HighPassBlocksAConstantAndFlushesDenormals) {
  OnePoleFilter dc;
  dc.setSampleRate(44100.0f);
  dc.setCutoff(15.0f);
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

TEST(NoteFrequenciesTest, EqualTemperamentWithA440AndContinuedPastTheTable) {
  const NoteFrequencies& f = NoteFrequencies::instance();
  EXPECT_NEAR(f[69], 440.0f, 0.001f);
  EXPECT_NEAR(f[150] / f[138], 2.0f, 1e-5f);
}

class NoteTableTest : public ::testing::Test {
 protected:
  DrumEnvelope envelopes[11];
  NoteTable table;
};

TEST_F(NoteTableTest, NewNoteNeverEvictsAHeldNoteAndReleaseForgetsIt) {
  EXPECT_EQ(table.allocate(38, 100, envelopes, 11), 0);  // slot 0, whose envelope stays idle
  EXPECT_EQ(table.allocate(38, 20, envelopes, 11), 0);   // held: the same slot
  EXPECT_EQ(table.allocate(35, 90, envelopes, 11), 1);
  envelopes[2].setAttack(0.0f);
  envelopes[2].trigger(127);
  envelopes[2].tick();
  EXPECT_EQ(table.allocate(42, 90, envelopes, 11), 3);  // slot 2's envelope is sounding
  EXPECT_TRUE(table.contains(38));
  EXPECT_TRUE(table.contains(35));
  EXPECT_EQ(table.release(38), 0);
  EXPECT_FALSE(table.contains(38));
  EXPECT_EQ(table.release(38), NoteTable::kNotHeld);
}

TEST_F(NoteTableTest, WhenEverySlotIsHeldAnIdleSlotIsReusedAndItsOldNoteForgotten) {
  for (int note = 1; note <= 10; ++note) table.allocate(note, 64, envelopes, 11);
  int slot = table.allocate(60, 64, envelopes, 11);
  EXPECT_EQ(slot, 0);
  EXPECT_FALSE(table.contains(1));
  EXPECT_EQ(table.release(1), NoteTable::kNotHeld);
  EXPECT_TRUE(table.contains(60));
}

}  // namespace
}  // namespace zvx
