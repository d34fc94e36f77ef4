// Sample files good and bad, read as a voice's layer: what is loaded and what the
// user is told; and files of other encodings played through the module.

#include "engine/Parameters.h"
#include "plugin/SampleCache.h"
#include "storage/WavFile.h"
#include "tests/support/TestSupport.h"

namespace zvx {
namespace {

using test::RiffBuilder;
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

struct Case {
  const char* what;
  Bytes file;
  Said messages;
  bool loads;
  float rate = 1.0f;
};

// Each of the first values repeated with `others` after it, as the channels of a frame.
std::vector<std::int16_t> firstOf(const std::vector<std::int16_t>& values, std::size_t channels, std::int16_t others) {
  std::vector<std::int16_t> frames;
  for (std::int16_t value : values) {
    frames.push_back(value);
    frames.insert(frames.end(), channels - 1, others);
  }
  return frames;
}

TEST(WavFileTest, EveryKindOfFileLoadsOrIsRefusedWithItsMessage) {
  const auto samples = ramp(500);
  const std::vector<unsigned char> listInfo = {'I', 'N', 'F', 'O', 'I', 'N', 'A', 'M', 3, 0, 0, 0, 'a', 'b', 'c', 0};
  const std::vector<Case> cases = {
      {"plain", test::monoWav(samples), {}, true},
      {"first chunk not RIFF", [] {
         Bytes b = test::monoWav({1, 2, 3});
         b[0] = 'J';
         return b;
       }(), {{"Can't open PCM file!", "Couldn't open file"}}, false},
      {"not WAVE", RiffBuilder("AVI ").format(1, 44100, 16).data(samples).bytes(),
       {{"Can't open PCM file!", "Couldn't find RIFF, WAVE, or fmt"}}, false},
      {"no fmt", RiffBuilder().data(samples).bytes(), {{"Can't open PCM file!", "Couldn't find RIFF, WAVE, or fmt"}},
       false},
      {"LIST and odd chunk before fmt",
       RiffBuilder().chunk("LIST", listInfo).chunk("odd ", {1, 2, 3}).format(1, 44100, 16).data(samples).bytes(), {},
       true},
      {"data before fmt", RiffBuilder().data(samples).format(1, 44100, 16).bytes(), {}, true},
      {"short fmt", RiffBuilder().format(1, 44100, 16, 14).data(samples).bytes(),
       {{"Can't open PCM file!", "Error reading format chunk"}}, false},
      {"fmt larger than the file", RiffBuilder().chunk("fmt ", Bytes(16, 1), 1000000).bytes(),
       {{"Can't open PCM file!", "Error reading format chunk"}}, false},
      {"no data", RiffBuilder().format(1, 44100, 16).bytes(), {{"Can't open PCM file!", "Couldn't find data chunk"}},
       false},
      {"lying data size", RiffBuilder().format(1, 44100, 16).data(samples, 50000).bytes(),
       {{"Can't read PCM file!", "Couldn't read samples"}}, false},
      {"no whole sample", RiffBuilder().format(1, 44100, 16).chunk("data", {7}).bytes(),
       {{"Can't read PCM file!", "Couldn't read samples"}}, false},
      {"no channel", RiffBuilder().format(0, 44100, 16).data(samples).bytes(),
       {{"One WAV file is not MONO", "Error!"}, {"Can't read PCM file!", "Couldn't read samples"}}, false},
      // Compressed and otherwise undecodable encodings, plain and extensible.
      {"ADPCM", RiffBuilder().format(1, 44100, 4, 20, 2).chunk("data", Bytes(256, 0x77)).bytes(), kUndecodable, false},
      {"64-bit float", RiffBuilder().format(1, 44100, 64, 16, 3).chunk("data", Bytes(800, 0)).bytes(), kUndecodable,
       false},
      {"12-bit integers", RiffBuilder().format(1, 44100, 12).data(samples).bytes(), kUndecodable, false},
      {"extensible ADPCM", RiffBuilder().extensibleFormat(1, 44100, 4, 4, 2).chunk("data", Bytes(256, 0x77)).bytes(),
       kUndecodable, false},
      {"extensible foreign subformat", [&] {
         Bytes b = RiffBuilder().extensibleFormat(1, 44100, 16, 16, 1).data(samples).bytes();
         b[12 + 8 + 39] ^= 0xFF;  // the GUID's last byte
         return b;
       }(), kUndecodable, false},
      {"extensible cut short", RiffBuilder().format(1, 44100, 16, 24, 0xFFFE).data(samples).bytes(), kUndecodable,
       false},
      {"more valid bits than the container", RiffBuilder().extensibleFormat(1, 44100, 16, 20, 1).data(samples).bytes(),
       kUndecodable, false},
      // What loads with a warning: the first of more than two channels, at 44.1 kHz without a rate.
      {"three channels", RiffBuilder().format(3, 44100, 16).data(firstOf(samples, 3, 9999)).bytes(),
       {{"One WAV file is not MONO", "Error!"}}, true},
      {"a frame of many channels", RiffBuilder().format(9000, 44100, 16).data(firstOf(samples, 9000, -1)).bytes(),
       {{"One WAV file is not MONO", "Error!"}}, true},
      {"no rate", RiffBuilder().format(1, 0, 16).data(samples).bytes(), {{"One WAV file is not 44100 Hz", "Error!"}},
       true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    test::TempDocuments docs(false);
    docs.writeFile("SDA.wav", c.file);
    test::MessageLog log;
    std::unique_ptr<PcmBuffer> layer = SampleCache::readLayer(1);
    EXPECT_EQ(layer != nullptr, c.loads);
    EXPECT_EQ(said(log), c.messages);
    if (layer) {
      for (int i = 0; i < 499; ++i) ASSERT_EQ(layer->samples[i], samples[static_cast<std::size_t>(i)] / 32767.0f) << i;
      // The last sample read is replaced by 0, and so is the rest of the layer.
      for (int i = 499; i < PcmBuffer::kSize; ++i) ASSERT_EQ(layer->samples[i], 0.0f) << i;
      EXPECT_EQ(layer->rate, c.rate);
    }
  }
}

// A file in another encoding of the same sound.
struct Conversion {
  const char* what;
  Bytes file;
  std::vector<std::int16_t> sameAs;  // the 16-bit mono samples it converts to without loss
  float rate = 1.0f;
};

std::vector<std::int32_t> scaled(const std::vector<std::int16_t>& values, std::int32_t factor, std::int32_t below = 0) {
  std::vector<std::int32_t> out;
  for (std::int16_t value : values) out.push_back(value * factor | below);
  return out;
}

std::vector<float> fractions(const std::vector<std::int16_t>& values) {
  std::vector<float> out;
  for (std::int16_t value : values) out.push_back(value / 32768.0f);
  return out;
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

// Full scale both ways, then a ramp.
std::vector<std::int16_t> testSignal(int length) {
  std::vector<std::int16_t> values = {-32768, 32767, 0, 1, -1};
  const auto rest = ramp(length - 5, 11);
  values.insert(values.end(), rest.begin(), rest.end());
  return values;
}

TEST(WavFileTest, EveryReadableEncodingLoadsSilentlyAsItsSixteenBitMonoConversion) {
  const auto values = testSignal(600);
  const auto mid = ramp(100000, 5);  // past a layer's end
  std::vector<std::int32_t> unsigned8;
  for (int i = 0; i < 600; ++i) unsigned8.push_back(i * 37 % 256);
  std::vector<std::int16_t> from8;
  for (std::int32_t u : unsigned8) from8.push_back(static_cast<std::int16_t>((u - 128) * 256));

  const std::vector<Conversion> conversions = {
      {"8-bit unsigned", RiffBuilder().format(1, 44100, 8).chunk("data", test::integerSamples(unsigned8, 1)).bytes(),
       from8},
      {"24-bit", RiffBuilder().format(1, 44100, 24).chunk("data", test::integerSamples(scaled(values, 256), 3)).bytes(),
       values},
      {"16-bit stereo", RiffBuilder().format(2, 44100, 16).data(aroundEach(values)).bytes(), values},
      {"extensible 24-bit stereo, longer than a layer",
       RiffBuilder()
           .extensibleFormat(2, 44100, 24, 24, 1)
           .chunk("data", test::integerSamples(scaled(aroundEach(mid), 256), 3))
           .bytes(),
       mid},
      {"48 kHz", RiffBuilder().format(1, 48000, 16).data(values).bytes(), values, 48000.0f / 44100.0f},
      {"96 kHz extensible float stereo",
       RiffBuilder()
           .extensibleFormat(2, 96000, 32, 32, 3)
           .chunk("data", test::floatSamples(fractions(aroundEach(values))))
           .bytes(),
       values, 96000.0f / 44100.0f},
  };
  test::TempDocuments docs(false);
  test::MessageLog log;
  for (const Conversion& c : conversions) {
    SCOPED_TRACE(c.what);
    docs.writeFile("CPB.wav", test::monoWav(c.sameAs));
    const std::unique_ptr<PcmBuffer> expected = SampleCache::readLayer(7);
    docs.writeFile("SDA.wav", c.file);
    const std::unique_ptr<PcmBuffer> layer = SampleCache::readLayer(1);
    ASSERT_TRUE(layer && expected);
    EXPECT_EQ(said(log), Said{});
    EXPECT_EQ(layer->rate, c.rate);
    for (int i = 0; i < PcmBuffer::kSize; ++i) ASSERT_EQ(layer->samples[i], expected->samples[i]) << i;
  }
}

TEST(WavFileTest, WiderSamplesKeepTheirFractionFloatsAreHeldAtFullScaleAndStereoIsMixed) {
  test::TempDocuments docs(false);
  test::MessageLog log;
  const auto s = [](float v) { return v / 32767.0f; };
  const auto expectLayer = [&](const Bytes& file, const std::vector<float>& first) {
    docs.writeFile("HHA.wav", file);
    const auto layer = SampleCache::readLayer(2);
    ASSERT_TRUE(layer);
    for (std::size_t i = 0; i < first.size(); ++i) EXPECT_EQ(layer->samples[i], first[i]) << i;
  };
  // Half a 16-bit step both ways, and the extremes; the last value read becomes 0.
  expectLayer(RiffBuilder()
                  .format(1, 44100, 24)
                  .chunk("data", test::integerSamples({0x80, -0x80, 0x7FFFFF, -0x800000, 0}, 3))
                  .bytes(),
              {s(0.5f), s(-0.5f), s(8388607.0f / 256.0f), s(-32768.0f)});
  expectLayer(RiffBuilder()
                  .format(1, 44100, 32)
                  .chunk("data", test::integerSamples({0x8000, -0x8000, 0x7FFFFFFF, INT32_MIN, 0}, 4))
                  .bytes(),
              {s(0.5f), s(-0.5f), s(32768.0f), s(-32768.0f)});
  // Floats past full scale are held at it, a NaN is silence; stereo mixes after that.
  const float inf = std::numeric_limits<float>::infinity(), nan = std::numeric_limits<float>::quiet_NaN();
  expectLayer(RiffBuilder()
                  .format(1, 44100, 32, 16, 3)
                  .chunk("data", test::floatSamples({2.0f, -3.0f, inf, -inf, nan, 0.25f, 0.0f}))
                  .bytes(),
              {s(32768.0f), s(-32768.0f), s(32768.0f), s(-32768.0f), 0.0f, s(8192.0f), 0.0f});
  expectLayer(RiffBuilder()
                  .format(2, 44100, 32, 16, 3)
                  .chunk("data", test::floatSamples({nan, 0.5f, inf, -0.5f, 0.0f, 0.0f}))
                  .bytes(),
              {s(8192.0f), s(8192.0f)});
  // 16-bit stereo: the mean of the two channels, halves kept.
  std::vector<std::int16_t> interleaved;
  for (int i = 0; i < 600; ++i)
    interleaved.insert(interleaved.end(), {static_cast<std::int16_t>(i), static_cast<std::int16_t>(-1001 - i)});
  expectLayer(RiffBuilder().format(2, 44100, 16).data(interleaved).bytes(), std::vector<float>(599, s(-500.5f)));
  // A long file stops at the layer's 98000 samples.
  const auto long100k = ramp(100000, 3);
  std::vector<float> head(98000);
  for (std::size_t i = 0; i < 97999; ++i) head[i] = s(long100k[i]);
  expectLayer(test::monoWav(long100k), head);
  EXPECT_EQ(said(log), Said{});
  // A missing file (the missing data folder is checked through the module).
  EXPECT_EQ(SampleCache::readLayer(3), nullptr);
  EXPECT_EQ(said(log), (Said{{"Can't open PCM file!", "Couldn't open file"}}));
}

TEST(WavFileTest, ReaderWalksNestedChunksAndSurvivesTruncation) {
  test::TempDocuments docs(false);
  const Bytes good = RiffBuilder()
                         .chunk("LIST", {'a', 'd', 't', 'l', 'l', 'a', 'b', 'l', 1, 0, 0, 0, 9, 0})
                         .format(1, 22050, 16)
                         .data(ramp(64))
                         .bytes();
  // Every cut of a good file either opens or fails cleanly; a cut inside the
  // data opens and then reads short.
  for (std::size_t length = 0; length <= good.size(); ++length) {
    docs.writeFile("cut.wav", Bytes(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(length)));
    WavFile wav;
    std::int16_t out[64];
    if (wav.open((docs.dataFolder() / "cut.wav").string())) {
      EXPECT_EQ(wav.sampleRate(), 22050u);
      EXPECT_EQ(wav.read16(out, 64, 64), length == good.size()) << length;
    }
  }
  WavFile wav;
  ASSERT_TRUE(wav.open((docs.dataFolder() / "cut.wav").string()));
  std::int16_t small[10];
  EXPECT_FALSE(wav.read16(small, 10, 64));  // would not fit: refused, not overrun

  // An extensible header cut anywhere is refused or read whole: a file that
  // opens has its subformat and valid bits.
  const Bytes extensible = RiffBuilder().extensibleFormat(2, 96000, 24, 20, 1).data(ramp(96)).bytes();
  for (std::size_t length = 0; length <= extensible.size(); ++length) {
    docs.writeFile("cut.wav", Bytes(extensible.begin(), extensible.begin() + static_cast<std::ptrdiff_t>(length)));
    if (!wav.open((docs.dataFolder() / "cut.wav").string())) continue;
    EXPECT_EQ(wav.subFormat(), 1u) << length;
    EXPECT_EQ(wav.encoding().validBits, 20u) << length;
    unsigned char frame[6];
    EXPECT_EQ(wav.readBytes(frame, 6), length >= extensible.size() - 192 + 6) << length;
  }
}

TEST(WavFileTest, HostileFilesCostAFewThousandChunksAtMost) {
  test::TempDocuments docs(false);
  test::MessageLog log;
  // 256 MiB that are all empty chunk headers after the format: sparse on disk,
  // 32 million chunks to a search that did not stop.
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

// Through the module: the bass drum's layer alone, with a long decay.

constexpr int kBassDrumOut = 2;
const test::Settings kLongBassDrum = {{param::kBDDecay, 1.0f}};

std::vector<std::int16_t> decayingTone(int length, double period, double rate = 44100.0) {
  std::vector<std::int16_t> samples(static_cast<std::size_t>(length));
  for (int i = 0; i < length; ++i)
    samples[static_cast<std::size_t>(i)] = static_cast<std::int16_t>(
        std::lround(30000.0 * std::sin(6.283185307179586 * i / period) * std::exp(-i / rate)));
  return samples;
}

// One hit of the bass drum with BDA.wav as it is; no message may be shown.
test::Channel bassDrumHit(const testhost::HostConfig& host = {}, int frames = 12000) {
  test::MessageCapture capture;
  auto out = test::renderZvx(kLongBassDrum, {test::noteOn(0, 35)}, frames, 512, host);
  EXPECT_EQ(capture.messages(), std::vector<test::ShownMessage>{});
  return out.empty() ? test::Channel{} : out[kBassDrumOut];
}

TEST(WavFileTest, FilesRecordedAtOtherRatesPlayAtTheirTruePitch) {
  test::TempDocuments docs;
  // 441 Hz recorded at each rate sounds as the 44.1 kHz recording does, at
  // any host rate: 441 Hz at 44.1 kHz.
  for (int host : {44100, 48000}) {
    testhost::HostConfig config;
    config.sampleRate = host;
    double heard = 0.0;
    for (int recorded : {44100, 22050, 96000}) {
      SCOPED_TRACE(testing::Message() << recorded << " Hz at " << host << " Hz");
      docs.writeFile(
          "BDA.wav",
          RiffBuilder().format(1, recorded, 16).data(decayingTone(40000, recorded / 441.0, recorded)).bytes());
      const double frequency = test::frequencyOf(bassDrumHit(config), 500, 10000, host);
      if (recorded == 44100) heard = frequency;
      EXPECT_NEAR(frequency, heard, 0.5);
    }
    if (host == 44100) { EXPECT_NEAR(heard, 441.0, 0.5); }
  }
}

TEST(WavFileTest, OtherEncodingsSoundAsTheSixteenBitFileAndUnreadableOnesKeepTheLayer) {
  test::TempDocuments docs;
  const auto tone = decayingTone(20000, 97.3);
  const Bytes good = test::monoWav(tone);
  docs.writeFile("BDA.wav", good);
  const test::Channel before = bassDrumHit();
  ASSERT_GT(test::peak(before), 0.1f);
  // Through the module too: float, and 24 valid bits in 32 (the bits below them ignored).
  for (const Bytes& file :
       {RiffBuilder().format(1, 44100, 32, 16, 3).chunk("data", test::floatSamples(fractions(tone))).bytes(),
        RiffBuilder()
            .extensibleFormat(2, 44100, 32, 24, 1)
            .chunk("data", test::integerSamples(scaled(aroundEach(tone), 65536, 0x11), 4))
            .bytes()}) {
    docs.writeFile("BDA.wav", file);
    EXPECT_EQ(bassDrumHit(), before);
  }
  docs.writeFile("BDA.wav", good);
  using Shown = std::vector<test::ShownMessage>;
  const Shown undecodable = {{"none", "One WAV file is not 16 Bit", "Error!"},
                             {"none", "Can't read PCM file!", "Sample size mismatch"}};
  const std::vector<std::tuple<const char*, Bytes, Shown>> refused = {
      {"compressed", RiffBuilder().format(1, 44100, 4, 20, 2).chunk("data", Bytes(4000, 0x37)).bytes(), undecodable},
      {"no whole sample",
       RiffBuilder().format(2, 48000, 24).chunk("data", {1, 2, 3, 4, 5}).bytes(),
       {{"none", "Can't read PCM file!", "Couldn't read samples"}}},
  };
  for (const auto& [what, file, messages] : refused) {
    SCOPED_TRACE(what);
    auto zvx = test::startZvx(kLongBassDrum);
    docs.writeFile("BDA.wav", file);
    test::MessageCapture capture;
    zvx->setParameter(param::kBDMenu, 0.0f);  // chosen again: read again
    EXPECT_EQ(capture.messages(), messages);
    EXPECT_EQ(zvx->render(12000, 512, {test::noteOn(0, 35)})[kBassDrumOut], before);
    docs.writeFile("BDA.wav", good);
  }
}

}  // namespace
}  // namespace zvx
