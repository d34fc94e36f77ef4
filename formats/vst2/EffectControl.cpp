#include "formats/vst2/EffectControl.h"

#include "formats/vst2/AudioEffectX.h"
#include "instrument/Instrument.h"

namespace zvx {
namespace {

// Room for any text a plug-in writes, however much the interface allows.
constexpr std::size_t kTextRoom = 256;

}  // namespace

std::string EffectControl::parameterName(int index) {
  char text[kTextRoom] = {};
  effect_.getParameterName(index, text);
  return text;
}

std::string EffectControl::parameterDisplay(int index) {
  char text[kTextRoom] = {};
  effect_.getParameterDisplay(index, text);
  return text;
}

std::string EffectControl::parameterLabel(int index) {
  char text[kTextRoom] = {};
  effect_.getParameterLabel(index, text);
  return text;
}

std::string EffectControl::programName(int program) {
  char text[kTextRoom] = {};
  if (auto* effectX = dynamic_cast<AudioEffectX*>(&effect_))
    effectX->getProgramNameIndexed(0, program, text);
  else if (program == effect_.getProgram())
    effect_.getProgramName(text);
  return text;
}

void EffectControl::setLearnHook(LearnHook* hook) {
  if (instrument_) instrument_->setLearnHook(hook);
}

int EffectControl::learnedController(int parameter) {
  return instrument_ ? instrument_->learnedController(parameter) : kUnbound;
}

void EffectControl::bindController(int parameter, int controller) {
  if (instrument_) instrument_->bindController(parameter, controller);
}

void EffectControl::forgetController(int parameter) {
  if (instrument_) instrument_->forgetController(parameter);
}

bool EffectControl::triggerIndicator(int voice) { return instrument_ && instrument_->triggerIndicator(voice); }

void EffectControl::clearTriggerIndicator(int voice) {
  if (instrument_) instrument_->clearTriggerIndicator(voice);
}

}  // namespace zvx
