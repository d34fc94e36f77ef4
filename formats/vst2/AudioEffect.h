// The VST 1.0 half of the plug-in base class: owns the AEffect record handed to
// the host, routes the host's calls to virtual operations and keeps the SDK's
// defaults for everything a plug-in does not override.
//
// Threads: the dispatcher runs on the host's GUI thread, processReplacing and
// processEvents on its audio thread; sampleRate, blockSize and curProgram are
// atomics because both sides read them.
#pragma once

#include <atomic>
#include <memory>
#include <vector>

#include "formats/vst2/AEffEditor.h"
#include "formats/vst2/VstAbi.h"

class AudioEffect {
 public:
  AudioEffect(audioMasterCallback audioMaster, VstInt32 numPrograms, VstInt32 numParams);
  virtual ~AudioEffect();
  AudioEffect(const AudioEffect&) = delete;
  AudioEffect& operator=(const AudioEffect&) = delete;

  virtual VstIntPtr dispatcher(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt);

  virtual void open() {}
  virtual void close() {}
  virtual void suspend() {}
  virtual void resume() {}

  virtual float getSampleRate() { return sampleRate; }
  virtual void setSampleRate(float rate) { sampleRate = rate; }
  virtual VstInt32 getBlockSize() { return blockSize; }
  virtual void setBlockSize(VstInt32 size) { blockSize = size; }

  virtual void processReplacing(float** inputs, float** outputs, VstInt32 sampleFrames) = 0;
  virtual void processDoubleReplacing(double** /*inputs*/, double** /*outputs*/, VstInt32 /*sampleFrames*/) {}

  virtual void setParameter(VstInt32 /*index*/, float /*value*/) {}
  virtual float getParameter(VstInt32 /*index*/) { return 0.0f; }
  // Sets the parameter and tells the host, which records it as automation.
  virtual void setParameterAutomated(VstInt32 index, float value);

  virtual VstInt32 getProgram() { return curProgram; }
  virtual void setProgram(VstInt32 program) { curProgram = program; }
  virtual void setProgramName(char* /*name*/) {}
  virtual void getProgramName(char* name) { *name = 0; }
  virtual void getParameterLabel(VstInt32 /*index*/, char* label) { *label = 0; }
  virtual void getParameterDisplay(VstInt32 /*index*/, char* text) { *text = 0; }
  virtual void getParameterName(VstInt32 /*index*/, char* text) { *text = 0; }

  virtual VstInt32 getChunk(void** /*data*/, bool /*isPreset*/ = false) { return 0; }
  virtual VstInt32 setChunk(void* /*data*/, VstInt32 /*byteSize*/, bool /*isPreset*/ = false) { return 0; }

  virtual void setUniqueID(VstInt32 id) { cEffect.uniqueID = id; }
  virtual void setNumInputs(VstInt32 inputs) { cEffect.numInputs = inputs; }
  virtual void setNumOutputs(VstInt32 outputs);
  virtual void canProcessReplacing(bool state = true) { setFlag(effFlagsCanReplacing, state); }
  virtual void canDoubleReplacing(bool state = true) { setFlag(effFlagsCanDoubleReplacing, state); }
  virtual void programsAreChunks(bool state = true) { setFlag(effFlagsProgramChunks, state); }
  virtual void setInitialDelay(VstInt32 delay) { cEffect.initialDelay = delay; }

  virtual void setEditor(AEffEditor* newEditor);
  virtual AEffEditor* getEditor() { return editor; }
  virtual AEffect* getAeffect() { return &cEffect; }

  // Calls into the host.
  virtual VstInt32 getMasterVersion();
  virtual bool beginEdit(VstInt32 index);
  virtual bool endEdit(VstInt32 index);

 protected:
  // Our own copy of the flags: some hosts mask the AEffect's flags in place.
  void setFlag(VstInt32 flag, bool state);
  bool hasFlag(VstInt32 flag) const { return (flags & flag) != 0; }
  VstIntPtr callHost(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0, void* ptr = nullptr,
                     float opt = 0.0f);

  audioMasterCallback audioMaster;
  AEffEditor* editor = nullptr;
  std::atomic<float> sampleRate{44100.0f};
  std::atomic<VstInt32> blockSize{1024};
  VstInt32 numPrograms;
  VstInt32 numParams;
  std::atomic<VstInt32> curProgram{0};
  AEffect cEffect{};

 private:
  void processAccumulating(float** inputs, float** outputs, VstInt32 sampleFrames);
  void reserveAccumulator(VstInt32 frames);

  VstInt32 flags = 0;
  // Scratch for the deprecated accumulating process(); sized off the audio thread.
  std::vector<float> accumulator;
  VstInt32 accumulatorFrames = 0;

  friend struct AudioEffectEntry;
};
