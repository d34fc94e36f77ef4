// zvx-skin-check end to end; it never writes into the folders it checks.

#include <sys/stat.h>

#include <sstream>

#include "editor/DrumEditor.h"
#include "tests/support/BmpBuilder.h"
#include "tests/support/TestSupport.h"

namespace zvx::test {
namespace {

std::set<fs::path> filesIn(const fs::path& folder) {
  std::set<fs::path> files;
  for (const auto& entry : fs::recursive_directory_iterator(folder)) files.insert(entry.path());
  return files;
}

// An 8-bit RLE bitmap of one colour: a few kilobytes however large the image.
void writeRleBitmap(const fs::path& path, int width, int height) {
  std::vector<unsigned char> runs;
  for (int y = 0; y < height; ++y) {
    for (int left = width; left > 0; left -= 255) runs.insert(runs.end(), {static_cast<unsigned char>(std::min(left, 255)), 1});
    runs.insert(runs.end(), {0, 0});
  }
  runs.insert(runs.end(), {0, 1});
  writeBytes(path,
             BmpBuilder(width, height, 8).compression(BmpBuilder::kRle8).palette({0x000000, 0x3366CC}).pixels(runs).bytes());
}

// Which controls the default skin builds is checked in-process (DefaultSkinLoad).
TEST(SkinCheckTest, DefaultSkinPassesBrokenFolderListsItsMessagesAndFailsWithoutChangingEither) {
  TempDocuments documents;
  const fs::path data = ZVX_BUILT_DATA;
  const std::set<fs::path> built = filesIn(data);
  const ProgramRun clean = runProgram(ZVX_SKIN_CHECK_PATH, {"--dump", data.string()}, documents.documents());
  EXPECT_EQ(clean.exitCode, 0) << clean.out << clean.err;
  EXPECT_EQ(clean.out.rfind("frame 0,0,800,500 background=", 0), 0u) << clean.out;
  EXPECT_TRUE(clean.out.ends_with("\n0 messages\n")) << clean.out;
  EXPECT_EQ(filesIn(data), built);

  const fs::path skin = documents.documents() / "my skin";
  fs::create_directories(skin);
  // A value that does not evaluate, a colour that is none, pictures that are not there.
  std::ofstream(skin / "skin.xml") << R"(<GUI>
  <background filename="gone.bmp"/>
  <knob x="1.2.3" y="10" w="20" h="20" id="3"/>
  <knob x="1" y="10" w="20" h="20" id="3" bitmap_bk="missing.bmp"/>
  <display x="1" y="1" w="10" h="10" id="21" fontcolor="white"/>
</GUI>)";
  const std::set<fs::path> before = filesIn(skin);
  const ProgramRun run = runProgram(ZVX_SKIN_CHECK_PATH, {skin.string()}, documents.documents());
  EXPECT_EQ(run.exitCode, 1) << run.err;
  std::vector<std::string> lines = linesOf(run.out);
  std::erase_if(lines, [](const std::string& line) { return line.starts_with("load "); });  // its costs vary
  EXPECT_EQ(lines,
            (std::vector<std::string>{
                R"(ZVX message [error] "Skin Error": Error calculating value of tag x for object knob)",
                R"(ZVX message [error] "Skin Error": Error reading colour of tag fontcolor for object display)",
                "empty bitmap: gone.bmp (missing or not a BMP or PNG file)",
                "empty bitmap: missing.bmp (missing or not a BMP or PNG file)",
                "2 messages",
            }));
  EXPECT_EQ(filesIn(skin), before);

  const ProgramRun nowhere = runProgram(ZVX_SKIN_CHECK_PATH, {(documents.documents() / "none").string()}, documents.documents());
  EXPECT_EQ(nowhere.exitCode, 2);
  EXPECT_NE(nowhere.err.find("holds neither skin.xml nor skin/skin.xml"), std::string::npos) << nowhere.err;
}

// One large image named many ways is decoded once; one past the skin's pixel
// budget or any image's limits comes empty with its size; a name leading out
// of the folder and a FIFO give nothing.
TEST(SkinCheckTest, BitmapsCostOneDecodePerFileWithinTheSkinsPixelBudget) {
  TempDocuments documents;
  const fs::path skin = documents.documents() / "pack";
  fs::create_directories(skin);
  writeRleBitmap(skin / "back.bmp", 800, 500);
  writeRleBitmap(skin / "big.bmp", 2000, 2000);
  writeRleBitmap(skin / "second.bmp", 2000, 2000);
  writeRleBitmap(skin / "wide.bmp", 20000, 10);
  writeRleBitmap(documents.documents() / "outside.bmp", 10, 10);
  fs::create_symlink("big.bmp", skin / "link.bmp");
  ASSERT_EQ(mkfifo((skin / "pipe.bmp").c_str(), 0600), 0);
  std::string controls;
  int id = 0;
  for (const char* name : {"big.bmp", "./big.bmp", ".//big.bmp", "BIG.BMP", "link.bmp", "second.bmp", "wide.bmp",
                           "../outside.bmp", "pipe.bmp", "../bad\nname.bmp"})
    controls += "<onoff x=\"1\" y=\"1\" id=\"" + std::to_string(id++) + "\" bitmap_handle=\"" + name + "\"/>\n";
  std::ofstream(skin / "skin.xml") << "<GUI><background filename=\"back.bmp\"/>\n" + controls + "</GUI>";

  const ProgramRun run = runProgram(ZVX_SKIN_CHECK_PATH, {"--dump", skin.string()}, documents.documents());
  EXPECT_EQ(run.exitCode, 1) << run.err;
  const std::vector<std::string> lines = linesOf(run.out);
  for (const std::string wanted :
       {R"(ZVX message [error] "Skin Error": Bitmap ../outside.bmp is outside the skin folder)",
        R"(ZVX message [error] "Skin Error": Bitmap ../bad\nname.bmp is outside the skin folder)",
        "empty bitmap: second.bmp (2000x2000, refused for its size: the skin may decode 6400000 pixels, 2000000 were left)",
        "empty bitmap: wide.bmp (20000x10, refused for its size: at most 16384 a side and 67108864 pixels)",
        "empty bitmap: pipe.bmp (missing or not a BMP or PNG file)", "empty bitmap: ../outside.bmp (outside the skin folder)"})
    EXPECT_NE(std::find(lines.begin(), lines.end(), wanted), lines.end()) << wanted << "\n" << run.out;
  // Every alias of big.bmp shows the one decoded image.
  EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                          [](const std::string& line) { return line.find("bitmap=big.bmp(2000x2000)") != std::string::npos; }),
            5);
  const auto costs = std::find_if(lines.begin(), lines.end(), [](const std::string& line) { return line.starts_with("load "); });
  ASSERT_NE(costs, lines.end()) << run.out;
  EXPECT_NE(costs->find(", 4400000 pixels decoded of a budget of 6400000"), std::string::npos) << *costs;
  EXPECT_EQ(lines.back(), "2 messages");
}

// For a skin's author: each kind, then its attributes with their defaults.
TEST(SkinCheckTest, CatalogueListsEveryElementWithItsAttributesAndDefaults) {
  TempDocuments documents(false);
  const ProgramRun run = runProgram(ZVX_SKIN_CHECK_PATH, {"--catalogue"}, documents.documents());
  EXPECT_EQ(run.exitCode, 0) << run.err;
  std::istringstream out(run.out);
  std::string line, name, fallback;
  for (const SkinElementKind* kind : DrumEditor::catalogue()) {
    ASSERT_TRUE(std::getline(out, line) && line.starts_with(std::string(kind->name) + ": " + kind->about)) << line;
    if (kind->attributes.empty()) std::getline(out, line);  // "no attributes"
    for (const SkinAttribute& attribute : kind->attributes) {
      std::getline(out, line);
      std::istringstream(line) >> name >> fallback;
      EXPECT_EQ(name + " " + fallback, std::string(attribute.name) + " " + (attribute.fallback ? attribute.fallback : "required"));
      EXPECT_TRUE(line.ends_with(attribute.about)) << line;
    }
    EXPECT_TRUE(std::getline(out, line) && line.empty()) << kind->name;
  }
  EXPECT_FALSE(std::getline(out, line)) << line;
}

}  // namespace
}  // namespace zvx::test
