// The expression evaluator, and its compiled programs checked against it.
#include "script/compiled_expression.h"

#include "script_fixture.h"
#include "support/evaluation_support.h"

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

namespace {

using ExpressionTest = ExprTest;

const double kPi = std::acos(-1.0), kNaN = std::nan(""), kInf = HUGE_VAL;
const std::string kUnknown = "unknown function or variable 'nosuch'\n"
                             "If this was supposed to be a new variable use '=' immediately after the name";
const std::string kUnbalanced = "Unbalanced parentheses", kPoor = "poorly formed function or variable name";

}  // namespace

// Evaluated in order; each row gives the value and the one alert, if any, or the text thrown. The scan's quirks are
// deliberate: an operand after an operand reuses the last operator, an operator replaces the one
// before it, an assignment is worth 0 to its term. Built-in values are closed forms, not the
// library calls behind the names; the random ones follow the C library's sequence.
TEST_F(ExpressionTest, ValuesAndAlerts) {
  gParameters = {{"w", 3}, {"x2", 7}, {"x-1", 5}, {"x0", 9}, {"i.y", 2}};
  stored_expressions = {{"r", "2*w"}, {"s", "r/2+1"}, {"one", "1"}, {"two", "one+one"},
                        {"sa", "sb+1"}, {"sb", "sa*2+3"}, {"sc", "sc+1"}, {"bad", "x$nosuch"}};
  const auto self = [](std::string name) { return "stored expression '" + name + "' refers to itself"; };
  std::srand(11);
  const double first = std::rand(), second = std::rand(), rand_max = 2147483647;
  const struct { const char* text; double value; std::string alert = "", thrown = ""; } rows[] = {
      {"1+2*3", 7},      {"2^3^2", 64},      {"-2^2", -4},       {"2*3%4", 6},       {"-7%3", -1},
      {"2*-3", -1},      {"2*3 4", 24},      {"", 0},            {"\t7 \n", 7},      {"1+2)*3", 3},
      {"1+2;5", 3},      {"2-3-4", -5},      {". 1", 1},         {"1e3+1", 1001},    {"2*(3+4)^2", 98},
      {"2@3", 5},        {"()", 0},          {"1/0", kInf},      {"0/0", kNaN},      {"5%0", kNaN},
      {"$w*2", 6},       {"1+$nosuch+5", 1}, {"2+$", 2},         {"4+$x$nosuch", 4}, {"$w$", 0},
      {"(1+2", 0, kUnbalanced},  {"3-(1", 3, kUnbalanced},  {"5*(", 5, kUnbalanced},
      {"4+(1;2)", 4, kUnbalanced},                          {"1+nosuch*2+100", 1, kUnknown},
      // a malformed index suffix throws, also inside a stored expression, which it leaves unmarked
      {"x$nosuch", 0, "", kPoor},  {"1+x$+2", 0, "", kPoor},  {"f$i(2)", 0, "", kPoor},  {"1+bad", 0, "", kPoor},
      {"1+bad", 0, "", kPoor},
      // x$i names the parameter x<i truncated toward zero>; the index name takes in a dot
      {"i=2.9", 0},      {"x$i+10*$x$i", 77}, {"i=-1.5", 0},     {"x$i", 5},         {"i=-0.7", 0},
      {"x$i", 9},        {"i=3;x$i=4", 0},   {"x3*10+x$i.y", 47},
      // stored expressions: evaluated at each use, ahead of a parameter of the same name
      {"r+1", 7},        {"$r+s", 10},       {"r=50;r", 6},      {"two*two", 4},
      {"sc+10", 11, self("sc")}, {"sa", 4, self("sa")},     {"sb", 5, self("sb")},
      {"(w=4)", 0},      {"a=1;b=2", 0},     {"2+c=5", 2},       {"n=n+1", 0},       {"n=n+1", 0},
      {"p=q=3", 0},      {"refine.max_iter=7", 0},
      {"w+b*10+c*100+n*1000+q*1e4+p+refine.max_iter*1e5+r*1e6", 8732524},
      {"abs(-2)+fabs(-3)+sqrt(16)+ceil(1.2)+floor(-1.2)", 9},  {"y0(1)", 0.08825696421567696},
      {"log(exp(2))+cosh(0)+sinh(0)+tanh(1000)-tanh(-1000)", 5}, {"atanh(0.5)*2", std::log(3.0)},
      {"acosh(1)+asinh(0)+j0(0)+j1(0)+sin(0)+cos(0)+tan(0)", 2}, {"atan(1)*4+asin(1)*2+acos(-1)", 3 * kPi},
      {"sinh(1)-(exp(1)-exp(-1))/2+cosh(2)-(exp(2)+exp(-2))/2", 0}, {"asinh(-1e10)", -std::log(2e10)},
      {"acosh(1e10)", std::log(2e10)},    {"sqrt(-1)", kNaN}, {"log(-1)", kNaN}, {"rand_max(-5)", rand_max},
      {"log(0)+5", 5, "log(0.0) not allowed"},  {"y0(0)", 0, "y0(0.0) not allowed"},
      {"y1(-0)*2+1", 1, "y1(0.0) not allowed"}, {"srand(11)", first},  {"rand(0)", second},
      {"sfrand(11.9)", first / rand_max},       {"frand(0)", second / rand_max},
      {"srand(1e300)-srand(2147483647)", 0},  // saturated, not undefined
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.text);
    sink.clear();
    double v = 0;
    const double want = row.value;
    std::string thrown;
    try {
      v = eval(row.text);
    } catch (const char* text) {
      thrown = text;
    }
    EXPECT_EQ(thrown, row.thrown);
    EXPECT_TRUE(v == want || std::fabs(v - want) <= 1e-12 || (std::isnan(v) && std::isnan(want))) << v;
    EXPECT_EQ(alerts(), row.alert.empty() ? std::vector<std::string>{} : std::vector<std::string>{row.alert});
  }
  EXPECT_EQ(gParameters["r"], 50);
}

TEST_F(ExpressionTest, DeepNestingIsAbandonedWithOneAlert) {
  EXPECT_EQ(eval(std::string(100, '(') + "1" + std::string(100, ')')), 1);
  EXPECT_TRUE(alerts().empty());
  eval(std::string(100000, '(') + "1" + std::string(100000, ')'));
  EXPECT_EQ(alerts(), std::vector<std::string>{"expression nested more than 2000 levels deep"});
}

namespace {

class CompiledExpressionTest : public ExprTest {
protected:
  // The state every row starts from: parameters, stored expressions, the random sequence.
  void start() {
    gParameters = {{"w", 3},    {"x2", 7},     {"i", 2.9},        {"u", 0.25},
                   {"v", -0.5}, {"nz", -0.0},  {"nanp", std::nan("")}, {"refine.max_iter", 4}};
    stored_expressions = {{"r", "2*w"},   {"s", "r/2+1"}, {"sc", "sc+1"},  {"k", "q=w*2"},
                          {"kw", "w=w+1"}, {"deep", std::string(1997, '(') + "1"}};
    std::srand(11);
  }
  // Every parameter moves, so a second evaluation shows whether values are read afresh.
  static void move_params() {
    for (auto& [name, value] : gParameters) value += 1;
  }
  EvaluationOutcome interpreted(const std::string& text) {
    return observe_evaluation(sink, [&] { return evaluate_expression(text.c_str()); });
  }
  EvaluationOutcome compiled(CompiledExpression& e) {
    return observe_evaluation(sink, [&] { return e.evaluate(); });
  }
};

// Each text is evaluated twice (parameters moved in between) by the evaluator and by its
// compiled program, both from the same state: values bit for bit, messages, parameters and
// thrown texts must agree. `compiles` says which texts must not fall back to the evaluator.
TEST_F(CompiledExpressionTest, AgreesWithTheEvaluator) {
  ASSERT_TRUE(define("f poly 3 1 2 3"));
  const struct { std::string text; bool compiles; } rows[] = {
      // the scan's quirks: reused operators, replaced operators and ignored characters (these
      // warn, so the evaluator keeps them, as it keeps a ")" without "("), early ends
      {"1+2*3", true}, {"2^3^2", true}, {"-2^2", true}, {"2*3%4", true}, {"-7%3", true},
      {"2*-3", false}, {"2*3 4", true}, {"", true}, {"\t7 \n", true}, {"1+2)*3", false},
      {"1+2;5", true}, {"2-3-4", true}, {". 1", true}, {"1e3+1", true}, {"0x1p4+1", true},
      {"2*(3+4)^2", true}, {"2@3", false}, {"()", true}, {"1/0", true}, {"0/0", true}, {"5%0", true},
      // parameters, signed zeros and NaNs on either side of an operator
      {"$w*2", true}, {"w*u-v", true}, {"u^v", true}, {"v%u", true}, {"w/(u-0.25)", true},
      {"-u", true}, {"2 u 3", true}, {"u v*w", true}, {"nz", true}, {"2*nz", true}, {"nz*-1", false},
      {"0/0*nanp", true}, {"nanp*(0/0)", true}, {"0/0+nanp", true}, {"nanp+0/0", true},
      {"refine.max_iter*2", true},
      // functions: built-ins, a user function, an unknown one, unclosed and cut-short arguments
      {"sin(u)*cos(v)", true}, {"2*sin(3.14*u)+atan(v)", true}, {"sqrt(v)", true},
      {"abs(v)^0.5", true}, {"sin(u", true}, {"cos(u;5)+1", false}, {"sin()", true},
      {"f(u)+1", true}, {"nosuchf(2)+1", true}, {"log(0)+1", true}, {"y0(v-v)", true},
      {"rand()%7+rand()%5", true}, {"sfrand(3)*2+frand(0)", true}, {"srand(u)", true},
      // stored expressions: evaluated at each use, side effects in place, depth counted
      {"r+1", true}, {"$r+s", true}, {"sc+10", true}, {"k*0+w", true}, {"w*kw+w", true},
      {"kw+w", true}, {"(deep)", true}, {"((deep))", true},
      // left to the evaluator
      {"(1+2", false}, {"3-(1", false}, {"w=4", false}, {"2+c=5", false}, {"(w=4)", false},
      {"a=1;b=2", false}, {"1+nosuch*2+100", false}, {"x$i+1", false}, {"$nosuch+1", false},
      {"4+$x$nosuch", false}, {"$w$", false}, {"k+q", false}, {"x$nosuch", false},
      {std::string(300, '(') + "1", false}, {std::string(2100, '(') + "1", false},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.text.substr(0, 40));
    start();
    const EvaluationOutcome want1 = interpreted(row.text);
    move_params();
    const EvaluationOutcome want2 = interpreted(row.text);

    start();
    CompiledExpression e(row.text);
    EXPECT_EQ(e.compiled(), row.compiles);
    const EvaluationOutcome got1 = compiled(e);
    expect_same_outcome(got1, want1);
    move_params();
    expect_same_outcome(compiled(e), want2);
  }
}

// A script run between evaluations may replace the parameter table or define stored
// expressions; bindings_valid notices, and a recompiled program agrees again.
TEST_F(CompiledExpressionTest, BindingsFollowTheTables) {
  const struct { const char* change; std::function<void()> apply; bool valid; } rows[] = {
      {"value changed", [] { gParameters["w"] = 5; }, true},
      {"other parameter added", [] { gParameters["other"] = 1; }, true},
      {"table replaced by a copy", [] { gParameters = std::map<std::string, double>(gParameters); }, false},
      {"parameter shadowed", [] { stored_expressions["w"] = "7"; }, false},
      {"stored expression redefined", [] { stored_expressions["r"] = "u+1"; }, true},
      {"stored expression gone", [] { stored_expressions.erase("r"); }, false},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.change);
    start();
    CompiledExpression e("w*2+r+sin(u)");
    ASSERT_TRUE(e.compiled());
    row.apply();
    EXPECT_EQ(e.bindings_valid(), row.valid);
    if (!e.bindings_valid()) e.recompile();
    const EvaluationOutcome want = interpreted(e.text());
    expect_same_outcome(compiled(e), want);
  }
}

// Built-in results are remembered by argument: arguments that repeat or collide in the table
// still give the evaluator's value.
TEST_F(CompiledExpressionTest, RememberedResultsMatchTheEvaluator) {
  start();
  const std::string text = "sin(u*w)+cos(v)";
  CompiledExpression e(text);
  ASSERT_TRUE(e.pure());
  std::vector<double> us;
  for (int k = 0; k < 10000; ++k) us.push_back((k % 5000) * 0.37);
  for (double u : us) {
    gParameters["u"] = u;
    gParameters["v"] = -u;
    const double want = evaluate_expression(text.c_str());
    ASSERT_EQ(std::bit_cast<std::uint64_t>(e.evaluate()), std::bit_cast<std::uint64_t>(want)) << u;
  }
}

TEST_F(CompiledExpressionTest, PureOnlyWithoutSideEffects) {
  start();
  ASSERT_TRUE(define("f poly 2 1 1"));
  for (auto [text, pure] : {std::pair{"u+0.05*sin(6.28*v)", true}, {"sqrt(u)*j0(v)", true},
                            {"log(u)", false}, {"rand()", false}, {"f(u)", false}, {"r", false},
                            {"w=1", false}}) {
    EXPECT_EQ(CompiledExpression(text).pure(), pure) << text;
  }
}

}  // namespace
