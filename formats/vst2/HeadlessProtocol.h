// A vendor-specific protocol through which a host without a screen (our test
// host, zvx-view --headless, zvx-render) drives an editor that was opened
// with no parent window: it feeds input events, answers pop-up menus, reads
// the pixels and asks what the editor consists of.
//
// effVendorSpecific with index kHeadlessOpcode, value = one of HeadlessOp,
// ptr = the operation's structure below. Every call answers 0 when the
// editor is closed or has a real window.
#pragma once

#include <cstdint>

#include "formats/vst2/VstAbi.h"

constexpr VstInt32 kHeadlessOpcode = fourCharCode("ZVXh");

enum HeadlessOp : VstIntPtr {
  // ptr: HeadlessEvent*. Queued for the next effEditIdle. Answers 1.
  kHeadlessPushEvent = 1,
  // ptr: HeadlessPixels*. Answers 1 and fills width and height; copies the
  // frame's pixels (0xAARRGGBB, rows top to bottom) when `pixels` holds
  // `capacity` >= width * height of them.
  kHeadlessReadPixels = 2,
  // ptr: HeadlessMenuAnswer*. Queues the choice for the next pop-up menu;
  // a menu with no answer queued is dismissed. Answers 1.
  kHeadlessAnswerMenu = 3,
  // ptr: HeadlessText*. The entries of the last pop-up menu shown, one line
  // each: "[x] " for a checked entry, "[ ] " otherwise, then the title;
  // sub-menu entries follow their parent indented by two spaces.
  kHeadlessLastMenu = 4,
  // ptr: HeadlessText*. What the editor consists of, one line per view (the
  // editor's own description).
  kHeadlessDescribe = 5,
};

struct HeadlessEvent {
  enum Type : VstInt32 { MouseDown, MouseUp, MouseMove, Wheel, KeyDown, KeyUp };
  VstInt32 type = MouseMove;
  VstInt32 x = 0, y = 0;   // frame coordinates
  VstInt32 buttons = 0;    // buttons and modifiers held after the event: 1 left, 2 middle, 4 right, 8 shift, 16 control, 32 alt
  float wheel = 0.0f;      // Wheel: steps, positive up
  VstInt32 key = 0;        // KeyDown/KeyUp: the character, or a VST virtual key + 256
};

struct HeadlessPixels {
  VstInt32 width = 0, height = 0;  // filled in
  std::uint32_t* pixels = nullptr;
  std::int64_t capacity = 0;  // in pixels
};

struct HeadlessMenuAnswer {
  VstInt32 depth = 0;   // entries in `path`; 0 dismisses the menu
  VstInt32 path[8]{};   // the entry chosen at each level, outermost first
};

// Text answers: the full length is answered (without the terminating NUL);
// up to capacity - 1 bytes are copied, terminated.
struct HeadlessText {
  char* text = nullptr;
  std::int64_t capacity = 0;
};
