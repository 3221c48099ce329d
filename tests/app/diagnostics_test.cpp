// What the program tells a user about a mistake: the exact standard error of whole batch
// runs, with file and line, notes, warnings and repeat counts, and the exit status.
#include "support/test_support.h"

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace {

using Files = std::vector<std::pair<std::string, std::string>>;  // name relative to the run's directory, text

struct Row {
  const char* id;
  Files files;      // s.vmf is the script unless `args` says otherwise
  int status;
  std::string err;  // the whole standard error; $DIR stands for the run's directory
  std::vector<std::string> args = {"--run", "s.vmf", "out.dvk"};
};

void check(const std::vector<Row>& rows) {
  for (const Row& r : rows) {
    SCOPED_TRACE(r.id);
    std::string dir = make_temp_dir();
    for (const auto& [name, text] : r.files) {
      std::filesystem::create_directories(std::filesystem::path(dir + "/" + name).parent_path());
      write_file(dir + "/" + name, text);
    }
    ProcessResult p = run_pelgrove(r.args, dir);
    std::string err = r.err;
    for (size_t at; (at = err.find("$DIR")) != std::string::npos;) err.replace(at, 4, dir);
    EXPECT_EQ(p.err, err);
    EXPECT_EQ(p.status, r.status);
  }
}

}  // namespace

TEST(Diagnostics, CommandsThatFailSayWhy) {
  check({
      {"print of an unknown name", {{"s.vmf", "set a 1\nprint nope\n"}}, 1, "s.vmf:2: print: no parameter named 'nope'\n"},
      {"pop without push", {{"s.vmf", "\npop x\n"}}, 1, "s.vmf:2: pop: no value of 'x' was pushed\n"},
      {"pop_frame without push", {{"s.vmf", "pop_frame\n"}}, 1, "s.vmf:1: pop_frame: no parameter frame was pushed\n"},
      {"empty matching case", {{"s.vmf", "switch 2 {\n case 1 { set a 1 }\n case 2 {}\n}\n"}}, 1,
       "s.vmf:1: Error in 'switch' command's 'case' 2\ns.vmf:1: its script is empty\n"},
      {"unknown function type", {{"s.vmf", "function f cubic 2 1 2\n"}}, 1,
       "s.vmf:1: function 'f': unknown type 'cubic'\n"
       "s.vmf:1: the types are poly, bezier, fit, r_fit, b_fit and B_fit (see: function <func_name> <type> <definition>)\n"},
  });
}

TEST(Diagnostics, FilesThatCannotBeReadOrWrittenSayWhy) {
  const Files plate = {{"s.vmf", "plate p 1 1  0 0 0  1 0 0  1 1 0  0 1 0\n"}};
  check({
      {"unreadable input", {}, 1, "gone.vmf: cannot read the script: No such file or directory\n",
       {"--run", "gone.vmf", "out.dvk"}},
      {"input is a directory", {{"d.vmf/x", ""}}, 1, "d.vmf: cannot read the script: Is a directory\n",
       {"--run", "d.vmf", "out.dvk"}},
      {"output in a missing directory", plate, 1, "no/out.dvk: cannot write the mesh: No such file or directory\n",
       {"--run", "s.vmf", "no/out.dvk"}},
      {"output under a file", plate, 1, "s.vmf/out.dvk: cannot write the mesh: Not a directory\n",
       {"--run", "s.vmf", "s.vmf/out.dvk"}},
      {"full disk", plate, 1, "/dev/full: cannot write the mesh: No space left on device\n",
       {"--run", "s.vmf", "/dev/full"}},
      {"include of an empty file", {{"s.vmf", "\ninclude e.vmf\n"}, {"e.vmf", ""}}, 1,
       "s.vmf:2: include: '$DIR/e.vmf' is empty\n"},
  });
}

// Libraries the user names must load; names that do not exist only warn.
TEST(Diagnostics, LibrariesTheUserNamedWarnOrFailTheRun) {
  const Files ok = {{"s.vmf", "set a 1\n"}};
  Files broken = ok;
  broken.push_back({"lib/bad.vmf", "\npop q\n"});
  check({
      {"missing directory", ok, 0, "nolib: warning: cannot list the library directory: No such file or directory\n",
       {"--L", "nolib", "--run", "s.vmf", "out.dvk"}},
      {"missing file", ok, 0, "no.vmf: warning: cannot read the library file: No such file or directory\n",
       {"--l", "no.vmf", "--run", "s.vmf", "out.dvk"}},
      {"failing file in a directory", broken, 1, "$DIR/lib/bad.vmf:2: pop: no value of 'q' was pushed\n",
       {"--L", "lib", "--run", "s.vmf", "out.dvk"}},
  });
}

// A message names the line it concerns once, and says how it was reached.
TEST(Diagnostics, MessagesPointAtTheirLineAndSayHowItWasReached) {
  const std::string unknown_q = "unknown function or variable 'q'\n";
  const std::string use_eq = "If this was supposed to be a new variable use '=' immediately after the name\n";
  check({
      {"stored expression without ';'", {{"s.vmf", "set a 1\n\n@r = 2*a\nset b 2\nset c 3\n"}}, 1,
       "s.vmf:3: syntax error stored expression, did you forget a terminating ';'?\ns.vmf:3: r= 2*a ...\n"},
      {"library functions, innermost first",
       {{"lib.vmf", "define inner 1 {\n  set r [$1*q]\n}\ndefine outer 1 {\n\n  inner 2\n}\n"},
        {"s.vmf", "include lib.vmf\nset a 1\n\nouter 2\n"}},
       1,
       "$DIR/lib.vmf:2: " + unknown_q + "$DIR/lib.vmf:2: " + use_eq + "$DIR/lib.vmf:6: note: in 'inner', called from here\n" +
           "s.vmf:4: note: in 'outer', called from here\n"},
      {"included file", {{"sub.vmf", "set a 1\npop a\n"}, {"s.vmf", "\ninclude sub.vmf\n"}}, 1,
       "$DIR/sub.vmf:2: pop: no value of 'a' was pushed\ns.vmf:2: note: in 'sub.vmf', included from here\n"},
      {"stored expression", {{"s.vmf", "@r = 2*q;\nset a 1\nset c [r+1]\n"}}, 1,
       "s.vmf:1: " + unknown_q + "s.vmf:1: " + use_eq + "s.vmf:3: note: in stored expression 'r', used here\n"},
      {"repeated in a loop", {{"s.vmf", "repeat 6 {\n  set b [q]\n}\nrepeat 2 { set c [q] }\n"}}, 1,
       "s.vmf:2: " + unknown_q + "s.vmf:2: " + use_eq + "s.vmf:2: " + unknown_q + "s.vmf:2: " + use_eq + "s.vmf:2: " +
           unknown_q + "s.vmf:2: " + use_eq + "s.vmf:4: " + unknown_q + "s.vmf:4: " + use_eq + "s.vmf:4: " + unknown_q +
           "s.vmf:4: " + use_eq + "s.vmf:2: unknown function or variable 'q' (repeated 3 more times)\n"},
  });
}

// Arguments that cannot be read: how many were wanted, how many found, and what a bare
// name or a part name was taken for.
TEST(Diagnostics, ArgumentMistakesAreExplained) {
  const std::string gather = "Could not gather all arguments for 'ring'\ns.vmf:3: should have an ending ';' after "
                             "final argument value\ns.vmf:3: if definition did not include a count\n";
  const std::string plate_fail = "s.vmf:2: ERROR: while parsing p, builder plate failed with message:\ns.vmf:2: "
                                 "expecting M N  a b c d\n";
  check({
      {"library function", {{"s.vmf", "define ring 3 { }\nset a 1\nring 1 2\n"}}, 1,
       "s.vmf:3: " + gather + "s.vmf:3: 'ring' takes 3 arguments; 2 were found\n"},
      {"builder", {{"s.vmf", "\nplate p 1 1  0 0 0  1 0 0  1 1\n"}}, 1,
       plate_fail + "s.vmf:2: could not read coordinate values for c\ns.vmf:2: 'plate' takes 14 numbers; 10 could be read\n"},
      {"part name inside a block", {{"s.vmf", "if 1 {\n  plate p 1 1  0 0 0  1 0 0  1 1 0  0 1 0\n}\n"}}, 1,
       "s.vmf:2: ERROR: while parsing unnamed, builder plate failed with message:\ns.vmf:2: expecting M N  a b c d\n"
       "s.vmf:2: could not read dimension for M\ns.vmf:2: parts are named by 'begin' here (inside a block or library "
       "function, or after a naming command), so 'p' was read as an argument, not as the part name\n"},
      {"bare name for repeat", {{"s.vmf", "set n 3\nrepeat n { }\n"}}, 1,
       "s.vmf:2: Error in 'repeat' command\ns.vmf:2: opening '{' not found\n"
       "s.vmf:2: 'n' is a name, not a number: write [n] to use its value\n"},
      {"bare name for if", {{"s.vmf", "set n 3\nif n { }\n"}}, 1,
       "s.vmf:2: Error in 'if' command\ns.vmf:2: opening '{' not found\n"
       "s.vmf:2: 'n' is a name, not a number: write [n] to use its value\n"},
  });
}

// Written rules that silently change a result warn, once per place; the values stay.
TEST(Diagnostics, QuirksThatChangeAResultWarnOncePerPlace) {
  check({
      {"replaced operator", {{"s.vmf", "repeat 3 {\n  set a [2*-3]\n}\nprint a\n"}}, 0,
       "s.vmf:2: warning: in '2*-3', '-' replaces '*': an operator after another is not a sign\n"},
      {"ignored character", {{"s.vmf", "set a [1<2]\nset b [_x]\n"}}, 1,
       "s.vmf:1: warning: in '1<2', '<' is ignored\n"
       "s.vmf:2: warning: in '_x', '_' is ignored: a name starts with a letter\n"
       "s.vmf:2: unknown function or variable 'x'\n"
       "s.vmf:2: If this was supposed to be a new variable use '=' immediately after the name\n"},
      {"unmatched parenthesis", {{"s.vmf", "set a [2)+3]\nset b [(2+3))]\n"}}, 0,
       "s.vmf:1: warning: in '2)+3', ')' has no '(': the rest is ignored\n"
       "s.vmf:2: warning: in '(2+3))', ')' has no '(': it is ignored\n"},
      {"joined numbers", {{"s.vmf", "set a [2 3]\nset b [2 +3]\n"}}, 0,
       "s.vmf:1: warning: in '[2 3]', blank-separated numbers are joined: it reads as 23\n"},
  });
}
