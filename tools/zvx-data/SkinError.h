// A skin source that cannot be read or drawn; what() names the file and line.
#pragma once

#include <stdexcept>
#include <string>

namespace zvx::data {

class SkinError : public std::runtime_error {
 public:
  explicit SkinError(const std::string& message) : std::runtime_error(message) {}
};

}  // namespace zvx::data
