// An editor with no layout of its own: its window is built from the skin at
// every open. It keeps the views and the plug-in's parameters in step both
// ways, serves the wizard menus, the skin selector and the parameter read-out,
// and fills option menus the skin left empty.
//
// Threads: open, close, idle and the views' edits run on the host's GUI
// thread. setParameter may come from any thread (host automation, a learned
// controller on the audio thread): it only records the change, and the next
// idle shows it on the views.
#pragma once

#include <array>
#include <atomic>
#include <thread>

#include "editor/FrameEditor.h"
#include "engine/Parameters.h"
#include "skin/SkinHost.h"

namespace zvx {

class SkinEditor : public FrameEditor, public CControlListener, public SkinHost {
 public:
  // Reads the skin's background for the window size (the size pass).
  explicit SkinEditor(InstrumentControl& instrument);
  ~SkinEditor() override;

  bool open(void* ptr) override;
  void close() override;
  void idle() override;
  void doIdleStuff() override;
  // Any thread: the change is shown at the next idle.
  void setParameter(int index, float value) override;

  void valueChanged(CDrawContext* context, CControl* control) override;

  // Hooks for the instrument's editor.
  virtual void parameterUpdated(long /*index*/, float /*value*/) {}
  virtual void otherControlChanged(CDrawContext* /*context*/, CControl* /*control*/) {}
  void fillMenu(COptionMenu* menu, long id) override;

  // SkinHost
  CControlListener* skinListener() override { return this; }
  CFrameOwner* skinFrameOwner() override { return this; }
  InstrumentControl& skinInstrument() override { return instrument; }
  CFrame* skinFrame() override { return frame; }
  void adoptFrame(CFrame* newFrame) override { frame = newFrame; }
  void setWindowSize(int width, int height) override;
  int skinScale() const override { return scale(); }

  // The skin as built: one line per view, then the editor's tables.
  std::string describe() override;

  // GUI thread: shows a parameter's value on its views now.
  void showParameter(long index, float value);

  // The text of the skin selector's help message, naming the skin folder
  // (`folder`: where the skin was loaded from, with its trailing separator).
  static std::string skinHelpText(const std::string& folder);

 protected:
  // The read-out of the view under the mouse, or the focus view while the
  // left button is held.
  void updateReadOut();
  // Whether the left mouse button is down, as the read-out needs it.
  bool leftButtonDown() const;

 private:
  bool toldTooLarge_ = false;  // the user heard the wanted scale was refused
  void markLinkedViews(long source);
  void showPending();
  COptionMenu* parameterMenu(CControl* control) const;

  // Parameter changes waiting for the GUI thread: one flag and value each.
  std::array<std::atomic<bool>, kNumParameters> pending_{};
  std::array<std::atomic<float>, kNumParameters> pendingValue_{};
  std::atomic<std::thread::id> guiThread_{};
};

}  // namespace zvx
