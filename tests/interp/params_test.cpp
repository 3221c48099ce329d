#include "interp/params.h"

#include "interp/interp.h"
#include "interp/placement.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

class ParamsTest : public ScriptTest {
protected:
  void TearDown() override {
    gParameterFrames.clear();
    gParameters_preloaded.clear();
    ScriptTest::TearDown();
  }
  bool has(const std::string& name) const { return gParameters.count(name) != 0; }
  double param(const std::string& name) const { return gParameters.at(name); }
};

}  // namespace

TEST_F(ParamsTest, ResetGivesThePredefinedSet) {
  gParameters["stray"] = 3;
  gParameters["units"] = 25;
  gParameters_preloaded.clear();
  gTransformation = "mx 1 ";
  trace_back = true;
  reset_params();
  std::vector<std::pair<std::string, double>> expected = {
      {"color.a", 1}, {"color.b", 0}, {"color.g", 0.8}, {"color.r", 1}, {"element_type", 1},
      {"glLineWidth", 1}, {"glPolygonOffset.factor", 1}, {"glPolygonOffset.units", 2},
      {"ptolerance", 0}, {"refine.critical_A", 0.97}, {"refine.max_iter", 10},
      {"refine.triangles", 1}, {"tolerance", 0}, {"units", 1},
  };
  std::vector<std::pair<std::string, double>> actual(gParameters.begin(), gParameters.end());
  EXPECT_EQ(actual, expected);
  EXPECT_FALSE(trace_back);
  EXPECT_TRUE(gTransformation.empty());
}

TEST_F(ParamsTest, PreloadedParametersJoinButNeverOverrideDefaults) {
  gParameters_preloaded = {{"units", 1000}, {"lib.width", 4}};
  reset_params();
  EXPECT_EQ(param("units"), 1);
  EXPECT_EQ(param("lib.width"), 4);
}

TEST_F(ParamsTest, SetStoresValues) {
  struct Row {
    const char* script;
    const char* name;
    double value;
  } rows[] = {
      {"set a 3", "a", 3},
      {"set a.b_2 -1.5", "a.b_2", -1.5},
      {"set a [2*3+1]", "a", 7},
      {"set a [a+1]", "a", 1},  // a new name exists as 0 while its value is read
      {"set units 1000 set tolerance 0.1", "tolerance", 100},
      {"set units 2 set ptolerance 0.25 set units 1", "ptolerance", 0.5},
      {"set rgb 0.5 0.25 0.125", "color.b", 0.125},
      {"set color.a 0.5 set rgb 1 0 0", "color.a", 1},
      {"set color 0.1 0.2 0.3 0.4", "color.a", 0.4},
      {"set rgba 0.1 0.2 0.3 0.4", "color.r", 0.1},
      {"set element_type quads", "element_type", 0},
      {"set element_type tri0", "element_type", 1},
      {"set element_type tri_uni", "element_type", 1},
      {"set element_type tri1", "element_type", 2},
      {"set element_type tri_alt", "element_type", 2},
      {"set element_type tri2", "element_type", 3},
      {"set element_type tri_best", "element_type", 3},
      {"set element_type tri3", "element_type", 4},
      {"set element_type tri_good", "element_type", 4},
      {"set element_type [2]", "element_type", 2},
      {"set element_type [ 3 + 4 ]", "element_type", 7},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.script);
    reset_script_state();
    EXPECT_TRUE(run(row.script));
    EXPECT_DOUBLE_EQ(param(row.name), row.value);
  }
  EXPECT_TRUE(alerts().empty());
}

TEST_F(ParamsTest, SetFailuresReportTheirMessage) {
  const std::string element_type_help =
      "argument to 'set element_type' must be  one of the following:\n"
      "quads  to generate quadrilaterals\n"
      "tri0 or tri_uni  to generate uniformly oriented triangles\n"
      "tri1 or tri_alt  to generate alternately oriented triangles\n"
      "tri2 or tri_best to generate the best triangulation for the grid\n"
      "tri3 or tri_good to select only perceptably better diagonals\n";
  struct Row {
    const char* script;
    std::string alert;
  } rows[] = {
      {"set a-b 1",
       "Invalid parameter Name 'a-b'\nparameter names should only consist of letters, numbers, '_', and '.'"},
      {"set a$1 1",
       "Invalid parameter Name 'a$1'\nparameter names should only consist of letters, numbers, '_', and '.'"},
      {"set a", "expected a valid numeric value to set the parameter 'a'"},
      {"set a b", "expected a valid numeric value to set the parameter 'a'"},
      {"set color 1 2 3", "expected four values to set the current rgba color"},
      {"set rgb 1 2", "expected three values to set the current rgb color"},
      {"set origin 1 2", "expected three values to set the current origin"},
      {"set angles 90", "expected two values to set the current rotation angles rz,ry"},
      {"set element_type tri4", element_type_help},
      {"set element_type Quads", element_type_help},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.script);
    reset_script_state();
    sink.clear();
    EXPECT_FALSE(run(std::string(row.script) + "\nset after 1\n"));
    EXPECT_EQ(alerts(), std::vector<std::string>{row.alert});
    EXPECT_FALSE(has("after"));
  }
  sink.clear();
  EXPECT_FALSE(run("set"));
  EXPECT_EQ(alerts(), std::vector<std::string>{"set command requires a parameter name"});
}

TEST_F(ParamsTest, FailurePartWayLeavesEarlierColourValuesSet) {
  EXPECT_FALSE(run("set color 0.5 0.25 x"));
  EXPECT_EQ(param("color.r"), 0.5);
  EXPECT_EQ(param("color.g"), 0.25);
  EXPECT_EQ(param("color.b"), 0);
}

TEST_F(ParamsTest, OriginAndAnglesPrependToTheTransformation) {
  gTransformation = "rx 5 ";
  EXPECT_TRUE(run("set origin 1 2 3\nset angles 90 0\n"));
  EXPECT_EQ(gTransformation, "ry 0 rz 90 mx 1 my 2 mz 3 rx 5 ");
  gTransformation.clear();
  EXPECT_FALSE(run("set origin 1 2"));
  EXPECT_EQ(gTransformation, "");
}

TEST_F(ParamsTest, DebugTurnsTracingOnWhateverItsValue) {
  EXPECT_TRUE(run("set debug 0"));
  EXPECT_TRUE(trace_back);
  EXPECT_FALSE(has("debug"));
}

TEST_F(ParamsTest, ArraySetsElementsAndSize) {
  EXPECT_TRUE(run("array a { 1 2 [1+2] }"));
  EXPECT_EQ(param("a.0"), 1);
  EXPECT_EQ(param("a.1"), 2);
  EXPECT_EQ(param("a.2"), 3);
  EXPECT_EQ(param("a.size"), 3);

  // a shorter redefinition keeps the old higher elements
  EXPECT_TRUE(run("array a {7}"));
  EXPECT_EQ(param("a.0"), 7);
  EXPECT_EQ(param("a.2"), 3);
  EXPECT_EQ(param("a.size"), 1);

  EXPECT_TRUE(run("array e { }\narray x-y { 4 }\n"));
  EXPECT_FALSE(has("e.size"));
  EXPECT_EQ(param("x-y.0"), 4);  // names are not checked here
  EXPECT_TRUE(alerts().empty());
}

TEST_F(ParamsTest, ArrayFailures) {
  struct Row {
    const char* script;
    const char* alert;
  } rows[] = {
      {"array", "array command requires a parameter name"},
      {"array a 1 2 3", "array command form is { val0 val1 val2 ... }, opening brace not found"},
      {"array a { 1 two }", "expected a valid numeric value for array element 'a.1'"},
      {"array a { 1 2", "expected a valid numeric value for array element 'a.2'"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.script);
    reset_script_state();
    sink.clear();
    EXPECT_FALSE(run(row.script));
    EXPECT_EQ(alerts(), std::vector<std::string>{row.alert});
  }
}

TEST_F(ParamsTest, PushAndPopSaveAndRestoreByName) {
  EXPECT_TRUE(run("push x"));
  EXPECT_EQ(param("x"), 0);  // created by push

  EXPECT_TRUE(run("set a 1 set b 2 push a push b set a 10 set b 20 pop a"));
  EXPECT_EQ(param("a"), 1);
  EXPECT_EQ(param("b"), 20);
  ASSERT_EQ(var_stack.size(), 2u);  // x and b remain, b above
  EXPECT_EQ(var_stack.back().name, "b");

  EXPECT_TRUE(run("push a set a 2 push a set a 3 pop a"));  // the most recent entry wins
  EXPECT_EQ(param("a"), 2);
  EXPECT_TRUE(run("pop a"));
  EXPECT_EQ(param("a"), 1);

  EXPECT_FALSE(run("pop a\nset after 1\n"));  // one pop more than pushes
  EXPECT_FALSE(has("after"));
  EXPECT_TRUE(alerts().empty());
}

TEST_F(ParamsTest, RgbaShortcuts) {
  EXPECT_TRUE(run("set rgba 0.1 0.2 0.3 0.4 push_rgba set rgba 1 1 1 1 pop_rgba"));
  EXPECT_EQ(param("color.r"), 0.1);
  EXPECT_EQ(param("color.g"), 0.2);
  EXPECT_EQ(param("color.b"), 0.3);
  EXPECT_EQ(param("color.a"), 0.4);
  EXPECT_TRUE(var_stack.empty());

  // pop_rgba stops at the first colour that was not pushed
  EXPECT_TRUE(run("set color.r 0.5 push color.r set color.r 0.9 set color.g 0.9"));
  EXPECT_FALSE(run("pop_rgba"));
  EXPECT_EQ(param("color.r"), 0.5);
  EXPECT_EQ(param("color.g"), 0.9);
  EXPECT_TRUE(alerts().empty());
}

TEST_F(ParamsTest, FramesRestoreTheWholeTable) {
  EXPECT_TRUE(run("set a 1 push_frame set a 2 set fresh 3 pop_frame"));
  EXPECT_EQ(param("a"), 1);
  EXPECT_FALSE(has("fresh"));
  EXPECT_TRUE(gParameterFrames.empty());

  EXPECT_FALSE(run("pop_frame\nset after 1\n"));
  EXPECT_FALSE(has("after"));
  EXPECT_TRUE(alerts().empty());
}

TEST_F(ParamsTest, FramesOutliveAScriptRun) {
  EXPECT_TRUE(run("set kept 5 push_frame"));
  reset_script_state();
  EXPECT_FALSE(has("kept"));
  EXPECT_TRUE(run("pop_frame"));
  EXPECT_EQ(param("kept"), 5);
}

