// The instrument's editor as an LV2 X11 UI, in the host's window and on the
// plug-in instance the host shares with it. What the user does reaches the
// host through its ports: edits are written (between touches), and so are
// the parameters changed inside the instrument (a program, the wizard, a
// learned controller), at the next idle, so that the host's controls and
// automation follow.
//
// Threads: the host's UI thread, as LV2 UIs are called.
#pragma once

#include <lv2/ui/ui.h>

#include <array>
#include <memory>

#include "editor/FrameEditor.h"
#include "engine/Parameters.h"
#include "formats/lv2/Lv2Access.h"

namespace zvx::lv2 {

class Lv2Ui {
 public:
  // What the host gave: its window, the plug-in instance and its access, the
  // port writer; resize and touch where the host has them (else null).
  struct Host {
    void* parent = nullptr;
    LV2_Handle instance = nullptr;
    const InstanceAccess* access = nullptr;
    LV2UI_Write_Function write = nullptr;
    LV2UI_Controller controller = nullptr;
    const LV2UI_Resize* resize = nullptr;
    const LV2UI_Touch* touch = nullptr;
  };

  // The editor opened in the host's window; null when it cannot be.
  static std::unique_ptr<Lv2Ui> open(const Host& host);
  ~Lv2Ui();
  Lv2Ui(const Lv2Ui&) = delete;
  Lv2Ui& operator=(const Lv2Ui&) = delete;

  // The editor's own window inside the host's.
  void* widget() const { return editor_->nativeWindow(); }
  // The host's word on a port: a parameter's value now.
  void portEvent(uint32_t port, uint32_t size, uint32_t format, const void* buffer);
  // Writes what changed inside the instrument, then runs the editor's input
  // and drawing. Non-zero once the editor's window is gone.
  int idle();

 private:
  // The editor's calls: to the instrument, and edits to the host's ports too.
  class HostedControl final : public InstrumentControl {
   public:
    HostedControl(InstrumentControl& instrument, Lv2Ui& ui) : instrument_(instrument), ui_(ui) {}
    int parameterCount() override { return instrument_.parameterCount(); }
    float parameter(int index) override { return instrument_.parameter(index); }
    std::string parameterName(int index) override { return instrument_.parameterName(index); }
    std::string parameterDisplay(int index) override { return instrument_.parameterDisplay(index); }
    std::string parameterLabel(int index) override { return instrument_.parameterLabel(index); }
    void setParameter(int index, float value) override { instrument_.setParameter(index, value); }
    void automateParameter(int index, float value) override;
    void beginEdit(int index) override { ui_.touch(index, true); }
    void endEdit(int index) override { ui_.touch(index, false); }
    int programCount() override { return instrument_.programCount(); }
    int program() override { return instrument_.program(); }
    void selectProgram(int program) override { instrument_.selectProgram(program); }
    std::string programName(int program) override { return instrument_.programName(program); }
    void setLearnHook(LearnHook* hook) override { instrument_.setLearnHook(hook); }
    int learnedController(int parameter) override { return instrument_.learnedController(parameter); }
    void bindController(int parameter, int controller) override { instrument_.bindController(parameter, controller); }
    void forgetController(int parameter) override { instrument_.forgetController(parameter); }
    bool triggerIndicator(int voice) override { return instrument_.triggerIndicator(voice); }
    void clearTriggerIndicator(int voice) override { instrument_.clearTriggerIndicator(voice); }

   private:
    InstrumentControl& instrument_;
    Lv2Ui& ui_;
  };

  Lv2Ui(const Host& host, InstrumentControl& instrument);
  void writePort(int index, float value);
  void touch(int index, bool grabbed);
  // Parameters changed inside the instrument: shown, and written to the host
  // where its port holds another value.
  void writeChanges();

  Host host_;
  HostedControl control_;
  std::unique_ptr<FrameEditor> editor_;
  // What the host's port holds, as far as it told us or we wrote; NaN for unknown.
  std::array<float, kNumParameters> hostValues_;
};

}  // namespace zvx::lv2
