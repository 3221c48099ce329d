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

void push(const Term& term, std::vector<Term>& stack) {
  while (stack.size() >= 2 && stack.back().precedence >= term.precedence) {
    Term top = stack.back();
    stack.pop_back();
    combine(stack.back().value, top.op, top.value);
  }
  stack.push_back(term);
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

double evaluate_expression(int& pos, const char* text) {
  const int length = static_cast<int>(std::strlen(text));
  DepthGuard depth;
  if (gDepth > kMaxDepth) {
    alert("expression nested more than %d levels deep", kMaxDepth);
    pos = length;
    return 0.0;
  }

  std::vector<Term> stack(1);
  Term term;
  // The current term survives its push: an operand without an operator before it
  // reuses the last operator ("2 3" is 5).
  // An operator not yet followed by an operand: the next one replaces it.
  bool after_operator = false;
  char last_operator = '+';
  auto push_step = [&] {
    push(term, stack);
    after_operator = false;
    ++pos;
  };

  while (pos < length) {
    const char c = text[pos];
    const unsigned char u = static_cast<unsigned char>(c);
    if (std::isspace(u)) {
      ++pos;
    } else if (std::isdigit(u) || c == '.') {
      // strtod accepts what "%lf" accepts, without rescanning the rest of the text.
      char* end = nullptr;
      double value = std::strtod(text + pos, &end);
      if (end == text + pos) {
        ++pos;  // a lone '.'
        continue;
      }
      term.value = value;
      pos = static_cast<int>(end - text) - 1;
      push_step();
    } else if (Term op; operator_term(c, op)) {
      // No push: an operator right after another replaces it ("2*-3" is 2-3).
      if (after_operator)
        warning_text(std::string("in '") + text + "', '" + c + "' replaces '" + last_operator +
                     "': an operator after another is not a sign");
      after_operator = true;
      last_operator = c;
      term = op;
      ++pos;
    } else if (std::isalpha(u)) {
      std::string name;
      if (!evaluate_variable_name(pos, length, text, name)) throw "poorly formed function or variable name";
      const char next = pos < length ? text[pos] : 0;
      if (next == '(') {
        ++pos;
        double arg = evaluate_expression(pos, text);
        term.value = call_func(name, arg);
        --pos;
        push_step();
      } else if (next == '=') {
        gParameters.try_emplace(name, 0.0);
        ++pos;
        double value = evaluate_expression(pos, text);
        if (!is_pinned(name)) gParameters[name] = value;
        // The current term keeps its value: an assignment adds nothing of its own.
        --pos;
        push_step();
      } else if (evaluate_variable(name, term)) {
        --pos;
        push_step();
      } else {
        alert_text("unknown function or variable '" + name +
                   "'\nIf this was supposed to be a new variable use '=' immediately after the name" +
                   parameter_hint(name));
        break;
      }
    } else if (c == '$') {
      ++pos;
      std::string name;
      if (!evaluate_variable_name(pos, length, text, name) || !evaluate_variable(name, term)) break;
      --pos;
      push_step();
    } else if (c == '(') {
      ++pos;
      term.value = evaluate_expression(pos, text);
      --pos;
      if (text[pos] != ')') {
        alert("Unbalanced parentheses");
        break;
      }
      push_step();
    } else if (c == ')' || c == ';') {
      ++pos;
      if (c == ')' && gDepth == gWholeTextDepth)
        warning_text(std::string("in '") + text + "', ')' has no '(': " +
                     (pos < length ? "the rest is ignored" : "it is ignored"));
      break;
    } else {
      warning_text(std::string("in '") + text + "', '" + c + "' is ignored" +
                   (c == '_' ? ": a name starts with a letter" : ""));
      ++pos;
    }
  }

  push(Term{0, 0.0, 0}, stack);
  return stack.front().value;
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
