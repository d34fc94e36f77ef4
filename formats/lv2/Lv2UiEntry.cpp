// The UI binary's one entry point, lv2ui_descriptor, and the C calls it hands out.
#include <lv2/data-access/data-access.h>
#include <lv2/instance-access/instance-access.h>
#include <lv2/ui/ui.h>

#include <cstring>
#include <new>

#include "formats/lv2/Lv2Ports.h"
#include "formats/lv2/Lv2Ui.h"

namespace {

using zvx::lv2::Lv2Ui;

Lv2Ui* self(LV2UI_Handle handle) { return static_cast<Lv2Ui*>(handle); }

// Without the instance and its extension data the UI has no instrument to
// show: it declines, and the host shows its own controls for the ports.
LV2UI_Handle instantiate(const LV2UI_Descriptor* /*descriptor*/, const char* pluginUri, const char* /*bundlePath*/,
                         LV2UI_Write_Function write, LV2UI_Controller controller, LV2UI_Widget* widget,
                         const LV2_Feature* const* features) {
  if (!pluginUri || std::strcmp(pluginUri, zvx::lv2::kPluginUri) != 0 || !widget) return nullptr;
  Lv2Ui::Host host;
  host.write = write;
  host.controller = controller;
  const LV2_Extension_Data_Feature* dataAccess = nullptr;
  for (int i = 0; features && features[i]; ++i) {
    const char* uri = features[i]->URI;
    void* data = features[i]->data;
    if (std::strcmp(uri, LV2_UI__parent) == 0) host.parent = data;
    if (std::strcmp(uri, LV2_INSTANCE_ACCESS_URI) == 0) host.instance = data;
    if (std::strcmp(uri, LV2_DATA_ACCESS_URI) == 0) dataAccess = static_cast<const LV2_Extension_Data_Feature*>(data);
    if (std::strcmp(uri, LV2_UI__resize) == 0) host.resize = static_cast<const LV2UI_Resize*>(data);
    if (std::strcmp(uri, LV2_UI__touch) == 0) host.touch = static_cast<const LV2UI_Touch*>(data);
  }
  if (dataAccess && dataAccess->data_access)
    host.access = static_cast<const zvx::lv2::InstanceAccess*>(dataAccess->data_access(zvx::lv2::kInstanceAccessUri));
  Lv2Ui* ui = nullptr;
  try {
    ui = Lv2Ui::open(host).release();
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
  if (ui) *widget = ui->widget();
  return ui;
}

void cleanup(LV2UI_Handle handle) { delete self(handle); }

void portEvent(LV2UI_Handle handle, uint32_t port, uint32_t size, uint32_t format, const void* buffer) {
  self(handle)->portEvent(port, size, format, buffer);
}

int idle(LV2UI_Handle handle) { return self(handle)->idle(); }

const void* extensionData(const char* uri) {
  static const LV2UI_Idle_Interface idleInterface = {idle};
  if (std::strcmp(uri, LV2_UI__idleInterface) == 0) return &idleInterface;
  return nullptr;
}

const LV2UI_Descriptor kDescriptor = {zvx::lv2::kUiUri, instantiate, cleanup, portEvent, extensionData};

}  // namespace

extern "C" __attribute__((visibility("default"))) const LV2UI_Descriptor* lv2ui_descriptor(uint32_t index) {
  return index == 0 ? &kDescriptor : nullptr;
}
