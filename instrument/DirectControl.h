// The editor's calls straight onto an instrument, for a front door whose host
// hears of the user's edits by a road of its own (the LV2 UI writes them to
// the host's ports): an edit sets the parameter, begin and end are the front
// door's to pass on.
#pragma once

#include "instrument/Instrument.h"
#include "instrument/InstrumentControl.h"

namespace zvx {

class DirectControl : public InstrumentControl {
 public:
  explicit DirectControl(Instrument& instrument) : instrument_(instrument) {}
  virtual ~DirectControl() = default;

  int parameterCount() override;
  float parameter(int index) override { return instrument_.parameter(index); }
  std::string parameterName(int index) override;
  std::string parameterDisplay(int index) override;
  std::string parameterLabel(int /*index*/) override { return {}; }
  void setParameter(int index, float value) override { instrument_.setParameter(index, value); }
  void automateParameter(int index, float value) override { instrument_.setParameter(index, value); }
  void beginEdit(int /*index*/) override {}
  void endEdit(int /*index*/) override {}

  int programCount() override { return Instrument::kNumPrograms; }
  int program() override { return instrument_.program(); }
  void selectProgram(int program) override { instrument_.setProgram(program); }
  std::string programName(int program) override;

  void setLearnHook(LearnHook* hook) override { instrument_.setLearnHook(hook); }
  int learnedController(int parameter) override { return instrument_.learnedController(parameter); }
  void bindController(int parameter, int controller) override { instrument_.bindController(parameter, controller); }
  void forgetController(int parameter) override { instrument_.forgetController(parameter); }

  bool triggerIndicator(int voice) override { return instrument_.triggerIndicator(voice); }
  void clearTriggerIndicator(int voice) override { instrument_.clearTriggerIndicator(voice); }

 private:
  Instrument& instrument_;
};

}  // namespace zvx
