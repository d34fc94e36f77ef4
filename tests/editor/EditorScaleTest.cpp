// The editor's scale as a user gets it: the desktop's word the first time,
// the user's own choice from then on, whatever the file or the environment
// holds; and a skin too large for a scale shown at one it fits.
#include <clocale>

#include "editor/EditorScale.h"
#include "editor/FrameEditor.h"
#include "instrument/DirectControl.h"
#include "tests/support/BmpBuilder.h"
#include "tests/support/TestSupport.h"
#include "vsthost/HeadlessEditor.h"

namespace zvx::test {
namespace {

// No desktop saying anything: the variables unset and no display to ask for its dpi.
struct QuietDesktop {
  ScopedEnv gdk{"GDK_SCALE", nullptr};
  ScopedEnv qt{"QT_SCALE_FACTOR", nullptr};
  ScopedEnv display{"DISPLAY", nullptr};
};

TEST(EditorScaleTest, TheDesktopsWordComesToTheNearestAllowedScale) {
  QuietDesktop quiet;
  for (const auto& [factor, percent] : {std::pair{1.12, 100}, {1.13, 125}, {1.375, 125}, {0.5, 100}, {3.0, 200}})
    EXPECT_EQ(EditorScale::nearest(factor), percent) << factor;  // 1.375 is halfway: the smaller
  EXPECT_EQ(EditorScale::fromDesktop(std::nullopt), std::nullopt);
  EXPECT_EQ(EditorScale::fromDesktop(144.0), 150);
  {
    ScopedEnv qt("QT_SCALE_FACTOR", "1.75");
    EXPECT_EQ(EditorScale::fromDesktop(96.0), 175);  // before the dpi
    ScopedEnv gdk("GDK_SCALE", "2");
    EXPECT_EQ(EditorScale::fromDesktop(96.0), 200);  // before Qt's
  }
  for (const char* nonsense : {"", "2x", "0", "nan"}) {
    ScopedEnv gdk("GDK_SCALE", nonsense);
    EXPECT_EQ(EditorScale::fromDesktop(120.0), 125) << '"' << nonsense << '"';
  }
}

// A Qt host takes the user's locale, perhaps with a decimal comma; Qt and GTK still read 1.5, not 1,5.
TEST(EditorScaleTest, TheDesktopsWordIsReadWithADecimalPointInAnyLocale) {
  const std::string comma = decimalCommaLocale();
  if (comma.empty()) GTEST_SKIP() << "no locale with a decimal comma (de_DE.UTF-8) could be made";
  QuietDesktop quiet;
  struct NumericLocale {
    explicit NumericLocale(const char* name) { std::setlocale(LC_NUMERIC, name); }
    ~NumericLocale() { std::setlocale(LC_NUMERIC, "C"); }
  } numeric(comma.c_str());
  ASSERT_STREQ(std::localeconv()->decimal_point, ",");
  {
    ScopedEnv qt("QT_SCALE_FACTOR", "1.5");
    EXPECT_EQ(EditorScale::fromDesktop(std::nullopt), 150);
  }
  ScopedEnv qt("QT_SCALE_FACTOR", "1,5");
  EXPECT_EQ(EditorScale::fromDesktop(std::nullopt), std::nullopt);
}

TEST(EditorScaleTest, TheUsersChoiceIsKeptAndAnythingElseInItsFileIsPassedOver) {
  QuietDesktop quiet;
  TempDocuments documents;
  EXPECT_EQ(EditorScale::load(), 100);
  ScopedEnv gdk("GDK_SCALE", "2");
  EXPECT_EQ(EditorScale::load(), 200);
  // The user's choice, saved from the editor's menu, comes before the desktop's.
  documents.writeFile(EditorScale::kFileName, {'1', '7', '5', '\n'});
  EXPECT_EQ(EditorScale::load(), 175);
  for (const char* written : {"133\n", "150abc", "99999999999999999999"}) {
    documents.writeFile(EditorScale::kFileName, std::vector<unsigned char>(written, written + std::strlen(written)));
    EXPECT_EQ(EditorScale::load(), 200) << '"' << written << '"';  // the desktop's again
  }
  documents.writeFile(EditorScale::kFileName, {'1', '2', '5', ' ', '\n'});
  EXPECT_EQ(EditorScale::load(), 125);
}

// 16 384 pixels wide is 32 768 at 200 %, more than a host's 16-bit rectangle or
// an X11 window holds: shown at 175 %, said once, the larger sizes disabled.
TEST(EditorScaleTest, ASkinTooLargeForAScaleIsShownAtTheLargestThatFits) {
  QuietDesktop quiet;
  TempDocuments documents;
  documents.writeFile("skin/background.bmp", BmpBuilder(16384, 4, 24).pixels(std::vector<unsigned char>(16384 * 3 * 4, 0x40)).bytes());
  documents.writeFile(EditorScale::kFileName, {'2', '0', '0', '\n'});
  MessageCapture capture;
  auto zvx = startZvx();
  ERect* rect = nullptr;
  ASSERT_EQ(zvx->dispatch(effEditGetRect, 0, 0, &rect), 1);
  EXPECT_EQ(rect->right - rect->left, 28672);
  vsthost::HeadlessEditor editor(*zvx);
  ASSERT_TRUE(editor.open());
  editor.answerMenu({});
  editor.click(20, 2, vsthost::HeadlessEditor::kRight);
  const std::string sizes = editor.lastMenu();
  EXPECT_NE(sizes.find("[x] 175 %\n"), std::string::npos) << sizes;
  EXPECT_NE(sizes.find("[ ] 200 % (disabled)"), std::string::npos) << sizes;
  EXPECT_NE(sizes.find("[ ] 150 %\n"), std::string::npos) << sizes;
  editor.close();
  ASSERT_TRUE(editor.open());  // told once, not at every opening
  editor.close();
  int told = 0;
  for (const ShownMessage& message : capture.messages()) told += message.caption == "Skin too large";
  EXPECT_EQ(told, 1);
}

// The pixels an editor holds (its art, the art scaled, the frame's and window's
// images): 8192 x 8192 with as much art fits at 100 % (1 GB) and no larger.
TEST(EditorScaleTest, TheEditorsPixelsAtAScaleStayWithinItsBudget) {
  struct Sized : FrameEditor {
    Sized(InstrumentControl& control, int width, int height) : FrameEditor(control) { setSize(width, height); }
  };
  struct Quiet : InstrumentHost {
    bool hostSaysRealtime() override { return false; }
    void parameterChanged(int, float) override {}
    bool updateDisplay() override { return false; }
  } host;
  TempDocuments documents;
  Instrument instrument(host);
  DirectControl control(instrument);
  const Sized huge(control, 8192, 8192), modest(control, 800, 500);
  EXPECT_TRUE(huge.fitsAt(100, std::size_t{8192} * 8192));
  EXPECT_FALSE(huge.fitsAt(125, std::size_t{8192} * 8192));
  EXPECT_EQ(huge.fittingScale(200, std::size_t{8192} * 8192), 100);
  for (int percent : EditorScale::kPercents) EXPECT_TRUE(modest.fitsAt(percent, std::size_t{8} << 20)) << percent;
}

}  // namespace
}  // namespace zvx::test
