// WAV files written by zvx-render itself, on every platform: 16- and 24-bit
// PCM with the plain 16-byte "fmt " chunk; 32-bit IEEE float with the whole
// 18-byte one (its cbSize 0, which readers such as sox expect of any format
// but PCM) and the "fact" chunk with the frame count. The sizes are filled in
// at close; a data chunk of odd length gets its pad byte.
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <vector>

#include "storage/LittleEndian.h"
#include "tools/zvx-render/SoundStream.h"

namespace zvx::render {
namespace {

using le::put;
using le::put16;
using le::put32;

constexpr std::uint16_t kPcm = 1;
constexpr std::uint16_t kIeeeFloat = 3;

int bytesPerSample(SoundFormat format) {
  switch (format) {
    case SoundFormat::Wav16:
      return 2;
    case SoundFormat::Wav24:
      return 3;
    default:
      return 4;
  }
}

// Full scale at 1.0; overs are clipped at full scale instead of wrapping round.
std::int32_t toInteger(float sample, std::int32_t fullScale) {
  const double scaled = std::nearbyint(static_cast<double>(sample) * fullScale);
  if (!(scaled > -fullScale - 1.0)) return -fullScale - 1;  // NaN as well
  if (scaled > fullScale) return fullScale;
  return static_cast<std::int32_t>(scaled);
}

std::string systemError() { return std::strerror(errno); }

class WavStream : public SoundStream {
 public:
  WavStream(std::FILE* file, SoundFormat format, int channels, int sampleRate)
      : file_(file), format_(format), channels_(channels), sampleRate_(sampleRate) {}
  ~WavStream() override {
    if (file_) std::fclose(file_);
  }

  bool floating() const { return format_ == SoundFormat::Wav32Float; }

  // Everything before the samples, for `dataBytes` bytes of them.
  std::vector<std::uint8_t> header(std::uint32_t dataBytes) const {
    const auto width = static_cast<std::uint32_t>(bytesPerSample(format_));
    const std::uint32_t frameBytes = static_cast<std::uint32_t>(channels_) * width;
    const std::uint32_t formatSize = floating() ? 18 : 16;
    const std::uint32_t factSize = floating() ? 12 : 0;
    std::vector<std::uint8_t> out;
    put(out, "RIFF");
    put32(out, 4 + (8 + formatSize) + factSize + 8 + dataBytes + (dataBytes & 1));
    put(out, "WAVE");
    put(out, "fmt ");
    put32(out, formatSize);
    put16(out, floating() ? kIeeeFloat : kPcm);
    put16(out, static_cast<std::uint32_t>(channels_));
    put32(out, static_cast<std::uint32_t>(sampleRate_));
    put32(out, static_cast<std::uint32_t>(sampleRate_) * frameBytes);  // bytes a second
    put16(out, frameBytes);
    put16(out, 8 * width);
    if (floating()) {
      put16(out, 0);  // cbSize: no extra format bytes
      put(out, "fact");
      put32(out, 4);
      put32(out, dataBytes / frameBytes);
    }
    put(out, "data");
    put32(out, dataBytes);
    return out;
  }

  bool writeHeader(std::string& error) {
    const std::vector<std::uint8_t> bytes = header(static_cast<std::uint32_t>(dataBytes_));
    if (std::fwrite(bytes.data(), 1, bytes.size(), file_) == bytes.size()) return true;
    error = systemError();
    return false;
  }

  bool write(const float* interleaved, std::int64_t frames, std::string& error) override {
    const int width = bytesPerSample(format_);
    const std::uint64_t count = static_cast<std::uint64_t>(frames) * static_cast<std::uint64_t>(channels_);
    // The RIFF sizes are 32-bit.
    if (dataBytes_ + count * width > std::numeric_limits<std::uint32_t>::max() - header(0).size() - 1) {
      error = "the file would pass the 4 GB limit of WAV";
      return false;
    }
    buffer_.resize(static_cast<std::size_t>(count) * static_cast<std::size_t>(width));
    std::uint8_t* to = buffer_.data();
    for (std::uint64_t i = 0; i < count; ++i) {
      std::uint32_t word = 0;
      if (floating())
        std::memcpy(&word, &interleaved[i], sizeof word);
      else
        word = static_cast<std::uint32_t>(toInteger(interleaved[i], format_ == SoundFormat::Wav16 ? 0x7FFF : 0x7FFFFF));
      for (int b = 0; b < width; ++b) *to++ = static_cast<std::uint8_t>(word >> (8 * b));  // little-endian
    }
    if (std::fwrite(buffer_.data(), 1, buffer_.size(), file_) != buffer_.size()) {
      error = systemError();
      return false;
    }
    dataBytes_ += buffer_.size();
    return true;
  }

  bool close(std::string& error) override {
    std::FILE* file = file_;
    bool ok = (dataBytes_ % 2 == 0 || std::fputc(0, file) != EOF) && std::fseek(file, 0, SEEK_SET) == 0;
    if (!ok) error = systemError();
    ok = ok && writeHeader(error);
    file_ = nullptr;
    if (std::fclose(file) != 0 && ok) {
      error = systemError();
      ok = false;
    }
    return ok;
  }

 private:
  std::FILE* file_;
  SoundFormat format_;
  int channels_;
  int sampleRate_;
  std::uint64_t dataBytes_ = 0;
  std::vector<std::uint8_t> buffer_;
};

}  // namespace

std::unique_ptr<SoundStream> openWavStream(const std::string& path, SoundFormat format, int channels, int sampleRate,
                                           std::string& error) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) {
    error = systemError();
    return nullptr;
  }
  auto stream = std::make_unique<WavStream>(file, format, channels, sampleRate);
  // A placeholder until close knows the sizes.
  if (!stream->writeHeader(error)) return nullptr;
  return stream;
}

}  // namespace zvx::render
