// The command loop, blocks, simple_form, print and version, and whole runs.
#include "interp/interp.h"

#include "builders/builders.h"
#include "grid/Grid.h"
#include "grid/part_names.h"
#include "grid/pelgrove_MxN.h"
#include "interp/placement.h"
#include "script/scriptstream.h"
#include "support/script_runner.h"

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

// A form that records the block and title it is shown and answers with its own values.
std::string gFormBlock, gFormTitle;
bool gFormRebuilt = false;
bool form_hook(const std::string& block, const std::string& title, std::string& script) {
  gFormBlock = block;
  gFormTitle = title;
  script = "set form_value 7\n";
  return !gFormRebuilt;
}

class InterpTest : public ScriptRuns {
protected:
  Interp_Hooks mHooks;  // as the set-up left them; put back after each case
  void SetUp() override {
    ScriptRuns::SetUp();
    mHooks = interp_hooks();
    gBuilders["probe_part"] = Builder("probe_part", probe_builder);
    gBuilders["probe_empty"] = Builder("probe_empty", [](std::string, scriptstream&, std::string&) { return true; });
    gBuilders["probe_nested"] = Builder("probe_nested", [](std::string, scriptstream&, std::string& message) {
      run_tmp_script("set nested 1\n", {"inner.vmf", 40});
      message = "after a nested run";
      return false;
    });
  }
  void TearDown() override {
    for (const char* b : {"probe_part", "probe_empty", "probe_nested"}) gBuilders.erase(b);
    install_interp_hooks(mHooks);
    gFormRebuilt = false;
    ScriptRuns::TearDown();
  }
};

const char* const kNoBlock = "simple_form Definition Error\ndid not find a brace enclosed block";
// The message for a word on line 1 that names nothing, with the name it may be a slip for.
std::string unknown(const std::string& word, const std::string& hint = "") {
  return "1: ERROR: did not find a builder called '" + word + "'\n" +
         (hint.empty() ? "" : "did you mean '" + hint + "'?\n") + "Would you like to see a list of builders?";
}

}  // namespace

TEST_F(InterpTest, RunsStopAtTheFirstFailingCommand) {
  check({
      {"set a 1 stop set b 2", true, "", "a=1 b=-"},
      {"simple_form { set c 1 stop set d 3 }\nset e 2\n", true, "", "c=1 d=- e=2"},  // stop ends only the block
      {"simple_form \"Sizes\" {\n set w 3\n set h [w*2]\n}\nset e 1\n", true, "", "h=6 e=1"},  // no form: runs it
      // a nested run gives the location of its command back
      {"\n\nprobe_nested n", false,
       "3: ERROR: while parsing n, builder probe_nested failed with message:\nafter a nested run", "nested=1"},
      {"simple_form {\n set b 2 }\nset a 1\n\nset c x\n", false,
       "5: expected a valid numeric value to set the parameter 'c'", "b=2 a=1"},
      {"set a 1\nset c [a$nosuch]\nset b 2\n", false, "2: poorly formed function or variable name", "b=-"},
      {"probe_part p1 1\n\nprobe_part p2 x\nset b 1\n", false,
       "3: ERROR: while parsing p2, builder probe_part failed with message:\nexpected x", "b=-"},
      {"print nothing_here\nset b 1\n", false, "1: print: no parameter named 'nothing_here'", "b=-"},
      {"simple_form set a 1", false, std::string("1: ") + kNoBlock, ""},
      {"simple_form \"T\" { set a 1", false, std::string("1: ") + kNoBlock, ""},
      {"frobnicate 2\nset b 2\n", false, unknown("frobnicate"), "b=-"},
      // a mistyped builder, command or library function name is named; far-off words are not
      {"plat p 1 1  0 0 0  1 0 0  1 1 0  0 1 0", false, unknown("plat", "plate"), ""},
      {"cylnder c 1 1  1 0 0  1 90 0  1 90 1  1 0 1", false, unknown("cylnder", "cylinder"), ""},
      {"define ring_of { set a 1 } rign_of", false, unknown("rign_of", "ring_of"), ""},
      {"stes a 1", false, unknown("stes"), ""},
      // so are mistyped parameters in expressions and print
      {"set width 2\nset a [widht*2]", true,
       "2: unknown function or variable 'widht'\nIf this was supposed to be a new variable use '=' immediately "
       "after the name\ndid you mean 'width'?", "a=0"},
      {"set width 2\nprint wdth", false, "2: print: no parameter named 'wdth'\ndid you mean 'width'?", ""},
  });
}

TEST_F(InterpTest, UnknownWordAnsweredYesListsBuildersThenCommandUsages) {
  sink.answer = 1;
  EXPECT_FALSE(run("frobnicate"));
  ASSERT_EQ(sink.entries.size(), 2u);
  EXPECT_EQ(sink.entries[1].title, "Builders and Commands");
  const std::string& list = sink.entries[1].text;
  ASSERT_NE(list.find("\nmove  <dx> <dy> <dz>\n"), std::string::npos);
  EXPECT_LT(list.find("\nplate\n"), list.find("\nmove  <dx> <dy> <dz>\n"));
  EXPECT_NE(list.find("\nswitch <value> {\n  case <value1> {<script1>}\n  case <value2> {<script2>}\n   ...\n"
                      "  default {<default_script>}}\n"), std::string::npos);
}

TEST_F(InterpTest, BuilderTakesItsPartNameUnlessNamedAndOnlyItsPartIsPlaced) {
  EXPECT_TRUE(run("mx 5\nprobe_part first 1\nbegin wing\nset units 0.5\nprobe_part 2\nmx 10\nprobe_empty\n"));
  ASSERT_EQ(Grid::gGrids.size(), 2u);
  EXPECT_EQ(Grid::gGrids[0]->name(), "first");
  EXPECT_DOUBLE_EQ(Grid::gGrids[0]->point(0).x, 6);
  EXPECT_DOUBLE_EQ(Grid::gGrids[0]->point(1).x, 5);
  EXPECT_EQ(Grid::gGrids[1]->name(), part_name);
  EXPECT_DOUBLE_EQ(Grid::gGrids[1]->point(0).x, 3.5);  // placed, then scaled by units; not moved again
  EXPECT_DOUBLE_EQ(Grid::gGrids[1]->point(1).y, 0.5);   // by the builder that made nothing
}

// The block's text and where it begins; on failure the stream stops where the reading did.
TEST_F(InterpTest, BraceContentsTakesOneBalancedBlock) {
  struct Row { const char* text; bool ok; const char* contents; int next, line; } rows[] = {
      {"{a {b} c} rest", true, "a {b} c", ' ', 10}, {"  \n{x}y", true, "x", 'y', 11},
      {"\n\n{\nx} ", true, "\nx", ' ', 12},        {"{}x", true, "", 'x', 10},
      {"{a", false, "", EOF, 0}, {"{a {b}", false, "", EOF, 0}, {"abc {d}", false, "", 'a', 0}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.text);
    scriptstream_priv s(row.text, {"b.vmf", 10});
    std::string out;
    MessageLocation where;
    EXPECT_EQ(brace_contents(s, out, &where), row.ok);
    EXPECT_EQ(s.peek(), row.next);
    if (!row.ok) continue;
    EXPECT_EQ(out + " @" + where.file + ":" + std::to_string(where.line),
              row.contents + std::string(" @b.vmf:") + std::to_string(row.line));
  }
  EXPECT_FALSE(run_tmp_script(""));  // only an empty text fails
  EXPECT_TRUE(run_tmp_script("   "));
}

TEST_F(InterpTest, SimpleFormShowsBlockAndTitleAndRunsTheFormsValues) {
  Interp_Hooks form = interp_hooks();
  form.simple_form = form_hook;
  install_interp_hooks(form);
  for (auto [script, title] : {std::pair{"simple_form \"My Values\" { set a 1 }", "My Values"},
                               {"simple_form   \"\"{ set a 1 }", ""},
                               {"simple_form { set a 1 }", "Values and Expressions"}}) {
    EXPECT_TRUE(run(script));
    EXPECT_EQ(gFormTitle, title);
    EXPECT_EQ(gFormBlock, " set a 1 ") << script;
  }
  gFormRebuilt = true;
  check({{"simple_form { set a 1 }\nset b 1\n", false, "1: simple_form contents synchronized with script", "b=-"}});
  gFormRebuilt = false;
  check({{"simple_form { set a 1 }", true, "", "form_value=7 a=-"}});
}

TEST_F(InterpTest, PrintAndVersionWriteToStandardOutput) {
  testing::internal::CaptureStdout();
  EXPECT_TRUE(run("set big 1234567\nprint big\nversion\n"));
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "big=1.23457e+06\n" + std::string(version_text()) + "\n");
}

TEST_F(InterpTest, StartScriptMergesPartsBeforeAFailureThenStartsClean) {
  std::string text = "set left 1\npush left\nbegin named\nmx 3\nprobe_part 1\nprobe_part 1\nnonsense\n";
  EXPECT_FALSE(start_script(text, "parts.vmf"));
  ASSERT_EQ(Grid::gGrids.size(), 2u);
  EXPECT_EQ(Grid::gGrids[1]->point(0).mapped_to, &Grid::gGrids[0]->point(0));  // same points: merged
  ASSERT_EQ(sink.entries.size(), 1u);
  EXPECT_EQ(sink.entries[0].where.file, "parts.vmf");
  std::string empty;
  EXPECT_TRUE(start_script(empty));
  EXPECT_TRUE(Grid::gGrids.empty());
  EXPECT_EQ(gParameters.count("left"), 0u);
  EXPECT_TRUE(var_stack.empty());
  EXPECT_EQ(part_name, "unnamed");
  EXPECT_FALSE(named_parts);
  EXPECT_TRUE(gTransformation.empty());
}

// The state the libraries leave at start-up (stored expressions, a pushed placement and frame)
// is where every run starts; what a run adds is gone in the next.
TEST_F(InterpTest, StartUpStateIsKeptForEveryRun) {
  ASSERT_TRUE(run("@lib_e = 5 ; set unused 0 push_matrix mz 2 push_frame"));
  keep_startup_state();
  for (const char* text : {"pop_matrix pop_frame set x [lib_e] push_matrix @other = 1 ; push_frame set y 0",
                           "pop_matrix pop_frame set x [lib_e]"}) {
    SCOPED_TRACE(text);
    std::string script = text;
    EXPECT_TRUE(start_script(script, "run.vmf"));
    EXPECT_TRUE(alerts().empty());
    EXPECT_EQ(gParameters["x"], 5);
    reset_script_state();
    EXPECT_EQ(stored_expressions.count("other"), 0u);
    EXPECT_EQ(matrix_stack.size(), 1u);
    EXPECT_EQ(gParameterFrames.size(), 1u);
  }
  stored_expressions.clear(), matrix_stack.clear(), gParameterFrames.clear();
  keep_startup_state();
}
