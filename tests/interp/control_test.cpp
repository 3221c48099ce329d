// Control-flow commands: conditionals, switch, repeat and partition, run through scripts.
#include "grid/Grid.h"
#include "grid/part_names.h"
#include "support/script_runner.h"

namespace {

using Control = ScriptRuns;
const char* const kPopFailed = "pop: no value of 'never_pushed' was pushed";

std::string loop(const std::string& count) {
  return "set passes 0 set sum 0 set 0 -7 repeat " + count + " { set passes [passes+1] set sum [sum+$0] }";
}
std::string parts(const std::string& lists) {
  return "set passes 0 set last 0 partition " + lists + " { set passes [passes+1] set last [S1m] }";
}

TEST_F(Control, CommandsRunTheBlocksTheirValuesSelect) {
  check({
      // else runs, is consumed, or is absent; NaN is not zero
      {"if 0 { set r 1 } { set r 2 } if 1 { set s 1 } { set s 2 } if 0 { set t 1 }", true, "", "r=2 s=1 t=-"},
      {"if [0/0] { set r 1 } { set r 2 } if0 [0/0] { set s 1 } { set s 2 }", true, "", "r=1 s=2"},
      {"if0 0 { set r 1 } { set r 2 } if0 0.5 { set s 1 } { set s 2 }", true, "", "r=1 s=2"},
      {"ifpos 0 { set r 1 } { set r 2 } ifneg 0 { set s 1 } { set s 2 }"
       " ifpos 3 { set t 1 } { set t 2 } ifneg -0.1 { set u 1 } { set u 2 }", true, "", "r=2 s=2 t=1 u=1"},
      // the tested value is in 0 and restored; else sees it too; a new 0 stays at 0
      {"set 0 42 if [3+4] { set r [$0] }", true, "", "r=7 0=42"},
      {"if0 -2 { set r 1 } { set r [$0] }", true, "", "r=-2 0=0"},
      {"set q 1 ifset q { set a 1 } { set a 2 } ifnset q { set b 1 } { set b 2 }"
       " ifset no_q { set c 1 } { set c 2 } ifnset no_q { set d 1 } { set d 2 }", true, "", "a=1 b=2 c=2 d=1"},
      {"@ctl_stored = 1 ; ifset ctl_stored { set r 1 } { set r 2 }", true, "", "r=2"},  // not a parameter
      {"set 0 3 ifset 0 { set r [$0] }", true, "", "r=3"},
      {"if 1 { if 0 { set r 1 } { if 1 { set r 3 } } }", true, "", "r=3"},
      {"switch 2 { case 1 { set r 1 } case 2 { set r 2 } default { set r 3 } }", true, "", "r=2"},
      {"switch 5 { case 1 { set r 1 } default { set r 3 } }", true, "", "r=3"},
      {"set k 1.5 switch [k] { case 1 { set r 1 } default { set r 3 } }", true, "", "r=3"},  // exact
      {"switch 1 { default { set r 3 } case 1 { set r 1 } }", true, "", "r=1"},
      {"switch 9 { default { set r 3 } default { set r 4 } }", true, "", "r=4"},
      {"switch 1 { case 1 { set r 1 } case 1 { set r 9 } bogus }", true, "", "r=1"},  // later cases unread
      {"switch 9 { case 1 { set r 1 } } if 1 { } switch 1 { } switch 1 { case 1 { } }", true, "", "r=-"},
      {loop("1.0001"), true, "", "passes=2 sum=1"},
      {loop("1"), true, "", "passes=1 sum=0"},
      {loop("0"), true, "", "passes=0 0=-7"},  // the block is consumed
      {loop("-2"), true, "", "passes=0"},
      {loop("[2*2]"), true, "", "passes=4 sum=6 0=-7"},
      {"set i 0 set o 0 repeat 2 { repeat 3 { set i [i + $0] } set o [o + $0] }", true, "", "i=6 o=1 0=0"},
      {"set n 0 repeat 3 { set n [n+1] stop set never 1 }", true, "", "n=3 never=-"},  // stop ends the pass
      // an expression read again at every pass means what its names mean by then
      {"set k 1 set y 0 repeat 3 { set y [y + k] if0 [$0 - 1] { @k = 10 ; } }", true, "", "y=12"},
      {"set t 0 repeat 3 { push_frame set z [$0 + 1] set t [t + z] push t pop_frame pop t }", true, "", "t=6 z=-"},
      {parts("{} {2}"), true, "", "passes=0"},
      {parts("{2} {}"), true, "", "passes=0"},
      {parts("{[1+1] 2.9} {1}"), true, "", "passes=2 last=1"},  // truncated
      {parts("{2 x 3} {1}"), true, "", "passes=1 last=1"},      // the list stops at a word
      {parts("{0} {0}"), true, "", "passes=1 last=0"},
      // (m, S0m, S1m, n, S0n, S1n) of each pass: the unit square covered, m major; the two
      // directions differ in their totals (4, 5) and their counts (2, 3)
      {"set k 0 partition {1 3} {2 1 2} { set k [k+1] set x [p0$k = m] set x [p1$k = S0m] set x [p2$k = S1m]"
       " set x [p3$k = n] set x [p4$k = S0n] set x [p5$k = S1n] }", true, "",
       "k=6 p01=1 p11=0 p21=0.25 p31=2 p41=0 p51=0.4 p02=1 p12=0 p22=0.25 p32=1 p42=0.4 p52=0.6 "
       "p03=1 p13=0 p23=0.25 p33=2 p43=0.6 p53=1 p04=3 p14=0.25 p24=1 p34=2 p44=0 p54=0.4 "
       "p05=3 p15=0.25 p25=1 p35=1 p45=0.4 p55=0.6 p06=3 p16=0.25 p26=1 p36=2 p46=0.6 p56=1"},
      {"set m 7 set S1n 9 partition {1 1} {2} { set seen [m] }", true, "",
       "seen=1 m=7 S1n=9 n=0 S0m=0 S1m=0 S0n=0"},  // restored, or left at 0
  }, " set after 1");
}

TEST_F(Control, SyntaxErrorsAndFailingBlocksStopTheScript) {
  const std::string partition = "Error in 'partition {m1 m2 ...} {n1 n2 ...} { <script> }' command\n";
  check({
      {"if 1 set r 1", false, "Error in 'if' command\nopening '{' not found", ""},
      {"if 1 { set r 1", false, "Error in 'if' command\nclosing '}' not found", ""},
      {"if 0 { set r 1 } { set r 2", false, "Error in 'else' command\nclosing '}' not found", ""},
      {"repeat 2 set r 1", false, "Error in 'repeat' command\nopening '{' not found", ""},
      {"repeat 2 { set r 1", false, "Error in 'repeat' command\nclosing '}' not found", ""},
      {"switch 1 case 1 { }", false, "Error in 'switch' command\nbrace enclosed cases not found", ""},
      {"switch 2 { case 1 { set r 1 } case 2 }", false,
       "Error in 'switch' command's 'case' 2.000000\nno brace enclosed script found", ""},
      {"switch 1 { default }", false, "Error in 'switch' command's 'default' case\nno brace enclosed script found", ""},
      {"switch 1 { cas 1 { } }", false,
       "Error in 'switch' command\nEncountered 'cas'\nOnly 'case' and 'default' tags are allowed", ""},
      {"partition 1 {1} { }", false, partition + "list of m-partions not found\n", ""},
      {"partition {1 2", false, partition + "list of m-partions not found\n1 2 set after 1\n", ""},
      {"partition {1} 1 { }", false, partition + "list of n-partions not found", ""},
      {"partition {1} {1} set", false, partition + "script not found", ""},
      {"set 0 42 if 1 { pop never_pushed }", false, kPopFailed, "0=42"},  // a failing block restores 0
      {"if 0 { } { pop never_pushed }", false, kPopFailed, ""},
      {"switch 1.5 { case 1.5 {} }", false, "Error in 'switch' command's 'case' 1.5\nits script is empty", ""},
      {"set n 0 set 0 5 repeat 4 { set n [n+1] if0 [$0-1] { pop never_pushed } }", false, kPopFailed, "n=2 0=5"},
      {"set m 7 partition {1 1} {1} { pop never_pushed }", false, kPopFailed, "m=7"},
  }, " set after 1");
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

// A repeat block of plain settings is read once and run without a stream; the same block
// with a command after it (an empty if) runs through the interpreter. Both must give the
// same result, messages (kind, line, text) and parameters; `prepared` says which blocks
// take the short way.
TEST_F(Control, PreparedLoopsMatchTheInterpreter) {
  const std::string start = "set s 0 set x0 5 set x1 6 set 0 -7 @twice = 2*$0 ;\n";
  const struct { std::string body; bool prepared; } rows[] = {
      {"set s [s + $0 * 0.5 - 1]", true},
      {"set t [t+1]\n\nset u [t*$0]", true},          // made on the first pass, read before set
      {"set a [nosuch+1]\nset b [1]", true},          // alerts every pass, on its own line
      {"set a [2*-3]\nset b [a+ ) 1]", true},         // warnings of the evaluator
      {"set a [x$0+1] set b [twice+a]", true},        // an indexed name, a stored expression
      {"set 0 [$0*10] set a [a+$0]", true},           // "0" changed inside the block
      {"set a [b=a+1] set c [b]", true},              // an assignment in the expression
      {"set a [(1+2]", true}, {"set a [w$nosuch]", true},
      {"set a [1 2]", false}, {"set a 5", false}, {"set color 1 2 3 4", false},
      {"set tolerance [1]", false}, {"@q = 1 ; set a [q]", false}, {"set a [1] ifset a { }", false}, {"", true},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.body);
    std::vector<std::string> seen[2];
    std::map<std::string, double> params[2];
    bool ok[2];
    for (int plain = 0; plain < 2; ++plain) {
      reset_script_state();
      sink.clear();
      ok[plain] = run(start + "repeat 3 {\n" + row.body + (plain ? "\nif 0 { }\n}" : "\n}") + " set after 1");
      for (const auto& e : sink.entries) seen[plain].push_back(e.kind + std::to_string(e.where.line) + e.text);
      params[plain] = gParameters;
    }
    EXPECT_EQ(ok[0], ok[1]);
    EXPECT_EQ(seen[0], seen[1]);
    EXPECT_EQ(params[0], params[1]);
    EXPECT_EQ(LoopBlock(ScriptText::of(row.body), {"test.vmf", 2}).prepared(), row.prepared);
  }
}
