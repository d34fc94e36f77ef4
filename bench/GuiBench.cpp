// Drawing costs of the toolkit on the headless window: a whole editor-sized
// frame, and one knob that changed.
#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

#include "gui/CFrame.h"
#include "gui/CKnob.h"
#include "gui/CParamDisplay.h"
#include "gui/HeadlessWindow.h"

namespace {

using zvx::gui::makePixel;
using zvx::gui::Surface;

// An 800 x 500 frame with a background, 48 film-strip knobs of 64 frames and
// 24 text displays: about what a full skin holds.
struct EditorLikeFrame {
  EditorLikeFrame() {
    frame = new CFrame(CRect(0, 0, 800, 500), std::make_unique<zvx::gui::HeadlessWindow>(), nullptr);
    Surface background(800, 500);
    for (int y = 0; y < 500; ++y)
      for (int x = 0; x < 800; ++x) background.at(x, y) = makePixel(x % 256, y % 256, 90);
    auto* backgroundBitmap = new CBitmap(std::move(background));
    frame->setBackground(backgroundBitmap);
    backgroundBitmap->forget();
    Surface strip(40, 40 * 64);
    for (int y = 0; y < strip.height(); ++y)
      for (int x = 0; x < 40; ++x) strip.at(x, y) = (x - 20) * (x - 20) + (y % 40 - 20) * (y % 40 - 20) < 300
                                                       ? makePixel(200, (y / 40) * 4, 40)
                                                       : makePixel(0, 255, 0);
    auto* stripBitmap = new CBitmap(std::move(strip));
    stripBitmap->setTransparentColor(kGreenCColor);
    for (int i = 0; i < 48; ++i) {
      auto* knob = new CAnimKnob(CRect(0, 0, 40, 40).offset(20 + (i % 12) * 64, 40 + (i / 12) * 110), nullptr, i,
                                 64, 40, stripBitmap);
      knob->setValue(static_cast<float>(i) / 47.0f);
      frame->addView(knob);
      knobs.push_back(knob);
    }
    stripBitmap->forget();
    for (int i = 0; i < 24; ++i) {
      auto* display = new CParamDisplay(CRect(0, 0, 60, 14).offset(20 + (i % 12) * 64, 90 + (i / 12) * 220));
      display->setValue(static_cast<float>(i) / 24.0f);
      display->setTransparency(true);
      frame->addView(display);
    }
    frame->redraw();
  }
  ~EditorLikeFrame() { frame->forget(); }
  CFrame* frame;
  std::vector<CKnob*> knobs;
};

void BM_DrawFullFrame(benchmark::State& state) {
  EditorLikeFrame editor;
  for (auto _ : state) editor.frame->redraw();
}
BENCHMARK(BM_DrawFullFrame)->Unit(benchmark::kMicrosecond);

void BM_DrawOneDirtyKnob(benchmark::State& state) {
  EditorLikeFrame editor;
  float value = 0.0f;
  for (auto _ : state) {
    value = value > 0.98f ? 0.0f : value + 0.02f;
    editor.knobs[17]->setValue(value);
    editor.frame->idle();
  }
}
BENCHMARK(BM_DrawOneDirtyKnob)->Unit(benchmark::kMicrosecond);

}  // namespace
