// functions: built-in functions of expressions and the user functions made by `function`.
// Polynomials, Bezier curves and curves through tables (Neville, Bulirsch-Stoer, spline,
// Bezier fit solved with LAPACK). Owns user_funcs, which lives for the process.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

class scriptstream;

class UserFunc {
public:
  virtual double operator()(double x) = 0;
  virtual ~UserFunc() = default;
};

class Poly_func : public UserFunc {
public:
  std::vector<double> coefs;  // c0 .. c(n-1)
  double operator()(double x) override;
};

class Bezier_func : public UserFunc {
public:
  std::vector<double> ctrl;
  double operator()(double x) override;
};

class PolyFit_func : public UserFunc {
public:
  enum Type { fit = 0, r_fit = 1, B_fit = 2, b_fit = 3 };
  int type = fit;
  int order = 3;
  std::vector<double> xs, ys;
  double operator()(double x) override;
};

// Where the points of a graded edge lie: a map of [0, 1] onto itself, increasing, with
// f(0) == 0 and f(1) == 1 exactly and the nearer end outside [0, 1].
//   bias r     geometric: the spacing at 1 is r times the spacing at 0 (exp(t log r) - 1) / (r - 1)
//   bump r     both ends alike: the spacing in the middle is r times that at the ends
//   cluster s  tanh profile: s > 0 crowds the points toward 0, s < 0 toward 1
// The neutral argument (bias 1, bump 1, cluster 0) is the identity. A spacing and its mirror
// (bias 1/r, cluster -s; bump is its own) run the same edge from its two ends.
class Spacing {
public:
  enum Kind { uniform, bias, bump, cluster };
  // False, with the reason, for an argument the kind does not take.
  static bool make(Kind kind, double value, Spacing& out, std::string& why);
  // The kind named by `word` ("uniform", "bias", "bump", "cluster"); false for another word.
  static bool kind_of(const std::string& word, Kind& kind);
  Kind kind() const { return mKind; }
  std::string text() const;  // as set: "uniform", "bias 1.5"
  double operator()(double t) const;
  // The weights of the start and the end of an edge of n cells at its point k (they sum to 1);
  // the mirror spacing at point n - k gives the same two numbers swapped, bit for bit.
  void weights(long k, long n, double& start, double& end) const;

private:
  double profile(double t) const;       // the spacing before any mirroring
  double from_start(long k, long n, bool flip) const;
  Kind mKind = uniform;
  double mValue = 0;   // as given
  double mShape = 0;   // log r, the bump's amplitude or |s|
  bool mFlip = false;  // the profile runs from the end
};

class Spacing_func : public UserFunc {
public:
  Spacing spacing;
  double operator()(double x) override { return spacing(x); }
};

// -- state
// name -> function; a new definition replaces the old. Lives for the process.
extern std::map<std::string, std::unique_ptr<UserFunc>> user_funcs;
extern int deBoor2_interpX_debug;

// -- evaluation
double call_func(std::string name, double x);
// The built-in that call_func runs for `name` (built-ins come before user functions), or null.
// `pure`, if given, is set when it has no side effect (no alert, no random sequence).
using BuiltinFunc = double (*)(double);
BuiltinFunc find_builtin(const std::string& name, bool* pure = nullptr);
// Names of the built-in functions in lookup order (aliases such as "fabs" included).
std::vector<std::string> builtin_function_names();
// Reads "<type> <definition>" and stores the function; false for an unknown type or bad count.
bool store_user_func(const std::string& name, scriptstream& in);
bool command_user_func(scriptstream& in);  // function <func_name> <type> <definition>

// -- curve routines
bool bezier_curve(const std::vector<double>& b, const double& t, double& out);
bool polynomial_interp(const std::vector<double>& xs, const std::vector<double>& ys, const double& x,
                       double& y, double& dy);
bool rational_interp(const std::vector<double>& xs, const std::vector<double>& ys, const double& x,
                     double& y, double& dy);
bool deBoor2_interpX(const std::vector<double>& xs, const std::vector<double>& ys, int order,
                     const double& x, double& y, double& dy);
void fit_bezier(std::vector<double>& xs, std::vector<double>& ys);  // ys become control values
