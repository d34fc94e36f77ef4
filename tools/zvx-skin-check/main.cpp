// zvx-skin-check: loads a skin the way the ZVX editor does, without a window,
// and lists every message it shows; with --dump, also what each element of
// the skin became; with --catalogue, every element a skin may hold. For skin
// authors.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "editor/DrumEditor.h"
#include "instrument/DirectControl.h"
#include "instrument/Instrument.h"
#include "platform/Messages.h"
#include "skin/SkinCatalogue.h"
#include "skin/SkinDump.h"
#include "storage/DataFolder.h"

namespace {

namespace fs = std::filesystem;
using zvx::platform::Message;

constexpr int kMessagesShown = 1;
constexpr int kUsage = 2;
// What a skin may cost the host's GUI thread: to open the editor, and to draw it whole.
constexpr long kLoadLimitMs = 1000;
constexpr long kDrawLimitMs = 250;

const char* kUsageText =
    "Usage: zvx-skin-check [--dump] [FOLDER]\n"
    "       zvx-skin-check --catalogue\n"
    "       zvx-skin-check --version\n"
    "\n"
    "Loads a skin as the ZVX editor does when it opens, without a window, and\n"
    "prints every message the load shows, one line each:\n"
    "  ZVX message [icon] \"caption\": text\n"
    "then each bitmap that loaded empty and why (the editor shows no message for\n"
    "those: the control just draws no image), then what the skin costs:\n"
    "  load N ms, draw N ms, N pixels decoded of a budget of N\n"
    "(the time to open the editor, the time to draw it whole once, and the\n"
    "pixels of its bitmaps against what the skin may decode: 16 times its\n"
    "window's pixels, at least 4 Mpx, at most 64 Mpx; a bitmap that would go\n"
    "over is given empty), a line for each cost over its limit, and a line with\n"
    "the number of messages.\n"
    "\n"
    "  FOLDER   a data folder (holding skin/skin.xml and sound wizard.xml) or a\n"
    "           skin folder (holding skin.xml); by default the installed data\n"
    "           folder. Nothing is written into FOLDER.\n"
    "  --dump   also prints what the skin resolved to: one line per control\n"
    "           (class, tag, rectangle, bitmaps, value), then the editor's tables.\n"
    "  --catalogue\n"
    "           prints every element a skin may hold and loads nothing: per\n"
    "           element a line \"name: what it is\", then a line per attribute\n"
    "           with its name, its default (\"required\" for none) and what it\n"
    "           does, in the order the editor reads them, and a blank line.\n"
    "\n"
    "Exit status: 0 when the skin loads without a message or an empty bitmap\n"
    "within 1000 ms and draws within 250 ms, 1 when it has some or goes over,\n"
    "2 for a usage error or a folder without a skin.\n";

// A documents folder of its own whose ZVX data folder shows the files of the
// folder under test through links, so that what the plug-in writes (its
// controller map) stays out of that folder.
class ScratchDocuments {
 public:
  ScratchDocuments() {
    std::string pattern = (fs::temp_directory_path() / "zvx-skin-check-XXXXXX").string();
    if (mkdtemp(pattern.data())) root_ = pattern;
  }
  ~ScratchDocuments() {
    std::error_code ignored;
    if (!root_.empty()) fs::remove_all(root_, ignored);
  }
  ScratchDocuments(const ScratchDocuments&) = delete;
  ScratchDocuments& operator=(const ScratchDocuments&) = delete;

  // Links FOLDER's entries (a data folder) or FOLDER itself as skin/ (a skin
  // folder, with the wizard file beside it if there is one).
  bool show(const fs::path& folder, std::string& error) {
    if (root_.empty()) {
      error = "cannot make a temporary folder";
      return false;
    }
    const fs::path data = root_ / "Tonewerk Data" / "ZVX";
    std::error_code failure;
    fs::create_directories(data, failure);
    const fs::path absolute = fs::absolute(folder, failure);
    if (fs::is_regular_file(absolute / "skin.xml")) {
      fs::create_directory_symlink(absolute, data / "skin", failure);
      const fs::path wizard = absolute.parent_path() / "sound wizard.xml";
      if (!failure && fs::is_regular_file(wizard)) fs::create_symlink(wizard, data / "sound wizard.xml", failure);
    } else if (fs::is_regular_file(absolute / "skin" / "skin.xml")) {
      for (const fs::directory_entry& entry : fs::directory_iterator(absolute, failure)) {
        fs::create_symlink(entry.path(), data / entry.path().filename(), failure);
        if (failure) break;
      }
    } else {
      error = folder.string() + " holds neither skin.xml nor skin/skin.xml";
      return false;
    }
    if (failure) {
      error = "cannot link " + folder.string() + ": " + failure.message();
      return false;
    }
    setenv("ZVX_DOCUMENTS", root_.c_str(), 1);
    return true;
  }

 private:
  fs::path root_;
};

// Messages the skin load shows on this thread; the sample loader's, which
// may come from its own thread, are not the skin's.
class MessageRecorder {
 public:
  MessageRecorder() : thread_(std::this_thread::get_id()) {
    zvx::platform::setMessageSink([this](const Message& message) {
      if (std::this_thread::get_id() != thread_) return;
      std::lock_guard<std::mutex> lock(mutex_);
      messages_.push_back(message);
    });
  }
  ~MessageRecorder() { zvx::platform::setMessageSink({}); }
  MessageRecorder(const MessageRecorder&) = delete;
  MessageRecorder& operator=(const MessageRecorder&) = delete;

  std::vector<Message> take() {
    std::lock_guard<std::mutex> lock(mutex_);
    return std::exchange(messages_, {});
  }

 private:
  std::thread::id thread_;
  std::mutex mutex_;
  std::vector<Message> messages_;
};

long millisecondsSince(std::chrono::steady_clock::time_point start) {
  return static_cast<long>(
      std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count());
}

// The bitmaps of the dump that loaded as 0 x 0, each once, in order.
std::vector<std::string> emptyBitmaps(const std::string& dump) {
  static const std::string kEmpty = "(0x0)";
  std::vector<std::string> names;
  for (std::size_t at = dump.find(kEmpty); at != std::string::npos; at = dump.find(kEmpty, at + 1)) {
    const std::size_t start = dump.rfind('=', at) + 1;
    const std::string name = dump.substr(start, at - start);
    if (std::find(names.begin(), names.end(), name) == names.end()) names.push_back(name);
  }
  return names;
}

// The instrument alone, as a front door holds it: no real-time thread, no
// display to tell of parameters beyond the editor's own.
class ToolHost : public zvx::InstrumentHost {
 public:
  bool hostSaysRealtime() override { return false; }
  void parameterChanged(int, float) override {}
  bool updateDisplay() override { return false; }
};

}  // namespace

int main(int argc, char** argv) {
  bool dump = false;
  const char* folder = nullptr;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--dump") == 0) {
      dump = true;
    } else if (std::strcmp(argv[i], "--catalogue") == 0) {
      std::fputs(zvx::catalogueText(zvx::DrumEditor::catalogue()).c_str(), stdout);
      return 0;
    } else if (std::strcmp(argv[i], "--help") == 0) {
      std::fputs(kUsageText, stdout);
      return 0;
    } else if (std::strcmp(argv[i], "--version") == 0) {
      std::printf("zvx-skin-check %s\n", ZVX_VERSION);
      return 0;
    } else if (argv[i][0] == '-' || folder) {
      std::fputs(kUsageText, stderr);
      return kUsage;
    } else {
      folder = argv[i];
    }
  }

  ScratchDocuments scratch;
  std::string error;
  if (folder && !scratch.show(folder, error)) {
    std::fprintf(stderr, "zvx-skin-check: %s\n", error.c_str());
    return kUsage;
  }
  std::string dataFolder;
  if (!zvx::findDataFolder("ZVX", dataFolder)) {
    std::fputs("zvx-skin-check: there is no documents folder for the data folder\n", stderr);
    return kUsage;
  }
  if (!folder && !fs::is_regular_file(fs::path(dataFolder) / "skin" / "skin.xml")) {
    std::fprintf(stderr, "zvx-skin-check: %sskin holds no skin.xml (is ZVX installed?)\n", dataFolder.c_str());
    return kUsage;
  }

  // What the instrument shows while it starts (its samples, its bank) is not
  // the skin's; the size pass is repeated by the full pass at open.
  zvx::platform::setMessageSink([](const Message&) {});
  ToolHost host;
  zvx::Instrument instrument(host);
  instrument.start();
  zvx::DirectControl control(instrument);
  const std::unique_ptr<zvx::FrameEditor> made = zvx::DrumEditor::create(control);
  auto* editor = dynamic_cast<zvx::SkinEditor*>(made.get());
  if (!editor) {
    std::fputs("zvx-skin-check: the instrument has no skin editor\n", stderr);
    return kUsage;
  }
  MessageRecorder recorder;
  auto start = std::chrono::steady_clock::now();
  editor->open(nullptr);
  const long loadMs = millisecondsSince(start);
  long drawMs = 0;
  if (CFrame* frame = editor->getFrame()) {
    start = std::chrono::steady_clock::now();
    frame->redraw();
    drawMs = millisecondsSince(start);
  }
  const std::vector<Message> messages = recorder.take();
  for (const Message& message : messages) std::printf("%s\n", zvx::platform::formatMessageLine(message).c_str());
  const std::string resolved = zvx::dumpSkin(*editor);
  // The editor says nothing of a bitmap file it cannot load (the control just
  // shows no image), but the author wants to know, and why.
  const std::vector<std::string> empty = emptyBitmaps(resolved);
  for (const std::string& name : empty) {
    std::string reason = "missing or not a BMP or PNG file";
    for (const zvx::EmptyBitmap& known : editor->emptyBitmaps)
      if (zvx::platform::escapedLine(known.name) == name) reason = known.reason;
    std::printf("empty bitmap: %s (%s)\n", name.c_str(), reason.c_str());
  }
  if (dump) std::fputs(resolved.c_str(), stdout);
  std::printf("load %ld ms, draw %ld ms, %zu pixels decoded of a budget of %zu\n", loadMs, drawMs,
              editor->decodedPixels, editor->pixelBudget);
  const bool slow = loadMs > kLoadLimitMs || drawMs > kDrawLimitMs;
  if (loadMs > kLoadLimitMs) std::printf("over the limit: the load took more than %ld ms\n", kLoadLimitMs);
  if (drawMs > kDrawLimitMs) std::printf("over the limit: drawing took more than %ld ms\n", kDrawLimitMs);
  editor->close();
  std::printf("%zu message%s\n", messages.size(), messages.size() == 1 ? "" : "s");
  return messages.empty() && empty.empty() && !slow ? 0 : kMessagesShown;
}
