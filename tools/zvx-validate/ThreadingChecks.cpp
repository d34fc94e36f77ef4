// F: a host's threads at once (audio, GUI automation storm, state on a
// background thread), and a host that calls back into the plug-in from its
// callbacks, as old Ardour did.
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <thread>

#include "formats/vst2/HeadlessProtocol.h"
#include "tools/zvx-validate/Validator.h"

namespace zvx::validate {
namespace {

using Clock = std::chrono::steady_clock;

void checkStorm(Session& session) {
  Check check("F.storm", "audio, a GUI-thread parameter storm and background state changes at once");
  auto plugin = session.started(44100.0f, 128);
  if (!check.expect(plugin != nullptr, "no plug-in")) return;
  const int params = plugin->effect()->numParams, programs = plugin->effect()->numPrograms;
  const std::vector<unsigned char> bank = chunkOf(*plugin, 0), preset = chunkOf(*plugin, 1);
  std::atomic<bool> stop{false};
  std::atomic<int> blocks{0}, sets{0}, states{0};
  std::string audioProblem;
  std::thread audio([&] {
    Outputs out(plugin->effect()->numOutputs, 128);
    EventList list;
    std::mt19937 random(session.seed() + 7);
    while (!stop) {
      list.clear();
      if (random() % 4 == 0) list.add(vsthost::midiEvent(static_cast<int>(random() % 128), 0x90, 35 + static_cast<int>(random() % 12), 127));
      if (random() % 8 == 0) list.add(vsthost::midiEvent(static_cast<int>(random() % 128), 0xB0, static_cast<int>(random() % 128), static_cast<int>(random() % 128)));
      // Automation from the audio thread too.
      if (params > 0) plugin->setParameter(static_cast<int>(random() % static_cast<unsigned>(params)), 0.5f);
      const std::string problem = processBlock(*plugin, out, 128, &list);
      if (!problem.empty() && audioProblem.empty()) audioProblem = problem;
      ++blocks;
    }
  });
  std::thread state([&] {
    std::mt19937 random(session.seed() + 8);
    while (!stop) {
      switch (random() % 3) {
        case 0: chunkOf(*plugin, static_cast<int>(random() % 2)); break;
        case 1:
          if (!bank.empty()) {
            std::vector<unsigned char> copy = random() % 2 ? bank : preset;
            if (!copy.empty())
              plugin->dispatch(effSetChunk, copy.size() == bank.size() ? 0 : 1, static_cast<VstIntPtr>(copy.size()),
                               copy.data());
          }
          break;
        default:
          if (programs > 0) plugin->dispatch(effSetProgram, 0, static_cast<VstIntPtr>(random() % static_cast<unsigned>(programs)));
      }
      ++states;
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
  });
  // The GUI thread: every parameter 500 times, with the host told.
  std::mt19937 random(session.seed() + 9);
  // At least 500 rounds and at least a second, at most three.
  const auto least = Clock::now() + std::chrono::seconds(1), end = Clock::now() + std::chrono::seconds(3);
  for (int round = 0; (round < 500 || Clock::now() < least) && Clock::now() < end; ++round)
    for (int p = 0; p < params; ++p) {
      plugin->setParameter(p, static_cast<float>(random() % 1001) / 1000.0f);
      plugin->getParameter(p);
      ++sets;
    }
  stop = true;
  audio.join();
  state.join();
  check.expect(audioProblem.empty(), audioProblem);
  check.expect(blocks > 10, "the audio thread rendered only " + std::to_string(blocks.load()) + " blocks");
  for (int p = 0; p < params; ++p) {
    const float value = plugin->getParameter(p);
    check.expect(std::isfinite(value), "parameter " + std::to_string(p) + " is " + describeFloat(value));
  }
  count("blocks", blocks);
  check.detail(std::to_string(blocks.load()) + " blocks, " + std::to_string(sets.load()) + " parameter sets, " +
               std::to_string(states.load()) + " state changes");
}

void checkReentrantHost(Session& session) {
  Check check("F.reentrant", "a host that calls back into the plug-in from its callbacks: no deadlock, no recursion");
  std::atomic<int> depth{0}, deepest{0}, reentered{0};
  vsthost::HostConfig config;
  config.intercept = [&](AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr, void*,
                         float opt) -> std::optional<VstIntPtr> {
    if (!effect) return std::nullopt;
    if (opcode != audioMasterAutomate && opcode != audioMasterUpdateDisplay && opcode != audioMasterIdle)
      return std::nullopt;
    const int level = ++depth;
    deepest = std::max(deepest.load(), level);
    if (level <= 8) {
      ++reentered;
      if (opcode == audioMasterAutomate)
        effect->setParameter(effect, index, opt);  // as old Ardour did
      else
        effect->dispatcher(effect, effEditIdle, 0, 0, nullptr, 0.0f);
    }
    --depth;
    return std::nullopt;  // answered by the host as usual
  };
  auto plugin = session.started(44100.0f, 256, config);
  if (!check.expect(plugin != nullptr, "no plug-in")) return;
  // A watchdog: a deadlock is reported as such, not as a hung group.
  std::atomic<bool> finished{false};
  std::thread watchdog([&] {
    for (int i = 0; i < 300 && !finished; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(100));
    if (!finished) {
      std::printf("FAIL F.reentrant a host that calls back into the plug-in: deadlocked\n");
      std::fflush(stdout);
      std::_Exit(1);
    }
  });
  const bool editor = (plugin->effect()->flags & effFlagsHasEditor) && plugin->dispatch(effEditOpen, 0, 0, nullptr) == 1;
  const int programs = plugin->effect()->numPrograms;
  for (int i = 0; i < 20 && programs > 0; ++i) {
    plugin->dispatch(effSetProgram, 0, i % programs);
    if (editor) plugin->dispatch(effEditIdle);
  }
  const std::vector<unsigned char> bank = chunkOf(*plugin, 0);
  if (!bank.empty()) {
    std::vector<unsigned char> copy = bank;
    plugin->dispatch(effSetChunk, 0, static_cast<VstIntPtr>(copy.size()), copy.data());
  }
  // The editor's own edits reach audioMasterAutomate: drive a drag where
  // the headless protocol allows it.
  if (editor) {
    HeadlessEvent probe;
    for (int i = 0; i < 6; ++i) {
      const int x = 40 + 60 * i, y = 100;
      HeadlessEvent e;
      e.type = HeadlessEvent::MouseDown, e.x = x, e.y = y, e.buttons = 1;
      plugin->dispatch(effVendorSpecific, kHeadlessOpcode, kHeadlessPushEvent, &e);
      e.type = HeadlessEvent::MouseMove, e.y = y - 30;
      plugin->dispatch(effVendorSpecific, kHeadlessOpcode, kHeadlessPushEvent, &e);
      e.type = HeadlessEvent::MouseUp, e.buttons = 0;
      plugin->dispatch(effVendorSpecific, kHeadlessOpcode, kHeadlessPushEvent, &e);
      plugin->dispatch(effEditIdle);
    }
    (void)probe;
    plugin->dispatch(effEditClose);
  }
  Outputs out(plugin->effect()->numOutputs, 256);
  check.expect(processBlock(*plugin, out, 256).empty(), "renders badly afterwards");
  finished = true;
  watchdog.join();
  check.expect(deepest <= 2, "the plug-in called back " + std::to_string(deepest.load()) +
                                 " levels deep from inside its own callbacks");
  check.detail(std::to_string(reentered.load()) + " callbacks answered by calling back");
}

}  // namespace

void runThreadingChecks(Session& session) {
  checkStorm(session);
  checkReentrantHost(session);
}

}  // namespace zvx::validate
