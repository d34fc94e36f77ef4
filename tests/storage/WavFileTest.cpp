// Sample files good and bad, read as a voice's layer: what loads, what the user is told, their pitch.

#include "engine/Parameters.h"
#include "instrument/SampleCache.h"
#include "storage/WavFile.h"
#include "tests/support/TestSupport.h"

namespace zvx {
namespace {

using test::floatSamples, test::integerSamples, test::RiffBuilder;
using Bytes = std::vector<unsigned char>;

using Said = std::vector<std::pair<std::string, std::string>>;  // caption, text

// What was shown since the last call; no message here has an icon.
Said said(test::MessageLog& log) {
  Said out;
  for (const test::ShownMessage& message : log.take()) {
    EXPECT_EQ(message.icon, "none") << message.text;
    out.emplace_back(message.caption, message.text);
  }
  return out;
}

std::vector<std::int16_t> ramp(int length, int step = 7) {
  std::vector<std::int16_t> samples(static_cast<std::size_t>(length));
  for (int i = 0; i < length; ++i) samples[static_cast<std::size_t>(i)] = static_cast<std::int16_t>((i * step) % 30000 - 15000);
  return samples;
}

// What a file that cannot be decoded is told, as any format other than 16 bits always was.
const Said kUndecodable = {{"One WAV file is not 16 Bit", "Error!"}, {"Can't read PCM file!", "Sample size mismatch"}};

// `file` as SDA.wav loads as `values` (16-bit steps), its last one 0 and silence after, `warnings` shown.
void expectLayer(const Bytes& file, std::vector<float> values, float rate = 1.0f, const Said& warnings = {}) {
  test::TempDocuments docs(false);
  docs.writeFile("SDA.wav", file);
  test::MessageLog log;
  const std::unique_ptr<PcmBuffer> layer = SampleCache::readLayer(1);
  ASSERT_TRUE(layer);
  EXPECT_EQ(said(log), warnings);
  EXPECT_EQ(layer->rate, rate);
  values.resize(std::min<std::size_t>(values.size(), PcmBuffer::kSize) - 1);
  values.resize(PcmBuffer::kSize, 0.0f);
  for (int i = 0; i < PcmBuffer::kSize; ++i) ASSERT_EQ(layer->samples[i], values[static_cast<std::size_t>(i)]) << i;
}

std::vector<float> asRead(const std::vector<std::int16_t>& samples) {
  std::vector<float> out;
  for (std::int16_t sample : samples) out.push_back(sample / 32767.0f);
  return out;
}

TEST(WavFileTest, EveryKindOfFileLoadsOrIsRefusedWithItsMessage) {
  const auto samples = ramp(500);
  const Bytes listInfo = {'I', 'N', 'F', 'O', 'I', 'N', 'A', 'M', 3, 0, 0, 0, 'a', 'b', 'c', 0};
  Bytes foreignSubformat = RiffBuilder().extensibleFormat(1, 44100, 16, 16, 1).data(samples).bytes();
  foreignSubformat[12 + 8 + 39] ^= 0xFF;  // the GUID's last byte
  const std::vector<std::tuple<const char*, Bytes, Said>> refused = {
      {"no file", {}, {{"Can't open PCM file!", "Couldn't open file"}}},
      {"no RIFF at all", Bytes(64, 'J'), {{"Can't open PCM file!", "Couldn't open file"}}},
      {"no fmt", RiffBuilder().data(samples).bytes(), {{"Can't open PCM file!", "Couldn't find RIFF, WAVE, or fmt"}}},
      {"fmt larger than the file", RiffBuilder().chunk("fmt ", Bytes(16, 1), 1000000).bytes(),
       {{"Can't open PCM file!", "Error reading format chunk"}}},
      {"no data", RiffBuilder().format(1, 44100, 16).bytes(), {{"Can't open PCM file!", "Couldn't find data chunk"}}},
      {"lying data size", RiffBuilder().format(1, 44100, 16).data(samples, 50000).bytes(),
       {{"Can't read PCM file!", "Couldn't read samples"}}},
      {"no channel", RiffBuilder().format(0, 44100, 16).data(samples).bytes(),
       {{"One WAV file is not MONO", "Error!"}, {"Can't read PCM file!", "Couldn't read samples"}}},
      {"ADPCM", RiffBuilder().format(1, 44100, 4, 20, 2).chunk("data", Bytes(256, 0x77)).bytes(), kUndecodable},
      {"64-bit float", RiffBuilder().format(1, 44100, 64, 16, 3).chunk("data", Bytes(800, 0)).bytes(), kUndecodable},
      {"extensible foreign subformat", foreignSubformat, kUndecodable},
      {"extensible cut short", RiffBuilder().format(1, 44100, 16, 24, 0xFFFE).data(samples).bytes(), kUndecodable},
      {"more valid bits than the container", RiffBuilder().extensibleFormat(1, 44100, 16, 20, 1).data(samples).bytes(),
       kUndecodable},
  };
  for (const auto& [what, file, messages] : refused) {
    SCOPED_TRACE(what);
    test::TempDocuments docs(false);
    if (!file.empty()) docs.writeFile("SDA.wav", file);
    test::MessageLog log;
    EXPECT_EQ(SampleCache::readLayer(1), nullptr);
    EXPECT_EQ(said(log), messages);
  }
  // Good files, whatever comes before the format.
  expectLayer(test::monoWav(samples), asRead(samples));
  expectLayer(RiffBuilder().chunk("LIST", listInfo).chunk("odd ", {1, 2, 3}).format(1, 44100, 16).data(samples).bytes(),
              asRead(samples));
  expectLayer(RiffBuilder().data(samples).format(1, 44100, 16).bytes(), asRead(samples));
  // Loaded with a warning: the first of many channels, 44.1 kHz for a missing rate.
  std::vector<std::int16_t> manyChannels;
  for (std::int16_t sample : samples) {
    manyChannels.push_back(sample);
    manyChannels.insert(manyChannels.end(), 8999, -1);
  }
  expectLayer(RiffBuilder().format(9000, 44100, 16).data(manyChannels).bytes(), asRead(samples), 1.0f,
              {{"One WAV file is not MONO", "Error!"}});
  expectLayer(RiffBuilder().format(1, 0, 16).data(samples).bytes(), asRead(samples), 1.0f,
              {{"One WAV file is not 44100 Hz", "Error!"}});
}

// Left and right around each value, so that their mean is the value.
std::vector<std::int16_t> aroundEach(const std::vector<std::int16_t>& values) {
  std::vector<std::int16_t> frames;
  for (std::size_t i = 0; i < values.size(); ++i) {
    const int room = std::max(0, 32767 - std::abs(static_cast<int>(values[i])));
    const int spread = std::clamp(static_cast<int>(i * 13 % 5000) - 2500, -room, room);
    frames.push_back(static_cast<std::int16_t>(values[i] + spread));
    frames.push_back(static_cast<std::int16_t>(values[i] - spread));
  }
  return frames;
}

TEST(WavFileTest, EveryReadableEncodingLoadsSilentlyAndWiderSamplesKeepTheirFraction) {
  const auto s = [](float v) { return v / 32767.0f; };
  // 8 bits unsigned.
  std::vector<std::int32_t> unsigned8;
  std::vector<float> from8;
  for (int i = 0; i < 600; ++i) {
    unsigned8.push_back(i * 37 % 256);
    from8.push_back(s(static_cast<float>((unsigned8.back() - 128) * 256)));
  }
  expectLayer(RiffBuilder().format(1, 44100, 8).chunk("data", integerSamples(unsigned8, 1)).bytes(), from8);
  // Wider integers keep the fraction below 16 bits: half a step both ways, and the extremes.
  const auto integers = [](int bits, const std::vector<std::int32_t>& values) {
    return RiffBuilder().format(1, 44100, bits).chunk("data", integerSamples(values, bits / 8)).bytes();
  };
  expectLayer(integers(24, {0x80, -0x80, 0x7FFFFF, -0x800000, 0}),
              {s(0.5f), s(-0.5f), s(8388607.0f / 256.0f), s(-32768.0f), 0.0f});
  expectLayer(integers(32, {0x8000, -0x8000, 0x7FFFFFFF, INT32_MIN, 0}),
              {s(0.5f), s(-0.5f), s(32768.0f), s(-32768.0f), 0.0f});
  // 24 valid bits in 32 (the bits below ignored), stereo mixed, longer than a layer.
  const auto mid = ramp(100000, 5);
  std::vector<std::int32_t> wide;
  for (std::int16_t value : aroundEach(mid)) wide.push_back(value * 65536 | 0x11);
  expectLayer(RiffBuilder().extensibleFormat(2, 44100, 32, 24, 1).chunk("data", integerSamples(wide, 4)).bytes(),
              asRead(mid));
  // 16-bit stereo: the mean of the two channels, halves kept.
  std::vector<std::int16_t> interleaved;
  for (int i = 0; i < 600; ++i)
    interleaved.insert(interleaved.end(), {static_cast<std::int16_t>(i), static_cast<std::int16_t>(-1001 - i)});
  expectLayer(RiffBuilder().format(2, 44100, 16).data(interleaved).bytes(), std::vector<float>(600, s(-500.5f)));
  // Floats past full scale are held at it, a NaN is silence; stereo mixes
  // after that; extensible too, at any rate.
  const float inf = INFINITY, nan = std::nanf("");
  expectLayer(RiffBuilder().format(1, 44100, 32, 16, 3).chunk("data", floatSamples({2.0f, -3.0f, inf, -inf, nan, 0.25f, 0.0f})).bytes(),
              {s(32768.0f), s(-32768.0f), s(32768.0f), s(-32768.0f), 0.0f, s(8192.0f), 0.0f});
  expectLayer(RiffBuilder().extensibleFormat(2, 96000, 32, 32, 3).chunk("data", floatSamples({nan, 0.5f, inf, -0.5f, 0.0f, 0.0f})).bytes(),
              {s(8192.0f), s(8192.0f), 0.0f}, 96000.0f / 44100.0f);
}

TEST(WavFileTest, ReaderWalksNestedChunksSurvivesTruncationAndHostileFilesCostAFewThousandChunksAtMost) {
  test::TempDocuments docs(false);
  const auto cutFile = (docs.dataFolder() / "cut.wav").string();
  const Bytes good =
      RiffBuilder().chunk("LIST", {'a', 'd', 't', 'l', 'l', 'a', 'b', 'l', 1, 0, 0, 0, 9, 0}).format(1, 22050, 16).data(ramp(64)).bytes();
  // Every cut opens or fails cleanly; a cut inside the data opens and reads short.
  WavFile wav;
  for (std::size_t length = 0; length <= good.size(); ++length) {
    docs.writeFile("cut.wav", Bytes(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(length)));
    std::int16_t out[64];
    if (!wav.open(cutFile)) continue;
    EXPECT_EQ(wav.sampleRate(), 22050u);
    EXPECT_EQ(wav.read16(out, 64, 64), length == good.size()) << length;
  }
  ASSERT_TRUE(wav.open(cutFile));
  std::int16_t small[10];
  EXPECT_FALSE(wav.read16(small, 10, 64));  // would not fit: refused, not overrun

  test::MessageLog log;
  // 256 MiB of empty chunk headers (sparse on disk): 32 million chunks to a search that did not stop.
  const auto sparse = docs.dataFolder() / "BDA.wav";
  docs.writeFile("BDA.wav", RiffBuilder().format(1, 44100, 16).bytes());
  std::filesystem::resize_file(sparse, std::uintmax_t{256} << 20);
  RiffReader reader(sparse.string());
  ASSERT_TRUE(reader.find("fmt "));
  reader.ascend();
  EXPECT_FALSE(reader.find("data"));
  EXPECT_LE(reader.headersRead(), RiffReader::kMaxChunksSearched + 2);
  EXPECT_EQ(SampleCache::readLayer(0), nullptr);
  EXPECT_EQ(said(log), (Said{{"Can't open PCM file!", "Couldn't find data chunk"}}));

  // Metadata before the samples, as editors write it, is stepped over.
  RiffBuilder tagged;
  tagged.format(1, 44100, 16);
  for (int i = 0; i < 1000; ++i) tagged.chunk("JUNK", Bytes(4, 0));
  const auto samples = ramp(500);
  docs.writeFile("SDA.wav", tagged.data(samples).bytes());
  auto layer = SampleCache::readLayer(1);
  ASSERT_TRUE(layer);
  EXPECT_EQ(layer->samples[10], samples[10] / 32767.0f);
  EXPECT_EQ(said(log), Said{});
}

std::vector<std::int16_t> decayingTone(int length, double period, double rate) {
  std::vector<std::int16_t> samples(static_cast<std::size_t>(length));
  for (int i = 0; i < length; ++i)
    samples[static_cast<std::size_t>(i)] = static_cast<std::int16_t>(
        std::lround(30000.0 * std::sin(6.283185307179586 * i / period) * std::exp(-i / rate)));
  return samples;
}

TEST(WavFileTest, FilesRecordedAtOtherRatesPlayAtTheirTruePitch) {
  test::TempDocuments docs;
  // 441 Hz recorded at any rate is 441 Hz at a host rate of another (other
  // host rates are RatesTest's). The bass drum plays its layer alone.
  vsthost::HostConfig config;
  config.sampleRate = 48000;
  for (int recorded : {44100, 22050, 96000}) {
    SCOPED_TRACE(recorded);
    docs.writeFile("BDA.wav",
                   RiffBuilder().format(1, recorded, 16).data(decayingTone(40000, recorded / 441.0, recorded)).bytes());
    test::MessageCapture capture;
    const auto out = test::renderZvx({{param::kBDDecay, 1.0f}}, {test::noteOn(0, 35)}, 12000, 512, config);
    EXPECT_EQ(capture.messages(), std::vector<test::ShownMessage>{});
    EXPECT_NEAR(test::frequencyOf(out.at(2), 500, 10000, 48000), 441.0, 0.5);
  }
}

}  // namespace
}  // namespace zvx
