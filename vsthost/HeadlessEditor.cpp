#include "vsthost/HeadlessEditor.h"

#include <cstdio>
#include <sstream>

namespace zvx::vsthost {

namespace {

HeadlessEvent mouseEvent(HeadlessEvent::Type type, int x, int y, int buttons) {
  HeadlessEvent event;
  event.type = type;
  event.x = x;
  event.y = y;
  event.buttons = buttons;
  return event;
}

}  // namespace

bool HeadlessEditor::open() { return plugin_.dispatch(effEditOpen, 0, 0, nullptr) == 1; }

void HeadlessEditor::close() { plugin_.dispatch(effEditClose); }

void HeadlessEditor::idle(int times) {
  for (int i = 0; i < times; ++i) plugin_.dispatch(effEditIdle);
}

bool HeadlessEditor::push(const HeadlessEvent& event) {
  HeadlessEvent copy = event;
  return plugin_.dispatch(effVendorSpecific, kHeadlessOpcode, kHeadlessPushEvent, &copy) == 1;
}

void HeadlessEditor::click(int x, int y, int buttons) {
  push(mouseEvent(HeadlessEvent::MouseMove, x, y, 0));
  push(mouseEvent(HeadlessEvent::MouseDown, x, y, buttons));
  push(mouseEvent(HeadlessEvent::MouseUp, x, y, buttons & ~(kLeft | kMiddle | kRight)));
  idle();
}

void HeadlessEditor::drag(int fromX, int fromY, int toX, int toY, int steps, int modifiers) {
  push(mouseEvent(HeadlessEvent::MouseMove, fromX, fromY, modifiers));
  push(mouseEvent(HeadlessEvent::MouseDown, fromX, fromY, kLeft | modifiers));
  for (int step = 1; step <= steps; ++step)
    push(mouseEvent(HeadlessEvent::MouseMove, fromX + (toX - fromX) * step / steps, fromY + (toY - fromY) * step / steps,
                    kLeft | modifiers));
  push(mouseEvent(HeadlessEvent::MouseUp, toX, toY, modifiers));
  idle();
}

void HeadlessEditor::moveTo(int x, int y) {
  push(mouseEvent(HeadlessEvent::MouseMove, x, y, 0));
  idle();
}

void HeadlessEditor::wheel(int x, int y, float distance) {
  push(mouseEvent(HeadlessEvent::MouseMove, x, y, 0));
  HeadlessEvent event = mouseEvent(HeadlessEvent::Wheel, x, y, 0);
  event.wheel = distance;
  push(event);
  idle();
}

void HeadlessEditor::answerMenu(const std::vector<int>& path) {
  HeadlessMenuAnswer answer;
  answer.depth = static_cast<VstInt32>(std::min<std::size_t>(path.size(), 8));
  for (VstInt32 i = 0; i < answer.depth; ++i) answer.path[i] = path[static_cast<std::size_t>(i)];
  plugin_.dispatch(effVendorSpecific, kHeadlessOpcode, kHeadlessAnswerMenu, &answer);
}

std::string HeadlessEditor::text(HeadlessOp op) {
  HeadlessText probe;
  const VstIntPtr length = plugin_.dispatch(effVendorSpecific, kHeadlessOpcode, op, &probe);
  if (length <= 0) return {};
  std::string out(static_cast<std::size_t>(length) + 1, '\0');
  HeadlessText answer{out.data(), static_cast<std::int64_t>(out.size())};
  plugin_.dispatch(effVendorSpecific, kHeadlessOpcode, op, &answer);
  out.resize(static_cast<std::size_t>(length));
  return out;
}

std::string HeadlessEditor::lastMenu() { return text(kHeadlessLastMenu); }

std::string HeadlessEditor::describe() { return text(kHeadlessDescribe); }

Picture HeadlessEditor::picture() {
  HeadlessPixels probe;
  Picture picture;
  if (plugin_.dispatch(effVendorSpecific, kHeadlessOpcode, kHeadlessReadPixels, &probe) != 1) return picture;
  picture.width = probe.width;
  picture.height = probe.height;
  picture.pixels.resize(static_cast<std::size_t>(probe.width) * static_cast<std::size_t>(probe.height));
  HeadlessPixels read{0, 0, picture.pixels.data(), static_cast<std::int64_t>(picture.pixels.size())};
  plugin_.dispatch(effVendorSpecific, kHeadlessOpcode, kHeadlessReadPixels, &read);
  return picture;
}

std::optional<std::string> HeadlessEditor::line(const std::string& className, long tag) {
  std::istringstream lines(describe());
  const std::string prefix = className + " tag=" + std::to_string(tag) + " ";
  for (std::string line; std::getline(lines, line);)
    if (line.rfind(prefix, 0) == 0) return line;
  return std::nullopt;
}

std::optional<ViewRect> HeadlessEditor::find(const std::string& className, long tag) {
  const std::optional<std::string> found = line(className, tag);
  if (!found) return std::nullopt;
  ViewRect rect;
  const std::size_t at = found->find(" rect=");
  if (at == std::string::npos ||
      std::sscanf(found->c_str() + at, " rect=%d,%d,%d,%d", &rect.left, &rect.top, &rect.right, &rect.bottom) != 4)
    return std::nullopt;
  return rect;
}

std::optional<float> HeadlessEditor::valueOf(const std::string& className, long tag) {
  const std::optional<std::string> found = line(className, tag);
  if (!found) return std::nullopt;
  const std::size_t at = found->find(" value=");
  float value = 0;
  if (at == std::string::npos || std::sscanf(found->c_str() + at, " value=%f", &value) != 1) return std::nullopt;
  return value;
}

}  // namespace zvx::vsthost
