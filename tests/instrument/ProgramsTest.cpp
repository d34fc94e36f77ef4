// Programs, banks and host state, through the module's dispatcher (round trips are zvx-validate's).

#include "engine/Parameters.h"
#include "storage/FxbFile.h"
#include "tests/support/TestSupport.h"

namespace zvx::test {
namespace {

constexpr std::int32_t kId = 0x39393664;
constexpr std::size_t kBankSize = 48556, kProgramSize = 356, kProgramsOffset = 2988;

// A bank image as the plug-in would hold it: its own chunk, renamed.
Bytes namedBank(const std::string& prefix) {
  auto zvx = createZvx();
  Bytes bank = chunkOf(*zvx, 0);
  for (int p = 0; p < 128; ++p) {
    char name[24] = {};
    std::snprintf(name, sizeof name, "%s %d", prefix.c_str(), p);
    std::memcpy(bank.data() + kProgramsOffset + p * kProgramSize, name, 24);
    float bdTone = static_cast<float>(p) / 127.0f;
    std::memcpy(bank.data() + kProgramsOffset + p * kProgramSize + 24 + 4 * param::kBDTone, &bdTone, 4);
  }
  return bank;
}

// Program p named "Regular p", its BDTone p / 200 and every other value 0.25.
Bytes regularBankOf(int programs, int parameters) {
  std::vector<HandProgram> list;
  for (int p = 0; p < programs; ++p) {
    list.push_back({"Regular " + std::to_string(p), std::vector<float>(static_cast<std::size_t>(parameters), 0.25f)});
    list.back().values[param::kBDTone] = static_cast<float>(p) / 200.0f;
  }
  return regularBank(kId, list);
}

TEST(ProgramsTest, DefaultBanksOfChunksOrValuesGiveTheirProgramsAndSkipWhatIsNoNumber) {
  TempDocuments docs;
  const Bytes image = namedBank("Chunk");
  docs.writeFile("default.fxb", FxbFile::chunkBank(kId, 1, 128, 0, image));
  MessageCapture capture;
  auto zvx = createZvx();
  EXPECT_TRUE(capture.messages().empty());
  EXPECT_EQ(zvx->programNameIndexed(127), "Chunk 127");
  EXPECT_EQ(zvx->programName(), "Chunk 0");
  EXPECT_EQ(chunkOf(*zvx, 0), image);

  // A regular bank: its values and names; more than we have are ignored.
  docs.writeFile("default.fxb", regularBankOf(130, 90));
  zvx = createZvx();
  EXPECT_EQ(zvx->programNameIndexed(5), "Regular 5");
  EXPECT_EQ(zvx->getParameter(param::kBDTone), 0.0f);  // program 0's BDTone
  zvx->dispatch(effSetProgram, 0, 100);
  EXPECT_FLOAT_EQ(zvx->getParameter(param::kBDTone), 0.5f);
  EXPECT_EQ(zvx->getParameter(param::kVolume), 0.25f);
  // A bank with fewer parameters leaves the rest at their defaults.
  docs.writeFile("default.fxb", regularBankOf(3, param::kBDMix));  // up to BDChance
  zvx = createZvx();
  EXPECT_EQ(zvx->getParameter(param::kBDChance), 0.25f);
  EXPECT_EQ(zvx->getParameter(param::kBDMix), 1.0f);  // its default
  EXPECT_EQ(zvx->programNameIndexed(3), "Init");
  // NaN and infinities in program 1 are taken as the setter takes them
  // (setChunk's own are HostRobustnessTest's).
  std::vector<HandProgram> programs(3, HandProgram{"Regular", std::vector<float>(kNumParameters, 0.25f)});
  programs[1].values[param::kBDTone] = std::nanf("");
  programs[1].values[param::kBDDecay] = INFINITY;
  programs[1].values[param::kBDPitch] = -INFINITY;
  docs.writeFile("default.fxb", regularBank(kId, programs));
  zvx.reset();
  MessageCapture quiet;
  zvx = createZvx();
  EXPECT_TRUE(quiet.messages().empty());
  zvx->dispatch(effSetProgram, 0, 1);
  EXPECT_EQ(std::make_tuple(zvx->getParameter(param::kBDTone), zvx->getParameter(param::kBDDecay),
                            zvx->getParameter(param::kBDPitch), zvx->getParameter(param::kBDPan)),
            std::make_tuple(0.0f, 1.0f, 0.0f, 0.25f));
}

TEST(ProgramsTest, DefaultBanksThatAreNoBankOrTooShortAreRefused) {
  TempDocuments docs;
  const Bytes good = FxbFile::chunkBank(kId, 1, 128, 0, namedBank("Good"));
  const Bytes regular = regularBankOf(4, kNumParameters);
  Bytes wrongMagic = good;
  wrongMagic[0] = 'X';
  Bytes shortImage = namedBank("Short");
  shortImage.pop_back();
  const ShownMessage notFxb{"none", "Preset loader", "Default bank error: not an fxb file"};
  const std::vector<std::tuple<const char*, Bytes, ShownMessage>> refused = {
      {"empty", {}, notFxb},
      {"chunk cut short", Bytes(good.begin(), good.end() - 1), notFxb},
      {"programs cut short", Bytes(regular.begin(), regular.end() - 3), notFxb},
      {"not CcnK", wrongMagic, notFxb},
      {"a preset", FxbFile::chunkPreset(kId, 1, kNumParameters, "p", Bytes(kProgramSize, 0)), notFxb},
      // A chunk one byte shorter than the bank image, in a file that holds it.
      {"image cut short", FxbFile::chunkBank(kId, 1, 128, 0, shortImage),
       {"none", "Error!", "Can't load bank, wrong file size!"}},
  };
  for (const auto& [what, bytes, message] : refused) {
    SCOPED_TRACE(what);
    docs.writeFile("default.fxb", bytes);
    MessageCapture capture;
    auto zvx = createZvx();
    EXPECT_EQ(capture.messages(), std::vector<ShownMessage>{message});
    EXPECT_EQ(zvx->programNameIndexed(0), "Init");
  }
}

// (Chunks of wrong sizes and indexes past the end are zvx-validate's G.corrupt and B.indexes.)
TEST(ProgramsTest, PresetChunksNamesCopiesAndBankRecordsThroughTheDispatcher) {
  auto zvx = createZvx();
  zvx->dispatch(effSetProgram, 0, 7);
  // A preset chunk replaces the whole current program, or only its name.
  Bytes record(kProgramSize, 0);
  std::strcpy(reinterpret_cast<char*>(record.data()), "Whole record");
  const float value = 0.125f;
  for (int i = 0; i < kNumParameters; ++i) std::memcpy(record.data() + 24 + 4 * i, &value, 4);
  EXPECT_EQ(setChunk(*zvx, record, 1), 1);
  EXPECT_EQ(zvx->programName(), "Whole record");
  EXPECT_EQ(zvx->getParameter(param::kHHPan), 0.125f);
  Bytes nameOnly(24, 0);
  std::strcpy(reinterpret_cast<char*>(nameOnly.data()), "Renamed");
  EXPECT_EQ(setChunk(*zvx, nameOnly, 1), 1);
  EXPECT_EQ(zvx->programName(), "Renamed");
  EXPECT_EQ(zvx->getParameter(param::kHHPan), 0.125f);
  EXPECT_EQ(zvx->dispatch(effGetProgram), 7);

  // Names are cut to 23 characters; a copy takes the name and the values.
  zvx->dispatch(effSetProgram, 0, 2);
  char longName[] = "A name far longer than twenty-three characters";
  zvx->dispatch(effSetProgramName, 0, 0, longName);
  EXPECT_EQ(zvx->programName(), "A name far longer than ");
  zvx->setParameter(param::kBDDecay, 0.9f);
  EXPECT_EQ(zvx->dispatch(effCopyProgram, 5), 1);
  EXPECT_EQ(zvx->dispatch(effGetProgram), 2);
  EXPECT_EQ(zvx->programNameIndexed(5), "A name far longer than ");
  zvx->dispatch(effSetProgram, 0, 5);
  EXPECT_FLOAT_EQ(zvx->getParameter(param::kBDDecay), 0.9f);

  // The bank chunk carries the parameter records: their names and clamping.
  Bytes bank = chunkOf(*zvx, 0);
  ASSERT_EQ(bank.size(), kBankSize);
  std::memcpy(bank.data() + 36 * param::kBDTone + 12, "Brightness\0", 11);  // the record's name
  bank[36 * param::kBDPan + 1] = 1;                                         // its record unclamped
  EXPECT_EQ(setChunk(*zvx, bank, 0), 1);
  EXPECT_EQ(zvx->parameterName(param::kBDTone), "Brightness");
  zvx->setParameter(param::kBDPan, 1.5f);
  EXPECT_EQ(zvx->getParameter(param::kBDPan), 1.5f);
}

TEST(ProgramsTest, SelectingTheCurrentProgramAgainReloadsItsSamples) {
  TempDocuments docs;
  docs.writeFile("BDA.wav", monoWav(std::vector<std::int16_t>(5000, 100)));
  auto zvx = createZvx();
  docs.writeFile("BDA.wav", monoWav(std::vector<std::int16_t>(5000, 20000)));
  zvx->dispatch(effSetProgram, 0, 0);
  zvx->start();
  EXPECT_GT(peak(zvx->render(2048, 512, {noteOn(0, 35)})[2], 0, 100), 0.1f);
}

}  // namespace
}  // namespace zvx::test
