#include "formats/vst2/AudioEffect.h"

#include <algorithm>
#include <cstring>

// The C entry points stored in the AEffect; each finds its object in `object`.
struct AudioEffectEntry {
  static AudioEffect* self(AEffect* e) { return static_cast<AudioEffect*>(e->object); }

  static VstIntPtr VSTCALLBACK dispatch(AEffect* e, VstInt32 opcode, VstInt32 index, VstIntPtr value,
                                        void* ptr, float opt) {
    AudioEffect* effect = self(e);
    if (opcode == effClose) {
      effect->dispatcher(opcode, index, value, ptr, opt);
      delete effect;
      return 1;
    }
    return effect->dispatcher(opcode, index, value, ptr, opt);
  }
  static void VSTCALLBACK processReplacing(AEffect* e, float** inputs, float** outputs, VstInt32 frames) {
    self(e)->processReplacing(inputs, outputs, frames);
  }
  static void VSTCALLBACK processDoubleReplacing(AEffect* e, double** inputs, double** outputs,
                                                 VstInt32 frames) {
    self(e)->processDoubleReplacing(inputs, outputs, frames);
  }
  static void VSTCALLBACK process(AEffect* e, float** inputs, float** outputs, VstInt32 frames) {
    self(e)->processAccumulating(inputs, outputs, frames);
  }
  static void VSTCALLBACK setParameter(AEffect* e, VstInt32 index, float value) {
    self(e)->setParameter(index, value);
  }
  static float VSTCALLBACK getParameter(AEffect* e, VstInt32 index) { return self(e)->getParameter(index); }
};

AudioEffect::AudioEffect(audioMasterCallback audioMaster, VstInt32 numPrograms, VstInt32 numParams)
    : audioMaster(audioMaster), numPrograms(numPrograms), numParams(numParams) {
  cEffect.magic = kEffectMagic;
  cEffect.dispatcher = &AudioEffectEntry::dispatch;
  // A distinct accumulating entry: some hosts compare it with processReplacing.
  cEffect.process = &AudioEffectEntry::process;
  cEffect.setParameter = &AudioEffectEntry::setParameter;
  cEffect.getParameter = &AudioEffectEntry::getParameter;
  cEffect.numPrograms = numPrograms;
  cEffect.numParams = numParams;
  cEffect.numInputs = 1;
  cEffect.numOutputs = 2;
  cEffect.ioRatio = 1.0f;
  cEffect.object = this;
  cEffect.uniqueID = fourCharCode("NoEf");
  cEffect.version = 1;
  cEffect.processReplacing = &AudioEffectEntry::processReplacing;
  cEffect.processDoubleReplacing = &AudioEffectEntry::processDoubleReplacing;
  canProcessReplacing();
  reserveAccumulator(blockSize);
}

AudioEffect::~AudioEffect() { delete editor; }

void AudioEffect::setFlag(VstInt32 flag, bool state) {
  flags = state ? (flags | flag) : (flags & ~flag);
  cEffect.flags = flags;
}

void AudioEffect::setNumOutputs(VstInt32 outputs) {
  cEffect.numOutputs = outputs;
  reserveAccumulator(blockSize);
}

void AudioEffect::setEditor(AEffEditor* newEditor) {
  editor = newEditor;
  setFlag(effFlagsHasEditor, editor != nullptr);
}

VstIntPtr AudioEffect::callHost(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt) {
  if (!audioMaster) return 0;
  return audioMaster(&cEffect, opcode, index, value, ptr, opt);
}

VstInt32 AudioEffect::getMasterVersion() {
  if (!audioMaster) return 1;
  VstInt32 version = static_cast<VstInt32>(audioMaster(nullptr, audioMasterVersion, 0, 0, nullptr, 0.0f));
  return version == 0 ? 1 : version;  // old hosts answer 0 and mean 1
}

void AudioEffect::setParameterAutomated(VstInt32 index, float value) {
  setParameter(index, value);
  callHost(audioMasterAutomate, index, 0, nullptr, value);
}

bool AudioEffect::beginEdit(VstInt32 index) { return callHost(audioMasterBeginEdit, index) != 0; }
bool AudioEffect::endEdit(VstInt32 index) { return callHost(audioMasterEndEdit, index) != 0; }

void AudioEffect::reserveAccumulator(VstInt32 frames) {
  VstInt32 channels = std::max<VstInt32>(cEffect.numOutputs, 0);
  frames = std::max<VstInt32>(frames, 0);
  accumulator.assign(static_cast<size_t>(channels) * static_cast<size_t>(frames), 0.0f);
  accumulatorFrames = frames;
}

// The deprecated accumulating process: render replacing into scratch, add into
// the host's buffers. Blocks longer than the scratch are rendered in parts.
void AudioEffect::processAccumulating(float** inputs, float** outputs, VstInt32 sampleFrames) {
  VstInt32 channels = cEffect.numOutputs;
  if (sampleFrames <= 0 || channels <= 0 || accumulatorFrames <= 0) return;
  constexpr int kMaxChannels = 32;
  float* scratch[kMaxChannels];
  channels = std::min(channels, kMaxChannels);
  for (VstInt32 c = 0; c < channels; ++c) scratch[c] = accumulator.data() + static_cast<size_t>(c) * accumulatorFrames;
  for (VstInt32 done = 0; done < sampleFrames;) {
    VstInt32 part = std::min(sampleFrames - done, accumulatorFrames);
    processReplacing(inputs, scratch, part);
    for (VstInt32 c = 0; c < channels; ++c)
      for (VstInt32 i = 0; i < part; ++i) outputs[c][done + i] += scratch[c][i];
    done += part;
  }
}

VstIntPtr AudioEffect::dispatcher(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt) {
  switch (opcode) {
    case effOpen:
      open();
      return 0;
    case effClose:
      close();
      return 0;
    case effSetProgram:
      if (value >= 0 && value < numPrograms) setProgram(static_cast<VstInt32>(value));
      return 0;
    case effGetProgram:
      return getProgram();
    case effSetProgramName:
      if (ptr) setProgramName(static_cast<char*>(ptr));
      return 0;
    case effGetProgramName:
      if (ptr) getProgramName(static_cast<char*>(ptr));
      return 0;
    case effGetParamLabel:
      if (ptr) getParameterLabel(index, static_cast<char*>(ptr));
      return 0;
    case effGetParamDisplay:
      if (ptr) getParameterDisplay(index, static_cast<char*>(ptr));
      return 0;
    case effGetParamName:
      if (ptr) getParameterName(index, static_cast<char*>(ptr));
      return 0;
    case effSetSampleRate:
      setSampleRate(opt);
      return 0;
    case effSetBlockSize:
      setBlockSize(static_cast<VstInt32>(value));
      if (value > accumulatorFrames && value <= (1 << 20)) reserveAccumulator(static_cast<VstInt32>(value));
      return 0;
    case effMainsChanged:
      if (value)
        resume();
      else
        suspend();
      return 0;
    case effEditGetRect:
      if (editor && ptr) return editor->getRect(static_cast<ERect**>(ptr)) ? 1 : 0;
      return 0;
    case effEditOpen:
      if (!editor) return 0;
      // isOpen fails when no window could be made in the host's parent.
      if (editor->open(ptr) && editor->isOpen()) {
        editor->idle();  // the first picture, before the host shows the window
        return 1;
      }
      editor->close();  // nothing half-built stays behind
      return 0;
    case effEditClose:
      if (editor) {
        editor->close();
        return 1;
      }
      return 0;
    case effEditIdle:
      if (editor) editor->idle();
      return 0;
    case effIdentify:
      return fourCharCode("NvEf");
    case effGetChunk:
      if (!ptr) return 0;
      return getChunk(static_cast<void**>(ptr), index != 0);
    case effSetChunk:
      if (!ptr || value < 0 || value > INT32_MAX) return 0;
      return setChunk(ptr, static_cast<VstInt32>(value), index != 0);
    default:
      return 0;
  }
}
