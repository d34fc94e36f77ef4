// What the VST3 plug-in tells hosts about its parameters, units, programs and
// buses, filled in from the instrument's one description; and the host's
// normalized values and texts turned into the instrument's values and back.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "engine/Parameters.h"
#include "formats/vst3/Vst3Abi.h"
#include "instrument/ParameterTable.h"

namespace zvx::vst3 {

// Parameter IDs. The instrument's parameters keep their VST 2.4 indexes, so
// that automation moves between the formats; the program and the MIDI
// controllers come after them.
constexpr ParamID kProgramId = 1000;
constexpr ParamID kFirstControllerId = 2000;  // + the controller number, 0 to 127
constexpr int kControllers = 128;
// In the host's list: the instrument's parameters, the program, the controllers.
constexpr int kListedParameters = kNumParameters + 1 + kControllers;
constexpr int kProgramSteps = 127;  // 128 programs

constexpr ProgramListID kProgramListId = 0;
// Units: the root (the instrument, whose program list it is), then one per section.
constexpr int kUnits = 1 + kSections;
constexpr UnitID unitOfSection(int section) { return 1 + section; }

inline bool isInstrumentParameter(ParamID id) { return id < static_cast<ParamID>(kNumParameters); }
// The controller a parameter ID stands for; none for other IDs.
std::optional<int> controllerOf(ParamID id);
// The ID listed at `index`; kNoParamId beyond the list.
ParamID listedId(int index);

bool describeParameter(int index, ParameterInfo& info);
bool describeUnit(int index, UnitInfo& info);
void describeProgramList(ProgramListInfo& info);

// Buses: one event input; the stereo mix and a mono bus per voice out.
constexpr int kOutputBuses = 1 + kNumVoices;
int busCount(MediaType type, BusDirection direction);
bool describeBus(MediaType type, BusDirection direction, int index, BusInfo& info);
int channelsOfBus(int bus);        // 2 for the mix, 1 for each voice
int firstOutputOfBus(int bus);     // the instrument's output of its first channel
SpeakerArrangement arrangementOfBus(int bus);

// The steps of a discrete parameter (0 for a continuous one).
int stepCount(ParamID id);
// The host's value of an instrument's parameter (0 to kNumParameters - 1)
// holding `value`, and the instrument's value for a host's.
double normalizedOf(int index, float value);
float instrumentValueOf(int index, double normalized);
// Whether the host's value says what `current` says already (an echo, or a
// value the host rounded as it kept it): then nothing needs to change.
bool saysAlready(int index, float current, double normalized);
int programOf(double normalized);
inline double normalizedOfProgram(int program) { return program / static_cast<double>(kProgramSteps); }

// The value as hosts show it beside the unit: "-6.0" for "-6.0 dB", names
// for the menus, "On" and "Off"; and the instrument's value a host's text
// names, if any.
std::string valueText(int index, float value);
std::optional<float> valueFromText(int index, std::string_view text);

// UTF-16 texts of the host's records: at most 127 characters, terminated.
void copyString(TChar* to, std::size_t capacity, std::string_view utf8);
template <std::size_t N>
void copyString(TChar (&to)[N], std::string_view utf8) {
  copyString(to, N, utf8);
}
std::string toUtf8(const TChar* text, std::size_t capacity);

}  // namespace zvx::vst3
