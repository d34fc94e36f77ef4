// A Menu parameter automated on a host's real-time thread loads its sample
// file off that thread even when the thread never rendered before (hosts
// that render on several threads, or start a new one); a host's GUI thread
// loads at once.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "engine/Parameters.h"
#include "plugin/DrumPlugin.h"
#include "tests/support/AudioThreadProbe.h"
#include "tests/support/TestSupport.h"
#include "tools/testhost/AudioThreadProbe.h"

namespace zvx {
namespace {

using namespace zvx::test;

AEffect* VSTCALLBACK inProcessEntry(audioMasterCallback master) { return (new DrumPlugin(master))->getAeffect(); }

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

float bassDrumSample(testhost::Plugin& plugin) {
  plugin.sendEvents({testhost::midiEvent(0, 0x90, 35, 127)});
  float* outputs[6];
  std::vector<std::vector<float>> out(6, std::vector<float>(256));
  for (int c = 0; c < 6; ++c) outputs[c] = out[static_cast<std::size_t>(c)].data();
  plugin.processReplacing(outputs, 256);
  return out[2][200];
}

TEST(ProcessLevelLoadTest, RealtimeThreadThatNeverRenderedLoadsOffTheThread) {
  TempDocuments docs;
  std::string error;
  auto zvx = testhost::Plugin::create(&inProcessEntry, "in-process ZVX", levelAnsweringHost(), error);
  ASSERT_TRUE(zvx) << error;
  zvx->start(44100.0f, 256);
  const float before = bassDrumSample(*zvx);  // rendered on this thread
  ASSERT_GT(before, 0.0f);                     // BDA.wav rises, CPB.wav falls

  testhost::AudioThreadCounts start, end;
  std::thread([&] {
    testhost::AudioThreadScope audio;
    start = audioThreadCounts();
    zvx->setParameter(param::kBDMenu, 1.0f);
    end = audioThreadCounts();
  }).join();
  EXPECT_EQ(end.fileOpens, start.fileOpens);
  EXPECT_EQ(end.fileIo, start.fileIo);
  if (testhost::countsAllocations()) {
    EXPECT_EQ(end.allocations, start.allocations);
  }

  float after = before;
  for (int attempt = 0; attempt < 200 && after > 0.0f; ++attempt) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    after = bassDrumSample(*zvx);
  }
  EXPECT_LT(after, 0.0f) << "the new layer never arrived";
}

TEST(ProcessLevelLoadTest, GuiThreadThatRenderedLastLoadsAtOnceWhenTheHostSaysSo) {
  TempDocuments docs;
  std::string error;
  auto zvx = testhost::Plugin::create(&inProcessEntry, "in-process ZVX", levelAnsweringHost(), error);
  ASSERT_TRUE(zvx) << error;
  zvx->start(44100.0f, 256);
  ASSERT_GT(bassDrumSample(*zvx), 0.0f);  // this thread rendered last
  zvx->setParameter(param::kBDMenu, 1.0f);  // the host calls it its GUI thread
  EXPECT_LT(bassDrumSample(*zvx), 0.0f);    // loaded before setParameter returned
}

}  // namespace
}  // namespace zvx
