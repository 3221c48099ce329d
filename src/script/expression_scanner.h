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

// One level of the scan: from `pos` to the end of the text or just past the ')' or ';' that
// ends it. Each kind of token is one step; a step returns false when the level ends.
template <class Steps>
class Expression_Scan {
public:
  using Value = typename Steps::Value;
  using T = ScanTerm<Value>;

  Expression_Scan(Steps& steps, int& pos) : mSteps(steps), mPos(pos), mText(steps.text()), mLength(steps.length()) {
    mStack[0].value = steps.zero();
  }

  Value run() {
    while (mPos < mLength && step()) {}
    push_term(mSteps, T{0, Value{}, 0}, mStack);
    return std::move(mStack.front().value);
  }

private:
  bool step() {
    const char c = mText[mPos];
    const unsigned char u = static_cast<unsigned char>(c);
    if (std::isspace(u)) return skip();
    if (std::isdigit(u) || c == '.') return number();
    if (Term op; operator_term(c, op)) return take_operator(c, op);
    if (std::isalpha(u)) return name_term();
    if (c == '$') return dollar_name();
    if (c == '(') return parenthesis();
    if (c == ')' || c == ';') {
      ++mPos;
      if (c == ')') mSteps.close(mPos);
      return false;
    }
    mSteps.ignored(c);
    return skip();
  }

  bool skip() {
    ++mPos;
    return true;
  }

  // The current term (its value just set) goes on the stack; the scan moves past its last character.
  bool push() {
    push_term(mSteps, mTerm, mStack);
    mAfterOperator = false;
    return skip();
  }

  bool number() {
    double value;
    if (!scan_number(mText, mPos, value)) return skip();
    mTerm.value = mSteps.number(value);
    return push();
  }

  // No push: an operator right after another replaces it ("2*-3" is 2-3).
  bool take_operator(char c, const Term& op) {
    if (mAfterOperator) mSteps.operator_replaced(c, mLastOperator);
    mAfterOperator = true;
    mLastOperator = c;
    mTerm = T{op.op, Value{}, op.precedence};
    return skip();
  }

  // A parameter, a call f(...) or an assignment name=...
  bool name_term() {
    std::string name;
    if (!mSteps.read_name(mPos, name)) throw "poorly formed function or variable name";
    const char next = mPos < mLength ? mText[mPos] : 0;
    if (next == '(') {
      ++mPos;
      Value argument = mSteps.nested(mPos);
      mTerm.value = mSteps.call(name, std::move(argument));
    } else if (next == '=') {
      mSteps.declare(name);
      ++mPos;
      Value value = mSteps.nested(mPos);
      mSteps.assign(name, std::move(value));
      // The current term keeps its value: an assignment adds nothing of its own.
    } else if (!mSteps.reference(name, mTerm.value)) {
      mSteps.unknown_name(name);
      return false;
    }
    --mPos;
    return push();
  }

  // $name: a parameter only.
  bool dollar_name() {
    ++mPos;
    std::string name;
    if (!mSteps.read_name(mPos, name) || !mSteps.reference(name, mTerm.value)) return false;
    --mPos;
    return push();
  }

  bool parenthesis() {
    ++mPos;
    mTerm.value = mSteps.nested(mPos);
    --mPos;
    if (mText[mPos] != ')') {
      mSteps.unbalanced();
      return false;
    }
    return push();
  }

  Steps& mSteps;
  int& mPos;
  const char* const mText;
  const int mLength;
  std::vector<T> mStack = std::vector<T>(1);
  // The current term survives its push: an operand without an operator before it
  // reuses the last operator ("2 3" is 5).
  T mTerm;
  // An operator not yet followed by an operand: the next one replaces it.
  bool mAfterOperator = false;
  char mLastOperator = '+';
};

// Scans from `pos` to the end of the text or just past the ')' or ';' that ends this level.
// Throws const char* "poorly formed function or variable name" on a malformed x$i suffix.
template <class Steps>
typename Steps::Value scan_expression(Steps& steps, int& pos) {
  return Expression_Scan<Steps>(steps, pos).run();
}
