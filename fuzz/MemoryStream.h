// An IBStream over bytes in memory for the VST3 fuzz targets: reads hand
// over at most `chunk` bytes at a time, as some hosts' streams do.
#pragma once

#include <algorithm>
#include <cstring>
#include <vector>

#include "formats/vst3/Vst3Abi.h"

namespace zvx::fuzz {

class MemoryStream final : public vst3::IBStream {
 public:
  explicit MemoryStream(std::vector<unsigned char> bytes = {}, std::size_t chunk = 0)
      : bytes_(std::move(bytes)), chunk_(chunk) {}
  const std::vector<unsigned char>& bytes() const { return bytes_; }

  vst3::tresult ZVX_VST3_API queryInterface(const vst3::TUID, void** object) override {
    *object = nullptr;
    return vst3::kNoInterface;
  }
  vst3::uint32 ZVX_VST3_API addRef() override { return 1; }
  vst3::uint32 ZVX_VST3_API release() override { return 1; }
  vst3::tresult ZVX_VST3_API read(void* buffer, vst3::int32 numBytes, vst3::int32* numBytesRead) override {
    if (numBytes < 0) return vst3::kInvalidArgument;
    std::size_t count = std::min<std::size_t>(static_cast<std::size_t>(numBytes), bytes_.size() - position_);
    if (chunk_) count = std::min(count, chunk_);
    if (count) std::memcpy(buffer, bytes_.data() + position_, count);
    position_ += count;
    if (numBytesRead) *numBytesRead = static_cast<vst3::int32>(count);
    return vst3::kResultOk;
  }
  vst3::tresult ZVX_VST3_API write(void* buffer, vst3::int32 numBytes, vst3::int32* numBytesWritten) override {
    if (numBytes < 0) return vst3::kInvalidArgument;
    const auto* from = static_cast<const unsigned char*>(buffer);
    bytes_.resize(std::max(bytes_.size(), position_ + static_cast<std::size_t>(numBytes)));
    std::copy(from, from + numBytes, bytes_.begin() + static_cast<std::ptrdiff_t>(position_));
    position_ += static_cast<std::size_t>(numBytes);
    if (numBytesWritten) *numBytesWritten = numBytes;
    return vst3::kResultOk;
  }
  vst3::tresult ZVX_VST3_API seek(vst3::int64 pos, vst3::int32 mode, vst3::int64* result) override {
    const vst3::int64 base = mode == kIBSeekCur ? static_cast<vst3::int64>(position_)
                             : mode == kIBSeekEnd ? static_cast<vst3::int64>(bytes_.size())
                                                  : 0;
    if (base + pos < 0 || base + pos > static_cast<vst3::int64>(bytes_.size())) return vst3::kInvalidArgument;
    position_ = static_cast<std::size_t>(base + pos);
    if (result) *result = static_cast<vst3::int64>(position_);
    return vst3::kResultOk;
  }
  vst3::tresult ZVX_VST3_API tell(vst3::int64* pos) override {
    if (pos) *pos = static_cast<vst3::int64>(position_);
    return vst3::kResultOk;
  }

 private:
  std::vector<unsigned char> bytes_;
  std::size_t chunk_;
  std::size_t position_ = 0;
};

}  // namespace zvx::fuzz
