// The bundle's one entry point, lv2_descriptor, and the C calls it hands out.
#include <lv2/core/lv2.h>
#include <lv2/options/options.h>
#include <lv2/parameters/parameters.h>
#include <lv2/state/state.h>
#include <lv2/urid/urid.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <new>

#include "engine/SampleRate.h"
#include "formats/lv2/Lv2Access.h"
#include "formats/lv2/Lv2Plugin.h"

namespace {

using zvx::lv2::Lv2Plugin;

Lv2Plugin* self(LV2_Handle handle) { return static_cast<Lv2Plugin*>(handle); }

// The host's sample rate option, when it gives one as a number; else the instantiation rate.
double sampleRateOption(const LV2_Options_Option* options, LV2_URID_Map& map, double fallback) {
  if (!options) return fallback;
  const LV2_URID key = map.map(map.handle, LV2_PARAMETERS__sampleRate);
  const LV2_URID floatType = map.map(map.handle, LV2_ATOM__Float);
  const LV2_URID doubleType = map.map(map.handle, LV2_ATOM__Double);
  for (; options->key != 0; ++options) {
    if (options->key != key || !options->value) continue;
    if (options->type == floatType && options->size == sizeof(float)) return *static_cast<const float*>(options->value);
    if (options->type == doubleType && options->size == sizeof(double))
      return *static_cast<const double*>(options->value);
  }
  return fallback;
}

LV2_Handle instantiate(const LV2_Descriptor* /*descriptor*/, double rate, const char* /*bundlePath*/,
                       const LV2_Feature* const* features) {
  LV2_URID_Map* map = nullptr;
  const LV2_Options_Option* options = nullptr;
  for (int i = 0; features && features[i]; ++i) {
    if (std::strcmp(features[i]->URI, LV2_URID__map) == 0) map = static_cast<LV2_URID_Map*>(features[i]->data);
    if (std::strcmp(features[i]->URI, LV2_OPTIONS__options) == 0)
      options = static_cast<const LV2_Options_Option*>(features[i]->data);
  }
  if (!map) return nullptr;
  // A host offering a rate no interface gives gets no instance rather than nonsense.
  const double sampleRate = sampleRateOption(options, *map, rate);
  if (!zvx::isUsableSampleRate(sampleRate)) return nullptr;
  return new (std::nothrow) Lv2Plugin(sampleRate, *map);
}

void connectPort(LV2_Handle handle, uint32_t port, void* data) { self(handle)->connectPort(port, data); }
void activate(LV2_Handle /*handle*/) {}
void run(LV2_Handle handle, uint32_t frames) { self(handle)->run(frames); }
void deactivate(LV2_Handle handle) { self(handle)->deactivate(); }
void cleanup(LV2_Handle handle) { delete self(handle); }

LV2_State_Status saveState(LV2_Handle handle, LV2_State_Store_Function store, LV2_State_Handle state,
                           uint32_t /*flags*/, const LV2_Feature* const* /*features*/) {
  return self(handle)->save(store, state);
}

LV2_State_Status restoreState(LV2_Handle handle, LV2_State_Retrieve_Function retrieve, LV2_State_Handle state,
                              uint32_t /*flags*/, const LV2_Feature* const* /*features*/) {
  return self(handle)->restore(retrieve, state);
}

// Ardour's note-name extension: the host frees what it is handed with `free`.
constexpr const char* kMidnamInterface = "http://ardour.org/lv2/midnam#interface";
struct MidnamInterface {
  char* (*midnam)(LV2_Handle instance);
  char* (*model)(LV2_Handle instance);
  void (*free)(char* text);
};

char* copied(const std::string& text) {
  char* copy = static_cast<char*>(std::malloc(text.size() + 1));
  if (copy) std::memcpy(copy, text.c_str(), text.size() + 1);
  return copy;
}
char* midnam(LV2_Handle handle) { return copied(self(handle)->noteNames()); }
char* midnamModel(LV2_Handle handle) { return copied(self(handle)->noteModel()); }
void midnamFree(char* text) { std::free(text); }

zvx::InstrumentControl* control(LV2_Handle handle) { return &self(handle)->control(); }
bool takeChange(LV2_Handle handle, int index) { return self(handle)->takeChange(index); }

const void* extensionData(const char* uri) {
  static const LV2_State_Interface state = {saveState, restoreState};
  static const zvx::lv2::InstanceAccess access = {control, takeChange};
  if (std::strcmp(uri, LV2_STATE__interface) == 0) return &state;
  if (std::strcmp(uri, zvx::lv2::kInstanceAccessUri) == 0) return &access;
  static const MidnamInterface names = {midnam, midnamModel, midnamFree};
  if (std::strcmp(uri, kMidnamInterface) == 0) return &names;
  return nullptr;
}

const LV2_Descriptor kDescriptor = {zvx::lv2::kPluginUri, instantiate, connectPort, activate,
                                    run,                  deactivate,  cleanup,     extensionData};

}  // namespace

extern "C" __attribute__((visibility("default"))) const LV2_Descriptor* lv2_descriptor(uint32_t index) {
  return index == 0 ? &kDescriptor : nullptr;
}
