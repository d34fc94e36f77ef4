// zvx-validate MODULE: checks a VST 2.4 instrument module the way real hosts
// and users treat it. Each group of checks runs in a child process of its own
// (this program again, with --child), so a crash or a hang is reported as a
// failure of that group and the run goes on.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <clocale>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "tools/zvx-validate/Validator.h"
#include "vsthost/XvfbServer.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using zvx::validate::Session;

struct Group {
  char letter;
  const char* title;
  void (*run)(Session&);
};

const Group kGroups[] = {
    {'A', "load, exports and the AEffect record", zvx::validate::runLoadChecks},
    {'B', "metadata, strings and bad arguments", zvx::validate::runMetadataChecks},
    {'C', "host call orders", zvx::validate::runLifecycleChecks},
    {'D', "audio processing", zvx::validate::runAudioChecks},
    {'E', "real-time safety of the audio thread", zvx::validate::runRealtimeChecks},
    {'F', "threads and re-entrant hosts", zvx::validate::runThreadingChecks},
    {'G', "state, programs and locale", zvx::validate::runStateChecks},
    {'H', "editor windows under Xvfb", zvx::validate::runEditorChecks},
};

struct Options {
  std::string module;
  std::string groups = "ABCDEFGH";
  std::string profile = "auto";
  std::uint32_t seed = 1;
  int timeout = 300;
  bool verbose = false;
  char child = 0;
};

void usage(std::FILE* to) {
  std::fputs(
      "usage: zvx-validate MODULE [options]\n"
      "Checks a VST 2.4 instrument module (.so) and exits non-zero when any check fails.\n"
      "  --groups LETTERS   run only these groups (default ABCDEFGH):\n",
      to);
  for (const Group& group : kGroups) std::fprintf(to, "                       %c  %s\n", group.letter, group.title);
  std::fputs(
      "  --profile NAME     auto (default: zvx for ZVX itself), zvx or generic: what the\n"
      "                     module must answer beyond the rules for every instrument\n"
      "  --seed N           seed of every random choice (default 1)\n"
      "  --timeout SECONDS  per group (default 300); a group running longer fails\n"
      "  --verbose          show what the module wrote to standard error\n"
      "  --version          prints zvx-validate's version\n",
      to);
}

// A whole number in digits alone, whatever the locale.
template <typename Number>
Number wholeNumber(const std::string& option, const std::string& text) {
  Number number{};
  const auto [end, problem] = std::from_chars(text.data(), text.data() + text.size(), number);
  if (problem != std::errc() || end != text.data() + text.size())
    throw std::runtime_error(option + " takes a whole number, not '" + text + "'");
  return number;
}

bool parse(int argc, char** argv, Options& options) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    auto value = [&]() -> std::string {
      if (i + 1 >= argc) throw std::runtime_error(arg + " needs a value");
      return argv[++i];
    };
    if (arg == "--groups") {
      options.groups = value();
      for (char& c : options.groups) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    } else if (arg == "--profile") {
      options.profile = value();
      if (options.profile != "auto" && options.profile != "zvx" && options.profile != "generic")
        throw std::runtime_error("unknown profile " + options.profile);
    } else if (arg == "--seed") {
      options.seed = wholeNumber<std::uint32_t>(arg, value());
    } else if (arg == "--timeout") {
      options.timeout = std::max(1, wholeNumber<int>(arg, value()));
    } else if (arg == "--verbose") {
      options.verbose = true;
    } else if (arg == "--child") {
      options.child = value().at(0);
    } else if (arg == "--help" || arg == "-h") {
      usage(stdout);
      std::exit(0);
    } else if (arg == "--version") {
      std::printf("zvx-validate %s\n", ZVX_VERSION);
      std::exit(0);
    } else if (!arg.empty() && arg[0] == '-') {
      throw std::runtime_error("unknown option " + arg);
    } else if (options.module.empty()) {
      options.module = arg;
    } else {
      throw std::runtime_error("one module only");
    }
  }
  return !options.module.empty();
}

int runChild(const Options& options) {
  // The module's messages must never wait for a click.
  setenv("ZVX_MESSAGES", "stderr", 1);
  Session session(options.module, options.profile, options.seed);
  if (!session.ok()) {
    std::printf("FAIL %c.load the module loads: %s\n", options.child, session.error().c_str());
    return 1;
  }
  for (const Group& group : kGroups)
    if (group.letter == options.child) {
      std::printf("NOTE profile %s\n", session.profile().name.c_str());
      std::fflush(stdout);
      group.run(session);
      std::fflush(stdout);
      return 0;
    }
  std::printf("FAIL %c.group no such group\n", options.child);
  return 1;
}

// ---------------------------------------------------------------------------
// The parent: one child per group, its lines relayed as they come.

struct Tally {
  int passed = 0, failed = 0, skipped = 0;
  std::map<std::string, long long> counts;
};

std::string signalName(int signal) {
  const char* name = strsignal(signal);
  return std::to_string(signal) + (name ? std::string(" (") + name + ")" : "");
}

void relay(const std::string& line, const char group, std::string& running, Tally& tally, bool& groupFailed) {
  if (line.rfind("BEGIN ", 0) == 0) {
    running = line.substr(6);
    return;
  }
  if (line.rfind("COUNT ", 0) == 0) {
    const std::size_t space = line.rfind(' ');
    tally.counts[line.substr(6, space - 6)] += std::atoll(line.c_str() + space + 1);
    return;
  }
  if (line.rfind("PASS ", 0) == 0) ++tally.passed, running.clear();
  if (line.rfind("FAIL ", 0) == 0) ++tally.failed, groupFailed = true, running.clear();
  if (line.rfind("SKIP ", 0) == 0) ++tally.skipped, running.clear();
  (void)group;
  std::printf("  %s\n", line.c_str());
  std::fflush(stdout);
}

// A child process running one group, its standard output and error piped back.
struct Child {
  pid_t pid = -1;
  int out = -1;
  int err = -1;
};

// Starts this program again as the child for `group`; an error text when it cannot.
std::string spawnGroup(const Options& options, const Group& group, const std::vector<std::string>& extraEnvironment,
                       Child& child) {
  int out[2], err[2];
  if (pipe(out) != 0 || pipe(err) != 0) return "cannot make pipes";
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out[1], 1);
  posix_spawn_file_actions_adddup2(&actions, err[1], 2);
  posix_spawn_file_actions_addclose(&actions, out[0]);
  posix_spawn_file_actions_addclose(&actions, err[0]);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);

  const std::string letter(1, group.letter);
  const std::string seed = std::to_string(options.seed);
  std::vector<std::string> args = {"zvx-validate", "--child", letter, "--profile", options.profile,
                                   "--seed", seed, options.module};
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  std::vector<std::string> environment;
  for (char** e = environ; *e; ++e) environment.emplace_back(*e);
  for (const std::string& e : extraEnvironment) environment.push_back(e);
  environment.emplace_back("ZVX_MESSAGES=stderr");
  std::vector<char*> envp;
  for (std::string& e : environment) envp.push_back(e.data());
  envp.push_back(nullptr);

  const int spawned = posix_spawn(&child.pid, "/proc/self/exe", &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  close(out[1]);
  close(err[1]);
  if (spawned != 0) {
    close(out[0]);
    close(err[0]);
    return std::string("cannot start the group: ") + std::strerror(spawned);
  }
  child.out = out[0];
  child.err = err[0];
  return {};
}

// What a group's child said and how it ended.
struct GroupRun {
  std::string errText;  // the end of its standard error
  std::string running;  // the check under way, if any
  bool failed = false;
  bool timedOut = false;
};

// Relays the child's result lines as they come until it closes both pipes or
// its time is up, then reaps it; answers its wait status.
int relayChild(const Options& options, const Group& group, Child& child, Tally& tally, GroupRun& run) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(options.timeout);
  std::string outBuffer;
  int open = 2;
  pollfd fds[2] = {{child.out, POLLIN, 0}, {child.err, POLLIN, 0}};
  while (open > 0) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) {
      run.timedOut = true;
      kill(child.pid, SIGKILL);
      break;
    }
    if (poll(fds, 2, static_cast<int>(std::min<long long>(left.count(), 1000))) <= 0) continue;
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
      char chunk[4096];
      const ssize_t got = read(fds[i].fd, chunk, sizeof chunk);
      if (got <= 0) {
        close(fds[i].fd);
        fds[i].fd = -1;
        --open;
        continue;
      }
      if (i == 1) {
        if (options.verbose) std::fwrite(chunk, 1, static_cast<std::size_t>(got), stderr);
        run.errText.append(chunk, static_cast<std::size_t>(got));
        if (run.errText.size() > (1u << 20)) run.errText.erase(0, run.errText.size() - (1u << 19));
        continue;
      }
      outBuffer.append(chunk, static_cast<std::size_t>(got));
      for (std::size_t end; (end = outBuffer.find('\n')) != std::string::npos;) {
        relay(outBuffer.substr(0, end), group.letter, run.running, tally, run.failed);
        outBuffer.erase(0, end + 1);
      }
    }
  }
  for (pollfd& fd : fds)
    if (fd.fd >= 0) close(fd.fd);
  int status = 0;
  waitpid(child.pid, &status, 0);
  return status;
}

// A child that hung, crashed or failed without saying which check failed.
void reportEnd(const Options& options, const Group& group, int status, Tally& tally, GroupRun& run) {
  const std::string where = run.running.empty() ? std::string(1, group.letter) + ".group" : run.running;
  if (run.timedOut) {
    std::printf("  FAIL %s did not finish within %d s\n", where.c_str(), options.timeout);
    ++tally.failed, run.failed = true;
  } else if (WIFSIGNALED(status)) {
    std::printf("  FAIL %s crashed the process with signal %s\n", where.c_str(), signalName(WTERMSIG(status)).c_str());
    ++tally.failed, run.failed = true;
  } else if (WIFEXITED(status) && WEXITSTATUS(status) != 0 && !run.failed) {
    std::printf("  FAIL %s ended with exit status %d\n", where.c_str(), WEXITSTATUS(status));
    ++tally.failed, run.failed = true;
  }
  if (run.failed && !options.verbose && !run.errText.empty()) {
    // The end of what the module said, for the failure's context.
    const std::string& text = run.errText;
    std::size_t from = text.size();
    for (int lines = 0; from > 0 && lines < 12; --from)
      if (text[from - 1] == '\n') ++lines;
    std::printf("  -- the group's last standard error lines:\n%s", text.substr(from).c_str());
    if (text.back() != '\n') std::printf("\n");
  }
}

bool runGroup(const Options& options, const Group& group, const std::vector<std::string>& extraEnvironment,
              Tally& tally) {
  Child child;
  const std::string error = spawnGroup(options, group, extraEnvironment, child);
  if (!error.empty()) {
    std::printf("  FAIL %c.spawn %s\n", group.letter, error.c_str());
    ++tally.failed;
    return false;
  }
  const auto start = std::chrono::steady_clock::now();
  GroupRun run;
  const int status = relayChild(options, group, child, tally, run);
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  reportEnd(options, group, status, tally, run);
  std::printf("  (%c took %.1f s)\n", group.letter, seconds);
  std::fflush(stdout);
  return !run.failed;
}

// A locale with a decimal comma for group G: the system's, or one built
// into a scratch folder when the system has none installed.
std::vector<std::string> decimalCommaLocale(const fs::path& scratch) {
  if (std::setlocale(LC_ALL, "de_DE.UTF-8")) {
    std::setlocale(LC_ALL, "C");
    return {"ZVX_VALIDATE_LOCALE=de_DE.UTF-8"};
  }
  const fs::path folder = scratch / "locales";
  fs::create_directories(folder);
  const std::string target = (folder / "de_DE.UTF-8").string();
  pid_t pid = -1;
  const char* args[] = {"localedef", "-i", "de_DE", "-f", "UTF-8", target.c_str(), nullptr};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  int status = -1;
  if (posix_spawnp(&pid, "localedef", &actions, nullptr, const_cast<char**>(args), environ) == 0)
    waitpid(pid, &status, 0);
  posix_spawn_file_actions_destroy(&actions);
  if (!fs::exists(target)) return {};
  return {"LOCPATH=" + folder.string(), "ZVX_VALIDATE_LOCALE=de_DE.UTF-8"};
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  try {
    if (!parse(argc, argv, options)) {
      usage(stderr);
      return 2;
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "zvx-validate: %s\n", e.what());
    return 2;
  }
  if (options.child) return runChild(options);

  std::error_code ec;
  options.module = fs::absolute(options.module, ec).string();
  if (!fs::exists(options.module)) {
    std::fprintf(stderr, "zvx-validate: no such module: %s\n", options.module.c_str());
    return 2;
  }
  std::printf("zvx-validate %s (profile %s, seed %u)\n", options.module.c_str(), options.profile.c_str(),
              options.seed);
  const fs::path scratch = fs::temp_directory_path() / ("zvx-validate-" + std::to_string(getpid()));
  fs::create_directories(scratch, ec);

  Tally tally;
  bool allPassed = true;
  for (const Group& group : kGroups) {
    if (options.groups.find(group.letter) == std::string::npos) continue;
    std::printf("[%c] %s\n", group.letter, group.title);
    std::fflush(stdout);
    std::vector<std::string> environment;
    std::unique_ptr<zvx::vsthost::XvfbServer> xvfb;
    if (group.letter == 'G') {
      environment = decimalCommaLocale(scratch);
    } else if (group.letter == 'H') {
      if (!zvx::vsthost::XvfbServer::installed()) {
        std::printf("  SKIP H.editor editor windows: Xvfb is not installed, no editor was opened\n");
        ++tally.skipped;
        continue;
      }
      xvfb = std::make_unique<zvx::vsthost::XvfbServer>("1280x1024x24");
      if (!xvfb->running()) {
        std::printf("  FAIL H.xvfb a private Xvfb starts: %s\n", xvfb->error().c_str());
        ++tally.failed;
        allPassed = false;
        continue;
      }
      environment = {"DISPLAY=" + xvfb->display(), "ZVX_VALIDATE_XVFB=1"};
    }
    allPassed = runGroup(options, group, environment, tally) && allPassed;
  }
  fs::remove_all(scratch, ec);

  const auto countOf = [&](const char* name) {
    auto found = tally.counts.find(name);
    return found == tally.counts.end() ? 0LL : found->second;
  };
  std::printf("counts: %lld configurations run, %lld events fuzzed, %lld chunks corrupted, %lld blocks rendered\n",
              countOf("configurations"), countOf("events"), countOf("chunks"), countOf("blocks"));
  std::printf("zvx-validate: %d passed, %d failed, %d skipped\n", tally.passed, tally.failed, tally.skipped);
  return allPassed && tally.failed == 0 ? 0 : 1;
}
