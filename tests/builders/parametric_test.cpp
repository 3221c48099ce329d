// The parametric builders: points from expressions and per-point scripts, failures, and the
// lattice parameters s, u and v afterwards.
#include "builders/parametric.h"

#include "interp/interp.h"
#include "script/parameters.h"
#include "support/lattice_rows.h"

#include <cmath>
#include <string>
#include <vector>

namespace {

using ParametricTest = LatticeTest;

// Points (at the given indices) of the part each script makes, and the lattice size. Point
// (i, j) is stored at j*(M+1)+i; per-point scripts see s, u and v and may end a curve or
// one column of a surface early, leaving the rest on the unit segment or square.
TEST_F(ParametricTest, PointsFollowTheExpressions) {
  const double h = std::sqrt(0.5);
  const std::vector<LatticeRow> rows = {
      {"pline p 2 [s] [0] [0]", 2, 0, {0, 1, 2}, {{1, 0, 0}, {0.5, 0, 0}, {0, 0, 0}}},
      {"pline p [5/2] [2*s] [s^2] [1]", 2, 0, {0, 1, 2}, {{2, 1, 1}, {1, 0.25, 1}, {0, 0, 1}}},
      {"pplate p 1 1 [u] [v] [u*v]", 1, 1, {0, 1, 2, 3}, {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {1, 1, 1}}},
      {"pplate p 2 1 [u+10] [v*2] [sin(u)]", 2, 1, {1, 5}, {{10.5, 0, std::sin(0.5)}, {11, 2, std::sin(1.0)}}},
      // transition lattice: the coarse row snaps its parameters
      {"pplate p 2:4 1 [u] [v] [0]", 4, 1, {0, 1, 2, 3, 4, 6},
       {{0, 0, 0}, {0, 0, 0}, {0.5, 0, 0}, {1, 0, 0}, {1, 0, 0}, {0.25, 1, 0}}},
      // cylindrical (r, theta, z) and spherical (r, theta, phi), angles in degrees
      {"parc p 2 [1] [90*s] [s]", 2, 0, {0, 1, 2}, {{0, 1, 1}, {h, h, 0.5}, {1, 0, 0}}},
      {"porbit p 1 [2] [90] [90*s]", 1, 0, {0, 1}, {{0, 2, 0}, {2, 0, 0}}},
      {"pcylinder p 1 1 [1] [90*u] [v]", 1, 1, {1, 3}, {{0, 1, 0}, {0, 1, 1}}},
      {"psphere p 1 1 [2] [90*v] [90*u]", 1, 1, {0, 2, 3}, {{0, 0, 2}, {2, 0, 0}, {0, 2, 0}}},
      // stored expressions and parameters the expressions read
      {"set k 3 @r = k*s ; pline p 1 [r] [k] [0]", 1, 0, {0, 1}, {{3, 3, 0}, {0, 3, 0}}},
      // per-point scripts
      {"pline p { set t [s*10] } 2 [t] [s] [0]", 2, 0, {0, 1, 2}, {{10, 1, 0}, {5, 0.5, 0}, {0, 0, 0}}},
      {"pplate p { set w [u+v] } 1 1 [w] [0] [w*2]", 1, 1, {0, 1, 3}, {{0, 0, 0}, {1, 0, 2}, {2, 0, 4}}},
      // a script that replaces the parameter table: the expressions read the new one
      {"pplate p { set w [u*2] push_frame pop_frame } 1 1 [w] [v] [0]", 1, 1, {1, 2, 3},
       {{2, 0, 0}, {0, 1, 0}, {2, 1, 0}}},
      // the script fails only at s = 2/3: that point and all after it stay on the segment
      {"pline p { ifneg [(s-0.5)*(s-0.9)] { nosuchword } } 3 [s+10] [0] [0]", 3, 0, {0, 1, 2, 3},
       {{11, 0, 0}, {2.0 / 3, 0, 0}, {1.0 / 3, 0, 0}, {0, 0, 0}}},
      // ... only at (u, v) = (0, 0.5): the rest of that column stays, the next column is done
      {"pplate p { ifneg [(u+v-0.3)*(u+v-0.7)] { nosuchword } } 1 2 [u+10] [v+10] [0]", 1, 2,
       {0, 2, 4, 1, 3, 5}, {{10, 10, 0}, {0, 0.5, 0}, {0, 1, 0}, {11, 10, 0}, {11, 10.5, 0}, {11, 11, 0}}},
  };
  expect_lattices(rows);
}

TEST_F(ParametricTest, FailureMessages) {
  const std::string curve = "expecting N  [<x expression>] [<y expression>] [<z expression>]\n";
  const std::string patch = "expecting M N  [<x expression>] [<y expression>] [<z expression>]\n";
  const struct { BuilderFunc func; const char* args; std::string message; } rows[] = {
      {pline, "", curve + "could not read dimension N"},
      {pline, "0 [s] [0] [0]", "N cannot be zero"},
      {pcylindrical_arc, "-2 [s] [0] [0]", "N cannot be zero"},
      {pline, "3 [s] [s]", curve + "could not read expression for z values"},
      {pspherical_arc, "3 1", curve + "could not read expression for x values"},
      {pline, "{ set t 1 } 3 [s] 2", curve + "could not read expression for y values"},
      {pline, "2147483647 [s] [0] [0]", curve + "lattice of 2147483647 x 0 cells is too large"},
      {pplate, "0 1 [u] [v] [0]", patch + "dimension for M must be positive"},
      {pcylinder, "3:0 2", patch + "secondary dimension for M must be positive"},
      {psphere, "2 1:0", patch + "secondary dimension for N must be positive"},
      {pplate, "2 2 [u]", patch + "could not read expression for y values"},
      {pplate, "65536 65536 [u] [v] [0]", patch + "lattice of 65536 x 65536 cells is too large"},
  };
  for (const auto& r : rows) expect_failure(r.func, r.args, r.message);
}

// s, u and v hold their earlier values afterwards (0 when they did not exist), also when a
// per-point script failed or assigned them.
TEST_F(ParametricTest, LatticeParametersAreRestored) {
  const struct { const char* script; double s, u, v; } rows[] = {
      {"set s 5 set u 6 set v 7 pline p 2 [s] [0] [0] pplate q 2 2 [u] [v] [0]", 5, 6, 7},
      {"pplate q 1 1 [u] [v] [0]", 0, 0, 0},
      {"set s 2 pline p { set s 9 nosuchword } 2 [s] [0] [0]", 2, 0, 0},
      {"set u 1 pplate q { set v 8 } 1 1 [u=3] [v] [0]", 0, 1, 0},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.script);
    reset_script_state();
    for (const char* name : {"s", "u", "v"}) gParameters.erase(name);
    run(r.script);
    auto value = [](const char* name) { return gParameters.count(name) ? gParameters[name] : 0; };
    EXPECT_EQ(std::vector<double>({value("s"), value("u"), value("v")}), std::vector<double>({r.s, r.u, r.v}));
  }
}

// A per-point script that makes parts of its own: the builder's part is still the last one,
// so it is the part that gets placed.
TEST_F(ParametricTest, PartMadeBetweenPointsDoesNotTakeThePlacement) {
  EXPECT_TRUE(run("mz 5 pline p { line q 1  0 0 0  1 0 0 } 1 [s] [2] [0]"));
  ASSERT_EQ(Grid::gGrids.size(), 3u);
  EXPECT_EQ(Grid::gGrids.back()->name(), "p");
  for (const Grid* part : Grid::gGrids) {
    const auto* lattice = dynamic_cast<const Grid_MxN*>(part);
    ASSERT_TRUE(lattice);
    for (const GridPt& p : lattice->mPts) EXPECT_EQ(p.z, 5) << part->name();
  }
}

}  // namespace
