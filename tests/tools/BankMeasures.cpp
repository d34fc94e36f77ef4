#include "tests/tools/BankMeasures.h"

#include <algorithm>
#include <cmath>
#include <complex>

namespace zvx::test {
namespace {

constexpr std::size_t kFrame = 2048;
constexpr std::size_t kHop = 1024;
constexpr int kBands = 26;  // third octaves from 50 Hz to about 16 kHz
constexpr float kFloorDb = -90.0f;
constexpr float kAudibleDb = -60.0f;

int velocityOf(char step) {
  const std::string_view marks = "gxX!";
  constexpr int kVelocity[] = {40, 84, 110, 127};
  const std::size_t at = marks.find(step);
  return at == std::string_view::npos ? 0 : kVelocity[at];
}

// In-place radix-2 transform; the size is a power of two.
void transform(std::vector<std::complex<double>>& x) {
  const std::size_t n = x.size();
  for (std::size_t i = 1, j = 0; i < n; ++i) {
    std::size_t bit = n >> 1;
    for (; j & bit; bit >>= 1) j ^= bit;
    j ^= bit;
    if (i < j) std::swap(x[i], x[j]);
  }
  for (std::size_t length = 2; length <= n; length <<= 1) {
    const double angle = -2.0 * M_PI / static_cast<double>(length);
    const std::complex<double> step(std::cos(angle), std::sin(angle));
    for (std::size_t start = 0; start < n; start += length) {
      std::complex<double> w(1.0, 0.0);
      for (std::size_t k = 0; k < length / 2; ++k) {
        const std::complex<double> even = x[start + k];
        const std::complex<double> odd = x[start + k + length / 2] * w;
        x[start + k] = even + odd;
        x[start + k + length / 2] = even - odd;
        w *= step;
      }
    }
  }
}

}  // namespace

double toDb(double amplitude) { return amplitude > 0.0 ? 20.0 * std::log10(amplitude) : -200.0; }

Groove grooveOf(const std::vector<Lane>& lanes, double beatsPerMinute, int velocityOverride) {
  const double stepFrames = kBankRate * 60.0 / beatsPerMinute / 4.0;
  Groove groove;
  for (const Lane& lane : lanes) {
    int step = 0;
    for (char c : lane.steps) {
      if (c == '|') continue;
      if (const int velocity = velocityOf(c)) {
        const int at = static_cast<int>(step * stepFrames);
        groove.events.push_back(noteOn(at, lane.note, velocityOverride ? velocityOverride : velocity, 9));
        groove.events.push_back(noteOff(at + static_cast<int>(stepFrames / 2), lane.note, 0, 9));
        groove.lastNoteOn = std::max(groove.lastNoteOn, at);
      }
      ++step;
    }
  }
  std::stable_sort(groove.events.begin(), groove.events.end(),
                   [](const VstMidiEvent& a, const VstMidiEvent& b) { return a.deltaFrames < b.deltaFrames; });
  return groove;
}

Groove denseGroove() {
  return grooveOf({
                      {36, "X.........X.....|X.........X...X.|X.........X.....|X.........X....."},
                      {35, "................|................|................|X..............."},
                      {38, "....X.......X...|....X.......X..X|....X.......X...|....X.......X.XX"},
                      {40, "..X.....X.....X.|.......X......X.|..X.....X.....X.|.......X......X."},
                      {42, "XXXXXXXXXXXXXXXX|XXXXXXXXXXXXXXXX|XXXXXXXXXXXXXXXX|XXXXXXXXXXXXXXXX"},
                      {44, "...X.......X....|...X.......X....|...X.......X....|...X.......X...."},
                      {46, "......X.......X.|......X.......X.|......X.......X.|......X.......X."},
                  },
                  174.0, 127);
}

Groove generalMidiGroove(bool unmapped) {
  std::vector<Lane> lanes = {
      {36, "X.......X.x.....|X.......X.......|X.......X.x.....|X.....X.X......."},
      {38, "....X.......X...|....X.......X..g|....X.......X...|....X...X.X.XXXX"},
      {42, "x.x.x.x.x.x.x.x.|x.x.x.x.x.x.x.x.|................|................"},
      {46, "..............x.|..............x.|................|................"},
      {44, "................|................|x...x...x...x...|x...x..........."},
      {37, "................|..x.....x.....x.|................|................"},
      {39, "................|....x.......x...|................|................"},
  };
  if (unmapped) {
    lanes.insert(lanes.end(), {
                                  {49, "X...............|................|X...............|................"},
                                  {57, "................|X...............|................|..............X."},
                                  {51, "................|................|X.x.X.x.X.x.X.x.|X.x.X.x.........."},
                                  {53, "................|................|..x.......x.....|................"},
                                  {55, "................|................|................|.............X.."},
                                  {50, "................|................|................|........X......."},
                                  {48, "................|................|................|.........X......"},
                                  {47, "................|................|................|..........X....."},
                                  {45, "................|................|................|...........X...."},
                                  {43, "................|................|................|............X..."},
                                  {41, "................|................|................|.............X.."},
                              });
  }
  return grooveOf(lanes, 100.0);
}

double rmsDb(const Channel& channel, std::size_t from, std::size_t to) {
  to = std::min(to, channel.size());
  double sum = 0.0;
  for (std::size_t i = from; i < to; ++i) sum += static_cast<double>(channel[i]) * channel[i];
  return toDb(to > from ? std::sqrt(sum / static_cast<double>(to - from)) : 0.0);
}

double secondsToFallBelow(const std::vector<Channel>& channels, std::size_t from, float threshold) {
  std::size_t last = from;
  for (const Channel& channel : channels)
    for (std::size_t i = channel.size(); i > from; --i)
      if (std::fabs(channel[i - 1]) >= threshold) {
        last = std::max(last, i);
        break;
      }
  return static_cast<double>(last - from) / kBankRate;
}

Spectrogram spectrogramOf(const Channel& channel) {
  std::vector<double> window(kFrame);
  double windowPower = 0.0;
  for (std::size_t i = 0; i < kFrame; ++i) {
    window[i] = 0.5 - 0.5 * std::cos(2.0 * M_PI * static_cast<double>(i) / kFrame);
    windowPower += window[i] * window[i];
  }
  std::array<std::size_t, kBands + 1> edges{};
  for (int b = 0; b <= kBands; ++b) {
    const double hz = 50.0 * std::pow(2.0, (b - 0.5) / 3.0);
    edges[static_cast<std::size_t>(b)] = std::min(kFrame / 2, static_cast<std::size_t>(hz * kFrame / kBankRate + 0.5));
  }
  Spectrogram frames;
  std::vector<std::complex<double>> x(kFrame);
  for (std::size_t start = 0; start + kFrame <= channel.size(); start += kHop) {
    for (std::size_t i = 0; i < kFrame; ++i) x[i] = channel[start + i] * window[i];
    transform(x);
    std::vector<float> bands(kBands);
    for (int b = 0; b < kBands; ++b) {
      double energy = 0.0;
      for (std::size_t k = edges[static_cast<std::size_t>(b)]; k < std::max(edges[b + 1], edges[b] + 1); ++k)
        energy += std::norm(x[k]);
      // Twice the band's mean square, so a full-scale sine in it reads 0 dB.
      const double level = 10.0 * std::log10(4.0 * energy / (kFrame * windowPower) + 1e-30);
      bands[static_cast<std::size_t>(b)] = static_cast<float>(std::max<double>(level, kFloorDb));
    }
    frames.push_back(std::move(bands));
  }
  return frames;
}

double logSpectralDistance(const Spectrogram& a, const Spectrogram& b) {
  double sum = 0.0;
  std::size_t cells = 0;
  for (std::size_t f = 0; f < std::min(a.size(), b.size()); ++f)
    for (std::size_t k = 0; k < a[f].size(); ++k) {
      if (std::max(a[f][k], b[f][k]) < kAudibleDb) continue;
      const double d = static_cast<double>(std::max(a[f][k], kAudibleDb)) - std::max(b[f][k], kAudibleDb);
      sum += d * d;
      ++cells;
    }
  return cells ? std::sqrt(sum / static_cast<double>(cells)) : 0.0;
}

}  // namespace zvx::test
