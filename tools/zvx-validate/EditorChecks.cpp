// H: the editor in real X11 windows of a private Xvfb, as Linux hosts embed
// it: a direct child of the host's window, opened and closed many times,
// while audio runs, after the host destroyed its window, two at once.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "tools/zvx-validate/Validator.h"

namespace zvx::validate {
namespace {

namespace fs = std::filesystem;

int entriesIn(const char* folder) {
  std::error_code ec;
  int n = 0;
  for (auto it = fs::directory_iterator(folder, ec); !ec && it != fs::directory_iterator(); it.increment(ec)) ++n;
  return n;
}

int ignoreErrors(Display*, XErrorEvent*) { return 0; }

// The host side: our own connection and the windows a host would make.
class HostWindows {
 public:
  HostWindows() : display_(XOpenDisplay(nullptr)) {}
  ~HostWindows() {
    if (!display_) return;
    for (Window w : windows_) XDestroyWindow(display_, w);
    XSync(display_, False);
    XCloseDisplay(display_);
  }
  Display* display() const { return display_; }
  Window make(int width, int height) {
    const int screen = DefaultScreen(display_);
    // Side by side in turn, so no window hides another's pixels.
    const int y = windows_.size() % 2 ? 20 + height : 10;
    Window w = XCreateSimpleWindow(display_, RootWindow(display_, screen), 10, y, static_cast<unsigned>(width),
                                   static_cast<unsigned>(height), 0, BlackPixel(display_, screen),
                                   WhitePixel(display_, screen));
    XMapWindow(display_, w);
    XSync(display_, False);
    windows_.push_back(w);
    return w;
  }
  void destroy(Window w) {
    XDestroyWindow(display_, w);
    XSync(display_, False);
    std::erase(windows_, w);
  }
  std::vector<Window> children(Window parent) {
    Window root = 0, up = 0, *list = nullptr;
    unsigned count = 0;
    std::vector<Window> result;
    XSync(display_, False);
    if (XQueryTree(display_, parent, &root, &up, &list, &count)) result.assign(list, list + count);
    if (list) XFree(list);
    return result;
  }
  // How many different colours the window shows (sampled), 0 when unreadable.
  int colours(Window w, int width, int height) {
    XSync(display_, False);
    XErrorHandler previous = XSetErrorHandler(ignoreErrors);
    XImage* image = XGetImage(display_, w, 0, 0, static_cast<unsigned>(width), static_cast<unsigned>(height), AllPlanes,
                              ZPixmap);
    XSync(display_, False);
    XSetErrorHandler(previous);
    if (!image) return 0;
    std::vector<unsigned long> seen;
    for (int y = 0; y < height && seen.size() < 8; y += 7)
      for (int x = 0; x < width && seen.size() < 8; x += 7) {
        const unsigned long pixel = XGetPixel(image, x, y);
        if (std::find(seen.begin(), seen.end(), pixel) == seen.end()) seen.push_back(pixel);
      }
    XDestroyImage(image);
    return static_cast<int>(seen.size());
  }

 private:
  Display* display_;
  std::vector<Window> windows_;
};

void* xid(Window w) { return reinterpret_cast<void*>(static_cast<std::uintptr_t>(w)); }

bool rectOf(vsthost::Plugin& plugin, int& width, int& height) {
  ERect* rect = nullptr;
  if (plugin.dispatch(effEditGetRect, 0, 0, &rect) != 1 || !rect) return false;
  width = rect->right - rect->left;
  height = rect->bottom - rect->top;
  return width > 0 && height > 0;
}

void checkEmbedding(Session& session, HostWindows& host) {
  Check check("H.embed", "the editor is a mapped direct child of the host's window, of its size, and draws");
  auto plugin = session.started();
  if (!check.expect(plugin != nullptr, "no plug-in")) return;
  int width = 0, height = 0;
  if (!check.expect(rectOf(*plugin, width, height), "no size before open")) return;
  const Window parent = host.make(width, height);
  if (!check.expect(plugin->dispatch(effEditOpen, 0, 0, xid(parent)) == 1, "effEditOpen refused")) return;
  for (int i = 0; i < 5; ++i) plugin->dispatch(effEditIdle);
  int w2 = 0, h2 = 0;
  check.expect(rectOf(*plugin, w2, h2) && w2 == width && h2 == height, "the size after open differs");
  const std::vector<Window> inside = host.children(parent);
  if (check.expect(inside.size() == 1, std::to_string(inside.size()) + " child windows instead of 1")) {
    XWindowAttributes attributes{};
    XGetWindowAttributes(host.display(), inside[0], &attributes);
    check.expect(attributes.width == width && attributes.height == height,
                 "the window is " + std::to_string(attributes.width) + "x" + std::to_string(attributes.height));
    check.expect(attributes.map_state == IsViewable, "the window is not mapped");
    check.expect(host.colours(inside[0], width, height) > 1, "the window shows one colour only");
  }
  plugin->dispatch(effEditClose);
  check.expect(host.children(parent).empty(), "a window is left after effEditClose");
  check.detail(std::to_string(width) + "x" + std::to_string(height));
}

void checkCycles(Session& session, HostWindows& host) {
  Check check("H.cycles", "50 open and close cycles, double open, close and idle without open; nothing leaks");
  auto plugin = session.started();
  if (!check.expect(plugin != nullptr, "no plug-in")) return;
  int width = 0, height = 0;
  if (!check.expect(rectOf(*plugin, width, height), "no size")) return;
  plugin->dispatch(effEditClose);  // never opened
  plugin->dispatch(effEditIdle);
  const Window parent = host.make(width, height);
  // One cycle first: connections and caches a first open sets up may stay.
  plugin->dispatch(effEditOpen, 0, 0, xid(parent));
  plugin->dispatch(effEditClose);
  const int files = entriesIn("/proc/self/fd"), threads = entriesIn("/proc/self/task");
  for (int cycle = 0; cycle < 50; ++cycle) {
    if (!check.expect(plugin->dispatch(effEditOpen, 0, 0, xid(parent)) == 1, "open " + std::to_string(cycle) + " refused"))
      break;
    for (int i = 0; i < cycle % 4; ++i) plugin->dispatch(effEditIdle);  // sometimes no idle at all
    plugin->dispatch(effEditClose);
  }
  plugin->dispatch(effEditOpen, 0, 0, xid(parent));
  plugin->dispatch(effEditOpen, 0, 0, xid(parent));  // twice without close
  plugin->dispatch(effEditIdle);
  check.expect(host.children(parent).size() == 1, "two opens left " + std::to_string(host.children(parent).size()) +
                                                      " windows");
  plugin->dispatch(effEditClose);
  plugin->dispatch(effEditClose);
  check.expect(host.children(parent).empty(), "windows left after the cycles");
  check.expect(entriesIn("/proc/self/fd") <= files, "file descriptors (X connections) leaked: " +
                                                        std::to_string(entriesIn("/proc/self/fd") - files));
  check.expect(entriesIn("/proc/self/task") <= threads, "threads left running");
}

void checkWhileProcessing(Session& session, HostWindows& host) {
  Check check("H.processing", "the editor opened, idled and closed while another thread renders");
  auto plugin = session.started(44100.0f, 256);
  if (!check.expect(plugin != nullptr, "no plug-in")) return;
  int width = 0, height = 0;
  if (!check.expect(rectOf(*plugin, width, height), "no size")) return;
  const Window parent = host.make(width, height);
  std::atomic<bool> stop{false};
  std::string problem;
  std::thread audio([&] {
    Outputs out(plugin->effect()->numOutputs, 256);
    EventList list;
    for (int block = 0; !stop; ++block) {
      list.clear();
      if (block % 10 == 0) list.add(vsthost::midiEvent(0, 0x90, 35 + block % 12, 127));
      const std::string p = processBlock(*plugin, out, 256, &list);
      if (!p.empty() && problem.empty()) problem = p;
    }
  });
  for (int cycle = 0; cycle < 10; ++cycle) {
    check.expect(plugin->dispatch(effEditOpen, 0, 0, xid(parent)) == 1, "open refused");
    for (int i = 0; i < 10; ++i) {
      plugin->dispatch(effEditIdle);
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    plugin->dispatch(effEditClose);
  }
  stop = true;
  audio.join();
  check.expect(problem.empty(), problem);
}

void checkZeroRate(Session& session, HostWindows& host) {
  Check check("H.zero", "the editor opens in a plug-in told sample rate and block size 0");
  vsthost::HostConfig config;
  config.sampleRate = 0;
  config.blockSize = 0;
  auto plugin = session.create(config);
  if (!check.expect(plugin != nullptr, "no plug-in")) return;
  plugin->dispatch(effSetSampleRate, 0, 0, nullptr, 0.0f);
  plugin->dispatch(effSetBlockSize, 0, 0);
  plugin->dispatch(effOpen);
  int width = 0, height = 0;
  if (!check.expect(rectOf(*plugin, width, height), "no size")) return;
  const Window parent = host.make(width, height);
  check.expect(plugin->dispatch(effEditOpen, 0, 0, xid(parent)) == 1, "open refused");
  plugin->dispatch(effEditIdle);
  plugin->dispatch(effEditClose);
}

void checkDestroyedParent(Session& session, HostWindows& host) {
  Check check("H.parent", "the host's window destroyed before effEditClose, and a parent that does not exist");
  auto plugin = session.started();
  if (!check.expect(plugin != nullptr, "no plug-in")) return;
  int width = 0, height = 0;
  if (!check.expect(rectOf(*plugin, width, height), "no size")) return;
  const Window doomed = host.make(width, height);
  check.expect(plugin->dispatch(effEditOpen, 0, 0, xid(doomed)) == 1, "open refused");
  plugin->dispatch(effEditIdle);
  host.destroy(doomed);
  for (int i = 0; i < 5; ++i) plugin->dispatch(effEditIdle);
  plugin->dispatch(effEditClose);
  // A window id nobody made: refused, and the process lives on.
  const VstIntPtr answer = plugin->dispatch(effEditOpen, 0, 0, xid(static_cast<Window>(0x3FFFFF0)));
  check.expect(answer == 0, "an editor opened in a window that does not exist");
  plugin->dispatch(effEditIdle);
  plugin->dispatch(effEditClose);
  const Window parent = host.make(width, height);
  check.expect(plugin->dispatch(effEditOpen, 0, 0, xid(parent)) == 1, "no editor opens afterwards");
  check.expect(host.children(parent).size() == 1, "the editor opened afterwards has no window");
  plugin->dispatch(effEditClose);
}

void checkTwoEditors(Session& session, HostWindows& host) {
  Check check("H.two", "two instances' editors open at once, each in its own window");
  auto first = session.started(), second = session.started();
  if (!check.expect(first && second, "no plug-in")) return;
  int width = 0, height = 0;
  if (!check.expect(rectOf(*first, width, height), "no size")) return;
  const Window a = host.make(width, height), b = host.make(width, height);
  check.expect(first->dispatch(effEditOpen, 0, 0, xid(a)) == 1, "first open refused");
  check.expect(second->dispatch(effEditOpen, 0, 0, xid(b)) == 1, "second open refused");
  for (int i = 0; i < 5; ++i) {
    first->dispatch(effEditIdle);
    second->dispatch(effEditIdle);
  }
  check.expect(host.children(a).size() == 1 && host.children(b).size() == 1, "each window should hold one editor");
  check.expect(host.colours(host.children(a).at(0), width, height) > 1, "the first editor shows one colour");
  check.expect(host.colours(host.children(b).at(0), width, height) > 1, "the second editor shows one colour");
  first->dispatch(effEditClose);
  second->dispatch(effEditIdle);
  check.expect(host.children(b).size() == 1, "closing one editor closed the other");
  second->dispatch(effEditClose);
}

}  // namespace

void runEditorChecks(Session& session) {
  {
    auto plugin = session.create();
    if (!plugin || !(plugin->effect()->flags & effFlagsHasEditor)) {
      Check check("H.editor", "editor windows");
      check.skip("the plug-in has no editor");
      return;
    }
  }
  if (!std::getenv("ZVX_VALIDATE_XVFB") || !std::getenv("DISPLAY")) {
    Check check("H.editor", "editor windows");
    check.skip("no private Xvfb display was given");
    return;
  }
  HostWindows host;
  if (!host.display()) {
    Check check("H.display", "the private X display opens");
    check.fail("cannot open display " + std::string(std::getenv("DISPLAY")));
    return;
  }
  checkEmbedding(session, host);
  checkCycles(session, host);
  checkWhileProcessing(session, host);
  checkZeroRate(session, host);
  checkDestroyedParent(session, host);
  checkTwoEditors(session, host);
}

}  // namespace zvx::validate
