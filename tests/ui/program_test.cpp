// The real program under the test's X server: keys pressed by an outside tool.
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

// Starts pelgrove in `dir` with `script`; stdout and stderr go to files there.
pid_t start_pelgrove(const std::string& dir, const std::string& script) {
  pid_t pid = fork();
  if (pid == 0) {
    if (chdir(dir.c_str()) != 0) _exit(127);
    if (!freopen("out.txt", "w", stdout) || !freopen("err.txt", "w", stderr)) _exit(127);
    execl(PELGROVE_BINARY, PELGROVE_BINARY, script.c_str(), (char*)nullptr);
    _exit(127);
  }
  return pid;
}

// The exit status, or -1 when the program has not ended within `seconds` (it is then killed).
int wait_status(pid_t pid, int seconds) {
  for (int i = 0; i < seconds * 20; ++i) {
    int status = 0;
    if (waitpid(pid, &status, WNOHANG) == pid) return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    usleep(50000);
  }
  kill(pid, SIGKILL);
  waitpid(pid, nullptr, 0);
  return -1;
}

int xdotool(const std::string& args) { return std::system(("xdotool " + args + " >/dev/null 2>&1").c_str()); }

TEST(Program, RunsAndQuitsFromTheKeyboard) {
  std::string dir = make_temp_dir();
  write_file(dir + "/keys.vmf", "set x 3\nline l 2 0 0 0 1 0 0\nprint x\n");
  pid_t pid = start_pelgrove(dir, "keys.vmf");
  // The window is found by its title, then Alt+r runs the script and Alt+q quits.
  ASSERT_EQ(xdotool("search --sync --name 'keys.vmf - pelgrove' windowfocus --sync"), 0);
  ASSERT_EQ(xdotool("key --clearmodifiers alt+r"), 0);
  for (int i = 0; i < 100 && read_file(dir + "/out.txt").find("x=3") == std::string::npos; ++i) usleep(50000);
  ASSERT_EQ(xdotool("key --clearmodifiers alt+q"), 0);
  EXPECT_EQ(wait_status(pid, 20), 0) << read_file(dir + "/err.txt");
  EXPECT_NE(read_file(dir + "/out.txt").find("x=3\n"), std::string::npos);
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
