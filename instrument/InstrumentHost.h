// What the instrument asks of the front door it sits behind (a plug-in
// format's host, or a standalone application).
#pragma once

namespace zvx {

class InstrumentHost {
 public:
  // True when the host declares the calling thread real-time (besides the
  // thread inside render, which the instrument knows).
  virtual bool hostSaysRealtime() = 0;
  // Any thread: a parameter took this value, from whatever source (host,
  // program, learned controller); the editor shows it.
  virtual void parameterChanged(int index, float value) = 0;
  // The current program or the programs' names changed; the host refreshes
  // its display. False when the host does not take the hint.
  virtual bool updateDisplay() = 0;

 protected:
  ~InstrumentHost() = default;
};

}  // namespace zvx
