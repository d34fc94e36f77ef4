// libFuzzer target: any bytes as default.fxb, as a bank chunk and as a preset
// chunk. Nothing may be read or written out of bounds, whatever the sizes.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "host/platform/Messages.h"
#include "plugin/DrumPlugin.h"
#include "storage/FxbFile.h"

namespace {

// A private documents folder; its data folder receives the input as default.fxb.
const std::filesystem::path& bankFile() {
  static const std::filesystem::path file = [] {
    std::string pattern = (std::filesystem::temp_directory_path() / "zvx-fuzz-bank-XXXXXX").string();
    if (!mkdtemp(pattern.data())) std::abort();
    setenv("ZVX_DOCUMENTS", pattern.c_str(), 1);
    std::filesystem::path folder = std::filesystem::path(pattern) / "Tonewerk Data" / "ZVX";
    std::filesystem::create_directories(folder);
    zvx::platform::setMessageSink([](const zvx::platform::Message&) {});
    return folder / "default.fxb";
  }();
  return file;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::filesystem::path& path = bankFile();
  zvx::FxbFile::parse({data, size});

  if (std::FILE* file = std::fopen(path.c_str(), "wb")) {
    if (size) std::fwrite(data, 1, size, file);
    std::fclose(file);
  }
  // Loads the default bank, then takes the same bytes as chunks.
  auto plugin = std::make_unique<zvx::DrumPlugin>(nullptr);
  std::basic_string<std::uint8_t> copy(data, size);
  plugin->setChunk(copy.data(), static_cast<VstInt32>(size), true);
  plugin->setChunk(copy.data(), static_cast<VstInt32>(size), false);
  void* chunk = nullptr;
  plugin->getChunk(&chunk, false);
  char name[64];
  for (int p = 0; p < 83; ++p) plugin->getParameterName(p, name);
  plugin->getProgramNameIndexed(0, 0, name);
  return 0;
}
