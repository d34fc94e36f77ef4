// What the engine needs from the plug-in around it, and nothing more.
#pragma once

namespace zvx {

class EngineHost {
 public:
  // Audio thread, before each sample: delivers the MIDI events due at `frame`,
  // counted from 1 within the block.
  virtual void dispatchEvents(int frame) = 0;
  // Audio thread: the first frame from `frame` on at which dispatchEvents has
  // an event to look at; any value past the block when there is none.
  virtual int nextEventFrame(int frame) const = 0;
  // Audio thread and initialisation: asks the host for its sample rate; the
  // last known rate when the host does not tell.
  virtual double querySampleRate() = 0;

 protected:
  ~EngineHost() = default;
};

}  // namespace zvx
