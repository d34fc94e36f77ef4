// An in-process plug-in for editors and skins: the instrument's parameters,
// named as it names them, stored as given and passed on to its editor.
#pragma once

#include <array>
#include <cstdio>

#include "host/vst/AudioEffectX.h"
#include "plugin/ParameterTable.h"

namespace zvx::test {

class TestEffect : public AudioEffectX {
 public:
  TestEffect() : AudioEffectX(nullptr, 1, kNumParameters) {
    for (std::size_t p = 0; p < values.size(); ++p) values[p] = kParameterTable[p].defaultValue;
  }
  void processReplacing(float**, float**, VstInt32) override {}
  void setParameter(VstInt32 index, float value) override {
    if (index >= 0 && index < kNumParameters) values[static_cast<std::size_t>(index)] = value;
    if (editor) editor->setParameter(index, value);
  }
  float getParameter(VstInt32 index) override {
    return index >= 0 && index < kNumParameters ? values[static_cast<std::size_t>(index)] : 0.0f;
  }
  void getParameterName(VstInt32 index, char* text) override {
    std::snprintf(text, 17, "%s", index >= 0 && index < kNumParameters ? kParameterTable[static_cast<std::size_t>(index)].name : "");
  }
  void getParameterDisplay(VstInt32 index, char* text) override {
    std::snprintf(text, 16, "%.3f", static_cast<double>(getParameter(index)));
  }
  std::array<float, kNumParameters> values{};
};

}  // namespace zvx::test
