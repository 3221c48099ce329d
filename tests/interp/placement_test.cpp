#include "interp/placement.h"

#include "grid/Grid.h"
#include "grid/pelgrove_MxN.h"
#include "interp/interp.h"
#include "interp/params.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

class PlacementTest : public ScriptTest {
protected:
  void TearDown() override {
    matrix_stack.clear();
    ScriptTest::TearDown();
  }
};

struct Xyz {
  double x, y, z;
};

// A local point placed by the current transformation (no units).
Xyz place(Xyz local) {
  GridPt p;
  p.x = local.x;
  p.y = local.y;
  p.z = local.z;
  apply_transformation(p);
  return {p.x, p.y, p.z};
}

}  // namespace

TEST_F(PlacementTest, EachCommandPrependsItsPair) {
  struct Row {
    const char* script;
    const char* text;
  } rows[] = {
      {"", ""},
      {"mx 1", "mx 1 "},
      {"mx 1 rz 90", "rz 90 mx 1 "},
      {"move 1 2 3 ry -45", "ry -45 mx 1 my 2 mz 3 "},
      {"move 123456.7 0 0", "mx 123457 my 0 mz 0 "},
      {"my 0.1234567", "my 0.123457 "},
      {"mz [2*3] rx 1e-7", "rx 1e-07 mz 6 "},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.script);
    reset_script_state();
    EXPECT_TRUE(run(row.script));
    EXPECT_EQ(gTransformation, row.text);
  }
}

TEST_F(PlacementTest, LatestCommandActsFirstOnAPoint) {
  struct Row {
    const char* script;
    Xyz local, placed;
  } rows[] = {
      {"", {1, 2, 3}, {1, 2, 3}},
      {"mx 1 rz 90", {1, 0, 0}, {1, 1, 0}},
      {"rz 90 mx 1", {1, 0, 0}, {0, 2, 0}},
      {"rx 90", {0, 1, 0}, {0, 0, 1}},
      {"ry 90", {0, 0, 1}, {1, 0, 0}},
      {"rz 90", {1, 0, 0}, {0, 1, 0}},
      {"move 1 2 3 move -1 -2 -3", {4, 5, 6}, {4, 5, 6}},
      {"set angles 90 90", {0, 0, 1}, {0, 1, 0}},  // ry first, then rz
      {"set origin 10 0 0 rz 180", {1, 0, 0}, {9, 0, 0}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.script);
    reset_script_state();
    ASSERT_TRUE(run(row.script));
    Xyz p = place(row.local);
    EXPECT_NEAR(p.x, row.placed.x, 1e-12);
    EXPECT_NEAR(p.y, row.placed.y, 1e-12);
    EXPECT_NEAR(p.z, row.placed.z, 1e-12);
  }
}

TEST(PlacementParse, SkipsUnknownPairsAndStopsAtAnUnreadableOne) {
  struct Row {
    const char* text;
    size_t ops;
  } rows[] = {
      {"", 0},
      {"mx 1 ", 1},
      {"mq 5 foo 3 rz 90 ", 1},
      {"mx 1 my abc mz 3 ", 1},
      {"mx 1 my", 1},
      {"rx 1 ry 2 rz 3 mx 4 my 5 mz 6", 6},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.text);
    EXPECT_EQ(parse_transformation(row.text).size(), row.ops);
  }
}

TEST_F(PlacementTest, GridPointsArePlacedThenScaledByUnits) {
  ASSERT_TRUE(run("set units 0.001\nmove 10 0 0\n"));
  Grid_MxN g("plate", 1, 0);
  g.mPts[1].x = 1000;
  g.mPts[1].y = 1000;
  GridPt other;
  g.mPts[1].id = 7;
  g.mPts[1].mapped_to = &other;
  apply_transformation(g);
  EXPECT_DOUBLE_EQ(g.mPts[0].x, 0.01);
  EXPECT_DOUBLE_EQ(g.mPts[1].x, 1.01);
  EXPECT_DOUBLE_EQ(g.mPts[1].y, 1);
  EXPECT_EQ(g.mPts[1].id, 7);
  EXPECT_EQ(g.mPts[1].mapped_to, &other);
}

TEST_F(PlacementTest, MatrixStackSavesAndRestores) {
  ASSERT_TRUE(run("mx 1 push_matrix rz 45 push_matrix my 3 pop_matrix"));
  EXPECT_EQ(gTransformation, "rz 45 mx 1 ");
  ASSERT_TRUE(run("pop_matrix"));
  EXPECT_EQ(gTransformation, "mx 1 ");
  EXPECT_FALSE(run("pop_matrix\nset after 1\n"));
  EXPECT_EQ(alerts(), std::vector<std::string>{"cant pop matrix... it wasn't pushed"});
  EXPECT_EQ(gParameters.count("after"), 0u);
}

TEST_F(PlacementTest, MatrixStackOutlivesAScriptRun) {
  ASSERT_TRUE(run("mx 4 push_matrix"));
  reset_script_state();
  EXPECT_EQ(gTransformation, "");
  ASSERT_TRUE(run("pop_matrix"));
  EXPECT_EQ(gTransformation, "mx 4 ");
}

TEST_F(PlacementTest, CommandsWithoutValuesFailAndLeaveTheTransformation) {
  struct Row {
    const char* script;
    const char* alert;
  } rows[] = {
      {"move 1 2", "Error in 'move' expecting dx dy dz arguments"},
      {"move", "Error in 'move' expecting dx dy dz arguments"},
      {"mx", "expected a value for mx"},
      {"my q", "expected a value for my"},
      {"mz", "expected a value for mz"},
      {"rx", "expected a value for rx"},
      {"ry", "expected a value for ry"},
      {"rz", "expected a value for rz"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.script);
    reset_script_state();
    gTransformation = "mx 9 ";
    sink.clear();
    EXPECT_FALSE(run(row.script));
    EXPECT_EQ(alerts(), std::vector<std::string>{row.alert});
    EXPECT_EQ(gTransformation, "mx 9 ");
  }
}
