// The 83 parameters: host-facing name, default value, and what the setter
// derives from each (role and voice). Every consumer reads this one table.
#pragma once

#include <array>

#include "engine/Parameters.h"

namespace zvx {

struct ParameterInfo {
  const char* name;  // at most 16 characters, trailing blanks included
  float defaultValue;
  ParamRole role;
  int voice;  // -1 for global parameters
};

extern const std::array<ParameterInfo, kNumParameters> kParameterTable;

// Role and voice of any setter index: the table's for 0 to 82, Pad for the
// trigger pads 99 to 102, Stored (nothing derived) for every other index.
ParamRole roleOf(int index);
int voiceOf(int index);

}  // namespace zvx
