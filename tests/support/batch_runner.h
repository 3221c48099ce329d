// Rows of whole program runs: arguments, files in a fresh directory, the exit status, what
// standard error and output hold, and what is left of the mesh. Shared by the app tests.
#pragma once

#include "support/test_support.h"

#include <cstring>
#include <filesystem>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

namespace batch_rows {
using Files = std::vector<std::pair<std::string, std::string>>;  // name in the run's directory, text
inline const std::vector<std::string> RUN = {"--run", "s.vmf", "out.dvk"};
inline const std::string BOX = PELGROVE_SOURCE_DIR "/examples/box.vmf";
inline const Files PLATE = {{"s.vmf", "plate p 1 1  0 0 0  1 0 0  1 1 0  0 1 0\n"}};
inline const Files PLATES = {{"s.vmf", "set element_type quads\nplate a 2 1  0 0 0  2 0 0  2 1 0  0 1 0\n"
                                "plate b 1 1  0 1 0  2 1 0  2 2 0  0 2 0\n"}};
inline Files script(const std::string& text) { return {{"s.vmf", text}}; }

struct Run {
  const char* id;
  std::vector<std::string> args;
  Files files;
  int status;
  std::string err;             // $DIR stands for the run's directory
  std::string out = "";        // a part of the standard output; with a leading '^', how it begins
  const char* mesh = nullptr;  // how out.dvk begins; "": nothing is left but `files`; nullptr: not checked
};

// `whole_err`: each row gives the whole standard error, else a part of it. A command-line
// error (status 2) prints nothing on standard output.
inline void check(const std::vector<Run>& rows, bool whole_err) {
  for (const Run& r : rows) {
    SCOPED_TRACE(r.id);
    const std::string dir = make_temp_dir();
    std::set<std::string> inputs;
    for (const auto& [name, text] : r.files) {
      write_file(dir + "/" + name, text);
      inputs.insert(std::filesystem::path(name).begin()->string());
    }
    const ProcessResult p = run_pelgrove(r.args, dir);
    std::string err = r.err;
    for (size_t at; (at = err.find("$DIR")) != std::string::npos;) err.replace(at, 4, dir);
    EXPECT_EQ(p.status, r.status);
    EXPECT_TRUE(whole_err ? p.err == err : contains(p.err, err)) << p.err << "\nwanted:\n" << err;
    EXPECT_TRUE(r.out[0] == '^' ? p.out.rfind(r.out.substr(1), 0) == 0 : contains(p.out, r.out)) << p.out;
    EXPECT_TRUE(r.status != 2 || p.out.empty()) << p.out;
    const std::vector<std::string> left = dir_entries(dir);
    if (r.mesh && *r.mesh) {
      EXPECT_EQ(read_file(dir + "/out.dvk").substr(0, strlen(r.mesh)), r.mesh);
    } else if (r.mesh) {
      EXPECT_EQ(std::set<std::string>(left.begin(), left.end()), inputs);
    }
  }
}
}  // namespace batch_rows
