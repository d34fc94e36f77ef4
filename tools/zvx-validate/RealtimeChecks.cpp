// E: what the plug-in does on the audio thread, counted by the interposers of
// the audio-thread probe linked into this program: no allocation or free, no
// lock or wait, no sleep, no file I/O, no Xlib call while it processes events,
// renders or takes automation there.
#include <algorithm>
#include <chrono>
#include <thread>

#include "tools/zvx-validate/Validator.h"
#include "vsthost/AudioThreadProbe.h"

namespace zvx::validate {
namespace {

std::string describe(const vsthost::AudioThreadCounts& c) {
  return std::to_string(c.allocations) + " allocations, " + std::to_string(c.fileOpens) + " file opens, " +
         std::to_string(c.fileIo) + " file reads or writes, " + std::to_string(c.locks) + " locks or waits, " +
         std::to_string(c.sleeps) + " sleeps, " + std::to_string(c.xlib) + " Xlib calls";
}

vsthost::AudioThreadCounts since(const vsthost::AudioThreadCounts& a, const vsthost::AudioThreadCounts& b) {
  return {b.allocations - a.allocations, b.fileOpens - a.fileOpens, b.fileIo - a.fileIo,
          b.locks - a.locks,             b.sleeps - a.sleeps,       b.xlib - a.xlib};
}

// The audio thread of a busy session: notes on every block, controllers,
// bends, sysex, all notes off, and automation of every parameter.
void busyAudio(vsthost::Plugin& plugin, const Session& session, int blocks, int frames, bool editorOpen,
               vsthost::AudioThreadCounts& counted, double& worstMicros) {
  const int params = plugin.effect()->numParams;
  Outputs out(plugin.effect()->numOutputs, frames);
  EventList list;
  std::mt19937 random(session.seed() + 5);
  for (int block = 0; block < blocks; ++block) {
    list.clear();
    static const int kNotes[] = {35, 36, 38, 40, 42, 44, 46, 33, 60, 64};
    for (int n = 0; n < 4; ++n)
      list.add(vsthost::midiEvent(static_cast<int>(random() % static_cast<unsigned>(frames)), 0x90 | n,
                                   kNotes[random() % 10], 1 + static_cast<int>(random() % 127)));
    list.add(vsthost::midiEvent(frames / 2, 0xB0, static_cast<int>(random() % 128), static_cast<int>(random() % 128)));
    if (block % 9 == 4) list.add(vsthost::midiEvent(0, 0xE0, 0, 64));
    if (block % 11 == 5) list.addSysex(1, 16);
    if (block % 50 == 49) list.add(vsthost::midiEvent(0, 0xB0, 123, 0));
    VstEvents* events = list.block();
    std::vector<std::pair<int, float>> automation;
    for (int n = 0; n < 3 && params > 0; ++n)
      automation.emplace_back(static_cast<int>(random() % static_cast<unsigned>(params)),
                              static_cast<float>(random() % 1001) / 1000.0f);
    out.arm(frames);
    const auto before = vsthost::audioThreadCounts();
    const auto start = std::chrono::steady_clock::now();
    {
      vsthost::AudioThreadScope audio;
      for (const auto& [index, value] : automation) plugin.effect()->setParameter(plugin.effect(), index, value);
      plugin.effect()->dispatcher(plugin.effect(), effProcessEvents, 0, 0, events, 0.0f);
      plugin.effect()->processReplacing(plugin.effect(), nullptr, out.pointers(), frames);
    }
    const double micros = std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count();
    const auto added = since(before, vsthost::audioThreadCounts());
    counted = {counted.allocations + added.allocations, counted.fileOpens + added.fileOpens,
               counted.fileIo + added.fileIo,           counted.locks + added.locks,
               counted.sleeps + added.sleeps,           counted.xlib + added.xlib};
    if (block > 10) worstMicros = std::max(worstMicros, micros);
    (void)editorOpen;
  }
}

void checkAudioThread(Session& session, bool withEditor) {
  Check check(withEditor ? "E.realtime-editor" : "E.realtime",
              withEditor ? "nothing blocking on the audio thread while the editor is open and idled"
                         : "no allocation, lock, sleep, file I/O or Xlib call on the audio thread");
  // Like the hosts that answer it, the host tells which thread is real-time.
  vsthost::HostConfig config;
  config.intercept = [](AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float) -> std::optional<VstIntPtr> {
    if (opcode != audioMasterGetCurrentProcessLevel) return std::nullopt;
    return vsthost::onMarkedThread() ? kVstProcessLevelRealtime : kVstProcessLevelUser;
  };
  auto plugin = session.started(44100.0f, 256, config);
  if (!check.expect(plugin != nullptr, "no plug-in")) return;
  const bool editor = withEditor && (plugin->effect()->flags & effFlagsHasEditor);
  if (withEditor && !editor) {
    check.skip("the plug-in has no editor");
    return;
  }
  // The first blocks may set things up; hosts run a few before playing.
  Outputs warm(plugin->effect()->numOutputs, 256);
  for (int i = 0; i < 4; ++i) processBlock(*plugin, warm, 256);
  if (editor && plugin->dispatch(effEditOpen, 0, 0, nullptr) != 1) {
    check.skip("the editor does not open without a window");
    return;
  }
  vsthost::AudioThreadCounts counted;
  double worst = 0.0;
  std::atomic<bool> done{false};
  std::thread audio([&] {
    busyAudio(*plugin, session, withEditor ? 600 : 1500, 256, editor, counted, worst);
    done = true;
  });
  while (editor && !done) {
    plugin->dispatch(effEditIdle);
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  audio.join();
  if (editor) plugin->dispatch(effEditClose);
  if (!vsthost::countsAllocations())
    note("E: the malloc family is the sanitizer's here; only operator new and delete were counted");
  const char* first = vsthost::firstAudioThreadCall();
  check.expect(counted.total() == 0,
               describe(counted) + (first ? std::string(" (first: ") + first + ")" : std::string()));
  count("blocks", withEditor ? 600 : 1500);
  check.detail(describe(counted));
  if (!withEditor) note("E.budget: slowest 256-frame block with four hits and automation took " +
                        std::to_string(static_cast<int>(worst)) + " us (" +
                        std::to_string(static_cast<int>(worst / (256.0 / 44100.0 * 1e6) * 100.0)) +
                        "% of its real time)");
}

}  // namespace

void runRealtimeChecks(Session& session) {
  checkAudioThread(session, false);
  checkAudioThread(session, true);
}

}  // namespace zvx::validate
