// A minimal VST 2.4 instrument without chunks, for testing hosts against: two
// parameters shown in percent, three named programs (named through the
// current one only, as the SDK's defaults leave it), and two outputs that
// carry the current program's parameter values as constant levels, so a
// render shows which values were played. After a note 127 it turns faulty:
// the left output plays 1.5 (above full scale), the right one NaN.
#include <algorithm>
#include <array>
#include <cstdio>
#include <limits>
#include <string>

#include "formats/vst2/AudioEffectX.h"

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
    std::fill(outputs[0], outputs[0] + frames, faulty_ ? 1.5f : program().values[0]);
    std::fill(outputs[1], outputs[1] + frames, faulty_ ? std::numeric_limits<float>::quiet_NaN() : program().values[1]);
  }
  VstInt32 processEvents(VstEvents* events) override {
    for (VstInt32 i = 0; i < events->numEvents; ++i) {
      const auto* midi = reinterpret_cast<const VstMidiEvent*>(eventSlots(*events)[i]);
      if (midi->type == kVstMidiType && (midi->midiData[0] & 0xF0) == 0x90 && midi->midiData[1] == 127) faulty_ = true;
    }
    return 1;
  }
  void setParameter(VstInt32 index, float value) override {
    if (index >= 0 && index < 2) program().values[static_cast<std::size_t>(index)] = value;
  }
  float getParameter(VstInt32 index) override {
    return index >= 0 && index < 2 ? program().values[static_cast<std::size_t>(index)] : 0.0f;
  }
  void getParameterName(VstInt32 index, char* text) override { std::snprintf(text, 8, "%s", index ? "Right" : "Left"); }
  void getParameterDisplay(VstInt32 index, char* text) override {
    std::snprintf(text, 8, "%.1f", static_cast<double>(getParameter(index)) * 100.0);
  }
  void getParameterLabel(VstInt32, char* label) override { std::snprintf(label, 8, "%%"); }
  void setProgramName(char* name) override { program().name = std::string(name).substr(0, 23); }
  void getProgramName(char* name) override { std::snprintf(name, 24, "%s", program().name.c_str()); }

 private:
  struct Program {
    std::array<float, 2> values{0.1f, 0.2f};
    std::string name;
  };
  Program& program() { return programs_[static_cast<std::size_t>(curProgram.load())]; }
  std::array<Program, 3> programs_;
  bool faulty_ = false;
};

}  // namespace

extern "C" __attribute__((visibility("default"))) AEffect* VSTPluginMain(audioMasterCallback master) {
  return (new PlainInstrument(master))->getAeffect();
}
