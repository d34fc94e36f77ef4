// The component's state: a header ('ZVXS', version, program, chunk size) and
// the very bank chunk the VST 2.4 module saves, so sessions move either way.
#include "engine/Parameters.h"
#include "instrument/BankImage.h"
#include "tests/vst3/Vst3TestSupport.h"

namespace zvx::test {
namespace {

constexpr int kProgram = 7;
constexpr int kFrames = 2 * 44100;
constexpr int kDeliver = 64;  // a block that hands the edits to the processor

class Vst3StateTest : public testing::Test {
 protected:
  void SetUp() override {
    documents_.installDefaultData(ZVX_BUILT_DATA);
    programParameter_ = programParameter();
  }

  // The same edits through each format: a program chosen, then two of its values moved.
  void edit(vst3host::Plugin& vst3) {
    vst3.setParameter(programParameter_, kProgram / 127.0);
    vst3.setParameter(idOf(param::kHHDecay), normalized(0.77f));
    vst3.setParameter(idOf(param::kBDTone), normalized(0.2f));
    vst3.render(kDeliver, kDeliver);
  }
  static void edit(vsthost::Plugin& vst2) {
    vst2.dispatch(effSetProgram, 0, kProgram);
    vst2.setParameter(param::kHHDecay, 0.77f);
    vst2.setParameter(param::kBDTone, 0.2f);
    vst2.render(kDeliver, kDeliver);
  }

  TempDocuments documents_;
  vst3::ParamID programParameter_ = 0;
  const std::vector<VstMidiEvent> groove_ = busyGroove(5, kFrames);
};

// Saved after the same edits, the state is the header and the VST 2.4 module's bank chunk; restored
// into a fresh instance (component, then controller, as hosts do) it shows and plays the same.
TEST_F(Vst3StateTest, HoldsTheVst2BankChunkAndRestoresIntoAFreshInstance) {
  auto saved = startVst3();
  ASSERT_TRUE(saved);
  edit(*saved);
  auto vst2 = startVst2();
  edit(*vst2);
  const auto state = saved->state();
  ASSERT_TRUE(state);
  const std::vector<std::uint8_t> chunk = chunkOf(*vst2, 0);
  ASSERT_EQ(chunk.size(), BankImage::kSize);
  EXPECT_TRUE(*state == wrapState(kProgram, chunk)) << "not 'ZVXS', version 1, program " << kProgram
                                                    << " and the VST 2.4 module's chunk";

  auto fresh = startVst3();
  ASSERT_TRUE(fresh);
  fresh->handler().take();
  ASSERT_EQ(fresh->setState(*state), vst3::kResultOk);
  EXPECT_TRUE(fresh->handler().restartedWith(vst3::kParamValuesChanged));
  EXPECT_EQ(differentValues(shownValues(*fresh), shownValues(*saved)), "");
  EXPECT_EQ(fresh->parameter(programParameter_), kProgram / 127.0);
  EXPECT_EQ(fresh->state(), state);
  const std::vector<Channel> expected = renderVst2(*vst2, kFrames, 512, groove_);
  EXPECT_NE(differences(expected, renderVst2(*startVst2(), kFrames, 512, groove_)), "");
  EXPECT_EQ(differences(renderVst3(*fresh, kFrames, {512}, groove_), expected), "");
}

// A VST 3 state's chunk and program load into the VST 2.4 module (effSetChunk, then effSetProgram, as
// its hosts restore) and play as they did in VST 3.
TEST_F(Vst3StateTest, MovesIntoTheVst2Module) {
  auto vst3 = startVst3();
  ASSERT_TRUE(vst3);
  vst3->setParameter(programParameter_, 33 / 127.0);
  vst3->setParameter(idOf(param::kHHTone), normalized(0.1f));
  vst3->setParameter(idOf(param::kBDMenu), 1.0);
  vst3->setParameter(idOf(param::kBDMix), normalized(0.3f));
  const std::vector<Channel> expected = renderVst3(*vst3, kFrames, {512}, groove_);
  const auto state = vst3->state();
  ASSERT_TRUE(state);
  const auto unwrapped = unwrapState(*state);
  ASSERT_TRUE(unwrapped) << "the state has not the layout of a VST 3 state of ZVX";
  EXPECT_EQ(unwrapped->program, 33);
  auto vst2 = startVst2();
  ASSERT_EQ(setChunk(*vst2, unwrapped->chunk, 0), 1);
  vst2->dispatch(effSetProgram, 0, unwrapped->program);
  EXPECT_EQ(vst2->getParameter(param::kHHTone), 0.1f);
  EXPECT_EQ(differences(renderVst2(*vst2, kFrames, 512, groove_), expected), "");
}

// Every state that is not a whole ZVX state is refused, and the instrument keeps its values, state and sound.
TEST_F(Vst3StateTest, RefusesStatesThatAreNotWholeAndKeepsWhatItHad) {
  std::vector<std::uint8_t> chunk = chunkOf(*startVst2(), 0);
  ASSERT_EQ(chunk.size(), BankImage::kSize);
  chunk[BankImage::kProgramsOffset + 24] ^= 0x40;  // a value of program 0 that loads if the chunk is taken
  const std::vector<std::uint8_t> whole = wrapState(3, chunk);
  const auto cut = [&](std::size_t size) { return std::vector<std::uint8_t>(whole.begin(), whole.begin() + size); };
  std::vector<std::pair<std::string, std::vector<std::uint8_t>>> corrupt = {
      {"empty", {}},
      {"the header alone", cut(kStateHeaderSize)},
      {"the header cut", cut(kStateHeaderSize - 1)},
      {"the chunk cut short", cut(whole.size() - 1)},
      {"a bank file's magic", wrapState(3, chunk, 1, "CcnK")},
      {"version 0", wrapState(3, chunk, 0)},
      {"version 2", wrapState(3, chunk, 2)},
      {"program -1", wrapState(-1, chunk)},
      {"program 128", wrapState(128, chunk)},
      {"a chunk a byte short", wrapState(3, std::vector<std::uint8_t>(chunk.begin(), chunk.end() - 1))},
      {"a chunk a byte long", wrapState(3, [&] {
         auto longer = chunk;
         longer.push_back(0);
         return longer;
       }())},
      {"a program chunk", wrapState(3, std::vector<std::uint8_t>(chunk.begin() + BankImage::kProgramsOffset,
                                                                 chunk.begin() + BankImage::kProgramsOffset +
                                                                     BankImage::kProgramRecordSize))},
  };
  for (std::uint32_t size : {0xFFFFFFFFu, 0x7FFFFFFFu, static_cast<std::uint32_t>(BankImage::kSize) + 1u, 0u}) {
    auto lying = whole;
    for (int b = 0; b < 4; ++b) lying[12 + static_cast<std::size_t>(b)] = static_cast<std::uint8_t>(size >> (8 * b));
    corrupt.emplace_back("a size field of " + std::to_string(size), lying);
  }

  auto vst3 = startVst3();
  ASSERT_TRUE(vst3);
  edit(*vst3);
  const auto before = vst3->state();
  ASSERT_TRUE(before);
  const std::vector<vst3::ParamValue> valuesBefore = shownValues(*vst3);
  for (const auto& [name, bytes] : corrupt) {
    SCOPED_TRACE(name);
    EXPECT_NE(vst3->setState(bytes), vst3::kResultOk);
    EXPECT_EQ(vst3->state(), before);
    EXPECT_EQ(differentValues(shownValues(*vst3), valuesBefore), "");
    EXPECT_EQ(vst3->parameter(programParameter_), kProgram / 127.0);
  }
  // They were refused for what is wrong with them: the whole state loads.
  auto other = startVst3();
  ASSERT_TRUE(other);
  EXPECT_EQ(other->setState(whole), vst3::kResultOk);
  EXPECT_NE(other->state(), before);

  auto twin = startVst2();
  edit(*twin);
  EXPECT_EQ(differences(renderVst3(*vst3, kFrames, {512}, groove_), renderVst2(*twin, kFrames, 512, groove_)), "");
}

// Hosts restore sessions from their own thread while the audio thread processes: the plug-in plays on
// through every restore and holds the last one once the next block has run. The thread sanitizer's run
// of this test finds any race between the two.
TEST_F(Vst3StateTest, RestoresWhileProcessing) {
  auto vst3 = startVst3(44100.0, 64);
  ASSERT_TRUE(vst3);
  const std::vector<std::uint8_t> chunk = chunkOf(*startVst2(), 0);
  std::atomic<bool> stop{false};
  std::atomic<long> blocks{0};
  std::thread audio([&] {
    const std::vector<VstMidiEvent> hits = {noteOn(0, 36), noteOn(10, 38), noteOn(20, 42), noteOn(30, 39)};
    while (!stop.load()) {
      const bool played = vst3->play(64, 64, timed(blocks.load() % 50 == 0 ? hits : std::vector<VstMidiEvent>{}),
                                     [](const std::vector<float*>& outputs, std::int64_t, int length) {
                                       for (float* channel : outputs)
                                         if (!std::all_of(channel, channel + length, [](float s) { return std::isfinite(s); }))
                                           return false;
                                       return true;
                                     });
      EXPECT_TRUE(played) << "a block was not written whole, or not finite";
      if (!played) return;
      blocks.fetch_add(1);
    }
  });
  const auto deadline = std::chrono::steady_clock::now() + stressDuration();
  int restores = 0, last = 0;
  while (std::chrono::steady_clock::now() < deadline || restores < 20) {
    last = (restores++ * 37) % 128;
    EXPECT_EQ(vst3->setState(wrapState(last, chunk)), vst3::kResultOk);
  }
  const long before = blocks.load();
  while (blocks.load() < before + 4 && !HasFailure()) std::this_thread::yield();
  stop.store(true);
  audio.join();
  EXPECT_EQ(vst3->parameter(programParameter_), last / 127.0);
  auto vst2 = startVst2();
  vst2->dispatch(effSetProgram, 0, last);
  EXPECT_EQ(differentValues(shownValues(*vst3), shownValues(*vst2)), "");
}

}  // namespace
}  // namespace zvx::test
