#include "tests/support/TestSupport.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <clocale>
#include <csignal>
#include <iterator>
#include <regex>
#include <sstream>

#include "platform/Messages.h"

namespace zvx::test {

std::unique_ptr<vsthost::Module> loadModuleOrAbort(const char* path) {
  std::string error;
  auto loaded = vsthost::Module::load(path, error);
  if (!loaded) {
    std::fprintf(stderr, "%s\n", error.c_str());
    std::abort();
  }
  return loaded;
}

const vsthost::Module& zvxModule() {
  static std::unique_ptr<vsthost::Module> module = loadModuleOrAbort(ZVX_MODULE_PATH);
  return *module;
}

std::unique_ptr<vsthost::Plugin> createZvx(const vsthost::HostConfig& config) {
  std::string error;
  auto plugin = vsthost::Plugin::create(zvxModule(), config, error);
  if (!plugin) {
    std::fprintf(stderr, "no ZVX: %s\n", error.c_str());
    std::abort();
  }
  return plugin;
}

ScopedEnv::ScopedEnv(const char* name, const char* value) : name_(name) {
  if (const char* old = std::getenv(name)) previous_ = old;
  value ? setenv(name, value, 1) : unsetenv(name);
}

ScopedEnv::~ScopedEnv() { previous_ ? setenv(name_.c_str(), previous_->c_str(), 1) : unsetenv(name_.c_str()); }

TempFolder::TempFolder(const char* variable) {
  std::string pattern = (std::filesystem::temp_directory_path() / "zvx-test-XXXXXX").string();
  if (!mkdtemp(pattern.data())) std::abort();
  path_ = pattern;
  if (variable) variable_.emplace(variable, path_.c_str());
}

TempFolder::~TempFolder() {
  variable_.reset();
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

TempDocuments::TempDocuments(bool withSamples) {
  if (!withSamples) return;
  const char* names[8] = {"BDA.wav", "SDA.wav", "HHA.wav", "CPA.wav", "BDB.wav", "SDB.wav", "HHB.wav", "CPB.wav"};
  for (int file = 0; file < 8; ++file) {
    // Value = (file + 1) x index, wrapped, rising for even files and falling for odd ones.
    std::vector<std::int16_t> samples(20000);
    for (std::size_t i = 0; i < samples.size(); ++i)
      samples[i] = static_cast<std::int16_t>((file + 1) * (file % 2 ? -1 : 1) * static_cast<int>(i) % 30000);
    writeFile(names[file], monoWav(samples));
  }
  // The least skin: a window of its background alone, the file itself absent.
  std::filesystem::create_directories(dataFolder() / "skin");
  std::ofstream(dataFolder() / "skin" / "skin.xml") << "<GUI><background filename=\"background.bmp\"/></GUI>";
}

void TempDocuments::installDefaultData(const std::filesystem::path& built) const {
  namespace fs = std::filesystem;
  fs::copy(built / "skin", dataFolder() / "skin", fs::copy_options::recursive | fs::copy_options::overwrite_existing);
  for (const char* file : {"sound wizard.xml", "default.fxb"})
    fs::copy_file(built / file, dataFolder() / file, fs::copy_options::overwrite_existing);
}

void TempDocuments::writeFile(const std::string& name, const std::vector<unsigned char>& bytes) const {
  std::filesystem::create_directories(dataFolder());
  writeBytes(dataFolder() / name, bytes);
}

std::vector<unsigned char> readBytes(const std::filesystem::path& path) {
  std::ifstream file(path, std::ios::binary);
  return std::vector<unsigned char>(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

std::string readText(const std::filesystem::path& path) {
  const std::vector<unsigned char> bytes = readBytes(path);
  return std::string(bytes.begin(), bytes.end());
}

void writeBytes(const std::filesystem::path& path, const std::vector<unsigned char>& bytes) {
  std::ofstream file(path, std::ios::binary);
  file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

MessageCapture::MessageCapture() { testing::internal::CaptureStderr(); }

MessageCapture::~MessageCapture() {
  if (capturing_) testing::internal::GetCapturedStderr();
}

const std::string& MessageCapture::output() {
  if (capturing_) {
    captured_ = testing::internal::GetCapturedStderr();
    capturing_ = false;
  }
  return captured_;
}

// Lines look like: ZVX message [error] "Error!": ZVX is not installed correctly
std::vector<ShownMessage> MessageCapture::messages() {
  output();
  static const std::regex format(R"re(ZVX message \[(.*?)\] "(.*?)": (.*))re");
  std::vector<ShownMessage> result;
  std::smatch m;
  for (const std::string& line : linesOf(captured_))
    if (std::regex_match(line, m, format)) result.push_back({m[1], m[2], m[3]});
  return result;
}

MessageLog::MessageLog() {
  platform::setMessageSink([this](const platform::Message& message) {
    // The icon's name as the module's lines give it.
    const std::string line = platform::formatMessageLine(message);
    const std::size_t open = line.find('['), close = line.find(']');
    std::lock_guard<std::mutex> lock(mutex_);
    messages_.push_back({line.substr(open + 1, close - open - 1), message.caption, message.text});
  });
}

MessageLog::~MessageLog() { platform::setMessageSink({}); }

std::vector<ShownMessage> MessageLog::take() {
  std::lock_guard<std::mutex> lock(mutex_);
  return std::exchange(messages_, {});
}

namespace {

void putWord(std::vector<unsigned char>& out, std::uint32_t word) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<unsigned char>(word >> shift));
}

// 'CcnK', the size of what follows, the kind, its version, the plug-in and its version.
void putHeader(std::vector<unsigned char>& out, std::size_t size, std::uint32_t kind, std::uint32_t version,
               std::int32_t id) {
  for (std::uint32_t word : {0x43636E4Bu, static_cast<std::uint32_t>(size - 8), kind, version,
                             static_cast<std::uint32_t>(id), 1u})
    putWord(out, word);
}

}  // namespace

std::vector<unsigned char> regularPreset(std::int32_t id, const HandProgram& program) {
  std::vector<unsigned char> out;
  putHeader(out, 56 + 4 * program.values.size(), 0x4678436B, 1, id);  // 'FxCk'
  putWord(out, static_cast<std::uint32_t>(program.values.size()));
  for (std::size_t i = 0; i < 28; ++i)
    out.push_back(i < program.name.size() ? static_cast<unsigned char>(program.name[i]) : 0);
  for (float value : program.values) {
    std::uint32_t bits = 0;
    std::memcpy(&bits, &value, 4);
    putWord(out, bits);
  }
  return out;
}

std::vector<unsigned char> regularBank(std::int32_t id, const std::vector<HandProgram>& programs, int current) {
  std::vector<unsigned char> body;
  for (const HandProgram& program : programs) {
    const std::vector<unsigned char> preset = regularPreset(id, program);
    body.insert(body.end(), preset.begin(), preset.end());
  }
  std::vector<unsigned char> out;
  putHeader(out, 156 + body.size(), 0x4678426B, current >= 0 ? 2 : 1, id);  // 'FxBk'
  putWord(out, static_cast<std::uint32_t>(programs.size()));
  if (current >= 0) putWord(out, static_cast<std::uint32_t>(current));
  out.resize(156, 0);
  out.insert(out.end(), body.begin(), body.end());
  return out;
}

std::unique_ptr<vsthost::Plugin> startZvx(const Settings& settings, const vsthost::HostConfig& config, int blockSize) {
  auto zvx = createZvx(config);
  zvx->start(static_cast<float>(config.sampleRate > 0 ? config.sampleRate : 44100), blockSize);
  for (const auto& [index, value] : settings) zvx->setParameter(index, value);
  return zvx;
}

std::vector<unsigned char> chunkOf(vsthost::Plugin& plugin, int index) {
  void* data = nullptr;
  const VstIntPtr size = plugin.dispatch(effGetChunk, index, 0, &data);
  const auto* bytes = static_cast<const unsigned char*>(data);
  return size > 0 ? std::vector<unsigned char>(bytes, bytes + size) : std::vector<unsigned char>();
}

std::vector<unsigned char> learnMapFile(const std::vector<std::pair<int, int>>& bindings, std::size_t size) {
  std::vector<unsigned char> bytes(332, 0xFF);
  for (const auto& [parameter, controller] : bindings)
    for (int b = 0; b < 4; ++b)
      bytes[static_cast<std::size_t>(4 * parameter + b)] = static_cast<unsigned char>(controller >> (8 * b));
  bytes.resize(size);
  return bytes;
}

std::chrono::seconds stressDuration() {
  const char* wanted = std::getenv("ZVX_STRESS_SECONDS");
  return std::chrono::seconds(wanted ? std::max(1, std::atoi(wanted)) : 2);
}

double frequencyOf(const Channel& channel, std::size_t from, std::size_t to, double sampleRate) {
  double first = -1.0, last = -1.0;
  int crossings = 0;
  for (std::size_t i = from + 1; i < std::min(to, channel.size()); ++i) {
    if (channel[i - 1] < 0.0f && channel[i] >= 0.0f) {
      const double where = static_cast<double>(i - 1) + channel[i - 1] / (channel[i - 1] - channel[i]);
      if (first < 0) first = where;
      last = where;
      ++crossings;
    }
  }
  return crossings < 2 ? 0.0 : (crossings - 1) * sampleRate / (last - first);
}

RunningProgram::RunningProgram(const std::string& path, const std::vector<std::string>& arguments,
                               const std::filesystem::path& folder)
    : outPath_(folder / "stdout.txt"), errPath_(folder / "stderr.txt") {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, outPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addopen(&actions, 2, errPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
  std::vector<std::string> all = {path};
  all.insert(all.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (std::string& argument : all) argv.push_back(argument.data());
  argv.push_back(nullptr);
  pid_t pid = 0;
  const int spawned = posix_spawn(&pid, path.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) {
    ADD_FAILURE() << "cannot start " << path;
    return;
  }
  pid_ = pid;
}

RunningProgram::~RunningProgram() {
  if (!started() || ended_) return;
  kill(pid_, SIGKILL);
  waitpid(pid_, nullptr, 0);
}

std::string RunningProgram::out() const { return readText(outPath_); }
std::string RunningProgram::err() const { return readText(errPath_); }

bool RunningProgram::waitForOutput(const std::string& text, std::chrono::milliseconds timeout) {
  const auto giveUp = std::chrono::steady_clock::now() + timeout;
  while (std::chrono::steady_clock::now() < giveUp) {
    if (out().find(text) != std::string::npos) return true;
    if (reap(false)) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return out().find(text) != std::string::npos;
}

void RunningProgram::signal(int number) {
  if (started() && !ended_) kill(pid_, number);
}

bool RunningProgram::reap(bool block) {
  if (!started() || ended_) return true;
  int status = 0;
  if (waitpid(pid_, &status, block ? 0 : WNOHANG) != pid_) return false;
  ended_ = true;
  exitCode_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return true;
}

ProgramRun RunningProgram::wait() {
  reap(true);
  return {exitCode_, out(), err()};
}

std::vector<std::string> linesOf(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

std::string decimalCommaLocale() {
  static const std::string made = [] {
    constexpr const char* kName = "de_DE.UTF-8";
    // Asked of setlocale, and put back: newlocale keeps a copy of LOCPATH for good, which the leak checker
    // of the sanitizer runs reports.
    const auto usable = [kName] {
      const std::string previous = std::setlocale(LC_NUMERIC, nullptr);
      const bool found = std::setlocale(LC_NUMERIC, kName) != nullptr;
      std::setlocale(LC_NUMERIC, previous.c_str());
      return found;
    };
    if (usable()) return std::string(kName);
    // Built once a process, into a folder that goes with it.
    static TempFolder folder;
    const std::string target = (folder.path() / kName).string();
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    const char* argv[] = {"localedef", "-i", "de_DE", "-f", "UTF-8", target.c_str(), nullptr};
    pid_t pid = 0;
    if (posix_spawnp(&pid, "localedef", &actions, nullptr, const_cast<char**>(argv), environ) == 0)
      waitpid(pid, nullptr, 0);
    posix_spawn_file_actions_destroy(&actions);
    setenv("LOCPATH", folder.path().c_str(), 1);
    return usable() ? std::string(kName) : std::string();
  }();
  return made;
}

bool sameBits(const std::vector<Channel>& a, const std::vector<Channel>& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t c = 0; c < a.size(); ++c)
    if (a[c].size() != b[c].size() || std::memcmp(a[c].data(), b[c].data(), a[c].size() * sizeof(float)) != 0)
      return false;
  return true;
}

float peak(const Channel& channel, std::size_t from, std::size_t to) {
  float result = 0.0f;
  for (std::size_t i = from; i < std::min(to, channel.size()); ++i) result = std::max(result, std::fabs(channel[i]));
  return result;
}

long firstAbove(const Channel& channel, float threshold) {
  for (std::size_t i = 0; i < channel.size(); ++i)
    if (std::fabs(channel[i]) > threshold) return static_cast<long>(i);
  return -1;
}

}  // namespace zvx::test
