// Parametric builders: the lattice is filled over the unit segment or square first, so each
// point starts at its parameter values (s, or u and v); the three expressions then replace
// its coordinates. The expressions are compiled once per builder call and see, at every
// point, the parameters set for it and whatever its per-point script changed.
#include "builders/parametric.h"

#include "builders/builders.h"
#include "builders/lattice.h"
#include "grid/pelgrove_MxN.h"
#include "script/compiled_expression.h"
#include "script/interp_hooks.h"
#include "script/parameters.h"
#include "script/scriptstream.h"
#include "util/message.h"

#include <algorithm>
#include <optional>

namespace {

const char* const curve_usage = "expecting N  [<x expression>] [<y expression>] [<z expression>]\n";
const char* const patch_usage = "expecting M N  [<x expression>] [<y expression>] [<z expression>]\n";

enum class Coords { xyz, cylindrical, spherical };

bool fail(std::string& message, const std::string& reason) {
  message += reason;
  return false;
}

// The optional { script } run before each point is computed.
class PointScript {
public:
  void take(scriptstream& in) {
    const Interp_Hooks& hooks = interp_hooks();
    mPresent = hooks.grab_script && hooks.grab_script(in, mText, &mWhere);
  }
  bool present() const { return mPresent; }
  bool run() const {
    const Interp_Hooks& hooks = interp_hooks();
    return hooks.run_script && hooks.run_script(mText, mWhere);
  }

private:
  bool mPresent = false;
  std::string mText;
  MessageLocation mWhere;
};

// A lattice parameter, created with 0 if absent, put back to its value when the builder ends.
class SavedParam {
public:
  explicit SavedParam(const char* name) : mName(name), mValue(gParameters[name]) {}
  ~SavedParam() { gParameters[mName] = mValue; }
  SavedParam(const SavedParam&) = delete;
  SavedParam& operator=(const SavedParam&) = delete;

private:
  std::string mName;
  double mValue;
};

// The x, y and z expressions. They are compiled at the first point, after its script (if
// any) has run, so names the script creates are known; after each later script run a name
// that no longer means the same entry makes its expression compile again.
class PointExpressions {
public:
  bool read(scriptstream& in, std::string& message) {
    static const char axes[] = "xyz";
    for (int k = 0; k < 3; ++k)
      if (!extract_expression(in, mTexts[k]))
        return fail(message, string_printf("could not read expression for %c values", axes[k]));
    return true;
  }
  void compile() {
    if (mCompiled[0]) return;
    for (int k = 0; k < 3; ++k) mCompiled[k].emplace(mTexts[k]);
  }
  void rebind() {
    if (!mCompiled[0]) return;
    for (auto& e : mCompiled)
      if (!e->bindings_valid()) e->recompile();
  }
  // All three compiled without side effects: the points may be computed in any order.
  bool pure() const {
    for (auto& e : mCompiled)
      if (!e || !e->pure()) return false;
    return true;
  }
  void evaluate(GridPt& p) {
    compile();
    p.x = mCompiled[0]->evaluate();
    p.y = mCompiled[1]->evaluate();
    p.z = mCompiled[2]->evaluate();
  }

private:
  std::string mTexts[3];
  std::optional<CompiledExpression> mCompiled[3];
};

// The value slot of a lattice parameter, valid until a script runs.
double& param_slot(const char* name) { return gParameters[name]; }

// A script run between points may have made parts of its own; the builder's part goes back
// to the end of the list, where the caller expects the part it places.
void keep_last(Grid* grid) {
  auto& grids = Grid::gGrids;
  auto at = std::find(grids.begin(), grids.end(), grid);
  if (at != grids.end()) std::rotate(at, at + 1, grids.end());
}

void convert(GridData& gd, Coords coords) {
  if (coords == Coords::cylindrical) cyl2xyz(gd);
  if (coords == Coords::spherical) sph2xyz(gd);
}

// Point i starts at s = 1 - i/N. A failing script ends the evaluation: the remaining
// points keep their places on the unit segment.
void evaluate_curve(GridData& gd, const PointScript& script, PointExpressions& exprs) {
  SavedParam saved("s");
  double* s = &param_slot("s");
  for (GridPt& p : gd.grid->mPts) {
    if (script.present()) {
      param_slot("s") = p.x;
      if (!script.run()) break;
      exprs.rebind();
    } else {
      *s = p.x;
    }
    exprs.evaluate(p);
  }
}

// Point (i, j) starts at (u, v); i runs in the outer loop. A failing script ends only the
// current column.
void evaluate_surface(GridData& gd, const PointScript& script, PointExpressions& exprs) {
  SavedParam saved_u("u"), saved_v("v");
  double* u = &param_slot("u");
  double* v = &param_slot("v");
  const int M = gd.M, N = gd.N;
  GridPt* pts = gd.grid->mPts.data();
  if (!script.present()) {
    exprs.compile();
    if (exprs.pure()) {
      // Nothing can tell the order apart: go through memory in storage order.
      for (GridPt* p = pts; p != pts + gd.grid->mPts.size(); ++p) {
        *u = p->x;
        *v = p->y;
        exprs.evaluate(*p);
      }
      return;
    }
  }
  for (int i = 0; i <= M; ++i) {
    for (int j = 0; j <= N; ++j) {
      GridPt& p = pts[static_cast<size_t>(j) * (M + 1) + i];
      if (script.present()) {
        param_slot("u") = p.x;
        param_slot("v") = p.y;
        if (!script.run()) break;
        exprs.rebind();
      } else {
        *u = p.x;
        *v = p.y;
      }
      exprs.evaluate(p);
    }
  }
}

bool build_curve(const std::string& name, scriptstream& in, std::string& message, Coords coords) {
  GridData gd;
  PointScript script;
  script.take(in);
  message = curve_usage;
  in >> gd.N;
  if (!in.good()) return fail(message, "could not read dimension N");
  if (gd.N < 1) {
    message = "N cannot be zero";
    return false;
  }
  if (too_large(message, gd.N, 0)) return false;
  PointExpressions exprs;
  if (!exprs.read(in, message)) return false;

  gd.b.x = 1;
  take_part_spacing(gd);
  build_ab(gd, name);
  evaluate_curve(gd, script, exprs);
  keep_last(gd.grid);
  convert(gd, coords);
  return check_finite_lattice(gd, message);
}

bool build_surface(const std::string& name, scriptstream& in, std::string& message, Coords coords) {
  GridData gd;
  PointScript script;
  script.take(in);
  message = patch_usage;
  int M2 = 0, N2 = 0;
  if (!read_patch_dimensions(in, gd, M2, N2, message)) return false;
  PointExpressions exprs;
  if (!exprs.read(in, message)) return false;

  gd.b.x = 1;
  gd.c.x = gd.c.y = 1;
  gd.d.y = 1;
  take_part_spacing(gd);
  if (M2 == gd.M && N2 == gd.N)
    build_abcd(gd, name);
  else
    build_abcd_mn(gd, M2, N2, name);
  evaluate_surface(gd, script, exprs);
  keep_last(gd.grid);
  convert(gd, coords);
  return check_finite_lattice(gd, message);
}

}  // namespace

// pline { script } N [x] [y] [z]
bool pline(std::string name, scriptstream& in, std::string& message) {
  return build_curve(name, in, message, Coords::xyz);
}

// parc { script } N [r] [theta deg] [z]
bool pcylindrical_arc(std::string name, scriptstream& in, std::string& message) {
  return build_curve(name, in, message, Coords::cylindrical);
}

// porbit { script } N [r] [theta deg] [phi deg]
bool pspherical_arc(std::string name, scriptstream& in, std::string& message) {
  return build_curve(name, in, message, Coords::spherical);
}

// pplate { script } M[:M2] N[:N2] [x] [y] [z]
bool pplate(std::string name, scriptstream& in, std::string& message) {
  return build_surface(name, in, message, Coords::xyz);
}

// pcylinder { script } M[:M2] N[:N2] [r] [theta deg] [z]
bool pcylinder(std::string name, scriptstream& in, std::string& message) {
  return build_surface(name, in, message, Coords::cylindrical);
}

// psphere { script } M[:M2] N[:N2] [r] [theta deg] [phi deg]
bool psphere(std::string name, scriptstream& in, std::string& message) {
  return build_surface(name, in, message, Coords::spherical);
}
