// Loading a plug-in's binary, for the VST 2.4 and VST 3 hosts alike.
#pragma once

#include <string>

namespace zvx::vsthost {

// The library at `path`, or null with `error` saying why.
void* openLibrary(const std::string& path, std::string& error);
void* findSymbol(void* handle, const char* name);
void closeLibrary(void* handle);

}  // namespace zvx::vsthost
