// The program end to end: options, exit statuses, batch runs, mesh reports, and what it
// tells a user about a mistake (file and line, notes, warnings, repeat counts).
#include "app/mesh_reports.h"
#include "grid/Grid.h"
#include "support/batch_runner.h"
#include "support/test_support.h"

#include <cstring>
#include <filesystem>
#include <set>
#include <string>
#include <utility>
#include <vector>

using namespace batch_rows;

TEST(Batch, OptionsRunsAndReports) {
  const std::string format_help = "--format <value>\n\t\tthe value names the format of the --run output file:\n\t\t"
                                  "dvk  ascii mesh file (.dvk) (the default)\n\t\tvbf  binary mesh file (.vbf)\n";
  check({
      {"help", {"--h"}, {}, 1, "Description of Command Line Options:\n\t--l <value>\n"},
      {"help of --L", {"-help"}, {}, 1, "\t--L <value>\n\t\tthe value specifies a directory of library files to load\n"
                                        "\t\tas well as the default '$VORN_HOME/share/etc/pelgrove'\n"},
      {"help of --run", {"--h"}, {}, 1, "\t--run <value> <value>\n\t\tthe two values specify input.vmf output.dvk"},
      {"help of --h", {"--h"}, {}, 1, "\t--h\n\t\tPrint this help message\n"},
      {"unknown option", {"--bogus"}, {}, 1, "unrecognized command line option: --bogus\n"},
      {"--run short of a value", {"--run", "only.vmf"}, {}, 2,
       "***ERROR***\n\t--run <value> <value>\n\tdid not have all values\n", "", ""},
      {"--L without its value", {"--L"}, {}, 1, "***ERROR***\n\t--L <value>\n\tcould not read a value\n"},
      {"unknown table", {"--list", "gizmos"}, {}, 2,
       "unknown table 'gizmos'; valid tables: builders commands functions parts parameters\n"},
      {"--list without a table", {"--list"}, {}, 2, "***ERROR***\n\t--list <value>\n\tdid not have all values\n"},
      {"empty script", RUN, script(""), 0, "", "", "no title\n0 0 0\n"},
      // a library directory's functions serve the script; a library file loads after it
      {"libraries", {"--l", "one.vmf", "--L", "lib", "--run", "s.vmf", "out.dvk"},
       {{"lib/a.vmf", "define twice 1 { set got [$1*2] }\n"}, {"lib/a.txt", "set got 0\n"},
        {"one.vmf", "set from_file 5\n"}, {"s.vmf", "twice 21\nprint got\nprint from_file\n"}},
       0, "", "lib/a.vmf... ok\npreloading one.vmf... ok\ngot=42\nfrom_file=5\n"},
      {"print", RUN, script("set w 3\nprint w\nset v [w*2.5]\nprint v\n"), 0, "", "w=3\nv=7.5\n"},
      {"top level", RUN, script("set a 1\n\nset bad-name 2\n"), 1, "s.vmf:3: Invalid parameter Name 'bad-name'", "",
       "no title\n"},
      {"in a block", RUN, script("set a 1\nrepeat 2 {\n  set b 1\n  set bad-name 2\n}\n"), 1,
       "s.vmf:4: Invalid parameter Name", "", "no title\n"},
      {"nested blocks", RUN, script("if 1 {\n  if 1 {\n\n    nosuchword\n  }\n}\n"), 1,
       "s.vmf:4: ERROR: did not find a builder called 'nosuchword'", "", "no title\n"},
      {"unknown word", RUN, script("# comment\nfrobnicate 1 2\n"), 1,
       "s.vmf:2: ERROR: did not find a builder called 'frobnicate'\n", "", "no title\n"},
      {"mistyped word", RUN, script("sphre 1 2\n"), 1,
       "s.vmf:1: ERROR: did not find a builder called 'sphre'\ns.vmf:1: did you mean 'sphere'?\n", "", "no title\n"},
      {"parts built before an error are written", RUN,
       script("set element_type quads\nplate p 1 1  0 0 0  1 0 0  1 1 0  0 1 0\nset bad-name 1\n"), 1, "", "",
       "no title\n4 1 1\n"},
      // mistakes inside an expression are reported and evaluation goes on, but the run fails
      {"unknown name in an expression", RUN, script("set a [2+nosuch+1]\nprint a\n"), 1,
       "s.vmf:1: unknown function or variable 'nosuch'", "a=2\n"},
      {"unknown function", RUN, script("set a 1\nset a [2+nosuch(1)]\nprint a\n"), 1,
       "s.vmf:2: Allowed Functions:\n  Unknown Function named 'nosuch' requested\n", "a=2\n"},
      {"endless device", RUN, script("include /dev/zero\n"), 1, "s.vmf:1: '/dev/zero' is not a regular file", "",
       "no title\n"},
      // --format picks the writer of the --run output; the last one given counts
      {"dvk by default", RUN, PLATES, 0, "", "", "no title\n8 3 2\n"},
      {"the last --format", {"--format", "vbf", "--format", "dvk", "--run", "s.vmf", "out.dvk"}, PLATES, 0, "", "",
       "no title\n8 3 2\n"},
      {"format names are lower case", {"--format", "VBF", "--run", "s.vmf", "out.dvk"}, PLATES, 2, format_help, "", ""},
      {"unknown format", {"--format", "ply", "--run", "s.vmf", "out.dvk"}, PLATES, 2,
       "***ERROR***\n\t--format <value>\n\tunknown format 'ply'; the formats are dvk, vbf, vtu, msh, stl, obj, inp, bdf, unv\n", "",
       ""},
      {"--format without its value", {"--run", "s.vmf", "out.dvk", "--format"}, PLATES, 2,
       "***ERROR***\n\t--format <value>\n\tdid not have all values\n", "", ""},
      {"--format after the run's files", {"--run", "s.vmf", "out.dvk", "--format", "vtu"}, PLATES, 0, "", "",
       "<?xml version=\"1.0\"?>\n<VTKFile"},
      {"failed vbf write", {"--format", "vbf", "--run", "s.vmf", "no/out"}, PLATE, 1,
       "no/out: cannot write the mesh: No such file or directory\n", "", ""},
      // 6 faces of 8x8 cells: 6*64 quads; points on a closed box: 6*81 - 12*9 + 8 = 386
      {"--check=json", {"--check=json", "--run", BOX, "out.dvk"}, {}, 0, "", "^{\"points\":386,",
       "no title\n386 384 6\n"},
      {"--check", {"--check", "--run", BOX, "out.dvk"}, {}, 0, "", "points: 386\n"},
  }, false);
}

// --compare reads a reference mesh and tells how the run's mesh differs from it.
TEST(Batch, CompareWithAReferenceMesh) {
  // A golden mesh of three parts, and models to compare with it.
  const std::string floor = "set element_type quads\nplate floor 2 1  0 0 0  2 0 0  2 1 0  0 1 0\n";
  const std::string rest = "set element_type tri0\nplate wall 1 1  0 0 0  0 0 1  2 0 1  2 0 0\nline rail 2  0 1 0  2 1 0\n";
  const std::string model = floor + rest, golden_dir = make_temp_dir(), box_dir = make_temp_dir();
  write_file(golden_dir + "/s.vmf", model);
  ASSERT_EQ(run_pelgrove(RUN, golden_dir).status, 0);
  ASSERT_EQ(run_pelgrove({"--run", BOX, "out.dvk"}, box_dir).status, 0);
  auto against_golden = [&](const std::string& script) {
    return Files{{"golden.dvk", read_file(golden_dir + "/out.dvk")}, {"s.vmf", script}};
  };
  const std::vector<std::string> COMPARE = {"--compare", "golden.dvk", "--run", "s.vmf", "out.dvk"};
  check({
      {"--compare, equal", COMPARE, against_golden(model), 0, "",
       "compare with golden.dvk (points within 2e-12): the meshes match (8 points, 6 elements, 3 groups)\n"},
      {"--compare, the run's tolerance", {"--compare", "golden.dvk", "--run", BOX, "out.dvk"},
       {{"golden.dvk", read_file(box_dir + "/out.dvk")}}, 0, "",
       "compare with golden.dvk (points within 1e-06): the meshes match (386 points, 384 elements, 6 groups)\n"},
      {"--compare, parts made in another order (renumbered)", COMPARE,
       against_golden(rest + floor), 0, "", "the meshes match"},
      {"--compare, a part renamed (regrouped)", COMPARE, 
       against_golden(floor + "set element_type tri0\nplate side 1 1  0 0 0  0 0 1  2 0 1  2 0 0\n"
                              "line rail 2  0 1 0  2 1 0\n"), 1, "",
       "(points within 2e-12): 4 differences\n  group 'side' is not in the reference\n"},
      {"--compare, a part turned over", COMPARE,
       against_golden("set element_type quads\nplate floor 2 1  2 0 0  0 0 0  0 1 0  2 1 0\n" + rest), 1, "",
       "2 differences\n  element 1 of part 'floor' (quadrilateral 1 2 5 4) faces the other way in the reference "
       "(its element 2)\n"},
      {"--compare, shifted", COMPARE, against_golden("move 0 0 0.001\n" + model), 1, "",
       "28 differences\n  point 1 of part 'floor' at 0 0 0.001 has no reference point within 2e-12; the nearest, "
       "reference point 1, is 0.001 away\n"},
      {"--compare, shifted within --tol", {"--tol", "0.002", "--compare", "golden.dvk", "--run", "s.vmf", "out.dvk"},
       against_golden("move 0 0 0.001\n" + model), 0, "", "(points within 0.002): the meshes match"},
      {"--compare, unreadable reference", COMPARE, {{"golden.dvk", "no title\n3 1 1\n1 0 0 0\n"}, {"s.vmf", model}}, 1,
       "pelgrove: cannot read reference mesh 'golden.dvk'"},
      {"--compare, no reference", {"--compare", "none.dvk", "--run", BOX, "out.dvk"}, {}, 1,
       "pelgrove: cannot open reference mesh 'none.dvk': No such file or directory"},
  }, false);
}

using ReferenceMesh = ScriptTest;

// A reference that cannot be read leaves the model's parts as they were.
TEST_F(ReferenceMesh, UnreadableReferenceKeepsTheModel) {
  ASSERT_TRUE(run("plate floor 2 1  0 0 0  2 0 0  2 1 0  0 1 0\nline rail 2  0 1 0  2 1 0\n"));
  const std::vector<Grid*> parts = Grid::gGrids;
  ASSERT_EQ(parts.size(), 2u);
  const std::string dir = make_temp_dir();
  write_file(dir + "/bad.dvk", "no title\n3 1 1\n1 0 0 0\n");
  FlatMesh ref;
  std::string error;
  EXPECT_FALSE(load_reference_mesh(dir + "/bad.dvk", ref, error));
  EXPECT_EQ(Grid::gGrids, parts);
}

TEST(Batch, MessagesAreExact) {
  // The two lines an unknown name 'q' gives, at `where`.
  auto unknown_q = [](const std::string& where) {
    return where + ": unknown function or variable 'q'\n" + where +
           ": If this was supposed to be a new variable use '=' immediately after the name\n";
  };
  const std::string gather = "Could not gather all arguments for 'ring'\ns.vmf:3: should have an ending ';' after "
                             "final argument value\ns.vmf:3: if definition did not include a count\n";
  const std::string plate_fail = "s.vmf:2: ERROR: while parsing p, builder plate failed with message:\ns.vmf:2: "
                                 "expecting M N  a b c d\n";
  Files broken_lib = {{"s.vmf", "set a 1\n"}, {"lib/bad.vmf", "\npop q\n"}};
  check({
      // files that cannot be read or written; a failed run leaves no mesh file
      {"unreadable input", {"--run", "gone.vmf", "out.dvk"}, {}, 1,
       "gone.vmf: cannot read the script: No such file or directory\n", "", ""},
      {"input is a directory", {"--run", "d.vmf", "out.dvk"}, {{"d.vmf/x", ""}}, 1,
       "d.vmf: cannot read the script: Is a directory\n", "", ""},
      {"output in a missing directory", {"--run", "s.vmf", "no/out.dvk"}, PLATE, 1,
       "no/out.dvk: cannot write the mesh: No such file or directory\n", "", ""},
      {"output under a file", {"--run", "s.vmf", "s.vmf/out.dvk"}, PLATE, 1,
       "s.vmf/out.dvk: cannot write the mesh: Not a directory\n", "", ""},
      {"full disk", {"--run", "s.vmf", "/dev/full"}, PLATE, 1,
       "/dev/full: cannot write the mesh: No space left on device\n", "", ""},
      // libraries the user names must load; names that do not exist only warn
      {"missing library directory", {"--L", "nolib", "--run", "s.vmf", "out.dvk"}, script("set a 1\n"), 0,
       "nolib: warning: cannot list the library directory: No such file or directory\n"},
      {"missing library file", {"--l", "no.vmf", "--run", "s.vmf", "out.dvk"}, script("set a 1\n"), 0,
       "no.vmf: warning: cannot read the library file: No such file or directory\n"},
      {"failing library file", {"--L", "lib", "--run", "s.vmf", "out.dvk"}, broken_lib, 1,
       "$DIR/lib/bad.vmf:2: pop: no value of 'q' was pushed\n"},
      // a message names the line it concerns once, and says how it was reached
      {"stored expression without ';'", RUN, script("set a 1\n\n@r = 2*a\nset b 2\nset c 3\n"), 1,
       "s.vmf:3: syntax error stored expression, did you forget a terminating ';'?\ns.vmf:3: r= 2*a ...\n"},
      {"library functions, innermost first", RUN,
       {{"lib.vmf", "define inner 1 {\n  set r [$1*q]\n}\ndefine outer 1 {\n\n  inner 2\n}\n"},
        {"s.vmf", "include lib.vmf\nset a 1\n\nouter 2\n"}},
       1,
       unknown_q("$DIR/lib.vmf:2") + "$DIR/lib.vmf:6: note: in 'inner', called from here\n" +
           "s.vmf:4: note: in 'outer', called from here\n"},
      {"included file", RUN, {{"sub.vmf", "set a 1\npop a\n"}, {"s.vmf", "\ninclude sub.vmf\n"}}, 1,
       "$DIR/sub.vmf:2: pop: no value of 'a' was pushed\ns.vmf:2: note: in 'sub.vmf', included from here\n"},
      {"stored expression", RUN, script("@r = 2*q;\nset a 1\nset c [r+1]\n"), 1,
       unknown_q("s.vmf:1") + "s.vmf:3: note: in stored expression 'r', used here\n"},
      {"repeated in a loop", RUN, script("repeat 6 {\n  set b [q]\n}\nrepeat 2 { set c [q] }\n"), 1,
       unknown_q("s.vmf:2") + unknown_q("s.vmf:2") + unknown_q("s.vmf:2") + unknown_q("s.vmf:4") + unknown_q("s.vmf:4") +
           "s.vmf:2: unknown function or variable 'q' (repeated 3 more times)\n"},
      // arguments that cannot be read: how many were wanted and found, what a bare name was taken for
      {"library function", RUN, script("define ring 3 { }\nset a 1\nring 1 2\n"), 1,
       "s.vmf:3: " + gather + "s.vmf:3: 'ring' takes 3 arguments; 2 were found\n"},
      {"builder", RUN, script("\nplate p 1 1  0 0 0  1 0 0  1 1\n"), 1,
       plate_fail + "s.vmf:2: could not read coordinate values for c\ns.vmf:2: 'plate' takes 14 numbers; 10 could be read\n"},
      {"part name inside a block", RUN, script("if 1 {\n  plate p 1 1  0 0 0  1 0 0  1 1 0  0 1 0\n}\n"), 1,
       "s.vmf:2: ERROR: while parsing unnamed, builder plate failed with message:\ns.vmf:2: expecting M N  a b c d\n"
       "s.vmf:2: could not read dimension for M\ns.vmf:2: parts are named by 'begin' here (inside a block or library "
       "function, or after a naming command), so 'p' was read as an argument, not as the part name\n"},
      {"bare name for repeat", RUN, script("set n 3\nrepeat n { }\n"), 1,
       "s.vmf:2: Error in 'repeat' command\ns.vmf:2: opening '{' not found\n"
       "s.vmf:2: 'n' is a name, not a number: write [n] to use its value\n"},
      {"bare name for if", RUN, script("set n 3\nif n { }\n"), 1,
       "s.vmf:2: Error in 'if' command\ns.vmf:2: opening '{' not found\n"
       "s.vmf:2: 'n' is a name, not a number: write [n] to use its value\n"},
      // written rules that silently change a result warn, once per place; the values stay
      {"replaced operator", RUN, script("repeat 3 {\n  set a [2*-3]\n}\nprint a\n"), 0,
       "s.vmf:2: warning: in '2*-3', '-' replaces '*': an operator after another is not a sign\n"},
      {"ignored character", RUN, script("set a [1<2]\nset b [_x]\n"), 1,
       "s.vmf:1: warning: in '1<2', '<' is ignored\n"
       "s.vmf:2: warning: in '_x', '_' is ignored: a name starts with a letter\n"
       "s.vmf:2: unknown function or variable 'x'\n"
       "s.vmf:2: If this was supposed to be a new variable use '=' immediately after the name\n"},
      {"unmatched parenthesis", RUN, script("set a [2)+3]\nset b [(2+3))]\n"), 0,
       "s.vmf:1: warning: in '2)+3', ')' has no '(': the rest is ignored\n"
       "s.vmf:2: warning: in '(2+3))', ')' has no '(': it is ignored\n"},
      {"joined numbers", RUN, script("set a [2 3]\nset b [2 +3]\n"), 0,
       "s.vmf:1: warning: in '[2 3]', blank-separated numbers are joined: it reads as 23\n"},
  }, true);
}

// A model too big for the memory ends with a message and leaves no mesh file. (An
// address-space limit cannot be combined with AddressSanitizer's shadow memory.)
#if !defined(__SANITIZE_ADDRESS__)
TEST(Batch, ModelTooBigForTheMemory) {
  const std::string dir = make_temp_dir();
  write_file(dir + "/s.vmf", "box 0 1 2 8102\n");  // 6 faces of 8103 x 8103 points: far more than 4 GB
  ProcessResult p = run_pelgrove(RUN, dir, "ulimit -v 4000000 && ");
  EXPECT_EQ(p.status, 1);
  for (const char* e : {"ERROR: while parsing unnamed.bottom, builder plate failed",
                        "lattice of 8102 x 8102 cells: 65658609 points need",
                        "pelgrove: out.dvk not written: the model does not fit in memory"})
    EXPECT_TRUE(contains(p.err, e)) << p.err;
  EXPECT_EQ(dir_entries(dir), std::vector<std::string>{"s.vmf"});
}
#endif

TEST(Batch, InstalledTreeLoadsItsPartLibrary) {
  // An installed layout: <prefix>/bin/pelgrove beside <prefix>/share/etc/pelgrove.
  std::string prefix = make_temp_dir();
  std::string copy = "mkdir -p '" + prefix + "/bin' && cp '" + PELGROVE_BINARY + "' '" + prefix + "/bin/' && cp -r '" +
                     PELGROVE_SOURCE_DIR + "/share' '" + prefix + "/'";
  ASSERT_EQ(std::system(copy.c_str()), 0);
  write_file(prefix + "/crate.vmf", "set element_type quads\nbegin crate box 1 1 1 2\n");
  std::string run = "cd '" + prefix + "' && env -u VORN_HOME HOME='" + prefix + "' PATH=/usr/bin:/bin bin/pelgrove" +
                    " --run crate.vmf crate.dvk > out.txt 2> err.txt";
  EXPECT_EQ(std::system(run.c_str()), 0) << read_file(prefix + "/err.txt");
  EXPECT_TRUE(contains(read_file(prefix + "/out.txt"), "preloading " + prefix + "/share/etc/pelgrove/10-parts.vmf... ok"))
      << read_file(prefix + "/out.txt");
  // A closed 2 x 2 x 2 box: 6 * 4 quadrilaterals on 6 * 2 * 2 + 2 points.
  EXPECT_EQ(read_file(prefix + "/crate.dvk").substr(0, 16), "no title\n26 24 6");
}
