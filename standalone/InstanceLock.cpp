#include "standalone/InstanceLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>

namespace zvx::standalone {

std::unique_ptr<InstanceLock> InstanceLock::take(const std::string& path, Outcome& outcome) {
  const int descriptor = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0644);
  if (descriptor < 0) {
    outcome = Outcome::Unavailable;
    return nullptr;
  }
  if (flock(descriptor, LOCK_EX | LOCK_NB) != 0) {
    outcome = errno == EWOULDBLOCK ? Outcome::HeldElsewhere : Outcome::Unavailable;
    ::close(descriptor);
    return nullptr;
  }
  outcome = Outcome::Taken;
  return std::unique_ptr<InstanceLock>(new InstanceLock(descriptor));
}

// The file stays: were it removed, a zvx that had just opened it would lock the
// removed file while the next made and locked a new one, and both would run.
InstanceLock::~InstanceLock() { ::close(descriptor_); }

}  // namespace zvx::standalone
