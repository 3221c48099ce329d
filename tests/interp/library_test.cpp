// Library functions, include and start-up library loading.
#include "interp/library.h"

#include "support/script_runner.h"

#include <sys/stat.h>

#include <cstdlib>
#include <map>

namespace {

const std::string kNested =
    "script nesting deeper than 256 levels (a library function or include that calls itself?)";

class Library : public ScriptRuns {
protected:
  std::string dir = make_temp_dir();
  void write_files(const std::map<std::string, std::string>& files) {
    for (const auto& [name, text] : files) write_file(dir + "/" + name, text);
  }
};

TEST_F(Library, CallsBindArgumentsAndRestoreTheOldValues) {
  check({
      {"set 1 10 set 2 20 define f 2 { set a [$1] set b [$2] } f 3 4 ;", true, "", "a=3 b=4 1=10 2=20"},
      {"define f 2 { set a [$1] } f 3 4", true, "", "a=3 1=3 2=4"},  // new argument parameters stay
      {"define g { set c [$1+$2+$3] } g 1 2 3 ;", true, "", "c=6 3=3"},  // no count: up to ';'
      {"set 2 99 define f 2 { set a [$1] set b [$2] } f 5 ;", true, "", "a=5 b=99 2=99"},
      {"define f 2 { set a 1 } build f ;", true, "", "a=1 1=-"},
      {"set 1 100 define h 2 { set a [$1] set b [$2] } h 7 [$1] ;", true, "", "a=7 b=100 1=100"},  // read first
      {"define inner 1 { set got [$1] } define outer 1 { inner [$1*2] set back [$1] } outer 5", true, "",
       "got=10 back=5"},
      {"define f 0 { set a 1 stop set b 1 } f set c 1", true, "", "a=1 b=- c=1"},  // stop ends the body
      {"define f 2 { set a [$1] } define f { set b [$1+$2] } f 1 2 ;", true, "", "a=- b=3"},  // replaced
      // commands hide library functions, which hide builders; build reaches a hidden one
      {"define push 0 { set ran 1 }\ndefine plate 0 { set ran 2 }\nplate\npush x\n", true, "", "ran=2 x=0"},
      {"build push ;", true, "", "ran=1"},  // definitions outlive the run
      // each call nests two runs: its body and the ifneg block
      {"define f 0 { set d [d+1] ifneg [d-120] { f } }\nf", true, "", "d=120"},
  }, "\nset after 1");
}

TEST_F(Library, DefinitionCallAndIncludeErrors) {
  write_files({{"empty.vmf", ""}, {"a.vmf", "include b.vmf\n"}, {"b.vmf", "include a.vmf\n"}});
  check({
      {"define f", false, "Function Definition Error for 'f'\nopening '{' not found", ""},
      {"define f abc { }", false, "Function Definition Error for 'f'\nopening '{' not found", ""},
      {"define f 2 { set a 1", false, "Function Definition Error for 'f'\nclosing '}' not found", ""},
      {"build no_such_function", false, "Library Function 'no_such_function' is not defined", ""},
      {"define f 0 { } build f_doc", false, "Library Function 'f_doc' is not defined", ""},
      {"define g { set c 1 } g 1 2", false,
       "Could not gather all arguments for 'g'\nshould have an ending ';' after final argument value\n"
       "if definition did not include a count\n'g' takes any number of arguments, ended by ';'; 2 were found",
       "c=- 2=2"},  // the body does not run
      {"set 1 10 define f 1 { pop never_pushed } f 3", false, "pop: no value of 'never_pushed' was pushed", "1=3"},
      {"define f 1 { set a [$1] } f 5 6", false,  // "6" is read as the next command
       "ERROR: did not find a builder called '6'\nWould you like to see a list of builders?", "a=5"},
      {"define f 0 { set d [d+1] f }\nf", false, "1: " + kNested, "d=256"},
      {"include " + dir + "/empty.vmf", false, "include: '" + dir + "/empty.vmf' is empty", ""},
      {"include " + dir + "/missing.vmf", false,
       "Error Opening File named '" + dir + "/missing.vmf'\nNo such file or directory", ""},
      {"include " + dir, false, "Error Opening File named '" + dir + "'\nIs a directory", ""},
      {"include " + dir + "/a.vmf", false, kNested, ""},
  }, "\nset after 1");
}

TEST_F(Library, DeclaredCounts) {
  const std::pair<const char*, int> rows[] = {{"define f { }", -1},      {"define f 2.9 { }", 2},
                                               {"define f [1+2] { }", 3}, {"define f 1 4 { }", 4},
                                               {"define f 2{ }", 2},      {"define f -1.5 { }", -1}};
  for (const auto& [declaration, count] : rows) {
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
  write_files({{"main.vmf", "include sub/one.vmf\nset main_done 1\n"},
               {"sub/one.vmf", "include two.vmf\nset one_done [two]\n"},
               {"sub/two.vmf", "set two 2\n"}, {"two.vmf", "set two 99\n"},  // a decoy beside the start file
               {"blank.vmf", "  \n"}, {"stops.vmf", "set a 1 stop set b 1\n"},
               {"lib.vmf", "# a library\ndefine broken 0 {\n  set fine 1\n  set bad-name 1\n}\n"}});
  const size_t depth = std::max<size_t>(dir_stack.size(), 1);  // only the start directory stays
  check({{"include " + dir + "/main.vmf", true, "", "two=2 one_done=2 main_done=1"},
         {"include " + dir + "/blank.vmf", true, "", ""},
         {"include " + dir + "/stops.vmf set c 1", true, "", "a=1 b=- c=1"},  // stop ends only the file
         {"include", false, "include requires a filename", ""},
         // the message names the line in the body
         {"include " + dir + "/lib.vmf\nbroken\nset after 1", false,
          "4: Invalid parameter Name 'bad-name'\nparameter names should only consist of letters, numbers, '_', and '.'",
          "fine=1 after=-"}});
  EXPECT_EQ(sink.entries.at(0).where.file, dir + "/lib.vmf");
  EXPECT_EQ(dir_stack.size(), depth) << "every include popped its directory";

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
  write_files({{"b.vmf", "set order [order*10+1]\n"}, {"a10.vmf", "set order [order*10+2]\n"},
               {"a9.vmf", "set order [order*10+3]\n define from_a9 1 { set a [$1] }\n"}, {"c.vmf", "pop never_pushed\n"},
               {"notes.txt", "set order 0\n"}, {"old.vmf.bak", "set order 0\n"}});
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
  EXPECT_EQ(gParameters["order"], 12331);
  EXPECT_TRUE(is_library_function("from_a9"));
}

}  // namespace
