// Control-flow commands: conditionals, switch, repeat and partition, run through scripts.
#include "support/test_support.h"

#include "grid/Grid.h"
#include "interp/interp.h"
#include "interp/params.h"

#include <cmath>
#include <limits>
#include <string>
#include <utility>
#include <vector>

namespace {

const double unset = std::numeric_limits<double>::quiet_NaN();
const char* const kPopFailed = "pop: no value of 'never_pushed' was pushed";
using Values = std::vector<std::pair<const char*, double>>;  // NaN: the parameter does not exist

// alert: the one alert expected, empty for none
struct Row { const char* id; std::string script; Values expect; std::string alert = ""; };

class Control : public ScriptTest {
protected:
  // Runs each row followed by "set after 1" and checks the outcome and the parameters.
  void check(const std::vector<Row>& rows, bool succeeds) {
    for (const auto& row : rows) {
      SCOPED_TRACE(row.id);
      reset_script_state();
      sink.clear();
      EXPECT_EQ(run(row.script + " set after 1"), succeeds);
      if (row.alert.empty()) EXPECT_TRUE(sink.entries.empty());
      else EXPECT_EQ(alerts(), std::vector<std::string>{row.alert});
      EXPECT_EQ(gParameters.count("after"), succeeds ? 1u : 0u) << "the script goes on only on success";
      for (const auto& [name, value] : row.expect) {
        if (std::isnan(value)) EXPECT_EQ(gParameters.count(name), 0u) << name;
        else EXPECT_EQ(gParameters.count(name) ? gParameters[name] : unset, value) << name;
      }
    }
  }
};

std::string loop(const std::string& count) {
  return "set passes 0 set sum 0 set 0 -7 repeat " + count + " { set passes [passes+1] set sum [sum+$0] }";
}
std::string parts(const std::string& lists) {
  return "set passes 0 set last 0 partition " + lists + " { set passes [passes+1] set last [S1m] }";
}

TEST_F(Control, CommandsRunTheBlocksTheirValuesSelect) {
  check({
      {"if: else runs, is consumed, or is absent",
       "if 0 { set r 1 } { set r 2 } if 1 { set s 1 } { set s 2 } if 0 { set t 1 }",
       {{"r", 2}, {"s", 1}, {"t", unset}}},
      {"NaN is not zero", "if [0/0] { set r 1 } { set r 2 } if0 [0/0] { set s 1 } { set s 2 }", {{"r", 1}, {"s", 2}}},
      {"if0 0 and a fraction", "if0 0 { set r 1 } { set r 2 } if0 0.5 { set s 1 } { set s 2 }", {{"r", 1}, {"s", 2}}},
      {"ifpos and ifneg", "ifpos 0 { set r 1 } { set r 2 } ifneg 0 { set s 1 } { set s 2 }"
                          " ifpos 3 { set t 1 } { set t 2 } ifneg -0.1 { set u 1 } { set u 2 }",
       {{"r", 2}, {"s", 2}, {"t", 1}, {"u", 1}}},
      {"tested value in 0, restored", "set 0 42 if [3+4] { set r [$0] }", {{"r", 7}, {"0", 42}}},
      {"else sees it too; a new 0 stays at 0", "if0 -2 { set r 1 } { set r [$0] }", {{"r", -2}, {"0", 0}}},
      {"ifset and ifnset", "set q 1 ifset q { set a 1 } { set a 2 } ifnset q { set b 1 } { set b 2 }"
                           " ifset no_q { set c 1 } { set c 2 } ifnset no_q { set d 1 } { set d 2 }",
       {{"a", 1}, {"b", 2}, {"c", 2}, {"d", 1}}},
      {"ifset ignores stored expressions", "@ctl_stored = 1 ; ifset ctl_stored { set r 1 } { set r 2 }", {{"r", 2}}},
      {"ifset leaves 0 alone", "set 0 3 ifset 0 { set r [$0] }", {{"r", 3}}},
      {"nested", "if 1 { if 0 { set r 1 } { if 1 { set r 3 } } }", {{"r", 3}}},
      {"switch: matching case", "switch 2 { case 1 { set r 1 } case 2 { set r 2 } default { set r 3 } }", {{"r", 2}}},
      {"switch: no match runs default", "switch 5 { case 1 { set r 1 } default { set r 3 } }", {{"r", 3}}},
      {"switch: exact comparison", "set k 1.5 switch [k] { case 1 { set r 1 } default { set r 3 } }", {{"r", 3}}},
      {"switch: default first", "switch 1 { default { set r 3 } case 1 { set r 1 } }", {{"r", 1}}},
      {"switch: later default replaces", "switch 9 { default { set r 3 } default { set r 4 } }", {{"r", 4}}},
      {"switch: later cases unread", "switch 1 { case 1 { set r 1 } case 1 { set r 9 } bogus }", {{"r", 1}}},
      {"no match and no default; empty blocks",
       "switch 9 { case 1 { set r 1 } } if 1 { } switch 1 { } switch 1 { case 1 { } }", {{"r", unset}}},
      {"repeat just above one", loop("1.0001"), {{"passes", 2}, {"sum", 1}}},
      {"repeat 1", loop("1"), {{"passes", 1}, {"sum", 0}}},
      {"repeat 0 consumes its block", loop("0"), {{"passes", 0}, {"0", -7}}},
      {"repeat negative", loop("-2"), {{"passes", 0}}},
      {"repeat expression", loop("[2*2]"), {{"passes", 4}, {"sum", 6}, {"0", -7}}},
      {"nested repeats restore the outer pass number",
       "set i 0 set o 0 repeat 2 { repeat 3 { set i [i + $0] } set o [o + $0] }", {{"i", 6}, {"o", 1}, {"0", 0}}},
      {"stop ends only the pass", "set n 0 repeat 3 { set n [n+1] stop set never 1 }", {{"n", 3}, {"never", unset}}},
      {"partition: empty m-list", parts("{} {2}"), {{"passes", 0}}},
      {"partition: empty n-list", parts("{2} {}"), {{"passes", 0}}},
      {"partition: expressions truncated", parts("{[1+1] 2.9} {1}"), {{"passes", 2}, {"last", 1}}},
      {"partition: list stops at a word", parts("{2 x 3} {1}"), {{"passes", 1}, {"last", 1}}},
      {"partition: zero total gives zeros", parts("{0} {0}"), {{"passes", 1}, {"last", 0}}},
      // (m, S0m, S1m, n, S0n, S1n) of each pass
      {"partition passes cover the unit square, m major",
       "set k 0 partition {1 3} {2 2} { set k [k+1] set x [p0$k = m] set x [p1$k = S0m] set x [p2$k = S1m]"
       " set x [p3$k = n] set x [p4$k = S0n] set x [p5$k = S1n] }",
       {{"k", 4}, {"p01", 1}, {"p11", 0}, {"p21", 0.25}, {"p31", 2}, {"p41", 0}, {"p51", 0.5},
        {"p02", 1}, {"p12", 0}, {"p22", 0.25}, {"p32", 2}, {"p42", 0.5}, {"p52", 1},
        {"p03", 3}, {"p13", 0.25}, {"p23", 1}, {"p33", 2}, {"p43", 0}, {"p53", 0.5},
        {"p04", 3}, {"p14", 0.25}, {"p24", 1}, {"p34", 2}, {"p44", 0.5}, {"p54", 1}}},
      {"partition restores its parameters", "set m 7 set S1n 9 partition {1 1} {2} { set seen [m] }",
       {{"seen", 1}, {"m", 7}, {"S1n", 9}, {"n", 0}, {"S0m", 0}, {"S1m", 0}, {"S0n", 0}}},
  }, true);
}

TEST_F(Control, SyntaxErrorsAndFailingBlocksStopTheScript) {
  const std::string partition = "Error in 'partition {m1 m2 ...} {n1 n2 ...} { <script> }' command\n";
  check({
      {"if without block", "if 1 set r 1", {}, "Error in 'if' command\nopening '{' not found"},
      {"if unclosed", "if 1 { set r 1", {}, "Error in 'if' command\nclosing '}' not found"},
      {"else unclosed", "if 0 { set r 1 } { set r 2", {}, "Error in 'else' command\nclosing '}' not found"},
      {"repeat without block", "repeat 2 set r 1", {}, "Error in 'repeat' command\nopening '{' not found"},
      {"repeat unclosed", "repeat 2 { set r 1", {}, "Error in 'repeat' command\nclosing '}' not found"},
      {"switch without list", "switch 1 case 1 { }", {}, "Error in 'switch' command\nbrace enclosed cases not found"},
      {"switch matching case without block", "switch 2 { case 1 { set r 1 } case 2 }", {},
       "Error in 'switch' command's 'case' 2.000000\nno brace enclosed script found"},
      {"switch default without block", "switch 1 { default }", {},
       "Error in 'switch' command's 'default' case\nno brace enclosed script found"},
      {"switch unknown tag", "switch 1 { cas 1 { } }", {},
       "Error in 'switch' command\nEncountered 'cas'\nOnly 'case' and 'default' tags are allowed"},
      {"partition without m-list", "partition 1 {1} { }", {}, partition + "list of m-partions not found\n"},
      {"partition with unclosed m-list", "partition {1 2", {},
       partition + "list of m-partions not found\n1 2 set after 1\n"},
      {"partition without n-list", "partition {1} 1 { }", {}, partition + "list of n-partions not found"},
      {"partition without script", "partition {1} {1} set", {}, partition + "script not found"},
      {"failing block restores 0", "set 0 42 if 1 { pop never_pushed }", {{"0", 42}}, kPopFailed},
      {"failing else", "if 0 { } { pop never_pushed }", {}, kPopFailed},
      {"empty matching case", "switch 1.5 { case 1.5 {} }", {}, "Error in 'switch' command's 'case' 1.5\nits script is empty"},
      {"failing pass ends the loop", "set n 0 set 0 5 repeat 4 { set n [n+1] if0 [$0-1] { pop never_pushed } }",
       {{"n", 2}, {"0", 5}}, kPopFailed},
      {"failing partition pass restores m", "set m 7 partition {1 1} {1} { pop never_pushed }", {{"m", 7}}, kPopFailed},
  }, false);
}

TEST_F(Control, BlocksRestoreThePartNameButSwitchCasesDoNot) {
  ASSERT_TRUE(run("begin outer repeat 2 { begin inner plate 1 1  0 0 0  1 0 0  1 1 0  0 1 0 }\n"
                  "plate 1 1  0 0 1  1 0 1  1 1 1  0 1 1"));
  std::vector<std::string> names;
  for (Grid* g : Grid::gGrids) names.push_back(g->name());
  // the last grid is named after the enclosing block, no name word read
  EXPECT_EQ(names, (std::vector<std::string>{"outer.inner", "outer.inner", "outer"}));
  EXPECT_TRUE(base_part_name.empty());

  reset_script_state();
  EXPECT_TRUE(run("begin outer switch 1 { case 1 { begin inner } }"));
  EXPECT_EQ(part_name, "inner");
}

}  // namespace
