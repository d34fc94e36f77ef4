// The data folder: found and created below the documents folder, refused when
// that cannot be done, and the user told from the plug-in's constructor and
// destructor. (Found again once made: every test whose folder holds files.)

#include "platform/Platform.h"
#include "storage/DataFolder.h"
#include "tests/support/TestSupport.h"

namespace zvx {
namespace {

namespace fs = std::filesystem;

TEST(DataFolderTest, CreatesBothFoldersAndRefusesMissingAbsentAndOverlongDocumentsFolders) {
  test::TempDocuments docs(false);
  std::string path = "untouched";

  setenv("ZVX_DOCUMENTS", "", 1);  // set but naming nothing
  EXPECT_FALSE(findDataFolder("ZVX", path));

  setenv("ZVX_DOCUMENTS", (docs.documents() / "no such folder").c_str(), 1);
  EXPECT_FALSE(findDataFolder("ZVX", path));
  EXPECT_FALSE(fs::exists(docs.documents() / "no such folder"));

  // A data-folder path of 255 characters fits its field; 256 is refused, not cut.
  const std::size_t tail = std::string("/Tonewerk Data/ZVX/").size();
  const std::size_t room = 255 - docs.documents().string().size() - 1 - tail;
  fs::path longest = docs.documents() / std::string(room, 'd');
  fs::path tooLong = docs.documents() / std::string(room + 1, 'e');
  fs::create_directories(longest);
  fs::create_directories(tooLong);
  setenv("ZVX_DOCUMENTS", tooLong.c_str(), 1);
  EXPECT_FALSE(findDataFolder("ZVX", path));
  EXPECT_FALSE(fs::exists(tooLong / "Tonewerk Data"));
  EXPECT_EQ(path, "untouched");
  setenv("ZVX_DOCUMENTS", longest.c_str(), 1);
  ASSERT_TRUE(findDataFolder("ZVX", path));
  EXPECT_EQ(path, (longest / "Tonewerk Data" / "ZVX").string() + "/");
  EXPECT_EQ(path.size(), 255u);
  EXPECT_TRUE(fs::is_directory(path));
}

TEST(DataFolderTest, PluginTellsTheUserOnlyWhenItIsNotInstalledCorrectly) {
  test::TempDocuments docs;
  {
    test::MessageCapture installed;
    ASSERT_TRUE(test::createZvx());
    EXPECT_EQ(installed.messages(), std::vector<test::ShownMessage>{});
  }
  setenv("ZVX_DOCUMENTS", (docs.documents() / "absent").c_str(), 1);
  test::MessageCapture capture;
  ASSERT_TRUE(test::createZvx());
  const test::ShownMessage notInstalled{"none", "Error!", "ZVX is not installed correctly"};
  // From the constructor and the destructor: the editor finding no skin and
  // the sample loads of program 0 do not say it again.
  EXPECT_EQ(capture.messages(), std::vector<test::ShownMessage>(2, notInstalled));
}

#ifndef _WIN32
TEST(DataFolderTest, LinuxDocumentsFolderIsXdgsThenUserDirsThenHomeDocuments) {
  test::TempFolder home("HOME");
  const std::string h = home.path().string();
  test::ScopedEnv noConfigHome("XDG_CONFIG_HOME", nullptr);
  {
    test::ScopedEnv direct("XDG_DOCUMENTS_DIR", "/srv/papers");
    EXPECT_EQ(platform::nativeDocumentsFolder(), "/srv/papers");
  }
  test::ScopedEnv noDirect("XDG_DOCUMENTS_DIR", nullptr);
  EXPECT_EQ(platform::nativeDocumentsFolder(), h + "/Documents");
  // user-dirs.dirs in ~/.config, as xdg-user-dirs writes it.
  fs::create_directories(home.path() / ".config");
  std::ofstream(home.path() / ".config" / "user-dirs.dirs") << "# written by xdg-user-dirs-update\n"
                                                               "XDG_DESKTOP_DIR=\"$HOME/Desktop\"\n"
                                                               "XDG_DOCUMENTS_DIR=\"$HOME/Dokumente\"\n";
  EXPECT_EQ(platform::nativeDocumentsFolder(), h + "/Dokumente");
  {
    // XDG_CONFIG_HOME names the folder of the file instead.
    fs::create_directories(home.path() / "settings");
    std::ofstream(home.path() / "settings" / "user-dirs.dirs") << "XDG_DOCUMENTS_DIR=\"/srv/texts\"\n";
    test::ScopedEnv configHome("XDG_CONFIG_HOME", (home.path() / "settings").c_str());
    EXPECT_EQ(platform::nativeDocumentsFolder(), "/srv/texts");
  }
  // A path that is not absolute names nothing.
  std::ofstream(home.path() / ".config" / "user-dirs.dirs", std::ios::trunc) << "XDG_DOCUMENTS_DIR=\"Dokumente\"\n";
  EXPECT_EQ(platform::nativeDocumentsFolder(), h + "/Documents");
  test::ScopedEnv noHome("HOME", nullptr);
  EXPECT_EQ(platform::nativeDocumentsFolder(), std::nullopt);
}
#endif

}  // namespace
}  // namespace zvx
