// libFuzzer target: any bytes as a sample file, through the WAV reader and the
// voice-layer loader. Nothing may be read or written out of bounds.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "host/platform/Messages.h"
#include "plugin/SampleCache.h"
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
  zvx::SampleCache::readLayer(0);
  return 0;
}
