// A stream over bytes in memory, as hosts hand plug-ins for their state:
// reads stop at the end, writes grow it (past the end, with zeros between),
// seek and tell as files do. Given a `readChunk`, a read hands over at most
// that many bytes at a time, as some hosts' streams do.
#pragma once

#include <cstdint>
#include <vector>

#include "vst3host/HostObject.h"

namespace zvx::vst3host {

class MemoryStream final : public HostObject<vst3::IBStream> {
 public:
  MemoryStream() = default;
  explicit MemoryStream(std::vector<std::uint8_t> bytes, std::int64_t readChunk = 0)
      : bytes_(std::move(bytes)), readChunk_(readChunk) {}

  vst3::tresult ZVX_VST3_API read(void* buffer, vst3::int32 numBytes, vst3::int32* numBytesRead) override;
  vst3::tresult ZVX_VST3_API write(void* buffer, vst3::int32 numBytes, vst3::int32* numBytesWritten) override;
  vst3::tresult ZVX_VST3_API seek(vst3::int64 pos, vst3::int32 mode, vst3::int64* result) override;
  vst3::tresult ZVX_VST3_API tell(vst3::int64* pos) override;

  const std::vector<std::uint8_t>& bytes() const { return bytes_; }
  std::int64_t position() const { return position_; }

 private:
  std::vector<std::uint8_t> bytes_;
  std::int64_t readChunk_ = 0;
  std::int64_t position_ = 0;
};

}  // namespace zvx::vst3host
