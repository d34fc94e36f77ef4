#include "tools/zvx-data/BankSource.h"

#include <algorithm>
#include <charconv>
#include <set>
#include <sstream>

#include "instrument/Instrument.h"
#include "instrument/BankImage.h"
#include "instrument/ParameterTable.h"
#include "instrument/SampleCache.h"
#include "storage/FxbFile.h"
#include "tools/zvx-data/RecipeError.h"
#include "tools/zvx-data/RegularFile.h"

namespace zvx::data {
namespace {

std::string trimmed(const std::string& text) {
  const auto first = text.find_first_not_of(" \t\r");
  if (first == std::string::npos) return "";
  const auto last = text.find_last_not_of(" \t\r");
  return text.substr(first, last - first + 1);
}

float valueFor(int parameter, const std::string& text, const std::string& where) {
  const ParamRole role = kParameterTable[static_cast<std::size_t>(parameter)].role;
  if (role == ParamRole::Menu) {
    for (int file = 0; file < SampleCache::kFiles; ++file)
      if (text + ".wav" == SampleCache::kFileNames[file] || text == SampleCache::kFileNames[file]) return choiceValue(parameter, file);
  }
  if (role == ParamRole::Mute || role == ParamRole::Sync || role == ParamRole::KeyTrack) {
    if (text == "on") return 1.0f;
    if (text == "off") return 0.0f;
  }
  float value = 0.0f;
  const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
  if (result.ec != std::errc() || result.ptr != text.data() + text.size())
    throw RecipeError(where + ": '" + text + "' is not a value");
  if (!(value >= 0.0f && value <= 1.0f)) throw RecipeError(where + ": " + text + " lies outside 0 to 1");
  return value;
}

}  // namespace

BankSource BankSource::parse(const std::string& text, const std::string& fileName) {
  BankSource bank;
  std::istringstream lines(text);
  std::string line;
  std::set<std::string> names;
  std::set<int> seen;
  for (int number = 1; std::getline(lines, line); ++number) {
    const std::string where = fileName + ":" + std::to_string(number);
    line = trimmed(line.substr(0, line.find('#')));
    if (line.empty()) continue;
    if (line.front() == '[') {
      if (line.back() != ']') throw RecipeError(where + ": a program name ends with ']'");
      const std::string name = trimmed(line.substr(1, line.size() - 2));
      if (name.empty() || name.size() > 23) throw RecipeError(where + ": program names have 1 to 23 characters");
      if (!names.insert(name).second) throw RecipeError(where + ": a second program named '" + name + "'");
      bank.programs_.push_back({name, {}});
      seen.clear();
      continue;
    }
    if (bank.programs_.empty()) throw RecipeError(where + ": a setting before the first [program]");
    const auto equals = line.find('=');
    if (equals == std::string::npos) throw RecipeError(where + ": expected 'Parameter = value'");
    const std::string key = trimmed(line.substr(0, equals));
    const int parameter = parameterIndex(key);
    if (parameter < 0) throw RecipeError(where + ": '" + key + "' names no parameter, or several");
    if (!seen.insert(parameter).second) throw RecipeError(where + ": '" + key + "' is set twice");
    bank.programs_.back().settings.push_back({parameter, valueFor(parameter, trimmed(line.substr(equals + 1)), where)});
  }
  if (bank.programs_.size() != BankImage::kPrograms)
    throw RecipeError(fileName + ": " + std::to_string(bank.programs_.size()) + " programs; the bank has " +
                      std::to_string(BankImage::kPrograms));
  return bank;
}

BankSource BankSource::load(const std::filesystem::path& file) {
  const std::optional<std::vector<std::uint8_t>> bytes = readRegularFile(file);
  if (!bytes) throw RecipeError("cannot read " + file.string());
  return parse(std::string(bytes->begin(), bytes->end()), file.filename().string());
}

std::vector<unsigned char> BankSource::bankImage() const {
  BankImage image;
  fillWithDefaults(image);
  for (std::size_t p = 0; p < programs_.size(); ++p) {
    const int program = static_cast<int>(p);
    image.setProgramName(program, programs_[p].name.c_str());
    for (const auto& [parameter, value] : programs_[p].settings) image.setProgramValue(program, parameter, value);
  }
  std::vector<unsigned char> bytes(BankImage::kSize);
  image.read(0, bytes.data(), bytes.size());
  return bytes;
}

std::vector<unsigned char> BankSource::fxb() const {
  return FxbFile::chunkBank(Instrument::kUniqueId, 1, BankImage::kPrograms, 0, bankImage());
}

}  // namespace zvx::data
