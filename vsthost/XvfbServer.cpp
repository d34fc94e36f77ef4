#include "vsthost/XvfbServer.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <sstream>
#include <string>
#include <thread>

namespace zvx::vsthost {
namespace {

std::string findOnPath(const std::string& program) {
  const char* path = std::getenv("PATH");
  std::istringstream folders(path && *path ? path : "/usr/bin:/bin");
  for (std::string folder; std::getline(folders, folder, ':');)
    if (access((folder + "/" + program).c_str(), X_OK) == 0) return folder + "/" + program;
  return {};
}

}  // namespace

bool XvfbServer::installed() { return !findOnPath("Xvfb").empty(); }

XvfbServer::XvfbServer(const std::string& screen) {
  const std::string program = findOnPath("Xvfb");
  int channel[2];
  if (program.empty() || pipe(channel) != 0) {
    error_ = program.empty() ? "Xvfb is not installed" : "cannot make a pipe";
    return;
  }
  const pid_t parent = getpid();
  pid_ = fork();
  if (pid_ == 0) {
    // The server goes with the program that started it, however that ends.
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (getppid() != parent) _exit(127);
    close(channel[0]);
    const int quiet = open("/dev/null", O_WRONLY);
    if (quiet >= 0) {
      dup2(quiet, 1);
      dup2(quiet, 2);
    }
    const std::string fd = std::to_string(channel[1]);
    execl(program.c_str(), "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", screen.c_str(), "-nolisten", "tcp",
          "-noreset", static_cast<char*>(nullptr));
    _exit(127);
  }
  close(channel[1]);
  // Xvfb writes the display number once it accepts connections.
  std::string number;
  const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(15);
  for (char c = 0; pid_ > 0 && std::chrono::steady_clock::now() < giveUp;) {
    pollfd fd{channel[0], POLLIN, 0};
    if (poll(&fd, 1, 100) <= 0) continue;
    if (read(channel[0], &c, 1) <= 0 || c == '\n') break;
    number += c;
  }
  close(channel[0]);
  if (pid_ > 0 && !number.empty()) {
    display_ = ":" + number;
    return;
  }
  error_ = pid_ < 0 ? "cannot fork" : "Xvfb did not start";
  if (pid_ > 0) {
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
  }
  pid_ = -1;
}

XvfbServer::~XvfbServer() {
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

}  // namespace zvx::vsthost
