// Writes the bundle's Turtle files: zvx-lv2-ttl BUNDLE-FOLDER BINARY UI-BINARY [DEFAULT.fxb]
// With the default bank (as zvx-data builds it), its programs become the presets.
#include <cstdio>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "formats/lv2/Lv2Description.h"
#include "instrument/BankImage.h"
#include "storage/FxbFile.h"
#include "storage/WholeFile.h"

namespace {

using zvx::lv2::Preset;

bool readPresets(const std::string& path, std::vector<Preset>& presets) {
  std::vector<unsigned char> bytes;
  std::optional<zvx::FxbFile::Contents> bank;
  if (zvx::readWholeFile(path, bytes, 16L << 20)) bank = zvx::FxbFile::parse(bytes);
  if (!bank || bank->type != zvx::FxbFile::kChunkBank || bank->chunk.size() != zvx::BankImage::kSize) return false;
  zvx::BankImage image;
  image.writeBank(bank->chunk.data());
  for (int program = 0; program < zvx::BankImage::kPrograms; ++program) {
    Preset preset;
    preset.name = image.programName(program);
    for (int p = 0; p < zvx::kNumParameters; ++p)
      preset.values[static_cast<std::size_t>(p)] = image.currentValue(program, p);
    presets.push_back(preset);
  }
  return true;
}

bool write(const std::string& path, const std::string& text) {
  std::ofstream file(path, std::ios::binary);
  file << text;
  return static_cast<bool>(file.flush());
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4 && argc != 5) {
    std::fprintf(stderr, "usage: zvx-lv2-ttl BUNDLE-FOLDER BINARY UI-BINARY [DEFAULT.fxb]\n");
    return 2;
  }
  const std::string folder = std::string(argv[1]) + "/";
  std::vector<Preset> presets;
  if (argc == 5 && !readPresets(argv[4], presets)) {
    std::fprintf(stderr, "zvx-lv2-ttl: %s is no chunk bank of ZVX\n", argv[4]);
    return 1;
  }
  using namespace zvx::lv2;
  if (!write(folder + "manifest.ttl", manifestTtl(argv[2], argv[3], presets)) || !write(folder + kPluginFile, pluginTtl(presets.empty() ? tableDefaults() : presets.front().values)) ||
      !write(folder + kPresetsFile, presetsTtl(presets))) {
    std::fprintf(stderr, "zvx-lv2-ttl: cannot write into %s\n", folder.c_str());
    return 1;
  }
  return 0;
}
