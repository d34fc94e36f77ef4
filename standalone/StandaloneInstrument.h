// The instrument as a program of its own: the core played by the JACK
// client's process callback, the MIDI read in place from JACK's buffer, the
// editor (when there is one) told of every parameter change, and the bank
// with its program kept in a file between runs.
//
// zvx is its own host, so a MIDI Program Change selects the program here (the
// plug-in versions leave programs to their hosts): the period is played up to
// the change's frame, the program selected there, and the rest played with it.
// Bank Select is passed over: there is one bank of 128 programs.
//
// Threads: JACK's process thread plays; the main thread does the rest.
#pragma once

#include <atomic>
#include <memory>
#include <string>

#include "editor/FrameEditor.h"
#include "instrument/DirectControl.h"
#include "instrument/Instrument.h"
#include "instrument/ProgramTurn.h"
#include "standalone/JackClient.h"

namespace zvx::standalone {

class StandaloneInstrument final : public JackClient::Player, private InstrumentHost {
 public:
  // The outputs' JACK port names, in the instrument's order.
  static const std::vector<std::string>& outputNames();

  StandaloneInstrument();
  ~StandaloneInstrument();

  // What the editor does with the instrument; its program choices take turns
  // with the program changes that come by MIDI.
  InstrumentControl& control() { return control_; }
  Instrument& instrument() { return instrument_; }
  // The editor told of parameter changes; it outlives every play call.
  void setEditor(FrameEditor* editor) { editor_.store(editor); }

  // A chunk bank file ('FBCh') of ours, and its current program; false with
  // the reason when the file cannot be read or is not one.
  bool loadBank(const std::string& path, std::string& error);
  // Saves the bank and the current program as a chunk bank any host can
  // load, whole or not at all; false with the reason.
  bool saveBank(const std::string& path, std::string& error);
  // Main thread: selects a program, as the editor does.
  void selectProgram(int program) { control_.selectProgram(program); }

  // JackClient::Player
  void play(void* midi, float* const* outputs, int frames) override;
  void rateChanged(double rate) override;

 private:
  // Some of JACK's MIDI events for one period, read in place: those of one
  // stretch of the period between program changes, timed from its start.
  class Events : public MidiEventList {
   public:
    void* buffer = nullptr;
    int first = 0, end = 0;  // the stretch's events, by their index in the buffer
    int offset = 0;          // the stretch's first frame in the period
    int count() const override { return end - first; }
    bool at(int index, MidiEvent& event) const override;
  };

  // The editor's program choices, made on the main thread, take turns with
  // the program changes of the MIDI input (ProgramTurn).
  class Control final : public DirectControl {
   public:
    Control(Instrument& instrument, ProgramTurn& turn) : DirectControl(instrument), instrument_(instrument), turn_(turn) {}
    void selectProgram(int program) override { turn_.fromOtherThread(instrument_, program); }

   private:
    Instrument& instrument_;
    ProgramTurn& turn_;
  };

  // Process thread: frames `from` to `to` of the period, with the events `first` to `end`.
  void playStretch(void* midi, int first, int end, int from, int to, float* const* outputs);

  // InstrumentHost
  bool hostSaysRealtime() override { return false; }
  void parameterChanged(int index, float value) override;
  bool updateDisplay() override { return false; }

  Instrument instrument_;
  ProgramTurn programTurn_;
  Control control_{instrument_, programTurn_};
  std::atomic<FrameEditor*> editor_{nullptr};
  Events events_;             // the process thread's
};

}  // namespace zvx::standalone
