#include "storage/DataFolder.h"

#include <mutex>
#include <set>

#include "platform/Platform.h"
#include "storage/InstalledData.h"

namespace zvx {
namespace {

bool ensureFolder(const std::string& folder) {
  return platform::folderExists(folder) || platform::createFolder(folder);
}

// Once for each folder a process finds: a packaged install fills a user's
// new folder at the first look, and later looks cost nothing.
void fillOnFirstLook(std::string_view name, const std::string& folder) {
  static std::mutex mutex;
  static std::set<std::string> seen;
  std::lock_guard<std::mutex> lock(mutex);
  if (!seen.insert(folder).second) return;
  if (const std::optional<std::string> installed = installedDataFolder(name)) fillDataFolder(*installed, folder);
}

}  // namespace

bool findDataFolder(std::string_view name, std::string& path) {
  auto documents = platform::documentsFolder();
  if (!documents) return false;
  const std::string maker = *documents + platform::kPathSeparator + "Tonewerk Data";
  const std::string folder = maker + platform::kPathSeparator + std::string(name);
  // Refused rather than truncated: a cut path would name some other folder.
  if (folder.size() + 1 > kMaxPathLength) return false;
  // The system's documents folder may not be there yet for a new user (a
  // fresh Linux account, a system without a desktop): made like the two
  // below it, not its parents, where the platform allows.
  const bool documentsThere =
      platform::documentsFolderMayBeMade() ? ensureFolder(*documents) : platform::folderExists(*documents);
  if (!documentsThere || !ensureFolder(maker) || !ensureFolder(folder)) return false;
  path = folder + platform::kPathSeparator;
  fillOnFirstLook(name, path);
  return true;
}

}  // namespace zvx
