#include "platform/GuiTimer.h"

namespace zvx::platform {

// The host's run loop ticks Linux editors (see GuiTimer.h).
std::unique_ptr<GuiTimer> startGuiTimer(unsigned, std::function<void()>) { return nullptr; }

}  // namespace zvx::platform
