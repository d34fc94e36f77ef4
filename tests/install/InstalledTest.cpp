// ZVX as a packager installs it (cmake --install into a staging prefix),
// used by someone who never ran it: the installed zvx-render plays the
// installed VST module, which fills the user's new data folder from the
// installed default data before it reads anything and says nothing; a
// user's own files and learn map stay as they are; and the prefix may move.

#include "engine/Parameters.h"
#include "image/PngCodec.h"
#include "instrument/Instrument.h"
#include "tests/support/StagedInstall.h"

namespace zvx::test {
namespace {

// "  N  NAME" for each program, as zvx-render --list-programs prints them.
std::vector<std::string> programLines(const std::vector<std::string>& names) {
  std::vector<std::string> lines;
  char number[24];
  for (std::size_t p = 0; p < names.size(); ++p) {
    std::snprintf(number, sizeof number, "%3zu  ", p);
    lines.push_back(number + names[p]);
  }
  return lines;
}

// zvx-render of the prefix, with no --plugin: it plays the module installed with it.
ProgramRun render(const fs::path& prefix, const std::vector<std::string>& arguments, const fs::path& folder) {
  return runProgram((prefix / "bin" / "zvx-render").string(), arguments, folder);
}

TEST(InstalledTest, TheVstModuleFillsAFreshUsersDataFolderSaysNothingAndPlaysTheDefaultBank) {
  const FreshUser user;
  ASSERT_FALSE(fs::exists(user.home() / "Documents"));
  const ProgramRun listed = render(stagedPrefix(), {"--list-programs"}, user.home());
  EXPECT_EQ(listed.exitCode, 0);
  EXPECT_EQ(listed.err, "");
  EXPECT_EQ(linesOf(listed.out), programLines(defaultProgramNames()));

  auto filled = filesBelow(user.dataFolder());
  EXPECT_EQ(filled.erase("zvx-data manifest.txt"), 1u);
  EXPECT_EQ(fileDifferences(filesBelow(stagedPrefix() / "share" / "zvx"), filled), "");

  const ProgramRun played = render(stagedPrefix(), {"--length", "2", "-o", "demo.wav"}, user.home());
  EXPECT_EQ(played.exitCode, 0);
  EXPECT_EQ(played.err, "");
  EXPECT_NE(played.out.find("peak "), std::string::npos) << played.out;
  EXPECT_EQ(played.out.find("-inf"), std::string::npos) << played.out;
  // Nothing learned, nothing written.
  EXPECT_FALSE(fs::exists(user.dataFolder() / "Pluginccmap.bin"));

  // zvx-data of the prefix knows the copies for its own: all up to date.
  const ProgramRun data = runProgram((stagedPrefix() / "bin" / "zvx-data").string(),
                                     {"install", (stagedPrefix() / "share" / "zvx").string()}, user.home());
  EXPECT_EQ(data.exitCode, 0) << data.err;
  for (const std::string& line : linesOf(data.out)) {
    if (line != (user.dataFolder() / "").string()) {
      EXPECT_TRUE(line.rfind("kept ", 0) == 0 || line.rfind("up-to-date ", 0) == 0) << line;
    }
  }
}

// What is there is the user's: their own bank, sample and learn map stay, and
// only what is missing is copied (and recorded as copied).
TEST(InstalledTest, AUsersOwnFilesAndLearnMapAreNeverOverwritten) {
  const FreshUser user;
  fs::create_directories(user.dataFolder() / "skin");
  std::vector<HandProgram> programs;
  for (int p = 0; p < 128; ++p) programs.push_back({"Mine " + std::to_string(p), std::vector<float>(kNumParameters, 0.5f)});
  const Bytes bank = regularBank(Instrument::kUniqueId, programs);
  const Bytes sample = readBytes(stagedPrefix() / "share" / "zvx" / "SDA.wav");
  const Bytes map = learnMapFile({{3, 20}});
  writeBytes(user.dataFolder() / "default.fxb", bank);
  writeBytes(user.dataFolder() / "BDA.wav", sample);
  writeBytes(user.dataFolder() / "Pluginccmap.bin", map);

  const ProgramRun listed = render(stagedPrefix(), {"--list-programs"}, user.home());
  EXPECT_EQ(listed.exitCode, 0);
  EXPECT_EQ(listed.err, "");
  std::vector<std::string> mine;
  for (const HandProgram& program : programs) mine.push_back(program.name);
  EXPECT_EQ(linesOf(listed.out), programLines(mine));
  EXPECT_EQ(readBytes(user.dataFolder() / "default.fxb"), bank);
  EXPECT_EQ(readBytes(user.dataFolder() / "BDA.wav"), sample);
  EXPECT_EQ(readBytes(user.dataFolder() / "Pluginccmap.bin"), map);
  EXPECT_TRUE(fs::exists(user.dataFolder() / "skin" / "skin.xml"));
  const std::string manifest = readText(user.dataFolder() / "zvx-data manifest.txt");
  EXPECT_NE(manifest.find(" SDA.wav\n"), std::string::npos) << manifest;
  EXPECT_EQ(manifest.find(" BDA.wav\n"), std::string::npos) << manifest;
  EXPECT_EQ(manifest.find(" default.fxb\n"), std::string::npos) << manifest;
}

// The prefix moved elsewhere whole (a package unpacked where the user likes):
// the module finds the data beside it, not where it was installed.
TEST(InstalledTest, AMovedPrefixFindsItsData) {
  const TempFolder moved;
  const fs::path prefix = moved.path() / "opt" / "zvx";
  fs::create_directories(prefix.parent_path());
  fs::copy(stagedPrefix(), prefix, fs::copy_options::recursive | fs::copy_options::copy_symlinks);
  // The data as it is at the new place, so that a fill from the old one would show.
  const Bytes bank = regularBank(Instrument::kUniqueId, {{"Moved", std::vector<float>(kNumParameters, 0.25f)}});
  writeBytes(prefix / "share" / "zvx" / "default.fxb", bank);
  const FreshUser user;
  const ProgramRun listed = render(prefix, {"--list-programs"}, user.home());
  EXPECT_EQ(listed.exitCode, 0);
  EXPECT_EQ(listed.err, "");
  ASSERT_FALSE(linesOf(listed.out).empty());
  EXPECT_EQ(linesOf(listed.out).front(), "  0  Moved");
  EXPECT_EQ(readBytes(user.dataFolder() / "default.fxb"), bank);
}

// What desktops, software centres and man find of zvx where they look, and
// the license beside the documentation; the installed tree as AppStream's
// checker reads it (metadata, desktop entry and icon together), where it is
// installed.
TEST(InstalledTest, TheDesktopEntryIconMetadataManPagesAndLicenseAreWhereDesktopsLook) {
  const fs::path share = stagedPrefix() / "share";
  for (const char* file : {"applications/zvx.desktop", "metainfo/audio.zvx.zvx.metainfo.xml",
                           "icons/hicolor/scalable/apps/zvx.svg", "icons/hicolor/256x256/apps/zvx.png",
                           "man/man1/zvx.1", "man/man1/zvx-render.1", "doc/zvx/LICENSE"})
    EXPECT_TRUE(fs::is_regular_file(share / file)) << file;
  const gui::Surface icon = gui::PngCodec::decode(readBytes(share / "icons/hicolor/256x256/apps/zvx.png"));
  EXPECT_EQ(icon.width(), 256);
  EXPECT_EQ(icon.height(), 256);
  EXPECT_NE(readText(share / "applications/zvx.desktop").find("\nIcon=zvx\n"), std::string::npos);
  EXPECT_NE(readText(share / "doc/zvx/LICENSE").find("MIT License"), std::string::npos);
  if (!fs::exists("/usr/bin/appstreamcli")) GTEST_SKIP() << "appstreamcli is not installed";
  const ProgramRun tree = runProgram("/usr/bin/appstreamcli", {"validate-tree", "--no-net", stagedPrefix().string()},
                                     stagedPrefix());
  EXPECT_EQ(tree.exitCode, 0) << tree.out << tree.err;
  for (const std::string& line : linesOf(tree.out + tree.err)) {
    const std::size_t start = line.find_first_not_of(' ');
    EXPECT_FALSE(start != std::string::npos && (line.compare(start, 3, "W: ") == 0 || line.compare(start, 3, "E: ") == 0))
        << line;
  }
}

}  // namespace
}  // namespace zvx::test
