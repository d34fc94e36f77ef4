// wine_tests: the Windows tree (make windows) under wine in a scratch prefix,
// held against this Linux build: the channels bit for bit, the editor's picture
// outside text. Exits with 77 (skipped) when cross compiler, wine or tree is missing.
#include <gtest/gtest.h>
#include <sndfile.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "image/BmpDecoder.h"
#include "tools/zvx-render/DemoPattern.h"
#include "vsthost/HeadlessEditor.h"
#include "vsthost/VstHost.h"
#include "vsthost/XvfbServer.h"

namespace zvx::test {
namespace {

namespace fs = std::filesystem;
using vsthost::XvfbServer;

const fs::path kWindowsBuild = ZVX_WINDOWS_BUILD;
// Wine's first boot of a prefix takes tens of seconds; nothing may hang CI.
constexpr int kBootSeconds = 300;
constexpr int kRunSeconds = 300;

struct Outcome {
  int status = -1;
  std::string output;  // standard output and error
};

std::string shellWord(const fs::path& text) {
  std::string out = "'";
  for (char c : text.string()) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

std::string readText(const fs::path& path) {
  std::ifstream file(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

// Output goes to a file, not a pipe: wineserver outlives the command and
// would hold a pipe open.
Outcome run(const std::string& command) {
  static int count = 0;
  const fs::path log = fs::temp_directory_path() / ("zvx-wine-" + std::to_string(getpid()) + "-" + std::to_string(++count));
  Outcome result;
  const int status = std::system((command + " >" + shellWord(log) + " 2>&1 </dev/null").c_str());
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  result.output = readText(log);
  fs::remove(log);
  return result;
}

// A Windows program under wine, bounded in time. ZVX_DOCUMENTS stays on the
// Linux side: under wine the registry names the documents folder.
Outcome wine(const std::string& environment, const std::string& program, const std::string& arguments) {
  return run(environment + " env -u ZVX_DOCUMENTS timeout -k 10 " + std::to_string(kRunSeconds) + " wine " +
             shellWord(kWindowsBuild / program) + " " + arguments);
}

std::string windowsPath(const fs::path& path) {
  std::string text = "Z:" + path.string();
  for (char& c : text)
    if (c == '/') c = '\\';
  return text;
}

bool onPath(const std::string& program) { return run("command -v " + shellWord(program)).status == 0; }

// The scratch prefix, its X server and the documents folder the registry names.
struct {
  fs::path root, documents;
  std::unique_ptr<XvfbServer> display;
} prefix;

class WineEnvironment : public testing::Environment {
 public:
  void SetUp() override {
    char folder[] = "/tmp/zvx-wine-XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    prefix.root = folder;
    prefix.documents = prefix.root / "documents";
    fs::create_directories(prefix.root / "home");
    fs::create_directories(prefix.documents);
    setenv("HOME", (prefix.root / "home").c_str(), 1);
    setenv("WINEPREFIX", (prefix.root / "prefix").c_str(), 1);
    setenv("WINEDEBUG", "-all", 1);
    // No dialogs offering to download Mono or Gecko.
    setenv("WINEDLLOVERRIDES", "mscoree,mshtml=", 1);
    prefix.display = std::make_unique<XvfbServer>();
    ASSERT_TRUE(prefix.display->running()) << prefix.display->error();
    setenv("DISPLAY", prefix.display->display().c_str(), 1);

    const Outcome install = run("ZVX_DOCUMENTS=" + shellWord(prefix.documents) + " " + shellWord(ZVX_DATA_TOOL) +
                            " install " + shellWord(ZVX_BUILT_DATA));
    ASSERT_EQ(install.status, 0) << install.output;
    // Windows unmanaged: with no window manager wine waits seconds at every hide.
    std::string documents;
    for (char c : windowsPath(prefix.documents)) documents += c == '\\' ? "\\\\" : std::string(1, c);
    std::ofstream(prefix.root / "setup.reg")
        << "Windows Registry Editor Version 5.00\n\n"
        << "[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders]\n"
        << "\"Personal\"=\"" << documents << "\"\n\n"
        << "[HKEY_CURRENT_USER\\Software\\Wine\\X11 Driver]\n\"Managed\"=\"N\"\n";
    const Outcome boot = run("timeout -k 10 " + std::to_string(kBootSeconds) + " wineboot -i && timeout -k 10 60 wine reg import " +
                             shellWord(windowsPath(prefix.root / "setup.reg")));
    ASSERT_EQ(boot.status, 0) << boot.output;
  }

  void TearDown() override {
    run("timeout -k 5 60 wineserver -k");
    prefix.display.reset();
    std::error_code ignored;
    fs::remove_all(prefix.root, ignored);
  }
};

// Every channel of a sound file, or nothing when it cannot be read.
std::vector<std::vector<float>> channelsOf(const fs::path& path) {
  SF_INFO info{};
  SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
  std::vector<float> frames(file ? static_cast<std::size_t>(info.frames * info.channels) : 0);
  if (!file || sf_readf_float(file, frames.data(), info.frames) != info.frames) frames.clear();
  if (file) sf_close(file);
  std::vector<std::vector<float>> channels(frames.empty() ? 0 : static_cast<std::size_t>(info.channels));
  for (std::size_t i = 0; i < frames.size(); ++i) channels[i % channels.size()].push_back(frames[i]);
  return channels;
}

// Programs that reach the per-sample paths: studio, glitch (chance, chaos,
// reversed layers), remapped notes with ring modulation, cricket lab, total chaos.
constexpr int kPrograms[] = {0, 21, 23, 25, 28};
constexpr int kBlockSizes[] = {1, 64, 512};

// The first frame whose bits differ, or the length when none does.
std::ptrdiff_t firstDifference(const std::vector<float>& a, const std::vector<float>& b) {
  const auto same = [](float x, float y) { return std::memcmp(&x, &y, sizeof x) == 0; };
  return std::mismatch(a.begin(), a.end(), b.begin(), b.end(), same).first - a.begin();
}

// The demo groove through ZVX.dll (widest lanes), ZVX_sse2.dll and ZVX_scalar.dll
// (one voice at a time) gives ZVX.so's six channels in any block size.
TEST(WineTest, ZvxRenderExeGivesTheLinuxChannelsBitForBitOnEveryEngine) {
  const auto midi = render::DemoPattern::midiFile();
  std::ofstream(prefix.root / "groove.mid", std::ios::binary)
      .write(reinterpret_cast<const char*>(midi.data()), static_cast<std::streamsize>(midi.size()));
  const fs::path onWindowsWav = prefix.root / "windows.wav", onLinuxWav = prefix.root / "linux.wav";
  for (const int program : kPrograms)
    for (const int blockSize : kBlockSizes) {
      SCOPED_TRACE("program " + std::to_string(program) + ", blocks of " + std::to_string(blockSize));
      const std::string options = " --program " + std::to_string(program) + " --block " + std::to_string(blockSize) +
                                  " --all-outputs --format wav32f -o ";
      const Outcome onLinux =
          run("ZVX_DOCUMENTS=" + shellWord(prefix.documents) + " " + shellWord(ZVX_RENDER_PATH) + " --plugin " +
              shellWord(ZVX_MODULE_PATH) + " --midi " + shellWord(prefix.root / "groove.mid") + options +
              shellWord(onLinuxWav));
      ASSERT_EQ(onLinux.status, 0) << onLinux.output;
      const auto linux = channelsOf(onLinuxWav);
      ASSERT_EQ(linux.size(), 6u);
      for (std::size_t c = 0; c < 6; ++c) {
        const auto [low, high] = std::minmax_element(linux[c].begin(), linux[c].end());
        EXPECT_GT(*high - *low, 0.02f) << "channel " << c << " is silent";
      }

      for (const std::string module : {"ZVX.dll", "ZVX_sse2.dll", "ZVX_scalar.dll"}) {
        SCOPED_TRACE(module);
        // ZVX.dll beside zvx-render.exe is its default instrument.
        const std::string plugin =
            module == "ZVX.dll" ? "" : " --plugin " + shellWord(windowsPath(kWindowsBuild / module));
        fs::remove(onWindowsWav);
        const Outcome onWindows =
            wine("", "zvx-render.exe",
                 "--midi " + shellWord(windowsPath(prefix.root / "groove.mid")) + plugin + options +
                     shellWord(windowsPath(onWindowsWav)));
        ASSERT_EQ(onWindows.status, 0) << onWindows.output;
        // A sample, the bank or the data folder not found would each have said so.
        EXPECT_EQ(onWindows.output.find("ZVX message"), std::string::npos) << onWindows.output;

        const auto windows = channelsOf(onWindowsWav);
        ASSERT_EQ(windows.size(), 6u);
        for (std::size_t c = 0; c < 6; ++c) {
          const std::ptrdiff_t first = firstDifference(linux[c], windows[c]);
          EXPECT_TRUE(first == std::ssize(linux[c]) && windows[c].size() == linux[c].size())
              << "channel " << c << " differs from frame " << first;
        }
      }
    }
}

struct Rect {
  int left = 0, top = 0, right = 0, bottom = 0;
  bool contains(int x, int y) const { return x >= left && x < right && y >= top && y < bottom; }
};

// The views of an editor description that draw text, from lines such as
// `AutoDisplay tag=202 rect=114,114,156,127 bitmap=background.bmp(800x500) value=0.0000 link=2`.
std::vector<Rect> textViews(const std::string& description) {
  std::vector<Rect> rects;
  std::istringstream lines(description);
  for (std::string line; std::getline(lines, line);) {
    Rect r;
    const std::string type = line.substr(0, line.find(' '));
    if ((type == "AutoDisplay" || type == "TextDisplay" || type == "COptionMenu" || type == "ProgramMenu") &&
        std::sscanf(line.c_str() + line.find(" rect="), " rect=%d,%d,%d,%d", &r.left, &r.top, &r.right, &r.bottom) == 4)
      rects.push_back(r);
  }
  return rects;
}

// The smallest rectangle inside `area` holding every pixel unlike the background.
template <typename Image>
Rect inkIn(const Image& image, const gui::Surface& background, const Rect& area) {
  Rect ink{area.right, area.bottom, area.left, area.top};
  for (int y = area.top; y < area.bottom; ++y)
    for (int x = area.left; x < area.right; ++x)
      if ((image.at(x, y) ^ background.at(x, y)) & 0xFFFFFFu)
        ink = {std::min(ink.left, x), std::min(ink.top, y), std::max(ink.right, x + 1), std::max(ink.bottom, y + 1)};
  return ink;
}

gui::Surface decodeFile(const fs::path& path) {
  const std::string bytes = readText(path);
  return gui::BmpDecoder::decode(std::vector<std::uint8_t>(bytes.begin(), bytes.end()));
}

TEST(WineTest, WindowsTestsPassAndTheEditorWindowShowsTheLinuxPictureOutsideText) {
  const fs::path capture = prefix.root / "editor.bmp";
  const Outcome tests = wine("ZVX_WINE_CAPTURE=" + shellWord(windowsPath(capture)), "zvx_windows_tests.exe", "");
  EXPECT_EQ(tests.status, 0) << tests.output;
  // Each needs only what this prefix holds: one skipped has lost its way.
  EXPECT_EQ(tests.output.find("[  SKIPPED ]"), std::string::npos) << tests.output;
  const gui::Surface shown = decodeFile(capture);
  ASSERT_FALSE(shown.empty()) << "no capture of the editor window";

  // The same skin drawn headless by the Linux module.
  setenv("ZVX_DOCUMENTS", prefix.documents.c_str(), 1);
  std::string error;
  auto module = vsthost::Module::load(ZVX_MODULE_PATH, error);
  auto plugin = module ? vsthost::Plugin::create(*module, {}, error) : nullptr;
  ASSERT_TRUE(plugin) << error;
  plugin->start();
  vsthost::HeadlessEditor editor(*plugin);
  ASSERT_TRUE(editor.open());
  editor.idle(3);
  const vsthost::Picture drawn = editor.picture();
  const std::vector<Rect> text = textViews(editor.describe());
  editor.close();
  ASSERT_EQ(shown.width(), drawn.width);
  ASSERT_EQ(shown.height(), drawn.height);

  int textArea = 0, outside = 0;
  for (int y = 0; y < drawn.height; ++y)
    for (int x = 0; x < drawn.width; ++x) {
      const bool inText = std::any_of(text.begin(), text.end(), [&](const Rect& r) { return r.contains(x, y); });
      textArea += inText;
      outside += !inText && ((shown.at(x, y) ^ drawn.at(x, y)) & 0xFFFFFFu);
    }
  EXPECT_EQ(outside, 0) << "pixels differ outside text";
  EXPECT_LT(textArea, drawn.width * drawn.height / 5) << "most of the editor is compared";

  // GDI's text is centred where FreeType's is; wine's fonts may differ, so only the centres are held.
  const gui::Surface background = decodeFile(prefix.documents / "Tonewerk Data" / "ZVX" / "skin" / "background.bmp");
  ASSERT_EQ(background.width(), drawn.width);
  for (const Rect& area : text) {
    const Rect onWindows = inkIn(shown, background, area), onLinux = inkIn(drawn, background, area);
    SCOPED_TRACE("text at " + std::to_string(area.left) + "," + std::to_string(area.top));
    ASSERT_LT(onLinux.left, onLinux.right) << "no text drawn on Linux";
    ASSERT_LT(onWindows.left, onWindows.right) << "no text drawn on Windows";
    EXPECT_NEAR(onWindows.left + onWindows.right, onLinux.left + onLinux.right, 4);
    EXPECT_NEAR(onWindows.top + onWindows.bottom, onLinux.top + onLinux.bottom, 4);
  }
}

}  // namespace
}  // namespace zvx::test

int main(int argc, char** argv) {
  using namespace zvx::test;
  testing::InitGoogleTest(&argc, argv);
  std::string missing;
  for (const char* program : {"x86_64-w64-mingw32-g++-posix", "wine", "wineboot", "wineserver", "Xvfb"})
    if (missing.empty() && !onPath(program)) missing = program;
  for (const char* file : {"ZVX.dll", "ZVX_sse2.dll", "ZVX_scalar.dll", "zvx-render.exe", "zvx_windows_tests.exe",
                           "ZVX.vst3/Contents/x86_64-win/ZVX.vst3"})
    if (missing.empty() && !fs::exists(kWindowsBuild / file)) missing = (kWindowsBuild / file).string() + " (make windows)";
  if (!missing.empty()) {
    std::printf("wine_tests skipped: %s is missing\n", missing.c_str());
    return 77;
  }
  testing::AddGlobalTestEnvironment(new WineEnvironment);
  return RUN_ALL_TESTS();
}
