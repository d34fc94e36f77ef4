// An instrument for editors and skins: the instrument's parameters, named as
// it names them, stored as given; no programs, learning or lights.
#pragma once

#include <array>
#include <cstdio>

#include "instrument/InstrumentControl.h"
#include "instrument/ParameterTable.h"

namespace zvx::test {

class TestInstrument : public InstrumentControl {
 public:
  TestInstrument() {
    for (std::size_t p = 0; p < values.size(); ++p) values[p] = kParameterTable[p].defaultValue;
  }
  int parameterCount() override { return kNumParameters; }
  float parameter(int index) override { return valid(index) ? values[static_cast<std::size_t>(index)] : 0.0f; }
  std::string parameterName(int index) override { return valid(index) ? kParameterTable[static_cast<std::size_t>(index)].name : ""; }
  std::string parameterDisplay(int index) override {
    char text[16];
    std::snprintf(text, sizeof text, "%.3f", static_cast<double>(parameter(index)));
    return text;
  }
  std::string parameterLabel(int /*index*/) override { return ""; }
  void setParameter(int index, float value) override {
    if (valid(index)) values[static_cast<std::size_t>(index)] = value;
  }
  void automateParameter(int index, float value) override { setParameter(index, value); }
  void beginEdit(int /*index*/) override {}
  void endEdit(int /*index*/) override {}
  int programCount() override { return 1; }
  int program() override { return 0; }
  void selectProgram(int /*program*/) override {}
  std::string programName(int /*program*/) override { return ""; }
  void setLearnHook(LearnHook* /*hook*/) override {}
  int learnedController(int /*parameter*/) override { return kUnbound; }
  void bindController(int /*parameter*/, int /*controller*/) override {}
  void forgetController(int /*parameter*/) override {}
  bool triggerIndicator(int /*voice*/) override { return false; }
  void clearTriggerIndicator(int /*voice*/) override {}

  std::array<float, kNumParameters> values{};

 private:
  static bool valid(int index) { return index >= 0 && index < kNumParameters; }
};

}  // namespace zvx::test
