// The facts the building blocks promise, checked on the blocks themselves.
#include "engine/DrumEnvelope.h"
#include "engine/NoteTable.h"
#include "engine/OnePoleFilter.h"
#include "tests/support/TestSupport.h"

namespace zvx {
namespace {

TEST(DrumEnvelopeTest, SlowAttackRetriggerFadesOutFirst) {
  DrumEnvelope envelope;
  envelope.setAttack(0.1f);  // 0.1 s: rate far below 0.1 per sample
  envelope.setSustain(0.5f);
  envelope.trigger(127);
  for (int i = 0; i < 3000; ++i) envelope.tick();
  const float level = envelope.level();
  ASSERT_GT(level, 0.1f);
  envelope.trigger(127);
  int steps = 0;
  for (; envelope.state() == DrumEnvelope::FadeOut; ++steps) envelope.tick();
  EXPECT_EQ(envelope.level(), 0.0f);
  EXPECT_EQ(envelope.state(), DrumEnvelope::Attack);
  EXPECT_NEAR(steps, static_cast<int>(level / 0.01f), 1);
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

TEST(NoteTableTest, NewNoteNeverEvictsAHeldNoteUntilEverySlotIsHeld) {
  DrumEnvelope envelopes[11];
  NoteTable table;
  EXPECT_EQ(table.allocate(38, 100, envelopes, 11), 0);  // slot 0, whose envelope stays idle
  EXPECT_EQ(table.allocate(38, 20, envelopes, 11), 0);   // held: the same slot
  EXPECT_EQ(table.allocate(35, 90, envelopes, 11), 1);
  envelopes[2].setAttack(0.0f);
  envelopes[2].trigger(127);
  envelopes[2].tick();
  EXPECT_EQ(table.allocate(42, 90, envelopes, 11), 3);  // slot 2's envelope is sounding
  EXPECT_EQ(table.release(38), 0);
  EXPECT_FALSE(table.contains(38));
  EXPECT_EQ(table.release(38), NoteTable::kNotHeld);
  // Every slot held: an idle one is reused and its old note forgotten.
  const DrumEnvelope idle[11];
  NoteTable full;
  for (int note = 1; note <= 10; ++note) full.allocate(note, 64, idle, 11);
  EXPECT_EQ(full.allocate(60, 64, idle, 11), 0);
  EXPECT_EQ(full.release(1), NoteTable::kNotHeld);
  EXPECT_TRUE(full.contains(60));
}

}  // namespace
}  // namespace zvx
