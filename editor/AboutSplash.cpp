#include "editor/AboutSplash.h"

#include "gui/CDrawContext.h"

namespace zvx {

const char* const AboutSplash::kCredits[kLines] = {
    "ZVX Drum Synthesizer",
    "Synth design and DSP Code the ZVX developers",
    "Skinable GUI System the ZVX developers",
    "GUI design and Graphics the ZVX developers",
    "Presets by: the ZVX sound team",
    "VST Plug-In Technology by Steinberg",
};

void AboutSplash::draw(CDrawContext* context) {
  if (getValue() == 0.0f) return;
  CSplashScreen::draw(context);
  // The lines sit at fixed heights above the bottom of the shown picture's
  // size, measured from the top of the window, and a fifth of the width
  // left of its centre, where the about art leaves room for them.
  const int width = size.width();
  const int height = size.height();
  const int left = displayRect().left - static_cast<int>(width / 5.7);
  static const int kFromBottom[kLines] = {160, 140, 105, 80, 55, 38};
  context->setFont(kNormalFontSmall, 10, kBoldFace);
  context->setFontColor(CColor{255, 255, 255, 255});
  for (int line = 0; line < kLines; ++line) {
    const int top = height - kFromBottom[line];
    context->drawString(kCredits[line], CRect(left, top, left + width, top + 15), false, kCenterText);
  }
}

}  // namespace zvx
