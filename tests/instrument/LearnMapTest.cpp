// The MIDI-learn map: its file, its bindings, one table per process, one file for all.

#include <signal.h>

#include "engine/Parameters.h"
#include "image/PngCodec.h"
#include "tests/support/TestSupport.h"
#include "vsthost/HeadlessEditor.h"

namespace zvx::test {
namespace {

bool sampleMenu(int p) { return p >= param::kBDMenu && p <= param::kCPMenu; }

// Moves every controller 0 to 127 to 1.0 and reports which parameters followed.
std::vector<int> boundParameters(vsthost::Plugin& zvx) {
  for (int p = 0; p < kNumParameters; ++p)
    if (!sampleMenu(p)) zvx.setParameter(p, 0.0f);
  std::vector<VstMidiEvent> events;
  for (int cc = 0; cc < 128; ++cc)
    if (cc != 123) events.push_back(controller(0, cc, 127));
  zvx.render(64, 64, events);
  std::vector<int> moved;
  for (int p = 0; p < kNumParameters; ++p)
    if (!sampleMenu(p) && zvx.getParameter(p) == 1.0f) moved.push_back(p);
  return moved;
}

// A skin of two knobs, BDTone's at (20, 20) and SDTone's at (60, 20).
void writeTwoKnobSkin(const TempDocuments& docs) {
  gui::PngCodec::writeFile(gui::Surface(100, 50), (docs.dataFolder() / "skin" / "back.png").string());
  std::ofstream(docs.dataFolder() / "skin" / "skin.xml", std::ios::trunc)
      << R"(<GUI><background filename="back.png"/><knob x="10" y="10" w="20" h="20" id="2"/>)"
      << R"(<knob x="50" y="10" w="20" h="20" id=")" << param::kSDTone << R"("/></GUI>)";
}

// Right-clicks BDTone's knob, chooses menu entry `entry` ("MidiLearn", "Forget CC"), plays `cc`.
void chooseOnBDTone(vsthost::Plugin& zvx, int entry, int cc = -1) {
  vsthost::HeadlessEditor editor(zvx);
  ASSERT_TRUE(editor.open());
  editor.answerMenu({entry});
  editor.click(20, 20, vsthost::HeadlessEditor::kRight);
  if (cc >= 0) zvx.render(64, 64, {controller(0, cc, 64)});
  editor.close();
}

TEST(LearnMapTest, NoFileAndAFileOfMinusOnesBindNothing) {
  TempDocuments docs;
  EXPECT_TRUE(boundParameters(*startZvx()).empty());
  // Nothing learned, nothing written.
  EXPECT_FALSE(fs::exists(docs.dataFolder() / "Pluginccmap.bin"));
  docs.writeFile("Pluginccmap.bin", Bytes(332, 0xFF));
  EXPECT_TRUE(boundParameters(*startZvx()).empty());
  EXPECT_EQ(readBytes(docs.dataFolder() / "Pluginccmap.bin"), Bytes(332, 0xFF));
}

TEST(LearnMapTest, ShortFileBindsOnlyWhatItHoldsAndStaysUntilTheUserChangesABinding) {
  TempDocuments docs;
  const Bytes shortMap = learnMapFile({{param::kVolume, 10}, {param::kTuning, 11}}, 8);
  docs.writeFile("Pluginccmap.bin", shortMap);
  {
    auto zvx = startZvx();
    EXPECT_EQ(boundParameters(*zvx), (std::vector<int>{param::kVolume, param::kTuning}));
  }
  // It may be another process's, half written: left as it was.
  EXPECT_EQ(readBytes(docs.dataFolder() / "Pluginccmap.bin"), shortMap);
  // Once the user learns a binding, the map is the user's and is saved whole.
  writeTwoKnobSkin(docs);
  chooseOnBDTone(*startZvx(), 0, 30);
  EXPECT_EQ(readBytes(docs.dataFolder() / "Pluginccmap.bin"),
            learnMapFile({{param::kVolume, 10}, {param::kTuning, 11}, {param::kBDTone, 30}}));
}

TEST(LearnMapTest, OneControllerMovesEveryParameterBoundToItAndInstancesShareOneTable) {
  TempDocuments docs;
  const Bytes map = learnMapFile({{param::kBDGain, 7}, {param::kSDGain, 7}, {param::kBDTone, 74}});
  docs.writeFile("Pluginccmap.bin", map);
  auto first = startZvx();
  first->render(64, 64, {controller(10, 7, 64)});
  EXPECT_FLOAT_EQ(first->getParameter(param::kBDGain), 64.0f / 127.0f);
  EXPECT_FLOAT_EQ(first->getParameter(param::kSDGain), 64.0f / 127.0f);
  // The file changes under the running instance; a second one uses the live table.
  docs.writeFile("Pluginccmap.bin", learnMapFile({}));
  auto second = startZvx();
  second->render(64, 64, {controller(0, 74, 127)});
  EXPECT_EQ(second->getParameter(param::kBDTone), 1.0f);
  first->render(64, 64, {controller(0, 74, 0)});
  EXPECT_EQ(first->getParameter(param::kBDTone), 0.0f);
  // Nothing was learned here: the file stays as the other writer left it.
  first.reset();
  second.reset();
  EXPECT_EQ(readBytes(docs.dataFolder() / "Pluginccmap.bin"), learnMapFile({}));
}

// Three host processes share the map file: each writes back only what its
// user changed onto the file as it is then, so both learned bindings stay.
TEST(LearnMapTest, ProcessesLearningDifferentControllersBothKeepTheirs) {
  TempDocuments docs;
  writeTwoKnobSkin(docs);
  docs.writeFile("Pluginccmap.bin", learnMapFile({{param::kVolume, 7}}));
  const auto host = [&docs](const std::vector<std::string>& learn) {
    std::vector<std::string> arguments = {ZVX_MODULE_PATH};
    arguments.insert(arguments.end(), learn.begin(), learn.end());
    auto program = std::make_unique<RunningProgram>(ZVX_LEARN_HELPER, arguments, docs.documents());
    EXPECT_TRUE(program->waitForOutput("ready", std::chrono::seconds(60))) << program->err();
    return program;
  };
  const auto close = [](RunningProgram& program) {
    program.signal(SIGUSR1);
    const ProgramRun run = program.wait();
    EXPECT_EQ(run.exitCode, 0) << run.err;
  };
  auto idle = host({});
  auto kick = host({"20,20,20"});
  auto snare = host({"60,20,21"});
  close(*kick);
  EXPECT_EQ(readBytes(docs.dataFolder() / "Pluginccmap.bin"), learnMapFile({{param::kVolume, 7}, {param::kBDTone, 20}}));
  close(*snare);
  close(*idle);
  const Bytes both = learnMapFile({{param::kVolume, 7}, {param::kBDTone, 20}, {param::kSDTone, 21}});
  EXPECT_EQ(readBytes(docs.dataFolder() / "Pluginccmap.bin"), both);
  // A fourth host reads both bindings; forgetting one ("Forget CC 20", the
  // menu's second entry) writes back that one alone.
  auto forget = host({});
  EXPECT_EQ(readBytes(docs.dataFolder() / "Pluginccmap.bin"), both);
  close(*forget);
  {
    auto zvx = startZvx();
    EXPECT_EQ(boundParameters(*zvx), (std::vector<int>{param::kVolume, param::kBDTone, param::kSDTone}));
    chooseOnBDTone(*zvx, 1);
    // Meanwhile another process binds the clap's tone.
    docs.writeFile("Pluginccmap.bin", learnMapFile({{param::kVolume, 7}, {param::kBDTone, 20}, {param::kSDTone, 21},
                                                    {param::kCPTone, 22}}));
  }
  EXPECT_EQ(readBytes(docs.dataFolder() / "Pluginccmap.bin"),
            learnMapFile({{param::kVolume, 7}, {param::kSDTone, 21}, {param::kCPTone, 22}}));
}

}  // namespace
}  // namespace zvx::test
