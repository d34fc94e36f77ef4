// Standard bank (.fxb) and preset (.fxp) files between zvx-render and the
// instrument: read and hand over through the dispatcher, or fetched and written.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "storage/FxbFile.h"
#include "vsthost/VstHost.h"

namespace zvx::render {

enum class FileKind { Bank, Preset };

// The file read and checked for its kind; nothing with `error` set (one line
// naming the problem, not the file) when it is missing, of the other kind,
// not a VST file at all, or shorter than it claims.
std::optional<FxbFile::Contents> readProgramFile(const std::string& path, FileKind kind, std::string& error);

// A bank for this instrument: a chunk bank through effSetChunk, a regular one
// program by program. Afterwards the bank's current program is selected.
bool loadBank(vsthost::Plugin& plugin, const FxbFile::Contents& bank, std::string& error);

// A preset for this instrument, into the program selected now.
bool loadPreset(vsthost::Plugin& plugin, const FxbFile::Contents& preset, std::string& error);

// The instrument's whole bank as file bytes: a chunk bank when it hands out a
// chunk, otherwise a regular bank of every program's name and values.
std::vector<unsigned char> saveBank(vsthost::Plugin& plugin);

// Parameter values and names as a regular bank ('FxBk', format version 2).
struct RegularProgram {
  std::string name;
  std::vector<float> values;
};
std::vector<unsigned char> regularBank(std::int32_t pluginId, std::int32_t pluginVersion, std::int32_t currentProgram,
                                       const std::vector<RegularProgram>& programs);

}  // namespace zvx::render
