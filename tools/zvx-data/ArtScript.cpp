#include "tools/zvx-data/ArtScript.h"

#include <cctype>

#include "tools/zvx-data/SkinError.h"

namespace zvx::data {
namespace {

bool isNameChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }

std::string trimmed(const std::string& text) {
  const std::size_t first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return "";
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// A quoted value loses its quotes; anything else is kept as written.
std::string unquoted(const std::string& text) {
  if (text.size() >= 2 && text.front() == '"' && text.back() == '"') return text.substr(1, text.size() - 2);
  return text;
}

}  // namespace

const std::string* ArtScript::Line::option(const std::string& name) const {
  for (const auto& [key, value] : options)
    if (key == name) return &value;
  return nullptr;
}

ArtScript ArtScript::parse(const std::string& text, const std::string& fileName) {
  ArtScript script;
  script.fileName_ = fileName;
  std::size_t start = 0;
  int number = 0;
  while (start <= text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string raw = text.substr(start, end - start);
    start = end + 1;
    ++number;
    if (!raw.empty() && raw.back() == '\r') raw.pop_back();
    const std::string where = fileName + ":" + std::to_string(number);

    // Tokens: words and quoted strings; `name:` starts an option.
    Line line;
    line.number = number;
    std::string* current = nullptr;  // the option value being gathered
    std::size_t i = 0;
    bool quoteOpen = false;
    while (i < raw.size()) {
      const char c = raw[i];
      if (c == '#') break;
      if (c == ' ' || c == '\t') {
        if (current) *current += c;
        ++i;
        continue;
      }
      if (c == '"') {
        const std::size_t close = raw.find('"', i + 1);
        if (close == std::string::npos) {
          quoteOpen = true;
          break;
        }
        const std::string quoted = raw.substr(i, close - i + 1);
        if (current)
          *current += quoted;
        else if (line.command.empty())
          throw SkinError(where + ": a line starts with a command word");
        else
          line.words.push_back(unquoted(quoted));
        i = close + 1;
        continue;
      }
      std::size_t j = i;
      while (j < raw.size() && isNameChar(raw[j])) ++j;
      if (j > i && j < raw.size() && raw[j] == ':' && !line.command.empty()) {
        line.options.emplace_back(raw.substr(i, j - i), "");
        current = &line.options.back().second;
        i = j + 1;
        continue;
      }
      // A word: up to the next blank.
      j = i;
      while (j < raw.size() && raw[j] != ' ' && raw[j] != '\t' && raw[j] != '#' && raw[j] != '"') ++j;
      const std::string word = raw.substr(i, j - i);
      if (current)
        *current += word;
      else if (line.command.empty())
        line.command = word;
      else
        line.words.push_back(word);
      i = j;
    }
    if (quoteOpen) throw SkinError(where + ": a quotation is not closed");
    for (auto& [key, value] : line.options) {
      value = unquoted(trimmed(value));
      if (value.empty()) throw SkinError(where + ": option '" + key + "' has no value");
    }
    if (!line.command.empty()) script.lines_.push_back(std::move(line));
  }
  return script;
}

}  // namespace zvx::data
