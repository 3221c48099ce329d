// Command-line options: matching, consumption and leftover checks.
#include "util/CLO.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {
// An argv built from words, with storage that outlives the call.
struct Args {
  std::vector<std::string> words;
  std::vector<char*> ptrs;
  int argc = 0;
  explicit Args(std::vector<std::string> w) : words(std::move(w)) {
    for (auto& s : words) ptrs.push_back(s.data());
    ptrs.push_back(nullptr);
    argc = (int)words.size();
  }
  bool process() { return CLO::process_options(argc, ptrs.data(), true); }
  std::vector<std::string> left() const { return {ptrs.begin(), ptrs.begin() + argc}; }
};
}  // namespace

TEST(CLO, OptionsConsumeTheirValuesAndLeaveTheRest) {
  CLO_v<std::string> dirs("--L", "dirs"), files("--l", "files");
  CLO_t<std::string, 2> run("--run", "run");
  dirs.values.push_back("default");
  Args a({"prog", "--L", "one", "script.vmf", "--run", "in.vmf", "out.dvk", "--l", "a b", "--L", "two", "-x.vmf"});
  EXPECT_TRUE(a.process());
  EXPECT_EQ(dirs.values, (std::vector<std::string>{"default", "one", "two"}));  // in order, after the default
  EXPECT_EQ(files.values, std::vector<std::string>{"a b"});                     // the whole word, blanks and all
  EXPECT_TRUE(dirs.invoked() && run.invoked());
  EXPECT_EQ(run.value(0) + " " + run.value(1), "in.vmf out.dvk");
  EXPECT_EQ(std::string(run.usage()), "--run <value> <value>");
  EXPECT_EQ(a.left(), (std::vector<std::string>{"prog", "script.vmf", "-x.vmf"}));
  CLO::remove(1, 5, a.argc, a.ptrs.data());  // never below zero
  EXPECT_EQ(a.left(), (std::vector<std::string>{"prog"}));
}

// Every unknown "--" word is reported, with one help text; "-h" left over also stops the program.
TEST(CLO, UnknownWordsAndLeftoverHelpStopTheProgram) {
  CLO_help h("--h");
  for (const auto& words : {std::vector<std::string>{"prog", "--bogus", "--help", "-x"}, {"prog", "-h"}}) {
    Args a(words);
    testing::internal::CaptureStderr();
    EXPECT_FALSE(a.process());
    const std::string err = testing::internal::GetCapturedStderr();
    const std::string help = "Description of Command Line Options:";
    EXPECT_EQ(err.find(help), err.rfind(help)) << err;
    ASSERT_NE(err.find(help), std::string::npos);
    if (words.size() < 3) continue;
    EXPECT_NE(err.find("unrecognized command line option: --bogus\n"), std::string::npos);
    EXPECT_NE(err.find("unrecognized command line option: --help\n"), std::string::npos);
    EXPECT_EQ(err.find("option: -x"), std::string::npos);
  }
}
