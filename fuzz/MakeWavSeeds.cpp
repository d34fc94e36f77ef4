// Writes the WAV files the tests use, good and bad, as a seed corpus.
#include <cstdio>
#include <string>
#include <vector>

#include "tests/support/RiffBuilder.h"

using zvx::test::RiffBuilder;

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fputs("usage: make-wav-seeds DIR\n", stderr);
    return 2;
  }
  std::vector<std::int16_t> ramp(300);
  for (std::size_t i = 0; i < ramp.size(); ++i) ramp[i] = static_cast<std::int16_t>(i * 97);
  const std::vector<unsigned char> list = {'I', 'N', 'F', 'O', 'I', 'N', 'A', 'M', 3, 0, 0, 0, 'a', 'b', 'c', 0};
  const std::vector<std::pair<std::string, std::vector<unsigned char>>> seeds = {
      {"plain", zvx::test::monoWav(ramp)},
      {"list", RiffBuilder().chunk("LIST", list).chunk("odd ", {1, 2, 3}).format(1, 44100, 16).data(ramp).bytes()},
      {"data-first", RiffBuilder().data(ramp).format(1, 44100, 16).bytes()},
      {"stereo-48k", RiffBuilder().format(2, 48000, 16).data(ramp).bytes()},
      {"8bit", RiffBuilder().format(1, 44100, 8).chunk("data", std::vector<unsigned char>(64, 128)).bytes()},
      {"lying", RiffBuilder().format(1, 44100, 16).data(ramp, 100000).bytes()},
      {"short-fmt", RiffBuilder().format(1, 44100, 16, 14).data(ramp).bytes()},
      {"not-wave", RiffBuilder("AVI ").format(1, 44100, 16).data(ramp).bytes()},
  };
  for (const auto& [name, bytes] : seeds) {
    const std::string path = std::string(argv[1]) + "/" + name + ".wav";
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return 1;
    std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::fclose(file);
  }
  return 0;
}
