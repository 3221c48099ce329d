#include "interp/interp.h"

#include "builders/builders.h"
#include "grid/Grid.h"
#include "grid/pelgrove_MxN.h"
#include "interp/library.h"
#include "interp/params.h"
#include "interp/placement.h"
#include "script/scriptstream.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// A builder that reads one number x and makes a two-point part at (x, 0, 0) and (0, 1, 0).
bool probe_builder(std::string name, scriptstream& in, std::string& message) {
  double x = 0;
  in >> x;
  if (!in.good()) {
    message = "expected x";
    return false;
  }
  auto* g = new Grid_MxN(name, 1, 0);
  g->mPts[0].x = x;
  g->mPts[1].y = 1;
  return true;
}

// A builder that reports success without making a part.
bool empty_builder(std::string, scriptstream&, std::string&) { return true; }

bool throwing_command(scriptstream&) { throw "poorly formed function or variable name"; }

// Runs itself again as a nested script, without end.
bool recursing_command(scriptstream&) { return run_tmp_script("probe_recurse "); }

MessageLocation location_seen_after_nested_run;
bool nested_then_look_command(scriptstream&) {
  bool ok = run_tmp_script("set nested 1\nset nested 2\n", {"inner.vmf", 40});
  location_seen_after_nested_run = message_location();
  return ok;
}

std::string gFormBlock, gFormTitle;
bool gFormRebuilt = false;
bool form_hook(const std::string& block, const std::string& title, std::string& script) {
  gFormBlock = block;
  gFormTitle = title;
  if (gFormRebuilt) return false;
  script = "set form_value 7\n";
  return true;
}

int gVersionHookCalls = 0;
void version_hook() { ++gVersionHookCalls; }

class InterpTest : public ScriptTest {
protected:
  void SetUp() override {
    ScriptTest::SetUp();
    gBuilders["probe_part"] = Builder("probe_part", probe_builder);
    gBuilders["probe_empty"] = Builder("probe_empty", empty_builder);
    commands["probe_throw"] = {"probe_throw", throwing_command};
    commands["probe_recurse"] = {"probe_recurse", recursing_command};
    commands["probe_nested"] = {"probe_nested", nested_then_look_command};
  }
  void TearDown() override {
    for (const char* b : {"probe_part", "probe_empty"}) gBuilders.erase(b);
    for (const char* c : {"probe_throw", "probe_recurse", "probe_nested"}) commands.erase(c);
    for (const std::string& f : defined) {
      gLibraries.erase(f);
      gLibraries.erase(f + "_doc");
      gLibraries_args.erase(f);
      gLibraries_origin.erase(f);
    }
    gSimpleFormHook = nullptr;
    gShowVersionHook = nullptr;
    ScriptTest::TearDown();
  }
  // Library functions a case defines; removed again when it ends.
  std::vector<std::string> defined;

  bool has(const std::string& name) const { return gParameters.count(name) != 0; }
  double param(const std::string& name) const { return gParameters.at(name); }
  std::vector<CaptureSink::Entry> of_kind(const std::string& kind) const {
    std::vector<CaptureSink::Entry> out;
    for (const auto& e : sink.entries)
      if (e.kind == kind) out.push_back(e);
    return out;
  }
};

}  // namespace

TEST_F(InterpTest, CommandTableHoldsEveryCommandWithItsUsageText) {
  struct Row {
    const char* name;
    const char* usage;
  } rows[] = {
      {"stop", "stop"},
      {"build", "build  <library_function_name> <arg1 ...> ;"},
      {"move", "move  <dx> <dy> <dz>"},
      {"rz", "rz  <deg>"},
      {"push", "push  <variable_name>"},
      {"pop", "pop  <variable_name>"},
      {"array", "array <parameter_name> { <val0> <val1> .. }"},
      {"simple_form", "simple_form {<set commands>}"},
      {"partition", "partition {m1 m2 ...} {n1 n2 ...} { <script> }"},
      {"switch", "switch <value> {\n  case <value1> {<script1>}\n  case <value2> {<script2>}\n   ...\n"
                 "  default {<default_script>}}"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    ASSERT_EQ(commands.count(row.name), 1u);
    EXPECT_EQ(commands[row.name].usage, row.usage);
    EXPECT_NE(commands[row.name].handler, nullptr);
  }
  const char* all[] = {"stop", "version", "set", "array", "simple_form", "include", "define", "build",
                       "repeat", "if", "if0", "ifpos", "ifneg", "ifset", "ifnset", "switch", "move", "mx",
                       "my", "mz", "rx", "ry", "rz", "print", "push_rgba", "pop_rgba", "push", "pop",
                       "push_frame", "pop_frame", "push_matrix", "pop_matrix", "begin", "begin_numbered",
                       "push_name", "pop_name", "delete", "function", "partition"};
  for (const char* name : all) {
    SCOPED_TRACE(name);
    EXPECT_EQ(commands.count(name), 1u);
  }
}

TEST_F(InterpTest, UnknownWordAsksAndEndsTheRun) {
  EXPECT_FALSE(run("set a 1\nfrobnicate 2\nset b 2\n"));
  auto questions = of_kind("choice");
  ASSERT_EQ(questions.size(), 1u);
  EXPECT_EQ(questions[0].text,
            "ERROR: did not find a builder called 'frobnicate'\nWould you like to see a list of builders?");
  EXPECT_EQ(questions[0].where.file, "test.vmf");
  EXPECT_EQ(questions[0].where.line, 2);
  EXPECT_TRUE(of_kind("list").empty());  // the default answer is "No"
  EXPECT_TRUE(has("a"));
  EXPECT_FALSE(has("b"));
}

TEST_F(InterpTest, UnknownWordAnsweredYesListsBuildersAndCommands) {
  sink.answer = 1;
  EXPECT_FALSE(run("frobnicate"));
  auto lists = of_kind("list");
  ASSERT_EQ(lists.size(), 1u);
  EXPECT_EQ(lists[0].title, "Builders and Commands");
  EXPECT_NE(lists[0].text.find("\nplate\n"), std::string::npos);
  EXPECT_NE(lists[0].text.find("\nmove  <dx> <dy> <dz>\n"), std::string::npos);
  EXPECT_LT(lists[0].text.find("plate"), lists[0].text.find("move  <dx>"));
}

TEST_F(InterpTest, AlertsCarryTheFileAndLineOfTheirCommand) {
  struct Row {
    const char* id;
    const char* script;
    int line;
  } rows[] = {
      {"top level", "set a 1\n\nset b x\n", 3},
      {"first line", "set", 1},
      {"inside a form block", "set a 1\nsimple_form {\n  set b 2\n  set c x\n}\n", 4},
      {"after a nested block", "simple_form { set b 2 }\nset a 1\n\nset c x\n", 4},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.id);
    sink.clear();
    EXPECT_FALSE(run(row.script));
    ASSERT_EQ(sink.entries.size(), 1u);
    EXPECT_EQ(sink.entries[0].where.file, "test.vmf");
    EXPECT_EQ(sink.entries[0].where.line, row.line);
  }
}

TEST_F(InterpTest, NestedRunRestoresTheLocationOfTheCommandThatStartedIt) {
  set_message_location({"outer.vmf", 3});
  EXPECT_TRUE(run("\n\nprobe_nested\n"));
  EXPECT_EQ(param("nested"), 2);
  EXPECT_EQ(location_seen_after_nested_run.file, "test.vmf");
  EXPECT_EQ(location_seen_after_nested_run.line, 3);
  // and the caller's location is back once the whole run is over
  EXPECT_EQ(message_location().file, "outer.vmf");
}

TEST_F(InterpTest, StopEndsOnlyTheStreamItIsReadFrom) {
  EXPECT_TRUE(run("set a 1 stop set b 2"));
  EXPECT_TRUE(has("a"));
  EXPECT_FALSE(has("b"));

  reset_script_state();
  EXPECT_TRUE(run("simple_form { set a 1 stop set c 3 }\nset b 2\n"));
  EXPECT_TRUE(has("a"));
  EXPECT_FALSE(has("c"));
  EXPECT_TRUE(has("b"));

  reset_script_state();
  EXPECT_TRUE(run("set n 0\nrepeat 3 { set n [n+1] stop set m 1 }\nset after 1\n"));
  EXPECT_EQ(param("n"), 3);
  EXPECT_FALSE(has("m"));
  EXPECT_TRUE(has("after"));
  EXPECT_TRUE(sink.entries.empty());
}

TEST_F(InterpTest, CommandsHideLibraryFunctionsWhichHideBuilders) {
  defined = {"print", "probe_part"};
  EXPECT_TRUE(run("define print 0 { set library_ran 1 }\n"
                  "define probe_part 0 { set library_ran 2 }\n"
                  "set x 1\nprint x\n"));
  EXPECT_FALSE(has("library_ran"));  // print stayed the command

  EXPECT_TRUE(run("probe_part\n"));
  EXPECT_EQ(param("library_ran"), 2);
  EXPECT_TRUE(Grid::gGrids.empty());

  EXPECT_TRUE(run("build print ;\n"));
  EXPECT_EQ(param("library_ran"), 1);
}

TEST_F(InterpTest, BuilderTakesItsPartNameAndIsPlaced) {
  EXPECT_TRUE(run("mx 5\nprobe_part first 1\n"));
  ASSERT_EQ(Grid::gGrids.size(), 1u);
  Grid& g = *Grid::gGrids[0];
  EXPECT_EQ(g.name(), "first");
  EXPECT_DOUBLE_EQ(g.point(0).x, 6);
  EXPECT_DOUBLE_EQ(g.point(1).x, 5);
  EXPECT_DOUBLE_EQ(g.point(1).y, 1);
}

TEST_F(InterpTest, BuilderInsideNamedPartsReadsNoNameWord) {
  EXPECT_TRUE(run("begin wing\nprobe_part 2\nprobe_part 3\n"));
  ASSERT_EQ(Grid::gGrids.size(), 2u);
  EXPECT_EQ(Grid::gGrids[0]->name(), part_name);
  EXPECT_DOUBLE_EQ(Grid::gGrids[0]->point(0).x, 2);
  EXPECT_DOUBLE_EQ(Grid::gGrids[1]->point(0).x, 3);
}

TEST_F(InterpTest, FailingBuilderReportsItsMessageAndStops) {
  EXPECT_FALSE(run("probe_part p1 1\n\nprobe_part p2 x\nset after 1\n"));
  ASSERT_EQ(alerts().size(), 1u);
  EXPECT_EQ(alerts()[0], "ERROR: while parsing p2, builder probe_part failed with message:\nexpected x");
  EXPECT_EQ(sink.entries[0].where.line, 3);
  EXPECT_EQ(Grid::gGrids.size(), 1u);
  EXPECT_FALSE(has("after"));
}

TEST_F(InterpTest, BuilderThatMakesNoPartLeavesEarlierPartsUnmoved) {
  EXPECT_TRUE(run("probe_part p 1\nmx 10\nprobe_empty q\n"));
  ASSERT_EQ(Grid::gGrids.size(), 1u);
  EXPECT_DOUBLE_EQ(Grid::gGrids[0]->point(0).x, 1);
}

TEST_F(InterpTest, BraceContentsTakesOneBalancedBlock) {
  struct Row {
    const char* text;
    bool ok;
    const char* contents;
    int next;  // the character left in the stream
  } rows[] = {
      {"{a {b} c} rest", true, "a {b} c", ' '},
      {"  \n{x}y", true, "x", 'y'},
      {"{}x", true, "", 'x'},
      {"{a", false, "", EOF},
      {"{a {b}", false, "", EOF},
      {"abc {d}", false, "", 'a'},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.text);
    scriptstream_priv s(row.text, {"b.vmf", 1});
    std::string out;
    EXPECT_EQ(brace_contents(s, out), row.ok);
    if (row.ok) {
      EXPECT_EQ(out, row.contents);
    }
    EXPECT_EQ(s.peek(), row.next);
  }
}

TEST_F(InterpTest, BraceContentsReportsWhereTheBlockBegins) {
  scriptstream_priv s("set a 1\n\n  {\n set b 2 }", {"b.vmf", 10});
  std::string word, out;
  s >> word >> word >> word;
  MessageLocation where;
  ASSERT_TRUE(brace_contents(s, out, &where));
  EXPECT_EQ(where.file, "b.vmf");
  EXPECT_EQ(where.line, 12);
}

TEST_F(InterpTest, TmpScriptsEndInABlankAndFailOnlyWhenEmpty) {
  scriptstream_priv s("{set a 1}", {});
  std::string out;
  ASSERT_TRUE(grab_tmp_script(s, out));
  EXPECT_EQ(out, "set a 1 ");

  EXPECT_FALSE(run_tmp_script(""));
  EXPECT_TRUE(run_tmp_script("   "));
  EXPECT_TRUE(run_tmp_script("set a 4"));
  EXPECT_EQ(param("a"), 4);
  EXPECT_TRUE(sink.entries.empty());
}

TEST_F(InterpTest, RunBlockRestoresThePartName) {
  EXPECT_TRUE(run("begin outer\n"));
  std::string before = part_name;
  EXPECT_TRUE(run_block("begin inner probe_part 1", {"t.vmf", 1}));
  EXPECT_EQ(part_name, before);
  EXPECT_TRUE(run_block("", {"t.vmf", 1}));  // an empty block does nothing and succeeds
}

TEST_F(InterpTest, PoorlyFormedNameEndsTheRunWithAMessage) {
  struct Row {
    const char* id;
    const char* script;
  } rows[] = {
      {"thrown by a command", "set a 1\nprobe_throw\nset b 2\n"},
      {"from an expression", "set a 1\nset c [a$nosuch]\nset b 2\n"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.id);
    reset_script_state();
    sink.clear();
    EXPECT_FALSE(run(row.script));
    ASSERT_EQ(alerts().size(), 1u);
    EXPECT_EQ(alerts()[0], "poorly formed function or variable name");
    EXPECT_EQ(sink.entries[0].where.line, 2);
    EXPECT_FALSE(has("b"));
  }
}

TEST_F(InterpTest, EndlessNestingStopsAtAFixedDepth) {
  const std::string message =
      "script nesting deeper than 256 levels (a library function or include that calls itself?)";
  EXPECT_FALSE(run("probe_recurse\nset after 1\n"));
  EXPECT_EQ(alerts(), std::vector<std::string>{message});
  EXPECT_FALSE(has("after"));

  sink.clear();
  defined = {"probe_self"};
  EXPECT_FALSE(run("define probe_self 0 { set depth [depth+1] probe_self }\nset depth 0\nprobe_self\n"));
  EXPECT_EQ(alerts(), std::vector<std::string>{message});
  EXPECT_EQ(param("depth"), 256);
}

TEST_F(InterpTest, NestingBelowTheLimitRuns) {
  defined = {"probe_count"};
  // each call nests two runs: the body and the ifneg block
  EXPECT_TRUE(run("define probe_count 0 { set d [d+1] ifneg [d-120] { probe_count } }\nset d 0\nprobe_count\n"));
  EXPECT_EQ(param("d"), 120);
  EXPECT_TRUE(alerts().empty());
}

TEST_F(InterpTest, PrintWritesKnownParametersAndStopsSilentlyOnOthers) {
  testing::internal::CaptureStdout();
  EXPECT_TRUE(run("set a 2.5\nset big 1234567\nprint a\nprint big\n"));
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "a=2.5\nbig=1.23457e+06\n");

  testing::internal::CaptureStdout();
  EXPECT_FALSE(run("print nothing_here\nset after 1\n"));
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  EXPECT_TRUE(sink.entries.empty());
  EXPECT_FALSE(has("after"));
}

TEST_F(InterpTest, VersionPrintsTheVersionTextWithoutAWindow) {
  testing::internal::CaptureStdout();
  EXPECT_TRUE(run("version"));
  EXPECT_EQ(testing::internal::GetCapturedStdout(), std::string(version_text()) + "\n");

  gShowVersionHook = version_hook;
  gVersionHookCalls = 0;
  testing::internal::CaptureStdout();
  EXPECT_TRUE(run("version"));
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  EXPECT_EQ(gVersionHookCalls, 1);
}

TEST_F(InterpTest, SimpleFormWithoutAFormRunsItsBlock) {
  EXPECT_TRUE(run("simple_form \"Sizes\" {\n set w 3\n set h [w*2]\n}\nset after 1\n"));
  EXPECT_EQ(param("w"), 3);
  EXPECT_EQ(param("h"), 6);
  EXPECT_TRUE(has("after"));
  EXPECT_TRUE(run("simple_form {}"));
}

TEST_F(InterpTest, SimpleFormHandsBlockAndTitleToTheForm) {
  gSimpleFormHook = form_hook;
  gFormRebuilt = false;
  struct Row {
    const char* script;
    const char* title;
  } rows[] = {
      {"simple_form \"My Values\" { set a 1 }", "My Values"},
      {"simple_form   \"\"{ set a 1 }", ""},
      {"simple_form { set a 1 }", "Values and Expressions"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.script);
    reset_script_state();
    EXPECT_TRUE(run(row.script));
    EXPECT_EQ(gFormTitle, row.title);
    EXPECT_EQ(gFormBlock, " set a 1 ");
    EXPECT_EQ(param("form_value"), 7);  // the form's values are run, not the block
    EXPECT_FALSE(has("a"));
  }
}

TEST_F(InterpTest, SimpleFormFailures) {
  gSimpleFormHook = form_hook;
  gFormRebuilt = true;
  EXPECT_FALSE(run("simple_form { set a 1 }\nset after 1\n"));
  EXPECT_EQ(alerts(), std::vector<std::string>{"simple_form contents synchronized with script"});
  EXPECT_FALSE(has("after"));

  for (const char* script : {"simple_form set a 1", "simple_form \"T\" { set a 1", "simple_form"}) {
    SCOPED_TRACE(script);
    sink.clear();
    EXPECT_FALSE(run(script));
    EXPECT_EQ(alerts(), std::vector<std::string>{"simple_form Definition Error\ndid not find a brace enclosed block"});
  }
}

TEST_F(InterpTest, StartScriptBeginsFromACleanState) {
  std::string first = "set leftover 1\npush leftover\nbegin named\nprobe_part 1\nmx 3\n";
  EXPECT_TRUE(start_script(first));
  ASSERT_EQ(Grid::gGrids.size(), 1u);
  EXPECT_FALSE(gTransformation.empty());

  std::string empty;
  EXPECT_TRUE(start_script(empty));
  EXPECT_TRUE(Grid::gGrids.empty());
  EXPECT_FALSE(has("leftover"));
  EXPECT_TRUE(var_stack.empty());
  EXPECT_EQ(part_name, "unnamed");
  EXPECT_FALSE(named_parts);
  EXPECT_TRUE(gTransformation.empty());
  EXPECT_EQ(param("units"), 1);
}

TEST_F(InterpTest, StartScriptKeepsAndNumbersPartsMadeBeforeAFailure) {
  std::string text = "probe_part a 1\nprobe_part b 1\nnonsense\n";
  EXPECT_FALSE(start_script(text, "parts.vmf"));
  ASSERT_EQ(Grid::gGrids.size(), 2u);
  // the two parts share both points: merged, the second part's points link to the first's
  EXPECT_EQ(Grid::gGrids[0]->point(0).id, 1);
  EXPECT_EQ(Grid::gGrids[0]->point(1).id, 2);
  EXPECT_EQ(Grid::gGrids[1]->point(0).mapped_to, &Grid::gGrids[0]->point(0));
  auto questions = of_kind("choice");
  ASSERT_EQ(questions.size(), 1u);
  EXPECT_EQ(questions[0].where.file, "parts.vmf");
  EXPECT_EQ(questions[0].where.line, 3);
}
