// The expression evaluator, table-driven: text against value or failure.
#include "skin/Evaluator.h"
#include "tests/support/TestSupport.h"

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
  // In turn: "w" is W replaced, a failed assignment defines nothing, names
  // fit 62 characters, and deep nesting fails instead of overflowing the stack.
  ConstantTable constants;
  for (const auto& [text, expected] : std::vector<std::pair<std::string, std::optional<double>>>{
           {"W = 5", 5}, {"w*2", 10}, {"w = W + 1", 6}, {"Bad = 1.2.3", {}}, {"bad", {}}, {std::string(63, 'a') + " = 1", {}},
           {std::string(62, 'b') + " = 7", 7}, {std::string(100000, '('), {}}, {std::string(100000, '-') + "1", {}}})
    EXPECT_EQ(evaluate(constants, text.c_str()), expected) << text.substr(0, 70);
  EXPECT_EQ(constants.count(), 2u);  // W and the 62 b's
}

}  // namespace
}  // namespace zvx
