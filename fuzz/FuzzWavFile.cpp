// libFuzzer target: any bytes as a sample file, through the WAV reader, the
// sample decoder and the voice-layer loader, and the layer played at its
// rate. Nothing may be read or written out of bounds, and every layer holds
// finite samples within full scale.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/PcmLayer.h"
#include "platform/Messages.h"
#include "instrument/SampleCache.h"
#include "storage/SampleDecoder.h"
#include "storage/WavFile.h"

namespace {

// A private documents folder whose data folder holds the input as BDA.wav.
const std::filesystem::path& sampleFile() {
  static const std::filesystem::path file = [] {
    std::string pattern = (std::filesystem::temp_directory_path() / "zvx-fuzz-wav-XXXXXX").string();
    if (!mkdtemp(pattern.data())) std::abort();
    setenv("ZVX_DOCUMENTS", pattern.c_str(), 1);
    std::filesystem::path folder = std::filesystem::path(pattern) / "Tonewerk Data" / "ZVX";
    std::filesystem::create_directories(folder);
    zvx::platform::setMessageSink([](const zvx::platform::Message&) {});
    return folder / "BDA.wav";
  }();
  return file;
}

// The first frames of an open file, decoded as the loader decodes them.
void decodeSome(zvx::WavFile& wav) {
  const zvx::SampleEncoding encoding = wav.encoding();
  if (!encoding.readable()) return;
  const zvx::SampleDecoder decoder(encoding, wav.channels());
  const std::size_t frameBytes = decoder.frameBytes();
  if (frameBytes == 0 || frameBytes > 4096) return;
  std::vector<unsigned char> frame(frameBytes);
  for (int i = 0; i < 256 && wav.readBytes(frame.data(), frameBytes); ++i) {
    const float value = decoder.frame(frame.data());
    if (!(value >= -32768.0f && value <= 32768.0f)) std::abort();
  }
}

// Every entry finite and within full scale; the layer played forward at an
// odd step reads inside the buffer or gives 0.
void checkLayer(const zvx::PcmBuffer& layer) {
  for (float sample : layer.samples)
    if (!(std::fabs(sample) <= 32768.0f / 32767.0f)) std::abort();
  if (!(layer.rate > 0.0f) || !std::isfinite(layer.rate)) std::abort();
  zvx::PcmLayer pcm(98000.0f);
  for (int i = 0; i < 2000; ++i) {
    if (!std::isfinite(pcm.sample(&layer))) std::abort();
    pcm.advance(61.7f, false, 0.0f);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::filesystem::path& path = sampleFile();
  if (std::FILE* file = std::fopen(path.c_str(), "wb")) {
    if (size) std::fwrite(data, 1, size, file);
    std::fclose(file);
  }
  zvx::WavFile wav;
  if (wav.open(path.string())) {
    std::int16_t samples[2048];
    for (int block = 0; block < 64 && wav.read16(samples, 2048, 512); ++block) {
    }
  }
  if (wav.open(path.string())) decodeSome(wav);
  if (std::unique_ptr<zvx::PcmBuffer> layer = zvx::SampleCache::readLayer(0)) checkLayer(*layer);
  return 0;
}
