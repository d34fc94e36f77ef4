#include "formats/lv2/Lv2Ports.h"

#include <cctype>

#include "instrument/ParameterTable.h"

namespace zvx::lv2 {

std::string parameterSymbol(int index) {
  const std::string_view name = trimmedName(index);
  std::string symbol;
  if (name.empty() || std::isdigit(static_cast<unsigned char>(name.front()))) symbol.push_back('_');
  for (char c : name) symbol.push_back(std::isalnum(static_cast<unsigned char>(c)) ? c : '_');
  if (indexNamed(name) != index) symbol.append(1, '_').append(std::to_string(index));
  return symbol;
}

}  // namespace zvx::lv2
