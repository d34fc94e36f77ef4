// zvx-render: the MIDI file reader on its own, then the built executable end
// to end on files written here and read back with libsndfile.
#include <gtest/gtest.h>
#include <sndfile.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "storage/FxbFile.h"
#include "tests/support/TestSupport.h"
#include "tools/zvx-render/DemoPattern.h"
#include "tools/zvx-render/MidiFile.h"

extern char** environ;

namespace zvx::test {
namespace {

using render::MidiFile;
using Bytes = std::vector<std::uint8_t>;
namespace fs = std::filesystem;

// ---------------------------------------------------------------------------
// Standard MIDI Files written byte by byte, so each test decides every detail.

Bytes bytes(std::initializer_list<int> values) {
  Bytes out;
  for (int v : values) out.push_back(static_cast<std::uint8_t>(v));
  return out;
}

Bytes operator+(Bytes a, const Bytes& b) {
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

// Format 1 at 480 ticks a quarter: a conductor track at 120 BPM that slows to
// 60 BPM at tick 960 (one second in), and a drum track in running status with
// a sysex and an escaped event to step over. A snare at tick 480 and a hi-hat
// at tick 1440, which the tempo change puts at 2.0 s rather than 1.5 s.
Bytes tempoChangeSong() {
  const Bytes conductor = bytes({0x00, 0xFF, 0x03, 0x04, 'T', 'e', 'm', 'p'}) +
                          bytes({0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20}) +            // 500000 us
                          variable(960) + bytes({0xFF, 0x51, 0x03, 0x0F, 0x42, 0x40}) +  // 1000000 us
                          kEndOfTrack;
  const Bytes drums = variable(480) + bytes({0x99, 38, 100}) +             // snare on
                      variable(60) + bytes({38, 0}) +                      // running status: off
                      bytes({0x00, 0xF0, 0x04, 0x7E, 0x7F, 0x09, 0xF7}) +  // sysex
                      bytes({0x00, 0xF7, 0x02, 0xF3, 0x01}) +              // escaped bytes
                      bytes({0x00, 0xFF, 0x01, 0x03, 'h', 'a', 't'}) +     // text
                      variable(900) + bytes({0x99, 42, 90}) +              // hi-hat on
                      variable(60) + bytes({42, 0}) +                      // running status: off
                      kEndOfTrack;
  return header(1, 2, 480) + chunk("MTrk", conductor) + chunk("MTrk", drums);
}

void writeFile(const fs::path& path, const Bytes& content) {
  std::ofstream file(path, std::ios::binary);
  file.write(reinterpret_cast<const char*>(content.data()), static_cast<std::streamsize>(content.size()));
}

// ---------------------------------------------------------------------------
// The executable, run without a shell, and the sound files it writes.

using RunResult = ProgramRun;

RunResult runRender(const std::vector<std::string>& arguments, const fs::path& folder) {
  return runProgram(ZVX_RENDER_PATH, arguments, folder);
}

std::size_t lineCount(const std::string& text) {
  return static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
}

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
  sound.channels.assign(static_cast<std::size_t>(sound.info.channels),
                        Channel(static_cast<std::size_t>(sound.info.frames)));
  for (std::size_t i = 0; i < interleaved.size(); ++i)
    sound.channels[i % sound.channels.size()][i / sound.channels.size()] = interleaved[i];
  return sound;
}

// A scratch folder inside the temporary documents folder the module uses.
class RenderFolder {
 public:
  RenderFolder() : folder_(documents_.documents() / "render") { fs::create_directories(folder_); }
  fs::path operator/(const std::string& name) const { return folder_ / name; }
  RunResult run(const std::vector<std::string>& arguments) const { return runRender(arguments, folder_); }
  const TempDocuments& documents() const { return documents_; }

 private:
  TempDocuments documents_;
  fs::path folder_;
};

// ---------------------------------------------------------------------------
// The reader

TEST(MidiFileTest, MergesTracksAndTimesEventsThroughTheTempoMap) {
  std::string error;
  auto song = MidiFile::parse(tempoChangeSong(), error);
  ASSERT_TRUE(song) << error;
  EXPECT_EQ(song->format(), 1);
  EXPECT_EQ(song->trackCount(), 2);
  EXPECT_EQ(song->division(), 480);
  ASSERT_EQ(song->tempoChanges().size(), 2u);

  const auto timed = song->messagesAt(48000.0);
  ASSERT_EQ(timed.size(), 4u);  // sysex, escaped and meta events are not messages
  const std::int64_t expectedSamples[] = {24000, 27000, 96000, 102000};
  const int expectedNotes[] = {38, 38, 42, 42};
  const int expectedVelocities[] = {100, 0, 90, 0};
  for (std::size_t i = 0; i < timed.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(timed[i].sample, expectedSamples[i]);
    EXPECT_EQ(timed[i].size, 3);
    EXPECT_EQ(timed[i].data[0], 0x99);  // running status restored in full
    EXPECT_EQ(timed[i].data[1], expectedNotes[i]);
    EXPECT_EQ(timed[i].data[2], expectedVelocities[i]);
  }
  EXPECT_EQ(song->messagesAt(44100.0)[0].sample, 22050);
  EXPECT_DOUBLE_EQ(song->messages()[2].seconds, 2.0);
  EXPECT_EQ(song->messages()[2].tick, 1440);
}

TEST(MidiFileTest, KeepsFileOrderAtEqualTimesAndSizesShortMessages) {
  const Bytes first = bytes({0x00, 0x99, 36, 100, 0x00, 0xC9, 5, 0x00, 0xD9, 0x40, 0x00, 0x41}) + kEndOfTrack;
  const Bytes second = bytes({0x00, 0x99, 38, 100, 0x00, 40, 100}) + kEndOfTrack;
  // An unknown chunk between the tracks is stepped over.
  const Bytes file = header(1, 2, 96) + chunk("MTrk", first) + chunk("XYZW", bytes({1, 2, 3})) + chunk("MTrk", second);
  std::string error;
  auto song = MidiFile::parse(file, error);
  ASSERT_TRUE(song) << error;
  const auto& messages = song->messages();
  ASSERT_EQ(messages.size(), 6u);
  const std::vector<std::pair<int, int>> expected = {{0x99, 36},   {0xC9, 5},  {0xD9, 0x40},
                                                     {0xD9, 0x41}, {0x99, 38}, {0x99, 40}};
  const int expectedSizes[] = {3, 2, 2, 2, 3, 3};
  const int expectedTracks[] = {0, 0, 0, 0, 1, 1};
  for (std::size_t i = 0; i < messages.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(messages[i].data[0], expected[i].first);
    EXPECT_EQ(messages[i].data[1], expected[i].second);
    EXPECT_EQ(messages[i].size, expectedSizes[i]);
    EXPECT_EQ(messages[i].track, expectedTracks[i]);
    EXPECT_EQ(messages[i].tick, 0);
  }
}

TEST(MidiFileTest, SmpteTimingIgnoresTempo) {
  // 25 frames a second, 40 ticks a frame: a thousand ticks a second.
  const Bytes track =
      bytes({0x00, 0xFF, 0x51, 0x03, 0x0F, 0x42, 0x40}) + variable(500) + bytes({0x90, 38, 64}) + kEndOfTrack;
  std::string error;
  auto song = MidiFile::parse(header(0, 1, 0xE728) + chunk("MTrk", track), error);
  ASSERT_TRUE(song) << error;
  EXPECT_TRUE(song->smpteTiming());
  ASSERT_EQ(song->messages().size(), 1u);
  EXPECT_DOUBLE_EQ(song->messages()[0].seconds, 0.5);
  EXPECT_EQ(song->messagesAt(44100.0)[0].sample, 22050);
}

TEST(MidiFileTest, RejectsBrokenFilesNamingTheProblem) {
  const Bytes good = bytes({0x00, 0x90, 38, 100}) + kEndOfTrack;
  struct Case {
    const char* what;
    Bytes file;
    const char* message;
  };
  const std::vector<Case> cases = {
      {"no MThd", Bytes{'R', 'I', 'F', 'F', 0, 0, 0, 6, 0, 0, 0, 1, 0, 96}, "not a MIDI file"},
      {"empty", Bytes{}, "not a MIDI file"},
      {"short header", Bytes{'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0}, "truncated header chunk"},
      {"header size", chunk("MThd", bytes({0, 0, 0, 1})) + chunk("MTrk", good), "bad header chunk size 4"},
      {"track size", header(0, 1, 96) + bytes({'M', 'T', 'r', 'k', 0, 0, 0, 100}) + good, "truncated track chunk"},
      {"missing track", header(1, 2, 96) + chunk("MTrk", good), "1 of 2 track chunks"},
      {"cut chunk header", header(1, 2, 96) + chunk("MTrk", good) + bytes({'M', 'T', 'r'}), "truncated chunk header"},
      {"garbage chunk", header(1, 2, 96) + chunk("MTrk", good) + bytes({0, 1, 2, 3, 0, 0, 0, 0}), "bad chunk type"},
      {"meta past chunk", header(0, 1, 96) + chunk("MTrk", bytes({0x00, 0xFF, 0x01, 0x40, 'a'})), "past the end"},
      {"sysex past chunk", header(0, 1, 96) + chunk("MTrk", bytes({0x00, 0xF0, 0x10, 0x7E})), "past the end"},
      {"note past chunk", header(0, 1, 96) + chunk("MTrk", bytes({0x00, 0x90, 38})), "past the end"},
      {"delta past chunk", header(0, 1, 96) + chunk("MTrk", bytes({0x81, 0x80})), "past the end"},
      {"long quantity", header(0, 1, 96) + chunk("MTrk", bytes({0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x90, 38, 1})),
       "longer than 4 bytes"},
      {"no status", header(0, 1, 96) + chunk("MTrk", bytes({0x00, 38, 100}) + kEndOfTrack), "without a status byte"},
      {"status as data", header(0, 1, 96) + chunk("MTrk", bytes({0x00, 0x90, 38, 0x80}) + kEndOfTrack),
       "where a data byte belongs"},
      {"realtime byte", header(0, 1, 96) + chunk("MTrk", bytes({0x00, 0xF8}) + kEndOfTrack),
       "unexpected status byte 0xF8"},
      {"format 2", header(2, 1, 96) + chunk("MTrk", good), "format 2"},
      {"format 7", header(7, 1, 96) + chunk("MTrk", good), "unknown format 7"},
      {"no tracks", header(1, 0, 96), "no tracks"},
      {"division 0", header(0, 1, 0) + chunk("MTrk", good), "time division"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::string error;
    EXPECT_FALSE(MidiFile::parse(c.file, error));
    EXPECT_NE(error.find(c.message), std::string::npos) << error;
    EXPECT_EQ(error.find('\n'), std::string::npos);
  }
}

TEST(MidiFileTest, EveryCutOfAFileIsRefused) {
  const Bytes file = tempoChangeSong();
  for (std::size_t size = 0; size < file.size(); ++size) {
    // A copy of exactly `size` bytes, so a read past its end is a read past the allocation.
    const Bytes cut(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(size));
    std::string error;
    EXPECT_FALSE(MidiFile::parse(cut, error)) << size;
    EXPECT_FALSE(error.empty()) << size;
  }
}

TEST(DemoPatternTest, IsAVariedDrumGrooveOfAtLeastTwoBars) {
  std::string error;
  auto demo = MidiFile::parse(render::DemoPattern::midiFile(), error);
  ASSERT_TRUE(demo) << error;
  EXPECT_EQ(demo->format(), 0);
  ASSERT_FALSE(demo->tempoChanges().empty());
  EXPECT_EQ(demo->tempoChanges().front().microsecondsPerQuarter, 500000u);  // 120 BPM

  const std::set<int> drumNotes = {35, 36, 37, 38, 39, 40, 42, 44, 46};
  std::set<int> notes;
  std::set<int> velocities;
  double lastOn = 0.0;
  for (const auto& message : demo->messages()) {
    if ((message.data[0] & 0xF0) != 0x90 || message.data[2] == 0) continue;
    EXPECT_TRUE(drumNotes.count(message.data[1])) << int{message.data[1]};
    notes.insert(message.data[1]);
    velocities.insert(message.data[2]);
    lastOn = std::max(lastOn, message.seconds);
  }
  auto plays = [&](std::initializer_list<int> any) {
    return std::any_of(any.begin(), any.end(), [&](int note) { return notes.count(note) > 0; });
  };
  EXPECT_TRUE(plays({35, 36}));
  EXPECT_TRUE(plays({38, 40}));
  EXPECT_TRUE(plays({42, 44, 46}));
  EXPECT_TRUE(plays({37, 39}));
  EXPECT_GE(velocities.size(), 3u);
  EXPECT_GE(lastOn, 4.0);  // two bars of 4/4 at 120 BPM
}

// ---------------------------------------------------------------------------
// The executable

TEST(ZvxRenderTest, RendersAMidiFileSampleAccurately) {
  RenderFolder folder;
  writeFile(folder / "song.mid", tempoChangeSong());
  // An odd block size puts the notes inside blocks, away from their starts.
  const std::vector<std::string> common = {"--midi", "song.mid", "--rate", "48000",    "--block",
                                           "333",    "--tail",   "1",      "--format", "wav32f"};

  std::vector<std::string> mixArguments = common;
  mixArguments.insert(mixArguments.end(), {"-o", "mix.wav"});
  const RunResult mixRun = folder.run(mixArguments);
  ASSERT_EQ(mixRun.exitCode, 0) << mixRun.err;
  EXPECT_EQ(lineCount(mixRun.out), 1u) << mixRun.out;
  EXPECT_NE(mixRun.out.find("mix.wav"), std::string::npos) << mixRun.out;
  EXPECT_NE(mixRun.out.find("3.125 s"), std::string::npos) << mixRun.out;
  EXPECT_NE(mixRun.out.find("dBFS"), std::string::npos) << mixRun.out;

  std::vector<std::string> allArguments = common;
  allArguments.insert(allArguments.end(), {"-o", "all.wav", "--all-outputs"});
  const RunResult allRun = folder.run(allArguments);
  ASSERT_EQ(allRun.exitCode, 0) << allRun.err;
  EXPECT_EQ(std::count(allRun.out.begin(), allRun.out.end(), '/'), 5) << "six peaks expected: " << allRun.out;

  const Sound mix = readSound(folder / "mix.wav");
  const Sound all = readSound(folder / "all.wav");
  ASSERT_EQ(mix.info.channels, 2);
  ASSERT_EQ(all.info.channels, 6);
  EXPECT_EQ(mix.info.samplerate, 48000);
  EXPECT_EQ(mix.info.format, SF_FORMAT_WAV | SF_FORMAT_FLOAT);
  // The last event (hi-hat off at 2.125 s) plus the one-second tail.
  EXPECT_EQ(mix.info.frames, 102000 + 48000);
  EXPECT_EQ(all.info.frames, mix.info.frames);
  // The mix of --all-outputs is the default stereo file.
  EXPECT_EQ(all.channels[0], mix.channels[0]);
  EXPECT_EQ(all.channels[1], mix.channels[1]);

  // Silent until the snare at 0.5 s; the plug-in may start a hit one sample early.
  for (int c : {0, 1, 3}) {
    SCOPED_TRACE(c);
    const long onset = firstAbove(all.channels[static_cast<std::size_t>(c)]);
    EXPECT_GE(onset, 24000 - 1);
    EXPECT_LE(onset, 24000 + 1);
    EXPECT_GT(peak(all.channels[static_cast<std::size_t>(c)], 24000, 24000 + 4800), 0.01f);
  }
  // The hi-hat output stays silent until 2.0 s: the slower tempo from tick 960 on counts.
  const Channel& hat = all.channels[4];
  const long hatOnset = firstAbove(hat);
  EXPECT_GE(hatOnset, 96000 - 1);
  EXPECT_LE(hatOnset, 96000 + 1);
  EXPECT_GT(peak(hat, 96000, 96000 + 4800), 0.01f);
  EXPECT_GT(peak(mix.channels[0], 96000, 96000 + 4800), 0.01f);
}

TEST(ZvxRenderTest, PlaysTheDemoWithDefaultsAndReportsProgress) {
  RenderFolder folder;
  // No arguments at all: the demo, out.wav, wav24, 44100 Hz, stereo.
  const RunResult run = folder.run({});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(lineCount(run.out), 1u) << run.out;
  EXPECT_EQ(run.out.rfind("out.wav", 0), 0u) << run.out;
  // Over ten seconds of audio: progress on standard error.
  EXPECT_NE(run.err.find("100%"), std::string::npos) << run.err;

  const Sound sound = readSound(folder / "out.wav");
  ASSERT_EQ(sound.info.channels, 2);
  EXPECT_EQ(sound.info.samplerate, 44100);
  EXPECT_EQ(sound.info.format, SF_FORMAT_WAV | SF_FORMAT_PCM_24);
  std::string error;
  auto demo = MidiFile::parse(render::DemoPattern::midiFile(), error);
  ASSERT_TRUE(demo) << error;
  EXPECT_EQ(sound.info.frames, demo->messagesAt(44100.0).back().sample + 2 * 44100);
  EXPECT_GT(peak(sound.channels[0]), 0.1f);
  // The tail lets the last hit ring out to silence.
  EXPECT_LT(peak(sound.channels[0], static_cast<std::size_t>(sound.info.frames) - 4410), 0.001f);

  const RunResult quiet = folder.run({"--quiet", "-o", "quiet.wav"});
  ASSERT_EQ(quiet.exitCode, 0) << quiet.err;
  EXPECT_EQ(quiet.err, "");
  EXPECT_EQ(readSound(folder / "quiet.wav").channels, sound.channels);
}

TEST(ZvxRenderTest, WritesEachFormatAndHonoursLength) {
  RenderFolder folder;
  const std::vector<std::pair<std::string, int>> formats = {
      {"wav16", SF_FORMAT_WAV | SF_FORMAT_PCM_16},
      {"wav24", SF_FORMAT_WAV | SF_FORMAT_PCM_24},
      {"wav32f", SF_FORMAT_WAV | SF_FORMAT_FLOAT},
      {"flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_24},
  };
  for (const auto& [name, format] : formats) {
    SCOPED_TRACE(name);
    const std::string file = "demo-" + name;
    const RunResult run = folder.run({"--format", name, "--length", "1.5", "--rate", "22050", "-o", file});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const Sound sound = readSound(folder / file);
    EXPECT_EQ(sound.info.format, format);
    EXPECT_EQ(sound.info.samplerate, 22050);
    EXPECT_EQ(sound.info.frames, 33075);
    EXPECT_GT(peak(sound.channels[0]), 0.01f);
  }
}

TEST(ZvxRenderTest, SetsParametersByNameOrIndex) {
  RenderFolder folder;
  // Bass drums only: by default the bass drum plays its sampled layer alone.
  const Bytes track =
      bytes({0x00, 0x90, 36, 120, 0x83, 0x60, 36, 0, 0x00, 35, 120}) + variable(480) + bytes({35, 0}) + kEndOfTrack;
  writeFile(folder / "kick.mid", header(0, 1, 480) + chunk("MTrk", track));
  const std::vector<std::string> common = {"--midi", "kick.mid", "--format", "wav32f", "--tail", "0.5"};

  auto render = [&](const std::string& output, std::vector<std::string> extra) {
    std::vector<std::string> arguments = common;
    arguments.insert(arguments.end(), {"-o", output});
    arguments.insert(arguments.end(), extra.begin(), extra.end());
    const RunResult run = folder.run(arguments);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    return readSound(folder / output);
  };
  // The index of BDMix, from the plug-in itself rather than from a table here.
  int mixIndex = -1;
  {
    auto zvx = createZvx();
    ASSERT_TRUE(zvx);
    for (int p = 0; p < zvx->effect()->numParams && mixIndex < 0; ++p)
      if (zvx->parameterName(p).rfind("BDMix", 0) == 0) mixIndex = p;
  }
  ASSERT_GE(mixIndex, 0);

  const Sound standard = render("default.wav", {});
  // Names match without case and without the plug-in's trailing blanks.
  const Sound byName = render("name.wav", {"--set", "BDMix=0"});
  const Sound byLowerName = render("lower.wav", {"--set", "bdmix =0"});
  const Sound byIndex = render("index.wav", {"--set", std::to_string(mixIndex) + "=0"});
  ASSERT_EQ(standard.channels.size(), 2u);
  ASSERT_EQ(byName.channels.size(), 2u);
  EXPECT_NE(byName.channels, standard.channels);
  EXPECT_GT(peak(byName.channels[0]), 0.01f);
  EXPECT_EQ(byLowerName.channels, byName.channels);
  EXPECT_EQ(byIndex.channels, byName.channels);

  const RunResult unknown = folder.run({"--midi", "kick.mid", "-o", "unknown.wav", "--set", "NoSuchKnob=0.5"});
  EXPECT_NE(unknown.exitCode, 0);
  EXPECT_EQ(lineCount(unknown.err), 1u) << unknown.err;
  EXPECT_NE(unknown.err.find("NoSuchKnob"), std::string::npos) << unknown.err;
  EXPECT_FALSE(fs::exists(folder / "unknown.wav"));
}

TEST(ZvxRenderTest, FailuresSayWhatWentWrongInOneLine) {
  RenderFolder folder;
  const Bytes song = tempoChangeSong();
  writeFile(folder / "cut.mid", Bytes(song.begin(), song.end() - 10));
  writeFile(folder / "song.mid", song);
  writeFile(folder / "text.so", bytes({'n', 'o', 't', ' ', 'E', 'L', 'F', '\n'}));

  struct Case {
    const char* what;
    std::vector<std::string> arguments;
    const char* mentions;
  };
  const std::vector<Case> cases = {
      {"truncated MIDI file", {"--midi", "cut.mid", "-o", "x.wav"}, "cut.mid: truncated track chunk"},
      {"missing MIDI file", {"--midi", "nothing.mid", "-o", "x.wav"}, "nothing.mid"},
      {"missing module", {"--midi", "song.mid", "--plugin", "nothing.so", "-o", "x.wav"}, "nothing.so"},
      {"not a module", {"--midi", "song.mid", "--plugin", "text.so", "-o", "x.wav"}, "text.so"},
      {"unwritable output", {"--midi", "song.mid", "-o", "no-such-folder/x.wav"}, "no-such-folder/x.wav"},
      {"bad option value", {"--rate", "fast", "-o", "x.wav"}, "--rate"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const RunResult run = folder.run(c.arguments);
    EXPECT_NE(run.exitCode, 0);
    EXPECT_EQ(lineCount(run.err), 1u) << run.err;
    EXPECT_EQ(run.err.rfind("zvx-render: ", 0), 0u) << run.err;
    EXPECT_NE(run.err.find(c.mentions), std::string::npos) << run.err;
    EXPECT_EQ(run.out, "");
    EXPECT_FALSE(fs::exists(folder / "x.wav"));
  }
}

TEST(ZvxRenderTest, HelpNamesEveryOption) {
  RenderFolder folder;
  const RunResult run = folder.run({"--help"});
  EXPECT_EQ(run.exitCode, 0);
  for (const char* option :
       {"--midi",   "--demo",      "--write-demo",  "--plugin", "--set",   "--bank", "--program",
        "--preset", "--save-bank", "--list-params", "--rate",   "--block", "--tail", "--length",
        "-o",       "--format",    "wav16",         "wav24",    "wav32f",  "flac",   "--all-outputs",
        "--quiet",  "--help"})
    EXPECT_NE(run.out.find(option), std::string::npos) << option;
}

TEST(ZvxRenderTest, SavesTheDemoAsAMidiFile) {
  RenderFolder folder;
  const RunResult run = folder.run({"--write-demo", "demo.mid"});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  std::ifstream file(folder / "demo.mid", std::ios::binary);
  const Bytes saved((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  EXPECT_EQ(saved, render::DemoPattern::midiFile());
}

// ---------------------------------------------------------------------------
// Banks, presets and programs

std::vector<unsigned char> readBytes(const fs::path& path) {
  std::ifstream file(path, std::ios::binary);
  return std::vector<unsigned char>(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

void writeBytes(const fs::path& path, const std::vector<unsigned char>& bytes) {
  std::ofstream file(path, std::ios::binary);
  file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

std::vector<std::string> operator+(std::vector<std::string> a, const std::vector<std::string>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// Written here word by word rather than by the code under test.
void putWord(std::vector<unsigned char>& out, std::uint32_t word) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<unsigned char>(word >> shift));
}

void putFloat(std::vector<unsigned char>& out, float value) {
  std::uint32_t bits = 0;
  std::memcpy(&bits, &value, 4);
  putWord(out, bits);
}

void putName(std::vector<unsigned char>& out, const std::string& name) {
  for (std::size_t i = 0; i < 28; ++i) out.push_back(i < name.size() ? static_cast<unsigned char>(name[i]) : 0);
}

struct HandProgram {
  std::string name;
  std::vector<float> values;
};

// A regular preset ('FxCk'): header, name, then one float per parameter.
std::vector<unsigned char> regularPreset(std::int32_t id, const HandProgram& program) {
  std::vector<unsigned char> out;
  putWord(out, 0x43636E4B);  // 'CcnK'
  putWord(out, static_cast<std::uint32_t>(48 + 4 * program.values.size()));
  putWord(out, 0x4678436B);  // 'FxCk'
  putWord(out, 1);
  putWord(out, static_cast<std::uint32_t>(id));
  putWord(out, 1);
  putWord(out, static_cast<std::uint32_t>(program.values.size()));
  putName(out, program.name);
  for (float value : program.values) putFloat(out, value);
  return out;
}

// A regular bank ('FxBk', format 2 with the current program) of regular presets.
std::vector<unsigned char> regularBank(std::int32_t id, int current, const std::vector<HandProgram>& programs) {
  std::vector<unsigned char> body;
  for (const HandProgram& program : programs) {
    const auto preset = regularPreset(id, program);
    body.insert(body.end(), preset.begin(), preset.end());
  }
  std::vector<unsigned char> out;
  putWord(out, 0x43636E4B);
  putWord(out, static_cast<std::uint32_t>(148 + body.size()));
  putWord(out, 0x4678426B);  // 'FxBk'
  putWord(out, 2);
  putWord(out, static_cast<std::uint32_t>(id));
  putWord(out, 1);
  putWord(out, static_cast<std::uint32_t>(programs.size()));
  putWord(out, static_cast<std::uint32_t>(current));
  out.resize(156, 0);
  out.insert(out.end(), body.begin(), body.end());
  return out;
}

int parameterNamed(testhost::Plugin& plugin, const std::string& name) {
  for (int p = 0; p < plugin.effect()->numParams; ++p) {
    std::string shown = plugin.parameterName(p);
    while (!shown.empty() && shown.back() == ' ') shown.pop_back();
    if (shown == name) return p;
  }
  ADD_FAILURE() << "no parameter " << name;
  return 0;
}

// A fresh ZVX in this process's documents folder: the values a render starts from.
struct Fresh {
  std::unique_ptr<testhost::Plugin> zvx = createZvx();
  std::vector<float> values() {
    std::vector<float> out;
    for (int p = 0; p < zvx->effect()->numParams; ++p) out.push_back(zvx->getParameter(p));
    return out;
  }
};

const std::vector<std::string> kShort = {"--length", "2.5", "--format", "wav32f"};

TEST(ZvxRenderBanks, SavesABankThatPlaysBackTheSame) {
  RenderFolder folder;
  const RunResult edited =
      folder.run(kShort + std::vector<std::string>{"--set", "BDMix=0", "--set", "SDDecay=0.8", "--set", "HHPan=0.9",
                                                   "--save-bank", "edited.fxb", "-o", "edited.wav"});
  ASSERT_EQ(edited.exitCode, 0) << edited.err;
  // One line for the bank, one for the sound file.
  EXPECT_EQ(lineCount(edited.out), 2u) << edited.out;
  EXPECT_EQ(edited.out.rfind("edited.fxb: bank of 128 programs (chunk)", 0), 0u) << edited.out;

  const RunResult loaded = folder.run(kShort + std::vector<std::string>{"--bank", "edited.fxb", "-o", "loaded.wav"});
  ASSERT_EQ(loaded.exitCode, 0) << loaded.err;
  const RunResult plain = folder.run(kShort + std::vector<std::string>{"-o", "plain.wav"});
  ASSERT_EQ(plain.exitCode, 0) << plain.err;
  const Sound editedSound = readSound(folder / "edited.wav");
  EXPECT_GT(peak(editedSound.channels[0]), 0.01f);
  EXPECT_EQ(readSound(folder / "loaded.wav").channels, editedSound.channels);
  EXPECT_NE(readSound(folder / "plain.wav").channels, editedSound.channels);

  // A standard chunk bank, as hosts write them for ZVX.
  const auto bank = FxbFile::parse(readBytes(folder / "edited.fxb"));
  ASSERT_TRUE(bank);
  Fresh fresh;
  EXPECT_EQ(bank->type, FxbFile::kChunkBank);
  EXPECT_EQ(bank->pluginId, fresh.zvx->effect()->uniqueID);
  EXPECT_EQ(bank->pluginVersion, fresh.zvx->effect()->version);
  EXPECT_EQ(bank->declaredPrograms, 128);
  EXPECT_EQ(bank->currentProgram, 0);
  EXPECT_FALSE(bank->chunk.empty());
}

TEST(ZvxRenderBanks, PlaysTheProgramItIsGiven) {
  RenderFolder folder;
  folder.documents().writeFile("default.fxb", readBytes(ZVX_BUILT_BANK));
  const RunResult first = folder.run(kShort + std::vector<std::string>{"-o", "first.wav"});
  const RunResult zero = folder.run(kShort + std::vector<std::string>{"--program", "0", "-o", "zero.wav"});
  const RunResult three = folder.run(kShort + std::vector<std::string>{"--program", "3", "-o", "three.wav"});
  ASSERT_EQ(first.exitCode, 0) << first.err;
  ASSERT_EQ(zero.exitCode, 0) << zero.err;
  ASSERT_EQ(three.exitCode, 0) << three.err;
  const Sound zeroSound = readSound(folder / "zero.wav");
  const Sound threeSound = readSound(folder / "three.wav");
  // The plug-in starts on program 0 of its default bank.
  EXPECT_EQ(readSound(folder / "first.wav").channels, zeroSound.channels);
  EXPECT_NE(threeSound.channels, zeroSound.channels);
  EXPECT_GT(peak(threeSound.channels[0]), 0.01f);

  for (const char* bad : {"128", "-1", "three"}) {
    const RunResult refused = folder.run({"--program", bad, "-o", "x.wav"});
    EXPECT_EQ(refused.exitCode, 2) << bad;
    EXPECT_EQ(lineCount(refused.err), 1u) << refused.err;
    EXPECT_NE(refused.err.find("--program"), std::string::npos) << refused.err;
  }
  EXPECT_FALSE(fs::exists(folder / "x.wav"));
}

TEST(ZvxRenderBanks, RefusesBrokenBanksAndPresetsInOneLine) {
  RenderFolder folder;
  // --save-bank alone renders nothing.
  const RunResult saved = folder.run({"--save-bank", "good.fxb"});
  ASSERT_EQ(saved.exitCode, 0) << saved.err;
  EXPECT_EQ(lineCount(saved.out), 1u) << saved.out;
  EXPECT_FALSE(fs::exists(folder / "out.wav"));

  const std::vector<unsigned char> good = readBytes(folder / "good.fxb");
  ASSERT_GT(good.size(), 200u);
  writeBytes(folder / "cut.fxb", std::vector<unsigned char>(good.begin(), good.end() - 100));
  writeBytes(folder / "header.fxb", std::vector<unsigned char>(good.begin(), good.begin() + 40));
  writeBytes(folder / "text.fxb", {'n', 'o', 't', ' ', 'a', ' ', 'b', 'a', 'n', 'k', '!', '\n', '\n'});
  const auto contents = FxbFile::parse(good);
  ASSERT_TRUE(contents);
  writeBytes(folder / "other.fxb", FxbFile::chunkBank(fourCharCode("Othr"), 1, 128, 0, contents->chunk));
  writeBytes(folder / "preset.fxp", FxbFile::chunkPreset(contents->pluginId, 1, 83, "One", {}));

  struct Case {
    std::vector<std::string> arguments;
    const char* mentions;
  };
  const std::vector<Case> cases = {
      {{"--bank", "cut.fxb"}, "cut.fxb: truncated or damaged bank"},
      {{"--bank", "header.fxb"}, "header.fxb: truncated or damaged bank"},
      {{"--bank", "text.fxb"}, "text.fxb: not a VST bank"},
      {{"--bank", "missing.fxb"}, "missing.fxb"},
      {{"--bank", "preset.fxp"}, "a preset, not a bank"},
      {{"--preset", "good.fxb"}, "a bank, not a preset"},
      {{"--bank", "other.fxb"}, "plug-in ID 'Othr'"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.mentions);
    const RunResult run = folder.run(c.arguments + std::vector<std::string>{"-o", "x.wav", "--save-bank", "x.fxb"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(lineCount(run.err), 1u) << run.err;
    EXPECT_EQ(run.err.rfind("zvx-render: cannot load ", 0), 0u) << run.err;
    EXPECT_NE(run.err.find(c.mentions), std::string::npos) << run.err;
    EXPECT_EQ(run.out, "");
    EXPECT_FALSE(fs::exists(folder / "x.wav"));
    EXPECT_FALSE(fs::exists(folder / "x.fxb"));
  }
}

TEST(ZvxRenderBanks, LoadsARegularBankWrittenByHand) {
  RenderFolder folder;
  Fresh fresh;
  const std::int32_t id = fresh.zvx->effect()->uniqueID;
  const std::vector<float> defaults = fresh.values();
  HandProgram one{"Hand Made One", defaults};
  one.values[static_cast<std::size_t>(parameterNamed(*fresh.zvx, "BDMix"))] = 0.0f;
  HandProgram two{"Hand Made Two", defaults};
  two.values[static_cast<std::size_t>(parameterNamed(*fresh.zvx, "HHPan"))] = 1.0f;
  two.values[static_cast<std::size_t>(parameterNamed(*fresh.zvx, "SDDecay"))] = 0.9f;
  writeBytes(folder / "hand.fxb", regularBank(id, 1, {one, two}));

  // The bank's current program plays unless --program picks another.
  const RunResult current = folder.run(kShort + std::vector<std::string>{"--bank", "hand.fxb", "-o", "current.wav"});
  const RunResult first =
      folder.run(kShort + std::vector<std::string>{"--bank", "hand.fxb", "--program", "0", "-o", "first.wav"});
  const RunResult setTwo = folder.run(
      kShort + std::vector<std::string>{"--program", "1", "--set", "HHPan=1", "--set", "SDDecay=0.9", "-o", "two.wav"});
  const RunResult setOne = folder.run(kShort + std::vector<std::string>{"--set", "BDMix=0", "-o", "one.wav"});
  for (const RunResult* run : {&current, &first, &setTwo, &setOne}) ASSERT_EQ(run->exitCode, 0) << run->err;
  EXPECT_EQ(readSound(folder / "current.wav").channels, readSound(folder / "two.wav").channels);
  EXPECT_EQ(readSound(folder / "first.wav").channels, readSound(folder / "one.wav").channels);
  EXPECT_NE(readSound(folder / "first.wav").channels, readSound(folder / "current.wav").channels);

  // The names came along: saved again as a chunk bank, they are still there.
  const RunResult resaved = folder.run({"--bank", "hand.fxb", "--save-bank", "resaved.fxb"});
  ASSERT_EQ(resaved.exitCode, 0) << resaved.err;
  auto bank = FxbFile::parse(readBytes(folder / "resaved.fxb"));
  ASSERT_TRUE(bank);
  EXPECT_EQ(bank->currentProgram, 1);
  fresh.zvx->dispatch(effSetChunk, 0, static_cast<VstIntPtr>(bank->chunk.size()), bank->chunk.data());
  EXPECT_EQ(fresh.zvx->programNameIndexed(0), "Hand Made One");
  EXPECT_EQ(fresh.zvx->programNameIndexed(1), "Hand Made Two");
}

TEST(ZvxRenderBanks, LoadsPresetsIntoTheSelectedProgram) {
  RenderFolder folder;
  Fresh fresh;
  const std::int32_t id = fresh.zvx->effect()->uniqueID;
  const int bdMix = parameterNamed(*fresh.zvx, "BDMix");
  const int sdDecay = parameterNamed(*fresh.zvx, "SDDecay");

  // A chunk preset as a host would save it from the plug-in.
  fresh.zvx->setParameter(bdMix, 0.0f);
  void* data = nullptr;
  const auto size = fresh.zvx->dispatch(effGetChunk, 1, 0, &data);
  ASSERT_GT(size, 0);
  const auto* bytes = static_cast<const unsigned char*>(data);
  writeBytes(folder / "chunk.fxp", FxbFile::chunkPreset(id, 1, fresh.zvx->effect()->numParams, "Chunk Preset",
                                                        std::vector<unsigned char>(bytes, bytes + size)));
  fresh.zvx->setParameter(bdMix, 1.0f);
  HandProgram regular{"Hand Preset", fresh.values()};
  regular.values[static_cast<std::size_t>(sdDecay)] = 0.9f;
  writeBytes(folder / "regular.fxp", regularPreset(id, regular));

  const RunResult chunk = folder.run(kShort + std::vector<std::string>{"--preset", "chunk.fxp", "-o", "chunk.wav"});
  const RunResult byName = folder.run(kShort + std::vector<std::string>{"--set", "BDMix=0", "-o", "mix.wav"});
  const RunResult hand = folder.run(kShort + std::vector<std::string>{"--preset", "regular.fxp", "-o", "hand.wav"});
  const RunResult decay = folder.run(kShort + std::vector<std::string>{"--set", "SDDecay=0.9", "-o", "decay.wav"});
  for (const RunResult* run : {&chunk, &byName, &hand, &decay}) ASSERT_EQ(run->exitCode, 0) << run->err;
  EXPECT_EQ(readSound(folder / "chunk.wav").channels, readSound(folder / "mix.wav").channels);
  EXPECT_EQ(readSound(folder / "hand.wav").channels, readSound(folder / "decay.wav").channels);

  // Whatever the order on the command line: bank, program, preset, values.
  const RunResult ordered =
      folder.run({"--preset", "regular.fxp", "--set", "SDDecay=0.4", "--save-bank", "five.fxb", "--program", "5"});
  ASSERT_EQ(ordered.exitCode, 0) << ordered.err;
  EXPECT_NE(ordered.out.find("program 5 selected"), std::string::npos) << ordered.out;
  auto bank = FxbFile::parse(readBytes(folder / "five.fxb"));
  ASSERT_TRUE(bank);
  fresh.zvx->dispatch(effSetChunk, 0, static_cast<VstIntPtr>(bank->chunk.size()), bank->chunk.data());
  EXPECT_EQ(fresh.zvx->programNameIndexed(5), "Hand Preset");
  EXPECT_NE(fresh.zvx->programNameIndexed(0), "Hand Preset");
  fresh.zvx->dispatch(effSetProgram, 0, 5);
  EXPECT_FLOAT_EQ(fresh.zvx->getParameter(sdDecay), 0.4f);
}

TEST(ZvxRenderBanks, SavesParameterValuesForAnInstrumentWithoutChunks) {
  RenderFolder folder;
  const RunResult saved = folder.run(
      {"--plugin", ZVX_PLAIN_INSTRUMENT, "--program", "2", "--set", "Left=0.25", "--save-bank", "plain.fxb"});
  ASSERT_EQ(saved.exitCode, 0) << saved.err;
  EXPECT_EQ(saved.out, "plain.fxb: bank of 3 programs (parameter values), program 2 selected\n");
  const auto bank = FxbFile::parse(readBytes(folder / "plain.fxb"));
  ASSERT_TRUE(bank);
  EXPECT_EQ(bank->type, FxbFile::kRegularBank);
  EXPECT_EQ(bank->pluginId, fourCharCode("PlIn"));
  EXPECT_EQ(bank->pluginVersion, 3);
  EXPECT_EQ(bank->declaredPrograms, 3);
  EXPECT_EQ(bank->currentProgram, 2);
  ASSERT_EQ(bank->programs.size(), 3u);
  for (int p = 0; p < 3; ++p) EXPECT_EQ(bank->programs[static_cast<std::size_t>(p)].name, "Plain " + std::to_string(p));
  EXPECT_EQ(bank->programs[0].values, (std::vector<float>{0.1f, 0.2f}));
  EXPECT_EQ(bank->programs[2].values, (std::vector<float>{0.25f, 0.2f}));

  // Loaded back, the saved current program plays: its values are the output levels.
  const std::vector<std::string> render = {"--plugin", ZVX_PLAIN_INSTRUMENT, "--bank", "plain.fxb", "--length",
                                           "0.01",     "--format",           "wav32f"};
  ASSERT_EQ(folder.run(render + std::vector<std::string>{"-o", "current.wav"}).exitCode, 0);
  ASSERT_EQ(folder.run(render + std::vector<std::string>{"--program", "0", "-o", "first.wav"}).exitCode, 0);
  const Sound current = readSound(folder / "current.wav");
  const Sound first = readSound(folder / "first.wav");
  ASSERT_EQ(current.channels.size(), 2u);
  ASSERT_EQ(first.channels.size(), 2u);
  EXPECT_FLOAT_EQ(current.channels[0].front(), 0.25f);
  EXPECT_FLOAT_EQ(current.channels[1].back(), 0.2f);
  EXPECT_FLOAT_EQ(first.channels[0].front(), 0.1f);
}

}  // namespace
}  // namespace zvx::test
