// The editor's scale as a user gets it: the desktop's word the first time,
// the user's own choice from then on, whatever the file or the environment
// holds.
#include <clocale>

#include "editor/EditorScale.h"
#include "tests/support/TestSupport.h"

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

// In a host whose locale writes a decimal comma (a Qt host takes the user's), the desktop's word is still
// read with a decimal point, as Qt and GTK read it: 1.5 is 150 %, and 1,5 is no number.
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
  // The user's choice, saved from the editor's menu, comes before the desktop's
  // (ZvxWindowTest.TheSizeChosenInTheMenuIsAskedOfTheHostAndKept).
  documents.writeFile(EditorScale::kFileName, {'1', '7', '5', '\n'});
  EXPECT_EQ(EditorScale::load(), 175);
  for (const char* written : {"133\n", "150abc", "99999999999999999999"}) {
    documents.writeFile(EditorScale::kFileName, std::vector<unsigned char>(written, written + std::strlen(written)));
    EXPECT_EQ(EditorScale::load(), 200) << '"' << written << '"';  // the desktop's again
  }
  documents.writeFile(EditorScale::kFileName, {'1', '2', '5', ' ', '\n'});
  EXPECT_EQ(EditorScale::load(), 125);
}

}  // namespace
}  // namespace zvx::test
