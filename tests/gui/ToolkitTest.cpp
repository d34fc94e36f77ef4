// The view toolkit on the headless window: controls driven by input events,
// checked by value, listener, edit gestures and pixels drawn.
#include <gtest/gtest.h>

#include <memory>
#include <utility>
#include <vector>

#include "gui/CBitmap.h"
#include "gui/CDrawContext.h"
#include "gui/CFrame.h"
#include "gui/CKickButton.h"
#include "gui/CKnob.h"
#include "gui/COnOffButton.h"
#include "gui/COptionMenu.h"
#include "gui/CParamDisplay.h"
#include "gui/CSlider.h"
#include "gui/CVerticalSwitch.h"
#include "gui/CVuMeter.h"
#include "gui/HeadlessWindow.h"

namespace {

using zvx::gui::HeadlessWindow;
using zvx::gui::InputEvent;
using zvx::gui::makePixel;
using zvx::gui::MenuChoice;
using zvx::gui::MenuModel;
using zvx::gui::Pixel;
using zvx::gui::Surface;

constexpr Pixel kBackground = makePixel(20, 30, 40);
constexpr Pixel kRed = makePixel(255, 0, 0);
constexpr Pixel kGreen = makePixel(0, 255, 0);
constexpr Pixel kBlue = makePixel(0, 0, 255);

// A solid bitmap, optionally with a pure green border (the transparent colour).
CBitmap* solidBitmap(int width, int height, Pixel colour, int greenBorder = 0) {
  Surface pixels(width, height, colour);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      if (x < greenBorder || y < greenBorder || x >= width - greenBorder || y >= height - greenBorder)
        pixels.at(x, y) = kGreen;
  return new CBitmap(std::move(pixels));
}

// A film strip of frames stacked vertically, frame i filled with colours[i].
CBitmap* stripBitmap(int width, int frameHeight, const std::vector<Pixel>& colours) {
  Surface pixels(width, frameHeight * static_cast<int>(colours.size()));
  for (std::size_t i = 0; i < colours.size(); ++i)
    for (int y = 0; y < frameHeight; ++y)
      for (int x = 0; x < width; ++x) pixels.at(x, static_cast<int>(i) * frameHeight + y) = colours[i];
  return new CBitmap(std::move(pixels));
}

using Entry = std::pair<std::string, long>;
using Log = std::vector<Entry>;

// Records edits and value changes the way an editor and a host would see them.
class Harness : public CFrameOwner, public CControlListener {
 public:
  explicit Harness(int percent = 100) {
    auto window = std::make_unique<HeadlessWindow>();
    window_ = window.get();
    frame_ = new CFrame(CRect(0, 0, 200, 150), std::move(window), this, percent);
    frame_->setBackground(new CBitmap(Surface(200, 150, kBackground)));
    frame_->getBackground()->forget();
  }
  ~Harness() { frame_->forget(); }

  void beginEdit(long index) override { log.push_back({"begin", index}); }
  void endEdit(long index) override { log.push_back({"end", index}); }
  void doIdleStuff() override { frame_->idle(); }
  long getKnobMode() const override { return knobMode; }
  void valueChanged(CDrawContext*, CControl* control) override {
    log.push_back({"value", control->getTag()});
    values.push_back(control->getValue());
  }

  template <typename View>
  View* add(View* view) {
    frame_->addView(view);
    return view;
  }
  // Input handled at once, as the window's event loop would.
  void click(CPoint where, long modifiers = 0) {
    window_->click(where, modifiers);
    frame_->processEvents();
  }
  void drag(CPoint from, CPoint to, int steps = 8, long modifiers = 0) {
    window_->drag(from, to, steps, modifiers);
    frame_->processEvents();
  }
  void wheel(CPoint where, float distance, long modifiers = 0) {
    window_->wheel(where, distance, modifiers);
    frame_->processEvents();
  }
  // A bitmap the views share, released when the harness is done with it.
  CBitmap* keep(CBitmap* bitmap) {
    bitmaps_.emplace_back(bitmap, [](CBitmap* b) { b->forget(); });
    return bitmap;
  }
  Pixel pixel(int x, int y) { return frame_->surface().at(x, y); }
  CFrame& frame() { return *frame_; }
  HeadlessWindow& window() { return *window_; }

  Log log;
  std::vector<float> values;
  long knobMode = kLinearMode;

 private:
  std::vector<std::unique_ptr<CBitmap, void (*)(CBitmap*)>> bitmaps_;
  HeadlessWindow* window_;
  CFrame* frame_;
};

TEST(ToolkitTest, KnobDragsLinearlyFinelyResetsWithEditGesturesAndDrawsItsHandle) {
  Harness h;
  auto* knob = h.add(new CKnob(CRect(10, 10, 50, 50), &h, 7, nullptr, nullptr));
  knob->setValue(0.5f);
  knob->setDefaultValue(0.25f);
  h.drag(CPoint(30, 30), CPoint(30, 10));  // up 20 pixels of 200
  EXPECT_NEAR(knob->getValue(), 0.6f, 1e-5f);
  ASSERT_GE(h.log.size(), 3u);
  EXPECT_EQ(h.log.front(), (Entry{"begin", 7}));
  EXPECT_EQ(h.log.back(), (Entry{"end", 7}));

  h.drag(CPoint(30, 30), CPoint(30, 10), 8, kShift);  // fine: a tenth as far
  EXPECT_NEAR(knob->getValue(), 0.61f, 1e-5f);
  h.drag(CPoint(30, 30), CPoint(30, -400));
  EXPECT_EQ(knob->getValue(), 1.0f);  // bounded

  h.log.clear();
  h.click(CPoint(30, 30), kControl);
  EXPECT_EQ(knob->getValue(), 0.25f);
  EXPECT_EQ(h.log, (Log{{"begin", 7}, {"value", 7}, {"end", 7}}));

  // The handle sits where the value points, and green is not drawn.
  CBitmap* handle = h.keep(solidBitmap(6, 6, kRed, 1));  // a red dot in a green frame
  handle->setTransparentColor(kGreenCColor);
  auto* drawn = h.add(new CKnob(CRect(20, 60, 80, 120), &h, 2, nullptr, handle));
  const std::vector<std::pair<float, CPoint>> expected = {{0.0f, CPoint(33, 107)}, {0.5f, CPoint(50, 66)},
                                                          {1.0f, CPoint(67, 107)}};
  for (const auto& [value, centre] : expected) {
    drawn->setValue(value);
    h.frame().idle();
    EXPECT_EQ(drawn->valueToPoint(value), centre) << value;
    EXPECT_EQ(h.pixel(centre.h, centre.v), kRed) << value;
    // The handle's green frame shows the background through.
    EXPECT_EQ(h.pixel(centre.h - 3, centre.v - 3), kBackground) << value;
  }
}

TEST(ToolkitTest, SliderMovesItsHandleAlongItsLineAndSwitchesAndKicksSendWhatTheyShould) {
  Harness h;
  auto* slider = h.add(new CSlider(CRect(10, 100, 110, 110), &h, 4, 10, 100, h.keep(solidBitmap(10, 10, kRed)), nullptr));
  slider->setValue(0.0f);
  h.frame().idle();
  EXPECT_EQ(h.pixel(12, 105), kRed);
  h.drag(CPoint(15, 105), CPoint(60, 105));  // the handle by 45 of 90 pixels
  EXPECT_NEAR(slider->getValue(), 0.5f, 1e-5f);
  EXPECT_EQ(h.pixel(58, 105), kRed);
  EXPECT_EQ(h.log.front().first, "begin");
  EXPECT_EQ(h.log.back().first, "end");

  // Vertical: the maximum at the top.
  auto* vertical = h.add(new CSlider(CRect(150, 10, 160, 110), &h, 5, 10, 100, h.keep(solidBitmap(10, 10, kBlue)),
                                     nullptr, CPoint(0, 0), CSlider::kVertical));
  vertical->setValue(1.0f);
  EXPECT_EQ(vertical->handleRect(), CRect(150, 10, 160, 20));

  // Switches and kick buttons.
  h.log.clear();
  h.values.clear();
  auto* kick = h.add(new CKickButton(CRect(20, 0, 30, 10), &h, 12, 10, h.keep(stripBitmap(10, 10, {kRed, kBlue}))));
  auto* vswitch =
      h.add(new CVerticalSwitch(CRect(40, 0, 50, 30), &h, 13, 3, 10, 3, h.keep(stripBitmap(10, 10, {kRed, kGreen, kBlue}))));
  auto* hswitch =
      h.add(new CHorizontalSwitch(CRect(60, 0, 90, 10), &h, 14, 3, 10, 3, h.keep(stripBitmap(30, 10, {kRed, kGreen, kBlue}))));

  h.click(CPoint(25, 5));
  EXPECT_EQ(h.values, (std::vector<float>{1.0f, 0.0f}));
  EXPECT_EQ(h.log.front(), (Entry{"begin", 12}));
  EXPECT_EQ(kick->getValue(), 0.0f);

  h.click(CPoint(45, 25));  // the third position
  h.click(CPoint(75, 5));   // the second
  EXPECT_EQ(vswitch->getValue(), 1.0f);
  EXPECT_EQ(hswitch->getValue(), 0.5f);
  EXPECT_EQ(h.pixel(45, 5), kBlue);
  EXPECT_EQ(h.pixel(75, 5), kGreen);
}

TEST(ToolkitTest, WheelStepsKnobsSlidersAndMenusAndNothingElse) {
  Harness h;
  auto* knob = h.add(new CKnob(CRect(0, 0, 40, 40), &h, 1, nullptr, nullptr));
  auto* slider = h.add(new CSlider(CRect(50, 0, 150, 10), &h, 2, 50, 140, h.keep(solidBitmap(10, 10, kBlue)), nullptr));
  auto* menu = h.add(new COptionMenu(CRect(0, 50, 80, 70), &h, 3));
  auto* commands = h.add(new COptionMenu(CRect(100, 50, 180, 70), &h, 4));
  for (COptionMenu* m : {menu, commands})
    for (const char* entry : {"A", "B", "C", "D"}) m->addEntry(entry);
  commands->setWheelSteps(false);
  // A knob under a pad: the pad takes the wheel and does nothing with it.
  auto* covered = h.add(new CKnob(CRect(0, 100, 40, 140), &h, 5, nullptr, nullptr));
  auto* kick = h.add(new CKickButton(CRect(0, 100, 40, 140), &h, 6, 40, h.keep(stripBitmap(40, 40, {kRed, kBlue}))));
  auto* onOff = h.add(new COnOffButton(CRect(50, 100, 90, 140), &h, 7, h.keep(stripBitmap(40, 40, {kRed, kBlue}))));
  auto* vswitch = h.add(new CVerticalSwitch(CRect(100, 100, 110, 130), &h, 8, 3, 10, 3,
                                            h.keep(stripBitmap(10, 10, {kRed, kGreen, kBlue}))));
  for (CControl* control : std::initializer_list<CControl*>{knob, slider, covered}) control->setValue(0.5f);

  h.wheel(CPoint(20, 20), 1.0f);
  EXPECT_NEAR(knob->getValue(), 0.51f, 1e-6f);
  h.wheel(CPoint(20, 20), -3.0f, kShift);  // fine: a thousandth per notch
  EXPECT_NEAR(knob->getValue(), 0.507f, 1e-6f);
  EXPECT_EQ(h.log, (Log{{"begin", 1}, {"value", 1}, {"end", 1}, {"begin", 1}, {"value", 1}, {"end", 1}}));
  h.wheel(CPoint(100, 5), -1.0f);
  EXPECT_NEAR(slider->getValue(), 0.49f, 1e-6f);

  // Menus: one entry per notch, up the list for the wheel turned up, no further than the ends.
  menu->setValue(2.0f);
  h.log.clear();
  h.wheel(CPoint(10, 60), -2.0f);
  EXPECT_EQ(menu->getCurrent(), 3);
  h.wheel(CPoint(10, 60), 2.0f);
  EXPECT_EQ(menu->getValue(), 1.0f);
  EXPECT_EQ(h.log, (Log{{"begin", 3}, {"value", 3}, {"end", 3}, {"begin", 3}, {"value", 3}, {"end", 3}}));

  h.log.clear();
  h.wheel(CPoint(110, 60), -1.0f);  // a menu of commands
  h.wheel(CPoint(20, 120), 6.0f);   // the pad over the knob
  h.wheel(CPoint(70, 120), 1.0f);
  h.wheel(CPoint(105, 115), 1.0f);
  EXPECT_EQ(h.log, Log{});
  EXPECT_EQ(commands->getCurrent(), 0);
  EXPECT_EQ(covered->getValue(), 0.5f);
  EXPECT_EQ(kick->getValue(), 0.0f);
  EXPECT_EQ(onOff->getValue(), 0.0f);
  EXPECT_EQ(vswitch->getValue(), 0.0f);
}

TEST(ToolkitTest, AnimatedKnobVuMeterAndEmptyDisplayDrawWhatTheirValueShows) {
  Harness h;
  auto* knob = h.add(new CAnimKnob(CRect(0, 0, 16, 16), &h, 3, 4, 16,
                                   h.keep(stripBitmap(16, 16, {kRed, kGreen, kBlue, makePixel(9, 9, 9)}))));
  auto* meter = h.add(new CVuMeter(CRect(20, 0, 30, 40), h.keep(solidBitmap(10, 40, kRed)), h.keep(solidBitmap(10, 40, kBlue)), 4));
  // A transparent display without text draws nothing; its text shows in DrumEditorTest's picture.
  auto* display = h.add(new CParamDisplay(CRect(40, 10, 140, 30)));
  display->setTransparency(true);
  display->setStyle(kNoTextStyle);
  knob->setValue(0.7f);  // frame 2 of 0..3
  meter->setValue(0.5f);  // lit from the bottom
  h.frame().idle();
  EXPECT_EQ(h.pixel(8, 8), kBlue);
  EXPECT_EQ(h.pixel(25, 35), kRed);
  EXPECT_EQ(h.pixel(25, 5), kBlue);
  EXPECT_EQ(h.pixel(90, 20), kBackground);
}

TEST(ToolkitTest, OptionMenuShowsItsEntriesAndChecksTheChosenOne) {
  Harness h;
  auto* menu = h.add(new COptionMenu(CRect(0, 0, 80, 20), &h, 20, nullptr, nullptr, kCheckStyle));
  for (const char* entry : {"Sine", "Saw", "Square"}) menu->addEntry(entry);
  auto* sub = new COptionMenu(CRect(), nullptr, 0);
  sub->addEntry("Deep");
  sub->addEntry("Deeper");
  menu->addEntry(sub, "More");
  sub->forget();

  std::vector<std::string> seen;
  h.window().setMenuChooser([&](const MenuModel& model, const CPoint&) {
    for (const auto& entry : model.entries) seen.push_back(entry.title);
    return MenuChoice{2};
  });
  h.click(CPoint(10, 10));
  EXPECT_EQ(seen, (std::vector<std::string>{"Sine", "Saw", "Square", "More"}));
  EXPECT_EQ(menu->getValue(), 2.0f);
  EXPECT_TRUE(menu->isCheckEntry(2));
  EXPECT_FALSE(menu->isCheckEntry(0));
  EXPECT_EQ(h.log, (Log{{"begin", 20}, {"value", 20}, {"end", 20}}));
}

// Counts its drawing.
class CountingView : public CView {
 public:
  using CView::CView;
  void draw(CDrawContext* context) override {
    ++draws;
    CView::draw(context);
  }
  int draws = 0;
};

TEST(ToolkitTest, HugeLinesAndTextsDrawOnlyWhatShows) {
  zvx::gui::Surface surface(200, 100, kBackground);
  CDrawContext context(nullptr, surface);
  context.setFrameColor(CColor{255, 0, 0, 255});
  // Two billion pixels long, and a rectangle as wide: only the window's part is walked.
  context.drawLine(CPoint(-2000000000, 50), CPoint(2000000000, 50));
  context.drawLine(CPoint(-2000000000, -2000000000), CPoint(2000000000, 2000000000));
  context.drawRect(CRect(-2000000000, 10, 2000000000, 20));
  for (int x = 0; x < 200; ++x) EXPECT_EQ(surface.at(x, 50), kRed) << x;
  EXPECT_EQ(surface.at(30, 30), kRed);  // the diagonal
  EXPECT_EQ(surface.at(100, 10), kRed);
  EXPECT_EQ(surface.at(100, 15), kBackground);
  // A line inside the window is drawn exactly as before, ends included.
  context.drawLine(CPoint(10, 60), CPoint(60, 85));
  EXPECT_TRUE(surface.at(10, 60) == kRed && surface.at(60, 85) == kRed);
  // Sixteen megabytes of text in a box: its start shows from the box's left edge.
  const std::string huge(16u << 20, 'W');
  context.setFontColor(CColor{255, 255, 255, 255});
  context.drawString(huge.c_str(), CRect(5, 70, 195, 95), false, kCenterText);
  int lit = 0;
  for (int x = 5; x < 12; ++x)
    for (int y = 70; y < 95; ++y) lit += surface.at(x, y) != kBackground;
  EXPECT_GT(lit, 0);
}

// At 200 % every frame pixel is two surface pixels square: fills, plots and lines cover them, text is
// rendered twice as tall (not stretched), and a bitmap draws its twice-as-large art where it has some,
// else itself resampled.
TEST(ToolkitTest, DrawingAtTwiceTheSizeCoversTwiceThePixels) {
  zvx::gui::Surface surface(200, 100, kBackground), plain(100, 50, kBackground);
  CDrawContext context(nullptr, surface, 200), once(nullptr, plain);
  context.setFillColor(CColor{255, 0, 0, 255});
  context.fillRect(CRect(1, 1, 3, 2));
  int red = 0;
  for (zvx::gui::Pixel p : surface.pixels()) red += p == kRed;
  EXPECT_EQ(red, 8);
  EXPECT_TRUE(surface.at(2, 2) == kRed && surface.at(5, 3) == kRed && surface.at(6, 2) == kBackground);
  context.plot(10, 10, kRed);
  EXPECT_TRUE(surface.at(20, 20) == kRed && surface.at(21, 21) == kRed && surface.at(22, 22) == kBackground);
  context.setFrameColor(CColor{255, 0, 0, 255});
  context.drawLine(CPoint(0, 40), CPoint(99, 40));
  EXPECT_TRUE(surface.at(150, 80) == kRed && surface.at(150, 81) == kRed && surface.at(150, 82) == kBackground);

  const auto inkRows = [](const zvx::gui::Surface& s, int top, int bottom) {
    int rows = 0;
    for (int y = top; y < bottom; ++y) {
      bool ink = false;
      for (int x = 0; x < s.width(); ++x) ink = ink || s.at(x, y) != kBackground;
      rows += ink;
    }
    return rows;
  };
  context.setFontColor(CColor{255, 255, 255, 255});
  once.setFontColor(CColor{255, 255, 255, 255});
  context.drawString("Hg", CRect(0, 0, 100, 20));
  once.drawString("Hg", CRect(0, 0, 100, 20));
  const int tall = inkRows(surface, 0, 40), short_ = inkRows(plain, 0, 20);
  EXPECT_GE(tall, 2 * short_ - 2);
  EXPECT_LE(tall, 2 * short_ + 2);
  EXPECT_NEAR(context.getStringWidth("Hg"), once.getStringWidth("Hg"), 1);  // in frame units either way

  // A 2 x 1 bitmap, green then blue; its double art is yellow.
  zvx::gui::Surface art(2, 1);
  art.at(0, 0) = zvx::gui::makePixel(0, 255, 0);
  art.at(1, 0) = zvx::gui::makePixel(0, 0, 255);
  CBitmap bitmap(art);
  zvx::gui::Surface canvas(20, 20, kBackground);
  CDrawContext large(nullptr, canvas, 200);
  bitmap.draw(&large, CRect(1, 1, 3, 2));
  EXPECT_EQ(canvas.at(2, 2), zvx::gui::makePixel(0, 255, 0));  // the ends of a grown image keep their colour
  EXPECT_EQ(canvas.at(5, 3), zvx::gui::makePixel(0, 0, 255));
  EXPECT_EQ(canvas.at(6, 2), kBackground);
  bitmap.setDoubleSize(zvx::gui::Surface(4, 2, zvx::gui::makePixel(255, 255, 0)));
  bitmap.draw(&large, CRect(1, 1, 3, 2));
  for (int y = 2; y < 4; ++y)
    for (int x = 2; x < 6; ++x) EXPECT_EQ(canvas.at(x, y), zvx::gui::makePixel(255, 255, 0));
}

// A frame at 150 %: its surface and what it shows are the scaled size, and the window's pixels map back
// to frame coordinates, so a drag of N window pixels moves a knob as N / 1.5 did at 100 %.
TEST(ToolkitTest, AScaledFrameShowsItsSizeAndMapsTheMouseBack) {
  Harness large(150), plain;
  EXPECT_EQ(large.frame().surface().width(), 300);
  EXPECT_EQ(large.frame().surface().height(), 225);
  auto* knob = large.add(new CKnob(CRect(20, 20, 60, 60), &large, 1, nullptr, nullptr));
  auto* same = plain.add(new CKnob(CRect(20, 20, 60, 60), &plain, 1, nullptr, nullptr));
  knob->setValue(0.5f);
  same->setValue(0.5f);
  large.frame().idle();
  EXPECT_EQ(large.window().takePresented(), CRect(0, 0, 300, 225));
  large.drag(CPoint(60, 60), CPoint(60, 15));  // 45 window pixels up, inside the knob at 40, 40
  plain.drag(CPoint(40, 40), CPoint(40, 10));  // the 30 frame pixels they are
  EXPECT_FLOAT_EQ(knob->getValue(), same->getValue());
  EXPECT_GT(knob->getValue(), 0.5f);
  // A click outside the knob in frame coordinates, though inside its scaled place, misses it.
  large.log.clear();
  large.click(CPoint(95, 95));  // 63, 63 in the frame
  EXPECT_TRUE(large.log.empty());
}

TEST(ToolkitTest, OnlyWhatIsDirtyIsRedrawnAndShown) {
  Harness h;
  auto* knob = h.add(new CKnob(CRect(10, 10, 50, 50), &h, 1, nullptr, nullptr));
  auto* far = h.add(new CountingView(CRect(100, 100, 150, 150)));
  h.frame().idle();
  h.window().takePresented();
  const int drawsBefore = far->draws;
  knob->setValue(0.9f);
  h.frame().idle();
  EXPECT_EQ(far->draws, drawsBefore);
  EXPECT_EQ(h.window().takePresented(), CRect(10, 10, 50, 50));
  h.frame().idle();
  EXPECT_TRUE(h.window().takePresented().isEmpty());
}

}  // namespace
