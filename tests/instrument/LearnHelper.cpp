// zvx_learn_helper MODULE [X,Y,CC ...]: a host process for the learn map tests.
// Each X,Y,CC right-clicks (X, Y), chooses "MidiLearn" and plays controller CC;
// then "ready", and on SIGUSR1 the instance closes, saving the map.
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
