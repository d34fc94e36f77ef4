// The data folder, found or made below the documents folder or refused; the
// installed default data, found from the module's place, filling it.

#include <sys/stat.h>

#include "platform/Platform.h"
#include "storage/DataFolder.h"
#include "storage/InstalledData.h"
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
  // Once from the constructor, once from the destructor; nothing else says it again.
  EXPECT_EQ(capture.messages(), std::vector<test::ShownMessage>(2, notInstalled));
}

#ifndef _WIN32
TEST(DataFolderTest, LinuxDocumentsFolderIsXdgsThenUserDirsThenHomeDocuments) {
  test::TempFolder home("HOME");
  const std::string h = home.path().string();
  test::ScopedEnv noOverride("ZVX_DOCUMENTS", nullptr);
  test::ScopedEnv noConfigHome("XDG_CONFIG_HOME", nullptr);
  {
    test::ScopedEnv direct("XDG_DOCUMENTS_DIR", "/srv/papers");
    EXPECT_EQ(platform::nativeDocumentsFolder(), "/srv/papers");
  }
  test::ScopedEnv noDirect("XDG_DOCUMENTS_DIR", nullptr);
  EXPECT_EQ(platform::nativeDocumentsFolder(), h + "/Documents");
  // A new account has no ~/Documents yet: it is made, as the folders below it are.
  std::string path;
  ASSERT_TRUE(findDataFolder("ZVX", path));
  EXPECT_EQ(path, h + "/Documents/Tonewerk Data/ZVX/");
  EXPECT_TRUE(fs::is_directory(path));
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
  // Nor does a pipe by the file's name, which is never waited on.
  fs::remove(home.path() / ".config" / "user-dirs.dirs");
  ASSERT_EQ(mkfifo((home.path() / ".config" / "user-dirs.dirs").c_str(), 0644), 0);
  EXPECT_EQ(platform::nativeDocumentsFolder(), h + "/Documents");
  {
    test::ScopedEnv goneHome("HOME", (home.path() / "gone").c_str());
    EXPECT_FALSE(findDataFolder("ZVX", path));
    EXPECT_FALSE(fs::exists(home.path() / "gone"));
  }
  test::ScopedEnv noHome("HOME", nullptr);
  EXPECT_EQ(platform::nativeDocumentsFolder(), std::nullopt);
}
#endif

// A packaged module's data is <prefix>/share/zvx; one elsewhere (~/.vst) has
// none, whatever share folders are about; a link's target is tried next.
TEST(InstalledDataTest, FoundBelowThePrefixOfEveryLayoutHostsLoadFrom) {
  test::TempFolder root;
  const fs::path prefix = root.path() / "usr";
  fs::create_directories(prefix / "share" / "zvx");
  test::writeBytes(prefix / "share" / "zvx" / "default.fxb", {1, 2, 3});
  const std::string expected = (prefix / "share" / "zvx").string() + "/";
  for (const char* module : {"bin/zvx", "lib/vst/ZVX.so", "lib/lxvst/ZVX.so", "lib/x86_64-linux-gnu/vst/ZVX.so",
                             "lib64/vst/ZVX.so", "lib/lv2/ZVX.lv2/ZVX.so", "lib/vst3/ZVX.vst3/Contents/x86_64-linux/ZVX.so",
                             "lib/x86_64-linux-gnu/vst3/ZVX.vst3/Contents/x86_64-linux/ZVX.so"})
    EXPECT_EQ(installedDataFolderFor({(prefix / module).string()}, "ZVX"), expected) << module;
  // The home folder has a share/zvx of its own, but ~/.vst is no prefix's.
  const fs::path home = root.path() / "home" / "user";
  fs::create_directories(home / "share" / "zvx");
  test::writeBytes(home / "share" / "zvx" / "default.fxb", {1});
  EXPECT_EQ(installedDataFolderFor({(home / ".vst" / "ZVX.so").string()}, "ZVX"), std::nullopt);
  EXPECT_EQ(installedDataFolderFor({(home / ".vst" / "ZVX.so").string(), (prefix / "lib/vst/ZVX.so").string()}, "ZVX"),
            expected);
  // Without a default bank it is not the data.
  fs::remove(prefix / "share" / "zvx" / "default.fxb");
  EXPECT_EQ(installedDataFolderFor({(prefix / "lib/vst/ZVX.so").string()}, "ZVX"), std::nullopt);
}

// What the folder lacks is copied whole and recorded; what it has, or behind a link, is left alone.
TEST(InstalledDataTest, FillsOnlyWhatIsMissingAndNeverThroughALink) {
  test::TempFolder root;
  const fs::path installed = root.path() / "share" / "zvx", folder = root.path() / "ZVX";
  for (const char* name : {"default.fxb", "BDA.wav", "skin/skin.xml", "skin/back.bmp", "sound wizard.xml"}) {
    fs::create_directories((installed / name).parent_path());
    test::writeBytes(installed / name, {'n', 'e', 'w'});
  }
  fs::create_directories(folder);
  const fs::path elsewhere = root.path() / "my skin";
  fs::create_directories(elsewhere);
  fs::create_directory_symlink(elsewhere, folder / "skin");
  test::writeBytes(folder / "BDA.wav", {'m', 'i', 'n', 'e'});
  EXPECT_EQ(fillDataFolder(installed.string() + "/", folder.string() + "/"), 2);
  EXPECT_EQ(test::readBytes(folder / "default.fxb"), (test::Bytes{'n', 'e', 'w'}));
  EXPECT_EQ(test::readBytes(folder / "sound wizard.xml"), (test::Bytes{'n', 'e', 'w'}));
  EXPECT_EQ(test::readBytes(folder / "BDA.wav"), (test::Bytes{'m', 'i', 'n', 'e'}));
  EXPECT_TRUE(fs::is_empty(elsewhere));
  const std::string manifest = test::readText(folder / "zvx-data manifest.txt");
  EXPECT_NE(manifest.find(" 3 default.fxb\n"), std::string::npos) << manifest;
  EXPECT_NE(manifest.find(" 3 sound wizard.xml\n"), std::string::npos) << manifest;
  EXPECT_EQ(manifest.find("BDA.wav"), std::string::npos) << manifest;
  // The skin folder the user's own again: now filled; nothing left half-made.
  fs::remove(folder / "skin");
  EXPECT_EQ(fillDataFolder(installed.string() + "/", folder.string() + "/"), 2);
  EXPECT_EQ(test::readBytes(folder / "skin" / "skin.xml"), (test::Bytes{'n', 'e', 'w'}));
  EXPECT_EQ(fillDataFolder(installed.string() + "/", folder.string() + "/"), 0);
  for (const auto& entry : fs::recursive_directory_iterator(folder))
    EXPECT_EQ(entry.path().filename().string().find(".saving-"), std::string::npos) << entry.path();
}

}  // namespace
}  // namespace zvx
