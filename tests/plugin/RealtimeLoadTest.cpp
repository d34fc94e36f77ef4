// A learned controller moving a Menu parameter during processReplacing: the
// audio thread must not read the file, allocate or lock; the new layer plays
// a few blocks later.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "plugin/DrumPlugin.h"
#include "plugin/LearnMap.h"
#include "tests/support/AudioThreadProbe.h"
#include "tests/support/TestSupport.h"

namespace zvx {
namespace {

using namespace zvx::test;

AEffect* VSTCALLBACK inProcessEntry(audioMasterCallback master) { return (new DrumPlugin(master))->getAeffect(); }

class Blocks {
 public:
  explicit Blocks(testhost::Plugin& plugin) : plugin_(plugin), out_(6, std::vector<float>(kFrames)) {
    for (int c = 0; c < 6; ++c) pointers_[c] = out_[static_cast<std::size_t>(c)].data();
  }
  // One block as the audio thread: events first, then the samples.
  const std::vector<std::vector<float>>& render(VstEvents* events = nullptr) {
    AudioThreadScope audio;
    if (events) plugin_.effect()->dispatcher(plugin_.effect(), effProcessEvents, 0, 0, events, 0.0f);
    plugin_.processReplacing(pointers_, kFrames);
    return out_;
  }
  static constexpr int kFrames = 256;

 private:
  testhost::Plugin& plugin_;
  std::vector<std::vector<float>> out_;
  float* pointers_[6];
};

// A prepared event block: built before the audio thread sees it.
struct EventBlock {
  explicit EventBlock(std::vector<VstMidiEvent> list) : events(std::move(list)) {
    for (auto& e : events) block.events[block.numEvents++] = reinterpret_cast<VstEvent*>(&e);
  }
  std::vector<VstMidiEvent> events;
  struct {
    VstInt32 numEvents = 0;
    VstIntPtr reserved = 0;
    VstEvent* events[4];
  } block;
  VstEvents* get() { return reinterpret_cast<VstEvents*>(&block); }
};

TEST(RealtimeLoadTest, LearnedControllerOnAMenuLoadsOffTheAudioThread) {
  TempDocuments docs;
  std::string error;
  auto zvx = testhost::Plugin::create(&inProcessEntry, "in-process ZVX", {}, error);
  ASSERT_TRUE(zvx) << error;
  learnMap().bind(param::kBDMenu, 20);
  zvx->start(44100.0f, Blocks::kFrames);
  Blocks blocks(*zvx);

  // The bass drum plays its layer alone; BDA.wav is a rising ramp, CPB.wav
  // (file 7, chosen by controller value 127) a falling one.
  EventBlock hit({testhost::midiEvent(0, 0x90, 35, 127)});
  EventBlock move({testhost::midiEvent(0, 0xB0, 20, 127)});
  const float before = blocks.render(hit.get())[2][200];
  EXPECT_GT(before, 0.0f);

  const AudioThreadCounts start = audioThreadCounts();
  blocks.render(move.get());
  EXPECT_EQ(zvx->getParameter(param::kBDMenu), 1.0f);  // the parameter moved at once

  float after = before;
  for (int attempt = 0; attempt < 200 && after > 0.0f; ++attempt) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    after = blocks.render(hit.get())[2][200];
  }
  EXPECT_LT(after, 0.0f) << "the new layer never arrived";
  const AudioThreadCounts end = audioThreadCounts();
  EXPECT_EQ(end.allocations, start.allocations);
  EXPECT_EQ(end.fileOpens, start.fileOpens);
  EXPECT_EQ(end.locks, start.locks);
  learnMap().forget(param::kBDMenu);
}

}  // namespace
}  // namespace zvx
