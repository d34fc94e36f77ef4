// The chosen sample file plays from the next sample on, from any thread, with
// no allocation, lock, sleep or file call on the audio thread. The bass drum's
// layer: BDA.wav (Menu 0) is a rising ramp, CPB.wav (Menu 1.0) a falling one.
#include "engine/Parameters.h"
#include "formats/vst2/VstPlugin.h"
#include "instrument/LearnMap.h"
#include "instrument/MessageQueue.h"
#include "tests/support/AudioThreadChecks.h"
#include "tests/support/TestSupport.h"
#include "vsthost/AudioThreadProbe.h"

namespace zvx::test {
namespace {

using vsthost::audioThreadCounts, vsthost::AudioThreadScope;
using namespace std::chrono_literals;

constexpr int kBassDrum = 2;

AEffect* VSTCALLBACK inProcessEntry(audioMasterCallback master) { return vst2::VstPlugin::create(master, nullptr); }

// An in-process ZVX started for blocks of 256; the test's TempDocuments must outlive it.
std::unique_ptr<vsthost::Plugin> inProcessZvx(const vsthost::HostConfig& config = {}) {
  std::string error;
  auto zvx = vsthost::Plugin::create(&inProcessEntry, "in-process ZVX", config, error);
  EXPECT_TRUE(zvx) << error;
  if (zvx) zvx->start(44100.0f, 256);
  return zvx;
}

// Answers the process level as real hosts do: real-time on marked audio threads only.
vsthost::HostConfig levelAnsweringHost() {
  vsthost::HostConfig config;
  config.intercept = [](AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float) -> std::optional<VstIntPtr> {
    if (opcode != audioMasterGetCurrentProcessLevel) return std::nullopt;
    return VstIntPtr{vsthost::onMarkedThread() ? kVstProcessLevelRealtime : kVstProcessLevelUser};
  };
  return config;
}

// `work` on a thread of its own that the host calls real-time; it may not block.
void onRealtimeThread(const std::function<void()>& work) {
  std::thread([&] {
    AudioThreadScope audio;
    const auto before = audioThreadCounts();
    work();
    expectNothingBlockedSince(before);
  }).join();
}

// A prepared event block: built before the audio thread sees it.
struct EventBlock {
  explicit EventBlock(std::vector<VstMidiEvent> list) : events(std::move(list)) {
    header.numEvents = static_cast<VstInt32>(events.size());
    for (std::size_t i = 0; i < events.size(); ++i) header.events[i] = reinterpret_cast<VstEvent*>(&events[i]);
  }
  EventBlock(const EventBlock&) = delete;
  VstEvents* get() { return reinterpret_cast<VstEvents*>(&header); }
  std::vector<VstMidiEvent> events;
  struct {
    VstInt32 numEvents = 0;
    VstIntPtr reserved = 0;
    VstEvent* events[4];
  } header;
};

// The bass drum's output of one block of 256, this thread marked as audio when asked.
Channel render(vsthost::Plugin& zvx, EventBlock& events, bool asAudioThread) {
  std::vector<std::vector<float>> out(6, std::vector<float>(256));
  float* pointers[6];
  for (std::size_t c = 0; c < 6; ++c) pointers[c] = out[c].data();
  std::optional<AudioThreadScope> audio;
  if (asAudioThread) audio.emplace();
  zvx.effect()->dispatcher(zvx.effect(), effProcessEvents, 0, 0, events.get(), 0.0f);
  zvx.processReplacing(pointers, 256);
  audio.reset();
  return out[kBassDrum];
}

TEST(RealtimeLoadTest, LearnedControllerSwitchesTheLayerForANoteLaterInTheSameBlock) {
  TempDocuments docs;
  // The controller moves BDMenu to CPB.wav, the note follows in the block: as
  // an instance that chose CPB.wav long before (its controller bound elsewhere).
  EventBlock moved({controller(0, 20, 127), noteOn(100, 35)});
  EventBlock unmoved({controller(0, 21, 127), noteOn(100, 35)});
  auto zvx = inProcessZvx();
  auto chosenBefore = inProcessZvx();
  ASSERT_TRUE(zvx && chosenBefore);
  learnMap().bind(param::kBDMenu, 20);
  learnMap().bind(param::kMenu[kCP], 21);
  chosenBefore->setParameter(param::kBDMenu, 1.0f);
  const auto before = audioThreadCounts();
  const Channel heard = render(*zvx, moved, true);
  expectNothingBlockedSince(before);
  EXPECT_EQ(zvx->getParameter(param::kBDMenu), 1.0f);
  EXPECT_LT(heard[200], 0.0f);  // the falling ramp
  EXPECT_EQ(heard, render(*chosenBefore, unmoved, true));
  learnMap().forget(param::kBDMenu);
  learnMap().forget(param::kMenu[kCP]);
}

TEST(RealtimeLoadTest, RealtimeThreadChoosesAtOnceWithoutTouchingTheDisk) {
  TempDocuments docs;
  auto zvx = inProcessZvx(levelAnsweringHost());
  ASSERT_TRUE(zvx);
  EventBlock hit({noteOn(0, 35)});
  ASSERT_GT(render(*zvx, hit, false)[200], 0.0f);
  // Automation outside any process call.
  onRealtimeThread([&] { zvx->setParameter(param::kBDMenu, 1.0f); });
  EXPECT_LT(render(*zvx, hit, false)[200], 0.0f);
}

// Hits the bass drum until it plays a layer whose sample 200 passes `test`, for a second at most.
bool layerArrives(vsthost::Plugin& zvx, const std::function<bool(float)>& test) {
  EventBlock hit({noteOn(0, 35)});
  for (int attempt = 0; attempt < 200; ++attempt, std::this_thread::sleep_for(5ms))
    if (test(render(zvx, hit, true)[200])) return true;
  return false;
}

TEST(RealtimeLoadTest, ReplacedFileIsReadAgainWhenChosenOnAnyThread) {
  TempDocuments docs;
  auto zvx = inProcessZvx();
  ASSERT_TRUE(zvx);
  learnMap().bind(param::kBDMenu, 20);
  EventBlock toCpb({controller(0, 20, 127)});
  // CPB.wav replaced and chosen by controller: the new content arrives soon.
  docs.writeFile("CPB.wav", monoWav(std::vector<std::int16_t>(20000, 16000)));
  render(*zvx, toCpb, true);
  EXPECT_TRUE(layerArrives(*zvx, [](float s) { return s > 0.0f; }));
  // Chosen off the audio thread (an offline host), from the next hit.
  docs.writeFile("CPB.wav", monoWav(std::vector<std::int16_t>(20000, -16000)));
  zvx->setParameter(param::kBDMenu, 1.0f);
  EventBlock hit({noteOn(0, 35)});
  EXPECT_LT(render(*zvx, hit, true)[200], 0.0f);
  // A file that cannot be read leaves the voice with the layer it had.
  std::filesystem::remove(docs.dataFolder() / "BDA.wav");
  zvx->setParameter(param::kBDMenu, 0.0f);
  EXPECT_LT(render(*zvx, hit, true)[200], 0.0f);
  learnMap().forget(param::kBDMenu);
}

// Messages raised on the audio thread wait (a shown one would count as blocking).
TEST(RealtimeMessagesTest, BadChunkOnARealtimeThreadIsShownLaterOnceAndNotThere) {
  TempDocuments docs;
  auto zvx = inProcessZvx(levelAnsweringHost());
  ASSERT_TRUE(zvx);
  MessageLog messages;
  std::vector<unsigned char> tooLong(400, 0), wrongBank(100, 0);
  onRealtimeThread([&] {
    zvx->dispatch(effSetChunk, 1, static_cast<VstIntPtr>(tooLong.size()), tooLong.data());
    zvx->dispatch(effSetChunk, 0, static_cast<VstIntPtr>(wrongBank.size()), wrongBank.data());
  });
  EXPECT_EQ(messages.take(), std::vector<ShownMessage>{});
  // The next idle shows both, in the order raised; later calls nothing more.
  zvx->dispatch(effEditIdle);
  EXPECT_EQ(messages.take(), (std::vector<ShownMessage>{{"none", "Error!", "Can't load preset, wrong file size!"},
                                                        {"none", "Error!", "Can't load bank, wrong file size!"}}));
  zvx->dispatch(effEditIdle);
  EXPECT_EQ(messages.take(), std::vector<ShownMessage>{});
  // Raised on the audio thread, shown by the next call from any other thread.
  std::thread([&] {
    AudioThreadScope audio;
    zvx->dispatch(effSetChunk, 0, static_cast<VstIntPtr>(wrongBank.size()), wrongBank.data());
  }).join();
  zvx->dispatch(effGetProgram);
  EXPECT_EQ(messages.take().size(), 1u);
}

TEST(RealtimeMessagesTest, QueueKeepsWhatFitsInOrderAndDropsTheRest) {
  MessageLog messages;
  MessageQueue queue;
  std::vector<std::string> texts;
  for (std::size_t i = 0; i < MessageQueue::kCapacity + 3; ++i) texts.push_back(std::to_string(i) + std::string(300, 'x'));
  std::vector<bool> kept(texts.size());
  const auto before = audioThreadCounts();
  {
    AudioThreadScope audio;
    for (std::size_t i = 0; i < texts.size(); ++i) kept[i] = queue.keep(texts[i], "caption");
  }
  expectNothingBlockedSince(before);
  for (std::size_t i = 0; i < kept.size(); ++i) EXPECT_EQ(kept[i], i < MessageQueue::kCapacity) << i;
  queue.showWaiting();
  const std::vector<ShownMessage> shown = messages.take();
  ASSERT_EQ(shown.size(), MessageQueue::kCapacity);
  for (std::size_t i = 0; i < shown.size(); ++i)  // in order, cut to fit
    EXPECT_EQ(shown[i].text, texts[i].substr(0, MessageQueue::kTextSize - 1)) << i;
  EXPECT_TRUE(queue.empty());
}

}  // namespace
}  // namespace zvx::test
