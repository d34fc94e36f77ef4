#include "tools/zvx-data/RecipeParser.h"

#include <cstdint>
#include <cstdio>
#include <set>
#include <vector>

#include "tools/zvx-data/RecipeError.h"

namespace zvx::data {
namespace {

[[noreturn]] void fail(const std::string& where, const std::string& message) {
  throw RecipeError(where + ": " + message);
}

std::string quoted(std::string_view text) {
  std::string result(1, '\'');
  result.append(text);
  result.push_back('\'');
  return result;
}

std::string_view trim(std::string_view text) {
  const char* blanks = " \t\r";
  const std::size_t first = text.find_first_not_of(blanks);
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

std::vector<std::string_view> words(std::string_view text) {
  std::vector<std::string_view> result;
  std::size_t i = 0;
  while (i < text.size()) {
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
    std::size_t end = i;
    while (end < text.size() && text[end] != ' ' && text[end] != '\t') ++end;
    if (end > i) result.push_back(text.substr(i, end - i));
    i = end;
  }
  return result;
}

// Plain decimals only, read by hand: at most 15 digits make an exact integer
// and 10^15 is exact too, so the value is one IEEE division, rounded the same
// on every platform (library strtod is not, everywhere).
double number(std::string_view text, const std::string& where) {
  std::size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
  std::uint64_t mantissa = 0;
  int digits = 0;
  int fractionDigits = 0;
  bool point = false;
  for (; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '.' && !point) {
      point = true;
    } else if (c >= '0' && c <= '9') {
      mantissa = mantissa * 10 + static_cast<std::uint64_t>(c - '0');
      ++digits;
      if (point) ++fractionDigits;
    } else {
      break;
    }
  }
  if (i != text.size() || digits == 0) fail(where, quoted(text) + " is not a number");
  if (digits > 15) fail(where, quoted(text) + " has more than 15 digits");
  double scale = 1.0;
  for (int n = 0; n < fractionDigits; ++n) scale *= 10.0;
  const double value = static_cast<double>(mantissa) / scale;
  return negative ? -value : value;
}

std::string shortNumber(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%g", value);
  return text;
}

double numberIn(std::string_view text, double low, double high, const std::string& where) {
  const double value = number(text, where);
  if (!(value >= low && value <= high))
    fail(where, quoted(text) + " is outside " + shortNumber(low) + " to " + shortNumber(high));
  return value;
}

double single(std::string_view key, std::string_view value, double low, double high, const std::string& where) {
  const auto parts = words(value);
  if (parts.size() != 1) fail(where, std::string(key) + " takes one number");
  return numberIn(parts[0], low, high, where);
}

std::vector<double> list(std::string_view key, std::string_view value, double low, double high,
                         const std::string& where) {
  const auto parts = words(value);
  if (parts.empty() || parts.size() > 16) fail(where, std::string(key) + " takes 1 to 16 numbers");
  std::vector<double> result;
  for (std::string_view part : parts) result.push_back(numberIn(part, low, high, where));
  return result;
}

std::uint32_t whole(std::string_view key, std::string_view value, std::uint32_t high, const std::string& where) {
  const auto parts = words(value);
  if (parts.size() != 1) fail(where, std::string(key) + " takes one whole number");
  std::uint64_t result = 0;
  for (char c : parts[0]) {
    if (c < '0' || c > '9') fail(where, std::string(key) + " takes one whole number");
    result = result * 10 + static_cast<std::uint64_t>(c - '0');
    if (result > high) fail(where, std::string(key) + " is above " + std::to_string(high));
  }
  return static_cast<std::uint32_t>(result);
}

Filter::Settings filter(std::string_view value, const std::string& where) {
  const auto parts = words(value);
  if (parts.size() < 2 || parts.size() > 3) fail(where, "filter takes a type, a frequency and maybe a Q");
  Filter::Settings settings;
  if (parts[0] == "lowpass")
    settings.type = Filter::Type::lowpass;
  else if (parts[0] == "highpass")
    settings.type = Filter::Type::highpass;
  else if (parts[0] == "bandpass")
    settings.type = Filter::Type::bandpass;
  else
    fail(where, "filter type " + quoted(parts[0]) + " is not lowpass, highpass or bandpass");
  settings.frequency = numberIn(parts[1], 10.0, 20000.0, where);
  if (parts.size() == 3) settings.q = numberIn(parts[2], 0.1, 50.0, where);
  return settings;
}

Layer::Source sourceKind(std::string_view value, const std::string& where) {
  const auto parts = words(value);
  if (parts.size() == 1) {
    if (parts[0] == "sine") return Layer::Source::sine;
    if (parts[0] == "triangle") return Layer::Source::triangle;
    if (parts[0] == "square") return Layer::Source::square;
    if (parts[0] == "pulse") return Layer::Source::pulse;
    if (parts[0] == "noise") return Layer::Source::noise;
  }
  fail(where, "source " + quoted(value) + " is not sine, triangle, square, pulse or noise");
}

void mixSetting(Recipe& recipe, std::string_view key, std::string_view value, const std::string& where) {
  const double maxLength = RecipeParser::kMaxLength;
  if (key == "length")
    recipe.length = single(key, value, 0.01, maxLength, where);
  else if (key == "seed")
    recipe.seed = whole(key, value, 4294967295u, where);
  else if (key == "peak")
    recipe.peak = single(key, value, -24.0, 0.0, where);
  else if (key == "fade_in_samples")
    recipe.fadeInSamples = static_cast<int>(whole(key, value, 64, where));
  else if (key == "fade_out")
    recipe.fadeOut = single(key, value, 0.0, maxLength, where);
  else if (key == "drive")
    recipe.drive = single(key, value, 0.0, 20.0, where);
  else if (key == "filter")
    recipe.filters.push_back(filter(value, where));
  else
    fail(where, "unknown setting " + quoted(key) + " for the mix");
}

void layerSetting(Layer::Settings& layer, std::string_view key, std::string_view value, const std::string& where) {
  const double maxLength = RecipeParser::kMaxLength;
  Envelope::Settings& envelope = layer.envelope;
  if (key == "source")
    layer.source = sourceKind(value, where);
  else if (key == "frequency")
    layer.frequencies = list(key, value, 1.0, 20000.0, where);
  else if (key == "width")
    layer.width = single(key, value, 0.01, 0.99, where);
  else if (key == "sweep")
    layer.sweep = single(key, value, 0.1, 16.0, where);
  else if (key == "sweep_time")
    layer.sweepTime = single(key, value, 0.0001, 10.0, where);
  else if (key == "level")
    layer.level = single(key, value, 0.0, 100.0, where);
  else if (key == "drive")
    layer.drive = single(key, value, 0.0, 20.0, where);
  else if (key == "delay")
    envelope.delay = single(key, value, 0.0, maxLength, where);
  else if (key == "bursts")
    envelope.bursts = list(key, value, 0.0, maxLength, where);
  else if (key == "burst_decay")
    envelope.burstDecay = single(key, value, 0.0001, 100.0, where);
  else if (key == "attack")
    envelope.attack = single(key, value, 0.0, maxLength, where);
  else if (key == "hold")
    envelope.hold = single(key, value, 0.0, maxLength, where);
  else if (key == "decay")
    envelope.decay = single(key, value, 0.0001, 100.0, where);
  else if (key == "filter")
    layer.filters.push_back(filter(value, where));
  else
    fail(where, "unknown setting " + quoted(key) + " for a layer");
}

// What a layer's settings cannot say one key at a time.
void checkLayer(const Layer::Settings& layer, const std::set<std::string>& keys, const std::string& where) {
  if (!keys.count("source")) fail(where, "the layer has no source");
  const bool noise = layer.source == Layer::Source::noise;
  if (noise && keys.count("frequency")) fail(where, "a noise layer takes no frequency");
  if (!noise && !keys.count("frequency")) fail(where, "the layer has no frequency");
  if (noise && (keys.count("sweep") || keys.count("sweep_time"))) fail(where, "a noise layer has no pitch to sweep");
  if (layer.source != Layer::Source::pulse && keys.count("width")) fail(where, "only a pulse has a width");
  const auto& bursts = layer.envelope.bursts;
  for (std::size_t i = 1; i < bursts.size(); ++i)
    if (bursts[i] <= bursts[i - 1]) fail(where, "bursts must ascend");
  if (keys.count("burst_decay") && bursts.empty()) fail(where, "burst_decay without bursts");
}

}  // namespace

Recipe RecipeParser::parse(std::string_view text, const std::string& name, const std::string& source) {
  Recipe recipe;
  recipe.name = name;
  std::set<std::string> keys;
  std::string sectionWhere = source;
  bool inLayer = false;

  auto closeSection = [&] {
    if (inLayer)
      checkLayer(recipe.layers.back(), keys, sectionWhere);
    else if (!keys.count("length"))
      fail(sectionWhere, "the mix settings have no length");
    keys.clear();
  };

  int lineNumber = 0;
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(start, end - start);
    start = end + 1;
    ++lineNumber;
    const std::string where = source + ":" + std::to_string(lineNumber);

    const std::size_t comment = line.find('#');
    if (comment != std::string_view::npos) line = line.substr(0, comment);
    line = trim(line);
    if (line.empty()) continue;

    if (line.front() == '[') {
      if (line.back() != ']') fail(where, "a section header ends with ']'");
      const auto parts = words(line.substr(1, line.size() - 2));
      if (parts.empty() || parts[0] != "layer" || parts.size() > 2) fail(where, "sections are [layer NAME]");
      closeSection();
      inLayer = true;
      sectionWhere = where;
      recipe.layers.emplace_back();
      recipe.layers.back().name = parts.size() == 2 ? std::string(parts[1]) : std::to_string(recipe.layers.size());
      continue;
    }

    const std::size_t equals = line.find('=');
    if (equals == std::string_view::npos) fail(where, "expected 'key = value'");
    const std::string_view key = trim(line.substr(0, equals));
    const std::string_view value = trim(line.substr(equals + 1));
    if (key.empty() || value.empty()) fail(where, "expected 'key = value'");
    if (key != "filter" && !keys.insert(std::string(key)).second)
      fail(where, quoted(key) + " is set twice");
    if (inLayer)
      layerSetting(recipe.layers.back(), key, value, where);
    else
      mixSetting(recipe, key, value, where);
  }
  closeSection();
  if (recipe.layers.empty()) fail(source, "the recipe has no layer");
  if (recipe.fadeOut >= recipe.length) fail(source, "fade_out is not shorter than the length");
  return recipe;
}

}  // namespace zvx::data
