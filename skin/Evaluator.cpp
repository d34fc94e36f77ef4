#include "skin/Evaluator.h"

#include <cmath>
#include <cstring>

#include "skin/SkinLimits.h"

namespace zvx {
namespace {

// Nesting of parentheses and unary minus beyond this fails, so no input can
// exhaust the stack.
constexpr int kMaxDepth = 200;

bool isLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isNameStart(char c) { return isLetter(c) || c == '_'; }
bool isNameChar(char c) { return isNameStart(c) || isDigit(c); }
char lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }

// Integer view of an operand of | & $: truncated toward zero, saturated at the
// int32 range (0 for NaN).
std::int32_t toInt32(double value) {
  if (value != value) return 0;
  if (value >= 2147483647.0) return 2147483647;
  if (value <= -2147483648.0) return -2147483647 - 1;
  return static_cast<std::int32_t>(value);
}

int levelOf(char op) {
  switch (op) {
    case '*':
    case '/':
      return 19;
    case '+':
    case '-':
      return 18;
    case '|':
      return 17;
    case '&':
      return 16;
    case '$':
      return 15;
    default:
      return -1;
  }
}

class Parser {
 public:
  Parser(const ConstantTable& constants, const char* text) : constants_(constants), text_(text) {}

  bool expression(int& p, int minLevel, double& value, int depth) {
    if (depth > kMaxDepth || !operand(p, value, depth)) return false;
    for (;;) {
      skip(p);
      const char op = text_[p];
      const int level = levelOf(op);
      if (level < 0 || level < minLevel) return true;
      ++p;
      double right = 0;
      if (!expression(p, level + 1, right, depth + 1)) return false;
      value = apply(op, value, right);
    }
  }

  void skip(int& p) const {
    while (text_[p] == ' ' || text_[p] == '\t') ++p;
  }

 private:
  static double apply(char op, double a, double b) {
    switch (op) {
      case '*':
        return a * b;
      case '/':
        return a / b;
      case '+':
        return a + b;
      case '-':
        return a - b;
      case '|':
        return static_cast<double>(toInt32(a) | toInt32(b));
      case '&':
        return static_cast<double>(toInt32(a) & toInt32(b));
      default: {  // '$': the shift count's low five bits
        const auto shifted = static_cast<std::uint32_t>(toInt32(a)) << (static_cast<std::uint32_t>(toInt32(b)) & 31u);
        return static_cast<double>(static_cast<std::int32_t>(shifted));
      }
    }
  }

  bool operand(int& p, double& value, int depth) {
    if (depth > kMaxDepth) return false;
    skip(p);
    const char c = text_[p];
    if (c == '-') {
      ++p;
      if (!operand(p, value, depth + 1)) return false;
      value = -value;
      return true;
    }
    if (c == '(') {
      ++p;
      if (!expression(p, 0, value, depth + 1)) return false;
      skip(p);
      if (text_[p] != ')') return false;
      ++p;
      return true;
    }
    if (isDigit(c)) return number(p, value);
    if (isNameStart(c)) {
      const int start = p;
      while (isNameChar(text_[p])) ++p;
      return constants_.find(text_ + start, static_cast<std::size_t>(p - start), value);
    }
    return false;
  }

  // Digits with at most one '.'; no sign, exponent or hexadecimal form.
  bool number(int& p, double& value) {
    double whole = 0;
    while (isDigit(text_[p])) whole = whole * 10 + (text_[p++] - '0');
    value = whole;
    if (text_[p] != '.') return true;
    ++p;
    double scale = 1;
    double fraction = 0;
    while (isDigit(text_[p])) {
      fraction = fraction * 10 + (text_[p++] - '0');
      scale *= 10;
    }
    if (text_[p] == '.') return false;
    value = whole + fraction / scale;
    return true;
  }

  const ConstantTable& constants_;
  const char* text_;
};

}  // namespace

std::uint8_t ConstantTable::hash(const char* name, std::size_t length) {
  unsigned h = 32;
  for (std::size_t i = 0; i < length; ++i) {
    h = ((h << 1) & 255u) | ((h >> 6) & 1u);
    h ^= static_cast<unsigned char>(name[i]) | 32u;
  }
  return static_cast<std::uint8_t>(h & 255u);
}

namespace {

std::string lowered(const char* name, std::size_t length) {
  std::string key(name, length);
  for (char& c : key) c = lower(c);
  return key;
}

}  // namespace

const SkinConstant* ConstantTable::lookup(const char* name, std::size_t length) const {
  if (length > kMaxName) return nullptr;
  const auto found = index_.find(lowered(name, length));
  return found == index_.end() ? nullptr : &table_[found->second];
}

bool ConstantTable::full() const { return table_.count() >= kMaxSkinConstants; }

bool ConstantTable::find(const char* name, std::size_t length, double& value) const {
  const SkinConstant* constant = lookup(name, length);
  if (!constant) return false;
  value = constant->value;
  return true;
}

bool ConstantTable::set(const char* name, std::size_t length, double value) {
  if (length == 0 || length > kMaxName) return false;
  if (auto* existing = const_cast<SkinConstant*>(lookup(name, length))) {
    existing->value = value;
    return true;
  }
  if (full()) return false;
  SkinConstant constant{};
  constant.hash = hash(name, length);
  std::memcpy(constant.name, name, length);
  constant.value = value;
  index_.emplace(lowered(name, length), table_.count());
  table_.append(constant);
  return true;
}

bool Evaluate(ConstantTable& constants, const char* text, int position, double& result) {
  if (!text) return false;
  Parser parser(constants, text);
  int p = position;
  parser.skip(p);
  if (isNameStart(text[p])) {
    const int start = p;
    while (isNameChar(text[p])) ++p;
    const int end = p;
    parser.skip(p);
    if (text[p] == '=') {
      ++p;
      double value = 0;
      if (!parser.expression(p, 0, value, 0)) return false;
      if (!constants.set(text + start, static_cast<std::size_t>(end - start), value)) return false;
      result = value;
      return true;
    }
  }
  p = position;
  double value = 0;
  if (!parser.expression(p, 0, value, 0)) return false;
  result = value;
  return true;
}

}  // namespace zvx
