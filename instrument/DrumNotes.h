// The MIDI notes the kits answer, and what a host's piano roll should call
// them: the same for every program and every front door.
#pragma once

#include <array>

namespace zvx {

struct DrumNote {
  int note;
  const char* name;
};

inline constexpr std::array<DrumNote, 12> kDrumNotes = {{
    {29, "Clap"},
    {31, "Clap +1 Oct"},
    {33, "Clap +2 Oct"},
    {35, "Kick Long"},
    {36, "Kick Short"},
    {37, "Clap -1 Oct"},
    {38, "Snare Long"},
    {39, "Clap -2 Oct"},
    {40, "Snare Short"},
    {42, "Hi-hat Closed"},
    {44, "Hi-hat Pedal"},
    {46, "Hi-hat Open"},
}};

// The name of `note`, or null for a note no voice answers.
constexpr const char* drumNoteName(int note) {
  for (const DrumNote& drum : kDrumNotes)
    if (drum.note == note) return drum.name;
  return nullptr;
}

}  // namespace zvx
