#include "vst3host/MemoryStream.h"

#include <algorithm>
#include <cstring>

namespace zvx::vst3host {

vst3::tresult MemoryStream::read(void* buffer, vst3::int32 numBytes, vst3::int32* numBytesRead) {
  if (numBytesRead) *numBytesRead = 0;
  if (numBytes < 0 || (!buffer && numBytes > 0)) return vst3::kInvalidArgument;
  const auto size = static_cast<std::int64_t>(bytes_.size());
  std::int64_t count = std::clamp<std::int64_t>(size - position_, 0, numBytes);
  if (readChunk_ > 0) count = std::min(count, readChunk_);
  if (count > 0) std::memcpy(buffer, bytes_.data() + position_, static_cast<std::size_t>(count));
  position_ += count;
  if (numBytesRead) *numBytesRead = static_cast<vst3::int32>(count);
  return vst3::kResultOk;
}

vst3::tresult MemoryStream::write(void* buffer, vst3::int32 numBytes, vst3::int32* numBytesWritten) {
  if (numBytesWritten) *numBytesWritten = 0;
  if (numBytes < 0 || (!buffer && numBytes > 0)) return vst3::kInvalidArgument;
  const auto end = static_cast<std::size_t>(position_) + static_cast<std::size_t>(numBytes);
  if (end > bytes_.size()) bytes_.resize(end, 0);
  if (numBytes > 0) std::memcpy(bytes_.data() + position_, buffer, static_cast<std::size_t>(numBytes));
  position_ += numBytes;
  if (numBytesWritten) *numBytesWritten = numBytes;
  return vst3::kResultOk;
}

vst3::tresult MemoryStream::seek(vst3::int64 pos, vst3::int32 mode, vst3::int64* result) {
  std::int64_t from = 0;
  switch (mode) {
    case vst3::IBStream::kIBSeekSet: from = 0; break;
    case vst3::IBStream::kIBSeekCur: from = position_; break;
    case vst3::IBStream::kIBSeekEnd: from = static_cast<std::int64_t>(bytes_.size()); break;
    default: return vst3::kInvalidArgument;
  }
  if (pos < -from) return vst3::kInvalidArgument;
  position_ = from + pos;
  if (result) *result = position_;
  return vst3::kResultOk;
}

vst3::tresult MemoryStream::tell(vst3::int64* pos) {
  if (!pos) return vst3::kInvalidArgument;
  *pos = position_;
  return vst3::kResultOk;
}

}  // namespace zvx::vst3host
