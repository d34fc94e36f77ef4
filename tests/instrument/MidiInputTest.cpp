// MIDI intake through the module: when events act, which act, and how they wake the engine.

#include "engine/Parameters.h"
#include "tests/support/TestSupport.h"

namespace zvx::test {
namespace {

constexpr int kBDChannel = 2;
constexpr int kSDChannel = 3;
// Bass drum as a pure synthesized body, so it sounds without samples.
const Settings kSynthBD = {{param::kBDMix, 0.0f}};
constexpr int kBDPad = param::kFirstPad + kBD, kSDPad = param::kFirstPad + kSD;

TEST(MidiInputTest, EveryChannelActsAlikeVelocityZeroIsANoteOffAndOtherMessagesChangeNothing) {
  auto channel1 = renderZvx(kSynthBD, {noteOn(0, 35, 100, 0), noteOff(3000, 35)}, 8000);
  EXPECT_EQ(renderZvx(kSynthBD, {noteOn(0, 35, 100, 9), noteOff(3000, 35, 0, 9)}, 8000), channel1);
  EXPECT_EQ(renderZvx(kSynthBD, {noteOn(0, 35, 100), noteOn(3000, 35, 0)}, 8000), channel1);
  EXPECT_NE(renderZvx(kSynthBD, {noteOn(0, 35, 100)}, 8000), channel1);  // the note-off did something
  // A note-off for a note never started, a program change, a pitch bend, aftertouch: nothing.
  EXPECT_EQ(renderZvx(kSynthBD, {noteOn(0, 35), noteOff(100, 38), vsthost::midiEvent(200, 0xC0, 5, 0),
                                 vsthost::midiEvent(300, 0xE0, 0, 90), vsthost::midiEvent(400, 0xA0, 35, 20)}, 6000),
            renderZvx(kSynthBD, {noteOn(0, 35)}, 6000));
  auto zvx = startZvx();
  zvx->sendEvents({vsthost::midiEvent(0, 0xC0, 7, 0)});
  zvx->render(64);
  EXPECT_EQ(zvx->dispatch(effGetProgram), 0);
}

TEST(MidiInputTest, EventsActAtTheirFrameEvenOutOfOrderOrPastSysexAndNotBeyondTheBlock) {
  auto zvx = startZvx(kSynthBD);
  VstMidiEvent bd = vsthost::midiEvent(5, 0x90, 35, 127);
  VstMidiEvent sd = vsthost::midiEvent(5, 0x90, 38, 127);
  char dump[4] = {char(0xF0), 0x7E, 0x01, char(0xF7)};
  VstMidiSysexEvent sysex{kVstSysExType, sizeof(VstMidiSysexEvent), 5, 0, 4, 0, dump, 0};  // at frame 5, 4 bytes
  zvx->sendRawEvents({reinterpret_cast<VstEvent*>(&bd), reinterpret_cast<VstEvent*>(&sysex),
                      reinterpret_cast<VstEvent*>(&sd)});
  auto out = zvx->render(512);  // one block, the events as sent
  EXPECT_EQ(firstAbove(out[kBDChannel]), 5);
  EXPECT_EQ(firstAbove(out[kSDChannel]), 5);

  // Out of order: the late event is handled right after the one before it, never stalling the block.
  zvx = startZvx(kSynthBD);
  zvx->sendEvents({vsthost::midiEvent(100, 0x90, 38, 127), vsthost::midiEvent(20, 0x90, 35, 127)});
  out = zvx->render(512);
  EXPECT_EQ(firstAbove(out[kSDChannel]), 100);
  EXPECT_EQ(firstAbove(out[kBDChannel]), 100);

  // Beyond the block: dropped with it, and the next block does not see it either.
  zvx = startZvx(kSynthBD);
  zvx->sendEvents({vsthost::midiEvent(600, 0x90, 35, 127)});
  for (const auto& channel : zvx->render(1024, 512)) EXPECT_EQ(peak(channel), 0.0f);
}

TEST(MidiInputTest, ControllerOneTwentyThreeSilencesEveryVoice) {
  auto out = renderZvx(kSynthBD, {noteOn(0, 35), noteOn(0, 38), controller(10000, 123, 0)}, 60000);
  EXPECT_GT(peak(out[kBDChannel], 9000, 10000), 0.01f);
  EXPECT_GT(peak(out[kSDChannel], 9000, 10000), 0.001f);
  // Released from 10000 (the bass drum's release lasts 0.75 s): then silence.
  for (const auto& channel : out) EXPECT_EQ(peak(channel, 45000), 0.0f);
  // Without it the voices are still rendered at that time.
  auto held = renderZvx(kSynthBD, {noteOn(0, 35), noteOn(0, 38)}, 60000);
  EXPECT_GT(peak(held[kBDChannel], 45000), 0.0f);
  // A new note after it sounds: controller 123 forgot the held notes.
  auto again = renderZvx(kSynthBD, {noteOn(0, 35), controller(1000, 123, 0), noteOn(2000, 35)}, 4000);
  EXPECT_GT(peak(again[kBDChannel], 2000), 0.01f);
}

// Asleep, the engine stands still: a hit sounds the same whenever it comes; awake, it differs.
TEST(MidiInputTest, FourSecondsOfSilenceSleepAndAnyControllerWakes) {
  const int second = 44100;
  auto hit = [&](int at, std::vector<VstMidiEvent> extra) {
    std::vector<VstMidiEvent> events = {noteOn(0, 38), noteOff(100, 38), noteOn(at, 38), noteOff(at + 100, 38)};
    events.insert(events.end(), extra.begin(), extra.end());
    auto out = renderZvx({}, events, at + 4000, 512);
    return Channel(out[kSDChannel].begin() + at, out[kSDChannel].end());
  };
  const Channel atSix = hit(6 * second, {});
  EXPECT_GT(peak(atSix), 0.01f);
  EXPECT_EQ(atSix, hit(7 * second, {}));
  // A controller bound to nothing still wakes the engine.
  EXPECT_NE(hit(6 * second, {controller(5 * second, 20, 64)}), atSix);
  // Before four seconds have passed the engine is still awake.
  EXPECT_NE(hit(3 * second, {}), hit(3 * second + 4410, {}));
}

TEST(MidiInputTest, PadSoundsOnceAndEndsFourteenThousandSamplesLater) {
  // A plain sine with a 1.6 s attack, still rising when the pad's note-off comes.
  auto zvx = startZvx({{param::kBDMix, 0.0f}, {param::kBDTone, 0.0f}, {param::kAttack, 1.0f}, {kBDPad, 1.0f}});
  Channel bd = zvx->render(10000)[kBDChannel];
  zvx->setParameter(kBDPad, 1.0f);  // held: nothing happens
  const Channel more = zvx->render(10000)[kBDChannel];
  bd.insert(bd.end(), more.begin(), more.end());
  EXPECT_EQ(firstAbove(bd), 0);
  // The level rises until the pad's note-off, then falls.
  const float beforeOff = peak(bd, 13000, 13990);
  EXPECT_GT(beforeOff, peak(bd, 11000, 12000));
  EXPECT_LT(peak(bd, 15000, 16000), beforeOff);

  // Exactly half does not press a pad; the pad can sound again after its note-off.
  zvx->setParameter(kSDPad, 0.5f);
  zvx->setParameter(param::kBDTone, 0.5f);
  zvx->setParameter(param::kAttack, 0.0f);
  auto quiet = zvx->render(44100 * 2);
  EXPECT_LT(peak(quiet[kBDChannel], 44100 * 2 - 100), 0.001f);
  EXPECT_EQ(peak(quiet[kSDChannel]), 0.0f);
  zvx->setParameter(kBDPad, 1.0f);
  EXPECT_GT(peak(zvx->render(512)[kBDChannel]), 0.01f);
  zvx->setParameter(kSDPad, 0.51f);
  EXPECT_GT(peak(zvx->render(2048)[kSDChannel]), 0.01f);
}

}  // namespace
}  // namespace zvx::test
