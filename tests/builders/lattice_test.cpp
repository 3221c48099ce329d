#include "builders/builders.h"
#include "grid/pelgrove_MxN.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

namespace {

using LatticeFillers = ScriptTest;

// Between a coarse and a fine side each row snaps to its own number of divisions:
// halfway up a 2 -> 4 transition the row has 3, and the record takes the lattice size.
TEST_F(LatticeFillers, TransitionRowsSnapToTheirOwnDivisions) {
  GridData gd;
  gd.M = 2;
  gd.N = 2;
  gd.b = {1, 0, 0};
  gd.c = {1, 1, 0};
  gd.d = {0, 1, 0};
  build_abcd_mn(gd, 4, 2, "t");
  ASSERT_NE(gd.grid, nullptr);
  EXPECT_EQ(Grid::gGrids.back(), gd.grid);
  EXPECT_EQ(gd.grid->name(), "t");
  EXPECT_EQ(gd.M, 4);
  EXPECT_EQ(gd.N, 2);
  const double middle[] = {0, 1.0 / 3, 2.0 / 3, 2.0 / 3, 1};
  for (int i = 0; i <= 4; ++i) {
    SCOPED_TRACE(i);
    EXPECT_DOUBLE_EQ(gd.grid->mPts[5 + i].x, middle[i]);
    EXPECT_DOUBLE_EQ(gd.grid->mPts[5 + i].y, 0.5);
  }
}

}  // namespace
