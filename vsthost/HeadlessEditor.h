// A plug-in's editor opened without a window and driven through the headless
// protocol: input gestures, pop-up menu answers, pixels and the editor's own
// description. For tests, zvx-view --headless and screenshots.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "formats/vst2/HeadlessProtocol.h"
#include "vsthost/VstHost.h"

namespace zvx::vsthost {

struct Picture {
  int width = 0;
  int height = 0;
  std::vector<std::uint32_t> pixels;  // 0xAARRGGBB, rows top to bottom
  std::uint32_t at(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x]; }
};

struct ViewRect {
  int left = 0, top = 0, right = 0, bottom = 0;
  int centreX() const { return (left + right) / 2; }
  int centreY() const { return (top + bottom) / 2; }
};

class HeadlessEditor {
 public:
  static constexpr int kLeft = 1, kMiddle = 2, kRight = 4, kShift = 8, kControl = 16, kAlt = 32;

  explicit HeadlessEditor(Plugin& plugin) : plugin_(plugin) {}

  // effEditOpen with no parent window.
  bool open();
  void close();
  void idle(int times = 1);

  // Gestures, each queued whole and then served by one idle call.
  void click(int x, int y, int buttons = kLeft);
  void drag(int fromX, int fromY, int toX, int toY, int steps = 8, int modifiers = 0);
  void moveTo(int x, int y);
  void wheel(int x, int y, float distance);
  // Queues one event without idling.
  bool push(const HeadlessEvent& event);

  // The path to choose in the next pop-up menu (outermost first); empty dismisses it.
  void answerMenu(const std::vector<int>& path);
  // The entries of the last menu shown, one line each ("[x] " or "[ ] " and the title).
  std::string lastMenu();
  std::string describe();
  Picture picture();

  // The rectangle of the first view in the description with that class and tag.
  std::optional<ViewRect> find(const std::string& className, long tag);
  // The value the description gives that view.
  std::optional<float> valueOf(const std::string& className, long tag);

 private:
  std::string text(HeadlessOp op);
  std::optional<std::string> line(const std::string& className, long tag);

  Plugin& plugin_;
};

}  // namespace zvx::vsthost
