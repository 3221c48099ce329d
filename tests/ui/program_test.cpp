// The real program under the test's X server: keys pressed by an outside tool.
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

int xdotool(const std::string& args) { return std::system(("xdotool " + args + " >/dev/null 2>&1").c_str()); }

// Waits up to `seconds` for `path` to contain `part`; returns its text.
std::string wait_for(const std::string& path, const std::string& part, int seconds) {
  for (int i = 0; i < seconds * 20 && !contains(read_file(path), part); ++i) usleep(50000);
  return read_file(path);
}

TEST(Program, RunsAndQuitsFromTheKeyboard) {
  std::string dir = make_temp_dir();
  write_file(dir + "/keys.vmf", "set x 3\nline l 2 0 0 0 1 0 0\nprint x\n");
  // In the background, killed after 20 s at the latest; its exit status goes to "rc".
  ASSERT_EQ(std::system(("cd '" + dir + "' && (timeout -s KILL 20 '" PELGROVE_BINARY
                         "' keys.vmf >out.txt 2>err.txt; echo $? >rc) </dev/null >/dev/null 2>&1 &").c_str()), 0);
  // The window is found by its title, then Alt+r runs the script and Alt+q quits.
  ASSERT_EQ(xdotool("search --sync --name 'keys.vmf - pelgrove' windowfocus --sync"), 0);
  ASSERT_EQ(xdotool("key --clearmodifiers alt+r"), 0);
  wait_for(dir + "/out.txt", "x=3", 5);
  ASSERT_EQ(xdotool("key --clearmodifiers alt+q"), 0);
  EXPECT_EQ(wait_for(dir + "/rc", "\n", 25), "0\n") << read_file(dir + "/err.txt");
  EXPECT_TRUE(contains(read_file(dir + "/out.txt"), "x=3\n"));
  EXPECT_FALSE(std::filesystem::exists(dir + "/pelgrove-tmpbak.vmf"));
}

TEST(Program, WithoutADisplaySaysSoOnOneLine) {
  std::string saved = getenv("DISPLAY") ? getenv("DISPLAY") : "";
  setenv("DISPLAY", ":-1", 1);
  ProcessResult r = run_pelgrove({"x.vmf"});
  setenv("DISPLAY", saved.c_str(), 1);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err.rfind("pelgrove: cannot open the display ':-1'", 0), 0u) << r.err;
  EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1);
}

}  // namespace
