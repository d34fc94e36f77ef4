// One zvx per state file: an advisory lock on a file beside it, held while
// zvx runs and let go by the system however zvx ends (even killed), so a
// second zvx cannot overwrite what the first saves, wherever its JACK server.
#pragma once

#include <memory>
#include <string>

namespace zvx::standalone {

class InstanceLock {
 public:
  enum class Outcome { Taken, HeldElsewhere, Unavailable };
  // Takes the lock of `path` (the file is made when missing). Null when
  // another process holds it, or when no lock file can be made there (a
  // folder that cannot be written): `outcome` says which.
  static std::unique_ptr<InstanceLock> take(const std::string& path, Outcome& outcome);
  ~InstanceLock();
  InstanceLock(const InstanceLock&) = delete;
  InstanceLock& operator=(const InstanceLock&) = delete;

 private:
  explicit InstanceLock(int descriptor) : descriptor_(descriptor) {}
  int descriptor_;
};

}  // namespace zvx::standalone
