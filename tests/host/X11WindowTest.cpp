// The Linux editor window, pop-up menus and message boxes on a private Xvfb:
// a test plug-in's editor driven through the VST dispatcher as a host drives
// it, with input from XTest, and the pixels read back from the server.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "host/gui/CFrame.h"
#include "host/gui/image/PngCodec.h"
#include "host/platform/EditorWindow.h"
#include "host/platform/Messages.h"
#include "host/vst/AEffGUIEditor.h"
#include "host/vst/AudioEffect.h"
#include "tests/host/TestEditorPlugin.h"
#include "tests/host/XvfbServer.h"
#include "tests/support/TestSupport.h"

// After our headers: Xlib defines None, Status and friends as macros.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include "host/platform/linux/X11Support.h"

namespace zvx::test {
namespace {

namespace fs = std::filesystem;
using gui::InputEvent;
using gui::makePixel;
using gui::Pixel;
using gui::Surface;
using namespace std::chrono_literals;

// One server for the whole program; DISPLAY names it, so whatever opens
// "the" display (editor windows, message boxes, zvx-view) lands there.
XvfbServer* server = nullptr;

class XvfbEnvironment : public testing::Environment {
 public:
  void SetUp() override {
    if (!XvfbServer::installed()) return;
    server_ = std::make_unique<XvfbServer>();
    if (server_->running()) setenv("DISPLAY", server_->display().c_str(), 1);
    server = server_.get();
  }
  void TearDown() override {
    server = nullptr;
    server_.reset();
  }

 private:
  std::unique_ptr<XvfbServer> server_;
};

[[maybe_unused]] testing::Environment* const environment = testing::AddGlobalTestEnvironment(new XvfbEnvironment);

void* xid(Window window) { return reinterpret_cast<void*>(static_cast<std::uintptr_t>(window)); }

Pixel rgb(Pixel p) { return p & 0x00FFFFFFu; }

// Sets or unsets an environment variable for the life of the object.
class EnvironmentGuard {
 public:
  EnvironmentGuard(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) previous_ = old;
    if (value)
      setenv(name, value, 1);
    else
      unsetenv(name);
  }
  ~EnvironmentGuard() {
    if (previous_)
      setenv(name_.c_str(), previous_->c_str(), 1);
    else
      unsetenv(name_.c_str());
  }

 private:
  std::string name_;
  std::optional<std::string> previous_;
};

// A plug-in instance of the test plug-in, driven only through its dispatcher.
class Editor {
 public:
  Editor() {
    std::string error;
    plugin_ = testhost::Plugin::create(&testEditorPluginEntry, "editor test plug-in", {}, error);
    if (plugin_) plugin_->start();
  }
  bool valid() const { return plugin_ != nullptr; }
  testhost::Plugin& plugin() { return *plugin_; }

  bool open(Window parent) { return plugin_->dispatch(effEditOpen, 0, 0, xid(parent)) != 0; }
  void idle(int times = 1) {
    for (int i = 0; i < times; ++i) plugin_->dispatch(effEditIdle);
  }
  void close() { plugin_->dispatch(effEditClose); }
  ERect* rect() {
    ERect* rect = nullptr;
    plugin_->dispatch(effEditGetRect, 0, 0, &rect);
    return rect;
  }
  // The toolkit's frame inside the editor, for comparing pixels.
  CFrame* frame() {
    auto* effect = static_cast<AudioEffect*>(plugin_->effect()->object);
    auto* editor = static_cast<AEffGUIEditor*>(effect->getEditor());
    return editor ? editor->getFrame() : nullptr;
  }
  // Idles until `done` holds, or gives up after `timeout`.
  bool idleUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout = 3000ms) {
    const auto giveUp = std::chrono::steady_clock::now() + timeout;
    for (;;) {
      idle();
      if (done()) return true;
      if (std::chrono::steady_clock::now() > giveUp) return false;
      std::this_thread::sleep_for(5ms);
    }
  }
  // The host callbacks of one kind for one parameter, in order.
  std::vector<VstInt32> callsFor(VstInt32 index) {
    std::vector<VstInt32> opcodes;
    for (const testhost::HostCall& call : plugin_->calls())
      if (call.index == index && (call.opcode == audioMasterBeginEdit || call.opcode == audioMasterEndEdit ||
                                  call.opcode == audioMasterAutomate))
        opcodes.push_back(call.opcode);
    return opcodes;
  }

 private:
  std::unique_ptr<testhost::Plugin> plugin_;
};

struct Placed {
  Window window = 0;
  int x = 0, y = 0, width = 0, height = 0;
};

// Top-level windows named `name` that are on screen, bottom to top.
std::vector<Placed> windowsNamed(Display* display, const std::string& name) {
  std::vector<Placed> found;
  // Windows may go between the listing and the questions about them.
  platform::x11::ErrorTrap trap(display);
  Window root = 0, parent = 0;
  Window* children = nullptr;
  unsigned count = 0;
  if (!XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count)) return found;
  for (unsigned i = 0; i < count; ++i) {
    char* title = nullptr;
    if (!XFetchName(display, children[i], &title) || !title) continue;
    const bool match = name == title;
    XFree(title);
    XWindowAttributes attributes{};
    if (match && XGetWindowAttributes(display, children[i], &attributes) && attributes.map_state == IsViewable)
      found.push_back({children[i], attributes.x, attributes.y, attributes.width, attributes.height});
  }
  if (children) XFree(children);
  return found;
}

std::vector<Placed> waitForWindows(Display* display, const std::string& name, std::size_t count,
                                   std::chrono::milliseconds timeout = 3000ms) {
  const auto giveUp = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    auto found = windowsNamed(display, name);
    if (found.size() >= count || std::chrono::steady_clock::now() > giveUp) return found;
    std::this_thread::sleep_for(5ms);
  }
}

// Synthetic input on a connection of the test's own.
class Input {
 public:
  explicit Input(Display* display) : display_(display) {}
  void moveTo(int x, int y) {
    XTestFakeMotionEvent(display_, DefaultScreen(display_), x, y, CurrentTime);
    XSync(display_, False);
  }
  void button(unsigned button, bool down) {
    XTestFakeButtonEvent(display_, button, down ? True : False, CurrentTime);
    XSync(display_, False);
  }
  void click(int x, int y, unsigned which = Button1) {
    moveTo(x, y);
    button(which, true);
    button(which, false);
  }
  void key(KeySym sym, bool down) {
    XTestFakeKeyEvent(display_, XKeysymToKeycode(display_, sym), down ? True : False, CurrentTime);
    XSync(display_, False);
  }
  void type(KeySym sym) {
    key(sym, true);
    key(sym, false);
  }

 private:
  Display* display_;
};

class X11Test : public testing::Test {
 protected:
  void SetUp() override {
    if (!XvfbServer::installed()) GTEST_SKIP() << "Xvfb is not installed";
    ASSERT_TRUE(server && server->running()) << (server ? server->error() : "no server");
    display_ = XOpenDisplay(server->display().c_str());
    ASSERT_NE(display_, nullptr);
    int event = 0, error = 0, major = 0, minor = 0;
    ASSERT_TRUE(XTestQueryExtension(display_, &event, &error, &major, &minor));
    input_ = std::make_unique<Input>(display_);
    input_->moveTo(1000, 750);  // out of every window
  }

  void TearDown() override {
    if (!display_) return;
    for (Window window : parents_) XDestroyWindow(display_, window);
    XSync(display_, False);
    XCloseDisplay(display_);
  }

  // A host's window, mapped on screen at (x, y).
  Window makeParent(int x, int y, int width = kEditorWidth, int height = kEditorHeight) {
    const int screen = DefaultScreen(display_);
    Window window = XCreateSimpleWindow(display_, RootWindow(display_, screen), x, y, static_cast<unsigned>(width),
                                        static_cast<unsigned>(height), 0, BlackPixel(display_, screen),
                                        WhitePixel(display_, screen));
    XMapWindow(display_, window);
    XSync(display_, False);
    parents_.push_back(window);
    return window;
  }

  void forget(Window window) { std::erase(parents_, window); }

  std::vector<Window> children(Window parent) {
    Window root = 0, up = 0;
    Window* list = nullptr;
    unsigned count = 0;
    std::vector<Window> result;
    if (XQueryTree(display_, parent, &root, &up, &list, &count)) result.assign(list, list + count);
    if (list) XFree(list);
    return result;
  }

  Surface read(Window window) {
    XSync(display_, False);
    return platform::x11::readWindow(display_, window);
  }

  // The window shows exactly the frame's surface.
  void expectShowsFrame(Window window, Editor& editor) {
    const Surface shown = read(window);
    CFrame* frame = editor.frame();
    ASSERT_NE(frame, nullptr);
    const Surface& drawn = frame->surface();
    ASSERT_EQ(shown.width(), drawn.width());
    ASSERT_EQ(shown.height(), drawn.height());
    int differing = 0;
    for (int y = 0; y < drawn.height(); ++y)
      for (int x = 0; x < drawn.width(); ++x) differing += rgb(shown.at(x, y)) != rgb(drawn.at(x, y));
    EXPECT_EQ(differing, 0);
  }

  Display* display_ = nullptr;
  std::unique_ptr<Input> input_;
  std::vector<Window> parents_;
};

// ---------------------------------------------------------------------------

TEST_F(X11Test, EditorIsAChildOfTheHostWindowAndDrawsDuringOpen) {
  Editor editor;
  ASSERT_TRUE(editor.valid());
  ERect* before = editor.rect();
  ASSERT_NE(before, nullptr);
  EXPECT_EQ(before->right - before->left, kEditorWidth);
  EXPECT_EQ(before->bottom - before->top, kEditorHeight);

  const Window parent = makeParent(10, 10);
  ASSERT_TRUE(editor.open(parent));
  const std::vector<Window> inside = children(parent);
  ASSERT_EQ(inside.size(), 1u);
  XWindowAttributes attributes{};
  ASSERT_TRUE(XGetWindowAttributes(display_, inside[0], &attributes));
  EXPECT_EQ(attributes.width, kEditorWidth);
  EXPECT_EQ(attributes.height, kEditorHeight);
  EXPECT_EQ(attributes.map_state, IsViewable);
  // No idle yet: the first picture came with effEditOpen.
  const Surface shown = read(inside[0]);
  ASSERT_EQ(shown.width(), kEditorWidth);
  EXPECT_EQ(rgb(shown.at(5, 5)), rgb(kEditorBackground));
  EXPECT_EQ(rgb(shown.at(kButtonRect.left + 5, kButtonRect.top + 5)), rgb(kButtonOff));
  expectShowsFrame(inside[0], editor);

  editor.close();
  EXPECT_TRUE(children(parent).empty());
}

TEST_F(X11Test, ClicksAndDragsMoveTheKnobAndToggleTheButtonAsAutomation) {
  Editor editor;
  ASSERT_TRUE(editor.valid());
  const int left = 40, top = 30;
  const Window parent = makeParent(left, top);
  ASSERT_TRUE(editor.open(parent));
  editor.idle();
  editor.plugin().clearCalls();

  // Circular knob mode: dragging to straight above the centre is the middle value.
  const int cx = left + (kKnobRect.left + kKnobRect.right) / 2, cy = top + (kKnobRect.top + kKnobRect.bottom) / 2;
  input_->moveTo(cx, cy);
  input_->button(Button1, true);
  for (int step = 1; step <= 5; ++step) input_->moveTo(cx, cy - 7 * step);
  input_->button(Button1, false);
  ASSERT_TRUE(editor.idleUntil([&] { return std::abs(editor.plugin().getParameter(0) - 0.5f) < 0.02f; }))
      << editor.plugin().getParameter(0);
  const std::vector<VstInt32> knobCalls = editor.callsFor(0);
  ASSERT_GE(knobCalls.size(), 3u);
  EXPECT_EQ(knobCalls.front(), audioMasterBeginEdit);
  EXPECT_EQ(knobCalls.back(), audioMasterEndEdit);
  EXPECT_EQ(knobCalls[1], audioMasterAutomate);

  // The wheel over the knob: one step up.
  const float beforeWheel = editor.plugin().getParameter(0);
  input_->click(cx, cy, Button4);
  ASSERT_TRUE(editor.idleUntil([&] { return editor.plugin().getParameter(0) > beforeWheel + 0.05f; }));

  input_->click(left + kButtonRect.left + 10, top + kButtonRect.top + 10);
  ASSERT_TRUE(editor.idleUntil([&] { return editor.plugin().getParameter(1) == 1.0f; }));
  EXPECT_EQ(editor.callsFor(1), (std::vector<VstInt32>{audioMasterBeginEdit, audioMasterAutomate, audioMasterEndEdit}));
  editor.idle();
  const Surface shown = read(children(parent).at(0));
  EXPECT_EQ(rgb(shown.at(kButtonRect.left + 5, kButtonRect.top + 5)), rgb(kButtonOn));
  expectShowsFrame(children(parent).at(0), editor);

  input_->click(left + kButtonRect.left + 10, top + kButtonRect.top + 10);
  ASSERT_TRUE(editor.idleUntil([&] { return editor.plugin().getParameter(1) == 0.0f; }));
  input_->moveTo(1000, 750);
  editor.close();
}

// Runs `answer` on a thread of its own connection while the editor's idle
// call runs the menu (it blocks until the menu closes).
void answerMenu(Editor& editor, Input& input, int x, int y, const std::function<void(Display*, Input&)>& answer) {
  std::atomic<bool> finished{false};
  std::thread helper([&] {
    Display* display = XOpenDisplay(server->display().c_str());
    if (display) {
      Input keys(display);
      if (!waitForWindows(display, "ZVX menu", 1).empty()) {
        answer(display, keys);
        // Never leave the editor stuck in a menu.
        for (int i = 0; i < 20 && !waitForWindows(display, "ZVX menu", 1, 100ms).empty(); ++i) keys.type(XK_Escape);
      }
      XCloseDisplay(display);
    }
    finished = true;
  });
  input.click(x, y);
  editor.idleUntil([&] { return finished.load(); }, 5000ms);
  helper.join();
  editor.idle();
}

TEST_F(X11Test, PopupMenuAnswersKeysAndClicksAndOpensSubMenus) {
  Editor editor;
  ASSERT_TRUE(editor.valid());
  const int left = 30, top = 300;
  const Window parent = makeParent(left, top);
  ASSERT_TRUE(editor.open(parent));
  editor.idle();
  const int mx = left + (kMenuRect.left + kMenuRect.right) / 2, my = top + (kMenuRect.top + kMenuRect.bottom) / 2;

  // Keys: down to "Medium" (the first down lights "Soft") and Return.
  std::optional<Placed> shownMenu;
  answerMenu(editor, *input_, mx, my, [&](Display* display, Input& keys) {
    shownMenu = windowsNamed(display, "ZVX menu").at(0);
    keys.type(XK_Down);
    keys.type(XK_Down);
    keys.type(XK_Return);
  });
  ASSERT_TRUE(shownMenu);
  // Opened under the control, where the frame is on screen.
  EXPECT_EQ(shownMenu->x, left + kMenuRect.left);
  EXPECT_EQ(shownMenu->y, top + kMenuRect.bottom);
  EXPECT_FLOAT_EQ(editor.plugin().getParameter(2), 0.1f);
  EXPECT_TRUE(waitForWindows(display_, "ZVX menu", 1, 200ms).empty());

  // Escape dismisses: nothing changes.
  answerMenu(editor, *input_, mx, my, [](Display*, Input& keys) { keys.type(XK_Escape); });
  EXPECT_FLOAT_EQ(editor.plugin().getParameter(2), 0.1f);

  // A click outside dismisses too.
  answerMenu(editor, *input_, mx, my, [](Display*, Input& pointer) { pointer.click(900, 50); });
  EXPECT_FLOAT_EQ(editor.plugin().getParameter(2), 0.1f);

  // A click on the first entry chooses "Soft".
  answerMenu(editor, *input_, mx, my, [](Display* display, Input& pointer) {
    const Placed menu = windowsNamed(display, "ZVX menu").at(0);
    pointer.click(menu.x + 30, menu.y + 8);
  });
  EXPECT_FLOAT_EQ(editor.plugin().getParameter(2), 0.0f);

  // Hovering the last entry ("More") opens its sub-menu to the right; a click there chooses.
  editor.plugin().setParameter(3, 0.5f);
  std::size_t menusSeen = 0;
  answerMenu(editor, *input_, mx, my, [&](Display* display, Input& pointer) {
    const Placed menu = windowsNamed(display, "ZVX menu").at(0);
    pointer.moveTo(menu.x + 30, menu.y + menu.height - 5);
    const std::vector<Placed> menus = waitForWindows(display, "ZVX menu", 2);
    menusSeen = menus.size();
    if (menus.size() < 2) return;
    EXPECT_GE(menus[1].x, menu.x + menu.width - 4);
    pointer.click(menus[1].x + 30, menus[1].y + 8);  // "Huge"
  });
  EXPECT_EQ(menusSeen, 2u);
  EXPECT_FLOAT_EQ(editor.plugin().getParameter(3), 0.0f);

  // And by keys: down to "More", right into the sub-menu, down to "Tiny", Return.
  answerMenu(editor, *input_, mx, my, [](Display*, Input& keys) {
    for (int i = 0; i < 4; ++i) keys.type(XK_Down);
    keys.type(XK_Right);
    keys.type(XK_Down);
    keys.type(XK_Return);
  });
  EXPECT_FLOAT_EQ(editor.plugin().getParameter(3), 0.1f);
  EXPECT_FLOAT_EQ(editor.plugin().getParameter(2), 0.0f);

  // What the menu covered is the editor's again.
  editor.idle(2);
  expectShowsFrame(children(parent).at(0), editor);
  input_->moveTo(1000, 750);
  editor.close();
}

TEST_F(X11Test, ReopensFiftyTimesAndCapturesTheWindowToPng) {
  Editor editor;
  ASSERT_TRUE(editor.valid());
  const Window parent = makeParent(10, 10);
  for (int cycle = 0; cycle < 50; ++cycle) {
    ASSERT_TRUE(editor.open(parent));
    editor.idle(2);
    editor.close();
    ASSERT_TRUE(children(parent).empty()) << cycle;
  }
  ASSERT_TRUE(editor.open(parent));
  editor.idle(2);
  ASSERT_EQ(children(parent).size(), 1u);

  const fs::path folder = fs::temp_directory_path() / ("zvx-x11-" + std::to_string(getpid()));
  fs::create_directories(folder);
  const fs::path file = folder / "editor.png";
  ASSERT_TRUE(gui::PngCodec::writeFile(read(parent), file.string()));
  std::ifstream in(file, std::ios::binary);
  const std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const Surface decoded = gui::PngCodec::decode(bytes);
  EXPECT_EQ(decoded.width(), kEditorWidth);
  EXPECT_EQ(decoded.height(), kEditorHeight);
  if (!decoded.empty()) {
    EXPECT_EQ(rgb(decoded.at(5, 5)), rgb(kEditorBackground));
  }
  editor.close();
  fs::remove_all(folder);
}

TEST_F(X11Test, HundredOpenCloseCycles) {
  Editor editor;
  ASSERT_TRUE(editor.valid());
  const Window parent = makeParent(10, 10);
  for (int cycle = 0; cycle < 100; ++cycle) {
    ASSERT_TRUE(editor.open(parent));
    editor.idle();
    editor.close();
  }
  EXPECT_TRUE(children(parent).empty());

  // A host that opens again without closing still has one editor window.
  ASSERT_TRUE(editor.open(parent));
  ASSERT_TRUE(editor.open(parent));
  EXPECT_EQ(children(parent).size(), 1u);
  editor.close();
  EXPECT_TRUE(children(parent).empty());
}

TEST_F(X11Test, HostWindowDestroyedBeforeCloseOrOpenIsSurvived) {
  Editor editor;
  ASSERT_TRUE(editor.valid());
  const Window parent = makeParent(10, 10);
  ASSERT_TRUE(editor.open(parent));
  editor.idle();
  XDestroyWindow(display_, parent);
  XSync(display_, False);
  forget(parent);
  // Drawing into the window that went with its parent, before the editor heard of it.
  CFrame* frame = editor.frame();
  ASSERT_NE(frame, nullptr);
  frame->redraw();
  editor.plugin().setParameter(1, 1.0f);
  editor.idle(3);
  editor.close();

  // The same for a parent that is gone before the editor opens: it runs headless.
  const Window gone = makeParent(10, 10);
  XDestroyWindow(display_, gone);
  XSync(display_, False);
  forget(gone);
  EXPECT_EQ(platform::createEditorWindow(xid(gone), 100, 100), nullptr);
  // The host hears that no editor opened, and the editor keeps nothing.
  EXPECT_FALSE(editor.open(gone));
  EXPECT_EQ(editor.frame(), nullptr);
  editor.idle(2);
  editor.close();
}

TEST_F(X11Test, TwoEditorsOpenAtOnceEachDrawAndGetTheirOwnInput) {
  Editor first, second;
  ASSERT_TRUE(first.valid() && second.valid());
  const Window leftParent = makeParent(10, 10), rightParent = makeParent(400, 10);
  ASSERT_TRUE(first.open(leftParent));
  ASSERT_TRUE(second.open(rightParent));
  first.plugin().setParameter(1, 1.0f);
  first.idle();
  second.idle();
  const Window leftEditor = children(leftParent).at(0), rightEditor = children(rightParent).at(0);
  EXPECT_EQ(rgb(read(leftEditor).at(kButtonRect.left + 5, kButtonRect.top + 5)), rgb(kButtonOn));
  EXPECT_EQ(rgb(read(rightEditor).at(kButtonRect.left + 5, kButtonRect.top + 5)), rgb(kButtonOff));
  expectShowsFrame(leftEditor, first);
  expectShowsFrame(rightEditor, second);

  input_->click(400 + kButtonRect.left + 10, 10 + kButtonRect.top + 10);
  ASSERT_TRUE(second.idleUntil([&] {
    first.idle();
    return second.plugin().getParameter(1) == 1.0f;
  }));
  EXPECT_EQ(first.plugin().getParameter(1), 1.0f);
  EXPECT_EQ(first.callsFor(1), (std::vector<VstInt32>{}));
  input_->moveTo(1000, 750);
  first.close();
  second.close();
}

TEST_F(X11Test, WindowTurnsXInputIntoToolkitEventsAndRepaintsWhatWasCovered) {
  const int left = 600, top = 400;
  const Window parent = makeParent(left, top, 200, 100);
  auto window = platform::createEditorWindow(xid(parent), 200, 100);
  ASSERT_NE(window, nullptr);
  const Pixel red = makePixel(250, 10, 10);
  const Surface surface(200, 100, red);
  window->present(surface, CRect(0, 0, 200, 100));
  const Window editorWindow = children(parent).at(0);
  EXPECT_EQ(rgb(read(editorWindow).at(100, 50)), rgb(red));

  input_->moveTo(left + 20, top + 30);
  input_->key(XK_Shift_L, true);
  input_->button(Button1, true);
  input_->button(Button1, false);
  input_->key(XK_Shift_L, false);
  input_->click(left + 20, top + 30, Button4);
  input_->click(left + 20, top + 30, Button5);
  input_->button(Button3, true);
  input_->moveTo(left + 40, top + 50);
  input_->moveTo(left + 41, top + 51);
  input_->button(Button3, false);
  input_->type(XK_a);
  input_->type(XK_Left);

  std::vector<InputEvent> events;
  const auto giveUp = std::chrono::steady_clock::now() + 3s;
  while (std::chrono::steady_clock::now() < giveUp) {
    InputEvent event;
    while (window->nextEvent(event, false))
      if (event.type != InputEvent::KeyDown || event.key != 256 + 54) events.push_back(event);  // not Shift itself
    const bool sawLast = !events.empty() && events.back().type == InputEvent::KeyUp && events.back().key == 256 + 11;
    if (sawLast) break;
    std::this_thread::sleep_for(5ms);
  }
  std::vector<InputEvent> wanted;
  for (const InputEvent& event : events)
    if (event.type != InputEvent::MouseMove && !(event.type == InputEvent::KeyUp && event.key == 256 + 54))
      wanted.push_back(event);
  ASSERT_EQ(wanted.size(), 10u);
  EXPECT_EQ(wanted[0].type, InputEvent::MouseDown);
  EXPECT_EQ(wanted[0].where, CPoint(20, 30));
  EXPECT_EQ(wanted[0].buttons, kLButton | kShift);
  EXPECT_EQ(wanted[1].type, InputEvent::MouseUp);
  EXPECT_EQ(wanted[1].buttons, kShift);
  EXPECT_EQ(wanted[2].type, InputEvent::Wheel);
  EXPECT_EQ(wanted[2].wheel, 1.0f);
  EXPECT_EQ(wanted[3].type, InputEvent::Wheel);
  EXPECT_EQ(wanted[3].wheel, -1.0f);
  EXPECT_EQ(wanted[4].type, InputEvent::MouseDown);
  EXPECT_EQ(wanted[4].buttons, kRButton);
  EXPECT_EQ(wanted[5].type, InputEvent::MouseUp);
  EXPECT_EQ(wanted[5].where, CPoint(41, 51));
  EXPECT_EQ(wanted[5].buttons, 0);
  EXPECT_EQ(wanted[6].type, InputEvent::KeyDown);
  EXPECT_EQ(wanted[6].key, 'a');
  EXPECT_EQ(wanted[7].type, InputEvent::KeyUp);
  EXPECT_EQ(wanted[8].type, InputEvent::KeyDown);
  EXPECT_EQ(wanted[8].key, 256 + 11);  // left arrow
  // Consecutive moves arrive as one: the two between press and release are a single event.
  int movesWhileHeld = 0;
  for (const InputEvent& event : events)
    movesWhileHeld += event.type == InputEvent::MouseMove && (event.buttons & kRButton);
  EXPECT_EQ(movesWhileHeld, 1);

  // A window laid over ours and taken away: the covered part is put back.
  const int screen = DefaultScreen(display_);
  Window cover = XCreateSimpleWindow(display_, RootWindow(display_, screen), left + 50, top + 20, 60, 40, 0,
                                     BlackPixel(display_, screen), makePixel(0, 0, 255) & 0xFFFFFF);
  XMapWindow(display_, cover);
  XSync(display_, False);
  XDestroyWindow(display_, cover);
  XSync(display_, False);
  const auto until = std::chrono::steady_clock::now() + 3s;
  Pixel seen = 0;
  while (std::chrono::steady_clock::now() < until) {
    InputEvent ignored;
    while (window->nextEvent(ignored, false)) {
    }
    seen = rgb(read(editorWindow).at(70, 40));
    if (seen == rgb(red)) break;
    std::this_thread::sleep_for(5ms);
  }
  EXPECT_EQ(seen, rgb(red));

  // A drag whose release never comes ends after a while with one.
  const auto start = std::chrono::steady_clock::now();
  InputEvent last;
  ASSERT_TRUE(window->nextEvent(last, true));
  EXPECT_EQ(last.type, InputEvent::MouseUp);
  EXPECT_EQ(last.buttons & (kLButton | kMButton | kRButton), 0);
  EXPECT_GE(std::chrono::steady_clock::now() - start, 1500ms);
  input_->moveTo(1000, 750);
  window.reset();
  EXPECT_TRUE(children(parent).empty());
}

TEST_F(X11Test, DragPausedWithTheButtonDownGoesOn) {
  const int left = 600, top = 400;
  const Window parent = makeParent(left, top, 200, 100);
  auto window = platform::createEditorWindow(xid(parent), 200, 100);
  ASSERT_NE(window, nullptr);
  input_->moveTo(left + 50, top + 50);
  input_->button(Button1, true);
  InputEvent event;
  ASSERT_TRUE(window->nextEvent(event, true));
  while (event.type != InputEvent::MouseDown) ASSERT_TRUE(window->nextEvent(event, true));
  // Longer than a lost release takes, then a move: the drag is still on.
  std::thread later([&] {
    std::this_thread::sleep_for(2500ms);
    Display* display = XOpenDisplay(server->display().c_str());
    if (!display) return;
    Input(display).moveTo(left + 60, top + 55);
    XCloseDisplay(display);
  });
  ASSERT_TRUE(window->nextEvent(event, true));
  later.join();
  EXPECT_EQ(event.type, InputEvent::MouseMove);
  EXPECT_EQ(event.where, CPoint(60, 55));
  EXPECT_EQ(event.buttons, kLButton);
  input_->button(Button1, false);
  do {
    ASSERT_TRUE(window->nextEvent(event, true));
  } while (event.type == InputEvent::MouseMove);
  EXPECT_EQ(event.type, InputEvent::MouseUp);
  EXPECT_EQ(event.buttons, 0);
  input_->moveTo(1000, 750);
}

TEST_F(X11Test, SixteenBitScreensGetConvertedPixels) {
  XvfbServer shallow("640x480x16");
  ASSERT_TRUE(shallow.running()) << shallow.error();
  EnvironmentGuard display("DISPLAY", shallow.display().c_str());
  Display* host = XOpenDisplay(shallow.display().c_str());
  ASSERT_NE(host, nullptr);
  ASSERT_EQ(DefaultDepth(host, DefaultScreen(host)), 16);
  const int screen = DefaultScreen(host);
  const Window parent = XCreateSimpleWindow(host, RootWindow(host, screen), 0, 0, 60, 20, 0, 0, 0);
  XMapWindow(host, parent);
  XSync(host, False);
  {
    auto window = platform::createEditorWindow(xid(parent), 60, 20);
    ASSERT_NE(window, nullptr);
    Surface surface(60, 20);
    const Pixel colours[3] = {makePixel(255, 0, 0), makePixel(0, 200, 100), makePixel(40, 80, 160)};
    for (int y = 0; y < 20; ++y)
      for (int x = 0; x < 60; ++x) surface.at(x, y) = colours[x / 20];
    window->present(surface, CRect(0, 0, 60, 20));
    XSync(host, False);
    const Surface shown = platform::x11::readWindow(host, parent);
    ASSERT_EQ(shown.width(), 60);
    for (int i = 0; i < 3; ++i) {
      const Pixel p = shown.at(i * 20 + 10, 10);
      EXPECT_NEAR(gui::redOf(p), gui::redOf(colours[i]), 8) << i;
      EXPECT_NEAR(gui::greenOf(p), gui::greenOf(colours[i]), 4) << i;
      EXPECT_NEAR(gui::blueOf(p), gui::blueOf(colours[i]), 8) << i;
    }
  }
  XDestroyWindow(host, parent);
  XCloseDisplay(host);
}

// ---------------------------------------------------------------------------
// Message boxes

// Shows a message from a thread of its own; `dismiss` gets the box on screen.
void runMessageBox(Display* display, const std::string& caption, const std::string& text,
                   const std::function<void(const Placed&)>& dismiss) {
  EnvironmentGuard boxes("ZVX_MESSAGES", nullptr);
  std::atomic<bool> returned{false};
  std::thread shower([&] {
    platform::showMessage(text, caption, platform::MessageIcon::Error);
    returned = true;
  });
  const std::vector<Placed> shown = waitForWindows(display, caption, 1);
  if (shown.empty()) {
    ADD_FAILURE() << "no message box appeared";
  } else {
    // Centred on the 1024x768 screen.
    EXPECT_NEAR(shown[0].x + shown[0].width / 2, 512, 2);
    EXPECT_NEAR(shown[0].y + shown[0].height / 2, 384, 2);
    dismiss(shown[0]);
  }
  const auto giveUp = std::chrono::steady_clock::now() + 5s;
  while (!returned && std::chrono::steady_clock::now() < giveUp) std::this_thread::sleep_for(5ms);
  EXPECT_TRUE(returned) << "the message box did not return";
  if (!returned) {
    // Free the thread: the window manager's close.
    for (const Placed& box : windowsNamed(display, caption)) XDestroyWindow(display, box.window);
    XSync(display, False);
  }
  shower.join();
  EXPECT_TRUE(waitForWindows(display, caption, 1, 100ms).empty());
}

TEST_F(X11Test, MessageBoxIsDismissedByReturn) {
  runMessageBox(display_, "ZVX test Return", "First line\nSecond, longer line of the message", [&](const Placed& box) {
    // The box takes the keyboard focus once it is on screen.
    const auto giveUp = std::chrono::steady_clock::now() + 3s;
    Window focus = 0;
    int revert = 0;
    while (std::chrono::steady_clock::now() < giveUp) {
      XGetInputFocus(display_, &focus, &revert);
      if (focus == box.window) break;
      std::this_thread::sleep_for(5ms);
    }
    EXPECT_EQ(focus, box.window);
    const Surface shown = read(box.window);
    EXPECT_EQ(shown.width(), box.width);
    input_->type(XK_Return);
  });
}

TEST_F(X11Test, MessageBoxIsDismissedByItsOkButton) {
  runMessageBox(display_, "ZVX test OK", "Click OK", [&](const Placed& box) {
    // The button's border is the one blue in the lower half, below the middle.
    const Surface shown = read(box.window);
    ASSERT_FALSE(shown.empty());
    const Pixel border = makePixel(52, 101, 164);
    int bottom = -1;
    for (int y = shown.height() - 1; y > shown.height() / 2 && bottom < 0; --y)
      if (rgb(shown.at(shown.width() / 2, y)) == rgb(border)) bottom = y;
    ASSERT_GT(bottom, 0);
    input_->click(box.x + box.width / 2, box.y + bottom - 8);
  });
}

TEST_F(X11Test, MessageBoxIsDismissedByTheWindowManagersClose) {
  runMessageBox(display_, "ZVX test close", "Closed by the window manager", [&](const Placed& box) {
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = box.window;
    event.xclient.message_type = XInternAtom(display_, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(display_, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(display_, box.window, False, NoEventMask, &event);
    XSync(display_, False);
  });
}

TEST_F(X11Test, MessageWithoutDisplayIsOneLineOnStandardError) {
  EnvironmentGuard boxes("ZVX_MESSAGES", nullptr);
  EnvironmentGuard noDisplay("DISPLAY", nullptr);
  MessageCapture capture;
  platform::showMessage("ZVX is not installed correctly", "Error!", platform::MessageIcon::Error);
  EXPECT_EQ(capture.messages(), (std::vector<ShownMessage>{{"error", "Error!", "ZVX is not installed correctly"}}));
}

// ---------------------------------------------------------------------------
// zvx-view

#if defined(ZVX_VIEW_PATH) && defined(ZVX_TEST_EDITOR_MODULE)
TEST_F(X11Test, ZvxViewShowsAnEditorAndSavesAScreenshot) {
  const fs::path folder = fs::temp_directory_path() / ("zvx-view-" + std::to_string(getpid()));
  fs::create_directories(folder);
  const ProgramRun help = runProgram(ZVX_VIEW_PATH, {"--help"}, folder);
  EXPECT_EQ(help.exitCode, 0);
  EXPECT_NE(help.out.find("--screenshot"), std::string::npos);

  const fs::path shot = folder / "view.png";
  const ProgramRun run = runProgram(
      ZVX_VIEW_PATH, {"--plugin", ZVX_TEST_EDITOR_MODULE, "--screenshot", shot.string(), "--frames", "3"}, folder);
  EXPECT_EQ(run.exitCode, 0) << run.err;
  std::ifstream in(shot, std::ios::binary);
  const std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const Surface decoded = gui::PngCodec::decode(bytes);
  ASSERT_EQ(decoded.width(), kEditorWidth);
  ASSERT_EQ(decoded.height(), kEditorHeight);
  EXPECT_EQ(rgb(decoded.at(5, 5)), rgb(kEditorBackground));
  EXPECT_EQ(rgb(decoded.at(kButtonRect.left + 5, kButtonRect.top + 5)), rgb(kButtonOff));

  {
    EnvironmentGuard noDisplay("DISPLAY", nullptr);
    const ProgramRun headless = runProgram(ZVX_VIEW_PATH, {"--plugin", ZVX_TEST_EDITOR_MODULE}, folder);
    EXPECT_EQ(headless.exitCode, 1);
    EXPECT_NE(headless.err.find("cannot open the X display"), std::string::npos) << headless.err;
  }
  const ProgramRun wrong = runProgram(ZVX_VIEW_PATH, {"--frames", "none"}, folder);
  EXPECT_EQ(wrong.exitCode, 2);
  fs::remove_all(folder);
}
#endif

// ---------------------------------------------------------------------------
// ZVX's own editor in a real window while the audio thread plays and learned
// controllers move parameters: the GUI thread idles, clicks a pad, drags a
// knob and automates; nothing may race (the sanitizer job runs this under
// ThreadSanitizer for ZVX_STRESS_SECONDS, 20 there, 2 here).

#ifdef ZVX_BUILT_DATA
void writeLearnMap(const fs::path& file, const std::vector<std::pair<int, int>>& bindings) {
  std::vector<unsigned char> bytes(4 * 83, 0xFF);
  for (const auto& [parameter, controller] : bindings)
    for (int i = 0; i < 4; ++i)
      bytes[static_cast<std::size_t>(4 * parameter + i)] = static_cast<unsigned char>(controller >> (8 * i));
  std::ofstream(file, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                              static_cast<std::streamsize>(bytes.size()));
}

TEST_F(X11Test, ZvxEditorInAWindowWhileLearnedControllersPlay) {
  TempDocuments documents;
  documents.installDefaultData(ZVX_BUILT_DATA);
  // BDTone, BDDecay, SDTone, HHDecay, CPTone, Volume and the BD sample menu.
  const std::vector<std::pair<int, int>> bindings = {{2, 20}, {3, 21}, {14, 22}, {28, 23}, {39, 24}, {0, 25}, {52, 26}};
  writeLearnMap(documents.dataFolder() / "Pluginccmap.bin", bindings);
  auto zvx = createZvx();
  ASSERT_TRUE(zvx);
  zvx->start();
  const Window parent = makeParent(10, 10, 800, 500);
  ASSERT_EQ(zvx->dispatch(effEditOpen, 0, 0, xid(parent)), 1);
  ASSERT_EQ(children(parent).size(), 1u);

  const char* wanted = std::getenv("ZVX_STRESS_SECONDS");
  const auto duration = std::chrono::seconds(wanted ? std::max(1, std::atoi(wanted)) : 2);
  std::atomic<bool> stop{false};
  std::atomic<int> blocks{0};
  std::atomic<double> loudest{0.0};
  std::thread audio([&] {
    int block = 0;
    while (!stop) {
      std::vector<VstMidiEvent> events;
      if (block % 8 == 0) events.push_back(noteOn(0, 36 + 2 * ((block / 8) % 4)));
      events.push_back(controller(17, bindings[static_cast<std::size_t>(block) % bindings.size()].second, block % 128));
      const auto out = zvx->render(256, 256, events);
      for (float sample : out[0]) loudest = std::max(loudest.load(), static_cast<double>(std::fabs(sample)));
      blocks = ++block;
    }
  });
  const auto end = std::chrono::steady_clock::now() + duration;
  for (int round = 0; std::chrono::steady_clock::now() < end; ++round) {
    zvx->dispatch(effEditIdle);
    if (round % 25 == 5) input_->click(10 + 49, 10 + 115);  // the BD pad
    if (round % 25 == 15) {  // the BDTone knob, up and down again
      input_->moveTo(10 + 135, 10 + 94);
      input_->button(Button1, true);
      input_->moveTo(10 + 135, 10 + 60);
      input_->moveTo(10 + 135, 10 + 94);
      input_->button(Button1, false);
    }
    if (round % 10 == 0) zvx->setParameter(5, static_cast<float>(round % 100) / 100.0f);  // host automation of BDPan
    std::this_thread::sleep_for(10ms);
  }
  stop = true;
  audio.join();
  zvx->dispatch(effEditIdle);
  EXPECT_GT(blocks.load(), 10);
  EXPECT_GT(loudest.load(), 0.01);
  EXPECT_EQ(children(parent).size(), 1u);
  zvx->dispatch(effEditClose);
  EXPECT_TRUE(children(parent).empty());
}
#endif

}  // namespace
}  // namespace zvx::test
