#include "storage/InstalledData.h"

#include <atomic>
#include <cstdio>
#include <span>

#include "platform/Platform.h"
#include "storage/InstallManifest.h"
#include "storage/WholeFile.h"

namespace zvx {
namespace {

using platform::EntryKind;
using platform::kPathSeparator;

// How far above the module a prefix may be: lib/<multiarch>/vst3/ZVX.vst3/Contents/<arch>/ZVX.so.
constexpr int kMaxDepth = 6;
// Far above any file of the default data.
constexpr long kMaxFileBytes = 64L << 20;

bool isSeparator(char c) { return c == '/' || c == kPathSeparator; }

// The folders of `path` from its root down, and its last part.
std::vector<std::string> partsOf(const std::string& path) {
  std::vector<std::string> parts;
  std::string part;
  for (const char c : path) {
    if (!isSeparator(c)) {
      part += c;
    } else if (!part.empty()) {
      parts.push_back(part);
      part.clear();
    }
  }
  if (!part.empty()) parts.push_back(part);
  return parts;
}

// bin, lib, lib64, libexec, lib32 ...: where a prefix keeps programs and plug-ins.
bool isProgramFolder(const std::string& part) { return part == "bin" || part.rfind("lib", 0) == 0; }

std::string lowerCase(std::string_view text) {
  std::string lower(text);
  for (char& c : lower)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return lower;
}

// Every regular file below `folder` (ending with the separator), by its name
// there with '/' between folders; links and anything else are left out.
void listFiles(const std::string& folder, const std::string& relative, std::vector<std::string>& files, int depth) {
  if (depth > 8) return;
  const auto entries = platform::folderEntries(folder + relative);
  if (!entries) return;
  for (const platform::FolderEntry& entry : *entries) {
    const std::string name = relative + entry.name;
    if (entry.kind == EntryKind::File)
      files.push_back(name);
    else if (entry.kind == EntryKind::Folder)
      listFiles(folder, name + kPathSeparator, files, depth + 1);
  }
}

std::string withSeparators(std::string name) {
  for (char& c : name)
    if (c == '/') c = kPathSeparator;
  return name;
}

// Makes the folders on the way to `name` below `folder`; false when one of
// them is a link or not a folder, or cannot be made.
bool prepareFolders(const std::string& folder, const std::string& name) {
  std::string path = folder;
  for (std::size_t start = 0, end; (end = name.find('/', start)) != std::string::npos; start = end + 1) {
    path += name.substr(start, end - start);
    const EntryKind kind = platform::entryKind(path, false);
    if (kind == EntryKind::None ? !platform::createFolder(path) : kind != EntryKind::Folder) return false;
    path += kPathSeparator;
  }
  return true;
}

std::atomic<unsigned> copies{0};

// `bytes` as a new file at `path`: written beside it, then given its name
// only if that is still free.
bool writeNewFile(const std::string& path, std::span<const unsigned char> bytes) {
  const std::string temporary =
      path + ".saving-" + std::to_string(platform::processId()) + "-" + std::to_string(copies.fetch_add(1));
  std::FILE* file = std::fopen(temporary.c_str(), "wb");
  if (!file) return false;
  bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  ok = std::fflush(file) == 0 && ok;
  ok = platform::flushToDisk(file) && ok;
  ok = std::fclose(file) == 0 && ok;
  ok = ok && platform::moveToNewName(temporary, path);
  if (!ok) std::remove(temporary.c_str());
  return ok;
}

}  // namespace

std::optional<std::string> installedDataFolderFor(const std::vector<std::string>& modulePaths, std::string_view name) {
  const std::string folderName = lowerCase(name);
  for (const std::string& module : modulePaths) {
    const std::vector<std::string> parts = partsOf(module);
    const bool absolute = !module.empty() && isSeparator(module.front());
    // parts[top] is the folder right below the prefix on the way to the module.
    for (int above = 1; above <= kMaxDepth; ++above) {
      const int top = static_cast<int>(parts.size()) - 1 - above;
      if (top < 0) break;
      if (!isProgramFolder(parts[static_cast<std::size_t>(top)])) continue;
      std::string prefix = absolute ? std::string(1, kPathSeparator) : std::string();
      // A drive letter stays as it is ("C:"), the rest joined by separators.
      for (int p = 0; p < top; ++p) prefix += parts[static_cast<std::size_t>(p)] + kPathSeparator;
      const std::string candidate = prefix + "share" + kPathSeparator + folderName + kPathSeparator;
      if (platform::entryKind(candidate + "default.fxb", true) == EntryKind::File) return candidate;
    }
  }
  return std::nullopt;
}

std::optional<std::string> installedDataFolder(std::string_view name) {
  return installedDataFolderFor(platform::thisModulePaths(), name);
}

int fillDataFolder(const std::string& installed, const std::string& folder) {
  std::vector<std::string> files;
  listFiles(installed, "", files, 0);
  // Is anything missing? Most starts find nothing to do and take no lock.
  const auto missing = [&folder](const std::string& name) {
    return platform::entryKind(folder + withSeparators(name), false) == EntryKind::None;
  };
  bool anyMissing = false;
  for (const std::string& file : files) anyMissing = anyMissing || missing(file);
  if (!anyMissing) return 0;

  const platform::FolderLock lock(folder);
  std::string refused;
  std::optional<InstallManifest> manifest = InstallManifest::read(folder + InstallManifest::kFileName, refused);
  int copied = 0;
  for (std::string name : files) {
    for (char& c : name)
      if (c == kPathSeparator) c = '/';
    // The installer's records and versions set aside are no defaults.
    if (name == InstallManifest::kFileName || (name.size() > 4 && name.compare(name.size() - 4, 4, ".new") == 0))
      continue;
    if (!missing(name) || !prepareFolders(folder, name)) continue;
    std::vector<unsigned char> bytes;
    if (!readWholeFile(installed + withSeparators(name), bytes, kMaxFileBytes)) continue;
    if (!writeNewFile(folder + withSeparators(name), bytes)) continue;
    ++copied;
    if (manifest) manifest->record(name, InstallManifest::digestOf(bytes));
  }
  // A manifest that is no regular file is not ours to replace; the copies then go unrecorded.
  if (copied > 0 && manifest) {
    const std::string text = manifest->text();
    saveWholeFile(folder + InstallManifest::kFileName, text.data(), text.size());
  }
  return copied;
}

}  // namespace zvx
