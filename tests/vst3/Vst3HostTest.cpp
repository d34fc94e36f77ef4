// The test host's own objects, on their own: what the plug-in tests rely on
// them to do (counting, streams, queues, event lists, the run loop, text).
#include <unistd.h>

#include "tests/vst3/Vst3TestSupport.h"

namespace zvx::test {
namespace {

using namespace vst3host;

TEST(Vst3HostTest, ObjectsAnswerForTheirInterfacesAndCountTheirReferences) {
  auto frame = make<PlugFrame>();
  EXPECT_EQ(frame->references(), 1u);
  auto asFrame = query<vst3::IPlugFrame>(frame.get());
  auto asLoop = query<vst3::IRunLoop>(frame.get());
  auto asUnknown = query<vst3::FUnknown>(asLoop.get());
  ASSERT_TRUE(asFrame && asLoop && asUnknown);
  EXPECT_EQ(static_cast<void*>(asFrame.get()), static_cast<void*>(frame.get()));
  EXPECT_EQ(asUnknown.get(), query<vst3::FUnknown>(asFrame.get()).get());
  EXPECT_FALSE(query<vst3::IBStream>(frame.get()));
  EXPECT_EQ(frame->references(), 4u);
  asFrame.reset();
  asLoop.reset();
  asUnknown.reset();
  EXPECT_EQ(frame->references(), 1u);

  auto handler = make<ComponentHandler>();
  EXPECT_TRUE(query<vst3::IUnitHandler>(handler.get()));
  EXPECT_FALSE(query<vst3::IRunLoop>(handler.get()));
  handler->beginEdit(3);
  handler->performEdit(3, 0.25);
  handler->endEdit(3);
  handler->restartComponent(vst3::kParamValuesChanged | vst3::kLatencyChanged);
  EXPECT_TRUE(handler->restartedWith(vst3::kParamValuesChanged));
  EXPECT_FALSE(handler->restartedWith(vst3::kIoChanged));
  const auto calls = handler->take();
  ASSERT_EQ(calls.size(), 4u);
  EXPECT_EQ(calls[1].kind, ComponentHandler::Kind::PerformEdit);
  EXPECT_EQ(calls[1].value, 0.25);
  EXPECT_TRUE(handler->calls().empty());

  auto host = make<HostApplication>();
  vst3::String128 name{};
  EXPECT_EQ(host->getName(name), vst3::kResultOk);
  EXPECT_EQ(toUtf8(name), "ZVX test host");
}

TEST(Vst3HostTest, MemoryStreamReadsWritesAndSeeksAsAFile) {
  auto stream = make<MemoryStream>(std::vector<std::uint8_t>{1, 2, 3, 4, 5});
  std::uint8_t buffer[8] = {};
  vst3::int32 read = -1;
  EXPECT_EQ(stream->read(buffer, 3, &read), vst3::kResultOk);
  EXPECT_EQ(read, 3);
  EXPECT_EQ(buffer[2], 3);
  EXPECT_EQ(stream->read(buffer, 8, &read), vst3::kResultOk);
  EXPECT_EQ(read, 2);
  EXPECT_EQ(stream->read(buffer, 8, &read), vst3::kResultOk);
  EXPECT_EQ(read, 0);
  vst3::int64 at = -1;
  EXPECT_EQ(stream->seek(-2, vst3::IBStream::kIBSeekEnd, &at), vst3::kResultOk);
  EXPECT_EQ(at, 3);
  EXPECT_NE(stream->seek(-4, vst3::IBStream::kIBSeekCur, &at), vst3::kResultOk);
  std::uint8_t more[] = {9, 9, 9};
  vst3::int32 written = 0;
  EXPECT_EQ(stream->write(more, 3, &written), vst3::kResultOk);
  EXPECT_EQ(written, 3);
  EXPECT_EQ(stream->bytes(), (std::vector<std::uint8_t>{1, 2, 3, 9, 9, 9}));
  EXPECT_EQ(stream->tell(&at), vst3::kResultOk);
  EXPECT_EQ(at, 6);
  EXPECT_NE(stream->read(buffer, -1, &read), vst3::kResultOk);
}

TEST(Vst3HostTest, QueuesKeepPointsInOrderAndRefuseWhatDoesNotFit) {
  auto changes = make<ParameterChanges>(2, 3);
  vst3::int32 index = -1;
  vst3::IParamValueQueue* queue = changes->addParameterData(7, index);
  ASSERT_NE(queue, nullptr);
  EXPECT_EQ(index, 0);
  EXPECT_EQ(changes->addParameterData(7, index), queue);
  EXPECT_EQ(queue->addPoint(10, 0.5, index), vst3::kResultOk);
  EXPECT_EQ(queue->addPoint(2, 0.1, index), vst3::kResultOk);
  EXPECT_EQ(index, 0);
  EXPECT_EQ(queue->addPoint(10, 0.7, index), vst3::kResultOk);  // the same offset: replaced
  EXPECT_EQ(queue->getPointCount(), 2);
  EXPECT_EQ(queue->addPoint(5, 0.3, index), vst3::kResultOk);
  EXPECT_NE(queue->addPoint(6, 0.3, index), vst3::kResultOk);  // no room
  vst3::int32 offset = 0;
  vst3::ParamValue value = 0;
  std::vector<std::pair<int, double>> points;
  for (vst3::int32 p = 0; p < queue->getPointCount(); ++p) {
    ASSERT_EQ(queue->getPoint(p, offset, value), vst3::kResultOk);
    points.emplace_back(offset, value);
  }
  EXPECT_EQ(points, (std::vector<std::pair<int, double>>{{2, 0.1}, {5, 0.3}, {10, 0.7}}));
  EXPECT_NE(queue->getPoint(3, offset, value), vst3::kResultOk);
  EXPECT_NE(changes->addParameterData(8, index), nullptr);
  EXPECT_EQ(changes->addParameterData(9, index), nullptr);
  EXPECT_TRUE(changes->overflowed());
  changes->clear();
  EXPECT_EQ(changes->getParameterCount(), 0);
  EXPECT_FALSE(changes->overflowed());
  // The host's own filling makes room.
  for (int i = 0; i < 10; ++i) EXPECT_TRUE(changes->add(static_cast<vst3::ParamID>(i), i, 0.5));
  EXPECT_EQ(changes->getParameterCount(), 10);

  auto events = make<EventList>(1);
  vst3::Event event{};
  event.sampleOffset = 4;
  EXPECT_EQ(events->addEvent(event), vst3::kResultOk);
  EXPECT_NE(events->addEvent(event), vst3::kResultOk);
  EXPECT_TRUE(events->overflowed());
  vst3::Event back{};
  EXPECT_EQ(events->getEvent(0, back), vst3::kResultOk);
  EXPECT_EQ(back.sampleOffset, 4);
  EXPECT_NE(events->getEvent(1, back), vst3::kResultOk);
}

class Timer final : public HostObject<vst3::ITimerHandler> {
 public:
  void ZVX_VST3_API onTimer() override { ++calls; }
  int calls = 0;
};

class Reader final : public HostObject<vst3::IEventHandler> {
 public:
  void ZVX_VST3_API onFDIsSet(int fd) override {
    char byte = 0;
    if (::read(fd, &byte, 1) == 1) ++calls;
  }
  int calls = 0;
};

TEST(Vst3HostTest, RunLoopServesDueTimersAndReadableDescriptors) {
  auto frame = make<PlugFrame>();
  auto fast = make<Timer>();
  auto slow = make<Timer>();
  EXPECT_EQ(frame->registerTimer(fast.get(), 10), vst3::kResultOk);
  EXPECT_EQ(frame->registerTimer(slow.get(), 100000), vst3::kResultOk);
  EXPECT_EQ(fast->references(), 2u);
  EXPECT_EQ(frame->tick(), 0);  // nothing due yet
  frame->run(std::chrono::milliseconds(60));
  EXPECT_GE(fast->calls, 3);
  EXPECT_EQ(slow->calls, 0);

  int pipeEnds[2];
  ASSERT_EQ(::pipe(pipeEnds), 0);
  auto reader = make<Reader>();
  EXPECT_EQ(frame->registerEventHandler(reader.get(), pipeEnds[0]), vst3::kResultOk);
  frame->tick();
  EXPECT_EQ(reader->calls, 0);
  ASSERT_EQ(::write(pipeEnds[1], "x", 1), 1);
  frame->tick();
  EXPECT_EQ(reader->calls, 1);

  EXPECT_EQ(frame->unregisterTimer(fast.get()), vst3::kResultOk);
  EXPECT_NE(frame->unregisterTimer(fast.get()), vst3::kResultOk);
  EXPECT_EQ(frame->unregisterEventHandler(reader.get()), vst3::kResultOk);
  EXPECT_EQ(fast->references(), 1u);
  EXPECT_EQ(reader->references(), 1u);
  EXPECT_EQ(frame->timerCount(), 1u);
  EXPECT_EQ(frame->eventHandlerCount(), 0u);
  ::close(pipeEnds[0]);
  ::close(pipeEnds[1]);
}

TEST(Vst3HostTest, TextRoundTripsThroughUtf16) {
  vst3::String128 text{};
  fromUtf8("Hi-hat \xC3\xA9\xF0\x9F\xA5\x81", text);  // an e with an accent, a drum outside the basic plane
  EXPECT_EQ(text[7], u'\u00E9');
  EXPECT_EQ(toUtf8(text), "Hi-hat \xC3\xA9\xF0\x9F\xA5\x81");
  vst3::char16 small[4];
  fromUtf8("abcdef", small, 4);
  EXPECT_EQ(toUtf8(small, 4), "abc");
}

}  // namespace
}  // namespace zvx::test
