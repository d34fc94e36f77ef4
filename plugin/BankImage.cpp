#include "plugin/BankImage.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>

namespace zvx {
namespace {

constexpr std::memory_order relaxed = std::memory_order_relaxed;

}  // namespace

BankImage::BankImage() {
  for (int p = 0; p < kNumParameters; ++p) setParamRecord(p, " ", 1.0f, true, false);
  for (int program = 0; program < kPrograms; ++program) {
    setProgramName(program, "Init");
    for (int p = 0; p < kNumParameters; ++p) setProgramValue(program, p, 1.0f);
  }
}

std::uint32_t BankImage::wordAt(std::size_t word) const {
  // Loading never writes; atomic_ref just needs a non-const reference.
  return std::atomic_ref<std::uint32_t>(const_cast<std::uint32_t&>(words_[word])).load(relaxed);
}

void BankImage::setWordAt(std::size_t word, std::uint32_t value) {
  std::atomic_ref<std::uint32_t>(words_[word]).store(value, relaxed);
}

// Word contents are copied through memcpy, so byte k of a word is the byte at
// offset 4 * word + k of the image whatever the machine's byte order.
unsigned char BankImage::byteAt(std::size_t offset) const {
  std::uint32_t word = wordAt(offset / 4);
  unsigned char bytes[4];
  std::memcpy(bytes, &word, 4);
  return bytes[offset % 4];
}

float BankImage::floatAt(std::size_t offset) const {
  std::uint32_t word = wordAt(offset / 4);
  float value;
  std::memcpy(&value, &word, 4);
  return value;
}

void BankImage::setFloatAt(std::size_t offset, float value) {
  std::uint32_t word;
  std::memcpy(&word, &value, 4);
  setWordAt(offset / 4, word);
}

void BankImage::read(std::size_t offset, void* destination, std::size_t size) const {
  auto* out = static_cast<unsigned char*>(destination);
  while (size > 0) {
    std::uint32_t word = wordAt(offset / 4);
    unsigned char bytes[4];
    std::memcpy(bytes, &word, 4);
    std::size_t first = offset % 4;
    std::size_t count = std::min<std::size_t>(4 - first, size);
    std::memcpy(out, bytes + first, count);
    out += count;
    offset += count;
    size -= count;
  }
}

void BankImage::write(std::size_t offset, const void* source, std::size_t size) {
  const auto* in = static_cast<const unsigned char*>(source);
  while (size > 0) {
    std::size_t first = offset % 4;
    std::size_t count = std::min<std::size_t>(4 - first, size);
    std::uint32_t word = count == 4 ? 0 : wordAt(offset / 4);
    unsigned char bytes[4];
    std::memcpy(bytes, &word, 4);
    std::memcpy(bytes + first, in, count);
    std::memcpy(&word, bytes, 4);
    setWordAt(offset / 4, word);
    in += count;
    offset += count;
    size -= count;
  }
}

std::string BankImage::nameAt(std::size_t offset) const {
  char name[kNameSize];
  read(offset, name, kNameSize);
  return std::string(name, strnlen(name, kNameSize));
}

void BankImage::setNameAt(std::size_t offset, const char* name, std::size_t maxCharacters) {
  char field[kNameSize] = {};
  std::size_t length = strnlen(name, maxCharacters);
  std::memcpy(field, name, length);
  write(offset, field, kNameSize);
}

void BankImage::setParamRecord(int index, const char* name, float value, bool inProgram, bool unclamped) {
  unsigned char flags[4] = {static_cast<unsigned char>(inProgram), static_cast<unsigned char>(unclamped), 0, 0};
  const std::size_t offset = paramOffset(index);
  write(offset, flags, 4);
  setFloatAt(offset + 4, value);
  setWordAt((offset + 8) / 4, 0);
  setNameAt(offset + 12, name, 16);
}

void BankImage::setProgramName(int program, const char* name) {
  setNameAt(programOffset(program), name, kNameSize - 1);
}

namespace {

// The whole 4-byte values from `offset` on within `size` are finite floats.
bool finiteValues(const unsigned char* bytes, std::size_t offset, std::size_t end) {
  for (; offset + 4 <= end; offset += 4) {
    float value;
    std::memcpy(&value, bytes + offset, 4);
    if (!std::isfinite(value)) return false;
  }
  return true;
}

}  // namespace

bool BankImage::wellFormedBank(const void* data, std::size_t size) {
  if (size != kSize) return false;
  const auto* bytes = static_cast<const unsigned char*>(data);
  for (int p = 0; p < kNumParameters; ++p) {
    const std::size_t at = paramOffset(p);
    if (!finiteValues(bytes, at + 4, at + 8)) return false;
  }
  for (int program = 0; program < kPrograms; ++program)
    if (!wellFormedProgram(bytes + programOffset(program), kProgramRecordSize)) return false;
  return true;
}

bool BankImage::wellFormedProgram(const void* data, std::size_t size) {
  return size <= kProgramRecordSize && finiteValues(static_cast<const unsigned char*>(data), kNameSize, size);
}

void BankImage::copyProgram(int from, int to) {
  unsigned char record[kProgramRecordSize];
  read(programOffset(from), record, kProgramRecordSize);
  write(programOffset(to), record, kProgramRecordSize);
}

}  // namespace zvx
