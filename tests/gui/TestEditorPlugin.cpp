#include "tests/gui/TestEditorPlugin.h"

#include <array>
#include <cstring>

#include "editor/FrameEditor.h"
#include "formats/vst2/AEffGUIEditor.h"
#include "formats/vst2/AudioEffectX.h"
#include "formats/vst2/EffectControl.h"
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

class TestEditorPlugin : public AudioEffectX {
 public:
  explicit TestEditorPlugin(audioMasterCallback master) : AudioEffectX(master, 1, 4) {
    setUniqueID(0x5a565854);  // 'ZVXT'
    setNumInputs(0);
    setNumOutputs(2);
    canProcessReplacing();
    isSynth();
    setEditor(new AEffGUIEditor(this, std::make_unique<TestEditor>(control_)));
  }

  void processReplacing(float** /*inputs*/, float** outputs, VstInt32 frames) override {
    for (int channel = 0; channel < 2; ++channel)
      std::memset(outputs[channel], 0, sizeof(float) * static_cast<std::size_t>(frames));
  }

  void setParameter(VstInt32 index, float value) override {
    if (index < 0 || index >= 4) return;
    parameters_[static_cast<std::size_t>(index)] = value;
    if (editor) editor->setParameter(index, value);
  }

  float getParameter(VstInt32 index) override {
    return index >= 0 && index < 4 ? parameters_[static_cast<std::size_t>(index)] : 0.0f;
  }

 private:
  EffectControl control_{*this, nullptr};
  std::array<float, 4> parameters_{};
};

}  // namespace

AEffect* VSTCALLBACK testEditorPluginEntry(audioMasterCallback master) {
  return (new TestEditorPlugin(master))->getAeffect();
}

}  // namespace zvx::test
