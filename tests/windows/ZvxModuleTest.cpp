// ZVX.dll end to end under wine, beside this program, its data found through
// the registry of wine_tests' prefix, its editor a child of a host window.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <thread>

#include "editor/DrumEditor.h"
#include "engine/Parameters.h"
#include "formats/vst2/VstPlugin.h"
#include "platform/Messages.h"
#include "tests/support/HostCallLog.h"
#include "tests/windows/WindowsSupport.h"
#include "tools/zvx-data/BmpWriter.h"
#include "vsthost/HeadlessEditor.h"
#include "vsthost/VstHost.h"

namespace zvx::wintest {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

using param::kBDTone;

std::unique_ptr<vsthost::Plugin> createZvx() {
  static std::unique_ptr<vsthost::Module> module;
  std::string error;
  if (!module) module = vsthost::Module::load((programFolder() / "ZVX.dll").string(), error);
  auto plugin = module ? vsthost::Plugin::create(*module, {}, error) : nullptr;
  if (!plugin) ADD_FAILURE() << error;
  if (plugin) plugin->start();
  return plugin;
}

std::string line(const std::string& text, const std::string& caption, platform::MessageIcon icon) {
  return platform::formatMessageLine({text, caption, icon});
}

// Idles the editor as a host does until `done`, for a few seconds at most.
bool idleUntil(vsthost::Plugin& zvx, const std::function<bool()>& done) {
  for (const auto giveUp = std::chrono::steady_clock::now() + 5s; std::chrono::steady_clock::now() < giveUp;) {
    pumpMessages();
    zvx.dispatch(effEditIdle);
    if (done()) return true;
    std::this_thread::sleep_for(5ms);
  }
  return false;
}

class ZvxModuleTest : public testing::Test {
 protected:
  void SetUp() override {
    const auto documents = DocumentsValue::read();
    data_ = fs::path(documents.value_or("")) / "Tonewerk Data" / "ZVX";
    if (!underWine() || !fs::exists(data_ / "skin" / "skin.xml"))
      GTEST_SKIP() << "needs the wine prefix with the default data that wine_tests prepares";
    zvx_ = createZvx();
    if (zvx_) calls_ = std::make_unique<test::HostCallLog>(*zvx_);
    ASSERT_TRUE(zvx_);
  }

  fs::path data_;
  std::unique_ptr<test::HostCallLog> calls_;
  std::unique_ptr<vsthost::Plugin> zvx_;
};

TEST_F(ZvxModuleTest, MessagesNameWhatIsMissingAsOnLinux) {
  DocumentsValue none(nullptr);
  testing::internal::CaptureStderr();
  createZvx();
  const std::string notInstalled = line("ZVX is not installed correctly", "Error!", platform::MessageIcon::None);
  // Once at the open and once at the close, as on Linux; the loads stay quiet.
  EXPECT_EQ(messageLines(testing::internal::GetCapturedStderr()),
            (std::vector<std::string>{notInstalled, notInstalled}));

  // Installed but for the skin: its full Windows path is shown.
  ScratchFolder documents;
  DocumentsValue value(documents.native().c_str());
  const fs::path folder = documents.path() / "Tonewerk Data" / "ZVX";
  fs::create_directories(folder);
  for (const char* name : {"BDA.wav", "SDA.wav", "HHA.wav", "CPA.wav"}) fs::copy_file(data_ / name, folder / name);
  testing::internal::CaptureStderr();
  {
    auto zvx = createZvx();
    HostWindow host(40, 40, 200, 100);
    EXPECT_EQ(zvx->dispatch(effEditOpen, 0, 0, host.handle()), 0) << "no skin, no editor";
  }
  const std::string missing =
      line(documents.native() + "\\Tonewerk Data\\ZVX\\skin\\skin.xml", "Missing file", platform::MessageIcon::Error);
  // At construction (the window size) and at the open.
  EXPECT_EQ(messageLines(testing::internal::GetCapturedStderr()), (std::vector<std::string>{missing, missing}));
}

// wine_tests compares the capture with the Linux build's editor.
TEST_F(ZvxModuleTest, TheEditorOpensAsOneChildWindowOfTheHostsAndIsCaptured) {
  HostWindow host(40, 40, 800, 500);
  ASSERT_EQ(zvx_->dispatch(effEditOpen, 0, 0, host.handle()), 1);
  // A host that opens again without closing still has one editor window.
  ASSERT_EQ(zvx_->dispatch(effEditOpen, 0, 0, host.handle()), 1);
  ASSERT_EQ(host.children().size(), 1u);
  HWND child = host.children()[0];
  EXPECT_TRUE(GetWindowLongPtrA(child, GWL_STYLE) & WS_CHILD);
  for (int i = 0; i < 3; ++i) pumpMessages(), zvx_->dispatch(effEditIdle);
  if (const char* out = std::getenv("ZVX_WINE_CAPTURE")) writeFile(out, data::BmpWriter::encode(capture(child)));
  zvx_->dispatch(effEditClose);
  EXPECT_TRUE(host.children().empty());
  HMODULE handle = GetModuleHandleA((programFolder() / "ZVX.dll").string().c_str());
  EXPECT_EQ(GetProcAddress(handle, "main"), GetProcAddress(handle, "VSTPluginMain")) << "both entries, one function";
}

TEST_F(ZvxModuleTest, AHostWindowDestroyedBeforeTheEditorClosesIsSurvived) {
  HostWindow host(40, 40, 800, 500);
  ASSERT_EQ(zvx_->dispatch(effEditOpen, 0, 0, host.handle()), 1);
  HWND gone = host.handle();
  host.destroy();
  // The editor draws into its window, which went with its parent.
  zvx_->setParameter(kBDTone, 1.0f);
  zvx_->dispatch(effEditIdle);
  zvx_->dispatch(effEditClose);
  EXPECT_EQ(zvx_->dispatch(effEditOpen, 0, 0, gone), 0) << "a parent that is gone gives no editor";
}

TEST_F(ZvxModuleTest, DraggingAKnobAutomatesItAndItsRightClickMenuLearnsAController) {
  // Where the BD Tone knob is, from the headless editor's description of the same skin.
  vsthost::ViewRect rect;
  {
    auto probe = createZvx();
    vsthost::HeadlessEditor offscreen(*probe);
    ASSERT_TRUE(offscreen.open());
    rect = offscreen.find("CAnimKnob", kBDTone).value_or(rect);
    offscreen.close();
  }
  HostWindow host(40, 40, 800, 500);
  ASSERT_EQ(zvx_->dispatch(effEditOpen, 0, 0, host.handle()), 1);
  const POINT knob = onScreen(host.children().at(0), rect.centreX(), rect.centreY());
  zvx_->setParameter(kBDTone, 0.25f);
  zvx_->dispatch(effEditIdle);
  calls_->clear();
  // The drag is tracked inside one idle call, from our window's own messages.
  moveMouse(knob);
  mouseButton(MOUSEEVENTF_LEFTDOWN);
  for (int step = 1; step <= 10; ++step) moveMouse({knob.x, knob.y - 5 * step});
  mouseButton(MOUSEEVENTF_LEFTUP);
  ASSERT_TRUE(idleUntil(*zvx_, [&] { return calls_->count(audioMasterEndEdit) == 1; }));
  // Linear knob mode: 200 pixels up is the whole range, so 50 is a quarter.
  EXPECT_NEAR(zvx_->getParameter(kBDTone), 0.5f, 0.01f);
  EXPECT_EQ(calls_->count(audioMasterBeginEdit), 1u);
  EXPECT_GE(calls_->count(audioMasterAutomate), 1u);

  // The menu runs inside effEditIdle: another thread reads it and picks its first entry.
  std::string first;
  std::atomic<bool> finished{false};
  std::thread chooser = whenShown("#32768", nullptr, [&](HWND menuWindow) {
    char title[64] = {};
    GetMenuStringA(reinterpret_cast<HMENU>(SendMessageA(menuWindow, 0x01E1 /* MN_GETHMENU */, 0, 0)), 0, title,
                   sizeof title, MF_BYPOSITION);
    first = title;
    for (WORD vk : {VK_DOWN, VK_RETURN}) key(vk, true), key(vk, false);
    finished = true;
  });
  moveMouse(knob);
  mouseButton(MOUSEEVENTF_RIGHTDOWN);
  mouseButton(MOUSEEVENTF_RIGHTUP);
  idleUntil(*zvx_, [&] { return finished.load(); });
  chooser.join();
  EXPECT_EQ(first, "MidiLearn");

  zvx_->sendEvents({vsthost::midiEvent(0, 0xB0, 21, 0)});
  zvx_->render(64);
  idleUntil(*zvx_, [] { return true; });
  zvx_->sendEvents({vsthost::midiEvent(0, 0xB0, 21, 127)});
  zvx_->render(64);
  EXPECT_FLOAT_EQ(zvx_->getParameter(kBDTone), 1.0f);
  zvx_->dispatch(effEditClose);
}

// The editor the in-process module made last.
FrameEditor* madeEditor = nullptr;

AEffect* VSTCALLBACK inProcessEntry(audioMasterCallback master) {
  return vst2::VstPlugin::create(master, [](InstrumentControl& control) {
    std::unique_ptr<FrameEditor> editor = DrumEditor::create(control);
    madeEditor = editor.get();
    return editor;
  });
}

// ZVX linked into this program, so that its message boxes are real ones here.
TEST_F(ZvxModuleTest, TheEditorsMessageBoxesAreOwnedByItsWindow) {
  std::string error;
  auto zvx = vsthost::Plugin::create(&inProcessEntry, "in-process ZVX", {}, error);
  ASSERT_TRUE(zvx) << error;
  HostWindow host(40, 40, 800, 500);
  ASSERT_EQ(zvx->dispatch(effEditOpen, 0, 0, host.handle()), 1);
  auto* editor = static_cast<SkinEditor*>(madeEditor);
  CControl* selector = nullptr;
  for (long i = 0; i < editor->getFrame()->getNbViews() && !selector; ++i)
    if (auto* control = dynamic_cast<CControl*>(editor->getFrame()->getView(i)); control && control->getTag() == 999)
      selector = control;
  ASSERT_NE(selector, nullptr);
  _putenv_s("ZVX_MESSAGES", "");  // removed; put back below
  std::optional<HWND> owner;
  std::thread answer = whenShown("#32770", "SKIN SELECTOR!", [&](HWND box) {
    owner = GetWindow(box, GW_OWNER);
    PostMessageA(box, WM_COMMAND, IDOK, 0);
  });
  editor->valueChanged(nullptr, selector);  // as the skin selector's menu does
  answer.join();
  _putenv_s("ZVX_MESSAGES", "stderr");
  ASSERT_TRUE(owner) << "no message box appeared";
  EXPECT_EQ(*owner, host.handle());
  zvx->dispatch(effEditClose);
}

}  // namespace
}  // namespace zvx::wintest
