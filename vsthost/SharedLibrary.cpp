#include "vsthost/SharedLibrary.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace zvx::vsthost {

void* openLibrary(const std::string& path, std::string& error) {
#ifdef _WIN32
  HMODULE handle = LoadLibraryA(path.c_str());
  if (!handle) error = "cannot load module " + path + " (error " + std::to_string(GetLastError()) + ")";
  return reinterpret_cast<void*>(handle);
#else
  void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle) {
    const char* why = dlerror();
    error = "cannot load module " + path + ": " + (why ? why : "unknown error");
  }
  return handle;
#endif
}

void* findSymbol(void* handle, const char* name) {
#ifdef _WIN32
  return reinterpret_cast<void*>(GetProcAddress(reinterpret_cast<HMODULE>(handle), name));
#else
  return dlsym(handle, name);
#endif
}

void closeLibrary(void* handle) {
#ifdef _WIN32
  FreeLibrary(reinterpret_cast<HMODULE>(handle));
#else
  dlclose(handle);
#endif
}

}  // namespace zvx::vsthost
