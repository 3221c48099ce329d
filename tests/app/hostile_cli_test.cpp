// Command lines and files chosen to break a batch run: values with blanks, pins and
// distances that do not read, outputs that are the run's own inputs, special files, writes
// that fail part way, names too long to echo. Each ends with a message or a right result.
#include "support/batch_runner.h"
#include "support/test_support.h"

#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

using namespace batch_rows;

namespace {
const std::string PLATE_MESH = "no title\n4 2 1\n";
const Files PRINT_A = script("print a\n");
// A --D value refused for `why`.
Run bad_pin(const std::string& value, const std::string& why) {
  return {"pin", {"--D", value, "--run", "s.vmf", "out.dvk"}, PRINT_A, 2,
          "pelgrove: --D: the value of '" + value + "' is " + why + "\n"};
}
std::string no_writer(const std::string& ext, const std::string& output) {
  return "pelgrove: warning: no writer makes '." + ext + "' files: '" + output + "' gets the ascii mesh file (.dvk); "
         "choose a format with --format NAME or the output name's extension: dvk, vbf, vtu, msh, stl, obj, inp, bdf, "
         "unv\n";
}
std::string not_written(const std::string& output, const std::string& role) {
  return "pelgrove: --run: the output '" + output + "' is " + role + "; the mesh is not written over it\n";
}
}  // namespace

TEST(HostileCommandLine, ValuesAndRefusals) {
  const std::string long_word(1000000, 'x'), malformed = "not a well-formed expression: ";
  check({
      // a value is the whole argument, blanks and all
      {"script name with a blank", {"--run", "my s.vmf", "out.dvk"}, {{"my s.vmf", PLATE[0].second}}, 0, "", "",
       PLATE_MESH.c_str()},
      {"output name with a blank", {"--run", "s.vmf", "my dir/../out.dvk"}, {PLATE[0], {"my dir/keep", ""}}, 0, "", "",
       PLATE_MESH.c_str()},
      {"reference name with a blank", {"--compare", "my ref.dvk", "--run", "s.vmf", "out.dvk"},
       {PLATE[0], {"my ref.dvk", "no title\n0 0 0\n"}}, 1, "", "compare with my ref.dvk"},
      {"library file and folder with a blank", {"--l", "my lib.vmf", "--L", "my lib", "--run", "s.vmf", "out.dvk"},
       {{"my lib.vmf", "set a 4\n"}, {"my lib/l.vmf", "set b 5\n"}, {"s.vmf", "print a\nprint b\n"}}, 0, "",
       "a=4\nb=5\n"},
      // a pin is one well-formed, finite value
      bad_pin("a=1 junk", "not a number or a [bracketed expression]"),
      bad_pin("a=[sin(]", malformed + "it ends without its last value"),
      bad_pin("a=[1+]", malformed + "it ends without its last value"),
      bad_pin("a=[]", malformed + "it is empty"),
      bad_pin("a=[(1]", malformed + "a '(' is not closed"),
      bad_pin("a=[1 2]", malformed + "an operator is missing before '2'"),
      bad_pin("a=[1/0]", "not finite"),
      {"well-formed pin", {"--D", "a=[-2*(1+sin(0))^2 + rand()*0]", "--run", "s.vmf", "out.dvk"}, PRINT_A, 0, "",
       "a=-2\n"},
      {"negative --tol", {"--tol", "-1", "--run", "s.vmf", "out.dvk"}, PLATE, 2,
       "pelgrove: --tol: the distance must be a number of 0 or more\n"},
      // the output is never one of the run's inputs, however it is spelt
      {"output is the script", {"--run", "s.vmf", "./s.vmf"}, PLATE, 2, not_written("./s.vmf", "the script ('s.vmf')"),
       "", ""},
      {"output is the reference", {"--compare", "ref.dvk", "--run", "s.vmf", "ref.dvk"},
       {PLATE[0], {"ref.dvk", "no title\n0 0 0\n"}}, 2,
       not_written("ref.dvk", "the reference mesh of --compare ('ref.dvk')"), "", ""},
      {"output is a reference not made yet", {"--compare", "new.dvk", "--run", "s.vmf", "sub/../new.dvk"},
       {PLATE[0], {"sub/keep", ""}}, 2,
       not_written("sub/../new.dvk", "the reference mesh of --compare ('new.dvk')"), "", ""},
      {"output is a library file", {"--l", "l.vmf", "--run", "s.vmf", "l.vmf"}, {PLATE[0], {"l.vmf", "set a 1\n"}}, 2,
       not_written("l.vmf", "a library file (--l) ('l.vmf')"), "", ""},
      {"output is an included file", {"--run", "s.vmf", "part.vmf"},
       {{"s.vmf", "include part.vmf\n"}, {"part.vmf", PLATE[0].second}}, 1,
       no_writer("vmf", "part.vmf") +
       "s.vmf: the mesh is not written to 'part.vmf': it is '$DIR/part.vmf', which the script included\n", "", ""},
      {"output is an imported file", {"--run", "s.vmf", "m.dvk"},
       {{"s.vmf", "import dvk m.dvk\n"}, {"m.dvk", "t\n3 1 1\n1 0 0 0\n2 1 0 0\n3 0 1 0\ntriangle 1 3 1\n1 2 3\n1 a\n"}}, 1,
       "s.vmf: the mesh is not written to 'm.dvk': it is 'm.dvk', which the script imported\n", "", ""},
      {"picture is an included file", {"--run", "s.vmf", "out.dvk", "--image", "part.vmf"},
       {{"s.vmf", "include part.vmf\n"}, {"part.vmf", PLATE[0].second}}, 1,
       "part.vmf: the picture is not written: it is '$DIR/part.vmf', which the script included\n"},
      // an extension no writer knows warns, the run's outcome stays; no extension is the ascii mesh
      {"unknown extension", {"--run", "s.vmf", "out.mesh"}, PLATE, 0, no_writer("mesh", "out.mesh")},
      {"no extension", {"--run", "s.vmf", "out"}, PLATE, 0, ""},
      // a word too long to echo is cut, in every message
      {"long unknown word", RUN, script(long_word + "\n"), 1,
       "s.vmf:1: ERROR: did not find a builder called '" + long_word.substr(0, 99) + "...(1000002 characters)\n"},
      {"reference that is a device", {"--compare", "/dev/zero", "--run", "s.vmf", "out.dvk"}, PLATE, 1,
       "pelgrove: cannot read reference mesh '/dev/zero': not a regular file\n"},
  }, true);
  check({
      {"--tol that is no number", {"--tol", "1e-3x", "--run", "s.vmf", "out.dvk"}, PLATE, 2,
       "***ERROR***\n\t--tol <value>\n\tcould not read the value '1e-3x'\n", "", ""},
      {"long unknown option", {"--" + std::string(300, 'y')}, {}, 1,
       "unrecognized command line option: --" + std::string(98, 'y') + "...(302 characters)\n"},
  }, false);
}

// A FIFO as the reference would block the run for ever.
TEST(HostileCommandLine, ReferenceFifoIsRefused) {
  const std::string dir = make_temp_dir();
  write_file(dir + "/s.vmf", PLATE[0].second);
  ASSERT_EQ(mkfifo((dir + "/ref.dvk").c_str(), 0600), 0);
  EXPECT_EQ(run_pelgrove({"--compare", "ref.dvk", "--run", "s.vmf", "out.dvk"}, dir).err,
            "pelgrove: cannot read reference mesh 'ref.dvk': not a regular file\n");
}

// A write that fails leaves the old file whole and nothing beside it: a file-size limit
// (which would end the process), a folder where no temporary can be made, a read-only file.
// The last two run as an unprivileged user, for whom permissions hold.
TEST(HostileCommandLine, FailedWritesKeepTheOldFile) {
  const std::string as_user = geteuid() == 0 ? "setpriv --reuid=65534 --regid=65534 --clear-groups " : "";
  if (!as_user.empty() && std::system("command -v setpriv >/dev/null") != 0) GTEST_SKIP() << "no setpriv";
  struct Case {
    const char* id;
    std::string prefix;  // before the program, in its shell
    mode_t folder, file;
    std::string err;
  };
  for (const Case& c : std::vector<Case>{
           {"file-size limit", "ulimit -f 8 && ", 0777, 0666, "out/m.dvk: cannot write the mesh: File too large\n"},
           {"read-only folder", as_user, 0555, 0666, "out/m.dvk: cannot write the mesh: Permission denied\n"},
           {"read-only file", as_user, 0777, 0444, "out/m.dvk: cannot write the mesh: Permission denied\n"},
       }) {
    SCOPED_TRACE(c.id);
    const std::string dir = make_temp_dir();
    write_file(dir + "/s.vmf", "plate p 40 40  0 0 0  1 0 0  1 1 0  0 1 0\n");
    write_file(dir + "/out/m.dvk", "old\n");
    chmod((dir + "/out/m.dvk").c_str(), c.file);
    chmod((dir + "/out").c_str(), c.folder);
    chmod(dir.c_str(), 0777);
    const ProcessResult p = run_pelgrove({"--run", "s.vmf", "out/m.dvk"}, dir, c.prefix);
    chmod((dir + "/out").c_str(), 0777);
    EXPECT_EQ(p.status, 1);
    EXPECT_EQ(p.err, c.err);
    EXPECT_EQ(read_file(dir + "/out/m.dvk"), "old\n");
    EXPECT_EQ(dir_entries(dir + "/out"), std::vector<std::string>{"m.dvk"});
  }
}

// A symbolic link is followed: the file it names is made or replaced, the link stays.
TEST(HostileCommandLine, OutputThroughASymbolicLink) {
  const std::string dir = make_temp_dir();
  write_file(dir + "/s.vmf", PLATE[0].second);
  write_file(dir + "/meshes/keep", "");
  ASSERT_EQ(symlink("meshes/m.dvk", (dir + "/link.dvk").c_str()), 0);
  ASSERT_EQ(run_pelgrove({"--run", "s.vmf", "link.dvk"}, dir).status, 0);
  struct stat st;
  ASSERT_EQ(lstat((dir + "/link.dvk").c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
  EXPECT_EQ(read_file(dir + "/meshes/m.dvk").substr(0, PLATE_MESH.size()), PLATE_MESH);
  EXPECT_EQ(dir_entries(dir + "/meshes"), (std::vector<std::string>{"keep", "m.dvk"}));
  EXPECT_EQ(run_pelgrove({"--run", "s.vmf", "meshes/../link.dvk", "--compare", "link.dvk"}, dir).status, 2);
}
