#include "interp/params.h"

#include "interp/interp.h"
#include "interp/placement.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace {

const std::string kElementTypeHelp =
    "argument to 'set element_type' must be  one of the following:\n"
    "quads  to generate quadrilaterals\n"
    "tri0 or tri_uni  to generate uniformly oriented triangles\n"
    "tri1 or tri_alt  to generate alternately oriented triangles\n"
    "tri2 or tri_best to generate the best triangulation for the grid\n"
    "tri3 or tri_good to select only perceptably better diagonals\n";

// One run: its script, whether it succeeds, the one alert expected ("" for none), and
// "name=value ..." pairs to find afterwards ("name=-" for a name that must not exist).
struct Case { const char* script; bool ok; std::string alert; const char* params; };

class ParamsTest : public ScriptTest {
protected:
  void TearDown() override {
    gParameterFrames.clear();
    gParameters_preloaded.clear();
    ScriptTest::TearDown();
  }
  // Runs each case from a fresh run state and checks its outcome.
  void check(const std::vector<Case>& cases) {
    for (const Case& c : cases) {
      SCOPED_TRACE(c.script);
      reset_script_state();
      sink.clear();
      EXPECT_EQ(run(c.script), c.ok);
      EXPECT_EQ(alerts(), c.alert.empty() ? std::vector<std::string>{} : std::vector<std::string>{c.alert});
      std::istringstream pairs(c.params);
      for (std::string pair; pairs >> pair;) {
        std::string name = pair.substr(0, pair.find('=')), value = pair.substr(pair.find('=') + 1);
        EXPECT_EQ(gParameters.count(name), value == "-" ? 0u : 1u) << name;
        if (gParameters.count(name) && value != "-") {
          EXPECT_EQ(gParameters[name], std::stod(value)) << name;
        }
      }
    }
  }
};

}  // namespace

TEST_F(ParamsTest, ResetGivesThePredefinedSetPlusPreloadedNames) {
  EXPECT_TRUE(run("set debug 0 set stray 3 set units 25 mx 1"));
  EXPECT_TRUE(trace_back);  // whatever the value
  EXPECT_EQ(gParameters.count("debug"), 0u);
  gParameters_preloaded = {{"units", 1000}, {"lib.width", 4}};
  reset_params();
  std::vector<std::pair<std::string, double>> expected = {
      {"color.a", 1}, {"color.b", 0}, {"color.g", 0.8}, {"color.r", 1}, {"element_type", 1},
      {"glLineWidth", 1}, {"glPolygonOffset.factor", 1}, {"glPolygonOffset.units", 2},
      {"lib.width", 4}, {"ptolerance", 0}, {"refine.critical_A", 0.97}, {"refine.max_iter", 10},
      {"refine.triangles", 1}, {"tolerance", 0}, {"units", 1},
  };
  EXPECT_EQ((std::vector<std::pair<std::string, double>>(gParameters.begin(), gParameters.end())), expected);
  EXPECT_FALSE(trace_back);
  EXPECT_TRUE(gTransformation.empty());
}

TEST_F(ParamsTest, SetAndArray) {
  check({
      {"set a.b_2 -1.5 set n [n+1]", true, "", "a.b_2=-1.5 n=1"},  // a new name reads as 0
      {"set units 1000 set tolerance 0.1", true, "", "tolerance=100"},
      {"set units 2 set ptolerance 0.25 set units 1", true, "", "ptolerance=0.5"},
      {"set color.a 0.5 set rgb 0.5 0.25 0.125", true, "", "color.r=0.5 color.g=0.25 color.b=0.125 color.a=1"},
      {"set color 0.1 0.2 0.3 0.4", true, "", "color.r=0.1 color.a=0.4"},
      {"set rgba 0.1 0.2 0.3 0.4", true, "", "color.r=0.1 color.a=0.4"},
      {"set color 0.5 0.25 x", false, "expected four values to set the current rgba color",
       "color.r=0.5 color.g=0.25 color.b=0"},  // the values read before a failure stay set
      {"set element_type quads", true, "", "element_type=0"},
      {"set element_type tri0 set a [element_type] set element_type tri_uni", true, "", "a=1 element_type=1"},
      {"set element_type tri1 set a [element_type] set element_type tri_alt", true, "", "a=2 element_type=2"},
      {"set element_type tri2 set a [element_type] set element_type tri_best", true, "", "a=3 element_type=3"},
      {"set element_type tri3 set a [element_type] set element_type tri_good", true, "", "a=4 element_type=4"},
      {"set element_type [2]", true, "", "element_type=2"},
      {"set element_type [ 3 + 4 ]", true, "", "element_type=7"},  // stored unchecked
      {"array a { 1 2 [1+2] } array a {7}", true, "", "a.0=7 a.2=3 a.size=1"},  // the old a.2 stays
      {"array e { } array x-y { 4 }", true, "", "e.size=- x-y.0=4"},           // names not checked
      {"set", false, "set command requires a parameter name", ""},
      {"set a-b 1", false,
       "Invalid parameter Name 'a-b'\nparameter names should only consist of letters, numbers, '_', and '.'", ""},
      {"set a", false, "expected a valid numeric value to set the parameter 'a'", ""},
      {"set a b", false, "expected a valid numeric value to set the parameter 'a'", ""},
      {"set rgb 1 2", false, "expected three values to set the current rgb color", ""},
      {"set element_type tri4", false, kElementTypeHelp, ""},
      {"set element_type Quads", false, kElementTypeHelp, ""},
      {"array", false, "array command requires a parameter name", ""},
      {"array a 1 2 3", false, "array command form is { val0 val1 val2 ... }, opening brace not found", ""},
      {"array a { 1 two }", false, "expected a valid numeric value for array element 'a.1'", ""},
      {"array a { 1 2", false, "expected a valid numeric value for array element 'a.2'", ""},
  });
}

// Rows run in order, each from a fresh run state: a frame pushed by one run is gone in the next.
TEST_F(ParamsTest, PushPopAndFrames) {
  check({
      {"push x set a 1 set b 2 push a push b set a 10 set b 20 pop a", true, "", "x=0 a=1 b=20"},
      {"set a 1 push a set a 2 push a set a 3 pop a", true, "", "a=2"},  // the most recent entry wins
      {"set a 1 push a set a 2 push a pop a pop a", true, "", "a=1"},
      {"push a pop a pop a set after 1", false, "pop: no value of 'a' was pushed", "after=-"},
      {"set rgba 0.1 0.2 0.3 0.4 push_rgba set rgba 1 1 1 1 pop_rgba pop color.a", false,
       "pop: no value of 'color.a' was pushed",
       "color.r=0.1 color.g=0.2 color.b=0.3 color.a=0.4"},  // pop_rgba left nothing to pop
      {"set color.r 0.5 push color.r set color.r 0.9 set color.g 0.9 pop_rgba", false,
       "pop_rgba: no colour was pushed (color.g has no saved value)",
       "color.r=0.5 color.g=0.9"},  // stops at the first colour not pushed
      {"pop_frame set after 1", false, "pop_frame: no parameter frame was pushed", "after=-"},
      {"set a 1 push_frame set a 2 set fresh 3 pop_frame", true, "", "a=1 fresh=-"},
      {"set kept 5 push_frame", true, "", "kept=5"},
      {"pop_frame", false, "pop_frame: no parameter frame was pushed", "kept=-"},
  });
}
