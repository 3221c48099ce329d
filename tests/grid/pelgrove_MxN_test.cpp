#include "grid/pelgrove_MxN.h"
#include "interp/params.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <climits>
#include <vector>

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
    int n = g.element(k, idx);
    out.emplace_back(idx, idx + n);
  }
  return out;
}

TEST_F(GridMxN, EnumeratesElementsOfEachType) {
  struct Row {
    const char* id;
    double type;
    int M, N;
    Elements expected;
  };
  const Row rows[] = {
      {"quads", 0, 2, 1, {{0, 1, 4, 3}, {1, 2, 5, 4}}},
      {"uniform", 1, 2, 1, {{0, 1, 4}, {0, 4, 3}, {1, 2, 5}, {1, 5, 4}}},
      {"alternating", 2, 2, 1, {{0, 1, 4}, {0, 4, 3}, {1, 2, 4}, {4, 2, 5}}},
      // the checkerboard flips to p1-p3 in the second row as in the second column
      {"alternating 1x2", 2, 1, 2, {{0, 1, 3}, {0, 3, 2}, {2, 3, 4}, {4, 3, 5}}},
      {"alternating 2x2", 2, 2, 2,
       {{0, 1, 4}, {0, 4, 3}, {1, 2, 4}, {4, 2, 5}, {3, 4, 6}, {6, 4, 7}, {4, 5, 8}, {4, 8, 7}}},
      {"quads 2x2 rows", 0, 2, 2, {{0, 1, 4, 3}, {1, 2, 5, 4}, {3, 4, 7, 6}, {4, 5, 8, 7}}},
      {"truncated 2.9 is alternating", 2.9, 2, 1, {{0, 1, 4}, {0, 4, 3}, {1, 2, 4}, {4, 2, 5}}},
      {"truncated -0.5 is quads", -0.5, 2, 1, {{0, 1, 4, 3}, {1, 2, 5, 4}}},
      {"chain", 1, 3, 0, {{0, 1}, {1, 2}, {2, 3}}},
      {"chain ignores quads", 0, 2, 0, {{0, 1}, {1, 2}}},
      {"unknown type", 5, 1, 1, {{}, {}}},
      {"negative type", -1, 1, 1, {{}, {}}},
      {"no cells across", 0, 0, 3, {}},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.id);
    Grid_MxN* g = make_grid(r.type, r.M, r.N);
    EXPECT_EQ(g->num_grid_points(), (r.M + 1) * (r.N + 1));
    EXPECT_EQ(g->num_elements(), (int)r.expected.size());
    EXPECT_EQ(all_elements(*g), r.expected);
    long idx[4];
    EXPECT_EQ(g->raw_element(g->num_elements(), idx), -1);
    EXPECT_EQ(g->element(g->num_elements(), idx), 0);
    EXPECT_EQ(g->raw_element(-1, idx), -1);
    delete g;
  }
}

TEST_F(GridMxN, ChainIsOneDimensional) {
  EXPECT_EQ(make_grid(0, 3, 0)->dimension(), 1);
  EXPECT_EQ(make_grid(0, 3, 1)->dimension(), 2);
}

TEST_F(GridMxN, NewLatticeStartsAtTheOriginUnnumbered) {
  Grid_MxN* g = make_grid(1, 2, 3);
  EXPECT_EQ(g->M, 2);
  EXPECT_EQ(g->N, 3);
  EXPECT_EQ(g->element_type, 1);
  ASSERT_EQ(g->mPts.size(), 12u);
  for (const GridPt& p : g->mPts) {
    EXPECT_EQ(p.x, 0);
    EXPECT_EQ(p.z, 0);
    EXPECT_EQ(p.id, 0);
    EXPECT_EQ(p.mapped_to, nullptr);
  }
}

TEST_F(GridMxN, DeletedGridKeepsPointsButHasNoElements) {
  Grid_MxN* g = make_grid(1, 2, 2);
  Grid_MxN* chain = make_grid(1, 2, 0);
  g->set_deleted(true);
  chain->set_deleted(true);
  EXPECT_EQ(g->num_elements(), 0);
  EXPECT_EQ(chain->num_elements(), 0);
  EXPECT_EQ(g->num_grid_points(), 9);
}

// One cell: p0 = (0,0), p2 = (1,0), so the p0-p2 diagonal has length 1; p1 and p3 sit
// symmetrically at (0.5, -+L/2), so the p1-p3 diagonal has length L.
Grid_MxN* kite(double type, double L) {
  Grid_MxN* g = make_grid(type, 1, 1);
  g->mPts[0] = {0, 0, 0};
  g->mPts[1] = {0.5, -L / 2, 0};
  g->mPts[3] = {1, 0, 0};  // p2 is point (1, 1)
  g->mPts[2] = {0.5, L / 2, 0};  // p3 is point (0, 1)
  return g;
}

TEST_F(GridMxN, ShorterDiagonalSplitsTheCell) {
  const Elements along02 = {{0, 1, 3}, {0, 3, 2}};
  const Elements along13 = {{0, 1, 2}, {2, 1, 3}};
  struct Row {
    const char* id;
    double type, L;
    const Elements& expected;
  };
  const Row rows[] = {
      {"best: equal diagonals split along p1-p3", 3, 1.0, along13},
      {"best: p1-p3 slightly longer", 3, 1.01, along02},
      {"best: p1-p3 slightly shorter", 3, 0.99, along13},
      {"good: equal keeps p0-p2", 4, 1.0, along02},
      {"good: 4 % shorter keeps p0-p2", 4, 0.96, along02},
      {"good: 6 % shorter splits along p1-p3", 4, 0.94, along13},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.id);
    Grid_MxN* g = kite(r.type, r.L);
    EXPECT_EQ(all_elements(*g), r.expected);
    delete g;
  }
}

// The split is measured on merged points, at the time of the query.
TEST_F(GridMxN, DiagonalFollowsMergedGeometry) {
  Grid_MxN* g = kite(3, 0.5);
  EXPECT_EQ(all_elements(*g), (Elements{{0, 1, 2}, {2, 1, 3}}));
  GridPt far{0.5, 5, 0};
  g->mPts[2].mapped_to = &far;  // p3 now lies far away: p1-p3 is the longer diagonal
  EXPECT_EQ(all_elements(*g), (Elements{{0, 1, 3}, {0, 3, 2}}));
  g->mPts[2].mapped_to = nullptr;
  EXPECT_EQ(all_elements(*g), (Elements{{0, 1, 2}, {2, 1, 3}}));
}

TEST_F(GridMxN, MergedCornersReduceElements) {
  Grid_MxN* g = make_grid(0, 2, 1);  // cells (0 1 4 3) and (1 2 5 4)
  g->mPts[5].x = 7;
  g->mPts[2].mapped_to = &g->mPts[5];  // second cell: e1 = e2
  g->mPts[3].mapped_to = &g->mPts[0];  // first cell: e0 = e3
  EXPECT_EQ(all_elements(*g), (Elements{{0, 1, 4}, {1, 2, 4}}));
  GridPt pts[4];
  EXPECT_EQ(g->element(1, pts), 3);
  EXPECT_EQ(pts[1].x, 7);  // copies of the representatives
  EXPECT_EQ(pts[1].mapped_to, nullptr);
}

TEST(LatticeFits, IntCountsBoundTheLattice) {
  struct Row {
    long M, N;
    bool fits;
  };
  const Row rows[] = {
      {0, 0, true},
      {1, 1, true},
      {32768, 32767, true},   // 2 147 418 112 triangles
      {32768, 32768, false},  // 2^31 triangles
      {65536, 65536, false},
      {INT_MAX - 1, 0, true},  // chain: INT_MAX points
      {INT_MAX, 0, false},
      {0, INT_MAX, false},
      {-1, 1, false},
      {1, -1, false},
      {1073741823, 1, false},  // elements fit, points (2 x 1073741824) do not
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(testing::Message() << r.M << " x " << r.N);
    EXPECT_EQ(lattice_fits(r.M, r.N), r.fits);
  }
}

}  // namespace
