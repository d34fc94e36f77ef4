// A minimal VST 2.4 instrument without chunks, for testing hosts against: two
// parameters, three named programs, and two outputs that carry the current
// program's parameter values as constant levels, so a render shows which
// values were played.
#include <algorithm>
#include <array>
#include <cstdio>
#include <string>

#include "host/vst/AudioEffectX.h"

namespace {

class PlainInstrument : public AudioEffectX {
 public:
  explicit PlainInstrument(audioMasterCallback master) : AudioEffectX(master, 3, 2) {
    setUniqueID(fourCharCode("PlIn"));
    cEffect.version = 3;
    setNumInputs(0);
    setNumOutputs(2);
    canProcessReplacing();
    isSynth();
    for (std::size_t p = 0; p < programs_.size(); ++p) programs_[p].name = "Plain " + std::to_string(p);
  }

  void processReplacing(float**, float** outputs, VstInt32 frames) override {
    for (std::size_t c = 0; c < 2; ++c) std::fill(outputs[c], outputs[c] + frames, program().values[c]);
  }
  void setParameter(VstInt32 index, float value) override {
    if (index >= 0 && index < 2) program().values[static_cast<std::size_t>(index)] = value;
  }
  float getParameter(VstInt32 index) override {
    return index >= 0 && index < 2 ? program().values[static_cast<std::size_t>(index)] : 0.0f;
  }
  void getParameterName(VstInt32 index, char* text) override { std::snprintf(text, 8, "%s", index ? "Right" : "Left"); }
  void setProgramName(char* name) override { program().name = std::string(name).substr(0, 23); }
  void getProgramName(char* name) override { std::snprintf(name, 24, "%s", program().name.c_str()); }
  bool getProgramNameIndexed(VstInt32, VstInt32 index, char* text) override {
    if (index < 0 || index >= 3) return false;
    std::snprintf(text, 24, "%s", programs_[static_cast<std::size_t>(index)].name.c_str());
    return true;
  }

 private:
  struct Program {
    std::array<float, 2> values{0.1f, 0.2f};
    std::string name;
  };
  Program& program() { return programs_[static_cast<std::size_t>(curProgram.load())]; }
  std::array<Program, 3> programs_;
};

}  // namespace

extern "C" __attribute__((visibility("default"))) AEffect* VSTPluginMain(audioMasterCallback master) {
  return (new PlainInstrument(master))->getAeffect();
}
