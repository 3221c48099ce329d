// A table row for the builders: the script that makes a part, the lattice size it must get,
// and points (by index; point (i, j) is stored at j*(M+1)+i) with where they must lie.
#pragma once

#include "grid/pelgrove_MxN.h"

#include <gtest/gtest.h>

#include <vector>

struct Xyz {
  double x, y, z;
};

struct LatticeRow {
  const char* script;
  int M, N;
  std::vector<int> at;
  std::vector<Xyz> want;
};

inline void expect_lattice(const Grid_MxN* g, const LatticeRow& r) {
  ASSERT_TRUE(g) << r.script;
  EXPECT_EQ(g->M, r.M) << r.script;
  EXPECT_EQ(g->N, r.N) << r.script;
  for (size_t k = 0; k < r.at.size(); ++k) {
    const GridPt& p = g->mPts.at(r.at[k]);
    EXPECT_NEAR(p.x, r.want[k].x, 1e-12) << r.script << ": point " << r.at[k];
    EXPECT_NEAR(p.y, r.want[k].y, 1e-12) << r.script << ": point " << r.at[k];
    EXPECT_NEAR(p.z, r.want[k].z, 1e-12) << r.script << ": point " << r.at[k];
  }
}
