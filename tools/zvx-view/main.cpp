// zvx-view: shows the editor of a VST 2.4 module in a top-level X11 window,
// the way a Linux host does (effEditOpen with the window's id, effEditIdle
// every 30 ms), for trying the GUI by hand; it can also save a screenshot.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <poll.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "image/PngCodec.h"
#include "platform/AppWindow.h"
#include "platform/linux/X11Support.h"
#include "vsthost/HeadlessEditor.h"
#include "vsthost/ModuleLocator.h"
#include "vsthost/VstHost.h"

#ifndef ZVX_DEFAULT_MODULE
#define ZVX_DEFAULT_MODULE ""
#endif

namespace {

constexpr int kFailure = 1;
constexpr int kUsage = 2;
constexpr auto kIdlePeriod = std::chrono::milliseconds(30);
constexpr int kDefaultScreenshotFrames = 10;

std::atomic<bool> interrupted{false};

void onSignal(int) { interrupted = true; }

const char* kUsageText =
    "Usage: zvx-view [--plugin MODULE] [--screenshot FILE.png] [--frames N] [--headless]\n"
    "\n"
    "Opens the editor of a VST 2.4 module in a window of its own, as a Linux host\n"
    "does: a top-level X11 window of the editor's size (effEditGetRect), the editor\n"
    "opened in it (effEditOpen with the window's id) and idled every 30 ms\n"
    "(effEditIdle) until the window is closed.\n"
    "\n"
    "Options:\n"
    "  --plugin MODULE      the module to load (default: the ZVX.so of this build,\n"
    "                       one next to zvx-view, then ~/.vst/ZVX.so)\n"
    "  --screenshot FILE    after N idle calls, saves the window as a PNG and exits\n"
    "  --frames N           exits after N idle calls (default with --screenshot: 10)\n"
    "  --headless           opens the editor without a window (no X display needed)\n"
    "                       and saves its picture; needs --screenshot\n"
    "  --version            prints zvx-view's version\n"
    "  --help               shows this text\n"
    "\n"
    "Needs an X display (DISPLAY); under Xvfb it runs without a screen.\n";

int fail(const std::string& message) {
  std::fprintf(stderr, "zvx-view: %s\n", message.c_str());
  return kFailure;
}

struct Options {
  std::string plugin;
  std::string screenshot;
  int frames = 0;
  bool help = false;
  bool version = false;
  bool headless = false;
};

bool parse(int argc, char** argv, Options& options, std::string& error) {
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    const auto value = [&](std::string& out) {
      if (i + 1 >= argc) {
        error = argument + " needs a value";
        return false;
      }
      out = argv[++i];
      return true;
    };
    if (argument == "--help" || argument == "-h") {
      options.help = true;
    } else if (argument == "--version") {
      options.version = true;
    } else if (argument == "--headless") {
      options.headless = true;
    } else if (argument == "--plugin") {
      if (!value(options.plugin)) return false;
    } else if (argument == "--screenshot") {
      if (!value(options.screenshot)) return false;
    } else if (argument == "--frames") {
      std::string text;
      if (!value(text)) return false;
      int frames = 0;
      const auto [end, problem] = std::from_chars(text.data(), text.data() + text.size(), frames);
      if (problem != std::errc() || end != text.data() + text.size() || frames < 1 || frames > 1000000) {
        error = "--frames wants a whole number from 1 to 1000000, not '" + text + "'";
        return false;
      }
      options.frames = frames;
    } else {
      error = "unknown argument '" + argument + "'";
      return false;
    }
  }
  if (options.headless && options.screenshot.empty()) {
    error = "--headless needs --screenshot";
    return false;
  }
  if (!options.screenshot.empty() && options.frames == 0) options.frames = kDefaultScreenshotFrames;
  return true;
}

bool editorSize(zvx::vsthost::Plugin& plugin, int& width, int& height) {
  ERect* rect = nullptr;
  plugin.dispatch(effEditGetRect, 0, 0, &rect);
  if (!rect || rect->right <= rect->left || rect->bottom <= rect->top) return false;
  width = rect->right - rect->left;
  height = rect->bottom - rect->top;
  return true;
}

// The editor opened with no parent window, idled and saved as it drew itself.
int runHeadless(const Options& options) {
  std::string modulePath, error;
  if (!zvx::vsthost::findModule(options.plugin, ZVX_DEFAULT_MODULE, modulePath, error)) return fail(error);
  auto module = zvx::vsthost::Module::load(modulePath, error);
  if (!module) return fail(error);
  auto plugin = zvx::vsthost::Plugin::create(*module, {}, error);
  if (!plugin) return fail(error);
  plugin->start();
  if (!(plugin->effect()->flags & effFlagsHasEditor)) return fail(modulePath + " has no editor");
  zvx::vsthost::HeadlessEditor editor(*plugin);
  if (!editor.open()) return fail("the editor did not open");
  editor.idle(options.frames);
  const zvx::vsthost::Picture picture = editor.picture();
  editor.close();
  if (picture.width == 0 || picture.height == 0) return fail("the editor gave no picture");
  zvx::gui::Surface shot(picture.width, picture.height);
  std::copy(picture.pixels.begin(), picture.pixels.end(), shot.data());
  if (!zvx::gui::PngCodec::writeFile(shot, options.screenshot)) return fail("cannot write " + options.screenshot);
  return 0;
}

int run(const Options& options) {
  if (options.headless) return runHeadless(options);
  std::string modulePath, error;
  if (!zvx::vsthost::findModule(options.plugin, ZVX_DEFAULT_MODULE, modulePath, error)) return fail(error);
  Display* display = XOpenDisplay(nullptr);
  if (!display) {
    const char* name = std::getenv("DISPLAY");
    return fail(std::string("cannot open the X display ") + (name && *name ? name : "(DISPLAY is not set)"));
  }
  int status = 0;
  {
    auto module = zvx::vsthost::Module::load(modulePath, error);
    if (!module) {
      XCloseDisplay(display);
      return fail(error);
    }
    auto plugin = zvx::vsthost::Plugin::create(*module, {}, error);
    if (!plugin) {
      XCloseDisplay(display);
      return fail(error);
    }
    plugin->start();
    if (!(plugin->effect()->flags & effFlagsHasEditor)) {
      plugin.reset();
      XCloseDisplay(display);
      return fail(modulePath + " has no editor");
    }
    int width = 400, height = 300;
    if (!editorSize(*plugin, width, height))
      std::fprintf(stderr, "zvx-view: the editor names no size before it opens; using %dx%d\n", width, height);
    std::string title = plugin->effectName();
    if (title.empty()) title = std::filesystem::path(modulePath).filename().string();
    std::string windowError;
    if (auto window = zvx::platform::createAppWindow(width, height, title, "zvx-view", windowError); !window) {
      status = fail(windowError);
    } else {
      const Window id = static_cast<Window>(reinterpret_cast<std::uintptr_t>(window->nativeHandle()));
      // Like hosts, our Display* goes along in `value`; the editor must not use it.
      if (!plugin->dispatch(effEditOpen, 0, reinterpret_cast<VstIntPtr>(display), window->nativeHandle())) {
        status = fail("the editor did not open");
      } else {
        int openWidth = width, openHeight = height;
        if (editorSize(*plugin, openWidth, openHeight) && (openWidth != width || openHeight != height))
          window->resize(openWidth, openHeight);
        std::signal(SIGINT, onSignal);
        std::signal(SIGTERM, onSignal);
        int idles = 0;
        auto next = std::chrono::steady_clock::now();
        while (!interrupted && !window->closed()) {
          plugin->dispatch(effEditIdle);
          ++idles;
          if (options.frames > 0 && idles >= options.frames) break;
          next += kIdlePeriod;
          std::this_thread::sleep_until(next);
        }
        if (!options.screenshot.empty() && !window->closed()) {
          XSync(display, False);
          const zvx::gui::Surface shot = zvx::platform::x11::readWindow(display, id);
          if (shot.empty())
            status = fail("cannot read the window's pixels");
          else if (!zvx::gui::PngCodec::writeFile(shot, options.screenshot))
            status = fail("cannot write " + options.screenshot);
        }
        plugin->dispatch(effEditClose);
      }
    }
    plugin.reset();
  }
  XCloseDisplay(display);
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  std::string error;
  if (!parse(argc, argv, options, error)) {
    std::fprintf(stderr, "zvx-view: %s (zvx-view --help shows the options)\n", error.c_str());
    return kUsage;
  }
  if (options.help) {
    std::fputs(kUsageText, stdout);
    return 0;
  }
  if (options.version) {
    std::printf("zvx-view %s\n", ZVX_VERSION);
    return 0;
  }
  return run(options);
}
