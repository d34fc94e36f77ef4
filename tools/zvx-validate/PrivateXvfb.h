// An X server of the validator's own for the editor checks: Xvfb on a free
// display number, which it reports through -displayfd once it accepts
// connections. Stopped when the object goes.
#pragma once

#include <sys/types.h>

#include <string>

namespace zvx::validate {

class PrivateXvfb {
 public:
  PrivateXvfb();
  ~PrivateXvfb();
  PrivateXvfb(const PrivateXvfb&) = delete;
  PrivateXvfb& operator=(const PrivateXvfb&) = delete;

  static bool installed();
  bool running() const { return pid_ > 0 && !display_.empty(); }
  const std::string& display() const { return display_; }  // ":N"
  const std::string& error() const { return error_; }

 private:
  pid_t pid_ = -1;
  std::string display_;
  std::string error_;
};

}  // namespace zvx::validate
