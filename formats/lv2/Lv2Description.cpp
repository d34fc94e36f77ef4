#include "formats/lv2/Lv2Description.h"

#include <charconv>

#include "formats/lv2/Lv2Ports.h"
#include "plugin/Instrument.h"
#include "plugin/ParameterTable.h"

namespace zvx::lv2 {
namespace {

constexpr const char* kPrefixes =
    "@prefix atom: <http://lv2plug.in/ns/ext/atom#> .\n"
    "@prefix doap: <http://usefulinc.com/ns/doap#> .\n"
    "@prefix foaf: <http://xmlns.com/foaf/0.1/> .\n"
    "@prefix lv2: <http://lv2plug.in/ns/lv2core#> .\n"
    "@prefix midi: <http://lv2plug.in/ns/ext/midi#> .\n"
    "@prefix opts: <http://lv2plug.in/ns/ext/options#> .\n"
    "@prefix pg: <http://lv2plug.in/ns/ext/port-groups#> .\n"
    "@prefix pset: <http://lv2plug.in/ns/ext/presets#> .\n"
    "@prefix rdfs: <http://www.w3.org/2000/01/rdf-schema#> .\n"
    "@prefix state: <http://lv2plug.in/ns/ext/state#> .\n"
    "@prefix ui: <http://lv2plug.in/ns/extensions/ui#> .\n"
    "@prefix urid: <http://lv2plug.in/ns/ext/urid#> .\n\n";

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
  const char* designation;  // in the mix group, or null
};
constexpr Output kOutputs[Instrument::kOutputs] = {
    {"mix_left", "Mix Left", "pg:left"}, {"mix_right", "Mix Right", "pg:right"}, {"bd", "BD", nullptr},
    {"sd", "SD", nullptr},               {"hh", "HH", nullptr},                  {"cp", "CP", nullptr},
};

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
  const std::string mix = std::string(kPluginUri) + "#mix";
  std::string ttl = kPrefixes;
  ttl += uri(mix) + "\n    a pg:OutputGroup, pg:StereoGroup ;\n    lv2:symbol \"mix\" ;\n    rdfs:label \"Mix\" .\n\n";
  ttl += uri(kPluginUri) +
         "\n    a lv2:Plugin, lv2:InstrumentPlugin ;\n"
         "    doap:name \"ZVX\" ;\n"
         "    lv2:project [\n        a doap:Project ;\n        doap:name \"ZVX\" ;\n"
         "        doap:maintainer [ foaf:name \"zvx.audio\" ]\n    ] ;\n"
         "    lv2:minorVersion 0 ;\n    lv2:microVersion 1 ;\n"
         "    lv2:requiredFeature urid:map ;\n"
         "    lv2:optionalFeature lv2:hardRTCapable, opts:options ;\n"
         "    lv2:extensionData state:interface ;\n"
         "    pg:mainOutput " + uri(mix) + " ;\n"
         "    ui:ui " + uri(kUiUri) + " ;\n";
  ttl += "    lv2:port [\n        a lv2:InputPort, atom:AtomPort ;\n        atom:bufferType atom:Sequence ;\n"
         "        atom:supports midi:MidiEvent ;\n        lv2:designation lv2:control ;\n"
         "        lv2:index " + std::to_string(kMidiInPort) + " ;\n        lv2:symbol \"midi_in\" ;\n"
         "        lv2:name \"MIDI In\"\n    ]";
  for (int o = 0; o < Instrument::kOutputs; ++o) {
    ttl += " , [\n        a lv2:OutputPort, lv2:AudioPort ;\n        lv2:index " +
           std::to_string(kFirstOutputPort + o) + " ;\n        lv2:symbol \"" + kOutputs[o].symbol +
           "\" ;\n        lv2:name \"" + kOutputs[o].name + "\"";
    if (kOutputs[o].designation)
      ttl += " ;\n        pg:group " + uri(mix) + " ;\n        lv2:designation " + kOutputs[o].designation;
    ttl += "\n    ]";
  }
  for (int p = 0; p < kNumParameters; ++p) {
    ttl += " , [\n        a lv2:InputPort, lv2:ControlPort ;\n        lv2:index " +
           std::to_string(kFirstParameterPort + p) + " ;\n        lv2:symbol \"" + parameterSymbol(p) +
           "\" ;\n        lv2:name " + quoted(std::string(trimmedName(p))) + " ;\n        lv2:default " +
           decimal(defaults[static_cast<std::size_t>(p)]) +
           " ;\n        lv2:minimum 0.0 ;\n        lv2:maximum 1.0\n    ]";
  }
  return ttl + " .\n";
}

std::string presetsTtl(const std::vector<Preset>& presets) {
  std::string ttl = kPrefixes;
  for (std::size_t p = 0; p < presets.size(); ++p) {
    ttl += uri(presetUri(static_cast<int>(p))) + "\n    a pset:Preset ;\n    lv2:appliesTo " + uri(kPluginUri) +
           " ;\n    rdfs:label " + quoted(presets[p].name) + " ;\n    lv2:port ";
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
