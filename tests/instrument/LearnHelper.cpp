// A host process of its own for the learn map tests: loads a module, learns
// controllers through its editor, and closes the instance when told.
//   zvx_learn_helper MODULE [X,Y,CC ...]
// Each X,Y,CC is a right click at (X, Y) in the editor, "MidiLearn" chosen
// from its menu, then controller CC played. It prints "ready" once the
// instance is open and has learned them all, waits for SIGUSR1, then closes
// the instance (which saves the map) and ends.
#include <signal.h>

#include <cstdio>
#include <string>

#include "vsthost/HeadlessEditor.h"
#include "vsthost/VstHost.h"

int main(int argc, char** argv) {
  using namespace zvx::vsthost;
  if (argc < 2) return 2;
  // Blocked before anyone hears "ready", so the signal waits for sigwait.
  sigset_t release;
  sigemptyset(&release);
  sigaddset(&release, SIGUSR1);
  sigprocmask(SIG_BLOCK, &release, nullptr);

  std::string error;
  auto module = Module::load(argv[1], error);
  auto plugin = module ? Plugin::create(*module, {}, error) : nullptr;
  if (!plugin) {
    std::fprintf(stderr, "zvx_learn_helper: %s\n", error.c_str());
    return 1;
  }
  plugin->start();
  for (int i = 2; i < argc; ++i) {
    int x = 0, y = 0, cc = 0;
    if (std::sscanf(argv[i], "%d,%d,%d", &x, &y, &cc) != 3) return 2;
    HeadlessEditor editor(*plugin);
    if (!editor.open()) return 1;
    editor.answerMenu({0});
    editor.click(x, y, HeadlessEditor::kRight);
    plugin->render(64, 64, {midiEvent(0, 0xB0, cc, 64)});
    editor.close();
  }
  std::printf("ready\n");
  std::fflush(stdout);
  int received = 0;
  sigwait(&release, &received);
  plugin->close();
  return 0;
}
