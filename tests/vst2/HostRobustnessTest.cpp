// What zvx-validate found, here also under the sanitizers: questions about
// parameters that do not exist, chunks not of our making, voices and settings
// that overflow or underflow.
#include "engine/Parameters.h"
#include "tests/support/TestSupport.h"

namespace zvx::test {
namespace {

// The pads take setParameter past the table, yet are no parameters to a host.
TEST(HostRobustnessTest, PadIndexesAreNoParametersToAHost) {
  auto zvx = createZvx();
  VstParameterProperties props{};
  char text[] = "0.5";
  for (int pad = param::kFirstPad; pad < param::kFirstPad + 4; ++pad) {
    EXPECT_EQ(zvx->dispatch(effCanBeAutomated, pad), 0) << pad;
    EXPECT_EQ(zvx->dispatch(effGetParameterProperties, pad, 0, &props), 0) << pad;
    EXPECT_EQ(zvx->dispatch(effString2Parameter, pad, 0, text), 0) << pad;
  }
}

void putFloat(Bytes& bytes, std::size_t offset, float value) {
  std::memcpy(bytes.data() + offset, &value, 4);
}

bool allFinite(const std::vector<Channel>& channels) {
  for (const Channel& channel : channels)
    for (float sample : channel)
      if (!std::isfinite(sample)) return false;
  return true;
}

constexpr std::size_t kProgramsOffset = kNumParameters * 36, kProgramSize = 356;

// Where a value sits in a bank chunk: a parameter record's or a program's.
std::size_t recordValue(int parameter) { return 36 * static_cast<std::size_t>(parameter) + 4; }
std::size_t programValue(int program, int parameter) {
  return kProgramsOffset + kProgramSize * static_cast<std::size_t>(program) + 24 + 4 * static_cast<std::size_t>(parameter);
}

TEST(HostRobustnessTest, ChunksWithNonFiniteValuesKeepEverythingElse) {
  auto zvx = startZvx();
  Bytes bank = chunkOf(*zvx, 0);
  // A session's edits: a renamed program, values off the defaults, Volume unclamped above 1.
  std::memcpy(bank.data() + kProgramsOffset + kProgramSize * 3, "Kept kit", 9);
  for (int program = 0; program < 128; ++program)
    putFloat(bank, programValue(program, param::kBDDecay), 0.001f * static_cast<float>(program));
  bank[36 * param::kVolume + 1] = 1;
  putFloat(bank, programValue(7, param::kVolume), 1.25f);

  // Each non-finite value becomes what the setter makes of it, or the default.
  const float nan = std::nanf(""), inf = INFINITY;
  struct Poison {
    std::size_t offset;
    float value, becomes;
  };
  const auto poisoned = [](Bytes chunk, const std::vector<Poison>& poisons) {
    Bytes expected = chunk;
    for (const Poison& p : poisons) putFloat(chunk, p.offset, p.value), putFloat(expected, p.offset, p.becomes);
    return std::pair{chunk, expected};
  };
  const auto [badBank, bankAfter] = poisoned(bank, {
      {programValue(0, param::kBDTone), nan, 0.0f},    {programValue(5, param::kSDDecay), inf, 1.0f},
      {programValue(9, param::kHHPitch), -inf, 0.0f},  {programValue(0, param::kVolume), nan, 0.5f},
      {programValue(127, param::kVolume), -inf, 0.5f}, {recordValue(param::kBDChance), inf, 1.0f},
      {recordValue(param::kVolume), -nan, 0.5f}});
  MessageCapture capture;
  EXPECT_EQ(setChunk(*zvx, badBank, 0), 1);
  EXPECT_EQ(chunkOf(*zvx, 0), bankAfter);
  const auto out = zvx->render(8192, 512, {noteOn(0, 36), noteOn(0, 38)});
  EXPECT_TRUE(allFinite(out));
  EXPECT_GT(peak(out[0]), 0.01f);

  // A program chunk alike: its name and other values kept.
  Bytes preset = chunkOf(*zvx, 1);
  std::memcpy(preset.data(), "Snare stack", 12);
  const auto [badPreset, presetAfter] =
      poisoned(preset, {{24 + 4 * param::kBDDecay, -nan, 0.0f}, {24 + 4 * param::kCPGain, inf, 1.0f}});
  setChunk(*zvx, badPreset, 1);
  EXPECT_EQ(chunkOf(*zvx, 1), presetAfter);
  EXPECT_EQ(capture.messages(), std::vector<ShownMessage>{});
}

// One hit of the bass drum's layer alone: no random source, so instances at rest agree.
Channel bassDrumHit(vsthost::Plugin& zvx) {
  zvx.setParameter(param::kBDMix, 1.0f);  // the layer alone
  return zvx.render(4096, 512, {noteOn(0, 35)})[2];
}

TEST(HostRobustnessTest, ExtremeUnclampedValuesAreHeldWhereTheEngineSurvivesAndTheSoundComesBack) {
  auto zvx = startZvx();
  const Bytes original = chunkOf(*zvx, 0);
  for (float extreme : {3e38f, -1e30f, 1e30f}) {
    SCOPED_TRACE(extreme);
    // Every record unclamped, every value extreme.
    Bytes bank = original;
    for (int p = 0; p < kNumParameters; ++p) {
      bank[36 * static_cast<std::size_t>(p) + 1] = 1;
      putFloat(bank, recordValue(p), extreme);
      for (int program = 0; program < 128; ++program) putFloat(bank, programValue(program, p), extreme);
    }
    setChunk(*zvx, bank, 0);
    for (int p = 0; p < kNumParameters; ++p)
      EXPECT_TRUE(zvx->getParameter(p) >= -2.0f && zvx->getParameter(p) <= 3.0f) << p << ": " << zvx->getParameter(p);
    EXPECT_TRUE(allFinite(zvx->render(16384, 512, {noteOn(0, 36), noteOn(0, 38), noteOn(0, 42), noteOn(0, 39)})));
    // The session's own bank again: the sound is back, as on a fresh instance.
    setChunk(*zvx, original, 0);
    auto fresh = startZvx();
    EXPECT_EQ(bassDrumHit(*zvx), bassDrumHit(*fresh));
  }
}

TEST(HostRobustnessTest, AVoiceWhoseStateIsNoNumberStartsAgainFromRestAndTinySettingsLeaveNoSubnormals) {
  // The smallest rate there is, for a moment: every step overflows.
  auto zvx = startZvx();
  zvx->dispatch(effSetSampleRate, 0, 0, nullptr, std::numeric_limits<float>::denorm_min());
  zvx->config().sampleRate = 0;  // and then answers nothing
  EXPECT_TRUE(allFinite(zvx->render(4096, 512, {noteOn(0, 35), noteOn(0, 42)})));
  zvx->dispatch(effSetSampleRate, 0, 0, nullptr, 44100.0f);
  zvx->config().sampleRate = 44100;
  zvx->render(44100 * 5, 4096);  // the voices end, the engine sleeps
  auto fresh = startZvx();
  EXPECT_EQ(bassDrumHit(*zvx), bassDrumHit(*fresh));

  // A normal volume times a sample may be subnormal: none may come out.
  zvx = startZvx({{param::kVolume, 2e-38f}});
  const auto out = zvx->render(16384, 256, {noteOn(0, 36), noteOn(0, 38), noteOn(0, 42), noteOn(0, 39)});
  long subnormal = 0;
  for (const Channel& channel : out)
    for (float sample : channel) subnormal += std::fpclassify(sample) == FP_SUBNORMAL;
  EXPECT_EQ(subnormal, 0);
  EXPECT_GT(peak(out[2]), 0.0f);  // the single voices still play
}

}  // namespace
}  // namespace zvx::test
