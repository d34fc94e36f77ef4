// The editor's side of the headless protocol: turns its calls into input on
// the frame's headless window, answers that window's pop-up menus from a
// queue the host fills, and hands out pixels and text.
#pragma once

#include <deque>
#include <string>

#include "formats/vst2/HeadlessProtocol.h"
#include "platform/PlatformWindow.h"

class CFrame;

class HeadlessRemote {
 public:
  // One protocol call on `frame` (null while the editor is closed);
  // `describe` gives the editor's description when asked for it.
  template <typename Describe>
  VstIntPtr handle(CFrame* frame, VstIntPtr op, void* data, Describe&& describe) {
    if (op == kHeadlessDescribe) return frame && isHeadless(frame) && data ? answerText(data, describe()) : 0;
    return handle(frame, op, data);
  }

 private:
  VstIntPtr handle(CFrame* frame, VstIntPtr op, void* data);
  bool isHeadless(CFrame* frame);
  zvx::gui::MenuChoice choose(const zvx::gui::MenuModel& menu);
  static VstIntPtr answerText(void* data, const std::string& text);

  std::deque<zvx::gui::MenuChoice> answers_;
  std::string lastMenu_;
};
