// Where the builders put each point, and why they fail.
#include "interp/interp.h"
#include "merge/mesh_check.h"
#include "support/lattice_rows.h"

#include <cmath>
#include <string>
#include <vector>

namespace {

using BuilderRun = LatticeTest;

TEST_F(BuilderRun, PointPositionsAndLatticeSize) {
  const double h = std::sqrt(0.5), third = 1.0 / 3;
  const double cl = std::tanh(1.0) / std::tanh(2.0), bu = 0.25 - 0.25 / std::acos(-1.0);  // cluster -2, bump 3
  const std::vector<LatticeRow> rows = {
      {"plate p 2 1  0 0 0  1 0 0  1 1 0  0 1 0", 2, 1, {0, 2, 4, 5}, {{0, 0, 0}, {1, 0, 0}, {0.5, 1, 0}, {1, 1, 0}}},
      // a skewed patch shows each corner's weight: b at (M, 0), c at (M, N), d at (0, N)
      {"plate p 2 2  0 0 0  4 0 0  4 2 1  0 2 0", 2, 2, {2, 4, 5, 6, 8},
       {{4, 0, 0}, {2, 1, 0.25}, {4, 1, 0.5}, {0, 2, 0}, {4, 2, 1}}},
      {"plate p [1+1] [3/2]  0 0 0  [2*2] 0 0  4 2 0  0 2 0", 2, 1, {1, 5}, {{2, 0, 0}, {4, 2, 0}}},
      {"line l 2  0 0 0  4 0 0", 2, 0, {0, 1, 2}, {{4, 0, 0}, {2, 0, 0}, {0, 0, 0}}},
      {"arc a 4  1 0 0  1 90 0", 4, 0, {0, 2, 4}, {{0, 1, 0}, {h, h, 0}, {1, 0, 0}}},
      {"arc h 2  2 180 4  2 0 0", 2, 0, {0, 1, 2}, {{2, 0, 0}, {0, 2, 2}, {-2, 0, 4}}},
      {"orbit o 2  3 90 90  3 90 0", 2, 0, {0, 1, 2}, {{3, 0, 0}, {3 * h, 3 * h, 0}, {0, 3, 0}}},
      {"cylinder c 1 1  1 0 0  1 90 0  1 90 2  1 0 2", 1, 1, {0, 1, 2, 3}, {{1, 0, 0}, {0, 1, 0}, {1, 0, 2}, {0, 1, 2}}},
      {"sphere s 2 1  2 90 0  2 90 90  2 0 90  2 0 0", 2, 1, {0, 1, 2, 4},
       {{2, 0, 0}, {2 * h, 2 * h, 0}, {0, 2, 0}, {0, 0, 2}}},
      // transitions: the coarse side's neighbouring points snap together
      {"plate p 2:4 1  0 0 0  1 0 0  1 1 0  0 1 0", 4, 1, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9},
       {{0, 0, 0}, {0, 0, 0}, {0.5, 0, 0}, {1, 0, 0}, {1, 0, 0},
        {0, 1, 0}, {0.25, 1, 0}, {0.5, 1, 0}, {0.75, 1, 0}, {1, 1, 0}}},
      {"plate p 4:2 1  0 0 0  1 0 0  1 1 0  0 1 0", 4, 1, {1, 3, 6, 8},
       {{0.25, 0, 0}, {0.75, 0, 0}, {0, 1, 0}, {1, 1, 0}}},
      // N divisions along a-d (column 0), N2 along b-c (column 1)
      {"plate p 1 2:4  0 0 0  1 0 0  1 1 0  0 1 0", 1, 4, {2, 3, 6, 7},
       {{0, 0, 0}, {1, 0.25, 0}, {0, 1, 0}, {1, 0.75, 0}}},
      // halfway up a 2 -> 4 transition the row snaps to its own 3 divisions
      {"plate p 2:4 2  0 0 0  1 0 0  1 1 0  0 1 0", 4, 2, {5, 6, 7, 8, 9},
       {{0, 0.5, 0}, {third, 0.5, 0}, {2 * third, 0.5, 0}, {2 * third, 0.5, 0}, {1, 0.5, 0}}},
      // graded lattices: bias 4 puts the middle of an edge at (4^0.5 - 1) / 3
      {"set u_spacing bias 4\nplate p 2 1  0 0 0  1 0 0  1 1 0  0 1 0", 2, 1, {1, 4}, {{third, 0, 0}, {third, 1, 0}}},
      {"set v_spacing bias [1/4]\nplate p 1 2  0 0 0  1 0 0  1 1 0  0 1 0", 1, 2, {2, 3}, {{0, 2 * third, 0}, {1, 2 * third, 0}}},
      {"set u_spacing cluster -2\nline l 2  0 0 0  4 0 0", 2, 0, {1}, {{4 - 4 * cl, 0, 0}}},
      {"set v_spacing bump 3\ncylinder c 1 4  1 0 0  1 90 0  1 90 1  1 0 1", 1, 4, {2, 4}, {{1, 0, bu}, {1, 0, 0.5}}},
      {"set u_spacing bias 4\npplate p 2 1  [u] [v] [0]", 2, 1, {1}, {{third, 0, 0}}},
      // each row of a transition is graded over its own cells
      {"set u_spacing bias 4\nplate p 2:4 1  0 0 0  1 0 0  1 1 0  0 1 0", 4, 1, {1, 2, 6, 7, 8},
       {{0, 0, 0}, {third, 0, 0}, {(std::sqrt(2.0) - 1) / 3, 1, 0}, {third, 1, 0}, {(2 * std::sqrt(2.0) - 1) / 3, 1, 0}}},
  };
  expect_lattices(rows);
}

// The spacing in force when a part is made grades it; later settings and the next run do not.
TEST_F(BuilderRun, SpacingIsTakenPerPart) {
  const std::string a = "plate a 2 1  0 0 0  1 0 0  1 1 0  0 1 0\n", b = "plate b 2 1  0 0 0  1 0 0  1 1 0  0 1 0\n";
  const struct {
    std::string script;
    double a_x, b_x;  // of each part's point (1, 0)
  } rows[] = {{a + "set u_spacing bias 4\n" + b, 0.5, 1.0 / 3},
              {"set u_spacing bias 4\n" + a + "set u_spacing uniform\n" + b, 1.0 / 3, 0.5},
              {a + b, 0.5, 0.5}};
  for (const auto& r : rows) {
    reset_script_state();
    ASSERT_TRUE(run(r.script));
    EXPECT_NEAR(Grid::gGrids.at(0)->mPts.at(1).x, r.a_x, 1e-15) << r.script;
    EXPECT_NEAR(Grid::gGrids.at(1)->mPts.at(1).x, r.b_x, 1e-15) << r.script;
  }
}

// Neighbours graded alike along their shared edge share its points exactly (tolerance 0):
// running the same way, or the other way with the mirror spacing. Two 4 x 3 plates meet
// along x = 1; what is left free is their outline.
TEST_F(BuilderRun, GradedNeighboursMergeExactly) {
  const std::string left = "plate left 4 3  0 0 0  1 0 0  1 1 0  0 1 0\n";
  const std::string same = "plate right 4 3  1 0 0  2 0 0  2 1 0  1 1 0\n";       // v up the edge
  const std::string reversed = "plate right 3 4  1 1 0  1 0 0  2 0 0  2 1 0\n";   // u down the edge
  const std::string transition = "plate right 4 3:6  1 0 0  2 0 0  2 1 0  1 1 0\n";  // 3 cells at x = 1
  const struct { std::string name, left_spacing, right_script; long free_edges, points; } rows[] = {
      {"same way", "bias 3", "set v_spacing bias 3\n" + same, 22, 36},
      {"other way, mirror ratio", "bias 3", "set v_spacing uniform set u_spacing bias [1/3]\n" + reversed, 22, 36},
      {"other way, cluster", "cluster 2", "set v_spacing uniform set u_spacing cluster -2\n" + reversed, 22, 36},
      {"transition", "cluster -1.5", "set v_spacing cluster -1.5\n" + transition, 25, 44},
      // the same ratio the other way is not the same spacing: the edge does not close
      {"other way, same ratio", "bias 3", "set v_spacing uniform set u_spacing bias 3\n" + reversed, 28, 38},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.name);
    ASSERT_TRUE(build("set element_type quads set v_spacing " + r.left_spacing + "\n" + left + r.right_script));
    const MeshCheck m = check_mesh();
    EXPECT_EQ(m.free_edges, r.free_edges);
    EXPECT_EQ(m.points, r.points);
  }
}

TEST_F(BuilderRun, FailureMessages) {
  const struct { BuilderFunc func; const char* args; const char* reason; } rows[] = {
      {plate, "", "could not read dimension for M"},
      {plate, "2:x 1", "could not read dimension for M"},
      {plate, "0 1", "dimension for M must be positive"},
      {plate, "0:3 1", "dimension for M must be positive"},
      {plate, "3:0 2", "secondary dimension for M must be positive"},
      {plate, "2 :4 1", "could not read dimension for N"},  // ':' must follow the number
      {plate, "2 0", "dimension for N must be positive"},
      {plate, "2 1:0", "secondary dimension for N must be positive"},
      {plate, "2 1  0 0", "could not read coordinate values for a"},
      {plate, "2 1  0 0 0  1 0", "could not read coordinate values for b"},
      {plate, "2 1  0 0 0  1 0 0  1 1", "could not read coordinate values for c"},
      {plate, "2 1  0 0 0  1 0 0  1 1 0  0 1 q", "could not read coordinate values for d"},
      {plate, "65536 65536", "lattice of 65536 x 65536 cells is too large"},
      {plate, "2:70000 40000", "lattice of 70000 x 40000 cells is too large"},
      {cylinder, "1 -1", "dimension for N must be positive"},
      {sphere, "1 1  1 0 0", "could not read coordinate values for b"},
      {line, "", "could not read dimension N"},
      {line, "0", "N must be positive"},
      {line, "2  0 0 0  4 0", "could not read coordinate values for b"},
      {line, "2147483647", "lattice of 2147483647 x 0 cells is too large"},
      {cylindrical_arc, "z", "could not read dimension N"},
      {spherical_arc, "3  1 0", "could not read coordinate values for a"},
  };
  for (const auto& r : rows) {
    const bool curve = r.func == line || r.func == cylindrical_arc || r.func == spherical_arc;
    expect_failure(r.func, r.args, (curve ? "expecting N  a b\n" : "expecting M N  a b c d\n") + std::string(r.reason));
  }
}

}  // namespace
