// The module's entry points: VSTPluginMain, also exported as `main` for hosts
// that look for the old name.
#include "editor/DrumEditor.h"
#include "formats/vst2/VstPlugin.h"

#if defined(_WIN32)
#define ZVX_EXPORT __declspec(dllexport)
#else
#define ZVX_EXPORT __attribute__((visibility("default")))
#endif

// A host too old to answer its version gets no plug-in.
extern "C" ZVX_EXPORT AEffect* VSTPluginMain(audioMasterCallback audioMaster) {
  if (!audioMaster || audioMaster(nullptr, audioMasterVersion, 0, 0, nullptr, 0.0f) == 0) return nullptr;
  return zvx::vst2::VstPlugin::create(audioMaster, &zvx::DrumEditor::create);
}

#if !defined(_WIN32)
// C++ forbids declaring `main` with C linkage, so the alias is an assembler name.
extern "C" ZVX_EXPORT AEffect* vstPluginMainAlias(audioMasterCallback audioMaster) __asm__("main");
extern "C" AEffect* vstPluginMainAlias(audioMasterCallback audioMaster) { return VSTPluginMain(audioMaster); }
#endif
