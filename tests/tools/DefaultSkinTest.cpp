// The default skin drawn from data/skin: the same bytes every time, pictures
// the plug-in's loader reads, and a window that the skin system builds
// without a message, with a control for every parameter. How the pictures
// look (knob frames by value, transparent corners) is checked against the
// reviewed picture of the editor (DrumEditorTest).

#include <regex>

#include "editor/DrumEditor.h"
#include "image/BmpDecoder.h"
#include "plugin/ParameterTable.h"
#include "skin/BitmapCache.h"
#include "skin/SkinDump.h"
#include "tests/support/TestInstrument.h"
#include "tests/support/TestSupport.h"
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

// The highest parameter with a meaning; the ones above it are spare.
constexpr int kLastRealParameter = param::kDecayFactor;

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

// ---------------------------------------------------------------------------
// The files.

TEST(DefaultSkin, TheLayoutIsCopiedAsWrittenAndEveryPictureItNamesIsA24BitBmpWithItsDoubleSize) {
  const std::string written = readText(kSource / "skin" / "skin.xml");
  const Bytes& copied = fileOf("skin.xml");
  EXPECT_EQ(std::string(copied.begin(), copied.end()), written);
  // The strict subset the loader reads: no declaration, comment, entity or single quote.
  for (const char* banned : {"<?", "<!--", "&", "'"}) EXPECT_EQ(written.find(banned), std::string::npos) << banned;

  const SkinLayout skin = SkinLayout::parse(written, "skin.xml");
  for (const std::string& name : skin.bitmapNames()) {
    SCOPED_TRACE(name);
    const Bytes& bytes = fileOf(name);
    ASSERT_GE(bytes.size(), 54u);
    // "BM", the file's size, a 40-byte header, 24 bits a pixel, uncompressed.
    EXPECT_EQ(std::vector<std::uint32_t>({bytes[0], bytes[1], little32(bytes, 2), little32(bytes, 14),
                                          little32(bytes, 28) & 0xFFFF, little32(bytes, 30)}),
              std::vector<std::uint32_t>({'B', 'M', static_cast<std::uint32_t>(bytes.size()), 40, 24, 0}));
    // Its companion for editors shown larger: "name@2x.bmp", twice as wide and as tall.
    const std::string larger = BitmapCache::doubleSizeName(name);
    const Bytes& twice = fileOf(larger);
    ASSERT_GE(twice.size(), 54u) << larger;
    EXPECT_EQ(little32(twice, 18), 2 * little32(bytes, 18)) << larger;
    EXPECT_EQ(std::abs(static_cast<std::int32_t>(little32(twice, 22))),
              2 * std::abs(static_cast<std::int32_t>(little32(bytes, 22))))
        << larger;
  }
  // How the pictures decode shows in the window the skin system builds from
  // them (below, and DrumEditorTest); art.txt may draw nothing unused (SkinSources).

  // Film strips hold whole frames: knobs one per value step, buttons, pads and lights two.
  for (const SkinLayout::Element& element : skin.elements()) {
    const std::string* bitmap = element.attribute("bitmap_handle");
    if (!bitmap) continue;
    SCOPED_TRACE(*bitmap);
    const int height = std::abs(static_cast<std::int32_t>(little32(fileOf(*bitmap), 22)));
    if (element.type == "knob")
      EXPECT_EQ(height, 101 * static_cast<int>(skin.number(element, "h")));
    else
      EXPECT_EQ(height % 2, 0);
  }
}

// ---------------------------------------------------------------------------
// The sources' mistakes. How art lines split into words and options, and how
// constants count on, shows in the default skin itself: drawn wrong, its
// pictures would differ from the reviewed one (DrumEditorTest).

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
  EXPECT_EQ(errorOf(xml, palette + back + knob + "spiral x: 1\n"), "art.txt:15: unknown command 'spiral'");
  EXPECT_EQ(errorOf(xml, back + knob), "art.txt:2: the palette has no colour 'panel_top'");
  EXPECT_EQ(errorOf(xml, palette + knob + back + "caption 7 TONE\n"),
            "art.txt:15: skin.xml has no knob or menu with the id 7");
  EXPECT_EQ(errorOf(xml, palette + back + knob + "divider x: 1 y: 1 h: 5\n"),
            "art.txt:15: 'divider' draws on a background or about picture; none is started");
  EXPECT_EQ(errorOf(xml, palette + back + "text \"open\n"), "art.txt:14: a quotation is not closed");
  EXPECT_EQ(errorOf("<SKIN/>", palette), "skin.xml: the root element is not <GUI>");
}

// ---------------------------------------------------------------------------
// The skin in the plug-in's skin system.

TEST(DefaultSkinLoad, BuildsAControlForEveryParameterWithoutAMessage) {
  MessageLog messages;
  TempDocuments docs(false);
  std::string error;
  ASSERT_TRUE(defaultSkin().writeAll(docs.dataFolder() / "skin", error)) << error;
  fs::copy_file(kSource / "sound wizard.xml", docs.dataFolder() / "sound wizard.xml");
  TestInstrument instrument;
  SkinEditor editor(instrument);
  ASSERT_TRUE(editor.open(nullptr));
  const std::string dump = dumpSkin(editor);
  EXPECT_EQ(messages.take(), std::vector<ShownMessage>{});
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
  // The pads, info display, menus and about splash are used on this skin by
  // DrumEditorTest and EditorWindowTest. The wizard's settings each name a real parameter.
  const std::regex setting(R"(^wizard 0 preset (\d+) parameter (\d+) value (\S+)$)");
  std::set<int> presetsWithSettings;
  for (const std::string& line : lines) {
    std::smatch match;
    if (!std::regex_match(line, match, setting)) continue;
    presetsWithSettings.insert(std::stoi(match[1]));
    EXPECT_LE(std::stoi(match[2]), kLastRealParameter) << line;
    EXPECT_TRUE(std::stod(match[3]) >= 0.0 && std::stod(match[3]) <= 1.0) << line;
  }
  EXPECT_GE(presetsWithSettings.size(), 12u);
}

// The catalogue lists every element and attribute the default skin uses, and
// the default skin shows every feature the catalogue offers and nothing that
// this instrument leaves unfed.
TEST(DefaultSkinLoad, UsesEveryFeatureOfTheCatalogueAndNothingOutsideIt) {
  const SkinLayout skin = SkinLayout::parse(readText(fs::path(ZVX_BUILT_DATA) / "skin" / "skin.xml"), "skin.xml");
  const std::vector<const SkinElementKind*> catalogue = DrumEditor::catalogue();
  auto kindsNamed = [&](const std::string& name) {
    std::vector<const SkinElementKind*> kinds;
    for (const SkinElementKind* kind : catalogue)
      if (namesEqual(kind->name, name.c_str())) kinds.push_back(kind);
    return kinds;
  };
  std::set<const SkinElementKind*> used;
  for (const SkinLayout::Element& element : skin.elements()) {
    const std::vector<const SkinElementKind*> kinds = kindsNamed(element.type);
    ASSERT_EQ(kinds.size(), 1u) << element.type;
    used.insert(kinds[0]);
    for (const auto& [name, value] : element.attributes)
      EXPECT_TRUE(std::any_of(kinds[0]->attributes.begin(), kinds[0]->attributes.end(),
                              [&](const SkinAttribute& known) { return namesEqual(known.name, name.c_str()); }))
          << element.type << " " << name;
  }
  for (const SkinElementKind* kind : catalogue) {
    EXPECT_EQ(kindsNamed(kind->name).size(), 1u) << kind->name;
    EXPECT_TRUE(kind->use != SkinElementUse::Feature || used.count(kind)) << kind->name;
    EXPECT_TRUE(kind->use != SkinElementUse::Unfed || !used.count(kind)) << kind->name;
  }
}

// The default skin as a skin maker on Windows may hand it over: CR LF line
// ends, its pictures in a folder of their own, every picture named in upper
// case with backslashes. It loads without a message and draws the same window.
TEST(DefaultSkinLoad, ACopyWrittenOnWindowsLoadsAndDrawsTheSame) {
  auto pictureOf = [](const std::function<void(const fs::path& data)>& install) {
    TempDocuments docs(false);
    install(docs.dataFolder());
    MessageLog messages;
    TestInstrument instrument;
    SkinEditor editor(instrument);
    EXPECT_TRUE(editor.open(nullptr));
    EXPECT_EQ(messages.take(), std::vector<ShownMessage>{});
    if (!editor.getFrame()) return std::vector<gui::Pixel>{};
    editor.getFrame()->redraw();
    return editor.getFrame()->surface().pixels();
  };
  const auto asWindows = [](std::string text) {
    std::string out;
    for (char c : text) out += c == '\n' ? std::string("\r\n") : std::string(1, c);
    return out;
  };
  const std::vector<gui::Pixel> original = pictureOf([](const fs::path& data) {
    std::string error;
    ASSERT_TRUE(defaultSkin().writeAll(data / "skin", error)) << error;
    fs::copy_file(kSource / "sound wizard.xml", data / "sound wizard.xml");
  });
  ASSERT_FALSE(original.empty());
  const std::vector<gui::Pixel> fromWindows = pictureOf([&](const fs::path& data) {
    fs::create_directories(data / "skin" / "art");
    const std::regex named(R"re((filename|bitmap_\w+)="([^"]+)")re");
    for (const SkinSet::File& file : defaultSkin().files()) {
      if (file.name != "skin.xml") {
        writeBytes(data / "skin" / "art" / file.name, std::vector<unsigned char>(file.bytes.begin(), file.bytes.end()));
        continue;
      }
      std::string xml(file.bytes.begin(), file.bytes.end()), renamed;
      std::sregex_iterator at(xml.begin(), xml.end(), named), end;
      std::size_t copied = 0;
      for (; at != end; ++at) {
        std::string name = (*at)[2];
        for (char& c : name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        renamed += xml.substr(copied, static_cast<std::size_t>(at->position()) - copied) + (*at)[1].str() + "=\"Art\\" +
                   name + "\"";
        copied = static_cast<std::size_t>(at->position() + at->length());
      }
      renamed += xml.substr(copied);
      std::ofstream(data / "skin" / "skin.xml", std::ios::binary) << asWindows(renamed);
    }
    std::ofstream(data / "sound wizard.xml", std::ios::binary) << asWindows(readText(kSource / "sound wizard.xml"));
  });
  EXPECT_TRUE(fromWindows == original);
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
  for (std::size_t i = 0; i < rendered.files().size(); ++i) EXPECT_TRUE(rendered.files()[i].bytes == defaultSkin().files()[i].bytes);

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
