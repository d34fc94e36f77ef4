// The bank image: 83 parameter records followed by 128 program records, 48556
// contiguous bytes laid out exactly as the bank chunk (little-endian).
//
// Parameter record, 36 bytes: inProgram (byte 0), unclamped (byte 1), two
// unused bytes, value (float at 4), spare word (8), name (24 bytes at 12).
// Program record, 356 bytes: name (24 bytes), then 83 float values.
//
// The image is read by the audio thread (a learned controller runs the
// parameter setter there) while the GUI thread may write it, so every access
// is a relaxed atomic load or store of one aligned 32-bit word.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "engine/Parameters.h"

namespace zvx {

class BankImage {
 public:
  static constexpr int kPrograms = 128;
  static constexpr std::size_t kParamRecordSize = 36;
  static constexpr std::size_t kProgramRecordSize = 356;
  static constexpr std::size_t kNameSize = 24;
  static constexpr std::size_t kProgramsOffset = kNumParameters * kParamRecordSize;  // 2988
  static constexpr std::size_t kSize = kProgramsOffset + kPrograms * kProgramRecordSize;  // 48556

  // Blank records: parameters inProgram, clamped, value 1.0, name " ";
  // programs named "Init" with every value 1.0.
  BankImage();

  bool inProgram(int index) const { return byteAt(paramOffset(index)) != 0; }
  bool unclamped(int index) const { return byteAt(paramOffset(index) + 1) != 0; }
  float recordValue(int index) const { return floatAt(paramOffset(index) + 4); }
  void setRecordValue(int index, float value) { setFloatAt(paramOffset(index) + 4, value); }
  // Replaces a whole parameter record: flags, value, name (at most 16 characters).
  void setParamRecord(int index, const char* name, float value, bool inProgram, bool unclamped);
  // The name, cut at its terminator or at the field's end.
  std::string paramName(int index) const { return nameAt(paramOffset(index) + 12); }

  float programValue(int program, int index) const { return floatAt(programOffset(program) + 24 + 4 * index); }
  void setProgramValue(int program, int index, float value) {
    setFloatAt(programOffset(program) + 24 + 4 * index, value);
  }
  std::string programName(int program) const { return nameAt(programOffset(program)); }
  // Zero-fills the name field and copies at most 23 characters.
  void setProgramName(int program, const char* name);
  void copyProgram(int from, int to);

  // The value the current program gives a parameter.
  float currentValue(int program, int index) const {
    return inProgram(index) ? programValue(program, index) : recordValue(index);
  }

  // Copy a bank chunk (kSize bytes) over the whole image, or a program chunk
  // (at most kProgramRecordSize bytes, name first) over the leading part of a
  // program record. A value that is no finite number becomes what the setter
  // makes of an out-of-range one (clamped records: NaN 0, infinities 0 or 1),
  // or, for an unclamped record, the parameter's default; every other byte is
  // copied as it stands. A bank's values follow the chunk's own records, a
  // program's the image's.
  void writeBank(const void* chunk);
  void writeProgram(int program, const void* chunk, std::size_t size);
  // The finite value that stands for `value` in parameter `index`'s record.
  static float finiteValue(int index, float value, bool unclamped);

  // Byte-level access to the chunk layout.
  void read(std::size_t offset, void* destination, std::size_t size) const;
  void write(std::size_t offset, const void* source, std::size_t size);

  static constexpr std::size_t paramOffset(int index) { return static_cast<std::size_t>(index) * kParamRecordSize; }
  static constexpr std::size_t programOffset(int program) {
    return kProgramsOffset + static_cast<std::size_t>(program) * kProgramRecordSize;
  }

 private:
  std::uint32_t wordAt(std::size_t word) const;
  void setWordAt(std::size_t word, std::uint32_t value);
  unsigned char byteAt(std::size_t offset) const;
  float floatAt(std::size_t offset) const;
  void setFloatAt(std::size_t offset, float value);
  std::string nameAt(std::size_t offset) const;
  void setNameAt(std::size_t offset, const char* name, std::size_t maxCharacters);

  std::array<std::uint32_t, kSize / 4> words_{};
};

static_assert(BankImage::kSize == 48556 && BankImage::kSize % 4 == 0);

}  // namespace zvx
