// The default data a package installs with ZVX (<prefix>/share/zvx, laid out
// as a user's data folder is), and the first use of a data folder that lacks
// it: a packaged plug-in works for every user of the computer without a step
// of theirs.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zvx {

// The installed default data folder of the module that holds this code,
// ending with the separator: <prefix>/share/<name in lower case>, where the
// module sits below <prefix>/bin or a <prefix>/lib folder (bin/zvx,
// lib/vst/ZVX.so, lib/lxvst/ZVX.so, lib/lv2/ZVX.lv2/ZVX.so,
// lib/vst3/ZVX.vst3/Contents/x86_64-linux/ZVX.so, multiarch lib folders
// too), whatever the prefix is and wherever it was moved; found when it holds
// a default bank. Nothing for a module elsewhere (a build tree, ~/.vst).
std::optional<std::string> installedDataFolder(std::string_view name);
// The same for a module at one of `modulePaths`, tried in turn.
std::optional<std::string> installedDataFolderFor(const std::vector<std::string>& modulePaths, std::string_view name);

// Copies every file of the installed data folder `installed` that the data
// folder `folder` lacks into it (both end with the separator), and records
// the copies in its install manifest, so that zvx-data knows them for its
// own. A file the folder has is never touched, whatever it holds, and
// nothing is written through a subfolder that is a link (the user's own
// arrangement). Each file appears whole or not at all; the folder's lock
// keeps two processes starting at once from copying together. Answers how
// many files were copied.
int fillDataFolder(const std::string& installed, const std::string& folder);

}  // namespace zvx
