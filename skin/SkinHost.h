// What a skin is built into: an editor that owns a frame, hears its
// controls, reaches the plug-in, and keeps the tables that tie the views to
// parameters, wizard entries and about screens. SkinEditor is the one.
//
// GUI thread only.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "gui/CFrame.h"
#include "gui/COptionMenu.h"
#include "gui/CSplashScreen.h"
#include "gui/CVuMeter.h"
#include "skin/GrowableTable.h"
#include "skin/SkinContext.h"
#include "skin/SkinDisplays.h"


namespace zvx {

struct UpdateLink {
  std::int32_t src;
  std::int32_t dst;
};

struct WizardSetting {
  std::int32_t wizard;
  std::int32_t preset;
  std::int32_t parameter;
  float value;
};

class SkinHost {
 public:
  static constexpr int kMaxAboutScreens = 4;
  // The tags of the views the skin system makes for itself, clear of the
  // parameters' and the instrument's own.
  static constexpr long kInfoDisplayTag = 980;   // the read-out
  static constexpr long kSkinSelectorTag = 999;
  static constexpr long kFirstWizardTag = 1000;  // one per wizard; the editor serves the first four
  static constexpr long kLastWizardTag = 1003;
  static constexpr long kFirstAboutTag = 1020;   // one per about screen

  virtual ~SkinHost();

  // Builds one element: 1 built, 0 failed (a message was shown), -1 unknown
  // name. This base knows the skin system's rows (skinElementRows).
  virtual int createObject(const char* tagName, AttrSet& attrs, SkinContext& context);
  // Fills an option menu that the skin gave no entries.
  virtual void fillMenu(COptionMenu* menu, long id) = 0;
  virtual void vumeterCreated(long /*id*/, CVuMeter* /*meter*/) {}
  // The splash of the skin's first about element; a plain one unless overridden.
  virtual CSplashScreen* createAboutSplash(const CRect& clickArea, long tag, CBitmap* picture, const CRect& displayArea);

  virtual CControlListener* skinListener() = 0;
  virtual CFrameOwner* skinFrameOwner() = 0;
  virtual InstrumentControl& skinInstrument() = 0;
  // The editor's frame, made by the background element in the full pass.
  virtual CFrame* skinFrame() = 0;
  virtual void adoptFrame(CFrame* frame) = 0;
  // The editor's window size, set by the background element in the size pass.
  virtual void setWindowSize(int width, int height) = 0;
  // The scale the frame is made at (percent of the skin's size).
  virtual int skinScale() const { return 100; }

  // The window's background bitmap; the host keeps a hold on it.
  CBitmap* background() const { return background_; }
  void setBackground(CBitmap* bitmap);
  long numParams();

  // Emptied at each open.
  GrowableTable<AutoDisplay*> autoDisplays;
  GrowableTable<UpdateLink> updateLinks;
  GrowableTable<std::int32_t> menuTags;
  int wizardCount = 0;
  GrowableTable<WizardSetting> wizardSettings;
  int aboutCount = 0;
  CSplashScreen* aboutScreens[kMaxAboutScreens] = {};
  TextDisplay* infoDisplay = nullptr;
  // The pixels the last load decoded, and the bitmaps it gave empty for a
  // reason other than a missing or unreadable file.
  std::size_t decodedPixels = 0;
  std::size_t pixelBudget = 0;
  std::vector<EmptyBitmap> emptyBitmaps;
  // The folder the skin was last loaded from (ending with the separator), or
  // empty when no data folder could be found.
  std::string skinFolder;

  // Empties the tables and forgets the background, for a new load.
  void resetSkinState();

 private:
  CBitmap* background_ = nullptr;
};

}  // namespace zvx
