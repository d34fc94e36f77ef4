// The expression evaluator, table-driven: text against value or failure.
#include <gtest/gtest.h>

#include <cmath>
#include <optional>

#include "skin/Evaluator.h"

namespace zvx {
namespace {

std::optional<double> evaluate(ConstantTable& constants, const char* text) {
  double result = 0;
  if (!Evaluate(constants, text, 0, result)) return std::nullopt;
  return result;
}

TEST(EvaluatorTest, PrecedenceOperatorsAndOperands) {
  ConstantTable constants;
  constants.set("W", 1, 20);
  constants.set("X", 1, 3);
  const std::vector<std::pair<const char*, std::optional<double>>> cases = {
      {"W*2+1", 41},       {"W+X*2", 26},      {"(W+X)*2", 46},    {"X/2", 1.5},     {"1$4|1", 32},
      {"1+1$2", 8},        {"3&1+1", 2},       {"2*(1+2)+1", 7},   {"-(2*3)+1", -5}, {"7&3", 3},
      {"5.9|0", 5},        {"-2+3", 1},        {"--4", 4},         {"1.", 1},        {"3 4", 3},
      {"  w * x ", 60},
      {"1.2.3", {}},       {"unknown", {}},    {"", {}},           {"+5", {}},       {".5", {}},
      {"(1+2", {}},        {"1+", {}},         {"2*(3", {}},       {"1 $ 33", 2},    {"-1|0", -1},
      {"4294967296|0", 2147483647},            {"1/0", INFINITY},  {"\t2\t*\t3", 6}, {"2 # comment", 2},
  };
  for (const auto& [text, expected] : cases) EXPECT_EQ(evaluate(constants, text), expected) << text;
}

TEST(EvaluatorTest, AssignmentsDefineCaseBlindConstantsAndDeepNestingFails) {
  ConstantTable constants;
  EXPECT_EQ(evaluate(constants, "W = 5"), 5);
  EXPECT_EQ(evaluate(constants, "w*2"), 10);
  EXPECT_EQ(evaluate(constants, "w = W + 1"), 6);  // the same constant, replaced
  EXPECT_EQ(constants.count(), 1u);
  EXPECT_EQ(evaluate(constants, "Bad = 1.2.3"), std::nullopt);
  EXPECT_EQ(evaluate(constants, "bad"), std::nullopt);  // a failed assignment defines nothing
  EXPECT_EQ(evaluate(constants, (std::string(63, 'a') + " = 1").c_str()), std::nullopt);  // names fit 62
  EXPECT_EQ(evaluate(constants, (std::string(62, 'b') + " = 7").c_str()), 7);
  // Deep nesting fails instead of overflowing the stack.
  EXPECT_EQ(evaluate(constants, std::string(100000, '(').c_str()), std::nullopt);
  EXPECT_EQ(evaluate(constants, (std::string(100000, '-') + "1").c_str()), std::nullopt);
}

}  // namespace
}  // namespace zvx
