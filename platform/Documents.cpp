#include <cstdlib>

#include "platform/Platform.h"

namespace zvx::platform {

std::optional<std::string> documentsFolder() {
  std::optional<std::string> folder;
  if (const char* override = std::getenv("ZVX_DOCUMENTS"))
    folder = std::string(override);
  else
    folder = nativeDocumentsFolder();
  if (!folder || folder->empty()) return std::nullopt;
  // Callers append the separator themselves.
  while (folder->size() > 1 && (folder->back() == '/' || folder->back() == kPathSeparator)) folder->pop_back();
  return folder;
}

}  // namespace zvx::platform
