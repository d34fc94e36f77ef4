// The editor in a real window on the private Xvfb, embedded in the host's
// window and served by its run loop: the VST 2.4 editor pixel for pixel, its
// edits told to the host, scaled by the host, removed cleanly; what it had to
// say before its first view held until that view is shown.
#include <atomic>
#include <thread>

#include "engine/Parameters.h"
#include "tests/vst3/Vst3TestSupport.h"
#include "vsthost/HeadlessEditor.h"

// Last: Xlib defines None, Status and friends as macros.
#include "tests/gui/X11TestSupport.h"

namespace zvx::test {
namespace {

constexpr int kLeft = 10, kTop = 10;
constexpr long kNextProgramTag = 98;
using Kind = vst3host::ComponentHandler::Kind;

class Vst3EditorTest : public X11Test {
 protected:
  void SetUp() override {
    X11Test::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    documents_.installDefaultData(ZVX_BUILT_DATA);
    vst3_ = startVst3();
    ASSERT_TRUE(vst3_);
  }
  void TearDown() override {
    vst3_.reset();
    X11Test::TearDown();
  }

  // The editor attached to a new host window of its size, and served until it has drawn.
  std::unique_ptr<vst3host::Editor> openEditor(Window* parent = nullptr) {
    auto editor = vst3_->createEditor();
    const auto size = editor ? editor->size() : std::nullopt;
    EXPECT_TRUE(size) << "no view named \"editor\", or no size";
    if (!size) return nullptr;
    const Window window = makeParent(kLeft, kTop, size->right - size->left, size->bottom - size->top);
    if (parent) *parent = window;
    EXPECT_EQ(editor->attach(xid(window)), vst3::kResultOk);
    editor->frame().run(100ms);
    return editor;
  }

  // The desktop says nothing of a scale: the host's content scale alone decides.
  ScopedEnv gdk_{"GDK_SCALE", nullptr};
  ScopedEnv qt_{"QT_SCALE_FACTOR", nullptr};
  TempDocuments documents_;
  std::unique_ptr<vst3host::Plugin> vst3_;
};

TEST_F(Vst3EditorTest, ShowsTheVst2EditorInTheHostsWindowServedByItsRunLoop) {
  const auto program = vst3_->programParameter();
  ASSERT_TRUE(program);
  vst3_->setParameter(*program, 5 / 127.0);
  vst3_->setParameter(idOf(param::kBDTone), normalized(0.3f));
  vst3_->render(64, 64);
  auto vst2 = startVst2();
  vst2->dispatch(effSetProgram, 0, 5);
  vst2->setParameter(param::kBDTone, 0.3f);

  // One after the other in the same place, as the screen holds one editor.
  const Window vst2Parent = makeParent(kLeft, kTop, 800, 500);
  ASSERT_EQ(vst2->dispatch(effEditOpen, 0, 0, xid(vst2Parent)), 1);
  ERect* rect = nullptr;
  vst2->dispatch(effEditGetRect, 0, 0, &rect);
  ASSERT_NE(rect, nullptr);
  const int width = rect->right - rect->left, height = rect->bottom - rect->top;
  for (int i = 0; i < 5; ++i) vst2->dispatch(effEditIdle);
  const gui::Surface vst2Picture = read(children(vst2Parent).at(0));
  vst2->dispatch(effEditClose);
  destroy(vst2Parent);

  auto editor = vst3_->createEditor();
  ASSERT_TRUE(editor);
  EXPECT_EQ(editor->view()->isPlatformTypeSupported(vst3::kPlatformTypeX11EmbedWindowID), vst3::kResultOk);
  const auto size = editor->size();
  ASSERT_TRUE(size);
  EXPECT_EQ(size->right - size->left, width);
  EXPECT_EQ(size->bottom - size->top, height);
  const Window parent = makeParent(kLeft, kTop, width, height);
  ASSERT_EQ(editor->attach(xid(parent)), vst3::kResultOk);
  EXPECT_GE(editor->frame().timerCount(), 1u) << "the view registered no timer with the run loop";
  editor->frame().run(200ms);
  EXPECT_GT(editor->frame().timerCalls(), 0);
  const std::vector<Window> embedded = children(parent);
  ASSERT_EQ(embedded.size(), 1u);
  EXPECT_TRUE(samePicture(vst2Picture, read(embedded[0])));

  EXPECT_EQ(editor->remove(), vst3::kResultOk);
  EXPECT_EQ(editor->frame().timerCount(), 0u) << "a timer outlived the view's removal";
  EXPECT_EQ(editor->frame().eventHandlerCount(), 0u) << "a descriptor handler outlived the view's removal";
  EXPECT_TRUE(poll([&] { return children(parent).empty(); })) << "the editor's window outlived the view's removal";
  EXPECT_EQ(editor->release(), 0u);
  EXPECT_EQ(editor->frame().references(), 1u) << "the frame is still held";
}

// A knob dragged is an edit the host is told of (begin, values, end); a program chosen there, a restart.
TEST_F(Vst3EditorTest, EditsReachTheHostThroughTheComponentHandler) {
  // Where the views are: the same skin in a headless VST 2.4 editor.
  auto layout = startVst2();
  vsthost::HeadlessEditor layoutEditor(*layout);
  ASSERT_TRUE(layoutEditor.open());
  const auto knob = layoutEditor.find("CAnimKnob", param::kBDTone);
  const auto next = layoutEditor.find("ProgramStepButton", kNextProgramTag);
  ASSERT_TRUE(knob && next);
  layoutEditor.close();

  auto editor = openEditor();
  ASSERT_TRUE(editor);
  vst3_->handler().take();
  const int x = kLeft + knob->centreX(), y = kTop + knob->centreY();
  // The whole gesture first: the knob follows the pointer inside one run-loop call until the button is up.
  input_->moveTo(x, y);
  input_->button(Button1, true);
  for (int step = 1; step <= 4; ++step) input_->moveTo(x, y - 10 * step);
  input_->button(Button1, false);
  editor->frame().run(100ms);
  const std::vector<vst3host::ComponentHandler::Call> calls = vst3_->handler().take();
  ASSERT_GE(calls.size(), 3u);
  for (std::size_t c = 0; c < calls.size(); ++c) {
    EXPECT_EQ(calls[c].kind, c == 0 ? Kind::BeginEdit : c + 1 == calls.size() ? Kind::EndEdit : Kind::PerformEdit) << c;
    EXPECT_EQ(calls[c].id, idOf(param::kBDTone)) << c;
  }
  const double last = calls[calls.size() - 2].value;
  EXPECT_EQ(last, vst3_->parameter(idOf(param::kBDTone)));
  EXPECT_GT(last, 0.6);

  input_->click(kLeft + next->centreX(), kTop + next->centreY());
  editor->frame().run(100ms);
  EXPECT_TRUE(vst3_->handler().restartedWith(vst3::kParamValuesChanged));
  const auto program = vst3_->programParameter();
  ASSERT_TRUE(program);
  EXPECT_EQ(vst3_->parameter(*program), 1 / 127.0);
  auto vst2 = startVst2();
  vst2->dispatch(effSetProgram, 0, 1);
  EXPECT_EQ(differentValues(shownValues(*vst3_), shownValues(*vst2)), "");
}

// The host's content scale sizes the editor: it asks the frame for the new size and draws at it.
TEST_F(Vst3EditorTest, FollowsTheHostsContentScale) {
  Window parent = 0;
  auto editor = openEditor(&parent);
  ASSERT_TRUE(editor);
  const auto base = editor->size();
  ASSERT_TRUE(base);
  const int width = base->right - base->left, height = base->bottom - base->top;
  for (float factor : {2.0f, 1.5f, 1.0f}) {
    SCOPED_TRACE(factor);
    ASSERT_EQ(editor->setContentScaleFactor(factor), vst3::kResultOk);
    editor->frame().run(100ms);
    const auto scaled = editor->size();
    ASSERT_TRUE(scaled);
    const auto expected = std::make_pair(std::lround(width * factor), std::lround(height * factor));
    EXPECT_EQ((std::make_pair<long, long>(scaled->right - scaled->left, scaled->bottom - scaled->top)), expected);
    if (factor != 1.0f) {
      ASSERT_FALSE(editor->frame().resizes().empty()) << "the view did not ask the frame for its size";
      const vst3::ViewRect asked = editor->frame().resizes().back();
      EXPECT_EQ((std::make_pair<long, long>(asked.right - asked.left, asked.bottom - asked.top)), expected);
    }
    const std::vector<Window> embedded = children(parent);
    ASSERT_EQ(embedded.size(), 1u);
    const gui::Surface shown = read(embedded[0]);
    EXPECT_EQ((std::make_pair<long, long>(shown.width(), shown.height())), expected);
    // The host's own onSize at the size the view has is taken.
    vst3::ViewRect same = *scaled;
    EXPECT_EQ(editor->view()->onSize(&same), vst3::kResultOk);
  }
}

// Hosts open and close editors often, sometimes with the window already gone, sometimes never attached.
TEST_F(Vst3EditorTest, OpensAndClosesAgainAndAgain) {
  for (int round = 0; round < 2; ++round) {
    Window parent = 0;
    auto editor = openEditor(&parent);
    ASSERT_TRUE(editor);
    destroy(parent);
    editor->frame().run(50ms);
    EXPECT_EQ(editor->remove(), vst3::kResultOk);
    EXPECT_EQ(editor->frame().timerCount(), 0u);
    EXPECT_EQ(editor->release(), 0u);
  }
  auto unused = vst3_->createEditor();
  ASSERT_TRUE(unused);
  EXPECT_EQ(unused->release(), 0u);
  EXPECT_GT(peak(vst3_->render(4096, 512, {noteOn(0, 36)})[2]), 0.01f);
  EXPECT_EQ(vst3_->close(), 0u);
}

// A scan makes and releases instances without a view: what ZVX has to say then (here: its sample files
// are missing) goes to standard error, as a modal box nobody sees would stall the scan. The view's first
// attaching shows what was held, once.
class Vst3HeldMessagesTest : public X11Test {};

TEST_F(Vst3HeldMessagesTest, NoBoxUntilTheViewIsAttachedWhichShowsWhatWasHeldOnce) {
  TempDocuments documents(false);
  fs::create_directories(documents.dataFolder());
  documents.installDefaultData(ZVX_BUILT_DATA);
  ScopedEnv boxes("ZVX_MESSAGES", nullptr);
  const std::string caption = "Can't open PCM file!";
  std::unique_ptr<vst3host::Plugin> vst3;
  std::atomic<bool> made{false};
  MessageCapture capture;
  std::thread scan([&] {
    startVst3().reset();
    vst3 = startVst3();
    made = true;
  });
  const bool returned = awaitPastBoxes(display_, caption, [&] { return made.load(); }, 60000ms);
  scan.join();
  ASSERT_TRUE(returned) << "making an instance waited on a message box";
  ASSERT_TRUE(vst3);
  const std::vector<ShownMessage> said = capture.messages();
  EXPECT_FALSE(said.empty());
  for (const ShownMessage& message : said) EXPECT_EQ(message.caption, caption) << message.text;

  auto editor = vst3->createEditor();
  ASSERT_TRUE(editor);
  const auto size = editor->size();
  ASSERT_TRUE(size);
  const Window parent = makeParent(10, 10, size->right - size->left, size->bottom - size->top);
  std::atomic<int> attached{-1};
  std::thread opening([&] { attached = editor->attach(xid(parent)); });
  const std::vector<Placed> shown = waitForWindows(display_, caption, 1, 60000ms);
  EXPECT_EQ(shown.size(), 1u);
  answerBoxes(display_, *input_, shown);
  EXPECT_TRUE(awaitPastBoxes(display_, caption, [&] { return attached.load() != -1; }, 60000ms))
      << "the box was not dismissed";
  opening.join();
  EXPECT_EQ(attached.load(), vst3::kResultOk);
  // Said once: the next view has nothing held to show.
  EXPECT_EQ(editor->remove(), vst3::kResultOk);
  EXPECT_EQ(editor->release(), 0u);
  auto again = vst3->createEditor();
  ASSERT_TRUE(again);
  EXPECT_EQ(again->attach(xid(parent)), vst3::kResultOk);
  EXPECT_TRUE(windowsNamed(display_, caption).empty());
  EXPECT_EQ(again->remove(), vst3::kResultOk);
  EXPECT_EQ(again->release(), 0u);
}

}  // namespace
}  // namespace zvx::test
