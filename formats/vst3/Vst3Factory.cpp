#include "formats/vst3/Vst3Factory.h"

#include <algorithm>
#include <cstring>

#include "formats/vst3/Vst3Description.h"

namespace zvx::vst3 {
namespace {

template <std::size_t N>
void copyText(char (&to)[N], const char* text) {
  const std::size_t length = std::min(std::strlen(text), N - 1);
  std::memcpy(to, text, length);
  to[length] = 0;
}

const char* version() { return ZVX_VERSION; }

}  // namespace

tresult Vst3Factory::queryInterface(const TUID iid, void** object) {
  if (!object) return kInvalidArgument;
  if (FUnknown::iid.is(iid) || IPluginFactory::iid.is(iid) || IPluginFactory2::iid.is(iid) ||
      IPluginFactory3::iid.is(iid)) {
    *object = this;
    return kResultOk;
  }
  *object = nullptr;
  return kNoInterface;
}

tresult Vst3Factory::getFactoryInfo(PFactoryInfo* info) {
  if (!info) return kInvalidArgument;
  std::memset(info, 0, sizeof *info);
  copyText(info->vendor, kVendor);
  copyText(info->url, kUrl);
  copyText(info->email, kEmail);
  info->flags = PFactoryInfo::kUnicode;
  return kResultOk;
}

tresult Vst3Factory::getClassInfo(int32 index, PClassInfo* info) {
  if (index != 0 || !info) return kInvalidArgument;
  std::memset(info, 0, sizeof *info);
  Vst3Plugin::kClassId.copyTo(info->cid);
  info->cardinality = PClassInfo::kManyInstances;
  copyText(info->category, kVstAudioEffectClass);
  copyText(info->name, kName);
  return kResultOk;
}

tresult Vst3Factory::getClassInfo2(int32 index, PClassInfo2* info) {
  if (index != 0 || !info) return kInvalidArgument;
  std::memset(info, 0, sizeof *info);
  Vst3Plugin::kClassId.copyTo(info->cid);
  info->cardinality = PClassInfo::kManyInstances;
  copyText(info->category, kVstAudioEffectClass);
  copyText(info->name, kName);
  info->classFlags = kSimpleModeSupported;
  copyText(info->subCategories, kSubCategories);
  copyText(info->vendor, kVendor);
  copyText(info->version, version());
  copyText(info->sdkVersion, kSdkVersionString);
  return kResultOk;
}

tresult Vst3Factory::getClassInfoUnicode(int32 index, PClassInfoW* info) {
  if (index != 0 || !info) return kInvalidArgument;
  std::memset(info, 0, sizeof *info);
  Vst3Plugin::kClassId.copyTo(info->cid);
  info->cardinality = PClassInfo::kManyInstances;
  copyText(info->category, kVstAudioEffectClass);
  copyString(info->name, kName);
  info->classFlags = kSimpleModeSupported;
  copyText(info->subCategories, kSubCategories);
  copyString(info->vendor, kVendor);
  copyString(info->version, version());
  copyString(info->sdkVersion, kSdkVersionString);
  return kResultOk;
}

// Any interface the instrument offers may be asked for first.
tresult Vst3Factory::createInstance(FIDString cid, FIDString iid, void** object) {
  if (!object) return kInvalidArgument;
  *object = nullptr;
  if (!Vst3Plugin::kClassId.is(cid)) return kNoInterface;
  FUnknown* plugin = Vst3Plugin::create(makeEditor_);
  if (!plugin) return kOutOfMemory;
  const tresult result = plugin->queryInterface(iid, object);
  plugin->release();
  return result;
}

}  // namespace zvx::vst3
