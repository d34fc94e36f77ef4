#include "tools/zvx-render/SoundFileWriter.h"

#include <sndfile.h>

namespace zvx::render {
namespace {

// libsndfile's messages sometimes end in a full stop or a newline; ours are one line.
std::string oneLine(const char* text) {
  std::string line = text ? text : "unknown error";
  for (char& c : line)
    if (c == '\n' || c == '\r') c = ' ';
  while (!line.empty() && (line.back() == ' ' || line.back() == '.')) line.pop_back();
  return line;
}

}  // namespace

class SoundFileWriter::Stream {
 public:
  explicit Stream(SNDFILE* handle) : file(handle) {}
  ~Stream() {
    if (file) sf_close(file);
  }
  SNDFILE* file;
};

SoundFileWriter::SoundFileWriter(std::unique_ptr<Stream> stream) : stream_(std::move(stream)) {}

std::unique_ptr<SoundFileWriter> SoundFileWriter::open(const std::string& path, SoundFormat format, int channels,
                                                       int sampleRate, std::string& error) {
  SF_INFO info{};
  info.samplerate = sampleRate;
  info.channels = channels;
  switch (format) {
    case SoundFormat::Wav16:
      info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
      break;
    case SoundFormat::Wav24:
      info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_24;
      break;
    case SoundFormat::Wav32Float:
      info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
      break;
    case SoundFormat::Flac:
      info.format = SF_FORMAT_FLAC | SF_FORMAT_PCM_24;
      break;
  }
  if (!sf_format_check(&info)) {
    error = "cannot write " + std::string(nameOf(format)) + " with " + std::to_string(channels) + " channels at " +
            std::to_string(sampleRate) + " Hz";
    return nullptr;
  }
  SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
  if (!file) {
    error = oneLine(sf_strerror(nullptr));
    return nullptr;
  }
  // Overs are clipped at full scale instead of wrapping round to the other side.
  if (isInteger(format)) sf_command(file, SFC_SET_CLIPPING, nullptr, SF_TRUE);
  // The PEAK chunk carries a time stamp; without it the same render gives the same bytes.
  sf_command(file, SFC_SET_ADD_PEAK_CHUNK, nullptr, SF_FALSE);
  return std::unique_ptr<SoundFileWriter>(new SoundFileWriter(std::make_unique<Stream>(file)));
}

SoundFileWriter::~SoundFileWriter() = default;

bool SoundFileWriter::write(const float* interleaved, std::int64_t frames, std::string& error) {
  SNDFILE* file = stream_ ? stream_->file : nullptr;
  if (!file) {
    error = "file already closed";
    return false;
  }
  if (sf_writef_float(file, interleaved, frames) != frames) {
    error = oneLine(sf_strerror(file));
    return false;
  }
  return true;
}

bool SoundFileWriter::close(std::string& error) {
  if (!stream_ || !stream_->file) return true;
  SNDFILE* file = stream_->file;
  stream_->file = nullptr;
  if (sf_close(file) != 0) {
    error = oneLine(sf_strerror(nullptr));
    return false;
  }
  return true;
}

}  // namespace zvx::render
