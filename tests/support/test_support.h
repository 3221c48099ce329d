// Shared test helpers: a fixture that captures messages and starts each case from the
// reset a script run uses, and a runner for the pelgrove binary.
#pragma once

#include "util/message.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// Registers the builders and commands (once per program).
void map_builders_once();

// Registers builders and commands once; every case starts from reset_script_state().
class ScriptTest : public ::testing::Test {
protected:
  CaptureSink sink;
  void SetUp() override;
  void TearDown() override;
  // Runs `text` as a top-level script named "test.vmf" (no merge); returns run_script's result.
  bool run(const std::string& text);
  // Runs `text` from a clean state, then merges and numbers the points as a script run does.
  bool build(const std::string& text);
  // Alert texts captured so far.
  std::vector<std::string> alerts() const { return sink.alerts(); }
};

struct ProcessResult {
  int status = -1;
  std::string out, err;
};
// Runs the built pelgrove binary with `args` (shell-quoted here) in `cwd` (default: a temp dir),
// with `shell_prefix` just before it in the same shell: a limit ("ulimit -f 8 && ") or a
// command that runs it ("setpriv ... ").
ProcessResult run_pelgrove(const std::vector<std::string>& args, const std::string& cwd = "",
                           const std::string& shell_prefix = "");
// A fresh empty directory under the system temp dir.
std::string make_temp_dir();
// Makes `dir` the working directory for its lifetime (for code that writes beside it).
class ScopedCwd {
public:
  explicit ScopedCwd(const std::string& dir);
  ~ScopedCwd();
  ScopedCwd(const ScopedCwd&) = delete;
  ScopedCwd& operator=(const ScopedCwd&) = delete;

private:
  std::string mWas;
};
// Writes `text` to `path`, making the directories it needs.
void write_file(const std::string& path, const std::string& text);
std::string read_file(const std::string& path);
inline bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }
// Waits up to `seconds` for the file at `path` to contain `part` (written by another process);
// returns its text.
std::string wait_for_text(const std::string& path, const std::string& part, int seconds);
// Names in `dir`, sorted.
std::vector<std::string> dir_entries(const std::string& dir);
// Calls `write` while every write past `bytes` of a file fails (EFBIG, as on a full disk);
// returns its result.
bool with_file_size_limit(size_t bytes, const std::function<bool()>& write);
// Little-endian unsigned integer of `bytes` bytes at `offset` of `data`.
uint64_t le_at(const std::string& data, size_t offset, int bytes);
