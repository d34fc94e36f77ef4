// A key as the views receive it: its character, or for keys without one a
// virtual key number (the numbering VST hosts use), and the modifier keys
// held with it.
#pragma once

struct ViewKey {
  int character = 0;
  unsigned char virt = 0;
  unsigned char modifier = 0;
};

// Modifier bits of ViewKey::modifier.
enum KeyModifier : unsigned char { kKeyShift = 1, kKeyAlternate = 2, kKeyCommand = 4, kKeyControl = 8 };
