// Base of every plug-in editor, with the operations and defaults hosts reach
// through the editor opcodes. The toolkit's AEffGUIEditor builds on it.
#pragma once

#include "formats/vst2/VstAbi.h"

class AudioEffect;

class AEffEditor {
 public:
  explicit AEffEditor(AudioEffect* effect = nullptr) : effect(effect) {}
  virtual ~AEffEditor() = default;
  AEffEditor(const AEffEditor&) = delete;
  AEffEditor& operator=(const AEffEditor&) = delete;

  virtual AudioEffect* getEffect() { return effect; }
  // The rectangle stays owned by the editor; hosts ask before and after open.
  virtual bool getRect(ERect** rect) {
    *rect = nullptr;
    return false;
  }
  virtual bool open(void* ptr) {
    systemWindow = ptr;
    return false;
  }
  virtual void close() { systemWindow = nullptr; }
  virtual bool isOpen() { return systemWindow != nullptr; }
  virtual void idle() {}
  virtual bool setKnobMode(VstInt32 /*mode*/) { return false; }
  virtual bool onKeyDown(VstKeyCode& /*keyCode*/) { return false; }
  virtual bool onKeyUp(VstKeyCode& /*keyCode*/) { return false; }
  virtual bool onWheel(float /*distance*/) { return false; }
  // Called by the plug-in's parameter setter; GUI editors move the matching view.
  virtual void setParameter(VstInt32 /*index*/, float /*value*/) {}
  // One call of the headless protocol (HeadlessProtocol.h); 0 when not served.
  virtual VstIntPtr headless(VstIntPtr /*op*/, void* /*data*/) { return 0; }

 protected:
  AudioEffect* effect;
  void* systemWindow = nullptr;
};
