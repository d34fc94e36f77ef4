// The module's entry points: the factory, and the entry and exit functions
// hosts call around it (ModuleEntry and ModuleExit on Linux, InitDll and
// ExitDll on Windows). Nothing else is exported.
#include "editor/DrumEditor.h"
#include "formats/vst3/Vst3Factory.h"

#if defined(_WIN32)
#define ZVX_EXPORT __declspec(dllexport)
#else
#define ZVX_EXPORT __attribute__((visibility("default")))
#endif

namespace {

zvx::vst3::Vst3Factory& factory() {
  static zvx::vst3::Vst3Factory instance(&zvx::DrumEditor::create);
  return instance;
}

}  // namespace

extern "C" {

ZVX_EXPORT zvx::vst3::IPluginFactory* ZVX_VST3_API GetPluginFactory() { return &factory(); }

// The module keeps nothing that needs making or unmaking around the factory.
#if defined(_WIN32)
ZVX_EXPORT bool InitDll() { return true; }
ZVX_EXPORT bool ExitDll() { return true; }
#else
ZVX_EXPORT bool ModuleEntry(void*) { return true; }
ZVX_EXPORT bool ModuleExit() { return true; }
#endif
}
