#include "vst3host/PlugFrame.h"

#include <algorithm>

#if !defined(_WIN32)
#include <poll.h>

#include <thread>
#endif

namespace zvx::vst3host {

PlugFrame::~PlugFrame() = default;

vst3::tresult PlugFrame::resizeView(vst3::IPlugView* view, vst3::ViewRect* newSize) {
  if (!view || !newSize) return vst3::kInvalidArgument;
  resizes_.push_back(*newSize);
  vst3::ViewRect size = *newSize;
  return view->onSize(&size);
}

#if !defined(_WIN32)

vst3::tresult PlugFrame::registerEventHandler(vst3::IEventHandler* handler, int fd) {
  if (!handler || fd < 0) return vst3::kInvalidArgument;
  handlers_.push_back({Ref<vst3::IEventHandler>::share(handler), fd});
  return vst3::kResultOk;
}

vst3::tresult PlugFrame::unregisterEventHandler(vst3::IEventHandler* handler) {
  const auto before = handlers_.size();
  std::erase_if(handlers_, [&](const Handler& h) { return h.handler.get() == handler; });
  return handlers_.size() < before ? vst3::kResultOk : vst3::kInvalidArgument;
}

vst3::tresult PlugFrame::registerTimer(vst3::ITimerHandler* handler, vst3::uint64 milliseconds) {
  if (!handler || milliseconds == 0) return vst3::kInvalidArgument;
  const std::chrono::milliseconds interval(static_cast<std::int64_t>(std::min<vst3::uint64>(milliseconds, 1u << 30)));
  timers_.push_back({Ref<vst3::ITimerHandler>::share(handler), interval, Clock::now() + interval});
  return vst3::kResultOk;
}

vst3::tresult PlugFrame::unregisterTimer(vst3::ITimerHandler* handler) {
  const auto before = timers_.size();
  std::erase_if(timers_, [&](const Timer& t) { return t.handler.get() == handler; });
  return timers_.size() < before ? vst3::kResultOk : vst3::kInvalidArgument;
}

int PlugFrame::tick() {
  int calls = 0;
  // Copies: a handler may register or unregister others, or itself, while called.
  const std::vector<Handler> handlers = handlers_;
  for (const Handler& h : handlers) {
    pollfd waiting{h.fd, POLLIN, 0};
    if (::poll(&waiting, 1, 0) <= 0 || !(waiting.revents & (POLLIN | POLLHUP | POLLERR))) continue;
    const bool stillRegistered = std::any_of(handlers_.begin(), handlers_.end(),
                                             [&](const Handler& r) { return r.handler.get() == h.handler.get(); });
    if (!stillRegistered) continue;
    h.handler->onFDIsSet(h.fd);
    ++eventHandlerCalls_;
    ++calls;
  }
  const auto now = Clock::now();
  std::vector<Ref<vst3::ITimerHandler>> due;
  for (Timer& t : timers_)
    if (t.due <= now) {
      due.push_back(t.handler);
      t.due = now + t.interval;
    }
  for (const auto& handler : due) {
    const bool stillRegistered =
        std::any_of(timers_.begin(), timers_.end(), [&](const Timer& t) { return t.handler.get() == handler.get(); });
    if (!stillRegistered) continue;
    handler->onTimer();
    ++timerCalls_;
    ++calls;
  }
  return calls;
}

int PlugFrame::run(std::chrono::milliseconds duration, std::chrono::milliseconds step) {
  int calls = 0;
  const auto end = Clock::now() + duration;
  do {
    calls += tick();
    std::this_thread::sleep_for(step);
  } while (Clock::now() < end);
  return calls;
}

#endif

}  // namespace zvx::vst3host
