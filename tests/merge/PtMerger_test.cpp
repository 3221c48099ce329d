#include "merge/PtMerger.h"

#include "merge/reference_merge.h"

#include <gtest/gtest.h>

#include <cmath>
#include <deque>
#include <random>
#include <string>

namespace {

GridPt xyz(double x, double y, double z) {
  GridPt p;
  p.x = x, p.y = y, p.z = z;
  return p;
}

double dist2(const GridPt& a, const GridPt& b) {
  const double dx = a.x - b.x, dy = a.y - b.y, dz = a.z - b.z;
  return dx * dx + dy * dy + dz * dz;
}

struct Case {
  const char* id;
  GridPt lo, hi;
  double snap;  // coordinates are multiples of this (0: anywhere)
  std::vector<double> tols;
};

}  // namespace

// Points are filed and looked up in random interleaving; every lookup must return exactly
// what the plain bucket walk returns, and a point at the brute-force nearest distance.
TEST(PtMerger, LookupAgreesWithTheBucketWalkAndABruteForceSearch) {
  const Case cases[] = {
      {"cube", xyz(-1, -1, -1), xyz(1, 1, 1), 0, {0, 0.01, 0.1, 0.5}},
      {"cube on a lattice", xyz(0, 0, 0), xyz(2, 2, 2), 0.125, {0, 0.125, 0.25, 0.3}},
      {"flat sheet", xyz(0, 0, 0), xyz(100, 50, 0), 0.5, {0, 0.5, 1, 0.75}},
      {"thin rod", xyz(0, 0, 0), xyz(1000, 0.001, 0.001), 0, {0, 1, 10}},
      {"far from the origin", xyz(1e6, 1e6, 0), xyz(1e6 + 1, 1e6 + 1, 1), 0.0625, {0, 0.0625, 1e-9}},
      {"tolerance beyond the box", xyz(0, 0, 0), xyz(1, 1, 1), 0.25, {2, HUGE_VAL}},
      {"negative tolerance", xyz(0, 0, 0), xyz(1, 1, 1), 0.125, {-0.125, -0.3}},
      {"one position", xyz(0, 0, 0), xyz(0, 0, 0), 0, {0, 1}},
  };
  std::mt19937_64 rng(12345);
  for (const Case& c : cases)
    for (int round = 0; round < 20; ++round) {
      SCOPED_TRACE(std::string(c.id) + " round " + std::to_string(round));
      std::uniform_real_distribution<double> u(0, 1);
      auto random_pt = [&] {
        GridPt p = xyz(c.lo.x + u(rng) * (c.hi.x - c.lo.x), c.lo.y + u(rng) * (c.hi.y - c.lo.y),
                       c.lo.z + u(rng) * (c.hi.z - c.lo.z));
        if (c.snap > 0) {
          p.x = c.lo.x + std::round((p.x - c.lo.x) / c.snap) * c.snap;
          p.y = c.lo.y + std::round((p.y - c.lo.y) / c.snap) * c.snap;
          p.z = c.lo.z + std::round((p.z - c.lo.z) / c.snap) * c.snap;
        }
        return p;
      };
      PtMerger merger(c.lo, c.hi);
      ReferenceMerger reference(c.lo, c.hi);
      std::deque<GridPt> filed;
      const double tol = c.tols[round % c.tols.size()];
      for (int step = 0; step < 300; ++step) {
        GridPt q = random_pt();
        if (!filed.empty() && u(rng) < 0.3) {
          // Exactly on, or one tolerance away from, a filed point.
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
          if (got) {
            EXPECT_EQ(dist2(*got, q), dist2(*nearest, q));
          }
        }
        if (u(rng) < 0.7) {
          filed.push_back(random_pt());
          merger.insert_pt(&filed.back());
          reference.insert_pt(&filed.back());
        }
      }
    }
}

TEST(PtMerger, EmptyAndClearedMergersFindNothing) {
  PtMerger m(xyz(0, 0, 0), xyz(1, 1, 1));
  GridPt a = xyz(0.5, 0.5, 0.5);
  EXPECT_EQ(m.test_pt(&a, 1), nullptr);
  m.insert_pt(&a);
  EXPECT_EQ(m.test_pt(&a, 0), &a);
  m.clear();
  EXPECT_EQ(m.size(), 0u);
  EXPECT_EQ(m.test_pt(&a, 1), nullptr);
}

// Lookups at several tolerances hash the same points at several cell sizes; each must
// still see every point filed before and after its cells were made.
TEST(PtMerger, TolerancesOfEveryScaleSeeEveryPoint) {
  PtMerger m(xyz(0, 0, 0), xyz(10, 10, 10));
  std::deque<GridPt> pts;
  for (int k = 0; k < 50; ++k) {
    pts.push_back(xyz(k * 0.25, 5, 5));
    m.insert_pt(&pts.back());
    const double tols[] = {0x1p-40, 0x1p-10, 0.125, 4};
    for (double tol : tols) {
      GridPt q = xyz(k * 0.25 + tol, 5, 5);
      SCOPED_TRACE("point " + std::to_string(k) + " tol " + std::to_string(tol));
      const GridPt* got = m.test_pt(&q, tol);
      ASSERT_NE(got, nullptr);
      EXPECT_LE(dist2(*got, q), tol * tol);
    }
  }
}

// The part view answers as a separate merger holding only the points added to it, in the
// order they were added, would.
TEST(PtMerger, PartViewAnswersLikeAMergerOfItsOwn) {
  std::mt19937_64 rng(99);
  auto coord = [&] { return (double)(rng() % 9) / 4; };
  for (int round = 0; round < 30; ++round) {
    SCOPED_TRACE(round);
    const GridPt lo = xyz(0, 0, 0), hi = xyz(2, 2, 2);
    PtMerger merger(lo, hi);
    std::deque<GridPt> pts;
    for (int k = 0; k < 60; ++k) {
      pts.push_back(xyz(coord(), coord(), coord()));
      merger.insert_pt(&pts.back());
    }
    for (int part = 0; part < 3; ++part) {
      merger.begin_part();
      ReferenceMerger own(lo, hi);
      for (int k = 0; k < 40; ++k) {
        if (rng() % 2) {
          // An earlier point joins the view, as a representative found by a lookup does.
          GridPt probe = xyz(coord(), coord(), coord());
          const uint32_t r = merger.nearest(&probe, 0.3, false);
          if (r != PtMerger::NONE && !merger.test_part_pt(merger.point(r), 0)) {
            merger.add_to_part(r);
            own.insert_pt(merger.point(r));
          }
        } else {
          pts.push_back(xyz(coord(), coord(), coord()));
          merger.insert_pt(&pts.back());
          own.insert_pt(&pts.back());
        }
        GridPt q = xyz(coord(), coord(), coord());
        const double tol = (double)(rng() % 4) / 4;
        ASSERT_EQ(merger.test_part_pt(&q, tol), own.test_pt(&q, tol)) << "step " << k;
      }
    }
  }
}
