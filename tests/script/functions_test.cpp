#include "script_fixture.h"

#include <cmath>
#include <tuple>

namespace {

using FunctionsTest = ExprTest;

std::string allowed_functions_text(const std::string& name, const std::string& user, const std::string& hint) {
  return "Unknown Function named '" + name + "' requested\nIf this was supposed to be a variable use $" +
         name + hint + "\n@b@cfunctions\nsin\ncos\ntan\nasin\nacos\natan\nexp\nlog\nsinh\ncosh\ntanh\nasinh\nacosh\n"
         "atanh\nsqrt\nabs\nceil\nfloor\nj0\nj1\ny0\ny1\nrand_max\nrand\nsrand\nfrand\nsfrand\n" + user;
}

// Sets the spline trace counter, which lives for the process, for one case.
struct TraceCounter {
  int saved = deBoor2_interpX_debug;
  explicit TraceCounter(int value) { deBoor2_interpX_debug = value; }
  ~TraceCounter() { deBoor2_interpX_debug = saved; }
};

// What `call` writes to standard output.
template <class F>
std::string printed(F call) {
  testing::internal::CaptureStdout();
  call();
  return testing::internal::GetCapturedStdout();
}

}  // namespace

// The list names the built-ins, then the user functions in order of name.
TEST_F(FunctionsTest, UnknownFunctionShowsTheAllowedList) {
  // case-sensitive, but a name one or two typing mistakes away, or differing in case, is named
  for (auto [text, name, user, hint] :
       {std::tuple{"nosuch(1)+3", "nosuch", "", ""}, {"SIN(0)+3", "SIN", "User Defined:\nalpha\nzeta\n", "\ndid you mean 'sin'?"},
        {"zeat(0)+3", "zeat", "User Defined:\nalpha\nzeta\n", "\ndid you mean 'zeta'?"}}) {
    sink.clear();
    EXPECT_EQ(eval(text), 3);
    ASSERT_EQ(sink.entries.size(), 1u);
    EXPECT_EQ(sink.entries[0].kind + ": " + sink.entries[0].title, "list: Allowed Functions");
    EXPECT_EQ(sink.entries[0].text, allowed_functions_text(name, user, hint));
    if (user_funcs.empty()) {
      ASSERT_TRUE(define("zeta poly 1 1") && define("alpha poly 1 1"));
    }
  }
}

// Values worked out by hand from the curve each definition describes.
TEST_F(FunctionsTest, UserFunctionValues) {
  // Each fit passes through its table.
  const std::vector<std::pair<double, double>> table = {{0, 1}, {1, 3}, {2, 2}, {4, 5}, {5, -1}};
  const std::pair<const char*, std::vector<std::pair<double, double>>> rows[] = {
      {"f poly 3 1 0 2", {{2, 9}}},        {"f poly 4 0 -2 0 1", {{3, 21}}},  {"f poly 0", {{5, 0}}},
      {"f bezier 3 0 1 2", {{0.25, 0.5}, {-1, 0}, {2, 2}}},   {"f bezier 4 0 0 0 1", {{0.5, 0.125}}},
      {"f bezier 0", {{0.5, 0}}},          {"f fit 3 0 0 1 1 2 4", {{1.5, 2.25}}},  {"f fit 0", {{1, 0}}},
      {"f fit 4 2 4 -1 1 1 -1 0 0", {{3, 21}}},  /* x^3 - 2x */  {"f fit 1 5 7", {{100, 7}}},
      {"f fit 3 0 1 1 2 1 3", {{1, 2}, {0.5, 0}}},  {"f fit 3 0 1 1 2 0 3", {{0.5, 0}}},  // no NaN
      {"f r_fit 3 0 0.5 1 [2/3] 2 0.75", {{3, 0.8}}},  // (1+x)/(2+x)
      {"f r_fit 3 0 0 1 0 2 0", {{1.5, 0}}},     {"f b_fit 3 0 0 5 0.25 10 1", {{3, 0.09}}},  // t^2, t = x/10
      {"f b_fit 2 0 1 10 3", {{2.5, 1.5}, {-1, 1}, {11, 3}}},
      {"f B_fit 0 3 0 10 1 20 2 30", {{0.5, 10}, {2, 30}}},    {"f B_fit 3 0", {{1, 0}}},
      {"f B_fit 1 4 0 0 1 10 2 20 3 30", {{2.25, 12.5}}},
      // interval 2, control values 1 2 4: r=1 gives 1.75, 2.5; r=2 gives 2.125
      {"f B_fit 2 5 0 1 1 2 2 4 3 8 4 16", {{2.5, 2.125}}},
      {"f b_fit 5 0 1 1 3 2 2 4 5 5 -1", table},  {"f fit 5 0 1 1 3 2 2 4 5 5 -1", table},
      {"f r_fit 5 0 1 1 3 2 2 4 5 5 -1", table},
  };
  TraceCounter quiet(1000);
  for (const auto& [definition, points] : rows) {
    ASSERT_TRUE(define(definition));
    for (auto [x, value] : points) EXPECT_NEAR(call_func("f", x), value, 1e-9) << definition << " at " << x;
  }
  EXPECT_TRUE(alerts().empty());
}

TEST_F(FunctionsTest, BadDefinitionsStoreNothing) {
  const std::string kTypes =
      "the types are poly, bezier, fit, r_fit, b_fit, B_fit, bias, bump and cluster "
      "(see: function <func_name> <type> <definition>)";
  const std::pair<const char*, std::string> rows[] = {
      {"f nosuch 1 2", "unknown type 'nosuch'\n" + kTypes}, {"f", "the type is missing\n" + kTypes}, {"", ""},
      {"f poly -2 1 2", "negative count -2"},      {"f fit -3", "negative count -3"},
      {"f B_fit -1 2 0 0 1 1", "negative order -1"},
      {"f B_fit 101 2 0 0 1 1", "order 101 is above the limit of 100"},
      {"f poly 1000000000 1 2", "expected 1000000000 values, found 2"},
      {"f r_fit 2000000000 1", "expected 4000000000 values, found 1"},
      {"f poly 3 1 x 3", "expected 3 values, found 1"}, {"f poly", "missing count"},
      {"f B_fit 2", "missing count"},
      {"f b_fit 1001 0 0", "a Bezier fit takes at most 1000 points, not 1001"},
      {"f bias 0", "the ratio of bias must be positive, not 0"}, {"f bump -2", "the ratio of bump must be positive, not -2"},
      {"f bias [log(-1)]", "bias needs a finite number, not nan"}, {"f bump [1/0]", "bump needs a finite number, not inf"}, {"f bias 1e-320", "the ratio of bias is too small: 9.99989e-321"},
      {"f cluster -10.5", "the strength of cluster lies between -10 and 10, not -10.5"},
      {"f cluster", "cluster needs a number"}, {"f uniform 1", "unknown type 'uniform'\n" + kTypes},
  };
  for (const auto& [definition, alert] : rows) {
    SCOPED_TRACE(definition);
    ASSERT_TRUE(define("f poly 1 7"));
    sink.clear();
    EXPECT_FALSE(define(definition));
    EXPECT_EQ(call_func("f", 0), 7);
    EXPECT_EQ(alerts(), alert.empty() ? std::vector<std::string>{"function requires a name, a type and a definition"}
                                      : std::vector<std::string>{"function 'f': " + alert});
  }
}

// Spacings: exact ends whatever the argument, the nearer end outside [0, 1], a value worked out
// by hand, the identity for the neutral argument. On a graded lattice edge of n cells the
// weights follow f(k/n), advance, and the mirror from the other end gives them swapped, bit for bit.
TEST_F(FunctionsTest, SpacingFunctions) {
  const double two_pi = 8 * std::atan(1.0);
  const struct { const char *f, *mirror; double t, value; } rows[] = {
      {"f bias 4", "g bias [1/4]", 0.5, 1.0 / 3},  // (4^t - 1) / 3
      {"f bias 0.1", "g bias 10", 0.5, 1 - (std::sqrt(10.0) - 1) / 9},
      {"f bias 1.2", "g bias [1/1.2]", 0.5, 1 / (1 + std::sqrt(1.2))},  // middle point: 1 - (1 - f) != f
      {"f bias 1e6", "g bias 1e-6", 0.5, 1.0 / 1001},
      {"f bump 3", "g bump 3", 0.25, 0.25 - 0.5 / two_pi},  // amplitude (3-1)/(3+1)
      {"f bump 0.2", "g bump 0.2", 0.25, 0.25 + (2.0 / 3) / two_pi},
      {"f cluster 2", "g cluster -2", 0.5, 1 - std::tanh(1.0) / std::tanh(2.0)},
      {"f cluster -10", "g cluster 10", 0.5, std::tanh(5.0) / std::tanh(10.0)},
      {"f bias 1", "g cluster 0", 0.3, 0.3},  {"f bump 1", "g bias 1", 1.0 / 3, 1.0 / 3},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.f);
    ASSERT_TRUE(define(r.f) && define(r.mirror));
    EXPECT_EQ((std::vector<double>{call_func("f", 0), call_func("f", 1), call_func("f", -3), call_func("f", 7)}),
              (std::vector<double>{0, 1, 0, 1}));
    EXPECT_NEAR(call_func("f", r.t), r.value, r.t == r.value ? 0 : 1e-12);
    const Spacing &s = dynamic_cast<Spacing_func&>(*user_funcs["f"]).spacing,
                  &m = dynamic_cast<Spacing_func&>(*user_funcs["g"]).spacing;
    for (long n : {1, 2, 3, 10, 64, 1001}) {
      double start, end, mstart, mend, last = -1;
      for (long k = 0; k <= n; last = end, ++k) {
        s.weights(k, n, start, end);
        m.weights(n - k, n, mstart, mend);
        // uniform edges are computed from their start, as they always were
        ASSERT_TRUE((start == mend && end == mstart) || s.kind() == Spacing::uniform) << k << " of " << n;
        ASSERT_GT(end, last);
        ASSERT_NEAR(end, call_func("f", double(k) / n), 1e-15);
      }
      ASSERT_TRUE(start == 0 && end == 1);
      s.weights(0, n, start, end);
      ASSERT_TRUE(start == 1 && end == 0);
    }
  }
  EXPECT_TRUE(alerts().empty());
}

// Built-in names win over user functions; a later definition replaces an earlier one, even of
// another kind; user functions outlive the run's parameters.
TEST_F(FunctionsTest, FunctionCommandInAScript) {
  EXPECT_TRUE(run("function f poly 2 1 1\nfunction sin poly 1 42\nset y [f(2)*f(f(1))+sin(0)]\n"));
  EXPECT_EQ(gParameters["y"], 9);
  EXPECT_FALSE(run("function g wobble 1 2\nset z 1\n"));
  EXPECT_EQ(gParameters.count("z") + user_funcs.count("g"), 0u);
  reset_script_state();
  EXPECT_EQ(eval("f(2)"), 3);
  ASSERT_TRUE(define("f bezier 2 3 3"));
  EXPECT_EQ(eval("f(0.5)"), 3);
}

// Failures and the first 50 spline evaluations inside the table are reported on standard output.
TEST(CurveRoutines, ReportsOnStandardOutput) {
  TraceCounter counter(49);
  double y = 99, dy = 0;
  bool ok = true;
  EXPECT_EQ(printed([&] { ok = rational_interp({0, 1}, {-1, 1}, 0.5, y, dy); }),  // -1/(1-2x)
            "failure at x=0.5 t=1 c=1 d=-1\n");
  EXPECT_TRUE(!ok && y == -1);
  EXPECT_EQ(printed([&] { ok = rational_interp({0, 0}, {1, 1}, 0.5, y, dy); }),
            "possible failure at x=0.5 t=1 c=1 d=1\n");
  EXPECT_TRUE(!ok && y == 1);
  EXPECT_EQ(printed([&] { ok = rational_interp({0, 0}, {0, 0}, 0.5, y, dy); }), "");
  EXPECT_TRUE(ok && y == 0);

  const std::vector<double> xs = {0, 1, 2, 3}, ys = {0, 10, 20, 30};
  const auto spline = [&](double x) { return printed([&] { deBoor2_interpX(xs, ys, 1, x, y, dy); }); };
  EXPECT_EQ(spline(1.5), "1.5 is in interval 1\n\tdk[0]=5\n---\n");
  EXPECT_EQ(spline(1.5), "");
  EXPECT_EQ(spline(3), "");  // at the end: neither traced nor counted
  EXPECT_EQ(deBoor2_interpX_debug, 51);

  std::vector<double> bx = {0, 0, 1}, by = {1, 2, 3};  // the interior row equals the first
  EXPECT_EQ(printed([&] { fit_bezier(bx, by); }), "factor (dgetrf) failed with info=2\n");
  EXPECT_EQ(by, (std::vector<double>{1, 2, 3}));
}
