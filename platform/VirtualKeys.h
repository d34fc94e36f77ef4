// The virtual key codes a VST 2.4 host numbers keys by (effEditKeyDown's
// `value`), which every platform's window translates its own keys into.
#pragma once

namespace zvx::platform {

// clang-format off
enum VirtualKey {
  kVkBack = 1, kVkTab, kVkClear, kVkReturn, kVkPause, kVkEscape, kVkSpace, kVkNext, kVkEnd, kVkHome,
  kVkLeft, kVkUp, kVkRight, kVkDown, kVkPageUp, kVkPageDown, kVkSelect, kVkPrint, kVkEnter, kVkSnapshot,
  kVkInsert, kVkDelete, kVkHelp, kVkNumpad0, kVkMultiply = 34, kVkAdd, kVkSeparator, kVkSubtract, kVkDecimal,
  kVkDivide, kVkF1, kVkNumLock = 52, kVkScroll, kVkShift, kVkControl, kVkAlt, kVkEquals
};
// clang-format on

}  // namespace zvx::platform
