// The VST 3 bundle under wine, as a Windows host loads it: the bundle beside
// this program (its binary under Contents/x86_64-win, InitDll after loading
// and ExitDll before unloading), playing as ZVX.dll does bit for bit, its
// state holding ZVX.dll's bank chunk, its view a child of a host window;
// every program, chosen through the program list's parameter, at other rates
// and blocks, with automation at its sample, and a state restored into a
// fresh instance, as ZVX.dll plays them.
#include <gtest/gtest.h>

#include <cstring>

#include "engine/Parameters.h"
#include "tests/windows/WindowsSupport.h"
#include "vst3host/Plugin.h"
#include "vsthost/VstHost.h"

namespace zvx::wintest {
namespace {

namespace fs = std::filesystem;

class Vst3BundleTest : public testing::Test {
 protected:
  void SetUp() override {
    const auto documents = DocumentsValue::read();
    if (!underWine() || !fs::exists(fs::path(documents.value_or("")) / "Tonewerk Data" / "ZVX" / "skin" / "skin.xml"))
      GTEST_SKIP() << "needs the wine prefix with the default data that wine_tests prepares";
    std::string error;
    module_ = vst3host::Module::load((programFolder() / "ZVX.vst3").string(), error);
    ASSERT_TRUE(module_) << error;
  }
  std::unique_ptr<vst3host::Module> module_;
};

TEST_F(Vst3BundleTest, LoadsThroughItsEntryFunctionsAndPlaysAsZvxDll) {
  EXPECT_EQ(fs::path(module_->binaryPath()), programFolder() / "ZVX.vst3" / "Contents" / "x86_64-win" / "ZVX.vst3");
  for (const char* name : {"GetPluginFactory", "InitDll", "ExitDll"})
    EXPECT_NE(module_->symbol(name), nullptr) << name;
  const auto classes = module_->classes();
  ASSERT_EQ(classes.size(), 1u);
  EXPECT_EQ(classes[0].name, "ZVX");
  EXPECT_EQ(classes[0].subCategories, "Instrument|Drum");

  std::string error;
  auto vst3 = vst3host::Plugin::create(*module_, error);
  ASSERT_TRUE(vst3) << error;
  ASSERT_TRUE(vst3->start(44100.0, 512)) << vst3->error();
  auto dll = vsthost::Module::load((programFolder() / "ZVX.dll").string(), error);
  ASSERT_TRUE(dll) << error;
  auto vst2 = vsthost::Plugin::create(*dll, {}, error);
  ASSERT_TRUE(vst2) << error;
  vst2->start(44100.0f, 512);

  constexpr int kNotes[] = {36, 38, 42, 39, 46, 35};
  std::vector<VstMidiEvent> events;
  for (int hit = 0; hit < 24; ++hit)
    events.push_back(vsthost::midiEvent(hit * 1800 + hit % 7, 0x99, kNotes[hit % 6], 40 + hit * 3));
  const auto heard = vst3->render(44100, 480, events);
  const auto expected = vst2->render(44100, 512, events);
  ASSERT_EQ(heard.size(), expected.size());
  for (std::size_t c = 0; c < heard.size(); ++c)
    EXPECT_EQ(std::memcmp(heard[c].data(), expected[c].data(), heard[c].size() * sizeof(float)), 0) << "output " << c;

  // The state: 'ZVXS', version 1, the program, the chunk's size, ZVX.dll's bank chunk.
  const auto state = vst3->state();
  ASSERT_TRUE(state);
  void* chunk = nullptr;
  const auto size = static_cast<std::size_t>(vst2->dispatch(effGetChunk, 0, 0, &chunk));
  ASSERT_EQ(state->size(), 16 + size);
  EXPECT_EQ(std::memcmp(state->data(), "ZVXS", 4), 0);
  EXPECT_EQ(std::memcmp(state->data() + 16, chunk, size), 0);

  // The view, a child of the host's window.
  auto editor = vst3->createEditor();
  ASSERT_TRUE(editor);
  EXPECT_EQ(editor->view()->isPlatformTypeSupported(vst3::kPlatformTypeHWND), vst3::kResultOk);
  const auto rect = editor->size();
  ASSERT_TRUE(rect);
  HostWindow host(40, 40, rect->right - rect->left, rect->bottom - rect->top);
  ASSERT_EQ(editor->attach(host.handle()), vst3::kResultOk);
  for (int i = 0; i < 20; ++i, Sleep(10)) pumpMessages();
  EXPECT_EQ(host.children().size(), 1u);
  EXPECT_EQ(editor->remove(), vst3::kResultOk);
  pumpMessages();
  EXPECT_TRUE(host.children().empty());
  EXPECT_EQ(editor->release(), 0u);
  EXPECT_EQ(vst3->close(), 0u);
}

constexpr vst3::ParamID kDecayId = param::kBDDecay;  // the VST 2.4 index is the ID

// A groove of every note at changing velocities, over `frames`.
std::vector<VstMidiEvent> everyNote(int frames) {
  constexpr int kNotes[] = {36, 38, 42, 39, 46, 35, 37, 40, 44, 29, 31, 33};
  std::vector<VstMidiEvent> events;
  for (int hit = 0, at = 0; at < frames; ++hit, at += 2205 + hit % 5)
    events.push_back(vsthost::midiEvent(at, 0x99, kNotes[hit % 12], 30 + (hit * 13) % 98));
  return events;
}

bool same(const std::vector<std::vector<float>>& a, const std::vector<std::vector<float>>& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t c = 0; c < a.size(); ++c)
    if (a[c].size() != b[c].size() || std::memcmp(a[c].data(), b[c].data(), a[c].size() * sizeof(float)) != 0)
      return false;
  return true;
}

TEST_F(Vst3BundleTest, EveryProgramAutomationAndARestoredStatePlayAsZvxDll) {
  std::string error;
  auto dll = vsthost::Module::load((programFolder() / "ZVX.dll").string(), error);
  ASSERT_TRUE(dll) << error;
  constexpr int kFrames = 22050;
  const std::vector<VstMidiEvent> groove = everyNote(kFrames);
  constexpr double kRates[] = {44100.0, 48000.0, 96000.0};
  constexpr int kBlocks[] = {64, 480, 4097};
  for (int program = 0; program < 128; ++program) {
    const double rate = kRates[program % 3];
    const int block = kBlocks[(program / 3) % 3];
    auto vst2 = vsthost::Plugin::create(*dll, {}, error);
    ASSERT_TRUE(vst2) << error;
    vst2->start(static_cast<float>(rate), 512);
    vst2->dispatch(effSetProgram, 0, program);
    auto vst3 = vst3host::Plugin::create(*module_, error);
    ASSERT_TRUE(vst3) << error;
    ASSERT_TRUE(vst3->start(rate, block)) << vst3->error();
    const auto programParameter = vst3->programParameter();
    ASSERT_TRUE(programParameter);
    vst3->setParameter(*programParameter, program / 127.0);
    EXPECT_TRUE(same(vst3->render(kFrames, block, groove), vst2->render(kFrames, 512, groove)))
        << "program " << program << " at " << rate << " Hz in blocks of " << block;
  }

  // A decay moved at sample 7000 of a block of 4096: ZVX.dll hears it between blocks cut there.
  auto vst2 = vsthost::Plugin::create(*dll, {}, error);
  ASSERT_TRUE(vst2) << error;
  vst2->start(44100.0f, 7000);
  const auto first = vst2->render(7000, 7000, groove);
  vst2->setParameter(param::kBDDecay, 0.2f);
  std::vector<VstMidiEvent> rest;
  for (VstMidiEvent event : groove)
    if (event.deltaFrames >= 7000) {
      event.deltaFrames -= 7000;
      rest.push_back(event);
    }
  const auto second = vst2->render(kFrames - 7000, 7000, rest);
  auto vst3 = vst3host::Plugin::create(*module_, error);
  ASSERT_TRUE(vst3) << error;
  ASSERT_TRUE(vst3->start(44100.0, 4096)) << vst3->error();
  const auto heard = vst3->render(kFrames, 4096, groove, {{7000, kDecayId, 0.2}});
  ASSERT_EQ(heard.size(), first.size());
  for (std::size_t c = 0; c < heard.size(); ++c) {
    std::vector<float> expected = first[c];
    expected.insert(expected.end(), second[c].begin(), second[c].end());
    EXPECT_EQ(std::memcmp(heard[c].data(), expected.data(), expected.size() * sizeof(float)), 0) << "output " << c;
  }

  // Its state, program 9 with a decay of its own, restored into a fresh instance: program 9 as
  // ZVX.dll plays it with that decay.
  vst3->setParameter(*vst3->programParameter(), 9 / 127.0);
  vst3->setParameter(kDecayId, 0.7);
  vst3->render(64, 64);
  const auto state = vst3->state();
  ASSERT_TRUE(state);
  auto restored = vst3host::Plugin::create(*module_, error);
  ASSERT_TRUE(restored) << error;
  ASSERT_TRUE(restored->start(44100.0, 512)) << restored->error();
  ASSERT_EQ(restored->setState(*state), vst3::kResultOk);
  EXPECT_EQ(restored->state(), state);
  auto program9 = vsthost::Plugin::create(*dll, {}, error);
  ASSERT_TRUE(program9) << error;
  program9->start(44100.0f, 512);
  program9->dispatch(effSetProgram, 0, 9);
  program9->setParameter(param::kBDDecay, 0.7f);
  EXPECT_TRUE(same(restored->render(kFrames, 512, groove), program9->render(kFrames, 512, groove)));
}

}  // namespace
}  // namespace zvx::wintest
