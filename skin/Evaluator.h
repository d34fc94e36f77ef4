// Named numbers of one skin load, and the evaluator of the arithmetic that
// skin attributes are written in: numbers, constants, parentheses, unary
// minus, * / + - and the integer operators | & and $ (shift left), in double
// precision by precedence climbing.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>

#include "skin/GrowableTable.h"

namespace zvx {

struct SkinConstant {
  std::uint8_t hash;
  char name[63];  // at most 62 characters
  double value;
};

class ConstantTable {
 public:
  static constexpr std::size_t kMaxName = 62;

  // Names are compared ignoring ASCII case. False for names too long, and
  // for new names once the table holds kMaxSkinConstants.
  bool find(const char* name, std::size_t length, double& value) const;
  bool set(const char* name, std::size_t length, double value);
  std::size_t count() const { return table_.count(); }
  bool full() const;
  const SkinConstant& at(std::size_t index) const { return table_[index]; }
  void clear() {
    table_.clear();
    index_.clear();
  }

  // The 8-bit hash compared before the names; blind to ASCII case.
  static std::uint8_t hash(const char* name, std::size_t length);

 private:
  const SkinConstant* lookup(const char* name, std::size_t length) const;
  GrowableTable<SkinConstant> table_;
  // Each name in lower case to its record: lookups do not walk the table.
  std::unordered_map<std::string, std::size_t> index_;
};

// Evaluates the assignment `name = expression` (which also defines the name)
// or the expression that starts at `position`; text after a complete
// expression is ignored. False when the text is no valid expression.
bool Evaluate(ConstantTable& constants, const char* text, int position, double& result);

}  // namespace zvx
