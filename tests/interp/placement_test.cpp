#include "interp/placement.h"

#include "grid/Grid.h"
#include "interp/interp.h"
#include "interp/params.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {
class Placement : public ScriptTest {};
}  // namespace

// Rows run in order, each from a fresh run state; a matrix pushed by one run is gone in the next.
TEST_F(Placement, CommandsPrependTheirPairsOrFailLeavingTheText) {
  matrix_stack.clear();
  struct Row { const char* script; bool ok; const char* alert; const char* text; } rows[] = {
      {"", true, "", ""},
      {"mx 1 rz 90", true, "", "rz 90 mx 1 "},
      {"move 123456.7 2 3 ry -45", true, "", "ry -45 mx 123457 my 2 mz 3 "},  // six significant digits
      {"my 0.1234567 mz [2*3] rx 1e-7", true, "", "rx 1e-07 mz 6 my 0.123457 "},
      {"rx 5 set origin 1 2 3 set angles 90 0", true, "", "ry 0 rz 90 mx 1 my 2 mz 3 rx 5 "},
      {"mx 9 move 1 2", false, "Error in 'move' expecting dx dy dz arguments", "mx 9 "},
      {"mx 9 mx", false, "expected a value for mx", "mx 9 "},
      {"mx 9 my q", false, "expected a value for my", "mx 9 "},
      {"mx 9 set origin 1 2", false, "expected three values to set the current origin", "mx 9 "},
      {"mx 9 set angles 90", false, "expected two values to set the current rotation angles rz,ry", "mx 9 "},
      {"mx 1 push_matrix rz 45 push_matrix my 3 pop_matrix", true, "", "rz 45 mx 1 "},
      {"mx 1 push_matrix rz 45 pop_matrix", true, "", "mx 1 "},
      {"pop_matrix", false, "cant pop matrix... it wasn't pushed", ""},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.script);
    reset_script_state();
    sink.clear();
    EXPECT_EQ(run(row.script), row.ok);
    EXPECT_EQ(alerts(), *row.alert ? std::vector<std::string>{row.alert} : std::vector<std::string>{});
    EXPECT_EQ(gTransformation, row.text);
  }
}

TEST_F(Placement, LatestCommandActsFirstOnAPoint) {
  struct Row { const char* script; double local[3], placed[3]; } rows[] = {
      {"mx 1 rz 90", {1, 0, 0}, {1, 1, 0}},
      {"rz 90 mx 1", {1, 0, 0}, {0, 2, 0}},
      {"rx 90", {0, 1, 0}, {0, 0, 1}},
      {"ry 90", {0, 0, 1}, {1, 0, 0}},
      {"rz 90", {1, 0, 0}, {0, 1, 0}},
      {"set angles 90 90", {0, 0, 1}, {0, 1, 0}},  // ry first, then rz
      {"set origin 10 0 0 rz 180", {1, 0, 0}, {9, 0, 0}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.script);
    reset_script_state();
    ASSERT_TRUE(run(row.script));
    GridPt p;
    p.x = row.local[0], p.y = row.local[1], p.z = row.local[2];
    apply_transformation(p);
    EXPECT_NEAR(p.x, row.placed[0], 1e-12);
    EXPECT_NEAR(p.y, row.placed[1], 1e-12);
    EXPECT_NEAR(p.z, row.placed[2], 1e-12);
  }
}
