#include "builders/builders.h"
#include "grid/pelgrove_MxN.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

using LatticeFillers = ScriptTest;

GridData unit_square(int M, int N) {
  GridData gd;
  gd.M = M;
  gd.N = N;
  gd.b.x = 1;
  gd.c.x = 1;
  gd.c.y = 1;
  gd.d.y = 1;
  return gd;
}

TEST_F(LatticeFillers, FillerRegistersOneNamedGrid) {
  GridData gd = unit_square(3, 2);
  build_abcd(gd, "sheet");
  ASSERT_NE(gd.grid, nullptr);
  ASSERT_EQ(Grid::gGrids.size(), 1u);
  EXPECT_EQ(Grid::gGrids.back(), gd.grid);
  EXPECT_EQ(gd.grid->name(), "sheet");
  EXPECT_EQ(gd.grid->M, 3);
  EXPECT_EQ(gd.grid->N, 2);
  EXPECT_EQ(gd.M, 3);
  EXPECT_EQ(gd.N, 2);
  EXPECT_DOUBLE_EQ(gd.grid->mPts[5].x, 1.0 / 3);  // point (1, 1)
  EXPECT_DOUBLE_EQ(gd.grid->mPts[5].y, 0.5);
}

// Between a coarse and a fine side each row snaps to its own number of divisions:
// halfway up a 2 -> 4 transition the row has 3 divisions.
TEST_F(LatticeFillers, TransitionRowsSnapToTheirOwnDivisions) {
  GridData gd = unit_square(2, 2);
  build_abcd_mn(gd, 4, 2, "t");
  ASSERT_NE(gd.grid, nullptr);
  EXPECT_EQ(gd.M, 4);
  EXPECT_EQ(gd.N, 2);
  EXPECT_EQ(gd.grid->M, 4);
  const double middle[] = {0, 1.0 / 3, 2.0 / 3, 2.0 / 3, 1};
  for (int i = 0; i <= 4; ++i) {
    SCOPED_TRACE(i);
    EXPECT_DOUBLE_EQ(gd.grid->mPts[5 + i].x, middle[i]);
    EXPECT_DOUBLE_EQ(gd.grid->mPts[5 + i].y, 0.5);
  }
}

TEST_F(LatticeFillers, SegmentEndsAreSwapped) {
  GridData gd;
  gd.N = 4;
  gd.a = {8, 0, 4};
  gd.b = {0, 4, 0};
  build_ab(gd, "seg");
  ASSERT_NE(gd.grid, nullptr);
  EXPECT_EQ(gd.grid->M, 4);
  EXPECT_EQ(gd.grid->N, 0);
  const GridPt& first = gd.grid->mPts.front();
  const GridPt& quarter = gd.grid->mPts[1];
  const GridPt& last = gd.grid->mPts.back();
  EXPECT_EQ(first.x, 0);
  EXPECT_EQ(first.y, 4);
  EXPECT_EQ(quarter.x, 2);
  EXPECT_EQ(quarter.y, 3);
  EXPECT_EQ(quarter.z, 1);
  EXPECT_EQ(last.x, 8);
  EXPECT_EQ(last.z, 4);
}

TEST_F(LatticeFillers, ConversionsWithoutAGridDoNothing) {
  GridData gd = unit_square(1, 1);
  cyl2xyz(gd);
  sph2xyz(gd);
  EXPECT_EQ(gd.grid, nullptr);
  EXPECT_EQ(gd.c.x, 1);
  EXPECT_TRUE(Grid::gGrids.empty());
}

// Angles are degrees; negative radii and angles beyond a turn go through the same formulas.
TEST_F(LatticeFillers, ConversionsUseDegrees) {
  GridData gd;
  gd.N = 1;
  gd.a = {2, 450, 7};   // a full turn plus 90 degrees
  gd.b = {-1, 60, 0};
  build_ab(gd, "c");
  cyl2xyz(gd);
  EXPECT_NEAR(gd.grid->mPts[0].x, -0.5, 1e-12);
  EXPECT_NEAR(gd.grid->mPts[0].y, -std::sqrt(0.75), 1e-12);
  EXPECT_NEAR(gd.grid->mPts[1].x, 0, 1e-12);
  EXPECT_NEAR(gd.grid->mPts[1].y, 2, 1e-12);
  EXPECT_EQ(gd.grid->mPts[1].z, 7);

  GridData sd;
  sd.N = 1;
  sd.a = {1, 60, 30};
  sd.b = {1, 180, 0};
  build_ab(sd, "s");
  sph2xyz(sd);
  EXPECT_NEAR(sd.grid->mPts[0].z, -1, 1e-12);
  EXPECT_NEAR(sd.grid->mPts[1].x, 0.75, 1e-12);
  EXPECT_NEAR(sd.grid->mPts[1].y, std::sqrt(0.75) * 0.5, 1e-12);
  EXPECT_NEAR(sd.grid->mPts[1].z, 0.5, 1e-12);
}

}  // namespace
