// The instrument's editor end to end: the built module, its editor opened
// without a window and driven through the headless protocol, on the default
// skin in a temporary data folder.

#include "editor/NoteDisplay.h"
#include "engine/Parameters.h"
#include "image/ImageFile.h"
#include "image/PngCodec.h"
#include "tests/support/HostCallLog.h"
#include "tests/support/TestSupport.h"
#include "vsthost/HeadlessEditor.h"

namespace zvx::test {
namespace {

using vsthost::HeadlessEditor, vsthost::Picture;

using param::kBDDecay, param::kBDMenu, param::kBDTone;
// The pads, whose buttons share their tags with the voices' trigger lights.
constexpr int kBDPad = param::kFirstPad + kBD, kSDPad = param::kFirstPad + kSD, kHHPad = param::kFirstPad + kHH;
constexpr int kSnareOutput = 3, kBassDrumOutput = 2;

class DrumEditorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    documents_.installDefaultData(ZVX_BUILT_DATA);
    plugin_ = startZvx();
    calls_ = std::make_unique<test::HostCallLog>(*plugin_);
    editor_ = std::make_unique<HeadlessEditor>(*plugin_);
    MessageCapture capture;
    open();
    openedWith_ = capture.messages();
  }
  void TearDown() override {
    if (editor_) editor_->close();
  }
  void open() {
    ASSERT_TRUE(editor_->open());
    editor_->idle();
  }
  vsthost::ViewRect rectOf(const std::string& className, long tag) {
    const auto rect = editor_->find(className, tag);
    EXPECT_TRUE(rect) << className << " " << tag << " not in\n" << editor_->describe();
    return rect.value_or(vsthost::ViewRect{});
  }
  float valueOf(const std::string& className, long tag) {
    const auto value = editor_->valueOf(className, tag);
    EXPECT_TRUE(value) << className << " " << tag;
    return value.value_or(-1.0f);
  }
  std::string readOut() {
    const std::string all = editor_->describe();
    const std::size_t at = all.find("TextDisplay tag=980 ");
    if (at == std::string::npos) return {};
    const std::size_t start = all.find("text=\"", at) + 6;
    return all.substr(start, all.find('"', start) - start);
  }
  // A right click on the control in `rect`, choosing `answer` from its (learn) menu.
  void rightClick(const vsthost::ViewRect& rect, const std::vector<int>& answer) {
    editor_->answerMenu(answer);
    editor_->click(rect.centreX(), rect.centreY(), HeadlessEditor::kRight);
  }

  TempDocuments documents_;
  std::vector<ShownMessage> openedWith_;  // what opening the editor showed
  std::unique_ptr<vsthost::Plugin> plugin_;
  std::unique_ptr<test::HostCallLog> calls_;
  std::unique_ptr<HeadlessEditor> editor_;
};

TEST_F(DrumEditorTest, DraggingAKnobAutomatesItsParameterAndHostChangesMoveTheKnob) {
  EXPECT_EQ(readOut(), "Parameter Value");
  const auto knob = rectOf("CAnimKnob", kBDTone);
  const float before = plugin_->getParameter(kBDTone);
  calls_->clear();
  // Linear knob mode: 200 pixels up is the whole range, so 50 is a quarter.
  editor_->drag(knob.centreX(), knob.centreY(), knob.centreX(), knob.centreY() - 50);
  EXPECT_NEAR(plugin_->getParameter(kBDTone), before + 0.25f, 0.01f);
  const std::vector<VstInt32> calls = calls_->edits(kBDTone);
  ASSERT_GE(calls.size(), 3u);
  EXPECT_TRUE(calls.front() == audioMasterBeginEdit && calls.back() == audioMasterEndEdit);
  EXPECT_TRUE(std::all_of(calls.begin() + 1, calls.end() - 1, [](VstInt32 op) { return op == audioMasterAutomate; }));
  // The right button never turns the knob: it belongs to MIDI learn.
  editor_->answerMenu({});
  const float turned = plugin_->getParameter(kBDTone);
  editor_->drag(knob.centreX(), knob.centreY(), knob.centreX(), knob.centreY() - 50, 8, 0);
  editor_->click(knob.centreX(), knob.centreY(), HeadlessEditor::kRight);
  EXPECT_NEAR(plugin_->getParameter(kBDTone), std::min(turned + 0.25f, 1.0f), 0.01f);

  // The host's change from another thread shows at the next idle, not before.
  std::thread([&] { plugin_->setParameter(kBDDecay, 0.9f); }).join();
  EXPECT_NE(valueOf("CAnimKnob", kBDDecay), 0.9f) << "views change only on the GUI thread";
  editor_->idle();
  EXPECT_NEAR(valueOf("CAnimKnob", kBDDecay), 0.9f, 1e-4);

  // Pointing at the knob names its parameter in the read-out (the learn control
  // lying over the knob answers for it); pointing away restores the default text.
  editor_->moveTo(knob.centreX(), knob.centreY());
  EXPECT_EQ(readOut(), plugin_->parameterName(kBDTone) + ": " + plugin_->parameterDisplay(kBDTone) + " ");
  editor_->moveTo(400, 140);
  EXPECT_EQ(readOut(), "Parameter Value");
}

TEST_F(DrumEditorTest, MidiLearnBindsTheNextControllerAndForgetsOnlyThatBinding) {
  const auto tone = rectOf("CAnimKnob", kBDTone);
  const auto decay = rectOf("CAnimKnob", kBDDecay);

  rightClick(tone, {0});
  EXPECT_EQ(editor_->lastMenu(), "[ ] MidiLearn\n");
  plugin_->render(64, 64, {controller(0, 74, 127)});
  EXPECT_FLOAT_EQ(plugin_->getParameter(kBDTone), 1.0f) << "the learning message moves the parameter";

  // Arming one parameter and then another binds only the last.
  rightClick(tone, {0});
  rightClick(decay, {0});
  plugin_->render(64, 64, {controller(0, 74, 0)});
  EXPECT_FLOAT_EQ(plugin_->getParameter(kBDTone), 0.0f);
  EXPECT_FLOAT_EQ(plugin_->getParameter(kBDDecay), 0.0f);

  // The menu now offers to forget 74; forgetting leaves BDDecay bound.
  rightClick(tone, {1});
  EXPECT_EQ(editor_->lastMenu(), "[ ] MidiLearn\n[ ] Forget CC 74\n");
  plugin_->render(64, 64, {controller(0, 74, 127)});
  EXPECT_FLOAT_EQ(plugin_->getParameter(kBDTone), 0.0f);
  EXPECT_FLOAT_EQ(plugin_->getParameter(kBDDecay), 1.0f);
  rightClick(tone, {});
  EXPECT_EQ(editor_->lastMenu(), "[ ] MidiLearn\n");

  // An armed parameter does not outlive the editor's window.
  rightClick(tone, {0});
  editor_->close();
  plugin_->render(64, 64, {controller(0, 20, 127)});
  EXPECT_FLOAT_EQ(plugin_->getParameter(kBDTone), 0.0f);
  // The learn menus are no edits of the parameters they bind.
  EXPECT_TRUE(calls_->edits(kBDTone).empty() && calls_->edits(kBDDecay).empty());
}

TEST_F(DrumEditorTest, WizardEntryAppliesItsSettingsAndTheMenuReturnsToItsFirstEntry) {
  // The editor's records of the sound wizard, one a setting.
  const std::string built = editor_->describe();
  // "Long 808 tail" is entry 2: BD sample, tone, decay, pitch, gain, sync.
  const auto wizard = rectOf("COptionMenu", 1000);
  editor_->answerMenu({2});
  editor_->click(wizard.centreX(), wizard.centreY());
  int records = 0, applied = 0;
  for (const std::string& line : linesOf(built)) {
    int menu, preset, parameter;
    float value;
    if (std::sscanf(line.c_str(), "wizard %d preset %d parameter %d value %f", &menu, &preset, &parameter, &value) != 4)
      continue;
    ++records;
    if (preset != 2) continue;
    EXPECT_NEAR(plugin_->getParameter(parameter), value, 1e-4) << line;
    ++applied;
  }
  EXPECT_TRUE(records > 12 * 3 && applied >= 3) << records << " " << applied;
  EXPECT_EQ(valueOf("COptionMenu", 1000), 0.0f);
}

TEST_F(DrumEditorTest, SkinSelectorTellsHowToChangeTheSkinInPlainLines) {
  const auto selector = rectOf("COptionMenu", 999);
  MessageCapture capture;
  editor_->answerMenu({0});
  editor_->click(selector.centreX(), selector.centreY());
  // Its first line, as standard error shows it.
  EXPECT_EQ(capture.messages(), (std::vector<ShownMessage>{{"none", "SKIN SELECTOR!", "How to change the skin:"}}));
  // The whole text names the skin folder this editor was loaded from.
  const std::string& text = capture.output();
  const std::string folderLine = (documents_.dataFolder() / "skin").string();
  EXPECT_NE(text.find('\n' + folderLine + '\n'), std::string::npos) << text;
  EXPECT_EQ(text.find("My Documents"), std::string::npos);
  for (char c : text) EXPECT_TRUE(c == '\n' || static_cast<unsigned char>(c) >= 32) << static_cast<int>(c);
}

TEST_F(DrumEditorTest, SampleMenusShowTheFileTheValuePlaysAndChoosingAgainReloadsIt) {
  // The host's 0.5 plays file 3 (CPA): the menu says so, opened before or after.
  plugin_->setParameter(kBDMenu, 0.5f);
  editor_->idle();
  EXPECT_EQ(static_cast<int>(valueOf("COptionMenu", kBDMenu)), 3);
  editor_->close();
  open();
  EXPECT_EQ(static_cast<int>(valueOf("COptionMenu", kBDMenu)), 3);
  // The bass drum plays its layer alone; SDA.wav is replaced while ZVX runs,
  // by a constant of one sign and then of the other.
  plugin_->setParameter(param::kBDMix, 1.0f);
  const auto menu = rectOf("COptionMenu", kBDMenu);
  auto hitAfterChoosing = [&](std::int16_t level) {
    documents_.writeFile("SDA.wav", monoWav(std::vector<std::int16_t>(20000, level)));
    editor_->answerMenu({1});  // "SDA"
    editor_->click(menu.centreX(), menu.centreY());
    EXPECT_FLOAT_EQ(plugin_->getParameter(kBDMenu), 1.0f / 7.0f);
    return plugin_->render(512, 512, {noteOn(0, 35)})[kBassDrumOutput][200];
  };
  EXPECT_GT(hitAfterChoosing(16000), 0.0f);
  EXPECT_LT(hitAfterChoosing(-16000), 0.0f);
}

TEST_F(DrumEditorTest, NotesLightTheirVoiceForItsNumberOfIdleCallsAndPadsPlayTheirVoice) {
  // How many idle calls in a row show the light of `tag` on.
  const auto idlesLit = [&](long tag) {
    int calls = 0;
    for (editor_->idle(); valueOf("COnOffButton", tag) == 1.0f && calls < 20; editor_->idle()) ++calls;
    return calls;
  };
  plugin_->render(256, 256, {noteOn(0, 36)});
  EXPECT_EQ(idlesLit(kBDPad), 2);
  plugin_->render(256, 256, {noteOn(0, 42)});
  EXPECT_EQ(idlesLit(kHHPad), 6);

  // The snare's pad: the snare sounds, the bass drum does not, and its light goes on.
  plugin_->render(44100);
  const auto pad = rectOf("CKickButton", kSDPad);
  editor_->click(pad.centreX(), pad.centreY());
  const std::vector<std::vector<float>> out = plugin_->render(4096);
  EXPECT_GT(peak(out[kSnareOutput]), 0.01);
  EXPECT_LT(peak(out[kBassDrumOutput]), 1e-6);
  editor_->idle();
  EXPECT_EQ(valueOf("COnOffButton", kSDPad), 1.0f);
}

TEST_F(DrumEditorTest, DefaultSkinOpensWithoutAMessageAndLooksAsReviewed) {
  EXPECT_EQ(openedWith_, std::vector<ShownMessage>{});
  const Picture picture = editor_->picture();
  ASSERT_TRUE(picture.width == 800 && picture.height == 500);
  gui::Surface shot(800, 500);
  std::copy(picture.pixels.begin(), picture.pixels.end(), shot.data());
  gui::PngCodec::writeFile(shot, ZVX_EDITOR_PICTURE);

  const gui::Surface reference = gui::ImageFile::load(ZVX_EDITOR_REFERENCE);
  ASSERT_TRUE(reference.width() == 800 && reference.height() == 500) << "the reviewed picture " << ZVX_EDITOR_REFERENCE;
  int worst = 0, off = 0;
  for (int y = 0; y < 500; ++y)
    for (int x = 0; x < 800; ++x) {
      const gui::Pixel a = shot.at(x, y), b = reference.at(x, y);
      const int difference = std::max({std::abs(gui::redOf(a) - gui::redOf(b)), std::abs(gui::greenOf(a) - gui::greenOf(b)),
                                       std::abs(gui::blueOf(a) - gui::blueOf(b))});
      worst = std::max(worst, difference);
      off += difference > 24;
    }
  EXPECT_EQ(off, 0) << "pixels differ from the reviewed picture by more than 24 (worst " << worst
                    << "); the new one is " << ZVX_EDITOR_PICTURE;
}

}  // namespace
}  // namespace zvx::test

namespace zvx::test {
namespace {

// What the note display shows for a note value and mode; nothing sets them
// yet, so the skin's display reads "OFF".
TEST(NoteDisplayTest, ShowsOffANoteWithItsOctaveOrAChord) {
  EXPECT_EQ(NoteDisplay::textFor(61, 0), "OFF");
  EXPECT_EQ(NoteDisplay::textFor(61, 1), "C# 3");
  EXPECT_EQ(NoteDisplay::textFor(0, 1), "C -2");
  EXPECT_EQ(NoteDisplay::textFor(-1, 1), " -2");  // truncating division of a negative note
  EXPECT_EQ(NoteDisplay::textFor(60, 2), "Chord");
}

}  // namespace
}  // namespace zvx::test
