// The instrument as an LV2 plug-in: the host's port buffers and MIDI sequence
// passed on to the instrument, its bank kept through the state extension.
//
// Threads: run() is the audio thread. Hosts restore state (presets among it)
// on a live instance from another thread; the instrument takes such calls as
// it takes a VST host's, and what belongs to run() (the ports' last-seen
// values) is handed to it through atomics.
#pragma once

#include <lv2/atom/atom.h>
#include <lv2/core/lv2.h>
#include <lv2/state/state.h>
#include <lv2/urid/urid.h>

#include <array>
#include <atomic>
#include <string>
#include <thread>

#include "formats/lv2/Lv2Ports.h"
#include "instrument/DirectControl.h"
#include "instrument/Instrument.h"

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
  // The kit's note names as a MIDNAM document, for hosts that show them.
  std::string noteNames() const;
  std::string noteModel() const;

  // For the bundle's UI: the instrument's controls, and the parameters
  // changed inside the instrument since the UI last asked (see Lv2Access.h).
  InstrumentControl& control() { return control_; }
  bool takeChange(int index);

 private:
  // The block's MIDI sequence, read in place; a cursor makes the instrument's
  // walk through it (the same event again, or the next) cost nothing.
  class Events : public MidiEventList {
   public:
    void reset(const LV2_Atom_Sequence* sequence, LV2_URID midiEvent, LV2_URID beatTime);
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
  // After a restore, what run() takes as the ports' last-seen values.
  enum class Resync : int {
    None,
    // The ports' values now are the host's last word: a port the host set
    // before a session's state was restored does not undo that state.
    Ports,
    // The program's values: a preset's ports hold them, whether the host
    // sets them before or after it restores the preset.
    Program,
  };
  void resync(Resync how);
  bool restoreProgram(LV2_State_Retrieve_Function retrieve, LV2_State_Handle handle);
  // InstrumentHost
  // LV2 names no real-time thread but run()'s, which the instrument knows.
  bool hostSaysRealtime() override { return false; }
  // Marks a change for the UI to write to the host's port, unless the port made it.
  void parameterChanged(int index, float value) override;
  // The UI shows the program at its next idle; LV2 hosts have no program display to refresh.
  bool updateDisplay() override { return false; }

  LV2_URID midiEvent_;
  LV2_URID chunkType_;
  LV2_URID bankKey_;
  LV2_URID programKey_;
  LV2_URID intType_;
  LV2_URID longType_;
  LV2_URID beatTime_;
  Instrument instrument_;
  DirectControl control_{instrument_};
  // Parameters changed inside the instrument, not yet taken by the UI.
  std::array<std::atomic<bool>, kNumParameters> changed_{};
  // The thread applying the ports, whose changes the host already knows.
  std::atomic<std::thread::id> applyingPorts_{};
  const LV2_Atom_Sequence* midiIn_ = nullptr;
  std::array<float*, Instrument::kOutputs> outputs_{};
  std::array<const float*, kNumParameters> parameterPorts_{};
  std::array<float, kNumParameters> lastSeen_{};  // audio thread, once running
  std::atomic<int> resyncPending_{static_cast<int>(Resync::None)};
  std::atomic<int> restoring_{0};  // restores under way: the ports wait
  Events events_;  // audio thread
};

}  // namespace zvx::lv2
