// The plug-in's ports as the description lists them and the adapter connects
// them: the MIDI input, the six outputs, then one control input per parameter.
#pragma once

#include <string>

#include "engine/Parameters.h"
#include "instrument/Instrument.h"

namespace zvx::lv2 {

inline constexpr const char* kPluginUri = "https://zvx.audio/lv2/zvx";
inline constexpr const char* kUiUri = "https://zvx.audio/lv2/zvx#ui";
// The bank image and the current program, saved as one chunk.
inline constexpr const char* kBankStateUri = "https://zvx.audio/lv2/zvx#bank";
// A preset's state: the program it selects.
inline constexpr const char* kProgramStateUri = "https://zvx.audio/lv2/zvx#program";
// The bank the presets are listed in.
inline constexpr const char* kFactoryBankUri = "https://zvx.audio/lv2/zvx#factory";

constexpr int kMidiInPort = 0;
constexpr int kFirstOutputPort = 1;
constexpr int kFirstParameterPort = kFirstOutputPort + Instrument::kOutputs;
constexpr int kPortCount = kFirstParameterPort + kNumParameters;

// A port symbol for every parameter: its name as an identifier, with the
// index added where names repeat ("Wrong", "NonUsed").
std::string parameterSymbol(int index);

}  // namespace zvx::lv2
