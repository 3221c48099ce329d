#include "merge/PtMerger.h"

#include "merge/reference_merge.h"

#include <gtest/gtest.h>

#include <cmath>
#include <deque>
#include <random>
#include <string>

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
