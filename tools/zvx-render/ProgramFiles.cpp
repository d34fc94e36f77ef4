#include "tools/zvx-render/ProgramFiles.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <limits>

namespace zvx::render {
namespace {

// Far above any real bank; a stray argument should not eat memory.
constexpr long kMaxFileBytes = 64L << 20;
// VST program names hold 24 bytes with the terminator.
constexpr std::size_t kNameCapacity = 24;

bool readBytes(const std::string& path, std::vector<unsigned char>& bytes, std::string& error) {
  std::FILE* stream = std::fopen(path.c_str(), "rb");
  if (!stream) {
    error = std::strerror(errno);
    return false;
  }
  unsigned char buffer[65536];
  std::size_t count = 0;
  while ((count = std::fread(buffer, 1, sizeof buffer, stream)) > 0) {
    bytes.insert(bytes.end(), buffer, buffer + count);
    if (bytes.size() > static_cast<std::size_t>(kMaxFileBytes)) {
      std::fclose(stream);
      error = "file too large for a bank or a preset";
      return false;
    }
  }
  const bool failed = std::ferror(stream);
  std::fclose(stream);
  if (failed) error = "read error";
  return !failed;
}

bool isBank(std::uint32_t type) { return type == FxbFile::kChunkBank || type == FxbFile::kRegularBank; }
bool isPreset(std::uint32_t type) { return type == FxbFile::kChunkPreset || type == FxbFile::kRegularPreset; }

// Plug-in IDs are four characters by custom; shown so when they are.
std::string idText(std::int32_t id) {
  std::string text;
  for (int shift = 24; shift >= 0; shift -= 8) {
    const char c = static_cast<char>((static_cast<std::uint32_t>(id) >> shift) & 0xFF);
    if (!std::isprint(static_cast<unsigned char>(c))) return std::to_string(id);
    text += c;
  }
  return "'" + text + "'";
}

bool sameInstrument(vsthost::Plugin& plugin, std::int32_t fileId, const char* what, std::string& error) {
  if (fileId == plugin.effect()->uniqueID) return true;
  error = std::string("the ") + what + " is for plug-in ID " + idText(fileId) + ", not " +
          idText(plugin.effect()->uniqueID);
  return false;
}

bool takesChunks(vsthost::Plugin& plugin, const char* what, std::string& error) {
  if (plugin.effect()->flags & effFlagsProgramChunks) return true;
  error = std::string("a chunk ") + what + ", but the plug-in keeps no chunks";
  return false;
}

void setProgramName(vsthost::Plugin& plugin, const std::string& name) {
  char field[kNameCapacity] = {};
  std::memcpy(field, name.data(), std::min(name.size(), kNameCapacity - 1));
  plugin.dispatch(effSetProgramName, 0, 0, field);
}

void setValues(vsthost::Plugin& plugin, const std::vector<float>& values) {
  const std::size_t count = std::min<std::size_t>(values.size(), static_cast<std::size_t>(plugin.effect()->numParams));
  for (std::size_t p = 0; p < count; ++p) plugin.setParameter(static_cast<int>(p), values[p]);
}

// The file's words as the chunk setter wants them: a pointer it may not keep.
void setChunk(vsthost::Plugin& plugin, bool preset, const std::vector<unsigned char>& chunk) {
  std::vector<unsigned char> copy = chunk;
  plugin.dispatch(effSetChunk, preset ? 1 : 0, static_cast<VstIntPtr>(copy.size()), copy.data());
}

void putName(std::vector<unsigned char>& out, const std::string& name) {
  char field[28] = {};
  std::memcpy(field, name.data(), std::min<std::size_t>(name.size(), sizeof field - 1));
  out.insert(out.end(), field, field + sizeof field);
}

void putFloat(std::vector<unsigned char>& out, float value) {
  std::uint32_t bits = 0;
  std::memcpy(&bits, &value, 4);
  FxbFile::writeWord(out, bits);
}

}  // namespace

std::optional<FxbFile::Contents> readProgramFile(const std::string& path, FileKind kind, std::string& error) {
  std::vector<unsigned char> bytes;
  if (!readBytes(path, bytes, error)) return std::nullopt;
  const char* wanted = kind == FileKind::Bank ? "bank (.fxb)" : "preset (.fxp)";
  if (bytes.size() < 12 || FxbFile::readWord(bytes.data()) != FxbFile::kRootMagic) {
    error = std::string("not a VST ") + wanted + " file";
    return std::nullopt;
  }
  const std::uint32_t type = FxbFile::readWord(bytes.data() + 8);
  if (kind == FileKind::Bank && isPreset(type)) {
    error = "a preset, not a bank (--preset loads presets)";
    return std::nullopt;
  }
  if (kind == FileKind::Preset && isBank(type)) {
    error = "a bank, not a preset (--bank loads banks)";
    return std::nullopt;
  }
  if (!isBank(type) && !isPreset(type)) {
    error = std::string("not a VST ") + wanted + " file";
    return std::nullopt;
  }
  // Every program a regular bank declares is read, however many the plug-in has.
  auto contents = FxbFile::parse(bytes, std::numeric_limits<std::size_t>::max());
  if (!contents) {
    error = std::string("truncated or damaged ") + (kind == FileKind::Bank ? "bank" : "preset");
    return std::nullopt;
  }
  // The parser leaves a preset's plug-in ID and version out; a parsed preset has its whole header.
  if (isPreset(type)) {
    contents->pluginId = static_cast<std::int32_t>(FxbFile::readWord(bytes.data() + 16));
    contents->pluginVersion = static_cast<std::int32_t>(FxbFile::readWord(bytes.data() + 20));
  }
  return contents;
}

bool loadBank(vsthost::Plugin& plugin, const FxbFile::Contents& bank, std::string& error) {
  if (!sameInstrument(plugin, bank.pluginId, "bank", error)) return false;
  const int programs = plugin.effect()->numPrograms;
  if (bank.type == FxbFile::kChunkBank) {
    if (!takesChunks(plugin, "bank", error)) return false;
    setChunk(plugin, false, bank.chunk);
  } else {
    const int count = std::min(static_cast<int>(bank.programs.size()), programs);
    for (int p = 0; p < count; ++p) {
      const FxbFile::Program& program = bank.programs[static_cast<std::size_t>(p)];
      plugin.dispatch(effSetProgram, 0, p);
      setValues(plugin, program.values);
      setProgramName(plugin, program.name);
    }
  }
  // As a host reopening a session would: the program that was playing when the bank was saved.
  if (bank.currentProgram >= 0 && bank.currentProgram < programs)
    plugin.dispatch(effSetProgram, 0, bank.currentProgram);
  return true;
}

bool loadPreset(vsthost::Plugin& plugin, const FxbFile::Contents& preset, std::string& error) {
  if (!sameInstrument(plugin, preset.pluginId, "preset", error)) return false;
  if (preset.type == FxbFile::kChunkPreset) {
    if (!takesChunks(plugin, "preset", error)) return false;
    setChunk(plugin, true, preset.chunk);
    return true;
  }
  if (!preset.programs.empty()) {
    setValues(plugin, preset.programs.front().values);
    setProgramName(plugin, preset.programs.front().name);
  }
  return true;
}

std::vector<unsigned char> saveBank(vsthost::Plugin& plugin) {
  AEffect* effect = plugin.effect();
  const auto current = static_cast<std::int32_t>(plugin.dispatch(effGetProgram));
  if (effect->flags & effFlagsProgramChunks) {
    void* data = nullptr;
    const VstIntPtr size = plugin.dispatch(effGetChunk, 0, 0, &data);
    if (size > 0 && data) {
      const auto* bytes = static_cast<const unsigned char*>(data);
      return FxbFile::chunkBank(effect->uniqueID, effect->version, effect->numPrograms, current,
                                std::span<const unsigned char>(bytes, static_cast<std::size_t>(size)));
    }
  }
  // Visiting each program is the only way the interface offers to its values.
  std::vector<RegularProgram> programs;
  for (int p = 0; p < effect->numPrograms; ++p) {
    plugin.dispatch(effSetProgram, 0, p);
    RegularProgram program;
    program.name = plugin.programName();
    for (int i = 0; i < effect->numParams; ++i) program.values.push_back(plugin.getParameter(i));
    programs.push_back(std::move(program));
  }
  if (effect->numPrograms > 0) plugin.dispatch(effSetProgram, 0, current);
  return regularBank(effect->uniqueID, effect->version, current, programs);
}

std::vector<unsigned char> regularBank(std::int32_t pluginId, std::int32_t pluginVersion, std::int32_t currentProgram,
                                       const std::vector<RegularProgram>& programs) {
  std::vector<unsigned char> out;
  FxbFile::writeWord(out, FxbFile::kRootMagic);
  FxbFile::writeWord(out, 0);  // byte size, filled in below
  FxbFile::writeWord(out, FxbFile::kRegularBank);
  FxbFile::writeWord(out, 2);  // format version: with the current program
  FxbFile::writeWord(out, static_cast<std::uint32_t>(pluginId));
  FxbFile::writeWord(out, static_cast<std::uint32_t>(pluginVersion));
  FxbFile::writeWord(out, static_cast<std::uint32_t>(programs.size()));
  FxbFile::writeWord(out, static_cast<std::uint32_t>(currentProgram));
  out.resize(FxbFile::kBankHeaderSize, 0);
  for (const RegularProgram& program : programs) {
    const std::size_t start = out.size();
    FxbFile::writeWord(out, FxbFile::kRootMagic);
    FxbFile::writeWord(out, 0);
    FxbFile::writeWord(out, FxbFile::kRegularPreset);
    FxbFile::writeWord(out, 1);
    FxbFile::writeWord(out, static_cast<std::uint32_t>(pluginId));
    FxbFile::writeWord(out, static_cast<std::uint32_t>(pluginVersion));
    FxbFile::writeWord(out, static_cast<std::uint32_t>(program.values.size()));
    putName(out, program.name);
    for (float value : program.values) putFloat(out, value);
    std::vector<unsigned char> size;
    FxbFile::writeWord(size, static_cast<std::uint32_t>(out.size() - start - 8));
    std::copy(size.begin(), size.end(), out.begin() + static_cast<std::ptrdiff_t>(start) + 4);
  }
  std::vector<unsigned char> size;
  FxbFile::writeWord(size, static_cast<std::uint32_t>(out.size() - 8));
  std::copy(size.begin(), size.end(), out.begin() + 4);
  return out;
}

}  // namespace zvx::render
