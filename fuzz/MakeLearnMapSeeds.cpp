// Writes controller maps as a seed corpus for fuzz_learn_map: all unbound,
// a few bound, every parameter bound to one controller, huge numbers, and
// short and long files.
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "engine/Parameters.h"

namespace {

namespace param = zvx::param;
constexpr int kParameters = zvx::kNumParameters;

void write(const std::string& path, const std::vector<std::int32_t>& entries, std::size_t bytes) {
  std::string data;
  for (std::int32_t entry : entries)
    for (int b = 0; b < 4; ++b) data += static_cast<char>(static_cast<std::uint32_t>(entry) >> (8 * b));
  data.resize(bytes, '\xff');
  std::ofstream(path, std::ios::binary) << data;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fputs("usage: make-learn-map-seeds DIR\n", stderr);
    return 2;
  }
  const std::string out = std::string(argv[1]) + "/";
  std::vector<std::int32_t> unbound(kParameters, -1);
  write(out + "unbound", unbound, 4 * kParameters);
  std::vector<std::int32_t> some = unbound;
  some[param::kVolume] = 7;
  some[param::kBDDecay] = 74;
  some[param::kFix44] = 123;
  write(out + "some", some, 4 * kParameters);
  write(out + "all-on-one", std::vector<std::int32_t>(kParameters, 1), 4 * kParameters);
  std::vector<std::int32_t> odd = unbound;
  odd[param::kTuning] = 0x7fffffff;
  odd[param::kBDTone] = -2147483647 - 1;
  odd[param::kBDPitch] = 128;
  write(out + "odd", odd, 4 * kParameters);
  write(out + "short", some, 4 * 10 + 2);
  write(out + "long", some, 4 * kParameters + 100);
  return 0;
}
