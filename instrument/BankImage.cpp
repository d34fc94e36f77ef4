#include "instrument/BankImage.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>

#include "instrument/ParameterTable.h"

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

float BankImage::finiteValue(int index, float value, bool unclamped) {
  if (std::isfinite(value)) return value;
  if (unclamped) return kParameterTable[static_cast<std::size_t>(index)].defaultValue;
  return value > 0.0f ? 1.0f : 0.0f;  // NaN compares false
}

namespace {

float loadFloat(const unsigned char* bytes) {
  float value;
  std::memcpy(&value, bytes, 4);
  return value;
}

void storeFloat(unsigned char* bytes, float value) { std::memcpy(bytes, &value, 4); }

}  // namespace

// Record by record through a copy, so no thread ever reads a non-finite value.
void BankImage::writeBank(const void* chunk) {
  const auto* bytes = static_cast<const unsigned char*>(chunk);
  for (int p = 0; p < kNumParameters; ++p) {
    unsigned char record[kParamRecordSize];
    std::memcpy(record, bytes + paramOffset(p), kParamRecordSize);
    storeFloat(record + 4, finiteValue(p, loadFloat(record + 4), record[1] != 0));
    write(paramOffset(p), record, kParamRecordSize);
  }
  for (int program = 0; program < kPrograms; ++program) {
    unsigned char record[kProgramRecordSize];
    std::memcpy(record, bytes + programOffset(program), kProgramRecordSize);
    for (int p = 0; p < kNumParameters; ++p) {
      unsigned char* value = record + kNameSize + 4 * p;
      storeFloat(value, finiteValue(p, loadFloat(value), bytes[paramOffset(p) + 1] != 0));
    }
    write(programOffset(program), record, kProgramRecordSize);
  }
}

// A value the chunk covers only in part is completed by the record's own bytes.
void BankImage::writeProgram(int program, const void* chunk, std::size_t size) {
  unsigned char record[kProgramRecordSize];
  read(programOffset(program), record, kProgramRecordSize);
  size = std::min(size, kProgramRecordSize);
  std::memcpy(record, chunk, size);
  for (int p = 0; p < kNumParameters && kNameSize + 4 * p < size; ++p) {
    unsigned char* value = record + kNameSize + 4 * p;
    storeFloat(value, finiteValue(p, loadFloat(value), unclamped(p)));
    size = std::max(size, kNameSize + 4 * p + 4);
  }
  write(programOffset(program), record, size);
}

void BankImage::copyProgram(int from, int to) {
  unsigned char record[kProgramRecordSize];
  read(programOffset(from), record, kProgramRecordSize);
  write(programOffset(to), record, kProgramRecordSize);
}

}  // namespace zvx
