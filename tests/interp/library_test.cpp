// Library functions, include and start-up library loading.
#include "support/test_support.h"

#include "interp/interp.h"
#include "interp/library.h"
#include "interp/params.h"

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <limits>
#include <memory>
#include <string>
#include <sys/stat.h>
#include <utility>
#include <vector>

namespace {

// Library definitions, the preloaded snapshot and the directory stack live for the
// process: each case puts them back as it found them so cases can run in any order.
struct SavedLibraryState {
  std::map<std::string, std::string> libraries = gLibraries;
  std::map<std::string, int> args = gLibraries_args;
  std::map<std::string, MessageLocation> origin = gLibraries_origin;
  std::map<std::string, double> preloaded = gParameters_preloaded;
  std::deque<std::string> dirs = dir_stack;
  ~SavedLibraryState() {
    gLibraries = libraries, gLibraries_args = args, gLibraries_origin = origin;
    gParameters_preloaded = preloaded, dir_stack = dirs;
  }
};

class Library : public ScriptTest {
protected:
  void SetUp() override {
    ScriptTest::SetUp();
    mSaved = std::make_unique<SavedLibraryState>();
  }
  void TearDown() override {
    mSaved.reset();
    ScriptTest::TearDown();
  }
  bool has(const std::string& name) const { return gParameters.count(name) != 0; }
  double param(const std::string& name) const {
    auto p = gParameters.find(name);
    return p == gParameters.end() ? std::numeric_limits<double>::quiet_NaN() : p->second;
  }

private:
  std::unique_ptr<SavedLibraryState> mSaved;
};

const double unset = std::numeric_limits<double>::quiet_NaN();

struct CallRow {
  const char* id;
  const char* script;
  std::vector<std::pair<const char*, double>> expect;  // NaN: the parameter does not exist
};

TEST_F(Library, CallsBindArgumentsAndRestoreTheOldValues) {
  const CallRow rows[] = {
      {"declared count, ';' consumed", "set 1 10 set 2 20 define f 2 { set a [$1] set b [$2] } f 3 4 ;",
       {{"a", 3}, {"b", 4}, {"1", 10}, {"2", 20}}},
      {"new argument parameters stay", "define f 2 { set a [$1] } f 3 4", {{"a", 3}, {"1", 3}, {"2", 4}}},
      {"no count: up to ';'", "define g { set c [$1+$2+$3] } g 1 2 3 ;", {{"c", 6}, {"3", 3}}},
      {"fewer arguments than declared", "set 2 99 define f 2 { set a [$1] set b [$2] } f 5 ;",
       {{"a", 5}, {"b", 99}, {"2", 99}}},
      {"no arguments", "define f 2 { set a 1 } f ;", {{"a", 1}, {"1", unset}}},
      {"expression arguments", "set w 2 define f 1 { set a [$1] } f [w*3]", {{"a", 6}}},
      {"arguments read before binding", "set 1 100 define h 2 { set a [$1] set b [$2] } h 7 [$1] ;",
       {{"a", 7}, {"b", 100}, {"1", 100}}},
      {"nested call sees the enclosing argument",
       "define inner 1 { set got [$1] } define outer 1 { inner [$1*2] set back [$1] } outer 5",
       {{"got", 10}, {"back", 5}}},
      {"body changes to arguments are undone", "set 1 4 define f 1 { set 1 77 } f 9", {{"1", 4}}},
      {"build runs it too", "define f 1 { set a [$1] } build f 8", {{"a", 8}}},
      {"build reaches a function a command hides", "define repeat 1 { set a [$1] } build repeat 4",
       {{"a", 4}}},
      {"the command still wins the plain word", "define repeat 1 { set a 1 } repeat 2 { set b [$0] }",
       {{"a", unset}, {"b", 1}}},
      {"a library function hides a builder", "define line 0 { set a 1 } line", {{"a", 1}}},
      {"stop ends only the body", "define f 0 { set a 1 stop set b 1 } f set c 1",
       {{"a", 1}, {"b", unset}, {"c", 1}}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.id);
    reset_script_state();
    sink.clear();
    EXPECT_TRUE(run(std::string(row.script) + "\nset after 1"));
    EXPECT_TRUE(sink.entries.empty());
    for (const auto& [name, value] : row.expect) {
      SCOPED_TRACE(name);
      if (std::isnan(value)) {
        EXPECT_FALSE(has(name));
      } else {
        EXPECT_EQ(param(name), value);
      }
    }
    EXPECT_EQ(param("after"), 1) << "the script goes on after the call";
  }
}

TEST_F(Library, FailedCallsLeaveTheArgumentsBound) {
  EXPECT_FALSE(run("define g { set c 1 } g 1 2"));
  EXPECT_EQ(alerts(), std::vector<std::string>{"Could not gather all arguments for 'g'\n"
                                               "should have an ending ';' after final argument value\n"
                                               "if definition did not include a count"});
  EXPECT_FALSE(has("c")) << "the body does not run";
  EXPECT_EQ(param("2"), 2);

  reset_script_state();
  EXPECT_FALSE(run("set 1 10 define f 1 { pop never_pushed } f 3"));
  EXPECT_EQ(param("1"), 3) << "nothing is restored after a failing body";
}

TEST_F(Library, ExtraNumbersAreLeftForTheInterpreter) {
  EXPECT_FALSE(run("define f 1 { set a [$1] } f 5 6"));
  EXPECT_EQ(param("a"), 5);
  ASSERT_EQ(sink.entries.size(), 1u);
  EXPECT_EQ(sink.entries[0].kind, "choice");
  EXPECT_EQ(sink.entries[0].text,
            "ERROR: did not find a builder called '6'\nWould you like to see a list of builders?");
}

struct FailRow {
  const char* id;
  const char* script;
  const char* alert;
};

TEST_F(Library, DefinitionAndCallErrors) {
  const FailRow rows[] = {
      {"define without block", "define f", "Function Definition Error for 'f'\nopening '{' not found"},
      {"word before the block", "define f abc { }", "Function Definition Error for 'f'\nopening '{' not found"},
      {"unclosed body", "define f 2 { set a 1", "Function Definition Error for 'f'\nclosing '}' not found"},
      {"build of an unknown name", "build no_such_function", "Library Function 'no_such_function' is not defined"},
      {"build of a documentation entry", "define f 0 { } build f_doc", "Library Function 'f_doc' is not defined"},
      {"include without a name", "include", "include requires a filename"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.id);
    reset_script_state();
    sink.clear();
    EXPECT_FALSE(run(row.script));
    EXPECT_EQ(alerts(), std::vector<std::string>{row.alert});
  }
}

struct CountRow {
  const char* id;
  const char* declaration;
  int count;
};

TEST_F(Library, DeclaredCounts) {
  const CountRow rows[] = {
      {"none", "define f { }", -1},        {"plain", "define f 3 { }", 3},
      {"truncated", "define f 2.9 { }", 2}, {"expression", "define f [1+2] { }", 3},
      {"last one counts", "define f 1 4 { }", 4}, {"no blank before brace", "define f 2{ }", 2},
      {"negative truncated", "define f -1.5 { }", -1},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.id);
    reset_script_state();
    ASSERT_TRUE(run(row.declaration));
    EXPECT_EQ(gLibraries_args["f"], row.count);
  }
}

TEST_F(Library, DefinitionKeepsBodyAndItsComments) {
  ASSERT_TRUE(run("# not part of it\n"
                  "define f 2 # two numbers\n"
                  "{\n"
                  "## makes a thing\n"
                  "  set a 1 !# trailing\n"
                  "}\n"
                  "# after it\n"));
  EXPECT_EQ(gLibraries["f_doc"], " two numbers\n makes a thing\n trailing\n");
  EXPECT_NE(gLibraries["f"].find("set a 1"), std::string::npos);
  EXPECT_EQ(gLibraries["f"].find("makes"), std::string::npos) << "comments are blanked out of the body";
}

TEST_F(Library, RedefinitionReplacesBodyDocumentationAndCount) {
  ASSERT_TRUE(run("define f 2 {\n# first\n set a [$1] }\n"
                  "define f {\n set b [$1+$2] }\n"
                  "f 1 2 ;"));
  EXPECT_FALSE(has("a"));
  EXPECT_EQ(param("b"), 3);
  EXPECT_EQ(gLibraries["f_doc"], "");
  EXPECT_EQ(gLibraries_args["f"], -1);
}

TEST_F(Library, DefinitionsOutliveTheRun) {
  std::string script = "define kept_across_runs 1 { set a [$1] }";
  start_script(script);
  sink.clear();
  EXPECT_TRUE(run("kept_across_runs 4"));
  EXPECT_EQ(param("a"), 4);
}

TEST_F(Library, TraceWritesEachCallWithItsArguments) {
  testing::internal::CaptureStdout();
  bool ok = run("define f 2 { set a 1 } f 3 4.5 ; set debug 1 f 3 4.5 ; f [1/4] ;");
  std::string out = testing::internal::GetCapturedStdout();
  EXPECT_TRUE(ok);
  EXPECT_EQ(out, "calling 'f' 3 4.5\ncalling 'f' 0.25\n");
}

TEST_F(Library, MessagesInsideABodyNameTheLineInTheBody) {
  EXPECT_FALSE(run("define f 1 {\n"
                   "  set a [$1]\n"
                   "  set bad-name 1\n"
                   "}\n"
                   "\n"
                   "f 3\n"));
  ASSERT_EQ(sink.entries.size(), 1u);
  EXPECT_EQ(sink.entries[0].where.file, "test.vmf");
  EXPECT_EQ(sink.entries[0].where.line, 3);
  EXPECT_EQ(gLibraries_origin["f"].file, "test.vmf");
  EXPECT_EQ(gLibraries_origin["f"].line, 1);
}

class LibraryFiles : public Library {
protected:
  void SetUp() override {
    Library::SetUp();
    dir = make_temp_dir();
  }
  void TearDown() override {
    std::filesystem::remove_all(dir);
    Library::TearDown();
  }
  std::string dir;
};

TEST_F(LibraryFiles, MessagesOfIncludedFilesAndTheirFunctionsNameTheFile) {
  write_file(dir + "/lib.vmf",
             "# a library\n"
             "define broken 0 {\n"
             "  set fine 1\n"
             "  set bad-name 1\n"
             "}\n");
  write_file(dir + "/bad.vmf", "set ok 1\n\nset also-bad 2\n");
  ASSERT_TRUE(include_file(dir + "/lib.vmf"));
  EXPECT_FALSE(run("\nbroken"));
  ASSERT_EQ(sink.entries.size(), 1u);
  EXPECT_EQ(sink.entries[0].where.file, dir + "/lib.vmf");
  EXPECT_EQ(sink.entries[0].where.line, 4);

  sink.clear();
  EXPECT_FALSE(run("set x 1\ninclude " + dir + "/bad.vmf\nset y 1"));
  ASSERT_EQ(sink.entries.size(), 1u);
  EXPECT_EQ(sink.entries[0].where.file, dir + "/bad.vmf");
  EXPECT_EQ(sink.entries[0].where.line, 3);
  EXPECT_FALSE(has("y")) << "a failing include stops the script";
}

TEST_F(LibraryFiles, RelativeIncludesResolveAgainstTheIncludingFile) {
  mkdir((dir + "/sub").c_str(), 0700);
  write_file(dir + "/main.vmf", "include sub/one.vmf\nset main_done 1\n");
  write_file(dir + "/sub/one.vmf", "include two.vmf\nset one_done [two]\n");
  write_file(dir + "/sub/two.vmf", "set two 2\n");
  write_file(dir + "/two.vmf", "set two 99\n");  // a decoy where the start file stands
  size_t depth = dir_stack.size();
  EXPECT_TRUE(run("include " + dir + "/main.vmf"));
  EXPECT_TRUE(sink.entries.empty());
  EXPECT_EQ(param("two"), 2);
  EXPECT_EQ(param("one_done"), 2);
  EXPECT_EQ(param("main_done"), 1);
  EXPECT_EQ(dir_stack.size(), std::max<size_t>(depth, 1)) << "only the start directory stays";
}

TEST_F(LibraryFiles, PushFilenameMakesNamesAbsolute) {
  dir_stack = {dir + "/"};
  std::string name = "a/b.vmf";
  push_filename(name);
  EXPECT_EQ(name, dir + "/a/b.vmf");
  EXPECT_EQ(dir_stack.back(), dir + "/a/");
  setenv("PELGROVE_LIBRARY_TEST_DIR", dir.c_str(), 1);
  name = "$PELGROVE_LIBRARY_TEST_DIR/c.vmf";
  push_filename(name);
  EXPECT_EQ(name, dir + "/c.vmf");
  for (int i = 0; i < 4; ++i) pop_filename();  // more pops than pushes do nothing
  EXPECT_TRUE(dir_stack.empty());
}

TEST_F(LibraryFiles, IncludeFailures) {
  write_file(dir + "/empty.vmf", "");
  write_file(dir + "/blank.vmf", "  \n");
  write_file(dir + "/stops.vmf", "set a 1 stop set b 1\n");

  EXPECT_FALSE(run("include " + dir + "/empty.vmf set after 1"));
  EXPECT_TRUE(sink.entries.empty()) << "an empty file fails without a message";
  EXPECT_FALSE(has("after"));

  EXPECT_TRUE(run("include " + dir + "/blank.vmf"));

  EXPECT_TRUE(run("include " + dir + "/stops.vmf set c 1"));
  EXPECT_EQ(param("a"), 1);
  EXPECT_FALSE(has("b"));
  EXPECT_EQ(param("c"), 1);

  EXPECT_FALSE(run("include " + dir + "/missing.vmf"));
  EXPECT_EQ(alerts(), std::vector<std::string>{"Error Opening File named '" + dir + "/missing.vmf'"});

  sink.clear();
  EXPECT_FALSE(run("include " + dir));
  EXPECT_EQ(alerts(), std::vector<std::string>{"Error Opening File named '" + dir + "'"})
      << "a directory cannot be read as a script";
}

TEST_F(LibraryFiles, FileContentsReadsTheWholeFile) {
  std::string big;
  for (int i = 0; i < 500; ++i) big += "set p" + std::to_string(i) + " " + std::to_string(i) + "\n";
  write_file(dir + "/big.vmf", big);
  EXPECT_EQ(file_contents(dir + "/big.vmf"), big);  // several read chunks
}

TEST_F(LibraryFiles, SelfCallsAndIncludeCyclesEndWithAMessage) {
  EXPECT_FALSE(run("define forever 0 { forever } forever set after 1"));
  EXPECT_EQ(alerts().size(), 1u);
  EXPECT_FALSE(has("after"));

  sink.clear();
  write_file(dir + "/a.vmf", "include b.vmf\n");
  write_file(dir + "/b.vmf", "include a.vmf\n");
  size_t depth = dir_stack.size();
  EXPECT_FALSE(run("include " + dir + "/a.vmf"));
  EXPECT_EQ(alerts().size(), 1u);
  EXPECT_EQ(dir_stack.size(), std::max<size_t>(depth, 1)) << "every include popped its directory";
}

TEST_F(LibraryFiles, LibraryDirectoriesLoadLastNameFirst) {
  write_file(dir + "/b.vmf", "set order [order*10+1]\n");
  write_file(dir + "/a10.vmf", "set order [order*10+2]\n");
  write_file(dir + "/a9.vmf", "set order [order*10+3]\n define from_a9 1 { set a [$1] }\n");
  write_file(dir + "/c.vmf", "pop never_pushed\n");
  write_file(dir + "/notes.txt", "set order 0\n");
  write_file(dir + "/old.vmf.bak", "set order 0\n");
  mkdir((dir + "/sub.vmf").c_str(), 0700);
  gParameters["order"] = 0;

  testing::internal::CaptureStdout();
  load_libraries({dir, dir + "/does-not-exist"});
  std::string out = testing::internal::GetCapturedStdout();

  EXPECT_EQ(out, "preloading " + dir + "/c.vmf... failed\n" + "preloading " + dir + "/b.vmf... ok\n" +
                     "preloading " + dir + "/a10.vmf... ok\n" + "preloading " + dir + "/a9.vmf... ok\n");
  EXPECT_EQ(param("order"), 123);
  EXPECT_TRUE(sink.entries.empty()) << "a failing file is reported by its line only";
  EXPECT_EQ(gParameters_preloaded["order"], 123);
  EXPECT_TRUE(is_library_function("from_a9"));

  // The snapshot is what every run starts from.
  reset_script_state();
  EXPECT_EQ(param("order"), 123);
}

TEST_F(LibraryFiles, LibraryFilesLoadInTheOrderGiven) {
  write_file(dir + "/x.vmf", "set seq [seq*10+1]\n");
  write_file(dir + "/y.vmf", "set seq [seq*10+2]\n");
  gParameters["seq"] = 0;
  testing::internal::CaptureStdout();
  load_library_files({dir + "/y.vmf", dir + "/x.vmf", dir + "/missing.vmf"});
  std::string out = testing::internal::GetCapturedStdout();
  EXPECT_EQ(out, "preloading " + dir + "/y.vmf... ok\n" + "preloading " + dir + "/x.vmf... ok\n" +
                     "preloading " + dir + "/missing.vmf... failed\n");
  EXPECT_EQ(alerts(), std::vector<std::string>{"Error Opening File named '" + dir + "/missing.vmf'"});
  EXPECT_EQ(gParameters_preloaded["seq"], 21);
}

}  // namespace
