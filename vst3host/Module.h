// A VST 3 module loaded as hosts load it: a bundle folder (X.vst3, its binary
// under Contents/<architecture>/) or the binary itself; on Linux dlopen, then
// ModuleEntry, and ModuleExit before dlclose; on Windows LoadLibrary, then
// InitDll, and ExitDll before FreeLibrary. Its factory, and what the factory
// says of itself and its classes.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "formats/vst3/Vst3Abi.h"
#include "vst3host/Ref.h"

namespace zvx::vst3host {

// One class of the factory, read from PClassInfo, PClassInfo2 and PClassInfoW
// as far as the factory offers them (text as UTF-8).
struct ClassInfo {
  vst3::Uid cid{};
  vst3::int32 cardinality = 0;
  std::string category;
  std::string name;
  bool hasInfo2 = false;  // the factory answers IPluginFactory2
  vst3::uint32 classFlags = 0;
  std::string subCategories, vendor, version, sdkVersion;
  bool hasUnicodeInfo = false;  // the factory answers IPluginFactory3
  std::string unicodeName, unicodeVendor, unicodeVersion, unicodeSdkVersion, unicodeSubCategories;
};

class Module {
 public:
  // Null with `error` set when the path holds no module, it cannot be
  // loaded, its entry function fails or it gives no factory.
  static std::unique_ptr<Module> load(const std::string& path, std::string& error);
  // Releases the factory, calls the exit function, unloads.
  ~Module();
  Module(const Module&) = delete;
  Module& operator=(const Module&) = delete;

  // The binary loaded, and the bundle folder it was found in ("" when given the binary).
  const std::string& binaryPath() const { return binaryPath_; }
  const std::string& bundlePath() const { return bundlePath_; }
  // Where a bundle keeps its binary for this platform: "Contents/x86_64-linux/NAME.so", ...
  static std::string binaryInBundle(const std::string& bundle);

  vst3::IPluginFactory* factory() const { return factory_.get(); }
  // The factory's own description; false when it gives none.
  bool factoryInfo(vst3::PFactoryInfo& info) const;
  std::vector<ClassInfo> classes() const;
  // An object of class `cid` as interface I, or empty (the factory refused).
  template <class I>
  Ref<I> create(const vst3::Uid& cid) const {
    return Ref<I>::adopt(static_cast<I*>(createInstance(cid, I::iid)));
  }
  // The same for any interface ID: the pointer createInstance gave, which the caller owns.
  void* createInstance(const vst3::Uid& cid, const vst3::Uid& iid) const;

  // An exported symbol of the binary, or null.
  void* symbol(const char* name) const;

 private:
  Module() = default;
  void* handle_ = nullptr;
  bool entered_ = false;  // the entry function succeeded: the exit function is owed
  std::string binaryPath_, bundlePath_;
  Ref<vst3::IPluginFactory> factory_;
};

}  // namespace zvx::vst3host
