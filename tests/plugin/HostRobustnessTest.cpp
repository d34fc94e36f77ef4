// What zvx-validate found and the module now does right: parameter questions
// about parameters that do not exist, chunks that could not have come from
// us, subnormal output, and texts under a host locale with a decimal comma.
#include <sys/wait.h>
#include <unistd.h>

#include <climits>
#include <clocale>

#include "engine/Parameters.h"
#include "host/gui/CParamDisplay.h"
#include "tests/support/TestSupport.h"
#include "tools/testhost/HeadlessEditor.h"

namespace zvx::test {
namespace {

namespace fs = std::filesystem;

TEST(HostRobustnessTest, QuestionsAboutParametersThatDoNotExistAnswerZero) {
  auto zvx = createZvx();
  ASSERT_TRUE(zvx);
  EXPECT_EQ(zvx->dispatch(effCanBeAutomated, 0), 1);
  EXPECT_EQ(zvx->dispatch(effCanBeAutomated, 82), 1);
  for (int bad : {-1, 83, 99, INT_MAX, INT_MIN}) {
    EXPECT_EQ(zvx->dispatch(effCanBeAutomated, bad), 0) << bad;
    VstParameterProperties props{};
    EXPECT_EQ(zvx->dispatch(effGetParameterProperties, bad, 0, &props), 0) << bad;
    char text[] = "0.5";
    EXPECT_EQ(zvx->dispatch(effString2Parameter, bad, 0, text), 0) << bad;
  }
}

void putFloat(std::vector<unsigned char>& bytes, std::size_t offset, float value) {
  std::memcpy(bytes.data() + offset, &value, 4);
}

bool allFinite(const std::vector<Channel>& channels) {
  for (const Channel& channel : channels)
    for (float sample : channel)
      if (!std::isfinite(sample)) return false;
  return true;
}

constexpr std::size_t kProgramsOffset = 83 * 36, kProgramSize = 356;

TEST(HostRobustnessTest, BankChunkWithANonFiniteValueIsRefusedAndPlayingStaysFinite) {
  auto zvx = startZvx();
  ASSERT_TRUE(zvx);
  const std::vector<unsigned char> before = chunkOf(*zvx, 0);
  ASSERT_EQ(before.size(), 48556u);

  // Volume unclamped and NaN in program 0: taken, it would silence ZVX with NaN for good.
  std::vector<unsigned char> poisoned = before;
  poisoned[36 * param::kVolume + 1] = 1;
  putFloat(poisoned, kProgramsOffset + 24 + 4 * param::kVolume, std::nanf(""));
  std::vector<unsigned char> infinite = before;
  putFloat(infinite, 36 * 9 + 4, INFINITY);
  for (std::vector<unsigned char>* bank : {&poisoned, &infinite}) {
    MessageCapture capture;
    EXPECT_EQ(zvx->dispatch(effSetChunk, 0, static_cast<VstIntPtr>(bank->size()), bank->data()), 1);
    EXPECT_EQ(chunkOf(*zvx, 0), before);
    EXPECT_EQ(capture.messages(), (std::vector<ShownMessage>{{"none", "Error!", "Can't load bank, wrong file size!"}}));
  }
  const auto out = zvx->render(8192, 512, {noteOn(0, 36), noteOn(0, 38)});
  EXPECT_TRUE(allFinite(out));
  EXPECT_GT(peak(out[0]), 0.01f);

  // A bank we could have given out is still taken.
  std::vector<unsigned char> changed = before;
  putFloat(changed, kProgramsOffset + 24 + 4 * param::kBDTone, 0.25f);
  changed[36 * param::kBDTone + 1] = 1;
  zvx->dispatch(effSetChunk, 0, static_cast<VstIntPtr>(changed.size()), changed.data());
  EXPECT_EQ(chunkOf(*zvx, 0), changed);
}

TEST(HostRobustnessTest, ProgramChunkWithANonFiniteValueIsRefusedAndANameAloneIsTaken) {
  auto zvx = createZvx();
  ASSERT_TRUE(zvx);
  const std::vector<unsigned char> before = chunkOf(*zvx, 1);
  ASSERT_EQ(before.size(), kProgramSize);
  std::vector<unsigned char> poisoned = before;
  putFloat(poisoned, 24 + 4 * 3, -std::nanf(""));
  {
    MessageCapture capture;
    zvx->dispatch(effSetChunk, 1, static_cast<VstIntPtr>(poisoned.size()), poisoned.data());
    EXPECT_EQ(capture.messages(), (std::vector<ShownMessage>{{"none", "Error!", "Can't load preset, wrong file size!"}}));
  }
  EXPECT_EQ(chunkOf(*zvx, 1), before);
  std::vector<unsigned char> name(24, 0);
  std::memcpy(name.data(), "Renamed", 7);
  zvx->dispatch(effSetChunk, 1, 24, name.data());
  EXPECT_EQ(zvx->programName(), "Renamed");
}

TEST(HostRobustnessTest, TinySettingsGiveNoSubnormalOutput) {
  auto zvx = startZvx();
  ASSERT_TRUE(zvx);
  zvx->setParameter(param::kVolume, 2e-38f);  // a normal number; times a sample, subnormal
  const auto out = zvx->render(16384, 256, {noteOn(0, 36), noteOn(0, 38), noteOn(0, 42), noteOn(0, 39)});
  long subnormal = 0, nonZero = 0;
  for (const Channel& channel : out)
    for (float sample : channel) {
      subnormal += std::fpclassify(sample) == FP_SUBNORMAL;
      nonZero += sample != 0.0f;
    }
  EXPECT_EQ(subnormal, 0);
  EXPECT_GT(nonZero, 0);  // the single voices still play
}

// Under a decimal comma, made with localedef when the system has none.
bool useDecimalCommaLocale(const fs::path& scratch) {
  if (std::setlocale(LC_ALL, "de_DE.UTF-8")) return true;
  const fs::path folder = scratch / "locales";
  fs::create_directories(folder);
  const pid_t pid = fork();
  if (pid == 0) {
    freopen("/dev/null", "w", stdout);
    freopen("/dev/null", "w", stderr);
    execlp("localedef", "localedef", "-i", "de_DE", "-f", "UTF-8", (folder / "de_DE.UTF-8").c_str(),
           static_cast<char*>(nullptr));
    _exit(127);
  }
  int status = 0;
  if (pid > 0) waitpid(pid, &status, 0);
  setenv("LOCPATH", folder.c_str(), 1);
  return std::setlocale(LC_ALL, "de_DE.UTF-8") != nullptr;
}

class TextOfDisplay : public CParamDisplay {
 public:
  TextOfDisplay() : CParamDisplay(CRect(0, 0, 40, 12)) { setTransparency(true); }
  void drawText(CDrawContext*, const char* text) override { shown = text; }
  std::string shown;
};

TEST(HostRobustnessTest, EditorTextsKeepTheDecimalPointUnderADecimalCommaLocale) {
  TempDocuments documents;
  documents.installDefaultData(ZVX_BUILT_DATA);
  auto zvx = createZvx();
  ASSERT_TRUE(zvx);
  testhost::HeadlessEditor editor(*zvx);
  ASSERT_TRUE(editor.open());
  editor.idle();
  const std::string plain = editor.describe();
  ASSERT_NE(plain.find("value=0."), std::string::npos);

  const fs::path scratch = documents.documents() / "scratch";
  if (!useDecimalCommaLocale(scratch)) GTEST_SKIP() << "no locale with a decimal comma";
  const std::string comma = editor.describe();
  TextOfDisplay display;
  display.setValue(0.5f);
  display.draw(nullptr);
  char printed[16];
  std::snprintf(printed, sizeof printed, "%.1f", 0.5);
  std::setlocale(LC_ALL, "C");
  ASSERT_STREQ(printed, "0,5");  // the locale is really in force
  EXPECT_EQ(comma, plain);
  EXPECT_EQ(display.shown, "0.50");
  editor.close();
}

}  // namespace
}  // namespace zvx::test
