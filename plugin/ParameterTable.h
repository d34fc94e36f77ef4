// The 83 parameters: host-facing name, default value, and what the setter
// derives from each (role and voice). Every consumer reads this one table.
#pragma once

#include <array>
#include <string>

#include "engine/Parameters.h"

namespace zvx {

// The values a parameter whose record is unclamped can take: beyond them the
// engine's arithmetic would overflow (or its filters and glides run away).
constexpr float kUnclampedLowest = -2.0f;
constexpr float kUnclampedHighest = 3.0f;

struct ParameterInfo {
  const char* name;  // at most 16 characters, trailing blanks included
  float defaultValue;
  ParamRole role;
  int voice;  // -1 for global parameters
};

extern const std::array<ParameterInfo, kNumParameters> kParameterTable;

class BankImage;

// Gives every parameter record its name, default and flags, and every program
// the defaults (the programs keep their names).
void fillWithDefaults(BankImage& bank);

// The index of the parameter with this name, trailing blanks and case
// ignored; -1 when no parameter or several have it.
int parameterIndex(const std::string& name);

// Role and voice of any setter index: the table's for 0 to 82, Pad for the
// trigger pads 99 to 102, Stored (nothing derived) for every other index.
ParamRole roleOf(int index);
int voiceOf(int index);

}  // namespace zvx
