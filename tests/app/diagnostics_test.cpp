// What the program tells a user about a mistake: the exact standard error of whole batch
// runs, with file and line, notes, warnings and repeat counts, and the exit status.
#include "support/test_support.h"

#include <string>
#include <utility>
#include <vector>

namespace {

using Files = std::vector<std::pair<std::string, std::string>>;  // name relative to the run's directory, text

struct Row {
  const char* id;
  Files files;      // s.vmf is the script unless `args` says otherwise
  int status;
  std::string err;  // the whole standard error
  std::vector<std::string> args = {"--run", "s.vmf", "out.dvk"};
};

void check(const std::vector<Row>& rows) {
  for (const Row& r : rows) {
    SCOPED_TRACE(r.id);
    std::string dir = make_temp_dir();
    for (const auto& [name, text] : r.files) write_file(dir + "/" + name, text);
    ProcessResult p = run_pelgrove(r.args, dir);
    EXPECT_EQ(p.err, r.err);
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
