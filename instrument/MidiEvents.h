// A block's MIDI events as a front door hands them to the instrument: read
// in place from the host's own list, never copied, until the block ends.
#pragma once

namespace zvx {

struct MidiEvent {
  int deltaFrames = 0;  // the sample of the block where it acts
  bool isMidi = false;  // other kinds of events (SysEx) are passed over
  char data[4] = {};    // status, two data bytes
};

class MidiEventList {
 public:
  virtual int count() const = 0;
  // The event at `index`; false when the host left that slot empty.
  virtual bool at(int index, MidiEvent& event) const = 0;

 protected:
  ~MidiEventList() = default;
};

}  // namespace zvx
