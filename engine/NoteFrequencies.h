// Equal-tempered note frequencies, note 69 = 440 Hz: f[n] = 6.875 * r^(n+3),
// built in double by repeated multiplication and stored as float. The table
// runs past note 127 because key tracking and clap transposition index beyond it.
#pragma once

namespace zvx {

class NoteFrequencies {
 public:
  static constexpr int kSize = 256;

  static const NoteFrequencies& instance();

  // Indexes outside the table are clamped to its ends.
  float operator[](int index) const {
    if (index < 0) index = 0;
    if (index >= kSize) index = kSize - 1;
    return table_[index];
  }

 private:
  NoteFrequencies();
  float table_[kSize];
};

}  // namespace zvx
