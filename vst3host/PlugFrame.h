// The host's frame around an editor view. On Linux it is also the host's run
// loop (views ask the frame for IRunLoop): it keeps the timers and the file
// descriptor handlers a view registers, and tick() serves them on the calling
// (UI) thread as a host's event loop would. resizeView resizes the view at once.
#pragma once

#include <chrono>
#include <vector>

#include "vst3host/HostObject.h"

namespace zvx::vst3host {

#if defined(_WIN32)
using PlugFrameBase = HostObject<vst3::IPlugFrame>;
#else
using PlugFrameBase = HostObject<vst3::IPlugFrame, vst3::IRunLoop>;
#endif

class PlugFrame final : public PlugFrameBase {
 public:
  ~PlugFrame() override;

  // Answers the view's wish with onSize at that size; a null view or size is refused.
  vst3::tresult ZVX_VST3_API resizeView(vst3::IPlugView* view, vst3::ViewRect* newSize) override;
  // The sizes asked for so far.
  const std::vector<vst3::ViewRect>& resizes() const { return resizes_; }

#if !defined(_WIN32)
  vst3::tresult ZVX_VST3_API registerEventHandler(vst3::IEventHandler* handler, int fd) override;
  vst3::tresult ZVX_VST3_API unregisterEventHandler(vst3::IEventHandler* handler) override;
  vst3::tresult ZVX_VST3_API registerTimer(vst3::ITimerHandler* handler, vst3::uint64 milliseconds) override;
  vst3::tresult ZVX_VST3_API unregisterTimer(vst3::ITimerHandler* handler) override;

  // Runs the timers that are due and the handlers whose descriptor is
  // readable now (poll without waiting); how many calls it made.
  int tick();
  // Ticks for `duration`, every `step`, sleeping between.
  int run(std::chrono::milliseconds duration, std::chrono::milliseconds step = std::chrono::milliseconds(5));
  std::size_t timerCount() const { return timers_.size(); }
  std::size_t eventHandlerCount() const { return handlers_.size(); }
  // Calls made to timers and to event handlers since the frame was made.
  long timerCalls() const { return timerCalls_; }
  long eventHandlerCalls() const { return eventHandlerCalls_; }
#endif

 private:
  std::vector<vst3::ViewRect> resizes_;
#if !defined(_WIN32)
  using Clock = std::chrono::steady_clock;
  struct Timer {
    Ref<vst3::ITimerHandler> handler;
    std::chrono::milliseconds interval;
    Clock::time_point due;
  };
  struct Handler {
    Ref<vst3::IEventHandler> handler;
    int fd;
  };
  std::vector<Timer> timers_;
  std::vector<Handler> handlers_;
  long timerCalls_ = 0;
  long eventHandlerCalls_ = 0;
#endif
};

}  // namespace zvx::vst3host
