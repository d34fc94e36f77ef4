#include "skin/SkinHost.h"


namespace zvx {

SkinHost::~SkinHost() { setBackground(nullptr); }

void SkinHost::setBackground(CBitmap* bitmap) {
  if (bitmap) bitmap->remember();
  if (background_) background_->forget();
  background_ = bitmap;
}

long SkinHost::numParams() { return skinInstrument().parameterCount(); }

void SkinHost::resetSkinState() {
  autoDisplays.clear();
  updateLinks.clear();
  menuTags.clear();
  wizardSettings.clear();
  wizardCount = 0;
  aboutCount = 0;
  for (CSplashScreen*& screen : aboutScreens) screen = nullptr;
  infoDisplay = nullptr;
  decodedPixels = 0;
  pixelBudget = 0;
  emptyBitmaps.clear();
  setBackground(nullptr);
}

CSplashScreen* SkinHost::createAboutSplash(const CRect& clickArea, long tag, CBitmap* picture,
                                           const CRect& displayArea) {
  return new CSplashScreen(clickArea, skinListener(), tag, picture, displayArea);
}

}  // namespace zvx
