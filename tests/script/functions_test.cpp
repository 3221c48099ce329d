#include "script_fixture.h"

#include <cmath>
#include <cstdlib>

namespace {

using FunctionsTest = ExprTest;

const double kPi = std::acos(-1.0);

// The built-in names in the order the unknown-function list shows them ("abs" covers "fabs").
const char* const kListedBuiltins[] = {"sin",  "cos",   "tan",   "asin",  "acos",     "atan", "exp",
                                       "log",  "sinh",  "cosh",  "tanh",  "asinh",    "acosh", "atanh",
                                       "sqrt", "abs",   "ceil",  "floor", "j0",       "j1",   "y0",
                                       "y1",   "rand_max", "rand", "srand", "frand", "sfrand"};

std::string allowed_functions_text(const std::string& name, const std::vector<std::string>& user) {
  std::string text = "Unknown Function named '" + name + "' requested\nIf this was supposed to be a variable use $" +
                     name + "\n@b@cfunctions\n";
  for (const char* b : kListedBuiltins) text += std::string(b) + "\n";
  if (!user.empty()) {
    text += "User Defined:\n";
    for (const auto& u : user) text += u + "\n";
  }
  return text;
}

// Restores the spline trace counter, which lives for the process.
struct TraceCounter {
  int saved = deBoor2_interpX_debug;
  ~TraceCounter() { deBoor2_interpX_debug = saved; }
};

}  // namespace

TEST_F(FunctionsTest, BuiltinValues) {
  struct Row {
    const char* text;
    double value;
  } rows[] = {
      {"abs(-2)", 2},          {"fabs(-2)", 2},           {"rand_max(0)", 2147483647}, {"rand_max(-5)", 2147483647},
      {"atanh(0)", 0},         {"sqrt(16)", 4},           {"ceil(1.2)", 2},            {"floor(-1.2)", -2},
      {"exp(0)", 1},           {"log(exp(2))", 2},        {"sinh(0)", 0},              {"cosh(0)", 1},
      {"tanh(0)", 0},          {"tanh(1000)", 1},         {"tanh(-1000)", -1},         {"acosh(1)", 0},
      {"asinh(0)", 0},         {"j0(0)", 1},              {"j1(0)", 0},                {"sin(0)+cos(0)", 1},
      {"atan(1)*4", kPi},      {"asin(1)*2", kPi},        {"acos(-1)", kPi},           {"tan(0)", 0},
      {"2*abs(0-3)", 6},       {"sqrt(abs(-9))", 3},      {"atanh(0.5)*2", std::log(3.0)},
      {"sinh(1)-(exp(1)-exp(-1))/2", 0}, {"cosh(2)-(exp(2)+exp(-2))/2", 0},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.text);
    EXPECT_NEAR(eval(row.text), row.value, 1e-12);
  }
  // asinh(-x) = -log(2x) to double precision for large x; the log(x + sqrt(x*x+1)) form cancels to -inf.
  EXPECT_NEAR(eval("asinh(-1e10)"), -std::log(2e10), 1e-9);
  EXPECT_NEAR(eval("acosh(1e10)"), std::log(2e10), 1e-9);
  EXPECT_TRUE(std::isnan(eval("sqrt(-1)")));
  EXPECT_TRUE(std::isnan(eval("log(-1)")));
  EXPECT_TRUE(alerts().empty());
}

TEST_F(FunctionsTest, DomainAlertsGiveZeroAndEvaluationGoesOn) {
  struct Row {
    const char* text;
    double value;
    const char* alert;
  } rows[] = {
      {"log(0)", 0, "log(0.0) not allowed"},
      {"log(0)+5", 5, "log(0.0) not allowed"},
      {"y0(0)", 0, "y0(0.0) not allowed"},
      {"y1(-0)*2+1", 1, "y1(0.0) not allowed"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.text);
    sink.clear();
    EXPECT_EQ(eval(row.text), row.value);
    EXPECT_EQ(alerts(), std::vector<std::string>{row.alert});
  }
  sink.clear();
  EXPECT_NEAR(eval("y0(1)"), 0.08825696421567696, 1e-12);
  EXPECT_LT(eval("y1(1)"), -0.78);
  EXPECT_TRUE(alerts().empty());
}

TEST_F(FunctionsTest, RandomFunctions) {
  EXPECT_EQ(eval("sfrand(5)"), eval("sfrand(5)"));
  EXPECT_EQ(eval("srand(7)"), eval("srand(7.9)"));
  std::srand(7);
  double expected = std::rand();
  EXPECT_EQ(eval("srand(7)"), expected);
  std::srand(5);
  expected = std::rand() / 2147483647.0;
  EXPECT_EQ(eval("sfrand(5)"), expected);
  // After seeding, rand and frand continue the same sequence.
  std::srand(11);
  int first = std::rand(), second = std::rand();
  EXPECT_EQ(eval("srand(11)"), first);
  EXPECT_EQ(eval("rand(0)"), second);
  EXPECT_EQ(eval("srand(11)"), first);
  EXPECT_EQ(eval("frand(0)"), second / 2147483647.0);
  for (int i = 0; i < 20; ++i) {
    double f = eval("frand(0)");
    EXPECT_GE(f, 0.0);
    EXPECT_LE(f, 1.0);
  }
  // A huge seed is truncated to the int range, not undefined.
  EXPECT_EQ(eval("srand(1e300)"), eval("srand(2147483647)"));
}

TEST_F(FunctionsTest, UnknownFunctionShowsTheAllowedList) {
  EXPECT_EQ(eval("nosuch(1)+3"), 3);
  ASSERT_EQ(sink.entries.size(), 1u);
  EXPECT_EQ(sink.entries[0].kind, "list");
  EXPECT_EQ(sink.entries[0].title, "Allowed Functions");
  EXPECT_EQ(sink.entries[0].text, allowed_functions_text("nosuch", {}));

  sink.clear();
  ASSERT_TRUE(define("zeta poly 1 1"));
  ASSERT_TRUE(define("alpha poly 1 1"));
  EXPECT_EQ(eval("SIN(0)"), 0);  // names are case-sensitive
  ASSERT_EQ(sink.entries.size(), 1u);
  EXPECT_EQ(sink.entries[0].text, allowed_functions_text("SIN", {"alpha", "zeta"}));
}

TEST_F(FunctionsTest, UserFunctionValues) {
  struct Row {
    const char* definition;
    double x, value;
  } rows[] = {
      {"f poly 3 1 0 2", 2, 9},
      {"f poly 3 1 0 2", -1, 3},
      {"f poly 0", 5, 0},
      {"f poly 1 [2*3]", 100, 6},
      {"f poly 4 0 -2 0 1", 3, 21},  // x^3 - 2x
      {"g bezier 3 0 1 0", 0.5, 0.5},
      {"g bezier 3 0 1 0", 0.25, 0.375},  // 2t(1-t)
      {"g bezier 3 0 1 0", -1, 0},
      {"g bezier 3 0 1 0", 2, 0},
      {"g bezier 4 0 0 0 1", 0.5, 0.125},  // t^3
      {"g bezier 0", 0.5, 0},
      {"h fit 3 0 0 1 1 2 4", 1.5, 2.25},
      {"h fit 3 0 0 1 1 2 4", 1, 1},
      {"h fit 3 0 0 1 1 2 4", 3, 9},
      {"h fit 3 0 0 1 1 2 4", -1, 1},
      {"h fit 4 -1 1 0 0 1 -1 2 4", 0.5, -0.875},  // x^3 - 2x through 4 points
      {"h fit 4 2 4 -1 1 1 -1 0 0", 3, 21},        // any order of the points
      {"h fit 1 5 7", 100, 7},
      {"h fit 0", 1, 0},
      {"d fit 3 0 1 1 2 1 3", 0.5, 0},  // equal consecutive abscissas
      {"d fit 3 0 1 1 2 1 3", 0, 1},
      {"d fit 3 0 1 1 2 1 3", 1, 2},
      {"d fit 3 0 1 1 2 0 3", 0.5, 0},  // equal abscissas apart: no inf or NaN
      {"r r_fit 3 0 0.5 1 [2/3] 2 0.75", 3, 0.8},      // (1+x)/(2+x)
      {"r r_fit 3 0 0.5 1 [2/3] 2 0.75", 0.5, 0.6},
      {"r r_fit 5 -2 0.2 -1 0.5 0 1 1 0.5 2 0.2", 0.5, 0.8},  // 1/(1+x^2)
      {"r r_fit 5 -2 0.2 -1 0.5 0 1 1 0.5 2 0.2", 3, 0.1},
      {"r r_fit 5 -2 0.2 -1 0.5 0 1 1 0.5 2 0.2", 1, 0.5},
      {"z r_fit 3 0 0 1 0 2 0", 1.5, 0},
      {"k b_fit 2 0 1 10 3", 5, 2},
      {"k b_fit 2 0 1 10 3", 2.5, 1.5},
      {"k b_fit 2 0 1 10 3", -1, 1},
      {"k b_fit 2 0 1 10 3", 11, 3},
      {"k b_fit 3 0 0 5 0.25 10 1", 3, 0.09},  // through three points of t^2, t = x/10
      {"k b_fit 3 0 0 5 0.25 10 1", 7, 0.49},
      {"s B_fit 0 3 0 10 1 20 2 30", 0.5, 10},
      {"s B_fit 0 3 0 10 1 20 2 30", 1.5, 20},
      {"s B_fit 0 3 0 10 1 20 2 30", 2, 30},
      {"s B_fit 0 3 0 10 1 20 2 30", -1, 10},
      {"s B_fit 1 4 0 0 1 10 2 20 3 30", 1.5, 5},  // interval 1 blends ys[0] and ys[1]
      {"s B_fit 1 4 0 0 1 10 2 20 3 30", 2.25, 12.5},
      {"s B_fit 3 0", 1, 0},
  };
  TraceCounter counter;
  deBoor2_interpX_debug = 1000;  // keep the spline quiet
  for (const Row& row : rows) {
    SCOPED_TRACE(std::string(row.definition) + " at " + std::to_string(row.x));
    user_funcs.clear();
    ASSERT_TRUE(define(row.definition));
    std::string name(row.definition, 1);
    EXPECT_NEAR(call_func(name, row.x), row.value, 1e-12);
  }
  EXPECT_TRUE(alerts().empty());
}

TEST_F(FunctionsTest, BezierFitPassesThroughItsPoints) {
  ASSERT_TRUE(define("k b_fit 5 0 1 1 3 2 2 4 5 5 -1"));
  const double xs[] = {0, 1, 2, 4, 5}, ys[] = {1, 3, 2, 5, -1};
  for (int i = 0; i < 5; ++i) {
    SCOPED_TRACE(i);
    EXPECT_NEAR(call_func("k", xs[i]), ys[i], 1e-9);
  }
}

TEST_F(FunctionsTest, ExactHitsReturnTheTableValue) {
  ASSERT_TRUE(define("h fit 3 0 0 1 1 2 4"));
  EXPECT_EQ(call_func("h", 1), 1.0);
  ASSERT_TRUE(define("r r_fit 3 0 5 1 7 2 4"));
  EXPECT_EQ(call_func("r", 1), 7.0);
}

TEST_F(FunctionsTest, FunctionsAreUsableInExpressionsAndBuiltinsWin) {
  ASSERT_TRUE(define("f poly 2 1 1"));
  EXPECT_EQ(eval("f(2)*f(3)"), 12);
  EXPECT_EQ(eval("f(f(1))"), 3);
  ASSERT_TRUE(define("sin poly 1 42"));
  EXPECT_EQ(eval("sin(0)"), 0);
  // A later definition replaces the earlier one, even of another kind.
  ASSERT_TRUE(define("f bezier 2 3 3"));
  EXPECT_EQ(eval("f(0.5)"), 3);
}

TEST_F(FunctionsTest, BadDefinitionsStoreNothing) {
  struct Row {
    const char* definition;
    const char* alert;  // null: fails without a message
  } rows[] = {
      {"f nosuch 1 2", nullptr},
      {"f", nullptr},
      {"f poly -2 1 2", "function 'f': negative count -2"},
      {"f bezier [-1] 1", "function 'f': negative count -1"},
      {"f B_fit -1 2 0 0 1 1", "function 'f': negative order -1"},
      {"f B_fit 101 2 0 0 1 1", "function 'f': order 101 is above the limit of 100"},
      {"f fit -3", "function 'f': negative count -3"},
      {"f poly 1000000000 1 2", "function 'f': expected 1000000000 values, found 2"},
      {"f fit 2 0 1 1", "function 'f': expected 4 values, found 3"},
      {"f r_fit 2000000000 1", "function 'f': expected 4000000000 values, found 1"},
      {"f poly 3 1 x 3", "function 'f': expected 3 values, found 1"},
      {"f poly", "function 'f': missing count"},
      {"f B_fit 2", "function 'f': missing count"},
      {"f b_fit 1001 0 0", "function 'f': a Bezier fit takes at most 1000 points, not 1001"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.definition);
    sink.clear();
    user_funcs.clear();
    ASSERT_TRUE(define("f poly 1 7"));
    EXPECT_FALSE(define(row.definition));
    EXPECT_EQ(call_func("f", 0), 7);
    std::vector<std::string> expected;
    if (row.alert) expected.push_back(row.alert);
    EXPECT_EQ(alerts(), expected);
  }
  scriptstream_priv empty("");
  EXPECT_FALSE(command_user_func(empty));
}

TEST_F(FunctionsTest, FunctionCommandInAScript) {
  EXPECT_TRUE(run("function f poly 3 1 0 2\nset y [f(2)]\n"));
  EXPECT_EQ(gParameters["y"], 9);
  EXPECT_FALSE(run("function g wobble 1 2\nset z 1\n"));
  EXPECT_EQ(gParameters.count("z"), 0u);
  EXPECT_EQ(user_funcs.count("g"), 0u);
  // User functions outlive the run's parameters.
  reset_script_state();
  EXPECT_EQ(eval("f(2)"), 9);
}

TEST(CurveRoutines, BezierCurve) {
  double out = 123;
  EXPECT_FALSE(bezier_curve({}, 0.5, out));
  EXPECT_EQ(out, 123);
  struct Row {
    std::vector<double> b;
    double t, value;
  } rows[] = {
      {{4}, 0.5, 4},         {{1, 3}, 0.25, 1.5},   {{0, 0, 0, 1}, 0.5, 0.125}, {{0, 0, 0, 1}, 0.2, 0.008},
      {{2, 5, 9}, 0, 2},     {{2, 5, 9}, 1, 9},     {{2, 5, 9}, -3, 2},         {{2, 5, 9}, 7, 9},
      {{1, 1, 1, 1}, 0.3, 1},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.t);
    EXPECT_TRUE(bezier_curve(row.b, row.t, out));
    EXPECT_NEAR(out, row.value, 1e-15);
  }
}

TEST(CurveRoutines, PolynomialInterpolationReproducesPolynomials) {
  // p(x) = 2 - x + 0.5x^2 - 0.25x^4 through 5 irregular points
  auto p = [](double x) { return 2 - x + 0.5 * x * x - 0.25 * x * x * x * x; };
  std::vector<double> xs = {-2, -0.5, 0.3, 1, 2.5}, ys;
  for (double x : xs) ys.push_back(p(x));
  for (double x : {-3.0, -1.0, 0.0, 0.7, 1.8, 4.0}) {
    SCOPED_TRACE(x);
    double y = 0, dy = 0;
    EXPECT_TRUE(polynomial_interp(xs, ys, x, y, dy));
    EXPECT_NEAR(y, p(x), 1e-10 * (1 + std::fabs(p(x))));
  }
  double y = 0, dy = 5;
  EXPECT_TRUE(polynomial_interp(xs, ys, 0.3, y, dy));
  EXPECT_EQ(y, ys[2]);
  EXPECT_EQ(dy, 0);
}

TEST(CurveRoutines, PolynomialInterpolationFailsOnRepeatedAbscissas) {
  for (std::vector<double> xs : {std::vector<double>{0, 1, 1}, std::vector<double>{1, 0, 1, 2}}) {
    std::vector<double> ys = {1, 2, 3, 4};
    ys.resize(xs.size());
    double y = 123, dy = 0;
    EXPECT_FALSE(polynomial_interp(xs, ys, 0.5, y, dy));
    EXPECT_EQ(y, 123);
  }
}

TEST(CurveRoutines, RationalInterpolationReproducesRationalFunctions) {
  // Diagonal forms: degree 2 over degree 2 through 5 points, 3 over 3 through 7.
  struct Case {
    double (*f)(double);
    std::vector<double> xs;
  } cases[] = {
      {[](double x) { return (1 + 2 * x - x * x) / (2 + x * x); }, {-2, -1, 0, 0.5, 3}},
      {[](double x) { return (x * x * x + 2) / (x * x * x + 3 * x + 5); }, {0, 0.5, 1, 2, 3, 4, 6}},
  };
  for (const Case& c : cases) {
    std::vector<double> ys;
    for (double x : c.xs) ys.push_back(c.f(x));
    for (double x : {-1.5, 0.25, 0.75, 1.7, 5.0, 10.0}) {
      SCOPED_TRACE(x);
      double y = 0, dy = 0;
      testing::internal::CaptureStdout();
      bool ok = rational_interp(c.xs, ys, x, y, dy);
      std::string out = testing::internal::GetCapturedStdout();
      EXPECT_TRUE(ok) << out;
      EXPECT_NEAR(y, c.f(x), 1e-10);
    }
  }
}

TEST(CurveRoutines, RationalInterpolationReportsPoles) {
  struct Row {
    const char* id;
    std::vector<double> xs, ys;
    bool ok;
    double y;
    std::string out;
  } rows[] = {
      // -1/(1-2x) has its pole at 0.5
      {"pole", {0, 1}, {-1, 1}, false, -1, "failure at x=0.5 t=1 c=1 d=-1\n"},
      {"degenerate table", {0, 0}, {1, 1}, false, 1, "possible failure at x=0.5 t=1 c=1 d=1\n"},
      {"all zero", {0, 0}, {0, 0}, true, 0, ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.id);
    double y = 99, dy = 0;
    testing::internal::CaptureStdout();
    bool ok = rational_interp(row.xs, row.ys, 0.5, y, dy);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), row.out);
    EXPECT_EQ(ok, row.ok);
    EXPECT_EQ(y, row.y);
  }
}

TEST(CurveRoutines, SplineTraceIsLimitedByTheCounter) {
  TraceCounter counter;
  const std::vector<double> xs = {0, 1, 2, 3}, ys = {0, 10, 20, 30};
  double y = 0, dy = 0;

  deBoor2_interpX_debug = 49;
  testing::internal::CaptureStdout();
  EXPECT_TRUE(deBoor2_interpX(xs, ys, 1, 1.5, y, dy));
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "1.5 is in interval 1\n\tdk[0]=5\n---\n");
  EXPECT_EQ(deBoor2_interpX_debug, 50);
  EXPECT_EQ(y, 5);

  testing::internal::CaptureStdout();
  EXPECT_TRUE(deBoor2_interpX(xs, ys, 1, 1.5, y, dy));
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  EXPECT_EQ(deBoor2_interpX_debug, 51);

  // Outside the interior: no trace and no count.
  testing::internal::CaptureStdout();
  EXPECT_TRUE(deBoor2_interpX(xs, ys, 1, 3, y, dy));
  EXPECT_EQ(y, 30);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  EXPECT_EQ(deBoor2_interpX_debug, 51);
}

TEST(CurveRoutines, SplineOfOrderTwoByHand) {
  TraceCounter counter;
  deBoor2_interpX_debug = 1000;
  // x = 2.5 lies in interval 2; dk starts as ys[0..2] = 1, 2, 4.
  // r=1: j=0: lo=1, hi=3, a=0.75 -> 1.75; j=1: lo=2, hi=4, a=0.25 -> 2.5
  // r=2: j=0: lo=2, hi=3, a=0.5 -> 2.125
  const std::vector<double> xs = {0, 1, 2, 3, 4}, ys = {1, 2, 4, 8, 16};
  double y = 0, dy = 0;
  EXPECT_TRUE(deBoor2_interpX(xs, ys, 2, 2.5, y, dy));
  EXPECT_DOUBLE_EQ(y, 2.125);
}

TEST(CurveRoutines, BezierFitControlValues) {
  // t^2 sampled at t = 0, 0.5, 1 has the control values 0, 0, 1.
  std::vector<double> xs = {0, 5, 10}, ys = {0, 0.25, 1};
  fit_bezier(xs, ys);
  ASSERT_EQ(ys.size(), 3u);
  EXPECT_NEAR(ys[0], 0, 1e-15);
  EXPECT_NEAR(ys[1], 0, 1e-15);
  EXPECT_NEAR(ys[2], 1, 1e-15);

  // Two points are their own control values.
  std::vector<double> x2 = {0, 1}, y2 = {3, 4};
  fit_bezier(x2, y2);
  EXPECT_EQ(y2, (std::vector<double>{3, 4}));
}

TEST(CurveRoutines, SingularBezierFitIsReportedAndKeepsTheData) {
  // The interior point sits on the first abscissa: its row equals the first one.
  std::vector<double> xs = {0, 0, 1}, ys = {1, 2, 3};
  testing::internal::CaptureStdout();
  fit_bezier(xs, ys);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "factor (dgetrf) failed with info=2\n");
  EXPECT_EQ(ys, (std::vector<double>{1, 2, 3}));
}
