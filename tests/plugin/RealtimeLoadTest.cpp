// The audio thread's conduct when the sample choice moves and messages are
// raised there: the chosen file plays from the next sample on, whatever
// thread chose it and whatever the host answers, with no allocation, lock,
// sleep or file call on the audio thread. The bass drum plays its layer alone:
// BDA.wav (Menu 0) is a rising ramp, CPB.wav (Menu 1.0) a falling one.
#include "engine/Parameters.h"
#include "formats/vst2/DrumPlugin.h"
#include "platform/Messages.h"
#include "plugin/LearnMap.h"
#include "plugin/MessageQueue.h"
#include "tests/support/TestSupport.h"
#include "vsthost/AudioThreadProbe.h"

namespace zvx::test {
namespace {

using testhost::audioThreadCounts;
using testhost::AudioThreadCounts;
using testhost::AudioThreadScope;
using namespace std::chrono_literals;

constexpr int kBassDrum = 2;

AEffect* VSTCALLBACK inProcessEntry(audioMasterCallback master) { return (new DrumPlugin(master))->getAeffect(); }

// An in-process ZVX started for blocks of 256; the test's TempDocuments must outlive it.
std::unique_ptr<testhost::Plugin> inProcessZvx(const testhost::HostConfig& config = {}) {
  std::string error;
  auto zvx = testhost::Plugin::create(&inProcessEntry, "in-process ZVX", config, error);
  EXPECT_TRUE(zvx) << error;
  if (zvx) zvx->start(44100.0f, 256);
  return zvx;
}

// A host that answers the process level as real hosts do: real-time on the
// threads marked as audio threads, `otherwise` (user, offline, unknown) elsewhere.
testhost::HostConfig levelAnsweringHost(VstIntPtr otherwise = kVstProcessLevelUser) {
  testhost::HostConfig config;
  config.intercept = [otherwise](AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*,
                                 float) -> std::optional<VstIntPtr> {
    if (opcode != audioMasterGetCurrentProcessLevel) return std::nullopt;
    return testhost::onMarkedThread() ? VstIntPtr{kVstProcessLevelRealtime} : otherwise;
  };
  return config;
}

// What the probe counted on marked threads while `work` ran.
AudioThreadCounts countedDuring(const std::function<void()>& work) {
  const AudioThreadCounts start = audioThreadCounts();
  work();
  const AudioThreadCounts end = audioThreadCounts();
  return {end.allocations - start.allocations, end.fileOpens - start.fileOpens, end.fileIo - start.fileIo,
          end.locks - start.locks,             end.sleeps - start.sleeps,         end.xlib - start.xlib};
}

void expectNothingBlocking(const AudioThreadCounts& counted) {
  if (testhost::countsAllocations()) {
    EXPECT_EQ(counted.allocations, 0u);
  }
  EXPECT_EQ(counted.fileOpens + counted.fileIo, 0u);
  EXPECT_EQ(counted.locks, 0u);
  EXPECT_EQ(counted.sleeps, 0u);
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

// One block of 256 with `events`, on this thread marked as the audio thread
// when `asAudioThread`; the bass drum's output.
Channel render(testhost::Plugin& zvx, EventBlock& events, bool asAudioThread) {
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
  // The controller moves BDMenu to CPB.wav at frame 1, the note follows at
  // frame 100; a second instance chose CPB.wav long before and hears a
  // controller bound to another voice's menu at the same time.
  EventBlock moved({controller(0, 20, 127), noteOn(100, 35)});
  EventBlock unmoved({controller(0, 21, 127), noteOn(100, 35)});
  auto zvx = inProcessZvx();
  auto chosenBefore = inProcessZvx();
  ASSERT_TRUE(zvx && chosenBefore);
  learnMap().bind(param::kBDMenu, 20);
  learnMap().bind(param::kMenu[kCP], 21);
  chosenBefore->setParameter(param::kBDMenu, 1.0f);
  Channel heard;
  const AudioThreadCounts counted = countedDuring([&] { heard = render(*zvx, moved, true); });
  expectNothingBlocking(counted);
  EXPECT_EQ(zvx->getParameter(param::kBDMenu), 1.0f);
  EXPECT_LT(heard[200], 0.0f);  // the falling ramp
  EXPECT_EQ(heard, render(*chosenBefore, unmoved, true));
  learnMap().forget(param::kBDMenu);
  learnMap().forget(param::kMenu[kCP]);
}

TEST(RealtimeLoadTest, SingleThreadedHostsHearTheChosenFileAtTheNextHit) {
  // Hosts that set parameters between blocks on their one thread and answer
  // the process level with 0 (unknown) or 4 (offline): the next hit plays the
  // new file, exactly as on an instance that chose it before anything played.
  TempDocuments docs;
  for (VstIntPtr level : {kVstProcessLevelUnknown, kVstProcessLevelOffline}) {
    SCOPED_TRACE(level);
    testhost::HostConfig host = levelAnsweringHost(level);
    auto late = startZvx({}, host, 256);
    auto early = startZvx({{param::kBDMenu, 1.0f}}, host, 256);
    ASSERT_TRUE(late && early);
    const std::vector<VstMidiEvent> bassDrum = {noteOn(0, 35)};
    late->setParameter(param::kBDMenu, 1.0f);
    const auto heard = late->render(512, 256, bassDrum);
    EXPECT_LT(heard[kBassDrum][200], 0.0f);
    EXPECT_EQ(heard, early->render(512, 256, bassDrum));
  }
}

TEST(RealtimeLoadTest, RealtimeThreadChoosesAtOnceWithoutTouchingTheDisk) {
  TempDocuments docs;
  auto zvx = inProcessZvx(levelAnsweringHost());
  ASSERT_TRUE(zvx);
  EventBlock hit({noteOn(0, 35)});
  ASSERT_GT(render(*zvx, hit, false)[200], 0.0f);
  // Automation on a thread the host calls real-time, outside any process call.
  AudioThreadCounts counted;
  std::thread([&] {
    AudioThreadScope audio;
    counted = countedDuring([&] { zvx->setParameter(param::kBDMenu, 1.0f); });
  }).join();
  expectNothingBlocking(counted);
  EXPECT_LT(render(*zvx, hit, false)[200], 0.0f);
}

// Hits the bass drum until it plays a layer whose sample 200 passes `test`, for a second at most.
bool layerArrives(testhost::Plugin& zvx, const std::function<bool(float)>& test) {
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
  // The user replaces CPB.wav by a constant and chooses it with the controller:
  // the copy in memory plays at once, the new content soon after.
  docs.writeFile("CPB.wav", monoWav(std::vector<std::int16_t>(20000, 16000)));
  render(*zvx, toCpb, true);
  EXPECT_TRUE(layerArrives(*zvx, [](float s) { return s > 0.0f; }));
  // Chosen off the audio thread, a replaced file plays new from the next hit.
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

TEST(RealtimeLoadTest, EveryInstanceSharesOneCopyOfTheEightFiles) {
  TempDocuments docs;
  std::vector<std::unique_ptr<testhost::Plugin>> instances;
  instances.push_back(inProcessZvx());
  std::shared_ptr<SampleCache> cache = SampleCache::acquire();
  const std::size_t one = cache->bytesHeld();
  EXPECT_EQ(one, 8 * sizeof(PcmBuffer));
  for (int i = 0; i < 7; ++i) instances.push_back(inProcessZvx());
  for (auto& zvx : instances) zvx->setParameter(param::kBDMenu, 0.5f);
  EXPECT_EQ(cache->bytesHeld(), one);
}

// Messages raised on the audio thread.

struct ShownOn {
  std::string text;
  std::thread::id thread;
  bool operator==(const ShownOn&) const = default;
};

class RecordedMessages {
 public:
  RecordedMessages() {
    platform::setMessageSink([this](const platform::Message& message) {
      std::lock_guard<std::mutex> lock(mutex_);
      shown_.push_back({message.text, std::this_thread::get_id()});
    });
  }
  ~RecordedMessages() { platform::setMessageSink({}); }
  std::vector<ShownOn> shown() {
    std::lock_guard<std::mutex> lock(mutex_);
    return shown_;
  }

 private:
  std::mutex mutex_;
  std::vector<ShownOn> shown_;
};

TEST(RealtimeMessagesTest, BadChunkOnARealtimeThreadIsShownLaterOnceAndNotThere) {
  TempDocuments docs;
  auto zvx = inProcessZvx(levelAnsweringHost());
  ASSERT_TRUE(zvx);
  RecordedMessages messages;
  std::vector<unsigned char> tooLong(400, 0), wrongBank(100, 0);
  AudioThreadCounts counted;
  std::thread([&] {
    AudioThreadScope audio;
    counted = countedDuring([&] {
      zvx->dispatch(effSetChunk, 1, static_cast<VstIntPtr>(tooLong.size()), tooLong.data());
      zvx->dispatch(effSetChunk, 0, static_cast<VstIntPtr>(wrongBank.size()), wrongBank.data());
    });
  }).join();
  expectNothingBlocking(counted);
  EXPECT_EQ(messages.shown(), std::vector<ShownOn>{});
  // The next idle shows both, in the order raised, on its own thread; later calls nothing more.
  zvx->dispatch(effEditIdle);
  const auto me = std::this_thread::get_id();
  const std::vector<ShownOn> expected = {{"Can't load preset, wrong file size!", me},
                                         {"Can't load bank, wrong file size!", me}};
  EXPECT_EQ(messages.shown(), expected);
  zvx->dispatch(effEditIdle);
  EXPECT_EQ(messages.shown(), expected);
  // A call from a thread that is not real-time shows them too.
  std::thread([&] {
    AudioThreadScope audio;
    zvx->dispatch(effSetChunk, 0, static_cast<VstIntPtr>(wrongBank.size()), wrongBank.data());
  }).join();
  zvx->dispatch(effGetProgram);
  EXPECT_EQ(messages.shown().size(), 3u);
}

TEST(RealtimeMessagesTest, QueueKeepsWhatFitsInOrderAndDropsTheRest) {
  RecordedMessages messages;
  MessageQueue queue;
  std::vector<std::string> texts;
  for (std::size_t i = 0; i < MessageQueue::kCapacity + 3; ++i) texts.push_back(std::to_string(i) + std::string(300, 'x'));
  std::vector<bool> kept(texts.size());
  const AudioThreadCounts counted = countedDuring([&] {
    AudioThreadScope audio;
    for (std::size_t i = 0; i < texts.size(); ++i) kept[i] = queue.keep(texts[i], "caption");
  });
  expectNothingBlocking(counted);
  for (std::size_t i = 0; i < kept.size(); ++i) EXPECT_EQ(kept[i], i < MessageQueue::kCapacity) << i;
  queue.showWaiting();
  const std::vector<ShownOn> shown = messages.shown();
  ASSERT_EQ(shown.size(), MessageQueue::kCapacity);
  for (std::size_t i = 0; i < shown.size(); ++i)  // in order, cut to fit
    EXPECT_EQ(shown[i].text, texts[i].substr(0, MessageQueue::kTextSize - 1)) << i;
  EXPECT_TRUE(queue.empty());
}

}  // namespace
}  // namespace zvx::test
