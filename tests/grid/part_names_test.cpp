#include "grid/Grid.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using PartNames = ScriptTest;

const char* const unit_plate = " 1 1  0 0 0  1 0 0  1 1 0  0 1 0 ";

TEST_F(PartNames, NamingCommandsSetTheCurrentName) {
  struct Row {
    const char* script;
    std::string name;
    std::vector<std::string> stack;
  };
  const Row rows[] = {
      {"begin a", "a", {}},
      {"begin a push_name begin b", "a.b", {"a"}},
      {"begin a push_name begin b pop_name", "a", {}},
      {"begin a push_name begin b pop_name pop_name", "unnamed", {}},
      {"begin a push_name push_name begin c", "a.c", {"a", "a"}},  // the top alone prefixes
      {"push_name", "unnamed", {"unnamed"}},
      {"begin_numbered 3", "3", {}},
      {"begin_numbered 2.5", "2.5", {}},
      {"begin_numbered 1000000", "1e+06", {}},
      {"begin_numbered -0.125", "-0.125", {}},
      {"begin_numbered 3.14159265", "3.14159", {}},
      {"begin rib push_name begin_numbered 3", "rib.3", {"rib"}},
      {"begin x begin y", "y", {}},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.script);
    reset_part_names();
    EXPECT_TRUE(run(r.script));
    EXPECT_EQ(part_name, r.name);
    EXPECT_EQ(base_part_name, r.stack);
    EXPECT_TRUE(named_parts);
  }
  EXPECT_TRUE(alerts().empty());
}

TEST_F(PartNames, ResetClearsTheNamingState) {
  EXPECT_EQ(part_name, "unnamed");
  EXPECT_FALSE(named_parts);
  ASSERT_TRUE(run("begin a push_name begin b"));
  reset_part_names();
  EXPECT_EQ(part_name, "unnamed");
  EXPECT_TRUE(base_part_name.empty());
  EXPECT_FALSE(named_parts);
}

TEST_F(PartNames, PopOnAnEmptyStackStillTurnsNamingOn) {
  ASSERT_TRUE(run("pop_name"));
  EXPECT_EQ(part_name, "unnamed");
  EXPECT_TRUE(named_parts);
}

TEST_F(PartNames, PushAndPopHelpersMatchTheCommands) {
  part_name = "outer";
  push_part_name();
  EXPECT_TRUE(named_parts);
  part_name = "outer.inner";
  pop_part_name();
  EXPECT_EQ(part_name, "outer");
  EXPECT_TRUE(base_part_name.empty());
}

TEST_F(PartNames, BuildersTakeTheNameInForce) {
  ASSERT_TRUE(run(std::string("plate p1") + unit_plate));
  ASSERT_TRUE(run(std::string("begin wing push_name begin_numbered 2 plate") + unit_plate));
  ASSERT_EQ(Grid::gGrids.size(), 2u);
  EXPECT_EQ(Grid::gGrids[0]->name(), "p1");
  EXPECT_EQ(Grid::gGrids[1]->name(), "wing.2");
}

TEST_F(PartNames, DeleteMarksEveryPartOfTheName) {
  std::string script;
  for (const char* name : {"x", "y", "x"}) script += std::string("begin ") + name + " plate" + unit_plate;
  ASSERT_TRUE(run(script));
  ASSERT_TRUE(run("delete x"));
  ASSERT_EQ(Grid::gGrids.size(), 3u);
  EXPECT_TRUE(Grid::gGrids[0]->deleted());
  EXPECT_FALSE(Grid::gGrids[1]->deleted());
  EXPECT_TRUE(Grid::gGrids[2]->deleted());
  EXPECT_EQ(Grid::gGrids[0]->num_elements(), 0);
  EXPECT_EQ(Grid::gGrids[0]->num_grid_points(), 4);
  EXPECT_TRUE(alerts().empty());
}

TEST_F(PartNames, DeleteOfAnUnknownNameStopsTheScript) {
  ASSERT_TRUE(run(std::string("begin x plate") + unit_plate));
  EXPECT_FALSE(run("delete x.y begin after"));
  EXPECT_EQ(alerts(), (std::vector<std::string>{"Could not find part named 'x.y'"}));
  EXPECT_EQ(part_name, "x");  // the command after the failing delete did not run
  EXPECT_FALSE(Grid::gGrids[0]->deleted());
}

}  // namespace
