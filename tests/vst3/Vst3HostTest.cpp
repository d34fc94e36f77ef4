// The test host's own objects, where a fault would let a plug-in test pass on
// wrong results: reference counts, recorded handler calls, full queues.
#include "tests/vst3/Vst3TestSupport.h"

namespace zvx::test {
namespace {

using namespace vst3host;

TEST(Vst3HostTest, ObjectsCountTheirReferencesAndTheHandlerRecordsCalls) {
  auto frame = make<PlugFrame>();
  auto asFrame = query<vst3::IPlugFrame>(frame.get());
  auto asUnknown = query<vst3::FUnknown>(query<vst3::IRunLoop>(frame.get()).get());
  ASSERT_TRUE(asFrame && asUnknown);
  EXPECT_FALSE(query<vst3::IBStream>(frame.get()));
  EXPECT_EQ(frame->references(), 3u);
  asFrame.reset();
  asUnknown.reset();
  EXPECT_EQ(frame->references(), 1u);

  auto handler = make<ComponentHandler>();
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
}

TEST(Vst3HostTest, QueuesKeepPointsInOrderAndFlagWhatDoesNotFit) {
  auto changes = make<ParameterChanges>(2, 3);
  vst3::int32 index = -1;
  vst3::IParamValueQueue* queue = changes->addParameterData(7, index);
  ASSERT_NE(queue, nullptr);
  EXPECT_EQ(changes->addParameterData(7, index), queue);
  for (const auto& [offset, value] : std::vector<std::pair<int, double>>{{10, 0.5}, {2, 0.1}, {10, 0.7}, {5, 0.3}})
    EXPECT_EQ(queue->addPoint(offset, value, index), vst3::kResultOk);  // the same offset twice: replaced
  EXPECT_NE(queue->addPoint(6, 0.3, index), vst3::kResultOk);
  vst3::int32 offset = 0;
  vst3::ParamValue value = 0;
  std::vector<std::pair<int, double>> points;
  for (vst3::int32 p = 0; p < 8 && queue->getPoint(p, offset, value) == vst3::kResultOk; ++p) points.emplace_back(offset, value);
  EXPECT_EQ(points, (std::vector<std::pair<int, double>>{{2, 0.1}, {5, 0.3}, {10, 0.7}}));
  EXPECT_NE(changes->addParameterData(8, index), nullptr);
  EXPECT_EQ(changes->addParameterData(9, index), nullptr);
  EXPECT_TRUE(changes->overflowed());
  changes->clear();
  EXPECT_FALSE(changes->overflowed());
  // The host's own filling makes room.
  for (int i = 0; i < 10; ++i) EXPECT_TRUE(changes->add(static_cast<vst3::ParamID>(i), i, 0.5));
  EXPECT_EQ(changes->getParameterCount(), 10);

}

}  // namespace
}  // namespace zvx::test
