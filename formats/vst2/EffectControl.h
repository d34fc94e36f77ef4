// The editor's road to a VST 2.4 plug-in: every call goes through the
// plug-in's own operations, so the host hears of edits and programs as from
// any VST editor; learning and the trigger lights go to the instrument.
#pragma once

#include "formats/vst2/AudioEffect.h"
#include "instrument/InstrumentControl.h"

namespace zvx {

class Instrument;

class EffectControl : public InstrumentControl {
 public:
  // `instrument` may be null: an effect without learning or lights.
  EffectControl(AudioEffect& effect, Instrument* instrument) : effect_(effect), instrument_(instrument) {}

  int parameterCount() override { return effect_.getAeffect()->numParams; }
  float parameter(int index) override { return effect_.getParameter(index); }
  std::string parameterName(int index) override;
  std::string parameterDisplay(int index) override;
  std::string parameterLabel(int index) override;
  void setParameter(int index, float value) override { effect_.setParameter(index, value); }
  void automateParameter(int index, float value) override { effect_.setParameterAutomated(index, value); }
  void beginEdit(int index) override { effect_.beginEdit(index); }
  void endEdit(int index) override { effect_.endEdit(index); }

  int programCount() override { return effect_.getAeffect()->numPrograms; }
  int program() override { return effect_.getProgram(); }
  void selectProgram(int program) override { effect_.setProgram(program); }
  std::string programName(int program) override;

  void setLearnHook(LearnHook* hook) override;
  int learnedController(int parameter) override;
  void bindController(int parameter, int controller) override;
  void forgetController(int parameter) override;

  bool triggerIndicator(int voice) override;
  void clearTriggerIndicator(int voice) override;

 private:
  AudioEffect& effect_;
  Instrument* instrument_;
};

}  // namespace zvx
