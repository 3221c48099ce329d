// expression: one left-to-right scan with an operator-precedence stack.

#include "script/expression.h"

#include "script/parameters.h"
#include "script/functions.h"
#include "script/scriptstream.h"
#include "util/message.h"
#include "util/nearest_name.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <optional>

namespace {

// "did you mean" for an unknown name. A mistyped name in a parametric part is met once per
// point: the last answer is kept while the name and the number of parameters stay the same.
std::string parameter_hint(const std::string& name) {
  static std::string last_name, last_hint;
  static size_t last_count = size_t(-1);
  if (name != last_name || gParameters.size() != last_count) {
    NearestName near(name);
    for (const auto& [known, value] : gParameters) near.consider(known);
    last_name = name, last_count = gParameters.size(), last_hint = near.hint();
  }
  return last_hint;
}

}  // namespace

namespace {

// Deeper nesting than kMaxExpressionDepth abandons the evaluation instead of exhausting the stack.
constexpr int kMaxDepth = kMaxExpressionDepth;
int gDepth = 0;
// The depth of the loop that reads a whole text: a ')' that ends it has no '('.
int gWholeTextDepth = 1;

// Stored expressions being evaluated, innermost last: a name met again refers to itself.
std::vector<std::string> gExpanding;

struct DepthGuard {
  DepthGuard() { ++gDepth; }
  ~DepthGuard() { --gDepth; }
};

struct ExpandingGuard {
  explicit ExpandingGuard(const std::string& name) { gExpanding.push_back(name); }
  ~ExpandingGuard() { gExpanding.pop_back(); }
};

}  // namespace

// Kept out of line so that every caller runs the same instructions: which operand's NaN an
// addition or multiplication of two NaNs returns depends on the operand order the compiler
// picked for that one copy.
[[gnu::noinline]] void combine(double& below, int op, double value) {
  switch (op) {
    case 1: below += value; break;
    case 2: below -= value; break;
    case 3: below *= value; break;
    case 4: below /= value; break;
    case 5: below = std::fmod(below, value); break;
    case 6: below = std::pow(below, value); break;
    default: break;
  }
}

NestedEvaluation::NestedEvaluation(int levels) : mLevels(levels) { gDepth += levels; }
NestedEvaluation::~NestedEvaluation() { gDepth -= mLevels; }

int truncate_to_int(double x) {
  if (std::isnan(x)) return 0;
  if (x >= static_cast<double>(INT_MAX)) return INT_MAX;
  if (x <= static_cast<double>(INT_MIN)) return INT_MIN;
  return static_cast<int>(x);
}

// A name is a run of letters, digits, '_' and '.'; "x$i" appends the value of parameter i
// truncated to an int, and the index suffix always ends the name.
bool evaluate_variable_name(int& pos, const int& length, const char* text, std::string& name) {
  while (pos < length && is_name_char(text[pos])) {
    name += text[pos++];
    if (pos < length && text[pos] == '$') {
      ++pos;
      std::string index;
      while (pos < length && is_name_char(text[pos])) index += text[pos++];
      auto it = gParameters.find(index);
      if (index.empty() || it == gParameters.end()) return false;
      name += std::to_string(truncate_to_int(it->second));
      return true;
    }
  }
  return true;
}

// A stored expression shadows a parameter of the same name and is evaluated afresh here.
bool evaluate_variable(std::string& name, Term& term) {
  auto stored = stored_expressions.find(name);
  if (stored != stored_expressions.end()) {
    if (std::find(gExpanding.begin(), gExpanding.end(), name) != gExpanding.end()) {
      alert_text("stored expression '" + name + "' refers to itself");
      term.value = 0.0;
      return true;
    }
    ExpandingGuard guard(name);
    // Its messages point at its definition, with a note for where it was used.
    MessageLocationGuard restore;
    std::optional<MessageContextGuard> used_here;
    auto origin = stored_expression_origins.find(name);
    if (origin != stored_expression_origins.end()) {
      used_here.emplace(message_location(), "in stored expression '" + name + "', used here");
      set_message_location(origin->second);
    }
    term.value = evaluate_expression(stored->second.c_str());
    return true;
  }
  auto param = gParameters.find(name);
  if (param == gParameters.end()) return false;
  if (!gPinnedParameters.empty()) note_param_read(name);
  term.value = param->second;
  return true;
}

namespace {

// The scan's steps with values: names are read, called and assigned as they are met.
class EvaluateSteps {
public:
  using Value = double;
  EvaluateSteps(const char* text, int length) : mText(text), mLength(length) {}
  const char* text() const { return mText; }
  int length() const { return mLength; }

  double zero() { return 0.0; }
  double number(double value) { return value; }
  bool read_name(int& pos, std::string& name) { return evaluate_variable_name(pos, mLength, mText, name); }
  double call(const std::string& name, double argument) { return call_func(name, argument); }
  void declare(const std::string& name) { gParameters.try_emplace(name, 0.0); }
  void assign(const std::string& name, double value) {
    if (!is_pinned(name)) gParameters[name] = value;
  }
  bool reference(std::string& name, double& value) {
    Term term;
    if (!evaluate_variable(name, term)) return false;
    value = term.value;
    return true;
  }
  void unknown_name(const std::string& name) {
    alert_text("unknown function or variable '" + name +
               "'\nIf this was supposed to be a new variable use '=' immediately after the name" +
               parameter_hint(name));
  }
  double nested(int& pos) { return evaluate_expression(pos, mText); }
  void unbalanced() { alert("Unbalanced parentheses"); }
  void operator_replaced(char op, char before) {
    warning_text(std::string("in '") + mText + "', '" + op + "' replaces '" + before +
                 "': an operator after another is not a sign");
  }
  void close(int pos) {
    if (gDepth == gWholeTextDepth)
      warning_text(std::string("in '") + mText + "', ')' has no '(': " +
                   (pos < mLength ? "the rest is ignored" : "it is ignored"));
  }
  void ignored(char c) {
    warning_text(std::string("in '") + mText + "', '" + c + "' is ignored" +
                 (c == '_' ? ": a name starts with a letter" : ""));
  }
  void combine(double& below, int op, double& top) { ::combine(below, op, top); }

private:
  const char* mText;
  int mLength;
};

}  // namespace

double evaluate_expression(int& pos, const char* text) {
  const int length = static_cast<int>(std::strlen(text));
  DepthGuard depth;
  if (gDepth > kMaxDepth) {
    alert("expression nested more than %d levels deep", kMaxDepth);
    pos = length;
    return 0.0;
  }
  EvaluateSteps steps(text, length);
  return scan_expression(steps, pos);
}

// The evaluator's warnings come from exactly these: a character it ignores, an operator
// right after another, or a ')' without its '(' (what follows it is never read).
bool expression_has_quirks(const char* text) {
  bool after_operator = false;
  int depth = 0;
  for (const char* p = text; *p; ++p) {
    const unsigned char u = static_cast<unsigned char>(*p);
    if (std::isspace(u)) continue;
    Term op;
    if (operator_term(*p, op)) {
      if (after_operator) return true;
      after_operator = true;
      continue;
    }
    after_operator = false;
    if (*p == '(') ++depth;
    if (*p == ')' && --depth < 0) return true;
    if (*p == ';' && depth > 0) return true;  // ends the part in parentheses early
    if (!std::isalnum(u) && !std::strchr("._$()=;", *p)) return true;
    if (*p == '_' && (p == text || !is_name_char(p[-1]))) return true;
  }
  return false;
}

double evaluate_expression(const char* text) {
  int pos = 0;
  const int outer = gWholeTextDepth;
  gWholeTextDepth = gDepth + 1;
  const double value = evaluate_expression(pos, text);
  gWholeTextDepth = outer;
  return value;
}
