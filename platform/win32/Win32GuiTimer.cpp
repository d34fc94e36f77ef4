// Thread timers of the message loop: the callback finds its timer by the id
// Windows gave it, in a map kept by the GUI thread alone.
#include <windows.h>

#include <map>

#include "platform/GuiTimer.h"

namespace zvx::platform {
namespace {

class Win32GuiTimer;
thread_local std::map<UINT_PTR, Win32GuiTimer*> timers;

class Win32GuiTimer final : public GuiTimer {
 public:
  Win32GuiTimer(unsigned milliseconds, std::function<void()> tick) : tick_(std::move(tick)) {
    id_ = SetTimer(nullptr, 0, milliseconds, &Win32GuiTimer::fired);
    if (id_) timers[id_] = this;
  }
  ~Win32GuiTimer() override {
    if (!id_) return;
    KillTimer(nullptr, id_);
    timers.erase(id_);
  }
  bool running() const { return id_ != 0; }

 private:
  static void CALLBACK fired(HWND, UINT, UINT_PTR id, DWORD) {
    const auto found = timers.find(id);
    if (found != timers.end()) found->second->tick_();
  }

  std::function<void()> tick_;
  UINT_PTR id_ = 0;
};

}  // namespace

std::unique_ptr<GuiTimer> startGuiTimer(unsigned milliseconds, std::function<void()> tick) {
  auto timer = std::make_unique<Win32GuiTimer>(milliseconds, std::move(tick));
  if (!timer->running()) return nullptr;
  return timer;
}

}  // namespace zvx::platform
