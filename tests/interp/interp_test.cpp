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

#include <sstream>
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

// A form that records the block and title it is shown and answers with its own values.
std::string gFormBlock, gFormTitle;
bool gFormRebuilt = false;
bool form_hook(const std::string& block, const std::string& title, std::string& script) {
  gFormBlock = block;
  gFormTitle = title;
  script = "set form_value 7\n";
  return !gFormRebuilt;
}

// One run: its script, whether it succeeds, the one message expected as "line: text" ("" for none),
// and "name=value ..." pairs to find afterwards ("name=-" for a name that must not exist).
struct Case { const char* script; bool ok; std::string alert; const char* params; };

class InterpTest : public ScriptTest {
protected:
  void SetUp() override {
    ScriptTest::SetUp();
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
    for (const char* f : {"probe_self", "probe_count", "push", "probe_part"}) {
      gLibraries.erase(f);
      gLibraries.erase(std::string(f) + "_doc");
      gLibraries_args.erase(f);
      gLibraries_origin.erase(f);
    }
    gSimpleFormHook = nullptr;
    gFormRebuilt = false;
    ScriptTest::TearDown();
  }
  bool has(const std::string& name) const { return gParameters.count(name) != 0; }
  // Runs each case in order from a fresh run state (library functions outlive it).
  void check(const std::vector<Case>& cases) {
    for (const Case& c : cases) {
      SCOPED_TRACE(c.script);
      reset_script_state();
      sink.clear();
      EXPECT_EQ(run(c.script), c.ok);
      std::vector<std::string> seen, expected;
      for (const auto& e : sink.entries) seen.push_back(std::to_string(e.where.line) + ": " + e.text);
      if (!c.alert.empty()) expected.push_back(c.alert);
      EXPECT_EQ(seen, expected);
      std::istringstream pairs(c.params);
      for (std::string pair; pairs >> pair;) {
        std::string name = pair.substr(0, pair.find('=')), value = pair.substr(pair.find('=') + 1);
        EXPECT_EQ(has(name), value != "-") << name;
        if (has(name) && value != "-") {
          EXPECT_EQ(gParameters[name], std::stod(value)) << name;
        }
      }
    }
  }
};

const char* const kNoBlock = "simple_form Definition Error\ndid not find a brace enclosed block";

}  // namespace

TEST_F(InterpTest, RunsStopAtTheFirstFailingCommand) {
  check({
      {"set a 1 stop set b 2", true, "", "a=1 b=-"},
      {"simple_form { set c 1 stop set d 3 }\nset e 2\n", true, "", "c=1 d=- e=2"},  // stop ends only the block
      {"simple_form \"Sizes\" {\n set w 3\n set h [w*2]\n}\nset e 1\n", true, "", "h=6 e=1"},  // no form: runs it
      {"\n\nprobe_nested n", false, "3: ERROR: while parsing n, builder probe_nested failed with message:\nafter a nested run",
       "nested=1"},  // a nested run gives the location of its command back
      {"simple_form {\n set b 2 }\nset a 1\n\nset c x\n", false,
       "5: expected a valid numeric value to set the parameter 'c'", "b=2 a=1"},
      {"set a 1\nset c [a$nosuch]\nset b 2\n", false, "2: poorly formed function or variable name", "b=-"},
      {"probe_part p1 1\n\nprobe_part p2 x\nset b 1\n", false,
       "3: ERROR: while parsing p2, builder probe_part failed with message:\nexpected x", "b=-"},
      {"print nothing_here\nset b 1\n", false, "1: print: no parameter named 'nothing_here'", "b=-"},
      {"simple_form set a 1", false, std::string("1: ") + kNoBlock, ""},
      {"simple_form \"T\" { set a 1", false, std::string("1: ") + kNoBlock, ""},
      {"set a 1\nfrobnicate 2\nset b 2\n", false,
       "2: ERROR: did not find a builder called 'frobnicate'\nWould you like to see a list of builders?", "b=-"},
  });
}

TEST_F(InterpTest, CommandsHideLibraryFunctionsWhichHideBuildersAndNestingIsBounded) {
  check({
      {"define push 0 { set ran 1 }\ndefine probe_part 0 { set ran 2 }\npush x\n", true, "", "ran=-"},
      {"probe_part", true, "", "ran=2"},
      {"build push ;", true, "", "ran=1"},
      // each probe_count call nests two runs: its body and the ifneg block
      {"define probe_count 0 { set d [d+1] ifneg [d-120] { probe_count } }\nprobe_count", true, "", "d=120"},
      {"define probe_self 0 { set d [d+1] probe_self }\nprobe_self\nset after 1", false,
       "1: script nesting deeper than 256 levels (a library function or include that calls itself?)",
       "d=256 after=-"},
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

TEST_F(InterpTest, BraceContentsTakesOneBalancedBlock) {
  struct Row { const char* text; bool ok; const char* contents; int next, line; } rows[] = {
      {"{a {b} c} rest", true, "a {b} c", ' ', 10},
      {"  \n{x}y", true, "x", 'y', 11},
      {"\n\n{\nx} ", true, "\nx", ' ', 12},
      {"{}x", true, "", 'x', 10},
      {"{a", false, "", EOF, 0},
      {"{a {b}", false, "", EOF, 0},
      {"abc {d}", false, "", 'a', 0},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.text);
    scriptstream_priv s(row.text, {"b.vmf", 10});
    std::string out;
    MessageLocation where;
    EXPECT_EQ(brace_contents(s, out, &where), row.ok);
    EXPECT_EQ(s.peek(), row.next);
    if (!row.ok) continue;
    EXPECT_EQ(out, row.contents);
    EXPECT_EQ(where.file, "b.vmf");
    EXPECT_EQ(where.line, row.line);
  }
  EXPECT_FALSE(run_tmp_script(""));  // only an empty text fails
  EXPECT_TRUE(run_tmp_script("   "));
}

TEST_F(InterpTest, SimpleFormShowsBlockAndTitleAndRunsTheFormsValues) {
  gSimpleFormHook = form_hook;
  struct Row { const char* script; const char* title; } rows[] = {
      {"simple_form \"My Values\" { set a 1 }", "My Values"},
      {"simple_form   \"\"{ set a 1 }", ""},
      {"simple_form { set a 1 }", "Values and Expressions"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.script);
    EXPECT_TRUE(run(row.script));
    EXPECT_EQ(gFormTitle, row.title);
    EXPECT_EQ(gFormBlock, " set a 1 ");
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
  EXPECT_FALSE(has("left"));
  EXPECT_TRUE(var_stack.empty());
  EXPECT_EQ(part_name, "unnamed");
  EXPECT_FALSE(named_parts);
  EXPECT_TRUE(gTransformation.empty());
}
