#include "storage/RiffReader.h"

#include <cstring>

#include "platform/Platform.h"

namespace zvx {
namespace {

std::uint32_t littleEndian32(const unsigned char* bytes) {
  return static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
         static_cast<std::uint32_t>(bytes[2]) << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
}

bool isList(const char* id) { return std::memcmp(id, "RIFF", 4) == 0 || std::memcmp(id, "LIST", 4) == 0; }

}  // namespace

RiffReader::RiffReader(const std::string& path) {
  file_ = platform::openRegularFile(path);
  if (!file_) return;
  if (std::fseek(file_, 0, SEEK_END) == 0) {
    long end = std::ftell(file_);
    fileSize_ = end > 0 ? static_cast<std::uint64_t>(end) : 0;
  }
  seek(0);
  Chunk first;
  if (!readHeader(first) || std::memcmp(first.id, "RIFF", 4) != 0) {
    std::fclose(file_);
    file_ = nullptr;
    return;
  }
  stack_.push_back(first);
}

RiffReader::~RiffReader() {
  if (file_) std::fclose(file_);
}

std::string RiffReader::id() const { return stack_.empty() ? std::string() : std::string(stack_.back().id); }

std::string RiffReader::formType() const {
  return stack_.empty() ? std::string() : std::string(stack_.back().formType);
}

std::uint32_t RiffReader::size() const { return stack_.empty() ? 0 : stack_.back().size; }

std::uint64_t RiffReader::position() const {
  long where = std::ftell(file_);
  return where > 0 ? static_cast<std::uint64_t>(where) : 0;
}

void RiffReader::seek(std::uint64_t offset) {
  // Offsets past the end are clamped: reads there find the end of file.
  if (offset > fileSize_) offset = fileSize_;
  std::fseek(file_, static_cast<long>(offset), SEEK_SET);
}

std::size_t RiffReader::read(void* destination, std::size_t bytes) {
  if (!file_) return 0;
  return std::fread(destination, 1, bytes, file_);
}

// Reads an 8-byte header (12 for RIFF and LIST) at the current position.
bool RiffReader::readHeader(Chunk& chunk) {
  unsigned char header[8];
  const std::uint64_t start = position();
  if (read(header, 8) != 8) return false;
  chunk = Chunk{};
  std::memcpy(chunk.id, header, 4);
  chunk.size = littleEndian32(header + 4);
  chunk.dataStart = start + 8;
  if (isList(chunk.id)) {
    unsigned char form[4];
    if (read(form, 4) != 4) return false;
    std::memcpy(chunk.formType, form, 4);
    chunk.size = chunk.size >= 4 ? chunk.size - 4 : 0;  // the form type counts as read
    chunk.dataStart = start + 12;
  }
  chunk.dataEnd = chunk.dataStart + chunk.size + (chunk.size & 1u);
  return true;
}

bool RiffReader::find(const std::string& id) {
  if (!file_ || stack_.empty()) return false;
  const Chunk& parent = stack_.back();
  if (!id.empty()) seek(parent.dataStart);
  for (int searched = 0; searched < kMaxChunksSearched; ++searched) {
    if (position() >= fileSize_ || position() >= parent.dataEnd || position() >= kSearchedBytes) break;
    Chunk child;
    ++headersRead_;
    if (!readHeader(child)) break;
    if (id.empty() || (id.size() == 4 && std::memcmp(child.id, id.data(), 4) == 0)) {
      stack_.push_back(child);
      return true;
    }
    seek(child.dataEnd);
  }
  seek(parent.dataStart);
  return false;
}

bool RiffReader::ascend() {
  if (!file_ || stack_.size() <= 1) return false;
  seek(stack_.back().dataEnd);
  stack_.pop_back();
  return true;
}

}  // namespace zvx
