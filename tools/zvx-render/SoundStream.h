// The open sound file behind a SoundFileWriter, one kind per file format.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "tools/zvx-render/SoundFileWriter.h"

namespace zvx::render {

class SoundStream {
 public:
  virtual ~SoundStream() = default;
  // `frames` frames of interleaved samples, full scale at 1.0.
  virtual bool write(const float* interleaved, std::int64_t frames, std::string& error) = 0;
  // Completes the file; false, with `error` set, when that fails.
  virtual bool close(std::string& error) = 0;
};

// WAV files of our own making, the same bytes on every platform (wav16, wav24, wav32f).
std::unique_ptr<SoundStream> openWavStream(const std::string& path, SoundFormat format, int channels, int sampleRate,
                                           std::string& error);
// FLAC through libsndfile, where the build has it.
std::unique_ptr<SoundStream> openFlacStream(const std::string& path, int channels, int sampleRate, std::string& error);

}  // namespace zvx::render
