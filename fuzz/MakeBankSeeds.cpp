// Writes banks and presets, good and cut short, as a seed corpus.
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "fuzz/FuzzSupport.h"
#include "storage/FxbFile.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fputs("usage: make-bank-seeds DIR\n", stderr);
    return 2;
  }
  setenv("ZVX_MESSAGES", "stderr", 1);
  zvx::fuzz::QuietHost host;
  auto instrument = std::make_unique<zvx::Instrument>(host);
  instrument->start();
  void* data = nullptr;
  const std::size_t size = instrument->saveChunk(&data, false);
  const auto* bytes = static_cast<const unsigned char*>(data);
  const std::vector<unsigned char> image(bytes, bytes + size);
  const std::vector<unsigned char> bank = zvx::FxbFile::chunkBank(0x39393664, 1, 128, 0, image);

  std::vector<unsigned char> regular;
  zvx::FxbFile::writeWord(regular, zvx::FxbFile::kRootMagic);
  zvx::FxbFile::writeWord(regular, 0);
  zvx::FxbFile::writeWord(regular, zvx::FxbFile::kRegularBank);
  for (std::uint32_t word : {1u, 0x39393664u, 1u, 2u}) zvx::FxbFile::writeWord(regular, word);
  regular.resize(zvx::FxbFile::kBankHeaderSize, 0);
  for (int program = 0; program < 2; ++program) {
    for (std::uint32_t word : {zvx::FxbFile::kRootMagic, 0u, zvx::FxbFile::kRegularPreset, 1u, 0x39393664u, 1u, 4u})
      zvx::FxbFile::writeWord(regular, word);
    regular.resize(regular.size() + 28, 'a');
    for (int i = 0; i < 4; ++i) zvx::FxbFile::writeWord(regular, 0x3F000000u);
  }
  const std::vector<unsigned char> preset =
      zvx::FxbFile::chunkPreset(0x39393664, 1, 83, "seed", std::vector<unsigned char>(image.begin() + 2988, image.begin() + 2988 + 356));

  const std::vector<std::pair<std::string, std::vector<unsigned char>>> seeds = {
      {"chunk-bank", bank},
      {"chunk-bank-short", std::vector<unsigned char>(bank.begin(), bank.end() - 1)},
      {"regular-bank", regular},
      {"chunk-preset", preset},
      {"program-record", std::vector<unsigned char>(image.begin() + 2988, image.begin() + 2988 + 356)},
  };
  for (const auto& [name, content] : seeds) {
    const std::string path = std::string(argv[1]) + "/" + name + ".fxb";
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return 1;
    std::fwrite(content.data(), 1, content.size(), file);
    std::fclose(file);
  }
  return 0;
}
