// libFuzzer target: any bytes as the controller map of the data folder. An
// instance reads it and plays every note and controller through it; nothing
// learned, it leaves the file exactly as it was at close.
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>

#include "engine/Parameters.h"
#include "fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::filesystem::path path = zvx::fuzz::dataFolder() / "Pluginccmap.bin";
  if (std::FILE* file = std::fopen(path.c_str(), "wb")) {
    if (size) std::fwrite(data, 1, size, file);
    std::fclose(file);
  }
  auto fuzzed = std::make_unique<zvx::fuzz::FuzzedInstrument>();
  if (!zvx::fuzz::rendersFinite(fuzzed->instrument)) zvx::fuzz::fail("learned controllers play a non-finite sample");
  char text[64];
  for (int p = 0; p < zvx::kNumParameters; ++p) fuzzed->instrument.parameterDisplay(p, text);
  fuzzed.reset();

  std::ifstream saved(path, std::ios::binary);
  const std::string after((std::istreambuf_iterator<char>(saved)), std::istreambuf_iterator<char>());
  const std::string before(reinterpret_cast<const char*>(data), size);
  if (after != before) zvx::fuzz::fail("an instance that learned nothing changed the map");
  return 0;
}
