// A number as printf's "%.Nf" writes it in the C locale: always a decimal
// point, whatever locale the host process has set.
#pragma once

#include <charconv>
#include <string>

inline std::string fixedText(double value, int decimals) {
  char buffer[64];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals);
  return result.ec == std::errc() ? std::string(buffer, result.ptr) : std::string();
}
