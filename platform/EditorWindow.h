// The window an editor's frame lives in: a child of the host's window, made by
// the platform (X11 on Linux, Win32 on Windows).
#pragma once

#include <memory>

#include "platform/PlatformWindow.h"

namespace zvx::platform {

// A child window of `parent` of the given size, or null when the platform
// cannot make one (no parent, no display): the frame then runs headless.
std::unique_ptr<gui::PlatformWindow> createEditorWindow(void* parent, int width, int height);

}  // namespace zvx::platform
