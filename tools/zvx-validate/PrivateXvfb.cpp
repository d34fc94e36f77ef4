#include "tools/zvx-validate/PrivateXvfb.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <thread>

namespace zvx::validate {
namespace {

constexpr int kStartTimeoutMs = 15000;

std::string onPath(const std::string& program) {
  const char* path = std::getenv("PATH");
  const std::string folders = path && *path ? path : "/usr/bin:/bin";
  for (std::size_t start = 0; start <= folders.size();) {
    std::size_t end = folders.find(':', start);
    if (end == std::string::npos) end = folders.size();
    const std::string candidate = folders.substr(start, end - start) + "/" + program;
    if (access(candidate.c_str(), X_OK) == 0) return candidate;
    start = end + 1;
  }
  return {};
}

}  // namespace

bool PrivateXvfb::installed() { return !onPath("Xvfb").empty(); }

PrivateXvfb::PrivateXvfb() {
  const std::string program = onPath("Xvfb");
  int channel[2];
  if (program.empty() || pipe(channel) != 0) {
    error_ = program.empty() ? "Xvfb is not installed" : "cannot make a pipe";
    return;
  }
  const pid_t parent = getpid();
  pid_ = fork();
  if (pid_ == 0) {
    // The server goes with the validator, however that ends.
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (getppid() != parent) _exit(127);
    close(channel[0]);
    const int quiet = open("/dev/null", O_WRONLY);
    if (quiet >= 0) {
      dup2(quiet, 1);
      dup2(quiet, 2);
    }
    const std::string fd = std::to_string(channel[1]);
    execl(program.c_str(), "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1280x1024x24", "-nolisten", "tcp",
          "-noreset", static_cast<char*>(nullptr));
    _exit(127);
  }
  close(channel[1]);
  if (pid_ < 0) {
    close(channel[0]);
    error_ = "cannot fork";
    return;
  }
  std::string number;
  const auto giveUp = std::chrono::steady_clock::now() + std::chrono::milliseconds(kStartTimeoutMs);
  while (std::chrono::steady_clock::now() < giveUp) {
    pollfd fd{channel[0], POLLIN, 0};
    if (poll(&fd, 1, 100) <= 0) continue;
    char c = 0;
    if (read(channel[0], &c, 1) <= 0 || c == '\n') break;
    number += c;
  }
  close(channel[0]);
  if (number.empty()) {
    error_ = "Xvfb did not start";
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
    pid_ = -1;
    return;
  }
  display_ = ":" + number;
}

PrivateXvfb::~PrivateXvfb() {
  if (pid_ <= 0) return;
  kill(pid_, SIGTERM);
  int status = 0;
  for (int i = 0; i < 200; ++i) {
    if (waitpid(pid_, &status, WNOHANG) == pid_) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  kill(pid_, SIGKILL);
  waitpid(pid_, &status, 0);
}

}  // namespace zvx::validate
