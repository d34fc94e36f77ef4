// The held notes: ten slots of note number (0 = free) and velocity. Slot i
// pairs with envelope i of the list given to allocate.
#pragma once

#include <array>

#include "engine/DrumEnvelope.h"

namespace zvx {

class NoteTable {
 public:
  static constexpr int kSlots = 10;
  static constexpr int kNotHeld = kSlots;

  // A held note keeps its slot and its first velocity. A new note takes the
  // first free slot whose envelope is idle, so it never evicts a held note;
  // only when every slot is taken does it replace one whose envelope is idle.
  int allocate(int note, int velocity, const DrumEnvelope* envelopes, int envelopeCount);
  // Frees the note's slot; kNotHeld when the note is not held.
  int release(int note);
  bool contains(int note) const;
  int velocity(int slot) const { return slots_[slot].velocity; }
  int note(int slot) const { return slots_[slot].note; }
  void clear();

 private:
  struct Slot {
    int note = 0;
    int velocity = 0;
  };
  std::array<Slot, kSlots> slots_{};
};

}  // namespace zvx
