// zvx-render: the MIDI file reader on its own, then the built executable end
// to end on files written here and read back with libsndfile.
#include <sndfile.h>

#include "engine/Parameters.h"
#include "storage/FxbFile.h"
#include "tests/support/TestSupport.h"
#include "tools/zvx-render/DemoPattern.h"
#include "tools/zvx-render/MidiFile.h"

namespace zvx::test {
namespace {

using render::MidiFile;
using Arguments = std::vector<std::string>;

// Standard MIDI Files written byte by byte, so each test decides every detail.
Bytes bytes(std::initializer_list<int> values) { return Bytes(values.begin(), values.end()); }

template <typename T>
std::vector<T> operator+(std::vector<T> a, const std::vector<T>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

Bytes variable(std::uint32_t value) {
  Bytes out{static_cast<std::uint8_t>(value & 0x7F)};
  while (value >>= 7) out.insert(out.begin(), static_cast<std::uint8_t>((value & 0x7F) | 0x80));
  return out;
}

Bytes bigEndian(std::uint32_t value, int count) {
  Bytes out;
  for (int i = count - 1; i >= 0; --i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
  return out;
}

Bytes chunk(const char* type, const Bytes& body) {
  return Bytes(type, type + 4) + bigEndian(static_cast<std::uint32_t>(body.size()), 4) + body;
}

Bytes header(int format, int tracks, int division) {
  return chunk("MThd", bigEndian(format, 2) + bigEndian(tracks, 2) + bigEndian(division, 2));
}

const Bytes kEndOfTrack = bytes({0x00, 0xFF, 0x2F, 0x00});

// Format 1, 480 ticks a quarter, 120 BPM slowing to 60 at tick 960; a drum
// track in running status with a sysex and an escaped event to step over. The
// snare at tick 480 plays at 0.5 s, the hi-hat at tick 1440 at 2.0 s.
Bytes tempoChangeSong() {
  const Bytes conductor = bytes({0x00, 0xFF, 0x03, 0x04, 'T', 'e', 'm', 'p'}) +
                          bytes({0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20}) +            // 500000 us
                          variable(960) + bytes({0xFF, 0x51, 0x03, 0x0F, 0x42, 0x40}) +  // 1000000 us
                          kEndOfTrack;
  const Bytes drums = variable(480) + bytes({0x99, 38, 100}) + variable(60) + bytes({38, 0}) +
                      bytes({0x00, 0xF0, 0x04, 0x7E, 0x7F, 0x09, 0xF7}) +  // sysex
                      bytes({0x00, 0xF7, 0x02, 0xF3, 0x01}) +              // escaped bytes
                      bytes({0x00, 0xFF, 0x01, 0x03, 'h', 'a', 't'}) +     // text
                      variable(900) + bytes({0x99, 42, 90}) + variable(60) + bytes({42, 0}) + kEndOfTrack;
  return header(1, 2, 480) + chunk("MTrk", conductor) + chunk("MTrk", drums);
}

std::optional<MidiFile> parsed(const Bytes& file) {
  std::string error;
  auto song = MidiFile::parse(file, error);
  EXPECT_TRUE(song) << error;
  return song;
}

// The demo's last event at 44100 Hz.
std::int64_t demoEnd() { return parsed(render::DemoPattern::midiFile()).value().messagesAt(44100.0).back().sample; }

struct Sound {
  SF_INFO info{};
  std::vector<Channel> channels;
};

Sound readSound(const fs::path& path) {
  Sound sound;
  SNDFILE* file = sf_open(path.c_str(), SFM_READ, &sound.info);
  if (!file) {
    ADD_FAILURE() << "cannot read " << path << ": " << sf_strerror(nullptr);
    return sound;
  }
  std::vector<float> interleaved(static_cast<std::size_t>(sound.info.frames * sound.info.channels));
  sf_readf_float(file, interleaved.data(), sound.info.frames);
  sf_close(file);
  sound.channels.assign(static_cast<std::size_t>(sound.info.channels), Channel(static_cast<std::size_t>(sound.info.frames)));
  for (std::size_t i = 0; i < interleaved.size(); ++i)
    sound.channels[i % sound.channels.size()][i / sound.channels.size()] = interleaved[i];
  return sound;
}

// A scratch folder inside the temporary documents folder the module uses.
class RenderFolder {
 public:
  RenderFolder() : folder_(documents_.documents() / "render") { fs::create_directories(folder_); }
  fs::path operator/(const std::string& name) const { return folder_ / name; }
  ProgramRun run(const Arguments& arguments) const { return runProgram(ZVX_RENDER_PATH, arguments, folder_); }
  ProgramRun ok(const Arguments& arguments) const {
    const ProgramRun result = run(arguments);
    EXPECT_EQ(result.exitCode, 0) << result.err;
    return result;
  }
  // The demo's first 2.5 s as 32-bit floats into `output`, whose samples it answers.
  std::vector<Channel> demo(const std::string& output, const Arguments& arguments = {}) const {
    ok(Arguments{"--length", "2.5", "--format", "wav32f", "-o", output} + arguments);
    return readSound(folder_ / output).channels;
  }
  const TempDocuments& documents() const { return documents_; }

 private:
  TempDocuments documents_;
  fs::path folder_;
};

int parameterNamed(vsthost::Plugin& plugin, const std::string& name) {
  for (int p = 0; p < plugin.effect()->numParams; ++p) {
    std::string shown = plugin.parameterName(p);
    while (!shown.empty() && shown.back() == ' ') shown.pop_back();
    if (shown == name) return p;
  }
  ADD_FAILURE() << "no parameter " << name;
  return 0;
}

TEST(MidiFileTest, KeepsFileOrderAtEqualTimesAndSizesShortMessages) {
  const Bytes first = bytes({0x00, 0x99, 36, 100, 0x00, 0xC9, 5, 0x00, 0xD9, 0x40, 0x00, 0x41}) + kEndOfTrack;
  const Bytes second = bytes({0x00, 0x99, 38, 100, 0x00, 40, 100}) + kEndOfTrack;
  // An unknown chunk between the tracks is stepped over.
  const auto song = parsed(header(1, 2, 96) + chunk("MTrk", first) + chunk("XYZW", bytes({1, 2, 3})) + chunk("MTrk", second));
  ASSERT_TRUE(song);
  using Seen = std::tuple<int, int, int, int, std::int64_t>;  // status, first data byte, size, track, tick
  std::vector<Seen> seen;
  for (const auto& m : song->messages()) seen.emplace_back(m.data[0], m.data[1], m.size, m.track, m.tick);
  EXPECT_EQ(seen, (std::vector<Seen>{{0x99, 36, 3, 0, 0}, {0xC9, 5, 2, 0, 0}, {0xD9, 0x40, 2, 0, 0},
                                     {0xD9, 0x41, 2, 0, 0}, {0x99, 38, 3, 1, 0}, {0x99, 40, 3, 1, 0}}));
}

TEST(MidiFileTest, RejectsBrokenFilesNamingTheProblem) {
  const Bytes good = bytes({0x00, 0x90, 38, 100}) + kEndOfTrack;
  const auto track = [](const Bytes& body) { return header(0, 1, 96) + chunk("MTrk", body); };
  const std::vector<std::pair<Bytes, const char*>> cases = {
      {Bytes{'R', 'I', 'F', 'F', 0, 0, 0, 6, 0, 0, 0, 1, 0, 96}, "not a MIDI file"},
      {chunk("MThd", bytes({0, 0, 0, 1})) + chunk("MTrk", good), "bad header chunk size 4"},
      {header(1, 2, 96) + chunk("MTrk", good), "1 of 2 track chunks"},
      {track(bytes({0x00, 0xFF, 0x01, 0x40, 'a'})), "past the end"},
      {track(bytes({0x00, 38, 100}) + kEndOfTrack), "without a status byte"},
      {track(bytes({0x00, 0xF8}) + kEndOfTrack), "unexpected status byte 0xF8"},
      {header(2, 1, 96) + chunk("MTrk", good), "format 2"},
  };
  for (const auto& [file, message] : cases) {
    std::string error;
    EXPECT_FALSE(MidiFile::parse(file, error)) << message;
    EXPECT_NE(error.find(message), std::string::npos) << error;
    EXPECT_EQ(error.find('\n'), std::string::npos) << error;
  }
  // Every cut of a good file, each its own allocation so an overread shows.
  const Bytes file = tempoChangeSong();
  for (std::size_t size = 0; size < file.size(); ++size) {
    std::string error;
    EXPECT_FALSE(MidiFile::parse(Bytes(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(size)), error)) << size;
    EXPECT_FALSE(error.empty()) << size;
  }
}

TEST(ZvxRenderTest, RendersAMidiFileSampleAccurately) {
  RenderFolder folder;
  writeBytes(folder / "song.mid", tempoChangeSong());
  // An odd block size puts the notes inside blocks, away from their starts.
  const Arguments common = {"--midi", "song.mid", "--rate", "48000", "--block", "333", "--tail", "1", "--format", "wav32f"};
  const ProgramRun mixRun = folder.ok(common + Arguments{"-o", "mix.wav"});
  EXPECT_NE(mixRun.out.find("3.125 s"), std::string::npos) << mixRun.out;
  const ProgramRun allRun = folder.ok(common + Arguments{"-o", "all.wav", "--all-outputs"});
  EXPECT_EQ(std::count(allRun.out.begin(), allRun.out.end(), '/'), 5) << "six peaks expected: " << allRun.out;

  const Sound mix = readSound(folder / "mix.wav"), all = readSound(folder / "all.wav");
  // Its length: the last event (hi-hat off at 2.125 s) plus the one-second tail.
  ASSERT_EQ(std::make_tuple(mix.info.channels, all.info.channels, mix.info.samplerate, mix.info.format, mix.info.frames),
            std::make_tuple(2, 6, 48000, SF_FORMAT_WAV | SF_FORMAT_FLOAT, sf_count_t{102000 + 48000}));
  // The mix of --all-outputs is the default stereo file.
  EXPECT_EQ(std::vector<Channel>(all.channels.begin(), all.channels.begin() + 2), mix.channels);

  // Silent until the snare, the hi-hat output until 2.0 s; a hit may start one sample early.
  for (const auto& [c, onset] : {std::pair{0, 24000L}, {1, 24000L}, {3, 24000L}, {4, 96000L}}) {
    const Channel& channel = all.channels[static_cast<std::size_t>(c)];
    EXPECT_NEAR(firstAbove(channel), onset, 1) << c;
    EXPECT_GT(peak(channel, static_cast<std::size_t>(onset), static_cast<std::size_t>(onset) + 4800), 0.01f) << c;
  }
  EXPECT_GT(peak(mix.channels[0], 96000, 96000 + 4800), 0.01f);
}

TEST(ZvxRenderTest, PlaysTheDemoWithDefaultsReportsProgressAndWritesEachFormat) {
  RenderFolder folder;
  // No arguments at all: the demo, out.wav, wav24, 44100 Hz, stereo, ringing out to silence.
  folder.ok({});
  const Sound sound = readSound(folder / "out.wav");
  ASSERT_EQ(std::make_tuple(sound.info.channels, sound.info.samplerate, sound.info.format),
            std::make_tuple(2, 44100, SF_FORMAT_WAV | SF_FORMAT_PCM_24));
  const std::int64_t lastEvent = demoEnd();
  EXPECT_GT(sound.info.frames, lastEvent + 4410);
  EXPECT_GT(peak(sound.channels[0]), 0.1f);
  EXPECT_LT(peak(sound.channels[0], static_cast<std::size_t>(sound.info.frames) - 4410), 3.2e-5f);

  // A render longer than 10 s reports its progress on standard error, unless told not to.
  EXPECT_NE(folder.ok({"--tail", "3", "-o", "long.wav"}).err.find("100%"), std::string::npos);
  const Sound longer = readSound(folder / "long.wav");
  EXPECT_EQ(longer.info.frames, lastEvent + 3 * 44100);
  EXPECT_EQ(folder.ok({"--quiet", "--tail", "3", "-o", "quiet.wav"}).err, "");
  EXPECT_EQ(readSound(folder / "quiet.wav").channels, longer.channels);
  folder.ok({"--write-demo", "demo.mid"});
  EXPECT_EQ(readBytes(folder / "demo.mid"), render::DemoPattern::midiFile());

  // The other formats (wav32f is the other tests'), the length and the rate.
  for (const auto& [name, format] :
       {std::pair{"wav16", SF_FORMAT_WAV | SF_FORMAT_PCM_16}, {"flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_24}}) {
    folder.ok({"--format", name, "--length", "1.5", "--rate", "22050", "-o", std::string("demo-") + name});
    const Sound other = readSound(folder / (std::string("demo-") + name));
    EXPECT_EQ(std::make_tuple(other.info.format, other.info.samplerate, other.info.frames),
              std::make_tuple(format, 22050, sf_count_t{33075})) << name;
    EXPECT_GT(peak(other.channels[0]), 0.01f) << name;
  }
}

// Without --tail or --length nothing is cut off: the render ends once every
// output has stayed below -90 dBFS for 100 ms after the last event, and what
// a longer render adds past that end stays below it.
TEST(ZvxRenderTest, RendersUntilEveryOutputHasFallenSilentAfterTheLastEvent) {
  RenderFolder folder;
  // A long kick, so that the closing hit rings on after its note-off, the last event.
  const Arguments common = {"--all-outputs", "--format", "wav32f", "--set", "BDDecay=1"};
  folder.ok(common + Arguments{"-o", "ended.wav"});
  folder.ok(common + Arguments{"--tail", "8", "-o", "longer.wav"});
  const Sound ended = readSound(folder / "ended.wav"), longer = readSound(folder / "longer.wav");
  ASSERT_EQ(ended.channels.size(), 6u);
  // The file ends 4410 samples after the last sample of any output at -90 dBFS or above.
  std::int64_t heard = 0;
  for (const Channel& channel : ended.channels)
    for (std::size_t i = channel.size(); i-- > 0;)
      if (std::fabs(channel[i]) >= 3.1623e-5f) {
        heard = std::max(heard, static_cast<std::int64_t>(i) + 1);
        break;
      }
  EXPECT_GT(heard, demoEnd() + 4410);
  EXPECT_EQ(ended.info.frames, heard + 4410);
  for (std::size_t c = 0; c < ended.channels.size(); ++c) {
    const Channel& full = longer.channels[c];
    EXPECT_TRUE(std::equal(ended.channels[c].begin(), ended.channels[c].end(), full.begin())) << c;
    EXPECT_LT(peak(full, static_cast<std::size_t>(ended.info.frames)), 3.1623e-5f) << c;
  }
}

// The plain instrument plays its values for ever; every output counts.
TEST(ZvxRenderTest, StopsAMinuteAfterTheLastEventWhatNeverFallsSilentAndSaysSo) {
  RenderFolder folder;
  writeBytes(folder / "song.mid", tempoChangeSong());  // its last event at sample 17000 at 8 kHz
  const Arguments plain = {"--plugin", ZVX_PLAIN_INSTRUMENT, "--midi", "song.mid", "--rate", "8000", "--format", "wav32f"};
  // Just below -90 dBFS on the left, nothing on the right: silent; -80 dBFS on the right sounds.
  const ProgramRun quiet = folder.ok(plain + Arguments{"--set", "Left=0.00003", "--set", "Right=0", "-o", "quiet.wav"});
  EXPECT_EQ(readSound(folder / "quiet.wav").info.frames, 17000 + 800);
  EXPECT_EQ(quiet.out.find("still sounding"), std::string::npos) << quiet.out;
  const ProgramRun ringing = folder.ok(plain + Arguments{"--set", "Left=0", "--set", "Right=0.0001", "-o", "ringing.wav"});
  EXPECT_EQ(readSound(folder / "ringing.wav").info.frames, 17000 + 60 * 8000);
  EXPECT_NE(ringing.out.find("(still sounding 60 s after the last event"), std::string::npos) << ringing.out;
}

// The RIFF chunks of a WAV file in order: the four-letter tag and the bytes.
std::vector<std::pair<std::string, Bytes>> riffChunks(const Bytes& file) {
  std::vector<std::pair<std::string, Bytes>> chunks;
  const auto word = [&file](std::size_t at) {
    return static_cast<std::uint32_t>(file[at] | file[at + 1] << 8 | file[at + 2] << 16 | file[at + 3] << 24);
  };
  if (file.size() < 12 || std::string(file.begin(), file.begin() + 4) != "RIFF" || word(4) != file.size() - 8)
    return chunks;
  for (std::size_t at = 12; at + 8 <= file.size(); at += 8 + word(at + 4) + (word(at + 4) & 1)) {
    const auto body = file.begin() + static_cast<std::ptrdiff_t>(at) + 8;
    if (at + 8 + word(at + 4) > file.size()) break;
    chunks.emplace_back(std::string(body - 8, body - 4), Bytes(body, body + word(at + 4)));
  }
  return chunks;
}

Bytes littleEndian(std::initializer_list<std::uint32_t> values, std::initializer_list<int> widths) {
  Bytes out;
  for (std::size_t f = 0; f < values.size(); ++f)
    for (int b = 0; b < widths.begin()[f]; ++b) out.push_back(static_cast<unsigned char>(values.begin()[f] >> (8 * b)));
  return out;
}

// Float WAV files carry the whole 18-byte format (cbSize 0) and their frame
// count in "fact", as readers expect of any format but PCM; PCM keeps the plain 16 bytes.
TEST(ZvxRenderTest, WavFilesCarryTheFormatChunkTheirEncodingNeeds) {
  RenderFolder folder;
  for (const auto& [format, channels] : {std::pair{"wav32f", 2u}, {"wav32f", 6u}, {"wav16", 2u}}) {
    SCOPED_TRACE(std::string(format) + " " + std::to_string(channels));
    const bool pcm = format == std::string("wav16");
    Arguments arguments = {"--format", format, "--length", "0.1", "-o", "x.wav"};
    if (channels == 6) arguments.push_back("--all-outputs");
    folder.ok(arguments);
    const auto chunks = riffChunks(readBytes(folder / "x.wav"));
    ASSERT_EQ(chunks.size(), pcm ? 2u : 3u);
    const std::uint32_t frameBytes = (pcm ? 2 : 4) * channels;
    Bytes fmt = littleEndian({pcm ? 1u : 3u, channels, 44100, 44100 * frameBytes, frameBytes, pcm ? 16u : 32u}, {2, 2, 4, 4, 2, 2});
    if (!pcm) fmt.insert(fmt.end(), {0, 0});
    EXPECT_EQ(chunks[0], std::pair(std::string("fmt "), fmt));
    if (!pcm) {
      EXPECT_EQ(chunks[1], std::pair(std::string("fact"), littleEndian({4410}, {4})));
    }
    EXPECT_EQ(chunks.back().first, "data");
    EXPECT_EQ(chunks.back().second.size(), 4410u * frameBytes);
    EXPECT_EQ(readSound(folder / "x.wav").channels.size(), channels);
  }
}

TEST(ZvxRenderTest, FailuresSayWhatWentWrongInOneLineAndWriteNothing) {
  RenderFolder folder;
  // --save-bank alone renders nothing, and says so in one line.
  const std::string saved = folder.ok({"--save-bank", "good.fxb"}).out;
  EXPECT_EQ(saved.find('\n'), saved.size() - 1) << saved;
  EXPECT_FALSE(fs::exists(folder / "out.wav"));
  const Bytes good = readBytes(folder / "good.fxb"), song = tempoChangeSong();
  const auto contents = FxbFile::parse(good);
  ASSERT_TRUE(contents && good.size() > 200u);
  writeBytes(folder / "cut.mid", Bytes(song.begin(), song.end() - 10));
  writeBytes(folder / "song.mid", song);
  std::ofstream(folder / "text.so") << "not ELF\n";
  writeBytes(folder / "cut.fxb", Bytes(good.begin(), good.end() - 100));
  std::ofstream(folder / "text.fxb") << "not a bank!\n\n";
  writeBytes(folder / "other.fxb", FxbFile::chunkBank(fourCharCode("Othr"), 1, 128, 0, contents->chunk));
  writeBytes(folder / "preset.fxp", FxbFile::chunkPreset(contents->pluginId, 1, kNumParameters, "One", {}));
  // 2 for a command line that makes no sense, 1 for what fails in the doing.
  const std::vector<std::tuple<Arguments, int, const char*>> cases = {
      {{"--midi", "cut.mid"}, 1, "cut.mid: truncated track chunk"},
      {{"--midi", "song.mid", "--plugin", "text.so"}, 1, "text.so"},
      {{"--midi", "song.mid", "-o", "no-such-folder/x.wav"}, 1, "no-such-folder/x.wav"},
      {{"--midi", "song.mid", "--set", "NoSuchKnob=0.5"}, 2, "NoSuchKnob"},
      {{"--midi", "song.mid", "--set", "83=0.5"}, 2, "parameter index 83 out of range"},
      {{"--midi", "song.mid", "--plugin", ZVX_PLAIN_INSTRUMENT, "--program", "3"}, 2, "the plug-in has 3 programs"},
      {{"--rate", "fast"}, 2, "--rate"},
      {{"--program", "128"}, 2, "--program"},
      {{"--bank", "cut.fxb", "--save-bank", "x.fxb"}, 1, "cannot load bank cut.fxb: truncated or damaged bank"},
      {{"--bank", "text.fxb", "--save-bank", "x.fxb"}, 1, "cannot load bank text.fxb: not a VST bank"},
      {{"--bank", "missing.fxb", "--save-bank", "x.fxb"}, 1, "cannot load bank missing.fxb"},
      {{"--bank", "preset.fxp", "--save-bank", "x.fxb"}, 1, "preset.fxp: a preset, not a bank"},
      {{"--preset", "good.fxb", "--save-bank", "x.fxb"}, 1, "cannot load preset good.fxb: a bank, not a preset"},
      {{"--bank", "other.fxb", "--save-bank", "x.fxb"}, 1, "plug-in ID 'Othr'"},
  };
  for (const auto& [arguments, code, mentions] : cases) {
    SCOPED_TRACE(mentions);
    const ProgramRun run = folder.run(Arguments{"-o", "x.wav"} + arguments);
    EXPECT_EQ(run.exitCode, code);
    EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << run.err;
    EXPECT_EQ(run.err.rfind("zvx-render: ", 0), 0u) << run.err;
    EXPECT_NE(run.err.find(mentions), std::string::npos) << run.err;
    EXPECT_EQ(run.out, "");
    EXPECT_FALSE(fs::exists(folder / "x.wav") || fs::exists(folder / "x.fxb"));
  }
}

// A fresh ZVX in this process's documents folder, as a render starts.
struct Fresh {
  std::unique_ptr<vsthost::Plugin> zvx = createZvx();
  std::int32_t id() const { return zvx->effect()->uniqueID; }
  std::vector<float> values() {
    std::vector<float> out;
    for (int p = 0; p < zvx->effect()->numParams; ++p) out.push_back(zvx->getParameter(p));
    return out;
  }
};

std::optional<FxbFile::Contents> bankIn(const fs::path& path) {
  auto bank = FxbFile::parse(readBytes(path));
  EXPECT_TRUE(bank) << path;
  return bank;
}

// A bank's kind, plug-in and version, its declared programs and current one.
auto headerOf(const FxbFile::Contents& bank) {
  return std::make_tuple(bank.type, bank.pluginId, bank.pluginVersion, bank.declaredPrograms, bank.currentProgram);
}

TEST(ZvxRenderBanks, PlaysTheProgramAndValuesItIsGivenAndSavesABankThatPlaysBackTheSame) {
  RenderFolder folder;
  folder.documents().writeFile("default.fxb", readBytes(ZVX_BUILT_BANK));
  const std::vector<Channel> zero = folder.demo("zero.wav", {"--program", "0"}), three = folder.demo("three.wav", {"--program", "3"});
  EXPECT_EQ(folder.demo("first.wav"), zero);  // program 0 of the default bank
  EXPECT_NE(three, zero);
  EXPECT_GT(peak(three[0]), 0.01f);

  const ProgramRun edited = folder.ok({"--length", "2.5", "--format", "wav32f", "--set", "BDMix=0", "--set",
                                       "SDDecay=0.8", "--set", "HHPan=0.9", "--save-bank", "edited.fxb", "-o", "edited.wav"});
  EXPECT_EQ(edited.out.rfind("edited.fxb: bank of 128 programs (chunk)", 0), 0u) << edited.out;
  const std::vector<Channel> editedSound = readSound(folder / "edited.wav").channels;
  EXPECT_GT(peak(editedSound[0]), 0.01f);
  EXPECT_EQ(folder.demo("loaded.wav", {"--bank", "edited.fxb"}), editedSound);
  EXPECT_NE(zero, editedSound);
  // Names match without case or the plug-in's trailing blanks; the index is the plug-in's own.
  const std::vector<Channel> byName = folder.demo("name.wav", {"--set", "BDMix=0"});
  EXPECT_NE(byName, zero);
  EXPECT_EQ(folder.demo("lower.wav", {"--set", "bdmix =0"}), byName);
  EXPECT_EQ(folder.demo("index.wav", {"--set", std::to_string(parameterNamed(*createZvx(), "BDMix")) + "=0"}), byName);

  const auto bank = bankIn(folder / "edited.fxb");  // a chunk bank, as hosts write them for ZVX
  ASSERT_TRUE(bank);
  Fresh fresh;
  EXPECT_EQ(headerOf(*bank), std::make_tuple(FxbFile::kChunkBank, fresh.id(), fresh.zvx->effect()->version, 128, 0));
}

TEST(ZvxRenderBanks, LoadsRegularBanksAndPresetsIntoTheSelectedProgram) {
  RenderFolder folder;
  Fresh fresh;
  const auto at = [&](const char* name) { return static_cast<std::size_t>(parameterNamed(*fresh.zvx, name)); };
  HandProgram one{"Hand Made One", fresh.values()}, two{"Hand Made Two", fresh.values()}, preset{"Hand Preset", fresh.values()};
  one.values[at("BDMix")] = 0.0f;
  two.values[at("HHPan")] = 1.0f;
  two.values[at("SDDecay")] = preset.values[at("SDDecay")] = 0.9f;
  writeBytes(folder / "hand.fxb", regularBank(fresh.id(), {one, two}, 1));
  writeBytes(folder / "regular.fxp", regularPreset(fresh.id(), preset));
  // A chunk preset as a host would save it from the plug-in.
  fresh.zvx->setParameter(static_cast<int>(at("BDMix")), 0.0f);
  writeBytes(folder / "chunk.fxp",
             FxbFile::chunkPreset(fresh.id(), 1, fresh.zvx->effect()->numParams, "Chunk Preset", chunkOf(*fresh.zvx, 1)));

  // The bank's current program plays unless --program picks another.
  const std::vector<Channel> current = folder.demo("current.wav", {"--bank", "hand.fxb"});
  const std::vector<Channel> first = folder.demo("first.wav", {"--bank", "hand.fxb", "--program", "0"});
  const std::vector<Channel> noKick = folder.demo("one.wav", {"--set", "BDMix=0"});
  EXPECT_EQ(current, folder.demo("two.wav", {"--program", "1", "--set", "HHPan=1", "--set", "SDDecay=0.9"}));
  EXPECT_EQ(first, noKick);
  EXPECT_NE(first, current);
  EXPECT_EQ(folder.demo("chunk.wav", {"--preset", "chunk.fxp"}), noKick);
  EXPECT_EQ(folder.demo("hand.wav", {"--preset", "regular.fxp"}), folder.demo("decay.wav", {"--set", "SDDecay=0.9"}));

  // The names came along: saved again as a chunk bank, they are still there.
  folder.ok({"--bank", "hand.fxb", "--save-bank", "resaved.fxb"});
  const auto bank = bankIn(folder / "resaved.fxb");
  ASSERT_TRUE(bank);
  EXPECT_EQ(bank->currentProgram, 1);
  setChunk(*fresh.zvx, bank->chunk, 0);
  EXPECT_EQ(std::pair(fresh.zvx->programNameIndexed(0), fresh.zvx->programNameIndexed(1)), std::pair(one.name, two.name));

  // Whatever the order on the command line: bank, program, preset, values.
  const ProgramRun ordered =
      folder.ok({"--preset", "regular.fxp", "--set", "SDDecay=0.4", "--save-bank", "five.fxb", "--program", "5"});
  EXPECT_NE(ordered.out.find("program 5 selected"), std::string::npos) << ordered.out;
  const auto five = bankIn(folder / "five.fxb");
  ASSERT_TRUE(five);
  setChunk(*fresh.zvx, five->chunk, 0);
  EXPECT_EQ(fresh.zvx->programNameIndexed(5), "Hand Preset");
  EXPECT_NE(fresh.zvx->programNameIndexed(0), "Hand Preset");
  fresh.zvx->dispatch(effSetProgram, 0, 5);
  EXPECT_FLOAT_EQ(fresh.zvx->getParameter(static_cast<int>(at("SDDecay"))), 0.4f);
}

TEST(ZvxRenderBanks, SavesParameterValuesForAnInstrumentWithoutChunksAndCountsFaultySamples) {
  RenderFolder folder;
  const ProgramRun saved =
      folder.ok({"--plugin", ZVX_PLAIN_INSTRUMENT, "--program", "2", "--set", "Left=0.25", "--save-bank", "plain.fxb"});
  EXPECT_EQ(saved.out, "plain.fxb: bank of 3 programs (parameter values), program 2 selected\n");
  const auto bank = bankIn(folder / "plain.fxb");
  ASSERT_TRUE(bank);
  EXPECT_EQ(headerOf(*bank), std::make_tuple(FxbFile::kRegularBank, fourCharCode("PlIn"), 3, 3, 2));
  ASSERT_EQ(bank->programs.size(), 3u);
  for (std::size_t p = 0; p < 3; ++p) {
    EXPECT_EQ(bank->programs[p].name, "Plain " + std::to_string(p));
    EXPECT_EQ(bank->programs[p].values, (std::vector<float>{p == 2 ? 0.25f : 0.1f, 0.2f})) << p;
  }

  // Loaded back, the saved current program plays its values as output levels.
  const Arguments render = {"--plugin", ZVX_PLAIN_INSTRUMENT, "--bank", "plain.fxb", "--length", "0.01", "--format", "wav32f"};
  folder.ok(render + Arguments{"-o", "current.wav"});
  folder.ok(render + Arguments{"--program", "0", "-o", "first.wav"});
  const auto current = readSound(folder / "current.wav").channels, first = readSound(folder / "first.wav").channels;
  ASSERT_TRUE(current.size() == 2 && first.size() == 2);
  EXPECT_EQ(std::make_tuple(current[0].front(), current[1].back(), first[0].front()), std::make_tuple(0.25f, 0.2f, 0.1f));

  writeBytes(folder / "fault.mid", header(0, 1, 480) + chunk("MTrk", bytes({0x00, 0x90, 127, 100}) + kEndOfTrack));
  const ProgramRun run = folder.ok(
      {"--plugin", ZVX_PLAIN_INSTRUMENT, "--midi", "fault.mid", "--tail", "0.1", "--block", "441", "-o", "faulty.wav"});
  EXPECT_NE(run.out.find("peak 3.5 / -inf dBFS (clipped: 4410 samples) (4410 samples not numbers)"), std::string::npos)
      << run.out;
}

// "N  NAME" as the listing prints a program.
std::string programLine(int p, const std::string& name) {
  return std::string(p < 10 ? 2 : p < 100 ? 1 : 0, ' ') + std::to_string(p) + "  " + name;
}

TEST(ZvxRenderLists, ProgramsAndParametersOfWhatWouldPlayAsThePlugInShowsThemAndSafeToPrint) {
  RenderFolder folder;
  folder.documents().writeFile("default.fxb", readBytes(ZVX_BUILT_BANK));
  // The default bank, as an instance reading the same data folder names it.
  Fresh fresh;
  std::vector<std::string> expected;
  for (int p = 0; p < 128; ++p) expected.push_back(programLine(p, fresh.zvx->programNameIndexed(p)));
  EXPECT_EQ(linesOf(folder.ok({"--list-programs"}).out), expected);
  EXPECT_NE(fresh.zvx->programNameIndexed(0), fresh.zvx->programNameIndexed(1));
  EXPECT_FALSE(fs::exists(folder / "out.wav"));

  // Names that would act on a terminal, or are no text, come out escaped; printable UTF-8 stays.
  const std::vector<std::pair<std::string, std::string>> names = {
      {"Clear\x1b[2J", "Clear\\x1B[2J"},
      {"Caf\xc3\xa9 Kit", "Caf\xc3\xa9 Kit"},
      {"Caf\xe9 Latin", "Caf\\xE9 Latin"},
      {"C1 \xc2\x9b" "2J", "C1 \\xC2\\x9B2J"},
      {"\xe2\x80\xaeReversed", "\\xE2\\x80\\xAEReversed"},
      {"Back\\slash", "Back\\\\slash"},
  };
  std::vector<HandProgram> programs;
  for (const auto& [name, shown] : names) programs.push_back({name, fresh.values()});
  writeBytes(folder / "names.fxb", regularBank(fresh.id(), programs, 0));
  const std::vector<std::string> listed = linesOf(folder.ok({"--bank", "names.fxb", "--list-programs"}).out);
  ASSERT_EQ(listed.size(), 128u);
  for (std::size_t p = 0; p < names.size(); ++p) EXPECT_EQ(listed[p], programLine(static_cast<int>(p), names[p].second)) << p;
  // Past the bank's own programs, the default bank's stay.
  for (std::size_t p = names.size(); p < listed.size(); ++p) EXPECT_EQ(listed[p], expected[p]);

  // The parameters of the program that would play, as values and as the plug-in shows them.
  const int bdMix = parameterNamed(*fresh.zvx, "BDMix");
  fresh.zvx->dispatch(effSetProgram, 0, 3);
  fresh.zvx->setParameter(bdMix, 0.25f);
  const std::vector<std::string> params = linesOf(folder.ok({"--program", "3", "--set", "BDMix=0.25", "--list-params"}).out);
  ASSERT_EQ(params.size(), static_cast<std::size_t>(fresh.zvx->effect()->numParams));
  for (std::size_t p = 0; p < params.size(); ++p)
    EXPECT_TRUE(params[p].ends_with(fresh.zvx->parameterDisplay(static_cast<int>(p)))) << params[p];
  EXPECT_NE(params[static_cast<std::size_t>(bdMix)].find("BDMix            0.2500"), std::string::npos);
  EXPECT_NE(linesOf(folder.ok({"--list-params"}).out), params);

  // An instrument that names its current program only: each visited for its name.
  const ProgramRun plain = folder.ok(
      {"--plugin", ZVX_PLAIN_INSTRUMENT, "--program", "1", "--set", "Left=0.25", "--list-programs", "--list-params"});
  EXPECT_EQ(plain.out,
            "  0  Plain 0\n  1  Plain 1\n  2  Plain 2\n\n"
            "  0  Left             0.2500  25.0 %\n"
            "  1  Right            0.2000  20.0 %\n");
}

}  // namespace
}  // namespace zvx::test
