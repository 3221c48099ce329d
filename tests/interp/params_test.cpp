// Parameter commands, pins and the per-run reset; placement commands and the transformation text.
#include "interp/params.h"

#include "grid/Grid.h"
#include "interp/placement.h"
#include "support/script_runner.h"

#include <bit>
#include <random>

namespace {

const std::string kElementTypeHelp =
    "argument to 'set element_type' must be  one of the following:\n"
    "quads  to generate quadrilaterals\n"
    "tri0 or tri_uni  to generate uniformly oriented triangles\n"
    "tri1 or tri_alt  to generate alternately oriented triangles\n"
    "tri2 or tri_best to generate the best triangulation for the grid\n"
    "tri3 or tri_good to select only perceptably better diagonals\n";

using Params = ScriptRuns;

TEST_F(Params, ResetGivesThePredefinedSetPlusPreloadedNames) {
  EXPECT_TRUE(run("set debug 0 set stray 3 set units 25 mx 1"));
  EXPECT_TRUE(trace_back);  // whatever the value
  EXPECT_EQ(gParameters.count("debug"), 0u);
  gParameters_preloaded = {{"units", 1000}, {"lib.width", 4}};
  reset_params();
  const std::map<std::string, double> expected = {
      {"color.a", 1}, {"color.b", 0}, {"color.g", 0.8}, {"color.r", 1}, {"element_type", 1}, {"glLineWidth", 1},
      {"glPolygonOffset.factor", 1}, {"glPolygonOffset.units", 2}, {"lib.width", 4}, {"ptolerance", 0},
      {"refine.critical_A", 0.97}, {"refine.max_iter", 10}, {"refine.triangles", 1}, {"thickness", 0}, {"tolerance", 0}, {"units", 1}};
  EXPECT_EQ(gParameters, expected);
  EXPECT_FALSE(trace_back);
  EXPECT_TRUE(gTransformation.empty());
}

TEST_F(Params, SetArrayPushPopAndFrames) {
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
      {"set element_type tri0 set a [element_type] set element_type tri1 set b [element_type] set element_type tri2"
       " set c [element_type] set element_type tri3", true, "", "a=1 b=2 c=3 element_type=4"},
      {"set element_type tri_uni set a [element_type] set element_type tri_alt set b [element_type]"
       " set element_type tri_best set c [element_type] set element_type tri_good", true, "",
       "a=1 b=2 c=3 element_type=4"},
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
      {"set a 1 push_frame set a 2 set fresh 3 pop_frame", true, "", "a=1 fresh=-"},
      // a frame pushed by one run is gone in the next
      {"set kept 5 push_frame", true, "", "kept=5"},
      {"pop_frame set after 1", false, "pop_frame: no parameter frame was pushed", "kept=- after=-"},
  });
}

// Rows run in order, each from a fresh run state: a matrix pushed by one run is gone in the next.
TEST_F(Params, PlacementCommandsPrependTheirPairsOrFailLeavingTheText) {
  struct Row { const char* script; bool ok; const char* alert; const char* text; } rows[] = {
      {"", true, "", ""},
      {"mx 1 rz 90", true, "", "rz 90 mx 1 "},
      {"move 123456.7 2 3 ry -45", true, "", "ry -45 mx 123457 my 2 mz 3 "},  // six significant digits
      {"my 0.1234567 mz [2*3] rx 1e-7", true, "", "rx 1e-07 mz 6 my 0.123457 "},
      {"rx 5 set origin 1 2 3 set angles 90 0", true, "", "ry 0 rz 90 mx 1 my 2 mz 3 rx 5 "},
      {"mx 9 move 1 2", false, "Error in 'move' expecting dx dy dz arguments", "mx 9 "},
      {"mx 9 mx", false, "expected a value for mx", "mx 9 "},
      {"mx 9 my q", false, "expected a value for my", "mx 9 "},
      {"mx 9 set origin 1 2", false, "expected three values to set the current origin", "mx 9 "},
      {"mx 9 set angles 90", false, "expected two values to set the current rotation angles rz,ry", "mx 9 "},
      {"mx 1 push_matrix rz 45 push_matrix my 3 pop_matrix", true, "", "rz 45 mx 1 "},
      {"mx 1 push_matrix rz 45 pop_matrix", true, "", "mx 1 "},
      {"pop_matrix", false, "cant pop matrix... it wasn't pushed", ""},
  };
  for (const auto& row : rows) {
    check({{row.script, row.ok, row.alert, ""}});
    EXPECT_EQ(gTransformation.text(), row.text) << row.script;
  }
}

TEST_F(Params, LatestPlacementCommandActsFirstOnAPoint) {
  struct Row { const char* script; double local[3], placed[3]; } rows[] = {
      {"mx 1 rz 90", {1, 0, 0}, {1, 1, 0}}, {"rz 90 mx 1", {1, 0, 0}, {0, 2, 0}},
      {"rx 90", {0, 1, 0}, {0, 0, 1}},       {"ry 90", {0, 0, 1}, {1, 0, 0}},  {"rz 90", {1, 0, 0}, {0, 1, 0}},
      {"set angles 90 90", {0, 0, 1}, {0, 1, 0}},  // ry first, then rz
      {"set origin 10 0 0 rz 180", {1, 0, 0}, {9, 0, 0}},
  };
  for (const auto& row : rows) {
    check({{row.script, true, "", ""}});
    GridPt p;
    p.x = row.local[0], p.y = row.local[1], p.z = row.local[2];
    apply_transformation(p);
    const double placed[] = {p.x, p.y, p.z};
    for (int k = 0; k < 3; ++k) EXPECT_NEAR(placed[k], row.placed[k], 1e-12) << row.script << " axis " << k;
  }
}

// n pinned to 7 keeps that value whatever the script assigns; a pin nothing read is reported
// once, a predefined one (read by every part) never.
TEST_F(Params, PinnedValuesStayAndUnreadPinsAreReported) {
  std::string error;
  ASSERT_TRUE(pin_param("n=[3+4]", error)) << error;
  for (std::string script : {"set n 2\nset m [n]\n", "repeat 3 { set n [n+1] }\nset m [n]\n",
                             "define twice 1 { set n [$1*2] set m [n] }\ntwice 5\n",
                             "simple_form { set n 9 }\nset m [n]\n", "set m [n=3; n]\n",
                             "push n\nset n 1\npop n\nset m [n]\n", "push_frame\nset n 1\npop_frame\nset m [n]\n"}) {
    SCOPED_TRACE(script);
    start_script(script, "pins.vmf");
    EXPECT_EQ(gParameters["n"], 7);
    EXPECT_EQ(gParameters["m"], 7);
    EXPECT_TRUE(sink.warnings().empty());
  }
  ASSERT_TRUE(pin_param("tolerance=0.5", error));
  std::string unread = "set m 1\n";
  start_script(unread, "pins.vmf");
  EXPECT_EQ(sink.warnings(), std::vector<std::string>{"parameter 'n' given with --D was never read"});
  EXPECT_EQ(gParameters["tolerance"], 0.5);
}

TEST(PinOption, CommandLine) {
  const std::string dir = make_temp_dir();
  write_file(dir + "/s.vmf", "set n 2\nprint n\n");
  const struct { std::vector<std::string> args; int status; const char *out, *err; } cases[] = {
      {{"--D", "n=[2*4]", "--run", "s.vmf", "o.dvk"}, 0, "n=8\n", ""},
      {{"--D", "n=3", "--D", "k=1", "--run", "s.vmf", "o.dvk"}, 0, "n=3\n",
       "pelgrove: warning: parameter 'k' given with --D was never read\n"},
      {{"--D", "n=x", "--run", "s.vmf", "o.dvk"}, 2, "",
       "pelgrove: --D: the value of 'n=x' is not a number or a [bracketed expression]\n"},
      {{"--D", "n", "--run", "s.vmf", "o.dvk"}, 2, "",
       "pelgrove: --D: 'n' is not name=value (a name of letters, digits, '_' and '.')\n"},
  };
  for (const auto& c : cases) {
    const ProcessResult r = run_pelgrove(c.args, dir);
    EXPECT_EQ(r.status, c.status) << c.args[1] << r.err;
    EXPECT_NE(r.out.find(c.out), std::string::npos) << c.args[1] << ": " << r.out;
    EXPECT_NE(r.err.find(c.err), std::string::npos) << c.args[1] << ": " << r.err;
  }
}

}  // namespace

namespace {

// The transformation text replayed pair by pair, as it was read before it was kept parsed.
void replay_text(const std::string& text, double& x, double& y, double& z) {
  std::istringstream in(text);
  std::string w;
  for (double v; in >> w >> v;) {
    double* along = w[1] == 'x' ? &x : w[1] == 'y' ? &y : &z;
    if (w[0] == 'm') {
      *along += v;
      continue;
    }
    double c = std::cos(v * 0.017453292519943295), s = std::sin(v * 0.017453292519943295);
    double nx = x, ny = y, nz = z;
    if (w[1] == 'x') ny = c * y - s * z, nz = s * y + c * z;
    if (w[1] == 'y') nx = c * x + s * z, nz = c * z - s * x;
    if (w[1] == 'z') nx = c * x - s * y, ny = s * x + c * y;
    x = nx, y = ny, z = nz;
  }
}

}  // namespace

// Long random runs of moves (translations by round, huge and unround steps in turn, some
// turns, saved and restored copies) place every point to the bit as replaying each pair does.
TEST_F(Params, PlacementMatchesReplayingEveryPairToTheBit) {
  const std::vector<double> families[] = {{2, 0.5, -7.25, 4096, -0.0, 0},
                                          {8.98847e306, -8.98847e306, 4.5e15, 1e15},
                                          {0.1, 1e-7, 123456.7, 1e-300, 2}};
  const double coords[] = {0, -0.0, 1, 0.1, -3.5, 1e-310, 9007199254740991, -4503599627370497, 1.7e308, 1e300};
  std::mt19937 rng(7);
  std::vector<Placement> saved{Placement()};
  for (int step = 0; step < 3000; ++step) {
    const unsigned r = rng();
    if (r % 97 == 0) saved.push_back(gTransformation);
    if (r % 89 == 0) gTransformation = saved[rng() % saved.size()];
    const auto& values = families[step / 40 % 3];
    const std::string word = std::string(rng() % 20 ? "m" : "r") + "xyz"[rng() % 3];
    ASSERT_TRUE(prepend_transformation(word + " " + format_number(values[rng() % values.size()])));
    if (step % 5) continue;
    const std::string text = gTransformation.text();
    for (double c : coords) {
      double p[3] = {c, -c, 1}, q[3] = {c, -c, 1};
      gTransformation.apply(p[0], p[1], p[2]);
      replay_text(text, q[0], q[1], q[2]);
      for (int k = 0; k < 3; ++k)
        ASSERT_EQ(std::bit_cast<uint64_t>(p[k]), std::bit_cast<uint64_t>(q[k])) << "step " << step << " coordinate " << c;
    }
  }
  // A long row of moves is accepted, and the run's total is exact.
  check({{"repeat 40000 { mx 2.5 }", true, "", ""}});
  double x = 0.5, y = 0, z = 0;
  gTransformation.apply(x, y, z);
  EXPECT_EQ(x, 100000.5);
  EXPECT_EQ(gTransformation.size(), 40000u);
}
