// ZVX's editor at 100, 150 and 200 % in a real X11 window on the private
// Xvfb, through the module as a host opens it: the size it reports and the
// window it makes, a knob dragged, the read-out's text, and the scale chosen
// in the background menu, asked of the host and kept for the next editor.
#include <filesystem>

#include "engine/Parameters.h"
#include "image/ImageFile.h"
#include "tests/gui/X11TestSupport.h"
#include "tests/support/HostCallLog.h"
#include "vsthost/HeadlessEditor.h"

namespace zvx::test {
namespace {

using gui::Surface;

constexpr int kLeft = 10, kTop = 10;
constexpr long kReadOutTag = 980;

class ScaledEditorTest : public X11Test {
 protected:
  void SetUp() override {
    X11Test::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    documents_.installDefaultData(ZVX_BUILT_DATA);
    // Where the views are, in frame coordinates: a headless editor at 100 %.
    auto layout = startZvx();
    ASSERT_TRUE(layout);
    testhost::HeadlessEditor editor(*layout);
    ASSERT_TRUE(editor.open());
    knob_ = editor.find("CAnimKnob", param::kBDTone).value_or(testhost::ViewRect{});
    readOut_ = editor.find("TextDisplay", kReadOutTag).value_or(testhost::ViewRect{});
    editor.close();
    input_->moveTo(1900, 1190);
  }

  // ZVX with its editor open at the scale the data folder names.
  struct Opened {
    std::unique_ptr<testhost::Plugin> zvx;
    Window window = 0;
    int width = 0, height = 0;
  };
  Opened open(int percent) {
    documents_.writeFile("editor scale.txt", {static_cast<unsigned char>('0' + percent / 100),
                                              static_cast<unsigned char>('0' + percent / 10 % 10),
                                              static_cast<unsigned char>('0' + percent % 10)});
    Opened opened;
    opened.zvx = startZvx();
    ERect* rect = nullptr;
    opened.zvx->dispatch(effEditGetRect, 0, 0, &rect);
    EXPECT_NE(rect, nullptr);
    if (!rect) return opened;
    opened.width = rect->right - rect->left;
    opened.height = rect->bottom - rect->top;
    const Window parent = makeParent(kLeft, kTop, opened.width, opened.height);
    EXPECT_EQ(opened.zvx->dispatch(effEditOpen, 0, 0, xid(parent)), 1);
    EXPECT_EQ(children(parent).size(), 1u);
    if (!children(parent).empty()) opened.window = children(parent).at(0);
    for (int i = 0; i < 3; ++i) opened.zvx->dispatch(effEditIdle);
    return opened;
  }
  // Rows of the read-out with ink (not the box's colour at its left edge).
  int inkRows(const Surface& picture, int percent) {
    const auto scaled = [percent](int x) { return x * percent / 100; };
    int rows = 0;
    for (int y = scaled(readOut_.top) + 1; y < scaled(readOut_.bottom) - 1; ++y) {
      bool ink = false;
      const gui::Pixel box = rgb(picture.at(scaled(readOut_.left) + 1, y));
      for (int x = scaled(readOut_.left) + 1; x < scaled(readOut_.right) - 1; ++x) ink = ink || rgb(picture.at(x, y)) != box;
      rows += ink;
    }
    return rows;
  }
  // A drag of `rise` screen pixels up from the knob's centre.
  float dragKnob(Opened& opened, int percent, int rise) {
    opened.zvx->setParameter(param::kBDTone, 0.2f);
    opened.zvx->dispatch(effEditIdle);
    const int x = kLeft + knob_.centreX() * percent / 100, y = kTop + knob_.centreY() * percent / 100;
    input_->moveTo(x, y);
    input_->button(Button1, true);
    for (int step = 1; step <= 4; ++step) input_->moveTo(x, y - rise * step / 4);
    input_->button(Button1, false);
    opened.zvx->dispatch(effEditIdle);
    opened.zvx->dispatch(effEditIdle);
    input_->moveTo(1900, 1190);
    return opened.zvx->getParameter(param::kBDTone);
  }

  TempDocuments documents_;
  testhost::ViewRect knob_, readOut_;
};

// At each scale: the size reported and made, a drag of N pixels acting as N / scale did at 100 %, and the
// read-out's text drawn at the scaled size (as tall again at 200 %), not stretched; at 200 % the window
// holds the reviewed picture.
TEST_F(ScaledEditorTest, SizeDragAndTextFollowTheScale) {
  float at100 = 0;
  int rows100 = 0;
  for (int percent : {100, 150, 200}) {
    Opened opened = open(percent);
    ASSERT_NE(opened.window, 0u);
    EXPECT_EQ(opened.width, 800 * percent / 100);
    EXPECT_EQ(opened.height, 500 * percent / 100);
    const Surface picture = read(opened.window);
    EXPECT_EQ(picture.width(), opened.width);
    EXPECT_EQ(picture.height(), opened.height);
    if (percent == 200) {
      // The skin's art drawn at twice the size and the text at twice the size: the reviewed picture.
      const Surface reference = gui::ImageFile::load(ZVX_EDITOR_REFERENCE_2X);
      ASSERT_EQ(reference.width(), 1600) << ZVX_EDITOR_REFERENCE_2X;
      EXPECT_TRUE(samePicture(picture, reference)) << "the editor at 200 % is not " << ZVX_EDITOR_REFERENCE_2X;
      // A skin without the larger art: its pictures grown smoothly, a softer picture than the reviewed one.
      const TempDocuments plainSkin;
      plainSkin.installDefaultData(ZVX_BUILT_DATA);
      for (const auto& entry : std::filesystem::directory_iterator(plainSkin.dataFolder() / "skin"))
        if (entry.path().filename().string().find("@2x") != std::string::npos) std::filesystem::remove(entry.path());
      plainSkin.writeFile("editor scale.txt", {'2', '0', '0'});
      auto grown = startZvx();
      const Window parent = makeParent(kLeft, kTop, 1600, 1000);
      ASSERT_EQ(grown->dispatch(effEditOpen, 0, 0, xid(parent)), 1);
      for (int i = 0; i < 3; ++i) grown->dispatch(effEditIdle);
      const Surface soft = read(children(parent).at(0));
      EXPECT_EQ(soft.width(), 1600);
      EXPECT_FALSE(samePicture(soft, reference));
      grown->dispatch(effEditClose);
      destroy(parent);
    }
    const float value = dragKnob(opened, percent, 30 * percent / 100);
    const int rows = inkRows(read(opened.window), percent);
    if (percent == 100) {
      at100 = value;
      rows100 = rows;
      EXPECT_GT(value, 0.2f);
      EXPECT_GT(rows, 4);
    } else {
      EXPECT_NEAR(value, at100, 0.011f) << percent;  // a frame pixel's worth of rounding
      EXPECT_NEAR(rows, rows100 * percent / 100, 2) << percent;
    }
    opened.zvx->dispatch(effEditClose);
  }
}

// The background's menu: "Size", then 150 %. The host is asked for the new size, the window is made again
// at it, and the choice holds for the editor opened again and for the next plug-in, whose menus are drawn
// at the same scale.
TEST_F(ScaledEditorTest, TheSizeChosenInTheMenuIsAskedOfTheHostAndKept) {
  Opened opened = open(100);
  ASSERT_NE(opened.window, 0u);
  HostCallLog calls(*opened.zvx);
  // A point of the background no view covers: the top right corner.
  int menuHeight = 0;
  answerMenu([&] { input_->click(kLeft + 795, kTop + 3, Button3); }, [&] { opened.zvx->dispatch(effEditIdle); },
             [&](Display* display, Input& keys) {
               menuHeight = windowsNamed(display, "ZVX menu").at(0).height;
               for (KeySym key : {XK_Down, XK_Right, XK_Down, XK_Down, XK_Return}) keys.type(key);
             });
  opened.zvx->dispatch(effEditIdle);
  const auto sized = [&] {
    for (const HostCall& call : calls.calls())
      if (call.opcode == audioMasterSizeWindow) return std::make_pair(call.index, static_cast<int>(call.value));
    return std::make_pair(0, 0);
  };
  EXPECT_EQ(sized(), std::make_pair(1200, 750));
  ERect* rect = nullptr;
  opened.zvx->dispatch(effEditGetRect, 0, 0, &rect);
  ASSERT_NE(rect, nullptr);
  EXPECT_EQ(rect->right - rect->left, 1200);
  EXPECT_EQ(readText(documents_.dataFolder() / "editor scale.txt"), "150\n");

  opened.zvx->dispatch(effEditClose);
  opened.zvx->dispatch(effEditGetRect, 0, 0, &rect);
  EXPECT_EQ(rect->right - rect->left, 1200) << "closing the editor forgot the size";
  auto next = startZvx();
  next->dispatch(effEditGetRect, 0, 0, &rect);
  EXPECT_EQ(rect->right - rect->left, 1200) << "the next plug-in forgot the size";

  // The menu at the new scale: its rows, and so the menu, half as tall again.
  Opened larger = open(150);
  ASSERT_NE(larger.window, 0u);
  int largerHeight = 0;
  answerMenu([&] { input_->click(kLeft + 1195, kTop + 4, Button3); }, [&] { larger.zvx->dispatch(effEditIdle); },
             [&](Display* display, Input& keys) {
               largerHeight = windowsNamed(display, "ZVX menu").at(0).height;
               keys.type(XK_Escape);
             });
  EXPECT_NEAR(largerHeight, menuHeight * 3 / 2, 3);
  larger.zvx->dispatch(effEditClose);
}

}  // namespace
}  // namespace zvx::test
