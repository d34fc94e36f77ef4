// The instrument as a program of its own: the core played by the JACK
// client's process callback, the MIDI read in place from JACK's buffer, the
// editor (when there is one) told of every parameter change, and the bank
// with its program kept in a file between runs.
//
// Threads: JACK's process thread plays; the main thread does the rest.
#pragma once

#include <atomic>
#include <memory>
#include <string>

#include "editor/FrameEditor.h"
#include "instrument/DirectControl.h"
#include "instrument/Instrument.h"
#include "standalone/JackClient.h"

namespace zvx::standalone {

class StandaloneInstrument final : public JackClient::Player, private InstrumentHost {
 public:
  // The outputs' JACK port names, in the instrument's order.
  static const std::vector<std::string>& outputNames();

  StandaloneInstrument();
  ~StandaloneInstrument();

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

  // JackClient::Player
  void play(void* midi, float* const* outputs, int frames) override;
  void rateChanged(double rate) override;

 private:
  // JACK's MIDI buffer for one period, read in place.
  class Events : public MidiEventList {
   public:
    void* buffer = nullptr;
    int count() const override;
    bool at(int index, MidiEvent& event) const override;
  };

  // InstrumentHost
  bool hostSaysRealtime() override { return false; }
  void parameterChanged(int index, float value) override;
  bool updateDisplay() override { return false; }

  Instrument instrument_;
  DirectControl control_{instrument_};
  std::atomic<FrameEditor*> editor_{nullptr};
  Events events_;  // the process thread's
};

}  // namespace zvx::standalone
