// Operating-system services the portable core needs, behind one small contract.
// One implementation per OS lives in linux/ and win32/; everything here may be
// called from any thread except the audio thread.
#pragma once

#include <compare>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "platform/Messages.h"

namespace zvx::platform {

#ifdef _WIN32
constexpr char kPathSeparator = '\\';
#else
constexpr char kPathSeparator = '/';
#endif

// The user's documents folder without a trailing separator, or nothing when
// the system does not name one. The environment variable ZVX_DOCUMENTS, when
// set, names it instead on every platform (tests, portable installs).
std::optional<std::string> documentsFolder();

// The OS's own answer when ZVX_DOCUMENTS is not set.
std::optional<std::string> nativeDocumentsFolder();
// Whether a documents folder that is not there may be made: on Linux the
// XDG one of a new account, which nothing has made yet; never one that
// ZVX_DOCUMENTS names, nor Windows' own, whose absence is the system's fault.
bool documentsFolderMayBeMade();

// True when a wildcard search inside `folder` finds an entry, i.e. the folder exists.
bool folderExists(const std::string& folder);

// Creates one folder (not its parents). False when that fails.
bool createFolder(const std::string& folder);

// What is at a path: nothing, a regular file, a folder, a symbolic link (a
// link is told only when `followLinks` is false), or something else (a
// pipe, a device).
enum class EntryKind { None, File, Folder, Link, Other };
EntryKind entryKind(const std::string& path, bool followLinks);

// The entries of `folder` ("." and ".." left out), each with its kind as it
// is, links not followed; nothing when the folder cannot be read.
struct FolderEntry {
  std::string name;
  EntryKind kind = EntryKind::Other;
};
std::optional<std::vector<FolderEntry>> folderEntries(const std::string& folder);

// Gives the file `from` the name `to` in one step, unless something has that
// name already; false then (and `from` stays) or when it fails.
bool moveToNewName(const std::string& from, const std::string& to);

// The module (plug-in, DLL or program) that holds this code: the path it was
// loaded by, then, when links lead elsewhere, the path they resolve to.
// Empty when the system cannot say.
std::vector<std::string> thisModulePaths();

// Writes what the stream holds through to the disk. False when that fails.
bool flushToDisk(std::FILE* file);
// Renames `from` over `to`, replacing it in one step. False when that fails.
bool replaceFile(const std::string& from, const std::string& to);
// This process's id.
unsigned long processId();

// An exclusive lock on `folder` that every process shares, held while alive:
// one read-modify-write of a file that several processes keep there at a
// time. It waits for the lock. held() is false when it could not be taken
// (the folder gone); the caller then goes on without it.
class FolderLock {
 public:
  explicit FolderLock(const std::string& folder);
  ~FolderLock();
  FolderLock(const FolderLock&) = delete;
  FolderLock& operator=(const FolderLock&) = delete;
  bool held() const { return handle_ != 0; }

 private:
  std::intptr_t handle_ = 0;  // the system's handle plus one, 0 for none
};

// The file at `path` opened for reading in binary mode, or null when it cannot
// be opened or is not a regular file: a pipe or device named in a skin or a
// bank would block or never end.
std::FILE* openRegularFile(const std::string& path);

// What tells one file from another whatever name leads to it (links,
// "./" and "//" in names): its volume and its number there.
struct FileIdentity {
  std::uint64_t volume = 0;
  std::uint64_t index = 0;
  auto operator<=>(const FileIdentity&) const = default;
};
// The identity of the regular file at `path`, or nothing when there is none.
std::optional<FileIdentity> fileIdentity(const std::string& path);

// The path of the file that `name` (relative, as a skin written on Windows
// names it) means inside `folder` (which ends with the separator): on Linux
// `\` separates folders too and letter case does not matter, the exact
// spelling winning over others. When nothing matches, folder + name with the
// platform's separators.
std::string resolveFileName(const std::string& folder, const std::string& name);

}  // namespace zvx::platform
