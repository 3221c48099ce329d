// File-name helpers and the search along a colon-separated list.
#include "util/paths.h"

#include "support/test_support.h"

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

// A file counts only with something in it; the search tries every entry, the last included.
TEST(Paths, FileExistsAndFindFile) {
  const std::string a = make_temp_dir(), b = make_temp_dir();
  write_file(a + "/empty", "");
  write_file(b + "/tool", "#!");
  EXPECT_FALSE(file_exists((a + "/empty").c_str()) || file_exists((a + "/missing").c_str()));
  EXPECT_TRUE(file_exists((b + "/tool").c_str()));
  setenv("PELGROVE_TEST_LIST", (a + ":" + b).c_str(), 1);
  EXPECT_EQ(find_file("tool", "PELGROVE_TEST_LIST"), b + "/tool");
  EXPECT_EQ(find_file("nothing-here", "PELGROVE_TEST_LIST"), "");
  unsetenv("PELGROVE_TEST_LIST");
  EXPECT_EQ(find_file("tool", "PELGROVE_TEST_LIST"), "");
}
