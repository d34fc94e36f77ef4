// The instrument as an LV2 plug-in: the host's port buffers and MIDI sequence
// passed on to the instrument, its bank kept through the state extension.
//
// Threads: the host's instantiation calls (construction, activation, state)
// never run with run(), which is the audio thread.
#pragma once

#include <lv2/atom/atom.h>
#include <lv2/core/lv2.h>
#include <lv2/state/state.h>
#include <lv2/urid/urid.h>

#include <array>
#include <atomic>
#include <thread>

#include "formats/lv2/Lv2Ports.h"
#include "plugin/DirectControl.h"
#include "plugin/Instrument.h"

namespace zvx::lv2 {

class Lv2Plugin final : private InstrumentHost {
 public:
  Lv2Plugin(double sampleRate, LV2_URID_Map& map);
  ~Lv2Plugin() = default;

  void connectPort(uint32_t port, void* data);
  void deactivate();
  void run(uint32_t frames);

  LV2_State_Status save(LV2_State_Store_Function store, LV2_State_Handle handle);
  LV2_State_Status restore(LV2_State_Retrieve_Function retrieve, LV2_State_Handle handle);

  // For the bundle's UI: the instrument's controls, and the parameters
  // changed inside the instrument since the UI last asked (see Lv2Access.h).
  InstrumentControl& control() { return control_; }
  bool takeChange(int index);

 private:
  // The block's MIDI sequence, read in place; a cursor makes the instrument's
  // walk through it (the same event again, or the next) cost nothing.
  class Events : public MidiEventList {
   public:
    void reset(const LV2_Atom_Sequence* sequence, LV2_URID midiEvent);
    int count() const override { return count_; }
    bool at(int index, MidiEvent& event) const override;

   private:
    const LV2_Atom_Sequence* sequence_ = nullptr;
    LV2_URID midiEvent_ = 0;
    int count_ = 0;
    mutable int cursorIndex_ = -1;
    mutable const LV2_Atom_Event* cursor_ = nullptr;
  };

  // Applies each parameter port whose value moved since the last block.
  void applyChangedPorts();
  // The ports' values now are the host's last word: a port the host set
  // before a state was restored does not undo that state.
  void takePortsAsSeen();
  // InstrumentHost
  // LV2 names no real-time thread but run()'s, which the instrument knows.
  bool hostSaysRealtime() override { return false; }
  double hostSampleRate() override { return sampleRate_; }
  // Marks a change for the UI to write to the host's port, unless the port made it.
  void parameterChanged(int index, float value) override;
  // The UI shows the program at its next idle; LV2 hosts have no program display to refresh.
  bool updateDisplay() override { return false; }

  double sampleRate_;
  LV2_URID midiEvent_;
  LV2_URID chunkType_;
  LV2_URID bankKey_;
  Instrument instrument_;
  DirectControl control_{instrument_};
  // Parameters changed inside the instrument, not yet taken by the UI.
  std::array<std::atomic<bool>, kNumParameters> changed_{};
  // The thread applying the ports, whose changes the host already knows.
  std::atomic<std::thread::id> applyingPorts_{};
  const LV2_Atom_Sequence* midiIn_ = nullptr;
  std::array<float*, Instrument::kOutputs> outputs_{};
  std::array<const float*, kNumParameters> parameterPorts_{};
  std::array<float, kNumParameters> lastSeen_{};
  Events events_;  // audio thread
};

}  // namespace zvx::lv2
