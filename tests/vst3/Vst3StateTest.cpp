// The component's state: a header of its own ('ZVXS', version, current
// program, chunk size) and the very bank chunk the VST 2.4 module saves, so a
// session moves between the two formats either way. Restored into a fresh
// instance it plays the same; a state that is not whole, or not ours, is
// refused and changes nothing.
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
    auto probe = startVst3();
    ASSERT_TRUE(probe);
    ASSERT_TRUE(probe->programParameter()) << "no parameter flagged kIsProgramChange";
    programParameter_ = *probe->programParameter();
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
  static std::vector<float> values(vst3host::Plugin& vst3) {
    std::vector<float> all;
    for (int p = 0; p < kNumParameters; ++p) all.push_back(static_cast<float>(vst3.parameter(idOf(p))));
    return all;
  }
  static std::vector<float> values(vsthost::Plugin& vst2) {
    std::vector<float> all;
    for (int p = 0; p < kNumParameters; ++p) all.push_back(vst2.getParameter(p));
    return all;
  }

  TempDocuments documents_;
  vst3::ParamID programParameter_ = 0;
  const std::vector<VstMidiEvent> groove_ = busyGroove(5, kFrames);
};

TEST_F(Vst3StateTest, HoldsTheVst2BankChunkAfterTheSameEdits) {
  auto vst3 = startVst3();
  ASSERT_TRUE(vst3);
  edit(*vst3);
  auto vst2 = startVst2();
  edit(*vst2);
  const auto state = vst3->state();
  ASSERT_TRUE(state);
  const std::vector<std::uint8_t> chunk = chunkOf(*vst2, 0);
  ASSERT_EQ(chunk.size(), BankImage::kSize);
  ASSERT_EQ(state->size(), StateHeader::kSize + chunk.size());
  const std::vector<std::uint8_t> expected = wrapState(kProgram, chunk);
  EXPECT_EQ(std::vector<std::uint8_t>(state->begin(), state->begin() + StateHeader::kSize),
            std::vector<std::uint8_t>(expected.begin(), expected.begin() + StateHeader::kSize))
      << "not 'ZVXS', version 1, program " << kProgram << ", size " << chunk.size();
  EXPECT_TRUE(std::equal(chunk.begin(), chunk.end(), state->begin() + StateHeader::kSize))
      << "the state's chunk is not the VST 2.4 module's";
}

// Restored into a fresh instance (the component, then the controller told, as hosts restore a session),
// the state plays and shows what the instance that saved it did; the host hears of the new values.
TEST_F(Vst3StateTest, RestoresIntoAFreshInstance) {
  auto saved = startVst3();
  ASSERT_TRUE(saved);
  edit(*saved);
  const auto state = saved->state();
  ASSERT_TRUE(state);

  auto fresh = startVst3();
  ASSERT_TRUE(fresh);
  fresh->handler().take();
  ASSERT_EQ(fresh->setState(*state), vst3::kResultOk);
  EXPECT_TRUE(fresh->handler().restartedWith(vst3::kParamValuesChanged));
  EXPECT_EQ(values(*fresh), values(*saved));
  EXPECT_EQ(fresh->parameter(programParameter_), kProgram / 127.0);
  EXPECT_EQ(fresh->state(), state);

  auto vst2 = startVst2();
  edit(*vst2);
  const std::vector<Channel> expected = renderVst2(*vst2, kFrames, 512, groove_);
  EXPECT_NE(differences(expected, renderVst2(*startVst2(), kFrames, 512, groove_)), "");
  EXPECT_EQ(differences(renderVst3(*fresh, kFrames, {512}, groove_), expected), "");
}

// A bank chunk the VST 2.4 module saved, headed as a VST 3 state, loads into the VST 3 plug-in and plays
// as it did there; the VST 3 plug-in's chunk and program load into the VST 2.4 module (effSetChunk, then
// effSetProgram, as its hosts restore) and play as they did in VST 3.
TEST_F(Vst3StateTest, MovesBetweenTheFormatsEitherWay) {
  {
    auto vst2 = startVst2();
    vst2->dispatch(effSetProgram, 0, 12);
    vst2->setParameter(param::kSDTone, 0.9f);
    vst2->setParameter(param::kCPMix, 0.6f);
    const std::vector<std::uint8_t> chunk = chunkOf(*vst2, 0);
    const std::vector<Channel> expected = renderVst2(*vst2, kFrames, 512, groove_);
    auto vst3 = startVst3();
    ASSERT_TRUE(vst3);
    ASSERT_EQ(vst3->setState(wrapState(12, chunk)), vst3::kResultOk);
    EXPECT_EQ(vst3->parameter(idOf(param::kSDTone)), normalized(0.9f));
    EXPECT_EQ(differences(renderVst3(*vst3, kFrames, {512}, groove_), expected), "") << "a VST 2.4 chunk in VST 3";
  }
  {
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
    EXPECT_EQ(differences(renderVst2(*vst2, kFrames, 512, groove_), expected), "") << "a VST 3 state in VST 2.4";
  }
}

// Every state that is not a whole ZVX state is refused, and the instrument keeps its values, its state
// and its sound: nothing, a cut header, another magic or version, a program beyond the bank, a chunk of
// the wrong size (said so or not), a size that runs past the end or is absurdly large.
TEST_F(Vst3StateTest, RefusesStatesThatAreNotWholeAndKeepsWhatItHad) {
  auto vst2 = startVst2();
  const std::vector<std::uint8_t> chunk = chunkOf(*vst2, 0);
  ASSERT_EQ(chunk.size(), BankImage::kSize);
  std::vector<std::uint8_t> otherChunk = chunk;
  otherChunk[BankImage::kProgramsOffset + 24] ^= 0x40;  // a value of program 0 that loads if the chunk is taken

  const std::vector<std::uint8_t> whole = wrapState(3, otherChunk);
  std::vector<std::pair<std::string, std::vector<std::uint8_t>>> corrupt = {
      {"empty", {}},
      {"three bytes", {'Z', 'V', 'X'}},
      {"the header alone", std::vector<std::uint8_t>(whole.begin(), whole.begin() + 16)},
      {"the header cut", std::vector<std::uint8_t>(whole.begin(), whole.begin() + 15)},
      {"another magic", wrapState(3, otherChunk, 1, "ZVXs")},
      {"a bank file's magic", wrapState(3, otherChunk, 1, "CcnK")},
      {"version 0", wrapState(3, otherChunk, 0)},
      {"version 2", wrapState(3, otherChunk, 2)},
      {"program -1", wrapState(-1, otherChunk)},
      {"program 128", wrapState(128, otherChunk)},
      {"a chunk a byte short", wrapState(3, std::vector<std::uint8_t>(otherChunk.begin(), otherChunk.end() - 1))},
      {"a chunk a byte long", [&] {
         auto longer = otherChunk;
         longer.push_back(0);
         return wrapState(3, longer);
       }()},
      {"a program chunk", wrapState(3, std::vector<std::uint8_t>(otherChunk.begin() + BankImage::kProgramsOffset,
                                                                 otherChunk.begin() + BankImage::kProgramsOffset +
                                                                     BankImage::kProgramRecordSize))},
      {"the chunk cut short", std::vector<std::uint8_t>(whole.begin(), whole.end() - 1)},
      {"the chunk cut in half", std::vector<std::uint8_t>(whole.begin(), whole.begin() + whole.size() / 2)},
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
  const std::vector<float> valuesBefore = values(*vst3);
  for (const auto& [name, bytes] : corrupt) {
    SCOPED_TRACE(name);
    EXPECT_NE(vst3->setState(bytes), vst3::kResultOk);
    EXPECT_EQ(vst3->state(), before);
    EXPECT_EQ(values(*vst3), valuesBefore);
    EXPECT_EQ(vst3->parameter(programParameter_), kProgram / 127.0);
  }
  // The whole state loads (the corrupt ones were refused for what is wrong with them).
  auto other = startVst3();
  ASSERT_TRUE(other);
  EXPECT_EQ(other->setState(whole), vst3::kResultOk);
  EXPECT_NE(other->state(), before);

  auto twin = startVst2();
  edit(*twin);
  EXPECT_EQ(differences(renderVst3(*vst3, kFrames, {512}, groove_), renderVst2(*twin, kFrames, 512, groove_)), "");
}

// Hosts restore sessions and presets from their own thread while the audio thread processes: the
// plug-in plays on through every restore, and holds the last state restored once the next block has
// run. The thread sanitizer's run of this test finds any race between the two.
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
                                         for (int i = 0; i < length; ++i)
                                           if (!std::isfinite(channel[i])) return false;
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
    last = (restores * 37) % 128;
    EXPECT_EQ(vst3->setState(wrapState(last, chunk)), vst3::kResultOk);
    ++restores;
  }
  const long before = blocks.load();
  while (blocks.load() < before + 4 && !HasFailure()) std::this_thread::yield();
  stop.store(true);
  audio.join();
  EXPECT_GT(blocks.load(), 0);
  EXPECT_EQ(vst3->parameter(programParameter_), last / 127.0);
  auto vst2 = startVst2();
  vst2->dispatch(effSetProgram, 0, last);
  EXPECT_EQ(differentValues(shownValues(*vst3), shownValues(*vst2)), "");
}

}  // namespace
}  // namespace zvx::test
