// The Linux editor window, pop-up menus and message boxes on a private Xvfb: a
// test plug-in's editor driven through its dispatcher, input from XTest.

#include "gui/CFrame.h"
#include "image/PngCodec.h"
#include "platform/EditorWindow.h"
#include "platform/MessageBoxes.h"
#include "platform/Messages.h"
#include "tests/gui/TestEditorPlugin.h"
#include "tests/gui/X11TestSupport.h"
#include "tests/support/HostCallLog.h"
#include "vsthost/XvfbServer.h"

#include "platform/linux/X11Support.h"

namespace zvx::test {
namespace {

using gui::InputEvent, gui::makePixel, gui::Pixel, gui::Surface;

// A plug-in instance of the test plug-in, driven only through its dispatcher.
class Editor {
 public:
  Editor() {
    std::string error;
    plugin_ = vsthost::Plugin::create(&testEditorPluginEntry, "editor test plug-in", {}, error);
    if (!plugin_) return;
    calls_ = std::make_unique<test::HostCallLog>(*plugin_);
    plugin_->start();
  }
  bool valid() const { return plugin_ != nullptr; }
  vsthost::Plugin& plugin() { return *plugin_; }
  test::HostCallLog& calls() { return *calls_; }

  bool open(Window parent) { return plugin_->dispatch(effEditOpen, 0, 0, xid(parent)) != 0; }
  void idle(int times = 1) {
    for (int i = 0; i < times; ++i) plugin_->dispatch(effEditIdle);
  }
  void close() { plugin_->dispatch(effEditClose); }
  CFrame* frame() { return testEditorFrame(plugin_->effect()); }
  bool idleUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout = 3000ms) {
    return poll([&] { return idle(), done(); }, timeout);
  }

 private:
  std::unique_ptr<vsthost::Plugin> plugin_;
  std::unique_ptr<test::HostCallLog> calls_;
};

class X11WindowTest : public X11Test {
 protected:
  Window makeParent(int x, int y, int width = kEditorWidth, int height = kEditorHeight) {
    return X11Test::makeParent(x, y, width, height);
  }
  Pixel buttonColour(Window window) { return rgb(read(window).at(kButtonRect.left + 5, kButtonRect.top + 5)); }

  void expectShowsFrame(Window window, Editor& editor) {
    ASSERT_NE(editor.frame(), nullptr);
    EXPECT_TRUE(samePicture(read(window), editor.frame()->surface()));
  }
};

TEST_F(X11WindowTest, EditorsAreChildWindowsThatShowTheirFrameAndTakeTheirOwnInput) {
  Editor editor, other;
  ASSERT_TRUE(editor.valid() && other.valid());
  const int left = 40, top = 30;
  const Window parent = makeParent(left, top), otherParent = makeParent(400, 10);
  ASSERT_TRUE(editor.open(parent));
  ASSERT_EQ(children(parent).size(), 1u);
  const Window window = children(parent).at(0);
  // No idle yet: the first picture came with effEditOpen.
  expectShowsFrame(window, editor);
  ASSERT_TRUE(other.open(otherParent));
  other.plugin().setParameter(1, 1.0f);
  editor.idle();
  other.idle();
  // Two editors at once each draw their own state.
  EXPECT_EQ(buttonColour(children(otherParent).at(0)), rgb(kButtonOn));
  expectShowsFrame(children(otherParent).at(0), other);
  editor.calls().clear();
  other.calls().clear();
  // Every wait idles both, so input that reached the wrong one would show.
  const auto idleUntil = [&](const std::function<bool()>& done) { return editor.idleUntil([&] { return other.idle(), done(); }); };

  // Circular knob mode: dragging to straight above the centre is the middle value.
  const int cx = left + (kKnobRect.left + kKnobRect.right) / 2, cy = top + (kKnobRect.top + kKnobRect.bottom) / 2;
  input_->moveTo(cx, cy);
  input_->button(Button1, true);
  for (int step = 1; step <= 5; ++step) input_->moveTo(cx, cy - 7 * step);
  input_->button(Button1, false);
  ASSERT_TRUE(idleUntil([&] { return std::abs(editor.plugin().getParameter(0) - 0.5f) < 0.02f; }))
      << editor.plugin().getParameter(0);

  input_->click(left + kButtonRect.left + 10, top + kButtonRect.top + 10);
  ASSERT_TRUE(idleUntil([&] { return editor.plugin().getParameter(1) == 1.0f; }));
  EXPECT_EQ(editor.calls().edits(1),
            (std::vector<VstInt32>{audioMasterBeginEdit, audioMasterAutomate, audioMasterEndEdit}));
  editor.idle();
  EXPECT_EQ(buttonColour(window), rgb(kButtonOn));
  expectShowsFrame(window, editor);
  EXPECT_TRUE(other.plugin().getParameter(0) == 0.0f && other.plugin().getParameter(1) == 1.0f);
  EXPECT_TRUE(other.calls().edits(0).empty() && other.calls().edits(1).empty());
  editor.close();
  EXPECT_TRUE(children(parent).empty());
  other.close();
}

// The editor's menu opened by a click at (x, y) and answered by `answer`.
void answerMenu(Editor& editor, Input& input, int x, int y, const std::function<void(Display*, Input&)>& answer) {
  zvx::test::answerMenu([&] { input.click(x, y); }, [&] { editor.idle(); }, answer);
}

TEST_F(X11WindowTest, PopupMenuAnswersKeysAndClicksAndOpensSubMenus) {
  Editor editor;
  ASSERT_TRUE(editor.valid());
  const int left = 30, top = 300;
  const Window parent = makeParent(left, top);
  ASSERT_TRUE(editor.open(parent));
  editor.idle();
  const int mx = left + (kMenuRect.left + kMenuRect.right) / 2, my = top + (kMenuRect.top + kMenuRect.bottom) / 2;
  const auto chosen = [&](int parameter) { return editor.plugin().getParameter(parameter); };

  // Escape dismisses, and so does a click outside: nothing changes. (Keys that
  // choose are ZvxWindowTest's.)
  editor.plugin().setParameter(2, 0.1f);
  answerMenu(editor, *input_, mx, my, [](Display*, Input& keys) { keys.type(XK_Escape); });
  EXPECT_FLOAT_EQ(chosen(2), 0.1f);
  EXPECT_TRUE(waitForWindows(display_, "ZVX menu", 1, 200ms).empty());
  answerMenu(editor, *input_, mx, my, [](Display*, Input& pointer) { pointer.click(900, 50); });
  EXPECT_FLOAT_EQ(chosen(2), 0.1f);

  // A click on the first entry chooses "Soft"; hovering the last entry ("More")
  // opens its sub-menu to the right, and a click there chooses.
  answerMenu(editor, *input_, mx, my, [](Display* display, Input& pointer) {
    const Placed menu = windowsNamed(display, "ZVX menu").at(0);
    pointer.click(menu.x + 30, menu.y + 8);
  });
  EXPECT_FLOAT_EQ(chosen(2), 0.0f);
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
  EXPECT_FLOAT_EQ(chosen(3), 0.0f);
  EXPECT_FLOAT_EQ(chosen(2), 0.0f);

  // What the menu covered is the editor's again.
  editor.idle(2);
  expectShowsFrame(children(parent).at(0), editor);
  editor.close();
}

// What a window must do of its own accord (input mapping shows in the editors' tests).
TEST_F(X11WindowTest, WindowRepaintsWhatWasCoveredAndEndsOnlyDragsWhoseReleaseWasLost) {
  const int left = 600, top = 400;
  const Window parent = makeParent(left, top, 200, 100);
  auto window = platform::createEditorWindow(xid(parent), 200, 100);
  ASSERT_NE(window, nullptr);
  const Pixel red = makePixel(250, 10, 10);
  window->present(Surface(200, 100, red), CRect(0, 0, 200, 100));
  const Window editorWindow = children(parent).at(0);
  EXPECT_EQ(rgb(read(editorWindow).at(100, 50)), rgb(red));

  // What a window laid over ours covered is put back.
  destroy(makeParent(left + 50, top + 20, 60, 40));
  EXPECT_TRUE(poll([&] {
    for (InputEvent ignored; window->nextEvent(ignored, false);) {
    }
    return rgb(read(editorWindow).at(70, 40)) == rgb(red);
  }));

  // A drag whose release never comes ends after a while with one.
  const auto start = std::chrono::steady_clock::now();
  InputEvent last;
  ASSERT_TRUE(window->nextEvent(last, true));
  EXPECT_TRUE(last.type == InputEvent::MouseUp && (last.buttons & (kLButton | kMButton | kRButton)) == 0);
  EXPECT_GE(std::chrono::steady_clock::now() - start, 1500ms);

  // But a drag paused with the button down goes on.
  input_->moveTo(left + 50, top + 50);
  input_->button(Button1, true);
  InputEvent event;
  do {
    ASSERT_TRUE(window->nextEvent(event, true));
  } while (event.type != InputEvent::MouseDown);
  std::thread later([&] {
    std::this_thread::sleep_for(2500ms);
    if (Display* display = XOpenDisplay(xvfbDisplay().c_str())) {
      Input(display).moveTo(left + 60, top + 55);
      XCloseDisplay(display);
    }
  });
  ASSERT_TRUE(window->nextEvent(event, true));
  later.join();
  EXPECT_TRUE(event.type == InputEvent::MouseMove && event.where == CPoint(60, 55) && event.buttons == kLButton);
  input_->button(Button1, false);
  do {
    ASSERT_TRUE(window->nextEvent(event, true));
  } while (event.type == InputEvent::MouseMove);
  EXPECT_TRUE(event.type == InputEvent::MouseUp && event.where == CPoint(60, 55) && event.buttons == 0);
  window.reset();
  EXPECT_TRUE(children(parent).empty());
}

TEST_F(X11WindowTest, SixteenBitScreensGetConvertedPixels) {
  vsthost::XvfbServer shallow("640x480x16");
  ASSERT_TRUE(shallow.running()) << shallow.error();
  ScopedEnv display("DISPLAY", shallow.display().c_str());
  Display* host = XOpenDisplay(shallow.display().c_str());
  ASSERT_NE(host, nullptr);
  ASSERT_EQ(DefaultDepth(host, DefaultScreen(host)), 16);
  const Window parent = XCreateSimpleWindow(host, RootWindow(host, DefaultScreen(host)), 0, 0, 60, 20, 0, 0, 0);
  XMapWindow(host, parent);
  XSync(host, False);
  {  // the window goes before its parent
    auto window = platform::createEditorWindow(xid(parent), 60, 20);
    ASSERT_NE(window, nullptr);
    for (const Pixel colour : {makePixel(255, 0, 0), makePixel(0, 200, 100), makePixel(40, 80, 160)}) {
      window->present(Surface(60, 20, colour), CRect(0, 0, 60, 20));
      XSync(host, False);
      const Surface shown = platform::x11::readWindow(host, parent);
      ASSERT_EQ(shown.width(), 60);
      const Pixel p = shown.at(30, 10);
      // Five bits of red and blue, six of green.
      EXPECT_TRUE(std::abs(gui::redOf(p) - gui::redOf(colour)) <= 8 && std::abs(gui::greenOf(p) - gui::greenOf(colour)) <= 4 &&
                  std::abs(gui::blueOf(p) - gui::blueOf(colour)) <= 8) << std::hex << p << " for " << colour;
    }
  }
  XDestroyWindow(host, parent);
  XCloseDisplay(host);
}

// Shows a message from a thread of its own; `dismiss` gets the box on screen.
void runMessageBox(Display* display, const std::string& caption, const std::string& text,
                   const std::function<void(const Placed&)>& dismiss) {
  SCOPED_TRACE(caption);
  ScopedEnv boxes("ZVX_MESSAGES", nullptr);
  platform::useMessageBoxes();
  std::atomic<bool> returned{false};
  std::thread shower([&] {
    platform::showMessage(text, caption, platform::MessageIcon::Error);
    returned = true;
  });
  const std::vector<Placed> shown = waitForWindows(display, caption, 1);
  if (shown.empty()) {
    ADD_FAILURE() << "no message box appeared";
  } else {
    // Centred on the screen.
    const Screen* screen = DefaultScreenOfDisplay(display);
    EXPECT_NEAR(shown[0].x + shown[0].width / 2, WidthOfScreen(screen) / 2, 2);
    EXPECT_NEAR(shown[0].y + shown[0].height / 2, HeightOfScreen(screen) / 2, 2);
    dismiss(shown[0]);
  }
  EXPECT_TRUE(poll([&] { return returned.load(); }, 5000ms)) << "the message box did not return";
  if (!returned) {
    // Free the thread: the window manager's close.
    for (const Placed& box : windowsNamed(display, caption)) XDestroyWindow(display, box.window);
    XSync(display, False);
  }
  shower.join();
  EXPECT_TRUE(waitForWindows(display, caption, 1, 100ms).empty());
}

TEST_F(X11WindowTest, MessageBoxIsDismissedByOkOrCloseAndWithoutDisplayIsALineOnStandardError) {
  // Focus and Return: HeldMessagesTest answers its box so.
  runMessageBox(display_, "ZVX test OK", "First line\nSecond, longer line: click OK", [&](const Placed& box) {
    // The button's border is the one blue below the middle, once drawn.
    int bottom = -1;
    poll([&] {
      const Surface shown = read(box.window);
      for (int y = shown.height() - 1; y > shown.height() / 2 && bottom < 0; --y)
        if (rgb(shown.at(shown.width() / 2, y)) == rgb(makePixel(52, 101, 164))) bottom = y;
      return bottom > 0;
    });
    ASSERT_GT(bottom, 0);
    input_->click(box.x + box.width / 2, box.y + bottom - 8);
  });
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
  // With no display to show it on, a message is one line on standard error.
  ScopedEnv boxes("ZVX_MESSAGES", nullptr);
  ScopedEnv noDisplay("DISPLAY", nullptr);
  platform::useMessageBoxes();
  MessageCapture capture;
  platform::showMessage("ZVX is not installed correctly", "Error!", platform::MessageIcon::Error);
  EXPECT_EQ(capture.messages(), (std::vector<ShownMessage>{{"error", "Error!", "ZVX is not installed correctly"}}));
}

#if defined(ZVX_VIEW_PATH) && defined(ZVX_TEST_EDITOR_MODULE)
TEST_F(X11WindowTest, ZvxViewShowsAnEditorAndSavesAScreenshot) {
  const TempFolder folder;
  const fs::path shot = folder.path() / "view.png";
  const ProgramRun run = runProgram(ZVX_VIEW_PATH, {"--plugin", ZVX_TEST_EDITOR_MODULE, "--screenshot", shot.string(),
                                                    "--frames", "3"},
                                    folder.path());
  EXPECT_EQ(run.exitCode, 0) << run.err;
  const Surface decoded = gui::PngCodec::decode(readBytes(shot));
  ASSERT_TRUE(decoded.width() == kEditorWidth && decoded.height() == kEditorHeight);
  EXPECT_EQ(rgb(decoded.at(5, 5)), rgb(kEditorBackground));
  EXPECT_EQ(rgb(decoded.at(kButtonRect.left + 5, kButtonRect.top + 5)), rgb(kButtonOff));
}
#endif

}  // namespace
}  // namespace zvx::test
