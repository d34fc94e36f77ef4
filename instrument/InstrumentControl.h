// What an editor may do with the instrument it shows, whatever front door it
// came through. The front door implements it so that its host hears of what
// the user does: edits are recorded as automation, between begin and end.
//
// Threads: the editor's GUI thread, except learn-map binding, which comes
// from the audio thread (see LearnHook).
#pragma once

#include <string>

namespace zvx {

// What the editor does with a controller message before the learn map is
// consulted: an armed learn control binds the controller.
class LearnHook {
 public:
  // Audio thread; `midiData` holds the event's status, controller and value.
  virtual void learnController(const char* midiData) = 0;

 protected:
  ~LearnHook() = default;
};

class InstrumentControl {
 public:
  static constexpr int kUnbound = -1;  // a parameter no controller moves

  virtual int parameterCount() = 0;
  virtual float parameter(int index) = 0;
  virtual std::string parameterName(int index) = 0;
  virtual std::string parameterDisplay(int index) = 0;
  virtual std::string parameterLabel(int index) = 0;
  // Sets a parameter as the host itself would (pads, wizard settings).
  virtual void setParameter(int index, float value) = 0;
  // A user's edit on a control: sets it and lets the host record it.
  virtual void automateParameter(int index, float value) = 0;
  virtual void beginEdit(int index) = 0;
  virtual void endEdit(int index) = 0;

  virtual int programCount() = 0;
  virtual int program() = 0;
  virtual void selectProgram(int program) = 0;
  virtual std::string programName(int program) = 0;

  // MIDI learn: the hook sees every controller message (null for none); the
  // map binds controllers to parameters.
  virtual void setLearnHook(LearnHook* hook) = 0;
  virtual int learnedController(int parameter) = 0;
  virtual void bindController(int parameter, int controller) = 0;
  virtual void forgetController(int parameter) = 0;

  // Any thread: whether a voice was hit since its light was last cleared.
  virtual bool triggerIndicator(int voice) = 0;
  virtual void clearTriggerIndicator(int voice) = 0;

 protected:
  ~InstrumentControl() = default;
};

}  // namespace zvx
