// zvx-skin-check end to end: the default skin as built, and a broken skin
// folder, neither of which the check may write into.

#include "tests/support/TestSupport.h"

namespace zvx::test {
namespace {

namespace fs = std::filesystem;

std::set<fs::path> filesIn(const fs::path& folder) {
  std::set<fs::path> files;
  for (const auto& entry : fs::recursive_directory_iterator(folder)) files.insert(entry.path());
  return files;
}

// Which controls the default skin builds is checked in-process (DefaultSkinLoad).
TEST(SkinCheckTest, DefaultSkinLoadsWithoutAMessage) {
  const fs::path data = ZVX_BUILT_DATA;
  const std::set<fs::path> before = filesIn(data);
  TempDocuments documents;
  const ProgramRun run = runProgram(ZVX_SKIN_CHECK_PATH, {"--dump", data.string()}, documents.documents());
  EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
  const std::vector<std::string> lines = linesOf(run.out);
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.back(), "0 messages");
  EXPECT_EQ(lines.front().rfind("frame 0,0,800,500 background=", 0), 0u) << lines.front();
  EXPECT_GT(lines.size(), 100u);
  EXPECT_EQ(filesIn(data), before);
}

TEST(SkinCheckTest, BrokenSkinFolderListsItsMessagesAndFailsWithoutChangingTheFolder) {
  TempDocuments documents;
  const fs::path skin = documents.documents() / "my skin";
  fs::create_directories(skin);
  std::ofstream(skin / "skin.xml") << R"(<GUI>
  <background filename="gone.bmp"/>
  <knob x="1.2.3" y="10" w="20" h="20" id="3"/>
  <knob x="1" y="10" w="20" h="20" id="3" bitmap_bk="missing.bmp"/>
  <display x="1" y="1" w="10" h="10" id="21" fontcolor="white"/>
</GUI>)";
  const std::set<fs::path> before = filesIn(skin);
  const ProgramRun run = runProgram(ZVX_SKIN_CHECK_PATH, {skin.string()}, documents.documents());
  EXPECT_EQ(run.exitCode, 1) << run.err;
  EXPECT_EQ(linesOf(run.out),
            (std::vector<std::string>{
                R"(ZVX message [error] "Skin Error": Error calculating value of tag x for object knob)",
                R"(ZVX message [error] "Skin Error": Error reading colour of tag fontcolor for object display)",
                "empty bitmap: gone.bmp (missing or not a BMP or PNG file)",
                "empty bitmap: missing.bmp (missing or not a BMP or PNG file)",
                "2 messages",
            }));
  // A skin whose controls have no background to stand on is not clean.
  std::ofstream(skin / "skin.xml", std::ios::trunc) << R"(<GUI><knob x="1" y="1" w="20" h="20" id="3"/></GUI>)";
  const ProgramRun unbacked = runProgram(ZVX_SKIN_CHECK_PATH, {skin.string()}, documents.documents());
  EXPECT_EQ(unbacked.exitCode, 1);
  EXPECT_EQ(linesOf(unbacked.out).front(), R"(ZVX message [error] "XML error": <background> node missing before <knob>)")
      << unbacked.out;
  EXPECT_EQ(filesIn(skin), before);

  const ProgramRun nowhere = runProgram(ZVX_SKIN_CHECK_PATH, {(documents.documents() / "none").string()}, documents.documents());
  EXPECT_EQ(nowhere.exitCode, 2);
  EXPECT_NE(nowhere.err.find("holds neither skin.xml nor skin/skin.xml"), std::string::npos) << nowhere.err;
}

}  // namespace
}  // namespace zvx::test
