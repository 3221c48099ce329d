// Control-flow commands: conditionals, switch, repeat and partition, run through scripts.
#include "support/test_support.h"

#include "grid/Grid.h"
#include "interp/control.h"
#include "interp/interp.h"
#include "interp/params.h"

#include <cmath>
#include <limits>
#include <string>
#include <vector>

namespace {

const double unset = std::numeric_limits<double>::quiet_NaN();

class Control : public ScriptTest {
protected:
  bool has(const std::string& name) const { return gParameters.count(name) != 0; }
  // The parameter's value, NaN when it does not exist.
  double param(const std::string& name) const {
    auto p = gParameters.find(name);
    return p == gParameters.end() ? unset : p->second;
  }
  // Runs `script` followed by "set after 1"; it must succeed silently and go on after it.
  void expect_r_after(const std::string& script, double r) {
    reset_script_state();
    sink.clear();
    EXPECT_TRUE(run(script + " set after 1"));
    EXPECT_TRUE(sink.entries.empty());
    EXPECT_TRUE(std::isnan(r) ? !has("r") : param("r") == r) << "r = " << param("r");
    EXPECT_EQ(param("after"), 1) << "the script goes on after the command";
  }
};

struct BranchRow {
  const char* id;
  const char* script;
  double r;  // value of "r" afterwards; NaN: never set
};

TEST_F(Control, ConditionalsAndSwitchRunTheBlockTheirValueSelects) {
  const BranchRow rows[] = {
      {"if 0 runs else", "if 0 { set r 1 } { set r 2 }", 2},
      {"if 1 without else", "if 1 { set r 1 }", 1},
      {"if 1 consumes else", "if 1 { set r 1 } { set r 2 }", 1},
      {"if false, no else", "if 0 { set r 1 }", unset},
      {"if NaN counts as true", "if [0/0] { set r 1 } { set r 2 }", 1},
      {"if0 0", "if0 0 { set r 1 } { set r 2 }", 1},
      {"if0 NaN is false", "if0 [0/0] { set r 1 } { set r 2 }", 2},
      {"if0 fraction", "if0 0.5 { set r 1 } { set r 2 }", 2},
      {"ifpos 0 is false", "ifpos 0 { set r 1 } { set r 2 }", 2},
      {"ifneg 0 is false", "ifneg 0 { set r 1 } { set r 2 }", 2},
      {"ifpos 3", "ifpos 3 { set r 1 } { set r 2 }", 1},
      {"ifneg -0.1", "ifneg -0.1 { set r 1 } { set r 2 }", 1},
      {"tested value in 0", "if [3+4] { set r [$0] }", 7},
      {"else sees value too", "if0 -2 { set r 1 } { set r [$0] }", -2},
      {"ifset present", "set q 1 ifset q { set r 1 } { set r 2 }", 1},
      {"ifset absent", "ifset no_such_q { set r 1 } { set r 2 }", 2},
      {"ifnset absent", "ifnset no_such_q { set r 1 } { set r 2 }", 1},
      {"ifnset present", "set q 1 ifnset q { set r 1 } { set r 2 }", 2},
      {"ifset ignores stored expressions", "@ctl_stored = 1 ; ifset ctl_stored { set r 1 } { set r 2 }", 2},
      {"ifset leaves 0 alone", "set 0 3 ifset 0 { set r [$0] }", 3},
      {"nested", "if 1 { if 0 { set r 1 } { if 1 { set r 3 } } }", 3},
      {"empty true block", "if 1 { } set r 5", 5},
      {"switch: matching case", "switch 2 { case 1 { set r 1 } case 2 { set r 2 } default { set r 3 } }", 2},
      {"switch: no match runs default", "switch 5 { case 1 { set r 1 } default { set r 3 } }", 3},
      {"switch: exact comparison", "set k 1.5 switch [k] { case 1 { set r 1 } default { set r 3 } }", 3},
      {"switch: default first", "switch 1 { default { set r 3 } case 1 { set r 1 } }", 1},
      {"switch: no match, no default", "switch 9 { case 1 { set r 1 } }", unset},
      {"switch: later default replaces", "switch 9 { default { set r 3 } default { set r 4 } }", 4},
      {"switch: later cases unread", "switch 1 { case 1 { set r 1 } case 1 { set r 9 } bogus }", 1},
      {"switch: empty list", "switch 1 { }", unset},
      {"switch: blank case block", "switch 1 { case 1 { } }", unset},
      {"switch: nested braces", "switch 2 { case 2 { if 1 { set r 7 } } }", 7},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.id);
    expect_r_after(row.script, row.r);
  }
}

TEST_F(Control, NumericConditionalsRestoreZero) {
  EXPECT_TRUE(run("set 0 42 if 5 { set seen [$0] }"));
  EXPECT_EQ(param("seen"), 5);
  EXPECT_EQ(param("0"), 42);

  reset_script_state();
  EXPECT_TRUE(run("ifpos 5 { set seen [$0] }"));
  EXPECT_EQ(param("0"), 0) << "a parameter that did not exist is left existing at 0";

  reset_script_state();
  EXPECT_FALSE(run("set 0 42 if 5 { pop never_pushed }"));
  EXPECT_EQ(param("0"), 42) << "restored also when the block fails";
}

struct FailRow {
  const char* id;
  const char* script;
  const char* alert;  // the one alert expected; empty: a silent failure
};

TEST_F(Control, SyntaxErrorsStopTheScriptWithTheirMessage) {
  const std::string partition = "Error in 'partition {m1 m2 ...} {n1 n2 ...} { <script> }' command\n";
  const FailRow rows[] = {
      {"if without block", "if 1 set r 1", "Error in 'if' command\nopening '{' not found"},
      {"if unclosed", "if 1 { set r 1", "Error in 'if' command\nclosing '}' not found"},
      {"else unclosed", "if 0 { set r 1 } { set r 2", "Error in 'else' command\nclosing '}' not found"},
      {"ifset without block", "ifset x set", "Error in 'if' command\nopening '{' not found"},
      {"repeat without block", "repeat 2 set r 1", "Error in 'repeat' command\nopening '{' not found"},
      {"repeat unclosed", "repeat 2 { set r 1", "Error in 'repeat' command\nclosing '}' not found"},
      {"switch without list", "switch 1 case 1 { }", "Error in 'switch' command\nbrace enclosed cases not found"},
      {"switch matching case without block", "switch 2 { case 1 { set r 1 } case 2 }",
       "Error in 'switch' command's 'case' 2.000000\nno brace enclosed script found"},
      {"switch default without block", "switch 1 { default }",
       "Error in 'switch' command's 'default' case\nno brace enclosed script found"},
      {"switch unknown tag", "switch 1 { cas 1 { } }",
       "Error in 'switch' command\nEncountered 'cas'\nOnly 'case' and 'default' tags are allowed"},
      {"partition without m-list", "partition 1 {1} { }", "list of m-partions not found\n"},
      {"partition with unclosed m-list", "partition {1 2", "list of m-partions not found\n1 2 set after 1\n"},
      {"partition without n-list", "partition {1} 1 { }", "list of n-partions not found"},
      {"partition without script", "partition {1} {1} set", "script not found"},
      {"failing block is silent", "if 1 { pop never_pushed }", ""},
      {"failing else is silent", "if 0 { } { pop never_pushed }", ""},
      {"empty matching case", "switch 1 { case 1 {} }", ""},
      {"failing pass", "repeat 3 { pop never_pushed }", ""},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.id);
    reset_script_state();
    sink.clear();
    EXPECT_FALSE(run(std::string(row.script) + " set after 1"));
    std::string expected = row.alert;
    if (std::string(row.script).rfind("partition", 0) == 0) expected = partition + expected;
    if (expected.empty()) {
      EXPECT_TRUE(sink.entries.empty());
    } else {
      EXPECT_EQ(alerts(), std::vector<std::string>{expected});
    }
    EXPECT_FALSE(has("after"));
  }
}

TEST_F(Control, BlockMessagesNameTheLineInsideTheBlock) {
  EXPECT_FALSE(run("set a 1\nrepeat 1 {\n  set b 2\n  set bad-name 3\n}\n"));
  ASSERT_EQ(sink.entries.size(), 1u);
  EXPECT_EQ(sink.entries[0].where.file, "test.vmf");
  EXPECT_EQ(sink.entries[0].where.line, 4);
}

TEST_F(Control, BlocksRestoreThePartNameButSwitchCasesDoNot) {
  ASSERT_TRUE(run("begin outer repeat 2 { begin inner plate 1 1  0 0 0  1 0 0  1 1 0  0 1 0 }\n"
                  "plate 1 1  0 0 1  1 0 1  1 1 1  0 1 1"));
  ASSERT_EQ(Grid::gGrids.size(), 3u);
  EXPECT_EQ(Grid::gGrids[0]->name(), "outer.inner");
  EXPECT_EQ(Grid::gGrids[1]->name(), "outer.inner");
  EXPECT_EQ(Grid::gGrids[2]->name(), "outer") << "named after the block, no name word read";
  EXPECT_TRUE(base_part_name.empty());

  reset_script_state();
  EXPECT_TRUE(run("begin outer switch 1 { case 1 { begin inner } }"));
  EXPECT_EQ(part_name, "inner");
}

struct RepeatRow {
  const char* id;
  const char* count;
  int passes;
  double sum;  // of the pass numbers
};

TEST_F(Control, RepeatRunsOnePassPerWholeNumberBelowTheCount) {
  const RepeatRow rows[] = {
      {"three", "3", 3, 3},   {"fraction rounds up", "2.5", 3, 3}, {"one", "1", 1, 0},
      {"zero", "0", 0, 0},    {"negative", "-2", 0, 0},           {"expression", "[2*2]", 4, 6},
      {"just above", "1.0001", 2, 1},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.id);
    reset_script_state();
    sink.clear();
    EXPECT_TRUE(run(std::string("set passes 0 set sum 0 set 0 -7 repeat ") + row.count +
                    " { set passes [passes+1] set sum [sum+$0] } set after 1"));
    EXPECT_TRUE(alerts().empty());
    EXPECT_EQ(param("passes"), row.passes);
    EXPECT_EQ(param("sum"), row.sum);
    EXPECT_EQ(param("0"), -7) << "pass number restored";
    EXPECT_EQ(param("after"), 1) << "the block is consumed even when it never runs";
  }
}

TEST_F(Control, RepeatNestingStopAndFailure) {
  EXPECT_TRUE(run("set inner_sum 0 set outer_sum 0\n"
                  "repeat 2 {\n"
                  "  repeat 3 { set inner_sum [inner_sum + $0] }\n"
                  "  set outer_sum [outer_sum + $0]\n"
                  "}"));
  EXPECT_EQ(param("inner_sum"), 6);  // 2 x (0 + 1 + 2)
  EXPECT_EQ(param("outer_sum"), 1);  // 0 + 1: the outer value is back after the inner loop
  EXPECT_EQ(param("0"), 0);

  reset_script_state();
  EXPECT_TRUE(run("set n 0 repeat 3 { set n [n+1] stop set never 1 } set after 1"));
  EXPECT_EQ(param("n"), 3) << "stop ends only the current pass";
  EXPECT_FALSE(has("never"));
  EXPECT_EQ(param("after"), 1);

  reset_script_state();
  EXPECT_FALSE(run("set n 0 set 0 5 repeat 4 { set n [n+1] if0 [$0-1] { pop never_pushed } }"));
  EXPECT_EQ(param("n"), 2) << "a failing pass ends the loop";
  EXPECT_EQ(param("0"), 5);
}

TEST_F(Control, PartitionPassesCoverTheUnitSquareMMajor) {
  ASSERT_TRUE(run("set k 0\n"
                  "partition {1 3} {2 2} {\n"
                  "  set k [k+1]\n"
                  "  set x [p0$k = m] set x [p1$k = S0m] set x [p2$k = S1m]\n"
                  "  set x [p3$k = n] set x [p4$k = S0n] set x [p5$k = S1n]\n"
                  "}"));
  // (m, S0m, S1m, n, S0n, S1n) of each pass
  const double expected[4][6] = {
      {1, 0, 0.25, 2, 0, 0.5}, {1, 0, 0.25, 2, 0.5, 1}, {3, 0.25, 1, 2, 0, 0.5}, {3, 0.25, 1, 2, 0.5, 1}};
  EXPECT_EQ(param("k"), 4);
  for (int pass = 0; pass < 4; ++pass) {
    for (int v = 0; v < 6; ++v) {
      SCOPED_TRACE("pass " + std::to_string(pass) + " value " + std::to_string(v));
      EXPECT_EQ(param("p" + std::to_string(v) + std::to_string(pass + 1)), expected[pass][v]);
    }
  }
}

struct PartitionRow {
  const char* id;
  const char* lists;
  int passes;
  double last_s1m;  // S1m seen by the last pass
};

TEST_F(Control, PartitionListsAndTheirLimits) {
  const PartitionRow rows[] = {
      {"empty m-list", "{} {2}", 0, 0},
      {"empty n-list", "{2} {}", 0, 0},
      {"expressions truncated", "{[1+1] 2.9} {1}", 2, 1},
      {"stops at a word", "{2 x 3} {1}", 1, 1},
      {"zero total gives zeros, not NaN", "{0} {0}", 1, 0},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.id);
    reset_script_state();
    sink.clear();
    EXPECT_TRUE(run(std::string("set passes 0 set last 0 partition ") + row.lists +
                    " { set passes [passes+1] set last [S1m] }"));
    EXPECT_TRUE(alerts().empty());
    EXPECT_EQ(param("passes"), row.passes);
    EXPECT_EQ(param("last"), row.last_s1m);
  }
}

TEST_F(Control, PartitionRestoresItsSixParameters) {
  EXPECT_TRUE(run("set m 7 set S1n 9 partition {1 1} {2} { set seen [m] }"));
  EXPECT_EQ(param("seen"), 1);
  EXPECT_EQ(param("m"), 7);
  EXPECT_EQ(param("S1n"), 9);
  for (const char* created : {"n", "S0m", "S1m", "S0n"}) EXPECT_EQ(param(created), 0) << created;

  reset_script_state();
  EXPECT_FALSE(run("set m 7 partition {1 1} {1} { pop never_pushed }"));
  EXPECT_EQ(param("m"), 7) << "restored also when a pass fails";
}

}  // namespace
