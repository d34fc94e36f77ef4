// The wait for input while the toolkit tracks a drag, as every platform
// window does it. A release that never comes (grab broken, window gone) ends
// the drag once kLostReleaseTimeout passes without input and no button is
// down, rather than hang the host.
#pragma once

#include <chrono>

#include "platform/PlatformWindow.h"

namespace zvx::gui {

constexpr auto kLostReleaseTimeout = std::chrono::seconds(2);
// How long one slice of the wait lasts before the clock is looked at again.
constexpr int kWaitSliceMs = 20;
constexpr long kAllButtons = kLButton | kMButton | kRButton;

enum class WaitSlice { Event, Nothing, WindowGone };

// `waitSlice(event)` waits at most kWaitSliceMs for input and says whether
// it filled `event`; `buttonsHeld()` asks the system whether a button is
// down. The drag's last buttons and place give the release that ends it.
template <typename Slice, typename Held>
bool waitDuringDrag(InputEvent& event, long& lastButtons, const CPoint& lastWhere, Slice&& waitSlice,
                    Held&& buttonsHeld) {
  auto giveUp = std::chrono::steady_clock::now() + kLostReleaseTimeout;
  for (;;) {
    const WaitSlice got = waitSlice(event);
    if (got == WaitSlice::Event) return true;
    if (got == WaitSlice::WindowGone) break;
    if (std::chrono::steady_clock::now() < giveUp) continue;
    // A hand resting on a held button is no lost release.
    if (!buttonsHeld()) break;
    giveUp = std::chrono::steady_clock::now() + kLostReleaseTimeout;
  }
  // Whoever waits is tracking a drag: let it end.
  lastButtons &= ~kAllButtons;
  event = InputEvent{InputEvent::MouseUp, lastWhere, lastButtons};
  return true;
}

}  // namespace zvx::gui
