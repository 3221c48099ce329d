#include "builders/builders.h"
#include "grid/pelgrove_MxN.h"
#include "interp/interp.h"
#include "script/scriptstream.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace {

using Builders = ScriptTest;

struct Xyz {
  double x, y, z;
};

void expect_point(const GridPt& p, Xyz want) {
  EXPECT_NEAR(p.x, want.x, 1e-12);
  EXPECT_NEAR(p.y, want.y, 1e-12);
  EXPECT_NEAR(p.z, want.z, 1e-12);
}

Grid_MxN* only_grid() {
  EXPECT_EQ(Grid::gGrids.size(), 1u);
  if (Grid::gGrids.size() != 1) return nullptr;
  auto* g = dynamic_cast<Grid_MxN*>(Grid::gGrids.back());
  EXPECT_NE(g, nullptr);
  return g;
}

TEST_F(Builders, RegistersTheDirectBuilders) {
  const std::pair<const char*, BuilderFunc> expected[] = {
      {"plate", plate}, {"cylinder", cylinder}, {"sphere", sphere},
      {"line", line},   {"arc", cylindrical_arc}, {"orbit", spherical_arc},
  };
  for (auto [name, func] : expected) {
    SCOPED_TRACE(name);
    ASSERT_EQ(gBuilders.count(name), 1u);
    EXPECT_EQ(gBuilders[name].func, func);
    EXPECT_EQ(gBuilders[name].name, name);
  }
  EXPECT_FALSE(commands.empty());  // the command table is filled with the builders
}

TEST_F(Builders, PlatePointsFollowTheCorners) {
  ASSERT_TRUE(run("plate p 2 1  0 0 0  1 0 0  1 1 0  0 1 0"));
  Grid_MxN* g = only_grid();
  ASSERT_TRUE(g);
  EXPECT_EQ(g->name(), "p");
  ASSERT_EQ(g->num_grid_points(), 6);
  const Xyz want[] = {{0, 0, 0}, {0.5, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0.5, 1, 0}, {1, 1, 0}};
  for (int i = 0; i < 6; ++i) {
    SCOPED_TRACE(i);
    expect_point(g->mPts[i], want[i]);
  }
}

// a at (0,0), b at (M,0), c at (M,N), d at (0,N); a skewed patch shows each corner's weight.
TEST_F(Builders, PlateInterpolatesBilinearly) {
  ASSERT_TRUE(run("plate p 2 2  0 0 0  4 0 0  4 2 1  0 2 0"));
  Grid_MxN* g = only_grid();
  ASSERT_TRUE(g);
  expect_point(g->mPts[2], {4, 0, 0});
  expect_point(g->mPts[8], {4, 2, 1});
  expect_point(g->mPts[6], {0, 2, 0});
  expect_point(g->mPts[4], {2, 1, 0.25});
  expect_point(g->mPts[5], {4, 1, 0.5});
  expect_point(g->mPts[7], {2, 2, 0.5});
}

TEST_F(Builders, NumbersMayBeExpressions) {
  ASSERT_TRUE(run("plate p [1+1] [3/2]  0 0 0  [2*2] 0 0  4 2 0  0 2 0"));
  Grid_MxN* g = only_grid();
  ASSERT_TRUE(g);
  EXPECT_EQ(g->M, 2);
  EXPECT_EQ(g->N, 1);
  expect_point(g->mPts[1], {2, 0, 0});
}

TEST_F(Builders, TransitionPlateRows) {
  struct Row {
    const char* script;
    int M, N;
    std::vector<double> u_row0, u_row1;  // x of the points of rows j = 0 and j = 1
  };
  const Row rows[] = {
      {"plate p 2:4 1  0 0 0  1 0 0  1 1 0  0 1 0", 4, 1, {0, 0, 0.5, 1, 1}, {0, 0.25, 0.5, 0.75, 1}},
      {"plate p 4:2 1  0 0 0  1 0 0  1 1 0  0 1 0", 4, 1, {0, 0.25, 0.5, 0.75, 1}, {0, 0, 0.5, 1, 1}},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.script);
    reset_script_state();
    ASSERT_TRUE(run(r.script));
    Grid_MxN* g = only_grid();
    ASSERT_TRUE(g);
    EXPECT_EQ(g->M, r.M);
    EXPECT_EQ(g->N, r.N);
    for (int i = 0; i <= r.M; ++i) {
      SCOPED_TRACE(i);
      expect_point(g->mPts[i], {r.u_row0[i], 0, 0});
      expect_point(g->mPts[r.M + 1 + i], {r.u_row1[i], 1, 0});
    }
  }
}

// N divisions along a-d and N2 along b-c: column i = 0 is coarse, column i = 1 fine.
TEST_F(Builders, TransitionAlongTheSecondDirection) {
  ASSERT_TRUE(run("plate p 1 2:4  0 0 0  1 0 0  1 1 0  0 1 0"));
  Grid_MxN* g = only_grid();
  ASSERT_TRUE(g);
  ASSERT_EQ(g->M, 1);
  ASSERT_EQ(g->N, 4);
  const double coarse[] = {0, 0, 0.5, 1, 1}, fine[] = {0, 0.25, 0.5, 0.75, 1};
  for (int j = 0; j <= 4; ++j) {
    SCOPED_TRACE(j);
    expect_point(g->mPts[2 * j], {0, coarse[j], 0});
    expect_point(g->mPts[2 * j + 1], {1, fine[j], 0});
  }
}

TEST_F(Builders, LineRunsFromBToA) {
  ASSERT_TRUE(run("line l 2  0 0 0  4 0 0"));
  Grid_MxN* g = only_grid();
  ASSERT_TRUE(g);
  EXPECT_EQ(g->dimension(), 1);
  EXPECT_EQ(g->num_elements(), 2);
  ASSERT_EQ(g->num_grid_points(), 3);
  expect_point(g->mPts[0], {4, 0, 0});
  expect_point(g->mPts[1], {2, 0, 0});
  expect_point(g->mPts[2], {0, 0, 0});
}

TEST_F(Builders, ArcIsAQuarterCircleInDegrees) {
  ASSERT_TRUE(run("arc a 4  1 0 0  1 90 0"));
  Grid_MxN* g = only_grid();
  ASSERT_TRUE(g);
  ASSERT_EQ(g->num_grid_points(), 5);
  const double h = std::sqrt(0.5);
  expect_point(g->mPts[0], {0, 1, 0});
  expect_point(g->mPts[2], {h, h, 0});
  expect_point(g->mPts[4], {1, 0, 0});
  for (const GridPt& p : g->mPts) EXPECT_NEAR(std::hypot(p.x, p.y), 1, 1e-12);
}

TEST_F(Builders, ArcWithChangingHeightIsAHelix) {
  ASSERT_TRUE(run("arc h 2  2 180 4  2 0 0"));
  Grid_MxN* g = only_grid();
  ASSERT_TRUE(g);
  expect_point(g->mPts[0], {2, 0, 0});
  expect_point(g->mPts[1], {0, 2, 2});
  expect_point(g->mPts[2], {-2, 0, 4});
}

TEST_F(Builders, OrbitStaysOnTheSphere) {
  ASSERT_TRUE(run("orbit o 2  3 90 90  3 90 0"));
  Grid_MxN* g = only_grid();
  ASSERT_TRUE(g);
  const double h = 3 * std::sqrt(0.5);
  expect_point(g->mPts[0], {3, 0, 0});
  expect_point(g->mPts[1], {h, h, 0});
  expect_point(g->mPts[2], {0, 3, 0});
}

TEST_F(Builders, CylinderCornersAreCylindricalInDegrees) {
  ASSERT_TRUE(run("cylinder c 1 1  1 0 0  1 90 0  1 90 2  1 0 2"));
  Grid_MxN* g = only_grid();
  ASSERT_TRUE(g);
  expect_point(g->mPts[0], {1, 0, 0});
  expect_point(g->mPts[1], {0, 1, 0});
  expect_point(g->mPts[3], {0, 1, 2});
  expect_point(g->mPts[2], {1, 0, 2});
}

TEST_F(Builders, SphereCornersAreSphericalInDegrees) {
  ASSERT_TRUE(run("sphere s 2 1  2 90 0  2 90 90  2 0 90  2 0 0"));
  Grid_MxN* g = only_grid();
  ASSERT_TRUE(g);
  const double h = 2 * std::sqrt(0.5);
  expect_point(g->mPts[0], {2, 0, 0});
  expect_point(g->mPts[1], {h, h, 0});
  expect_point(g->mPts[2], {0, 2, 0});
  for (int i = 3; i < 6; ++i) expect_point(g->mPts[i], {0, 0, 2});  // the pole
}

// -- failures: usage line, then one reason; no part is made

struct FailureRow {
  BuilderFunc func;
  const char* args;
  const char* reason;
};

const char* const patch_usage = "expecting M N  a b c d\n";
const char* const curve_usage = "expecting N  a b\n";

TEST_F(Builders, FailureMessages) {
  const FailureRow patch_rows[] = {
      {plate, "", "could not read dimension for M"},
      {plate, "x 1", "could not read dimension for M"},
      {plate, "2:x 1", "could not read dimension for M"},
      {plate, "0 1  0 0 0  1 0 0  1 1 0  0 1 0", "dimension for M must be positive"},
      {plate, "-2 1  0 0 0  1 0 0  1 1 0  0 1 0", "dimension for M must be positive"},
      {plate, "0:3 1  0 0 0  1 0 0  1 1 0  0 1 0", "dimension for M must be positive"},
      {plate, "3:0 2  0 0 0  1 0 0  1 1 0  0 1 0", "secondary dimension for M must be positive"},
      {plate, "2", "could not read dimension for N"},
      {plate, "2 1:", "could not read dimension for N"},
      {plate, "2 0  0 0 0  1 0 0  1 1 0  0 1 0", "dimension for N must be positive"},
      {plate, "2 1:0  0 0 0  1 0 0  1 1 0  0 1 0", "secondary dimension for N must be positive"},
      {plate, "2 1  0 0", "could not read coordinate values for a"},
      {plate, "2 1  0 0 0  1 0", "could not read coordinate values for b"},
      {plate, "2 1  0 0 0  1 0 0  1 1", "could not read coordinate values for c"},
      {plate, "2 1  0 0 0  1 0 0  1 1 0  0 1", "could not read coordinate values for d"},
      {plate, "2 1  0 0 0  1 0 0  1 1 0  0 1 q", "could not read coordinate values for d"},
      {plate, "65536 65536  0 0 0  1 0 0  1 1 0  0 1 0", "lattice of 65536 x 65536 cells is too large"},
      {plate, "2:70000 40000  0 0 0  1 0 0  1 1 0  0 1 0", "lattice of 70000 x 40000 cells is too large"},
      {plate, "1 1:2147483647  0 0 0  1 0 0  1 1 0  0 1 0",
       "lattice of 1 x 2147483647 cells is too large"},
      {cylinder, "1 0", "dimension for N must be positive"},
      {sphere, "1 1  1 0 0", "could not read coordinate values for b"},
  };
  const FailureRow curve_rows[] = {
      {line, "", "could not read dimension N"},
      {line, "0  0 0 0  1 0 0", "N must be positive"},
      {line, "-1  0 0 0  1 0 0", "N must be positive"},
      {line, "2  0 0", "could not read coordinate values for a"},
      {line, "2  0 0 0  4 0", "could not read coordinate values for b"},
      {line, "2147483647  0 0 0  1 0 0", "lattice of 2147483647 x 0 cells is too large"},
      {cylindrical_arc, "z", "could not read dimension N"},
      {spherical_arc, "3  1 0 0", "could not read coordinate values for b"},
  };
  auto check = [](const FailureRow& r, const char* usage) {
    SCOPED_TRACE(r.args);
    scriptstream_priv in(std::string(r.args) + "\n");
    std::string message = "stale";
    EXPECT_FALSE(r.func("part", in, message));
    EXPECT_EQ(message, std::string(usage) + r.reason);
    EXPECT_TRUE(Grid::gGrids.empty());
  };
  for (const FailureRow& r : patch_rows) check(r, patch_usage);
  for (const FailureRow& r : curve_rows) check(r, curve_usage);
}

// Through a script: the run stops with the builder's message and parts made before stay.
TEST_F(Builders, FailingBuilderStopsTheScriptAndLeavesThePartList) {
  EXPECT_FALSE(run("plate a 1 1  0 0 0  1 0 0  1 1 0  0 1 0\n"
                   "plate b 0 1  0 0 0  1 0 0  1 1 0  0 1 0\n"
                   "plate c 1 1  0 0 0  1 0 0  1 1 0  0 1 0\n"));
  ASSERT_EQ(Grid::gGrids.size(), 1u);
  EXPECT_EQ(Grid::gGrids[0]->name(), "a");
  ASSERT_EQ(alerts().size(), 1u);
  EXPECT_NE(alerts()[0].find("expecting M N  a b c d\ndimension for M must be positive"), std::string::npos)
      << alerts()[0];
}

// A dimension written with a blank before ':' is not a transition: ':' must follow the number.
TEST_F(Builders, TransitionColonMustFollowTheNumber) {
  scriptstream_priv in("2 :4 1\n");
  GridData gd;
  int M2 = 0, N2 = 0;
  std::string message;
  EXPECT_FALSE(read_patch_dimensions(in, gd, M2, N2, message));
  EXPECT_EQ(message, "could not read dimension for N");
  EXPECT_EQ(gd.M, 2);
  EXPECT_EQ(M2, 2);
}

TEST_F(Builders, ReadPatchDimensionsReadsBothSecondaries) {
  scriptstream_priv in("3:5 [2]:[1+6] rest\n");
  GridData gd;
  int M2 = 0, N2 = 0;
  std::string message;
  ASSERT_TRUE(read_patch_dimensions(in, gd, M2, N2, message));
  EXPECT_EQ(gd.M, 3);
  EXPECT_EQ(M2, 5);
  EXPECT_EQ(gd.N, 2);
  EXPECT_EQ(N2, 7);
  EXPECT_TRUE(message.empty());
  std::string word;
  in >> word;
  EXPECT_EQ(word, "rest");
}

}  // namespace
