#include "engine/NoteTable.h"

namespace zvx {

int NoteTable::allocate(int note, int velocity, const DrumEnvelope* envelopes, int envelopeCount) {
  for (int i = 0; i < kSlots; ++i)
    if (slots_[i].note == note) return i;
  auto envelopeIdle = [&](int i) { return i >= envelopeCount || envelopes[i].idle(); };
  int chosen = -1;
  for (int i = 0; i < kSlots && chosen < 0; ++i)
    if (slots_[i].note == 0 && envelopeIdle(i)) chosen = i;
  for (int i = 0; i < kSlots && chosen < 0; ++i)
    if (slots_[i].note == 0) chosen = i;
  for (int i = 0; i < kSlots && chosen < 0; ++i)
    if (envelopeIdle(i)) chosen = i;
  if (chosen < 0) chosen = kSlots - 1;
  slots_[chosen] = Slot{note, velocity};
  return chosen;
}

int NoteTable::release(int note) {
  for (int i = 0; i < kSlots; ++i) {
    if (slots_[i].note == note) {
      slots_[i].note = 0;
      return i;
    }
  }
  return kNotHeld;
}

bool NoteTable::contains(int note) const {
  for (const Slot& slot : slots_)
    if (slot.note == note) return true;
  return false;
}

void NoteTable::clear() { slots_.fill(Slot{}); }

}  // namespace zvx
