// Writes the WAV files the tests use, good and bad, in every encoding the
// loader reads and some it refuses, as a seed corpus.
#include <cmath>
#include <cstdio>
#include <limits>
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
  std::vector<std::int32_t> wide(300);
  std::vector<float> fractions(300);
  for (std::size_t i = 0; i < ramp.size(); ++i) {
    ramp[i] = static_cast<std::int16_t>(i * 97);
    wide[i] = static_cast<std::int32_t>(i * 2654435761u);
    fractions[i] = static_cast<float>(std::sin(0.1 * static_cast<double>(i)));
  }
  // Floats past full scale, infinities and a NaN among them.
  const std::vector<float> wild = {
      2.5f, -7.0f, std::numeric_limits<float>::infinity(), std::numeric_limits<float>::quiet_NaN(), 0.5f, 0.0f};
  using zvx::test::floatSamples;
  using zvx::test::integerSamples;
  const std::vector<unsigned char> list = {'I', 'N', 'F', 'O', 'I', 'N', 'A', 'M', 3, 0, 0, 0, 'a', 'b', 'c', 0};
  const std::vector<std::pair<std::string, std::vector<unsigned char>>> seeds = {
      {"plain", zvx::test::monoWav(ramp)},
      {"list", RiffBuilder().chunk("LIST", list).chunk("odd ", {1, 2, 3}).format(1, 44100, 16).data(ramp).bytes()},
      {"data-first", RiffBuilder().data(ramp).format(1, 44100, 16).bytes()},
      {"stereo-48k", RiffBuilder().format(2, 48000, 16).data(ramp).bytes()},
      {"8bit", RiffBuilder().format(1, 44100, 8).chunk("data", integerSamples(wide, 1)).bytes()},
      {"24bit", RiffBuilder().format(1, 44100, 24).chunk("data", integerSamples(wide, 3)).bytes()},
      {"32bit-stereo", RiffBuilder().format(2, 44100, 32).chunk("data", integerSamples(wide, 4)).bytes()},
      {"float", RiffBuilder().format(1, 44100, 32, 16, 3).chunk("data", floatSamples(fractions)).bytes()},
      {"float-wild-stereo", RiffBuilder().format(2, 44100, 32, 18, 3).chunk("data", floatSamples(wild)).bytes()},
      {"22k-8bit-stereo", RiffBuilder().format(2, 22050, 8).chunk("data", integerSamples(wide, 1)).bytes()},
      {"96k-24bit", RiffBuilder().format(1, 96000, 24).chunk("data", integerSamples(wide, 3)).bytes()},
      {"extensible-24in32",
       RiffBuilder().extensibleFormat(2, 48000, 32, 24, 1).chunk("data", integerSamples(wide, 4)).bytes()},
      {"extensible-20in24",
       RiffBuilder().extensibleFormat(1, 44100, 24, 20, 1).chunk("data", integerSamples(wide, 3)).bytes()},
      {"extensible-float",
       RiffBuilder().extensibleFormat(1, 44100, 32, 32, 3).chunk("data", floatSamples(wild)).bytes()},
      {"extensible-adpcm",
       RiffBuilder().extensibleFormat(1, 44100, 4, 4, 2).chunk("data", integerSamples(wide, 1)).bytes()},
      {"adpcm", RiffBuilder().format(1, 44100, 4, 20, 2).chunk("data", integerSamples(wide, 1)).bytes()},
      {"no-channel", RiffBuilder().format(0, 44100, 16).data(ramp).bytes()},
      {"many-channels", RiffBuilder().format(4000, 44100, 24).chunk("data", integerSamples(wide, 3)).bytes()},
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
