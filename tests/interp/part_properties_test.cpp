// The solver property words: what each part takes at creation, the defaults every run starts
// from, the words' rejections and their entries in --list.
#include "grid/Grid.h"
#include "grid/part_properties.h"
#include "interp/interp.h"
#include "interp/listing.h"
#include "support/test_support.h"

#include <functional>
#include <sstream>

namespace {

using PartProperties = ScriptTest;

const std::string plate = " 1 1  0 0 0  1 0 0  1 1 0  0 1 0\n";

std::string listing(const char* table) {
  std::ostringstream out;
  write_listing(table, out);
  return out.str();
}

// Per word: how it is set, what a part made before and after holds, the --list line.
TEST_F(PartProperties, EachWordHasADefaultIsTakenByNewPartsResetsAndIsListed) {
  const struct {
    std::string set, table, listed;
    std::function<std::string(const Grid&)> value;
    std::string fallback, given;
    bool per_part;  // else one setting for the whole run
  } rows[] = {
      {"set thickness [0.5*0.004]", "parameters", "\nthickness               0\n",
       [](const Grid& g) { return std::to_string(g.thickness()); }, "0.000000", "0.002000", true},
      {"material steel", "commands", "\nmaterial <name>\n", [](const Grid& g) { return g.material(); }, "material",
       "steel", true},
      {"element_name quadrilateral s4r element_name tri STRI3 element_name bar t3d2", "commands",
       "\nelement_name <bar|triangle|quadrilateral> <element_type>\n",
       [](const Grid&) { return solver_element_name(2) + solver_element_name(3) + solver_element_name(4); },
       "B31S3S4", "T3D2STRI3S4R", false},
      // the parts' lattices show it (builders_test); here the setting in force
      {"set v_spacing bump [4/2]", "parameters", "\nv_spacing               uniform\n",
       [](const Grid&) { return part_spacing(0).text() + ", " + part_spacing(1).text(); }, "uniform, uniform",
       "uniform, bump 2", false},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.set);
    reset_script_state();
    ASSERT_TRUE(run("plate before" + plate + r.set + "\nplate after" + plate));
    EXPECT_EQ(r.value(*Grid::gGrids[0]), r.per_part ? r.fallback : r.given);
    EXPECT_EQ(r.value(*Grid::gGrids[1]), r.given);
    reset_script_state();
    ASSERT_TRUE(run("plate next_run" + plate));
    EXPECT_EQ(r.value(*Grid::gGrids[0]), r.fallback);
    EXPECT_TRUE(contains(listing(r.table.c_str()), r.listed)) << listing(r.table.c_str());
  }
}

TEST_F(PartProperties, WordsThatCannotBeUsedStopTheScript) {
  const std::pair<const char*, const char*> rows[] = {
      {"element_name hexahedron C3D8", "element_name: 'hexahedron' is not bar, triangle or quadrilateral"},
      {"element_name quad S4-R",
       "element_name quad: expected an element type of letters and digits (such as S4), not 'S4-R'"},
      {"element_name bar 31B", "element_name bar: expected an element type of letters and digits (such as B31), not '31B'"},
      {"set u_spacing wavy 2", "set u_spacing: expected uniform, bias <ratio>, bump <ratio> or cluster <strength>, not 'wavy'"},
      {"set v_spacing bias", "set v_spacing bias: expected a number"},
      {"set v_spacing bias -1", "set v_spacing: the ratio of bias must be positive, not -1"},
  };
  for (const auto& [script, message] : rows) {
    SCOPED_TRACE(script);
    reset_script_state();
    sink.clear();
    EXPECT_FALSE(run(script));
    EXPECT_EQ(alerts(), std::vector<std::string>{message});
  }
}

}  // namespace
