#include "merge/PtMerger.h"
#include "merge/merge.h"

#include "grid/RawGrid.h"
#include "grid/pelgrove_MxN.h"
#include "merge/reference_merge.h"
#include "support/test_support.h"

#include <cmath>
#include <deque>
#include <functional>
#include <random>
#include <string>

namespace {

using MergeTest = ScriptTest;

template <class G>
G* with_tolerances(G* g, double tol, double ptol) {
  g->tolerance(tol);
  g->ptolerance(ptol);
  return g;
}

Grid_MxN* lattice(const std::string& name, int M, int N, double tol, double ptol,
                  const std::function<GridPt(int, int)>& at) {
  Grid_MxN* g = with_tolerances(new Grid_MxN(name, M, N), tol, ptol);
  for (size_t k = 0; k < g->mPts.size(); ++k) {
    const GridPt p = at(k % (M + 1), k / (M + 1));
    g->mPts[k].x = p.x, g->mPts[k].y = p.y, g->mPts[k].z = p.z;
  }
  return g;
}

void cloud(const std::string& name, const std::vector<GridPt>& pts, double tol, double ptol) {
  with_tolerances(new RawGrid(name), tol, ptol)->mPts.assign(pts.begin(), pts.end());
}

// Random models of the kinds that stress the merge: shared borders nudged to within,
// exactly at or beyond the tolerance, clouds full of coincident points, closed cylinders,
// equidistant candidates, lines, columns and dots with mixed (also negative) tolerances,
// tolerances beyond the box, a dense cloud in a box made wide by a far point, and a plate
// looked up at a tolerance near the model's size (its hashed cells hold the whole plate).
void make_model(int kind, uint64_t seed) {
  std::mt19937_64 rng(seed);
  auto uniform = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  auto pick = [&](std::initializer_list<double> v) { return v.begin()[uniform(0, (int)v.size() - 1)]; };
  auto name = [](const char* stem, int k) { return stem + std::to_string(k); };
  if (kind == 0) {  // plates on a dyadic lattice: "exactly at tol" is exact in binary
    const int K = uniform(1, 3);
    const double tol = pick({0, 1.0 / 64, 1.0 / 32}), ptol = pick({0, tol, 1.0 / 16}), bump = pick({0, 0.125});
    for (int pk = 0; pk < K * K; ++pk) {
      const int n = 1 << uniform(0, 3), pi = pk % K, pj = pk / K;
      lattice(name("p", pk), n, n, tol, ptol, [&](int i, int j) {
        GridPt p = xyz(pi + (double)i / n, pj + (double)j / n, bump * ((i + j) % 3));
        if (i == 0 || j == 0 || i == n || j == n)
          (uniform(0, 1) ? p.x : p.y) += pick({0, 0, 0.5, 1, 1.5}) * (tol > 0 ? tol : 1.0 / 64) * pick({-1, 1});
        return p;
      });
    }
  } else if (kind == 1) {  // clouds of exact duplicates and near neighbours
    for (int k = uniform(1, 4); k > 0; --k) {
      std::vector<GridPt> pts(uniform(1, 120));
      for (GridPt& p : pts)
        p = xyz(uniform(0, 8) / 8.0 + (uniform(0, 3) ? 0 : pick({1.0 / 64, -1.0 / 64, 1.0 / 128, 1e-9})),
                uniform(0, 8) / 8.0, uniform(0, 2) / 8.0);
      cloud(name("c", k), pts, pick({0, 1.0 / 64, 1.0 / 16, 0.3, 2}), pick({0, 1.0 / 64, 1.0 / 8, 2}));
    }
    if (uniform(0, 1)) cloud("origin", std::vector<GridPt>(uniform(1, 5)), pick({0, 0.1}), 0);
  } else if (kind == 2) {  // stacked closed cylinders whose seams meet only within rounding
    const double tol = pick({0, 1e-9, 1e-3});
    for (int k = uniform(1, 3) - 1; k >= 0; --k) {
      const int M = uniform(3, 12), N = uniform(1, 5);
      const double r = pick({1, 2.5});
      lattice(name("cyl", k), M, N, tol, pick({0, tol}), [&](int i, int j) {
        return xyz(r * std::cos(2 * M_PI * i / M), r * std::sin(2 * M_PI * i / M), k + (double)j / N);
      });
    }
  } else if (kind == 3) {  // points midway between two, four or eight representatives
    const int n = uniform(2, 5);
    const double h = 0.25;
    for (int k = uniform(0, 1); k >= 0; --k)
      lattice(name("base", k), n, n, 0, 0, [&](int i, int j) { return xyz(i * h, j * h, k * h); });
    std::vector<GridPt> mids(40);
    for (GridPt& p : mids)
      p = xyz(uniform(0, 2 * n - 1) * h / 2, uniform(0, 2 * n - 1) * h / 2, uniform(0, 2) * h / 2);
    cloud("mids", mids, pick({h / 2, h * 0.7071067811865476, h}), pick({0, h / 2}));
  } else if (kind == 5) {  // a far point makes the box wide: hashed cells crowd with a dense cloud
    std::uniform_real_distribution<double> u(0, 1);
    for (int k = 0; k < 2; ++k) {
      std::vector<GridPt> pts(k ? 100 : 550);
      for (GridPt& p : pts) p = xyz(u(rng) / 64, u(rng) / 64, u(rng) / 256);
      cloud(name("dense", k), pts, pick({1.0 / 1024, 1.0 / 256}), pick({0, 1.0 / 512, 1.0 / 256}));
    }
    cloud("far", {xyz(0.75, 0, 0)}, 0, 0);
  } else if (kind == 6) {  // a tolerance near the model's size: a whole plate in a few hashed cells
    const int n = uniform(23, 26);
    lattice("base", n, n, 0, 0, [&](int i, int j) { return xyz((double)i / n, (double)j / n, 0); });
    lattice("over", n, n, pick({0.3, 0.6}), pick({0, 0.2}),
            [&](int i, int j) { return xyz(0.5 + (double)i / n, (double)j / n, 0.01); });
  } else {  // curved, flat, line and single-point parts with tolerances of their own
    for (int k = uniform(2, 5); k > 0; --k) {
      const int M = uniform(0, 6), N = uniform(0, 6);
      const double tol = pick({0, 0.01, 0.05, -0.05, 0.2}), ptol = pick({0, 0.01, 0.1, 0.3});
      const double ox = uniform(0, 3) * 0.5, oy = uniform(0, 3) * 0.5;
      lattice(name("m", k), M, N, tol, ptol, [&](int i, int j) {
        return xyz(ox + 0.5 * i / std::max(M, 1) + 0.003 * uniform(-2, 2), oy + 0.5 * j / std::max(N, 1),
                   0.1 * std::sin(i + j) * (k % 2));
      });
    }
  }
}

// Multiplies every coordinate and tolerance by s, a power of two; false when that rounded
// anything (the model would not be the same one at another scale).
bool rescale(double s) {
  bool exact = true;
  for (Grid* g : Grid::gGrids) {
    for (GridPt& p : g->mPts)
      for (double* c : {&p.x, &p.y, &p.z}) {
        exact = exact && (*c * s) / s == *c;
        *c *= s;
      }
    g->tolerance(g->tolerance() * s);
    g->ptolerance(g->ptolerance() * s);
  }
  return exact;
}

}  // namespace

// The merge makes the plain walk's links, and the same links for the model moved to either
// end of the double range (squares of its distances underflow or overflow there); every
// link is direct and within reach; two representatives of one part lie beyond its
// ptolerance; merging again changes nothing.
TEST_F(MergeTest, MatchesThePlainBucketWalkAtEveryScaleAndKeepsItsInvariants) {
  const char* const kinds[] = {"plates", "clouds", "cylinders", "ties", "mixed", "crowded", "wide"};
  const double scales[] = {0x1p-700, 0x1p-960, 0x1p600, 0x1p1020};
  for (int kind = 0; kind < 7; ++kind)
    for (uint64_t seed = 1; seed <= 100; ++seed) {
      SCOPED_TRACE(std::string(kinds[kind]) + " seed " + std::to_string(seed));
      Grid::destroy_grids();
      make_model(kind, seed * 7919 + kind);
      const std::vector<GridPt*> expected = reference_merge();
      for (double scale : scales) {
        SCOPED_TRACE(scale);
        ASSERT_TRUE(rescale(scale));
        merge_grid_pts();
        ASSERT_TRUE(expected == current_links());
        ASSERT_TRUE(rescale(1 / scale));
      }
      merge_grid_pts();
      ASSERT_TRUE(expected == current_links());
      for (const Grid* g : Grid::gGrids) {
        const double reach = std::max(std::fabs(g->tolerance()), std::fabs(g->ptolerance()));
        std::vector<const GridPt*> reps;
        for (const GridPt& p : g->mPts) {
          if (!p.mapped_to) {
            for (const GridPt* r : reps) EXPECT_GT(dist2(*r, p), g->ptolerance() * g->ptolerance()) << g->name();
            reps.push_back(&p);
          } else {
            EXPECT_EQ(p.mapped_to->mapped_to, nullptr) << "chained link in " << g->name();
            EXPECT_LE(dist2(p, *p.mapped_to), reach * reach) << "far link in " << g->name();
          }
        }
      }
      merge_grid_pts();
      EXPECT_TRUE(expected == current_links());
    }
}

// Part a is merged first; each row gives the point of a (or -1) every point of b joins.
TEST_F(MergeTest, WhatJoinsAndWhichRepresentativeWins) {
  const double nan = std::nan(""), inf = HUGE_VAL;
  struct Row { const char* id; std::vector<GridPt> a, b; double tol, ptol; std::vector<int> joins; } rows[] = {
      {"equal at tolerance 0", {xyz(1, 1, 1), xyz(3, 0, 0)}, {xyz(1, 1, 1)}, 0, 0, {0}},
      {"one ulp apart at tolerance 0", {xyz(1, 1, 1), xyz(3, 0, 0)}, {xyz(1 + 0x1p-52, 1, 1)}, 0, 0, {-1}},
      {"exactly at tolerance", {xyz(1, 1, 1), xyz(3, 0, 0)}, {xyz(1.125, 1, 1)}, 0.125, 0, {0}},
      {"just beyond tolerance", {xyz(1, 1, 1), xyz(3, 0, 0)}, {xyz(1.125 + 0x1p-50, 1, 1)}, 0.125, 0, {-1}},
      // (1, 1) is 0.25 from all four; x = 0.75 lies in the lowest box cell
      {"equal distances: lowest cell",
       {xyz(1.25, 1, 0), xyz(0.75, 1, 0), xyz(1, 1.25, 0), xyz(1, 0.75, 0), xyz(4, 4, 0)},
       {xyz(1, 1, 0)}, 0.25, 0, {1}},
      {"equal distances in one cell: first filed", {xyz(1.125, 1, 0), xyz(0.875, 1, 0), xyz(8, 8, 0)},
       {xyz(1, 1, 0)}, 0.125, 0, {0}},
      // the box's upper corner sits in the last cell of each axis
      {"upper faces at tolerance 0", {xyz(1, 0, 1), xyz(2, 0, 1), xyz(2, 1, 1)}, {xyz(2, 1, 1), xyz(2, 0, 1)}, 0, 0,
       {2, 1}},
      {"1e-200 apart at tolerance 0", {xyz(0, 0, 0), xyz(1e-200, 0, 0)}, {xyz(1e-200, 1e-200, 0), xyz(1e-200, 0, 0)},
       0, 0, {-1, 1}},
      {"exactly at a tolerance of 1e-200", {xyz(0, 0, 0), xyz(3e-200, 0, 0)}, {xyz(0, 1e-200, 0)}, 1e-200, 0, {0}},
      {"the nearer of two tiny distances", {xyz(3e-300, 0, 0), xyz(1e-300, 0, 0), xyz(1, 1, 1)}, {xyz(0, 0, 0)},
       0.5, 0, {1}},
      {"1e-300 apart in a model of 1e300", {xyz(1e300, 0, 0), xyz(1e-300, 0, 0)}, {xyz(2e-300, 0, 0), xyz(1e-300, 0, 0)},
       0, 0, {-1, 1}},
      {"a tolerance of 1e-300 in a model of 1e300", {xyz(1e300, 0, 0), xyz(1e-300, 0, 0)}, {xyz(2e-300, 0, 0)},
       1.5e-300, 0, {1}},
      // their differences and squares overflow
      {"a box of 3e308", {xyz(-1.5e308, 0, 0), xyz(1.5e308, 0, 0)}, {xyz(1.5e308, 0, 0), xyz(-1.5e308, 1e292, 0)}, 0,
       0, {1, -1}},
      {"a tolerance of 1e293 in a box of 3e308", {xyz(-1.5e308, 0, 0), xyz(1.5e308, 0, 0)},
       {xyz(1.5e308, 1e293, 0), xyz(-1.5e308, 1e292, 0)}, 1e293, 0, {1, 0}},
      {"points that are not finite stay alone", {xyz(1, 1, 1), xyz(nan, 0, 0), xyz(inf, 0, 0)},
       {xyz(1, 1, 1.05), xyz(nan, 0, 0), xyz(inf, 0, 0)}, 0.1, 0.1, {0, -1, -1}},
      {"nor at an infinite tolerance", {xyz(1, 1, 1), xyz(inf, 0, 0)}, {xyz(inf, 0, 0), xyz(nan, 0, 0), xyz(5, 5, 5)},
       inf, inf, {-1, -1, 0}},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.id);
    Grid::destroy_grids();
    cloud("a", r.a, r.tol, r.ptol);
    cloud("b", r.b, r.tol, r.ptol);
    merge_grid_pts();
    for (size_t k = 0; k < r.b.size(); ++k)
      EXPECT_EQ(Grid::gGrids[1]->mPts[k].mapped_to, r.joins[k] < 0 ? nullptr : &Grid::gGrids[0]->mPts[r.joins[k]]);
  }
}

// Corners are visited first: the seam's top corner stays, the other seam points join.
TEST_F(MergeTest, ClosedCylinderSeamLinksToTheCorners) {
  const int M = 8, N = 3;
  Grid_MxN* g = lattice("cyl", M, N, 1e-9, 1e-9, [](int i, int j) {
    return xyz(std::cos(2 * M_PI * i / M), std::sin(2 * M_PI * i / M), (double)j);
  });
  merge_grid_pts();
  auto pt = [&](int i, int j) { return &g->mPts[(M + 1) * j + i]; };
  EXPECT_EQ(pt(M, 0)->mapped_to, pt(0, 0));
  EXPECT_EQ(pt(M, N)->mapped_to, nullptr);
  EXPECT_EQ(pt(0, N)->mapped_to, pt(M, N));
  for (int j = 1; j < N; ++j) EXPECT_EQ(pt(0, j)->mapped_to, pt(M, j)) << j;
}

// A plate at either end of the double range keeps its nine points at tolerance 0.
TEST_F(MergeTest, APlateKeepsItsPointsAtAnyScale) {
  const char* const corners[] = {
      "0 0 0  1e-200 0 0  1e-200 1e-200 0  0 1e-200 0",
      "0 0 0  1e-300 0 0  1e-300 1e-300 1e-300  0 1e-300 1e-300",
      "1 0 0  1e300 0 0  1e300 1e300 0  0 1e300 0",
      "-1e308 -1e308 0  1e308 -1e308 0  1e308 1e308 0  -1e308 1e308 0",
      "-1.7e308 -1.7e308 -1.7e308  1.7e308 -1.7e308 1.7e308  1.7e308 1.7e308 1.7e308  -1.7e308 1.7e308 -1.7e308",
  };
  for (const char* c : corners) {
    SCOPED_TRACE(c);
    ASSERT_TRUE(build(std::string("plate p 2 2  ") + c + "\n"));
    EXPECT_EQ(Grid::grid_point_count(), 9);
    EXPECT_EQ(Grid::good_element_count(), 8);
  }
}

// Points are filed and looked up in random interleaving, at tolerances of several scales
// (each hashes the points at its own cell size, made after some were filed); every lookup
// must return exactly what the plain bucket walk returns, at the brute-force nearest
// distance. Once cleared, nothing is found.
TEST(PtMerger, LookupAgreesWithTheBucketWalkAndABruteForceSearch) {
  const struct {
    const char* id;
    GridPt lo, hi;
    double snap;  // coordinates are multiples of this (0: anywhere)
    std::vector<double> tols;
  } cases[] = {
      {"cube", xyz(-1, -1, -1), xyz(1, 1, 1), 0, {0, 0x1p-40, 0.01, 0.1, 0.5}},
      {"cube on a lattice", xyz(0, 0, 0), xyz(2, 2, 2), 0.125, {0, 0x1p-40, 0x1p-10, 0.125, 0.25, 0.3, 4}},
      {"flat sheet", xyz(0, 0, 0), xyz(100, 50, 0), 0.5, {0, 0.5, 1, 0.75}},
      {"thin rod", xyz(0, 0, 0), xyz(1000, 0.001, 0.001), 0, {0, 1, 10}},
      {"far from the origin", xyz(1e6, 1e6, 0), xyz(1e6 + 1, 1e6 + 1, 1), 0.0625, {0, 0.0625, 1e-9}},
      {"tolerance beyond the box", xyz(0, 0, 0), xyz(1, 1, 1), 0.25, {2, HUGE_VAL}},
      {"negative tolerance", xyz(0, 0, 0), xyz(1, 1, 1), 0.125, {-0.125, -0.3}},
      {"one position", xyz(0, 0, 0), xyz(0, 0, 0), 0, {0, 1}},
  };
  std::mt19937_64 rng(12345);
  std::uniform_real_distribution<double> u(0, 1);
  for (const auto& c : cases)
    for (int round = 0; round < 20; ++round) {
      SCOPED_TRACE(std::string(c.id) + " round " + std::to_string(round));
      auto coord = [&](double lo, double hi) {
        const double v = lo + u(rng) * (hi - lo);
        return c.snap > 0 ? lo + std::round((v - lo) / c.snap) * c.snap : v;
      };
      auto random_pt = [&] { return xyz(coord(c.lo.x, c.hi.x), coord(c.lo.y, c.hi.y), coord(c.lo.z, c.hi.z)); };
      PtMerger merger(c.lo, c.hi);
      ReferenceMerger reference(c.lo, c.hi);
      std::deque<GridPt> filed;
      for (int step = 0; step < 300; ++step) {
        // One round in three keeps its tolerance; the others change it at every step.
        const double tol = c.tols[(round + (round % 3 ? step : 0)) % c.tols.size()];
        GridPt q = random_pt();
        if (!filed.empty() && u(rng) < 0.3) {  // exactly on, or one tolerance from, a filed point
          q = filed[std::uniform_int_distribution<size_t>(0, filed.size() - 1)(rng)];
          q.mapped_to = nullptr;
          if (u(rng) < 0.5 && std::isfinite(tol)) q.x += tol;
        }
        const GridPt* got = merger.test_pt(&q, tol);
        ASSERT_EQ(got, reference.test_pt(&q, tol)) << "step " << step;
        if (std::fabs(tol) < 1e300) {
          const GridPt* nearest = nullptr;
          for (const GridPt& p : filed)
            if (dist2(p, q) <= tol * tol && (!nearest || dist2(p, q) < dist2(*nearest, q))) nearest = &p;
          ASSERT_EQ(got == nullptr, nearest == nullptr) << "step " << step;
          EXPECT_EQ(got ? dist2(*got, q) : 0, nearest ? dist2(*nearest, q) : 0);
        }
        if (u(rng) < 0.7) {
          filed.push_back(random_pt());
          merger.insert_pt(&filed.back());
          reference.insert_pt(&filed.back());
        }
      }
      merger.clear();
      EXPECT_EQ(merger.size(), 0u);
      EXPECT_EQ(filed.empty() ? nullptr : merger.test_pt(&filed.front(), 1), nullptr);
    }
}
