// Which ZVX module a command-line host loads: the one named, else the one
// installed with the executable (<prefix>/lib/vst/ZVX.so for <prefix>/bin),
// the module of this build, a copy next to the executable, then the user's
// install.
#pragma once

#include <string>

namespace zvx::vsthost {

// `named` may be empty; `builtModule` is the build's own module path or "".
// On failure `error` is a one-line reason naming what was looked for.
bool findModule(const std::string& named, const char* builtModule, std::string& path, std::string& error);

}  // namespace zvx::vsthost
