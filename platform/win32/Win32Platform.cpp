// Windows side of the platform contract: the documents folder from the
// registry, folders through FindFirstFileA/CreateDirectoryA.
#define WIN32_LEAN_AND_MEAN
#include <io.h>
#include <windows.h>

#include <cstdio>
#include <cstring>

#include "platform/Platform.h"

namespace zvx::platform {
namespace {

constexpr const char* kShellFolders = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
constexpr const char* kDocumentsValue = "Personal";
// The value holds at most this many bytes, terminator included.
constexpr DWORD kValueCapacity = 256;

}  // namespace

std::optional<std::string> nativeDocumentsFolder() {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, kShellFolders, 0, KEY_READ, &key) != ERROR_SUCCESS) return std::nullopt;
  char value[kValueCapacity] = {};
  DWORD size = sizeof value;
  DWORD type = 0;
  const LONG result = RegQueryValueExA(key, kDocumentsValue, nullptr, &type, reinterpret_cast<BYTE*>(value), &size);
  RegCloseKey(key);
  if (result != ERROR_SUCCESS) return std::nullopt;
  // Only a string names a folder; a value stored without its terminator is
  // read up to its own length and no further.
  if (type != REG_SZ && type != REG_EXPAND_SZ) return std::nullopt;
  return std::string(value, strnlen(value, size));
}

bool documentsFolderMayBeMade() { return false; }

bool folderExists(const std::string& folder) {
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return false;
  FindClose(search);
  return true;
}

bool createFolder(const std::string& folder) { return CreateDirectoryA(folder.c_str(), nullptr) != 0; }

namespace {

EntryKind kindOf(DWORD attributes) {
  if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) return EntryKind::Link;
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) return EntryKind::Folder;
  if (attributes & FILE_ATTRIBUTE_DEVICE) return EntryKind::Other;
  return EntryKind::File;
}

}  // namespace

EntryKind entryKind(const std::string& path, bool followLinks) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return EntryKind::None;
  const EntryKind kind = kindOf(attributes);
  if (kind != EntryKind::Link || !followLinks) return kind;
  return (attributes & FILE_ATTRIBUTE_DIRECTORY) ? EntryKind::Folder : EntryKind::File;
}

std::optional<std::vector<FolderEntry>> folderEntries(const std::string& folder) {
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return std::nullopt;
  std::vector<FolderEntry> entries;
  do {
    const std::string name = found.cFileName;
    if (name != "." && name != "..") entries.push_back({name, kindOf(found.dwFileAttributes)});
  } while (FindNextFileA(search, &found));
  FindClose(search);
  return entries;
}

// Without MOVEFILE_REPLACE_EXISTING the move fails when the name is taken.
bool moveToNewName(const std::string& from, const std::string& to) {
  return MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_WRITE_THROUGH) != 0;
}

std::vector<std::string> thisModulePaths() {
  HMODULE module = nullptr;
  if (!GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                          reinterpret_cast<LPCSTR>(&thisModulePaths), &module))
    return {};
  char path[MAX_PATH];
  const DWORD length = GetModuleFileNameA(module, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return {};
  return {std::string(path, length)};
}

bool flushToDisk(std::FILE* file) { return _commit(_fileno(file)) == 0; }

bool replaceFile(const std::string& from, const std::string& to) {
  return MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

unsigned long processId() { return GetCurrentProcessId(); }

// A named mutex for the folder, by a hash of its path without regard to case
// (Windows names files so); abandoned by a process that ended, it is ours.
FolderLock::FolderLock(const std::string& folder) {
  std::string name = folder;
  while (name.size() > 1 && (name.back() == '\\' || name.back() == '/')) name.pop_back();
  unsigned long long hash = 0xCBF29CE484222325ull;
  for (const char c : name) {
    const char lower = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : (c == '/' ? '\\' : c);
    hash = (hash ^ static_cast<unsigned char>(lower)) * 0x100000001B3ull;
  }
  char mutexName[64];
  std::snprintf(mutexName, sizeof mutexName, "Local\\ZVX folder %016llx", hash);
  HANDLE mutex = CreateMutexA(nullptr, FALSE, mutexName);
  if (!mutex) return;
  const DWORD waited = WaitForSingleObject(mutex, INFINITE);
  if (waited != WAIT_OBJECT_0 && waited != WAIT_ABANDONED) {
    CloseHandle(mutex);
    return;
  }
  handle_ = reinterpret_cast<std::intptr_t>(mutex) + 1;
}

FolderLock::~FolderLock() {
  if (handle_ == 0) return;
  const auto mutex = reinterpret_cast<HANDLE>(handle_ - 1);
  ReleaseMutex(mutex);
  CloseHandle(mutex);
}

std::FILE* openRegularFile(const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) return nullptr;
  // A device name (CON, a pipe) opens too; only files on a disk are read.
  const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file)));
  if (GetFileType(handle) != FILE_TYPE_DISK) {
    std::fclose(file);
    return nullptr;
  }
  return file;
}

std::optional<FileIdentity> fileIdentity(const std::string& path) {
  HANDLE file = CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return std::nullopt;
  BY_HANDLE_FILE_INFORMATION information{};
  const bool known = GetFileType(file) == FILE_TYPE_DISK && GetFileInformationByHandle(file, &information) &&
                     !(information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
  CloseHandle(file);
  if (!known) return std::nullopt;
  return FileIdentity{information.dwVolumeSerialNumber,
                      (static_cast<std::uint64_t>(information.nFileIndexHigh) << 32) | information.nFileIndexLow};
}

// Windows finds files whatever their case and takes either separator.
std::string resolveFileName(const std::string& folder, const std::string& name) { return folder + name; }

}  // namespace zvx::platform
