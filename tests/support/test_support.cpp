#include "support/test_support.h"

#include "builders/builders.h"
#include "grid/Grid.h"
#include "interp/interp.h"
#include "merge/merge.h"
#include "script/scriptstream.h"

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

void map_builders_once() {
  [[maybe_unused]] static const bool mapped = (map_builders(""), map_commands(), true);
}

void ScriptTest::SetUp() {
  map_builders_once();
  set_message_sink(&sink);
  reset_alert_count();
  set_message_location({});
  reset_script_state();
}

void ScriptTest::TearDown() {
  reset_script_state();
  set_message_sink(nullptr);
  set_message_location({});
}

bool ScriptTest::run(const std::string& text) {
  scriptstream_priv s(text, {"test.vmf", 1});
  return run_script(s);
}

bool ScriptTest::build(const std::string& text) {
  reset_script_state();
  const bool ok = run(text);
  merge_grid_pts();
  renumber_grid_pts();
  return ok;
}

namespace {
std::string quote(const std::string& a) {
  std::string q = "'";
  for (char c : a) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

// Directories made by make_temp_dir, removed when the test program ends.
struct TempDirs {
  std::vector<std::string> dirs;
  ~TempDirs() {
    std::error_code ignored;
    for (const auto& d : dirs) std::filesystem::remove_all(d, ignored);
  }
};
TempDirs temp_dirs;

}  // namespace

std::string make_temp_dir() {
  std::string tmpl = std::string(getenv("TMPDIR") ? getenv("TMPDIR") : "/tmp") + "/pelgrove-test-XXXXXX";
  std::vector<char> buf(tmpl.begin(), tmpl.end());
  buf.push_back(0);
  const char* d = mkdtemp(buf.data());
  if (!d) throw std::runtime_error("mkdtemp failed");
  temp_dirs.dirs.push_back(d);
  return d;
}

ScopedCwd::ScopedCwd(const std::string& dir) : mWas(std::filesystem::current_path().string()) {
  std::filesystem::current_path(dir);
}
ScopedCwd::~ScopedCwd() { std::filesystem::current_path(mWas); }

void write_file(const std::string& path, const std::string& text) {
  std::error_code ignored;  // a parent that cannot be made shows as a file that cannot be read
  std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ignored);
  std::ofstream f(path, std::ios::binary);
  f << text;
}

std::string read_file(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  std::stringstream ss;
  ss << f.rdbuf();
  return ss.str();
}

std::string wait_for_text(const std::string& path, const std::string& part, int seconds) {
  for (int i = 0; i < seconds * 20 && !contains(read_file(path), part); ++i) usleep(50000);
  return read_file(path);
}

ProcessResult run_pelgrove(const std::vector<std::string>& args, const std::string& cwd,
                           const std::string& shell_prefix) {
  std::string dir = cwd.empty() ? make_temp_dir() : cwd;
  std::string cmd = "cd " + quote(dir) + " && " + shell_prefix + quote(PELGROVE_BINARY);
  for (const auto& a : args) cmd += " " + quote(a);
  cmd += " >" + quote(dir + "/.stdout") + " 2>" + quote(dir + "/.stderr") + " </dev/null";
  int rc = std::system(cmd.c_str());
  ProcessResult r;
  r.status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
  r.out = read_file(dir + "/.stdout");
  r.err = read_file(dir + "/.stderr");
  std::remove((dir + "/.stdout").c_str());
  std::remove((dir + "/.stderr").c_str());
  return r;
}

std::vector<std::string> dir_entries(const std::string& dir) {
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(dir)) names.push_back(e.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}

bool with_file_size_limit(size_t bytes, const std::function<bool()>& write) {
  rlimit saved, small;
  getrlimit(RLIMIT_FSIZE, &saved);
  small = saved;
  small.rlim_cur = bytes;
  void (*old_handler)(int) = std::signal(SIGXFSZ, SIG_IGN);
  setrlimit(RLIMIT_FSIZE, &small);
  const bool result = write();
  setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, old_handler);
  return result;
}

uint64_t le_at(const std::string& data, size_t offset, int bytes) {
  uint64_t v = 0;
  for (int k = bytes - 1; k >= 0; --k) v = v << 8 | (unsigned char)data.at(offset + k);
  return v;
}
