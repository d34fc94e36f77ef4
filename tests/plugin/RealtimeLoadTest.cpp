// A Menu parameter moved on a host's audio thread loads its sample file off
// that thread: moved by a learned controller during processReplacing (no file
// read, allocation or lock there), or automated on a real-time thread that
// never rendered before (hosts that render on several threads, or start a new
// one). A host's GUI thread loads at once. The bass drum plays its layer
// alone: BDA.wav (Menu 0) is a rising ramp, CPB.wav (Menu 1.0) a falling one.
#include "engine/Parameters.h"
#include "plugin/DrumPlugin.h"
#include "plugin/LearnMap.h"
#include "tests/support/TestSupport.h"
#include "tools/testhost/AudioThreadProbe.h"

namespace zvx::test {
namespace {

using testhost::audioThreadCounts;
using testhost::AudioThreadCounts;
using testhost::AudioThreadScope;
using namespace std::chrono_literals;

AEffect* VSTCALLBACK inProcessEntry(audioMasterCallback master) { return (new DrumPlugin(master))->getAeffect(); }

// An in-process ZVX started for blocks of 256; the test's TempDocuments must outlive it.
std::unique_ptr<testhost::Plugin> inProcessZvx(const testhost::HostConfig& config = {}) {
  std::string error;
  auto zvx = testhost::Plugin::create(&inProcessEntry, "in-process ZVX", config, error);
  EXPECT_TRUE(zvx) << error;
  if (zvx) zvx->start(44100.0f, 256);
  return zvx;
}

// The host answers the process level as real hosts do: real-time on the
// threads it marked as audio threads.
testhost::HostConfig levelAnsweringHost() {
  testhost::HostConfig config;
  config.intercept = [](AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float) -> std::optional<VstIntPtr> {
    if (opcode != audioMasterGetCurrentProcessLevel) return std::nullopt;
    return testhost::onMarkedThread() ? kVstProcessLevelRealtime : kVstProcessLevelUser;
  };
  return config;
}

// A prepared event block: built before the audio thread sees it.
struct EventBlock {
  explicit EventBlock(VstMidiEvent event) : event(event) {}
  VstMidiEvent event;
  struct {
    VstInt32 numEvents = 1;
    VstIntPtr reserved = 0;
    VstEvent* events[1];
  } block;
  VstEvents* get() {
    block.events[0] = reinterpret_cast<VstEvent*>(&event);
    return reinterpret_cast<VstEvents*>(&block);
  }
};

// One block of 256 with `events`, on this thread marked as the audio thread
// when `asAudioThread`; sample 200 of the bass drum's output.
float render(testhost::Plugin& zvx, EventBlock& events, bool asAudioThread) {
  std::vector<std::vector<float>> out(6, std::vector<float>(256));
  float* pointers[6];
  for (std::size_t c = 0; c < 6; ++c) pointers[c] = out[c].data();
  std::optional<AudioThreadScope> audio;
  if (asAudioThread) audio.emplace();
  zvx.effect()->dispatcher(zvx.effect(), effProcessEvents, 0, 0, events.get(), 0.0f);
  zvx.processReplacing(pointers, 256);
  audio.reset();
  return out[2][200];
}

// Hits the bass drum until it plays the falling CPB.wav, for a second at most.
bool newLayerArrives(testhost::Plugin& zvx, EventBlock& hit, bool asAudioThread) {
  for (int attempt = 0; attempt < 200; ++attempt, std::this_thread::sleep_for(5ms))
    if (render(zvx, hit, asAudioThread) < 0.0f) return true;
  return false;
}

TEST(RealtimeLoadTest, LearnedControllerOnAMenuLoadsOffTheAudioThread) {
  TempDocuments docs;
  auto zvx = inProcessZvx();
  ASSERT_TRUE(zvx);
  learnMap().bind(param::kBDMenu, 20);
  EventBlock hit(noteOn(0, 35)), move(controller(0, 20, 127));
  EXPECT_GT(render(*zvx, hit, true), 0.0f);

  const AudioThreadCounts start = audioThreadCounts();
  render(*zvx, move, true);
  EXPECT_EQ(zvx->getParameter(param::kBDMenu), 1.0f);  // the parameter moved at once
  EXPECT_TRUE(newLayerArrives(*zvx, hit, true));
  const AudioThreadCounts end = audioThreadCounts();
  EXPECT_EQ(end.allocations, start.allocations);
  EXPECT_EQ(end.fileOpens, start.fileOpens);
  EXPECT_EQ(end.locks, start.locks);
  learnMap().forget(param::kBDMenu);
}

TEST(ProcessLevelLoadTest, RealtimeThreadThatNeverRenderedLoadsOffTheThread) {
  TempDocuments docs;
  auto zvx = inProcessZvx(levelAnsweringHost());
  ASSERT_TRUE(zvx);
  EventBlock hit(noteOn(0, 35));
  ASSERT_GT(render(*zvx, hit, false), 0.0f);  // rendered on this thread

  AudioThreadCounts start, end;
  std::thread([&] {
    AudioThreadScope audio;
    start = audioThreadCounts();
    zvx->setParameter(param::kBDMenu, 1.0f);
    end = audioThreadCounts();
  }).join();
  EXPECT_EQ(end.fileOpens, start.fileOpens);
  EXPECT_EQ(end.fileIo, start.fileIo);
  if (testhost::countsAllocations()) {
    EXPECT_EQ(end.allocations, start.allocations);
  }
  EXPECT_TRUE(newLayerArrives(*zvx, hit, false));
}

TEST(ProcessLevelLoadTest, GuiThreadThatRenderedLastLoadsAtOnceWhenTheHostSaysSo) {
  TempDocuments docs;
  auto zvx = inProcessZvx(levelAnsweringHost());
  ASSERT_TRUE(zvx);
  EventBlock hit(noteOn(0, 35));
  ASSERT_GT(render(*zvx, hit, false), 0.0f);  // this thread rendered last
  zvx->setParameter(param::kBDMenu, 1.0f);     // the host calls it its GUI thread
  EXPECT_LT(render(*zvx, hit, false), 0.0f);   // loaded before setParameter returned
}

}  // namespace
}  // namespace zvx::test
