// libFuzzer target: any bytes as the controller map of the data folder. An
// instance reads it, plays every note and controller through it, and saves
// it at close: the whole map back when the file held one, the file left alone
// when it was short.
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>

#include "engine/Parameters.h"
#include "fuzz/FuzzSupport.h"
#include "instrument/LearnMap.h"

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
  const std::string expected = size >= zvx::LearnMap::kFileSize ? before.substr(0, zvx::LearnMap::kFileSize) : before;
  if (after != expected) zvx::fuzz::fail("the saved map is not the map that was read");
  return 0;
}
