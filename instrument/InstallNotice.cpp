#include "instrument/InstallNotice.h"

#include <atomic>

namespace zvx {
namespace {

// Process-wide: instances and the sample cache all look up the same folder.
std::atomic<bool> toldSinceFound{false};

}  // namespace

bool InstallNotice::missing() { return !toldSinceFound.exchange(true); }

void InstallNotice::found() { toldSinceFound.store(false); }

void InstallNotice::told() { toldSinceFound.store(true); }

}  // namespace zvx
