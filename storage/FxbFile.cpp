#include "storage/FxbFile.h"

#include <cstring>

namespace zvx {
namespace {

// The files are big-endian. Whether words need swapping is asked of the
// machine at run time: the constant 'abcd' against the bytes "abcd".
bool machineIsLittleEndian() {
  const std::uint32_t constant = 0x61626364;
  std::uint32_t bytes;
  std::memcpy(&bytes, "abcd", 4);
  return bytes != constant;
}

std::uint32_t swapped(std::uint32_t word) {
  return (word >> 24) | ((word >> 8) & 0xFF00u) | ((word << 8) & 0xFF0000u) | (word << 24);
}

class Cursor {
 public:
  explicit Cursor(std::span<const unsigned char> bytes) : bytes_(bytes) {}
  bool has(std::size_t count) const { return count <= bytes_.size() - offset_; }
  std::uint32_t word() {
    std::uint32_t value = FxbFile::readWord(bytes_.data() + offset_);
    offset_ += 4;
    return value;
  }
  float floatValue() {
    std::uint32_t bits = word();
    float value;
    std::memcpy(&value, &bits, 4);
    return value;
  }
  std::string text(std::size_t size) {
    const char* start = reinterpret_cast<const char*>(bytes_.data() + offset_);
    offset_ += size;
    return std::string(start, strnlen(start, size));
  }
  std::span<const unsigned char> take(std::size_t size) {
    auto part = bytes_.subspan(offset_, size);
    offset_ += size;
    return part;
  }
  void skip(std::size_t size) { offset_ += size; }
  std::size_t offset() const { return offset_; }

 private:
  std::span<const unsigned char> bytes_;
  std::size_t offset_ = 0;
};

// One preset as it stands alone or inside a regular bank: the six header
// words, the parameter count, the name, then the values or the chunk.
bool readPreset(Cursor& in, std::uint32_t& type, FxbFile::Program& program, std::vector<unsigned char>& chunk,
                std::int32_t* pluginId = nullptr, std::int32_t* pluginVersion = nullptr) {
  if (!in.has(FxbFile::kPresetHeaderSize)) return false;
  in.word();  // 'CcnK'
  in.word();  // byte size
  type = in.word();
  in.word();  // format version
  const std::uint32_t id = in.word();
  const std::uint32_t version = in.word();
  if (pluginId) *pluginId = static_cast<std::int32_t>(id);
  if (pluginVersion) *pluginVersion = static_cast<std::int32_t>(version);
  const std::uint32_t count = in.word();
  program.name = in.text(28);
  if (type == FxbFile::kChunkPreset) {
    if (!in.has(4)) return false;
    const std::uint32_t size = in.word();
    if (!in.has(size)) return false;
    auto bytes = in.take(size);
    chunk.assign(bytes.begin(), bytes.end());
    return true;
  }
  if (count > (1u << 24) || !in.has(static_cast<std::size_t>(count) * 4)) return false;
  program.values.resize(count);
  for (float& value : program.values) value = in.floatValue();
  return true;
}

}  // namespace

std::uint32_t FxbFile::readWord(const unsigned char* bytes) {
  std::uint32_t word;
  std::memcpy(&word, bytes, 4);
  return machineIsLittleEndian() ? swapped(word) : word;
}

void FxbFile::writeWord(std::vector<unsigned char>& out, std::uint32_t word) {
  if (machineIsLittleEndian()) word = swapped(word);
  unsigned char bytes[4];
  std::memcpy(bytes, &word, 4);
  for (unsigned char byte : bytes) out.push_back(byte);
}

std::optional<FxbFile::Contents> FxbFile::parse(std::span<const unsigned char> bytes, std::size_t maxPrograms) {
  Cursor in(bytes);
  if (!in.has(28)) return std::nullopt;
  Contents contents;
  if (in.word() != kRootMagic) return std::nullopt;
  in.word();  // byte size: not trusted
  contents.type = in.word();

  if (contents.type == kRegularPreset || contents.type == kChunkPreset) {
    Cursor preset(bytes);
    Program program;
    std::uint32_t type = 0;
    if (!readPreset(preset, type, program, contents.chunk, &contents.pluginId, &contents.pluginVersion))
      return std::nullopt;
    if (type == kRegularPreset) contents.programs.push_back(std::move(program));
    else
      contents.programs.push_back(Program{program.name, {}});
    return contents;
  }
  if (contents.type != kRegularBank && contents.type != kChunkBank) return std::nullopt;

  const std::uint32_t version = in.word();
  contents.pluginId = static_cast<std::int32_t>(in.word());
  contents.pluginVersion = static_cast<std::int32_t>(in.word());
  contents.declaredPrograms = static_cast<std::int32_t>(in.word());
  if (!in.has(kBankHeaderSize - in.offset())) return std::nullopt;
  const std::uint32_t current = in.word();
  contents.currentProgram = version >= 2 ? static_cast<std::int32_t>(current) : 0;
  in.skip(kBankHeaderSize - in.offset());

  if (contents.type == kChunkBank) {
    if (!in.has(4)) return std::nullopt;
    const std::uint32_t size = in.word();
    if (!in.has(size)) return std::nullopt;
    auto chunk = in.take(size);
    contents.chunk.assign(chunk.begin(), chunk.end());
    return contents;
  }

  if (contents.declaredPrograms < 0) return std::nullopt;
  const std::size_t programs = std::min<std::size_t>(static_cast<std::size_t>(contents.declaredPrograms), maxPrograms);
  for (std::size_t p = 0; p < programs; ++p) {
    Program program;
    std::uint32_t type = 0;
    std::vector<unsigned char> ignored;
    if (!readPreset(in, type, program, ignored) || type == kChunkPreset) return std::nullopt;
    contents.programs.push_back(std::move(program));
  }
  return contents;
}

std::vector<unsigned char> FxbFile::chunkBank(std::int32_t pluginId, std::int32_t pluginVersion, std::int32_t programs,
                                              std::int32_t currentProgram, std::span<const unsigned char> chunk) {
  std::vector<unsigned char> out;
  writeWord(out, kRootMagic);
  writeWord(out, static_cast<std::uint32_t>(kBankHeaderSize + 4 + chunk.size() - 8));
  writeWord(out, kChunkBank);
  writeWord(out, 2);  // format version: with the current program
  writeWord(out, static_cast<std::uint32_t>(pluginId));
  writeWord(out, static_cast<std::uint32_t>(pluginVersion));
  writeWord(out, static_cast<std::uint32_t>(programs));
  writeWord(out, static_cast<std::uint32_t>(currentProgram));
  out.resize(kBankHeaderSize, 0);
  writeWord(out, static_cast<std::uint32_t>(chunk.size()));
  out.insert(out.end(), chunk.begin(), chunk.end());
  return out;
}

std::vector<unsigned char> FxbFile::chunkPreset(std::int32_t pluginId, std::int32_t pluginVersion,
                                                std::int32_t parameters, const std::string& name,
                                                std::span<const unsigned char> chunk) {
  std::vector<unsigned char> out;
  writeWord(out, kRootMagic);
  writeWord(out, static_cast<std::uint32_t>(kPresetHeaderSize + 4 + chunk.size() - 8));
  writeWord(out, kChunkPreset);
  writeWord(out, 1);
  writeWord(out, static_cast<std::uint32_t>(pluginId));
  writeWord(out, static_cast<std::uint32_t>(pluginVersion));
  writeWord(out, static_cast<std::uint32_t>(parameters));
  char field[28] = {};
  std::memcpy(field, name.data(), std::min<std::size_t>(name.size(), 27));
  out.insert(out.end(), field, field + 28);
  writeWord(out, static_cast<std::uint32_t>(chunk.size()));
  out.insert(out.end(), chunk.begin(), chunk.end());
  return out;
}

}  // namespace zvx
