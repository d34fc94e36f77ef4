// SoundFileWriter where libsndfile is absent (the Windows build): WAV only,
// 16- and 24-bit PCM or 32-bit float, the header written by zvx-data's
// WavWriter and its sizes filled in at close.
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <vector>

#include "tools/zvx-data/WavWriter.h"
#include "tools/zvx-render/SoundFileWriter.h"

namespace zvx::render {
namespace {

using data::WavWriter;

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

}  // namespace

class SoundFileWriter::Stream {
 public:
  Stream(std::FILE* handle, SoundFormat format, int channels, int sampleRate)
      : file(handle), format(format), channels(channels), sampleRate(sampleRate) {}
  ~Stream() {
    if (file) std::fclose(file);
  }

  std::vector<std::uint8_t> header() const {
    const bool floating = format == SoundFormat::Wav32Float;
    return WavWriter::header(floating ? WavWriter::kIeeeFloat : WavWriter::kPcm, static_cast<std::uint16_t>(channels),
                             static_cast<std::uint32_t>(sampleRate),
                             static_cast<std::uint16_t>(8 * bytesPerSample(format)),
                             static_cast<std::uint32_t>(dataBytes));
  }

  std::FILE* file;
  SoundFormat format;
  int channels;
  int sampleRate;
  std::uint64_t dataBytes = 0;
  std::vector<std::uint8_t> buffer;
};

SoundFileWriter::SoundFileWriter(std::unique_ptr<Stream> stream) : stream_(std::move(stream)) {}

SoundFileWriter::~SoundFileWriter() = default;

std::unique_ptr<SoundFileWriter> SoundFileWriter::open(const std::string& path, SoundFormat format, int channels,
                                                       int sampleRate, std::string& error) {
  if (format == SoundFormat::Flac) {
    error = "this build writes WAV only (wav16, wav24 or wav32f)";
    return nullptr;
  }
  if (channels < 1 || channels > 64 || sampleRate < 1) {
    error = "cannot write " + std::string(nameOf(format)) + " with " + std::to_string(channels) + " channels at " +
            std::to_string(sampleRate) + " Hz";
    return nullptr;
  }
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) {
    error = systemError();
    return nullptr;
  }
  auto stream = std::make_unique<Stream>(file, format, channels, sampleRate);
  // A placeholder until close knows the sizes.
  const std::vector<std::uint8_t> header = stream->header();
  if (std::fwrite(header.data(), 1, header.size(), file) != header.size()) {
    error = systemError();
    return nullptr;
  }
  return std::unique_ptr<SoundFileWriter>(new SoundFileWriter(std::move(stream)));
}

bool SoundFileWriter::write(const float* interleaved, std::int64_t frames, std::string& error) {
  if (!stream_ || !stream_->file) {
    error = "file already closed";
    return false;
  }
  Stream& out = *stream_;
  const int width = bytesPerSample(out.format);
  const std::uint64_t count = static_cast<std::uint64_t>(frames) * static_cast<std::uint64_t>(out.channels);
  // The RIFF sizes are 32-bit.
  if (out.dataBytes + count * width > std::numeric_limits<std::uint32_t>::max() - WavWriter::kHeaderSize) {
    error = "the file would pass the 4 GB limit of WAV";
    return false;
  }
  out.buffer.resize(static_cast<std::size_t>(count) * static_cast<std::size_t>(width));
  std::uint8_t* to = out.buffer.data();
  for (std::uint64_t i = 0; i < count; ++i) {
    std::uint32_t word = 0;
    if (out.format == SoundFormat::Wav32Float)
      std::memcpy(&word, &interleaved[i], sizeof word);
    else
      word = static_cast<std::uint32_t>(toInteger(interleaved[i], out.format == SoundFormat::Wav16 ? 0x7FFF : 0x7FFFFF));
    for (int b = 0; b < width; ++b) *to++ = static_cast<std::uint8_t>(word >> (8 * b));  // little-endian
  }
  if (std::fwrite(out.buffer.data(), 1, out.buffer.size(), out.file) != out.buffer.size()) {
    error = systemError();
    return false;
  }
  out.dataBytes += out.buffer.size();
  return true;
}

bool SoundFileWriter::close(std::string& error) {
  if (!stream_ || !stream_->file) return true;
  Stream& out = *stream_;
  std::FILE* file = out.file;
  out.file = nullptr;
  const std::vector<std::uint8_t> header = out.header();
  bool ok = std::fseek(file, 0, SEEK_SET) == 0 && std::fwrite(header.data(), 1, header.size(), file) == header.size();
  if (!ok) error = systemError();
  if (std::fclose(file) != 0 && ok) {
    error = systemError();
    ok = false;
  }
  return ok;
}

}  // namespace zvx::render
