// The view toolkit on the headless window: controls driven by input events,
// checked by value, listener, edit gestures and pixels drawn. Scaled frames are
// covered by ZvxWindowTest.SizeDragAndTextFollowTheScale.
#include "gui/CBitmap.h"
#include "gui/CDrawContext.h"
#include "gui/CFrame.h"
#include "gui/CKickButton.h"
#include "gui/CKnob.h"
#include "gui/CSlider.h"
#include "gui/CVerticalSwitch.h"
#include "gui/CVuMeter.h"
#include "gui/HeadlessWindow.h"
#include "tests/support/TestSupport.h"

namespace {

using zvx::gui::HeadlessWindow, zvx::gui::makePixel, zvx::gui::Pixel, zvx::gui::Surface;

constexpr Pixel kBackground = makePixel(20, 30, 40);
constexpr Pixel kRed = makePixel(255, 0, 0);
constexpr Pixel kGreen = makePixel(0, 255, 0);
constexpr Pixel kBlue = makePixel(0, 0, 255);

// A film strip of frames stacked vertically, frame i filled with colours[i]; one frame is a solid bitmap.
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
  Harness() {
    auto window = std::make_unique<HeadlessWindow>();
    window_ = window.get();
    frame_ = new CFrame(CRect(0, 0, 200, 150), std::move(window), this, 100);
    frame_->setBackground(new CBitmap(Surface(200, 150, kBackground)));
    frame_->getBackground()->forget();
  }
  ~Harness() { frame_->forget(); }

  void beginEdit(long index) override { log.push_back({"begin", index}); }
  void endEdit(long index) override { log.push_back({"end", index}); }
  void doIdleStuff() override { frame_->idle(); }
  long getKnobMode() const override { return kLinearMode; }
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
  void click(CPoint where, long modifiers = 0) { window_->click(where, modifiers), frame_->processEvents(); }
  void drag(CPoint from, CPoint to, int steps = 8, long modifiers = 0) {
    window_->drag(from, to, steps, modifiers), frame_->processEvents();
  }
  void wheel(CPoint where, float distance) { window_->wheel(where, distance, 0), frame_->processEvents(); }
  // A bitmap the views share, released when the harness is done with it.
  CBitmap* keep(CBitmap* bitmap) {
    bitmaps_.emplace_back(bitmap, [](CBitmap* b) { b->forget(); });
    return bitmap;
  }
  Pixel pixel(int x, int y) { return frame_->surface().at(x, y); }
  CFrame& frame() { return *frame_; }

  Log log;
  std::vector<float> values;

 private:
  std::vector<std::unique_ptr<CBitmap, void (*)(CBitmap*)>> bitmaps_;
  HeadlessWindow* window_;
  CFrame* frame_;
};

TEST(ToolkitTest, KnobDragsWheelsAndResetsInEditGesturesAndDrawsItsHandle) {
  Harness h;
  auto* knob = h.add(new CKnob(CRect(10, 10, 50, 50), &h, 7, nullptr, nullptr));
  knob->setValue(0.5f);
  knob->setDefaultValue(0.25f);
  // Linear: up 20 pixels of 200 (a drag's edit gesture is DrumEditorTest's, on the instrument).
  h.drag(CPoint(30, 30), CPoint(30, 10));
  EXPECT_NEAR(knob->getValue(), 0.6f, 1e-5f);
  h.drag(CPoint(30, 30), CPoint(30, 10), 8, kShift);  // fine: a tenth as far
  EXPECT_NEAR(knob->getValue(), 0.61f, 1e-5f);
  h.drag(CPoint(30, 30), CPoint(30, -400));
  EXPECT_EQ(knob->getValue(), 1.0f);  // bounded

  h.log.clear();
  h.click(CPoint(30, 30), kControl);
  EXPECT_EQ(knob->getValue(), 0.25f);
  EXPECT_EQ(h.log, (Log{{"begin", 7}, {"value", 7}, {"end", 7}}));
  // Each wheel notch is an edit of its own (the steps are ZvxWindowTest.WheelActsByTheKindOfControl's).
  h.log.clear();
  for (int notch = 0; notch < 2; ++notch) h.wheel(CPoint(30, 30), 1.0f);
  EXPECT_EQ(h.log, (Log{{"begin", 7}, {"value", 7}, {"end", 7}, {"begin", 7}, {"value", 7}, {"end", 7}}));

  // The handle sits where the value points, and green is not drawn: a red dot in a green frame.
  Surface dot(6, 6, kGreen);
  for (int y = 1; y < 5; ++y)
    for (int x = 1; x < 5; ++x) dot.at(x, y) = kRed;
  CBitmap* handle = h.keep(new CBitmap(std::move(dot)));
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

// The instrument's own knobs, pads and displays show in DrumEditorTest's picture.
TEST(ToolkitTest, SliderSwitchesKicksAndMeterMoveDrawAndSendWhatTheyShould) {
  Harness h;
  auto* slider = h.add(new CSlider(CRect(10, 100, 110, 110), &h, 4, 10, 100, h.keep(stripBitmap(10, 10, {kRed})), nullptr));
  slider->setValue(0.0f);
  h.frame().idle();
  EXPECT_EQ(h.pixel(12, 105), kRed);
  h.drag(CPoint(15, 105), CPoint(60, 105));  // the handle by 45 of 90 pixels
  EXPECT_NEAR(slider->getValue(), 0.5f, 1e-5f);
  EXPECT_EQ(h.pixel(58, 105), kRed);
  EXPECT_TRUE(h.log.front().first == "begin" && h.log.back().first == "end");
  h.wheel(CPoint(60, 105), -1.0f);
  EXPECT_NEAR(slider->getValue(), 0.49f, 1e-5f);

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
  // A VU meter lights from the bottom.
  auto* meter = h.add(new CVuMeter(CRect(120, 0, 130, 40), h.keep(stripBitmap(10, 40, {kRed})), h.keep(stripBitmap(10, 40, {kBlue})), 4));
  meter->setValue(0.5f);
  h.frame().idle();
  EXPECT_TRUE(h.pixel(125, 35) == kRed && h.pixel(125, 5) == kBlue);
}

// At 200 % a bitmap draws its twice-as-large art where it has some, else
// itself resampled; how the instrument's editor looks at 200 % is the reviewed
// picture (ZvxWindowTest.SizeDragAndTextFollowTheScale).
TEST(ToolkitTest, BitmapsAtTwiceTheSizeDrawTheirLargerArtOrThemselvesGrown) {
  // A 2 x 1 bitmap, green then blue, whose double art is yellow.
  Surface art(2, 1, kGreen);
  art.at(1, 0) = kBlue;
  CBitmap bitmap(art);
  Surface canvas(20, 20, kBackground);
  CDrawContext large(nullptr, canvas, 200);
  bitmap.draw(&large, CRect(1, 1, 3, 2));
  EXPECT_TRUE(canvas.at(2, 2) == kGreen && canvas.at(5, 3) == kBlue && canvas.at(6, 2) == kBackground);
  bitmap.setDoubleSize(Surface(4, 2, makePixel(255, 255, 0)));
  bitmap.draw(&large, CRect(1, 1, 3, 2));
  for (int y = 2; y < 4; ++y)
    for (int x = 2; x < 6; ++x) EXPECT_EQ(canvas.at(x, y), makePixel(255, 255, 0));
}

}  // namespace
