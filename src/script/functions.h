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
