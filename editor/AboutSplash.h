// The about box: the skin's about picture with the credits written over it.
#pragma once

#include "gui/CSplashScreen.h"

namespace zvx {

class AboutSplash : public CSplashScreen {
 public:
  using CSplashScreen::CSplashScreen;

  void draw(CDrawContext* context) override;
  const char* getClassName() const override { return "AboutSplash"; }

  static constexpr int kLines = 6;
  static const char* const kCredits[kLines];
};

}  // namespace zvx
