#include "formats/vst2/HeadlessRemote.h"

#include <algorithm>
#include <cstring>

#include "gui/CFrame.h"
#include "gui/HeadlessWindow.h"

using zvx::gui::HeadlessWindow;
using zvx::gui::InputEvent;
using zvx::gui::MenuChoice;
using zvx::gui::MenuModel;

namespace {

void describeMenu(const MenuModel& menu, const std::string& indent, std::string& out) {
  for (const MenuModel::Entry& entry : menu.entries) {
    out += indent + (entry.checked ? "[x] " : "[ ] ") + entry.title + (entry.enabled ? "" : " (disabled)") + "\n";
    if (entry.submenu) describeMenu(*entry.submenu, indent + "  ", out);
  }
}

}  // namespace

bool HeadlessRemote::isHeadless(CFrame* frame) {
  auto* window = dynamic_cast<HeadlessWindow*>(frame->window());
  if (!window) return false;
  // Frames come and go with open and close; each gets the chooser anew.
  window->setMenuChooser([this](const MenuModel& menu, const CPoint&) { return choose(menu); });
  return true;
}

MenuChoice HeadlessRemote::choose(const MenuModel& menu) {
  lastMenu_.clear();
  describeMenu(menu, "", lastMenu_);
  if (answers_.empty()) return {};
  MenuChoice choice = std::move(answers_.front());
  answers_.pop_front();
  return choice;
}

VstIntPtr HeadlessRemote::answerText(void* data, const std::string& text) {
  auto* answer = static_cast<HeadlessText*>(data);
  if (answer->text && answer->capacity > 0) {
    const std::size_t length = std::min(text.size(), static_cast<std::size_t>(answer->capacity - 1));
    std::memcpy(answer->text, text.data(), length);
    answer->text[length] = 0;
  }
  return static_cast<VstIntPtr>(text.size());
}

VstIntPtr HeadlessRemote::handle(CFrame* frame, VstIntPtr op, void* data) {
  if (!frame || !data || !isHeadless(frame)) return 0;
  auto* window = static_cast<HeadlessWindow*>(frame->window());
  switch (op) {
    case kHeadlessPushEvent: {
      const auto* event = static_cast<const HeadlessEvent*>(data);
      if (event->type < HeadlessEvent::MouseDown || event->type > HeadlessEvent::KeyUp) return 0;
      InputEvent input;
      input.type = static_cast<InputEvent::Type>(event->type);
      input.where = CPoint(event->x, event->y);
      input.buttons = event->buttons;
      input.wheel = event->wheel;
      input.key = event->key;
      window->push(input);
      return 1;
    }
    case kHeadlessReadPixels: {
      auto* pixels = static_cast<HeadlessPixels*>(data);
      const zvx::gui::Surface& surface = frame->surface();
      pixels->width = surface.width();
      pixels->height = surface.height();
      const auto count = static_cast<std::int64_t>(surface.pixels().size());
      if (pixels->pixels && pixels->capacity >= count)
        std::memcpy(pixels->pixels, surface.data(), static_cast<std::size_t>(count) * sizeof(std::uint32_t));
      return 1;
    }
    case kHeadlessAnswerMenu: {
      const auto* answer = static_cast<const HeadlessMenuAnswer*>(data);
      const int depth = std::clamp<int>(answer->depth, 0, 8);
      answers_.emplace_back(answer->path, answer->path + depth);
      return 1;
    }
    case kHeadlessLastMenu:
      return answerText(data, lastMenu_);
    default:
      return 0;
  }
}
