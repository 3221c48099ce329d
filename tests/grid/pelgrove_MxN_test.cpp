#include "grid/pelgrove_MxN.h"

#include "script/parameters.h"
#include "support/test_support.h"

#include <climits>
#include <tuple>

namespace {

using GridMxN = ScriptTest;
using Elements = std::vector<std::vector<long>>;

Grid_MxN* make_grid(double element_type, int M, int N) {
  gParameters["element_type"] = element_type;
  return new Grid_MxN("g", M, N);
}

Elements all_elements(const Grid_MxN& g) {
  Elements out;
  for (int k = 0; k < g.num_elements(); ++k) {
    long idx[4];
    out.emplace_back(idx, idx + g.element(k, idx));
  }
  return out;
}

TEST_F(GridMxN, EnumeratesElementsOfEachType) {
  const struct { const char* id; double type; int M, N; Elements expected; } rows[] = {
      {"quads", 0, 2, 1, {{0, 1, 4, 3}, {1, 2, 5, 4}}},
      {"uniform", 1, 2, 1, {{0, 1, 4}, {0, 4, 3}, {1, 2, 5}, {1, 5, 4}}},
      {"alternating", 2, 2, 1, {{0, 1, 4}, {0, 4, 3}, {1, 2, 4}, {4, 2, 5}}},
      {"alternating, second row", 2, 1, 2, {{0, 1, 3}, {0, 3, 2}, {2, 3, 4}, {4, 3, 5}}},
      {"2.9 truncates to alternating", 2.9, 2, 1, {{0, 1, 4}, {0, 4, 3}, {1, 2, 4}, {4, 2, 5}}},
      {"-0.5 truncates to quads", -0.5, 2, 1, {{0, 1, 4, 3}, {1, 2, 5, 4}}},
      {"chain", 0, 3, 0, {{0, 1}, {1, 2}, {2, 3}}},
      {"unknown type", 5, 1, 1, {{}, {}}},
      {"no cells across", 0, 0, 3, {}},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.id);
    Grid_MxN* g = make_grid(r.type, r.M, r.N);
    EXPECT_EQ(g->num_grid_points(), (r.M + 1) * (r.N + 1));
    EXPECT_EQ(all_elements(*g), r.expected);
    long idx[4];
    EXPECT_EQ(g->raw_element(g->num_elements(), idx), -1);
    EXPECT_EQ(g->element(g->num_elements(), idx), 0);
    g->set_deleted(true);
    EXPECT_EQ(g->num_elements(), 0);
    EXPECT_EQ(g->num_grid_points(), (r.M + 1) * (r.N + 1));
  }
  EXPECT_EQ(make_grid(0, 3, 0)->dimension(), 1);
  EXPECT_EQ(make_grid(0, 3, 1)->dimension(), 2);
}

// One cell with p0 = (0,0) and p2 = (1,0): the p0-p2 diagonal has length 1. p1 and p3
// sit at (0.5, -+L/2): the p1-p3 diagonal has length L.
Grid_MxN* kite(double type, double L) {
  Grid_MxN* g = make_grid(type, 1, 1);
  g->mPts[0] = {0, 0, 0};
  g->mPts[1] = {0.5, -L / 2, 0};
  g->mPts[3] = {1, 0, 0};
  g->mPts[2] = {0.5, L / 2, 0};
  return g;
}

const Elements along02 = {{0, 1, 3}, {0, 3, 2}};
const Elements along13 = {{0, 1, 2}, {2, 1, 3}};

TEST_F(GridMxN, ShorterDiagonalSplitsTheCell) {
  const struct { const char* id; double type, L; const Elements& expected; } rows[] = {
      {"best: equal diagonals split along p1-p3", 3, 1.0, along13}, {"best: p1-p3 slightly longer", 3, 1.01, along02},
      {"good: equal keeps p0-p2", 4, 1.0, along02},                  {"good: 4 % shorter keeps p0-p2", 4, 0.96, along02},
      {"good: 6 % shorter splits along p1-p3", 4, 0.94, along13},
  };
  for (const auto& r : rows) EXPECT_EQ(all_elements(*kite(r.type, r.L)), r.expected) << r.id;
}

TEST_F(GridMxN, DiagonalFollowsMergedGeometryAtEachQuery) {
  Grid_MxN* g = kite(3, 0.5);
  EXPECT_EQ(all_elements(*g), along13);
  GridPt far{0.5, 5, 0};
  g->mPts[2].mapped_to = &far;  // p3 merged far away: p1-p3 is now the longer diagonal
  EXPECT_EQ(all_elements(*g), along02);
}

// 32768 x 32767 cells make 2 147 418 112 triangles, 32768 x 32768 make 2^31; 1073741823 x 1
// cells have triangles that fit but 2^31 points; a chain may hold INT_MAX points.
TEST(LatticeFits, IntCountsBoundTheLattice) {
  for (auto [M, N, fits] : {std::tuple{32768L, 32767L, true}, {32768L, 32768L, false}, {1073741823L, 1L, false},
                            {INT_MAX - 1L, 0L, true}, {long(INT_MAX), 0L, false}, {-1L, 1L, false}})
    EXPECT_EQ(lattice_fits(M, N), fits) << M << " x " << N;
}

}  // namespace
