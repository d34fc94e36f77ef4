// Writes interleaved float frames to a WAV or FLAC file through libsndfile,
// or to a WAV file of our own making where libsndfile is absent (Windows).
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace zvx::render {

enum class SoundFormat { Wav16, Wav24, Wav32Float, Flac };

class SoundFileWriter {
 public:
  // wav16, wav24, wav32f or flac.
  static std::optional<SoundFormat> formatNamed(std::string_view name);
  static std::string_view nameOf(SoundFormat format);
  static bool isInteger(SoundFormat format) { return format != SoundFormat::Wav32Float; }

  // Null with `error` set (one line) when the file cannot be created.
  static std::unique_ptr<SoundFileWriter> open(const std::string& path, SoundFormat format, int channels,
                                               int sampleRate, std::string& error);
  ~SoundFileWriter();
  SoundFileWriter(const SoundFileWriter&) = delete;
  SoundFileWriter& operator=(const SoundFileWriter&) = delete;

  // `frames` frames of `channels` interleaved samples, full scale at 1.0.
  bool write(const float* interleaved, std::int64_t frames, std::string& error);
  // Finishes the header; writes done after this fail.
  bool close(std::string& error);

 private:
  class Stream;  // the open file, as the build writes it
  explicit SoundFileWriter(std::unique_ptr<Stream> stream);
  std::unique_ptr<Stream> stream_;
};

}  // namespace zvx::render
