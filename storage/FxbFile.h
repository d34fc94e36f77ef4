// Standard VST preset (.fxp) and bank (.fxb) files: big-endian 'CcnK' files
// holding either parameter values or an opaque chunk. Parsing checks every
// size against the bytes it has and never reads past them.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace zvx {

class FxbFile {
 public:
  static constexpr std::uint32_t kRootMagic = 0x43636E4B;     // 'CcnK'
  static constexpr std::uint32_t kRegularBank = 0x4678426B;   // 'FxBk'
  static constexpr std::uint32_t kChunkBank = 0x46424368;     // 'FBCh'
  static constexpr std::uint32_t kRegularPreset = 0x4678436B; // 'FxCk'
  static constexpr std::uint32_t kChunkPreset = 0x46504368;   // 'FPCh'
  static constexpr std::size_t kBankHeaderSize = 156;         // up to the chunk size or the first program
  static constexpr std::size_t kPresetHeaderSize = 56;        // up to the values or the chunk size

  struct Program {
    std::string name;           // up to 28 characters
    std::vector<float> values;  // in the file's order
  };

  struct Contents {
    std::uint32_t type = 0;  // one of the four kinds above
    std::int32_t pluginId = 0;
    std::int32_t pluginVersion = 0;
    std::int32_t declaredPrograms = 0;  // banks: the header's count
    std::int32_t currentProgram = 0;    // banks of format version 2
    std::vector<Program> programs;      // regular banks and presets
    std::vector<unsigned char> chunk;   // chunk banks and presets
  };

  // A bank or a preset; nothing when the bytes are not one, are shorter than
  // the header, the chunk or the programs they declare. A regular bank yields
  // at most `maxPrograms` programs; later ones are not read.
  static std::optional<Contents> parse(std::span<const unsigned char> bytes, std::size_t maxPrograms = 128);

  // Builds the bytes of a chunk bank ('FBCh') or a chunk preset ('FPCh').
  static std::vector<unsigned char> chunkBank(std::int32_t pluginId, std::int32_t pluginVersion,
                                              std::int32_t programs, std::int32_t currentProgram,
                                              std::span<const unsigned char> chunk);
  static std::vector<unsigned char> chunkPreset(std::int32_t pluginId, std::int32_t pluginVersion,
                                                std::int32_t parameters, const std::string& name,
                                                std::span<const unsigned char> chunk);

  // Big-endian 32-bit words as the files hold them.
  static std::uint32_t readWord(const unsigned char* bytes);
  static void writeWord(std::vector<unsigned char>& out, std::uint32_t word);
};

}  // namespace zvx
