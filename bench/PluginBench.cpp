// Costs of the plug-in as a host pays them, through the built module. The
// audio benchmarks run on every engine, the four voices side by side (ZVX,
// ZVX_sse2) and one at a time (ZVX_scalar), their repetitions interleaved on
// one core, and end with a table of the engines' median real-time factors.
#include <benchmark/benchmark.h>
#include <sched.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/Parameters.h"
#include "vsthost/VstHost.h"

namespace {

using zvx::vsthost::Module;
using zvx::vsthost::Plugin;

// The builds of the instrument, each loaded once, with statics of its own:
// ZVX (the voices side by side in the widest lanes the processor offers),
// ZVX_sse2 (in SSE2 lanes, all a Windows build may assume) and ZVX_scalar.
enum class Engine { Lanes, Sse2, Scalar };
constexpr Engine kEngines[] = {Engine::Lanes, Engine::Sse2, Engine::Scalar};
const char* nameOf(Engine engine) {
  return engine == Engine::Lanes ? "lanes" : engine == Engine::Sse2 ? "sse2" : "scalar";
}

std::unique_ptr<Module> load(const char* path) {
  std::string error;
  auto m = Module::load(path, error);
  if (!m) {
    std::fprintf(stderr, "%s\n", error.c_str());
    std::abort();
  }
  return m;
}

const Module& module(Engine engine = Engine::Lanes) {
  static std::unique_ptr<Module> lanes = load(ZVX_MODULE_PATH);
  static std::unique_ptr<Module> sse2 = load(ZVX_SSE2_MODULE_PATH);
  static std::unique_ptr<Module> scalar = load(ZVX_SCALAR_MODULE_PATH);
  return engine == Engine::Lanes ? *lanes : engine == Engine::Sse2 ? *sse2 : *scalar;
}

std::unique_ptr<Plugin> startedPlugin(Engine engine = Engine::Lanes) {
  std::string error;
  auto plugin = Plugin::create(module(engine), {}, error);
  plugin->start(44100.0f, 512);
  return plugin;
}

// Renders blocks of `state.range(0)` samples and reports the real-time
// factor at 44.1 kHz: seconds of audio per second of work.
void processBlocks(benchmark::State& state, Plugin& plugin) {
  const int frames = static_cast<int>(state.range(0));
  std::vector<std::vector<float>> out(6, std::vector<float>(frames));
  float* pointers[6];
  for (int c = 0; c < 6; ++c) pointers[c] = out[c].data();
  for (auto _ : state) {
    plugin.processReplacing(pointers, frames);
    benchmark::DoNotOptimize(out[0][0]);
  }
  state.SetItemsProcessed(state.iterations() * frames);
  state.counters["realtime_x"] = benchmark::Counter(static_cast<double>(state.iterations()) * frames / 44100.0,
                                                    benchmark::Counter::kIsRate);
}

// A block of silence while the engine sleeps: the event hook and the zero fill.
void BM_ProcessAsleep(benchmark::State& state, Engine engine) {
  auto plugin = startedPlugin(engine);
  processBlocks(state, *plugin);
}

// All four voices rendered every sample: held notes keep their envelopes
// active (sustain 0 ends in the sustain state, not idle).
void BM_ProcessFourVoices(benchmark::State& state, Engine engine) {
  auto plugin = startedPlugin(engine);
  plugin->setParameter(zvx::param::kBDMix, 0.0f);  // synth bass drum
  using zvx::vsthost::midiEvent;
  plugin->sendEvents({midiEvent(0, 0x90, 35, 120), midiEvent(0, 0x90, 38, 110), midiEvent(0, 0x90, 46, 100),
                      midiEvent(0, 0x90, 39, 100)});
  processBlocks(state, *plugin);
}

// The engines compared, busy first: each registered once per engine as
// NAME/lanes, NAME/sse2 and NAME/scalar. Short repetitions, many of them: their medians
// shrug off the moments another process had the core.
struct Compared {
  const char* name;
  void (*function)(benchmark::State&, Engine);
};
constexpr Compared kCompared[] = {{"BM_ProcessFourVoices", BM_ProcessFourVoices},
                                  {"BM_ProcessAsleep", BM_ProcessAsleep}};
constexpr int kRepetitions = 15;
constexpr double kRepetitionSeconds = 0.2;

void registerCompared() {
  for (const Compared& compared : kCompared)
    for (const Engine engine : kEngines)
      benchmark::RegisterBenchmark((std::string(compared.name) + "/" + nameOf(engine)).c_str(), compared.function,
                                   engine)
          ->Arg(512)
          ->Repetitions(kRepetitions)
          ->MinTime(kRepetitionSeconds)
          ->DisplayAggregatesOnly();
}

// Resident memory of the process in bytes (Linux).
double residentBytes() {
  std::ifstream statm("/proc/self/statm");
  long pages = 0, resident = 0;
  statm >> pages >> resident;
  return static_cast<double>(resident) * 4096.0;
}

// A host that answers only what the plug-in needs to start, and records nothing.
VstIntPtr VSTCALLBACK bareHost(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float) {
  if (opcode == audioMasterVersion) return kVstVersion;
  if (opcode == audioMasterGetSampleRate) return 44100;
  return 0;
}

// What each further instance adds to the process once the first one holds
// the sample files: range(0) instances on top of one.
void BM_MemoryPerInstance(benchmark::State& state) {
  const int count = static_cast<int>(state.range(0));
  double perInstance = 0.0;
  for (auto _ : state) {
    auto first = startedPlugin();
    const double before = residentBytes();
    std::vector<AEffect*> more;
    for (int i = 0; i < count; ++i) {
      more.push_back(module().entry()(&bareHost));
      more.back()->dispatcher(more.back(), effOpen, 0, 0, nullptr, 0.0f);
    }
    perInstance = (residentBytes() - before) / count;
    for (AEffect* effect : more) effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);
  }
  state.counters["bytes_per_instance"] = perInstance;
}
BENCHMARK(BM_MemoryPerInstance)->Arg(16)->Iterations(1)->Unit(benchmark::kMillisecond);

// Choosing a sample file off the audio thread, which reads it from disk again
// (a learned controller on the audio thread only switches to the copy in memory).
void BM_ChooseSampleOffTheAudioThread(benchmark::State& state) {
  auto plugin = startedPlugin();
  int file = 0;
  for (auto _ : state) {
    plugin->setParameter(zvx::param::kBDMenu, static_cast<float>(file) / 7.0f);
    file = (file + 1) % 8;
  }
}
BENCHMARK(BM_ChooseSampleOffTheAudioThread)->Unit(benchmark::kMicrosecond);

// One parameter change through the host's setParameter entry.
void BM_SetParameter(benchmark::State& state) {
  auto plugin = startedPlugin();
  float value = 0.0f;
  for (auto _ : state) {
    plugin->setParameter(zvx::param::kBDTone, value);
    value = value > 0.9f ? 0.0f : value + 0.1f;
  }
}
BENCHMARK(BM_SetParameter);

// Shows what the reporter chosen on the command line shows, and keeps the
// median real-time factor of every benchmark that reports one.
class MedianKeeper : public benchmark::BenchmarkReporter {
 public:
  explicit MedianKeeper(benchmark::BenchmarkReporter* shown) : shown_(shown) {}

  bool ReportContext(const Context& context) override { return shown_->ReportContext(context); }
  void ReportRuns(const std::vector<Run>& runs) override {
    shown_->ReportRuns(runs);
    for (const Run& run : runs) {
      const auto factor = run.counters.find("realtime_x");
      if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median" && factor != run.counters.end())
        medians_[run.run_name.function_name + "/" + run.run_name.args] = factor->second.value;
    }
  }
  void Finalize() override { shown_->Finalize(); }

  // The median of `name` (as registered, with its argument), or 0 when it did not run.
  double median(const std::string& name) const {
    const auto found = medians_.find(name);
    return found == medians_.end() ? 0.0 : found->second;
  }

 private:
  std::unique_ptr<benchmark::BenchmarkReporter> shown_;
  std::map<std::string, double> medians_;
};

// The engines side by side, for each compared benchmark that ran on both.
void printComparison(const MedianKeeper& medians, int core, std::ostream& out) {
  std::vector<std::string> rows;
  char line[160];
  for (const Compared& compared : kCompared) {
    const double lanes = medians.median(std::string(compared.name) + "/lanes/512");
    const double sse2 = medians.median(std::string(compared.name) + "/sse2/512");
    const double scalar = medians.median(std::string(compared.name) + "/scalar/512");
    if (lanes <= 0.0 || sse2 <= 0.0 || scalar <= 0.0) continue;
    std::snprintf(line, sizeof line, "%-24s %12.1f %12.1f %12.1f %13.3f %12.3f",
                  (std::string(compared.name) + "/512").c_str(), lanes, sse2, scalar, lanes / scalar, sse2 / scalar);
    rows.push_back(line);
  }
  if (rows.empty()) return;
  out << "\nReal-time factors of the side-by-side voices in the widest lanes here (ZVX), in SSE2 lanes (ZVX_sse2)\n"
      << "and of one voice at a time (ZVX_scalar): medians of " << kRepetitions << " interleaved repetitions "
      << (core >= 0 ? "on core " + std::to_string(core) : "on any core") << "\n";
  std::snprintf(line, sizeof line, "%-24s %12s %12s %12s %13s %12s", "benchmark", "ZVX", "ZVX_sse2", "ZVX_scalar",
                "ZVX/scalar", "sse2/scalar");
  out << line << "\n";
  for (const std::string& row : rows) out << row << "\n";
}

// The core the process started on, the only one it runs on from now: the two
// engines' repetitions then share one core's caches and clock.
int pinToStartingCore() {
  const int core = sched_getcpu();
  cpu_set_t set;
  CPU_ZERO(&set);
  CPU_SET(core, &set);
  if (core < 0 || sched_setaffinity(0, sizeof set, &set) != 0) {
    std::perror("zvx_bench: cannot pin to one core");
    return -1;
  }
  return core;
}

bool given(const std::vector<char*>& arguments, std::string_view flag) {
  for (const char* argument : arguments)
    if (std::string_view(argument).starts_with(flag)) return true;
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  // Never the user's documents folder.
  std::string scratch = (std::filesystem::temp_directory_path() / "zvx-bench-XXXXXX").string();
  if (mkdtemp(scratch.data())) setenv("ZVX_DOCUMENTS", scratch.c_str(), 1);
  // The default samples, so the instances hold what users' instances hold.
  const std::filesystem::path data = std::filesystem::path(scratch) / "Tonewerk Data" / "ZVX";
  std::error_code ignored;
  std::filesystem::create_directories(data, ignored);
  for (const auto& sample : std::filesystem::directory_iterator(ZVX_BUILT_SAMPLES, ignored))
    std::filesystem::copy_file(sample.path(), data / sample.path().filename(), ignored);
  // The least skin, which instances without an editor take without a word.
  std::filesystem::create_directories(data / "skin", ignored);
  std::ofstream(data / "skin" / "skin.xml") << "<GUI><background filename=\"background.bmp\"/></GUI>";
  setenv("ZVX_MESSAGES", "stderr", 1);

  const int core = pinToStartingCore();
  std::vector<char*> arguments(argv, argv + argc);
  // The table goes with the console output; beside JSON or CSV it goes to standard error.
  const bool console =
      !given(arguments, "--benchmark_format=") || given(arguments, "--benchmark_format=console");
  // Both engines' repetitions in one shuffled order, unless told otherwise, so
  // a slower spell of the machine weighs on both alike.
  std::string interleave = "--benchmark_enable_random_interleaving=true";
  if (!given(arguments, "--benchmark_enable_random_interleaving"))
    arguments.insert(arguments.begin() + 1, interleave.data());
  int count = static_cast<int>(arguments.size());
  arguments.push_back(nullptr);
  benchmark::Initialize(&count, arguments.data());

  registerCompared();
  MedianKeeper medians(benchmark::CreateDefaultDisplayReporter());
  benchmark::RunSpecifiedBenchmarks(&medians);
  printComparison(medians, core, console ? std::cout : std::cerr);
  benchmark::Shutdown();
  std::filesystem::remove_all(scratch, ignored);
  return 0;
}
