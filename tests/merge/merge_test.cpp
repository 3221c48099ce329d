#include "merge/PtMerger.h"

#include "grid/RawGrid.h"
#include "grid/pelgrove_MxN.h"
#include "merge/reference_merge.h"
#include "support/test_support.h"

#include <cmath>
#include <functional>
#include <random>
#include <string>

namespace {

class MergeTest : public ScriptTest {
protected:
  Grid_MxN* lattice(const std::string& name, int M, int N, double tol, double ptol,
                    const std::function<GridPt(int, int)>& at) {
    Grid_MxN* g = new Grid_MxN(name, M, N);
    g->tolerance(tol);
    g->ptolerance(ptol);
    for (int j = 0; j <= N; ++j)
      for (int i = 0; i <= M; ++i) {
        const GridPt p = at(i, j);
        GridPt& q = g->mPts[(size_t)(M + 1) * j + i];
        q.x = p.x, q.y = p.y, q.z = p.z;
      }
    return g;
  }
  RawGrid* cloud(const std::string& name, const std::vector<GridPt>& pts, double tol, double ptol) {
    RawGrid* g = new RawGrid(name);
    g->tolerance(tol);
    g->ptolerance(ptol);
    g->mPts = pts;
    return g;
  }
  GridPt& pt(int grid, int i, int j) {
    Grid_MxN* g = dynamic_cast<Grid_MxN*>(Grid::gGrids[grid]);
    return g->mPts[(size_t)(g->M + 1) * j + i];
  }
};

GridPt xyz(double x, double y, double z) {
  GridPt p;
  p.x = x, p.y = y, p.z = z;
  return p;
}

// One random model of the kinds that stress the merge: shared borders nudged to within,
// exactly at or beyond the tolerance, clouds full of coincident points, closed
// cylinders, equidistant candidates, mixed tolerances, flat and single-point models.
class ModelMaker {
public:
  ModelMaker(uint64_t seed, std::function<Grid_MxN*(const std::string&, int, int, double, double,
                                                    const std::function<GridPt(int, int)>&)> lattice,
             std::function<RawGrid*(const std::string&, const std::vector<GridPt>&, double, double)> cloud)
      : rng(seed), mLattice(lattice), mCloud(cloud) {}

  void make(int kind) {
    switch (kind) {
    case 0: plates(); break;
    case 1: clouds(); break;
    case 2: cylinders(); break;
    case 3: ties(); break;
    case 4: mixed(); break;
    case 5: degenerate(); break;
    }
  }

private:
  int uniform(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); }
  double pick(std::initializer_list<double> v) { return v.begin()[uniform(0, (int)v.size() - 1)]; }

  // Adjacent plates on a dyadic lattice; border points nudged by 0, tol/2, tol or 3tol/2
  // along one axis, so "exactly at tol" is exact in binary.
  void plates() {
    const int K = uniform(1, 3);
    const double tol = pick({0, 1.0 / 64, 1.0 / 32});
    const double ptol = pick({0, tol, 1.0 / 16});
    const bool flat = uniform(0, 1) == 0;
    for (int pj = 0; pj < K; ++pj)
      for (int pi = 0; pi < K; ++pi) {
        const int n = 1 << uniform(0, 3);
        mLattice("p" + std::to_string(pj) + std::to_string(pi), n, n, tol, ptol, [&](int i, int j) {
          GridPt p = xyz(pi + (double)i / n, pj + (double)j / n, flat ? 0.0 : 0.125 * ((i + j) % 3));
          if (i == 0 || j == 0 || i == n || j == n) {
            const double d = pick({0, 0, 0.5, 1, 1.5}) * (tol > 0 ? tol : 1.0 / 64) * pick({-1, 1});
            (uniform(0, 1) ? p.x : p.y) += d;
          }
          return p;
        });
      }
  }

  // Point sets full of exact duplicates and near neighbours, visited in index order.
  void clouds() {
    const int parts = uniform(1, 4);
    for (int k = 0; k < parts; ++k) {
      std::vector<GridPt> pts(uniform(1, 120));
      for (GridPt& p : pts) {
        p = xyz(uniform(0, 8) / 8.0, uniform(0, 8) / 8.0, uniform(0, 2) / 8.0);
        if (uniform(0, 3) == 0) p.x += pick({1.0 / 64, -1.0 / 64, 1.0 / 128, 1e-9});
      }
      mCloud("c" + std::to_string(k), pts, pick({0, 1.0 / 64, 1.0 / 16, 0.3}), pick({0, 1.0 / 64, 1.0 / 8}));
    }
  }

  // Closed cylinders whose seam columns meet only within rounding, stacked so their rims
  // touch; some with tolerance 0, where the seam stays open.
  void cylinders() {
    const int count = uniform(1, 3);
    const double tol = pick({0, 1e-9, 1e-3});
    for (int k = 0; k < count; ++k) {
      const int M = uniform(3, 12), N = uniform(1, 5);
      const double r = pick({1, 2.5});
      mLattice("cyl" + std::to_string(k), M, N, tol, pick({0, tol}), [&](int i, int j) {
        const double th = 2 * M_PI * i / M;
        return xyz(r * std::cos(th), r * std::sin(th), k + (double)j / N);
      });
    }
  }

  // A lattice of representatives and later points exactly midway between two, four or
  // eight of them: every lookup has several equally near candidates.
  void ties() {
    const int n = uniform(2, 5);
    const double h = 0.25;
    mLattice("base", n, n, 0, 0, [&](int i, int j) { return xyz(i * h, j * h, 0); });
    if (uniform(0, 1)) mLattice("top", n, n, 0, 0, [&](int i, int j) { return xyz(i * h, j * h, h); });
    std::vector<GridPt> mids;
    for (int k = 0; k < 40; ++k)
      mids.push_back(xyz(uniform(0, 2 * n - 1) * h / 2, uniform(0, 2 * n - 1) * h / 2, uniform(0, 2) * h / 2));
    mCloud("mids", mids, pick({h / 2, h * 0.7071067811865476, h}), pick({0, h / 2}));
  }

  // Curved and flat parts with their own tolerances, one of them negative.
  void mixed() {
    const int parts = uniform(2, 5);
    for (int k = 0; k < parts; ++k) {
      const int M = uniform(1, 6), N = uniform(0, 6);
      const double tol = pick({0, 0.01, 0.05, -0.05, 0.2}), ptol = pick({0, 0.01, 0.1, 0.3});
      const double ox = uniform(0, 3) * 0.5, oy = uniform(0, 3) * 0.5;
      mLattice("m" + std::to_string(k), M, N, tol, ptol, [&](int i, int j) {
        return xyz(ox + 0.5 * i / M + 0.003 * uniform(-2, 2), oy + 0.5 * j / std::max(N, 1),
                   0.1 * std::sin(i + j) * (k % 2));
      });
    }
  }

  // Lines, single columns, single points and parts whose every point sits at the origin.
  void degenerate() {
    const double tol = pick({0, 0.1});
    mLattice("line", uniform(1, 5), 0, tol, tol, [&](int i, int) { return xyz(0.25 * i, 0, 0); });
    mLattice("column", 0, uniform(1, 5), tol, tol, [&](int, int j) { return xyz(0, 0.25 * j, 0); });
    mLattice("dot", 0, 0, tol, tol, [&](int, int) { return xyz(0.5, 0, 0); });
    if (uniform(0, 1)) mCloud("origin", std::vector<GridPt>(uniform(1, 5)), tol, tol);
  }

  std::mt19937_64 rng;
  std::function<Grid_MxN*(const std::string&, int, int, double, double, const std::function<GridPt(int, int)>&)>
      mLattice;
  std::function<RawGrid*(const std::string&, const std::vector<GridPt>&, double, double)> mCloud;
};

const char* const KIND_NAMES[] = {"plates", "clouds", "cylinders", "ties", "mixed", "degenerate"};

// Index of the first differing link, or -1.
long first_difference(const std::vector<GridPt*>& a, const std::vector<GridPt*>& b) {
  if (a.size() != b.size()) return 0;
  for (size_t k = 0; k < a.size(); ++k)
    if (a[k] != b[k]) return (long)k;
  return -1;
}

}  // namespace

TEST_F(MergeTest, GivesTheSameLinksAsThePlainBucketWalk) {
  for (int kind = 0; kind < 6; ++kind)
    for (uint64_t seed = 1; seed <= 60; ++seed) {
      SCOPED_TRACE(std::string(KIND_NAMES[kind]) + " seed " + std::to_string(seed));
      Grid::destroy_grids();
      ModelMaker maker(seed * 7919 + kind,
                       [this](auto&&... a) { return lattice(std::forward<decltype(a)>(a)...); },
                       [this](auto&&... a) { return cloud(std::forward<decltype(a)>(a)...); });
      maker.make(kind);
      const std::vector<GridPt*> expected = reference_merge();
      merge_grid_pts();
      EXPECT_EQ(first_difference(expected, current_links()), -1);
    }
}

TEST_F(MergeTest, LinksAreDirectNearAndRepeatable) {
  for (int kind = 0; kind < 6; ++kind)
    for (uint64_t seed = 100; seed < 130; ++seed) {
      SCOPED_TRACE(std::string(KIND_NAMES[kind]) + " seed " + std::to_string(seed));
      Grid::destroy_grids();
      ModelMaker maker(seed, [this](auto&&... a) { return lattice(std::forward<decltype(a)>(a)...); },
                       [this](auto&&... a) { return cloud(std::forward<decltype(a)>(a)...); });
      maker.make(kind);
      merge_grid_pts();
      const std::vector<GridPt*> first = current_links();
      for (const Grid* g : Grid::gGrids) {
        const double reach = std::max(std::fabs(g->tolerance()), std::fabs(g->ptolerance()));
        std::vector<const GridPt*> reps;
        for (const GridPt& p : g->mPts) {
          if (!p.mapped_to) {
            reps.push_back(&p);
            continue;
          }
          EXPECT_EQ(p.mapped_to->mapped_to, nullptr) << "chained link in " << g->name();
          const double dx = p.x - p.mapped_to->x, dy = p.y - p.mapped_to->y, dz = p.z - p.mapped_to->z;
          EXPECT_LE(dx * dx + dy * dy + dz * dz, reach * reach) << "far link in " << g->name();
        }
        // Points of one part that both stayed representatives lie beyond its ptolerance.
        const double pt2 = g->ptolerance() * g->ptolerance();
        for (size_t a = 0; a < reps.size(); ++a)
          for (size_t b = a + 1; b < reps.size(); ++b) {
            const double dx = reps[a]->x - reps[b]->x, dy = reps[a]->y - reps[b]->y,
                         dz = reps[a]->z - reps[b]->z;
            EXPECT_GT(dx * dx + dy * dy + dz * dz, pt2) << "close representatives in " << g->name();
          }
      }
      merge_grid_pts();
      EXPECT_EQ(first_difference(first, current_links()), -1);
    }
}

TEST_F(MergeTest, LaterPartJoinsTheSharedBorderOfAnEarlierOne) {
  lattice("a", 2, 2, 1e-6, 1e-6, [](int i, int j) { return xyz(0.5 * i, 0.5 * j, 0); });
  lattice("b", 2, 2, 1e-6, 1e-6, [](int i, int j) { return xyz(1 + 0.5 * i + (i == 0 ? 5e-7 : 0), 0.5 * j, 0); });
  merge_grid_pts();
  for (int j = 0; j <= 2; ++j) {
    SCOPED_TRACE(j);
    EXPECT_EQ(pt(0, 2, j).mapped_to, nullptr);
    EXPECT_EQ(pt(1, 0, j).mapped_to, &pt(0, 2, j));
    EXPECT_EQ(pt(1, 1, j).mapped_to, nullptr);
  }
}

TEST_F(MergeTest, TolerancePicksWhatJoins) {
  struct Row {
    const char* id;
    double tol, offset;
    bool joined;
  } rows[] = {
      {"exactly equal at tolerance 0", 0, 0, true},
      {"one ulp apart at tolerance 0", 0, 0x1p-52, false},
      {"exactly at tolerance", 0.125, 0.125, true},
      {"just beyond tolerance", 0.125, 0.125 + 0x1p-50, false},
      {"within tolerance", 0.125, 0.0625, true},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.id);
    Grid::destroy_grids();
    cloud("a", {xyz(1, 1, 1), xyz(3, 0, 0)}, r.tol, 0);
    cloud("b", {xyz(1 + r.offset, 1, 1)}, r.tol, 0);
    merge_grid_pts();
    EXPECT_EQ(Grid::gGrids[1]->mPts[0].mapped_to, r.joined ? &Grid::gGrids[0]->mPts[0] : nullptr);
  }
}

TEST_F(MergeTest, EqualDistancesGoToTheLowestCellThenTheFirstFiled) {
  // Representatives at x = 0.75 and x = 1.25 (filed in that order, in different cells) and
  // at y = 1.25 and 0.75; the point at (1, 1) is 0.25 from all four.
  cloud("reps", {xyz(1.25, 1, 0), xyz(0.75, 1, 0), xyz(1, 1.25, 0), xyz(1, 0.75, 0), xyz(4, 4, 0)}, 0, 0);
  cloud("probe", {xyz(1, 1, 0)}, 0.25, 0);
  merge_grid_pts();
  EXPECT_EQ(Grid::gGrids[1]->mPts[0].mapped_to, &Grid::gGrids[0]->mPts[1]);
  // Within one cell the first filed wins.
  Grid::destroy_grids();
  cloud("reps", {xyz(1.125, 1, 0), xyz(0.875, 1, 0), xyz(8, 8, 0)}, 0, 0);
  cloud("probe", {xyz(1, 1, 0)}, 0.125, 0);
  merge_grid_pts();
  EXPECT_EQ(Grid::gGrids[1]->mPts[0].mapped_to, &Grid::gGrids[0]->mPts[0]);
}

TEST_F(MergeTest, ClosedCylinderSeamLinksToTheCorners) {
  const int M = 8, N = 3;
  lattice("cyl", M, N, 1e-9, 1e-9, [](int i, int j) {
    const double th = 2 * M_PI * i / M;
    return xyz(std::cos(th), std::sin(th), (double)j);
  });
  merge_grid_pts();
  EXPECT_EQ(pt(0, M, 0).mapped_to, &pt(0, 0, 0));
  EXPECT_EQ(pt(0, M, N).mapped_to, nullptr);
  EXPECT_EQ(pt(0, 0, N).mapped_to, &pt(0, M, N));
  for (int j = 1; j < N; ++j) {
    SCOPED_TRACE(j);
    EXPECT_EQ(pt(0, 0, j).mapped_to, &pt(0, M, j));
  }
}

TEST_F(MergeTest, FlatModelHasOneCellInZ) {
  lattice("a", 4, 4, 0, 0, [](int i, int j) { return xyz(i, j, 0); });
  GridPt lo, hi;
  grid_range(lo, hi);
  PtMerger m(lo, hi);
  EXPECT_EQ(m.cell_count(0), 14);  // 4 / (sqrt(32) / 20)
  EXPECT_EQ(m.cell_count(2), 1);
  EXPECT_EQ(m.cell_size(2), 1.0);
}

TEST_F(MergeTest, PointsAllAtTheOriginJoinTheFirstVisited) {
  lattice("a", 2, 1, 0, 0, [](int, int) { return xyz(0, 0, 0); });
  cloud("b", std::vector<GridPt>(3), 0, 0);
  merge_grid_pts();
  const GridPt* first = &pt(0, 0, 0);
  for (const Grid* g : Grid::gGrids)
    for (const GridPt& p : g->mPts)
      if (&p != first) {
        EXPECT_EQ(p.mapped_to, first);
      }
  EXPECT_EQ(first->mapped_to, nullptr);
}

TEST_F(MergeTest, GridRangeIncludesTheOriginAndIgnoresNothingElse) {
  GridPt lo, hi;
  grid_range(lo, hi);
  EXPECT_EQ(lo.x, 0);
  EXPECT_EQ(hi.z, 0);
  cloud("a", {xyz(2, 3, 4), xyz(5, -1, 6)}, 0, 0);
  grid_range(lo, hi);
  EXPECT_EQ(lo.x, 0);
  EXPECT_EQ(lo.y, -1);
  EXPECT_EQ(lo.z, 0);
  EXPECT_EQ(hi.x, 5);
  EXPECT_EQ(hi.y, 3);
  EXPECT_EQ(hi.z, 6);
}

TEST_F(MergeTest, PointsThatAreNotFiniteStayAloneAndSpoilNothing) {
  const double nan = std::nan(""), inf = HUGE_VAL;
  cloud("a", {xyz(1, 1, 1), xyz(nan, 0, 0), xyz(inf, 0, 0)}, 0.1, 0.1);
  cloud("b", {xyz(1, 1, 1.05), xyz(nan, 0, 0), xyz(inf, 0, 0)}, 0.1, 0.1);
  merge_grid_pts();
  const Grid& b = *Grid::gGrids[1];
  EXPECT_EQ(b.mPts[0].mapped_to, &Grid::gGrids[0]->mPts[0]);
  EXPECT_EQ(b.mPts[1].mapped_to, nullptr);
  EXPECT_EQ(b.mPts[2].mapped_to, nullptr);
}

// Coincident points on the box's upper faces sit in the last cell of each axis; a lookup
// at tolerance 0 must still reach that cell.
TEST_F(MergeTest, CoincidentPointsOnTheUpperFacesOfTheModelJoinAtToleranceZero) {
  lattice("plate", 2, 2, 0, 0, [](int i, int j) { return xyz(1 + 0.5 * i, 0.5 * j, 1); });
  lattice("rim", 2, 0, 0, 0, [](int i, int) { return xyz(2, 0.5 * i, 1); });
  merge_grid_pts();
  for (int i = 0; i <= 2; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(pt(1, i, 0).mapped_to, &pt(0, 2, i));
  }
}
