// Costs of the plug-in as a host pays them, through the built module.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "engine/Parameters.h"
#include "vsthost/VstHost.h"

namespace {

using zvx::testhost::Module;
using zvx::testhost::Plugin;

const Module& module() {
  static std::unique_ptr<Module> loaded = [] {
    std::string error;
    auto m = Module::load(ZVX_MODULE_PATH, error);
    if (!m) {
      std::fprintf(stderr, "%s\n", error.c_str());
      std::abort();
    }
    return m;
  }();
  return *loaded;
}

std::unique_ptr<Plugin> startedPlugin() {
  std::string error;
  auto plugin = Plugin::create(module(), {}, error);
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
void BM_ProcessAsleep(benchmark::State& state) {
  auto plugin = startedPlugin();
  processBlocks(state, *plugin);
}
BENCHMARK(BM_ProcessAsleep)->Arg(512);

// All four voices rendered every sample: held notes keep their envelopes
// active (sustain 0 ends in the sustain state, not idle).
void BM_ProcessFourVoices(benchmark::State& state) {
  auto plugin = startedPlugin();
  plugin->setParameter(zvx::param::kBDMix, 0.0f);  // synth bass drum
  using zvx::testhost::midiEvent;
  plugin->sendEvents({midiEvent(0, 0x90, 35, 120), midiEvent(0, 0x90, 38, 110), midiEvent(0, 0x90, 46, 100),
                      midiEvent(0, 0x90, 39, 100)});
  processBlocks(state, *plugin);
}
BENCHMARK(BM_ProcessFourVoices)->Arg(512);

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
  setenv("ZVX_MESSAGES", "stderr", 1);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::filesystem::remove_all(scratch, ignored);
  return 0;
}
