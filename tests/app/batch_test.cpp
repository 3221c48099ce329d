// The program end to end: options, exit statuses, batch runs and where messages point.
#include "meshio/BinFile.h"
#include "support/test_support.h"

#include <string>

namespace {
bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

struct Batch {
  std::string dir = make_temp_dir();
  ProcessResult run(const std::string& script, const std::string& name = "s.vmf") {
    write_file(dir + "/" + name, script);
    return run_pelgrove({"--run", name, "out.dvk"}, dir);
  }
  std::string mesh() const { return read_file(dir + "/out.dvk"); }
};
}  // namespace

TEST(Options, HelpAndBadOptionsExitWithTheirStatus) {
  struct Row {
    std::vector<std::string> args;
    int status;
    const char* err;
  } rows[] = {
      {{"--h"}, 1, "Description of Command Line Options:\n\t--l <value>\n"},
      {{"-help"}, 1, "\t--run <value> <value>\n\t\tthe two values specify input.vmf output.dvk"},
      {{"--bogus"}, 1, "unrecognized command line option: --bogus\n"},
      {{"--run", "only.vmf"}, 2, "***ERROR***\n\t--run <value> <value>\n\tdid not have all values\n"},
      {{"--L"}, 1, "***ERROR***\n\t--L <value>\n\tcould not read a value\n"},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.args[0]);
    ProcessResult p = run_pelgrove(r.args);
    EXPECT_EQ(p.status, r.status);
    EXPECT_TRUE(contains(p.err, r.err)) << p.err;
  }
}

TEST(Options, LibraryDirectoryHelpTextIsIndented) {
  ProcessResult p = run_pelgrove({"--h"});
  EXPECT_TRUE(contains(p.err, "\t--L <value>\n\t\tthe value specifies a directory of library files to load\n"
                              "\t\tas well as the default '$VORN_HOME/share/etc/pelgrove'\n"));
  EXPECT_TRUE(contains(p.err, "\t--h\n\t\tPrint this help message\n"));
}

TEST(Batch, MissingInputFailsWithItsReasonAndWritesNothing) {
  Batch b;
  ProcessResult p = run_pelgrove({"--run", "nothing.vmf", "out.dvk"}, b.dir);
  EXPECT_EQ(p.status, 1);
  EXPECT_EQ(p.err, "nothing.vmf: cannot read the script: No such file or directory\n");
  EXPECT_FALSE(read_file(b.dir + "/out.dvk").size() > 0);
}

TEST(Batch, EmptyScriptWritesAnEmptyMesh) {
  Batch b;
  ProcessResult p = b.run("");
  EXPECT_EQ(p.status, 0) << p.err;
  EXPECT_EQ(b.mesh(), "no title\n0 0 0\n");
}

TEST(Batch, PrintWritesToStandardOutput) {
  Batch b;
  ProcessResult p = b.run("set w 3\nprint w\nset v [w*2.5]\nprint v\n");
  EXPECT_EQ(p.status, 0) << p.err;
  EXPECT_TRUE(contains(p.out, "w=3\nv=7.5\n")) << p.out;
}

TEST(Batch, ErrorsNameFileAndLineAndFailTheRun) {
  struct Row {
    const char* id;
    const char* script;
    const char* err;
  } rows[] = {
      {"top level", "set a 1\n\nset bad-name 2\n", "s.vmf:3: Invalid parameter Name 'bad-name'"},
      {"in a block", "set a 1\nrepeat 2 {\n  set b 1\n  set bad-name 2\n}\n", "s.vmf:4: Invalid parameter Name"},
      {"nested blocks", "if 1 {\n  if 1 {\n\n    nosuchword\n  }\n}\n",
       "s.vmf:4: ERROR: did not find a builder called 'nosuchword'"},
      {"unknown word", "# comment\nfrobnicate 1 2\n", "s.vmf:2: ERROR: did not find a builder called 'frobnicate'\n"},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.id);
    Batch b;
    ProcessResult p = b.run(r.script);
    EXPECT_EQ(p.status, 1);
    EXPECT_TRUE(contains(p.err, r.err)) << p.err;
    EXPECT_EQ(b.mesh().substr(0, 9), "no title\n");
  }
}

TEST(Batch, MeshOfPartsBuiltBeforeAnErrorIsStillWritten) {
  Batch b;
  ProcessResult p = b.run("set element_type quads\nplate p 1 1  0 0 0  1 0 0  1 1 0  0 1 0\nset bad-name 1\n");
  EXPECT_EQ(p.status, 1);
  EXPECT_EQ(b.mesh().substr(0, 15), "no title\n4 1 1\n");
}

// Mistakes inside an expression are reported and evaluation goes on, but the run fails.
TEST(Batch, ExpressionMistakesFailTheRunButEvaluationGoesOn) {
  struct Row {
    const char* script;
    const char* err;
    const char* out;
  } rows[] = {
      {"set a [2+nosuch+1]\nprint a\n", "s.vmf:1: unknown function or variable 'nosuch'", "a=2\n"},
      {"set a 1\nset a [2+nosuch(1)]\nprint a\n",
       "s.vmf:2: Allowed Functions:\n  Unknown Function named 'nosuch' requested\n", "a=2\n"},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.script);
    Batch b;
    ProcessResult p = b.run(r.script);
    EXPECT_EQ(p.status, 1);
    EXPECT_TRUE(contains(p.err, r.err)) << p.err;
    EXPECT_TRUE(contains(p.out, r.out)) << p.out;
  }
}

TEST(Batch, BoxExampleIsOneClosedMesh) {
  Batch b;
  ProcessResult p = run_pelgrove({"--run", std::string(PELGROVE_SOURCE_DIR) + "/examples/box.vmf", "out.dvk"}, b.dir);
  EXPECT_EQ(p.status, 0) << p.err;
  // 6 faces of 8x8 cells: 6*64 quads; points on a closed box: 6*81 - 12*9 + 8 = 386.
  EXPECT_EQ(b.mesh().substr(0, 19), "no title\n386 384 6\n");
}

TEST(Interactive, WithoutDisplayFailsWithAMessage) {
  ProcessResult p = run_pelgrove({});
  EXPECT_EQ(p.status, 1);
  EXPECT_FALSE(p.err.empty());
}

TEST(Install, InstalledTreeLoadsItsPartLibrary) {
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

TEST(Libraries, DirectoriesAndFilesLoadInOrderAndDefineFunctions) {
  Batch b;
  const std::string lib1 = b.dir + "/lib1", lib2 = b.dir + "/lib2";
  ASSERT_EQ(std::system(("mkdir -p '" + lib1 + "' '" + lib2 + "'").c_str()), 0);
  write_file(lib1 + "/a9.vmf", "set from_a9 9\n");
  write_file(lib1 + "/a10.vmf", "define twice 1 { set got [$1*2] }\n");
  write_file(lib1 + "/b.vmf", "set from_b 1\n");
  write_file(lib1 + "/notes.txt", "not a library\n");
  write_file(lib2 + "/broken.vmf", "set bad-name 1\n");
  write_file(b.dir + "/single.vmf", "set from_file 5\n");
  write_file(b.dir + "/s.vmf", "twice 21\nprint got\nprint from_a9\nprint from_file\n");
  ProcessResult p = run_pelgrove({"--L", lib1, "--L", lib2, "--l", "single.vmf", "--run", "s.vmf", "out.dvk"}, b.dir);
  EXPECT_EQ(p.status, 1) << "a library the user named failed: " << p.err;
  // Within a directory the numerically sorted names load last to first.
  size_t b_vmf = p.out.find("preloading " + lib1 + "/b.vmf... ok\n");
  size_t a10 = p.out.find("preloading " + lib1 + "/a10.vmf... ok\n");
  size_t a9 = p.out.find("preloading " + lib1 + "/a9.vmf... ok\n");
  size_t broken = p.out.find("preloading " + lib2 + "/broken.vmf... failed\n");
  size_t single = p.out.find("single.vmf... ok\n");
  ASSERT_NE(a9, std::string::npos) << p.out;
  EXPECT_LT(b_vmf, a10);
  EXPECT_LT(a10, a9);
  EXPECT_LT(a9, broken);
  EXPECT_LT(broken, single);
  EXPECT_FALSE(contains(p.out, "notes.txt"));
  EXPECT_TRUE(contains(p.err, lib2 + "/broken.vmf:1: Invalid parameter Name 'bad-name'")) << p.err;
  EXPECT_TRUE(contains(p.out, "got=42\nfrom_a9=9\nfrom_file=5\n")) << p.out;
}

// --format picks the writer of the --run output; an unknown name is a command-line error.
TEST(Batch, FormatOptionChoosesTheWriter) {
  const std::string plates = "set element_type quads\nplate a 2 1  0 0 0  2 0 0  2 1 0  0 1 0\n"
                             "plate b 1 1  0 1 0  2 1 0  2 2 0  0 2 0\n";
  struct Row {
    std::vector<std::string> args;
    int status;
    const char* err;
    const char* mesh_begins;  // the output's first bytes; "VBF": a binary mesh of 8 points, 3 elements
  } rows[] = {
      {{"--run", "s.vmf", "out"}, 0, "", "no title\n8 3 2\n"},
      {{"--format", "dvk", "--run", "s.vmf", "out"}, 0, "", "no title\n8 3 2\n"},
      {{"--run", "s.vmf", "out", "--format", "vbf"}, 0, "", "VBF"},
      {{"--format", "vbf", "--format", "dvk", "--run", "s.vmf", "out"}, 0, "", "no title\n8 3 2\n"},
      {{"--format", "VBF", "--run", "s.vmf", "out"}, 2,
       "--format <value>\n\t\tthe value names the format of the --run output file:\n\t\tdvk  ascii mesh file (.dvk) "
       "(the default)\n\t\tvbf  binary mesh file (.vbf)\n",
       nullptr},
      {{"--format", "ply", "--run", "s.vmf", "out"}, 2,
       "***ERROR***\n\t--format <value>\n\tunknown format 'ply'; the formats are dvk, vbf, vtu, msh, stl, obj\n",
       nullptr},
      {{"--run", "s.vmf", "out", "--format"}, 2, "***ERROR***\n\t--format <value>\n\tdid not have all values\n", nullptr},
  };
  for (const auto& r : rows) {
    std::string id;
    for (const auto& a : r.args) id += a + " ";
    SCOPED_TRACE(id);
    Batch b;
    write_file(b.dir + "/s.vmf", plates);
    ProcessResult p = run_pelgrove(r.args, b.dir);
    EXPECT_EQ(p.status, r.status);
    EXPECT_TRUE(contains(p.err, r.err)) << p.err;
    const std::string out = read_file(b.dir + "/out");
    if (!r.mesh_begins) {
      EXPECT_EQ(out, "");
    } else if (std::string(r.mesh_begins) == "VBF") {
      iBinFile f(b.dir + "/out");
      ASSERT_TRUE(f.IsOpen());
      EXPECT_EQ(f.SectionCount(), 4);
      EXPECT_EQ(f.SectionSize(0), 8u);
      EXPECT_EQ(f.SectionSize(1), 3u);
    } else {
      EXPECT_EQ(out.substr(0, std::string(r.mesh_begins).size()), r.mesh_begins);
    }
  }
}

TEST(Batch, FailedWriteFailsTheRun) {
  for (const char* format : {"dvk", "vbf"}) {
    SCOPED_TRACE(format);
    Batch b;
    write_file(b.dir + "/s.vmf", "plate a 1 1  0 0 0  1 0 0  1 1 0  0 1 0\n");
    ProcessResult p = run_pelgrove({"--format", format, "--run", "s.vmf", "missing/out"}, b.dir);
    EXPECT_EQ(p.status, 1);
    EXPECT_EQ(dir_entries(b.dir), std::vector<std::string>{"s.vmf"});
  }
}
