// functions: built-in functions, user functions and the curve routines behind them.

#include "script/functions.h"

#include "script/scriptstream.h"
#include "util/message.h"
#include "util/nearest_name.h"
#include "util/script_output.h"

#include <lapacke.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <iostream>

std::map<std::string, std::unique_ptr<UserFunc>> user_funcs;
int deBoor2_interpX_debug = 0;

namespace {

constexpr double kRandMax = 2147483647.0;
// A Bezier fit solves a dense n x n system; beyond this many points the matrix is huge and
// the binomial weights overflow anyway.
constexpr int kMaxBezierFitPoints = 1000;
// Spline evaluation costs order^2 per call.
constexpr int kMaxSplineOrder = 100;

// Seeds with x truncated toward zero (saturated, so huge seeds stay defined).
void seed(double x) {
  double t = std::trunc(x);
  if (std::isnan(t)) t = 0;
  if (t > 2147483647.0) t = 2147483647.0;
  if (t < -2147483648.0) t = -2147483648.0;
  std::srand(static_cast<unsigned>(static_cast<int>(t)));
}

struct Builtin {
  const char* name;
  double (*fn)(double);
  bool listed;  // "fabs" is listed under "abs"
};

// ORDER BUILTINS: the first matching name wins; the unknown-function list shows them in this order.
const Builtin kBuiltins[] = {
    {"sin", [](double x) { return std::sin(x); }, true},
    {"cos", [](double x) { return std::cos(x); }, true},
    {"tan", [](double x) { return std::tan(x); }, true},
    {"asin", [](double x) { return std::asin(x); }, true},
    {"acos", [](double x) { return std::acos(x); }, true},
    {"atan", [](double x) { return std::atan(x); }, true},
    {"exp", [](double x) { return std::exp(x); }, true},
    {"log",
     [](double x) {
       if (x == 0.0) {
         alert("log(0.0) not allowed");
         return 0.0;
       }
       return std::log(x);
     },
     true},
    {"sinh", [](double x) { return std::sinh(x); }, true},
    {"cosh", [](double x) { return std::cosh(x); }, true},
    // The library forms stay finite where sinh/cosh overflow and keep their precision
    // where log(x + sqrt(x*x + 1)) cancels (large negative x).
    {"tanh", [](double x) { return std::tanh(x); }, true},
    {"asinh", [](double x) { return std::asinh(x); }, true},
    {"acosh", [](double x) { return std::acosh(x); }, true},
    {"atanh", [](double x) { return 0.5 * std::log((1 + x) / (1 - x)); }, true},
    {"sqrt", [](double x) { return std::sqrt(x); }, true},
    {"abs", [](double x) { return std::fabs(x); }, true},
    {"fabs", [](double x) { return std::fabs(x); }, false},
    {"ceil", [](double x) { return std::ceil(x); }, true},
    {"floor", [](double x) { return std::floor(x); }, true},
    {"j0", [](double x) { return ::j0(x); }, true},
    {"j1", [](double x) { return ::j1(x); }, true},
    {"y0",
     [](double x) {
       if (x == 0.0) {
         alert("y0(0.0) not allowed");
         return 0.0;
       }
       return ::y0(x);
     },
     true},
    {"y1",
     [](double x) {
       if (x == 0.0) {
         alert("y1(0.0) not allowed");
         return 0.0;
       }
       return ::y1(x);
     },
     true},
    {"rand_max", [](double) { return kRandMax; }, true},
    {"rand", [](double) { return static_cast<double>(std::rand()); }, true},
    {"srand",
     [](double x) {
       seed(x);
       return static_cast<double>(std::rand());
     },
     true},
    {"frand", [](double) { return std::rand() / kRandMax; }, true},
    {"sfrand",
     [](double x) {
       seed(x);
       return std::rand() / kRandMax;
     },
     true},
};

void show_allowed_functions(const std::string& name) {
  NearestName near(name);
  for (const Builtin& b : kBuiltins)
    if (b.listed) near.consider(b.name);
  for (const auto& entry : user_funcs) near.consider(entry.first);
  std::string text = "Unknown Function named '" + name + "' requested\nIf this was supposed to be a variable use $" +
                     name + near.hint() + "\n@b@cfunctions\n";
  for (const Builtin& b : kBuiltins)
    if (b.listed) text += std::string(b.name) + "\n";
  if (!user_funcs.empty()) {
    text += "User Defined:\n";
    for (const auto& entry : user_funcs) text += entry.first + "\n";
  }
  show_text_list(text, "Allowed Functions", true);
}

// Reads `count` numbers into `out` one at a time, so an absurd count fails when the
// text runs out instead of reserving memory for it.
bool read_values(const std::string& name, scriptstream& in, long long count, std::vector<double>& out) {
  for (long long i = 0; i < count; ++i) {
    double v;
    in >> v;
    if (!in) {
      alert_text("function '" + name + string_printf("': expected %lld values, found %lld", count, i));
      return false;
    }
    out.push_back(v);
  }
  return true;
}

// A count or order: truncated toward zero, never negative.
bool read_count(const std::string& name, scriptstream& in, const char* what, int& count) {
  in >> count;
  if (!in) {
    alert_text("function '" + name + "': missing " + what);
    return false;
  }
  if (count < 0) {
    alert_text("function '" + name + string_printf("': negative %s %d", what, count));
    return false;
  }
  return true;
}

bool read_pairs(const std::string& name, scriptstream& in, int count, PolyFit_func& f) {
  std::vector<double> values;
  if (!read_values(name, in, 2LL * count, values)) return false;
  for (size_t i = 0; i + 1 < values.size(); i += 2) {
    f.xs.push_back(values[i]);
    f.ys.push_back(values[i + 1]);
  }
  return true;
}

// Index of the abscissa nearest to x (first on ties); -1 with y set when one equals x.
int nearest_or_hit(const std::vector<double>& xs, const std::vector<double>& ys, int n, double x, double& y,
                   double& dy) {
  int ns = 0;
  double dif = std::fabs(x - xs[0]);
  for (int i = 0; i < n; ++i) {
    if (xs[i] == x) {
      y = ys[i];
      dy = 0.0;
      return -1;
    }
    double dift = std::fabs(x - xs[i]);
    if (dift < dif) {
      ns = i;
      dif = dift;
    }
  }
  return ns;
}

// The correction taken from the tableau: up the c column while it stays centred, else down d.
double tableau_step(const std::vector<double>& c, const std::vector<double>& d, int n, int m, int& ns) {
  if (2 * (ns + 1) < n - m) return c[ns + 1];
  return d[ns--];
}

}  // namespace

// -- user functions

double Poly_func::operator()(double x) {
  double y = 0.0;
  for (auto c = coefs.rbegin(); c != coefs.rend(); ++c) y = y * x + *c;
  return y;
}

double Bezier_func::operator()(double x) {
  double y = 0.0;
  bezier_curve(ctrl, x, y);
  return y;
}

double PolyFit_func::operator()(double x) {
  if (xs.empty()) return 0.0;
  double y = 0.0, dy = 0.0;
  switch (type) {
    case fit: polynomial_interp(xs, ys, x, y, dy); break;
    case r_fit: rational_interp(xs, ys, x, y, dy); break;
    case B_fit: deBoor2_interpX(xs, ys, order, x, y, dy); break;
    case b_fit: bezier_curve(ys, (x - xs.front()) / (xs.back() - xs.front()), y); break;
    default: break;
  }
  return y;
}

// -- spacings

namespace {

const double kTwoPi = 6.283185307179586;
// tanh(10 t) already puts the last cell at 1e-8 of the first; beyond that the points fall
// together in double precision.
constexpr double kMaxClusterStrength = 10;

// A ratio to 12 significant digits, so that r and the reciprocal of [1/r] agree.
double round_ratio(double r) { return std::strtod(string_printf("%.12g", r).c_str(), nullptr); }

}  // namespace

bool Spacing::kind_of(const std::string& word, Kind& kind) {
  static const std::pair<const char*, Kind> kWords[] = {
      {"uniform", uniform}, {"bias", bias}, {"bump", bump}, {"cluster", cluster}};
  for (const auto& [name, k] : kWords)
    if (word == name) {
      kind = k;
      return true;
    }
  return false;
}

bool Spacing::make(Kind kind, double value, Spacing& out, std::string& why) {
  Spacing s;
  s.mKind = kind;
  s.mValue = value;
  const char* name = kind == bias ? "bias" : kind == bump ? "bump" : "cluster";
  if (kind == uniform) {
    s.mValue = 0;
  } else if (!std::isfinite(value)) {
    why = std::string(name) + " needs a finite number, not " + (std::isnan(value) ? "nan" : string_printf("%g", value));
    return false;
  } else if (kind == cluster) {
    if (std::fabs(value) > kMaxClusterStrength) {
      why = string_printf("the strength of cluster lies between -%g and %g, not %g", kMaxClusterStrength,
                          kMaxClusterStrength, value);
      return false;
    }
    s.mShape = std::fabs(value);
    s.mFlip = value > 0;  // the profile tanh(s t) / tanh(s) crowds toward 1
    if (value == 0) s.mKind = uniform;
  } else if (value <= 0) {
    why = string_printf("the ratio of %s must be positive, not %g", name, value);
    return false;
  } else if (kind == bias) {
    // The profile grows (r > 1); r < 1 is the mirror of 1/r.
    const double r = round_ratio(value >= 1 ? value : 1 / value);
    if (!std::isfinite(r)) {
      why = string_printf("the ratio of bias is too small: %g", value);
      return false;
    }
    s.mShape = std::log(r);
    s.mFlip = value < 1;
    if (r == 1) s.mKind = uniform;
  } else {
    s.mShape = (value - 1) / (value + 1);  // slope 1 - a at the ends, 1 + a in the middle
    if (value == 1) s.mKind = uniform;
  }
  out = s;
  return true;
}

std::string Spacing::text() const {
  static const char* const kNames[] = {"uniform", "bias", "bump", "cluster"};
  if (mKind == uniform) return kNames[uniform];
  return string_printf("%s %.12g", kNames[mKind], mValue);
}

double Spacing::profile(double t) const {
  if (t <= 0) return 0;
  if (t >= 1) return 1;
  switch (mKind) {
    case bias: return std::expm1(t * mShape) / std::expm1(mShape);
    case bump: return t - mShape * std::sin(kTwoPi * t) / kTwoPi;
    case cluster: return std::tanh(mShape * t) / std::tanh(mShape);
    default: return t;
  }
}

double Spacing::operator()(double t) const {
  if (t <= 0) return 0;
  if (t >= 1) return 1;
  return mFlip ? 1 - profile(1 - t) : profile(t);
}

// The fraction of the edge before point k, for the profile run from the start or the end;
// both index the profile with an exact quotient of integers.
double Spacing::from_start(long k, long n, bool flip) const {
  return flip ? 1 - profile(double(n - k) / n) : profile(double(k) / n);
}

// The first half of the edge is computed from its start, the second from its end, each as the
// mirror spacing computes it from its own start: so the mirror's weights are these swapped.
// The middle point goes to the unflipped side; a symmetric spacing puts it at 1/2.
void Spacing::weights(long k, long n, double& start, double& end) const {
  if (mKind == uniform) {
    end = double(k) / n;
    start = 1 - end;
    return;
  }
  const bool symmetric = mKind == bump;
  if (symmetric && 2 * k == n) {
    start = end = 0.5;
  } else if (2 * k < n || (2 * k == n && !mFlip)) {
    end = from_start(k, n, mFlip);
    start = 1 - end;
  } else {
    start = from_start(n - k, n, symmetric ? mFlip : !mFlip);
    end = 1 - start;
  }
}

// -- evaluation

BuiltinFunc find_builtin(const std::string& name, bool* pure) {
  // Built-ins that alert on some arguments or use the random sequence.
  static const std::string kSideEffects[] = {"log", "y0", "y1", "rand", "srand", "frand", "sfrand"};
  for (const Builtin& b : kBuiltins) {
    if (name != b.name) continue;
    if (pure) *pure = std::find(std::begin(kSideEffects), std::end(kSideEffects), name) == std::end(kSideEffects);
    return b.fn;
  }
  return nullptr;
}

double call_func(std::string name, double x) {
  if (BuiltinFunc builtin = find_builtin(name)) return builtin(x);
  auto user = user_funcs.find(name);
  if (user != user_funcs.end()) return (*user->second)(x);
  show_allowed_functions(name);
  return 0.0;
}

std::vector<std::string> builtin_function_names() {
  std::vector<std::string> names;
  for (const Builtin& b : kBuiltins) names.push_back(b.name);
  return names;
}

const char* const kUserFuncTypes =
    "the types are poly, bezier, fit, r_fit, b_fit, B_fit, bias, bump and cluster "
    "(see: function <func_name> <type> <definition>)";

namespace {
// Each reads one type's definition after its type word; null, with an alert, when it is wrong.

// poly <n> <c0> .. | bezier <n> <b0> ..
std::unique_ptr<UserFunc> read_coefficients_func(const std::string& name, const std::string& type,
                                                 scriptstream& in) {
  int count = 0;
  std::vector<double> values;
  if (!read_count(name, in, "count", count) || !read_values(name, in, count, values)) return nullptr;
  if (type == "poly") {
    auto f = std::make_unique<Poly_func>();
    f->coefs = std::move(values);
    return f;
  }
  auto f = std::make_unique<Bezier_func>();
  f->ctrl = std::move(values);
  return f;
}

// fit|r_fit|b_fit <n> <x0> <y0> .. | B_fit <order> <n> <x0> <y0> ..
std::unique_ptr<UserFunc> read_fit_func(const std::string& name, const std::string& type, scriptstream& in) {
  auto f = std::make_unique<PolyFit_func>();
  f->type = type == "fit" ? PolyFit_func::fit
          : type == "r_fit" ? PolyFit_func::r_fit
          : type == "b_fit" ? PolyFit_func::b_fit
                            : PolyFit_func::B_fit;
  if (f->type == PolyFit_func::B_fit) {
    if (!read_count(name, in, "order", f->order)) return nullptr;
    if (f->order > kMaxSplineOrder) {
      alert_text("function '" + name +
                 string_printf("': order %d is above the limit of %d", f->order, kMaxSplineOrder));
      return nullptr;
    }
  }
  int count = 0;
  if (!read_count(name, in, "count", count)) return nullptr;
  if (f->type == PolyFit_func::b_fit && count > kMaxBezierFitPoints) {
    alert_text("function '" + name +
               string_printf("': a Bezier fit takes at most %d points, not %d", kMaxBezierFitPoints, count));
    return nullptr;
  }
  if (!read_pairs(name, in, count, *f)) return nullptr;
  if (f->type == PolyFit_func::b_fit) fit_bezier(f->xs, f->ys);
  return f;
}

// bias|bump <ratio> | cluster <strength>
std::unique_ptr<UserFunc> read_spacing_func(const std::string& name, const std::string& type,
                                            Spacing::Kind kind, scriptstream& in) {
  double value = 0;
  in >> value;
  if (!in) {
    alert_text("function '" + name + "': " + type + " needs a number");
    return nullptr;
  }
  auto f = std::make_unique<Spacing_func>();
  std::string why;
  if (!Spacing::make(kind, value, f->spacing, why)) {
    alert_text("function '" + name + "': " + why);
    return nullptr;
  }
  return f;
}
}  // namespace

bool store_user_func(const std::string& name, scriptstream& in) {
  std::string type;
  in >> type;
  if (!in) {
    alert_text("function '" + name + "': the type is missing\n" + kUserFuncTypes);
    return false;
  }
  std::unique_ptr<UserFunc> func;
  if (type == "poly" || type == "bezier") {
    func = read_coefficients_func(name, type, in);
  } else if (type == "fit" || type == "r_fit" || type == "b_fit" || type == "B_fit") {
    func = read_fit_func(name, type, in);
  } else if (Spacing::Kind kind; Spacing::kind_of(type, kind) && kind != Spacing::uniform) {
    func = read_spacing_func(name, type, kind, in);
  } else {
    alert_text("function '" + name + "': unknown type '" + type + "'\n" + kUserFuncTypes);
    return false;
  }
  if (!func) return false;
  user_funcs[name] = std::move(func);
  return true;
}

// function <func_name> <type> <definition>
bool command_user_func(scriptstream& in) {
  std::string name;
  in >> name;
  if (!in) {
    alert_text("function requires a name, a type and a definition");
    return false;
  }
  return store_user_func(name, in);
}

// -- curve routines

// de Casteljau's scheme; t is clamped to the curve's ends.
bool bezier_curve(const std::vector<double>& b, const double& t, double& out) {
  if (b.empty()) return false;
  if (t <= 0) {
    out = b.front();
    return true;
  }
  if (t >= 1) {
    out = b.back();
    return true;
  }
  std::vector<double> w = b;
  const size_t n = w.size();
  for (size_t r = 1; r < n; ++r)
    for (size_t i = 0; i + r < n; ++i) w[i] = (1 - t) * w[i] + t * w[i + 1];
  out = w[0];
  return true;
}

// Neville's algorithm through all points; dy is the last correction (an error estimate).
// Fails, leaving y alone, when two abscissas coincide (unless x hits one of the points).
bool polynomial_interp(const std::vector<double>& xs, const std::vector<double>& ys, const double& x,
                       double& y, double& dy) {
  const int n = static_cast<int>(std::min(xs.size(), ys.size()));
  if (n == 0) return false;
  int ns = nearest_or_hit(xs, ys, n, x, y, dy);
  if (ns < 0) return true;

  std::vector<double> c(ys.begin(), ys.begin() + n), d = c;
  double yy = ys[ns--];
  double delta = 0.0;
  for (int m = 1; m < n; ++m) {
    for (int i = 0; i < n - m; ++i) {
      double ho = xs[i] - x, hp = xs[i + m] - x;
      double den = ho - hp;
      if (den == 0.0) return false;
      double w = (c[i + 1] - d[i]) / den;
      d[i] = hp * w;
      c[i] = ho * w;
    }
    delta = tableau_step(c, d, n, m, ns);
    yy += delta;
  }
  y = yy;
  dy = delta;
  return true;
}

// Bulirsch-Stoer diagonal rational interpolation through all points. A pole of the
// interpolant at x is reported on standard output and fails with the y reached so far.
bool rational_interp(const std::vector<double>& xs, const std::vector<double>& ys, const double& x, double& y,
                     double& dy) {
  const int n = static_cast<int>(std::min(xs.size(), ys.size()));
  if (n == 0) return false;
  int ns = nearest_or_hit(xs, ys, n, x, y, dy);
  if (ns < 0) return true;

  std::vector<double> c(ys.begin(), ys.begin() + n), d = c;
  y = ys[ns--];
  for (int m = 1; m < n; ++m) {
    for (int i = 0; i < n - m; ++i) {
      double w = c[i + 1] - d[i];
      double h = xs[i + m] - x;
      double t = (xs[i] - x) * d[i] / h;
      if (t == c[i + 1]) {
        // 0/0 (a zero ordinate, e.g.): keep the value reached so far.
        if (d[i] == c[i + 1] && c[i + 1] == 0.0) return true;
        script_output() << (d[i] == c[i + 1] ? "possible " : "") << "failure at x=" << x << " t=" << t
                  << " c=" << c[i + 1] << " d=" << d[i] << "\n";
        return false;
      }
      double dd = w / (t - c[i + 1]);
      d[i] = c[i + 1] * dd;
      c[i] = t * dd;
    }
    dy = tableau_step(c, d, n, m, ns);
    y += dy;
  }
  return true;
}

// Spline of degree `order` with the abscissas as knots and the ordinates as control
// values. The first evaluations are traced on standard output.
bool deBoor2_interpX(const std::vector<double>& xs, const std::vector<double>& ys, int order, const double& x,
                     double& y, double& dy) {
  const int n = static_cast<int>(std::min(xs.size(), ys.size()));
  dy = 0.0;
  if (n == 0) return true;
  const double span = xs[n - 1] - xs[0];
  const double u = (x - xs[0]) / span;
  if (u <= 0) {
    y = ys[0];
    return true;
  }
  if (u >= 1) {
    y = ys[n - 1];
    return true;
  }
  int k = 0;
  for (int i = 0; i + 1 < n; ++i)
    if ((xs[i] - xs[0]) / span <= u) k = i;

  const bool trace = deBoor2_interpX_debug++ < 50;
  if (trace) script_output() << x << " is in interval " << k << "\n";

  const int p = std::max(order, 0);
  std::vector<double> dk(p + 1), prev;
  for (int j = 0; j <= p; ++j) dk[j] = ys[std::max(k - p + j, 0)];
  for (int r = 1; r <= p; ++r) {
    prev = dk;
    for (int j = 0; j <= p - r; ++j) {
      int lo = std::max(j + k - p + r, 0);
      int hi = j + k + 1 < n ? j + k + 1 : n - 1;
      double alpha = (x - xs[lo]) / (xs[hi] - xs[lo]);
      dk[j] = (1 - alpha) * prev[j] + alpha * prev[j + 1];
    }
    if (trace) script_output() << "\tdk[0]=" << dk[0] << "\n";
  }
  if (trace) script_output() << "---\n";
  y = dk[0];
  return true;
}

// Control values of the Bezier curve through all points: the curve parameter of point i
// is its abscissa scaled to [0, 1]; the end rows pin the end control values.
void fit_bezier(std::vector<double>& xs, std::vector<double>& ys) {
  const int n = static_cast<int>(std::min(xs.size(), ys.size()));
  if (n < 3) return;
  std::vector<double> a(static_cast<size_t>(n) * n, 0.0);  // column-major
  std::vector<double> b(ys.begin(), ys.begin() + n);
  a[0] = 1.0;
  a[(n - 1) + static_cast<size_t>(n - 1) * n] = 1.0;
  for (int i = 1; i < n - 1; ++i) {
    double t = (xs[i] - xs[0]) / (xs[n - 1] - xs[0]);
    double coef = 1.0;
    for (int j = 0; j < n; ++j) {
      a[i + static_cast<size_t>(j) * n] = coef * std::pow(1 - t, n - 1 - j) * std::pow(t, j);
      coef = coef * (n - 1 - j) / (j + 1);
    }
  }
  std::vector<lapack_int> pivots(n);
  lapack_int info = LAPACKE_dgetrf(LAPACK_COL_MAJOR, n, n, a.data(), n, pivots.data());
  if (info != 0) {
    script_output() << "factor (dgetrf) failed with info=" << info << "\n";
  } else {
    info = LAPACKE_dgetrs(LAPACK_COL_MAJOR, 'N', n, 1, a.data(), n, pivots.data(), b.data(), n);
    if (info != 0) script_output() << "solve (dgetrs) failed with info=" << info << "\n";
  }
  std::copy(b.begin(), b.end(), ys.begin());
}
