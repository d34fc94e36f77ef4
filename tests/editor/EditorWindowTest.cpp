// ZVX's editor on the default skin in a real X11 window on the private Xvfb,
// driven by XTest and read back from the server. The oracle: after any change
// and an idle, the window shows what a freshly opened editor shows.

#include <atomic>
#include <thread>

#include "engine/Parameters.h"
#include "image/ImageFile.h"
#include "tests/gui/X11TestSupport.h"
#include "tests/support/HostCallLog.h"
#include "vsthost/HeadlessEditor.h"

#include "platform/linux/X11Support.h"

namespace zvx::test {
namespace {

using gui::Surface;

constexpr int kLeft = 10, kTop = 10;  // where the host's window sits on screen
using param::kBDKeyTrack, param::kBDMenu, param::kBDMute, param::kBDSync, param::kBDTone, param::kCPMenu, param::kPower;
constexpr long kWizardTag = 1000, kBDPadTag = param::kFirstPad + kBD, kAboutTag = 1020;
constexpr long kProgramTag = 96, kPreviousTag = 97, kNextTag = 98;
constexpr int kLearnedController = 20;  // bound to BDTone

// Pixels that differ inside `rect` (frame coordinates).
int changedIn(const Surface& a, const Surface& b, const vsthost::ViewRect& rect) {
  int changed = 0;
  for (int y = rect.top; y < rect.bottom; ++y)
    for (int x = rect.left; x < rect.right; ++x) changed += rgb(a.at(x, y)) != rgb(b.at(x, y));
  return changed;
}

class ZvxWindowTest : public X11Test {
 protected:
  void SetUp() override {
    X11Test::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    documents_.installDefaultData(ZVX_BUILT_DATA);
    documents_.writeFile("Pluginccmap.bin", learnMapFile({{kBDTone, kLearnedController}}));
    // Where the views are: the same skin, opened headless in a second instance.
    layout_ = createZvx();
    layoutEditor_ = std::make_unique<vsthost::HeadlessEditor>(*layout_);
    ASSERT_TRUE(layoutEditor_->open());
    openAt(100);
  }
  void TearDown() override {
    if (zvx_) zvx_->dispatch(effEditClose);
    if (layoutEditor_) layoutEditor_->close();
    X11Test::TearDown();
  }

  void open() {
    ASSERT_EQ(zvx_->dispatch(effEditOpen, 0, 0, xid(parent_)), 1);
    ASSERT_EQ(children(parent_).size(), 1u);
    window_ = children(parent_).at(0);
    idle();
  }
  void idle(int times = 1) {
    for (int i = 0; i < times; ++i) zvx_->dispatch(effEditIdle);
  }
  // A view of the skin, in frame coordinates.
  vsthost::ViewRect rectOf(const std::string& className, long tag) {
    const auto rect = layoutEditor_->find(className, tag);
    EXPECT_TRUE(rect) << className << " " << tag;
    return rect.value_or(vsthost::ViewRect{});
  }
  int screenX(const vsthost::ViewRect& rect) { return kLeft + rect.centreX() * percent_ / 100; }
  int screenY(const vsthost::ViewRect& rect) { return kTop + rect.centreY() * percent_ / 100; }
  // A click on the view, and the idle call that handles it.
  void click(const vsthost::ViewRect& rect) {
    input_->click(screenX(rect), screenY(rect));
    idle();
  }
  // A new ZVX whose editor opens at `percent` (the data folder's scale) in a host's window that size.
  void openAt(int percent) {
    if (zvx_) zvx_->dispatch(effEditClose);
    const std::string scale = std::to_string(percent);
    documents_.writeFile("editor scale.txt", {scale.begin(), scale.end()});
    calls_.reset();
    zvx_ = startZvx();
    calls_ = std::make_unique<test::HostCallLog>(*zvx_);
    percent_ = percent;
    parent_ = makeParent(kLeft, kTop, 8 * percent, 5 * percent);
    open();
  }

  // The window with the pointer away and the lights out, the read-out blanked:
  // it keeps the alignment of the last parameter it named.
  Surface shown() {
    input_->moveTo(1000, 750);
    idle(10);
    Surface picture = read(window_);
    const auto readOut = rectOf("TextDisplay", 980);
    for (int y = readOut.top; y < readOut.bottom; ++y)
      for (int x = readOut.left; x < readOut.right; ++x) picture.at(x, y) = 0;
    return picture;
  }
  // What a freshly opened editor shows for the plug-in's state now.
  Surface fresh() {
    zvx_->dispatch(effEditClose);
    open();
    return shown();
  }
  void expectShowsTheState(const std::string& after) {
    const Surface now = shown();
    EXPECT_TRUE(samePicture(now, fresh())) << "the window does not show the state after " << after;
  }
  // Chooses entry `index` of the option menu at `rect` with the keys.
  void chooseEntry(const vsthost::ViewRect& rect, int index) {
    answerMenu([&] { input_->click(screenX(rect), screenY(rect)); }, [&] { idle(); },
               [&](Display*, Input& keys) {
                 for (int i = 0; i <= index; ++i) keys.type(XK_Down);
                 keys.type(XK_Return);
               });
  }
  void wheel(const vsthost::ViewRect& rect, int notches, bool shift = false) {
    input_->moveTo(screenX(rect), screenY(rect));
    if (shift) input_->key(XK_Shift_L, true);
    for (int i = 0; i < std::abs(notches); ++i) input_->click(screenX(rect), screenY(rect), notches > 0 ? Button4 : Button5);
    if (shift) input_->key(XK_Shift_L, false);
    idle(2);
  }
  // Press, move up by `rise` pixels in steps, release: a drag in the knob's linear mode.
  void drag(const vsthost::ViewRect& rect, int rise) {
    input_->moveTo(screenX(rect), screenY(rect));
    input_->button(Button1, true);
    for (int step = 1; step <= 4; ++step) input_->moveTo(screenX(rect), screenY(rect) - rise * step / 4);
    input_->button(Button1, false);
    idle(2);
  }

  TempDocuments documents_;
  std::unique_ptr<test::HostCallLog> calls_;
  std::unique_ptr<vsthost::Plugin> zvx_, layout_;
  std::unique_ptr<vsthost::HeadlessEditor> layoutEditor_;
  Window parent_ = 0, window_ = 0;
  int percent_ = 100;
};

TEST_F(ZvxWindowTest, EveryKindOfControlShowsWhatTheUserDidToIt) {
  // Buttons: ON, SYNC and KEY TRACK of the bass drum, and POWER.
  for (int parameter : {kBDMute, kBDSync, kBDKeyTrack, kPower}) {
    const auto button = rectOf("COnOffButton", parameter);
    const float before = zvx_->getParameter(parameter);
    const Surface was = shown();
    click(button);
    EXPECT_NE(zvx_->getParameter(parameter), before) << parameter;
    EXPECT_GT(changedIn(was, shown(), button), 50) << parameter;
    expectShowsTheState("a click on button " + std::to_string(parameter));
  }
  // The sample menu: "SDB" chosen shows "SDB".
  const auto menu = rectOf("COptionMenu", kBDMenu);
  const Surface was = shown();
  chooseEntry(menu, 5);
  EXPECT_FLOAT_EQ(zvx_->getParameter(kBDMenu), 5.0f / 7.0f);
  EXPECT_GT(changedIn(was, shown(), menu), 20);
  expectShowsTheState("choosing SDB");
  // The pad: it sounds the drum, its light flashes and goes out, the pad is drawn up again.
  const auto pad = rectOf("CKickButton", kBDPadTag), lamp = rectOf("COnOffButton", kBDPadTag);
  const Surface dark = shown();
  click(pad);
  zvx_->render(512, 512);  // the pad's note is played in the next block
  idle();
  EXPECT_GT(changedIn(dark, read(window_), lamp), 20) << "the light did not come on";
  EXPECT_TRUE(samePicture(dark, shown())) << "the light stayed on, or the pad stayed down";
  const auto knob = rectOf("CAnimKnob", kBDTone);
  drag(knob, 40);
  EXPECT_GT(zvx_->getParameter(kBDTone), 0.6f);
  expectShowsTheState("a drag");
}

TEST_F(ZvxWindowTest, ChangesFromElsewhereShowAtTheNextIdle) {
  std::thread([&] { zvx_->setParameter(kBDTone, 0.9f); }).join();
  idle();
  expectShowsTheState("host automation");
  // A program change and a bank chunk, as a host restores a session.
  zvx_->dispatch(effSetProgram, 0, 5);
  expectShowsTheState("a program change");
  auto other = createZvx();
  other->dispatch(effSetProgram, 0, 9);
  for (int p : param::kDecay) other->setParameter(p, 0.05f * static_cast<float>(p % 17));
  std::vector<unsigned char> bank = chunkOf(*other, 0);
  zvx_->dispatch(effSetChunk, 0, static_cast<VstIntPtr>(bank.size()), bank.data());
  expectShowsTheState("a bank chunk");
  const Surface before = shown();
  chooseEntry(rectOf("COptionMenu", kWizardTag), 2);
  EXPECT_FALSE(samePicture(before, shown()));
  expectShowsTheState("a wizard setting");
  const float toneBefore = zvx_->getParameter(kBDTone);
  std::thread([&] { zvx_->render(256, 256, {controller(0, kLearnedController, 3)}); }).join();
  EXPECT_NE(zvx_->getParameter(kBDTone), toneBefore);
  expectShowsTheState("a learned controller");
}

TEST_F(ZvxWindowTest, ReadOutFollowsADragLive) {
  const auto knob = rectOf("CAnimKnob", kBDTone), readOut = rectOf("TextDisplay", 980);
  input_->moveTo(screenX(knob), screenY(knob));
  idle(2);
  const Surface pointing = read(window_);
  // The editor's idle runs the drag on a thread of its own (inside one idle
  // call, until the release) while this one moves the pointer and watches.
  input_->button(Button1, true);
  std::atomic<bool> released{false};
  std::thread gui([&] {
    while (!released) idle();
  });
  bool followed = false;
  for (int step = 1; step <= 8 && !followed; ++step) {
    input_->moveTo(screenX(knob), screenY(knob) - 6 * step);
    followed = poll([&] { return changedIn(pointing, read(window_), readOut) > 20; }, 300ms);
  }
  const float during = zvx_->getParameter(kBDTone);
  input_->button(Button1, false);
  released = true;
  gui.join();
  EXPECT_TRUE(followed) << "the read-out stood still during the drag";
  EXPECT_GT(during, 0.5f);
}

TEST_F(ZvxWindowTest, WheelActsByTheKindOfControl) {
  // A knob: a hundredth a notch, a thousandth with shift.
  const auto knob = rectOf("CAnimKnob", kBDTone);
  zvx_->setParameter(kBDTone, 0.5f);
  idle();
  wheel(knob, 2);
  wheel(knob, -1, true);
  EXPECT_NEAR(zvx_->getParameter(kBDTone), 0.519f, 1e-5f);
  // The sample menu: one entry a notch, no further than its ends.
  const auto menu = rectOf("COptionMenu", kBDMenu);
  zvx_->setParameter(kBDMenu, 0.0f);
  idle();
  wheel(menu, -9);
  EXPECT_FLOAT_EQ(zvx_->getParameter(kBDMenu), 1.0f);
  wheel(menu, 2);
  EXPECT_FLOAT_EQ(zvx_->getParameter(kBDMenu), 5.0f / 7.0f);
  expectShowsTheState("the wheel over the menu");

  // Over the wizard, the logo, a pad and a button nothing happens, on screen or in the sound.
  std::vector<unsigned char> state = chunkOf(*zvx_, 0);
  const Surface before = shown();
  for (const auto& [className, tag] : std::vector<std::pair<std::string, long>>{
           {"COptionMenu", kWizardTag}, {"AboutSplash", kAboutTag}, {"CKickButton", kBDPadTag}, {"COnOffButton", kBDMute}})
    wheel(rectOf(className, tag), 6);
  EXPECT_EQ(chunkOf(*zvx_, 0), state);
  EXPECT_TRUE(samePicture(before, shown()));
  EXPECT_LT(peak(zvx_->render(4096, 512)[2]), 1e-6f);  // the pad sounded nothing
  // The controls stay live: no about box took the clicks.
  wheel(knob, 1);
  EXPECT_NE(chunkOf(*zvx_, 0), state);
}

TEST_F(ZvxWindowTest, AboutBoxShowsItsCreditsModallyUntilTheNextClick) {
  const auto logo = rectOf("AboutSplash", kAboutTag), knob = rectOf("CAnimKnob", kBDTone);
  const Surface before = shown();
  input_->click(screenX(logo), screenY(logo));
  const Surface about = shown();
  // The picture over the whole window, and the six credit lines on it.
  EXPECT_GT(changedIn(before, about, {0, 0, 800, 500}), 200000);
  const auto white = [](const Surface& picture) {  // the credit lines are drawn in white
    const std::vector<gui::Pixel> pixels = picture.pixels();
    return std::count_if(pixels.begin(), pixels.end(), [](gui::Pixel p) { return rgb(p) == 0xFFFFFFu; });
  };
  EXPECT_GT(white(about), white(before) + 1000);
  // Modal: the wheel and a click on a knob under it move nothing; the click closes it.
  const float tone = zvx_->getParameter(kBDTone);
  wheel(knob, 3);
  EXPECT_TRUE(samePicture(about, shown()));
  input_->click(screenX(knob), screenY(knob));
  EXPECT_EQ(zvx_->getParameter(kBDTone), tone);
  EXPECT_TRUE(samePicture(before, shown()));
}

TEST_F(ZvxWindowTest, ProgramsAreChosenOnTheProgramLine) {
  const auto line = rectOf("ProgramMenu", kProgramTag);
  const auto previous = rectOf("ProgramStepButton", kPreviousTag), next = rectOf("ProgramStepButton", kNextTag);
  // The next program, as a host would see it chosen.
  calls_->clear();
  Surface before = shown();
  click(next);
  EXPECT_EQ(zvx_->dispatch(effGetProgram), 1);
  EXPECT_GE(calls_->count(audioMasterUpdateDisplay), 1u);
  EXPECT_GT(changedIn(before, shown(), line), 20);
  expectShowsTheState("the next program");
  // From the first program back to the last.
  zvx_->dispatch(effSetProgram, 0, 0);
  click(previous);
  EXPECT_EQ(zvx_->dispatch(effGetProgram), 127);
  // The menu: the third group of sixteen, its fourth program.
  answerMenu([&] { input_->click(screenX(line), screenY(line)); }, [&] { idle(); },
             [](Display*, Input& keys) {
               for (KeySym key : {XK_Down, XK_Down, XK_Down, XK_Right, XK_Down, XK_Down, XK_Down, XK_Return})
                 keys.type(key);
             });
  EXPECT_EQ(zvx_->dispatch(effGetProgram), 35);
  expectShowsTheState("a program chosen in the menu");
  // The wheel steps one program a notch, no further than the last.
  wheel(line, -2);
  EXPECT_EQ(zvx_->dispatch(effGetProgram), 37);
  zvx_->dispatch(effSetProgram, 0, 127);
  idle();
  wheel(line, -1);
  EXPECT_EQ(zvx_->dispatch(effGetProgram), 127);
  // A program the host renamed shows too.
  before = shown();
  char name[] = "Renamed by the host";
  zvx_->dispatch(effSetProgramName, 0, 0, name);
  EXPECT_GT(changedIn(before, shown(), line), 20);
  expectShowsTheState("a program the host renamed");
}

TEST_F(ZvxWindowTest, MenusTakeTheSkinsColoursAndOpenUpwardWhereTheEditorEnds) {
  // The skin gives its menus the dark of their boxes (21252B) behind their font colour.
  for (int parameter : {kBDMenu, kCPMenu}) {
    const auto menu = rectOf("COptionMenu", parameter);
    std::optional<Placed> shownMenu;
    gui::Pixel corner = 0;
    answerMenu([&] { input_->click(screenX(menu), screenY(menu)); }, [&] { idle(); },
               [&](Display* display, Input& keys) {
                 shownMenu = windowsNamed(display, "ZVX menu").at(0);
                 corner = rgb(platform::x11::readWindow(display, shownMenu->window).at(3, 3));
                 keys.type(XK_Escape);
               });
    ASSERT_TRUE(shownMenu) << parameter;
    EXPECT_EQ(corner, 0x21252Bu) << parameter;
    EXPECT_EQ(shownMenu->x, kLeft + menu.left) << parameter;
    if (parameter == kBDMenu)  // room below: under the menu
      EXPECT_EQ(shownMenu->y, kTop + menu.bottom);
    else  // the editor ends before the list would: above it
      EXPECT_EQ(shownMenu->y + shownMenu->height, kTop + menu.top);
  }
}

int editorWidth(vsthost::Plugin& zvx) {
  ERect* rect = nullptr;
  zvx.dispatch(effEditGetRect, 0, 0, &rect);
  return rect ? rect->right - rect->left : 0;
}

// Rows of `box` (frame coordinates) with ink: not the colour at its left edge.
int inkRows(const Surface& picture, const vsthost::ViewRect& box, int percent) {
  const auto scaled = [percent](int x) { return x * percent / 100; };
  int rows = 0;
  for (int y = scaled(box.top) + 1; y < scaled(box.bottom) - 1; ++y) {
    bool ink = false;
    const gui::Pixel background = rgb(picture.at(scaled(box.left) + 1, y));
    for (int x = scaled(box.left) + 1; x < scaled(box.right) - 1; ++x) ink = ink || rgb(picture.at(x, y)) != background;
    rows += ink;
  }
  return rows;
}

// At each scale: the size reported and made, a drag of N pixels acting as N / scale
// did at 100 %, the read-out's text drawn at the size; at 200 % the reviewed picture.
TEST_F(ZvxWindowTest, SizeDragAndTextFollowTheScale) {
  const auto knob = rectOf("CAnimKnob", kBDTone), readOut = rectOf("TextDisplay", 980);
  float at100 = 0;
  int rows100 = 0;
  for (int percent : {100, 150, 200}) {
    if (percent != 100) openAt(percent);
    ASSERT_EQ(editorWidth(*zvx_), 8 * percent);
    const Surface picture = read(window_);
    EXPECT_TRUE(picture.width() == 8 * percent && picture.height() == 5 * percent) << percent;
    if (percent == 200) {
      const Surface reference = gui::ImageFile::load(ZVX_EDITOR_REFERENCE_2X);
      ASSERT_EQ(reference.width(), 1600) << ZVX_EDITOR_REFERENCE_2X;
      EXPECT_TRUE(samePicture(picture, reference)) << "the editor at 200 % is not " << ZVX_EDITOR_REFERENCE_2X;
    }
    zvx_->setParameter(kBDTone, 0.2f);
    idle();
    drag(knob, 30 * percent / 100);
    const float value = zvx_->getParameter(kBDTone);
    const int rows = inkRows(read(window_), readOut, percent);
    if (percent == 100) {
      at100 = value;
      rows100 = rows;
      EXPECT_TRUE(value > 0.2f && rows > 4) << value << " " << rows;
    } else {
      EXPECT_NEAR(value, at100, 0.011f) << percent;  // a frame pixel's worth of rounding
      EXPECT_NEAR(rows, rows100 * percent / 100, 2) << percent;
    }
  }
}

// The background's menu, "Size", 150 %: asked of the host, kept for the next editor
// and plug-in, whose menus are drawn at that scale too.
TEST_F(ZvxWindowTest, TheSizeChosenInTheMenuIsAskedOfTheHostAndKept) {
  // Opened at the top right corner, which no view covers; answered with `keys`.
  const auto backgroundMenu = [&](const std::vector<KeySym>& keys) {
    int height = 0;
    answerMenu([&] { input_->click(kLeft + 8 * percent_ - 5, kTop + 3, Button3); }, [&] { idle(); },
               [&](Display* display, Input& input) {
                 height = windowsNamed(display, "ZVX menu").at(0).height;
                 for (KeySym key : keys) input.type(key);
               });
    return height;
  };
  calls_->clear();
  const int height = backgroundMenu({XK_Down, XK_Right, XK_Down, XK_Down, XK_Return});
  idle();
  std::pair<int, int> asked;
  for (const HostCall& call : calls_->calls())
    if (call.opcode == audioMasterSizeWindow) asked = {call.index, static_cast<int>(call.value)};
  EXPECT_EQ(asked, (std::pair{1200, 750}));
  EXPECT_EQ(editorWidth(*zvx_), 1200);
  EXPECT_EQ(readText(documents_.dataFolder() / "editor scale.txt"), "150\n");
  zvx_->dispatch(effEditClose);
  EXPECT_EQ(editorWidth(*zvx_), 1200) << "closing the editor forgot the size";
  EXPECT_EQ(editorWidth(*startZvx()), 1200) << "the next plug-in forgot the size";
  // The menu at the new scale: its rows, and so the menu, half as tall again.
  openAt(150);
  EXPECT_NEAR(backgroundMenu({XK_Escape}), height * 3 / 2, 3);
}

// A host scanning plug-ins makes and closes instances without an editor: a modal
// box nobody sees would stall it. What ZVX says then (no sample files) goes to
// standard error, and the editor's first opening shows it once in a box.
class HeldMessagesTest : public X11Test {};

TEST_F(HeldMessagesTest, NoBoxUntilTheEditorOpensWhichShowsWhatWasHeldOnce) {
  TempDocuments documents(false);
  fs::create_directories(documents.dataFolder());
  documents.installDefaultData(ZVX_BUILT_DATA);
  ScopedEnv boxes("ZVX_MESSAGES", nullptr);
  const std::string caption = "Can't open PCM file!";
  std::unique_ptr<vsthost::Plugin> zvx;
  std::atomic<bool> made{false};
  MessageCapture capture;
  std::thread scan([&] {
    createZvx()->close();
    zvx = createZvx();
    zvx->start();
    made = true;
  });
  // A box would hold the thread: closed by the window manager to free it.
  const bool returned = awaitPastBoxes(display_, caption, [&] { return made.load(); }, 60000ms);
  scan.join();
  ASSERT_TRUE(returned) << "making an instance waited on a message box";
  const std::vector<ShownMessage> said = capture.messages();
  EXPECT_FALSE(said.empty());
  for (const ShownMessage& message : said) EXPECT_EQ(message.caption, caption) << message.text;

  const Window parent = makeParent(10, 10, 200, 100);
  std::atomic<VstIntPtr> opened{-1};
  std::thread opening([&] { opened = zvx->dispatch(effEditOpen, 0, 0, xid(parent)); });
  const std::vector<Placed> shown = waitForWindows(display_, caption, 1, 60000ms);
  EXPECT_EQ(shown.size(), 1u);
  answerBoxes(display_, *input_, shown);
  EXPECT_TRUE(awaitPastBoxes(display_, caption, [&] { return opened.load() != -1; }, 60000ms))
      << "the box was not dismissed";
  opening.join();
  EXPECT_EQ(opened.load(), 1);
  // Said once: the next opening has nothing held to show.
  zvx->dispatch(effEditClose);
  EXPECT_EQ(zvx->dispatch(effEditOpen, 0, 0, xid(parent)), 1);
  EXPECT_TRUE(windowsNamed(display_, caption).empty());
  zvx->dispatch(effEditClose);
}

}  // namespace
}  // namespace zvx::test
