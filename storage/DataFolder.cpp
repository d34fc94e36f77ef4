#include "storage/DataFolder.h"

#include "platform/Platform.h"

namespace zvx {
namespace {

bool ensureFolder(const std::string& folder) {
  return platform::folderExists(folder) || platform::createFolder(folder);
}

}  // namespace

bool findDataFolder(std::string_view name, std::string& path) {
  auto documents = platform::documentsFolder();
  if (!documents) return false;
  const std::string maker = *documents + platform::kPathSeparator + "Tonewerk Data";
  const std::string folder = maker + platform::kPathSeparator + std::string(name);
  // Refused rather than truncated: a cut path would name some other folder.
  if (folder.size() + 1 > kMaxPathLength) return false;
  if (!ensureFolder(maker) || !ensureFolder(folder)) return false;
  path = folder + platform::kPathSeparator;
  return true;
}

}  // namespace zvx
