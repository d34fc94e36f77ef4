// A minimal VST 2.4 instrument without chunks, for testing hosts against: two
// parameters shown in percent, three named programs (named through the
// current one only, as the SDK's defaults leave it), and two outputs that
// carry the current program's parameter values as constant levels, so a
// render shows which values were played. After a note 127 it turns faulty:
// the left output plays 1.5 (above full scale), the right one NaN.
#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <limits>
#include <string>

#include "formats/vst2/VstAbi.h"

namespace {

class PlainInstrument {
 public:
  explicit PlainInstrument(audioMasterCallback master) : master_(master) {
    effect_.magic = kEffectMagic;
    effect_.dispatcher = [](AEffect* e, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float) {
      return self(e).dispatch(opcode, index, value, ptr);
    };
    effect_.processReplacing = [](AEffect* e, float**, float** outputs, VstInt32 frames) {
      self(e).processReplacing(outputs, frames);
    };
    effect_.setParameter = [](AEffect* e, VstInt32 index, float value) {
      if (index >= 0 && index < 2) self(e).program().values[static_cast<std::size_t>(index)] = value;
    };
    effect_.getParameter = [](AEffect* e, VstInt32 index) { return self(e).parameter(index); };
    effect_.numPrograms = 3;
    effect_.numParams = 2;
    effect_.numOutputs = 2;
    effect_.flags = effFlagsCanReplacing | effFlagsIsSynth;
    effect_.ioRatio = 1.0f;
    effect_.object = this;
    effect_.uniqueID = fourCharCode("PlIn");
    effect_.version = 3;
    for (std::size_t p = 0; p < programs_.size(); ++p) programs_[p].name = "Plain " + std::to_string(p);
  }
  AEffect* effect() { return &effect_; }

 private:
  struct Program {
    std::array<float, 2> values{0.1f, 0.2f};
    std::string name;
  };
  static PlainInstrument& self(AEffect* e) { return *static_cast<PlainInstrument*>(e->object); }
  Program& program() { return programs_[static_cast<std::size_t>(current_)]; }
  float parameter(VstInt32 index) { return index >= 0 && index < 2 ? program().values[static_cast<std::size_t>(index)] : 0.0f; }

  void processReplacing(float** outputs, VstInt32 frames) {
    std::fill(outputs[0], outputs[0] + frames, faulty_ ? 1.5f : program().values[0]);
    std::fill(outputs[1], outputs[1] + frames, faulty_ ? std::numeric_limits<float>::quiet_NaN() : program().values[1]);
  }

  VstIntPtr dispatch(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr) {
    char* text = static_cast<char*>(ptr);
    switch (opcode) {
      case effClose:
        delete this;
        return 1;
      case effSetProgram:
        if (value >= 0 && value < 3) current_ = static_cast<int>(value);
        return 0;
      case effGetProgram: return current_;
      case effSetProgramName:
        if (text) program().name = std::string(text, strnlen(text, 23));
        return 0;
      case effGetProgramName:
        if (text) std::snprintf(text, 24, "%s", program().name.c_str());
        return 0;
      case effGetParamName:
        if (text) std::snprintf(text, 8, "%s", index ? "Right" : "Left");
        return 0;
      case effGetParamDisplay:
        if (text) std::snprintf(text, 8, "%.1f", static_cast<double>(parameter(index)) * 100.0);
        return 0;
      case effGetParamLabel:
        if (text) std::snprintf(text, 8, "%%");
        return 0;
      case effMainsChanged:
        if (value && master_) master_(&effect_, audioMasterWantMidi, 0, 1, nullptr, 0.0f);
        return 0;
      case effProcessEvents:
        if (!ptr) return 0;
        for (VstInt32 i = 0; i < static_cast<VstEvents*>(ptr)->numEvents; ++i) {
          const auto* midi = reinterpret_cast<const VstMidiEvent*>(eventSlots(*static_cast<VstEvents*>(ptr))[i]);
          if (midi && midi->type == kVstMidiType && (midi->midiData[0] & 0xF0) == 0x90 && midi->midiData[1] == 127)
            faulty_ = true;
        }
        return 1;
      case effGetPlugCategory: return kPlugCategSynth;
      case effGetVstVersion: return kVstVersion;
      default: return 0;
    }
  }

  audioMasterCallback master_;
  AEffect effect_{};
  std::array<Program, 3> programs_;
  int current_ = 0;
  bool faulty_ = false;
};

}  // namespace

extern "C" __attribute__((visibility("default"))) AEffect* VSTPluginMain(audioMasterCallback master) {
  return (new PlainInstrument(master))->effect();
}
