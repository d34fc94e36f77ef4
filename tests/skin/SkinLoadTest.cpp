// Small skins loaded into a headless editor: their dump and the messages broken ones show.

#include "editor/DrumEditor.h"
#include "gui/CKnob.h"
#include "image/PngCodec.h"
#include "skin/SkinDump.h"
#include "tests/support/TestInstrument.h"
#include "tests/support/TestSupport.h"

namespace zvx {
namespace {

namespace fs = std::filesystem;
using gui::makePixel, gui::Surface;

using Shown = std::vector<test::ShownMessage>;
using test::TestInstrument;

class SkinLoadTest : public ::testing::Test {
 protected:
  SkinLoadTest() {
    fs::create_directories(skinFolder());
    writePicture("back.png", Surface(200, 100, makePixel(10, 20, 30)));
    writePicture("knob.png", Surface(20, 20 * 8, makePixel(200, 0, 0)));
    writePicture("handle.png", Surface(6, 6, makePixel(255, 255, 0)));
    writePicture("button.png", Surface(16, 32, makePixel(0, 0, 200)));
    writePicture("switch.png", Surface(16, 48, makePixel(0, 100, 0)));
    writePicture("pop.png", Surface(100, 50, makePixel(90, 90, 90)));
  }
  fs::path skinFolder() const { return docs_.dataFolder() / "skin"; }
  void writePicture(const std::string& name, const Surface& picture) {
    gui::PngCodec::writeFile(picture, (skinFolder() / name).string());
  }
  void writeSkin(const std::string& xml) { std::ofstream(skinFolder() / "skin.xml", std::ios::trunc) << xml; }
  Shown shown() { return messages_.take(); }
  std::string load(const std::string& xml, bool instruments = false) {
    writeSkin(xml);
    editor_.reset();
    instrument_ = std::make_unique<TestInstrument>();
    instrument_->values.fill(0.0f);
    instrument_->values[0] = 0.5f;
    instrument_->values[1] = 0.49f;
    instrument_->values[7] = 0.5f;
    editor_ = instruments ? std::make_unique<DrumEditor>(*instrument_) : std::make_unique<SkinEditor>(*instrument_);
    opened_ = editor_->open(nullptr);
    return dumpSkin(*editor_);
  }

  test::MessageLog messages_;
  test::TempDocuments docs_{false};
  std::unique_ptr<TestInstrument> instrument_;
  std::unique_ptr<SkinEditor> editor_;
  bool opened_ = false;
};

TEST_F(SkinLoadTest, EveryElementTypeBuildsWhatItShould) {
  const std::string dump = load(R"(<GUI>
  <background filename="back.png"/>
  <CONSTANTS>A, B, K = 10, D
    KNOBID = 3</CONSTANTS>
  <knob x="10" y="10" w="20" h="20" id="KNOBID" stackbmp="Yes" bitmap_handle="knob.png" default="D*0.02"/>
  <knob x="40" y="10" w="20" h="20" id="1" bitmap_handle="handle.png" transparent="1"/>
  <slider x="70" y="10" len="50" id="2" bitmap_handle="handle.png"/>
  <slider x="130" y="10" len="50" id="4" style="2" bitmap_handle="handle.png"/>
  <onoff x="10" y="40" id="0" bitmap_handle="button.png"/>
  <autodisp x="50" y="40" w="30" h="10" id="20" link="K" fontcolor="FF8000"/>
  <display x="50" y="55" w="30" h="10" id="21"/>
  <anydisp x="0" y="90" w="100" h="10"/>
  <anydisp x="100" y="90" w="100" h="10" transparent="no"/>
  <optionmenu x="90" y="40" w="40" h="12" id="7"><list><entry>Sine</entry><entry>Saw</entry><entry>Square</entry></list></optionmenu>
  <optionmenu x="90" y="55" w="40" h="12" id="8"/>
  <skinselector x="140" y="40" w="40" h="12"/>
  <vswitch x="10" y="60" id="5" entries="3" bitmap_handle="switch.png"/>
  <hswitch x="30" y="60" id="6" entries="3" bitmap_handle="switch.png"/>
  <kick x="50" y="70" id="99" bitmap_handle="button.png" transparent="0"/>
  <about x="0" y="0" w="10" h="10" bitmap_pop="pop.png"/>
  <vumeter x="180" y="60" id="9" leds="4" style="2" bitmap_on="switch.png" bitmap_off="switch.png"/>
  <update src="3" dst="20"/>
  <label text="ignored"/>
</GUI>)");
  EXPECT_TRUE(opened_);
  EXPECT_EQ(shown(), Shown{});
  EXPECT_EQ(dump,
            "frame 0,0,200,100 background=back.png(200x100)\n"
            "CAnimKnob tag=3 rect=10,10,30,30 bitmap=knob.png(20x160) value=0.0000\n"
            "CKnob tag=1 rect=40,10,60,30 bitmap=back.png(200x100) value=0.4900 transparent\n"
            "CSlider tag=2 rect=70,10,120,16 bitmap=back.png(200x100) value=0.0000\n"
            "CSlider tag=4 rect=130,10,136,60 bitmap=back.png(200x100) value=0.0000\n"
            "COnOffButton tag=0 rect=10,40,26,56 bitmap=button.png(16x32) value=1.0000\n"
            "AutoDisplay tag=20 rect=50,40,80,50 bitmap=- value=0.0000 link=10\n"
            "TextDisplay tag=21 rect=50,55,80,65 bitmap=- value=0.0000 text=\"init\"\n"
            "TextDisplay tag=980 rect=0,90,100,100 bitmap=- value=0.0000 text=\"init\"\n"
            "TextDisplay tag=980 rect=100,90,200,100 bitmap=back.png(200x100) value=0.0000 text=\"init\"\n"
            "COptionMenu tag=7 rect=90,40,130,52 bitmap=- value=1.0000 entries=[Sine|Saw|Square]\n"
            "COptionMenu tag=8 rect=90,55,130,67 bitmap=- value=0.0000 entries=[You|must|add|your|menu|handler|sub]\n"
            "COptionMenu tag=999 rect=140,40,180,52 bitmap=- value=0.0000 entries=[How to change Skin]\n"
            "CVerticalSwitch tag=5 rect=10,60,26,76 bitmap=switch.png(16x48) value=0.0000\n"
            "CHorizontalSwitch tag=6 rect=30,60,46,76 bitmap=switch.png(16x48) value=0.0000\n"
            "CKickButton tag=99 rect=50,70,66,86 bitmap=button.png(16x32) value=0.0000\n"
            "CSplashScreen tag=1020 rect=0,0,10,10 bitmap=pop.png(100x50) value=0.0000\n"
            "CVuMeter tag=0 rect=180,60,196,108 bitmap=- value=0.0000\n"
            "update 3 -> 20\n"
            "menutag 7\n"
            "menutag 8\n"
            "infodisplay tag=980\n"
            "about 1\n");
  // The second information display won; defaults and options came through.
  EXPECT_EQ(editor_->infoDisplay->getViewSize().left, 100);
  auto* stacked = static_cast<CAnimKnob*>(editor_->getFrame()->getView(0));
  EXPECT_FLOAT_EQ(stacked->getDefaultValue(), 0.22f);  // D = 11
  EXPECT_EQ(static_cast<CSplashScreen*>(editor_->getFrame()->getView(15))->displayRect(), CRect(50, 25, 150, 75));
}

// Each kind with just its required attributes builds silently; without any one, a message.
TEST_F(SkinLoadTest, AnElementNeedsExactlyTheAttributesTheCatalogueRequires) {
  std::ofstream(docs_.dataFolder() / "sound wizard.xml") << "<settings/>";
  auto valueFor = [](const std::string& name) {
    if (name == "filename" || name.rfind("bitmap_", 0) == 0) return "button.png";
    return name.find("color") != std::string::npos ? "FFFFFF" : "1";
  };
  for (const SkinElementKind* kind : DrumEditor::catalogue()) {
    std::vector<std::string> required;
    for (const SkinAttribute& attribute : kind->attributes)
      if (!attribute.fallback) required.push_back(attribute.name);
    for (std::size_t left = 0; left <= required.size(); ++left) {  // the one left out; none at the end
      std::string element = std::string("<") + kind->name;
      for (std::size_t i = 0; i < required.size(); ++i)
        if (i != left) element += " " + required[i] + "=\"" + valueFor(required[i]) + "\"";
      load("<GUI><background filename=\"back.png\"/>" + element + "/></GUI>", true);
      EXPECT_EQ(shown().empty(), left == required.size()) << element;
    }
  }
}

TEST_F(SkinLoadTest, MissingRootlessOrBackgroundlessSkinsSaySoAndTheSizeComesFromTheBackground) {
  editor_.reset();
  instrument_ = std::make_unique<TestInstrument>();
  fs::remove(skinFolder() / "skin.xml");
  SkinEditor editor(*instrument_);
  EXPECT_FALSE(editor.open(nullptr));
  const std::string path = (skinFolder() / "skin.xml").string();
  EXPECT_EQ(shown(), (Shown{{"error", "Missing file", path}, {"error", "Missing file", path}}));
  load("<SKIN><background filename=\"back.png\"/></SKIN>");
  EXPECT_FALSE(opened_);
  EXPECT_EQ(shown(), (Shown{{"error", "XML error", "<GUI> node missing"}, {"error", "XML error", "<GUI> node missing"}}));

  // A background that is missing, unnamed or late is told at open.
  const char* knob = R"(<knob x="10" y="10" w="20" h="20" id="3" bitmap_handle="handle.png"/>)";
  load("<GUI><CONSTANTS>A = 1</CONSTANTS></GUI>");
  EXPECT_FALSE(opened_);
  EXPECT_EQ(shown(), (Shown{{"error", "XML error", "<background> node missing"}}));
  load(std::string("<GUI><background/>") + knob + "</GUI>");
  EXPECT_FALSE(opened_);
  EXPECT_EQ(shown(), (Shown{{"error", "Skin Error", "Missing tag filename for object background"}}));
  // Late: the window opens, without the controls that came before it.
  const std::string dump = load(std::string("<GUI>") + knob + R"(<background filename="back.png"/></GUI>)");
  EXPECT_TRUE(opened_);
  EXPECT_EQ(shown(), (Shown{{"error", "XML error", "<background> node missing before <knob>"}}));
  EXPECT_EQ(dump.find("CKnob"), std::string::npos) << dump;
  // The window's size comes from the background alone; the knob's faults show at open.
  writeSkin(R"(<GUI><background filename="back.png"/><knob y="1"/></GUI>)");
  SkinEditor sized(*instrument_);
  EXPECT_EQ(std::make_pair(sized.width(), sized.height()), std::make_pair(200, 100));
  EXPECT_TRUE(shown().empty());
  // A background that cannot be read: a 0 x 0 window, the rest still built.
  load(R"(<GUI><background filename="nothing.bmp"/><display x="1" y="1" w="5" h="5" id="1"/></GUI>)");
  EXPECT_EQ(editor_->width(), 0);
  EXPECT_EQ(editor_->getFrame()->getNbViews(), 1);
}

// Names are case-blind, as on Windows; between two files differing by case the exact name wins.
TEST_F(SkinLoadTest, BitmapNamesFindTheirFilesWhateverTheCaseAndSeparator) {
  fs::create_directories(skinFolder() / "Art");
  writePicture("Art/Knob.png", Surface(20, 40, makePixel(1, 2, 3)));
  writePicture("Art/knob.png", Surface(20, 80, makePixel(1, 2, 3)));
  writePicture("Art/only.png", Surface(10, 10, makePixel(1, 2, 3)));
  for (const auto& [name, size] : {std::pair{"art\\knob.png", "(20x80)"}, {"ART\\Knob.png", "(20x40)"}}) {
    const std::string dump = load(std::string(R"(<GUI><background filename="BACK.PNG"/>
  <onoff x="1" y="1" id="0" bitmap_handle=")") + name + R"("/>
  <onoff x="60" y="1" id="2" bitmap_handle="art/ONLY.PNG"/></GUI>)");
    EXPECT_TRUE(opened_);
    EXPECT_EQ(shown(), Shown{});
    for (const std::string found : {"background=BACK.PNG(200x100)", "bitmap=art/ONLY.PNG(10x10)"})
      EXPECT_NE(dump.find(found), std::string::npos) << found << "\n" << dump;
    EXPECT_NE(dump.find(std::string("bitmap=") + name + size), std::string::npos) << dump;
  }
}

TEST_F(SkinLoadTest, HostileNumbersTextsAndCountsLoadAndDrawInBoundedTime) {
  // Sixteen megabytes of entry text and a display two billion pixels wide.
  const std::string huge(16u << 20, 'E');
  const std::string dump = load(R"(<GUI><background filename="back.png"/>
  <display x="0" y="0" w="2000000000" h="20" id="21" font="99" halign="-7" txtface="255"/>
  <optionmenu x="-2000000000" y="40" w="4000000000" h="12" id="7"><list><entry>)" + huge + R"(</entry><entry>B</entry></list></optionmenu>
</GUI>)");
  EXPECT_TRUE(opened_);
  EXPECT_EQ(shown(), Shown{});
  // Coordinates are held within -32768 to 32767, texts to 127 characters.
  EXPECT_NE(dump.find("rect=0,0,32767,20"), std::string::npos) << dump.substr(0, 2000);
  EXPECT_NE(dump.find("rect=-32768,40,32767,52"), std::string::npos) << dump.substr(0, 2000);
  EXPECT_NE(dump.find("entries=[" + std::string(127, 'E') + "|B]"), std::string::npos);
  ASSERT_NE(editor_->getFrame(), nullptr);
  editor_->getFrame()->redraw();

  // A skin past every limit: what fits builds, one message per limit.
  std::string constants, elements, entries;
  for (int i = 0; i < 5000; ++i) constants += 'N' + std::to_string(i) + '=' + std::to_string(i) + '\n';
  for (int i = 0; i < 2000; ++i) entries += "<entry>e" + std::to_string(i) + "</entry>";
  elements += R"(<optionmenu x="0" y="0" w="10" h="10" id="7"><list>)" + entries + "</list></optionmenu>\n";
  elements += R"(<wizard x="0" y="20" w="10" h="10" source="sound wizard.xml"/>)";
  elements += R"(<display x="N4095" y="0" w="1" h="1" id="1"/><display x="N4096" y="0" w="1" h="1" id="1"/>)";
  elements += R"(<knob x="1" y="1" w="20" h="20" id="3" bitmap_bk="knob.png"/>)";
  for (int i = 0; i < 3000; ++i) elements += R"(<update src="3" dst="4"/>)";
  for (int i = 0; i < 3000; ++i) elements += R"(<knob x="1" y="1" w="20" h="20" id="4" bitmap_bk="knob.png"/>)";
  std::string wizard = "<settings>";
  for (int preset = 0; preset < 1100; ++preset) {
    wizard += "<PRESET name=\"p" + std::to_string(preset) + "\">";
    for (int i = 0; i < 100; ++i) wizard += R"(<SET param="1" value="0.5"/>)";
    wizard += "</PRESET>";
  }
  std::ofstream(docs_.dataFolder() / "sound wizard.xml") << wizard << "</settings>";

  const std::string packed =
      load("<GUI><background filename=\"back.png\"/><CONSTANTS>" + constants + "</CONSTANTS>" + elements + "</GUI>");
  EXPECT_TRUE(opened_);
  EXPECT_EQ(shown(), (Shown{
                         {"error", "Skin Error", "More than 4096 constants in the skin: the rest are left out"},
                         {"error", "Skin Error", "More than 1024 entries for object optionmenu: the rest are left out"},
                         {"none", "Skin error", "More than 65536 settings in wizard file: the rest are left out"},
                         {"none", "Skin error", "More than 1024 presets in wizard file: the rest are left out"},
                         {"error", "Skin Error", "Error calculating value of tag x for object display"},
                         {"error", "Skin Error", "More than 4096 elements in the skin: the rest are left out"},
                     }));
  auto linesStarting = [&](const std::string& prefix) {
    long count = 0;
    for (std::size_t at = packed.find("\n" + prefix); at != std::string::npos; at = packed.find("\n" + prefix, at + 1))
      ++count;
    return count;
  };
  EXPECT_EQ(linesStarting("wizard "), 65536);
  EXPECT_EQ(linesStarting("update "), 3000);
  // 4096 less the background, constants, menu, wizard, two displays, knob on 3 and links.
  EXPECT_EQ(linesStarting("CKnob tag=4 "), 1089);
  EXPECT_NE(packed.find("entries=[e0|"), std::string::npos);
  EXPECT_NE(packed.find("|e1023]"), std::string::npos);

  // Every knob on parameter 4 is redrawn when parameter 3 changes.
  CFrame* frame = editor_->getFrame();
  ASSERT_NE(frame, nullptr);
  frame->redraw();
  editor_->setParameter(3, 0.25f);
  long dirty = 0;
  for (long i = 0; i < frame->getNbViews(); ++i)
    if (auto* knob = dynamic_cast<CKnob*>(frame->getView(i)); knob && knob->isDirty()) ++dirty;
  EXPECT_EQ(dirty, 1090);  // and the knob on parameter 3 itself
}

TEST_F(SkinLoadTest, BrokenElementsSayWhyAndTheRestStillBuilds) {
  const std::string longName(300, 'b');
  const std::string dump = load(R"(<GUI>
  <background filename="back.png"/>
  <knob x="1.2.3" y="10" w="20" h="20" id="3"/>
  <slider x="1" y="1" len="10" id="2" style="nope" bitmap_handle="handle.png"/>
  <onoff x="1" y="1" id="0" bitmap_handle=")" + longName + R"("/>
  <autodisp x="1" y="1" w="1" h="1" id="1" link="83"/>
  <display x="1" y="1" w="10" h="10" id="21" fontcolor="white"/>
  <optionmenu x="1" y="1" w="10" h="10" id="7"><list><entry/></list></optionmenu>
  <vswitch x="1" y="1" id="5" entries="0" bitmap_handle="switch.png"/>
  <knob x="60" y="60" w="20" h="20" id="3" xoff="oops"/>
</GUI>)");
  EXPECT_EQ(shown(), (Shown{
                         {"error", "Skin Error", "Error calculating value of tag x for object knob"},
                         {"error", "Skin Error", "Error calculating value of tag style for object slider"},
                         {"error", "Skin Error", "Error calculating value of tag bitmap_handle for object onoff"},
                         {"none", "Skin Error", "Error attempting to link a display to an invalid parameter id"},
                         {"error", "Skin Error", "Error reading colour of tag fontcolor for object display"},
                         {"error", "Skin Error", "Missing text of entry for object optionmenu"},
                         {"error", "Skin Error", "Error calculating value of tag entries for object vswitch"},
                         {"error", "Skin Error", "Error calculating value of tag xoff for object knob"},
                     }));
  EXPECT_EQ(dump,
            "frame 0,0,200,100 background=back.png(200x100)\n"
            "TextDisplay tag=21 rect=1,1,11,11 bitmap=- value=0.0000 text=\"init\"\n"
            "CKnob tag=3 rect=60,60,80,80 bitmap=back.png(200x100) value=0.0000\n"
            "about 0\n");
  EXPECT_EQ(editor_->getFrame()->getView(1)->getBackOffset(), CPoint(60, 60));
}

}  // namespace
}  // namespace zvx
