// Writes VST3 component states, whole, cut short and with a header that
// lies, as a seed corpus; each starts with the read size (0: whole reads).
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "formats/vst3/Vst3Plugin.h"
#include "fuzz/FuzzSupport.h"
#include "vst3host/MemoryStream.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fputs("usage: make-vst3-state-seeds DIR\n", stderr);
    return 2;
  }
  zvx::fuzz::dataFolder();
  auto* component = static_cast<zvx::vst3::IComponent*>(zvx::vst3::Vst3Plugin::create(nullptr));
  zvx::vst3host::MemoryStream stream;
  component->getState(&stream);
  component->release();
  const std::vector<unsigned char>& state = stream.bytes();

  std::vector<unsigned char> huge = state;
  huge[12] = huge[13] = huge[14] = huge[15] = 0xFF;
  std::vector<unsigned char> otherProgram = state;
  otherProgram[8] = 77;
  const std::vector<std::pair<std::string, std::vector<unsigned char>>> seeds = {
      {"whole", state},
      {"short", std::vector<unsigned char>(state.begin(), state.end() - 1)},
      {"header", std::vector<unsigned char>(state.begin(), state.begin() + 16)},
      {"huge", huge},
      {"program-77", otherProgram},
  };
  for (const auto& [name, content] : seeds)
    for (unsigned char chunk : {0, 7}) {
      const std::string path = std::string(argv[1]) + "/" + name + "-" + std::to_string(chunk) + ".vst3state";
      std::FILE* file = std::fopen(path.c_str(), "wb");
      if (!file) return 1;
      std::fputc(chunk, file);
      std::fwrite(content.data(), 1, content.size(), file);
      std::fclose(file);
    }
  return 0;
}
