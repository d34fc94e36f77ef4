// The default skin drawn from data/skin: the same bytes every time, pictures
// the plug-in's loader reads, and a window that the skin system builds
// without a message, with a control for every parameter. The headless render
// is saved as data/skin-preview.png in the build for a look at the design.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "editor/SkinEditor.h"
#include "host/gui/COnOffButton.h"
#include "host/gui/image/BmpDecoder.h"
#include "host/gui/image/PngCodec.h"
#include "plugin/ParameterTable.h"
#include "skin/SkinDump.h"
#include "tests/support/TestEffect.h"
#include "tests/support/TestSupport.h"
#include "tools/zvx-data/ArtScript.h"
#include "tools/zvx-data/BankSource.h"
#include "tools/zvx-data/SkinArt.h"
#include "tools/zvx-data/SkinError.h"
#include "tools/zvx-data/SkinLayout.h"
#include "tools/zvx-data/SkinSet.h"

namespace zvx::test {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;
using data::SkinError;
using data::SkinLayout;
using data::SkinSet;

const fs::path kSource = ZVX_DATA_SOURCE;
const fs::path kBuiltData = ZVX_BUILT_DATA;

// The highest parameter with a meaning; the ones above it are spare.
constexpr int kLastRealParameter = 62;

const SkinSet& defaultSkin() {
  static const SkinSet skin = SkinSet::load(kSource / "skin");
  return skin;
}

const Bytes& fileOf(const std::string& name) {
  for (const SkinSet::File& file : defaultSkin().files())
    if (file.name == name) return file.bytes;
  throw std::runtime_error("the skin has no " + name);
}

std::uint32_t little32(const Bytes& bytes, std::size_t at) {
  return bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16 | static_cast<std::uint32_t>(bytes[at + 3]) << 24;
}

SkinLayout layout() {
  const Bytes& xml = fileOf("skin.xml");
  return SkinLayout::parse(std::string(xml.begin(), xml.end()), "skin.xml");
}

// ---------------------------------------------------------------------------
// The files.

TEST(DefaultSkin, TheLayoutIsCopiedAsWritten) {
  const std::string written = readText(kSource / "skin" / "skin.xml");
  const Bytes& copied = fileOf("skin.xml");
  EXPECT_EQ(std::string(copied.begin(), copied.end()), written);
  // The strict subset the loader reads: no declaration, comment, entity or single quote.
  for (const char* banned : {"<?", "<!--", "&", "'"}) EXPECT_EQ(written.find(banned), std::string::npos) << banned;
}

TEST(DefaultSkin, EveryPictureSkinXmlNamesIsA24BitBmp) {
  const SkinLayout skin = layout();
  std::set<std::string> named;
  for (const std::string& name : skin.bitmapNames()) {
    SCOPED_TRACE(name);
    named.insert(name);
    const Bytes& bytes = fileOf(name);
    ASSERT_GE(bytes.size(), 54u);
    // "BM", the file's size, a 40-byte header, 24 bits a pixel, uncompressed.
    EXPECT_EQ(std::vector<std::uint32_t>({bytes[0], bytes[1], little32(bytes, 2), little32(bytes, 14),
                                          little32(bytes, 28) & 0xFFFF, little32(bytes, 30)}),
              std::vector<std::uint32_t>({'B', 'M', static_cast<std::uint32_t>(bytes.size()), 40, 24, 0}));
    const gui::Surface picture = gui::BmpDecoder::decode(bytes);
    EXPECT_FALSE(picture.empty());
    EXPECT_EQ(picture.width(), static_cast<int>(little32(bytes, 18)));
    EXPECT_EQ(picture.height(), static_cast<int>(little32(bytes, 22)));
  }
  // Nothing drawn that the layout does not use.
  EXPECT_EQ(named.size() + 1, defaultSkin().files().size());

  // Film strips hold whole frames: knobs one per value step, buttons, pads and lights two.
  std::map<std::string, int> heights;
  for (const std::string& name : named) heights[name] = gui::BmpDecoder::decode(fileOf(name)).height();
  for (const SkinLayout::Element& element : skin.elements()) {
    const std::string* bitmap = element.attribute("bitmap_handle");
    if (!bitmap) continue;
    SCOPED_TRACE(*bitmap);
    const int height = heights.at(*bitmap);
    if (element.type == "knob") {
      const int frame = static_cast<int>(skin.number(element, "h"));
      EXPECT_EQ(height % frame, 0);
      EXPECT_EQ(height / frame, 101);
    } else {
      EXPECT_EQ(height % 2, 0);
    }
  }
  const gui::Surface background = gui::BmpDecoder::decode(fileOf("background.bmp"));
  EXPECT_EQ(background.width(), 800);
  EXPECT_EQ(background.height(), 500);
}

TEST(DefaultSkin, KnobFramesShowTheirValue) {
  // The first frame of a knob differs from the middle one and the last, and
  // its corners are the transparent green.
  const gui::Surface strip = gui::BmpDecoder::decode(fileOf("knob_bd.bmp"));
  const int size = strip.width();
  auto frame = [&](int index) {
    std::vector<gui::Pixel> pixels;
    for (int y = 0; y < size; ++y)
      for (int x = 0; x < size; ++x) pixels.push_back(strip.at(x, index * size + y));
    return pixels;
  };
  EXPECT_NE(frame(0), frame(50));
  EXPECT_NE(frame(50), frame(100));
  EXPECT_EQ(strip.at(0, 0) & 0xFFFFFF, 0x00FF00u);
  EXPECT_EQ(strip.at(size - 1, 100 * size + size - 1) & 0xFFFFFF, 0x00FF00u);
  // The middle of the knob is never transparent.
  for (int index : {0, 50, 100}) EXPECT_NE(strip.at(size / 2, index * size + size / 2) & 0xFFFFFF, 0x00FF00u);
}

// ---------------------------------------------------------------------------
// The sources' mistakes.

std::string errorOf(const std::string& xml, const std::string& art) {
  try {
    data::SkinArt::render(xml, art);
  } catch (const SkinError& error) {
    return error.what();
  }
  return "no error";
}

TEST(SkinSources, MistakesNameTheFileAndLine) {
  const std::string xml =
      "<GUI><background filename=\"back.bmp\"/><CONSTANTS>W = 40, H = W / 2</CONSTANTS>"
      "<knob x=\"1\" y=\"1\" w=\"H\" h=\"H\" id=\"0\" stackbmp=\"Yes\" bitmap_handle=\"k.bmp\"/></GUI>";
  const std::string palette =
      "colour panel_top 202020\ncolour panel_bottom 101010\ncolour knob_top 404040\ncolour knob_bottom 202020\n"
      "colour rim_light 606060\ncolour rim_dark 000000\ncolour track 000000\ncolour indicator FFFFFF\n"
      "colour button_top 303030\ncolour button_bottom 202020\ncolour label 808080\ncolour ink FFFFFF\n";
  const std::string back = "background back.bmp width: W height: W\n";
  const std::string knob = "knob k.bmp size: H frames: 3 accent: FF0000 sweep: min\n";
  EXPECT_EQ(errorOf(xml, palette + back + knob), "no error");
  EXPECT_EQ(errorOf(xml, palette + knob), "skin.xml: back.bmp is not drawn by art.txt");
  EXPECT_EQ(errorOf(xml, palette + back + knob + "lamp extra.bmp size: 8 accent: FF0000\n"),
            "art.txt:15: extra.bmp is drawn but skin.xml never uses it");
  EXPECT_EQ(errorOf(xml, palette + back + "knob k.bmp size: H + accent: red sweep: min\n"),
            "art.txt:14: 'H +' does not evaluate");
  EXPECT_EQ(errorOf(xml, palette + back + "knob k.bmp size: H accent: FF0000 sweep: up\n"),
            "art.txt:14: 'sweep:' is min or centre");
  EXPECT_EQ(errorOf(xml, palette + back + knob + "spiral x: 1\n"), "art.txt:15: unknown command 'spiral'");
  EXPECT_EQ(errorOf(xml, back + knob), "art.txt:2: the palette has no colour 'panel_top'");
  EXPECT_EQ(errorOf(xml, palette + knob + back + "caption 7 TONE\n"),
            "art.txt:15: skin.xml has no knob or menu with the id 7");
  EXPECT_EQ(errorOf(xml, palette + knob + back + "divider x: 1 y: 1 h: 5\n"),
            "art.txt:15: the palette has no colour 'header_top'");
  EXPECT_EQ(errorOf(xml, palette + back + knob + "divider x: 1 y: 1 h: 5\n"),
            "art.txt:15: 'divider' draws on a background or about picture; none is started");
  EXPECT_EQ(errorOf(xml, palette + back + "text \"open\n"), "art.txt:14: a quotation is not closed");
  EXPECT_EQ(errorOf("<SKIN/>", palette), "skin.xml: the root element is not <GUI>");
}

TEST(SkinSources, ArtLinesSplitIntoWordsAndOptions) {
  const data::ArtScript script = data::ArtScript::parse(
      "# a comment\n\ntext \"TWO WORDS\"  x: A + 2  y: 3   # trailing comment\nknob k.bmp size: 40\n", "a.txt");
  ASSERT_EQ(script.lines().size(), 2u);
  const data::ArtScript::Line& text = script.lines()[0];
  EXPECT_EQ(text.number, 3);
  EXPECT_EQ(text.command, "text");
  EXPECT_EQ(text.words, std::vector<std::string>{"TWO WORDS"});
  ASSERT_NE(text.option("x"), nullptr);
  EXPECT_EQ(*text.option("x"), "A + 2");
  EXPECT_EQ(*text.option("y"), "3");
  EXPECT_EQ(text.option("size"), nullptr);
  EXPECT_EQ(script.lines()[1].words, std::vector<std::string>{"k.bmp"});
}

TEST(SkinSources, ConstantsCountOnAsTheLoaderDoes) {
  const SkinLayout skin = SkinLayout::parse("<GUI><CONSTANTS>A = 4, B\nC = B * 2,\n D</CONSTANTS></GUI>", "s.xml");
  EXPECT_EQ(skin.evaluate("A", "t"), 4);
  EXPECT_EQ(skin.evaluate("b", "t"), 5);
  EXPECT_EQ(skin.evaluate("C", "t"), 10);
  EXPECT_EQ(skin.evaluate("D", "t"), 11);
}

// ---------------------------------------------------------------------------
// The skin in the plug-in's skin system.

class DefaultSkinLoad : public ::testing::Test {
 protected:
  DefaultSkinLoad() {
    std::string error;
    EXPECT_TRUE(defaultSkin().writeAll(docs_.dataFolder() / "skin", error)) << error;
    fs::copy_file(kSource / "sound wizard.xml", docs_.dataFolder() / "sound wizard.xml");
  }
  ~DefaultSkinLoad() override { editor_.reset(); }
  std::string open() {
    editor_ = std::make_unique<SkinEditor>(&effect_);
    EXPECT_TRUE(editor_->open(nullptr));
    return dumpSkin(*editor_);
  }

  MessageLog messages_;
  TempDocuments docs_{false};
  TestEffect effect_;
  std::unique_ptr<SkinEditor> editor_;
};

TEST_F(DefaultSkinLoad, BuildsAControlForEveryParameterWithoutAMessage) {
  const std::string dump = open();
  EXPECT_EQ(messages_.take(), std::vector<ShownMessage>{});
  const std::vector<std::string> lines = linesOf(dump);
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines[0], "frame 0,0,800,500 background=background.bmp(800x500)");

  const std::regex view(R"(^(\w+) tag=(-?\d+) rect=(-?\d+),(-?\d+),(-?\d+),(-?\d+) .*)");
  std::map<long, std::vector<std::string>> classesByTag;
  std::map<long, int> displaysByLink;
  std::set<long> displayTags;
  std::vector<std::string> menus;
  for (const std::string& line : lines) {
    std::smatch match;
    if (!std::regex_match(line, match, view)) continue;
    const long tag = std::stol(match[2]);
    classesByTag[tag].push_back(match[1]);
    // Every control lies inside the window.
    EXPECT_TRUE(std::stoi(match[3]) >= 0 && std::stoi(match[4]) >= 0 && std::stoi(match[5]) <= 800 &&
                std::stoi(match[6]) <= 500)
        << line;
    if (match[1] == "AutoDisplay") {
      const std::size_t link = line.find(" link=");
      ASSERT_NE(link, std::string::npos);
      ++displaysByLink[std::stol(line.substr(link + 6))];
      EXPECT_GE(tag, 200) << line;
      EXPECT_TRUE(displayTags.insert(tag).second) << "two displays with tag " << tag;
    }
    if (match[1] == "COptionMenu" && tag < kNumParameters) menus.push_back(line);
  }

  // Every parameter with a meaning has its control, none of the spare ones has.
  for (long p = 0; p <= kLastRealParameter; ++p) {
    SCOPED_TRACE(p);
    ASSERT_TRUE(classesByTag.count(p));
    const std::string& kind = classesByTag[p].front();
    const ParamRole role = roleOf(static_cast<int>(p));
    if (role == ParamRole::Menu)
      EXPECT_EQ(kind, "COptionMenu");
    else if (role == ParamRole::Mute || role == ParamRole::Sync || role == ParamRole::KeyTrack || role == ParamRole::Power)
      EXPECT_EQ(kind, "COnOffButton");
    else
      EXPECT_EQ(kind, "CAnimKnob");
    // Each knob's value is shown next to it.
    EXPECT_TRUE(kind != "CAnimKnob" || displaysByLink[p] == 1);
  }
  for (long p = kLastRealParameter + 1; p < kNumParameters; ++p) EXPECT_FALSE(classesByTag.count(p)) << p;

  // The four sample menus list the eight sample files in the plug-in's order.
  ASSERT_EQ(menus.size(), 4u);
  for (std::size_t i = 0; i < menus.size(); ++i) {
    EXPECT_NE(menus[i].find("tag=" + std::to_string(52 + i) + " "), std::string::npos) << menus[i];
    EXPECT_NE(menus[i].find("entries=[BDA|SDA|HHA|CPA|BDB|SDB|HHB|CPB]"), std::string::npos) << menus[i];
  }
  // A pad to hit and a light that shows each hit, drawn over the pad's row.
  for (long pad = 99; pad <= 102; ++pad)
    EXPECT_EQ(classesByTag[pad], (std::vector<std::string>{"CKickButton", "COnOffButton"})) << pad;
  EXPECT_EQ(classesByTag[980], std::vector<std::string>{"TextDisplay"});
  EXPECT_NE(dump.find("infodisplay tag=980"), std::string::npos);
  EXPECT_EQ(classesByTag[999], std::vector<std::string>{"COptionMenu"});
  EXPECT_EQ(classesByTag[1020], std::vector<std::string>{"CSplashScreen"});
  EXPECT_NE(dump.find("about 1\n"), std::string::npos);

  // The wizard: its settings, each naming a real parameter.
  ASSERT_EQ(classesByTag[1000], std::vector<std::string>{"COptionMenu"});
  const std::regex setting(R"(^wizard 0 preset (\d+) parameter (\d+) value (\S+)$)");
  std::set<int> presetsWithSettings;
  for (const std::string& line : lines) {
    std::smatch match;
    if (!std::regex_match(line, match, setting)) continue;
    presetsWithSettings.insert(std::stoi(match[1]));
    EXPECT_LE(std::stoi(match[2]), kLastRealParameter) << line;
    EXPECT_GE(std::stod(match[3]), 0.0) << line;
    EXPECT_LE(std::stod(match[3]), 1.0) << line;
  }
  EXPECT_GE(presetsWithSettings.size(), 12u);
}

TEST_F(DefaultSkinLoad, SavesAPreviewOfTheWindow) {
  // The first program of the default bank, so the knobs stand at a real kit's settings.
  const data::BankSource bank = data::BankSource::load(kSource / "bank" / "default.bank");
  ASSERT_FALSE(bank.programs().empty());
  for (const auto& [index, value] : bank.programs().front().settings) effect_.values[static_cast<std::size_t>(index)] = value;
  open();
  EXPECT_EQ(messages_.take(), std::vector<ShownMessage>{});
  CFrame* frame = editor_->getFrame();
  // The bass drum has just been hit: its light is on.
  for (long i = 0; i < frame->getNbViews(); ++i)
    if (auto* light = dynamic_cast<COnOffButton*>(frame->getView(i)); light && light->getTag() == 99) light->setValue(1.0f);
  editor_->idle();
  frame->redraw();
  fs::create_directories(kBuiltData);
  EXPECT_TRUE(gui::PngCodec::writeFile(frame->surface(), (kBuiltData / "skin-preview.png").string()));

  // And with the about screen up, as the splash shows it over the window.
  gui::Surface about = frame->surface();
  const gui::Surface picture = gui::BmpDecoder::decode(fileOf("about.bmp"));
  const int left = (about.width() - picture.width()) / 2, top = (about.height() - picture.height()) / 2;
  for (int y = 0; y < picture.height(); ++y)
    for (int x = 0; x < picture.width(); ++x) about.blendAt(left + x, top + y, picture.at(x, y), 210);
  EXPECT_TRUE(gui::PngCodec::writeFile(about, (kBuiltData / "skin-about-preview.png").string()));
}

// ---------------------------------------------------------------------------
// The executable.

TEST(ZvxDataSkin, RendersTheSkinIntoAFolderAndRefusesABrokenOne) {
  TempDocuments documents(false);
  const fs::path output = documents.documents() / "skin";
  const ProgramRun run = runProgram(ZVX_DATA_PATH, {"skin", (kSource / "skin").string(), output.string()}, documents.documents());
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_TRUE(run.err.empty());
  // Another process draws the same bytes.
  for (const SkinSet::File& file : defaultSkin().files()) EXPECT_TRUE(readBytes(output / file.name) == file.bytes) << file.name;
  // A rendered folder reads back as it is.
  const SkinSet rendered = SkinSet::load(output);
  ASSERT_EQ(rendered.files().size(), defaultSkin().files().size());
  for (std::size_t i = 0; i < rendered.files().size(); ++i)
    EXPECT_TRUE(rendered.files()[i].bytes == defaultSkin().files()[i].bytes) << rendered.files()[i].name;

  const fs::path source = documents.documents() / "source";
  fs::create_directories(source);
  std::ofstream(source / "skin.xml") << "<GUI><background filename=\"back.bmp\"/></GUI>";
  std::ofstream(source / "art.txt") << "colour panel_top 10101\n";
  const ProgramRun broken = runProgram(ZVX_DATA_PATH, {"skin", source.string(), (documents.documents() / "out").string()},
                                       documents.documents());
  EXPECT_EQ(broken.exitCode, 1);
  EXPECT_EQ(broken.err, "zvx-data: art.txt:1: '10101' is not RRGGBB\n");
  EXPECT_FALSE(fs::exists(documents.documents() / "out"));
}

}  // namespace
}  // namespace zvx::test
