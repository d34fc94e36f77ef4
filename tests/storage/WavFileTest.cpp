// Sample files good and bad, read as a voice's layer: what is loaded, and what
// the user is told, with the exact texts and captions.

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

struct Case {
  const char* what;
  Bytes file;
  Said messages;
  bool loads;
};

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
      {"8 bit", RiffBuilder().format(1, 44100, 8).chunk("data", Bytes(300, 128)).bytes(),
       {{"One WAV file is not 16 Bit", "Error!"}, {"Can't read PCM file!", "Sample size mismatch"}}, false},
      {"lying data size", RiffBuilder().format(1, 44100, 16).data(samples, 50000).bytes(),
       {{"Can't read PCM file!", "Couldn't read samples"}}, false},
      {"no whole sample", RiffBuilder().format(1, 44100, 16).chunk("data", {7}).bytes(),
       {{"Can't read PCM file!", "Couldn't read samples"}}, false},
      {"48 kHz", RiffBuilder().format(1, 48000, 16).data(samples).bytes(), {{"One WAV file is not 44100 Hz", "Error!"}},
       true},
      {"stereo", RiffBuilder().format(2, 44100, 16).data(ramp(1000)).bytes(), {{"One WAV file is not MONO", "Error!"}},
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
    if (layer && std::string(c.what) != "stereo") {
      for (int i = 0; i < 499; ++i) ASSERT_EQ(layer->samples[i], samples[static_cast<std::size_t>(i)] / 32767.0f) << i;
      EXPECT_EQ(layer->samples[499], 0.0f);  // the last sample read is replaced by 0
    }
  }
}

TEST(WavFileTest, LayerKeepsFirstChannelZeroesTheTailAndStopsAt98000) {
  test::TempDocuments docs(false);
  test::MessageLog log;

  const auto thousand = ramp(1000, 13);
  docs.writeFile("BDA.wav", test::monoWav(thousand));
  auto layer = SampleCache::readLayer(0);
  ASSERT_TRUE(layer);
  for (int i = 0; i < 999; ++i) ASSERT_EQ(layer->samples[i], thousand[static_cast<std::size_t>(i)] / 32767.0f);
  for (int i = 999; i < PcmBuffer::kSize; ++i) ASSERT_EQ(layer->samples[i], 0.0f) << i;

  // -32768 converts to slightly below -1.
  docs.writeFile("BDA.wav", test::monoWav({0, -32768, 32767, 5}));
  layer = SampleCache::readLayer(0);
  EXPECT_FLOAT_EQ(layer->samples[1], -32768.0f / 32767.0f);
  EXPECT_EQ(layer->samples[2], 1.0f);

  const auto long100k = ramp(100000, 3);
  docs.writeFile("HHB.wav", test::monoWav(long100k));
  layer = SampleCache::readLayer(6);
  ASSERT_TRUE(layer);
  EXPECT_EQ(layer->samples[97998], long100k[97998] / 32767.0f);
  EXPECT_EQ(layer->samples[97999], 0.0f);

  // Stereo: the first channel, at its own speed.
  std::vector<std::int16_t> interleaved;
  for (int i = 0; i < 600; ++i) {
    interleaved.push_back(static_cast<std::int16_t>(i));
    interleaved.push_back(static_cast<std::int16_t>(-1000 - i));
  }
  docs.writeFile("CPB.wav", RiffBuilder().format(2, 44100, 16).data(interleaved).bytes());
  layer = SampleCache::readLayer(7);
  ASSERT_TRUE(layer);
  for (int i = 0; i < 599; ++i) ASSERT_EQ(layer->samples[i], i / 32767.0f);
  EXPECT_EQ(layer->samples[599], 0.0f);

  EXPECT_EQ(said(log), (Said{{"One WAV file is not MONO", "Error!"}}));  // the stereo warning only
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
  EXPECT_EQ(wav.channels(), 1u);
  EXPECT_EQ(wav.bitsPerSample(), 16u);
  EXPECT_EQ(wav.blockAlign(), 2u);
  EXPECT_EQ(wav.dataSize(), 128u);
  std::int16_t small[10];
  EXPECT_FALSE(wav.read16(small, 10, 64));  // would not fit: refused, not overrun
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

}  // namespace
}  // namespace zvx
