// FLAC files (24-bit) through libsndfile.
#include <sndfile.h>

#include "tools/zvx-render/SoundStream.h"

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

class FlacStream : public SoundStream {
 public:
  explicit FlacStream(SNDFILE* file) : file_(file) {}
  ~FlacStream() override {
    if (file_) sf_close(file_);
  }

  bool write(const float* interleaved, std::int64_t frames, std::string& error) override {
    if (sf_writef_float(file_, interleaved, frames) == frames) return true;
    error = oneLine(sf_strerror(file_));
    return false;
  }

  bool close(std::string& error) override {
    SNDFILE* file = file_;
    file_ = nullptr;
    if (sf_close(file) == 0) return true;
    error = oneLine(sf_strerror(nullptr));
    return false;
  }

 private:
  SNDFILE* file_;
};

}  // namespace

std::unique_ptr<SoundStream> openFlacStream(const std::string& path, int channels, int sampleRate, std::string& error) {
  SF_INFO info{};
  info.samplerate = sampleRate;
  info.channels = channels;
  info.format = SF_FORMAT_FLAC | SF_FORMAT_PCM_24;
  if (!sf_format_check(&info)) {
    error = "cannot write flac with " + std::to_string(channels) + " channels at " + std::to_string(sampleRate) + " Hz";
    return nullptr;
  }
  SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
  if (!file) {
    error = oneLine(sf_strerror(nullptr));
    return nullptr;
  }
  // Overs are clipped at full scale instead of wrapping round to the other side.
  sf_command(file, SFC_SET_CLIPPING, nullptr, SF_TRUE);
  return std::make_unique<FlacStream>(file);
}

}  // namespace zvx::render
