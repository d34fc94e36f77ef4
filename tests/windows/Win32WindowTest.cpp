// The Win32 editor window on its own under wine: what it shows, and the
// toolkit events it makes of the mouse, wheel and key messages that
// SendInput gives it.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "platform/EditorWindow.h"
#include "tests/windows/WindowsSupport.h"

namespace zvx::wintest {
namespace {

using gui::InputEvent;
using namespace std::chrono_literals;

constexpr int kVkLeft = 256 + 11, kVkShift = 256 + 54, kVkAlt = 256 + 56;

std::string text(const InputEvent& e) {
  const char* types[] = {"down", "up", "move", "wheel", "key down", "key up"};
  return std::string(types[e.type]) + " at " + std::to_string(e.where.h) + "," + std::to_string(e.where.v) +
         " buttons " + std::to_string(e.buttons) + " wheel " + std::to_string(e.wheel) + " key " + std::to_string(e.key) + "\n";
}

TEST(Win32Window, ShowsThePresentedSurfaceAndTurnsMessagesIntoToolkitEvents) {
  HostWindow host(500, 300, 200, 100);
  auto window = platform::createEditorWindow(host.handle(), 200, 100);
  ASSERT_NE(window, nullptr);
  gui::Surface picture(200, 100, gui::makePixel(250, 10, 10));
  picture.at(199, 99) = gui::makePixel(1, 2, 3);
  window->present(picture, CRect(0, 0, 200, 100));
  ASSERT_EQ(host.children().size(), 1u);
  HWND child = host.children()[0];
  EXPECT_EQ(differingPixels(capture(child), picture), 0);

  const POINT start = onScreen(child, 20, 30);
  moveMouse(start);
  key(VK_SHIFT, true);
  mouseButton(MOUSEEVENTF_LEFTDOWN);
  mouseButton(MOUSEEVENTF_LEFTUP);
  key(VK_SHIFT, false);
  mouseButton(MOUSEEVENTF_WHEEL);
  mouseButton(MOUSEEVENTF_RIGHTDOWN);
  moveMouse({start.x + 20, start.y + 20});
  moveMouse({start.x + 21, start.y + 21});
  mouseButton(MOUSEEVENTF_RIGHTUP);
  // Alt as GetKeyState sees it while the message is handled.
  key(VK_MENU, true);
  mouseButton(MOUSEEVENTF_MIDDLEDOWN);
  mouseButton(MOUSEEVENTF_MIDDLEUP);
  key(VK_MENU, false);
  for (WORD vk : {WORD('A'), WORD(VK_LEFT)}) key(vk, true), key(vk, false);

  std::string seen;
  int movesWhileHeld = 0;
  for (const auto giveUp = std::chrono::steady_clock::now() + 3s; std::chrono::steady_clock::now() < giveUp;) {
    pumpMessages();
    InputEvent event;
    while (window->nextEvent(event, false)) {
      movesWhileHeld += event.type == InputEvent::MouseMove && (event.buttons & kRButton);
      if (event.type != InputEvent::MouseMove && event.key != kVkShift && event.key != kVkAlt) seen += text(event);
    }
    if (seen.ends_with(text({InputEvent::KeyUp, CPoint(41, 51), 0, 0, kVkLeft}))) break;
    std::this_thread::sleep_for(5ms);
  }
  auto at = [](InputEvent::Type type, int x, int y, long buttons, float wheel = 0, int key = 0) {
    return text({type, CPoint(x, y), buttons, wheel, key});
  };
  EXPECT_EQ(seen, at(InputEvent::MouseDown, 20, 30, kLButton | kShift) + at(InputEvent::MouseUp, 20, 30, kShift) +
                      at(InputEvent::Wheel, 20, 30, 0, 1) + at(InputEvent::MouseDown, 20, 30, kRButton) +
                      at(InputEvent::MouseUp, 41, 51, 0) + at(InputEvent::MouseDown, 41, 51, kMButton | kAlt) +
                      at(InputEvent::MouseUp, 41, 51, kAlt) + at(InputEvent::KeyDown, 41, 51, 0, 0, 'a') +
                      at(InputEvent::KeyUp, 41, 51, 0, 0, 'a') + at(InputEvent::KeyDown, 41, 51, 0, 0, kVkLeft) +
                      at(InputEvent::KeyUp, 41, 51, 0, 0, kVkLeft));
  EXPECT_EQ(movesWhileHeld, 1) << "consecutive moves arrive as one";

  // A drag whose release never comes ends with one, after a while.
  InputEvent last;
  ASSERT_TRUE(window->nextEvent(last, true));
  EXPECT_EQ(last.type, InputEvent::MouseUp);
  EXPECT_EQ(last.buttons & (kLButton | kMButton | kRButton), 0);
  window.reset();
  EXPECT_TRUE(host.children().empty());
}

}  // namespace
}  // namespace zvx::wintest
