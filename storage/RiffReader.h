// A reader of nested RIFF chunks: opens a file whose first chunk is "RIFF" and
// walks its chunks, keeping a stack of the chunks it has entered. Every size
// read from the file is checked against the file before it is used, and a
// search is bounded: it looks at no more than kMaxChunksSearched chunks and
// nothing beyond the first kSearchedBytes of the file, so a hostile file (a
// sparse gigabyte of empty chunk headers) costs milliseconds, not minutes.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace zvx {

class RiffReader {
 public:
  static constexpr int kMaxChunksSearched = 4096;
  static constexpr std::uint64_t kSearchedBytes = std::uint64_t{64} << 20;

  struct Chunk {
    char id[5] = {};
    std::uint32_t size = 0;  // for RIFF and LIST: the header's size minus the form type
    char formType[5] = {};   // RIFF and LIST only
    std::uint64_t dataStart = 0;
    std::uint64_t dataEnd = 0;  // dataStart + size, rounded up to even
  };

  // Opens the file; the handle stays closed when it cannot be opened or its
  // first chunk is not "RIFF".
  explicit RiffReader(const std::string& path);
  ~RiffReader();
  RiffReader(const RiffReader&) = delete;
  RiffReader& operator=(const RiffReader&) = delete;

  bool isOpen() const { return file_ != nullptr; }
  // Of the current (innermost entered) chunk; empty or 0 when none.
  std::string id() const;
  std::string formType() const;
  std::uint32_t size() const;

  // Enters the first child of the current chunk with this id (any id when
  // empty, searching on from the current position). On failure the position
  // returns to the current chunk's data start.
  bool find(const std::string& id = "");
  // Leaves the current chunk; refused for the outermost one.
  bool ascend();

  // Reads up to `bytes` bytes at the current position, never past the file's end.
  std::size_t read(void* destination, std::size_t bytes);
  std::uint64_t position() const;
  std::uint64_t fileSize() const { return fileSize_; }
  // Chunk headers read by the searches so far.
  long headersRead() const { return headersRead_; }

 private:
  bool readHeader(Chunk& chunk);
  void seek(std::uint64_t offset);

  std::FILE* file_ = nullptr;
  std::uint64_t fileSize_ = 0;
  std::vector<Chunk> stack_;
  long headersRead_ = 0;
};

}  // namespace zvx
