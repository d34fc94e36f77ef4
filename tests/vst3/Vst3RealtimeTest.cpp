// Whatever a block brings, process() neither blocks (allocation, locks, sleep,
// files) nor calls the component handler, whose calls belong to the UI thread.
#include <optional>

#include "engine/Parameters.h"
#include "tests/support/AudioThreadChecks.h"
#include "tests/vst3/Vst3TestSupport.h"
#include "vsthost/AudioThreadProbe.h"

namespace zvx::test {
namespace {

TEST(Vst3RealtimeTest, ProcessNeverBlocksWhateverTheBlockBrings) {
  using namespace param;
  TempDocuments documents;
  documents.installDefaultData(ZVX_BUILT_DATA);
  documents.writeFile("Pluginccmap.bin", learnMapFile({{kBDMenu, 21}, {kHHDecay, 74}}));
  auto vst3 = startVst3(44100.0, 256);
  ASSERT_TRUE(vst3);
  const auto program = vst3->programParameter();
  ASSERT_TRUE(program);
  std::optional<vsthost::AudioThreadScope> audio;
  std::size_t callsBefore = 0;
  int blocksCallingTheHandler = 0;
  vst3->beforeProcess = [&] {
    callsBefore = vst3->handler().calls().size();
    audio.emplace();
  };
  vst3->afterProcess = [&] {
    audio.reset();
    blocksCallingTheHandler += vst3->handler().calls().size() != callsBefore;
  };
  // A first block wakes everything that sleeps until then.
  vst3->render(256, 256, {noteOn(0, 36)});
  vst3->handler().take();

  constexpr int kFrames = 4 * 44100;
  std::vector<VstMidiEvent> events = busyGroove(9, kFrames, 44100.0, 20);
  for (const VstMidiEvent& move : {controller(10000, 21, 127), controller(30000, 74, 3), controller(50000, 123, 0),
                                   midiEvent(60000, 0xC0, 9, 0), controller(90000, 21, 0), controller(120000, 7, 1)})
    events.push_back(move);
  std::vector<ParameterChange> changes;
  for (int at = 0, turn = 0; at < kFrames; at += 997, ++turn) {
    changes.push_back({at, idOf(turn % kNumParameters), (turn % 11) / 10.0});
    if (turn % 17 == 0) changes.push_back({at + 3, *program, (turn % 128) / 127.0});
    if (turn % 13 == 0) changes.push_back({at + 5, idOf(kMenu[turn % 4]), (turn % 8) / 7.0});
  }
  // On a thread of its own, as hosts process.
  const vsthost::AudioThreadCounts before = vsthost::audioThreadCounts();
  std::vector<Channel> heard;
  std::thread::id audioThread;
  std::thread([&] {
    audioThread = std::this_thread::get_id();
    heard = renderVst3(*vst3, kFrames, {256}, events, changes);
  }).join();
  expectNothingBlockedSince(before);
  EXPECT_EQ(vsthost::audioThreadCounts().xlib, before.xlib);
  EXPECT_GT(peak(heard[0]), 0.01f);
  EXPECT_EQ(blocksCallingTheHandler, 0) << "the component handler was called in process";
  for (const auto& call : vst3->handler().calls())
    EXPECT_NE(call.thread, audioThread) << "the component handler was called on the audio thread";
}

}  // namespace
}  // namespace zvx::test
