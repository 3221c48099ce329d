// Part names: begin, begin_numbered, push_name, pop_name and delete.
#include "grid/Grid.h"
#include "grid/part_names.h"
#include "support/test_support.h"

namespace {

using PartNames = ScriptTest;

const std::string unit_plate = " plate 1 1  0 0 0  1 0 0  1 1 0  0 1 0\n";

TEST_F(PartNames, NamingCommandsSetTheCurrentName) {
  struct Row { const char* script; std::string name; std::vector<std::string> stack; } rows[] = {
      {"begin a push_name begin b", "a.b", {"a"}},
      {"begin a push_name begin b pop_name", "a", {}},
      {"begin a push_name begin b pop_name pop_name", "unnamed", {}},
      {"begin a push_name push_name begin c", "a.c", {"a", "a"}},  // the top alone prefixes
      {"begin_numbered 1000000", "1e+06", {}},
      {"begin_numbered 3.14159265", "3.14159", {}},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.script);
    reset_part_names();
    EXPECT_FALSE(named_parts);
    EXPECT_TRUE(run(r.script));
    EXPECT_EQ(part_name, r.name);
    EXPECT_EQ(base_part_name, r.stack);
    EXPECT_TRUE(named_parts);
  }
}

// Builders take the name in force; delete marks every part of the name, keeping its points.
TEST_F(PartNames, DeleteMarksEveryPartOfTheNameOrStopsTheScript) {
  ASSERT_TRUE(run("begin x" + unit_plate + "begin rib push_name begin_numbered 2" + unit_plate + "pop_name begin x" +
                  unit_plate + "delete x"));
  ASSERT_EQ(Grid::gGrids.size(), 3u);
  EXPECT_EQ(Grid::gGrids[1]->name(), "rib.2");
  EXPECT_EQ(Grid::gGrids[2]->name(), "x");
  EXPECT_EQ(Grid::gGrids[0]->num_elements() + Grid::gGrids[2]->num_elements(), 0);
  EXPECT_EQ(Grid::gGrids[0]->num_grid_points(), 4);
  EXPECT_FALSE(run("delete rib.2.y begin after"));
  EXPECT_EQ(alerts(), (std::vector<std::string>{"Could not find part named 'rib.2.y'"}));
  EXPECT_EQ(part_name, "x");
  EXPECT_EQ(Grid::gGrids[1]->num_elements(), 2);
}

}  // namespace
