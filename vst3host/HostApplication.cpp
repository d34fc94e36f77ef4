#include "vst3host/HostApplication.h"

#include "vst3host/Utf16.h"

namespace zvx::vst3host {

vst3::tresult HostApplication::getName(vst3::String128 name) {
  if (!name) return vst3::kInvalidArgument;
  fromUtf8(kName, name);
  return vst3::kResultOk;
}

vst3::tresult HostApplication::createInstance(vst3::TUID, vst3::TUID, void** object) {
  instancesAsked_.fetch_add(1);
  if (object) *object = nullptr;
  return vst3::kNoInterface;
}

}  // namespace zvx::vst3host
