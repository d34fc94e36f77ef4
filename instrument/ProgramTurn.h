// Program changes from the audio thread and from another thread (an editor,
// a host's UI), one at a time. The audio thread never waits: a change it
// cannot make while the other thread's is under way is put off to its next
// block. The other thread waits the few microseconds the audio thread's may take.
#pragma once

#include <atomic>
#include <thread>
#include <utility>

#include "instrument/Instrument.h"

namespace zvx {

class ProgramTurn {
 public:
  // Audio thread, at the start of each block: a change put off before.
  void applyPutOff(Instrument& instrument) {
    if (putOff_ >= 0) fromAudioThread(instrument, std::exchange(putOff_, -1));
  }
  // Audio thread: applies it now, or at the next block.
  void fromAudioThread(Instrument& instrument, int program) {
    if (selecting_.exchange(true, std::memory_order_acquire)) {
      putOff_ = program;
      return;
    }
    {
      Instrument::Processing processing(instrument);
      instrument.setProgram(program);
    }
    selecting_.store(false, std::memory_order_release);
  }
  // Any other thread: `change` (a program selected, or a bank loaded and
  // its program selected) made in the turn.
  template <class Change>
  void fromOtherThread(Change&& change) {
    while (selecting_.exchange(true, std::memory_order_acquire)) std::this_thread::yield();
    change();
    selecting_.store(false, std::memory_order_release);
  }
  void fromOtherThread(Instrument& instrument, int program) {
    fromOtherThread([&] { instrument.setProgram(program); });
  }

 private:
  std::atomic<bool> selecting_{false};  // a program is being selected
  int putOff_ = -1;                      // the audio thread's: a change waiting for its turn
};

}  // namespace zvx
