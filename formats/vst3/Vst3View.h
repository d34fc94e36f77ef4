// The editor in a VST3 host's window: the X11 window it embeds on Linux, its
// HWND on Windows. Input and drawing run at a timer of the host's run loop
// on Linux (hosts lend theirs), of the thread's message loop on Windows; the
// host's content scale picks the editor's size unless the user chose one.
//
// Threads: the host's UI thread.
#pragma once

#include <atomic>
#include <memory>

#include "editor/FrameEditor.h"
#include "formats/vst3/Vst3Abi.h"
#include "platform/GuiTimer.h"

namespace zvx::vst3 {

class Vst3Plugin;

class Vst3View final : public IPlugView, public IPlugViewContentScaleSupport, public ITimerHandler {
 public:
  static constexpr unsigned kTickMilliseconds = 20;

  // Holds a reference to the plug-in, whose editor it shows.
  Vst3View(Vst3Plugin& plugin, FrameEditor& editor);

  // FUnknown
  tresult ZVX_VST3_API queryInterface(const TUID iid, void** object) override;
  uint32 ZVX_VST3_API addRef() override;
  uint32 ZVX_VST3_API release() override;

  // IPlugView
  tresult ZVX_VST3_API isPlatformTypeSupported(FIDString type) override;
  tresult ZVX_VST3_API attached(void* parent, FIDString type) override;
  tresult ZVX_VST3_API removed() override;
  tresult ZVX_VST3_API onWheel(float distance) override;
  tresult ZVX_VST3_API onKeyDown(char16 key, int16 keyCode, int16 modifiers) override;
  tresult ZVX_VST3_API onKeyUp(char16, int16, int16) override { return kResultFalse; }
  tresult ZVX_VST3_API getSize(ViewRect* size) override;
  tresult ZVX_VST3_API onSize(ViewRect* newSize) override;
  tresult ZVX_VST3_API onFocus(TBool) override { return kResultOk; }
  tresult ZVX_VST3_API setFrame(IPlugFrame* frame) override;
  tresult ZVX_VST3_API canResize() override { return kResultFalse; }
  tresult ZVX_VST3_API checkSizeConstraint(ViewRect* rect) override;

  // IPlugViewContentScaleSupport
  tresult ZVX_VST3_API setContentScaleFactor(float factor) override;

  // ITimerHandler
  void ZVX_VST3_API onTimer() override;

 private:
  ~Vst3View();
  Vst3View(const Vst3View&) = delete;
  Vst3View& operator=(const Vst3View&) = delete;
  ViewRect rect() const;
  void startTicking();
  void stopTicking();

  std::atomic<uint32> references_{1};
  Vst3Plugin& plugin_;
  FrameEditor& editor_;
  IPlugFrame* frame_ = nullptr;  // the host's, not held
  IRunLoop* runLoop_ = nullptr;  // held while the timer runs
  std::unique_ptr<platform::GuiTimer> timer_;
  bool attached_ = false;
};

}  // namespace zvx::vst3
