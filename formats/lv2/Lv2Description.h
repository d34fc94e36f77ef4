// The bundle's Turtle files, written from the parameter table and the default
// bank so the description never disagrees with the instrument.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "engine/Parameters.h"

namespace zvx::lv2 {

struct Preset {
  std::string name;
  std::array<float, kNumParameters> values{};
};

// The names of the files in the bundle besides the shared object.
inline constexpr const char* kPluginFile = "ZVX.ttl";
inline constexpr const char* kPresetsFile = "presets.ttl";

// `binary` and `uiBinary` are the shared objects' file names in the bundle.
std::string manifestTtl(const std::string& binary, const std::string& uiBinary, const std::vector<Preset>& presets);
// `defaults` are the ports' default values: the first program's when the
// bundle has presets (a fresh instance plays it), else the table's.
std::string pluginTtl(const std::array<float, kNumParameters>& defaults);
// The parameter table's defaults.
std::array<float, kNumParameters> tableDefaults();
std::string presetsTtl(const std::vector<Preset>& presets);
// The URI of preset `index`.
std::string presetUri(int index);

}  // namespace zvx::lv2
