// Command-line options: registration, matching, consumption and leftover checks.
#include "util/CLO.h"

#include <gtest/gtest.h>

#include <functional>
#include <sstream>
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
  std::vector<std::string> left() const { return {ptrs.begin(), ptrs.begin() + argc}; }
};

std::string capture_stderr(const std::function<void()>& f) {
  std::stringstream buf;
  auto* old = std::cerr.rdbuf(buf.rdbuf());
  f();
  std::cerr.rdbuf(old);
  return buf.str();
}
}  // namespace

TEST(CLO, RepeatedOptionCollectsValuesInOrder) {
  CLO_v<std::string> dirs("--L", "dirs");
  dirs.values.push_back("default");
  Args a({"prog", "--L", "one", "script.vmf", "--L", "two"});
  EXPECT_TRUE(CLO::process_options(a.argc, a.ptrs.data(), true));
  EXPECT_EQ(dirs.values, (std::vector<std::string>{"default", "one", "two"}));
  EXPECT_EQ(a.left(), (std::vector<std::string>{"prog", "script.vmf"}));
  EXPECT_TRUE(dirs.invoked());
}

TEST(CLO, ValueWithBlankKeepsFirstTokenOnly) {
  CLO_v<std::string> files("--l", "files");
  Args a({"prog", "--l", "a b"});
  EXPECT_TRUE(CLO::process_options(a.argc, a.ptrs.data(), true));
  ASSERT_EQ(files.values.size(), 1u);
  EXPECT_EQ(files.values[0], "a");
}

TEST(CLO, TwoValueOptionConsumesThreeWords) {
  CLO_t<std::string, 2> run("--run", "run");
  Args a({"prog", "--run", "in.vmf", "out.dvk", "rest"});
  EXPECT_TRUE(CLO::process_options(a.argc, a.ptrs.data(), true));
  EXPECT_TRUE(run.invoked());
  EXPECT_EQ(run.value(0), "in.vmf");
  EXPECT_EQ(run.value(1), "out.dvk");
  EXPECT_EQ(a.left(), (std::vector<std::string>{"prog", "rest"}));
  EXPECT_EQ(run.usage(), std::string("--run <value> <value>"));
}

TEST(CLO, UnknownDoubleDashWordsAreReportedOnceEachWithOneHelp) {
  CLO_help h("--h");
  Args a({"prog", "--bogus", "--help", "-x"});
  bool ok = true;
  std::string err = capture_stderr([&] { ok = CLO::process_options(a.argc, a.ptrs.data(), true); });
  EXPECT_FALSE(ok);
  EXPECT_NE(err.find("unrecognized command line option: --bogus\n"), std::string::npos);
  EXPECT_NE(err.find("unrecognized command line option: --help\n"), std::string::npos);
  EXPECT_EQ(err.find("unrecognized command line option: -x"), std::string::npos);
  size_t first = err.find("Description of Command Line Options:");
  ASSERT_NE(first, std::string::npos);
  EXPECT_EQ(err.find("Description of Command Line Options:", first + 1), std::string::npos);
}

TEST(CLO, LeftoverHelpWordsStopTheProgram) {
  for (const char* word : {"-h", "-help"}) {
    SCOPED_TRACE(word);
    Args a({"prog", word});
    bool ok = true;
    std::string err = capture_stderr([&] { ok = CLO::process_options(a.argc, a.ptrs.data(), true); });
    EXPECT_FALSE(ok);
    EXPECT_NE(err.find("Description of Command Line Options:"), std::string::npos);
  }
  Args single({"prog", "-script.vmf"});
  EXPECT_TRUE(CLO::process_options(single.argc, single.ptrs.data(), true));
  EXPECT_EQ(single.left().back(), "-script.vmf");
}

TEST(CLO, HelpIndentsMultiLineInfo) {
  CLO_v<std::string> dirs("--L", "first line\nsecond line");
  CLO_help h("--h");
  std::stringstream out;
  CLO::help(out);
  EXPECT_EQ(out.str(),
            "Description of Command Line Options:\n"
            "\t--L <value>\n\t\tfirst line\n\t\tsecond line\n"
            "\t--h\n\t\tPrint this help message\n");
}

TEST(CLO, RemoveNeverDropsBelowZero) {
  Args a({"prog", "a", "b"});
  CLO::remove(1, 5, a.argc, a.ptrs.data());
  EXPECT_EQ(a.left(), (std::vector<std::string>{"prog"}));
}

TEST(CLO, CopyIsRefused) {
  CLO_help h("--h");
  try {
    CLO_help copy(h);
    FAIL() << "copy succeeded";
  } catch (const char* text) {
    EXPECT_STREQ(text, "CLO copy ctor called...unexpected");
  }
}
