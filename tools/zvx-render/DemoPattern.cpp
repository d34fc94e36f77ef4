#include "tools/zvx-render/DemoPattern.h"

#include <algorithm>
#include <array>
#include <string_view>

namespace zvx::render {
namespace {

constexpr int kSixteenth = DemoPattern::kTicksPerQuarter / 4;
constexpr int kStepsPerBar = 16;
constexpr int kNoteLength = kSixteenth / 2;
constexpr std::uint8_t kDrumChannel = 9;  // channel 10, where General MIDI keeps drums

// One lane per note; one character per sixteenth and '|' between bars:
// '.' rest, 'g' ghost, 'x' normal, 'X' accent.
struct Lane {
  std::uint8_t note;
  std::string_view steps;
};

constexpr std::array<Lane, 9> kLanes = {{
    {36, "X.....x...X.....|X.....x...X..x..|X.....x...X.....|X.....x.x......."},  // bass drum
    {35, "................|................|................|..........X....."},  // bass drum, synced
    {38, "....X.......X...|....X..g....X...|....X.......X..g|....X..g....X.XX"},  // snare
    {40, "................|................|.........g......|..........g.x..."},  // short snare
    {42, "X.x.X.x.X.x.X.x.|X.x.X.x.X.x.X...|XgxgXgxgXgxgXgxg|X.x.X.x.X.x....."},  // closed hat
    {44, "................|................|................|............x.x."},  // pedal hat
    {46, "................|..............x.|................|................"},  // open hat
    {39, "................|................|....x.......x...|....x..........."},  // clap
    {37, "................|................|................|.............x.."},  // clap, other pitch
}};

// The closing downbeat of bar five, left to ring out in the tail.
constexpr std::array<std::uint8_t, 3> kFinalHit = {36, 39, 46};

int velocityOf(char step) {
  switch (step) {
    case 'g':
      return 40;
    case 'x':
      return 84;
    case 'X':
      return 110;
    default:
      return 0;
  }
}

struct Note {
  int tick;
  std::uint8_t note;
  std::uint8_t velocity;  // zero ends the note
};

void putVariable(std::vector<std::uint8_t>& out, std::uint32_t value) {
  std::uint8_t groups[4];
  int count = 0;
  do {
    groups[count++] = value & 0x7F;
    value >>= 7;
  } while (value && count < 4);
  while (count > 1) out.push_back(groups[--count] | 0x80);
  out.push_back(groups[0]);
}

void putBig(std::vector<std::uint8_t>& out, std::uint32_t value, int bytes) {
  for (int i = bytes - 1; i >= 0; --i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

}  // namespace

std::vector<std::uint8_t> DemoPattern::midiFile() {
  std::vector<Note> notes;
  for (const Lane& lane : kLanes) {
    int step = 0;
    for (char c : lane.steps) {
      if (c == '|') continue;
      if (int velocity = velocityOf(c)) {
        const int tick = step * kSixteenth;
        notes.push_back({tick, lane.note, static_cast<std::uint8_t>(velocity)});
        notes.push_back({tick + kNoteLength, lane.note, 0});
      }
      ++step;
    }
  }
  const int finalTick = kBars * kStepsPerBar * kSixteenth;
  for (std::uint8_t note : kFinalHit) {
    notes.push_back({finalTick, note, 127});
    notes.push_back({finalTick + kNoteLength, note, 0});
  }
  std::stable_sort(notes.begin(), notes.end(), [](const Note& a, const Note& b) { return a.tick < b.tick; });

  std::vector<std::uint8_t> track;
  constexpr std::string_view kName = "ZVX demo groove";
  putVariable(track, 0);
  track.insert(track.end(), {0xFF, 0x03, static_cast<std::uint8_t>(kName.size())});
  track.insert(track.end(), kName.begin(), kName.end());
  putVariable(track, 0);
  track.insert(track.end(), {0xFF, 0x51, 0x03});
  putBig(track, 60'000'000 / kBeatsPerMinute, 3);
  putVariable(track, 0);
  track.insert(track.end(), {0xFF, 0x58, 0x04, 4, 2, 24, 8});  // 4/4

  // Note-on with velocity zero ends a note, so one running status covers the file.
  int now = 0;
  bool statusSent = false;
  for (const Note& note : notes) {
    putVariable(track, static_cast<std::uint32_t>(note.tick - now));
    now = note.tick;
    if (!statusSent) track.push_back(0x90 | kDrumChannel);
    statusSent = true;
    track.push_back(note.note);
    track.push_back(note.velocity);
  }
  putVariable(track, static_cast<std::uint32_t>(finalTick + kTicksPerQuarter - now));
  track.insert(track.end(), {0xFF, 0x2F, 0x00});

  std::vector<std::uint8_t> file = {'M', 'T', 'h', 'd'};
  putBig(file, 6, 4);
  putBig(file, 0, 2);  // format 0
  putBig(file, 1, 2);  // one track
  putBig(file, kTicksPerQuarter, 2);
  file.insert(file.end(), {'M', 'T', 'r', 'k'});
  putBig(file, static_cast<std::uint32_t>(track.size()), 4);
  file.insert(file.end(), track.begin(), track.end());
  return file;
}

}  // namespace zvx::render
