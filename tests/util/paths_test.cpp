// File-name helpers and the search along a colon-separated list.
#include "util/paths.h"

#include "support/test_support.h"

#include <sys/stat.h>

#include <cstdlib>

TEST(Paths, FixPath) {
  struct Row { const char* in; const char* out; } rows[] = {
      {"C:\\lib\\", "C:/lib"}, {"/a/b/", "/a/b"}, {"/a/b//", "/a/b/"}, {"", ""}, {"/", ""}, {"x", "x"}};
  for (const auto& r : rows) {
    SCOPED_TRACE(r.in);
    std::string p = r.in;
    fix_path(p);
    EXPECT_EQ(p, r.out);
  }
}

TEST(Paths, FileExistsNeedsNonZeroSize) {
  std::string dir = make_temp_dir();
  write_file(dir + "/empty", "");
  write_file(dir + "/full", "x");
  EXPECT_FALSE(file_exists((dir + "/empty").c_str()));
  EXPECT_TRUE(file_exists((dir + "/full").c_str()));
  EXPECT_FALSE(file_exists((dir + "/missing").c_str()));
}

TEST(Paths, FindFileTriesEveryEntryIncludingTheLast) {
  std::string a = make_temp_dir(), b = make_temp_dir();
  write_file(b + "/tool", "#!");
  setenv("PELGROVE_TEST_LIST", (a + ":" + b).c_str(), 1);
  EXPECT_EQ(find_file("tool", "PELGROVE_TEST_LIST"), b + "/tool");
  EXPECT_EQ(find_file("nothing-here", "PELGROVE_TEST_LIST"), "");
  unsetenv("PELGROVE_TEST_LIST");
  EXPECT_EQ(find_file("nothing-here", "PELGROVE_TEST_LIST"), "");
}
