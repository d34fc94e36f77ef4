#include "formats/lv2/Lv2Description.h"

#include <charconv>
#include <cstdio>

#include "formats/lv2/Lv2Ports.h"
#include "instrument/Instrument.h"
#include "instrument/ParameterTable.h"

namespace zvx::lv2 {
namespace {

constexpr const char* kPrefixes =
    "@prefix atom: <http://lv2plug.in/ns/ext/atom#> .\n"
    "@prefix doap: <http://usefulinc.com/ns/doap#> .\n"
    "@prefix foaf: <http://xmlns.com/foaf/0.1/> .\n"
    "@prefix lv2: <http://lv2plug.in/ns/lv2core#> .\n"
    "@prefix midi: <http://lv2plug.in/ns/ext/midi#> .\n"
    "@prefix owl: <http://www.w3.org/2002/07/owl#> .\n"
    "@prefix opts: <http://lv2plug.in/ns/ext/options#> .\n"
    "@prefix pg: <http://lv2plug.in/ns/ext/port-groups#> .\n"
    "@prefix pprops: <http://lv2plug.in/ns/ext/port-props#> .\n"
    "@prefix pset: <http://lv2plug.in/ns/ext/presets#> .\n"
    "@prefix rdf: <http://www.w3.org/1999/02/22-rdf-syntax-ns#> .\n"
    "@prefix rdfs: <http://www.w3.org/2000/01/rdf-schema#> .\n"
    "@prefix state: <http://lv2plug.in/ns/ext/state#> .\n"
    "@prefix ui: <http://lv2plug.in/ns/extensions/ui#> .\n"
    "@prefix urid: <http://lv2plug.in/ns/ext/urid#> .\n"
    "@prefix xsd: <http://www.w3.org/2001/XMLSchema#> .\n\n";

// The shortest decimal that reads back as the same float, always with a point (a Turtle decimal).
std::string decimal(float value) {
  char buffer[64];
  auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed);
  std::string text(buffer, result.ptr);
  if (text.find('.') == std::string::npos) text += ".0";
  return text;
}

// Turtle string contents: the names hold no quote or backslash today, but a bank may.
std::string quoted(const std::string& text) {
  std::string out(1, '"');
  for (char c : text) {
    if (c == '"' || c == '\\') out += '\\';
    out += c;
  }
  return out + "\"";
}

std::string uri(const std::string& text) {
  std::string out(1, '<');
  return out.append(text).append(1, '>');
}

struct Output {
  const char* symbol;
  const char* name;
  const char* group;        // the group's fragment: the mix, or the voice's own
  const char* designation;  // its channel in that group
};
constexpr Output kOutputs[Instrument::kOutputs] = {
    {"mix_left", "Mix Left", "mix", "pg:left"}, {"mix_right", "Mix Right", "mix", "pg:right"},
    {"bd", "Kick", "kick", "pg:center"},        {"sd", "Snare", "snare", "pg:center"},
    {"hh", "Hi-hat", "hihat", "pg:center"},     {"cp", "Clap", "clap", "pg:center"},
};

// The control groups, one per section, in section order.
constexpr const char* kControlGroups[kSections] = {"master_controls", "kick_controls", "snare_controls",
                                                   "hihat_controls", "clap_controls"};

std::string groupUri(const char* fragment) { return uri(std::string(kPluginUri) + "#" + fragment); }

std::string outputGroups() {
  std::string ttl = groupUri("mix") +
                    "\n    a pg:OutputGroup, pg:StereoGroup ;\n    lv2:symbol \"mix\" ;\n    rdfs:label \"Mix\" ;\n"
                    "    pg:element [\n        lv2:index 0 ;\n        lv2:designation pg:left\n    ] , [\n"
                    "        lv2:index 1 ;\n        lv2:designation pg:right\n    ] .\n\n";
  for (int o = 2; o < Instrument::kOutputs; ++o)
    ttl += groupUri(kOutputs[o].group) + "\n    a pg:OutputGroup, pg:MonoGroup ;\n    lv2:symbol \"" +
           kOutputs[o].group + "\" ;\n    rdfs:label " + quoted(kOutputs[o].name) +
           " ;\n    pg:element [\n        lv2:index 0 ;\n        lv2:designation pg:center\n    ] .\n\n";
  for (int section = 0; section < kSections; ++section)
    ttl += groupUri(kControlGroups[section]) + "\n    a pg:InputGroup ;\n    lv2:symbol \"" +
           kControlGroups[section] + "\" ;\n    rdfs:label " + quoted(sectionName(section)) + " .\n\n";
  return ttl;
}

// What a host should make of the parameter: a toggle, a menu of samples
// whose every point plays the sample it names, or a control to hide.
std::string parameterProperties(int p) {
  const ParameterInfo& info = kParameterTable[static_cast<std::size_t>(p)];
  switch (info.kind) {
    case ParamKind::Switch:
      return " ;\n        lv2:portProperty lv2:toggled";
    case ParamKind::Choice: {
      std::string ttl = " ;\n        lv2:portProperty lv2:enumeration ;\n        lv2:scalePoint ";
      for (int entry = 0; entry < choiceCount(p); ++entry) {
        ttl += entry ? " , " : "";
        ttl += "[ rdfs:label " + quoted(choiceName(p, entry)) + " ; rdf:value " + decimal(choiceValue(p, entry)) + " ]";
      }
      return ttl;
    }
    case ParamKind::Unused:
      return " ;\n        lv2:portProperty pprops:notOnGUI, pprops:notAutomatic";
    default:
      return "";
  }
}

}  // namespace

std::string presetUri(int index) { return std::string(kPluginUri) + "#preset" + std::to_string(index + 1); }

std::string manifestTtl(const std::string& binary, const std::string& uiBinary, const std::vector<Preset>& presets) {
  std::string ttl = kPrefixes;
  ttl += uri(kPluginUri) + "\n    a lv2:Plugin, lv2:InstrumentPlugin ;\n    lv2:binary " + uri(binary) +
         " ;\n    rdfs:seeAlso " + uri(kPluginFile) + " .\n";
  // The editor needs the instance itself: a host that cannot share it shows its own controls.
  ttl += '\n';
  ttl += uri(kUiUri) + "\n    a ui:X11UI ;\n    ui:binary " + uri(uiBinary) +
         " ;\n    lv2:requiredFeature ui:parent, <http://lv2plug.in/ns/ext/instance-access>,"
         " <http://lv2plug.in/ns/ext/data-access> ;\n"
         "    lv2:optionalFeature ui:idleInterface, ui:resize, ui:touch, ui:noUserResize ;\n"
         "    lv2:extensionData ui:idleInterface .\n";
  for (std::size_t p = 0; p < presets.size(); ++p) {
    ttl += '\n';
    ttl += uri(presetUri(static_cast<int>(p))) + "\n    a pset:Preset ;\n    lv2:appliesTo " + uri(kPluginUri) +
           " ;\n    rdfs:seeAlso " + uri(kPresetsFile) + " .\n";
  }
  return ttl;
}

std::array<float, kNumParameters> tableDefaults() {
  std::array<float, kNumParameters> values{};
  for (int p = 0; p < kNumParameters; ++p) values[static_cast<std::size_t>(p)] = kParameterTable[static_cast<std::size_t>(p)].defaultValue;
  return values;
}

std::string pluginTtl(const std::array<float, kNumParameters>& defaults) {
  std::string ttl = kPrefixes;
  // Ardour's note-name interface, which the LV2 specification does not list.
  ttl += "<http://ardour.org/lv2/midnam#interface>\n    a lv2:ExtensionData .\n\n";
  ttl += outputGroups();
  ttl += uri(kPluginUri) +
         "\n    a lv2:Plugin, lv2:InstrumentPlugin ;\n"
         "    doap:name \"ZVX\" ;\n"
         "    doap:license <https://spdx.org/licenses/MIT> ;\n"
         "    rdfs:comment \"A drum synthesizer: bass drum, snare, hi-hat and clap, each a feedback phase-modulated "
         "sine body mixed with a sampled layer, with Chance and Chaos to vary every hit; the stereo mix and one "
         "output per voice; 128 kits.\" ;\n"
         "    lv2:project [\n        a doap:Project ;\n        doap:name \"ZVX\" ;\n"
         "        doap:maintainer [ foaf:name \"zvx.audio\" ]\n    ] ;\n"
         // An odd minor version, or 0, marks a development release that hosts may hide.
         "    lv2:minorVersion 2 ;\n    lv2:microVersion 0 ;\n"
         "    lv2:requiredFeature urid:map ;\n"
         "    lv2:optionalFeature lv2:hardRTCapable, opts:options ;\n"
         "    lv2:extensionData state:interface, <http://ardour.org/lv2/midnam#interface> ;\n"
         "    pg:mainOutput " + groupUri("mix") + " ;\n"
         "    ui:ui " + uri(kUiUri) + " ;\n";
  ttl += "    lv2:port [\n        a lv2:InputPort, atom:AtomPort ;\n        atom:bufferType atom:Sequence ;\n"
         "        atom:supports midi:MidiEvent ;\n        lv2:designation lv2:control ;\n"
         "        lv2:index " + std::to_string(kMidiInPort) + " ;\n        lv2:symbol \"midi_in\" ;\n"
         "        lv2:name \"MIDI In\"\n    ]";
  for (int o = 0; o < Instrument::kOutputs; ++o) {
    ttl += " , [\n        a lv2:OutputPort, lv2:AudioPort ;\n        lv2:index " +
           std::to_string(kFirstOutputPort + o) + " ;\n        lv2:symbol \"" + kOutputs[o].symbol +
           "\" ;\n        lv2:name \"" + kOutputs[o].name + "\" ;\n        pg:group " + groupUri(kOutputs[o].group) +
           " ;\n        lv2:designation " + kOutputs[o].designation + "\n    ]";
  }
  for (int p = 0; p < kNumParameters; ++p) {
    // The bank format's name, which hosts and banks know; the title beside it.
    ttl += " , [\n        a lv2:InputPort, lv2:ControlPort ;\n        lv2:index " +
           std::to_string(kFirstParameterPort + p) + " ;\n        lv2:symbol \"" + parameterSymbol(p) +
           "\" ;\n        lv2:name " + quoted(kParameterTable[static_cast<std::size_t>(p)].title) +
           " ;\n        rdfs:comment " + quoted(std::string(trimmedName(p))) + " ;\n        pg:group " +
           groupUri(kControlGroups[sectionOf(p)]) + " ;\n        lv2:default " +
           decimal(defaults[static_cast<std::size_t>(p)]) + " ;\n        lv2:minimum 0.0 ;\n        lv2:maximum 1.0" +
           parameterProperties(p) + "\n    ]";
  }
  return ttl + " .\n";
}

// Each preset is its program: applied, it selects the program, as a host's
// program change does in the VST version, and its ports hold that program's
// values for hosts that show them. Labels are numbered as the editor numbers
// programs, so that hosts list them in order.
std::string presetsTtl(const std::vector<Preset>& presets) {
  std::string ttl = kPrefixes;
  ttl += uri(kFactoryBankUri) + "\n    a pset:Bank ;\n    rdfs:label \"ZVX Default Bank\" .\n\n";
  ttl += uri(kProgramStateUri) +
         "\n    a rdf:Property, owl:DatatypeProperty ;\n    rdfs:label \"program\" ;\n"
         "    rdfs:comment \"The program a preset selects, 0 to 127.\" ;\n    rdfs:range xsd:int .\n\n";
  for (std::size_t p = 0; p < presets.size(); ++p) {
    char number[8];
    std::snprintf(number, sizeof number, "%03d ", static_cast<int>(p));
    ttl += uri(presetUri(static_cast<int>(p))) + "\n    a pset:Preset ;\n    lv2:appliesTo " + uri(kPluginUri) +
           " ;\n    pset:bank " + uri(kFactoryBankUri) + " ;\n    rdfs:label " + quoted(number + presets[p].name) +
           " ;\n    state:state [\n        " + uri(kProgramStateUri) + " " + std::to_string(p) +
           "\n    ] ;\n    lv2:port ";
    for (int v = 0; v < kNumParameters; ++v) {
      ttl += v ? " , " : "";
      ttl += "[ lv2:symbol \"" + parameterSymbol(v) + "\" ; pset:value " +
             decimal(presets[p].values[static_cast<std::size_t>(v)]) + " ]";
    }
    ttl += " .\n\n";
  }
  return ttl;
}

}  // namespace zvx::lv2
