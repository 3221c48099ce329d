// Library functions, include and start-up library loading.
#include "support/test_support.h"

#include "interp/interp.h"
#include "interp/library.h"
#include "interp/params.h"

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <limits>
#include <map>
#include <string>
#include <sys/stat.h>
#include <utility>
#include <vector>

namespace {

const double unset = std::numeric_limits<double>::quiet_NaN();
using Values = std::vector<std::pair<const char*, double>>;  // NaN: the parameter does not exist

// alert: for failing scripts the one alert expected
struct Row { const char* id; std::string script; Values expect; std::string alert = ""; };

class Library : public ScriptTest {
protected:
  // Library definitions, the preloaded snapshot and the directory stack live for the
  // process: each case puts them back as it found them so cases can run in any order.
  void SetUp() override {
    ScriptTest::SetUp();
    mLibraries = gLibraries, mArgs = gLibraries_args, mOrigin = gLibraries_origin;
    mPreloaded = gParameters_preloaded, mDirs = dir_stack, dir = make_temp_dir();
  }
  void TearDown() override {
    gLibraries = mLibraries, gLibraries_args = mArgs, gLibraries_origin = mOrigin;
    gParameters_preloaded = mPreloaded, dir_stack = mDirs;
    std::filesystem::remove_all(dir);
    ScriptTest::TearDown();
  }
  double param(const std::string& name) { return gParameters.count(name) ? gParameters[name] : unset; }
  // Runs each row followed by "set after 1" and checks the outcome, the alerts and the parameters.
  void check(const std::vector<Row>& rows, bool succeeds) {
    for (const auto& row : rows) {
      SCOPED_TRACE(row.id);
      reset_script_state();
      sink.clear();
      EXPECT_EQ(run(row.script + "\nset after 1"), succeeds);
      EXPECT_EQ(alerts(), row.alert.empty() ? std::vector<std::string>{} : std::vector<std::string>{row.alert});
      EXPECT_EQ(gParameters.count("after"), succeeds ? 1u : 0u) << "the script goes on only on success";
      for (const auto& [name, value] : row.expect) {
        if (std::isnan(value)) EXPECT_EQ(gParameters.count(name), 0u) << name;
        else EXPECT_EQ(param(name), value) << name;
      }
    }
  }
  std::string dir;

private:
  std::map<std::string, std::string> mLibraries;
  std::map<std::string, int> mArgs;
  std::map<std::string, MessageLocation> mOrigin;
  std::map<std::string, double> mPreloaded;
  std::deque<std::string> mDirs;
};

TEST_F(Library, CallsBindArgumentsAndRestoreTheOldValues) {
  check({
      {"declared count, ';' consumed", "set 1 10 set 2 20 define f 2 { set a [$1] set b [$2] } f 3 4 ;",
       {{"a", 3}, {"b", 4}, {"1", 10}, {"2", 20}}},
      {"new argument parameters stay", "define f 2 { set a [$1] } f 3 4", {{"a", 3}, {"1", 3}, {"2", 4}}},
      {"no count: up to ';'", "define g { set c [$1+$2+$3] } g 1 2 3 ;", {{"c", 6}, {"3", 3}}},
      {"fewer arguments than declared", "set 2 99 define f 2 { set a [$1] set b [$2] } f 5 ;",
       {{"a", 5}, {"b", 99}, {"2", 99}}},
      {"no arguments; build runs it too", "define f 2 { set a 1 } build f ;", {{"a", 1}, {"1", unset}}},
      {"arguments read before binding", "set 1 100 define h 2 { set a [$1] set b [$2] } h 7 [$1] ;",
       {{"a", 7}, {"b", 100}, {"1", 100}}},
      {"nested call sees the enclosing argument",
       "define inner 1 { set got [$1] } define outer 1 { inner [$1*2] set back [$1] } outer 5",
       {{"got", 10}, {"back", 5}}},
      {"stop ends only the body", "define f 0 { set a 1 stop set b 1 } f set c 1", {{"a", 1}, {"b", unset}, {"c", 1}}},
      {"redefinition replaces body and count", "define f 2 { set a [$1] } define f { set b [$1+$2] } f 1 2 ;",
       {{"a", unset}, {"b", 3}}},
  }, true);
}

TEST_F(Library, DefinitionAndCallErrors) {
  check({
      {"define without block", "define f", {}, "Function Definition Error for 'f'\nopening '{' not found"},
      {"word before the block", "define f abc { }", {}, "Function Definition Error for 'f'\nopening '{' not found"},
      {"unclosed body", "define f 2 { set a 1", {}, "Function Definition Error for 'f'\nclosing '}' not found"},
      {"build of an unknown name", "build no_such_function", {}, "Library Function 'no_such_function' is not defined"},
      {"build of a documentation entry", "define f 0 { } build f_doc", {}, "Library Function 'f_doc' is not defined"},
      {"no count and no ';': the body does not run", "define g { set c 1 } g 1 2", {{"c", unset}, {"2", 2}},
       "Could not gather all arguments for 'g'\nshould have an ending ';' after final argument value\n"
       "if definition did not include a count\n'g' takes any number of arguments, ended by ';'; 2 were found"},
      {"failing body: nothing restored", "set 1 10 define f 1 { pop never_pushed } f 3", {{"1", 3}},
       "pop: no value of 'never_pushed' was pushed"},
      // "6" is read as the next command: the builder question, not an alert
      {"extra numbers are left to the interpreter", "define f 1 { set a [$1] } f 5 6", {{"a", 5}}},
  }, false);
}

TEST_F(Library, DeclaredCounts) {
  const std::pair<const char*, int> rows[] = {{"define f { }", -1},      {"define f 2.9 { }", 2},
                                               {"define f [1+2] { }", 3}, {"define f 1 4 { }", 4},
                                               {"define f 2{ }", 2},      {"define f -1.5 { }", -1}};
  for (const auto& [declaration, count] : rows) {
    reset_script_state();
    ASSERT_TRUE(run(declaration));
    EXPECT_EQ(gLibraries_args["f"], count) << declaration;
  }
}

TEST_F(Library, DefinitionKeepsItsCommentsAsDocumentation) {
  ASSERT_TRUE(
      run("# not part of it\ndefine f 2 # two numbers\n{\n## makes a thing\n  set a 1 !# trailing\n}\n# after it\n"));
  EXPECT_EQ(gLibraries["f_doc"], " two numbers\n makes a thing\n trailing\n");
  EXPECT_NE(gLibraries["f"].find("set a 1"), std::string::npos);
  EXPECT_EQ(gLibraries["f"].find("makes"), std::string::npos) << "comments are blanked out of the body";
  ASSERT_TRUE(run("define f { }"));
  EXPECT_EQ(gLibraries["f_doc"], "") << "a redefinition replaces the documentation";
}

TEST_F(Library, TraceWritesEachCallWithItsArguments) {
  testing::internal::CaptureStdout();
  EXPECT_TRUE(run("define f 2 { set a 1 } f 3 4.5 ; set debug 1 f 3 4.5 ; f [1/4] ;"));
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "calling 'f' 3 4.5\ncalling 'f' 0.25\n");
}

TEST_F(Library, IncludeResolvesNamesAgainstTheIncludingFile) {
  mkdir((dir + "/sub").c_str(), 0700);
  for (const auto& [name, text] : std::map<std::string, std::string>{
           {"main.vmf", "include sub/one.vmf\nset main_done 1\n"},
           {"sub/one.vmf", "include two.vmf\nset one_done [two]\n"},
           {"sub/two.vmf", "set two 2\n"}, {"two.vmf", "set two 99\n"},  // a decoy where the start file stands
           {"empty.vmf", ""}, {"blank.vmf", "  \n"}, {"stops.vmf", "set a 1 stop set b 1\n"},
           {"a.vmf", "include b.vmf\n"}, {"b.vmf", "include a.vmf\n"}, {"lib.vmf", "# a library\ndefine broken 0 {\n  set fine 1\n  set bad-name 1\n}\n"}})
    write_file(dir + "/" + name, text);
  const size_t depth = std::max<size_t>(dir_stack.size(), 1);  // only the start directory stays
  check({{"nested relative includes", "include " + dir + "/main.vmf", {{"two", 2}, {"one_done", 2}, {"main_done", 1}}},
         {"blank file", "include " + dir + "/blank.vmf", {}},
         {"stop ends only the file", "include " + dir + "/stops.vmf set c 1", {{"a", 1}, {"b", unset}, {"c", 1}}}},
        true);
  check({{"empty file", "include " + dir + "/empty.vmf", {}, "include: '" + dir + "/empty.vmf' is empty"},
         {"missing file", "include " + dir + "/missing.vmf", {},
          "Error Opening File named '" + dir + "/missing.vmf'\nNo such file or directory"},
         {"a directory", "include " + dir, {}, "Error Opening File named '" + dir + "'\nIs a directory"},
         {"an include cycle", "include " + dir + "/a.vmf", {},
          "script nesting deeper than 256 levels (a library function or include that calls itself?)"},
         {"a failing body defined in an included file", "include " + dir + "/lib.vmf\nbroken", {{"fine", 1}},
          "Invalid parameter Name 'bad-name'\nparameter names should only consist of letters, numbers, '_', and '.'"}},
        false);
  EXPECT_EQ(dir_stack.size(), depth) << "every include popped its directory";
  EXPECT_EQ(sink.entries.at(0).where.file, dir + "/lib.vmf") << "the message names the line in the body";
  EXPECT_EQ(sink.entries.at(0).where.line, 4);
  sink.clear();
  EXPECT_FALSE(run("include"));
  EXPECT_EQ(alerts(), std::vector<std::string>{"include requires a filename"});

  std::string big;  // several read chunks
  for (int i = 0; i < 500; ++i) big += "set p" + std::to_string(i) + " " + std::to_string(i) + "\n";
  write_file(dir + "/big.vmf", big);
  EXPECT_EQ(file_contents(dir + "/big.vmf"), big);
  setenv("PELGROVE_LIBRARY_TEST_DIR", dir.c_str(), 1);
  std::string name = "$PELGROVE_LIBRARY_TEST_DIR/c.vmf";
  push_filename(name);
  EXPECT_EQ(name, dir + "/c.vmf");
  EXPECT_EQ(dir_stack.back(), dir + "/");
  for (int i = 0; i < 4; ++i) pop_filename();  // more pops than pushes do nothing
  EXPECT_TRUE(dir_stack.empty());
}

TEST_F(Library, LibrariesLoadLastNameFirstOrInTheOrderGiven) {
  for (const auto& [name, text] : std::map<std::string, std::string>{
           {"b.vmf", "set order [order*10+1]\n"}, {"a10.vmf", "set order [order*10+2]\n"},
           {"a9.vmf", "set order [order*10+3]\n define from_a9 1 { set a [$1] }\n"}, {"c.vmf", "pop never_pushed\n"},
           {"notes.txt", "set order 0\n"}, {"old.vmf.bak", "set order 0\n"}})
    write_file(dir + "/" + name, text);
  mkdir((dir + "/sub.vmf").c_str(), 0700);
  gParameters["order"] = 0;
  testing::internal::CaptureStdout();
  EXPECT_FALSE(load_libraries({dir, dir + "/does-not-exist"}));  // c.vmf fails
  EXPECT_TRUE(load_library_files({dir + "/a9.vmf", dir + "/b.vmf", dir + "/missing.vmf"}));
  const std::string p = "preloading " + dir;
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            p + "/c.vmf... failed\n" + p + "/b.vmf... ok\n" + p + "/a10.vmf... ok\n" + p + "/a9.vmf... ok\n" + p +
                "/a9.vmf... ok\n" + p + "/b.vmf... ok\n" + p + "/missing.vmf... failed\n");
  // A failing library file has its own message and its line; a missing one is a warning.
  EXPECT_EQ(alerts(), std::vector<std::string>{"pop: no value of 'never_pushed' was pushed"});
  EXPECT_EQ(sink.warnings(), std::vector<std::string>{"cannot read the library file: No such file or directory"});
  reset_script_state();  // every run starts from the loaded state
  EXPECT_EQ(param("order"), 12331);
  EXPECT_TRUE(is_library_function("from_a9"));
}

}  // namespace
