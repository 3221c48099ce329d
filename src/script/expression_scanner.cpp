// expression_scanner: the character rules of the scan; the scan itself is a template in the
// header, instantiated by the evaluator and by the expression compiler.

#include "script/expression_scanner.h"

#include <cstdlib>
#include <cstring>

bool is_name_char(char c) {
  unsigned char u = static_cast<unsigned char>(c);
  return std::isalnum(u) || c == '_' || c == '.';
}

// Operator character -> code and precedence; "%" and "^" bind tightest.
bool operator_term(char c, Term& term) {
  static const char kOps[] = "+-*/%^";
  static const int kPrecedence[] = {10, 10, 20, 20, 30, 30};
  const char* at = std::strchr(kOps, c);
  if (c == 0 || !at) return false;
  int index = static_cast<int>(at - kOps);
  term = Term{index + 1, 0.0, kPrecedence[index]};
  return true;
}

// strtod reads the literal without rescanning the rest of the text.
bool scan_number(const char* text, int& pos, double& value) {
  char* end = nullptr;
  value = std::strtod(text + pos, &end);
  if (end == text + pos) return false;
  pos = static_cast<int>(end - text) - 1;
  return true;
}
