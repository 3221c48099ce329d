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
  const struct {
    std::string text;
    bool compiles;
  } rows[] = {
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
  const struct {
    const char* change;
    std::function<void()> apply;
    bool valid;
  } rows[] = {
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
