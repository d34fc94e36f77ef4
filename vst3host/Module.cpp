#include "vst3host/Module.h"

#include <cstring>
#include <filesystem>

#include "vst3host/Utf16.h"
#include "vsthost/SharedLibrary.h"

namespace zvx::vst3host {
namespace {

using vsthost::closeLibrary;
using vsthost::findSymbol;
using vsthost::openLibrary;

namespace fs = std::filesystem;

#if defined(_WIN32)
constexpr const char* kArchitecture = "x86_64-win";
constexpr const char* kBinaryExtension = ".vst3";
#elif defined(__aarch64__)
constexpr const char* kArchitecture = "aarch64-linux";
constexpr const char* kBinaryExtension = ".so";
#else
constexpr const char* kArchitecture = "x86_64-linux";
constexpr const char* kBinaryExtension = ".so";
#endif

// A text field of the factory's records, cut at its terminator or its end.
template <std::size_t N>
std::string text(const char (&field)[N]) {
  return std::string(field, strnlen(field, N));
}
template <std::size_t N>
std::string text(const char16_t (&field)[N]) {
  return toUtf8(field, N);
}

// The published entry and exit functions: on Linux ModuleEntry(library handle)
// and ModuleExit(); on Windows InitDll() and ExitDll(), which are optional.
#ifdef _WIN32
using InitDllProc = bool (*)();
using ExitDllProc = bool (*)();
#else
using ModuleEntryProc = bool (*)(void*);
using ModuleExitProc = bool (*)();
#endif

}  // namespace

std::string Module::binaryInBundle(const std::string& bundle) {
  const fs::path folder(bundle);
  std::string stem = folder.filename().string();
  if (stem.empty()) stem = folder.parent_path().filename().string();
  if (const auto dot = stem.rfind(".vst3"); dot != std::string::npos && dot + 5 == stem.size()) stem.resize(dot);
  return (folder / "Contents" / kArchitecture / (stem + kBinaryExtension)).string();
}

std::unique_ptr<Module> Module::load(const std::string& path, std::string& error) {
  std::unique_ptr<Module> module(new Module);
  std::error_code ignored;
  if (fs::is_directory(path, ignored)) {
    module->bundlePath_ = path;
    module->binaryPath_ = binaryInBundle(path);
    if (!fs::is_regular_file(module->binaryPath_, ignored)) {
      error = "no " + std::string(kArchitecture) + " binary in the bundle " + path + " (looked for " +
              module->binaryPath_ + ")";
      return nullptr;
    }
  } else {
    module->binaryPath_ = path;
  }
  module->handle_ = openLibrary(module->binaryPath_, error);
  if (!module->handle_) return nullptr;

#ifdef _WIN32
  if (auto init = reinterpret_cast<InitDllProc>(module->symbol("InitDll"))) {
    if (!init()) {
      error = "InitDll failed: " + module->binaryPath_;
      return nullptr;
    }
  }
#else
  auto entry = reinterpret_cast<ModuleEntryProc>(module->symbol("ModuleEntry"));
  if (!entry) {
    error = "not a VST 3 module (no ModuleEntry): " + module->binaryPath_;
    return nullptr;
  }
  if (!entry(module->handle_)) {
    error = "ModuleEntry failed: " + module->binaryPath_;
    return nullptr;
  }
#endif
  module->entered_ = true;

  auto getFactory = reinterpret_cast<vst3::GetFactoryProc>(module->symbol("GetPluginFactory"));
  if (!getFactory) {
    error = "not a VST 3 module (no GetPluginFactory): " + module->binaryPath_;
    return nullptr;
  }
  module->factory_ = Ref<vst3::IPluginFactory>::adopt(getFactory());
  if (!module->factory_) {
    error = "GetPluginFactory gave no factory: " + module->binaryPath_;
    return nullptr;
  }
  return module;
}

Module::~Module() {
  factory_.reset();
  if (entered_) {
#ifdef _WIN32
    if (auto exit = reinterpret_cast<ExitDllProc>(symbol("ExitDll"))) exit();
#else
    if (auto exit = reinterpret_cast<ModuleExitProc>(symbol("ModuleExit"))) exit();
#endif
  }
  if (handle_) closeLibrary(handle_);
}

void* Module::symbol(const char* name) const { return handle_ ? findSymbol(handle_, name) : nullptr; }

bool Module::factoryInfo(vst3::PFactoryInfo& info) const {
  std::memset(&info, 0, sizeof info);
  return factory_ && factory_->getFactoryInfo(&info) == vst3::kResultOk;
}

std::vector<ClassInfo> Module::classes() const {
  std::vector<ClassInfo> found;
  if (!factory_) return found;
  Ref<vst3::IPluginFactory2> second = query<vst3::IPluginFactory2>(factory_.get());
  Ref<vst3::IPluginFactory3> third = query<vst3::IPluginFactory3>(factory_.get());
  const vst3::int32 count = factory_->countClasses();
  for (vst3::int32 i = 0; i < count; ++i) {
    ClassInfo info;
    vst3::PClassInfo basic{};
    if (factory_->getClassInfo(i, &basic) != vst3::kResultOk) continue;
    std::memcpy(info.cid.bytes, basic.cid, sizeof info.cid.bytes);
    info.cardinality = basic.cardinality;
    info.category = text(basic.category);
    info.name = text(basic.name);
    vst3::PClassInfo2 two{};
    if (second && second->getClassInfo2(i, &two) == vst3::kResultOk) {
      info.hasInfo2 = true;
      info.classFlags = two.classFlags;
      info.subCategories = text(two.subCategories);
      info.vendor = text(two.vendor);
      info.version = text(two.version);
      info.sdkVersion = text(two.sdkVersion);
    }
    vst3::PClassInfoW wide{};
    if (third && third->getClassInfoUnicode(i, &wide) == vst3::kResultOk) {
      info.hasUnicodeInfo = true;
      info.unicodeName = text(wide.name);
      info.unicodeVendor = text(wide.vendor);
      info.unicodeVersion = text(wide.version);
      info.unicodeSdkVersion = text(wide.sdkVersion);
      info.unicodeSubCategories = text(wide.subCategories);
    }
    found.push_back(std::move(info));
  }
  return found;
}

void* Module::createInstance(const vst3::Uid& cid, const vst3::Uid& iid) const {
  void* object = nullptr;
  if (!factory_ || factory_->createInstance(cid.data(), iid.data(), &object) != vst3::kResultOk) return nullptr;
  return object;
}

}  // namespace zvx::vst3host
