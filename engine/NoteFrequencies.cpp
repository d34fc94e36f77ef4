#include "engine/NoteFrequencies.h"

namespace zvx {

NoteFrequencies::NoteFrequencies() {
  const double ratio = 1.059463094359;
  double f = 6.875;
  for (int i = 0; i < 3; ++i) f *= ratio;
  for (int n = 0; n < kSize; ++n) {
    table_[n] = static_cast<float>(f);
    f *= ratio;
  }
}

const NoteFrequencies& NoteFrequencies::instance() {
  static const NoteFrequencies table;
  return table;
}

}  // namespace zvx
