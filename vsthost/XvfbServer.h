// A private Xvfb for tests and the validator's editor checks: started on a free display number (Xvfb picks it
// and tells us through -displayfd once it accepts connections), stopped when
// the object goes.
#pragma once

#include <sys/types.h>

#include <string>

namespace zvx::vsthost {

class XvfbServer {
 public:
  // `screen` as Xvfb takes it, e.g. "1024x768x24".
  explicit XvfbServer(const std::string& screen = "1024x768x24");
  ~XvfbServer();
  XvfbServer(const XvfbServer&) = delete;
  XvfbServer& operator=(const XvfbServer&) = delete;

  static bool installed();
  bool running() const { return pid_ > 0 && !display_.empty(); }
  // ":N", or empty when the server did not start.
  const std::string& display() const { return display_; }
  const std::string& error() const { return error_; }

 private:
  pid_t pid_ = -1;
  std::string display_;
  std::string error_;
};

}  // namespace zvx::vsthost
