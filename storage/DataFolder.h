// The per-user data folder: <documents>/Tonewerk Data/<name>/, created when
// missing (a new Linux account's documents folder too, when the folder
// holding it is there; see platform::documentsFolderMayBeMade).
#pragma once

#include <string>
#include <string_view>

namespace zvx {

// Longest data-folder path we hand out, separator included (a 256-byte field).
constexpr std::size_t kMaxPathLength = 255;

// On success `path` holds the folder path ending with the separator, ready for
// a file name to be appended. Fails when the documents folder is unknown, when
// a folder cannot be created, or when the path would exceed kMaxPathLength.
// The first time a process finds a folder, the files of the installed default
// data (InstalledData.h) that it lacks are copied into it, before anyone reads it.
// Any thread but the audio thread.
bool findDataFolder(std::string_view name, std::string& path);

}  // namespace zvx
