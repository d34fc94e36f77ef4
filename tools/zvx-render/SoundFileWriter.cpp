// WAV by our own writer on every platform, FLAC through libsndfile where the
// build has it.
#include "tools/zvx-render/SoundFileWriter.h"

#include "tools/zvx-render/SoundStream.h"

namespace zvx::render {

class SoundFileWriter::Stream {
 public:
  explicit Stream(std::unique_ptr<SoundStream> open) : file(std::move(open)) {}
  std::unique_ptr<SoundStream> file;  // null once closed
};

#ifndef ZVX_RENDER_FLAC
std::unique_ptr<SoundStream> openFlacStream(const std::string&, int, int, std::string& error) {
  error = "this build writes WAV only (wav16, wav24 or wav32f)";
  return nullptr;
}
#endif

SoundFileWriter::SoundFileWriter(std::unique_ptr<Stream> stream) : stream_(std::move(stream)) {}

SoundFileWriter::~SoundFileWriter() = default;

std::unique_ptr<SoundFileWriter> SoundFileWriter::open(const std::string& path, SoundFormat format, int channels,
                                                       int sampleRate, std::string& error) {
  if (channels < 1 || channels > 64 || sampleRate < 1) {
    error = "cannot write " + std::string(nameOf(format)) + " with " + std::to_string(channels) + " channels at " +
            std::to_string(sampleRate) + " Hz";
    return nullptr;
  }
  std::unique_ptr<SoundStream> file = format == SoundFormat::Flac
                                          ? openFlacStream(path, channels, sampleRate, error)
                                          : openWavStream(path, format, channels, sampleRate, error);
  if (!file) return nullptr;
  return std::unique_ptr<SoundFileWriter>(new SoundFileWriter(std::make_unique<Stream>(std::move(file))));
}

bool SoundFileWriter::write(const float* interleaved, std::int64_t frames, std::string& error) {
  if (!stream_ || !stream_->file) {
    error = "file already closed";
    return false;
  }
  return stream_->file->write(interleaved, frames, error);
}

bool SoundFileWriter::close(std::string& error) {
  if (!stream_ || !stream_->file) return true;
  const std::unique_ptr<SoundStream> file = std::move(stream_->file);
  return file->close(error);
}

}  // namespace zvx::render
