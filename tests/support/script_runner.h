// Table-driven script runs: each row runs from a fresh run state and is checked for what a
// user sees: whether the run went on, the one message shown and the parameters left behind.
#pragma once

#include "interp/interp.h"
#include "interp/library.h"
#include "script/parameters.h"
#include "support/test_support.h"

#include <cctype>
#include <cmath>
#include <sstream>
#include <string>
#include <vector>

struct RunRow {
  std::string script;
  bool ok;
  std::string message;  // the one message of any kind ("" for none); "N: text" also pins line N
  std::string params;   // "name=value ..." afterwards; "name=-": the name must not exist
};

// Library definitions, the preloaded and pinned parameters and the include directories live
// for the process; this puts them back as they were when it was made.
struct KeepProcessState {
  decltype(gLibraries) libraries = gLibraries;
  decltype(gLibraries_args) args = gLibraries_args;
  decltype(gLibraries_origin) origin = gLibraries_origin;
  decltype(gParameters_preloaded) preloaded = gParameters_preloaded;
  decltype(gPinnedParameters) pinned = gPinnedParameters;
  decltype(dir_stack) dirs = dir_stack;
  ~KeepProcessState() {
    gLibraries = libraries, gLibraries_args = args, gLibraries_origin = origin;
    gParameters_preloaded = preloaded, gPinnedParameters = pinned, dir_stack = dirs;
  }
};

// Cases run in any order: each leaves the long-lived state as it found it.
class ScriptRuns : public ScriptTest {
protected:
  KeepProcessState kept;
  // `then`, if given, is appended to every script and sets "after": the run must reach it
  // exactly when the row succeeds.
  void check(const std::vector<RunRow>& rows, const std::string& then = "") {
    for (const RunRow& row : rows) {
      SCOPED_TRACE(row.script);
      reset_script_state();
      sink.clear();
      EXPECT_EQ(run(row.script + then), row.ok);
      const bool with_line = std::isdigit((unsigned char)row.message[0]);
      std::vector<std::string> seen, expected;
      for (const auto& e : sink.entries)
        seen.push_back((with_line ? std::to_string(e.where.line) + ": " : "") + e.text);
      if (!row.message.empty()) expected.push_back(row.message);
      EXPECT_EQ(seen, expected);
      if (!then.empty()) {
        EXPECT_EQ(gParameters.count("after"), row.ok ? 1u : 0u) << "goes on only on success";
      }
      std::istringstream pairs(row.params);
      for (std::string pair; pairs >> pair;) {
        const std::string name = pair.substr(0, pair.find('=')), value = pair.substr(pair.find('=') + 1);
        const double got = gParameters.count(name) ? gParameters.at(name) : std::nan("");
        if (value == "-") {
          EXPECT_EQ(gParameters.count(name), 0u) << name << " = " << got;
        } else {
          EXPECT_EQ(got, std::stod(value)) << name;
        }
      }
    }
  }
};
