#include "editor/SkinEditor.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "editor/MidiLearnControl.h"
#include "gui/CDrawContext.h"
#include "platform/Messages.h"
#include "skin/SkinDocument.h"
#include "skin/SkinDump.h"

namespace zvx {

SkinEditor::SkinEditor(InstrumentControl& instrument) : FrameEditor(instrument) {
  for (auto& flag : pending_) flag.store(false, std::memory_order_relaxed);
  LoadSkin(*this, nullptr, true);
  // The window alone must fit before any of it is made; the art is counted at open.
  useScale(fittingScale(wantedScale(), 0));
}

SkinEditor::~SkinEditor() { SkinEditor::close(); }

void SkinEditor::setWindowSize(int width, int height) { setSize(width, height); }

// The skin's messages belong to the editor's window. A skin too large for
// the scale wanted (its window and its art, drawn at that scale) is shown at
// the largest scale it fits, and the user is told once.
bool SkinEditor::open(void* ptr) {
  FrameEditor::open(ptr);
  platform::MessageOwner owner(ptr);
  guiThread_.store(std::this_thread::get_id());
  for (auto& flag : pending_) flag.store(false, std::memory_order_relaxed);
  resetSkinState();
  bool loaded = LoadSkin(*this, ptr, false);
  setArtPixels(decodedPixels);
  const int fitting = fittingScale(scale(), decodedPixels);
  if (fitting != scale()) {
    // Rebuilt before the first drawing, which is what makes the scaled art.
    useScale(fitting);
    FrameEditor::close();
    FrameEditor::open(ptr);
    resetSkinState();
    loaded = LoadSkin(*this, ptr, false);
    requestResize();
  }
  if (scale() != wantedScale() && !toldTooLarge_) {
    toldTooLarge_ = true;
    char text[200];
    std::snprintf(text, sizeof text, "The skin is too large to show at %d %%; it is shown at %d %%.", wantedScale(),
                  scale());
    platform::showMessage(text, "Skin too large");
  }
  return loaded;
}


void SkinEditor::close() {
  guiThread_.store(std::thread::id());
  FrameEditor::close();
  resetSkinState();
}

void SkinEditor::setParameter(int index, float value) {
  if (index < 0 || index >= kNumParameters) return;
  // Only the GUI thread may look at the frame; others leave the value for idle.
  if (std::this_thread::get_id() == guiThread_.load() && frame) {
    showParameter(index, value);
    return;
  }
  pendingValue_[static_cast<std::size_t>(index)].store(value, std::memory_order_relaxed);
  pending_[static_cast<std::size_t>(index)].store(true, std::memory_order_release);
}

// An option menu of the skin's parameter menus; a control of another kind that
// shares its tag shows and sends plain values.
COptionMenu* SkinEditor::parameterMenu(CControl* control) const {
  auto* menu = dynamic_cast<COptionMenu*>(control);
  if (!menu) return nullptr;
  for (std::int32_t menuTag : menuTags)
    if (menuTag == menu->getTag()) return menu;
  return nullptr;
}

// One walk over the views whatever the number of links.
void SkinEditor::markLinkedViews(long source) {
  std::vector<long> targets;
  for (const UpdateLink& link : updateLinks)
    if (link.src == source) targets.push_back(link.dst);
  if (targets.empty()) return;
  std::sort(targets.begin(), targets.end());
  for (long i = 0; i < frame->getNbViews(); ++i)
    if (auto* control = dynamic_cast<CControl*>(frame->getView(i));
        control && std::binary_search(targets.begin(), targets.end(), control->getTag()))
      control->setDirty(true);
}

// The first view with the parameter's tag shows the value (option menus as an
// entry, on/off buttons as on or off); its first auto display and the views
// linked to it are redrawn.
void SkinEditor::showParameter(long index, float value) {
  if (!frame) return;
  const long parameters = numParams();
  for (long i = 0; i < frame->getNbViews(); ++i) {
    auto* control = dynamic_cast<CControl*>(frame->getView(i));
    if (!control || control->getTag() >= parameters || control->getTag() != index) continue;
    for (AutoDisplay* display : autoDisplays) {
      if (display->link() == index) {
        display->setDirty(true);
        break;
      }
    }
    if (auto* menu = parameterMenu(control)) {
      // The entry the menu was built with for this value, which is also the
      // sample file the value plays (the integer part of 7 x value for eight):
      // rounding here showed the next file for values between two entries.
      const float entries = static_cast<float>(menu->getNbEntries());
      menu->setValue(static_cast<float>(static_cast<int>((entries - 1.0f) * value)));
    } else if (control->isTypeOf("COnOffButton")) {
      control->setValue(value >= 0.5f ? 1.0f : 0.0f);
    } else {
      control->setValue(value);
    }
    control->setDirty(true);
    markLinkedViews(index);
    break;
  }
  parameterUpdated(index, value);
}

void SkinEditor::valueChanged(CDrawContext* context, CControl* control) {
  const long tag = control->getTag();
  if (tag < numParams() && tag >= 0) {
    if (auto* menu = parameterMenu(control)) {
      const long last = menu->getNbEntries() - 1;
      if (last != 0)
        instrument.automateParameter(static_cast<int>(tag), control->getValue() / static_cast<float>(last));
    } else {
      instrument.automateParameter(static_cast<int>(tag), control->getValue());
    }
  } else if (tag >= kFirstWizardTag && tag <= kLastWizardTag) {
    const long wizard = tag - kFirstWizardTag;
    const long preset = static_cast<long>(control->getValue());
    for (const WizardSetting& setting : wizardSettings)
      if (setting.wizard == wizard && setting.preset == preset) instrument.setParameter(setting.parameter, setting.value);
    control->setValue(0.0f);
  } else if (tag == kSkinSelectorTag) {
    platform::MessageOwner owner(systemWindow);
    platform::showMessage(skinHelpText(skinFolder), "SKIN SELECTOR!");
  } else {
    otherControlChanged(context, control);
  }
  if (frame) markLinkedViews(tag);
  // Drawn by the frame, with what lies behind it, and shown in the window.
  control->setDirty(true);
}

void SkinEditor::showPending() {
  for (long p = 0; p < kNumParameters; ++p)
    if (pending_[static_cast<std::size_t>(p)].exchange(false, std::memory_order_acquire))
      showParameter(p, pendingValue_[static_cast<std::size_t>(p)].load(std::memory_order_relaxed));
}

void SkinEditor::idle() {
  if (!frame) return;
  showPending();
  FrameEditor::idle();
  updateReadOut();
  // What the read-out now says is drawn at once.
  if (frame) frame->idle();
}

// While a control follows the mouse, the read-out and changes from other
// threads are shown as they come.
void SkinEditor::doIdleStuff() {
  if (!frame) return;
  showPending();
  updateReadOut();
  FrameEditor::doIdleStuff();
}

bool SkinEditor::leftButtonDown() const { return frame && (frame->mouseButtons() & kLButton) != 0; }

void SkinEditor::updateReadOut() {
  if (!frame || !infoDisplay) return;
  CView* view = frame->getFocusView() && leftButtonDown() ? frame->getFocusView() : frame->getCurrentView();
  auto* control = dynamic_cast<CControl*>(view);
  if (!control) {
    infoDisplay->setText("Parameter Value");
    return;
  }
  long tag = control->getTag();
  if (tag & MidiLearnControl::kTagBit) tag &= 0xFFFF;  // a learn control reads as its parameter
  if (tag < 0 || tag >= numParams()) {
    infoDisplay->setText("Parameter Value");
    return;
  }
  const int index = static_cast<int>(tag);
  const std::string text = instrument.parameterName(index) + ": " + instrument.parameterDisplay(index) + " " +
                           instrument.parameterLabel(index);
  infoDisplay->setText(text.c_str());
  infoDisplay->setHoriAlign(kLeftText);
}

void SkinEditor::fillMenu(COptionMenu* menu, long /*id*/) {
  auto* submenu = new COptionMenu(CRect(), this, 444, nullptr, nullptr, 0);
  submenu->addEntry("Subby");
  submenu->addEntry("Subby2");
  for (const char* entry : {"You", "must", "add", "your", "menu", "handler"}) menu->addEntry(entry);
  menu->addEntry(submenu, "sub");
  submenu->forget();
  menu->setValue(0.0f);
}

std::string SkinEditor::describe() { return dumpSkin(*this); }

// In plain lines: no control characters but the line feeds between them.
std::string SkinEditor::skinHelpText(const std::string& folder) {
  const std::string skin = folder.empty() ? std::string("the 'skin' folder in ZVX's data folder (which could not be found)")
                                          : folder.substr(0, folder.size() - 1);
  return "How to change the skin:\n"
         "Close the plug-in, then replace the folder\n" +
         skin +
         "\n"
         "with the new 'skin' folder you want to use, and load the plug-in again.\n"
         "The available skins are provided inside zip archives.\n"
         "For any question please visit our company forum at https://zvx.audio/forum";
}

}  // namespace zvx
