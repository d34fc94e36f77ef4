#include "tests/gui/TestEditorPlugin.h"

#include <array>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <string>

#include "editor/FrameEditor.h"
#include "formats/vst2/VstEditor.h"
#include "gui/CFrame.h"
#include "gui/CKnob.h"
#include "gui/COnOffButton.h"
#include "gui/COptionMenu.h"

namespace zvx::test {
namespace {

class TestEditor : public FrameEditor, public CControlListener {
 public:
  explicit TestEditor(InstrumentControl& instrument) : FrameEditor(instrument) { setSize(kEditorWidth, kEditorHeight); }

  bool open(void* ptr) override {
    FrameEditor::open(ptr);
    frame = new CFrame(CRect(0, 0, kEditorWidth, kEditorHeight), ptr, this);
    auto* background = new CBitmap(gui::Surface(kEditorWidth, kEditorHeight, kEditorBackground));
    frame->setBackground(background);
    background->forget();

    knob_ = new CKnob(kKnobRect, this, 0, nullptr, nullptr);
    knob_->setValue(instrument.parameter(0));
    frame->addView(knob_);

    gui::Surface states(kButtonRect.width(), 2 * kButtonRect.height(), kButtonOff);
    for (int y = kButtonRect.height(); y < states.height(); ++y)
      for (int x = 0; x < states.width(); ++x) states.at(x, y) = kButtonOn;
    auto* strip = new CBitmap(std::move(states));
    button_ = new COnOffButton(kButtonRect, this, 1, strip);
    strip->forget();
    button_->setValue(instrument.parameter(1));
    frame->addView(button_);

    auto* menu = new COptionMenu(kMenuRect, this, 2, nullptr, nullptr, kCheckStyle);
    for (const char* entry : {"Soft", "Medium", "-", "Hard"}) menu->addEntry(entry);
    menu->setCurrent(0);
    auto* more = new COptionMenu(CRect(), this, 3);
    for (const char* entry : {"Huge", "Tiny"}) more->addEntry(entry);
    menu->addEntry(more, "More");
    more->forget();
    frame->addView(menu);
    return true;
  }

  void valueChanged(CDrawContext*, CControl* control) override {
    const long tag = control->getTag();
    float value = control->getValue();
    if (tag >= 2) value = static_cast<float>(static_cast<COptionMenu*>(control)->getCurrent()) / 10.0f;
    instrument.automateParameter(static_cast<int>(tag), value);
  }

  void setParameter(int index, float value) override {
    if (!frame) return;
    if (index == 0) knob_->setValue(value);
    if (index == 1) button_->setValue(value);
  }

 private:
  CKnob* knob_ = nullptr;
  COnOffButton* button_ = nullptr;
};

// The plug-in: four stored parameters, two silent outputs, the editor above
// on the same road as ZVX's (an edit tells the host, which records it).
class TestEditorPlugin final : public InstrumentControl {
 public:
  explicit TestEditorPlugin(audioMasterCallback master) : master_(master) {
    effect_.magic = kEffectMagic;
    effect_.dispatcher = [](AEffect* e, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt) {
      return self(e).dispatch(opcode, index, value, ptr, opt);
    };
    effect_.processReplacing = [](AEffect*, float**, float** outputs, VstInt32 frames) {
      for (int channel = 0; channel < 2; ++channel)
        std::memset(outputs[channel], 0, sizeof(float) * static_cast<std::size_t>(frames));
    };
    effect_.setParameter = [](AEffect* e, VstInt32 index, float value) { self(e).setParameter(index, value); };
    effect_.getParameter = [](AEffect* e, VstInt32 index) { return self(e).parameter(index); };
    effect_.numPrograms = 1;
    effect_.numParams = 4;
    effect_.numOutputs = 2;
    effect_.flags = effFlagsHasEditor | effFlagsCanReplacing | effFlagsIsSynth;
    effect_.ioRatio = 1.0f;
    effect_.object = this;
    effect_.uniqueID = 0x5a565854;  // 'ZVXT'
    effect_.version = 1;
    editor_ = std::make_unique<vst2::VstEditor>(std::make_unique<TestEditor>(*this), [this](int width, int height) {
      master_(&effect_, audioMasterSizeWindow, width, height, nullptr, 0.0f);
    });
  }
  AEffect* effect() { return &effect_; }
  CFrame* frame() { return editor_->frameEditor().getFrame(); }

  // InstrumentControl
  int parameterCount() override { return 4; }
  float parameter(int index) override { return index >= 0 && index < 4 ? parameters_[static_cast<std::size_t>(index)] : 0.0f; }
  std::string parameterName(int index) override {
    char name[16];
    std::snprintf(name, sizeof name, "P%d", index);
    return name;
  }
  std::string parameterDisplay(int index) override { return std::to_string(parameter(index)); }
  std::string parameterLabel(int) override { return {}; }
  void setParameter(int index, float value) override {
    if (index < 0 || index >= 4) return;
    parameters_[static_cast<std::size_t>(index)] = value;
    editor_->setParameter(index, value);
  }
  void automateParameter(int index, float value) override {
    setParameter(index, value);
    master_(&effect_, audioMasterAutomate, index, 0, nullptr, value);
  }
  void beginEdit(int index) override { master_(&effect_, audioMasterBeginEdit, index, 0, nullptr, 0.0f); }
  void endEdit(int index) override { master_(&effect_, audioMasterEndEdit, index, 0, nullptr, 0.0f); }
  int programCount() override { return 1; }
  int program() override { return 0; }
  void selectProgram(int) override {}
  std::string programName(int) override { return "Test"; }
  void setLearnHook(LearnHook*) override {}
  int learnedController(int) override { return kUnbound; }
  void bindController(int, int) override {}
  void forgetController(int) override {}
  bool triggerIndicator(int) override { return false; }
  void clearTriggerIndicator(int) override {}

 private:
  static TestEditorPlugin& self(AEffect* e) { return *static_cast<TestEditorPlugin*>(e->object); }
  VstIntPtr dispatch(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt) {
    if (opcode == effClose) {
      delete this;
      return 1;
    }
    if (const std::optional<VstIntPtr> answered = editor_->dispatch(opcode, index, value, ptr, opt)) return *answered;
    return 0;
  }

  audioMasterCallback master_;
  AEffect effect_{};
  std::array<float, 4> parameters_{};
  std::unique_ptr<vst2::VstEditor> editor_;
};

}  // namespace

AEffect* VSTCALLBACK testEditorPluginEntry(audioMasterCallback master) { return (new TestEditorPlugin(master))->effect(); }

CFrame* testEditorFrame(AEffect* effect) { return static_cast<TestEditorPlugin*>(effect->object)->frame(); }

}  // namespace zvx::test
