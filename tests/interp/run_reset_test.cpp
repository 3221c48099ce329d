// Every run starts from the state the libraries left: nothing a previous run pushed or
// stored survives into the next one.
#include "interp/interp.h"

#include "interp/placement.h"
#include "script/parameters.h"
#include "script/scriptstream.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

namespace {

struct Case { const char* id; const char* first; const char* second; bool second_ok; };

class RunResetTest : public ScriptTest {
protected:
  void TearDown() override {
    reset_script_state();
    stored_expressions.clear();
    matrix_stack.clear();
    gParameterFrames.clear();
    keep_startup_state();
    ScriptTest::TearDown();
  }
  // Runs two whole scripts one after the other; returns the second run's result.
  bool run_twice(const char* first, const char* second) {
    std::string a = first, b = second;
    start_script(a, "first.vmf");
    sink.clear();
    return start_script(b, "second.vmf") && sink.alerts().empty();
  }
};

TEST_F(RunResetTest, NothingPushedOrStoredByOneRunReachesTheNext) {
  const Case cases[] = {
      {"matrix", "push_matrix mx 1", "pop_matrix", false},
      {"frame", "push_frame", "pop_frame", false},
      {"expression", "@e = 2 ; set x 1", "set x [e]", false},
      {"variable", "set v 1 push v", "pop v", false},
      {"clean second run", "set x 1", "push_matrix pop_matrix", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.id);
    EXPECT_EQ(run_twice(c.first, c.second), c.second_ok);
    EXPECT_TRUE(matrix_stack.empty());
    EXPECT_TRUE(gParameterFrames.empty());
  }
}

TEST_F(RunResetTest, StartUpStateIsKeptForEveryRun) {
  ASSERT_TRUE(run("@lib_e = 5 ; set unused 0 push_matrix mz 2 push_frame"));
  keep_startup_state();
  const char* scripts[] = {"pop_matrix pop_frame set x [lib_e] push_matrix @other = 1 ; set y 0",
                           "pop_matrix pop_frame set x [lib_e]"};
  for (const char* text : scripts) {
    SCOPED_TRACE(text);
    std::string s = text;
    EXPECT_TRUE(start_script(s, "run.vmf"));
    EXPECT_TRUE(alerts().empty());
    EXPECT_EQ(gParameters["x"], 5);
    sink.clear();
    reset_script_state();
    EXPECT_EQ(stored_expressions.count("other"), 0u);
    EXPECT_EQ(matrix_stack.size(), 1u);
    EXPECT_EQ(gParameterFrames.size(), 1u);
  }
}

}  // namespace
