// Parameters pinned with --D: assignments leave them alone; a pin nothing reads is reported.
#include "interp/params.h"
#include "support/script_runner.h"

namespace {

struct PinTest : ScriptTest {
  void TearDown() override {
    gPinnedParameters.clear();
    ScriptTest::TearDown();
  }
  // Runs `script` with n pinned to 7 and returns what n holds after every command.
  double run_pinned(std::string script) {
    std::string error;
    EXPECT_TRUE(pin_param("n=[3+4]", error)) << error;
    start_script(script, "pins.vmf");
    return gParameters["n"];
  }
};

TEST_F(PinTest, AssignmentsLeaveThePinnedValue) {
  const char* scripts[] = {
      "set n 2\nset m [n]\n",
      "repeat 3 { set n [n+1] }\nset m [n]\n",
      "define twice 1 { set n [$1*2] set m [n] }\ntwice 5\n",
      "simple_form { set n 9 }\nset m [n]\n",
      "set m [n=3; n]\n",
      "push n\nset n 1\npop n\nset m [n]\n",
      "push_frame\nset n 1\npop_frame\nset m [n]\n",
  };
  for (const char* script : scripts) {
    EXPECT_EQ(run_pinned(script), 7) << script;
    EXPECT_EQ(gParameters["m"], 7) << script;
    EXPECT_TRUE(sink.warnings().empty()) << script;
  }
}

TEST_F(PinTest, APinNothingReadIsReportedOnce) {
  std::string error;
  ASSERT_TRUE(pin_param("tolerance=0.5", error));  // predefined: read by every part
  run_pinned("set m 1\n");
  ASSERT_EQ(sink.warnings().size(), 1u);
  EXPECT_EQ(sink.warnings()[0], "parameter 'n' given with --D was never read");
  EXPECT_EQ(gParameters["tolerance"], 0.5);
}

TEST(PinOption, CommandLine) {
  const std::string dir = make_temp_dir();
  write_file(dir + "/s.vmf", "set n 2\nprint n\n");
  struct Case {
    std::vector<std::string> args;
    int status;
    const char* out;
    const char* err;
  } cases[] = {
      {{"--D", "n=[2*4]", "--run", "s.vmf", "o.dvk"}, 0, "n=8\n", ""},
      {{"--D", "n=3", "--D", "k=1", "--run", "s.vmf", "o.dvk"}, 0, "n=3\n",
       "pelgrove: warning: parameter 'k' given with --D was never read\n"},
      {{"--D", "n=x", "--run", "s.vmf", "o.dvk"}, 2, "",
       "pelgrove: --D: the value of 'n=x' is not a number or a [bracketed expression]\n"},
      {{"--D", "n", "--run", "s.vmf", "o.dvk"}, 2, "",
       "pelgrove: --D: 'n' is not name=value (a name of letters, digits, '_' and '.')\n"},
  };
  for (const Case& c : cases) {
    const ProcessResult r = run_pelgrove(c.args, dir);
    EXPECT_EQ(r.status, c.status) << c.args[1] << r.err;
    EXPECT_NE(r.out.find(c.out), std::string::npos) << c.args[1] << ": " << r.out;
    EXPECT_NE(r.err.find(c.err), std::string::npos) << c.args[1] << ": " << r.err;
  }
}

}  // namespace
