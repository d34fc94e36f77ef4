// The Win32 platform services under wine: the registry's documents folder, the
// data folder, MessageBoxA, LoadImageA against our BMP decoder, GDI text.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

#include "image/BmpDecoder.h"
#include "platform/Bitmaps.h"
#include "platform/MessageBoxes.h"
#include "platform/Platform.h"
#include "platform/Text.h"
#include "storage/DataFolder.h"
#include "tests/support/BmpBuilder.h"
#include "tests/windows/WindowsSupport.h"

namespace zvx::wintest {
namespace {

namespace fs = std::filesystem;
using test::BmpBuilder;

bool isFolder(const fs::path& path) {
  const DWORD attributes = GetFileAttributesA(path.string().c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

class RegistryTest : public testing::Test {
 protected:
  void SetUp() override {
    if (!underWine()) GTEST_SKIP() << "changes the user's registry: runs only in a scratch wine prefix";
  }
  ScratchFolder scratch_;
};

TEST_F(RegistryTest, TheDocumentsFolderIsTheStringValuePersonalOfAtMost256Bytes) {
  {
    DocumentsValue value((scratch_.native() + "\\").c_str());
    EXPECT_EQ(platform::nativeDocumentsFolder(), scratch_.native() + "\\");
    EXPECT_EQ(platform::documentsFolder(), scratch_.native()) << "the separator is the caller's to add";
  }
  const std::string longest = "C:\\" + std::string(252, 'd');  // 256 bytes with the terminator
  {
    DocumentsValue fits(longest.c_str());
    EXPECT_EQ(platform::nativeDocumentsFolder(), longest);
  }
  {
    DocumentsValue overlong((longest + "d").c_str());
    EXPECT_EQ(platform::nativeDocumentsFolder(), std::nullopt) << "refused, not cut";
  }
  DocumentsValue none(nullptr);
  EXPECT_EQ(platform::nativeDocumentsFolder(), std::nullopt);
  std::string path = "untouched";
  EXPECT_FALSE(findDataFolder("ZVX", path));
  EXPECT_EQ(path, "untouched");
}

TEST_F(RegistryTest, TheFirstSearchCreatesBothFoldersAndLaterOnesFindThem) {
  DocumentsValue value(scratch_.native().c_str());
  const fs::path maker = scratch_.path() / "Tonewerk Data";
  std::string path;
  ASSERT_TRUE(findDataFolder("ZVX", path));
  EXPECT_EQ(path, scratch_.native() + "\\Tonewerk Data\\ZVX\\");
  EXPECT_TRUE(isFolder(maker / "ZVX"));
  writeFile(maker / "ZVX" / "keep.txt", {'k'});
  std::string again;
  ASSERT_TRUE(findDataFolder("ZVX", again));
  EXPECT_EQ(again, path);
  EXPECT_TRUE(fs::exists(maker / "ZVX" / "keep.txt"));

  // A documents folder missing on disk: nothing is made below it.
  DocumentsValue missing((scratch_.native() + "\\not there").c_str());
  std::string untouched = "untouched";
  EXPECT_FALSE(findDataFolder("ZVX", untouched));
  EXPECT_EQ(untouched, "untouched");
  EXPECT_FALSE(isFolder(scratch_.path() / "not there"));
}

TEST(Win32Messages, WithoutSinkOrStderrAModalMessageBoxWithoutOwnerShowsTheMessage) {
  _putenv_s("ZVX_MESSAGES", "");  // removed; put back below
  platform::useMessageBoxes();
  std::optional<HWND> owner;
  char shown[256] = {};
  std::thread answer = whenShown("#32770", "ZVX box test", [&](HWND box) {
    owner = GetWindow(box, GW_OWNER);
    GetDlgItemTextA(box, 0xFFFF, shown, sizeof shown);  // the box's text control
    PostMessageA(box, WM_COMMAND, IDOK, 0);
  });
  platform::showMessage("Bitmap not found here", "ZVX box test", platform::MessageIcon::Warning);
  answer.join();
  _putenv_s("ZVX_MESSAGES", "stderr");
  ASSERT_TRUE(owner) << "no message box appeared";
  EXPECT_EQ(*owner, nullptr);
  EXPECT_STREQ(shown, "Bitmap not found here");
}

// Pixels that differ between LoadImageA's reading of a file and our decoder's
// (and LoadImageA's must be opaque).
int differingFromOurDecoder(const std::vector<unsigned char>& bytes) {
  ScratchFolder scratch;
  writeFile(scratch.path() / "image.bmp", bytes);
  const gui::Surface loaded = platform::loadBitmapFile((scratch.path() / "image.bmp").string()).image;
  const bool opaque = std::all_of(loaded.pixels().begin(), loaded.pixels().end(), [](auto p) { return gui::alphaOf(p) == 255; });
  return differingPixels(loaded, gui::BmpDecoder::decode(bytes)) + (opaque ? 0 : 1);
}

TEST(Win32Bitmaps, LoadImageAGivesThePixelsOfOurDecoder) {
  const std::vector<std::uint32_t> palette{0x000000, 0xFF0000, 0x123456, 0xFEDCBA};
  // 24-bit files are the default skin's, which wine_tests compares whole.
  std::vector<std::vector<unsigned char>> indices(5);
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 7; ++x) indices[y].push_back(static_cast<unsigned char>((x + y * 7) % 4));
  EXPECT_EQ(differingFromOurDecoder(BmpBuilder(7, 5, 8).palette(palette).pixels(BmpBuilder::paddedRows(indices)).bytes()), 0);
  // Runs, end of line, a literal run, end of bitmap.
  EXPECT_EQ(differingFromOurDecoder(BmpBuilder(5, 2, 8).compression(BmpBuilder::kRle8).palette(palette)
                                        .pixels({5, 1, 0, 0, 0, 4, 2, 3, 1, 2, 1, 3, 0, 1}).bytes()), 0);
  ScratchFolder scratch;
  writeFile(scratch.path() / "text.bmp", {'n', 'o', 't', ' ', 'a', ' ', 'b', 'm', 'p'});
  EXPECT_TRUE(platform::loadBitmapFile((scratch.path() / "text.bmp").string()).image.empty());
  EXPECT_TRUE(platform::loadBitmapFile((scratch.path() / "absent.bmp").string()).image.empty());
}

// Where text stands in the editor, wine_tests checks against FreeType's.
TEST(GdiText, ALineIsAsWideAsItsMeasureAndLatin1IsNoBox) {
  const platform::TextImage line = platform::renderText("Volume: 0.500", {12, false, false});
  EXPECT_GT(line.width, 30);
  EXPECT_EQ(line.width, platform::textWidth("Volume: 0.500", {12, false, false}));
  ASSERT_EQ(line.coverage.size(), static_cast<std::size_t>(line.width * line.height));
  // Bytes above 127 are Latin-1: e-acute is an e with more ink.
  const platform::TextImage plain = platform::renderText("e", {16, false, false});
  const platform::TextImage accented = platform::renderText("\xE9", {16, false, false});
  EXPECT_EQ(accented.width, plain.width);
  EXPECT_LT(std::count(accented.coverage.begin(), accented.coverage.end(), 0),
            std::count(plain.coverage.begin(), plain.coverage.end(), 0));
}

}  // namespace
}  // namespace zvx::wintest
