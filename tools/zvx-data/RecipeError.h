// A recipe that cannot be read or rendered; what() names the file and line.
#pragma once

#include <stdexcept>
#include <string>

namespace zvx::data {

class RecipeError : public std::runtime_error {
 public:
  explicit RecipeError(const std::string& message) : std::runtime_error(message) {}
};

}  // namespace zvx::data
