#include "vsthost/ModuleLocator.h"

#include <cstdlib>
#include <filesystem>
#include <vector>

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#endif

namespace zvx::vsthost {
namespace {

namespace fs = std::filesystem;

#ifdef _WIN32
constexpr const char* kModuleFile = "ZVX.dll";

fs::path executable() {
  char name[MAX_PATH];
  const DWORD length = GetModuleFileNameA(nullptr, name, MAX_PATH);
  return length > 0 && length < MAX_PATH ? fs::path(std::string(name, length)) : fs::path();
}
#else
constexpr const char* kModuleFile = "ZVX.so";

fs::path executable() {
  std::error_code ignored;
  return fs::read_symlink("/proc/self/exe", ignored);
}
#endif

std::vector<fs::path> defaultCandidates(const char* builtModule) {
  std::vector<fs::path> candidates;
  const fs::path self = executable();
#ifdef ZVX_INSTALL_VST_DIR
  if (!self.empty()) candidates.push_back(self.parent_path().parent_path() / ZVX_INSTALL_VST_DIR / kModuleFile);
#endif
  if (builtModule && *builtModule) candidates.emplace_back(builtModule);
  if (!self.empty()) candidates.push_back(self.parent_path() / kModuleFile);
#ifndef _WIN32
  if (const char* home = std::getenv("HOME"); home && *home) candidates.push_back(fs::path(home) / ".vst" / kModuleFile);
#endif
  return candidates;
}

}  // namespace

bool findModule(const std::string& named, const char* builtModule, std::string& path, std::string& error) {
  std::error_code ignored;
  if (!named.empty()) {
    if (!fs::exists(named, ignored)) {
      error = "cannot load module " + named + ": no such file";
      return false;
    }
    // dlopen looks a bare file name up on the library path, not here.
    path = fs::absolute(named, ignored).string();
    return true;
  }
  std::string looked;
  for (const fs::path& candidate : defaultCandidates(builtModule)) {
    if (fs::is_regular_file(candidate, ignored)) {
      path = candidate.string();
      return true;
    }
    looked += (looked.empty() ? "" : ", ") + candidate.string();
  }
  error = "cannot find the ZVX module (looked for " + looked + "); build it or name one with --plugin";
  return false;
}

}  // namespace zvx::vsthost
