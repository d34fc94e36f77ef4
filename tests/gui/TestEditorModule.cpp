// The editor test plug-in as a module of its own, for running zvx-view on it.
#include "tests/gui/TestEditorPlugin.h"

extern "C" __attribute__((visibility("default"))) AEffect* VSTPluginMain(audioMasterCallback master) {
  return zvx::test::testEditorPluginEntry(master);
}
