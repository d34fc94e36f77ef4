// The VST 3 bundle under wine, as a Windows host loads it: the bundle beside
// this program (its binary under Contents/x86_64-win, InitDll after loading
// and ExitDll before unloading), playing as ZVX.dll does bit for bit, its
// state holding ZVX.dll's bank chunk, its view a child of a host window.
#include <gtest/gtest.h>

#include <cstring>

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

}  // namespace
}  // namespace zvx::wintest
