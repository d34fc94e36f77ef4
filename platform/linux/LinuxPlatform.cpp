// Linux side of the platform contract: XDG documents folder, POSIX folders,
// and message boxes: an X11 window when a display can be opened, else one
// line on standard error.
#include <dirent.h>
#include <dlfcn.h>
#include <link.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "platform/Platform.h"

namespace zvx::platform {
namespace {

std::optional<std::string> env(const char* name) {
  const char* value = std::getenv(name);
  if (!value || !*value) return std::nullopt;
  return std::string(value);
}

// Reads XDG_DOCUMENTS_DIR="$HOME/..." from user-dirs.dirs, expanding $HOME;
// a regular file only, since every instance reads it as it is made.
std::optional<std::string> userDirsDocuments(const std::string& home) {
  std::string configHome = env("XDG_CONFIG_HOME").value_or(home + "/.config");
  std::FILE* file = openRegularFile(configHome + "/user-dirs.dirs");
  if (!file) return std::nullopt;
  std::string text;
  char piece[4096];
  for (std::size_t read; text.size() < (1u << 20) && (read = std::fread(piece, 1, sizeof piece, file)) > 0;)
    text.append(piece, read);
  std::fclose(file);
  const std::string key = "XDG_DOCUMENTS_DIR=";
  for (std::size_t start = 0; start < text.size();) {
    const std::size_t end = std::min(text.find('\n', start), text.size());
    std::string line = text.substr(start, end - start);
    start = end + 1;
    if (line.compare(0, key.size(), key) != 0) continue;
    std::string value = line.substr(key.size());
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"') value = value.substr(1, value.size() - 2);
    if (value.compare(0, 5, "$HOME") == 0) value = home + value.substr(5);
    if (value.empty() || value.front() != '/') return std::nullopt;
    return value;
  }
  return std::nullopt;
}

}  // namespace

std::optional<std::string> nativeDocumentsFolder() {
  if (auto direct = env("XDG_DOCUMENTS_DIR")) return direct;
  auto home = env("HOME");
  if (!home) return std::nullopt;
  if (auto fromFile = userDirsDocuments(*home)) return fromFile;
  return *home + "/Documents";
}

bool documentsFolderMayBeMade() { return std::getenv("ZVX_DOCUMENTS") == nullptr; }

bool folderExists(const std::string& folder) {
  DIR* dir = opendir(folder.c_str());
  if (!dir) return false;
  bool found = readdir(dir) != nullptr;
  closedir(dir);
  return found;
}

bool createFolder(const std::string& folder) { return mkdir(folder.c_str(), 0755) == 0; }

EntryKind entryKind(const std::string& path, bool followLinks) {
  struct stat info {};
  if ((followLinks ? stat(path.c_str(), &info) : lstat(path.c_str(), &info)) != 0) return EntryKind::None;
  if (S_ISREG(info.st_mode)) return EntryKind::File;
  if (S_ISDIR(info.st_mode)) return EntryKind::Folder;
  if (S_ISLNK(info.st_mode)) return EntryKind::Link;
  return EntryKind::Other;
}

std::optional<std::vector<FolderEntry>> folderEntries(const std::string& folder) {
  DIR* dir = opendir(folder.c_str());
  if (!dir) return std::nullopt;
  std::vector<FolderEntry> entries;
  while (const dirent* entry = readdir(dir)) {
    const std::string name = entry->d_name;
    if (name == "." || name == "..") continue;
    entries.push_back({name, entryKind(folder + "/" + name, false)});
  }
  closedir(dir);
  return entries;
}

// A hard link fails when the name is taken, where a rename would replace
// what has it; file systems without hard links get the rename after a check.
bool moveToNewName(const std::string& from, const std::string& to) {
  if (link(from.c_str(), to.c_str()) == 0) {
    unlink(from.c_str());
    return true;
  }
  if (errno == EEXIST || entryKind(to, false) != EntryKind::None) return false;
  return std::rename(from.c_str(), to.c_str()) == 0;
}

std::vector<std::string> thisModulePaths() {
  std::vector<std::string> paths;
  Dl_info info{};
  link_map* module = nullptr;
  if (dladdr1(reinterpret_cast<void*>(&thisModulePaths), &info, reinterpret_cast<void**>(&module), RTLD_DL_LINKMAP) &&
      module && module->l_name && module->l_name[0]) {
    paths.emplace_back(module->l_name);
  } else {
    // The program itself, whose own entry has no name.
    char buffer[4096];
    const ssize_t length = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (length > 0) paths.emplace_back(buffer, static_cast<std::size_t>(length));
  }
  if (paths.empty()) return paths;
  if (char* resolved = realpath(paths.front().c_str(), nullptr)) {
    if (paths.front() != resolved) paths.emplace_back(resolved);
    std::free(resolved);
  }
  return paths;
}

bool flushToDisk(std::FILE* file) { return fsync(fileno(file)) == 0; }

bool replaceFile(const std::string& from, const std::string& to) { return std::rename(from.c_str(), to.c_str()) == 0; }

unsigned long processId() { return static_cast<unsigned long>(getpid()); }

// flock on the open folder: the lock goes with the descriptor, so it is
// released when the process ends however it ends.
FolderLock::FolderLock(const std::string& folder) {
  const int descriptor = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (descriptor < 0) return;
  int result;
  while ((result = flock(descriptor, LOCK_EX)) != 0 && errno == EINTR) {
  }
  if (result != 0) {
    close(descriptor);
    return;
  }
  handle_ = descriptor + 1;
}

FolderLock::~FolderLock() {
  if (handle_ != 0) close(static_cast<int>(handle_ - 1));
}

std::FILE* openRegularFile(const std::string& path) {
  // Non-blocking, so that opening a FIFO returns at once; the check then refuses it.
  const int descriptor = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (descriptor < 0) return nullptr;
  struct stat info {};
  if (fstat(descriptor, &info) != 0 || !S_ISREG(info.st_mode) ||
      fcntl(descriptor, F_SETFL, fcntl(descriptor, F_GETFL) & ~O_NONBLOCK) != 0) {
    close(descriptor);
    return nullptr;
  }
  std::FILE* file = fdopen(descriptor, "rb");
  if (!file) close(descriptor);
  return file;
}

std::optional<FileIdentity> fileIdentity(const std::string& path) {
  struct stat info {};
  if (stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return std::nullopt;
  return FileIdentity{static_cast<std::uint64_t>(info.st_dev), static_cast<std::uint64_t>(info.st_ino)};
}

namespace {

// The entry of `folder` that is `part` ignoring ASCII case; the exact spelling first.
std::optional<std::string> entryIgnoringCase(const std::string& folder, const std::string& part) {
  struct stat info {};
  if (stat((folder + part).c_str(), &info) == 0) return part;
  DIR* dir = opendir(folder.empty() ? "." : folder.c_str());
  if (!dir) return std::nullopt;
  std::optional<std::string> found;
  while (dirent* entry = readdir(dir)) {
    const std::string candidate = entry->d_name;
    if (candidate.size() == part.size() &&
        std::equal(candidate.begin(), candidate.end(), part.begin(), [](char a, char b) {
          return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
        })) {
      found = candidate;
      break;
    }
  }
  closedir(dir);
  return found;
}

}  // namespace

std::string resolveFileName(const std::string& folder, const std::string& name) {
  std::string relative = name;
  std::replace(relative.begin(), relative.end(), '\\', '/');
  std::string resolved = folder;
  for (std::size_t start = 0; start <= relative.size();) {
    const std::size_t end = std::min(relative.find('/', start), relative.size());
    const std::string part = relative.substr(start, end - start);
    const bool last = end == relative.size();
    if (part.empty() || part == "." || part == "..") {
      resolved += part + (last ? "" : "/");
    } else if (auto entry = entryIgnoringCase(resolved, part)) {
      resolved += *entry + (last ? "" : "/");
    } else {
      return folder + relative;
    }
    start = end + 1;
  }
  return resolved;
}

}  // namespace zvx::platform
