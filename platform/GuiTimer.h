// A function called again and again on the GUI thread, by that thread's own
// message loop, for a front door whose host calls its editor only for input:
// VST3 hosts on Windows. On Linux a plug-in has no loop of its own to count
// on (the host lends its run loop), so no timer is made there.
#pragma once

#include <functional>
#include <memory>

namespace zvx::platform {

class GuiTimer {
 public:
  virtual ~GuiTimer() = default;
};

// Ticks every `milliseconds` on the calling thread while the timer lives;
// null where the platform has no such thing.
std::unique_ptr<GuiTimer> startGuiTimer(unsigned milliseconds, std::function<void()> tick);

}  // namespace zvx::platform
