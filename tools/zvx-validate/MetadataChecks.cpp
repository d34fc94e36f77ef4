// B: names and strings within their buffers, the fixed answers, and every
// opcode with indexes and pointers a careless host passes.
#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>

#include "tools/zvx-validate/Validator.h"

namespace zvx::validate {
namespace {

// Buffer sizes hosts really pass, terminator included: names of effects and
// programs by their published limits, parameter names and displays of 24
// bytes (the 8 of the letter is too small for anyone), labels of 8.
constexpr std::size_t kEffectName = 32, kVendor = 64, kProduct = 64, kProgramName = 24;
constexpr std::size_t kParamName = 24, kParamDisplay = 24, kParamLabel = 8;

void expectString(Check& check, const StringAnswer& answer, const std::string& what, bool nonEmpty) {
  check.expect(answer.problem.empty(), what + " " + answer.problem);
  check.expect(validUtf8(answer.text), what + " is not UTF-8");
  if (nonEmpty) check.expect(!answer.text.empty(), what + " is empty");
}

void checkStrings(Session& session) {
  Check check("B.strings", "names, vendor, programs and parameter texts fit their buffers");
  auto plugin = session.started();
  if (!check.expect(plugin != nullptr, "no plug-in")) return;
  const AEffect* e = plugin->effect();
  const Profile& p = session.profile();
  const StringAnswer name = askString(*plugin, effGetEffectName, 0, kEffectName);
  expectString(check, name, "effect name", true);
  const StringAnswer vendor = askString(*plugin, effGetVendorString, 0, kVendor);
  expectString(check, vendor, "vendor string", true);
  const StringAnswer product = askString(*plugin, effGetProductString, 0, kProduct);
  expectString(check, product, "product string", true);
  if (p.exact) {
    check.expect(name.text == p.effectName, "effect name \"" + name.text + "\"");
    check.expect(product.text == p.productString, "product string \"" + product.text + "\"");
    check.expect(plugin->dispatch(effGetVendorVersion) == p.vendorVersion, "vendor version");
  }
  expectString(check, askString(*plugin, effGetProgramName, 0, kProgramName), "program name", false);
  for (int program = 0; program < e->numPrograms; ++program) {
    const StringAnswer answer = askString(*plugin, effGetProgramNameIndexed, program, kProgramName);
    check.expect(answer.result == 1, "program name " + std::to_string(program) + " not answered");
    expectString(check, answer, "program name " + std::to_string(program), false);
  }
  for (int index = 0; index < e->numParams; ++index) {
    const std::string which = "parameter " + std::to_string(index);
    expectString(check, askString(*plugin, effGetParamName, index, kParamName), which + " name", true);
    expectString(check, askString(*plugin, effGetParamLabel, index, kParamLabel), which + " label", false);
    expectString(check, askString(*plugin, effGetParamDisplay, index, kParamDisplay), which + " display", false);
  }
  check.detail(std::to_string(e->numParams) + " parameters, " + std::to_string(e->numPrograms) + " programs");
}

void checkFixedAnswers(Session& session) {
  Check check("B.answers", "category, VST version, canDo, MIDI channels and key names");
  auto plugin = session.started();
  if (!check.expect(plugin != nullptr, "no plug-in")) return;
  const Profile& p = session.profile();
  const VstIntPtr category = plugin->dispatch(effGetPlugCategory);
  check.expect(category == (p.exact ? p.category : kPlugCategSynth) || (!p.exact && category == kPlugCategGenerator),
               "category " + std::to_string(category));
  check.expect(plugin->dispatch(effGetVstVersion) == kVstVersion, "VST version not 2400");
  check.expect(plugin->dispatch(effCanDo, 0, 0, nullptr) == 0, "canDo(NULL) answers non-zero");
  for (const char* text : {"receiveVstEvents", "receiveVstMidiEvent"})
    check.expect(plugin->canDo(text) == 1, std::string("canDo ") + text + " is not 1 for an instrument");
  const char* others[] = {"sendVstEvents", "sendVstMidiEvent", "receiveVstTimeInfo", "receiveVstSysexEvent",
                          "midiProgramNames", "bypass", "offline", "hasCockosExtensions", "sizeWindow",
                          "no such thing", ""};
  for (const char* text : others) {
    const VstInt32 answer = plugin->canDo(text);
    bool expected = answer >= -1 && answer <= 1;
    for (const auto& [name, value] : p.canDo)
      if (name == text) expected = answer == value;
    if (p.exact && expected) {
      bool listed = false;
      for (const auto& entry : p.canDo) listed |= entry.first == text;
      if (!listed) expected = answer == p.canDoOther;
    }
    check.expect(expected, std::string("canDo \"") + text + "\" answers " + std::to_string(answer));
  }
  const VstIntPtr inputs = plugin->dispatch(effGetNumMidiInputChannels);
  const VstIntPtr outputs = plugin->dispatch(effGetNumMidiOutputChannels);
  check.expect(inputs >= 0 && inputs <= 16 && outputs >= 0 && outputs <= 16, "MIDI channel counts out of 0..16");
  if (p.exact) {
    check.expect(inputs == p.midiInputs, "MIDI input channels " + std::to_string(inputs));
    check.expect(outputs == p.midiOutputs, "MIDI output channels " + std::to_string(outputs));
  }
  // Whoever says it names MIDI programs names at least one, and the keys it names fit their buffer.
  if (plugin->canDo("midiProgramNames") == 1) {
    MidiProgramName program{};
    check.expect(plugin->dispatch(effGetMidiProgramName, 0, 0, &program) >= 1, "no MIDI program named");
    check.expect(strnlen(program.name, sizeof program.name) < sizeof program.name, "MIDI program name not terminated");
  }
  for (int key : p.namedKeys) {
    MidiKeyName name{};
    name.thisKeyNumber = key;
    const bool named = plugin->dispatch(effGetMidiKeyName, 0, 0, &name) == 1 && name.keyName[0] != 0;
    check.expect(named && strnlen(name.keyName, sizeof name.keyName) < sizeof name.keyName,
                 "key " + std::to_string(key) + " has no name");
  }
  if (p.unnamedKey >= 0) {
    MidiKeyName name{};
    name.thisKeyNumber = p.unnamedKey;
    check.expect(plugin->dispatch(effGetMidiKeyName, 0, 0, &name) == 0, "key " + std::to_string(p.unnamedKey) + " named");
  }
}

void checkParameters(Session& session) {
  Check check("B.parameters", "parameters are automatable and their properties are consistent");
  auto plugin = session.started();
  if (!check.expect(plugin != nullptr, "no plug-in")) return;
  const Profile& p = session.profile();
  int automatable = 0, described = 0, switches = 0, integerMenus = 0;
  for (int index = 0; index < plugin->effect()->numParams; ++index) {
    const std::string which = "parameter " + std::to_string(index);
    const VstIntPtr can = plugin->dispatch(effCanBeAutomated, index);
    check.expect(can == 0 || can == 1, which + " canBeAutomated answers " + std::to_string(can));
    automatable += can == 1;
    const bool unused = std::find(p.unusedParameters.begin(), p.unusedParameters.end(), index) != p.unusedParameters.end();
    if (p.exact)
      check.expect(can == (unused ? 0 : 1), which + (unused ? " changes nothing yet hosts may automate it"
                                                             : " is not automatable (hosts hide it)"));
    // Zeroed, as REAPER passes it, with canaries behind.
    std::vector<unsigned char> memory(sizeof(VstParameterProperties) + 16, 0);
    std::memset(memory.data() + sizeof(VstParameterProperties), 0xA5, 16);
    const VstIntPtr answered = plugin->dispatch(effGetParameterProperties, index, 0, memory.data());
    for (std::size_t i = sizeof(VstParameterProperties); i < memory.size(); ++i)
      if (!check.expect(memory[i] == 0xA5, which + " properties written past the structure")) break;
    if (answered != 1) continue;
    ++described;
    VstParameterProperties props;
    std::memcpy(&props, memory.data(), sizeof props);
    check.expect(strnlen(props.label, sizeof props.label) < sizeof props.label, which + " label not terminated");
    check.expect(strnlen(props.shortLabel, sizeof props.shortLabel) < sizeof props.shortLabel,
                 which + " short label not terminated");
    check.expect(strnlen(props.categoryLabel, sizeof props.categoryLabel) < sizeof props.categoryLabel,
                 which + " category label not terminated");
    if (props.flags & (1 << 1)) check.expect(props.minInteger < props.maxInteger, which + " integer range empty");
    if (props.flags & (1 << 0) && props.flags & (1 << 1))
      check.expect(props.maxInteger - props.minInteger == 1, which + " switch with more than two states");
    check.expect(props.category >= 0, which + " negative category");
    switches += (props.flags & kVstParameterIsSwitch) != 0;
    integerMenus += (props.flags & kVstParameterIsSwitch) == 0 && (props.flags & kVstParameterUsesIntegerMinMax) != 0;
  }
  if (p.exact) {
    check.expect(described == plugin->effect()->numParams, std::to_string(described) + " parameters described");
    check.expect(switches == p.switches, std::to_string(switches) + " switches");
    check.expect(integerMenus == p.integerMenus, std::to_string(integerMenus) + " integer menus");
  }
  check.detail(std::to_string(automatable) + " automatable, " + std::to_string(described) + " with properties, " +
               std::to_string(switches) + " switches, " + std::to_string(integerMenus) + " integer menus");
}

void checkPins(Session& session) {
  Check check("B.pins", "output pins answered and labelled, no input pins, bad pins refused");
  auto plugin = session.started();
  if (!check.expect(plugin != nullptr, "no plug-in")) return;
  const AEffect* e = plugin->effect();
  const Profile& p = session.profile();
  auto pin = [&](VstInt32 opcode, int index, VstPinProperties& out) {
    std::vector<unsigned char> memory(sizeof(VstPinProperties) + 16, 0);
    std::memset(memory.data() + sizeof(VstPinProperties), 0xA5, 16);
    const VstIntPtr answer = plugin->dispatch(opcode, index, 0, memory.data());
    for (std::size_t i = sizeof(VstPinProperties); i < memory.size(); ++i)
      if (!check.expect(memory[i] == 0xA5, "pin " + std::to_string(index) + " written past the structure")) break;
    std::memcpy(&out, memory.data(), sizeof out);
    return answer;
  };
  for (int index = 0; index < e->numOutputs; ++index) {
    VstPinProperties props{};
    const VstIntPtr answer = pin(effGetOutputProperties, index, props);
    const std::string which = "output pin " + std::to_string(index);
    if (answer == 1) {
      check.expect(strnlen(props.label, sizeof props.label) < sizeof props.label, which + " label not terminated");
      check.expect(strnlen(props.shortLabel, sizeof props.shortLabel) < sizeof props.shortLabel,
                   which + " short label not terminated");
    }
    if (p.exact && index < static_cast<int>(p.pinFlags.size())) {
      check.expect(answer == 1, which + " not answered");
      check.expect(std::string(props.label, strnlen(props.label, sizeof props.label)) ==
                       p.pinLabels[static_cast<std::size_t>(index)],
                   which + " label \"" + std::string(props.label, strnlen(props.label, sizeof props.label)) + "\"");
      check.expect(props.flags == p.pinFlags[static_cast<std::size_t>(index)],
                   which + " flags " + std::to_string(props.flags));
    }
  }
  for (int index : {-1, e->numOutputs, INT_MAX}) {
    VstPinProperties props{};
    check.expect(pin(effGetOutputProperties, index, props) == 0, "output pin " + std::to_string(index) + " answered");
  }
  for (int index : {-1, e->numInputs, INT_MAX}) {
    VstPinProperties props{};
    check.expect(pin(effGetInputProperties, index, props) == 0, "input pin " + std::to_string(index) + " answered");
  }
}

void checkBadIndexes(Session& session) {
  Check check("B.indexes", "every indexed opcode with indexes -1, count and INT_MAX answers 0");
  auto plugin = session.started();
  if (!check.expect(plugin != nullptr, "no plug-in")) return;
  const AEffect* e = plugin->effect();
  const std::vector<float> before = parameterValues(*plugin);
  const VstIntPtr program = plugin->dispatch(effGetProgram);
  int calls = 0;
  for (int bad : {-1, e->numParams, INT_MAX, INT_MIN}) {
    const std::string at = " with index " + std::to_string(bad);
    for (VstInt32 opcode : {effGetParamLabel, effGetParamDisplay, effGetParamName}) {
      const StringAnswer answer = askString(*plugin, opcode, bad, 8);
      check.expect(answer.result == 0, "opcode " + std::to_string(opcode) + at + " answers " +
                                           std::to_string(answer.result));
      check.expect(answer.problem.empty(), "opcode " + std::to_string(opcode) + at + " " + answer.problem);
      ++calls;
    }
    check.expect(plugin->dispatch(effCanBeAutomated, bad) == 0, "canBeAutomated" + at + " answers non-zero");
    char text[] = "0.5";
    check.expect(plugin->dispatch(effString2Parameter, bad, 0, text) == 0, "string2parameter" + at);
    VstParameterProperties props{};
    check.expect(plugin->dispatch(effGetParameterProperties, bad, 0, &props) == 0, "parameter properties" + at);
    const float value = plugin->getParameter(bad);
    check.expect(value == 0.0f || (std::isfinite(value) && value >= 0.0f && value <= 1.0f),
                 "getParameter" + at + " gives " + describeFloat(value));
    calls += 4;
  }
  for (int bad : {-1, e->numPrograms, INT_MAX, INT_MIN}) {
    const std::string at = " with program " + std::to_string(bad);
    check.expect(askString(*plugin, effGetProgramNameIndexed, bad, kProgramName).result == 0,
                 "programNameIndexed" + at);
    check.expect(plugin->dispatch(effCopyProgram, bad) == 0, "copyProgram" + at);
    plugin->dispatch(effSetProgram, 0, bad);
    check.expect(plugin->dispatch(effGetProgram) == program, "setProgram" + at + " changed the program");
    for (VstInt32 opcode : {effGetMidiProgramName, effGetCurrentMidiProgram, effGetMidiProgramCategory,
                            effHasMidiProgramsChanged, effGetMidiKeyName}) {
      std::vector<unsigned char> memory(256, 0);
      const VstIntPtr answer = plugin->dispatch(opcode, bad, 0, memory.data());
      check.expect(answer == 0 || (opcode == effGetCurrentMidiProgram && answer == -1),
                   "opcode " + std::to_string(opcode) + at + " answers " + std::to_string(answer));
    }
    calls += 8;
  }
  // Indexes past the table must not move any parameter of the table.
  for (int bad : {e->numParams + 1000, INT_MAX, -1, INT_MIN}) plugin->setParameter(bad, 0.77f);
  const std::vector<float> after = parameterValues(*plugin);
  for (std::size_t i = 0; i < before.size(); ++i)
    check.expect(before[i] == after[i], "setParameter with a bad index changed parameter " + std::to_string(i));
  check.detail(std::to_string(calls) + " calls");
}

void checkUnknownOpcodes(Session& session) {
  Check check("B.opcodes", "unknown opcodes answer 0");
  auto plugin = session.started();
  if (!check.expect(plugin != nullptr, "no plug-in")) return;
  std::vector<VstInt32> opcodes = {-5, -1, static_cast<VstInt32>(0xDEADBEEF), INT_MAX, INT_MIN};
  for (VstInt32 opcode = 80; opcode <= 255; ++opcode) opcodes.push_back(opcode);
  for (VstInt32 opcode : opcodes) {
    std::vector<unsigned char> memory(1024, 0);
    const VstIntPtr answer = plugin->dispatch(opcode, 0, 0, memory.data());
    check.expect(answer == 0, "opcode " + std::to_string(opcode) + " answers " + std::to_string(answer));
  }
  check.detail(std::to_string(opcodes.size()) + " opcodes");
}

void checkNullPointers(Session& session) {
  Check check("B.null", "every opcode with a null pointer leaves the plug-in working");
  auto plugin = session.started();
  if (!check.expect(plugin != nullptr, "no plug-in")) return;
  for (VstInt32 opcode = 0; opcode < 80; ++opcode) {
    if (opcode == effClose) continue;
    for (VstIntPtr value : {VstIntPtr{0}, VstIntPtr{1}, VstIntPtr{64}}) {
      // An editor opened without a parent (a headless one) is closed again.
      const VstIntPtr answer = plugin->dispatch(opcode, 0, value, nullptr);
      if (opcode == effEditOpen && answer) plugin->dispatch(effEditClose);
      if (opcode == effGetChunk || opcode == effSetChunk || opcode == effProcessEvents || opcode == effCanDo)
        check.expect(answer == 0, "opcode " + std::to_string(opcode) + " with null answers " + std::to_string(answer));
    }
  }
  // Vendor calls hosts are known to send, with nothing behind them.
  const VstInt32 vendors[][2] = {{fourCharCode("stCA"), fourCharCode("Whee")},
                                 {fourCharCode("PreS"), fourCharCode("AeCs")},
                                 {fourCharCode("stCA"), fourCharCode("FUID")},
                                 {fourCharCode("stCa"), fourCharCode("FUID")},
                                 {static_cast<VstInt32>(0xdeadbef0), 0}};
  for (const auto& vendor : vendors) plugin->dispatch(effVendorSpecific, vendor[0], vendor[1], nullptr, 1.0f);
  Outputs out(plugin->effect()->numOutputs, 256);
  check.expect(processBlock(*plugin, out, 256).empty(), "renders badly afterwards");
}

}  // namespace

void runMetadataChecks(Session& session) {
  checkStrings(session);
  checkFixedAnswers(session);
  checkParameters(session);
  checkPins(session);
  checkBadIndexes(session);
  checkUnknownOpcodes(session);
  checkNullPointers(session);
}

}  // namespace zvx::validate
