// libFuzzer target: any bytes as default.fxb, as a bank chunk and as a preset
// chunk. Nothing may be read or written out of bounds, whatever the sizes,
// and whatever a load accepted must still play finite sound.
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

#include "engine/Parameters.h"
#include "fuzz/FuzzSupport.h"
#include "storage/FxbFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::filesystem::path path = zvx::fuzz::dataFolder() / "default.fxb";
  zvx::FxbFile::parse({data, size});

  if (std::FILE* file = std::fopen(path.c_str(), "wb")) {
    if (size) std::fwrite(data, 1, size, file);
    std::fclose(file);
  }
  // Loads the default bank, then takes the same bytes as chunks.
  auto fuzzed = std::make_unique<zvx::fuzz::FuzzedInstrument>();
  zvx::Instrument& instrument = fuzzed->instrument;
  if (!zvx::fuzz::rendersFinite(instrument)) zvx::fuzz::fail("the default bank plays a non-finite sample");
  std::basic_string<std::uint8_t> copy(data, size);
  for (bool preset : {false, true}) {
    instrument.loadChunk(copy.data(), size, preset);
    if (!zvx::fuzz::rendersFinite(instrument))
      zvx::fuzz::fail(preset ? "a preset chunk plays a non-finite sample" : "a bank chunk plays a non-finite sample");
  }
  void* chunk = nullptr;
  instrument.saveChunk(&chunk, false);
  char name[64];
  for (int p = 0; p < zvx::kNumParameters; ++p) instrument.parameterName(p, name);
  instrument.programName(0, name);
  return 0;
}
