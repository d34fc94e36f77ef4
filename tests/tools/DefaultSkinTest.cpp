// The default skin drawn from data/skin: its pictures, and a control for every
// parameter. How it looks is checked against the reviewed picture (DrumEditorTest).

#include <regex>

#include "editor/SkinEditor.h"
#include "image/BmpDecoder.h"
#include "instrument/ParameterTable.h"
#include "skin/BitmapCache.h"
#include "skin/SkinDump.h"
#include "tests/support/TestInstrument.h"
#include "tests/support/TestSupport.h"
#include "tools/zvx-data/SkinLayout.h"
#include "tools/zvx-data/SkinSet.h"

namespace zvx::test {
namespace {

using data::SkinLayout, data::SkinSet;

const fs::path kSource = ZVX_DATA_SOURCE;
constexpr int kLastRealParameter = param::kDecayFactor;  // the ones above are spare

const SkinSet& defaultSkin() {
  static const SkinSet skin = SkinSet::load(kSource / "skin");
  return skin;
}

const Bytes& fileOf(const std::string& name) {
  for (const SkinSet::File& file : defaultSkin().files())
    if (file.name == name) return file.bytes;
  throw std::runtime_error("the skin has no " + name);
}

// Every picture decodes, with its companion at twice the size for editors shown
// larger; film strips hold whole frames: knobs one per value step, the rest two.
TEST(DefaultSkin, PicturesDecodeAtBothSizesAndFilmStripsHoldWholeFrames) {
  const SkinLayout skin = SkinLayout::parse(readText(kSource / "skin" / "skin.xml"), "skin.xml");
  for (const std::string& name : skin.bitmapNames()) {
    const gui::Surface once = gui::BmpDecoder::decode(fileOf(name));
    const gui::Surface twice = gui::BmpDecoder::decode(fileOf(BitmapCache::doubleSizeName(name)));
    EXPECT_GT(once.width(), 0) << name;
    EXPECT_EQ(std::make_pair(twice.width(), twice.height()), std::make_pair(2 * once.width(), 2 * once.height())) << name;
  }
  for (const SkinLayout::Element& element : skin.elements()) {
    if (const std::string* bitmap = element.attribute("bitmap_handle")) {
      const int height = gui::BmpDecoder::decode(fileOf(*bitmap)).height();
      EXPECT_EQ(height, element.type == "knob" ? 101 * static_cast<int>(skin.number(element, "h")) : height / 2 * 2) << *bitmap;
    }
  }
}

TEST(DefaultSkinLoad, BuildsAControlForEveryParameterWithoutAMessage) {
  MessageLog messages;
  TempDocuments docs(false);
  std::string error;
  ASSERT_TRUE(defaultSkin().writeAll(docs.dataFolder() / "skin", error)) << error;
  fs::copy_file(kSource / "sound wizard.xml", docs.dataFolder() / "sound wizard.xml");
  TestInstrument instrument;
  SkinEditor editor(instrument);
  ASSERT_TRUE(editor.open(nullptr));
  const std::vector<std::string> lines = linesOf(dumpSkin(editor));
  EXPECT_EQ(messages.take(), std::vector<ShownMessage>{});
  ASSERT_EQ(lines.at(0), "frame 0,0,800,500 background=background.bmp(800x500)");

  const std::regex view(R"(^(\w+) tag=(-?\d+) rect=(-?\d+),(-?\d+),(-?\d+),(-?\d+) .*)");
  const std::regex setting(R"(^wizard 0 preset (\d+) parameter (\d+) value (\S+)$)");
  std::map<long, std::string> kindOf;  // of the first control with the tag
  std::map<long, int> displaysOf;
  std::vector<std::string> menus;
  std::set<int> wizardPresets;
  for (const std::string& line : lines) {
    std::smatch match;
    // The wizard's settings each name a real parameter and a value in range.
    if (std::regex_match(line, match, setting)) {
      wizardPresets.insert(std::stoi(match[1]));
      EXPECT_LE(std::stoi(match[2]), kLastRealParameter) << line;
      EXPECT_TRUE(std::stod(match[3]) >= 0.0 && std::stod(match[3]) <= 1.0) << line;
    }
    if (!std::regex_match(line, match, view)) continue;
    kindOf.emplace(std::stol(match[2]), match[1]);
    EXPECT_TRUE(std::stoi(match[3]) >= 0 && std::stoi(match[4]) >= 0 && std::stoi(match[5]) <= 800 &&
                std::stoi(match[6]) <= 500)
        << "outside the window: " << line;
    const std::size_t link = line.find(" link=");
    if (match[1] == "AutoDisplay" && link != std::string::npos) ++displaysOf[std::stol(line.substr(link + 6))];
    if (match[1] == "COptionMenu" && std::stol(match[2]) < kNumParameters) menus.push_back(line);
  }
  EXPECT_GE(wizardPresets.size(), 12u);

  // Every parameter with a meaning has its control, each knob its value beside
  // it; the spare ones have none.
  for (long p = 0; p < kNumParameters; ++p) {
    SCOPED_TRACE(p);
    const ParamRole role = roleOf(static_cast<int>(p));
    const bool onOff = role == ParamRole::Mute || role == ParamRole::Sync || role == ParamRole::KeyTrack ||
                       role == ParamRole::Power;
    const std::string kind = p > kLastRealParameter      ? ""
                             : role == ParamRole::Menu ? "COptionMenu"
                             : onOff                   ? "COnOffButton"
                                                       : "CAnimKnob";
    EXPECT_EQ(kindOf[p], kind);
    EXPECT_TRUE(kind != "CAnimKnob" || displaysOf[p] == 1) << "a knob shows its value beside it";
  }
  // The four sample menus list the eight sample files in the plug-in's order.
  EXPECT_EQ(menus.size(), 4u);
  for (const std::string& menu : menus)
    EXPECT_NE(menu.find("entries=[BDA|SDA|HHA|CPA|BDB|SDB|HHB|CPB]"), std::string::npos) << menu;
}

// Another process draws the same bytes; a broken source leaves nothing behind
// and is told with the file and line.
TEST(ZvxDataSkin, RendersTheSkinIntoAFolderAndRefusesABrokenOne) {
  TempDocuments documents(false);
  const fs::path scratch = documents.documents();
  const ProgramRun run = runProgram(ZVX_DATA_PATH, {"skin", (kSource / "skin").string(), (scratch / "skin").string()}, scratch);
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_TRUE(run.err.empty());
  for (const SkinSet::File& file : defaultSkin().files())
    EXPECT_TRUE(readBytes(scratch / "skin" / file.name) == file.bytes) << file.name;

  fs::create_directories(scratch / "source");
  std::ofstream(scratch / "source" / "skin.xml") << "<GUI><background filename=\"back.bmp\"/></GUI>";
  const std::string palette =
      "colour panel_top 202020\ncolour panel_bottom 101010\ncolour knob_top 404040\ncolour knob_bottom 202020\n"
      "colour rim_light 606060\ncolour rim_dark 000000\ncolour track 000000\ncolour indicator FFFFFF\n"
      "colour button_top 303030\ncolour button_bottom 202020\ncolour label 808080\ncolour ink FFFFFF\n";
  for (const auto& [art, mistake] : std::vector<std::pair<std::string, std::string>>{
           {"colour panel_top 10101\n", "art.txt:1: '10101' is not RRGGBB"},
           {palette, "skin.xml: back.bmp is not drawn by art.txt"},
           {palette + "background back.bmp width: 40 height: 40\nlamp extra.bmp size: 8 accent: FF0000\n",
            "art.txt:14: extra.bmp is drawn but skin.xml never uses it"}}) {
    std::ofstream(scratch / "source" / "art.txt", std::ios::trunc) << art;
    const ProgramRun broken =
        runProgram(ZVX_DATA_PATH, {"skin", (scratch / "source").string(), (scratch / "out").string()}, scratch);
    EXPECT_EQ(broken.exitCode, 1);
    EXPECT_EQ(broken.err, "zvx-data: " + mistake + "\n");
    EXPECT_FALSE(fs::exists(scratch / "out"));
  }
}

}  // namespace
}  // namespace zvx::test
