// What the VST 2.4 module tells hosts about its parameters, outputs and
// keys, filled in from the instrument's one description.
#pragma once

#include "formats/vst2/VstAbi.h"

namespace zvx::vst2 {

// Each false for an index that names nothing.
bool describeParameter(int index, VstParameterProperties& properties);
bool describeOutput(int index, VstPinProperties& properties);
// The key's name, whatever the program (the kits all answer the same notes).
bool nameKey(MidiKeyName& key);
// One MIDI program per channel, the kit; its answers as the opcodes return them.
VstIntPtr nameMidiProgram(MidiProgramName& program);

}  // namespace zvx::vst2
