#include "instrument/DirectControl.h"

#include "engine/Parameters.h"

namespace zvx {

int DirectControl::parameterCount() { return kNumParameters; }

std::string DirectControl::parameterName(int index) {
  char text[Instrument::kTextSize] = {};
  instrument_.parameterName(index, text);
  return text;
}

std::string DirectControl::parameterDisplay(int index) {
  char text[Instrument::kTextSize] = {};
  instrument_.parameterDisplay(index, text);
  return text;
}

std::string DirectControl::programName(int program) {
  char text[Instrument::kTextSize] = {};
  if (program >= 0 && program < Instrument::kNumPrograms) instrument_.programName(program, text);
  return text;
}

}  // namespace zvx
