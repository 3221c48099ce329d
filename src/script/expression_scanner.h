// expression_scanner: the one left-to-right scan of an expression text, shared by the
// evaluator (values) and the expression compiler (programs that compute the values).
// The scan decides what each character is and when a term is pushed; a Steps class decides
// what a term's value is and what the scan's alerts and warnings do:
//
//   using Value;                                  double, or the code computing one
//   const char* text() const; int length() const;
//   Value zero();                                 the value below the first term
//   Value number(double);                         a literal
//   bool read_name(int& pos, std::string& name);  false on a malformed $index suffix
//   Value call(const std::string& name, Value argument);
//   void declare(const std::string& name);        before an assignment's right side is read
//   void assign(const std::string& name, Value value);
//   bool reference(std::string& name, Value& value);  false when the name is unknown
//   void unknown_name(const std::string& name);   after reference() failed for a bare name
//   Value nested(int& pos);                       the scan of a parenthesis or an argument
//   void unbalanced();                            a '(' the text never closes
//   void operator_replaced(char op, char before); an operator right after another
//   void close(int pos);                          a ')' (pos just past it)
//   void ignored(char c);                         a character that is none of the above
//   void combine(Value& below, int op, Value& top);  below <- below op top
#pragma once

#include <cctype>
#include <string>
#include <utility>
#include <vector>

struct Term {
  int op = 1;          // 0 end, 1 +, 2 -, 3 *, 4 /, 5 %, 6 ^
  double value = 0.0;
  int precedence = 10;
};

// Nesting (parentheses, function arguments, stored expressions) deeper than this is abandoned.
constexpr int kMaxExpressionDepth = 2000;
// Letters, digits, '_' and '.'.
bool is_name_char(char c);
// Operator character -> its Term (code, precedence, value 0); false for any other character.
bool operator_term(char c, Term& term);
// A literal at `pos` as strtod reads it (what "%lf" accepts); `pos` is left on its last
// character. False for a lone '.', with `pos` left on it.
bool scan_number(const char* text, int& pos, double& value);

// A Term whose value is the Steps' Value.
template <class Value>
struct ScanTerm {
  int op = 1;
  Value value{};
  int precedence = 10;
};

// The reduction step: combines stack terms of higher or equal precedence, then appends `term`.
template <class Steps, class T>
void push_term(Steps& steps, const T& term, std::vector<T>& stack) {
  while (stack.size() >= 2 && stack.back().precedence >= term.precedence) {
    T top = std::move(stack.back());
    stack.pop_back();
    steps.combine(stack.back().value, top.op, top.value);
  }
  stack.push_back(term);
}

// Scans from `pos` to the end of the text or just past the ')' or ';' that ends this level.
// Throws const char* "poorly formed function or variable name" on a malformed x$i suffix.
template <class Steps>
typename Steps::Value scan_expression(Steps& steps, int& pos) {
  using Value = typename Steps::Value;
  using T = ScanTerm<Value>;
  const char* text = steps.text();
  const int length = steps.length();

  std::vector<T> stack(1);
  stack[0].value = steps.zero();
  // The current term survives its push: an operand without an operator before it
  // reuses the last operator ("2 3" is 5).
  T term;
  // An operator not yet followed by an operand: the next one replaces it.
  bool after_operator = false;
  char last_operator = '+';
  auto push_step = [&] {
    push_term(steps, term, stack);
    after_operator = false;
    ++pos;
  };

  while (pos < length) {
    const char c = text[pos];
    const unsigned char u = static_cast<unsigned char>(c);
    if (std::isspace(u)) {
      ++pos;
    } else if (std::isdigit(u) || c == '.') {
      double value;
      if (!scan_number(text, pos, value)) {
        ++pos;
        continue;
      }
      term.value = steps.number(value);
      push_step();
    } else if (Term op; operator_term(c, op)) {
      // No push: an operator right after another replaces it ("2*-3" is 2-3).
      if (after_operator) steps.operator_replaced(c, last_operator);
      after_operator = true;
      last_operator = c;
      term = T{op.op, Value{}, op.precedence};
      ++pos;
    } else if (std::isalpha(u)) {
      std::string name;
      if (!steps.read_name(pos, name)) throw "poorly formed function or variable name";
      const char next = pos < length ? text[pos] : 0;
      if (next == '(') {
        ++pos;
        Value argument = steps.nested(pos);
        term.value = steps.call(name, std::move(argument));
      } else if (next == '=') {
        steps.declare(name);
        ++pos;
        Value value = steps.nested(pos);
        steps.assign(name, std::move(value));
        // The current term keeps its value: an assignment adds nothing of its own.
      } else if (!steps.reference(name, term.value)) {
        steps.unknown_name(name);
        break;
      }
      --pos;
      push_step();
    } else if (c == '$') {
      ++pos;
      std::string name;
      if (!steps.read_name(pos, name) || !steps.reference(name, term.value)) break;
      --pos;
      push_step();
    } else if (c == '(') {
      ++pos;
      term.value = steps.nested(pos);
      --pos;
      if (text[pos] != ')') {
        steps.unbalanced();
        break;
      }
      push_step();
    } else if (c == ')' || c == ';') {
      ++pos;
      if (c == ')') steps.close(pos);
      break;
    } else {
      steps.ignored(c);
      ++pos;
    }
  }

  push_term(steps, T{0, Value{}, 0}, stack);
  return std::move(stack.front().value);
}
